#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package once and checks it: lintian finds no error or
# warning, it is under 10 MB, it unpacks (dpkg -x into a fresh folder) with
# what it should lay out, its three programs start, `man -l` renders each
# manual page, the completion loads; then the installed editor is started on
# a virtual X display until its main window is on screen.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
cleanup() {
  set +e
  [ -n "${xpid:-}" ] && kill "$xpid" 2>/dev/null
  [ -n "${lintian_pid:-}" ] && kill "$lintian_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

cd "$build"
rm -f nx4400c_*.deb nx4400c-dbgsym_*.ddeb
cpack -G DEB >/dev/null
deb=$(ls nx4400c_*.deb | head -n 1)
echo "package: $deb"
size=$(stat -c %s "$deb")
echo "size: $size bytes"
test "$size" -lt $((10 * 1024 * 1024)) || { echo "the package is 10 MB or more"; exit 1; }
ls nx4400c-dbgsym_*.ddeb >/dev/null || { echo "no debug symbol package"; exit 1; }

# Debian's conventions: no error and no warning. An override, should one
# ever be needed, goes into the package with the reason beside it.
# lintian takes half a minute: it runs beside the other checks.
lintian --fail-on error,warning "$deb" >"$work/lintian.out" 2>&1 &
lintian_pid=$!

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for lib in libc6 libqt6core6 libqt6widgets6 libqt6serialport6; do
  grep -q "$lib" <<<"$depends" || { echo "no dependency on $lib"; exit 1; }
done

root=$work/root
dpkg-deb -x "$deb" "$root"
test -x "$root/usr/bin/nx4400c"
test -x "$root/usr/bin/nx4400c-cli"
test -x "$root/usr/bin/nx4400c-virtual-receiver"
test -f "$root/usr/share/applications/nx4400c.desktop"
test -f "$root/usr/share/metainfo/com.norvale.nx4400c.metainfo.xml"
test -f "$root/usr/share/icons/hicolor/scalable/apps/nx4400c.svg"
test -f "$root/usr/share/doc/nx4400c/copyright"
test -f "$root/usr/share/doc/nx4400c/changelog.gz"
states=$(ls "$root/usr/share/nx4400c/States" | grep -c '\.st$' || true)
echo "state files: $states"
test "$states" -eq 54
desktop-file-validate "$root/usr/share/applications/nx4400c.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/com.norvale.nx4400c.metainfo.xml" >/dev/null ||
  { appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/com.norvale.nx4400c.metainfo.xml"; exit 1; }

# The three programs start, from where the package puts them.
bin=$root/usr/bin
"$bin/nx4400c" --version | grep -q '^nx4400c '
"$bin/nx4400c" --help | grep -q '^usage: nx4400c'
"$bin/nx4400c-cli" --version | grep -q '^nx4400c-cli '
"$bin/nx4400c-cli" --help | grep -q '^usage: nx4400c-cli'
"$bin/nx4400c-virtual-receiver" --help | grep -q '^usage: nx4400c-virtual-receiver'
echo "the three installed programs start"

# Every page renders without a complaint from groff; the command line's page
# names every command and every option that the program knows.
man1=$root/usr/share/man/man1
for page in nx4400c nx4400c-cli nx4400c-virtual-receiver; do
  test -f "$man1/$page.1.gz"
  rendered=$(LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings -E UTF-8 -l "$man1/$page.1.gz" 2>"$work/man.err")
  if [ -s "$work/man.err" ]; then echo "man -l $page:"; cat "$work/man.err"; exit 1; fi
  grep -q '^NAME' <<<"$rendered"
  grep -q '^SYNOPSIS' <<<"$rendered"
  [ "$page" = nx4400c-cli ] && cli_page=$rendered
done
for section in COMMANDS 'EXIT STATUS' FILES ENVIRONMENT; do
  grep -q "^$section" <<<"$cli_page" || { echo "nx4400c-cli(1) has no $section"; exit 1; }
done
# man prints U+2010 for a hyphen; options must come out as minus signs.
while read -r command; do
  grep -qF "nx4400c-cli $command" <<<"$cli_page" || { echo "nx4400c-cli(1) lacks the command $command"; exit 1; }
  # shellcheck disable=SC2086
  for option in $("$bin/nx4400c-cli" $command --help | sed -n 's/^  \(--*[A-Za-z][A-Za-z0-9-]*\).*/\1/p'); do
    grep -qF -- "$option" <<<"$cli_page" || { echo "nx4400c-cli(1) lacks $command $option"; exit 1; }
  done
done < <("$bin/nx4400c-cli" --commands)
echo "manual pages render"

# Completion: found by bash after sourcing; the other two shells parse theirs.
share=$root/usr/share
bash -c "source '$share/bash-completion/completions/nx4400c-cli' && complete -p nx4400c-cli" | grep -q _nx4400c_cli
zsh -n "$share/zsh/vendor-completions/_nx4400c-cli"
fish -n "$share/fish/vendor_completions.d/nx4400c-cli.fish"
echo "completion loads"

lintian_status=0
wait "$lintian_pid" || lintian_status=$?
lintian_pid=""
if [ "$lintian_status" != 0 ]; then
  echo "lintian reports errors or warnings:"
  cat "$work/lintian.out"
  exit 1
fi
echo "lintian: clean"

# Further checks of the unpacked tree (the systemd units, ...): every
# executable checks.d/*.sh beside this script, given the unpacked root.
for check in "$here"/checks.d/*.sh; do
  [ -x "$check" ] || continue
  echo "check: $(basename "$check")"
  "$check" "$root"
done

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
