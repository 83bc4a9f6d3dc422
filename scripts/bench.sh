#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks in a release build, runs them all and prints one
# table of figures (paste it into the README with the machine it came from).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
# The benchmarks find the programs and the state files in this build.
export NX_BINARY_DIR=$PWD/build-bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DNX_BUILD_BENCH=ON -DNX_BUILD_TESTS=ON >/dev/null
cmake --build build-bench -j "$(nproc)" --target benchmarks nx4400c-virtual-receiver >/dev/null

out=$(mktemp)
trap 'rm -f "$out"' EXIT
row() { printf '| %-44s | %s |\n' "$1" "$2" >>"$out"; }

# Start-up: best of three runs.
best_splash=""; best_main=""; rss=""
for _ in 1 2 3; do
  figures=$(build-bench/bench/bench_startup 2>/dev/null)
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
figures=$(build-bench/bench/bench_transfer 2>/dev/null || true)
get() { awk -F': ' -v k="$1" '$1 == k {print $2}' <<<"$figures"; }
row "transfer, wall time" "$(get transfer_wall)"
row "transfer, time on the wire" "$(get transfer_wire_time)"
row "transfer, second-boundary wait" "$(get transfer_second_boundary_wait)"
row "transfer overhead beyond wire and boundary wait" "$(get transfer_overhead_beyond_wire)"
row "CPU during a transfer" "$(get transfer_cpu)"
row "CPU while waiting (5 s negotiation time-out)" "$(get cpu_while_waiting)"

# A receiver that floods the line through a whole transfer.
figures=$(build-bench/bench/bench_flood 2>/dev/null || true)
row "resident memory under flood (peak, whole transfer)" "$(get flood_peak_rss)"
row "CPU during a flooded transfer (boundary wait)" "$(get flood_cpu) ($(get flood_cpu_boundary_wait | cut -d' ' -f1-2))"
row "CPU under flood, no answer (5 s negotiation time-out)" "$(get flood_cpu_negotiation_timeout)"
row "nx4400c-cli under a Telnet negotiation flood, peak (set-up)" "$(get telnet_flood_setup_peak_rss)"
row "nx4400c-cli under a Telnet negotiation flood, peak (after ACK)" "$(get telnet_flood_after_ack_peak_rss)"

# Batch programming: 32 receivers at 4800 bit/s, and RFC 2217 against a pty.
figures=$(build-bench/bench/bench_batch 2>/dev/null || true)
row "batch of 32, wall time (one alone)" "$(get batch_wall) ($(get single_transfer_wall))"
row "batch of 32, wall time against one alone" "$(get batch_wall_vs_single | cut -d' ' -f1-2)"
row "batch of 32, CPU per receiver" "$(get batch_cpu_per_receiver)"
row "wire time, local pty / RFC 2217 via ser2net" "$(get pty_wire_time) / $(get rfc2217_wire_time)"

# State scans.
build-bench/bench/bench_coverage 2>/dev/null | awk '$3 == "ms" || $3 == "us" {print $1, $2, $3}' |
while read -r name time unit; do
  row "state scan: $name" "$time $unit"
done

# Fuzzing: executions per target in the short budget.
if fuzz=$(NX_FUZZ_SECONDS=${NX_FUZZ_SECONDS:-15} ./scripts/fuzz.sh --short 2>/dev/null); then
  while read -r name execs rate; do
    [ "$name" = target ] && continue
    [ -n "$name" ] || continue
    row "fuzz $name (${NX_FUZZ_SECONDS:-15} s)" "$execs executions, $rate/s"
  done <<<"$(grep -E '^[a-z_]+ +[0-9]+ +[0-9]+$' <<<"$fuzz")"
fi

echo "Machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo), $(. /etc/os-release; echo "$PRETTY_NAME"), $(uname -r), $(date -u +%Y-%m-%d)"
echo
echo "| Figure | Value |"
echo "|---|---|"
cat "$out"
