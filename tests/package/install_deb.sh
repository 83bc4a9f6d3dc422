#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package, unpacks it into a fresh folder, checks what it
# lays out, and starts the installed editor on a virtual X display until its
# main window is on screen.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap '[ -n "${xpid:-}" ] && kill "$xpid" 2>/dev/null; rm -rf "$work"' EXIT

cd "$build"
rm -f nx4400c_*.deb
cpack -G DEB >/dev/null
deb=$(ls nx4400c_*.deb | head -n 1)
echo "package: $deb"

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
grep -q 'libqt6widgets6' <<<"$depends"
grep -q 'libqt6serialport6' <<<"$depends"

root=$work/root
dpkg-deb -x "$deb" "$root"
test -x "$root/usr/bin/nx4400c"
test -x "$root/usr/bin/nx4400c-cli"
test -f "$root/usr/share/applications/nx4400c.desktop"
test -f "$root/usr/share/metainfo/com.norvale.nx4400c.metainfo.xml"
test -f "$root/usr/share/icons/hicolor/scalable/apps/nx4400c.svg"
states=$(ls "$root/usr/share/nx4400c/States" | grep -c '\.st$' || true)
echo "state files: $states"
test "$states" -eq 54
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/nx4400c.desktop"
fi

# A user's first start: a valid parameter file in the working folder, so no
# prompt stands between the splash and the main window.
mkdir -p "$work/home" "$work/run"
{
  printf 'NX-4400C SAME Digital Weather Receiver Parameter File. DO NOT MODIFY\r\n[FIP Codes]\r\n'
  for _ in $(seq 99); do printf '\r\n'; done
  printf '[Event Codes]\r\n'
  for _ in $(seq 24); do printf '\r\n'; done
} > "$work/run/NX_4400C.DAT"
mkdir -p "$work/home/.config/NX4400C"
printf '[EDITOR]\nShowTipsAtStartup=False\n' > "$work/home/.config/NX4400C/NX4400C.ini"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
sleep 1
cd "$work/run"
HOME=$work/home XDG_CONFIG_HOME=$work/home/.config DISPLAY=$display QT_QPA_PLATFORM=xcb \
  "$root/usr/bin/nx4400c" >"$work/editor.log" 2>&1 &
editor=$!
found=0
for _ in $(seq 100); do
  if DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -q '"NX-4400C Digital Weather Receiver"'; then
    found=1
    break
  fi
  kill -0 "$editor" 2>/dev/null || break
  sleep 0.2
done
kill "$editor" 2>/dev/null || true
wait "$editor" 2>/dev/null || true
if [ "$found" != 1 ]; then
  echo "the installed editor did not show its main window"
  cat "$work/editor.log"
  exit 1
fi
echo "installed editor showed its main window"
