#include "core/export/contours.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ned {

namespace {

constexpr double kLevelTolerance = 1e-6;

// The sides of a square: the east edge of the upper row, the south edge of the left
// column, the east edge of the lower row, the south edge of the right column.
enum Side { kTop = 0, kLeft = 1, kBottom = 2, kRight = 3 };

// The segments of each case, corners numbered as squareCase does: from side, to side,
// twice for the saddles. Both saddles pair the left crossing with the lower one and the
// right crossing with the upper one, so that lines of neighbouring levels never cross.
struct CaseSegments {
  int count;
  int sides[4];
};

constexpr CaseSegments kCaseSegments[16] = {
    {0, {}},                              // 0: all below
    {1, {kTop, kLeft}},                   // 1: upper left
    {1, {kLeft, kBottom}},                // 2: lower left
    {1, {kTop, kBottom}},                 // 3: left column
    {1, {kBottom, kRight}},               // 4: lower right
    {2, {kLeft, kBottom, kRight, kTop}},  // 5: saddle, upper left and lower right
    {1, {kLeft, kRight}},                 // 6: lower row
    {1, {kTop, kRight}},                  // 7: all but upper right
    {1, {kRight, kTop}},                  // 8: upper right
    {1, {kRight, kLeft}},                 // 9: upper row
    {2, {kLeft, kBottom, kRight, kTop}},  // 10: saddle, upper right and lower left
    {1, {kRight, kBottom}},               // 11: all but lower right
    {1, {kBottom, kTop}},                 // 12: right column
    {1, {kBottom, kLeft}},                // 13: all but lower left
    {1, {kLeft, kTop}},                   // 14: all but upper left
    {0, {}},                              // 15: all above
};

// Levels beyond this many intervals from 0 are not traced: their index would not fit.
constexpr double kLevelLimit = 4.0e15;

bool isData(float value, float noData) {
  return value == value && value != noData;
}

}  // namespace

GridPlacement::GridPlacement(double startEasting, double startNorthing, double w, double nsSpacing,
                             uint32_t step)
    : startEasting_(startEasting),
      startNorthing_(startNorthing),
      columnSpacing_(w * step),
      rowSpacing_(nsSpacing * step) {}

ContourPoint GridPlacement::cell(uint32_t row, uint32_t col) const {
  return {startEasting_ + col * columnSpacing_, startNorthing_ - row * rowSpacing_};
}

ContourPoint GridPlacement::place(const EdgePoint& edge) {
  const ContourPoint a = cell(edge.row, edge.col);
  const ContourPoint b = edge.down ? cell(edge.row + 1, edge.col) : cell(edge.row, edge.col + 1);
  return {a.x + edge.t * (b.x - a.x), a.y + edge.t * (b.y - a.y)};
}

void MapPlacement::setRows(uint32_t currentRow, const MapPoint* previous, const MapPoint* current) {
  currentRow_ = currentRow;
  previous_ = previous;
  current_ = current;
}

ContourPoint MapPlacement::place(const EdgePoint& edge) {
  const MapPoint* row = edge.row == currentRow_ ? current_ : previous_;
  const MapPoint a = row[edge.col];
  const MapPoint b = edge.down ? current_[edge.col] : row[edge.col + 1];
  return {a.easting + edge.t * (b.easting - a.easting),
          a.northing + edge.t * (b.northing - a.northing)};
}

double contourValue(double level, double value) {
  return std::fabs(level - value) < kLevelTolerance ? value + kLevelTolerance : value;
}

unsigned squareCase(double level, double upperLeft, double upperRight, double lowerLeft,
                    double lowerRight) {
  return (level < contourValue(level, upperLeft) ? 1u : 0u) |
         (level < contourValue(level, lowerLeft) ? 2u : 0u) |
         (level < contourValue(level, lowerRight) ? 4u : 0u) |
         (level < contourValue(level, upperRight) ? 8u : 0u);
}

double crossingFraction(double level, double a, double b) {
  const double fa = contourValue(level, a);
  return (level - fa) / (contourValue(level, b) - fa);
}

ContourTracer::ContourTracer(uint32_t cols, const ContourSettings& settings,
                             VertexPlacement& placement, ContourSink& sink)
    : cols_(cols),
      settings_(settings),
      placement_(placement),
      sink_(sink),
      previous_(cols),
      current_(cols) {}

void ContourTracer::crossingLevels(double a, double b, int64_t* first, uint32_t* count) const {
  *count = 0;
  const double interval = settings_.interval;
  const double low = std::min(a, b) / interval;
  const double high = std::max(a, b) / interval;
  if (!(low > -kLevelLimit && high < kLevelLimit)) return;
  // The levels whose side differs at the two ends, from one below the lower value's
  // multiple to one above the higher's: the tolerance moves a level by far less than
  // an interval.
  const int64_t from = static_cast<int64_t>(std::floor(low)) - 1;
  const int64_t to = static_cast<int64_t>(std::floor(high)) + 1;
  for (int64_t k = from; k <= to; ++k) {
    const double level = static_cast<double>(k) * interval;
    if ((level < contourValue(level, a)) != (level < contourValue(level, b))) {
      if (*count == 0) *first = k;
      ++*count;
    }
  }
}

