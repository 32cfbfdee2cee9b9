# 32-bit Windows with the posix-thread mingw-w64 gcc.
set(ORVEX_MINGW_CPU i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
