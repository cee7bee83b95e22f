#!/bin/sh
# The README's alert rules under Prometheus's own rule engine (promtool test rules)
# with the series of alerts.test.yml. Exits 77 (skipped) with one line when
# promtool is missing. Usage: alerts.sh README TESTS_DIR
readme=$1 tests=$2
if ! command -v promtool >/dev/null 2>&1; then
  echo "alerts: skipped: no promtool (scripts/deps test installs prometheus)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The README's yaml block, the rules as written there.
awk '/^```yaml$/ { inblock = 1; next } /^```/ { inblock = 0; next } inblock { print }' "$readme" >"$work/rules.yml"
grep -q vemi_success "$work/rules.yml" || { echo "alerts: no rules found in $readme"; exit 1; }
cp "$tests/alerts.test.yml" "$work/"
promtool check rules "$work/rules.yml" >"$work/out" 2>&1 || { cat "$work/out"; exit 1; }
(cd "$work" && promtool test rules alerts.test.yml) >"$work/out" 2>&1 || { cat "$work/out"; exit 1; }
echo "alerts: the README's rules pass alerts.test.yml under promtool"
