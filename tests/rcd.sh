#!/bin/sh
# The port's rc.d script for vemid, with a stand-in for rc.subr that starts and
# stops as FreeBSD's does (start: eval "$command $rc_flags $command_args", with
# rc_flags from ${name}_flags; stop: the script's own stop_cmd; protect(1) after a
# start), around the real vemid under the simulated board: the rc.conf variables
# reach vemid's command line; a shutdown leaves the watchdog armed only with
# vemid_shutdown_armed; a stop by hand, for single-user mode or with an unknown
# rc_shutdown disarms; a board that refuses the disarm ends the stop in bounded
# time; and every rc.conf example of the manual and the README starts and stops
# vemid as pasted (its absolute paths moved into the test's folder). Each run is
# bounded: timeout ends vemisim, which ends vemid.
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
warn() { echo "$0: WARNING: $*" >&2; }
checkyesno() {
  eval _value=\$${1}
  case $_value in
  [Yy][Ee][Ss]|[Tt][Rr][Uu][Ee]|[Oo][Nn]|1) return 0 ;;
  [Nn][Oo]|[Ff][Aa][Ll][Ss][Ee]|[Oo][Ff][Ff]|0) return 1 ;;
  *) warn "\$${1} is not set properly - see rc.conf(5)."; return 1 ;;
  esac
}
run_rc_command() {
  rc_arg=$1
  eval rc_flags=\$${name}_flags
  eval _oomprotect=\$${name}_oomprotect
  rc_pid=
  [ -s "$pidfile" ] && read _pid _junk <"$pidfile" && kill -0 "$_pid" 2>/dev/null && rc_pid=$_pid
  eval _cmd=\$${rc_arg}_cmd _precmd=\$${rc_arg}_precmd
  if [ -n "$_cmd" ]; then
    eval "$_precmd" || return 1
    eval "$_cmd"
    return
  fi
  case $rc_arg in
  start)
    eval "$_precmd" || return 1
    eval "$command $rc_flags $command_args" || return 1
    case $_oomprotect in [Yy][Ee][Ss]) read rc_pid _junk <"$pidfile" && echo "protect -p $rc_pid" >"$RCD_WORK/protected" ;; esac
    ;;
  esac
}
END
sed -e "s|^\. /etc/rc.subr\$|. $work/rc.subr|" -e "s|^command=\"%%PREFIX%%/sbin/\${name}\"\$|command=$vemid|" \
    "$script" >"$work/vemid"
# A health check of the examples: FreeBSD's pgrep -q, which Linux's lacks.
mkdir "$work/bin"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/pgrep"
chmod +x "$work/bin/pgrep"
export RCD_WORK="$work"

# case NAME SETTINGS RC_SHUTDOWN EXPECTED_EXIT OUTPUT_LINE TRACE_LINE...
# SETTINGS are rc.conf lines; the stop follows the start 1.5 s later.
case_() {
  name=$1 settings=$2 shutdown=$3 expected=$4 said=$5
  shift 5
  rm -f "$work/trace" "$work/protected"
  printf 'vemid_enable="YES"\nvemid_pidfile="%s/vemid.pid"\nvemid_stop_timeout="6"\n%s\n' "$work" "$settings" \
    >"$work/rc.conf"
  rc=0
  timeout -k 5 40 "$vemisim" ${board:+--board "$board"} --trace "$work/trace" -- sh -c "
      set -a; . '$work/rc.conf'; set +a; PATH='$work/bin':\$PATH
      sh '$work/vemid' start && sleep 1.5 && rc_shutdown='$shutdown' sh '$work/vemid' stop; echo stop: \$?
      [ -s '$work/vemid.pid' ] && sh '$work/vemid' stop >/dev/null 2>&1; sleep 0.5" >"$work/out" 2>&1 || rc=$?
  [ $rc -eq "$expected" ] || fail "$name: exit $rc, not $expected: $(cat "$work/out")"
  [ -z "$said" ] || grep -qF -- "$said" "$work/out" || fail "$name: it did not say '$said': $(cat "$work/out")"
  for line in "$@"; do
    grep -qF -- "$line" "$work/trace" || fail "$name: the trace lacks '$line'"
  done
}
board=
# The check passes only as vemid_check_user (the user running the test, or nobody
# for root): run as anyone else, no feed, and the board restarts.
user=$(id -un); [ "$(id -u)" -ne 0 ] || user=nobody
# A checkout in a folder only its owner may enter (mktemp -d makes one) keeps
# nobody from the check's folder and the board's preload: root's own user then.
if [ "$user" = nobody ] && ! SHELL=/bin/sh su -m nobody -c \
    "cd '$PWD' && test -r '$(dirname "$vemisim")/libvemisim-preload.so'" >/dev/null 2>&1; then
  echo "rc.d: the check runs as root: user nobody cannot reach $PWD"
  user=$(id -un)
