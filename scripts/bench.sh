#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks and every program they start in a release build,
# runs them all and prints one table of figures (paste it into the README
# with the machine it came from). A benchmark that fails, or a figure that
# comes out empty, makes the script fail after the table, naming it.
# Every benchmark writes its figures alone on standard output; its notes and
# tables go to standard error, kept in BUILD/bench/NAME.log.
#   NX_BENCH_QUICK=1   the monitor's short grid (30 trials, 5 minutes of noise)
#   NX_BENCH_TINY=1    the smallest run that still fills every row, in
#                      seconds: it checks that the table fills (scripts/test.sh
#                      runs it); its figures mean nothing
#   NX_BENCH_BUILD=DIR a build folder already configured with
#                      -DNX_BUILD_BENCH=ON, used as it is instead of the
#                      release build build-bench
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
tiny=${NX_BENCH_TINY:-0}
export NX_BENCH_TINY=$tiny
build=${NX_BENCH_BUILD:-build-bench}
if [ -z "${NX_BENCH_BUILD:-}" ]; then
  ./scripts/install-deps.sh
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DNX_BUILD_BENCH=ON -DNX_BUILD_TESTS=ON >/dev/null
fi
# The benchmarks find the programs and the state files in this build.
export NX_BINARY_DIR=$PWD/$build
# The benchmarks target depends on the programs they start (nx4400c-cli,
# nx4400c-virtual-receiver): bench/CMakeLists.txt.
cmake --build "$build" -j "$(nproc)" --target benchmarks test_coverage_coverageimport >/dev/null

