#!/bin/sh
# The board's UPS handed to real NUT, as vemid(8) tells to set it up: vemid under
# the simulated board, NUT's dummy-ups reading vemid's file, upsd on the loopback,
# upsmon with a SHUTDOWNCMD that leaves a marker (DEADTIME 5). One scenario a run:
#   power-cut      on battery at 3 s, low at 9 s: the marker only after LB
#   glitch         on battery, then 8 failed reads: nothing NUT acts on; LB later
#                  still shuts down
#   lost-on-battery  reads fail for good while on battery: NUT is told there is no
#                  state, and upsmon shuts down as for a UPS it cannot reach
#   lost-on-line   reads fail for a while on line power: no shutdown; NUT serves
#                  the UPS again once reads come back
#   full           the UPS file's file system full: the outage and LB still reach NUT
#   leftover       a file claiming "OB DISCHRG LB" left behind, and a start that
#                  fails: no shutdown
#   disabled       a disabled UPS: "OL ALARM"
#   restart        vemid stopped and started again: dummy-ups stays, NUT follows
# Each run has a mount namespace of its own, with its own /run/nut (upsmon writes
# its pidfile there whatever NUT_ALTPIDPATH says), a free port and a temporary
# folder; everything it starts is bounded in time and stopped at the end. Exits 77
# (skipped) with one line when NUT is missing or no private mount namespace can be
# had (it needs root).
# Usage: nut.sh VEMISIM VEMID SCENARIO
set -u
vemisim=$1 vemid=$2 scenario=$3
for dir in /lib/nut /usr/lib/nut /usr/libexec/nut /usr/local/libexec/nut; do
  [ -x "$dir/dummy-ups" ] && [ -x "$dir/upsd" ] && [ -x "$dir/upsmon" ] && nut=$dir && break
done
upsc=$(command -v upsc)
if [ -z "${nut:-}" ] || [ -z "$upsc" ]; then
  echo "nut: skipped: no NUT (dummy-ups, upsd, upsmon, upsc; scripts/deps test installs nut-server and nut-client)"
  exit 77
fi
if [ -z "${NUT_TEST_PRIVATE:-}" ]; then
  if [ "$(id -u)" -ne 0 ] || ! unshare -m true 2>/dev/null; then
    echo "nut: skipped: no private mount namespace for /run/nut here (needs root and unshare)"
    exit 77
  fi
  NUT_TEST_PRIVATE=1 exec unshare -m --propagation private sh "$0" "$@"
fi
if [ -d /run/nut ]; then mount -t tmpfs -o mode=0770 tmpfs /run/nut; else mount -t tmpfs tmpfs /run && mkdir /run/nut; fi ||
  { echo "nut: skipped: no tmpfs for /run/nut"; exit 77; }

