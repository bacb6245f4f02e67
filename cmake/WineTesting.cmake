# Tests of the Windows build run under Wine: ctest starts every target
# through scripts/wine-run in a prefix of the build's own.
set(SETUP_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run ${SETUP_WINEPREFIX})

# The programs must run on a bare Windows, and Wine hides a missing static
# link (every prefix carries its own zlib1.dll): check what they import.
find_program(SETUP_MINGW_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)
add_test(NAME windows_imports_are_system_dlls
         COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${SETUP_MINGW_OBJDUMP}
                 -DBIN_DIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                 -P ${CMAKE_CURRENT_LIST_DIR}/CheckImports.cmake)
