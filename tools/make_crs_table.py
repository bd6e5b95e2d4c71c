#!/usr/bin/env python3
"""Writes core/export/crs_table.inc, the map coordinate systems the programs offer.

The systems come from the EPSG dataset in PROJ's database (proj.db): every projected
system on the original NAD83 datum (EPSG:4269) that is a UTM zone 1N to 23N (EPSG 26901 to
26923) or a State Plane zone of 1983 (its conversion is named "SPCS83 ..."), in each unit
EPSG defines it in, leaving out the deprecated ones. The realisations of NAD83 (HARN,
NSRS2007, 2011, CSRS) have their own geographic systems and are not taken. A zone whose
method the programs do not compute is left out and named in the file's header.

Usage: tools/make_crs_table.py [--db PATH] [--output PATH]
The database is found with `projinfo --searchpaths` (proj-bin) or in /usr/share/proj.
"""

import argparse
import datetime
import os
import sqlite3
import subprocess
import sys
from fractions import Fraction

NAD83 = "4269"

# EPSG method code: (the C++ enumerator, the parameters it reads in the record's order).
METHODS = {
    9807: ("ProjectionMethod::TransverseMercator", {
        "origin_lat": 8801, "origin_lon": 8802, "scale": 8805,
        "false_e": 8806, "false_n": 8807}),
    9801: ("ProjectionMethod::LambertConic1SP", {
        "origin_lat": 8801, "origin_lon": 8802, "scale": 8805,
        "false_e": 8806, "false_n": 8807}),
    9802: ("ProjectionMethod::LambertConic2SP", {
        "origin_lat": 8821, "origin_lon": 8822, "parallel1": 8823, "parallel2": 8824,
        "false_e": 8826, "false_n": 8827}),
    1051: ("ProjectionMethod::LambertConic2SPMichigan", {
        "origin_lat": 8821, "origin_lon": 8822, "parallel1": 8823, "parallel2": 8824,
        "false_e": 8826, "false_n": 8827, "ellipsoid_scale": 1038}),
}

# Length units, metres per unit as exact fractions.
UNITS = {
    9001: ("MapUnit::Metre", Fraction(1)),
    9002: ("MapUnit::InternationalFoot", Fraction(3048, 10000)),
    9003: ("MapUnit::UsSurveyFoot", Fraction(1200, 3937)),
}


def find_database():
    try:
        paths = subprocess.run(["projinfo", "--searchpaths"], capture_output=True, text=True,
                               check=True).stdout.split()
    except (OSError, subprocess.CalledProcessError):
        paths = []
    for folder in paths + ["/usr/share/proj"]:
        candidate = os.path.join(folder, "proj.db")
        if os.path.exists(candidate):
            return candidate
    sys.exit("make_crs_table: no proj.db found; install proj-bin or pass --db")


def sexagesimal_dms(value):
    """EPSG unit 9110: sign, degrees, then MM and SS.sss after the point: 34.2 is 34 deg
    20'. Taken from the shortest decimal text of the stored double, as EPSG writes it."""
    text = repr(float(value))
    sign = -1 if text.startswith("-") else 1
    text = text.lstrip("-")
    degrees, _, fraction = text.partition(".")
    fraction = (fraction + "0000")[:max(4, len(fraction))]
    minutes = int(fraction[:2])
    seconds = Fraction(fraction[2:4] + "." + (fraction[4:] or "0"))
    if minutes >= 60 or seconds >= 60:
        sys.exit(f"make_crs_table: {value} is not a sexagesimal DMS angle")
    return sign * (int(degrees) + Fraction(minutes, 60) + seconds / 3600)


def angle_degrees(value, unit):
    if unit == 9110:
        return sexagesimal_dms(value)
    if unit in (9102, 9122):
        return Fraction(repr(float(value)))
    sys.exit(f"make_crs_table: angle unit EPSG:{unit} not handled")


def number(value):
    """The double nearest to an exact value, as a C++ literal that reads back the same."""
    text = repr(float(value))
    return text if any(c in text for c in ".eE") or "inf" in text else text + ".0"


def c_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def select_systems(db):
    return db.execute("""
        SELECT p.code, p.name, p.coordinate_system_code, c.method_code, c.method_name, c.*
        FROM projected_crs p
        JOIN conversion c ON c.auth_name = p.conversion_auth_name AND c.code = p.conversion_code
        WHERE p.auth_name = 'EPSG' AND p.deprecated = 0
          AND p.geodetic_crs_auth_name = 'EPSG' AND p.geodetic_crs_code = ?
          AND (c.name LIKE 'SPCS83 %' OR CAST(p.code AS INTEGER) BETWEEN 26901 AND 26923)
        ORDER BY CAST(p.code AS INTEGER)""", (NAD83,)).fetchall()


