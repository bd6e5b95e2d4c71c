#include "core/export/tin.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <type_traits>

namespace ned {

bool tinBlockFits(std::int64_t cols, std::int64_t rows) {
  return cols >= 1 && rows >= 1 && cols <= kMaxTinCells && rows <= kMaxTinCells &&
         cols * rows <= kMaxTinCells;
}

namespace {

bool holdsData(std::int32_t value) {
  return value != kTinNoData;
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

// The error stored per triangle, for the queue's order and the largest error: a float no
// smaller than the error.
float roundUp(double error) {
  float stored = static_cast<float>(error);
  if (static_cast<double>(stored) < error) {
    stored = std::nextafter(stored, std::numeric_limits<float>::infinity());
  }
  return stored;
}

// One edge's bound on the cells of a row: x <= floor(n / size) (an upper bound) or
// x >= ceil(n / size) (a lower one), with n = q size + r, 0 <= r < size, which grows by
// gq size + gr from row to row: no division per row.
struct EdgeBound {
  std::int64_t q = 0, r = 0, size = 1, gq = 0, gr = 0;
  EdgeBound() = default;
  EdgeBound(std::int64_t n, std::int64_t step, std::int64_t d)
      : q(floorDiv(n, d)), r(n - q * d), size(d), gq(floorDiv(step, d)), gr(step - gq * d) {}
  void next() {
    q += gq;
    r += gr;
    if (r >= size) {
      r -= size;
      ++q;
    }
  }
  std::int64_t floor() const { return q; }
  std::int64_t ceil() const { return q + (r != 0); }
};

// The cells of the closed triangle (x0, y0), (x1, y1), (x2, y2), counter-clockwise with Y
// north (negative area in cell index space), row by row: visit(y, from, to) for each row y
// whose cells from..to have every corner weight w_k = a_k x + b_k(y) at most 0. w_k is the
// signed area the edge opposite corner k spans with the cell: a_k = y_p - y_e and b_k(y) =
// (x_e - x_p)(y - y_p) + (y_e - y_p) x_p for that edge from corner p to corner e. A level
// edge bounds no row of its triangle; of the others, those with a_k > 0 bound each row from
// above, those with a_k < 0 from below, one or two of each.
template <typename Visit>
void triangleRows(const std::int64_t (&x)[3], const std::int64_t (&y)[3], Visit visit) {
  const std::int64_t minY = std::min(y[0], std::min(y[1], y[2]));
  const std::int64_t maxY = std::max(y[0], std::max(y[1], y[2]));
  EdgeBound lower[2], upper[2];
  int lowers = 0, uppers = 0;
  for (int k = 0; k < 3; ++k) {
    const int p = (k + 1) % 3, e = (k + 2) % 3;
    const std::int64_t a = y[p] - y[e];
    const std::int64_t beta = x[e] - x[p];
    const std::int64_t b = beta * (minY - y[p]) + (y[e] - y[p]) * x[p];
    if (a > 0) {
      upper[uppers++] = EdgeBound(-b, -beta, a);
    } else if (a < 0) {
      lower[lowers++] = EdgeBound(b, beta, -a);
    }
  }
  if (lowers == 1) lower[1] = lower[0];
  if (uppers == 1) upper[1] = upper[0];
  for (std::int64_t row = minY; row <= maxY; ++row) {
    const std::int64_t from = std::max(lower[0].ceil(), lower[1].ceil());
    const std::int64_t to = std::min(upper[0].floor(), upper[1].floor());
    if (from <= to) visit(row, from, to);
    lower[0].next();
    lower[1].next();
    upper[0].next();
    upper[1].next();
  }
}

// A triangle's place in the queue when it is in none: waiting to be evaluated, or not.
constexpr std::int32_t kPending = -2;
constexpr std::int32_t kIdle = -1;

constexpr float kHoleError = std::numeric_limits<float>::infinity();

std::int32_t nextEdge(std::int32_t e) {
  return e % 3 == 2 ? e - 2 : e + 1;
}
std::int32_t prevEdge(std::int32_t e) {
  return e % 3 == 0 ? e + 2 : e - 1;
}

class Builder {
 public:
  Builder(const std::int32_t* cells, std::int32_t cols, std::int32_t rows, std::int64_t tolerance)
      : cells_(cells), cols_(cols), rows_(rows), tolerance_(tolerance) {
    const std::int64_t count = static_cast<std::int64_t>(cols) * rows;
    for (std::int64_t i = 0; i < count && !anyNoData_; ++i) anyNoData_ = !holdsData(cells[i]);
  }

  void run();
  TinResult collect(TinSurface* surface);

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
  void prefetch(std::int32_t t) const;

  // Calls visit(x, y, index) for each cell the closed triangle t covers.
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

  const std::int32_t* cells_;
  std::int32_t cols_;
  std::int32_t rows_;
  std::int64_t tolerance_;
  bool anyNoData_ = false;

  std::vector<std::int32_t> coords_;      // x, y per vertex.
  std::vector<std::int32_t> triangles_;   // Three vertices per triangle.
  std::vector<std::int32_t> halfedges_;   // The opposite half-edge of each, or -1.
  std::vector<std::int32_t> worst_;       // The cell to insert next, or -1 within the tolerance.
  std::vector<float> errors_;             // The worst error (kHoleError for a hole face).
  std::vector<std::int32_t> queuePlace_;  // Place in heap_, kPending or kIdle.
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
  queuePlace_.push_back(kIdle);
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
  if (queuePlace_[t] == kPending) return;
  queuePlace_[t] = kPending;
  pending_.push_back(t);
}

void Builder::run() {
  const std::int32_t x1 = cols_ - 1;
  const std::int32_t y1 = rows_ - 1;
  const std::int32_t p0 = addVertex(0, 0);
  const std::int32_t p1 = addVertex(x1, 0);
  const std::int32_t p2 = addVertex(0, y1);
  const std::int32_t p3 = addVertex(x1, y1);
  const std::int32_t t0 = addTriangle(p3, p0, p2, -1, -1, -1);
  addTriangle(p0, p3, p1, 3 * t0, -1, -1);
  for (;;) {
    for (const std::int32_t t : pending_) prefetch(t);
    for (const std::int32_t t : pending_) {
      queuePlace_[t] = kIdle;
      evaluate(t);
      if (worst_[t] >= 0) heapPush(t);
    }
    pending_.clear();
    if (heap_.empty()) break;
    const std::int32_t top = heap_[0];
    heapRemove(top);
    insert(top, worst_[top]);
  }
}

// Asks for the cells of t's rows ahead of its evaluation, so that the reads of the changed
// triangles' rows overlap. The rows of a small triangle lie far apart in the block.
void Builder::prefetch(std::int32_t t) const {
  const std::int32_t* v = &triangles_[3 * t];
  const std::int32_t xa = coords_[2 * v[0]], xb = coords_[2 * v[1]], xc = coords_[2 * v[2]];
  const std::int32_t ya = coords_[2 * v[0] + 1], yb = coords_[2 * v[1] + 1],
                     yc = coords_[2 * v[2] + 1];
  const std::int32_t minX = std::min(xa, std::min(xb, xc)), maxX = std::max(xa, std::max(xb, xc));
  const std::int32_t minY = std::min(ya, std::min(yb, yc)), maxY = std::max(ya, std::max(yb, yc));
  if (maxY - minY > 64 || maxX - minX > 64) return;  // a large one reads on by itself
  for (std::int32_t y = minY; y <= maxY; ++y) {
    const std::int32_t* row = cells_ + static_cast<std::int64_t>(y) * cols_;
    __builtin_prefetch(row + minX);
    __builtin_prefetch(row + maxX);
  }
}

template <typename Visit>
void Builder::scan(std::int32_t t, Visit visit) const {
  const std::int32_t* v = &triangles_[3 * t];
  const std::int64_t x[3] = {coords_[2 * v[0]], coords_[2 * v[1]], coords_[2 * v[2]]};
  const std::int64_t y[3] = {coords_[2 * v[0] + 1], coords_[2 * v[1] + 1], coords_[2 * v[2] + 1]};
  triangleRows(x, y, [&](std::int64_t row, std::int64_t from, std::int64_t to) {
    for (std::int64_t col = from; col <= to; ++col) visit(col, row, row * cols_ + col);
  });
}

void Builder::evaluate(std::int32_t t) {
  const std::int32_t* v = &triangles_[3 * t];
  const std::int64_t x[3] = {coords_[2 * v[0]], coords_[2 * v[1]], coords_[2 * v[2]]};
  const std::int64_t y[3] = {coords_[2 * v[0] + 1], coords_[2 * v[1] + 1], coords_[2 * v[2] + 1]};
  std::int64_t z[3];
  std::int64_t corner[3];
  bool hole = false;
  std::int64_t holeCell = -1;
  std::int64_t dataCorners = 0;
  for (int k = 0; k < 3; ++k) {
    corner[k] = y[k] * cols_ + x[k];
    const std::int32_t value = cells_[corner[k]];
    z[k] = holdsData(value) ? value : 0;
    if (holdsData(value)) {
      ++dataCorners;
    } else {
      hole = true;
      holeCell = corner[k];
    }
  }
  // The surface at a cell is s / det for s = w0 z0 + w1 z1 + w2 z2 (the weights of
  // triangleRows, whose sum is det), and its error |s - det z| / |det|: along a row s steps
  // by ds = a0 z0 + a1 z1 + a2 z2, from row to row its part of the b_k by db.
  const std::int64_t det = orient(x[0], y[0], x[1], y[1], x[2], y[2]);
  const std::int64_t minY = std::min(y[0], std::min(y[1], y[2]));
  std::int64_t ds = 0, b0 = 0, db = 0;
  for (int k = 0; k < 3; ++k) {
    const int p = (k + 1) % 3, e = (k + 2) % 3;
    ds += (y[p] - y[e]) * z[k];
    b0 += ((x[e] - x[p]) * (minY - y[p]) + (y[e] - y[p]) * x[p]) * z[k];
    db += (x[e] - x[p]) * z[k];
  }
  std::int64_t worstError = -1;
  std::int64_t worstCell = -1;
  std::int64_t dataCells = 0;
  const auto measure = [&](auto mayLackData) {
    triangleRows(x, y, [&](std::int64_t row, std::int64_t from, std::int64_t to) {
      const std::int32_t* cells = cells_ + row * cols_;
      std::int64_t s = from * ds + b0 + (row - minY) * db;
      std::int64_t worst = worstError, at = -1;
      for (std::int64_t col = from; col <= to; ++col, s += ds) {
        const std::int32_t value = cells[col];
        if (decltype(mayLackData)::value && !holdsData(value)) {
          hole = true;
          holeCell = row * cols_ + col;
          --dataCells;
          continue;
        }
        std::int64_t error = s - det * value;
        error = error < 0 ? -error : error;
        if (error > worst) {
          worst = error;
          at = col;
        }
      }
      dataCells += to - from + 1;
      if (at >= 0) {
        worstError = worst;
        worstCell = row * cols_ + at;
      }
    });
  };
  if (anyNoData_) {
    measure(std::true_type());
  } else {
    measure(std::false_type());
  }
  if (dataCells == dataCorners) {  // no data cell but the corners
    worst_[t] = -1;
    errors_[t] = hole ? kHoleError : 0.0f;
    return;
  }
  if (!hole) {
    errors_[t] = roundUp(static_cast<double>(worstError) / static_cast<double>(-det));
    worst_[t] = worstError > tolerance_ * -det ? static_cast<std::int32_t>(worstCell) : -1;
    return;
  }
  // A hole face closes in on its hole: the data cell nearest to a cell without data.
  const std::int64_t hx = holeCell % cols_, hy = holeCell / cols_;
  std::int64_t nearest = -1, best = std::numeric_limits<std::int64_t>::max();
  scan(t, [&](std::int64_t col, std::int64_t row, std::int64_t index) {
    if (index == corner[0] || index == corner[1] || index == corner[2]) return;
    if (!holdsData(cells_[index])) return;
    const std::int64_t d = (col - hx) * (col - hx) + (row - hy) * (row - hy);
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
  queuePlace_[t] = kIdle;
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

TinResult Builder::collect(TinSurface* surface) {
  // What only the insertion needs goes first, to make room for the surface.
  for (std::vector<std::int32_t>* done :
       {&halfedges_, &worst_, &queuePlace_, &heap_, &pending_, &flips_}) {
    std::vector<std::int32_t>().swap(*done);
  }
  const std::int32_t vertexCount = static_cast<std::int32_t>(coords_.size() / 2);
  std::vector<std::int32_t> place(vertexCount, -1);
  surface->vertices.reserve(static_cast<size_t>(vertexCount));
  for (std::int32_t v = 0; v < vertexCount; ++v) {
    const std::int32_t x = coords_[2 * v], y = coords_[2 * v + 1];
    const std::int32_t value = cells_[static_cast<std::int64_t>(y) * cols_ + x];
    if (!holdsData(value)) continue;
    place[v] = static_cast<std::int32_t>(surface->vertices.size());
    surface->vertices.push_back(TinVertex{y, x, value});
  }
  const std::int32_t triangleCount = static_cast<std::int32_t>(triangles_.size() / 3);
  std::int32_t kept = 0;
  for (std::int32_t t = 0; t < triangleCount; ++t) kept += errors_[t] != kHoleError;
  surface->faces.reserve(static_cast<size_t>(kept));
  double maxError = 0.0;
  for (std::int32_t t = 0; t < triangleCount; ++t) {
    if (errors_[t] == kHoleError) continue;
    const std::int32_t* v = &triangles_[3 * t];
    surface->faces.push_back(TinFace{place[v[0]], place[v[1]], place[v[2]]});
    maxError = std::max(maxError, static_cast<double>(errors_[t]));
  }
  surface->maxError = maxError;
  if (surface->vertices.empty()) return TinResult::NoData;
  return surface->faces.empty() ? TinResult::NoFace : TinResult::Built;
}

}  // namespace

TinResult buildTin(const std::int32_t* cells, std::int32_t cols, std::int32_t rows,
                   std::int64_t tolerance, TinSurface* surface) {
  surface->vertices.clear();
  surface->faces.clear();
  surface->maxError = 0.0;
  if (!tinBlockFits(cols, rows)) return TinResult::TooLarge;
  if (tolerance < 0 || tolerance > kMaxTinTolerance) return TinResult::BadTolerance;
  try {
    if (cols < 2 || rows < 2) {
      for (std::int32_t row = 0; row < rows; ++row) {
        for (std::int32_t col = 0; col < cols; ++col) {
          const std::int32_t value = cells[static_cast<std::int64_t>(row) * cols + col];
          if (holdsData(value)) surface->vertices.push_back(TinVertex{row, col, value});
        }
      }
      return surface->vertices.empty() ? TinResult::NoData : TinResult::NoFace;
    }
    bool anyData = false;
    const std::int64_t count = static_cast<std::int64_t>(cols) * rows;
    for (std::int64_t i = 0; i < count && !anyData; ++i) anyData = holdsData(cells[i]);
    if (!anyData) return TinResult::NoData;
    Builder builder(cells, cols, rows, tolerance);
    builder.run();
    return builder.collect(surface);
  } catch (const std::bad_alloc&) {
    surface->vertices.clear();
    surface->faces.clear();
    return TinResult::OutOfMemory;
  }
}

}  // namespace ned
