# Cross-compile for 32-bit Windows (AviUtl 1.x: sstp.auf) with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
