# The -posix compilers: the -win32 thread model has no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${QVN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QVN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QVN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QVN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static so that the programs need no MinGW runtime DLL next to them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# CTest runs the Windows test programs through Wine. For 64-bit programs the
# 64-bit loader itself: the "wine" script picks the 32-bit loader whenever it
# is installed, and some kernels cannot execute 32-bit programs at all.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL x86_64)
  find_program(QVN_WINE wine64 PATHS /usr/lib/wine REQUIRED)
else()
  find_program(QVN_WINE wine REQUIRED)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${QVN_WINE})
