#!/usr/bin/env bash
# Runs the native install the way a user does, make install with DESTDIR and
# PREFIX, into a staging folder, and checks what arrives there: the program
# (mode 755, stripped, answering --version), the manual page (mode 644,
# rendering without a warning, every section a reader looks for) and the
# licence, and nothing else.
#   check_install.sh SOURCE VERSION WORK
set -uo pipefail
src=$1
version=$2
work=$3
checks=0
failures=0
check() {  # check DESCRIPTION COMMAND...
  checks=$((checks + 1))
  if "${@:2}" >/dev/null 2>&1; then echo "ok     $1"; else echo "FAILED $1"; failures=$((failures + 1)); fi
}

rm -rf "$work" && mkdir -p "$work"
stage=$work/stage
if ! make -C "$src" --no-print-directory install DESTDIR="$stage" PREFIX=/opt/kobu >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAILED make install"
  exit 1
fi
root=$stage/opt/kobu
program=$root/bin/kobu
manual=$root/share/man/man1/kobu.1

expected=$(printf '%s\n' "$program" "$root/share/doc/kobu/LICENSE" "$manual" | sort)
check "installs bin/kobu, share/man/man1/kobu.1 and share/doc/kobu/LICENSE under DESTDIR/PREFIX, nothing else" \
  test "$(find "$stage" -type f | sort)" = "$expected"
check "bin/kobu: mode 755" test "$(stat -c %a "$program")" = 755
check "bin/kobu: stripped" bash -c "! readelf -S '$program' | grep -q '\.debug_info'"
check "bin/kobu --version: kobu $version" test "$("$program" --version | head -n 1)" = "kobu $version"
check "kobu.1: mode 644" test "$(stat -c %a "$manual")" = 644
check "LICENSE: the MIT licence of the sources" cmp "$src/LICENSE" "$root/share/doc/kobu/LICENSE"

groff -man -Tutf8 -ww -z "$manual" 2>"$work/groff.log"
check "kobu.1: renders without warnings" test ! -s "$work/groff.log"
cat "$work/groff.log"
page=$(groff -man -Tascii -P-cbou "$manual" 2>/dev/null)
check "kobu.1: footer names kobu $version" grep -q "^kobu $version " <<<"$(tail -n 1 <<<"$page")"
check "kobu.1: no @PLACEHOLDER@ left" bash -c "! grep -q '@[A-Z_]*@' '$manual'"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' ENVIRONMENT FILES COPYRIGHT; do
  check "kobu.1: section $section" grep -qx "$section" <<<"$page"
done
for word in --help --version KOBU_OPEN XDG_CONFIG_HOME HOME user-dirs.dirs kobu.txt xdg-open MIT; do
  check "kobu.1: mentions $word" grep -qF -- "$word" <<<"$page"
done

make -C "$src" --no-print-directory uninstall DESTDIR="$stage" PREFIX=/opt/kobu >>"$work/install.log" 2>&1
check "make uninstall removes what make install put there" test -z "$(find "$stage" -type f)"

passed=$(( checks - failures ))
echo "install: $passed passed, $failures failed"
[ "$failures" -eq 0 ] && rm -rf "$work"
exit $(( failures > 0 ))