def parameters(row, conversion_columns):
    """The conversion's parameters: EPSG parameter code -> (value, unit code)."""
    conversion = dict(zip(conversion_columns, row[5:]))
    found = {}
    for k in range(1, 8):
        code = conversion.get(f"param{k}_code")
        if code is not None:
            found[int(code)] = (conversion[f"param{k}_value"],
                                int(conversion[f"param{k}_uom_code"]))
    return found


def axis_unit(db, coordinate_system):
    units = {int(u) for (u,) in db.execute(
        "SELECT uom_code FROM axis WHERE coordinate_system_auth_name = 'EPSG' AND "
        "coordinate_system_code = ?", (coordinate_system,))}
    directions = [d for (d,) in db.execute(
        "SELECT orientation FROM axis WHERE coordinate_system_auth_name = 'EPSG' AND "
        "coordinate_system_code = ? ORDER BY coordinate_system_order", (coordinate_system,))]
    if len(units) != 1 or directions != ["east", "north"]:
        sys.exit(f"make_crs_table: coordinate system EPSG:{coordinate_system} is not "
                 "easting, northing in one unit")
    return units.pop()


def area_of_use(db, code):
    extents = db.execute("""
        SELECT e.west_lon, e.south_lat, e.east_lon, e.north_lat
        FROM usage u JOIN extent e ON e.auth_name = u.extent_auth_name AND e.code = u.extent_code
        WHERE u.object_table_name = 'projected_crs' AND u.object_auth_name = 'EPSG'
          AND u.object_code = ?""", (code,)).fetchall()
    if len(extents) != 1:
        sys.exit(f"make_crs_table: EPSG:{code} has {len(extents)} areas of use")
    return extents[0]


def record(db, row, conversion_columns):
    code, name, coordinate_system, method_code = int(row[0]), row[1], row[2], int(row[3])
    method, wanted = METHODS[method_code]
    unit_code = axis_unit(db, coordinate_system)
    unit, metres_per_unit = UNITS[unit_code]
    found = parameters(row, conversion_columns)

    def angle(key):
        value, uom = found[wanted[key]]
        return angle_degrees(value, uom)

    def length(key):
        value, uom = found[wanted[key]]
        return Fraction(repr(float(value))) * UNITS[uom][1] / metres_per_unit

    def scale(key):
        value, uom = found[wanted[key]]
        if uom != 9201:
            sys.exit(f"make_crs_table: EPSG:{code} scale in unit EPSG:{uom}")
        return Fraction(repr(float(value)))

    two_parallels = "parallel1" in wanted
    fields = [
        str(code), c_string(name), method, unit,
        number(angle("origin_lat")), number(angle("origin_lon")),
        number(angle("parallel1")) if two_parallels else "0.0",
        number(angle("parallel2")) if two_parallels else "0.0",
        number(scale("scale")) if "scale" in wanted else "1.0",
        number(scale("ellipsoid_scale")) if "ellipsoid_scale" in wanted else "1.0",
        number(length("false_e")), number(length("false_n")),
    ] + [number(v) for v in area_of_use(db, row[0])]
    return "    {" + ", ".join(fields) + "},"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--db", help="PROJ's proj.db")
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--output",
                        default=os.path.join(here, "..", "core", "export", "crs_table.inc"))
    args = parser.parse_args()
    path = args.db or find_database()

    db = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    metadata = dict(db.execute("SELECT key, value FROM metadata"))
    conversion_columns = [c[1] for c in db.execute("PRAGMA table_info(conversion)")]

    records, left_out = [], []
    for row in select_systems(db):
        if int(row[3]) in METHODS:
            records.append(record(db, row, conversion_columns))
        else:
            left_out.append(f"EPSG:{row[0]} {row[1]} ({row[4]})")

    header = [
        "// Generated by tools/make_crs_table.py; do not edit. The map coordinate systems on",
        "// NAD83 (EPSG:4269): UTM zones 1N to 23N and the State Plane zones of 1983 in each",
        "// unit EPSG defines them in.",
        f"// Source: EPSG dataset {metadata.get('EPSG.VERSION', '?')} "
        f"({metadata.get('EPSG.DATE', '?')}) as shipped in PROJ "
        f"{metadata.get('PROJ.VERSION', '?')}'s proj.db.",
        f"// Generated on {datetime.date.today().isoformat()}; {len(records)} systems.",
        "// Left out (method not computed): " + ("; ".join(left_out) or "none") + ".",
        "// Fields: EPSG code, name, method, unit, latitude and longitude of the (false)",
        "// origin, standard parallels 1 and 2, scale factor, ellipsoid scaling factor,",
        "// false easting and northing in the unit, area of use west, south, east, north",
        "// (degrees; west > east crosses 180 degrees).",
    ]
    with open(args.output, "w", encoding="utf-8") as out:
        out.write("\n".join(header + records) + "\n")
    print(f"{args.output}: {len(records)} systems, left out: {', '.join(left_out) or 'none'}")


if __name__ == "__main__":
    main()
