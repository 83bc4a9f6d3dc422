#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs every test twice: once in a
# plain build and once under AddressSanitizer + UndefinedBehaviorSanitizer,
# then the fuzz targets for a short while. A failing test or a sanitizer
# report fails the run. Runs as the user; only a missing package asks for
# root. Prints how long each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."

timings=()
stage_start=0
stage_name=""
stage() { # name: ends the running stage, starts the next
  local now
  now=$(date +%s)
  if [ -n "$stage_name" ]; then
    timings+=("$(printf '%-34s %4d:%02d' "$stage_name" $(((now - stage_start) / 60)) $(((now - stage_start) % 60)))")
    echo "== $stage_name: $((now - stage_start)) s"
  fi
  stage_name=$1
  stage_start=$now
  [ -z "$stage_name" ] || echo "== $stage_name"
}
report() {
  local status=$?
  stage ""
  echo "Stage                              min:s"
  printf '%s\n' "${timings[@]}"
  echo "Total                              $(printf '%4d:%02d' $(((SECONDS) / 60)) $(((SECONDS) % 60)))"
  exit $status
}
trap report EXIT

stage "install missing packages"
./scripts/install-deps.sh
# Started through sudo out of habit: the build and the tests run as the user
# who asked, so no root-owned build folder is left behind.
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
  trap - EXIT
  exec sudo -H -u "$SUDO_USER" --preserve-env=NX_SKIP_SANITIZERS,NX_SKIP_FUZZ,NX_FUZZ_SECONDS,NX_WINDOWS,NX_WIN_CACHE -- "$PWD/scripts/test.sh" "$@"
fi

# A build folder left by an earlier run as root cannot be written now.
for dir in build build-asan build-fuzz; do
  if [ -e "$dir" ] && ! [ -w "$dir" ]; then
    echo "$dir/ belongs to $(stat -c %U "$dir") and cannot be written; remove it (sudo rm -rf $dir) and run again." >&2
    exit 1
  fi
done
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}
# A build folder configured with another compiler is made afresh.
compiler_of() { sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$1/CMakeCache.txt" 2>/dev/null; }

# Includes point one way between the layers; prints the folder graph.
stage "layer check"
python3 scripts/check-layers.py
# The plain build is optimised as shipped; its debug information, which
# costs a third of the compile time, is left out here.
stage "plain build"
build build -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DNX_BUILD_BENCH=ON
stage "plain tests"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600
# The benchmark table from the smallest run of every benchmark (about a minute,
# most of it waiting on serial lines): a benchmark whose output the table
# can no longer read leaves a row empty and fails here, not in a user's hands.
stage "benchmark table (tiny run)"
NX_BENCH_TINY=1 NX_BENCH_BUILD=build ./scripts/bench.sh

# The sanitizer build is made with clang, which compiles it in about half the
# time gcc takes; the fuzz targets are built in the same folder, so the
# libraries are compiled once for both.
fuzz_build=""
if [ "${NX_SKIP_SANITIZERS:-0}" != 1 ]; then
  stage "sanitizer build"
  case "$(compiler_of build-asan)" in *clang++*|"") ;; *) rm -rf build-asan ;; esac
  fuzzers=OFF
  [ "${NX_SKIP_FUZZ:-0}" = 1 ] || { fuzzers=ON; fuzz_build=build-asan; }
  CC=clang CXX=clang++ build build-asan -DNX_SANITIZE=ON -DNX_BUILD_FUZZERS=$fuzzers -DCMAKE_BUILD_TYPE=Debug
  stage "sanitizer tests"
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 900
fi
# Windows: the editor, nx4400c-cli and the tests cross-built with mingw-w64
# and run under wine64, with a transfer through COM1. Qt for Windows is built
# once into a cache (scripts/build-windows.sh qt), which takes far longer
# than this whole run on a small machine: without the cache the stage is
# skipped, unless NX_WINDOWS=1 asks for the cache to be built here.
qt_win_cache=${NX_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/nx4400c}/qt-6.4.2-mingw64
if [ -f "$qt_win_cache/.complete" ] || [ "${NX_WINDOWS:-0}" = 1 ]; then
  stage "windows build and tests (wine)"
  NX_HOST_BUILD=$PWD/build ./scripts/build-windows.sh deps qt app package test
else
  echo "== Windows stage skipped: Qt for Windows is not in $qt_win_cache."
  echo "   Build it once with scripts/build-windows.sh qt (long), or run with NX_WINDOWS=1."
fi
if [ -x scripts/fuzz.sh ] && [ "${NX_SKIP_FUZZ:-0}" != 1 ]; then
  stage "fuzzing"
  NX_FUZZ_BUILD=$fuzz_build ./scripts/fuzz.sh --short
fi
echo "All tests passed."
