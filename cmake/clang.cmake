# Cross build for Windows with Debian's clang and lld (clang-i686.cmake and
# clang-x86_64.cmake name the processor), on the mingw-w64 headers and
# import libraries and the posix-thread gcc's libstdc++. A second compiler keeps the code
# honest about portability; the resources still go through the mingw windres, because
# llvm-rc refuses ASCII accelerators with ALT, which the program's table uses.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ORVEX_MINGW_CPU})

set(ORVEX_MINGW_PREFIX ${ORVEX_MINGW_CPU}-w64-mingw32)
set(ORVEX_MINGW_ROOT /usr/${ORVEX_MINGW_PREFIX})

# clang does not recognise Debian's "12-posix" gcc folder by itself, so name it.
if(NOT ORVEX_MINGW_GCC_DIR)
  file(GLOB ORVEX_GCC_CANDIDATES LIST_DIRECTORIES true /usr/lib/gcc/${ORVEX_MINGW_PREFIX}/*-posix)
  list(SORT ORVEX_GCC_CANDIDATES COMPARE NATURAL ORDER DESCENDING)
  list(GET ORVEX_GCC_CANDIDATES 0 ORVEX_MINGW_GCC_DIR)
endif()
set(ORVEX_MINGW_GCC_DIR ${ORVEX_MINGW_GCC_DIR} CACHE PATH "gcc folder with the mingw libstdc++")
if(NOT EXISTS ${ORVEX_MINGW_GCC_DIR}/include/c++)
  message(FATAL_ERROR "no mingw-w64 libstdc++ in ${ORVEX_MINGW_GCC_DIR}; install the posix g++ for ${ORVEX_MINGW_PREFIX}")
endif()

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${ORVEX_MINGW_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${ORVEX_MINGW_PREFIX})
set(CMAKE_RC_COMPILER ${ORVEX_MINGW_PREFIX}-windres)

# Only the target's headers and libraries: the sysroot gives mingw-w64's as system folders
# (and keeps the host's /usr/include out), libstdc++ comes from the gcc folder.
set(ORVEX_CXX_INCLUDE ${ORVEX_MINGW_GCC_DIR}/include/c++)
set(CMAKE_C_FLAGS_INIT "--sysroot=${ORVEX_MINGW_ROOT}")
set(CMAKE_CXX_FLAGS_INIT "--sysroot=${ORVEX_MINGW_ROOT} -cxx-isystem ${ORVEX_CXX_INCLUDE} \
-cxx-isystem ${ORVEX_CXX_INCLUDE}/${ORVEX_MINGW_PREFIX} -cxx-isystem ${ORVEX_CXX_INCLUDE}/backward")

# Static like the gcc build, so the deliverables need no runtime DLLs; this libstdc++ is
# built on winpthreads.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -static -L${ORVEX_MINGW_GCC_DIR}")
endforeach()
set(CMAKE_C_STANDARD_LIBRARIES "-lpthread" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "-lpthread" CACHE STRING "")

include(${CMAKE_CURRENT_LIST_DIR}/wine-target.cmake)
