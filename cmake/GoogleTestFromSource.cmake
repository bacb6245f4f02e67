# GoogleTest for the cross build: Debian's libgtest-dev holds Linux objects
# only, so the framework is compiled from Debian's source package with the
# build's own compiler. Provides GTest::gtest and GTest::gtest_main.
set(SETUP_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
if(NOT EXISTS ${SETUP_GOOGLETEST_SOURCE}/googletest/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources missing in ${SETUP_GOOGLETEST_SOURCE}: install the package googletest")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${SETUP_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# Foreign code: its own warnings are not the project's.
foreach(target gtest gtest_main)
  target_compile_options(${target} PRIVATE -w)
endforeach()