work=$(mktemp -d)
pids=
stop() {
  for p in $pids; do kill "$p" 2>/dev/null; done
  sleep 0.5
  for p in $pids; do kill -9 "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 1' HUP INT TERM # the clean-up runs however the test ends
fail() { echo "nut ($scenario): FAILED: $*"; for f in "$work"/*.log; do echo "== $f"; tail -8 "$f"; done; exit 1; }
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cd "$work" || exit 1
mkdir state ups
cat >ups.conf <<END
[board]
  driver = dummy-ups
  port = $work/ups/board.dev
  mode = dummy-loop
  desc = "the board's UPS, from vemid"
END
printf 'LISTEN 127.0.0.1 %s\n' "$port" >upsd.conf
printf '[monitor]\n  password = secret\n  upsmon primary\n' >upsd.users
cat >upsmon.conf <<END
MONITOR board@127.0.0.1:$port 1 monitor secret primary
MINSUPPLIES 1
SHUTDOWNCMD "/bin/touch $work/shutdown"
POWERDOWNFLAG $work/killpower
POLLFREQ 1
POLLFREQALERT 1
HOSTSYNC 1
DEADTIME 5
FINALDELAY 0
END
chmod 600 upsd.users upsmon.conf
export NUT_CONFPATH=$work NUT_STATEPATH=$work/state NUT_ALTPIDPATH=$work/state
as_root=; [ "$(id -u)" -eq 0 ] && as_root="-u root"

waitfor() { # waitfor SECONDS TEST...
  limit=$1; shift
  i=0; while [ $i -lt $((limit * 10)) ]; do "$@" && return 0; sleep 0.1; i=$((i + 1)); done; return 1
}
status() { "$upsc" "board@127.0.0.1:$port" ups.status 2>/dev/null; }
lost() { "$upsc" "board@127.0.0.1:$port" ups.status 2>&1 | grep -q 'not connected'; }
is() { [ "$(status)" = "$1" ]; }
low() { status | grep -q 'OB DISCHRG LB'; } # upsmon adds FSD once it acts
shows() { waitfor "$1" is "$2" || fail "upsc never showed '$2' within $1 s (last: $(status))"; }
alarm_says() { "$upsc" "board@127.0.0.1:$port" ups.alarm 2>/dev/null | grep -q "$1" || fail "ups.alarm does not say '$1'"; }
# Throughout a stretch of time: never a shutdown, and the driver never lost.
holds() { # holds SECONDS
  i=0
  while [ $i -lt $(($1 * 10)) ]; do
    [ -e shutdown ] && fail "upsmon shut down (status $(status))"
    lost && fail "dummy-ups lost its file"
    sleep 0.1; i=$((i + 1))
  done
}
# vemid under the simulated board; $1 a board file or name, $2 a script run by sh
# with $vemid set, in which vemid writes ups/board.dev.
board() {
  "$vemisim" --board "$1" --trace trace.log -- env vemid="$vemid" sh -c "$2" >vemid.log 2>&1 & pids="$pids $!"
}
start_nut() {
  waitfor 10 test -s ups/board.dev || fail "vemid wrote no file"
  # shellcheck disable=SC2086 # no user, or -u root
  "$nut/dummy-ups" -a board $as_root -F >dummy-ups.log 2>&1 & pids="$pids $!"
  # shellcheck disable=SC2086
  "$nut/upsd" $as_root -F >upsd.log 2>&1 & pids="$pids $!"
  waitfor 10 sh -c "\"$upsc\" board@127.0.0.1:$port ups.status >/dev/null 2>&1" || fail "upsd does not serve the UPS"
  "$nut/upsmon" -p -F >upsmon.log 2>&1 & pids="$pids $!"
}
vemid_args="-d -t 10 -s 2 -I vemid.pid -u ups/board.dev -p 1"
started=$(date +%s)

case $scenario in
power-cut)
  board ups-power-cut "exec \$vemid $vemid_args"
  start_nut
  shows 10 "OL CHRG"
  shows 15 "OB DISCHRG"
  [ -e shutdown ] && fail "upsmon shut down while the battery was not low"
  waitfor 15 low || fail "upsc never showed OB DISCHRG LB (last: $(status))"
  waitfor 15 test -e shutdown || fail "upsmon did not run SHUTDOWNCMD once the battery was low"
  said="OL CHRG, OB DISCHRG, then OB DISCHRG LB, and SHUTDOWNCMD $(($(date +%s) - started)) s after the start"
  ;;
glitch)
  cat >board.json <<'END'
{"ups": {"timeline": [{"at": 0, "status": "0xC9"}, {"at": 3000, "status": "0xD9"}, {"at": 22000, "status": "0xD2"}]},
 "faults": [{"group": "0x5000", "offset": 1, "sequence": [0, 0, 0, 0, 0, 0, 0,
   "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", 0]}]}
END
  board board.json "exec \$vemid $vemid_args"
  start_nut
  shows 10 "OB DISCHRG"
  holds 14 # the 8 failed reads, and upsmon's DEADTIME after them
  grep -q "UPS read again" vemid.log || fail "the reads never failed: $(cat vemid.log)"
  waitfor 15 low || fail "upsc never showed OB DISCHRG LB (last: $(status))"
  waitfor 15 test -e shutdown || fail "upsmon did not run SHUTDOWNCMD once the battery was low"
  said="8 failed reads on battery changed nothing; LB later still shut down"
  ;;
lost-on-battery)
  cat >board.json <<'END'
{"ups": {"timeline": [{"at": 0, "status": "0xC9"}, {"at": 3000, "status": "0xD9"}]},
 "faults": [{"group": "0x5000", "offset": 1, "sequence": [0, 0, 0, 0, 0, 0, 0, "0x708"]}]}
END
  board board.json "exec \$vemid $vemid_args"
  start_nut
  shows 10 "OB DISCHRG"
  holds 8 # within vemid's 10 s, nothing changes
  shows 10 ""
  alarm_says "no current state"
  waitfor 15 test -e shutdown || fail "upsmon did not shut down for a UPS on battery it cannot read"
  said="reads lost on battery: an empty ups.status after 10 s, then upsmon's shutdown"
  ;;
lost-on-line)
  cat >board.json <<'END'
{"faults": [{"group": "0x5000", "offset": 1, "sequence": [0, 0, 0, 0,
   "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708",
   "0x708", "0x708", "0x708", "0x708", "0x708", 0]}]}
END
  board board.json "exec \$vemid $vemid_args"
  start_nut
  shows 10 "OL CHRG"
  shows 20 ""
  holds 6 # upsmon's DEADTIME passes: a UPS on line power it cannot read is no reason to shut down
  shows 15 "OL CHRG"
  grep -q "COMMBAD\|Communications with UPS .* lost" upsmon.log || fail "upsmon did not notice: $(cat upsmon.log)"
  said="reads lost on line power: empty ups.status, no shutdown, then OL CHRG again with the same dummy-ups"
  ;;
full)
  mount -t tmpfs -o size=48k tmpfs ups || { echo "nut: skipped: no tmpfs for the UPS folder"; exit 77; }
  board ups-power-cut "\$vemid $vemid_args & sleep 1; dd if=/dev/zero of=ups/fill bs=1024 2>/dev/null; wait"
  start_nut
  waitfor 5 test -e ups/fill || fail "the folder was not filled"
  shows 15 "OB DISCHRG"
  waitfor 15 low || fail "upsc never showed OB DISCHRG LB (last: $(status))"
  waitfor 15 test -e shutdown || fail "upsmon did not run SHUTDOWNCMD once the battery was low"
  said="a full file system: OB DISCHRG, OB DISCHRG LB and SHUTDOWNCMD still"
  ;;
leftover)
  printf 'ups.status: "OB DISCHRG LB"\nbattery.charge: 10\n' >ups/board.dev
  printf '%s\n' '{"faults": [{"group": "0x6000", "offset": 0, "status": "0x703"}]}' >board.json
  board board.json "\$vemid $vemid_args; echo exit \$?; sleep 20"
  waitfor 10 grep -q "^exit 70" vemid.log || fail "the start did not fail as the board refused the arm"
  start_nut
  shows 10 ""
  alarm_says "vemid did not start"
  holds 8
  said="a failed start replaced a leftover OB DISCHRG LB: no state, no shutdown"
  ;;
disabled)
  printf '%s\n' '{"ups": {"status": "0xA0"}}' >board.json
  board board.json "exec \$vemid $vemid_args"
  start_nut
  shows 10 "OL ALARM"
  alarm_says "no battery backup"
  holds 6
  said="a disabled UPS: upsc shows OL ALARM and the alarm; upsmon acts on neither"
  ;;
restart)
  board default "\$vemid $vemid_args & sleep 8; kill \$!; wait; sleep 8; exec \$vemid $vemid_args"
  start_nut
  shows 10 "OL CHRG"
  shows 10 ""
  shows 15 "OL CHRG"
  [ -e shutdown ] && fail "upsmon shut down"
  lost && fail "dummy-ups lost its file"
  said="vemid stopped and started again: no state, then OL CHRG with the same dummy-ups"
  ;;
*)
  echo "nut: unknown scenario $scenario"; exit 2 ;;
esac
echo "nut ($scenario): $said"
