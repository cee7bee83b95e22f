#!/bin/sh
# The manual pages must pass mandoc's lint without a message, and each names in
# SEE ALSO every page its text names. Let through: a
# cross-reference to these pages, or to the FreeBSD and NUT pages they name, which
# mandoc looks up in the host's manual database, where they are not until
# installed (or on Linux, not at all); and the host database's own staleness.
set -u
mandoc=$1 dir=$2
pages='closefrom 2|VemiCmd 8|vemid 8|vemisim 1|vemisim-board 5|watchdogd 8|watchdog 4|syslogd 8|rc.conf 5|flock 2|dummy-ups 8|upsd 8|upsmon 8|upsdrvctl 8|init 8|rc.shutdown 8|rc.subr 8|protect 1|pidfile 3|nohup 1|timeout 1|rtprio 1'
out=$("$mandoc" -Tlint "$dir"/*.[1-9] 2>&1 |
      grep -v -E "referenced manual not found: Xr ($pages)( \([0-9]+ times\))?\$" |
      grep -v -E '^mandoc: outdated mandoc.db lacks [^ ]+ entry, run makewhatis')
# Every page a page's text names stands in its SEE ALSO.
xrefs() { grep -o 'Xr [A-Za-z0-9_.-]* [1-9]' | sed 's/^Xr //' | sort -u; }
for page in "$dir"/*.[1-9]; do
  self=$(basename "$page" | sed 's/\.\([1-9]\)$/ \1/')
  listed=$(sed -n '/^\.Sh SEE ALSO/,/^\.Sh [A-Z]/p' "$page" | xrefs)
  missing=$(sed '/^\.Sh SEE ALSO/,$d' "$page" | xrefs | while read -r name; do
    [ "$name" = "$self" ] || printf '%s\n' "$listed" | grep -qxF "$name" || echo "$name"
  done)
  [ -z "$missing" ] || out="$out${out:+
}$page: named in the text, not in SEE ALSO: $(echo $missing)"
done
[ -z "$out" ] && echo "manual pages: lint-clean, SEE ALSO complete" && exit 0
echo "$out"
exit 1
