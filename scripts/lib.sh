# Shared by the scripts: build, a display, and a throwaway Wine prefix.
ORVEX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ORVEX_BUILD_DIR=${ORVEX_BUILD_DIR:-$ORVEX_ROOT/build}
ORVEX_CLEANUP=()

orvex_cleanup() {
  local i
  for ((i = ${#ORVEX_CLEANUP[@]} - 1; i >= 0; i--)); do
    eval "${ORVEX_CLEANUP[$i]}" >/dev/null 2>&1 || true
  done
}
trap orvex_cleanup EXIT

# ORVEX_TOOLCHAIN picks cmake/<name>.cmake; ORVEX_WERROR=ON turns warnings into errors (CI);
# ORVEX_SANITIZE=ON builds with trapping undefined-behaviour checks and library assertions.
# Arguments go to cmake's configure step; ORVEX_TARGETS limits what is built.
orvex_build() {
  cmake -S "$ORVEX_ROOT" -B "$ORVEX_BUILD_DIR" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ORVEX_ROOT/cmake/${ORVEX_TOOLCHAIN:-mingw-i686}.cmake" \
    -DCMAKE_BUILD_TYPE=${ORVEX_BUILD_TYPE:-RelWithDebInfo} \
    -DORVEX_WERROR=${ORVEX_WERROR:-OFF} -DORVEX_SANITIZE=${ORVEX_SANITIZE:-OFF} "$@" >/dev/null
  local targets=()
  [ -z "${ORVEX_TARGETS:-}" ] || targets=(--target $ORVEX_TARGETS)
  cmake --build "$ORVEX_BUILD_DIR" "${targets[@]}"
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

# A fresh 32-bit prefix: a clean registry every time, no Mono or Gecko download.
# Programs run in a Wine virtual desktop of ORVEX_DESKTOP_SIZE (default 1920x1080).
orvex_wine_prefix() {
  export WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree=;mshtml="
  export WINEPREFIX
  WINEPREFIX=$(mktemp -d /tmp/orvex-wine.XXXXXX)
  ORVEX_CLEANUP+=("rm -rf '$WINEPREFIX'")
  ORVEX_CLEANUP+=("WINEPREFIX='$WINEPREFIX' wineserver -k")
  wineboot -i >/dev/null 2>&1
  # Japanese fonts under their Windows names, and window handling for a bare X display.
  local reg="$WINEPREFIX/orvex-prefix.reg"
  sed "s/@DESKTOP_SIZE@/${ORVEX_DESKTOP_SIZE:-1920x1080}/" "$ORVEX_ROOT/scripts/wine-prefix.reg" |
    iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
  wine regedit /S "$reg" >/dev/null 2>&1
  wineserver -w
}