out=$(mktemp)
failures=$(mktemp)
resultdir=$(mktemp -d)
trap 'rm -rf "$out" "$failures" "$resultdir"' EXIT
fail() { echo "$1" >>"$failures"; }
# A row of the table; an empty value is a failure of the benchmark behind it.
row() {
  if [ -z "$2" ] || [[ $2 =~ ^[[:space:]/()]*$ ]]; then
    fail "no figure for: $1"
  fi
  printf '| %-44s | %s |\n' "$1" "$2" >>"$out"
}
# Runs one benchmark program into $resultdir/NAME.out (its standard output);
# its notes go to $build/bench/NAME.log. A non-zero exit is a failure.
start() {
  local name=$1 rc=0
  shift
  "$build/bench/$name" "$@" >"$resultdir/$name.out" 2>"$build/bench/$name.log" || rc=$?
  [ "$rc" -eq 0 ] || fail "$name exited $rc (see $build/bench/$name.log)"
}
# Its output, once it has run.
output() { cat "$resultdir/$1.out" 2>/dev/null || true; }
# Runs one benchmark program; its output on standard output. A Google
# Benchmark that skipped with an error is a failure.
run() {
  local name=$1 text
  start "$@"
  text=$(output "$name")
  grep -q 'ERROR OCCURRED' <<<"$text" && fail "$name: $(grep 'ERROR OCCURRED' <<<"$text" | head -n 3 | tr -s ' ')"
  printf '%s\n' "$text"
}
# A Google Benchmark's results as "name time unit [counter=value ...]".
# The tiny run takes each measurement once or twice.
gbench_args=()
[ "$tiny" = 1 ] && gbench_args=(--benchmark_min_time=0.001)
gbench() {
  local name=$1 json results
  shift
  start "$name" --benchmark_format=json "${gbench_args[@]}" "$@"
  json=$(output "$name")
  results=$(python3 -c '
import json, sys
skip = {"name", "run_name", "run_type", "repetitions", "repetition_index", "threads", "iterations",
        "real_time", "cpu_time", "time_unit", "family_index", "per_family_instance_index", "aggregate_name"}
for b in json.load(sys.stdin).get("benchmarks", []):
    if b.get("error_occurred"):
        print("ERROR", b["name"], b.get("error_message", "").replace(" ", "_"))
        continue
    extra = " ".join("%s=%g" % (k, v) for k, v in b.items() if k not in skip and isinstance(v, (int, float)))
    t = b["real_time"]
    print(b["name"], "%.0f" % t if t >= 100 else "%.3g" % t, b["time_unit"], extra)
' <<<"$json") || fail "$name: no results"
  # A benchmark that skipped with an error fails the run.
  while read -r _ bench why; do
    [ -n "$bench" ] && fail "$name: $bench: ${why//_/ }"
  done < <(grep '^ERROR' <<<"$results" || true)
  grep -v '^ERROR' <<<"$results" || true
}
# The benchmark's line for `name`: its time with unit, and a counter.
pick() { awk -v n="$2" '$1 == n {print $2, $3}' <<<"$1"; }
counter() { awk -v n="$2" -v c="$3" '$1 == n {for (i = 4; i <= NF; i++) {split($i, kv, "="); if (kv[1] == c) print kv[2]}}' <<<"$1"; }

# Transfers, floods and batches spend their time waiting on the line, not
# computing: the tiny run has them all going at once, measured alone they
# are run one after another below.
if [ "$tiny" = 1 ]; then
  start bench_transfer &
  start bench_flood &
  start bench_batch &
fi

# Start-up: best of three runs.
best_splash=""; best_main=""; rss=""
for _ in $( [ "$tiny" = 1 ] && echo 1 || echo 1 2 3 ); do
  figures=$(run bench_startup)
  s=$(awk '/startup_to_splash/ {print $2}' <<<"$figures")
  m=$(awk '/startup_to_main_window/ {print $2}' <<<"$figures")
  r=$(awk '/resident_memory_after_startup/ {print $2}' <<<"$figures")
  if [ -z "$best_splash" ] || [ "$s" -lt "$best_splash" ]; then best_splash=$s; fi
  if [ -z "$best_main" ] || [ "$m" -lt "$best_main" ]; then best_main=$m; rss=$r; fi
done
row "start-up to the splash" "$best_splash ms"
row "start-up to the main window (splash 2 s)" "$best_main ms"
row "resident memory after start-up" "$((rss / 1024)) MiB"

# Transfer against the virtual receiver at 4800 bit/s.
if [ "$tiny" = 1 ]; then
  wait
  figures=$(output bench_transfer)
else
  figures=$(run bench_transfer)
fi
get() { awk -F': ' -v k="$1" '$1 == k {print $2}' <<<"$figures"; }
row "transfer, wall time" "$(get transfer_wall)"
row "transfer, time on the wire" "$(get transfer_wire_time)"
row "transfer, second-boundary wait" "$(get transfer_second_boundary_wait)"
row "transfer overhead beyond wire and boundary wait" "$(get transfer_overhead_beyond_wire)"
row "CPU during a transfer" "$(get transfer_cpu)"
row "CPU while waiting (5 s negotiation time-out)" "$(get cpu_while_waiting)"

# A receiver that floods the line through a whole transfer.
if [ "$tiny" = 1 ]; then figures=$(output bench_flood); else figures=$(run bench_flood); fi
row "resident memory under flood (peak, whole transfer)" "$(get flood_peak_rss)"
row "CPU during a flooded transfer (boundary wait)" "$(get flood_cpu) ($(get flood_cpu_boundary_wait | cut -d' ' -f1-2))"
row "CPU under flood, no answer (5 s negotiation time-out)" "$(get flood_cpu_negotiation_timeout)"
row "nx4400c-cli under a Telnet negotiation flood, peak (set-up)" "$(get telnet_flood_setup_peak_rss)"
row "nx4400c-cli under a Telnet negotiation flood, peak (after ACK)" "$(get telnet_flood_after_ack_peak_rss)"

# Batch programming: 32 receivers at 4800 bit/s, and RFC 2217 against a pty.
if [ "$tiny" = 1 ]; then figures=$(output bench_batch); else figures=$(run bench_batch); fi
row "batch of 32, wall time (one alone)" "$(get batch_wall) ($(get single_transfer_wall))"
row "batch of 32, wall time against one alone" "$(get batch_wall_vs_single | cut -d' ' -f1-2)"
row "batch of 32, CPU per receiver" "$(get batch_cpu_per_receiver)"
row "wire time, local pty / RFC 2217 via ser2net" "$(get pty_wire_time) / $(get rfc2217_wire_time)"

# State scans.
figures=$(gbench bench_coverage)
while read -r name time unit _; do
  [ -n "$name" ] || continue
  row "state scan: $name" "$time $unit"
done <<<"$figures"

# The alert log: the window's model of 10,000 alerts, and nx4400c-cli on a
# log of a million rows, each run as a program of its own.
figures=$(gbench bench_alertlog)
row "alert log of 10,000 alerts: load" "$(pick "$figures" LoadAlertLog10000)"
row "alert log of 10,000 alerts: apply a filter" "$(pick "$figures" FilterAlertLog10000)"
row "alert log of 10,000 alerts: free-text filter" "$(pick "$figures" FreeTextFilterAlertLog10000)"
row "alert log of 10,000 alerts: sort" "$(pick "$figures" SortAlertLog10000)"
row "alert log: audit of three years" "$(pick "$figures" AuditThreeYears)"
for b in ShowMillionRows:"\`log show\`" AuditMillionRows:"\`log audit\` over two years" \
         AppendToMillionRows:"one transfer's append" WindowModelMillionRows:"the window's model"; do
  name=${b%%:*}
  peak=$(counter "$figures" "$name/iterations:1/manual_time" peak_MB)
  row "alert log of 1,000,000 rows: ${b#*:}" "$(pick "$figures" "$name/iterations:1/manual_time"), ${peak:-?} MB resident at most"
done

# The alert database: a million rows imported from CSV, questions on it,
# four writers at once and writers killed at random moments.
figures=$(run bench_alertstore)
for k in import_1m_rows:"import of a 1,000,000-row CSV" show_one_receiver_month:"\`log show\` of one receiver's month" \
         audit_one_year:"\`log audit\` of a year" rename:"\`log rename\`" verify_1m_rows:"\`log verify\`" \
         window_model_open_1m_rows:"Alert Log window's model, open" \
         window_model_filter_class:"Alert Log window's model, filter by class" \
         window_model_filter_text:"Alert Log window's model, free-text filter" \
         window_model_filter_code:"Alert Log window's model, filter by code" \
         window_model_filter_date_text:"Alert Log window's model, find a date" \
         window_model_sort_event:"Alert Log window's model, sort by event" \
         window_model_sort_originator:"Alert Log window's model, sort by originator" \
         window_model_sort_receiver:"Alert Log window's model, sort by receiver" \
         window_model_last_row:"Alert Log window's model, jump to the last row" \
         window_model_every_row:"Alert Log window's model, every row" \
         window_model_audit_rows:"Alert Log window's model, the rows an audit of the last year reads" \
         window_model_peak:"Alert Log window's model, memory"; do
  row "alert database of 1,000,000 rows: ${k#*:}" "$(awk -F': ' -v n="${k%%:*}" '$1 == n {print $2}' <<<"$figures")"
done
row "alert database: four writers at once" "$(awk -F': ' '/^four_writers/ {print $1 ": " $2}' <<<"$figures")"
row "alert database: writers killed with SIGKILL" "$(awk -F': ' '/^killed_writers/ {print $2}' <<<"$figures")"

# The county map.
figures=$(gbench bench_map)
row "county map: loading the boundary data" "$(pick "$figures" BM_LoadBoundaries)"
row "county map: first paint of Texas and its neighbours" "$(pick "$figures" BM_FirstPaintTexas)"
row "county map: hover hit-test" "$(pick "$figures" BM_HoverHitTest)"
row "county map: memory added by the county window" "$(counter "$figures" BM_MemoryWithMapOpen/iterations:1 rss_growth_MB) MB"

# The SAME monitor: decoding at 90 % of headers right, false alarms, speed.
monitor_args=()
[ -n "${NX_BENCH_QUICK:-}" ] && monitor_args=(--quick)
[ "$tiny" = 1 ] && monitor_args=(--trials 2 --from 0 --to -1 --step 1 --minutes 0.05 --channels white)
figures=$(run bench_monitor "${monitor_args[@]}")
row "SAME monitor: SNR for 90 % headers right (strict)" "$(get monitor_ninety_strict)"
row "SAME monitor: SNR for 90 % headers right (combined)" "$(get monitor_ninety_combined)"
row "SAME monitor: false headers in noise (strict / combined)" "$(get monitor_false_headers)"
row "SAME monitor: decoding speed, one core" "$(get monitor_speed)"

# Importing a coverage listing: peak memory for NOAA's three shapes at the
# importer's 64 MB limit and for six hostile shapes (each below 300 MB).
figures=$(run bench_importmemory)
while read -r shape mb _ _ _ _ _ peak _; do
  [ -n "$shape" ] || continue
  row "listing import, peak memory: $shape ($mb MB)" "$peak MB"
done <<<"$(grep ' MB listing, ' <<<"$figures")"
# Three imports at once, 100 rounds: each applies or gives up, the set in
# use is whole after every round.
race_rounds=100; [ "$tiny" = 1 ] && race_rounds=2
race=$(NX_IMPORT_RACE_ROUNDS=$race_rounds "$build"/tests/test_coverage_coverageimport importsOneAtATime 2>&1) || fail "import race: $(grep -m1 FAIL <<<"$race")"
row "3 imports at once, $race_rounds rounds" "$(sed -n 's/.*() \([0-9]* rounds.*\)/\1/p' <<<"$race")"

# The monitor on a software radio: the weather band at 2.4 MS/s, all seven
# channels at once, beside a discriminator and multimon-ng per channel.
iq_args=()
[ -n "${NX_BENCH_QUICK:-}" ] && iq_args=(--quick)
[ "$tiny" = 1 ] && iq_args=(--tiny)
figures=$(run bench_iq "${iq_args[@]}")
row "SDR monitor: CNR for 90 % headers right (strict / combined)" "$(get iq_ninety_strict) / $(get iq_ninety_combined)"
row "SDR monitor: the same for discriminator + multimon-ng" "$(get iq_ninety_anchor)"
row "SDR monitor: false headers (strict / combined)" "$(get iq_false_headers)"
row "SDR monitor: speed, seven channels of cu8 at 2.4 MS/s" "$(get iq_speed)"
row "SDR monitor: peak memory" "$(get iq_peak_memory)"

# Fuzzing: executions per target in the short budget (not in the tiny run:
# scripts/test.sh fuzzes on its own).
if [ "$tiny" != 1 ] && fuzz=$(NX_FUZZ_SECONDS=${NX_FUZZ_SECONDS:-15} ./scripts/fuzz.sh --short 2>/dev/null); then
  while read -r name execs rate; do
    [ "$name" = target ] && continue
    [ -n "$name" ] || continue
    row "fuzz $name (${NX_FUZZ_SECONDS:-15} s)" "$execs executions, $rate/s"
  done <<<"$(grep -E '^[a-z_]+ +[0-9]+ +[0-9]+$' <<<"$fuzz")"
fi

[ "$tiny" = 1 ] && echo "A tiny run (NX_BENCH_TINY=1): it shows that every row fills; its figures mean nothing."
echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(. /etc/os-release; echo "$PRETTY_NAME"), $(uname -r), $(date -u +%Y-%m-%d)"
echo
echo "| Figure | Value |"
echo "|---|---|"
cat "$out"
if [ -s "$failures" ]; then
  echo >&2
  echo "bench.sh: these benchmarks failed:" >&2
  sed 's/^/  /' "$failures" >&2
  exit 1
fi
