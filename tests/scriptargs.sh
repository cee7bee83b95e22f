#!/bin/sh
# scripts/test's arguments: --help prints the usage and exits 0; anything it does
# not know prints it and exits 64; neither builds nor installs anything.
# Usage: scriptargs.sh SOURCE_DIR
set -u
test=$1/scripts/test
out=$(sh "$test" --help) || { echo "scripts/test --help: exit $?"; exit 1; }
case $out in "usage: scripts/test "*) ;; *) echo "scripts/test --help said: $out"; exit 1 ;; esac
for args in --bogus "--quick extra" -x; do
  # shellcheck disable=SC2086
  err=$(sh "$test" $args 2>&1 >/dev/null); rc=$?
  [ $rc -eq 64 ] || { echo "scripts/test $args: exit $rc, not 64"; exit 1; }
  case $err in *"usage: scripts/test "*) ;; *) echo "scripts/test $args said: $err"; exit 1 ;; esac
done
echo "scripts/test: --help, and unknown arguments refused with its usage"
