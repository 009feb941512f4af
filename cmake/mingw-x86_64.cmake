# Cross-compile for 64-bit Windows (AviUtl ExEdit2: sstp.aux2) with
# mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
