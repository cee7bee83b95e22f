#!/bin/sh
# The manual pages must pass mandoc's lint without a message. Let through: a
# cross-reference to these pages, or to the FreeBSD and NUT pages they name, which
# mandoc looks up in the host's manual database, where they are not until
# installed (or on Linux, not at all); and the host database's own staleness.
set -u
mandoc=$1 dir=$2
pages='closefrom 2|VemiCmd 8|vemid 8|vemisim 1|vemisim-board 5|watchdogd 8|watchdog 4|syslogd 8|rc.conf 5|flock 2|dummy-ups 8|upsd 8|upsmon 8|init 8|rc.shutdown 8|rc.subr 8|protect 1|pidfile 3|nohup 1|timeout 1|rtprio 1'
out=$("$mandoc" -Tlint "$dir"/*.[1-9] 2>&1 |
      grep -v -E "referenced manual not found: Xr ($pages)( \([0-9]+ times\))?\$" |
      grep -v -E '^mandoc: outdated mandoc.db lacks [^ ]+ entry, run makewhatis')
[ -z "$out" ] && echo "manual pages: lint-clean" && exit 0
echo "$out"
exit 1
