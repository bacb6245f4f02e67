# Cross build for 64-bit Windows with Debian's mingw-w64 (POSIX thread model).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# Everything is linked statically, so the programs run on a bare Windows
# without extra DLLs, and every program has a wide-character entry point.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program of the project starts at a wide-character entry point
# (-municode: wmain / wWinMain, and UNICODE for the system headers). CMake's
# own probe programs have a plain main, so the flag is added to the project
# only, after its project() call: mingw-w64-project.cmake.
set(CMAKE_PROJECT_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-project.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Debian's mingw zlib ships both libz.a and libz.dll.a; take the archive.
set(ZLIB_USE_STATIC_LIBS ON)
