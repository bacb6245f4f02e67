# Included after the project() calls of the cross build (see mingw-w64.cmake).
include_guard(GLOBAL)
get_property(setup_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT setup_in_try_compile)
  add_compile_options(-municode)
  add_link_options(-municode)
endif()
