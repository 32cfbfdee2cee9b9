# Shared by the scripts: which build runs here, build, a display, and a throwaway Wine prefix.
ORVEX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ORVEX_CLEANUP=()

orvex_cleanup() {
  local i
  for ((i = ${#ORVEX_CLEANUP[@]} - 1; i >= 0; i--)); do
    eval "${ORVEX_CLEANUP[$i]}" >/dev/null 2>&1 || true
  done
}

# A failing script says which command failed and how to see more, never just a status.
ORVEX_FAILED_AT=""
trap '[ -n "$ORVEX_FAILED_AT" ] || ORVEX_FAILED_AT="line $LINENO: $BASH_COMMAND"' ERR
orvex_exit() {
  local status=$?
  orvex_cleanup
  if [ "$status" -ne 0 ]; then
    echo "${0##*/}: failed with exit status $status${ORVEX_FAILED_AT:+ at $ORVEX_FAILED_AT}." >&2
    echo "${0##*/}: the lines above say why; 'bash -x $0' shows every step." >&2
  fi
  return "$status"
}
trap orvex_exit EXIT

# Whether this machine executes 32-bit x86 code: some kernels run 64-bit user code only
# (IA-32 emulation off), and then Wine's 32-bit loader cannot start. Tried, not guessed: a
# 93-byte static i386 program that only exits with status 0.
orvex_runs_32bit() {
  local probe status
  probe=$(mktemp "${TMPDIR:-/tmp}/orvex-i386.XXXXXX") || return 1
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0'\
'\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10'\
'\0\200\4\10\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\61\333\315\200' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
  status=$?
  rm -f "$probe"
  return $status
}

# ORVEX_ARCH (32 or 64): the build that runs under Wine here. Unset, it is 32 where the
# machine executes 32-bit code and 64 elsewhere; set, it forces that path. The 64-bit path
# runs the 64-bit loader directly, since Debian's wine wrapper prefers the 32-bit one
# whenever it is installed.
if [ -z "${ORVEX_ARCH:-}" ]; then
  if orvex_runs_32bit; then ORVEX_ARCH=32; else ORVEX_ARCH=64; fi
  ORVEX_ARCH_PROBED=1
fi
case "$ORVEX_ARCH" in
  32) ORVEX_WINE=/usr/lib/wine/wine ;;
  64) ORVEX_WINE=/usr/lib/wine/wine64 ;;
  *) echo "ORVEX_ARCH must be 32 or 64, not '$ORVEX_ARCH'" >&2; exit 2 ;;
esac
export ORVEX_ARCH ORVEX_ARCH_PROBED

# Build folders: the 32-bit tree in ORVEX_BUILD_DIR (default build/), the 64-bit one beside
# it with -64 appended. ORVEX_BUILD_DIR names the tree of this machine's path.
ORVEX_BUILD_DIR_32=${ORVEX_BUILD_DIR:-$ORVEX_ROOT/build}
ORVEX_BUILD_DIR_32=${ORVEX_BUILD_DIR_32%-64}
ORVEX_BUILD_DIR_64=$ORVEX_BUILD_DIR_32-64
if [ "$ORVEX_ARCH" = 64 ]; then
  ORVEX_BUILD_DIR=$ORVEX_BUILD_DIR_64
else
  ORVEX_BUILD_DIR=$ORVEX_BUILD_DIR_32
fi


# orvex_build_tree BITS DIR [cmake args]: configures and builds one tree.
# ORVEX_TOOLCHAIN (mingw or clang) picks cmake/<name>-<cpu>.cmake; ORVEX_WERROR=ON turns
# warnings into errors (CI); ORVEX_SANITIZE=ON builds with trapping undefined-behaviour
# checks and library assertions; ORVEX_TARGETS limits what is built.
orvex_build_tree() {
  local bits=$1 dir=$2 cpu=i686
  shift 2
  [ "$bits" = 32 ] || cpu=x86_64
  local toolchain=${ORVEX_TOOLCHAIN:-mingw}
  toolchain=${toolchain%-i686}
  cmake -S "$ORVEX_ROOT" -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ORVEX_ROOT/cmake/$toolchain-$cpu.cmake" \
    -DCMAKE_BUILD_TYPE=${ORVEX_BUILD_TYPE:-RelWithDebInfo} \
    -DORVEX_WERROR=${ORVEX_WERROR:-OFF} -DORVEX_SANITIZE=${ORVEX_SANITIZE:-OFF} "$@" >/dev/null
  local targets=()
  [ -z "${ORVEX_TARGETS:-}" ] || targets=(--target $ORVEX_TARGETS)
  cmake --build "$dir" "${targets[@]}"
}

