#!/bin/sh
# Installs the build into a temporary prefix and runs the installed vemisim and
# VemiCmd from there, with a board named from the installed library; and the
# FreeBSD port's pkg-plist lists exactly what was installed.
# Usage: install.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1 source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
fail() { echo "install: $*"; exit 1; }
for f in sbin/VemiCmd sbin/vemid bin/vemisim share/man/man8/VemiCmd.8 share/man/man8/vemid.8 share/man/man1/vemisim.1 \
         share/man/man5/vemisim-board.5 share/vemisim/boards/default.json; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
out=$(cd / && "$prefix/bin/vemisim" --board ups-on-battery -- "$prefix/sbin/VemiCmd" /s /dalv)
printf '%s\n' "$out" | grep -qx 'Status:                  Discharging -> 40%' || fail "unexpected /dalv output: $out"
boards=$("$prefix/bin/vemisim" --list-boards | wc -l)
[ "$boards" -ge 8 ] || fail "the installed library lists $boards boards"
# The ports framework compresses manual pages; the list names them so.
installed=$(cd "$prefix" && find . -type f -o -type l | sed -e 's|^\./||' -e 's|^share/man/man[0-9]/.*|&.gz|' | sort)
listed=$(grep -v '^@' "$source/packaging/freebsd/pkg-plist" | sed 's/^%%SIM%%//' | sort)
# The simulator's files, and they alone, come with the port's SIM option.
sim=$(grep '^%%SIM%%' "$source/packaging/freebsd/pkg-plist" | sed 's/^%%SIM%%//' | sort)
[ "$sim" = "$(printf '%s\n' "$installed" | grep vemisim)" ] ||
  fail "pkg-plist's %%SIM%% lines are not the simulator's files"
[ "$installed" = "$listed" ] || fail "packaging/freebsd/pkg-plist differs from the installation:
$(printf '%s\n' "$listed" >"$prefix.listed"; printf '%s\n' "$installed" | diff "$prefix.listed" -; rm -f "$prefix.listed")"
echo "install: ok, and the port's pkg-plist lists it all ($prefix)"
