#!/usr/bin/env python3
"""Writes tests/data/proj_answers.txt: PROJ's projection of points of every map system
of core/export/crs_table.inc, the answers the unit tests hold the projections to when
cs2cs is not at hand.

For each system: a 6 x 6 lattice of cell centres (1/10800 degree) spanning its area of
use, the corners and the middles of the edges of that area, and the same of its domain
(the area widened by the margins of core/export/map_systems.h: 6 degrees east and west
for a UTM zone, 1 for a State Plane zone, 1 north and south). Then the two Lambert
methods no zone of the table uses, as the unit tests define them in WKT (EPSG methods 1051,
Michigan's, and 9801, one standard parallel), on a 5 x 5 lattice over their boxes, under
the method's code. Each line reads
"EPSG latitude longitude easting northing": NAD83 degrees as the shortest text that
reads back to the same double, and cs2cs's easting and northing in the system's unit
to nine decimals.

Usage: tools/make_proj_answers.py [--table PATH] [--output PATH]   (needs proj-bin)
"""

import argparse
import datetime
import math
import os
import re
import sqlite3
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CELL = 1.0 / 10800.0
LATTICE = 6
UTM_MARGIN = 6.0
STATE_PLANE_MARGIN = 1.0
LATITUDE_MARGIN = 1.0


def systems(table):
    """(EPSG code, name, west, south, east, north) of each record of the table."""
    found = []
    pattern = re.compile(r'^\s*\{(\d+), "([^"]*)", .*, ([-0-9.e]+), ([-0-9.e]+), '
                         r'([-0-9.e]+), ([-0-9.e]+)\},\s*$')
    with open(table) as f:
        for line in f:
            m = pattern.match(line)
            if m:
                found.append((int(m.group(1)), m.group(2)) +
                             tuple(float(m.group(k)) for k in range(3, 7)))
    return found


def cell_centre(degrees):
    return (math.floor(degrees / CELL) + 0.5) * CELL


def wrap(longitude):
    return math.remainder(longitude, 360.0)


def box_points(west, south, east, north):
    """Corners and middles of the edges; west > east crosses 180 degrees."""
    width = east - west + (360.0 if west > east else 0.0)
    points = []
    for lat in (south, (south + north) / 2.0, north):
        for lon in (west, west + width / 2.0, west + width):
            if lat == (south + north) / 2.0 and lon == west + width / 2.0:
                continue
            points.append((lat, wrap(lon)))
    return points


def points_of(system):
    epsg, name, west, south, east, north = system
    width = east - west + (360.0 if west > east else 0.0)
    points = []
    for i in range(LATTICE):
        lat = cell_centre(south + (north - south) * i / (LATTICE - 1))
        for j in range(LATTICE):
            points.append((lat, wrap(cell_centre(west + width * j / (LATTICE - 1)))))
    points += box_points(west, south, east, north)
    margin = UTM_MARGIN if "UTM zone" in name else STATE_PLANE_MARGIN
    points += box_points(west - margin, south - LATITUDE_MARGIN, east + margin,
                         north + LATITUDE_MARGIN)
    return points


# The two methods as tests/unit/export_map_projection_test.cpp gives them to PROJ: code,
# conversion, and the box (west, south, east, north) of the lattice.
DEGREE = 'ANGLEUNIT["degree",0.0174532925199433]'
FOOT = 'LENGTHUNIT["US survey foot",0.304800609601219]'
UNITY = 'SCALEUNIT["unity",1]'


def parameter(name, value, unit):
    return f',PARAMETER["{name}",{value:.17g},{unit}]'


METHODS = [
    (1051, 'Lambert Conic Conformal (2SP Michigan)",ID["EPSG",1051]]' +
     parameter("Latitude of false origin", 43.3, DEGREE) +
     parameter("Longitude of false origin", -84.3, DEGREE) +
     parameter("Latitude of 1st standard parallel", 44.2, DEGREE) +
     parameter("Latitude of 2nd standard parallel", 45.7, DEGREE) +
     parameter("Easting at false origin", 2000000.0, FOOT) +
     parameter("Northing at false origin", 0.0, FOOT) +
     parameter("Ellipsoid scaling factor", 1.0000382, UNITY), (-87.0, 43.8, -82.3, 45.9)),
    (9801, 'Lambert Conic Conformal (1SP)",ID["EPSG",9801]]' +
     parameter("Latitude of natural origin", 18.0, DEGREE) +
     parameter("Longitude of natural origin", -77.0, DEGREE) +
     parameter("Scale factor at natural origin", 0.99999, UNITY) +
     parameter("False easting", 820000.0, FOOT) +
     parameter("False northing", 2000000.0, FOOT), (-80.0, 16.0, -74.0, 20.0)),
]