# Builds this path's tree (arguments go to cmake's configure step). On the 64-bit path the
# 32-bit deliverables are built too, since they are what ships.
orvex_build() {
  orvex_build_tree "$ORVEX_ARCH" "$ORVEX_BUILD_DIR" "$@"
  if [ "$ORVEX_ARCH" = 64 ]; then
    ORVEX_TARGETS="Orvex Orvex_DLL" orvex_build_tree 32 "$ORVEX_BUILD_DIR_32" "$@"
  fi
}

# The version the deliverables carry (src/resources/version.h), which names the packages.
orvex_version() {
  sed -n 's/^#define ORVEX_VERSION_TEXT "\(.*\)"$/\1/p' "$ORVEX_ROOT/src/resources/version.h"
}

# Starts Xvfb on a free display unless one is given (or ORVEX_OWN_DISPLAY=1).
orvex_display() {
  local size=${1:-1920x1080}
  if [ -n "${DISPLAY:-}" ] && [ "${ORVEX_OWN_DISPLAY:-0}" != 1 ]; then
    return 0
  fi
  local fifo
  fifo=$(mktemp -u /tmp/orvex-xvfb.XXXXXX)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  local pid=$!
  ORVEX_CLEANUP+=("kill $pid")
  local number
  read -r -t 20 number <"$fifo" || { echo "Xvfb did not start" >&2; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$number"
}

# A fresh prefix of this path's kind (win32 or win64): a clean registry every time, no Mono
# or Gecko download. Programs run in a Wine virtual desktop of ORVEX_DESKTOP_SIZE (default
# 1920x1080). `wine`, `wineboot`, `winepath` and `regedit` then run this path's loader, in
# this script and in every program it starts (Debian's wrappers would pick the 32-bit loader
# whenever it is installed), and WINELOADER makes Wine start child processes with it too.
orvex_wine_prefix() {
  if [ "$ORVEX_ARCH" = 32 ] && ! orvex_runs_32bit; then
    echo "This machine runs no 32-bit code (IA-32 emulation is off), so the 32-bit build cannot" >&2
    echo "run under Wine here; leave ORVEX_ARCH unset (or set it to 64) to take the 64-bit path." >&2
    return 1
  fi
  if [ ! -x "$ORVEX_WINE" ]; then
    echo "Wine's loader $ORVEX_WINE is missing; scripts/setup installs it." >&2
    return 1
  fi
  export WINELOADER=$ORVEX_WINE WINEARCH=win$ORVEX_ARCH WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree=;mshtml="
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/orvex-wine.XXXXXX)
  ORVEX_CLEANUP+=("rm -rf '$WINEPREFIX'")
  ORVEX_CLEANUP+=("WINEPREFIX='$WINEPREFIX' wineserver -k")
  local shims="$WINEPREFIX/orvex-bin" tool
  mkdir -p "$shims"
  printf '#!/bin/sh\nexec "%s" "$@"\n' "$ORVEX_WINE" >"$shims/wine"
  for tool in wineboot winepath regedit; do
    printf '#!/bin/sh\nexec "%s" %s.exe "$@"\n' "$ORVEX_WINE" "$tool" >"$shims/$tool"
  done
  chmod +x "$shims"/*
  export PATH="$shims:$PATH"
  wineboot -i >/dev/null 2>&1
  # Japanese fonts under their Windows names, and window handling for a bare X display.
  local reg="$WINEPREFIX/orvex-prefix.reg"
  sed "s/@DESKTOP_SIZE@/${ORVEX_DESKTOP_SIZE:-1920x1080}/" "$ORVEX_ROOT/scripts/wine-prefix.reg" |
    iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
  wine regedit /S "$reg" >/dev/null 2>&1
  wineserver -w
}
