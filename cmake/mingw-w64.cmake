# What the cross builds for Windows share (Debian's mingw-w64, posix thread
# model); the toolchain file of each processor sets `triple` and includes
# this. The dependencies come from the prefix that tools/windows/build-deps
# makes; pass it as MORAVO_WIN32_DEPS. Tests run through tools/windows/wine-run.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${triple}-ranlib CACHE FILEPATH "")

# The programs and libraries carry their own run-time: no libgcc, libstdc++
# or winpthread DLL to ship.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

if(NOT MORAVO_WIN32_DEPS AND DEFINED ENV{MORAVO_WIN32_DEPS})
    set(MORAVO_WIN32_DEPS $ENV{MORAVO_WIN32_DEPS})
endif()
set(MORAVO_WIN32_DEPS "${MORAVO_WIN32_DEPS}" CACHE PATH "Prefix of the Windows dependencies")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MORAVO_WIN32_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${MORAVO_WIN32_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads only the prefix's own files, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} "${MORAVO_WIN32_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
