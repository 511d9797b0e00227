# The same sources for x86_64, the build the Wine tests run.
set(NP_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
