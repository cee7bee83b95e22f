#!/usr/bin/env bash
# Every command of the real VemiCmd, under vemisim, under valgrind's memcheck:
# no memory error and no definite leak. Usage: memcheck.sh VEMISIM VEMICMD
set -u
vemisim=$1 vemicmd=$2
failed=0
check() {
  local input=$1; shift
  printf '%s' "$input" | "$vemisim" --fast-clock -- valgrind -q --error-exitcode=99 \
    --leak-check=full --errors-for-leak-kinds=definite "$vemicmd" "$@" >/dev/null 2>/tmp/memcheck.$$
  local rc=$?
  if [ $rc -eq 99 ] || grep -q '==[0-9]*==' /tmp/memcheck.$$; then
    echo "memcheck: VemiCmd $*: errors"; cat /tmp/memcheck.$$; failed=1
  else
    echo "memcheck: VemiCmd $*: clean (exit $rc)"
  fi
}
check "" /ver
check "" /sens
check "" /dalv
check "" /dmpusr
check "" /dmpusr /s
check "" /wdt
check "" /help
check "" /ig:0x8000 /io:0x1 /ibuf:B:1 /olen:0
check "" /ig:7000 /io:0 /ibuf:A:text /olen:200 /s
check "" /ibuf:B:1 /ibuf:W:2 /ig:1 /io:1 /olen:4
check "7000 0 D:1,2,3 64" /d
check "zz" /olen:x /ver
rm -f /tmp/memcheck.$$
exit $failed
