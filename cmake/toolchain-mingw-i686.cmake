# Cross build for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686):
# the shipped .exe. SSE2 is its baseline, as for MSVC's 32-bit code by
# default and for every Windows since 8, which requires it: scalar code then
# keeps its doubles and 64-bit values in vector registers, and GCC realigns
# the stack where SSE needs it (32-bit Windows promises only 4 bytes).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_PREFIX i686-w64-mingw32)
set(MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
