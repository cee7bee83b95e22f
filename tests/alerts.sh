#!/bin/sh
# The installed alert rules under Prometheus's own rule engine: promtool checks
# them, and runs the scenarios of vemi.rules.test.yml (where each alert must fire,
# and where it must not). Exits 77 (skipped) with one line when promtool is
# missing. Usage: alerts.sh RULES_FILE TESTS_DIR
rules=$1 tests=$2
if ! command -v promtool >/dev/null 2>&1; then
  echo "alerts: skipped: no promtool (scripts/deps test installs prometheus)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$rules" "$work/vemi.rules.yml"
cp "$tests/vemi.rules.test.yml" "$work/"
promtool check rules "$work/vemi.rules.yml" >"$work/out" 2>&1 || { cat "$work/out"; exit 1; }
(cd "$work" && promtool test rules vemi.rules.test.yml) >"$work/out" 2>&1 || { cat "$work/out"; exit 1; }
echo "alerts: the installed rules pass their scenarios under promtool"
