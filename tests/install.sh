#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed vemisim and
# VemiCmd from there, with a board named from the installed library.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "install: $*"; exit 1; }
for f in sbin/VemiCmd bin/vemisim share/man/man8/VemiCmd.8 share/man/man1/vemisim.1 \
         share/man/man5/vemisim-board.5 share/vemisim/boards/default.json; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
out=$(cd / && "$prefix/bin/vemisim" --board ups-on-battery -- "$prefix/sbin/VemiCmd" /s /dalv)
grep -qx 'Status:                  Discharging -> 40%' <<<"$out" || fail "unexpected /dalv output: $out"
boards=$("$prefix/bin/vemisim" --list-boards | wc -l)
[ "$boards" -ge 7 ] || fail "the installed library lists $boards boards"
echo "install: ok ($prefix)"
