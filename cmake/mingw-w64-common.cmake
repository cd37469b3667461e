# Shared by the two mingw-w64 toolchain files, which set MINGW_PREFIX,
# CMAKE_SYSTEM_PROCESSOR and MINGW_ARCH_FLAGS first. The win32 thread-model
# compilers: the program has one thread, and this way no winpthread DLL (or
# static copy) is involved; libgcc and libstdc++ are linked statically by the
# project, so the .exe needs only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

# GCC cannot keep 32-byte values that spill to the stack aligned on Windows
# (the system promises 16 bytes on 64-bit, 4 on 32-bit), and writes them with
# aligned moves: the assembler turns every aligned vector move into an
# unaligned one, which is as fast on aligned data and never faults, so the
# AVX2 kernels run on Windows too.
set(CMAKE_C_FLAGS_INIT "${MINGW_ARCH_FLAGS} -Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "${MINGW_ARCH_FLAGS} -Wa,-muse-unaligned-vector-move")

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
