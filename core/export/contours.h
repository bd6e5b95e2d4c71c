// Contour lines of a block, traced while its kept rows stream past: marching squares over
// the cell centres, with the rules gdal_contour follows (so that its lines can check
// ours), the segments of each level joined into polylines as far as the data allow, and
// every line handed on as soon as it can grow no more. The tracer holds the previous row
// and the ends of the lines still open, never the block.
//
// Where gdal_contour's lines differ, on purpose or below the file's precision:
// - it runs a line on half a cell past the block's outermost cell centres, and half way
//   into a cell without data; here a line ends on the edge between the last two centres
//   with data;
// - it interpolates each edge in two halves through the edge's middle, whose value is
//   raised by 1e-6 when within 1e-6 of the level; here the edge is one straight piece,
//   which moves such a crossing by at most 1e-6 of a cell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/export/map_projection.h"
#include "core/file_system.h"

namespace ned {

// A crossing: on the edge from kept cell (row, col) to its neighbour east ((row, col + 1))
// or, when down, south ((row + 1, col)), at the fraction t of the way (0 <= t <= 1).
struct EdgePoint {
  uint32_t row = 0;
  uint32_t col = 0;
  bool down = false;
  double t = 0.0;
};

struct ContourPoint {
  double x = 0.0;
  double y = 0.0;
};

// Where a crossing lies in the output's coordinates. The tracer asks as it finds a
// crossing, while the two rows of the squares it traces are the current ones.
class VertexPlacement {
 public:
  virtual ~VertexPlacement() = default;
  virtual ContourPoint place(const EdgePoint& edge) = 0;
};

// The local grid of the rectangular point files: kept cell (row, col) at X = startEasting +
// col * step * w and Y = startNorthing - row * step * nsSpacing, so that a contour runs
// between the points of a rectangular XYZ file written with the same numbers.
class GridPlacement : public VertexPlacement {
 public:
  GridPlacement(double startEasting, double startNorthing, double w, double nsSpacing,
                uint32_t step);
  ContourPoint place(const EdgePoint& edge) override;
  ContourPoint cell(uint32_t row, uint32_t col) const;

 private:
  double startEasting_;
  double startNorthing_;
  double columnSpacing_;  // w x step
  double rowSpacing_;     // nsSpacing x step
};

// A map system: a crossing lies on the straight line between the projected centres of its
// two cells, at the same fraction. The exact image of the edge (a piece of a parallel or of
// a meridian) bends away from that chord by at most L^2 / (8 r), r the radius of the
// parallel's image (about R / tan(latitude) in these zones), and the projection's scale
// changes along it by a part in a million or less. With L = step x 10.3 m x cos(latitude)
// for an east edge, both together stay under 1.1e-6 m x step^2 at any latitude: 1 micrometre
// at a step of 1, 0.1 mm at 10, under 0.001 of the unit (metre or foot) up to a step of 16.
// The caller gives the projected centres of the two kept rows before each row is traced
// (setRows(previous, current) before addRow(current)); the arrays stay the caller's.
class MapPlacement : public VertexPlacement {
 public:
  void setRows(uint32_t currentRow, const MapPoint* previous, const MapPoint* current);
  ContourPoint place(const EdgePoint& edge) override;

 private:
  uint32_t currentRow_ = 0;
  const MapPoint* previous_ = nullptr;
  const MapPoint* current_ = nullptr;
};

// The layers of the contour drawing.
constexpr const char* kMajorContourLayer = "C-TOPO-MAJR";
constexpr const char* kMinorContourLayer = "C-TOPO-MINR";

// One finished line of one level. A closed line does not repeat its first vertex.
struct ContourLine {
  int64_t level = 0;       // the level's multiple of the interval
  double elevation = 0.0;  // level x interval
  bool index = false;      // an index contour (level a multiple of "Index every")
  bool closed = false;
  uint64_t count = 0;  // vertices
};

// Takes each line as it is finished: its description, then its vertices in order in one
// or more pieces, then its end. A false answer stops the tracing (a write that failed).
class ContourSink {
 public:
  virtual ~ContourSink() = default;
  virtual bool beginLine(const ContourLine& line) = 0;
  virtual bool points(const ContourPoint* points, size_t count) = 0;
  virtual bool endLine() = 0;
};

// Where the tracer puts the older vertices of long open lines when it is given one, so that
// its memory stays bounded by the number of open lines rather than by their lengths: a
// contour that winds across a whole square stays open until both its ends are found.
class VertexSpill {
 public:
  virtual ~VertexSpill() = default;
  // Keeps the points; gives where to find them again. False when they could not be kept.
  virtual bool put(const ContourPoint* points, size_t count, uint64_t* where) = 0;
  virtual bool get(uint64_t where, ContourPoint* points, size_t count) = 0;
};

// A spill into a file through the file seam: a temporary file the caller makes, opens a
// second time to read, and removes afterwards. Written in pieces of 1 MiB.
class FileSpill : public VertexSpill {
 public:
  FileSpill(OpenFile& writer, OpenFile& reader) : writer_(writer), reader_(reader) {}
  bool put(const ContourPoint* points, size_t count, uint64_t* where) override;
  bool get(uint64_t where, ContourPoint* points, size_t count) override;
  uint64_t pointsKept() const { return written_ + buffer_.size(); }

