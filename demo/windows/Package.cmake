# Packs the Windows demo into ZIP: the installation (version 1) as
# "MoravoTown/", and for its operator "operator/": moravo-tool.exe, version 2
# to publish ("release-2/"), the demo server and its accounts; README.txt
# beside them.
# The tool stays out of the installation, whose update would delete it as a
# file the publisher does not list.
# Called by demo/CMakeLists.txt with OUT (a scratch folder), ZIP, INSTALL,
# RELEASE, TOOL, SERVER, ACCOUNTS, STRIP and README.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/operator)
file(COPY ${INSTALL}/ DESTINATION ${OUT}/MoravoTown)
file(COPY ${RELEASE}/ DESTINATION ${OUT}/operator/release-2)
file(COPY ${TOOL} ${SERVER} ${ACCOUNTS} DESTINATION ${OUT}/operator)
file(COPY ${README} DESTINATION ${OUT})
execute_process(COMMAND ${STRIP} --strip-all ${OUT}/operator/moravo-tool.exe RESULT_VARIABLE stripped)
if(NOT stripped EQUAL 0)
    message(FATAL_ERROR "moravo-tool.exe could not be stripped")
endif()
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip README.txt MoravoTown operator
    WORKING_DIRECTORY ${OUT} RESULT_VARIABLE packed)
if(NOT packed EQUAL 0)
    message(FATAL_ERROR "the package could not be written")
endif()
