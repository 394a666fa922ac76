#!/usr/bin/env bash
# Installs what building and testing kobu needs, when it is missing (Debian,
# as root).  Quiet and quick when everything is there already.
#   install-deps.sh native   what the native program needs (make demo)
#   install-deps.sh win32    what the Windows program and its archive need (make dist)
#   install-deps.sh          everything: tests, Windows build, Wine, fuzzing, benchmarks
# Wine comes the way wine-route.sh chooses (KOBU_WINE_ROUTE, as the Makefile
# hands it on): 32-bit Wine, which wine-route.sh has installed already, or
# 64-bit Wine and the x86_64 compiler for the 64-bit test build.
# An install that cannot be done ends the run with one line naming the
# package and the cause.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/apt.sh"

packages=(cmake make g++ python3 time)
route=
if [ "${1:-all}" = win32 ]; then
  packages+=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
elif [ "${1:-all}" != native ]; then
  route=${KOBU_WINE_ROUTE:-$("$here/wine-route.sh")}
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
             g++-mingw-w64-i686 binutils-mingw-w64-i686 locales icoutils ripgrep
             chromium fonts-ipafont-gothic groff-base git acl)
  if [ "$route" = win32 ]; then
    packages+=(wine wine32:i386)
  else
    packages+=(wine wine64 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
  fi
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt_update || true
  if ! apt_install "${missing[@]}"; then
    echo "install-deps.sh: cannot install $apt_install_error" >&2
    exit 1
  fi
fi

# The Japanese locale gives Wine code page 932.
if [ -n "$route" ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "generating the ja_JP.UTF-8 locale"
  as_root sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
