#!/usr/bin/env bash
# Checks the packages that scripts/package wrote, under Wine: the zip's contents and a start
# from an unzipped folder whose path has spaces and Japanese characters; the installer's
# silent install, the installed program's start, the Run entry option, and the silent
# uninstall with and without /DELSETTINGS; the other bitness's zip by its contents and its
# programs' processor. scripts/test-package provides the environment:
#   ORVEX_PACKAGE_ZIP (the zip this machine runs) and ORVEX_PACKAGE_BITS (32 or 64),
#   ORVEX_PACKAGE_OTHER_ZIP, ORVEX_PACKAGE_SETUP (empty where the 32-bit installer cannot run),
#   ORVEX_PACKAGE_PROBE (package_probe.exe), WINEPREFIX (a fresh prefix) and DISPLAY.
set -uo pipefail
: "${ORVEX_PACKAGE_ZIP:?}" "${ORVEX_PACKAGE_OTHER_ZIP:?}" "${ORVEX_PACKAGE_BITS:?}"
: "${ORVEX_PACKAGE_SETUP?}" "${ORVEX_PACKAGE_PROBE:?}" "${WINEPREFIX:?}"
export LC_ALL=C.UTF-8  # Japanese paths reach Wine's programs intact only from a UTF-8 locale

passed=0
failed=0
# check DESCRIPTION COMMAND...: one row of the report.
check() {
  local description=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok   - $description"
  else
    failed=$((failed + 1))
    echo "FAIL - $description"
  fi
}

probe() { wine "$ORVEX_PACKAGE_PROBE" "$@" 2>/dev/null; }
not() { ! "$@"; }
exists() { [ -e "$1" ]; }
# Waits until every Wine process of the prefix has ended (an uninstaller runs on from a copy).
settle() { timeout 120 wineserver -w; }