 private:
  static constexpr size_t kBufferPoints = 65536;
  OpenFile& writer_;
  OpenFile& reader_;
  uint64_t written_ = 0;  // points in the file
  std::vector<ContourPoint> buffer_;
};

struct ContourSettings {
  double interval = 1.0;    // > 0, in the elevations' unit
  uint32_t indexEvery = 5;  // 0: no index contours
  float noData = -9999.0f;
  // With a spill: the vertices of open lines kept in memory before the older ones go to
  // the spill (256Ki: 4 MiB).
  uint64_t heldVertices = uint64_t(1) << 18;
};

// The elevation a value counts as at a level: within 1e-6 of it, 1e-6 above.
double contourValue(double level, double value);

// Which corners of a square are above the level, as gdal_contour numbers them: 1 upper
// left, 2 lower left, 4 lower right, 8 upper right.
unsigned squareCase(double level, double upperLeft, double upperRight, double lowerLeft,
                    double lowerRight);

// The fraction of the way from a to b at which the level crosses an edge whose ends lie
// on either side of it.
double crossingFraction(double level, double a, double b);

class ContourTracer {
 public:
  // cols: kept cells in a row (at least 1). Without a spill every open vertex stays in
  // memory.
  ContourTracer(uint32_t cols, const ContourSettings& settings, VertexPlacement& placement,
                ContourSink& sink, VertexSpill* spill = nullptr);

  // The next kept row, north to south: cols elevations, settings.noData where there is none.
  // False once the sink or the spill has failed.
  bool addRow(const float* values);
  // After the last row: hands on every line still open. False when the sink refused one.
  bool finish();

  uint64_t linesWritten() const { return linesWritten_; }
  uint64_t verticesWritten() const { return verticesWritten_; }
  // The most vertices of open lines held in memory at one time, and of open lines.
  uint64_t peakHeldVertices() const { return peakHeld_; }
  uint64_t peakOpenLines() const { return peakOpenLines_; }
  uint64_t spilledVertices() const { return spilled_; }

 private:
  // A run of a line's vertices away from its ends: in memory, or in the spill.
  struct Chunk {
    std::vector<ContourPoint> points;
    uint64_t where = 0;
    uint32_t count = 0;
    bool spilled = false;
    bool reversed = false;  // to be read backwards
  };

  // A line's vertices in order: head backwards, middleFront backwards, middleBack, tail.
  struct Line {
    std::vector<ContourPoint> head;
    std::vector<ContourPoint> tail;
    std::vector<Chunk> middleFront;
    std::vector<Chunk> middleBack;
    uint64_t chunkPoints = 0;      // in the chunks
    uint64_t heldChunkPoints = 0;  // of those, in memory
    int64_t level = 0;
    // Per end (0 first vertex, 1 last): where it waits, or dead at the block's edge or
    // at no-data.
    uint32_t endRow[2] = {};
    uint32_t endCol[2] = {};
    bool endDown[2] = {};
    bool endAlive[2] = {};
    uint64_t size() const { return head.size() + tail.size() + chunkPoints; }
    uint64_t held() const { return head.size() + tail.size() + heldChunkPoints; }
  };

  // The levels crossing the edges of one row (east edges) or between two rows (south
  // edges): per edge the first level, the count and the slots' start in a pool of
  // (line << 1 | end) entries, -1 when empty.
  struct EdgeRow {
    std::vector<int64_t> first;
    std::vector<uint32_t> count;
    std::vector<uint32_t> base;
    std::vector<int32_t> slots;
  };

  bool usable(float value) const;
  void crossingLevels(double a, double b, int64_t* first, uint32_t* count) const;
  void fillEdges(EdgeRow& edges, const float* a, const float* b, uint32_t n, bool acrossRows);
  int32_t* slot(uint32_t row, uint32_t col, bool down, int64_t level);
  bool traceSquares();
  bool segment(int64_t level, uint32_t col, int from, int to);
  void attach(int64_t level, uint32_t col, int side, int32_t* lineEnd, EdgePoint* edge,
              bool* alive);
  int32_t newLine(int64_t level);
  void setEnd(int32_t line, int end, const EdgePoint& edge, bool alive);
  void push(int32_t line, int end, const ContourPoint& point);
  void spillEnd(Line& line, int end);
  bool chunkOf(Line& line, std::vector<ContourPoint>& points, bool reversed, Chunk* chunk);
  void reverse(int32_t line);
  int32_t join(int32_t a, int32_t b);
  bool killEnd(int32_t entry);
  bool emit(int32_t line, bool closed);
  bool emitChunk(const Chunk& chunk);
  void dropLine(int32_t line);
  void held(int64_t change);

  uint32_t cols_;
  ContourSettings settings_;
  VertexPlacement& placement_;
  ContourSink& sink_;
  VertexSpill* spill_;
  bool failed_ = false;
  uint32_t row_ = 0;  // rows seen
  std::vector<float> previous_;
  std::vector<float> current_;
  double valueLimit_;  // values at or beyond this distance from 0 count as no data
  EdgeRow eastAbove_;  // east edges of the previous row
  EdgeRow eastBelow_;  // east edges of the current row
  EdgeRow south_;      // south edges from the previous row to the current
  std::vector<Line> lines_;
  std::vector<int32_t> freeLines_;
  std::vector<ContourPoint> scratch_;
  uint64_t held_ = 0;
  uint64_t openLines_ = 0;
  uint64_t peakHeld_ = 0;
  uint64_t peakOpenLines_ = 0;
  uint64_t spilled_ = 0;
  uint64_t linesWritten_ = 0;
  uint64_t verticesWritten_ = 0;
};

}  // namespace ned
