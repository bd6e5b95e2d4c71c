#!/usr/bin/python3
"""Reads every drawing in a folder (and its folders) as CAD readers do, ezdxf auditing each
without an error. A contour drawing: GDAL's DXF driver (ogr2ogr) must give each polyline as
a line at its elevation on a contour layer, and GDAL and ezdxf must find the same
polylines, in the same order, as the file holds. A surface drawing (3D faces): GDAL must
give each face as a triangle (a polygon of three corners, closed), ezdxf a 3DFACE whose
fourth corner is its third, both on C-TOPO-TIN, both as many as the file holds, with the
same corners in the same order.
    read-drawings.py <folder>"""
import csv
import glob
import os
import subprocess
import sys
import tempfile

import ezdxf

LAYERS = ("C-TOPO-MAJR", "C-TOPO-MINR")
TIN_LAYER = "C-TOPO-TIN"


def ogr_features(path):
    """(layer, WKT) of every feature GDAL reads."""
    with tempfile.TemporaryDirectory() as folder:
        table = os.path.join(folder, "features.csv")
        # A 3D face's ring comes out closed; GDAL warns of the open one it reads, once a face.
        subprocess.run(["ogr2ogr", "-f", "CSV", "-lco", "GEOMETRY=AS_WKT", table, path],
                       check=True, env=dict(os.environ, CPL_LOG=os.devnull))
        csv.field_size_limit(1 << 30)
        with open(table, newline="") as rows:
            return [(row["Layer"], row["WKT"]) for row in csv.DictReader(rows)]


def ogr_lines(path):
    """(layer, elevation) of every feature GDAL reads, all its vertices at that elevation."""
    lines = []
    for layer, wkt in ogr_features(path):
        if not wkt.startswith("LINESTRING Z ("):
            raise ValueError("not a line at an elevation: " + wkt[:40])
        zs = {float(p.split()[2]) for p in wkt[len("LINESTRING Z ("):-1].split(",")}
        if len(zs) != 1:
            raise ValueError("a line with vertices at %d elevations" % len(zs))
        lines.append((layer, zs.pop()))
    return lines


def ogr_triangles(path):
    """(layer, three corners) of every feature GDAL reads, each a closed ring of three."""
    triangles = []
    for layer, wkt in ogr_features(path):
        if not (wkt.startswith("POLYGON Z ((") and wkt.endswith("))")):
            raise ValueError("not a polygon in 3D: " + wkt[:40])
        ring = [tuple(round(float(v), 3) for v in p.split())
                for p in wkt[len("POLYGON Z (("):-2].split(",")]
        if len(ring) != 4 or ring[3] != ring[0] or len(set(ring[:3])) != 3:
            raise ValueError("not a triangle: " + wkt[:80])
        triangles.append((layer, ring[:3]))
    return triangles


def contour_problems(path, doc, held):
    ours = [(p.dxf.layer, p.dxf.elevation.z) for p in doc.modelspace().query("POLYLINE")]
    theirs = ogr_lines(path)
    problems = []
    if len(ours) != held or len(theirs) != held:
        problems.append("%d polylines held, ezdxf %d, GDAL %d" % (held, len(ours), len(theirs)))
    if any(layer not in LAYERS for layer, _ in ours):
        problems.append("a polyline off the contour layers")
    if [(l, round(z, 3)) for l, z in ours] != [(l, round(z, 3)) for l, z in theirs]:
        problems.append("GDAL and ezdxf read other layers or elevations")
    return problems


def surface_problems(path, doc, held):
    entities = list(doc.modelspace())
    faces = [e for e in entities if e.dxftype() == "3DFACE"]
    ours = [(f.dxf.layer, [tuple(round(v, 3) for v in f.dxf.get(k)) for k in ("vtx0", "vtx1",
                                                                             "vtx2", "vtx3")])
            for f in faces]
    theirs = ogr_triangles(path)
    problems = []
    if len(entities) != len(faces):
        problems.append("%d entities that are not 3DFACEs" % (len(entities) - len(faces)))
    if len(ours) != held or len(theirs) != held:
        problems.append("%d faces held, ezdxf %d, GDAL %d" % (held, len(ours), len(theirs)))
    if any(layer != TIN_LAYER for layer, _ in ours + theirs):
        problems.append("a face off " + TIN_LAYER)
    if any(corners[3] != corners[2] for _, corners in ours):
        problems.append("a 3DFACE whose fourth corner is not its third")
    if [c[:3] for _, c in ours] != [c for _, c in theirs]:
        problems.append("GDAL and ezdxf read other corners")
    return problems


def main():
    drawings = sorted(glob.glob(os.path.join(sys.argv[1], "**", "*.dxf"), recursive=True))
    if not drawings:
        print("no drawing in", sys.argv[1])
        return 1
    failed = 0
    for path in drawings:
        with open(path, "rb") as f:
            text = f.read()
        lines, faces = text.count(b"\r\nPOLYLINE\r\n"), text.count(b"\r\n3DFACE\r\n")
        doc = ezdxf.readfile(path)
        auditor = doc.audit()
        problems = ["ezdxf audit: %d errors" % len(auditor.errors)] if auditor.has_errors else []
        if lines and faces:
            problems.append("%d polylines and %d faces in one drawing" % (lines, faces))
        else:
            try:
                if faces:
                    problems += surface_problems(path, doc, faces)
                elif lines:
                    problems += contour_problems(path, doc, lines)
            except ValueError as e:
                problems.append("GDAL reads " + str(e))
        if not (lines or faces):
            problems.append("no polyline and no face")
        print("%s: %s %s" % (os.path.basename(path),
                             "%d faces" % faces if faces else "%d polylines" % lines,
                             "; ".join(problems) if problems else "read by both"))
        failed += bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
