# What both mingw-w64 toolchain files set, for the processor the including
# file names in CMAKE_SYSTEM_PROCESSOR (i686 or x86_64). The posix thread
# model is used so that test code can use std::thread; everything is linked
# statically (the top CMakeLists.txt).
set(CMAKE_SYSTEM_NAME Windows)
set(mingwTriple ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${mingwTriple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingwTriple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingwTriple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${mingwTriple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
