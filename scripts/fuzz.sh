#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang and runs each one.
#   scripts/fuzz.sh --short        a short budget per target (what CI runs)
#   scripts/fuzz.sh --long [SEC]   a longer run per target (default 600 s)
# Prints the executions per target; a crash, a hang or a sanitizer report
# fails the run and leaves the input in build-fuzz/findings/ (or the given
# folder's findings/).
set -euo pipefail
cd "$(dirname "$0")/.."
budget=${NX_FUZZ_SECONDS:-10}
case "${1:---short}" in
  --short) ;;
  --long) budget=${2:-600} ;;
  *) echo "usage: $0 [--short | --long SECONDS]"; exit 2 ;;
esac

# NX_FUZZ_BUILD names a folder already configured with the fuzz targets (the
# sanitizer build of scripts/test.sh); without it build-fuzz is made here.
out=${NX_FUZZ_BUILD:-build-fuzz}
if [ -z "${NX_FUZZ_BUILD:-}" ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DNX_BUILD_FUZZERS=ON -DNX_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$out" --target fuzzers -j "$(nproc)"

mkdir -p "$out/findings"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export QT_QPA_PLATFORM=offscreen
printf '%-28s %12s %10s\n' target executions exec/s
status=0
for bin in "$out"/fuzzers/fuzz_*; do
  name=$(basename "$bin" | sed 's/^fuzz_//')
  corpus="$out"/corpus/$name
  mkdir -p "$corpus"
  seeds=fuzz/corpus/$name
  [ -d "$seeds" ] || seeds=""
  log="$out"/findings/$name.log
  if ! "$bin" -max_total_time="$budget" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$out"/findings/"$name"- "$corpus" $seeds >"$log" 2>&1; then
    echo "fuzz_$name FAILED; see $log"
    tail -n 30 "$log"
    status=1
  fi
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  printf '%-28s %12s %10s\n' "$name" "$execs" "$rate"
done
exit $status