void ContourTracer::fillEdges(EdgeRow& edges, const float* a, const float* b, uint32_t n,
                              bool acrossRows) {
  edges.first.assign(n, 0);
  edges.count.assign(n, 0);
  edges.base.assign(n, 0);
  uint32_t total = 0;
  for (uint32_t c = 0; c < n; ++c) {
    const float u = a[c];
    const float v = acrossRows ? b[c] : a[c + 1];
    if (isData(u, settings_.noData) && isData(v, settings_.noData))
      crossingLevels(u, v, &edges.first[c], &edges.count[c]);
    edges.base[c] = total;
    total += edges.count[c];
  }
  edges.slots.assign(total, -1);
}

int32_t* ContourTracer::slot(uint32_t row, uint32_t col, bool down, int64_t level) {
  EdgeRow& edges = down ? south_ : (row + 1 == row_ ? eastBelow_ : eastAbove_);
  return &edges.slots[edges.base[col] + static_cast<uint32_t>(level - edges.first[col])];
}

bool ContourTracer::addRow(const float* values) {
  if (failed_) return false;
  std::copy(values, values + cols_, current_.begin());
  ++row_;
  fillEdges(eastBelow_, current_.data(), nullptr, cols_ - 1, false);
  if (row_ > 1) {
    fillEdges(south_, previous_.data(), current_.data(), cols_, true);
    if (!traceSquares()) return false;
  }
  std::swap(eastAbove_, eastBelow_);
  std::swap(previous_, current_);
  return !failed_;
}

bool ContourTracer::finish() {
  if (failed_) return false;
  // The last row's crossings wait for squares that never come.
  for (int32_t entry : eastAbove_.slots)
    if (entry >= 0 && !killEnd(entry)) return false;
  eastAbove_.slots.clear();
  return true;
}

bool ContourTracer::traceSquares() {
  const float noData = settings_.noData;
  const float* upper = previous_.data();
  const float* lower = current_.data();
  for (uint32_t c = 0; c + 1 < cols_; ++c) {
    const bool square = isData(upper[c], noData) && isData(upper[c + 1], noData) &&
                        isData(lower[c], noData) && isData(lower[c + 1], noData);
    if (!square) {
      // Lines that came down to this square end at its upper edge.
      const uint32_t base = eastAbove_.base[c];
      for (uint32_t k = 0; k < eastAbove_.count[c]; ++k) {
        const int32_t entry = eastAbove_.slots[base + k];
        if (entry >= 0 && !killEnd(entry)) return false;
      }
      continue;
    }
    // The square's levels are those of its edges.
    int64_t first = 0;
    int64_t last = -1;
    bool any = false;
    const auto take = [&](const EdgeRow& edges, uint32_t i) {
      if (edges.count[i] == 0) return;
      const int64_t a = edges.first[i];
      const int64_t b = a + edges.count[i] - 1;
      if (!any || a < first) first = a;
      if (!any || b > last) last = b;
      any = true;
    };
    take(eastAbove_, c);
    take(eastBelow_, c);
    take(south_, c);
    take(south_, c + 1);
    if (!any) continue;
    for (int64_t k = first; k <= last; ++k) {
      const double level = static_cast<double>(k) * settings_.interval;
      const unsigned which = squareCase(level, upper[c], upper[c + 1], lower[c], lower[c + 1]);
      const CaseSegments& segments = kCaseSegments[which];
      for (int s = 0; s < segments.count; ++s)
        if (!segment(k, c, segments.sides[2 * s], segments.sides[2 * s + 1])) return false;
    }
  }
  return true;
}

// The crossing of a side of square col at the level: the line end that waits there when
// the side is one the squares before have traced (entry), its place, and whether a square
// still to come goes on from it.
bool ContourTracer::attach(int64_t level, uint32_t col, int side, int32_t* entry, EdgePoint* edge,
                           bool* alive) {
  const uint32_t upper = row_ - 2;
  const float* above = previous_.data();
  const float* below = current_.data();
  const double lv = static_cast<double>(level) * settings_.interval;
  *entry = -1;
  switch (side) {
    case kTop:
      *edge = {upper, col, false, crossingFraction(lv, above[col], above[col + 1])};
      break;
    case kBottom:
      *edge = {upper + 1, col, false, crossingFraction(lv, below[col], below[col + 1])};
      break;
    case kLeft:
      *edge = {upper, col, true, crossingFraction(lv, above[col], below[col])};
      break;
    default:
      *edge = {upper, col + 1, true, crossingFraction(lv, above[col + 1], below[col + 1])};
      break;
  }
  if (side == kTop || side == kLeft) {
    // Traced before unless the block or its data end there.
    *entry = *slot(edge->row, edge->col, edge->down, level);
    *alive = false;
    return true;
  }
  if (side == kBottom) {
    *alive = true;  // unless the next row says otherwise
    return true;
  }
  const float noData = settings_.noData;
  *alive = col + 2 < cols_ && isData(above[col + 2], noData) && isData(below[col + 2], noData);
  return true;
}

