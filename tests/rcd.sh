#!/bin/sh
# The port's rc.d script for vemid, with a stand-in for rc.subr that starts and
# stops as rc.subr does (start: the command and its flags; stop: $sig_stop to the
# pid in the pidfile, then waits), around the real vemid under the simulated board:
# the rc.conf variables reach vemid's command line; a stop for a reboot leaves the
# watchdog armed for vemid_shutdown_timeout, a stop by hand or for single-user mode
# disarms it. Each run is bounded: timeout ends vemisim, which ends vemid.
# Usage: rcd.sh SOURCE_DIR VEMISIM VEMID
set -u
src=$1 vemisim=$2 vemid=$3
script=$src/packaging/freebsd/files/vemid.in
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM
failed=0
fail() { echo "rc.d: FAILED: $*"; failed=1; }
sh -n "$script" || { echo "rc.d: FAILED: the script does not parse"; exit 1; }

cat >"$work/rc.subr" <<'END'
load_rc_config() { :; }
run_rc_command() {
  rc_flags=${vemid_flags:-} sig_stop=TERM
  case $1 in
  start) $start_precmd && eval "$command $rc_flags -I $pidfile" ;;
  stop)
    $stop_precmd && kill -s "$sig_stop" "$(cat "$pidfile")" || return 1
    while [ -e "$pidfile" ]; do sleep 0.1; done ;;
  esac
}
END
sed -e "s|^\. /etc/rc.subr\$|. $work/rc.subr|" -e "s|^command=\"%%PREFIX%%/sbin/\${name}\"\$|command=$vemid|" \
    -e "s|^pidfile=.*|pidfile=$work/vemid.pid|" "$script" >"$work/vemid"

# case NAME RC_SHUTDOWN EXPECTED_EXIT TRACE_LINE...
case_() {
  name=$1 shutdown=$2 expected=$3
  shift 3
  rm -f "$work/trace"
  rc=0
  vemid_enable=YES vemid_timeout=4 vemid_shutdown_timeout=2 vemid_flags="-s 1 -e 'test -d /'" \
    timeout -k 5 30 "$vemisim" --trace "$work/trace" -- sh -c "
      sh '$work/vemid' start && sleep 1.5 && rc_shutdown='$shutdown' sh '$work/vemid' stop" >"$work/out" 2>&1 || rc=$?
  [ $rc -eq "$expected" ] || fail "$name: exit $rc, not $expected: $(cat "$work/out")"
  for line in "$@"; do
    grep -qF -- "$line" "$work/trace" || fail "$name: the trace lacks '$line'"
  done
}
case_ "armed with vemid_timeout" "" 0 "0x6000/0x0 in=04" "0x6000/0x6" "0x6000/0x0 in=00" "event watchdog disarmed"
case_ "a reboot leaves it armed" reboot 124 "0x6000/0x0 in=02" "event restart: watchdog left armed (2 s)"
case_ "single-user mode disarms" single 0 "0x6000/0x0 in=00" "event watchdog disarmed"
[ $failed -eq 0 ] && echo "rc.d: start with the rc.conf variables; stop for a reboot, by hand, for single-user mode"
exit $failed
