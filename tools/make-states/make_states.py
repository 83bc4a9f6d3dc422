#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Builds the 54 state files of the NX-4400C editor from NOAA Weather Radio
county coverage data (one JSON file per state, as published by the National
Weather Service: counties.list entries with same, county, nwrtx, frequency,
callsign).

Usage: make_states.py [NWR_FOLDER] [OUTPUT_FOLDER]
       defaults: ../shared/nwr beside the repository, and data/States.

Every output line is 62 characters followed by CR LF:

    columns  1-6   six-digit FIP (SAME) code
    columns  7-8   two blanks
    columns  9-30  county name, blank padded
    column  31     blank
    columns 32-47  transmitter site, blank padded
    column  48     blank
    columns 49-54  transmitter call sign, blank padded
    column  55     blank
    columns 56-62  frequency, "162.550"

so columns 31-62, the field that identifies a transmitter in the editor,
always hold the call sign: two transmitters never share a field, and one
transmitter has the same field in every state whose counties it covers.
A county that no transmitter covers carries "--No NWR Coverage--" in
columns 32-50 and blanks up to column 62.

One line per county and transmitter, in the order of the NOAA list (by code,
then by site). Each state's file holds the counties of that state. The
District of Columbia has no file of its own: its lines are appended to the
Maryland file so that its county is still found when the user picks one of
the transmitters that cover it. American Samoa, Micronesia, the Marshall
Islands and Palau are not in the editor's state list and get no file.

Shortening rule (the only change made to the data besides the layout):
- Site names: non-breaking spaces become blanks and runs of blanks become
  one. A site longer than 16 characters is shortened by the abbreviations of
  SITE_ABBREVIATIONS, applied one after the other, each only while the site
  is still too long; what is still too long is then cut at 16 characters.
  The call sign is never shortened.
- County names longer than 22 characters: "City of X" becomes "X City"
  (the Virginia independent cities); anything still too long is cut at 22.
