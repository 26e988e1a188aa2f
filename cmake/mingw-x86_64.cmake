# Cross build for 64-bit Windows with mingw-w64: a test subject for 64-bit Wine.
set(TALVEX_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
