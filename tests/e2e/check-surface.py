# Reads a LandXML TIN surface back and holds it to the points of the same block:
#   check-surface.py <surface.xml> <points.csv> <block columns> <tolerance>
# points.csv is the Rectangular XYZ file of the block in the same system and unit, no cell
# skipped. Each vertex must be a line of it (same X, Y and elevation text); every face
# counter-clockwise; no cell inside two faces; every cell in a face within the tolerance
# of the surface, linear in cell index space.
import sys, xml.etree.ElementTree as ET, numpy as np
xmlp, csvp, cols, tol = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
ns = {'l': 'http://www.landxml.org/schema/LandXML-1.2'}
root = ET.parse(xmlp).getroot()
lines = open(csvp, newline='').read().split('\r\n')[:-1]
where = {}; z = []
for i, line in enumerate(lines):
    x, y, e = line.split(', '); where[(x, y)] = i; z.append(float(e))
z = np.array(z); rows = len(z) // cols
pts = {}
for p in root.iterfind('.//l:Definition[@surfType="TIN"]/l:Pnts/l:P', ns):
    n, e, el = p.text.split()
    i = where[(e, n)]; assert float(el) == z[i], (el, z[i]); pts[p.get('id')] = (i % cols, i // cols, float(el))
worst = 0.0; covered = np.zeros(len(z), int)
for f in root.iterfind('.//l:Faces/l:F', ns):
    a, b, c = (pts[k] for k in f.text.split())
    # x east = col, y north = -row
    ax, ay, bx, by, cx, cy = a[0], -a[1], b[0], -b[1], c[0], -c[1]
    d = (bx-ax)*(cy-ay) - (by-ay)*(cx-ax); assert d > 0, 'not counter-clockwise'
    x0, x1 = min(ax,bx,cx), max(ax,bx,cx); y0, y1 = min(ay,by,cy), max(ay,by,cy)
    X, Y = np.meshgrid(np.arange(x0, x1+1), np.arange(y0, y1+1))
    wa = (bx-X)*(cy-Y) - (by-Y)*(cx-X); wb = (cx-X)*(ay-Y) - (cy-Y)*(ax-X); wc = d - wa - wb
    inside = (wa >= 0) & (wb >= 0) & (wc >= 0)
    idx = (-Y[inside]) * cols + X[inside]
    s = (wa[inside]*a[2] + wb[inside]*b[2] + wc[inside]*c[2]) / d
    worst = max(worst, np.abs(s - z[idx]).max())
    strict = (wa > 0) & (wb > 0) & (wc > 0); covered[(-Y[strict]) * cols + X[strict]] += 1
print(len(pts), 'points; largest error', worst, '; most faces over a cell inside', covered.max())
assert worst <= tol and covered.max() <= 1
