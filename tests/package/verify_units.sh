#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs `systemd-analyze --user verify` on every unit in a folder, e.g. the
# installed examples:
#   tests/package/verify_units.sh /usr/share/doc/nx4400c/examples/systemd
# or the source folder against a build tree's programs (the units name
# /usr/bin/nx4400c-cli; copies with that path replaced are verified, and the
# manual pages they point to are not looked up):
#   tests/package/verify_units.sh packaging/systemd --bindir build/bin
# Exit status: 0 every unit passed, 1 a unit failed (the reason is printed),
# 2 a usage error, 77 systemd-analyze is not installed (a skip to CTest).
set -u

usage() {
    echo "usage: $0 UNIT_FOLDER [--bindir DIR]" >&2
    exit 2
}

[ $# -ge 1 ] || usage
units=$1
shift
bindir=
while [ $# -gt 0 ]; do
    case $1 in
    --bindir) [ $# -ge 2 ] || usage; bindir=$2; shift 2 ;;
    *) usage ;;
    esac
done
[ -d "$units" ] || { echo "$0: $units is not a folder" >&2; exit 2; }
command -v systemd-analyze >/dev/null 2>&1 || { echo "$0: systemd-analyze is not installed; skipped" >&2; exit 77; }

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT INT TERM
# A user manager needs a runtime folder of its own, which a build machine
# or a container may not have.
mkdir -m 700 "$work/runtime" "$work/units"
found=0
for f in "$units"/*.service "$units"/*.timer; do
    [ -f "$f" ] || continue
    found=1
    if [ -n "$bindir" ]; then
        abs=$(cd "$bindir" && pwd) || exit 2
        sed "s#/usr/bin/nx4400c-cli#$abs/nx4400c-cli#g" "$f" > "$work/units/$(basename "$f")"
    else
        cp "$f" "$work/units/"
    fi
done
[ "$found" = 1 ] || { echo "$0: no units in $units" >&2; exit 1; }

cd "$work/units" || exit 1
# The installed package brings the manual page the units point to; a build
# tree does not install it, so there it is not looked up.
man=yes
[ -n "$bindir" ] && man=no
# systemd-analyze exits 0 even for some warnings; anything it prints about a
# unit counts as a failure, so a unit stays free of warnings too.
out=$(XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify --man=$man ./*.service ./*.timer 2>&1)
rc=$?
if [ $rc -ne 0 ] || printf '%s' "$out" | grep -q 'nx4400c-'; then
    printf '%s\n' "$out" >&2
    echo "$0: systemd-analyze verify failed (status $rc)" >&2
    exit 1
fi
echo "verified: $(ls | tr '\n' ' ')"
exit 0
