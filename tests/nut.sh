#!/bin/sh
# The board's UPS handed to real NUT, as vemid(8) tells to set it up: vemid under
# the simulated board, upsd on the loopback as NUT's own user, upsmon with a
# SHUTDOWNCMD that leaves a marker (POLLFREQ 1, DEADTIME 5). Two routes:
# vemid as the UPS's driver (-N: upsd connects to vemid's socket; upsdrvctl starts
# the placeholder vemid-nut from a driver folder of the test's own), and the file
# for NUT's dummy-ups (-u). One scenario a run:
#   driver-power-cut  on battery at 3 s, low at 9 s: the marker only after LB;
#                  the times from the cut to upsmon's "on battery" and from LB to
#                  the marker
#   driver-frozen  vemid stopped (SIGSTOP) on battery: upsd calls the data stale
#                  within MAXAGE (6 here), and upsmon shuts down; the times
#   driver-stale   reads fail for a while on line power: stale, then OL CHRG again,
#                  no shutdown
#   driver-restarts  upsd restarted: the UPS is served again (DUMPALL); vemid
#                  restarted: upsd connects again; upsdrvctl stop and shutdown leave
#                  vemid running
#   native-frozen  the yardstick for driver-frozen: NUT's own dummy-ups driver
#                  (reading vemid's file) stopped on battery
#   power-cut      the file: as driver-power-cut
#   glitch         the file: on battery, then 8 failed reads: nothing NUT acts on;
#                  LB later still shuts down
#   lost-on-battery  the file: reads fail for good while on battery: NUT is told
#                  there is no state, and upsmon shuts down as for a UPS it cannot reach
#   lost-on-line   the file: reads fail for a while on line power: no shutdown; NUT
#                  serves the UPS again once reads come back
#   full           the file: its file system full: the outage and LB still reach NUT
#   leftover       the file: "OB DISCHRG LB" left behind, and a start that fails: no
#                  shutdown
#   disabled       the file: a disabled UPS: "OL ALARM"
#   restart        the file: vemid stopped and started again: dummy-ups stays, NUT
#                  follows
# Each run has a mount namespace of its own, with its own /run/nut (upsmon writes
# its pidfile there whatever NUT_ALTPIDPATH says), a free port and a temporary
# folder; everything it starts is bounded in time and stopped at the end. Exits 77
# (skipped) with one line when NUT is missing or no private mount namespace can be
# had (it needs root).
# Usage: nut.sh VEMISIM VEMID VEMID_NUT SCENARIO
set -u
vemisim=$1 vemid=$2 front=$3 scenario=$4
for dir in /lib/nut /usr/lib/nut /usr/libexec/nut /usr/local/libexec/nut; do
  [ -x "$dir/dummy-ups" ] && [ -x "$dir/upsd" ] && [ -x "$dir/upsmon" ] && nut=$dir && break
