#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs every test twice: once in a
# plain build and once under AddressSanitizer + UndefinedBehaviorSanitizer.
# A failing test or a sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

# Includes point one way between the layers; prints the folder graph.
python3 scripts/check-layers.py
build build
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600

if [ "${NX_SKIP_SANITIZERS:-0}" != 1 ]; then
  build build-asan -DNX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 900
fi
if [ -x scripts/fuzz.sh ] && [ "${NX_SKIP_FUZZ:-0}" != 1 ]; then
  ./scripts/fuzz.sh --short
fi
echo "All tests passed."
