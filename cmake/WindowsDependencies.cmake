# The libraries of the Windows build, from the static prefix that
# tools/windows/build-deps makes (MORAVO_WIN32_DEPS, read by the toolchain
# file). Each becomes an imported target of the same name as on Linux, with
# the static link flags of its pkg-config file.
if(NOT MORAVO_WIN32_DEPS OR NOT EXISTS "${MORAVO_WIN32_DEPS}/lib/pkgconfig")
    message(FATAL_ERROR "MORAVO_WIN32_DEPS must name the prefix made by tools/windows/build-deps")
endif()

# The system's headers without their min and max macros, and without the
# old socket interface that would clash with Winsock 2;
# The run-time library's POSIX forms of the thread-safe time functions
# (localtime_r), and the interfaces of Windows 7 and later.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _POSIX_THREAD_SAFE_FUNCTIONS=200112L _WIN32_WINNT=0x0601
    WINVER=0x0601)

# The programs name no folder of the machine that built them: the names of
# source files the compiler writes into them (assertion texts, debugging
# information) are relative to the source and build folders, and those of
# the libraries' headers to the libraries' prefix. (The build folder may lie
# inside the source folder: the later map is tried first.)
add_compile_options(-ffile-prefix-map=${MORAVO_WIN32_DEPS}/=deps/ -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)

# moravo_static_package(NAME MODULE) makes PkgConfig::NAME.
function(moravo_static_package name module)
    pkg_check_modules(${name} REQUIRED ${module})
    set(cflags ${${name}_STATIC_CFLAGS})
    set(libs ${${name}_STATIC_LDFLAGS})
    # SDL's files are written for programs that take its entry point; the
    # programs here have their own.
    list(REMOVE_ITEM cflags -Dmain=SDL_main)
    list(REMOVE_ITEM libs -lSDLmain -mwindows -lmingw32)
    add_library(PkgConfig::${name} INTERFACE IMPORTED GLOBAL)
    set_target_properties(PkgConfig::${name} PROPERTIES INTERFACE_COMPILE_OPTIONS "${cflags}")
    target_link_libraries(PkgConfig::${name} INTERFACE ${libs})
endfunction()

moravo_static_package(SDL sdl)
moravo_static_package(SDL_IMAGE SDL_image)
moravo_static_package(SDL_TTF SDL_ttf)
moravo_static_package(ZLIB zlib)
moravo_static_package(OPENSSL openssl)
moravo_static_package(EXPAT expat)
# A static Expat declares its functions without the DLL import marks.
target_compile_definitions(PkgConfig::EXPAT INTERFACE XML_STATIC)

include(${CMAKE_CURRENT_LIST_DIR}/WindowsResources.cmake)

# The game's libraries run inside the launcher's process. A process marked
# large-address-aware hands out addresses above 2 GiB, which a library
# written for an ordinary 32-bit host may take for negative numbers; unless
# the game is known to be safe with them, the programs keep to 2 GiB.
option(MORAVO_LARGE_ADDRESS_AWARE "Mark the Windows programs large-address-aware (4 GiB on 64-bit Windows)" OFF)
# (The mark exists only for 32-bit programs.)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    if(MORAVO_LARGE_ADDRESS_AWARE)
        add_link_options(-Wl,--large-address-aware)
    else()
        add_link_options(-Wl,--disable-large-address-aware)
    endif()
endif()

# The tests run under Wine, through a wrapper that keeps the Wine prefix and
# the X server of a run in the build folder.
configure_file(${CMAKE_SOURCE_DIR}/tools/windows/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
