# moravo_program_resources(TARGET NAME DESCRIPTION VERSION [WINDOWED]) gives
# the Windows program TARGET (file NAME.exe) its version resource and its
# application manifest (cmake/windows/). A WINDOWED program declares itself
# aware of the screens' scale: its window and the game's screen modes are
# then measured in real pixels (see the README's Windows section).
function(moravo_program_resources target name description version)
    cmake_parse_arguments(PARSE_ARGV 4 arg "WINDOWED" "" "")
    set(MORAVO_NAME ${name})
    set(MORAVO_FILE ${name}.exe)
    set(MORAVO_DESCRIPTION ${description})
    set(MORAVO_VERSION ${version})
    string(REPLACE "." "," MORAVO_VERSION_COMMAS ${version})
    set(MORAVO_DPI_SETTINGS "")
    if(arg_WINDOWED)
        set(MORAVO_DPI_SETTINGS "
      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>
      <dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>")
    endif()
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
    set(MORAVO_MANIFEST ${out}/${name}.manifest)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.manifest.in ${MORAVO_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in ${out}/${name}.rc @ONLY)
    target_sources(${target} PRIVATE ${out}/${name}.rc)
    set_property(SOURCE ${out}/${name}.rc APPEND PROPERTY OBJECT_DEPENDS ${MORAVO_MANIFEST})
endfunction()
