#!/bin/sh
# Runs every example of the README (its ```sh blocks) and of the manual pages (the
# .Dl lines and .Bd -literal blocks of their EXAMPLES sections) literally, each with
# sh -eu in a folder of its own, with VemiCmd, vemid and vemisim on PATH. As the
# README says, an example that calls VemiCmd or vemid without naming vemisim runs
# under the simulated board (a UPS on battery standing in for the driver); one that
# names vemisim runs as written. A recipe that reads JSON with jq runs also with a
# board whose every request is busy and with one whose names hold control
# characters (which its output must not: a name is one field of one line). Each
# must exit 0 and write nothing on standard error. An example that is a board file must be a valid board.
# Usage: examples.sh SOURCE_DIR VEMICMD_DIR VEMISIM_DIR
src=$1
PATH=$(cd "$2" && pwd):$(cd "$3" && pwd):$PATH
export PATH
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0 count=0

# One example per file: README's ```sh blocks; mdoc with its escapes undone.
awk -v out="$work/ex" '
  /^```sh$/ { n++; file = sprintf("%s.readme.%02d", out, n); inblock = 1; next }
  /^```/    { inblock = 0; next }
  inblock   { print > file }
' "$src/README.md"
for page in "$src"/man/*.[1-9]; do
  awk -v out="$work/ex.$(basename "$page")" '
    /^\.Sh/        { examples = ($2 == "EXAMPLES"); next }
    !examples      { next }
    /^\.Bd -literal/ { n++; file = sprintf("%s.%02d", out, n); inblock = 1; next }
    /^\.Ed/        { inblock = 0; next }
    /^\.Dl /       { n++; file = sprintf("%s.%02d", out, n); sub(/^\.Dl /, ""); print > file; next }
    inblock        { print > file }
  ' "$page"
done
for f in "$work"/ex.*; do
  sed -e 's/\\-/-/g' -e 's/\\e/\\/g' -e 's/\\&//g' "$f" >"$f.t" && mv "$f.t" "$f"
done

for f in "$work"/ex.*; do
  count=$((count + 1))
  dir=$work/run.$count
  mkdir "$dir"
  rc=0 board=
  if [ "$(head -c 1 "$f")" = "{" ]; then
    (cd "$dir" && vemisim --board "$f" -- true >out 2>err) || rc=$?
  elif grep -q vemisim "$f" || ! grep -Eq '(^|[^-])(VemiCmd|vemid)( |$)' "$f"; then
    (cd "$dir" && sh -eu "$f" >out 2>err) || rc=$?
  else
    # A recipe for the JSON document must hold on a board where reports fail too.
    boards=ups-on-battery
    if grep -q jq "$f"; then boards="$boards busy odd-names"; fi
    for board in $boards; do
      (cd "$dir" && vemisim --board "$board" -- sh -eu "$f" >out 2>err) || rc=$?
      if [ $rc -eq 0 ] && [ "$board" = odd-names ] && LC_ALL=C grep -q "$(printf '[\001-\011\013-\037\177]')" "$dir/out"; then
        echo "control characters in its output" >>"$dir/err"
      fi
      if [ $rc -ne 0 ] || [ -s "$dir/err" ]; then break; fi
    done
  fi
  if [ $rc -ne 0 ] || [ -s "$dir/err" ]; then
    echo "example $(basename "$f") failed (exit $rc${board:+, board $board}):"
    sed 's/^/  | /' "$f"
    sed 's/^/  stderr: /' "$dir/err"
    failed=1
  fi
done
echo "examples: $count run, $([ $failed -eq 0 ] && echo all passed || echo some failed)"
exit $failed
