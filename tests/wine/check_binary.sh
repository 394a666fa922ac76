#!/usr/bin/env bash
# Checks the Windows program file itself: PE32 for i386, GUI subsystem, only
# system DLLs imported, the MYICON icon group (Japanese, one 32x32 16-colour
# image), Terminal Server aware, loadable by Windows XP, the manifest and the
# version resource of VERSION (check_resources.py), and at most 48 KB.
#   check_binary.sh kobu.exe VERSION
set -uo pipefail
exe=$1
version=$2
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
checks=0
failures=0
check() {  # check DESCRIPTION COMMAND...
  checks=$((checks + 1))
  if "${@:2}" >/dev/null 2>&1; then echo "ok     $1"; else echo "FAILED $1"; failures=$((failures + 1)); fi
}

headers=$("$objdump" -p "$exe")
check "file format pei-i386" grep -q 'file format pei-i386' <<<"$("$objdump" -f "$exe")"
check "PE32 (magic 010b)" grep -Eq '^Magic[[:space:]]+010b' <<<"$headers"
check "GUI subsystem" grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers"
dlls=$(grep -o 'DLL Name: .*' <<<"$headers" | cut -d' ' -f3 | tr 'a-z' 'A-Z' | sort -u | tr '\n' ' ')
echo "       imports: $dlls"
check "imports only system DLLs" bash -c '
  for d in '"$dlls"'; do
    case $d in KERNEL32.DLL|USER32.DLL|ADVAPI32.DLL|SHELL32.DLL|MSVCRT.DLL) ;; *) exit 1 ;; esac
  done'
size=$(stat -c %s "$exe")
echo "       size: $size bytes"
check "at most 48 KB" test "$size" -le 49152
flags=$(awk '$1 == "DllCharacteristics" { print $2 }' <<<"$headers")
check "TERMINAL_SERVER_AWARE (DllCharacteristics $flags)" test $(( 0x$flags & 0x8000 )) -ne 0
subsystem=$(awk '$1 == "MajorSubsystemVersion" { major = $2 } $1 == "MinorSubsystemVersion" { print major * 100 + $2 }' <<<"$headers")
check "subsystem version at most 5.1 (Windows XP)" test "$subsystem" -le 501

resources=$(wrestool -l "$exe")
check "icon group MYICON in Japanese (0x411)" grep -q "type=14 --name='MYICON' --language=1041" <<<"$resources"
check "exactly one icon image" test "$(grep -c -- '--type=3 ' <<<"$resources")" -eq 1
tmp=$(mktemp -d)
wrestool -x -t14 -n MYICON "$exe" -o "$tmp/icon.ico" 2>/dev/null
icons=$(icotool -l "$tmp/icon.ico" 2>/dev/null)
rm -rf "$tmp"
check "one 32x32 4-bit image" test "$icons" = "--icon --index=1 --width=32 --height=32 --bit-depth=4 --palette-size=16"

resources=$(python3 "$(dirname "$0")/check_resources.py" "$exe" "$version")
echo "$resources"
checks=$((checks + $(grep -Ec '^(ok|FAILED) ' <<<"$resources")))
failures=$((failures + $(grep -c '^FAILED ' <<<"$resources")))

passed=$(( checks - failures ))
echo "binary: $passed passed, $failures failed"
exit $(( failures > 0 ))
