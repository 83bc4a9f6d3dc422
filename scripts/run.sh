#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and starts the editor. When the virtual
# receiver has been built, it is started first and the editor's Port 1 is
# pointed at it, so a whole transfer can be tried without a receiver.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/bin/nx4400c-virtual-receiver ] && [ -x build/bin/nx4400c-cli ]; then
  link=${XDG_RUNTIME_DIR:-/tmp}/nx4400c-virtual-receiver
  build/bin/nx4400c-virtual-receiver --link "$link" &
  vr=$!
  trap 'kill $vr 2>/dev/null || true' EXIT
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  build/bin/nx4400c-cli ports set 1 "$link" || true
fi
build/bin/nx4400c
