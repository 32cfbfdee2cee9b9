# 32-bit Windows with Debian's clang and lld.
set(ORVEX_MINGW_CPU i686)
include(${CMAKE_CURRENT_LIST_DIR}/clang.cmake)
