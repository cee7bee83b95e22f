#!/bin/sh
# The daily periodic(8) script under a stand-in for /etc/defaults/periodic.conf
# (FreeBSD's defines source_periodic_confs, which reads /etc/periodic.conf), with
# VemiCmd under the simulated board: disabled, it says nothing; enabled, it reports
# the sensors, the UPS and the power failures since the run before, across the
# counter's wrap, and whether vemid holds the watchdog, with periodic's exit
# statuses (0 nothing notable, 1 notable, 2 a setting that cannot be used).
# Usage: periodic.sh SOURCE_DIR VEMISIM VEMICMD VEMID
set -u
src=$1 vemisim=$2 vemicmd=$3 vemid=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM
failed=0
fail() { echo "periodic: FAILED: $*"; failed=1; }
cat >"$work/defaults" <<END
daily_vemi_enable="NO"
source_periodic_confs() { . "$work/periodic.conf"; }
END
sed -e "s|/etc/defaults/periodic.conf|$work/defaults|g" -e "s|^vemicmd=.*|vemicmd=$vemicmd|" \
    "$src/fleet/periodic/490.vemi.in" >"$work/490.vemi"

# run NAME SETTINGS BOARD EXPECTED_EXIT LINE...: the script's output must hold each line.
run() {
  name=$1 settings=$2 board=$3 expected=$4
  shift 4
  printf '%s\ndaily_vemi_state_dir="%s/state"\ndaily_vemi_pidfile="%s/vemid.pid"\n' "$settings" "$work" "$work" \
    >"$work/periodic.conf"
  printf '%s\n' "$board" >"$work/board.json"
  timeout 30 "$vemisim" --board "$work/board.json" -- sh "$work/490.vemi" >"$work/out" 2>&1
  rc=$?
  [ $rc -eq "$expected" ] || fail "$name: exit $rc, not $expected: $(cat "$work/out")"
  for line in "$@"; do
    grep -qF -- "$line" "$work/out" || fail "$name: the report lacks '$line': $(cat "$work/out")"
  done
}
ups() { printf '{"ups": {"status": "%s", "powerFailCounter": %s}}' "$1" "$2"; }

run "disabled, it says nothing" '' "$(ups 0xC7 3)" 0
[ -s "$work/out" ] && fail "disabled, it said: $(cat "$work/out")"
run "a first run keeps the counter" 'daily_vemi_enable="YES" daily_vemi_vemid="NO"' "$(ups 0xC7 3)" 0 \
  "Board state:" "    CPU Fan        :  2400.00 RPM" "  UPS: Charging -> 70%" "  Power failures counted: 3 (none kept from a run before)"
run "the day after, nothing new" 'daily_vemi_enable="YES" daily_vemi_vemid="NO"' "$(ups 0xC7 3)" 0 \
  "  Power failures since the run before: 0"
run "two power failures, on battery now" 'daily_vemi_enable="YES" daily_vemi_vemid="NO"' "$(ups 0xD4 5)" 1 \
  "  UPS: Discharging -> 40%" "  Power failures since the run before: 2"
run "on battery still, no failure since" 'daily_vemi_enable="YES" daily_vemi_vemid="NO"' "$(ups 0xD4 5)" 1 \
  "  UPS: Discharging -> 40%" "  Power failures since the run before: 0"
echo 65534 >"$work/state/power_failures"
run "across the counter's wrap" 'daily_vemi_enable="YES" daily_vemi_vemid="NO"' "$(ups 0xC7 1)" 1 \
  "  Power failures since the run before: 3 (the counter wrapped past 65535)"
run "no vemid holds the watchdog" 'daily_vemi_enable="YES"' "$(ups 0xC7 1)" 1 \
  "  vemid does not hold the watchdog"
run "a setting it cannot use" 'daily_vemi_enable="YES" daily_vemi_vemid="maybe"' "$(ups 0xC7 1)" 2 \
  'daily_vemi_vemid is "maybe": YES or NO'

# vemid holding the watchdog, on the same board (a first run: no counter kept).
rm -rf "$work/state"
printf 'daily_vemi_enable="YES"\ndaily_vemi_state_dir="%s/state"\ndaily_vemi_pidfile="%s/vemid.pid"\n' "$work" "$work" \
  >"$work/periodic.conf"
timeout 30 "$vemisim" -- sh -c "'$vemid' -d -t 6 -s 2 -I '$work/vemid.pid' 2>/dev/null & v=\$!
  until [ -s '$work/vemid.pid' ]; do sleep 0.1; done; sh '$work/490.vemi'; echo exit \$?; kill \$v; wait \$v" \
  >"$work/out" 2>&1
grep -q "  vemid holds the watchdog (pid [0-9]*)" "$work/out" && grep -q "^exit 0$" "$work/out" ||
  fail "with vemid running: $(cat "$work/out")"

[ $failed -eq 0 ] && echo "periodic: disabled, enabled, the counter kept and wrapped, on battery, vemid's watchdog," \
  "a bad setting: each as periodic(8) reads it"
exit $failed
