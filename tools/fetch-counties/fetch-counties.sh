#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Refreshes data/counties/ from the npm package us-atlas 3.0.1: the US Census
# Bureau's 2017 county boundaries as TopoJSON (counties-10m.json, longitude
# and latitude, quantised). The editor reads that file as it is, so this only
# fetches, checks and copies it; a fresh clone builds from the committed copy
# without npm.
#
#   tools/fetch-counties/fetch-counties.sh [OUTPUT_FOLDER]     (default data/counties)
#
# The npm command it runs is `npm pack us-atlas@3.0.1`.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../../data/counties}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$work" && npm pack --silent us-atlas@3.0.1 >/dev/null)
tar -xzf "$work/us-atlas-3.0.1.tgz" -C "$work"
python3 "$here/check_counties.py" "$work/package/counties-10m.json"
mkdir -p "$out"
cp "$work/package/counties-10m.json" "$out/counties-10m.json"
cp "$work/package/LICENSE" "$out/LICENSE.us-atlas"
echo "data/counties refreshed from us-atlas 3.0.1"
