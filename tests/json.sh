#!/bin/sh
# Every board of the library, each command, the watchdog test and the direct call:
# one JSON document that jq accepts, whose exit_status is the process's.
# Usage: json.sh VEMISIM VEMICMD BOARDS_DIR
vemisim=$1 vemicmd=$2 boards=$3
failed=0 runs=0
lock=$(mktemp)
trap 'rm -f "$lock"' EXIT
for board in "$boards"/*.json; do
  for args in "/ver /sens /dmpusr /dalv" "/wdt" "/ig:7000 /io:0 /ibuf:B:1 /olen:16" "/ig:9000 /io:1 /ibuf:X /olen:4"; do
    # shellcheck disable=SC2086 # the arguments are words
    doc=$("$vemisim" --fast-clock --board "$board" -- "$vemicmd" --json --lock-file="$lock" $args 2>/dev/null)
    status=$?
    runs=$((runs + 1))
    if ! printf '%s' "$doc" | jq -e --argjson status "$status" '.exit_status == $status' >/dev/null; then
      echo "json: $(basename "$board") $args: no valid document whose exit_status is $status"
      failed=1
    fi
  done
done
[ $failed -eq 0 ] && echo "json: $runs runs, each one document that jq accepts, exit_status the process's"
exit $failed
