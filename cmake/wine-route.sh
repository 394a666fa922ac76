#!/usr/bin/env bash
# Prints the way this machine runs the Windows test suites under Wine:
#   win32   the shipped 32-bit program, under 32-bit Wine
#   win64   a 64-bit build of the same sources, under 64-bit Wine, where
#           32-bit Wine cannot run: the kernel cannot run 32-bit programs,
#           or 32-bit Wine cannot be installed (package lists for i386 that
#           cannot be fetched, wine32:i386 that cannot be resolved)
# One line on standard error says why when it is win64.  The one place that
# decides it: the Makefile asks here once and hands the answer on.
#   wine-route.sh              may install 32-bit Wine (as root) to find out
#   wine-route.sh --installed  only looks at what is there
# KOBU_WINE_ROUTE=win32|win64 in the environment overrides the test.
# The route's own test stands in for the kernel and for the installed Wine:
# KOBU_I386_PROBE (a command run as the 32-bit probe) and KOBU_WINE32 (the
# 32-bit Wine loader, default /usr/lib/wine/wine).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/apt.sh"

win64() { echo "$1: the Wine suites run the 64-bit build" >&2; echo win64; exit 0; }

case "${KOBU_WINE_ROUTE:-}" in
  win32) echo win32; exit 0 ;;
  win64) win64 "KOBU_WINE_ROUTE=win64" ;;
  '') ;;
  *) echo "wine-route.sh: KOBU_WINE_ROUTE must be win32 or win64, not '$KOBU_WINE_ROUTE'" >&2; exit 2 ;;
esac

# The smallest i386 program there is: exit(0) through int 0x80 (93 bytes of
# ELF).  A kernel without IA-32 support refuses it with "Exec format error",
# as it refuses 32-bit Wine.  It is made in the build folder, where programs
# are run anyway (a /tmp mounted noexec would refuse any program).
runs_i386() {
  if [ -n "${KOBU_I386_PROBE:-}" ]; then $KOBU_I386_PROBE; return; fi
  local build probe status=0
  build="$(dirname "$here")/build"
  mkdir -p "$build"
  probe=$(mktemp "$build/i386-probe.XXXXXX")
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return "$status"
}

wine32=${KOBU_WINE32:-/usr/lib/wine/wine}
wine32_runs() { "$wine32" --version >/dev/null 2>&1; }

runs_i386 || win64 "this machine cannot run 32-bit programs"
wine32_runs && { echo win32; exit 0; }
[ "${1:-}" = --installed ] && win64 "32-bit Wine is not installed"

# Install it, with the i386 architecture it needs; an architecture added here
# for nothing is removed again, or every later apt-get update would fail on
# its lists.
added=
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "adding the i386 architecture to dpkg (dpkg --add-architecture i386), for 32-bit Wine" >&2
  as_root dpkg --add-architecture i386
  added=1
fi
echo "installing 32-bit Wine: wine wine32:i386" >&2
apt_update || true
if apt_install wine wine32:i386; then
  wine32_runs && { echo win32; exit 0; }
  cause="installed, but $wine32 does not start"
else
  cause=$apt_install_error
  [ -n "$apt_update_error" ] && cause="$cause; apt-get update: $apt_update_error"
fi
if [ -n "$added" ] && ! dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -qx i386; then
  echo "removing the i386 architecture again (dpkg --remove-architecture i386): nothing was installed for it" >&2
  as_root dpkg --remove-architecture i386
fi
win64 "32-bit Wine cannot be installed here ($cause)"
