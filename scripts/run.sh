#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and starts the editor. Unless
# NX_VIRTUAL_RECEIVER=0, the virtual receiver is started first and the
# editor's Port 1 is pointed at it (settings store, section "Ports"), so a
# whole transfer can be tried without a receiver. With a real receiver cabled,
# run with NX_VIRTUAL_RECEIVER=0 and choose its device in "Setup".
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ "${NX_VIRTUAL_RECEIVER:-1}" != 0 ] && [ -x build/bin/nx4400c-virtual-receiver ] && [ -x build/bin/nx4400c-cli ]; then
  link=${XDG_RUNTIME_DIR:-/tmp}/nx4400c-virtual-receiver
  build/bin/nx4400c-virtual-receiver --link "$link" >/dev/null &
  vr=$!
  trap 'kill $vr 2>/dev/null || true' EXIT
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  if [ -e "$link" ]; then
    build/bin/nx4400c-cli ports set 1 "$link" >/dev/null || true
    echo "Virtual receiver on Port 1 ($link): press \"Transfer Data\"."
  else
    echo "The virtual receiver did not start; the editor runs without it." >&2
  fi
fi
build/bin/nx4400c
