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

// An open line's end keeps this many vertices in memory before they go to the spill.
constexpr size_t kSpillAt = 128;

// Levels beyond this many intervals from 0 are not traced: their index would not fit.
constexpr double kLevelLimit = 4.0e15;

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

bool FileSpill::put(const ContourPoint* points, size_t count, uint64_t* where) {
  *where = written_ + buffer_.size();
  if (buffer_.size() + count > kBufferPoints && !buffer_.empty()) {
    if (!writer_.write(written_ * sizeof(ContourPoint), buffer_.data(),
                       buffer_.size() * sizeof(ContourPoint)))
      return false;
    written_ += buffer_.size();
    buffer_.clear();
  }
  if (buffer_.capacity() == 0) buffer_.reserve(kBufferPoints);
  buffer_.insert(buffer_.end(), points, points + count);
  return true;
}

bool FileSpill::get(uint64_t where, ContourPoint* points, size_t count) {
  if (where + count > written_ + buffer_.size()) return false;
  size_t fromFile = 0;
  if (where < written_) {
    fromFile = static_cast<size_t>(std::min<uint64_t>(count, written_ - where));
    const size_t bytes = fromFile * sizeof(ContourPoint);
    if (reader_.read(where * sizeof(ContourPoint), points, bytes) != bytes) return false;
    if (fromFile == count) return true;
  }
  const uint64_t inBuffer = where + fromFile - written_;
  std::copy(buffer_.begin() + static_cast<std::ptrdiff_t>(inBuffer),
            buffer_.begin() + static_cast<std::ptrdiff_t>(inBuffer + (count - fromFile)),
            points + fromFile);
  return true;
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
                             VertexPlacement& placement, ContourSink& sink, VertexSpill* spill)
    : cols_(cols),
      settings_(settings),
      placement_(placement),
      sink_(sink),
      spill_(spill),
      previous_(cols),
      current_(cols),
      valueLimit_(kLevelLimit * settings.interval) {}

// A value with data, whose levels the tracer can number. Every other value (no-data, not a
// number, infinite, or more than kLevelLimit intervals from 0, and every value when the
// interval is not above 0) counts as no data.
bool ContourTracer::usable(float value) const {
  return value != settings_.noData && std::fabs(static_cast<double>(value)) < valueLimit_;
}

