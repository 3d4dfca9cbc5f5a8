# Assembles one version of the demo installation into OUT (made afresh).
#   VERSION 1: the installation a player starts from, with the player's own
#              files (connection file, exclusions, "Launch.txt").
#   VERSION 2: the published content of the next version: the same programs
#              and resources, the version-2 files of the game laid over
#              version 1, the files it drops left out, and none of the
#              player's own files (an update never replaces those).
# Called by demo/CMakeLists.txt with SOURCE, OUT, ART, FONTS, DIRECTX,
# LAUNCHER_V (the version's "launcher_v.txt"), PROGRAMS, GAME and PLUGINS;
# for Windows also RUN_ART (what runs demo-art) and STRIP (which strips the
# copies of the programs and libraries).
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/res ${OUT}/Game.moravo/data ${OUT}/Game.moravo/plugins)

execute_process(COMMAND ${RUN_ART} ${ART} res ${OUT}/res ${FONTS} RESULT_VARIABLE drawn)
if(NOT drawn EQUAL 0)
    message(FATAL_ERROR "demo-art could not draw the pictures")
endif()
file(COPY ${SOURCE}/res/res.txt ${FONTS}/DejaVuSans.ttf ${FONTS}/DejaVuSans-Bold.ttf DESTINATION ${OUT}/res)
file(COPY ${LAUNCHER_V} ${DIRECTX} ${PROGRAMS} DESTINATION ${OUT})
file(COPY ${SOURCE}/Game.moravo/ DESTINATION ${OUT}/Game.moravo)
file(COPY ${FONTS}/DejaVuSans.ttf ${FONTS}/DejaVuSans-Bold.ttf DESTINATION ${OUT}/Game.moravo/data)
file(COPY ${GAME} DESTINATION ${OUT}/Game.moravo)
file(COPY ${PLUGINS} DESTINATION ${OUT}/Game.moravo/plugins)
execute_process(COMMAND ${RUN_ART} ${ART} pack ${OUT}/Game.moravo/data/textures.pak ${VERSION} 1536 RESULT_VARIABLE packed)
if(NOT packed EQUAL 0)
    message(FATAL_ERROR "demo-art could not write the data pack")
endif()
if(STRIP)
    # The stripped copy keeps the program's own time stamp (the file's), so
    # that a program both versions share is the same file in both.
    file(GLOB binaries ${OUT}/*.exe ${OUT}/Game.moravo/*.dll ${OUT}/Game.moravo/plugins/*.dll)
    foreach(binary ${binaries})
        file(TIMESTAMP ${binary} made "%s" UTC)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${made} ${STRIP} --strip-all ${binary}
            RESULT_VARIABLE stripped)
        if(NOT stripped EQUAL 0)
            message(FATAL_ERROR "${binary} could not be stripped")
        endif()
    endforeach()
endif()

if(VERSION EQUAL 1)
    file(COPY ${SOURCE}/ZEP_client.xml ${SOURCE}/excludes.txt DESTINATION ${OUT})
else()
    # Copied one by one over version 1: a plain directory copy skips a
    # file whose time stamp equals the one it would replace.
    file(GLOB_RECURSE changed RELATIVE ${SOURCE}/version2 ${SOURCE}/version2/*)
    list(REMOVE_ITEM changed removed.txt)
    foreach(path ${changed})
        file(COPY_FILE ${SOURCE}/version2/${path} ${OUT}/${path})
    endforeach()
    file(STRINGS ${SOURCE}/version2/removed.txt dropped)
    foreach(path ${dropped} Game.moravo/Launch.txt)
        file(REMOVE ${OUT}/${path})
    endforeach()
endif()
