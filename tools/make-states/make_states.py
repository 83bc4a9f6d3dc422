#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Turns NOAA Weather Radio county coverage data kept as one JSON file per
state (counties.list entries with same, county, nwrtx, frequency, callsign,
remarks; stations.list entries with callsign, site, tx, power, wfo) into one
listing in NOAA's CCL.js shape: fifteen parallel arrays, one value per line.

The editor's own importer then makes the 54 state files and the transmitter
table from that listing, exactly as it does for a listing a user downloads:

    make_states.py [NWR_FOLDER] [CCL_FILE]
    nx4400c-cli coverage import CCL_FILE --output data/States

Defaults: ../shared/nwr beside the repository, and
tools/make-states/CCL-2018-08-10.js. With --cli PATH the script runs the
second command itself (PATH is the built nx4400c-cli).

The only changes made to the data: the August 2018 pages wrote a station's
state of service into its name ("Eatonton  OUT OF SERVICE"); the name is
kept as published (the state files have always shown it, and settings hold
those texts) and STATUS is taken from it. A forecast office "Cleveland, OH"
is written as NOAA's listing writes it, "Cleveland|OH". The 2018 data has no
coordinates: LAT and LON are empty.
"""

import glob
import json
import os
import subprocess
import sys

STATE_NAMES = {
    "AL": "Alabama", "AK": "Alaska", "AS": "American Samoa", "AZ": "Arizona", "AR": "Arkansas",
    "CA": "California", "CO": "Colorado", "CT": "Connecticut", "DE": "Delaware",
    "DC": "District of Columbia", "FM": "Federated States of Micronesia", "FL": "Florida",
    "GA": "Georgia", "GU": "Guam", "HI": "Hawaii", "ID": "Idaho", "IL": "Illinois",
    "IN": "Indiana", "IA": "Iowa", "KS": "Kansas", "KY": "Kentucky", "LA": "Louisiana",
    "ME": "Maine", "MH": "Marshall Islands", "MD": "Maryland", "MA": "Massachusetts",
    "MI": "Michigan", "MN": "Minnesota", "MS": "Mississippi", "MO": "Missouri",
    "MT": "Montana", "NE": "Nebraska", "NV": "Nevada", "NH": "New Hampshire",
    "NJ": "New Jersey", "NM": "New Mexico", "NY": "New York", "NC": "North Carolina",
    "ND": "North Dakota", "MP": "Northern Mariana Islands", "OH": "Ohio", "OK": "Oklahoma",
    "OR": "Oregon", "PW": "Palau", "PA": "Pennsylvania", "PR": "Puerto Rico",
    "RI": "Rhode Island", "SC": "South Carolina", "SD": "South Dakota", "TN": "Tennessee",
    "TX": "Texas", "UT": "Utah", "VT": "Vermont", "VI": "Virgin Islands", "VA": "Virginia",
    "WA": "Washington", "WV": "West Virginia", "WI": "Wisconsin", "WY": "Wyoming",
}

ARRAYS = ["ST", "STATE", "COUNTY", "SAME", "SITENAME", "SITELOC", "SITESTATE", "FREQ",
          "CALLSIGN", "LAT", "LON", "PWR", "STATUS", "WFO", "REMARKS"]


def js(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def status_of(site):
    squeezed = " ".join(site.replace("\u00a0", " ").split()).upper()
    for status in ("OUT OF SERVICE", "DEGRADED"):
        if squeezed.endswith(status):
            return status
    return "NORMAL"


def office(wfo):
    place, _, state = wfo.rpartition(", ")
    return place + "|" + state if place else wfo


def main():
    args = sys.argv[1:]
    cli = None
    if "--cli" in args:
        at = args.index("--cli")
        cli = args[at + 1]
        del args[at:at + 2]
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.normpath(os.path.join(here, "..", ".."))
    src = args[0] if len(args) > 0 else os.path.join(repo, "..", "shared", "nwr")
    out = args[1] if len(args) > 1 else os.path.join(here, "CCL-2018-08-10.js")

    files = sorted(glob.glob(os.path.join(src, "*.json")))
    if not files:
        sys.exit("make_states.py: no *.json files in %s" % src)
    data = {}
    stations = {}
    for path in files:
        postal = os.path.basename(path)[:-5]
        with open(path, encoding="utf-8") as f:
            data[postal] = json.load(f)
        for s in data[postal]["stations"]["list"]:
            stations.setdefault(s["callsign"], (postal, s))
    updated = next(iter(data.values()))["counties"].get("updated", "")

    lines = [
        "// NOAA Weather Radio county coverage listing (CCL)",
        "// National Weather Service, United States government data, public domain.",
        "// Updated: " + updated,
        "// Made by tools/make-states/make_states.py from the per-state pages of that date.",
        "//",
        "// One element per county and transmitter that covers it:",
        "// ST state of the county, STATE its name, COUNTY, SAME code, SITENAME and",
        "// SITELOC of the transmitter, SITESTATE its state, FREQ in MHz, CALLSIGN,",
        "// LAT and LON (not known for this listing), PWR in watts, STATUS, WFO the",
        "// forecast office, REMARKS about partial coverage.",
        "//",
    ]
    lines += ["var %s = new Array();" % name for name in ARRAYS]
    i = 0
    for postal in sorted(data):
        for e in data[postal]["counties"]["list"]:
            call = e["callsign"].strip()
            home, station = stations.get(call, ("", {}))
            values = {
                "ST": postal, "STATE": STATE_NAMES[postal], "COUNTY": e["county"], "SAME": e["same"],
                "SITENAME": e["nwrtx"], "SITELOC": station.get("tx", ""), "SITESTATE": home,
                "FREQ": e["frequency"], "CALLSIGN": call, "LAT": "", "LON": "",
                "PWR": station.get("power", ""), "STATUS": status_of(e["nwrtx"]) if call else "",
                "WFO": office(station.get("wfo", "")), "REMARKS": e["remarks"],
            }
            lines += ["%s[%d] = %s;" % (name, i, js(values[name])) for name in ARRAYS]
            i += 1
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    print("%s: %d rows" % (out, i))
    if cli:
        subprocess.check_call([cli, "coverage", "import", out, "--output", os.path.join(repo, "data", "States")])


if __name__ == "__main__":
    main()
