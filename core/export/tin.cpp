#include "core/export/tin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ned {

bool tinBlockFits(std::int64_t cols, std::int64_t rows) {
  return cols >= 1 && rows >= 1 && cols <= kMaxTinCells && rows <= kMaxTinCells &&
         cols * rows <= kMaxTinCells;
}

bool TinCells::allocate(std::int32_t cols, std::int32_t rows) {
  storage_.reset();
  data_ = nullptr;
  cols_ = rows_ = 0;
  if (!tinBlockFits(cols, rows)) return false;
  // A page is across x high cells: 32 x 32 where the block reaches 256, else one tile.
  const std::int32_t across = cols >= 256 ? 32 : 4, high = rows >= 256 ? 32 : 4;
  const std::int32_t pages = (cols + across - 1) / across;
  const std::int32_t pageCells = across * high;
  try {
    rowOffset_.assign(static_cast<size_t>(rows), 0);
    colOffset_.assign(static_cast<size_t>(pages) * across, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (std::int32_t y = 0; y < rows; ++y) {
    rowOffset_[y] =
        y / high * pages * pageCells + (y >> 2) % (high / 4) * (across / 4) * 16 + (y & 3) * 4;
  }
  for (std::int32_t x = 0; x < pages * across; ++x)
    colOffset_[x] = x / across * pageCells + (x >> 2) % (across / 4) * 16 + (x & 3);
  const size_t size = static_cast<size_t>((rows + high - 1) / high) * pages * pageCells;
  storage_.reset(new (std::nothrow) std::int32_t[size + 15]);
  if (storage_ == nullptr) return false;
  data_ = storage_.get();
  while (reinterpret_cast<std::uintptr_t>(data_) % 64 != 0) ++data_;
  // The cells that complete each row's last group of four, read as lanes left out.
  for (std::int32_t y = 0; y < rows; ++y) {
    for (std::int32_t x = cols; x % 4 != 0; ++x) data_[rowOffset_[y] + colOffset_[x]] = 0;
  }
  cols_ = cols;
  rows_ = rows;
  return true;
}

void TinCells::setRow(std::int32_t y, const std::int32_t* values) {
  std::int32_t* row = data_ + rowOffset_[y];
  std::int32_t x = 0;
  for (; x + 4 <= cols_; x += 4) std::memcpy(row + colOffset_[x], values + x, 4 * sizeof(*values));
  for (; x < cols_; ++x) row[colOffset_[x]] = values[x];
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

// floor(n / d) for d > 0. Every n and d here is a product of two cell index differences
// or a sum of two such, below 2^31 in magnitude for a block of kMaxTinCells: a 32-bit
// division, which a 32-bit x86 does in one instruction.
std::int64_t floorDiv(std::int64_t n, std::int64_t d) {
  const auto n32 = static_cast<std::int32_t>(n), d32 = static_cast<std::int32_t>(d);
  const std::int32_t q = n32 / d32;
  return q - (n32 % d32 < 0);
}

// The number of bits set, without the library call that a build for any x86 makes of it.
std::int32_t bitCount(std::uint64_t bits) {
  bits -= (bits >> 1) & UINT64_C(0x5555555555555555);
  bits = (bits & UINT64_C(0x3333333333333333)) + ((bits >> 2) & UINT64_C(0x3333333333333333));
  bits = (bits + (bits >> 4)) & UINT64_C(0x0F0F0F0F0F0F0F0F);
  return static_cast<std::int32_t>((bits * UINT64_C(0x0101010101010101)) >> 56);
}

// The error stored per triangle, for the queue's order and the largest error: a float no
// smaller than the error.
float roundUp(double error) {
  float stored = static_cast<float>(error);
  if (static_cast<double>(stored) < error) {
    // The next float up: errors are at least 0 and finite.
    std::uint32_t bits;
    std::memcpy(&bits, &stored, sizeof bits);
    ++bits;
    std::memcpy(&stored, &bits, sizeof bits);
  }
  return stored;
}

// One edge's bound on the cells of a row: x <= floor(n / size) (an upper bound) or
// x >= ceil(n / size) (a lower one), with n = q size + r, 0 <= r < size, which grows by
// gq size + gr from row to row: no division per row.
struct EdgeBound {
  std::int64_t q, r, size, gq, gr;
  EdgeBound(std::int64_t n, std::int64_t step, std::int64_t d)
      : q(floorDiv(n, d)), r(n - q * d), size(d), gq(floorDiv(step, d)), gr(step - gq * d) {}
  void next() {
    r += gr;
    const bool carry = r >= size;  // no branch: the carry comes as often as not
    r -= carry ? size : 0;
    q += gq + carry;
  }
  std::int64_t floor() const { return q; }
  std::int64_t ceil() const { return q + (r != 0); }
};

// The bound edge p -> e puts on the rows of its triangle from row y on: the corner weight
// of the corner opposite it, w = a x + b(y) with a = y_p - y_e and b(y) = (x_e - x_p)(y -
// y_p) + (y_e - y_p) x_p, is at most 0 for x <= floor(-b / a) when a > 0 and for x >=
// ceil(b / -a) when a < 0.
inline __attribute__((always_inline)) EdgeBound edgeBound(std::int64_t xp, std::int64_t yp,
                                                          std::int64_t xe, std::int64_t ye,
                                                          std::int64_t y) {
  const std::int64_t a = yp - ye;
  const std::int64_t beta = xe - xp;
  const std::int64_t b = beta * (y - yp) + (ye - yp) * xp;
  return a > 0 ? EdgeBound(-b, -beta, a) : EdgeBound(b, beta, -a);
}

// The cells of the closed triangle (x0, y0), (x1, y1), (x2, y2), counter-clockwise with Y
// north (negative area in cell index space), row by row: visit(y, from, to) for each row y
// from the first corner's to the last, whose cells from..to have every corner weight
// (edgeBound) at most 0. A row that holds no cell of the triangle has from = to + 1: the
// triangle's real extent in it is not empty. The edge from the first row to the last bounds
// one side of every row; the other side is bounded by the edge from the first row to the
// middle corner's row, then by the one from there on.
template <typename Visit>
void triangleRows(const std::int64_t (&x)[3], const std::int64_t (&y)[3], Visit visit) {
  // The first corner of the least row and the last of the greatest, from the three
  // comparisons in bits: no branch, the corners come in any order.
  const int below10 = y[1] < y[0], below20 = y[2] < y[0], below21 = y[2] < y[1];
  const int above2 = below10 ? below21 : below20;  // y2 below the lesser of y0 and y1
  const int top = (above2 << 1) | (below10 & (above2 ^ 1));
  const int notBelow10 = below10 ^ 1;
  const int last2 = (notBelow10 ? below21 : below20) ^ 1;  // y2 at or past the greater
  const int bottom = (last2 << 1) | (notBelow10 & (last2 ^ 1));
  if (y[top] == y[bottom]) return;  // a degenerate triangle has no cell
  const int mid = 3 - top - bottom;
  // An edge oriented as the triangle runs, from corner i to corner j or back.
  const auto edge = [&](int i, int j, std::int64_t row) {
    const bool forward = (i + 1) % 3 == j;
    const int from = forward ? i : j, to = forward ? j : i;
    return edgeBound(x[from], y[from], x[to], y[to], row);
  };
  EdgeBound longEdge = edge(top, bottom, y[top]);
  // Run upwards (from bottom to top), the long edge bounds the rows from above.
  const bool longIsUpper = (top + 1) % 3 != bottom;
  // The bounds are copied in and the long edge's copied back, so that the rows' loop keeps
  // them in registers.
  const auto rows = [&](const EdgeBound& side, std::int64_t first, std::int64_t last) {
    EdgeBound lower = longIsUpper ? side : longEdge;
    EdgeBound upper = longIsUpper ? longEdge : side;
    for (std::int64_t row = first; row <= last; ++row) {
      visit(row, lower.ceil(), upper.floor());
      lower.next();
      upper.next();
    }
    longEdge = longIsUpper ? upper : lower;
  };
  if (y[mid] == y[bottom]) {
    rows(edge(top, mid, y[top]), y[top], y[bottom]);
  } else if (y[mid] == y[top]) {
    rows(edge(mid, bottom, y[top]), y[top], y[bottom]);
  } else {
    rows(edge(top, mid, y[top]), y[top], y[mid] - 1);
    rows(edge(mid, bottom, y[mid]), y[mid], y[bottom]);
  }
}

#if defined(__SSE2__)
// Lanes low..high of four (32-bit lanes all ones there, 0 elsewhere).
__m128i lanesWithin(std::int64_t low, std::int64_t high) {
  const __m128i lane = _mm_set_epi32(3, 2, 1, 0);
  return _mm_and_si128(_mm_cmpgt_epi32(lane, _mm_set1_epi32(static_cast<int>(low) - 1)),
                       _mm_cmplt_epi32(lane, _mm_set1_epi32(static_cast<int>(high) + 1)));
}

// |s - det z| of a group of four cells, lanes 0 and 1 in *low, 2 and 3 in *high; the lanes
// outside valid are 0 where kMasked.
template <bool kMasked>
void groupErrors(__m128i z, __m128d s01, __m128d s23, __m128d det, __m128i valid, __m128d* low,
                 __m128d* high) {
  const __m128d sign = _mm_set1_pd(-0.0);
  const __m128d z01 = _mm_cvtepi32_pd(z);
  const __m128d z23 = _mm_cvtepi32_pd(_mm_shuffle_epi32(z, _MM_SHUFFLE(1, 0, 3, 2)));
  *low = _mm_andnot_pd(sign, _mm_sub_pd(s01, _mm_mul_pd(det, z01)));
  *high = _mm_andnot_pd(sign, _mm_sub_pd(s23, _mm_mul_pd(det, z23)));
  if (kMasked) {
    *low = _mm_and_pd(_mm_castsi128_pd(_mm_unpacklo_epi32(valid, valid)), *low);
    *high = _mm_and_pd(_mm_castsi128_pd(_mm_unpackhi_epi32(valid, valid)), *high);
  }
}

double largestLane(__m128d a, __m128d b) {
  const __m128d both = _mm_max_pd(a, b);
  return std::max(_mm_cvtsd_f64(both), _mm_cvtsd_f64(_mm_unpackhi_pd(both, both)));
}

// The largest |s - det z| of the cells from..to of a row, s0 being s at column 0, in SSE2
// doubles, four cells at a time: the groups of four from a multiple of 4 (TinCells), the
// lanes beyond the row counted as 0. Exact while the errors of the row's cells and s on the
// groups' lanes are whole numbers below 2^53 (exactInDoubles in evaluate). A cell without
// data sets *lacksData and leaves the result meaningless.
template <bool kMayLackData>
double rowLargest(const std::int32_t* cells, const std::int32_t* offset, std::int64_t from,
                  std::int64_t to, std::int64_t s0, std::int64_t ds, double det, bool* lacksData) {
  const std::int64_t first = from & ~std::int64_t(3), last = to & ~std::int64_t(3);
  const __m128d s = _mm_set1_pd(static_cast<double>(s0 + first * ds));
  const double d = static_cast<double>(ds);
  __m128d s01 = _mm_add_pd(s, _mm_set_pd(d, 0.0));
  __m128d s23 = _mm_add_pd(s, _mm_set_pd(3 * d, 2 * d));
  const __m128d step = _mm_set1_pd(4 * d);
  const __m128d factor = _mm_set1_pd(det);
  __m128d largest01 = _mm_setzero_pd(), largest23 = _mm_setzero_pd();
  __m128i missing = _mm_setzero_si128();
  const __m128i noData = _mm_set1_epi32(kTinNoData);
  const auto group = [&](std::int64_t g, auto masked, __m128i valid) {
    const __m128i z = _mm_load_si128(reinterpret_cast<const __m128i*>(cells + offset[g]));
    if (kMayLackData) {
      __m128i lacking = _mm_cmpeq_epi32(z, noData);
      if (decltype(masked)::value) lacking = _mm_and_si128(lacking, valid);
      missing = _mm_or_si128(missing, lacking);
    }
    __m128d e01, e23;
    groupErrors<decltype(masked)::value>(z, s01, s23, factor, valid, &e01, &e23);
    largest01 = _mm_max_pd(largest01, e01);
    largest23 = _mm_max_pd(largest23, e23);
    s01 = _mm_add_pd(s01, step);
    s23 = _mm_add_pd(s23, step);
  };
  group(first, std::true_type(), lanesWithin(from - first, first == last ? to - first : 3));
  for (std::int64_t g = first + 4; g < last; g += 4) group(g, std::false_type(), __m128i());
  if (last > first) group(last, std::true_type(), lanesWithin(0, to - last));
  if (kMayLackData && _mm_movemask_epi8(missing) != 0) *lacksData = true;
  return largestLane(largest01, largest23);
}
#endif

// A triangle's place in the queue when it is in none: waiting to be evaluated, or not.
constexpr std::int32_t kPending = -2;
constexpr std::int32_t kIdle = -1;

constexpr float kHoleError = std::numeric_limits<float>::infinity();

// Half-edge k of triangle t, from its corner k to the next, is 4 t + k: a shift and a mask
// take it apart. A block of kMaxTinCells cells makes fewer than 2^27 triangles.
std::int32_t edgeOf(std::int32_t t, int k) {
  return 4 * t + k;
}
std::int32_t triangleOf(std::int32_t e) {
  return e >> 2;
}
int sideOf(std::int32_t e) {
  return e & 3;
}
// The side after and the side before side k of a triangle.
constexpr int kNextSide[3] = {1, 2, 0};
constexpr int kPrevSide[3] = {2, 0, 1};
std::int32_t nextEdge(std::int32_t e) {
  return e - sideOf(e) + kNextSide[sideOf(e)];
}
std::int32_t prevEdge(std::int32_t e) {
  return e - sideOf(e) + kPrevSide[sideOf(e)];
}

// A triangle of the triangulation: its corners (vertex indices, counter-clockwise), the
// half-edge across each of its edges (edgeOf: 4 t + k for edge k of triangle t, from corner k to
// the next) or -1 on the block's edge, the cell to insert next or -1 within the tolerance,
// the worst error (kHoleError for a hole face) and its place in the queue. All of it in
// 36 bytes, so that a triangle reached at random costs one or two cache lines.
struct Triangle {
  std::int32_t corner[3];
  std::int32_t across[3];
  std::int32_t worst;
  float error;
  std::int32_t place;
};

// The triangles in blocks of 2^15 (1.1 MiB): growing never copies the triangles nor asks
// for more than one block at a time, and the blocks can go one by one as the surface is
// collected.
class TriangleStore {
 public:
  Triangle& operator[](std::int32_t t) { return block_[t >> kShift][t & kMask]; }
  const Triangle& operator[](std::int32_t t) const { return block_[t >> kShift][t & kMask]; }
  std::int32_t size() const { return size_; }
  std::int32_t add() {
    if ((size_ & kMask) == 0) {
      blocks_.emplace_back(new Triangle[kMask + 1]);
      block_[size_ >> kShift] = blocks_.back().get();
    }
    return size_++;
  }
  // Frees the block of triangle t, the last of its block.
  void releaseBlockOf(std::int32_t t) {
    blocks_[t >> kShift].reset();
    block_[t >> kShift] = nullptr;
  }

 private:
  static constexpr int kShift = 15;
  static constexpr std::int32_t kMask = (1 << kShift) - 1;
  std::vector<std::unique_ptr<Triangle[]>> blocks_;
  // The blocks' addresses in a table of the store's own, one read from a triangle's number.
  Triangle* block_[(1 << 27) >> kShift] = {};
  std::int32_t size_ = 0;
};

class Builder {
 public:
  Builder(const TinCells& cells, std::int64_t tolerance)
      : grid_(cells.row(0)),
        rowOffset_(cells.rowOffsets()),
        offset_(cells.columnOffsets()),
        cols_(cells.cols()),
        rows_(cells.rows()),
        tolerance_(tolerance) {
    while ((std::int64_t(1) << (rowShift_ - 32)) < cols_) ++rowShift_;
    rowFactor_ = ((std::uint64_t(1) << rowShift_) + static_cast<std::uint64_t>(cols_) - 1) /
                 static_cast<std::uint64_t>(cols_);
    tilesAcross_ = (cols_ + 3) / 4;
    tileRange_.assign(2 * static_cast<size_t>(tilesAcross_) * ((rows_ + 3) / 4), 0);
    // Tile by tile, each 16 cells in a row of memory (TinCells); a tile at the block's
    // edge holds cells beyond it, left out cell by cell.
    for (std::int32_t y = 0; y < rows_; y += 4) {
      std::int32_t* range = &tileRange_[2 * static_cast<size_t>(y >> 2) * tilesAcross_];
      for (std::int32_t x = 0; x < cols_; x += 4, range += 2) {
        const std::int32_t* tile = cells.row(y) + offset_[x];
        std::int32_t low = std::numeric_limits<std::int32_t>::max();
        std::int32_t high = std::numeric_limits<std::int32_t>::min();
        if (y + 4 <= rows_ && x + 4 <= cols_) {
          for (int i = 0; i < 16; ++i) {
            low = std::min(low, tile[i]);  // kTinNoData, the least int32, stays
            high = std::max(high, tile[i]);
          }
          if (holdsData(low)) {
            anyData_ = true;
            largestHeight_ = std::max(
                {largestHeight_, std::abs(std::int64_t(low)), std::abs(std::int64_t(high))});
            range[0] = low;
            range[1] = high;
            continue;
          }
          low = std::numeric_limits<std::int32_t>::max();
          high = std::numeric_limits<std::int32_t>::min();
        }
        for (std::int32_t r = 0; r < 4 && y + r < rows_; ++r) {
          for (std::int32_t c = 0; c < 4 && x + c < cols_; ++c) {
            const std::int32_t value = tile[4 * r + c];
            if (holdsData(value)) {
              anyData_ = true;
              largestHeight_ = std::max(largestHeight_, std::abs(static_cast<std::int64_t>(value)));
              high = std::max(high, value);
            } else {
              anyNoData_ = true;
            }
            low = std::min(low, value);
          }
        }
        range[0] = low;
        range[1] = high;
      }
    }
    exactDet_ = (std::int64_t(1) << 50) / (largestHeight_ + 1);
    pagesAcross_ = (cols_ + 31) / 32;
    pageRange_.assign(2 * static_cast<size_t>(pagesAcross_) * ((rows_ + 31) / 32), 0);
    for (std::int32_t ty = 0; ty < (rows_ + 3) / 4; ++ty) {
      for (std::int32_t tx = 0; tx < tilesAcross_; ++tx) {
        const std::int32_t* tile = &tileRange_[2 * (static_cast<size_t>(ty) * tilesAcross_ + tx)];
        std::int32_t* page =
            &pageRange_[2 * (static_cast<size_t>(ty >> 3) * pagesAcross_ + (tx >> 3))];
        if ((ty & 7) == 0 && (tx & 7) == 0) {
          page[0] = tile[0];
          page[1] = tile[1];
        } else {
          page[0] = std::min(page[0], tile[0]);
          page[1] = std::max(page[1], tile[1]);
        }
      }
    }
  }

  bool anyData() const { return anyData_; }
  void run();
  TinResult collect(TinSurface* surface);

 private:
  // A vertex is its cell's index in the block.
  std::int32_t addVertex(std::int32_t cell) {
    isVertex_[static_cast<std::uint32_t>(cell) >> 6] |= std::uint64_t(1) << (cell & 63);
    return cell;
  }
  std::int32_t rowOf(std::int32_t cell) const {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(cell) * rowFactor_) >> rowShift_);
  }
  std::int32_t colOf(std::int32_t cell) const { return cell - rowOf(cell) * cols_; }
  const std::int32_t* rowAt(std::int32_t y) const { return grid_ + rowOffset_[y]; }
  std::int32_t height(std::int32_t cell) const { return rowAt(rowOf(cell))[offset_[colOf(cell)]]; }
  std::int32_t addTriangle(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t ab,
                           std::int32_t bc, std::int32_t ca);
  void setTriangle(std::int32_t t, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t ab,
                   std::int32_t bc, std::int32_t ca);
  std::int32_t& cornerAt(std::int32_t e) { return tris_[triangleOf(e)].corner[sideOf(e)]; }
  std::int32_t& acrossAt(std::int32_t e) { return tris_[triangleOf(e)].across[sideOf(e)]; }
  void insert(std::int32_t t, std::int32_t cell);
  void legalize(std::int32_t edge);
  void evaluate(std::int32_t t);
  struct Plane {
    std::int64_t det, ds, b0, db, minY, maxY;
  };
  struct Worst {
    std::int64_t error = -1, cell = -1, cells = 0;
  };
  bool measureByTiles(const std::int64_t (&x)[3], const std::int64_t (&y)[3], const Plane& plane,
                      Worst* worst);
  template <bool kMayLackData, bool kReadAhead>
  void measureRows(const std::int64_t (&x)[3], const std::int64_t (&y)[3], const Plane& plane,
                   bool inDoubles, Worst* worst, bool* hole, std::int64_t* holeCell);
  void prefetch(std::int32_t t) const;

  // Calls visit(x, y, index) for each cell the closed triangle t covers.
  template <typename Visit>
  void scan(std::int32_t t, Visit visit) const;

  // The queue of the triangles beyond the tolerance, each entry holding its key so that the
  // moves stay within the queue. The entries lie in buckets by key, 32 to a doubling (the
  // float's exponent and first 5 bits of mantissa), the largest keys in the highest bucket
  // with an entry: that top bucket is a binary heap, with the largest error on top, and so is
  // any bucket that has been the top; the others are in no order until they become the top.
  // A triangle that changes while queued leaves a bucket in no order by a swap with its
  // last entry, and most pushes go to such a bucket, so that the queue's moves reach few
  // triangles' records.
  struct QueueEntry {
    float key;
    std::int32_t triangle;
  };
  using Heap = std::vector<QueueEntry>;
  struct Bucket {
    Heap entries;
    bool ordered = false;  // a heap, else in no order
  };
  static constexpr int kBucketShift = 23 - 5;
  static constexpr int kBuckets = (0x7F800000 >> kBucketShift) + 1;
  static int bucketOf(float key) {
    std::uint32_t bits;
    std::memcpy(&bits, &key, sizeof bits);
    return static_cast<int>(bits >> kBucketShift);
  }
  void queuePush(std::int32_t t);
  void queueRemove(std::int32_t t);
  std::int32_t queueTop() const { return top_ < 0 ? -1 : buckets_[top_].entries[0].triangle; }
  void lowerTop();
  void place(Heap& heap, std::int32_t i, QueueEntry entry) {
    heap[i] = entry;
    tris_[entry.triangle].place = i;
  }
  void siftUp(Heap& heap, std::int32_t i, QueueEntry entry);
  void siftDown(Heap& heap, std::int32_t i, QueueEntry entry);

  const std::int32_t* grid_;       // row 0
  const std::int32_t* rowOffset_;  // of each row from row 0
  const std::int32_t* offset_;     // of each column in a row
  std::int32_t cols_;
  // A cell's row, cell / cols_, as (cell rowFactor_) >> rowShift_: with rowShift_ = 32 +
  // ceil(log2 cols_) and rowFactor_ = ceil(2^rowShift_ / cols_) the quotient is exact for
  // every cell below 2^32, and the product of a cell (below 2^26) and the factor (at most
  // 2^33) stays below 2^59.
  std::uint64_t rowFactor_ = 0;
  int rowShift_ = 32;
  std::int32_t rows_;
  std::int64_t tolerance_;
  bool anyData_ = false;
  bool anyNoData_ = false;
  std::int64_t largestHeight_ = 0;  // the largest |z| of a cell with data
  std::int64_t exactDet_ = 0;       // the largest |det| with |det z| < 2^50 for every cell
  // The lowest and highest height of each tile of 4 x 4 cells, row after row of tiles; the
  // lowest is kTinNoData where a cell of the tile lacks data.
  std::vector<std::int32_t> tileRange_;
  std::int32_t tilesAcross_ = 0;
  // The same of each page of 32 x 32 cells.
  std::vector<std::int32_t> pageRange_;
  std::int32_t pagesAcross_ = 0;
  // A triangle's rows, from its first row (the rows' measure) or its first page's (the
  // tiles').
  std::vector<std::int32_t> spanFrom_, spanTo_;
  std::vector<std::int64_t> pageBound_;  // the bound of each page a triangle reaches

  std::vector<std::uint64_t> isVertex_;  // A bit per cell.
  TriangleStore tris_;
  std::vector<Bucket> buckets_ = std::vector<Bucket>(kBuckets);
  std::uint64_t nonEmpty_[(kBuckets + 63) / 64] = {};
  int top_ = -1;  // the highest bucket with an entry, always ordered
  std::vector<std::int32_t> pending_;
  std::vector<std::int32_t> flips_;
};

std::int32_t Builder::addTriangle(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t ab,
                                  std::int32_t bc, std::int32_t ca) {
  const std::int32_t t = tris_.add();
  tris_[t] = Triangle{{0, 0, 0}, {-1, -1, -1}, -1, 0.0f, kIdle};
  setTriangle(t, a, b, c, ab, bc, ca);
  return t;
}

// Sets t's corners and the half-edges across its edges, links those back to t and has t
// evaluated again: out of the queue, into the pending ones.
void Builder::setTriangle(std::int32_t t, std::int32_t a, std::int32_t b, std::int32_t c,
                          std::int32_t ab, std::int32_t bc, std::int32_t ca) {
  Triangle& triangle = tris_[t];
  triangle.corner[0] = a;
  triangle.corner[1] = b;
  triangle.corner[2] = c;
  triangle.across[0] = ab;
  triangle.across[1] = bc;
  triangle.across[2] = ca;
  for (int k = 0; k < 3; ++k) {
    const std::int32_t f = triangle.across[k];
    if (f >= 0) acrossAt(f) = edgeOf(t, k);
  }
  if (triangle.place >= 0) queueRemove(t);
  if (triangle.place == kPending) return;
  triangle.place = kPending;
  pending_.push_back(t);
}

void Builder::run() {
  const std::int32_t x1 = cols_ - 1;
  const std::int32_t y1 = rows_ - 1;
  isVertex_.assign((static_cast<size_t>(cols_) * rows_ + 63) / 64, 0);
  const std::int32_t p0 = addVertex(0);
  const std::int32_t p1 = addVertex(x1);
  const std::int32_t p2 = addVertex(y1 * cols_);
  const std::int32_t p3 = addVertex(y1 * cols_ + x1);
  const std::int32_t t0 = addTriangle(p3, p0, p2, -1, -1, -1);
  addTriangle(p0, p3, p1, edgeOf(t0, 0), -1, -1);
  for (;;) {
    // The changed triangles' corner cells are asked for together, so that their reads
    // overlap.
    for (const std::int32_t t : pending_) {
      for (const std::int32_t corner : tris_[t].corner)
        __builtin_prefetch(&rowAt(rowOf(corner))[offset_[colOf(corner)]]);
    }
    for (const std::int32_t t : pending_) {
      tris_[t].place = kIdle;
      evaluate(t);
      if (tris_[t].worst >= 0) queuePush(t);
    }
    pending_.clear();
    const std::int32_t top = queueTop();
    if (top < 0) break;
    queueRemove(top);
    // The next one on top is most likely the next to split: its rows are asked for now, to
    // arrive while this one is split.
    if (queueTop() >= 0) prefetch(queueTop());
    insert(top, tris_[top].worst);
  }
}

// Asks for the cells of t's rows ahead of its evaluation, so that the reads of the changed
// triangles' rows overlap. The rows of a small triangle lie far apart in the block.
void Builder::prefetch(std::int32_t t) const {
  const std::int32_t* v = tris_[t].corner;
  const std::int32_t xa = colOf(v[0]), xb = colOf(v[1]), xc = colOf(v[2]);
  const std::int32_t ya = rowOf(v[0]), yb = rowOf(v[1]), yc = rowOf(v[2]);
  const std::int32_t minX = std::min(xa, std::min(xb, xc)), maxX = std::max(xa, std::max(xb, xc));
  const std::int32_t minY = std::min(ya, std::min(yb, yc)), maxY = std::max(ya, std::max(yb, yc));
  if (maxY - minY > 64 || maxX - minX > 64) return;  // a large one reads on by itself
  for (std::int32_t y = minY; y <= maxY; ++y) {
    const std::int32_t* row = rowAt(y);
    __builtin_prefetch(row + offset_[minX]);
    __builtin_prefetch(row + offset_[maxX]);
  }
}

template <typename Visit>
void Builder::scan(std::int32_t t, Visit visit) const {
  const std::int32_t* v = tris_[t].corner;
  const std::int64_t x[3] = {colOf(v[0]), colOf(v[1]), colOf(v[2])};
  const std::int64_t y[3] = {rowOf(v[0]), rowOf(v[1]), rowOf(v[2])};
  triangleRows(x, y, [&](std::int64_t row, std::int64_t from, std::int64_t to) {
    for (std::int64_t col = from; col <= to; ++col) visit(col, row, row * cols_ + col);
  });
}

void Builder::evaluate(std::int32_t t) {
  const std::int32_t* v = tris_[t].corner;
  const std::int64_t x[3] = {colOf(v[0]), colOf(v[1]), colOf(v[2])};
  const std::int64_t y[3] = {rowOf(v[0]), rowOf(v[1]), rowOf(v[2])};
  std::int64_t z[3];
  std::int64_t corner[3];
  bool hole = false;
  std::int64_t holeCell = -1;
  std::int64_t dataCorners = 0;
  for (int k = 0; k < 3; ++k) {
    corner[k] = y[k] * cols_ + x[k];
    const std::int32_t value = rowAt(static_cast<std::int32_t>(y[k]))[offset_[x[k]]];
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
  const std::int64_t maxY = std::max(y[0], std::max(y[1], y[2]));
  std::int64_t ds = 0, b0 = 0, db = 0;
  for (int k = 0; k < 3; ++k) {
    const int p = (k + 1) % 3, e = (k + 2) % 3;
    ds += (y[p] - y[e]) * z[k];
    b0 += ((x[e] - x[p]) * (minY - y[p]) + (y[e] - y[p]) * x[p]) * z[k];
    db += (x[e] - x[p]) * z[k];
  }
  const std::int64_t minX = std::min(x[0], std::min(x[1], x[2]));
  const std::int64_t maxX = std::max(x[0], std::max(x[1], x[2]));
  // A small triangle's tiles are asked for together, so that their reads overlap; a larger
  // one's rows are asked for ahead as it goes.
  const bool small = maxX - minX <= 32 && maxY - minY <= 32;
  if (maxX - minX <= 8 && maxY - minY <= 8) {
    const std::int64_t midX = std::min(minX + 4, maxX), midY = std::min(minY + 4, maxY);
    for (const std::int64_t row : {minY, midY, maxY}) {
      const std::int32_t* cells = rowAt(static_cast<std::int32_t>(row));
      __builtin_prefetch(cells + offset_[minX]);
      __builtin_prefetch(cells + offset_[midX]);
      __builtin_prefetch(cells + offset_[maxX]);
    }
  } else if (small) {
    for (std::int64_t row = minY & ~std::int64_t(3); row <= maxY; row += 4) {
      const std::int32_t* cells = rowAt(static_cast<std::int32_t>(row));
      for (std::int64_t col = minX & ~std::int64_t(3); col <= maxX; col += 4)
        __builtin_prefetch(cells + offset_[col]);
    }
  }
  const Plane plane{det, ds, b0, db, minY, maxY};
#if defined(__SSE2__)
  // Doubles hold every value of a row's four-cell groups exactly while |det z| < 2^50 for
  // every cell with data and |ds| <= 2^49: s at a cell of the triangle is a sum of w z with
  // sum |w| = |det|, so below 2^50 as well, and on the up to 3 columns beside the row that
  // its first and last groups reach, s stays below 2^52.
  const bool exactInDoubles =
      -det <= exactDet_ && ds <= (std::int64_t(1) << 49) && -ds <= (std::int64_t(1) << 49);
  // A triangle whose box holds this many cells is measured by its pages and tiles, whose
  // lanes, like a row's, lie within 3 columns of a cell of the triangle in the same row.
  constexpr std::int64_t kTiledCells = 4096;
  Worst measured;
  const bool byTiles = (maxX - minX + 1) * (maxY - minY + 1) >= kTiledCells && exactInDoubles &&
                       measureByTiles(x, y, plane, &measured);
#else
  const bool exactInDoubles = false;
  Worst measured;
  const bool byTiles = false;
#endif
  if (!byTiles) {
    const auto measure = [&](auto mayLackData, auto readAhead) {
      measureRows<decltype(mayLackData)::value, decltype(readAhead)::value>(
          x, y, plane, exactInDoubles, &measured, &hole, &holeCell);
    };
    if (anyNoData_) {
      small ? measure(std::true_type(), std::false_type())
            : measure(std::true_type(), std::true_type());
    } else {
      small ? measure(std::false_type(), std::false_type())
            : measure(std::false_type(), std::true_type());
    }
  }
  const std::int64_t worstError = measured.error, worstCell = measured.cell;
  const std::int64_t dataCells = measured.cells;
  if (dataCells == dataCorners) {  // no data cell but the corners
    tris_[t].worst = -1;
    tris_[t].error = hole ? kHoleError : 0.0f;
    return;
  }
  if (!hole) {
    tris_[t].error = roundUp(static_cast<double>(worstError) / static_cast<double>(-det));
    tris_[t].worst = worstError > tolerance_ * -det ? static_cast<std::int32_t>(worstCell) : -1;
    return;
  }
  // A hole face closes in on its hole: the data cell nearest to a cell without data.
  const std::int64_t hx = holeCell % cols_, hy = holeCell / cols_;
  std::int64_t nearest = -1, best = std::numeric_limits<std::int64_t>::max();
  scan(t, [&](std::int64_t col, std::int64_t row, std::int64_t index) {
    if (index == corner[0] || index == corner[1] || index == corner[2]) return;
    if (!holdsData(height(static_cast<std::int32_t>(index)))) return;
    const std::int64_t d = (col - hx) * (col - hx) + (row - hy) * (row - hy);
    if (d < best) {
      best = d;
      nearest = index;
    }
  });
  tris_[t].worst = static_cast<std::int32_t>(nearest);
  tris_[t].error = kHoleError;
}

// Measures the triangle row by row: its data cells, the largest |s - det z| and the first
// cell of it, in rows from north to south and columns from west to east. With kMayLackData,
// a cell without data is left out and sets *hole and *holeCell. A row of kLongRow cells or
// more goes four cells at a time in SSE2 doubles where inDoubles (evaluate) holds, a shorter
// one one cell at a time in integers. The spans come first, so that the measure keeps its
// state in registers. With kReadAhead the rows below are asked for as it goes; a small
// triangle's have been asked for as its evaluation began.
template <bool kMayLackData, bool kReadAhead>
void Builder::measureRows(const std::int64_t (&x)[3], const std::int64_t (&y)[3],
                          const Plane& plane, bool inDoubles, Worst* worst, bool* hole,
                          std::int64_t* holeCell) {
  const auto count = static_cast<size_t>(plane.maxY - plane.minY + 1);
  if (spanFrom_.size() < count) {
    spanFrom_.resize(count);
    spanTo_.resize(count);
  }
  std::int32_t* const spanFrom = spanFrom_.data();
  std::int32_t* const spanTo = spanTo_.data();
  const std::int64_t minY = plane.minY;
  triangleRows(x, y, [&](std::int64_t row, std::int64_t from, std::int64_t to) {
    spanFrom[row - minY] = static_cast<std::int32_t>(from);
    spanTo[row - minY] = static_cast<std::int32_t>(to);
  });
  const std::int32_t* const grid = grid_;
  const std::int32_t* const rowOffset = rowOffset_;
  const std::int32_t* const offset = offset_;
  const std::int64_t cols = cols_, det = plane.det, ds = plane.ds, last = plane.maxY - minY;
  constexpr std::int64_t kAhead = 3;
#if defined(__SSE2__)
  constexpr std::int64_t kLongRow = 9;
#else
  (void)inDoubles;
#endif
  std::int64_t worstError = -1, worstCell = -1, cells = 0;
  std::int64_t s0 = plane.b0;  // s at column 0 of the row
  for (std::int64_t i = 0; i <= last; ++i, s0 += plane.db) {
    const std::int64_t from = spanFrom[i], to = spanTo[i];
    if (from > to) continue;
    const std::int64_t row = minY + i;
    const std::int32_t* const values = grid + rowOffset[row];
    // Unless the evaluation has asked for them all, the rows below are asked for ahead, so
    // that their reads overlap this row's work (the last row again near the end: no branch).
    if (kReadAhead) {
      const std::int32_t* ahead = grid + rowOffset[std::min(i + kAhead, last) + minY];
      __builtin_prefetch(ahead + offset[from]);
      __builtin_prefetch(ahead + offset[to]);
    }
    cells += to - from + 1;
#if defined(__SSE2__)
    if (inDoubles && to - from + 1 >= kLongRow) {
      bool lacksData = false;
      const double largest = rowLargest<kMayLackData>(values, offset, from, to, s0, ds,
                                                      static_cast<double>(det), &lacksData);
      if (!lacksData) {
        if (largest > static_cast<double>(worstError)) {
          // The first cell of the row's largest error, found again in integers.
          const auto target = static_cast<std::int64_t>(largest);
          std::int64_t col = from, s = from * ds + s0;
          for (;; ++col, s += ds) {
            const std::int64_t error = s - det * values[offset[col]];
            if (error == target || error == -target) break;
          }
          worstError = target;
          worstCell = row * cols + col;
        }
        continue;
      }
    }
#endif
    // The cells one at a time, in integers.
    std::int64_t at = -1;
    std::int64_t s = from * ds + s0;
    for (std::int64_t col = from; col <= to; ++col, s += ds) {
      const std::int32_t value = values[offset[col]];
      if (kMayLackData && !holdsData(value)) {
        *hole = true;
        *holeCell = row * cols + col;
        --cells;
        continue;
      }
      std::int64_t error = s - det * value;
      error = error < 0 ? -error : error;
      const bool larger = error > worstError;  // no branch: it goes either way
      at = larger ? col : at;
      worstError = larger ? error : worstError;
    }
    // No branch: it goes either way.
    const std::int64_t kept = -static_cast<std::int64_t>(at < 0);
    worstCell = (worstCell & kept) | ((row * cols + at) & ~kept);
  }
  worst->error = worstError;
  worst->cell = worstCell;
  worst->cells = cells;
}

#if defined(__SSE2__)
// Measures a large triangle by its pages of 32 x 32 cells and their tiles of 4 x 4: each
// has a bound on its errors, from its lowest and highest height and the plane's range over
// it, and a page or tile whose bound is below the worst error found so far is not read. The
// page of the largest bound goes first and, in it, the tile of the largest bound, so that
// the worst found early is near the triangle's worst. The result is the row scan's: the
// largest error and, of the cells that have it, the first. False, with *worst untouched,
// where a tile the triangle reaches lacks data.
bool Builder::measureByTiles(const std::int64_t (&x)[3], const std::int64_t (&y)[3],
                             const Plane& plane, Worst* worst) {
  const std::int64_t firstRow = plane.minY & ~std::int64_t(31), lastRow = plane.maxY | 31;
  const auto spanRows = static_cast<size_t>(lastRow - firstRow + 1);
  if (spanFrom_.size() < spanRows) {
    spanFrom_.resize(spanRows);
    spanTo_.resize(spanRows);
  }
  std::fill_n(spanFrom_.begin(), spanRows, std::numeric_limits<std::int32_t>::max());
  std::fill_n(spanTo_.begin(), spanRows, -1);
  std::int64_t cells = 0;
  triangleRows(x, y, [&](std::int64_t row, std::int64_t from, std::int64_t to) {
    spanFrom_[static_cast<size_t>(row - firstRow)] = static_cast<std::int32_t>(from);
    spanTo_[static_cast<size_t>(row - firstRow)] = static_cast<std::int32_t>(to);
    cells += to - from + 1;
  });
  const std::int64_t ds = plane.ds, db = plane.db, factor = -plane.det;
  // Calls visit(index, first row, first column, s there) for each square of size cells a
  // side, in rows top..bottom and columns low..high, that a row of the triangle reaches, in
  // the same order every time, while visit returns true.
  const auto squares = [&](std::int64_t size, std::int64_t top, std::int64_t bottom,
                           std::int64_t low, std::int64_t high, auto visit) {
    std::int64_t index = 0;
    for (std::int64_t sy = top; sy <= bottom; sy += size) {
      const auto i = static_cast<size_t>(sy - firstRow);
      std::int64_t from = std::numeric_limits<std::int64_t>::max(), to = -1;
      for (size_t r = i; r < i + static_cast<size_t>(size); ++r) {
        if (spanFrom_[r] > spanTo_[r]) continue;
        from = std::min<std::int64_t>(from, spanFrom_[r]);
        to = std::max<std::int64_t>(to, spanTo_[r]);
      }
      from = std::max(from, low);
      to = std::min(to, high);
      if (from > to) continue;
      const std::int64_t sx0 = from & ~(size - 1);
      std::int64_t s = plane.b0 + (sy - plane.minY) * db + sx0 * ds;
      for (std::int64_t sx = sx0; sx <= to; sx += size, s += size * ds) {
        if (!visit(index++, sy, sx, s)) return false;
      }
    }
    return true;
  };
  // The bound of a square from its range of heights and s at its first cell.
  const auto bound = [&](std::int64_t size, const std::int32_t* range, std::int64_t s) {
    const std::int64_t reach = size - 1;
    const std::int64_t low = s + std::min<std::int64_t>(reach * ds, 0) +
                             std::min<std::int64_t>(reach * db, 0) + factor * range[0];
    const std::int64_t high = s + std::max<std::int64_t>(reach * ds, 0) +
                              std::max<std::int64_t>(reach * db, 0) + factor * range[1];
    return std::max(low < 0 ? -low : low, high < 0 ? -high : high);
  };
  const auto pageRange = [&](std::int64_t py, std::int64_t px) {
    return &pageRange_[2 * (static_cast<size_t>(py >> 5) * pagesAcross_ +
                            static_cast<size_t>(px >> 5))];
  };
  const auto tileRange = [&](std::int64_t ty, std::int64_t tx) {
    return &tileRange_[2 * (static_cast<size_t>(ty >> 2) * tilesAcross_ +
                            static_cast<size_t>(tx >> 2))];
  };
  pageBound_.clear();
  std::int64_t seedPage = -1, seedBound = -1;
  const bool allData =
      squares(32, firstRow, lastRow, 0, cols_ - 1,
              [&](std::int64_t index, std::int64_t py, std::int64_t px, std::int64_t s) {
                const std::int32_t* range = pageRange(py, px);
                const std::int64_t b = bound(32, range, s);
                pageBound_.push_back(b);
                if (b > seedBound) {
                  seedBound = b;
                  seedPage = index;
                }
                return range[0] != kTinNoData;
              });
  if (!allData) {
    // A page that lacks data may still hold only data in the tiles the triangle reaches.
    const bool tilesHoldData =
        squares(32, firstRow, lastRow, 0, cols_ - 1,
                [&](std::int64_t, std::int64_t py, std::int64_t px, std::int64_t) {
                  if (pageRange(py, px)[0] != kTinNoData) return true;
                  return squares(4, py, py + 31, px, px + 31,
                                 [&](std::int64_t, std::int64_t ty, std::int64_t tx, std::int64_t) {
                                   return tileRange(ty, tx)[0] != kTinNoData;
                                 });
                });
    if (!tilesHoldData) return false;
  }
  const __m128d det = _mm_set1_pd(static_cast<double>(plane.det));
  const __m128d lanes01 = _mm_set_pd(static_cast<double>(ds), 0.0);
  const __m128d lanes23 = _mm_set_pd(static_cast<double>(3 * ds), static_cast<double>(2 * ds));
  std::int64_t worstError = -1, worstCell = -1;
  // The largest error of the tile's cells in the triangle and the first cell of it, kept
  // where it beats the worst so far.
  const auto measureTile = [&](std::int64_t ty, std::int64_t tx, std::int64_t s) {
    const std::int32_t* tile = rowAt(static_cast<std::int32_t>(ty)) + offset_[tx];
    const auto i = static_cast<size_t>(ty - firstRow);
    __m128d largest01 = _mm_setzero_pd(), largest23 = _mm_setzero_pd();
    bool any = false;
    for (int r = 0; r < 4; ++r) {
      const std::int64_t from = std::max<std::int64_t>(spanFrom_[i + r] - tx, 0);
      const std::int64_t to = std::min<std::int64_t>(spanTo_[i + r] - tx, 3);
      if (from > to) continue;
      any = true;
      const __m128d sr = _mm_set1_pd(static_cast<double>(s + r * db));
      const __m128i z = _mm_load_si128(reinterpret_cast<const __m128i*>(tile + 4 * r));
      const __m128d s01 = _mm_add_pd(sr, lanes01), s23 = _mm_add_pd(sr, lanes23);
      __m128d e01, e23;
      if (from > 0 || to < 3) {
        groupErrors<true>(z, s01, s23, det, lanesWithin(from, to), &e01, &e23);
      } else {
        groupErrors<false>(z, s01, s23, det, __m128i(), &e01, &e23);
      }
      largest01 = _mm_max_pd(largest01, e01);
      largest23 = _mm_max_pd(largest23, e23);
    }
    if (!any) return;
    const auto largest = static_cast<std::int64_t>(largestLane(largest01, largest23));
    if (largest < worstError) return;
    for (int r = 0; r < 4; ++r) {
      const std::int64_t from = std::max<std::int64_t>(spanFrom_[i + r], tx);
      const std::int64_t to = std::min<std::int64_t>(spanTo_[i + r], tx + 3);
      for (std::int64_t col = from; col <= to; ++col) {
        const std::int64_t error = s + r * db + (col - tx) * ds + factor * tile[4 * r + col - tx];
        if (error != largest && error != -largest) continue;
        const std::int64_t cell = (ty + r) * cols_ + col;
        if (largest > worstError || cell < worstCell) {
          worstError = largest;
          worstCell = cell;
        }
        return;
      }
    }
  };
  // The tiles of a page that the triangle reaches, but for tile `skip`, each whose bound is
  // not below the worst so far.
  const auto measurePage = [&](std::int64_t py, std::int64_t px, std::int64_t skip) {
    squares(4, py, py + 31, px, px + 31,
            [&](std::int64_t index, std::int64_t ty, std::int64_t tx, std::int64_t s) {
              if (index != skip && bound(4, tileRange(ty, tx), s) >= worstError)
                measureTile(ty, tx, s);
              return true;
            });
  };
  // The seed: the tile of the largest bound in the page of the largest bound.
  squares(32, firstRow, lastRow, 0, cols_ - 1,
          [&](std::int64_t index, std::int64_t py, std::int64_t px, std::int64_t) {
            if (index < seedPage) return true;
            std::int64_t seedTile = -1, tileBound = -1, seedY = 0, seedX = 0, seedS = 0;
            squares(4, py, py + 31, px, px + 31,
                    [&](std::int64_t tile, std::int64_t ty, std::int64_t tx, std::int64_t s) {
                      const std::int64_t b = bound(4, tileRange(ty, tx), s);
                      if (b > tileBound) {
                        tileBound = b;
                        seedTile = tile;
                        seedY = ty;
                        seedX = tx;
                        seedS = s;
                      }
                      return true;
                    });
            if (seedTile >= 0) measureTile(seedY, seedX, seedS);
            measurePage(py, px, seedTile);
            return false;
          });
  squares(32, firstRow, lastRow, 0, cols_ - 1,
          [&](std::int64_t index, std::int64_t py, std::int64_t px, std::int64_t) {
            if (index != seedPage && pageBound_[static_cast<size_t>(index)] >= worstError)
              measurePage(py, px, -1);
            return true;
          });
  worst->error = worstError;
  worst->cell = worstCell;
  worst->cells = cells;
  return true;
}
#endif

void Builder::insert(std::int32_t t, std::int32_t cell) {
  const std::int32_t px = colOf(cell), py = rowOf(cell);
  std::int32_t onEdge = -1;
  for (int k = 0; k < 3; ++k) {
    const std::int32_t e = edgeOf(t, k);
    const std::int32_t a = cornerAt(e), b = cornerAt(nextEdge(e));
    if (orient(colOf(a), rowOf(a), colOf(b), rowOf(b), px, py) == 0) {
      onEdge = e;
      break;
    }
  }
  const std::int32_t n = addVertex(cell);
  if (onEdge < 0) {
    const std::int32_t e = edgeOf(t, 0);
    const std::int32_t a = cornerAt(e), b = cornerAt(e + 1), c = cornerAt(e + 2);
    const std::int32_t hab = acrossAt(e), hbc = acrossAt(e + 1), hca = acrossAt(e + 2);
    setTriangle(t, a, b, n, hab, -1, -1);
    const std::int32_t t1 = addTriangle(b, c, n, hbc, -1, edgeOf(t, 1));
    const std::int32_t t2 = addTriangle(c, a, n, hca, edgeOf(t, 2), edgeOf(t1, 1));
    legalize(edgeOf(t, 0));
    legalize(edgeOf(t1, 0));
    legalize(edgeOf(t2, 0));
    return;
  }
  // The cell splits the edge a -> b of t (c opposite) and, inside the block, the edge
  // b -> a of the triangle u beside it (d opposite).
  const std::int32_t e = onEdge;
  const std::int32_t a = cornerAt(e), b = cornerAt(nextEdge(e)), c = cornerAt(prevEdge(e));
  const std::int32_t hbc = acrossAt(nextEdge(e)), hca = acrossAt(prevEdge(e));
  const std::int32_t f = acrossAt(e);
  setTriangle(t, c, a, n, hca, -1, -1);
  const std::int32_t t1 = addTriangle(b, c, n, hbc, edgeOf(t, 2), -1);
  if (f < 0) {
    legalize(edgeOf(t, 0));
    legalize(edgeOf(t1, 0));
    return;
  }
  const std::int32_t u = triangleOf(f);
  const std::int32_t d = cornerAt(prevEdge(f));
  const std::int32_t had = acrossAt(nextEdge(f)), hdb = acrossAt(prevEdge(f));
  setTriangle(u, d, b, n, hdb, edgeOf(t1, 2), -1);
  const std::int32_t u1 = addTriangle(a, d, n, had, edgeOf(u, 2), edgeOf(t, 1));
  legalize(edgeOf(t, 0));
  legalize(edgeOf(t1, 0));
  legalize(edgeOf(u, 0));
  legalize(edgeOf(u1, 0));
}

// Restores the Delaunay property across the given edge, opposite the new vertex, flipping it
// and then the two edges it exposes while the vertex across lies strictly inside the
// circumcircle (cocircular points keep the edge).
void Builder::legalize(std::int32_t edge) {
  flips_.push_back(edge);
  while (!flips_.empty()) {
    const std::int32_t e = flips_.back();
    flips_.pop_back();
    // Each record is reached once: t's edge k (from a to b, n opposite), u's edge j across.
    const std::int32_t t = triangleOf(e);
    const int k = sideOf(e);
    const Triangle& tt = tris_[t];
    const std::int32_t f = tt.across[k];
    if (f < 0) continue;
    const std::int32_t u = triangleOf(f);
    const int j = sideOf(f);
    const Triangle& uu = tris_[u];
    const std::int32_t a = tt.corner[k], b = tt.corner[kNextSide[k]], n = tt.corner[kPrevSide[k]];
    const std::int32_t d = uu.corner[kPrevSide[j]];
    const std::int64_t ax = colOf(a), ay = rowOf(a);
    const std::int64_t bx = colOf(b), by = rowOf(b);
    const std::int64_t nx = colOf(n), ny = rowOf(n);
    const std::int64_t dx = colOf(d), dy = rowOf(d);
    const std::int64_t adx = ax - dx, ady = ay - dy, bdx = bx - dx, bdy = by - dy;
    const std::int64_t ndx = nx - dx, ndy = ny - dy;
    // (a, b, n) turns clockwise in (x, y): d lies inside its circle when this is negative.
    const std::int64_t inCircle = (adx * adx + ady * ady) * (bdx * ndy - ndx * bdy) +
                                  (bdx * bdx + bdy * bdy) * (ndx * ady - adx * ndy) +
                                  (ndx * ndx + ndy * ndy) * (adx * bdy - bdx * ady);
    if (inCircle >= 0) continue;
    // d becomes a corner of both triangles, to be evaluated once the flips are done.
    __builtin_prefetch(rowAt(static_cast<std::int32_t>(dy)) + offset_[dx]);
    const std::int32_t hna = tt.across[kPrevSide[k]], hbn = tt.across[kNextSide[k]];
    const std::int32_t had = uu.across[kNextSide[j]], hdb = uu.across[kPrevSide[j]];
    setTriangle(t, n, a, d, hna, had, -1);
    setTriangle(u, d, b, n, hdb, hbn, edgeOf(t, 2));
    flips_.push_back(edgeOf(t, 1));
    flips_.push_back(edgeOf(u, 0));
  }
}

void Builder::queuePush(std::int32_t t) {
  const QueueEntry entry{tris_[t].error, t};
  const int b = bucketOf(entry.key);
  Bucket& bucket = buckets_[b];
  nonEmpty_[b >> 6] |= std::uint64_t(1) << (b & 63);
  if (b > top_) {
    top_ = b;
    bucket.ordered = true;
  }
  bucket.entries.push_back(entry);
  const auto last = static_cast<std::int32_t>(bucket.entries.size()) - 1;
  if (bucket.ordered) {
    siftUp(bucket.entries, last, entry);
  } else {
    tris_[t].place = last;
  }
}

void Builder::queueRemove(std::int32_t t) {
  const std::int32_t i = tris_[t].place;
  tris_[t].place = kIdle;
  const int b = bucketOf(tris_[t].error);
  Bucket& bucket = buckets_[b];
  Heap& heap = bucket.entries;
  const QueueEntry last = heap.back();
  heap.pop_back();
  if (i != static_cast<std::int32_t>(heap.size())) {
    if (!bucket.ordered) {
      place(heap, i, last);
    } else if (i > 0 && heap[(i - 1) / 2].key < last.key) {
      siftUp(heap, i, last);
    } else {
      siftDown(heap, i, last);
    }
  }
  if (heap.empty()) {
    bucket.ordered = false;
    nonEmpty_[b >> 6] &= ~(std::uint64_t(1) << (b & 63));
    if (b == top_) lowerTop();
  }
}

// The top bucket has emptied: the next below with an entry is ordered and becomes the top.
void Builder::lowerTop() {
  int w = top_ >> 6;
  std::uint64_t bits = nonEmpty_[w] & ((std::uint64_t(1) << (top_ & 63)) - 1);
  while (bits == 0 && w > 0) bits = nonEmpty_[--w];
  if (bits == 0) {
    top_ = -1;
    return;
  }
  top_ = 64 * w + 63 - __builtin_clzll(bits);
  Bucket& bucket = buckets_[top_];
  if (bucket.ordered) return;
  bucket.ordered = true;
  Heap& heap = bucket.entries;
  for (auto i = static_cast<std::int32_t>(heap.size()) / 2 - 1; i >= 0; --i)
    siftDown(heap, i, heap[i]);
}

// Moves the entry from place i towards the top until its parent is no smaller.
void Builder::siftUp(Heap& heap, std::int32_t i, QueueEntry entry) {
  while (i > 0) {
    const std::int32_t parent = (i - 1) / 2;
    if (!(heap[parent].key < entry.key)) break;
    place(heap, i, heap[parent]);
    i = parent;
  }
  place(heap, i, entry);
}

// Moves the entry from place i down until no child is larger.
void Builder::siftDown(Heap& heap, std::int32_t i, QueueEntry entry) {
  const auto size = static_cast<std::int32_t>(heap.size());
  for (;;) {
    const std::int32_t left = 2 * i + 1;
    if (left >= size) break;
    std::int32_t child = left;
    if (left + 1 < size && heap[left].key < heap[left + 1].key) child = left + 1;
    if (!(entry.key < heap[child].key)) break;
    place(heap, i, heap[child]);
    i = child;
  }
  place(heap, i, entry);
}

TinResult Builder::collect(TinSurface* surface) {
  // What only the insertion needs goes first, to make room for the surface.
  for (std::vector<std::int32_t>* done : {&pending_, &flips_})
    std::vector<std::int32_t>().swap(*done);
  std::vector<Bucket>().swap(buckets_);
  // The vertices in the order of their cells; a vertex's number is the count of vertex
  // cells with data before it. A corner cell of the block without data, the only vertex
  // that may lack data, is no vertex of the surface.
  for (const std::int32_t corner : {0, cols_ - 1, (rows_ - 1) * cols_, rows_ * cols_ - 1}) {
    if (!holdsData(height(corner))) {
      isVertex_[static_cast<std::uint32_t>(corner) >> 6] &= ~(std::uint64_t(1) << (corner & 63));
    }
  }
  std::vector<std::int32_t> before(isVertex_.size());
  std::int32_t vertexCount = 0;
  for (size_t w = 0; w < isVertex_.size(); ++w) {
    before[w] = vertexCount;
    vertexCount += bitCount(isVertex_[w]);
  }
  surface->vertices.reserve(static_cast<size_t>(vertexCount));
  for (size_t w = 0; w < isVertex_.size(); ++w) {
    for (std::uint64_t bits = isVertex_[w]; bits != 0; bits &= bits - 1) {
      const auto cell =
          static_cast<std::int32_t>(64 * w + static_cast<size_t>(__builtin_ctzll(bits)));
      surface->vertices.push_back(TinVertex{rowOf(cell), colOf(cell), height(cell)});
    }
  }
  const auto number = [&](std::int32_t cell) {
    const std::uint32_t w = static_cast<std::uint32_t>(cell) >> 6;
    const std::uint64_t below = isVertex_[w] & ((std::uint64_t(1) << (cell & 63)) - 1);
    return before[w] + bitCount(below);
  };
  const std::int32_t triangleCount = tris_.size();
  std::int32_t kept = 0;
  for (std::int32_t t = 0; t < triangleCount; ++t) kept += tris_[t].error != kHoleError;
  surface->faces.reserve(static_cast<size_t>(kept));
  // The faces take the place of the triangles, block by block.
  double maxError = 0.0;
  for (std::int32_t t = 0; t < triangleCount; ++t) {
    const Triangle& triangle = tris_[t];
    if (triangle.error != kHoleError) {
      const std::int32_t* v = triangle.corner;
      surface->faces.push_back(TinFace{number(v[0]), number(v[1]), number(v[2])});
      maxError = std::max(maxError, static_cast<double>(triangle.error));
    }
    if (((t + 1) & 32767) == 0 || t + 1 == triangleCount) tris_.releaseBlockOf(t);
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
  TinCells tiled;
  if (!tiled.allocate(cols, rows)) return TinResult::OutOfMemory;
  for (std::int32_t row = 0; row < rows; ++row)
    tiled.setRow(row, cells + static_cast<std::int64_t>(row) * cols);
  return buildTin(tiled, tolerance, surface);
}

TinResult buildTin(const TinCells& cells, std::int64_t tolerance, TinSurface* surface) {
  surface->vertices.clear();
  surface->faces.clear();
  surface->maxError = 0.0;
  const std::int32_t cols = cells.cols(), rows = cells.rows();
  if (!tinBlockFits(cols, rows)) return TinResult::TooLarge;
  if (tolerance < 0 || tolerance > kMaxTinTolerance) return TinResult::BadTolerance;
  try {
    if (cols < 2 || rows < 2) {
      for (std::int32_t row = 0; row < rows; ++row) {
        for (std::int32_t col = 0; col < cols; ++col) {
          const std::int32_t value = cells.at(col, row);
          if (holdsData(value)) surface->vertices.push_back(TinVertex{row, col, value});
        }
      }
      return surface->vertices.empty() ? TinResult::NoData : TinResult::NoFace;
    }
    Builder builder(cells, tolerance);
    if (!builder.anyData()) return TinResult::NoData;
    builder.run();
    return builder.collect(surface);
  } catch (const std::bad_alloc&) {
    surface->vertices.clear();
    surface->faces.clear();
    return TinResult::OutOfMemory;
  }
}

}  // namespace ned
