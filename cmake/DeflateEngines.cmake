# The faster inflate and deflate engines used beside zlib where the build
# finds them: ISA-L's inflate (the faster of the updater's two inflate
# engines; zlib's stays for builds without it, the Windows one, and for the
# tests of both), and libdeflate, which compresses the files that the
# publisher can hold in memory (more tightly than zlib's level 9, and
# faster), packs the pieces of the chunk store at its fastest level, and
# inflates the updater's small files at once. Without them zlib does all of
# it. A cross build looks for neither unless asked, so that the build
# machine's own libraries are never picked up.
if(CMAKE_CROSSCOMPILING)
    set(moravo_optional_default OFF)
else()
    set(moravo_optional_default ON)
endif()
option(MORAVO_USE_ISAL "Inflate with ISA-L when it is found" ${moravo_optional_default})
if(MORAVO_USE_ISAL)
    pkg_check_modules(ISAL QUIET IMPORTED_TARGET libisal)
endif()
option(MORAVO_USE_LIBDEFLATE "Publish with libdeflate when it is found" ${moravo_optional_default})
if(MORAVO_USE_LIBDEFLATE)
    pkg_check_modules(LIBDEFLATE QUIET IMPORTED_TARGET libdeflate)
endif()

# Gives `target` the engines named (ISAL, LIBDEFLATE) that the build found,
# with MORAVO_HAVE_<NAME> defined for its sources.
function(moravo_deflate_engines target)
    foreach(engine ${ARGN})
        if(${engine}_FOUND)
            target_compile_definitions(${target} PRIVATE MORAVO_HAVE_${engine})
            target_link_libraries(${target} PRIVATE PkgConfig::${engine})
        endif()
    endforeach()
endfunction()