program_files_win='C:\Program Files\Orvex'
program_files="$WINEPREFIX/drive_c/Program Files/Orvex"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvex.lnk"
uninstall_key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvex'
run_key='Software\Microsoft\Windows\CurrentVersion\Run'
settings_key='SOFTWARE\Lumenkey Works\Orvex'
installed_files=(Orvex.exe Orvex_DLL.dll README.txt layout.schema.json uninstall.exe)
work=$(mktemp -d /tmp/orvex-package-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Starts EXE (a Unix path) and checks that its window appears and belongs to it; closes it.
starts_and_shows_window() {
  local exe=$1 expected
  expected=$(winepath -w "$exe" 2>/dev/null)
  (cd "$(dirname "$exe")" && wine "$exe" >/dev/null 2>&1 &)
  probe window ORVEX 30000 "$expected" || return 1
  probe close ORVEX 10000
}

version_matches() {
  local file=$1 info
  info=$(probe version "$(winepath -w "$file" 2>/dev/null)") || return 1
  grep -qx 'FileVersion=0.6.0.0' <<<"$info" &&
    grep -qx 'ProductVersion=0.6.0.0' <<<"$info" &&
    grep -qx 'String.ProductName=Orvex' <<<"$info" &&
    grep -qx 'String.ProductVersion=0.6' <<<"$info" &&
    grep -qx 'String.FileVersion=0.6' <<<"$info" &&
    grep -qx "String.OriginalFilename=$(basename "$file")" <<<"$info" &&
    grep -q '^String.FileDescription=.' <<<"$info" || return 1
  # No real company: the field is absent or names the invented vendor.
  local company
  company=$(grep '^String.CompanyName=' <<<"$info")
  [ -z "$company" ] || [ "$company" = 'String.CompanyName=Lumenkey Works' ]
}

zip_holds_exactly() {
  [ "$(unzip -Z1 "$1" | sort | tr '\n' ' ')" = "Orvex.exe Orvex_DLL.dll README.txt layout.schema.json " ]
}

# built_for BITS FILE: the PE header names the processor of that bitness (0x14c or 0x8664).
built_for() {
  local pe machine
  pe=$(od -An -tu4 -j60 -N4 "$2" | tr -d ' ')
  machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$2" | tr -d ' ')
  [ "$machine" = "$([ "$1" = 32 ] && echo 014c || echo 8664)" ]
}

installed_files_present() {
  local f
  for f in "${installed_files[@]}"; do [ -f "$program_files/$f" ] || return 1; done
}

start_installed() { (cd "$program_files" && wine "$program_files/Orvex.exe" >/dev/null 2>&1 &); }

uninstall() {
  wine "$program_files_win\\uninstall.exe" "$@" /S >/dev/null 2>&1
  settle
}

other_bits=$((96 - ORVEX_PACKAGE_BITS))
echo "== the $other_bits-bit zip"
check "the zip holds exactly Orvex.exe, Orvex_DLL.dll, README.txt and layout.schema.json" \
  zip_holds_exactly "$ORVEX_PACKAGE_OTHER_ZIP"
other="$work/other"
unzip -q "$ORVEX_PACKAGE_OTHER_ZIP" -d "$other"
for f in Orvex.exe Orvex_DLL.dll; do
  check "$f is built for $other_bits-bit Windows" built_for "$other_bits" "$other/$f"
done

echo "== the $ORVEX_PACKAGE_BITS-bit zip"
check "the zip holds exactly Orvex.exe, Orvex_DLL.dll, README.txt and layout.schema.json" \
  zip_holds_exactly "$ORVEX_PACKAGE_ZIP"
unzipped="$work/Orvex テスト フォルダ/ゲーム パッド"
mkdir -p "$unzipped"
unzip -q "$ORVEX_PACKAGE_ZIP" -d "$unzipped"
for f in Orvex.exe Orvex_DLL.dll; do
  check "$f is built for $ORVEX_PACKAGE_BITS-bit Windows" \
    built_for "$ORVEX_PACKAGE_BITS" "$unzipped/$f"
  check "$f carries version 0.6 and product name Orvex" version_matches "$unzipped/$f"
done
check "Orvex starts from a folder with spaces and Japanese characters and shows its window" \
  starts_and_shows_window "$unzipped/Orvex.exe"
settle

if [ -z "$ORVEX_PACKAGE_SETUP" ]; then
  echo "== installer: not run, it is a 32-bit program and this machine runs no 32-bit code"
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
fi

echo "== installer: silent install and uninstall, settings kept"
wine "$ORVEX_PACKAGE_SETUP" /S >/dev/null 2>&1
settle
check "silent install puts the program files into the program folder" installed_files_present
check "silent install makes the Start-menu shortcut" exists "$shortcut"
check "the uninstaller is registered in Add/Remove Programs" \
  probe value HKLM "$uninstall_key" UninstallString "\"$program_files_win\\uninstall.exe\""
check "the uninstall entry names the version" probe value HKLM "$uninstall_key" DisplayVersion 0.6
check "without /AUTOSTART there is no Run entry" not probe value HKCU "$run_key" Orvex
check "the installed Orvex.exe starts and shows its window" \
  starts_and_shows_window "$program_files/Orvex.exe"
settle
# A settings value as the settings dialog would leave it.
probe setvalue HKCU "$settings_key" Transparency 40
uninstall
check "silent uninstall removes the program folder" not exists "$program_files"
check "silent uninstall removes the shortcut" not exists "$shortcut"
check "silent uninstall removes the Add/Remove Programs entry" not probe key HKLM "$uninstall_key"
check "silent uninstall keeps the user's settings" probe value HKCU "$settings_key" Transparency 40

echo "== installer: start at logon, uninstall of a running Orvex with /DELSETTINGS"
wine "$ORVEX_PACKAGE_SETUP" /S /AUTOSTART >/dev/null 2>&1
settle
check "/AUTOSTART adds the Run entry for the installed program" \
  probe value HKCU "$run_key" Orvex "\"$program_files_win\\Orvex.exe\""
start_installed
check "the installed Orvex runs before installing again" probe window ORVEX 30000
wine "$ORVEX_PACKAGE_SETUP" /S >/dev/null 2>&1
settle
check "installing over a running Orvex closes it first" not probe window ORVEX 0
check "installing again without /AUTOSTART keeps the earlier Run entry" \
  probe value HKCU "$run_key" Orvex "\"$program_files_win\\Orvex.exe\""
start_installed
check "the installed Orvex runs before the uninstall" probe window ORVEX 30000
uninstall /DELSETTINGS
check "the uninstaller closes a running Orvex" not probe window ORVEX 0
check "uninstall of a running Orvex still removes the program folder" not exists "$program_files"
check "uninstall removes the Run entry" not probe value HKCU "$run_key" Orvex
check "uninstall removes the shortcut" not exists "$shortcut"
check "/DELSETTINGS deletes the settings key" not probe key HKCU "$settings_key"
check "/DELSETTINGS leaves no empty vendor key" not probe key HKCU 'SOFTWARE\Lumenkey Works'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
