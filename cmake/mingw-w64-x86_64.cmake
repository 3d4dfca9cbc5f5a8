# Cross build for 64-bit Windows. Nothing ships from it: it is how the
# Windows suites run on a machine that cannot run 32-bit programs (Wine's
# 64-bit half alone), beside a 32-bit build that is only compiled there.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
