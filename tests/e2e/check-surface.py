#!/usr/bin/python3
"""Reads a TIN surface back, as LandXML 1.2 or as the 3D faces of a DXF drawing, and holds
it to the points of the same block:
    check-surface.py <surface.xml|surface.dxf> <points file> <block columns> <tolerance>
                     [<other surface of the same block>]
The points file is the Rectangular XYZ file of the block ("X, Y, Z" lines, CR LF) in the
same system and unit, no cell skipped: a cell without data is written there as -9999 (in
feet -32805.121 or so), so an elevation at or below -9999 is a cell without data.

Checked, each with its own message and exit status 1:
- the file: LandXML's structure (namespace, version, date, time, Units, CoordinateSystem,
  Application, Surfaces/Surface/Definition surfType="TIN" with Pnts and Faces in the
  schema's order), or a drawing of 3DFACEs only, on C-TOPO-TIN, the fourth corner the
  third, the header's extents the corners' box, read by ezdxf;
- every vertex a cell of the block: its X and Y texts those of a line of the points file,
  its elevation text that line's; none at a cell without data; every point of a face;
- every face counter-clockwise (X east, Y north) and not degenerate;
- the tiling: each directed edge used once (no overlap, one orientation), no cell strictly
  inside two faces, no cell without data in a closed face, every data cell in a closed
  face unless no triangle of its neighbours could hold it without a cell without data; on
  a block without such cells, the edges used once are exactly the block's border and the
  faces' area is the block's; on a block with them, every part outside the faces holds
  one, and beyond every edge of one face off the border the Delaunay face there would
  cover one (or its third corner is a vertex the file cannot show), so that no face is
  missing beside a hole;
- Delaunay in cell index space: across every edge of two faces, the far vertex is not
  strictly inside the other face's circumcircle (exact integers; cocircular allowed);
- the largest vertical error of a data cell from its face, linear in cell index space, at
  most the tolerance, in exact arithmetic on the three-decimal texts;
- with a second surface: both hold the same faces.
On success one line: the points, the faces and the largest error."""
import re
import sys
import xml.etree.ElementTree as ET
from fractions import Fraction

import numpy as np

NS = "http://www.landxml.org/schema/LandXML-1.2"
LAYER = "C-TOPO-TIN"
NO_DATA = -9999000  # thousandths
FIXED3 = re.compile(rb"-?[0-9]+\.[0-9]{3}\Z")
PAIR = re.compile(rb"([^\r\n]*)\r\n([^\r\n]*)\r\n")


class Fault(Exception):
    pass


def thousandths(text):
    """The integer number of thousandths of a three-decimal text."""
    if not FIXED3.match(text):
        raise Fault("not a number with three decimals: %r" % text)
    return int(text.replace(b".", b""))


def read_points(path, cols):
    """(cells, where): the elevation of every cell in thousandths, row after row, and the
    cell of each "X, Y" text."""
    data = open(path, "rb").read()
    if not data.endswith(b"\r\n"):
        raise Fault("%s: the last line does not end with CR LF" % path)
    lines = data[:-2].split(b"\r\n")
    if any(b"\n" in line or b"\r" in line for line in lines):
        raise Fault("%s: a line not ended with CR LF" % path)
    if len(lines) % cols:
        raise Fault("%s: %d lines are not whole rows of %d cells" % (path, len(lines), cols))
    where = {}
    z = np.empty(len(lines), np.int64)
    for i, line in enumerate(lines):
        cut = line.rfind(b", ")
        if cut < 0 or line.count(b", ") != 2:
            raise Fault("%s: line %d is not X, Y, Z: %r" % (path, i + 1, line))
        where[line[:cut]] = i
        z[i] = thousandths(line[cut + 2:])
    if len(where) != len(z):
        raise Fault("%s: two cells at one position" % path)
    return z, where


def attr(element, name):
    value = element.get(name)
    if value is None or value == "":
        raise Fault("<%s> without %s" % (element.tag.split("}")[-1], name))
    return value


