#include "core/export/tin.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace ned {

bool tinBlockFits(std::int64_t cols, std::int64_t rows) {
  return cols >= 1 && rows >= 1 && cols <= kMaxTinCells && rows <= kMaxTinCells &&
         cols * rows <= kMaxTinCells;
}

namespace {

// A cell is measured when it holds a number other than the no-data value.
bool holdsData(float value) {
  return value == value && value != kTinNoData;
}

// Twice the signed area of (a, b, c) in cell index space (x column, y row): negative for
// every triangle of the triangulation, which is counter-clockwise with Y north.
std::int64_t orient(std::int64_t ax, std::int64_t ay, std::int64_t bx, std::int64_t by,
                    std::int64_t cx, std::int64_t cy) {
  return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

std::int64_t floorDiv(std::int64_t n, std::int64_t d) {
  std::int64_t q = n / d;
  if ((n % d != 0) && ((n < 0) != (d < 0))) --q;
  return q;
}

std::int64_t ceilDiv(std::int64_t n, std::int64_t d) {
  return -floorDiv(-n, d);
}

// The error stored per triangle: a float no smaller than the error, so that a triangle whose
// stored error is within the tolerance holds no cell beyond it.
float roundUp(double error) {
  float stored = static_cast<float>(error);
  if (static_cast<double>(stored) < error) {
    stored = std::nextafter(stored, std::numeric_limits<float>::infinity());
  }
  return stored;
}

constexpr float kHoleError = std::numeric_limits<float>::infinity();

std::int32_t nextEdge(std::int32_t e) {
  return e % 3 == 2 ? e - 2 : e + 1;
}
std::int32_t prevEdge(std::int32_t e) {
  return e % 3 == 0 ? e + 2 : e - 1;
}

class Builder {
 public:
  Builder(const float* cells, std::int32_t cols, std::int32_t rows)
      : cells_(cells), cols_(cols), rows_(rows) {}

  void run(double tolerance);
  TinResult collect(TinSurface* surface) const;

 private:
  std::int32_t addVertex(std::int32_t x, std::int32_t y);
  std::int32_t addTriangle(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t ab,
                           std::int32_t bc, std::int32_t ca);
  void setTriangle(std::int32_t t, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t ab,
                   std::int32_t bc, std::int32_t ca);
  void link(std::int32_t e, std::int32_t f) {
    halfedges_[e] = f;
    if (f >= 0) halfedges_[f] = e;
  }
  void insert(std::int32_t t, std::int32_t cell);
  void legalize(std::int32_t edge);
  void touch(std::int32_t t);
  void evaluate(std::int32_t t);

  // Calls visit(x, y, index, w0, w1, w2) for each cell the closed triangle t covers.
  template <typename Visit>
  void scan(std::int32_t t, Visit visit) const;

  void heapPush(std::int32_t t);
  void heapRemove(std::int32_t t);
  void heapSwap(std::int32_t i, std::int32_t j);
  bool heapLess(std::int32_t i, std::int32_t j) const {
    return errors_[heap_[i]] < errors_[heap_[j]];
  }
  void siftUp(std::int32_t i);
  void siftDown(std::int32_t i);

  const float* cells_;
  std::int32_t cols_;
  std::int32_t rows_;

  std::vector<std::int32_t> coords_;      // x, y per vertex.
  std::vector<std::int32_t> triangles_;   // Three vertices per triangle.
  std::vector<std::int32_t> halfedges_;   // The opposite half-edge of each, or -1.
  std::vector<std::int32_t> worst_;       // The cell to insert next, or -1.
  std::vector<float> errors_;             // Its error (kHoleError for a hole face).
  std::vector<std::int32_t> queuePlace_;  // Place in heap_, or -1.
  std::vector<std::int32_t> heap_;
  std::vector<std::int32_t> pending_;
  std::vector<std::int32_t> flips_;
};

std::int32_t Builder::addVertex(std::int32_t x, std::int32_t y) {
  coords_.push_back(x);
  coords_.push_back(y);
  return static_cast<std::int32_t>(coords_.size() / 2 - 1);
}

std::int32_t Builder::addTriangle(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t ab,
                                  std::int32_t bc, std::int32_t ca) {
  const auto t = static_cast<std::int32_t>(triangles_.size() / 3);
  triangles_.insert(triangles_.end(), {0, 0, 0});
  halfedges_.insert(halfedges_.end(), {-1, -1, -1});
  worst_.push_back(-1);
  errors_.push_back(0.0f);
  queuePlace_.push_back(-1);
  setTriangle(t, a, b, c, ab, bc, ca);
  return t;
}

void Builder::setTriangle(std::int32_t t, std::int32_t a, std::int32_t b, std::int32_t c,
                          std::int32_t ab, std::int32_t bc, std::int32_t ca) {
  const std::int32_t e = 3 * t;
  triangles_[e] = a;
  triangles_[e + 1] = b;
  triangles_[e + 2] = c;
  link(e, ab);
  link(e + 1, bc);
  link(e + 2, ca);
  touch(t);
}

void Builder::touch(std::int32_t t) {
  if (queuePlace_[t] >= 0) heapRemove(t);
  pending_.push_back(t);
}

void Builder::run(double tolerance) {
  const std::int32_t x1 = cols_ - 1;
  const std::int32_t y1 = rows_ - 1;
  const std::int32_t p0 = addVertex(0, 0);
  const std::int32_t p1 = addVertex(x1, 0);
  const std::int32_t p2 = addVertex(0, y1);
  const std::int32_t p3 = addVertex(x1, y1);
  const std::int32_t t0 = addTriangle(p3, p0, p2, -1, -1, -1);
  addTriangle(p0, p3, p1, 3 * t0, -1, -1);
  for (;;) {
    for (const std::int32_t t : pending_) {
      if (queuePlace_[t] < 0) {
        evaluate(t);
        if (worst_[t] >= 0) heapPush(t);
      }
    }
    pending_.clear();
    if (heap_.empty()) break;
    const std::int32_t top = heap_[0];
    if (!(static_cast<double>(errors_[top]) > tolerance)) break;
    heapRemove(top);
    insert(top, worst_[top]);
  }
}

template <typename Visit>
void Builder::scan(std::int32_t t, Visit visit) const {
  const std::int32_t* v = &triangles_[3 * t];
  const std::int64_t ax = coords_[2 * v[0]], ay = coords_[2 * v[0] + 1];
  const std::int64_t bx = coords_[2 * v[1]], by = coords_[2 * v[1] + 1];
  const std::int64_t cx = coords_[2 * v[2]], cy = coords_[2 * v[2] + 1];
  std::int64_t minY = std::min(ay, std::min(by, cy));
  std::int64_t maxY = std::max(ay, std::max(by, cy));
  const std::int64_t minX = std::min(ax, std::min(bx, cx));
  const std::int64_t maxX = std::max(ax, std::max(bx, cx));
  // Each corner weight is w = A x + B along a row; the cell lies in the closed triangle when
  // all three are at most 0.
  const std::int64_t a0 = -(cy - by), a1 = -(ay - cy), a2 = -(by - ay);
  for (std::int64_t y = minY; y <= maxY; ++y) {
    const std::int64_t b0 = (cx - bx) * (y - by) + (cy - by) * bx;
    const std::int64_t b1 = (ax - cx) * (y - cy) + (ay - cy) * cx;
    const std::int64_t b2 = (bx - ax) * (y - ay) + (by - ay) * ax;
    std::int64_t from = minX, to = maxX;
    bool empty = false;
    const std::int64_t as[3] = {a0, a1, a2};
    const std::int64_t bs[3] = {b0, b1, b2};
    for (int k = 0; k < 3; ++k) {
      if (as[k] > 0) {
        to = std::min(to, floorDiv(-bs[k], as[k]));
      } else if (as[k] < 0) {
        from = std::max(from, ceilDiv(bs[k], -as[k]));
      } else if (bs[k] > 0) {
        empty = true;
      }
    }
    if (empty) continue;
    const std::int64_t rowStart = y * cols_;
    for (std::int64_t x = from; x <= to; ++x) {
      visit(x, y, rowStart + x, a0 * x + b0, a1 * x + b1, a2 * x + b2);
    }
  }
}

void Builder::evaluate(std::int32_t t) {
  const std::int32_t* v = &triangles_[3 * t];
  double z[3];
  bool hole = false;
  std::int64_t holeCell = -1;
  std::int64_t corner[3];
  for (int k = 0; k < 3; ++k) {
    corner[k] = static_cast<std::int64_t>(coords_[2 * v[k] + 1]) * cols_ + coords_[2 * v[k]];
    const float value = cells_[corner[k]];
    z[k] = holdsData(value) ? value : 0.0;
    if (!holdsData(value)) {
      hole = true;
      holeCell = corner[k];
    }
  }
  const std::int64_t det = orient(coords_[2 * v[0]], coords_[2 * v[0] + 1], coords_[2 * v[1]],
                                  coords_[2 * v[1] + 1], coords_[2 * v[2]], coords_[2 * v[2] + 1]);
  double worstError = -1.0;
  std::int64_t worstCell = -1;
  bool covered = false;  // A data cell other than the corners.
  scan(t, [&](std::int64_t, std::int64_t, std::int64_t index, std::int64_t w0, std::int64_t w1,
              std::int64_t w2) {
    if (index == corner[0] || index == corner[1] || index == corner[2]) return;
    const float value = cells_[index];
    if (!holdsData(value)) {
      hole = true;
      holeCell = index;
      return;
    }
    covered = true;
    const double surface = (static_cast<double>(w0) * z[0] + static_cast<double>(w1) * z[1] +
                            static_cast<double>(w2) * z[2]) /
                           static_cast<double>(det);
    const double error = std::fabs(static_cast<double>(value) - surface);
    if (error > worstError) {
      worstError = error;
      worstCell = index;
    }
  });
  if (!covered) {
    worst_[t] = -1;
    errors_[t] = hole ? kHoleError : 0.0f;
    return;
  }
  if (!hole) {
    worst_[t] = static_cast<std::int32_t>(worstCell);
    errors_[t] = roundUp(worstError);
    return;
  }
  // A hole face closes in on its hole: the data cell nearest to a cell without data.
  const std::int64_t hx = holeCell % cols_, hy = holeCell / cols_;
  std::int64_t nearest = -1, best = std::numeric_limits<std::int64_t>::max();
  scan(t, [&](std::int64_t x, std::int64_t y, std::int64_t index, std::int64_t, std::int64_t,
              std::int64_t) {
    if (index == corner[0] || index == corner[1] || index == corner[2]) return;
    if (!holdsData(cells_[index])) return;
    const std::int64_t d = (x - hx) * (x - hx) + (y - hy) * (y - hy);
    if (d < best) {
      best = d;
      nearest = index;
    }
  });
  worst_[t] = static_cast<std::int32_t>(nearest);
  errors_[t] = kHoleError;
}

void Builder::insert(std::int32_t t, std::int32_t cell) {
  const std::int32_t px = cell % cols_, py = cell / cols_;
  std::int32_t onEdge = -1;
  for (int k = 0; k < 3; ++k) {
    const std::int32_t e = 3 * t + k;
    const std::int32_t a = triangles_[e], b = triangles_[nextEdge(e)];
    if (orient(coords_[2 * a], coords_[2 * a + 1], coords_[2 * b], coords_[2 * b + 1], px, py) ==
        0) {
      onEdge = e;
      break;
    }
  }
  const std::int32_t n = addVertex(px, py);
  if (onEdge < 0) {
    const std::int32_t e = 3 * t;
    const std::int32_t a = triangles_[e], b = triangles_[e + 1], c = triangles_[e + 2];
    const std::int32_t hab = halfedges_[e], hbc = halfedges_[e + 1], hca = halfedges_[e + 2];
    setTriangle(t, a, b, n, hab, -1, -1);
    const std::int32_t t1 = addTriangle(b, c, n, hbc, -1, 3 * t + 1);
    const std::int32_t t2 = addTriangle(c, a, n, hca, 3 * t + 2, 3 * t1 + 1);
    legalize(3 * t);
    legalize(3 * t1);
    legalize(3 * t2);
    return;
  }
  // The cell splits the edge a -> b of t (c opposite) and, inside the block, the edge
  // b -> a of the triangle u beside it (d opposite).
  const std::int32_t e = onEdge;
  const std::int32_t a = triangles_[e], b = triangles_[nextEdge(e)], c = triangles_[prevEdge(e)];
  const std::int32_t hbc = halfedges_[nextEdge(e)], hca = halfedges_[prevEdge(e)];
  const std::int32_t f = halfedges_[e];
  setTriangle(t, c, a, n, hca, -1, -1);
  const std::int32_t t1 = addTriangle(b, c, n, hbc, 3 * t + 2, -1);
  if (f < 0) {
    legalize(3 * t);
    legalize(3 * t1);
    return;
  }
  const std::int32_t u = f / 3;
  const std::int32_t d = triangles_[prevEdge(f)];
  const std::int32_t had = halfedges_[nextEdge(f)], hdb = halfedges_[prevEdge(f)];
  setTriangle(u, d, b, n, hdb, 3 * t1 + 2, -1);
  const std::int32_t u1 = addTriangle(a, d, n, had, 3 * u + 2, 3 * t + 1);
  legalize(3 * t);
  legalize(3 * t1);
  legalize(3 * u);
  legalize(3 * u1);
}

// Restores the Delaunay property across the given edge, opposite the new vertex, flipping it
// and then the two edges it exposes while the vertex across lies strictly inside the
// circumcircle (cocircular points keep the edge).
void Builder::legalize(std::int32_t edge) {
  flips_.push_back(edge);
  while (!flips_.empty()) {
    const std::int32_t e = flips_.back();
    flips_.pop_back();
    const std::int32_t f = halfedges_[e];
    if (f < 0) continue;
    const std::int32_t t = e / 3, u = f / 3;
    const std::int32_t a = triangles_[e], b = triangles_[nextEdge(e)], n = triangles_[prevEdge(e)];
    const std::int32_t d = triangles_[prevEdge(f)];
    const std::int64_t ax = coords_[2 * a], ay = coords_[2 * a + 1];
    const std::int64_t bx = coords_[2 * b], by = coords_[2 * b + 1];
    const std::int64_t nx = coords_[2 * n], ny = coords_[2 * n + 1];
    const std::int64_t dx = coords_[2 * d], dy = coords_[2 * d + 1];
    const std::int64_t adx = ax - dx, ady = ay - dy, bdx = bx - dx, bdy = by - dy;
    const std::int64_t ndx = nx - dx, ndy = ny - dy;
    // (a, b, n) turns clockwise in (x, y): d lies inside its circle when this is negative.
    const std::int64_t inCircle = (adx * adx + ady * ady) * (bdx * ndy - ndx * bdy) +
                                  (bdx * bdx + bdy * bdy) * (ndx * ady - adx * ndy) +
                                  (ndx * ndx + ndy * ndy) * (adx * bdy - bdx * ady);
    if (inCircle >= 0) continue;
    const std::int32_t hna = halfedges_[prevEdge(e)], hbn = halfedges_[nextEdge(e)];
    const std::int32_t had = halfedges_[nextEdge(f)], hdb = halfedges_[prevEdge(f)];
    setTriangle(t, n, a, d, hna, had, -1);
    setTriangle(u, d, b, n, hdb, hbn, 3 * t + 2);
    flips_.push_back(3 * t + 1);
    flips_.push_back(3 * u);
  }
}

void Builder::heapPush(std::int32_t t) {
  const auto i = static_cast<std::int32_t>(heap_.size());
  heap_.push_back(t);
  queuePlace_[t] = i;
  siftUp(i);
}

void Builder::heapRemove(std::int32_t t) {
  const std::int32_t i = queuePlace_[t];
  const auto last = static_cast<std::int32_t>(heap_.size()) - 1;
  if (i != last) {
    heapSwap(i, last);
  }
  heap_.pop_back();
  queuePlace_[t] = -1;
  if (i != last) {
    siftDown(i);
    siftUp(i);
  }
}

void Builder::heapSwap(std::int32_t i, std::int32_t j) {
  const std::int32_t ti = heap_[i], tj = heap_[j];
  heap_[i] = tj;
  heap_[j] = ti;
  queuePlace_[tj] = i;
  queuePlace_[ti] = j;
}

void Builder::siftUp(std::int32_t i) {
  while (i > 0) {
    const std::int32_t parent = (i - 1) / 2;
    if (!heapLess(parent, i)) break;
    heapSwap(parent, i);
    i = parent;
  }
}

void Builder::siftDown(std::int32_t i) {
  const auto size = static_cast<std::int32_t>(heap_.size());
  for (;;) {
    const std::int32_t left = 2 * i + 1;
    if (left >= size) break;
    std::int32_t child = left;
    if (left + 1 < size && heapLess(left, left + 1)) child = left + 1;
    if (!heapLess(i, child)) break;
    heapSwap(i, child);
    i = child;
  }
}

TinResult Builder::collect(TinSurface* surface) const {
  const std::int32_t vertexCount = static_cast<std::int32_t>(coords_.size() / 2);
  std::vector<std::int32_t> place(vertexCount, -1);
  for (std::int32_t v = 0; v < vertexCount; ++v) {
    const std::int32_t x = coords_[2 * v], y = coords_[2 * v + 1];
    const float value = cells_[static_cast<std::int64_t>(y) * cols_ + x];
    if (!holdsData(value)) continue;
    place[v] = static_cast<std::int32_t>(surface->vertices.size());
    surface->vertices.push_back(TinVertex{y, x, value});
  }
  const std::int32_t triangleCount = static_cast<std::int32_t>(triangles_.size() / 3);
  double maxError = 0.0;
  for (std::int32_t t = 0; t < triangleCount; ++t) {
    if (errors_[t] == kHoleError) continue;
    const std::int32_t* v = &triangles_[3 * t];
    surface->faces.push_back(TinFace{place[v[0]], place[v[1]], place[v[2]]});
    if (worst_[t] >= 0) maxError = std::max(maxError, static_cast<double>(errors_[t]));
  }
  surface->maxError = maxError;
  if (surface->vertices.empty()) return TinResult::NoData;
  return surface->faces.empty() ? TinResult::NoFace : TinResult::Built;
}

}  // namespace

TinResult buildTin(const float* cells, std::int32_t cols, std::int32_t rows, double tolerance,
                   TinSurface* surface) {
  surface->vertices.clear();
  surface->faces.clear();
  surface->maxError = 0.0;
  if (!tinBlockFits(cols, rows)) return TinResult::TooLarge;
  if (!(tolerance > 0.0) || !std::isfinite(tolerance)) return TinResult::BadTolerance;
  try {
    if (cols < 2 || rows < 2) {
      for (std::int32_t row = 0; row < rows; ++row) {
        for (std::int32_t col = 0; col < cols; ++col) {
          const float value = cells[static_cast<std::int64_t>(row) * cols + col];
          if (holdsData(value)) surface->vertices.push_back(TinVertex{row, col, value});
        }
      }
      return surface->vertices.empty() ? TinResult::NoData : TinResult::NoFace;
    }
    bool anyData = false;
    const std::int64_t count = static_cast<std::int64_t>(cols) * rows;
    for (std::int64_t i = 0; i < count && !anyData; ++i) anyData = holdsData(cells[i]);
    if (!anyData) return TinResult::NoData;
    Builder builder(cells, cols, rows);
    builder.run(tolerance);
    return builder.collect(surface);
  } catch (const std::bad_alloc&) {
    surface->vertices.clear();
    surface->faces.clear();
    return TinResult::OutOfMemory;
  }
}

}  // namespace ned
