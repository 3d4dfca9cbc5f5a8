# moravo_program_resources(TARGET NAME DESCRIPTION VERSION) gives the Windows
# program TARGET (file NAME.exe) its version resource and its application
# manifest (cmake/windows/). No program declares an awareness of the
# screens' scale: the launcher's process stays unaware, so that the game it
# loads can declare its own, and the launcher sets its window's and its
# survey's scaling per thread instead (docs/windows.md, "Scaling").
function(moravo_program_resources target name description version)
    set(MORAVO_NAME ${name})
    set(MORAVO_FILE ${name}.exe)
    set(MORAVO_DESCRIPTION ${description})
    set(MORAVO_VERSION ${version})
    string(REPLACE "." "," MORAVO_VERSION_COMMAS ${version})
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
    set(MORAVO_MANIFEST ${out}/${name}.manifest)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.manifest.in ${MORAVO_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in ${out}/${name}.rc @ONLY)
    target_sources(${target} PRIVATE ${out}/${name}.rc)
    set_property(SOURCE ${out}/${name}.rc APPEND PROPERTY OBJECT_DEPENDS ${MORAVO_MANIFEST})
endfunction()
