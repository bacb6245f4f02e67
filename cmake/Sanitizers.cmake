# SETUP_SANITIZE=address,undefined or thread builds an instrumented tree.
set(SETUP_SANITIZE "" CACHE STRING "Sanitizers to build with (address,undefined or thread)")
if(SETUP_SANITIZE)
  add_compile_options(-fsanitize=${SETUP_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${SETUP_SANITIZE})
endif()