int32_t ContourTracer::newLine(int64_t level) {
  int32_t id;
  if (!freeLines_.empty()) {
    id = freeLines_.back();
    freeLines_.pop_back();
  } else {
    id = static_cast<int32_t>(lines_.size());
    lines_.emplace_back();
  }
  lines_[id].level = level;
  return id;
}

void ContourTracer::setEnd(int32_t id, int end, const EdgePoint& edge, bool alive) {
  Line& line = lines_[id];
  line.endRow[end] = edge.row;
  line.endCol[end] = edge.col;
  line.endDown[end] = edge.down;
  line.endAlive[end] = alive;
  if (alive) *slot(edge.row, edge.col, edge.down, line.level) = id << 1 | end;
}

bool ContourTracer::segment(int64_t level, uint32_t col, int from, int to) {
  int32_t entries[2];
  EdgePoint edges[2];
  bool alive[2];
  attach(level, col, from, &entries[0], &edges[0], &alive[0]);
  attach(level, col, to, &entries[1], &edges[1], &alive[1]);
  if (entries[0] < 0 && entries[1] < 0) {
    const int32_t id = newLine(level);
    Line& line = lines_[id];
    line.tail.push_back(placement_.place(edges[0]));
    line.tail.push_back(placement_.place(edges[1]));
    openVertices_ += 2;
    peakOpenVertices_ = std::max(peakOpenVertices_, openVertices_);
    setEnd(id, 0, edges[0], alive[0]);
    setEnd(id, 1, edges[1], alive[1]);
    return alive[0] || alive[1] || emit(id, false);
  }
  if (entries[0] < 0 || entries[1] < 0) {
    // One end of a line goes on to the other crossing.
    const int known = entries[0] < 0 ? 1 : 0;
    const int32_t id = entries[known] >> 1;
    const int end = entries[known] & 1;
    Line& line = lines_[id];
    (end == 0 ? line.head : line.tail).push_back(placement_.place(edges[1 - known]));
    peakOpenVertices_ = std::max(peakOpenVertices_, ++openVertices_);
    setEnd(id, end, edges[1 - known], alive[1 - known]);
    return line.endAlive[0] || line.endAlive[1] || emit(id, false);
  }
  int32_t a = entries[0] >> 1;
  int32_t b = entries[1] >> 1;
  if (a == b) return emit(a, true);
  int endA = entries[0] & 1;
  int endB = entries[1] & 1;
  // The longer line takes the shorter one in at the shared crossing.
  if (lines_[a].size() < lines_[b].size()) {
    std::swap(a, b);
    std::swap(endA, endB);
  }
  Line& keep = lines_[a];
  Line& gone = lines_[b];
  std::vector<ContourPoint>& into = endA == 0 ? keep.head : keep.tail;
  // gone's vertices from its end at the crossing onwards.
  if (endB == 0) {
    into.insert(into.end(), gone.head.rbegin(), gone.head.rend());
    into.insert(into.end(), gone.tail.begin(), gone.tail.end());
  } else {
    into.insert(into.end(), gone.tail.rbegin(), gone.tail.rend());
    into.insert(into.end(), gone.head.begin(), gone.head.end());
  }
  const int far = 1 - endB;
  const EdgePoint farEdge = {gone.endRow[far], gone.endCol[far], gone.endDown[far], 0.0};
  const bool farAlive = gone.endAlive[far];
  const size_t moved = gone.size();
  dropLine(b);
  openVertices_ += moved;  // they stay open in keep
  setEnd(a, endA, farEdge, farAlive);
  return keep.endAlive[0] || keep.endAlive[1] || emit(a, false);
}

bool ContourTracer::killEnd(int32_t entry) {
  Line& line = lines_[entry >> 1];
  line.endAlive[entry & 1] = false;
  return line.endAlive[0] || line.endAlive[1] || emit(entry >> 1, false);
}

bool ContourTracer::emit(int32_t id, bool closed) {
  Line& line = lines_[id];
  scratch_.clear();
  scratch_.insert(scratch_.end(), line.head.rbegin(), line.head.rend());
  scratch_.insert(scratch_.end(), line.tail.begin(), line.tail.end());
  ContourLine out;
  out.level = line.level;
  out.elevation = static_cast<double>(line.level) * settings_.interval;
  out.index = settings_.indexEvery != 0 && line.level % settings_.indexEvery == 0;
  out.closed = closed;
  out.points = scratch_.data();
  out.count = scratch_.size();
  dropLine(id);
  ++linesWritten_;
  verticesWritten_ += out.count;
  if (!sink_.line(out)) failed_ = true;
  return !failed_;
}

void ContourTracer::dropLine(int32_t id) {
  Line& line = lines_[id];
  openVertices_ -= line.size();
  // A long line's room goes back; a short one's is kept for the next.
  if (line.head.capacity() + line.tail.capacity() > 4096) {
    std::vector<ContourPoint>().swap(line.head);
    std::vector<ContourPoint>().swap(line.tail);
  } else {
    line.head.clear();
    line.tail.clear();
  }
  line.endAlive[0] = line.endAlive[1] = false;
  freeLines_.push_back(id);
}

}  // namespace ned