def children(element):
    return [c.tag[len(NS) + 2:] if c.tag.startswith("{" + NS + "}") else c.tag for c in element]


def in_order(element, order):
    """The children of element are of the names in order, in that order."""
    names = children(element)
    place = [order.index(n) if n in order else -1 for n in names]
    if -1 in place or place != sorted(place):
        raise Fault("<%s> holds %s: the schema's order is %s" %
                    (element.tag.split("}")[-1], names, order))
    return names


METRIC = {"areaUnit": {"hectare", "squareMeter", "squareMillimeter", "squareCentimeter"},
          "linearUnit": {"millimeter", "centimeter", "meter", "kilometer"},
          "volumeUnit": {"cubicMeter", "liter", "hectareMeter"},
          "temperatureUnit": {"celsius", "kelvin"},
          "pressureUnit": {"HPA", "milliBars", "mmHG", "millimeterHG"}}
IMPERIAL = {"areaUnit": {"acre", "squareFoot", "squareInch", "squareMiles"},
            "linearUnit": {"foot", "USSurveyFoot", "inch", "mile"},
            "volumeUnit": {"US_gallon", "IMP_gallon", "cubicInch", "cubicFeet", "cubicYard",
                           "acreFeet"},
            "temperatureUnit": {"fahrenheit", "kelvin"},
            "pressureUnit": {"inchHG", "inHG"}}
ROOT_CHILDREN = {"Units", "CoordinateSystem", "Project", "Application", "Alignments",
                 "CgPoints", "Amendment", "GradeModel", "Monuments", "Parcels",
                 "PlanFeatures", "PipeNetworks", "Roadways", "Surfaces", "Survey",
                 "FeatureDictionary"}


def read_landxml(path):
    """[(northing, easting, elevation) texts] of the points, and the faces as indices into
    it, after the structure's checks."""
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as e:
        raise Fault("not XML: %s" % e)
    if root.tag != "{%s}LandXML" % NS:
        raise Fault("the root is %s, not LandXML in %s" % (root.tag, NS))
    if attr(root, "version") != "1.2":
        raise Fault("LandXML version %s" % root.get("version"))
    if not re.fullmatch(r"\d{4}-\d{2}-\d{2}", attr(root, "date")):
        raise Fault("date %r is not YYYY-MM-DD" % root.get("date"))
    if not re.fullmatch(r"\d{2}:\d{2}:\d{2}", attr(root, "time")):
        raise Fault("time %r is not HH:MM:SS" % root.get("time"))
    names = children(root)
    if set(names) - ROOT_CHILDREN:
        raise Fault("LandXML holds %s" % sorted(set(names) - ROOT_CHILDREN))
    for name in ("Units", "CoordinateSystem", "Application", "Surfaces"):
        if name not in names:
            raise Fault("no <%s>" % name)
    for name in ("Units", "CoordinateSystem"):
        if names.count(name) != 1:
            raise Fault("%d <%s>" % (names.count(name), name))
    q = lambda name: "{%s}%s" % (NS, name)
    units = root.find(q("Units"))
    if children(units) not in (["Metric"], ["Imperial"]):
        raise Fault("<Units> holds %s, not Metric or Imperial" % children(units))
    system = units[0]
    for key, allowed in (METRIC if children(units) == ["Metric"] else IMPERIAL).items():
        if attr(system, key) not in allowed:
            raise Fault("%s %s=%r" % (children(units)[0], key, system.get(key)))
    if system.get("elevationUnit", "meter") not in ("meter", "kilometer", "feet", "miles"):
        raise Fault("elevationUnit=%r" % system.get("elevationUnit"))
    system = root.find(q("CoordinateSystem"))
    if system.get("epsgCode") is None and not system.get("desc"):
        raise Fault("<CoordinateSystem> with neither an EPSG code nor a description")
    if system.get("epsgCode") is not None and not system.get("epsgCode").isdigit():
        raise Fault("epsgCode=%r" % system.get("epsgCode"))
    for application in root.iterfind(q("Application")):
        attr(application, "name")
    surfaces = root.findall(q("Surfaces"))
    every = [s for group in surfaces for s in group]
    if len(every) != 1 or children(surfaces[0]) != ["Surface"]:
        raise Fault("%d surfaces, not one" % len(every))
    surface = every[0]
    attr(surface, "name")
    if "Definition" not in in_order(surface, ["SourceData", "Definition", "Watersheds",
                                              "Feature"]):
        raise Fault("<Surface> without <Definition>")
    definition = surface.find(q("Definition"))
    if attr(definition, "surfType") != "TIN":
        raise Fault("surfType=%r" % definition.get("surfType"))
    if in_order(definition, ["Pnts", "Faces", "Feature"])[:2] != ["Pnts", "Faces"]:
        raise Fault("<Definition> holds %s, not Pnts then Faces" % children(definition))
    pnts, faces = definition.find(q("Pnts")), definition.find(q("Faces"))
    if set(children(pnts)) != {"P"} or len(pnts) < 3:
        raise Fault("<Pnts> holds %d elements, not three P or more" % len(pnts))
    number = {}
    points = []
    for p in pnts:
        key = attr(p, "id")
        if key in number:
            raise Fault("two points of id %s" % key)
        number[key] = len(points)
        text = (p.text or "").encode().split(b" ")
        if len(text) != 3:
            raise Fault("<P id=\"%s\">%s</P> is not northing easting elevation" % (key, p.text))
        points.append(tuple(text))
    if in_order(faces, ["F", "Feature"]).count("F") == 0:
        raise Fault("<Faces> without a face")
    corners = []
    for f in faces.iterfind(q("F")):
        ids = (f.text or "").split(" ")
        if len(ids) != 3 or any(k not in number for k in ids):
            raise Fault("<F>%s</F> is not three ids of points" % f.text)
        corners.append([number[k] for k in ids])
    return points, np.array(corners, np.int64).reshape(-1, 3)


