# Shared by the two mingw-w64 toolchain files, which set MINGW_PREFIX and
# CMAKE_SYSTEM_PROCESSOR first. The win32 thread-model compilers: the program
# has one thread, and this way no winpthread DLL (or static copy) is involved;
# libgcc and libstdc++ are linked statically by the project, so the .exe needs
# only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