void ContourTracer::crossingLevels(double a, double b, int64_t* first, uint32_t* count) const {
  *count = 0;
  const double interval = settings_.interval;
  const double low = std::min(a, b);
  const double high = std::max(a, b);
  // A level crosses when the lower value is not above it and the higher one is: the levels
  // from the first above which the lower value lies no more to the last below which the
  // higher one still does. The tolerance moves each by far less than an interval, so the
  // one next to the multiple decides.
  const auto above = [&](double value, int64_t k) {
    const double level = static_cast<double>(k) * interval;
    return level < contourValue(level, value);
  };
  int64_t from = static_cast<int64_t>(std::floor(low / interval)) - 1;
  while (above(low, from)) ++from;
  int64_t to = static_cast<int64_t>(std::floor(high / interval)) + 1;
  while (!above(high, to)) --to;
  if (to >= from) {
    *first = from;
    *count = static_cast<uint32_t>(to - from + 1);
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
    if (usable(u) && usable(v)) crossingLevels(u, v, &edges.first[c], &edges.count[c]);
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
  fillEdges(eastBelow_, current_.data(), nullptr, cols_ == 0 ? 0 : cols_ - 1, false);
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
  const float* upper = previous_.data();
  const float* lower = current_.data();
  for (uint32_t c = 0; c + 1 < cols_; ++c) {
    const bool square =
        usable(upper[c]) && usable(upper[c + 1]) && usable(lower[c]) && usable(lower[c + 1]);
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
void ContourTracer::attach(int64_t level, uint32_t col, int side, int32_t* entry, EdgePoint* edge,
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
    return;
  }
  if (side == kBottom) {
    *alive = true;  // unless the next row says otherwise
    return;
  }
  *alive = col + 2 < cols_ && usable(above[col + 2]) && usable(below[col + 2]);
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
  ++openLines_;
  peakOpenLines_ = std::max(peakOpenLines_, openLines_);
  return id;
}

void ContourTracer::held(int64_t change) {
  held_ = static_cast<uint64_t>(static_cast<int64_t>(held_) + change);
  peakHeld_ = std::max(peakHeld_, held_);
}

void ContourTracer::setEnd(int32_t id, int end, const EdgePoint& edge, bool alive) {
  Line& line = lines_[id];
  line.endRow[end] = edge.row;
  line.endCol[end] = edge.col;
  line.endDown[end] = edge.down;
  line.endAlive[end] = alive;
  if (alive) *slot(edge.row, edge.col, edge.down, line.level) = id << 1 | end;
}

// Moves the points into a chunk of the line: into the spill when there is one and the
// memory's share is taken.
bool ContourTracer::chunkOf(Line& line, std::vector<ContourPoint>& points, bool reversed,
                            Chunk* chunk) {
  const size_t count = points.size();
  chunk->count = static_cast<uint32_t>(count);
  chunk->reversed = reversed;
  line.chunkPoints += count;
  if (spill_ == nullptr || held_ <= settings_.heldVertices) {
    chunk->points = std::move(points);
    points.clear();
    line.heldChunkPoints += count;
    return true;
  }
  chunk->spilled = true;
  if (!spill_->put(points.data(), count, &chunk->where)) failed_ = true;
  spilled_ += count;
  held(-static_cast<int64_t>(count));
  points.clear();
  return !failed_;
}

void ContourTracer::push(int32_t id, int end, const ContourPoint& point) {
  Line& line = lines_[id];
  (end == 0 ? line.head : line.tail).push_back(point);
  held(1);
  spillEnd(line, end);
}

// An end that has grown long enough goes next to the line's middle as a chunk, into the
// spill when there is one, so that joins copy only short ends.
void ContourTracer::spillEnd(Line& line, int end) {
  std::vector<ContourPoint>& points = end == 0 ? line.head : line.tail;
  if (points.size() < kSpillAt) return;
  Chunk chunk;
  chunkOf(line, points, end == 0, &chunk);
  (end == 0 ? line.middleFront : line.middleBack).push_back(std::move(chunk));
}

// Turns the line round: its first vertex becomes its last.
void ContourTracer::reverse(int32_t id) {
  Line& line = lines_[id];
  std::swap(line.head, line.tail);
  std::swap(line.middleFront, line.middleBack);
  for (Chunk& chunk : line.middleFront) chunk.reversed = !chunk.reversed;
  for (Chunk& chunk : line.middleBack) chunk.reversed = !chunk.reversed;
  std::swap(line.endRow[0], line.endRow[1]);
  std::swap(line.endCol[0], line.endCol[1]);
  std::swap(line.endDown[0], line.endDown[1]);
  std::swap(line.endAlive[0], line.endAlive[1]);
  for (int end = 0; end < 2; ++end)
    if (line.endAlive[end])
      *slot(line.endRow[end], line.endCol[end], line.endDown[end], line.level) = id << 1 | end;
}

// Line a's last vertex and line b's first are the two ends of a segment: the two become
// one, kept under the id of the one with more chunks (of the longer when neither has any)
// so that a long line is not copied over and over. The vertices on either side of the
// meeting stay together: in the kept line's end when the other line has no chunks (most
// joins are of short lines), else as one chunk. Gives the id kept.
int32_t ContourTracer::join(int32_t a, int32_t b) {
  Line& first = lines_[a];
  Line& second = lines_[b];
  const size_t firstChunks = first.middleFront.size() + first.middleBack.size();
  const size_t secondChunks = second.middleFront.size() + second.middleBack.size();
  const bool intoFirst =
      firstChunks != secondChunks ? firstChunks > secondChunks : first.size() >= second.size();
  Line& keep = intoFirst ? first : second;
  Line& gone = intoFirst ? second : first;
  keep.chunkPoints += gone.chunkPoints;
  keep.heldChunkPoints += gone.heldChunkPoints;
  if (intoFirst) {
    // first's middle, its tail, second's head, second's middle, second's tail.
    if (gone.middleFront.empty() && gone.middleBack.empty()) {
      keep.tail.insert(keep.tail.end(), gone.head.rbegin(), gone.head.rend());
      keep.tail.insert(keep.tail.end(), gone.tail.begin(), gone.tail.end());
    } else {
      std::vector<ContourPoint>& meeting = keep.tail;
      meeting.insert(meeting.end(), gone.head.rbegin(), gone.head.rend());
      Chunk chunk;
      if (!meeting.empty() && chunkOf(keep, meeting, false, &chunk))
        keep.middleBack.push_back(std::move(chunk));
      for (auto c = gone.middleFront.rbegin(); c != gone.middleFront.rend(); ++c)
        keep.middleBack.push_back(std::move(*c));
      for (Chunk& c : gone.middleBack) keep.middleBack.push_back(std::move(c));
      keep.tail.swap(gone.tail);
    }
    spillEnd(keep, 1);
  } else {
    // The same built backwards in front of second's middle.
    if (gone.middleFront.empty() && gone.middleBack.empty()) {
      keep.head.insert(keep.head.end(), gone.tail.rbegin(), gone.tail.rend());
      keep.head.insert(keep.head.end(), gone.head.begin(), gone.head.end());
    } else {
      // second's head backwards and first's tail backwards: the meeting, read backwards.
      std::vector<ContourPoint>& meeting = keep.head;
      meeting.insert(meeting.end(), gone.tail.rbegin(), gone.tail.rend());
      Chunk chunk;
      if (!meeting.empty() && chunkOf(keep, meeting, true, &chunk))
        keep.middleFront.push_back(std::move(chunk));
      for (auto c = gone.middleBack.rbegin(); c != gone.middleBack.rend(); ++c)
        keep.middleFront.push_back(std::move(*c));
      for (Chunk& c : gone.middleFront) keep.middleFront.push_back(std::move(c));
      keep.head.swap(gone.head);
    }
    spillEnd(keep, 0);
  }
  const int farEnd = intoFirst ? 1 : 0;
  const EdgePoint far = {gone.endRow[farEnd], gone.endCol[farEnd], gone.endDown[farEnd], 0.0};
  const bool farAlive = gone.endAlive[farEnd];
  // Nothing of gone is left to count.
  gone.head.clear();
  gone.tail.clear();
  gone.middleFront.clear();
  gone.middleBack.clear();
  gone.chunkPoints = gone.heldChunkPoints = 0;
  const int32_t kept = intoFirst ? a : b;
  dropLine(intoFirst ? b : a);
  setEnd(kept, farEnd, far, farAlive);
  return kept;
}

bool ContourTracer::segment(int64_t level, uint32_t col, int from, int to) {
  int32_t entries[2];
  EdgePoint edges[2];
  bool alive[2];
  attach(level, col, from, &entries[0], &edges[0], &alive[0]);
  attach(level, col, to, &entries[1], &edges[1], &alive[1]);
  int32_t id;
  if (entries[0] < 0 && entries[1] < 0) {
    id = newLine(level);
    push(id, 1, placement_.place(edges[0]));
    push(id, 1, placement_.place(edges[1]));
    setEnd(id, 0, edges[0], alive[0]);
    setEnd(id, 1, edges[1], alive[1]);
  } else if (entries[0] < 0 || entries[1] < 0) {
    // One end of a line goes on to the other crossing.
    const int known = entries[0] < 0 ? 1 : 0;
    id = entries[known] >> 1;
    const int end = entries[known] & 1;
    push(id, end, placement_.place(edges[1 - known]));
    setEnd(id, end, edges[1 - known], alive[1 - known]);
  } else {
    id = entries[0] >> 1;
    const int32_t other = entries[1] >> 1;
    if (id == other) return emit(id, true);
    if ((entries[0] & 1) == 0) reverse(id);
    if ((entries[1] & 1) == 1) reverse(other);
    id = join(id, other);
  }
  if (failed_) return false;
  const Line& line = lines_[id];
  return line.endAlive[0] || line.endAlive[1] || emit(id, false);
}

bool ContourTracer::killEnd(int32_t entry) {
  Line& line = lines_[entry >> 1];
  line.endAlive[entry & 1] = false;
  return line.endAlive[0] || line.endAlive[1] || emit(entry >> 1, false);
}

bool ContourTracer::emitChunk(const Chunk& chunk) {
  const ContourPoint* points = chunk.points.data();
  if (chunk.spilled) {
    scratch_.resize(chunk.count);
    if (!spill_->get(chunk.where, scratch_.data(), chunk.count)) return false;
    if (chunk.reversed) std::reverse(scratch_.begin(), scratch_.end());
    points = scratch_.data();
  } else if (chunk.reversed) {
    scratch_.assign(chunk.points.rbegin(), chunk.points.rend());
    points = scratch_.data();
  }
  return chunk.count == 0 || sink_.points(points, chunk.count);
}

bool ContourTracer::emit(int32_t id, bool closed) {
  Line& line = lines_[id];
  ContourLine out;
  out.level = line.level;
  out.elevation = static_cast<double>(line.level) * settings_.interval;
  out.index = settings_.indexEvery != 0 && line.level % settings_.indexEvery == 0;
  out.closed = closed;
  out.count = line.size();
  bool ok = sink_.beginLine(out);
  if (ok && !line.head.empty()) {
    scratch_.assign(line.head.rbegin(), line.head.rend());
    ok = sink_.points(scratch_.data(), scratch_.size());
  }
  for (auto c = line.middleFront.rbegin(); ok && c != line.middleFront.rend(); ++c)
    ok = emitChunk(*c);
  for (auto c = line.middleBack.begin(); ok && c != line.middleBack.end(); ++c) ok = emitChunk(*c);
  if (ok && !line.tail.empty()) ok = sink_.points(line.tail.data(), line.tail.size());
  ok = ok && sink_.endLine();
  ++linesWritten_;
  verticesWritten_ += out.count;
  dropLine(id);
  if (!ok) failed_ = true;
  return ok;
}

void ContourTracer::dropLine(int32_t id) {
  Line& line = lines_[id];
  held(-static_cast<int64_t>(line.held()));
  // A long end's room goes back; a short one's is kept for the next line.
  if (line.head.capacity() > kSpillAt) std::vector<ContourPoint>().swap(line.head);
  if (line.tail.capacity() > kSpillAt) std::vector<ContourPoint>().swap(line.tail);
  line.head.clear();
  line.tail.clear();
  std::vector<Chunk>().swap(line.middleFront);
  std::vector<Chunk>().swap(line.middleBack);
  line.chunkPoints = line.heldChunkPoints = 0;
  line.endAlive[0] = line.endAlive[1] = false;
  freeLines_.push_back(id);
  --openLines_;
}

}  // namespace ned
