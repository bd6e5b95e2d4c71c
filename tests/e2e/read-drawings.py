#!/usr/bin/python3
"""Reads every contour drawing in a folder (and its folders) as CAD readers do: GDAL's DXF driver (ogr2ogr)
must give each polyline as a line at its elevation on a contour layer, ezdxf must audit the
file without an error, and both must find the same polylines, in the same order, as the
file holds.
    read-drawings.py <folder>"""
import csv
import glob
import os
import subprocess
import sys
import tempfile

import ezdxf

LAYERS = ("C-TOPO-MAJR", "C-TOPO-MINR")


def ogr_lines(path):
    """(layer, elevation) of every feature GDAL reads, all its vertices at that elevation."""
    with tempfile.TemporaryDirectory() as folder:
        table = os.path.join(folder, "lines.csv")
        subprocess.run(["ogr2ogr", "-f", "CSV", "-lco", "GEOMETRY=AS_WKT", table, path],
                       check=True)
        csv.field_size_limit(1 << 30)
        lines = []
        with open(table, newline="") as rows:
            for row in csv.DictReader(rows):
                wkt = row["WKT"]
                if not wkt.startswith("LINESTRING Z ("):
                    raise ValueError("not a line at an elevation: " + wkt[:40])
                zs = {float(p.split()[2]) for p in wkt[len("LINESTRING Z ("):-1].split(",")}
                if len(zs) != 1:
                    raise ValueError("a line with vertices at %d elevations" % len(zs))
                lines.append((row["Layer"], zs.pop()))
        return lines


def main():
    drawings = sorted(glob.glob(os.path.join(sys.argv[1], "**", "*.dxf"), recursive=True))
    if not drawings:
        print("no drawing in", sys.argv[1])
        return 1
    failed = 0
    for path in drawings:
        with open(path, "rb") as f:
            held = f.read().count(b"\r\nPOLYLINE\r\n")
        doc = ezdxf.readfile(path)
        auditor = doc.audit()
        ours = [(p.dxf.layer, p.dxf.elevation.z) for p in doc.modelspace().query("POLYLINE")]
        theirs = ogr_lines(path)
        problems = []
        if auditor.has_errors:
            problems.append("ezdxf audit: %d errors" % len(auditor.errors))
        if len(ours) != held or len(theirs) != held:
            problems.append("%d polylines held, ezdxf %d, GDAL %d" % (held, len(ours), len(theirs)))
        if any(layer not in LAYERS for layer, _ in ours):
            problems.append("a polyline off the contour layers")
        if [(l, round(z, 3)) for l, z in ours] != [(l, round(z, 3)) for l, z in theirs]:
            problems.append("GDAL and ezdxf read other layers or elevations")
        if held == 0:
            problems.append("no polyline")
        print("%s: %d polylines %s" % (os.path.basename(path), held,
                                       "; ".join(problems) if problems else "read by both"))
        failed += bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
