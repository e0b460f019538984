# Cross-compiles for 32-bit Windows with MinGW-w64 (posix thread model).
# Built on every test run but never executed here: the build machines cannot
# run 32-bit code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VW_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
