# Cross build for Windows with the posix-thread mingw-w64 compilers; mingw-i686.cmake and
# mingw-x86_64.cmake name the processor.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ORVEX_MINGW_CPU})

set(ORVEX_MINGW_PREFIX ${ORVEX_MINGW_CPU}-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVEX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVEX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVEX_MINGW_PREFIX}-windres)

include(${CMAKE_CURRENT_LIST_DIR}/wine-target.cmake)

# The deliverables must not need the compiler's runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
