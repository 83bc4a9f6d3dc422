#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures the Debian package as built: the .deb's size, what it takes once
# installed, the debug symbol package and the three programs, and prints
# them as a Markdown table. With --readme the table replaces the one between
# the "package-figures" marks in README.md, so the README's figures are
# always the built package's.
#   scripts/package-figures.sh [BUILD-FOLDER] [--readme]
# The build folder (default: build) must be configured RelWithDebInfo, so
# that the debug symbols can be split off; cpack is run in it.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
readme=0
for a in "$@"; do
  case $a in
    --readme) readme=1 ;;
    -*) echo "usage: scripts/package-figures.sh [BUILD-FOLDER] [--readme]" >&2; exit 2 ;;
    *) build=$a ;;
  esac
done
[ -f "$build/CMakeCache.txt" ] || { echo "package-figures: $build is not a configured build folder" >&2; exit 2; }

# What the package holds: the three programs, their manual pages and
# completions, and the help collection where the build makes one.
cmake --build "$build" --target nx4400c nx4400c-cli nx4400c-virtual-receiver nx_docs >/dev/null
cmake --build "$build" --target nx_help >/dev/null 2>&1 || echo "package-figures: no help collection in this build" >&2
(cd "$build" && rm -f nx4400c_*.deb nx4400c-dbgsym_*.ddeb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/nx4400c_*.deb | head -n 1)
ddeb=$(ls "$build"/nx4400c-dbgsym_*.ddeb 2>/dev/null | head -n 1 || true)
[ -n "$deb" ] || { echo "package-figures: cpack made no package" >&2; exit 1; }

# Sizes as people read them: bytes to KB/MB in steps of 1000, one decimal
# from 1 MB.
human() {
  awk -v b="$1" 'BEGIN { if (b >= 1e6) printf "%.1f MB", b / 1e6; else printf "%.0f KB", b / 1e3 }'
}
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
installed=$(du -sb "$unpacked" | cut -f1)
program() { stat -c %s "$unpacked/usr/bin/$1"; }

table=$(
  echo "| Package figure | Value |"
  echo "|---|---|"
  echo "| \`$(basename "$deb")\` | $(human "$(stat -c %s "$deb")") |"
  echo "| installed (every file it unpacks) | $(human "$installed") |"
  for p in nx4400c nx4400c-cli nx4400c-virtual-receiver; do
    echo "| \`/usr/bin/$p\` (stripped) | $(human "$(program $p)") |"
  done
  if [ -n "$ddeb" ]; then
    echo "| debug symbols, \`$(basename "$ddeb")\` | $(human "$(stat -c %s "$ddeb")") |"
  fi
)
echo "$table"

if [ "$readme" = 1 ]; then
  python3 - "$table" <<'EOF'
import re, sys
table = sys.argv[1]
text = open("README.md", encoding="utf-8").read()
begin, end = "<!-- package-figures -->", "<!-- /package-figures -->"
if begin not in text or end not in text:
    sys.exit("package-figures: README.md has no package-figures marks")
head, rest = text.split(begin, 1)
_, tail = rest.split(end, 1)
open("README.md", "w", encoding="utf-8").write(head + begin + "\n" + table + "\n" + end + tail)
EOF
  echo "README.md updated" >&2
fi