done
upsc=$(command -v upsc)
upsdrvctl=$(PATH=$PATH:/sbin:/usr/sbin:/usr/local/sbin command -v upsdrvctl)
nutuser=nut; id -u nut >/dev/null 2>&1 || nutuser=uucp # FreeBSD's package runs NUT as uucp
if [ -z "${nut:-}" ] || [ -z "$upsc" ] || [ -z "$upsdrvctl" ]; then
  echo "nut: skipped: no NUT (dummy-ups, upsd, upsmon, upsc, upsdrvctl; scripts/deps test installs nut-server and nut-client)"
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
chmod 755 "$work" # NUT's user reads its configuration there
pids=
stop() {
  [ -s "$work/vemid.pid" ] && kill -CONT "$(cat "$work/vemid.pid")" 2>/dev/null # a frozen one stops too
  for p in $pids; do kill -CONT "$p" 2>/dev/null; kill "$p" 2>/dev/null; done
  sleep 0.5
  for p in $pids; do kill -9 "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 1' HUP INT TERM # the clean-up runs however the test ends
fail() { echo "nut ($scenario): FAILED: $*"; for f in "$work"/*.log; do echo "== $f"; tail -8 "$f"; done; exit 1; }
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cd "$work" || exit 1
mkdir state ups drivers
chown "$nutuser:$(id -gn "$nutuser")" state && chmod 770 state
ln -s "$front" drivers/vemid-nut
# A board whose UPS status reads fail for 15 reads after the first four.
reads_lost_board() {
  cat >board.json <<'END'
{"faults": [{"group": "0x5000", "offset": 1, "sequence": [0, 0, 0, 0,
   "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708", "0x708",
   "0x708", "0x708", "0x708", "0x708", "0x708", 0]}]}
END
}

case $scenario in
driver-*) route=driver ;;
*) route=file ;;
esac
if [ $route = driver ]; then
  cat >ups.conf <<END
driverpath = $work/drivers
[board]
  driver = vemid-nut
  port = none
  desc = "the board's UPS, served by vemid"
END
else
  cat >ups.conf <<END
[board]
  driver = dummy-ups
  port = $work/ups/board.dev
  mode = dummy-loop
  desc = "the board's UPS, from vemid"
END
fi
printf 'LISTEN 127.0.0.1 %s\nMAXAGE 6\n' "$port" >upsd.conf
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
chmod 640 ups.conf upsd.conf upsd.users upsmon.conf && chgrp "$(id -gn "$nutuser")" ups.conf upsd.conf upsd.users
export NUT_CONFPATH=$work NUT_STATEPATH=$work/state NUT_ALTPIDPATH=$work/state
as_root=; [ "$(id -u)" -eq 0 ] && as_root="-u root"
# Tenths of a second since the test started, and a stretch's length in seconds.
tenths() { echo $(( ($(date +%s%N) - started_ns) / 100000000 )); }
seconds() { echo "$(($1 / 10)).$(($1 % 10))"; }
started_ns=$(date +%s%N)

waitfor() { # waitfor SECONDS TEST...
  limit=$1; shift
  i=0; while [ $i -lt $((limit * 10)) ]; do "$@" && return 0; sleep 0.1; i=$((i + 1)); done; return 1
}
status() { "$upsc" "board@127.0.0.1:$port" ups.status 2>/dev/null; }
stale() { "$upsc" "board@127.0.0.1:$port" ups.status 2>&1 | grep -q 'Data stale'; }
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
# upsd runs as NUT's user, as it does on a system; upsmon as root (-p), to shut down.
start_upsd() {
  "$nut/upsd" -F >>upsd.log 2>&1 & upsd=$!; pids="$pids $upsd"
  waitfor 10 sh -c "\"$upsc\" board@127.0.0.1:$port ups.status >/dev/null 2>&1" || fail "upsd does not serve the UPS"
}
start_nut() {
  if [ $route = driver ]; then
    waitfor 10 test -S "state/vemid-nut-board" || fail "vemid made no socket"
    "$upsdrvctl" start >upsdrvctl.log 2>&1 || fail "upsdrvctl start failed: $(cat upsdrvctl.log)"
    pids="$pids $(cat state/vemid-nut-board.pid)"
  else
    waitfor 10 test -s ups/board.dev || fail "vemid wrote no file"
    # shellcheck disable=SC2086 # no user, or -u root
    "$nut/dummy-ups" -a board $as_root -F >dummy-ups.log 2>&1 & dummyups=$!; pids="$pids $dummyups"
  fi
  start_upsd
  "$nut/upsmon" -p -F >upsmon.log 2>&1 & pids="$pids $!"
}
# Polls, a tenth of a second at a time, until the test holds: the time it did.
when() { # when SECONDS TEST...
  limit=$1; shift
  i=0; while [ $i -lt $((limit * 10)) ]; do "$@" && tenths && return 0; sleep 0.1; i=$((i + 1)); done
  echo never
}
logs() { grep -q "$2" "$1" 2>/dev/null; } # logs FILE LINE
vemid_args="-d -t 10 -s 2 -I vemid.pid -u ups/board.dev -p 1"
[ $route = driver ] && vemid_args="-d -t 60 -s 2 -I vemid.pid -N board -S $work/state -p 1"
started=$(date +%s)

case $scenario in
driver-power-cut)
  board ups-power-cut "exec \$vemid $vemid_args"
  start_nut
  shows 10 "OL CHRG"
  cut=$(when 15 logs vemid.log "UPS on battery")
  onbattery=$(when 15 logs upsmon.log "on battery")
  [ -e shutdown ] && fail "upsmon shut down while the battery was not low"
  lb=$(when 20 logs vemid.log "UPS on battery, low")
  marker=$(when 15 test -e shutdown)
  [ -e shutdown ] || fail "upsmon did not run SHUTDOWNCMD once the battery was low"
  [ "$onbattery" != never ] || fail "upsmon never said the UPS was on battery"
  said="through vemid's socket: upsmon on battery $(seconds $((onbattery - cut))) s after vemid read the cut;"
  said="$said SHUTDOWNCMD $(seconds $((marker - lb))) s after vemid read LB"
  ;;
driver-frozen | native-frozen)
  board ups-on-battery "exec \$vemid $vemid_args"
  start_nut
  shows 10 "OB DISCHRG"
  holds 3
  frozen=$(tenths)
  if [ $scenario = driver-frozen ]; then kill -STOP "$(cat vemid.pid)"; else kill -STOP "$dummyups"; fi
  waitfor 15 stale || fail "upsd never called the data stale (last: $(status))"
  isstale=$(tenths)
  marker=$(when 30 test -e shutdown)
  [ -e shutdown ] || fail "upsmon did not shut down for a UPS on battery whose driver froze"
  who="vemid (its socket)"; [ $scenario = native-frozen ] && who="NUT's dummy-ups"
  said="$who frozen on battery: data stale after $(seconds $((isstale - frozen))) s (MAXAGE 6),"
  said="$said SHUTDOWNCMD after $(seconds $((marker - frozen))) s (DEADTIME 5)"
  ;;
driver-stale)
  reads_lost_board
  board board.json "exec \$vemid $vemid_args"
  start_nut
  shows 10 "OL CHRG"
  waitfor 20 stale || fail "upsd never called the data stale (last: $(status))"
  holds 6 # upsmon's DEADTIME passes: a UPS on line power it cannot read is no reason to shut down
  shows 15 "OL CHRG"
  grep -q "no longer stale" upsd.log || fail "upsd did not say the data came back: $(cat upsd.log)"
  said="failed reads on line power: DATASTALE, no shutdown, then DATAOK and OL CHRG"
  ;;
driver-restarts)
  board default "\$vemid $vemid_args & echo \$! >first; sleep 6; kill \$!; wait; sleep 3; exec \$vemid $vemid_args"
  start_nut
  shows 10 "OL CHRG"
  kill "$upsd"; wait "$upsd" 2>/dev/null
  start_upsd
  shows 10 "OL CHRG"
  "$upsc" "board@127.0.0.1:$port" ups.model | grep -q "SIM-100 G3" || fail "upsd restarted lacks the dump"
  waitfor 10 sh -c "! kill -0 $(cat first) 2>/dev/null" || fail "the first vemid did not stop"
  waitfor 20 sh -c "[ -s vemid.pid ] && [ \"\$(cat vemid.pid)\" != $(cat first) ]" || fail "vemid did not start again"
  shows 20 "OL CHRG"
  "$upsdrvctl" stop >>upsdrvctl.log 2>&1 || fail "upsdrvctl stop failed: $(cat upsdrvctl.log)"
  "$upsdrvctl" shutdown >>upsdrvctl.log 2>&1 && fail "upsdrvctl shutdown succeeded"
  grep -q "shutdown not supported" upsdrvctl.log || fail "vemid-nut -k did not say why: $(cat upsdrvctl.log)"
  holds 2
  kill -0 "$(cat vemid.pid)" || fail "upsdrvctl reached vemid"
  [ -e shutdown ] && fail "upsmon shut down"
  said="upsd and vemid restarted: the UPS is served again each time; upsdrvctl stop and shutdown leave vemid"
  ;;
power-cut)
  board ups-power-cut "exec \$vemid $vemid_args"
  start_nut
  shows 10 "OL CHRG"
  shows 15 "OB DISCHRG"
  [ -e shutdown ] && fail "upsmon shut down while the battery was not low"
  waitfor 15 low || fail "upsc never showed OB DISCHRG LB (last: $(status))"
  waitfor 15 test -e shutdown || fail "upsmon did not run SHUTDOWNCMD once the battery was low"
  said="through the file: OL CHRG, OB DISCHRG, then OB DISCHRG LB, and SHUTDOWNCMD $(($(date +%s) - started)) s after the start"
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
  reads_lost_board
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
