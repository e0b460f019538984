# Shared part of the MinGW toolchain files. Expects VW_MINGW_TRIPLE.
# The compilers are named with their -posix suffix so the result does not
# depend on how update-alternatives happens to be set on the machine.
set(CMAKE_C_COMPILER   ${VW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VW_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static: the .exe must start on a bare Windows without MinGW DLLs
# (libgcc, libstdc++ and winpthreads all linked in).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest and add_custom_command run target executables through Wine.
get_filename_component(_vw_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_vw_root}/tools/wine-run.sh")
