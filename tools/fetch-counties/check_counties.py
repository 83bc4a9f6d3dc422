#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks a counties-10m.json before it replaces the committed one: the
objects the editor reads are there, with the county count and the codes it
expects (five digits, two-digit state first), and every arc index is in
range. Exits 1 with a reason otherwise."""
import json
import sys


def fail(why):
    print("check_counties: " + why, file=sys.stderr)
    sys.exit(1)


def main(path):
    with open(path, encoding="utf-8") as f:
        topo = json.load(f)
    if topo.get("type") != "Topology" or "transform" not in topo:
        fail("not a quantised TopoJSON topology")
    counties = topo.get("objects", {}).get("counties", {}).get("geometries")
    if not counties:
        fail("no counties object")
    arcs = len(topo["arcs"])

    def indices(node):
        if isinstance(node, list):
            for n in node:
                yield from indices(n)
        else:
            yield node

    for g in counties:
        cid = g.get("id", "")
        if len(cid) != 5 or not cid.isdigit():
            fail("county code %r is not five digits" % cid)
        if g["type"] not in ("Polygon", "MultiPolygon"):
            fail("county %s is a %s" % (cid, g["type"]))
        for i in indices(g["arcs"]):
            if not (-arcs <= i < arcs):
                fail("county %s names arc %d of %d" % (cid, i, arcs))
    if len(counties) != 3231:
        fail("%d counties, expected 3231" % len(counties))
    print("%d counties, %d arcs" % (len(counties), arcs))


if __name__ == "__main__":
    main(sys.argv[1])
