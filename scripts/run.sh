#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and starts the editor. Runs as the user;
# only a missing package asks for root (through sudo, or directly as root). Unless
# NX_VIRTUAL_RECEIVER=0, the virtual receiver is started first and the
# editor's Port 1 is pointed at it (settings store, section "Ports"), so a
# whole transfer can be tried without a receiver. With a real receiver cabled,
# run with NX_VIRTUAL_RECEIVER=0 and choose its device in "Setup".
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
# Started through sudo out of habit: build and run as the user who asked, so
# no root-owned build folder or settings are left behind.
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
  exec sudo -H -u "$SUDO_USER" \
    --preserve-env=NX_VIRTUAL_RECEIVER,DISPLAY,WAYLAND_DISPLAY,XAUTHORITY,XDG_RUNTIME_DIR -- "$PWD/scripts/run.sh" "$@"
fi
# A build folder left by an earlier run as root cannot be written now.
for dir in build; do
  if [ -e "$dir" ] && ! [ -w "$dir" ]; then
    echo "$dir/ belongs to $(stat -c %U "$dir") and cannot be written; remove it (sudo rm -rf $dir) and run again." >&2
    exit 1
  fi
done
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target nx4400c nx4400c-cli nx4400c-virtual-receiver
if [ "${NX_VIRTUAL_RECEIVER:-1}" != 0 ] && [ -x build/bin/nx4400c-virtual-receiver ] && [ -x build/bin/nx4400c-cli ]; then
  # The demonstration keeps its own settings store and parameter file, so a
  # user's real port choices and coverage are never touched by it.
  demo=${XDG_STATE_HOME:-$HOME/.local/state}/nx4400c-demo
  mkdir -p "$demo/config"
  export XDG_CONFIG_HOME=$demo/config
  bin=$PWD/build/bin
  link=$demo/receiver
  "$bin/nx4400c-virtual-receiver" --link "$link" >/dev/null &
  vr=$!
  trap 'kill $vr 2>/dev/null || true' EXIT
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  if [ -e "$link" ]; then
    "$bin/nx4400c-cli" ports set 1 "$link" >/dev/null || true
    echo "Virtual receiver on Port 1 ($link): press \"Transfer Data\"."
    echo "Settings and NX_4400C.DAT of this demonstration are kept in $demo."
  else
    echo "The virtual receiver did not start; the editor runs without it." >&2
  fi
  cd "$demo"
  "$bin/nx4400c"
else
  build/bin/nx4400c
fi
