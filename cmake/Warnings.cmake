# Project-wide warnings; the tree builds without any.
add_compile_options(-Wall -Wextra)
