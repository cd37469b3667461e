# Cross build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64):
# the same program, for running the tests under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
set(MINGW_ARCH_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
