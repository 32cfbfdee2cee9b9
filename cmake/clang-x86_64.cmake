# 64-bit Windows with Debian's clang and lld.
set(ORVEX_MINGW_CPU x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/clang.cmake)
