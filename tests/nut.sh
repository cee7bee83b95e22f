#!/bin/sh
# The board's UPS handed to real NUT, as vemid(8) tells to set it up: vemid under
# the simulated board with a power cut (on battery from 3 s, low from 9 s), NUT's
# dummy-ups reading vemid's file, upsd on the loopback, upsmon with a SHUTDOWNCMD
# that leaves a marker. The marker must not appear while the UPS is on line, and
# must within 15 s of the battery running low; upsc shows each state. Everything
# is started here, from a temporary folder, bounded in time and stopped at the end;
# exits 77 (skipped) with one line when NUT is not installed.
# Usage: nut.sh VEMISIM VEMID
set -u
vemisim=$1 vemid=$2
for dir in /lib/nut /usr/lib/nut /usr/libexec/nut /usr/local/libexec/nut; do
  [ -x "$dir/dummy-ups" ] && [ -x "$dir/upsd" ] && [ -x "$dir/upsmon" ] && nut=$dir && break
done
upsc=$(command -v upsc)
if [ -z "${nut:-}" ] || [ -z "$upsc" ]; then
  echo "nut: skipped: no NUT (dummy-ups, upsd, upsmon, upsc; scripts/deps test installs nut-server and nut-client)"
  exit 77
fi
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
fail() { echo "nut: FAILED: $*"; for f in "$work"/*.log; do echo "== $f"; tail -5 "$f"; done; exit 1; }
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cd "$work" || exit 1
mkdir state
cat >ups.conf <<END
[board]
  driver = dummy-ups
  port = $work/board.dev
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

"$vemisim" --board ups-power-cut -- "$vemid" -d -t 10 -s 2 -I "$work/vemid.pid" -u "$work/board.dev" -p 1 \
  2>vemid.log & pids="$pids $!"
started=$(date +%s)
waitfor() { # waitfor SECONDS TEST...
  limit=$1; shift
  i=0; while [ $i -lt $((limit * 10)) ]; do "$@" && return 0; sleep 0.1; i=$((i + 1)); done; return 1
}
status() { "$upsc" "board@127.0.0.1:$port" ups.status 2>/dev/null; }
waitfor 10 test -s board.dev || fail "vemid wrote no file"
as_root=; [ "$(id -u)" -eq 0 ] && as_root="-u root"
# shellcheck disable=SC2086 # no user, or -u root
"$nut/dummy-ups" -a board $as_root -F >dummy-ups.log 2>&1 & pids="$pids $!"
# shellcheck disable=SC2086
"$nut/upsd" $as_root -F >upsd.log 2>&1 & pids="$pids $!"
waitfor 10 sh -c "\"$upsc\" board@127.0.0.1:$port ups.status >/dev/null 2>&1" || fail "upsd does not serve the UPS"
"$nut/upsmon" -p -F >upsmon.log 2>&1 & pids="$pids $!"

waitfor 10 sh -c "[ \"\$(\"$upsc\" board@127.0.0.1:$port ups.status 2>/dev/null)\" = 'OL CHRG' ]" ||
  fail "upsc never showed OL CHRG (last: $(status))"
waitfor 15 sh -c "[ \"\$(\"$upsc\" board@127.0.0.1:$port ups.status 2>/dev/null)\" = 'OB DISCHRG' ]" ||
  fail "upsc never showed OB DISCHRG (last: $(status))"
[ -e shutdown ] && fail "upsmon shut down while the battery was not low"
waitfor 15 sh -c "\"$upsc\" board@127.0.0.1:$port ups.status 2>/dev/null | grep -q 'OB DISCHRG LB'" ||
  fail "upsc never showed OB DISCHRG LB (last: $(status))"
waitfor 15 test -e shutdown || fail "upsmon did not run SHUTDOWNCMD once the battery was low"
echo "nut: vemid's file through dummy-ups, upsd and upsmon: OL CHRG, OB DISCHRG, then OB DISCHRG LB," \
     "and SHUTDOWNCMD $(($(date +%s) - started)) s after the start, not before"
