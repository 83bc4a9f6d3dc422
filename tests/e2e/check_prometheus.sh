#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The Prometheus side of the transfer log and the audit:
#   - the shipped alerting rules pass `promtool check rules` and their
#     `promtool test rules` file;
#   - `log audit --format openmetrics --output FILE` on a log with a receiver
#     whose last transfer failed writes metrics that pass `promtool check
#     metrics` and show that failure as nx4400c_last_transfer_success 0.
# usage: check_prometheus.sh SOURCE_DIR BIN_DIR
# Exit status 77 (a skip) when promtool is not installed.
set -u
src=$1
bin=$2
command -v promtool >/dev/null 2>&1 || { echo "promtool is not installed; skipped" >&2; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

rules=$src/packaging/prometheus
promtool check rules "$rules/nx4400c-rules.yml" || fail "promtool check rules"
(cd "$rules" && promtool test rules nx4400c-rules.test.yml) || fail "promtool test rules"

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT INT TERM
cat > "$work/alerts.csv" <<'LOG'
LocalDateTime,Originator,EventCode,EventName,Class,Length,Receiver
2026-03-04T11:00:00-05:00,WXR,RWT,Required Weekly Test,Other,00:15,north
2026-03-04T11:00:00-05:00,WXR,RWT,Required Weekly Test,Other,00:15,"south ""b"""
LOG
cat > "$work/alerts-transfers.csv" <<'LOG'
Time,Receiver,Result,Reason,RomVersion
2026-03-04T12:00:00Z,north,ok,,2.05
2026-03-04T13:00:00Z,north,failed,Port Connect Failed: Error #202,
2026-03-04T12:00:00Z,"south ""b""",ok,,2.05
LOG
out=$work/nx4400c.prom
"$bin/nx4400c-cli" log audit --from 2026-03-01 --to 2026-03-07 --csv "$work/alerts.csv" --format openmetrics \
    --output "$out" >"$work/stdout" 2>"$work/stderr"
rc=$?
[ $rc -le 1 ] || { cat "$work/stderr" >&2; fail "log audit exited $rc"; }
[ -s "$work/stdout" ] && fail "--output left something on standard output"
# promtool lints the text format the textfile collector reads.
promtool check metrics < "$out" || fail "promtool check metrics"
grep -qx 'nx4400c_last_transfer_success{receiver="north"} 0' "$out" || fail "north's failed transfer is not 0"
grep -qx 'nx4400c_last_transfer_success{receiver="south \\"b\\""} 1' "$out" || fail "south's label is not escaped"
grep -qx 'nx4400c_transfer_failures_total{receiver="north"} 1' "$out" || fail "north's failures"
grep -qx 'nx4400c_last_transfer_timestamp_seconds{receiver="north"} 1772629200' "$out" || fail "north's last transfer time"
tail -n 1 "$out" | grep -qx '# EOF' || fail "the metrics do not end in # EOF"
echo "prometheus checks passed"