def method_target(conversion):
    return ('PROJCRS["test",BASEGEOGCRS["NAD83",DATUM["North American Datum 1983",'
            'ELLIPSOID["GRS 1980",6378137,298.257222101]],ID["EPSG",4269]],CONVERSION["test",'
            'METHOD["' + conversion + '],CS[Cartesian,2],AXIS["easting",east,' + FOOT +
            '],AXIS["northing",north,' + FOOT + ']]')


def method_points(box):
    west, south, east, north = box
    return [(south + (north - south) * i / 4.0, west + (east - west) * j / 4.0)
            for i in range(5) for j in range(5)]


def project(epsg, points, target=None):
    text = "".join(f"{lat!r} {lon!r}\n" for lat, lon in points)
    target = target or f"EPSG:{epsg}"
    run = subprocess.run(["cs2cs", "-f", "%.9f", "EPSG:4269", target], input=text,
                         capture_output=True, text=True, check=True)
    answers = []
    for line in run.stdout.splitlines():
        fields = line.split()
        if len(fields) < 2 or fields[0].startswith("*"):
            sys.exit(f"make_proj_answers: PROJ cannot project a point of EPSG:{epsg}: {line}")
        answers.append((fields[0], fields[1]))
    if len(answers) != len(points):
        sys.exit(f"make_proj_answers: cs2cs gave {len(answers)} answers for {len(points)}")
    return answers


def proj_source():
    release = subprocess.run(["cs2cs"], capture_output=True, text=True).stderr.split("\n")[0]
    db = None
    try:
        paths = subprocess.run(["projinfo", "--searchpaths"], capture_output=True, text=True,
                               check=True).stdout.split()
    except (OSError, subprocess.CalledProcessError):
        paths = []
    for folder in paths + ["/usr/share/proj"]:
        if os.path.exists(os.path.join(folder, "proj.db")):
            db = os.path.join(folder, "proj.db")
            break
    epsg = "?"
    if db:
        metadata = dict(sqlite3.connect(db).execute("SELECT key, value FROM metadata"))
        epsg = f"{metadata.get('EPSG.VERSION', '?')} ({metadata.get('EPSG.DATE', '?')})"
    return release.strip(), epsg


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--table", default=os.path.join(ROOT, "core/export/crs_table.inc"))
    parser.add_argument("--output", default=os.path.join(ROOT, "tests/data/proj_answers.txt"))
    args = parser.parse_args()
    table = systems(args.table)
    if not table:
        sys.exit("make_proj_answers: no systems in " + args.table)
    release, epsg = proj_source()
    lines = [
        "# PROJ's answers for the map systems of core/export/crs_table.inc; generated by",
        "# tools/make_proj_answers.py, do not edit.",
        f"# Source: PROJ {release}; EPSG dataset {epsg} in its proj.db.",
        f"# Generated on {datetime.date.today().isoformat()}; {len(table)} systems.",
        "# Command per system: cs2cs -f %.9f EPSG:4269 EPSG:<code> (the methods 1051 and 9801:",
        "# their WKT in place of EPSG:<code>, as in the script).",
        "# Each line: EPSG latitude longitude easting northing (NAD83 degrees; the unit of",
        "# the system).",
    ]
    for system in table:
        points = points_of(system)
        for (lat, lon), (e, n) in zip(points, project(system[0], points)):
            lines.append(f"{system[0]} {lat!r} {lon!r} {e} {n}")
    for code, conversion, box in METHODS:
        points = method_points(box)
        for (lat, lon), (e, n) in zip(points, project(code, points, method_target(conversion))):
            lines.append(f"{code} {lat!r} {lon!r} {e} {n}")
    with open(args.output, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    print(f"wrote {args.output}: {len(lines) - 8} answers of {len(table)} systems")


if __name__ == "__main__":
    main()
