# Shared by the toolchain files: search only the mingw-w64 tree, and run the test programs
# (Windows programs) through Wine.
set(CMAKE_FIND_ROOT_PATH /usr/${ORVEX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Debian's wine wrapper prefers the 32-bit loader whenever it is installed, even on a machine
# that cannot run it, so 64-bit programs go to the 64-bit loader directly.
if(ORVEX_MINGW_CPU STREQUAL "x86_64")
  find_program(ORVEX_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
endif()
find_program(ORVEX_WINE wine)
if(ORVEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVEX_WINE})
endif()