fi
case_ "armed with vemid_timeout, the check as vemid_check_user" \
  'vemid_timeout="4" vemid_check_user="'$user'" vemid_flags="-s 1 -e '"'test \\\$(id -un) = $user'"'"' "" 0 \
  "stop: 0" "0x6000/0x0 in=04" "0x6000/0x6" "0x6000/0x0 in=00" "event watchdog disarmed"
grep -q "^protect -p [0-9]" "$work/protected" 2>/dev/null || fail "vemid was not protected from the OOM killer"
case_ "a shutdown with vemid_shutdown_armed leaves it armed" \
  'vemid_timeout="4" vemid_shutdown_armed="YES" vemid_shutdown_timeout="2" vemid_flags="-s 1"' reboot 124 \
  "stop: 0" "0x6000/0x0 in=02" "event restart: watchdog left armed (2 s)"
case_ "a shutdown disarms by default, and a timeout alone is pointed out" \
  'vemid_timeout="4" vemid_shutdown_timeout="2" vemid_flags="-s 1"' reboot 0 \
  "vemid_shutdown_timeout has no effect unless vemid_shutdown_armed is YES" "0x6000/0x0 in=00" \
  "event watchdog disarmed"
case_ "vemid_shutdown_armed without a timeout is pointed out, and disarms" \
  'vemid_timeout="4" vemid_shutdown_armed="YES" vemid_flags="-s 1"' reboot 0 \
  "vemid_shutdown_armed is YES but vemid_shutdown_timeout is not set" "0x6000/0x0 in=00" "event watchdog disarmed"
case_ "single-user mode disarms" 'vemid_timeout="4" vemid_shutdown_armed="YES" vemid_shutdown_timeout="2"' single 0 \
  "stop: 0" "0x6000/0x0 in=00" "event watchdog disarmed"
case_ "an rc_shutdown the script does not know disarms, and says so" \
  'vemid_timeout="4" vemid_shutdown_armed="YES" vemid_shutdown_timeout="2"' halt 0 \
  'rc_shutdown is "halt", which vemid'"'"'s script does not know' "event watchdog disarmed"
printf '%s\n' '{"faults": [{"group": "0x6000", "offset": 0, "sequence": [0, "0x708", "0x708", "0x708", "0x708", 0]}]}' \
  >"$work/busy.json"
board="$work/busy.json"
case_ "a board that refuses the disarm ends the stop in bounded time" 'vemid_timeout="4" vemid_flags="-s 1"' "" 0 \
  "the watchdog is still armed and fed" "0x6000/0x0 in=00 out=0 status=0x708" "event watchdog disarmed"
grep -q "stop: 1" "$work/out" || fail "the refused stop did not fail: $(cat "$work/out")"
board=

# Every rc.conf example of the manual and the README, as pasted: the paragraph of
# a literal block that sets vemid_enable.
examples=0
for doc in "$src/man/vemid.8" "$src/README.md"; do
  rm -f "$work"/example.*
  awk -v out="$work/example." '
    function flush() { if (para ~ /vemid_enable=/) { n++; printf "%s", para > (out n); close(out n) } para = "" }
    /^(\.Ed|```)$/ { flush(); inside = 0; next }
    /^(\.Bd|```)/ { inside = 1; para = ""; next }
    inside && /^[ \t]*$/ { flush(); next }
    inside { para = para $0 "\n" }' "$doc"
  for example in "$work"/example.*; do
    [ -f "$example" ] || continue
    examples=$((examples + 1))
    settings=$(sed -e "s|/var/db/nut/|$work/|g" -e "s|/etc/killpower|$work/killpower|g" \
                   -e "s|/var/tmp/node_exporter/|$work/|g" -e "s|/var/db/vemid.alive|$work/alive|g" "$example")
    case_ "example $examples ($(basename "$doc"))" "$settings" "" 0 "stop: 0" "event watchdog disarmed"
  done
done
[ $examples -ge 3 ] || fail "found $examples rc.conf examples, not the three of the manual and the README"
[ $failed -eq 0 ] && echo "rc.d: start with the rc.conf variables and $examples examples as pasted; stop by hand," \
  "for single-user mode, for a shutdown with and without vemid_shutdown_armed; a refused disarm"
exit $failed
