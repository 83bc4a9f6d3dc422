#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Tries the Windows sound card backend (src/testpackets/core/WaveAudio*)
# without a Qt for Windows: builds tools/wave-loop with the MinGW compiler
# alone, starts a PulseAudio server of its own with a null sink (its monitor
# the default input), and runs the program under wine64: it lists the wave
# devices, plays a SAME header on the default output while recording the
# default input, and must decode the header back.
#
#   scripts/wine-sound-loop.sh [build folder]     (default: build-win/wave-loop)
#
# Exit status: 0 the header came back, 1 it did not, 77 when Wine or
# PulseAudio is missing or will not start here.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${1:-$root/build-win/wave-loop}
triple=x86_64-w64-mingw32
wine=${NX_WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
mkdir -p "$out"

for tool in "$triple-g++-posix" pulseaudio; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (scripts/install-deps.sh --windows)"; exit 77; }
done
[ -x "$wine" ] || { echo "skipped: wine64 is not installed"; exit 77; }

"$triple-g++-posix" -O2 -std=c++17 -Wall -Wextra -static -I"$root/src" \
  tools/wave-loop/wave_loop.cpp src/testpackets/core/WaveAudioWin32.cpp -lwinmm -o "$out/nx-wave-loop.exe"

run=$(mktemp -d)
pulse_pid=
cleanup() {
  [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null && wait "$pulse_pid" 2>/dev/null
  WINEPREFIX=$run/wine "$(dirname "$wine")/wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$run"
}
trap cleanup EXIT

cat >"$run/server.pa" <<EOF
load-module module-native-protocol-unix socket=$run/native auth-anonymous=1
load-module module-null-sink sink_name=nxloop sink_properties=device.description=NXLoop
set-default-sink nxloop
set-default-source nxloop.monitor
EOF
HOME=$run XDG_RUNTIME_DIR=$run PULSE_RUNTIME_PATH=$run \
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes --use-pid-file=no \
  --log-target=file:"$run/pulse.log" -F "$run/server.pa" &
pulse_pid=$!
for _ in $(seq 50); do [ -S "$run/native" ] && break; sleep 0.2; done
[ -S "$run/native" ] || { echo "skipped: the PulseAudio server did not start"; cat "$run/pulse.log"; exit 77; }

export WINEPREFIX=$run/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export PULSE_SERVER=unix:$run/native HOME=$run XDG_RUNTIME_DIR=$run
"$wine" wineboot --init >/dev/null 2>&1 || true
# Wine's own pipes lose a console program's output: it goes to a file.
status=0
"$wine" cmd /c "$(printf 'Z:%s' "$(echo "$out/nx-wave-loop.exe" | tr / '\\')") --save Z:$(echo "$out/heard.raw" | tr / '\\') > Z:$(echo "$run/loop.txt" | tr / '\\') 2>&1" || status=$?
tr -d '\r' <"$run/loop.txt" | tee "$out/loop.txt"
[ $status -eq 0 ] && echo "== the wave API under Wine: the header played into the null sink came back from its monitor"
exit $status
