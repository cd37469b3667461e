# Cross build for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686):
# the shipped .exe.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
