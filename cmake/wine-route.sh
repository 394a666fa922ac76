#!/usr/bin/env bash
# Prints the way this machine runs the Windows test suites under Wine:
#   win32   the shipped 32-bit program, under 32-bit Wine
#   win64   a 64-bit build of the same sources, under 64-bit Wine, on a
#           machine whose kernel cannot run 32-bit programs at all
# The one place that decides it: install-deps.sh and the Makefile ask here.
# KOBU_WINE_ROUTE=win32|win64 in the environment overrides the test.
set -euo pipefail

case "${KOBU_WINE_ROUTE:-}" in
  win32|win64) echo "$KOBU_WINE_ROUTE"; exit 0 ;;
  '') ;;
  *) echo "wine-route.sh: KOBU_WINE_ROUTE must be win32 or win64, not '$KOBU_WINE_ROUTE'" >&2; exit 2 ;;
esac

# The smallest i386 program there is: exit(0) through int 0x80 (93 bytes of
# ELF).  A kernel without IA-32 support refuses it with "Exec format error",
# as it refuses 32-bit Wine.
# It is made in the build folder, where programs are run anyway (a /tmp
# mounted noexec would refuse any program).
build="$(cd "$(dirname "$0")/.." && pwd)/build"
mkdir -p "$build"
probe=$(mktemp "$build/i386-probe.XXXXXX")
trap 'rm -f "$probe"' EXIT
printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80' >"$probe"
chmod +x "$probe"
if "$probe" 2>/dev/null; then echo win32; else echo win64; fi
