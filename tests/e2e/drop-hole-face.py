#!/usr/bin/python3
"""Writes a LandXML surface again without one face that lies beside a hole and holds no cell
but its corners, so that no cell shows it gone: the fault that check-surface.py must find
by the hole's edges alone.
    drop-hole-face.py <surface.xml> <points file> <block columns> <surface written>"""
import importlib.util
import os
import re
import sys

import numpy as np

spec = importlib.util.spec_from_file_location(
    "check_surface", os.path.join(os.path.dirname(os.path.abspath(__file__)), "check-surface.py"))
check = importlib.util.module_from_spec(spec)
spec.loader.exec_module(check)

surface, points, cols, written = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
z, where = check.read_points(points, cols)
count, rows = len(z), len(z) // cols
faces = check.cells_of(*check.read_surface(surface), z, where, cols)
_, _, d = check.orientation(faces, cols)
code, across = check.edges(faces, count)
beside = np.zeros(len(faces), bool)
hole_edge = (across < 0) & ~check.on_border(code // count, code % count, cols, rows)
beside[np.nonzero(hole_edge)[0] % len(faces)] = True
smallest = np.nonzero((d == 1) & beside)[0]  # doubled area 1: no cell but the corners
if len(smallest) == 0:
    sys.exit("%s: no face of area 1/2 beside a hole" % surface)
text = open(surface, "rb").read()
face = list(re.finditer(rb"<F>[^<]*</F>\r\n", text))[int(smallest[0])]
open(written, "wb").write(text[:face.start()] + text[face.end():])