"""

import json
import os
import sys

SITE_WIDTH = 16
CALL_WIDTH = 6
COUNTY_WIDTH = 22
NO_COVERAGE = "--No NWR Coverage--"
NOAA_NO_COVERAGE = "No NWR Coverage"

# (state list entry, file name, NOAA file) in the editor's state list order.
STATES = [
    ("Alabama", "Al_102.st", "AL"), ("Alaska", "Ak_101.st", "AK"),
    ("Arizona", "Az_104.st", "AZ"), ("Arkansas", "Ar_103.st", "AR"),
    ("California", "Ca_105.st", "CA"), ("Colorado", "Co_106.st", "CO"),
    ("Connecticut", "Ct_107.st", "CT"), ("Delaware", "De_108.st", "DE"),
    ("Florida", "Fl_109.st", "FL"), ("Georgia", "Ga_110.st", "GA"),
    ("Hawaii", "Hi_111.st", "HI"), ("Idaho", "Id_113.st", "ID"),
    ("Illinois", "Il_114.st", "IL"), ("Indiana", "In_115.st", "IN"),
    ("Iowa", "Ia_112.st", "IA"), ("Kansas", "Ks_116.st", "KS"),
    ("Kentucky", "Ky_117.st", "KY"), ("Louisiana", "La_118.st", "LA"),
    ("Maine", "Me_121.st", "ME"), ("Maryland", "Md_120.st", "MD"),
    ("Massachusetts", "Ma_119.st", "MA"), ("Michigan", "Mi_122.st", "MI"),
    ("Minnesota", "Mn_123.st", "MN"), ("Mississippi", "Ms_125.st", "MS"),
    ("Missouri", "Mo_124.st", "MO"), ("Montana", "Mt_126.st", "MT"),
    ("Nebraska", "Ne_129.st", "NE"), ("Nevada", "Nv_133.st", "NV"),
    ("New Hampshire", "Nh_130.st", "NH"), ("New Jersey", "Nj_131.st", "NJ"),
    ("New Mexico", "Nm_132.st", "NM"), ("New York", "Ny_134.st", "NY"),
    ("North Carolina", "Nc_127.st", "NC"), ("North Dakota", "Nd_128.st", "ND"),
    ("Ohio", "Oh_135.st", "OH"), ("Oklahoma", "Ok_136.st", "OK"),
    ("Oregon", "Or_137.st", "OR"), ("Pennsylvania", "Pa_138.st", "PA"),
    ("Rhode Island", "Ri_139.st", "RI"), ("South Carolina", "Sc_140.st", "SC"),
    ("South Dakota", "Sd_141.st", "SD"), ("Tennessee", "Tn_142.st", "TN"),
    ("Texas", "Tx_143.st", "TX"), ("Utah", "Ut_144.st", "UT"),
    ("Vermont", "Vt_146.st", "VT"), ("Virginia", "Va_145.st", "VA"),
    ("Washington", "Wa_147.st", "WA"), ("West Virginia", "Wv_149.st", "WV"),
    ("Wisconsin", "Wi_148.st", "WI"), ("Wyoming", "Wy_150.st", "WY"),
    ("Guam", "Gu_151.st", "GU"), ("N Mariana Islands", "Mr_152.st", "MP"),
    ("Puerto Rico", "Pr_153.st", "PR"), ("US Virgin Islands", "Vi_154.st", "VI"),
]

# Extra NOAA files whose lines go into another state's file.
APPEND = {"MD": ["DC"]}

# Applied in this order, each only while the site is still too long.
SITE_ABBREVIATIONS = [
    (" / ", "/"), ("/ ", "/"), (" - ", "-"),
    ("OUT OF SERVICE", "OOS"), ("DEGRADED", "DEGR"),
    ("International", "Intl"), ("Mountain", "Mtn"), ("Peninsula", "Pen"),
    ("Springs", "Spgs"), ("County", "Co"), ("Marine", "Mar"),
    ("Island", "Isl"), ("Falls", "Fls"), ("Saint ", "St "),
    ("Nat'l.", "NP"), ("Street", "St"), ("North", "N"), ("South", "S"),
    ("East", "E"), ("West", "W"), ("River", "Rv"), ("Park", "Pk"),
    ("City", "Cy"), (". ", "."),
]


def squeeze(text):
    return " ".join(text.replace("\u00a0", " ").split())


def shorten_site(site):
    site = squeeze(site)
    for long_form, short_form in SITE_ABBREVIATIONS:
        if len(site) <= SITE_WIDTH:
            break
        site = site.replace(long_form, short_form)
    return site[:SITE_WIDTH].rstrip()


def shorten_county(county):
    county = squeeze(county)
    if len(county) > COUNTY_WIDTH and county.startswith("City of "):
        county = county[len("City of "):] + " City"
    return county[:COUNTY_WIDTH].rstrip()


def make_line(entry):
    code = entry["same"]
    if len(code) != 6 or not code.isdigit():
        raise ValueError("bad FIP code %r" % code)
    head = "%s  %-*s " % (code, COUNTY_WIDTH, shorten_county(entry["county"]))
    call = entry["callsign"].strip()
    if not call or NOAA_NO_COVERAGE in squeeze(entry["nwrtx"]):
        line = head + NO_COVERAGE
    else:
        freq = entry["frequency"].strip()
        if len(freq) != 7 or len(call) > CALL_WIDTH:
            raise ValueError("bad transmitter %r" % entry)
        line = head + "%-*s %-*s %s" % (SITE_WIDTH, shorten_site(entry["nwrtx"]),
                                        CALL_WIDTH, call, freq)
    line = line.ljust(62)
    assert len(line) == 62 and line.isascii(), line
    return line


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.normpath(os.path.join(here, "..", ".."))
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(repo, "..", "shared", "nwr")
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(repo, "data", "States")
    os.makedirs(out, exist_ok=True)
    for name, file_name, postal in STATES:
        lines = []
        for noaa in [postal] + APPEND.get(postal, []):
            with open(os.path.join(src, noaa + ".json"), encoding="utf-8") as f:
                data = json.load(f)
            lines += [make_line(e) for e in data["counties"]["list"]]
        if len(lines) > 501:
            raise ValueError("%s has %d lines; the editor reads 501" % (file_name, len(lines)))
        with open(os.path.join(out, file_name), "w", encoding="ascii", newline="") as f:
            f.write("".join(l + "\r\n" for l in lines))
        print("%-10s %-18s %3d lines" % (file_name, name, len(lines)))


if __name__ == "__main__":
    main()
