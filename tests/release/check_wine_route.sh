#!/usr/bin/env bash
# The Wine route and the installer on machines of every kind, without
# changing this one: stand-in apt-get, dpkg, dpkg-query and sudo come first
# on PATH and log what they are asked; the kernel and 32-bit Wine are stood
# in for too.  Each row: the machine, then the route, a text of the message
# and whether the i386 architecture was removed again.
#   check_wine_route.sh SOURCE
set -uo pipefail
source=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/dpkg" <<'EOF'
#!/bin/sh
echo "dpkg $*" >>"$STATE/log"
case $1 in
  --print-foreign-architectures) cat "$STATE/arch" 2>/dev/null ;;
  --add-architecture) echo "$2" >"$STATE/arch" ;;
  --remove-architecture) rm -f "$STATE/arch" ;;
esac
EOF
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$STATE/log"
case "$* $MACHINE" in
  update*lists*) [ -f "$STATE/arch" ] || exit 0
    echo "E: Failed to fetch http://deb.example/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"; exit 100 ;;
  update*) exit 0 ;;
  *wine32:i386*lists*) echo "E: Unable to locate package wine32:i386"; exit 100 ;;
  *wine32:i386*breaks*) echo "E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages."; exit 100 ;;
  *"install -y"*wine32:i386*) touch "$STATE/wine32" ;;
  *"install -s -qq time nothing") echo "E: Unable to locate package time"; exit 100 ;;
  *"install -s"*nothing) ;;
  *nothing) exit 100 ;;
esac
EOF
printf '#!/bin/sh\n[ -f "$STATE/wine32" ] && echo wine-8.0\n' >"$work/bin/wine32"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/dpkg-query"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/"*

failures=0
# row MACHINE ROUTE MESSAGE REMOVED [COMMAND...]: MACHINE names how apt-get
# fails (lists, breaks, nothing) and whether the kernel runs 32-bit programs
# (no32) or i386 is there already (had-i386).
row() {
  local machine=$1 route=$2 message=$3 removed=$4 got rc=0
  shift 4
  rm -rf "$work/state" && mkdir "$work/state"
  case $machine in *had-i386*) echo i386 >"$work/state/arch" ;; esac
  got=$(cd "$work" && env -u KOBU_WINE_ROUTE PATH="$work/bin:$PATH" STATE="$work/state" MACHINE="$machine" \
        KOBU_I386_PROBE="$(case $machine in *no32*) echo false ;; *) echo true ;; esac)" \
        KOBU_WINE32="$work/bin/wine32" KOBU_APT_PAUSE=0 "${@:-$source/cmake/wine-route.sh}" 2>"$work/err") || rc=$?
  local err; err=$(cat "$work/err")
  local was_removed=no; grep -q -- '--remove-architecture i386' "$work/state/log" 2>/dev/null && was_removed=yes
  if [ "$got" = "$route" ] && [[ $err == *"$message"* ]] && [ "$was_removed" = "$removed" ]; then
    echo "ok     $machine: $route"
  else
    echo "FAILED $machine: wanted $route, '$message', removed $removed; got '$got' (exit $rc), removed $was_removed:"
    sed 's/^/         /' <<<"$err"
    failures=$((failures + 1))
  fi
}

row lists win64 "32-bit Wine cannot be installed here (wine32:i386: Unable to locate package wine32:i386; apt-get update: Failed to fetch" yes
[ "$(grep -c '^apt-get update' "$work/state/log")" = 3 ] || { echo "FAILED apt-get update not tried three times"; failures=$((failures + 1)); }
row breaks win64 "pkgProblemResolver::Resolve generated breaks" yes
row breaks,had-i386 win64 "32-bit Wine cannot be installed here" no
row installable win32 "" no
row no32,lists win64 "this machine cannot run 32-bit programs" no
row nothing "installing: cmake make g++ python3 time" "install-deps.sh: cannot install time: Unable to locate package time" no \
    "$source/cmake/install-deps.sh" native

echo "wine route: $((6 - failures)) rows passed, $failures failed"
exit $((failures > 0))
