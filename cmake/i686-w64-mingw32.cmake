# Cross-builds for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(VX_MINGW_PREFIX i686-w64-mingw32)
# The posix thread model, so that the test host has std::thread. The DLL uses no runtime at all.
set(CMAKE_C_COMPILER ${VX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VX_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${VX_MINGW_PREFIX}-dlltool)
set(CMAKE_OBJDUMP ${VX_MINGW_PREFIX}-objdump)

# Headers and libraries come from the mingw sysroot; build-time programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