def read_dxf(path):
    """The same from a drawing of 3D faces: the distinct corners (Y, X, Z texts, as the
    LandXML points) and the faces."""
    import ezdxf
    data = open(path, "rb").read()
    start = data.find(b"\r\n  2\r\nENTITIES\r\n")
    if start < 0:
        raise Fault("no ENTITIES section")
    number = {}
    points = []
    corners = []
    groups = None

    def face(groups):
        if groups.get(b"8") != LAYER.encode():
            raise Fault("a 3DFACE on layer %r" % groups.get(b"8"))
        try:
            xyz = [tuple(groups[b"%d%d" % (axis, k)] for axis in (2, 1, 3)) for k in range(4)]
        except KeyError:
            raise Fault("a 3DFACE without its four corners")
        if xyz[3] != xyz[2]:
            raise Fault("a 3DFACE whose fourth corner is not its third")
        cells = []
        for corner in xyz[:3]:
            at = corner[:2]
            if at not in number:
                number[at] = len(points)
                points.append(corner)
            elif points[number[at]] != corner:
                raise Fault("one corner at two elevations: %s" % (corner,))
            cells.append(number[at])
        corners.append(cells)

    for pair in PAIR.finditer(data, start + len(b"\r\n  2\r\nENTITIES\r\n")):
        code, value = pair.group(1).strip(), pair.group(2)
        if code == b"0":
            if groups is not None:
                face(groups)
                groups = None
            if value == b"ENDSEC":
                break
            if value != b"3DFACE":
                raise Fault("an entity %s, not a 3DFACE" % value.decode())
            groups = {}
        elif groups is None:
            raise Fault("group %s outside an entity" % code.decode())
        else:
            groups[code] = value
    else:
        raise Fault("the ENTITIES section does not end")
    try:
        doc = ezdxf.readfile(path)
    except (IOError, ezdxf.DXFError) as e:
        raise Fault("ezdxf does not read it: %s" % e)
    entities = doc.modelspace()
    if len(entities) != len(corners) or len(entities.query("3DFACE[layer=='%s']" % LAYER)) \
            != len(corners):
        raise Fault("ezdxf reads %d entities, %d 3DFACEs on %s; the file holds %d" %
                    (len(entities), len(entities.query("3DFACE[layer=='%s']" % LAYER)),
                     LAYER, len(corners)))
    if not corners:
        raise Fault("no face")
    # The header's extents are the box of the corners.
    box = []
    for name in (b"$EXTMIN", b"$EXTMAX"):
        at = re.search(rb"\r\n  9\r\n" + re.escape(name) +
                       rb"\r\n 10\r\n([^\r]*)\r\n 20\r\n([^\r]*)\r\n", data[:start])
        if at is None:
            raise Fault("no %s in the header" % name.decode())
        box += [float(at.group(1)), float(at.group(2))]
    xs = [float(p[1]) for p in points]
    ys = [float(p[0]) for p in points]
    if box != [min(xs), min(ys), max(xs), max(ys)]:
        raise Fault("the extents %s are not the corners' box %s" %
                    (box, [min(xs), min(ys), max(xs), max(ys)]))
    return points, np.array(corners, np.int64).reshape(-1, 3)


