#!/bin/sh
# Every command of the real VemiCmd, under vemisim, under valgrind's memcheck: no
# memory error and no definite leak. Besides the default board, boards whose driver
# answers short, fails or reports more than it wrote: a byte shown that no one
# wrote is an error here, which a fresh, zeroed stack hides from every other test.
# Usage: memcheck.sh VEMISIM VEMICMD
vemisim=$1 vemicmd=$2
failed=0
log=$(mktemp) board=$(mktemp) lock=$(mktemp)
trap 'rm -f "$log" "$board" "$lock"' EXIT
# check BOARD INPUT ARGUMENT...
check() {
  printf '%s' "$1" >"$board"
  input=$2
  shift 2
  printf '%s' "$input" | "$vemisim" --fast-clock --board "$board" -- valgrind -q --error-exitcode=99 \
    --leak-check=full --errors-for-leak-kinds=definite "$vemicmd" --lock-file="$lock" "$@" >/dev/null 2>"$log"
  rc=$?
  if [ $rc -eq 99 ] || grep -q '==[0-9]*==' "$log"; then
    echo "memcheck: VemiCmd $* on $(cat "$board"): errors"
    cat "$log"
    failed=1
  else
    echo "memcheck: VemiCmd $* on $(cat "$board"): clean (exit $rc)"
  fi
}
check '{}' '' /ver /sens /dalv /dmpusr
check '{}' '' /dmpusr /s
check '{}' '' /wdt
check '{}' '' /help
check '{}' '' /ig:0x8000 /io:0x1 /ibuf:B:1 /olen:0
check '{}' '' /ig:7000 /io:0 /ibuf:A:text /olen:200 /s
check '{}' '' /ibuf:B:1 /ibuf:W:2 /ig:1 /io:1 /olen:4
check '{}' '7000 0 D:1,2,3 64' /d
check '{}' 'zz' /olen:x /ver
check '{"faults": [{"truncate": 1, "returned": 200}]}' '' /ver /dalv /dmpusr
check '{"faults": [{"group": "0x2000", "offset": 2, "truncate": 4}]}' '' /sens
check '{"faults": [{"truncate": 4, "returned": 20}]}' '' /s /dmpusr
check '{"faults": [{"truncate": 3}]}' '' /ig:7000 /io:0 /ibuf:X /olen:40
check '{"faults": [{"status": "0x708"}]}' '' /ver /sens /dalv /dmpusr /wdt
exit $failed