def read_surface(path):
    return read_dxf(path) if path.lower().endswith(".dxf") else read_landxml(path)


def cells_of(points, faces, z, where, cols):
    """The cell of every vertex of the faces, after the checks of its texts."""
    cell = np.empty(len(points), np.int64)
    for k, (northing, easting, elevation) in enumerate(points):
        i = where.get(easting + b", " + northing)
        if i is None:
            raise Fault("vertex %d at X %s, Y %s is no cell of the block" %
                        (k + 1, easting.decode(), northing.decode()))
        if thousandths(elevation) != z[i]:
            raise Fault("vertex %d at row %d, column %d: elevation %s, the cell's %.3f" %
                        (k + 1, i // cols, i % cols, elevation.decode(), z[i] / 1000))
        if z[i] <= NO_DATA:
            raise Fault("vertex %d at row %d, column %d, a cell without data" %
                        (k + 1, i // cols, i % cols))
        cell[k] = i
    if len(np.unique(cell)) != len(cell):
        raise Fault("two vertices at one cell")
    used = np.zeros(len(points), bool)
    used[faces.ravel()] = True
    if not used.all():
        raise Fault("%d points of no face" % (~used).sum())
    return cell[faces]


def orientation(faces, cols):
    """X (column) and Y (minus the row) of the corners, and twice each face's area."""
    x, y = faces % cols, -(faces // cols)
    d = (x[:, 1] - x[:, 0]) * (y[:, 2] - y[:, 0]) - (y[:, 1] - y[:, 0]) * (x[:, 2] - x[:, 0])
    for bad, what in ((d == 0, "degenerate"), (d < 0, "clockwise")):
        if bad.any():
            k = int(np.argmax(bad))
            raise Fault("face %d %s: rows, columns %s" %
                        (k + 1, what, [(int(c // cols), int(c % cols)) for c in faces[k]]))
    return x, y, d


def edges(faces, count):
    """The directed edges (a to b as a * count + b), each face's three, and for each the
    face across it or -1."""
    code = np.concatenate([faces[:, k] * count + faces[:, (k + 1) % 3] for k in range(3)])
    order = np.argsort(code, kind="stable")
    ordered = code[order]
    twice = ordered[1:] == ordered[:-1]
    if twice.any():
        e = int(ordered[1:][twice][0])
        raise Fault("the edge from cell %d to cell %d in two faces, the same way round "
                    "(faces overlap or one is flipped)" % (e // count, e % count))
    back = (code % count) * count + code // count
    at = np.minimum(np.searchsorted(ordered, back), len(ordered) - 1)
    across = np.where(ordered[at] == back, order[at] % len(faces), -1)
    return code, across


def check_delaunay(faces, code, across, cols, count):
    """Across every edge of two faces, the far vertex outside the circumcircle (or on it)."""
    n = len(faces)
    flipped = 0
    shared = np.nonzero((across >= 0) & (code // count < code % count))[0]  # each edge once
    listed = faces.tolist()
    for e, g, ab in zip(shared.tolist(), across[shared].tolist(), code[shared].tolist()):
        f, k = e % n, e // n
        a, b = divmod(ab, count)
        c = listed[f][(k + 2) % 3]
        gf = listed[g]
        d = gf[(gf.index(b) + 2) % 3]
        ax, ay, bx, by = a % cols, -(a // cols), b % cols, -(b // cols)
        cx, cy, dx, dy = c % cols, -(c // cols), d % cols, -(d // cols)
        ax, ay, bx, by, cx, cy = ax - dx, ay - dy, bx - dx, by - dy, cx - dx, cy - dy
        det = ((ax * ax + ay * ay) * (bx * cy - cx * by) - (bx * bx + by * by) * (ax * cy - cx * ay)
               + (cx * cx + cy * cy) * (ax * by - bx * ay))
        if det > 0:
            flipped += 1
            if flipped == 1:
                first = (a, b, c, d)
    if flipped:
        a, b, c, d = first
        raise Fault("not Delaunay at %d edges: cell (%d, %d) inside the circle of the face "
                    "at (%d, %d), (%d, %d), (%d, %d)" %
                    (flipped, d // cols, d % cols, a // cols, a % cols, b // cols, b % cols,
                     c // cols, c % cols))


def on_border(a, b, cols, rows):
    """Whether the directed edge a -> b runs along the block's border, as a face's does."""
    ar, ac, br, bc = a // cols, a % cols, b // cols, b % cols
    return (((ar == rows - 1) & (br == rows - 1) & (bc > ac)) |  # south, east-going
            ((ac == cols - 1) & (bc == cols - 1) & (br < ar)) |  # east, north-going
            ((ar == 0) & (br == 0) & (bc < ac)) |  # north, west-going
            ((ac == 0) & (bc == 0) & (br > ar)))  # west, south-going


def check_border(faces, code, across, d, cols, rows):
    """On a block with every cell of data: the edges of one face are the border, the area
    the block's."""
    count = cols * rows
    outer = code[across < 0]
    a, b = outer // count, outer % count
    ar, ac, br, bc = a // cols, a % cols, b // cols, b % cols
    on = on_border(a, b, cols, rows)
    if not on.all():
        k = int(np.argmax(~on))
        raise Fault("the edge from (%d, %d) to (%d, %d) lies in one face but off the "
                    "block's border" % (ar[k], ac[k], br[k], bc[k]))
    length = (np.abs(br - ar) + np.abs(bc - ac)).sum()
    if length != 2 * (cols - 1) + 2 * (rows - 1) or d.sum() != 2 * (cols - 1) * (rows - 1):
        raise Fault("the faces cover %.1f of the block's %d squares, their border %d of %d" %
                    (d.sum() / 2, (cols - 1) * (rows - 1), length,
                     2 * (cols - 1) + 2 * (rows - 1)))


def could_be_covered(cell, data, cols, rows):
    """Whether a triangle of the cell and two of its eight neighbours, every cell in it of
    data, holds the cell."""
    r, c = divmod(cell, cols)
    around = [(dr, dc) for dr in (-1, 0, 1) for dc in (-1, 0, 1) if (dr, dc) != (0, 0)]
    ok = lambda dr, dc: 0 <= r + dr < rows and 0 <= c + dc < cols and data[(r + dr) * cols + c + dc]
    for i, p in enumerate(around):
        for q in around[i + 1:]:
            cross = p[0] * q[1] - p[1] * q[0]
            if cross == 0 or not (ok(*p) and ok(*q)):
                continue
            # the other cells of the 3 x 3 square in the closed triangle (0, p, q)
            inside = True
            for s in around:
                u = p[0] * s[1] - p[1] * s[0]
                v = s[0] * q[1] - s[1] * q[0]
                w = cross - u - v
                if s not in (p, q) and (u * cross >= 0 and v * cross >= 0 and w * cross >= 0) \
                        and not ok(*s):
                    inside = False
            if inside:
                return True
    return False


def lattice(x, y, d, scale=1):
    """The lattice points (of spacing 1 / scale) of each face's bounding box, some faces at
    a time: (face, point X, point Y, barycentric weights wa, wb, wc) in units of 1 / scale,
    the weights summing to the face's doubled area (scaled)."""
    x, y, d = x * scale, y * scale, d * scale * scale
    x0, x1 = x.min(1), x.max(1)
    y0, y1 = y.min(1), y.max(1)
    size = (x1 - x0 + 1) * (y1 - y0 + 1)
    start = 0
    while start < len(x):
        stop = start + max(1, int(np.searchsorted(np.cumsum(size[start:start + (1 << 20)]),
                                                  1 << 20)))
        w = (x1 - x0 + 1)[start:stop]
        n = size[start:stop]
        f = np.repeat(np.arange(start, stop), n)
        off = np.arange(n.sum()) - np.repeat(np.cumsum(n) - n, n)
        px = x0[f] + off % np.repeat(w, n)
        py = y0[f] + off // np.repeat(w, n)
        ax, ay, bx, by, cx, cy = (v[f] for v in (x[:, 0], y[:, 0], x[:, 1], y[:, 1], x[:, 2],
                                                 y[:, 2]))
        wa = (bx - px) * (cy - py) - (by - py) * (cx - px)
        wb = (cx - px) * (ay - py) - (cy - py) * (ax - px)
        yield f, px, py, wa, wb, d[f] - wa - wb
        start = stop


def measure(faces, x, y, d, z, cols, rows, tolerance):
    """The cells in every face: none without data, none strictly inside two faces, every
    data cell in one unless it could not be, each within the tolerance (thousandths, a
    Fraction) of its face. Gives the largest error in thousandths."""
    count = cols * rows
    data = z > NO_DATA
    covered = np.zeros(count, bool)
    inner = np.zeros(count, np.int64)
    worst_num, worst_den = 0, 1
    za = z[faces]
    for f, px, py, wa, wb, wc in lattice(x, y, d):
        lo = np.minimum(np.minimum(wa, wb), wc)
        hit = lo >= 0
        cell = -py[hit] * cols + px[hit]
        if not data[cell].all():
            k = int(np.argmax(~data[cell]))
            raise Fault("face %d covers row %d, column %d, a cell without data" %
                        (f[hit][k] + 1, cell[k] // cols, cell[k] % cols))
        covered[cell] = True
        strict = lo > 0
        inner += np.bincount(-py[strict] * cols + px[strict], minlength=count)
        fh = f[hit]
        num = np.abs(wa[hit] * za[fh, 0] + wb[hit] * za[fh, 1] + wc[hit] * za[fh, 2]
                     - d[fh] * z[cell])
        over = num * tolerance.denominator > d[fh] * tolerance.numerator
        if over.any():
            k = int(np.argmax(num / d[fh]))
            raise Fault("row %d, column %d is %.6f from its face, beyond the tolerance %s" %
                        (cell[k] // cols, cell[k] % cols, num[k] / d[fh][k] / 1000,
                         float(tolerance / 1000)))
        if len(num):
            k = int(np.argmax(num / d[fh]))
            if int(num[k]) * worst_den > worst_num * int(d[fh][k]):
                worst_num, worst_den = int(num[k]), int(d[fh][k])
    if inner.max() > 1:
        k = int(np.argmax(inner))
        raise Fault("row %d, column %d strictly inside %d faces" % (k // cols, k % cols, inner[k]))
    for k in np.nonzero(data & ~covered)[0].tolist():
        if could_be_covered(k, data, cols, rows):
            raise Fault("row %d, column %d, a cell of data, lies in no face" %
                        (k // cols, k % cols))
    return Fraction(worst_num, worst_den), data & ~covered


def check_gaps(x, y, d, z, cols, rows):
    """On a block with cells without data: every part of the block outside the faces holds
    such a cell. Faces are looked at on the lattice of thirds of a cell, where every face
    holds a point strictly inside (the centroid of any of its smallest triangles)."""
    from scipy import ndimage
    width, height = 3 * (cols - 1) + 1, 3 * (rows - 1) + 1
    covered = np.zeros(width * height, bool)
    for f, px, py, wa, wb, wc in lattice(x, y, d, 3):
        hit = np.minimum(np.minimum(wa, wb), wc) >= 0
        covered[-py[hit] * width + px[hit]] = True
    labels, parts = ndimage.label(~covered.reshape(height, width), np.ones((3, 3), int))
    empty = (z <= NO_DATA).reshape(rows, cols)
    held = np.zeros(parts + 1, bool)
    held[labels[::3, ::3][empty]] = True
    held[0] = True
    if not held.all():
        k = int(np.argmax(~held))
        r, c = np.argwhere(labels == k)[0]
        raise Fault("a gap in the surface at row %.2f, column %.2f: no face covers it and it "
                    "holds no cell without data" % (r / 3, c / 3))


def covers_no_data(a, b, c, empty, cols):
    """Whether the closed triangle of cells a, b, c (counter-clockwise) holds a cell without
    data."""
    x, y, d = orientation(np.array([[a, b, c]]), cols)
    for _, px, py, wa, wb, wc in lattice(x, y, d):
        hit = np.minimum(np.minimum(wa, wb), wc) >= 0
        if empty.reshape(-1)[-py[hit] * cols + px[hit]].any():
            return True
    return False


def check_hole_edges(faces, code, across, z, lone, cols, rows):
    """On a block with cells without data: beyond every edge of one face off the block's
    border lies a face that was left out for a cell without data. The triangulation with
    those faces is Delaunay, so such a face is made with the written vertex whose circle
    through the edge holds no other beyond it (any of them, when several share that circle),
    unless its third corner is a vertex the file cannot show: a block corner without data or
    a data cell in no face, which then lies in that circle."""
    from scipy.spatial import cKDTree
    count = cols * rows
    empty = (z <= NO_DATA).reshape(rows, cols)
    unseen = np.nonzero(lone)[0].tolist()
    unseen += [k for k in (0, cols - 1, count - cols, count - 1) if z[k] <= NO_DATA]
    vertices = np.unique(faces)
    vx, vy = vertices % cols, -(vertices // cols)
    tree = cKDTree(np.stack([vx, vy], 1))
    outer = code[across < 0]
    a_all, b_all = outer // count, outer % count
    inner = ~on_border(a_all, b_all, cols, rows)
    xy = lambda k: (k % cols, -(k // cols))
    for a, b in zip(a_all[inner].tolist(), b_all[inner].tolist()):
        (ax, ay), (bx, by) = xy(a), xy(b)
        dx, dy = bx - ax, by - ay
        mx2, my2 = ax + bx, ay + by  # twice the edge's midpoint
        radius = max(abs(dx), abs(dy)) + 1
        ties = []
        while not ties:
            whole = radius > 2 * (cols + rows)  # the search holds every vertex
            keys = []
            for i in tree.query_ball_point((mx2 / 2, my2 / 2), radius):
                px, py = int(vx[i]), int(vy[i])
                den = dy * (px - ax) - dx * (py - ay)  # beyond the edge: on its right
                if den > 0:
                    num = (mx2 - 2 * px) ** 2 + (my2 - 2 * py) ** 2 - dx * dx - dy * dy
                    keys.append((Fraction(num, 8 * den), int(vertices[i])))
            if keys:
                # The circle through the edge and a vertex has its centre t (dy, -dx) from
                # the edge's midpoint; the least t, the emptiest, if its circle lies within
                # the search.
                t = min(k for k, _ in keys)
                cx, cy = mx2 / 2 + float(t) * dy, my2 / 2 - float(t) * dx
                r = ((cx - ax) ** 2 + (cy - ay) ** 2) ** 0.5
                if whole or ((cx - mx2 / 2) ** 2 + (cy - my2 / 2) ** 2) ** 0.5 + r + 1 <= radius:
                    ties = [v for k, v in keys if k == t]
            if whole:
                break
            radius *= 2
        if not ties:
            continue  # no written vertex beyond: the face there has a corner unseen
        if any(covers_no_data(b, a, c, empty, cols) for c in ties):
            continue
        c = ties[0]
        cx0, cy0 = xy(c)

        def in_circle(k):
            """Beyond the edge, and inside the circle of a, b, c or on it (a, b, c turn
            clockwise, so inside is a negative determinant)."""
            px, py = xy(k)
            if dy * (px - ax) - dx * (py - ay) <= 0:
                return False
            ux, uy, vx_, vy_ = ax - px, ay - py, bx - px, by - py
            wx, wy = cx0 - px, cy0 - py
            det = ((ux * ux + uy * uy) * (vx_ * wy - wx * vy_) -
                   (vx_ * vx_ + vy_ * vy_) * (ux * wy - wx * uy) +
                   (wx * wx + wy * wy) * (ux * vy_ - vx_ * uy))
            return det <= 0
        if any(in_circle(k) for k in unseen):
            continue
        raise Fault("beyond the edge from (%d, %d) to (%d, %d) no face over a cell without "
                    "data can lie: the face with (%d, %d) is missing" %
                    (a // cols, a % cols, b // cols, b % cols, c // cols, c % cols))


def canonical(faces):
    """The faces as a sorted array, each turned to begin at its least cell."""
    turn = np.argmin(faces, 1)
    rolled = np.stack([faces[np.arange(len(faces)), (turn + k) % 3] for k in range(3)], 1)
    return rolled[np.lexsort(rolled.T[::-1])]


def check(surface_path, points_path, cols, tolerance_text, other_path=None):
    tolerance = Fraction(tolerance_text) * 1000
    if tolerance <= 0 or tolerance.denominator > 1000:
        raise Fault("tolerance %s: give a number above 0 with at most six decimals" %
                    tolerance_text)
    z, where = read_points(points_path, cols)
    rows = len(z) // cols
    points, corners = read_surface(surface_path)
    faces = cells_of(points, corners, z, where, cols)
    x, y, d = orientation(faces, cols)
    code, across = edges(faces, len(z))
    check_delaunay(faces, code, across, cols, len(z))
    worst, lone = measure(faces, x, y, d, z, cols, rows, tolerance)
    if (z > NO_DATA).all():
        check_border(faces, code, across, d, cols, rows)
    else:
        check_gaps(x, y, d, z, cols, rows)
        check_hole_edges(faces, code, across, z, lone, cols, rows)
    if other_path is not None:
        other_points, other_corners = read_surface(other_path)
        other = cells_of(other_points, other_corners, z, where, cols)
        if not np.array_equal(canonical(faces), canonical(other)):
            raise Fault("%s holds other faces than %s" % (other_path, surface_path))
    print("%s: %d points, %d faces, largest error %.4f (tolerance %s)%s%s" %
          (surface_path, len(points), len(faces), float(worst) / 1000, tolerance_text,
           "; %d data cells that no face can hold" % lone.sum() if lone.any() else "",
           "; the same faces as %s" % other_path if other_path else ""))


def main():
    if len(sys.argv) not in (5, 6):
        print(__doc__)
        return 2
    try:
        check(sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4],
              sys.argv[5] if len(sys.argv) == 6 else None)
    except Fault as fault:
        print("%s: %s" % (sys.argv[1], fault))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
