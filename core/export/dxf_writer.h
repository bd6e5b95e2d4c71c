// ASCII DXF of release 12 (AC1009), the version every CAD program reads: the header with
// the drawing's extents, the tables of the line type and the layers, then the entities
// (2D polylines at an elevation, 3D faces), each group as its code and value on two
// lines ending in CR LF, coordinates with three decimals. The bytes go to a sink in
// pieces of up to 1 MiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/export/contours.h"
#include "core/file_system.h"

namespace ned {

// Where the bytes of a file go; false when they could not be written.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool write(const char* bytes, size_t count) = 0;
};

// The bytes written one after another into a file through the file seam.
class FileByteSink : public ByteSink {
 public:
  explicit FileByteSink(OpenFile& file) : file_(file) {}
  bool write(const char* bytes, size_t count) override {
    if (!file_.write(offset_, bytes, count)) return false;
    offset_ += count;
    return true;
  }

 private:
  OpenFile& file_;
  uint64_t offset_ = 0;
};

struct DxfLayer {
  const char* name;
  int colour;  // the colour number of the layer, 1 ... 255
};

// The contour layers, and the TIN surface's.
constexpr DxfLayer kMajorContourDxfLayer = {kMajorContourLayer, 1};  // red
constexpr DxfLayer kMinorContourDxfLayer = {kMinorContourLayer, 8};  // grey
constexpr DxfLayer kTinDxfLayer = {"C-TOPO-TIN", 5};                 // blue

struct DxfExtents {
  double minX = 0.0;
  double minY = 0.0;
  double minZ = 0.0;
  double maxX = 0.0;
  double maxY = 0.0;
  double maxZ = 0.0;
};

// The extents of points: the box around them, z 0.
class ExtentsBuilder {
 public:
  void add(double x, double y);
  DxfExtents extents() const;

 private:
  bool any_ = false;
  DxfExtents box_;
};

struct DxfPoint3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

class DxfWriter {
 public:
  explicit DxfWriter(ByteSink& sink);

  // The header, the tables (the line type CONTINUOUS and the layers, on top of layer 0)
  // and the start of the entities.
  bool begin(const DxfExtents& extents, const DxfLayer* layers, size_t layerCount);
  // A 2D polyline at an elevation (its group 30), flag 1 when closed: its start, its
  // vertices in one or more pieces, its end; or all at once. The layer's name stays the
  // caller's until the end.
  bool beginPolyline(const char* layer, double elevation, bool closed);
  bool vertices(const ContourPoint* points, size_t count);
  bool endPolyline();
  bool polyline(const char* layer, double elevation, bool closed, const ContourPoint* points,
                size_t count);
  // A 3D face; a triangle repeats its third corner as the fourth.
  bool face(const char* layer, const DxfPoint3 corners[4]);
  // The end of the entities and of the file; then flushes every byte to the sink.
  bool end();

  uint64_t bytesWritten() const {
    return written_ + static_cast<uint64_t>(cursor_ - buffer_.get());
  }

 private:
  static constexpr size_t kBufferSize = 1 << 20;
  // Room for the longest piece put at once: a vertex of two coordinates and short texts.
  static constexpr size_t kGroupRoom = 1024;

  bool room();
  bool flush();
  void text(int code, const char* value);
  void integer(int code, long value);
  void number(int code, double value);

  ByteSink& sink_;
  const char* layer_ = "0";  // of the polyline being written
  double elevation_ = 0.0;
  char vertexHead_[96] = {};  // "  0 VERTEX  8 <layer>  10", none when too long
  size_t vertexHeadLength_ = 0;
  char vertexTail_[80] = {};  // " 30 <elevation>"
  size_t vertexTailLength_ = 0;
  std::unique_ptr<char[]> buffer_;
  char* cursor_;
  uint64_t written_ = 0;
  bool failed_ = false;
};

// Writes each finished contour line as a polyline on its layer, index or minor.
class DxfContours : public ContourSink {
 public:
  explicit DxfContours(DxfWriter& writer) : writer_(writer) {}
  bool beginLine(const ContourLine& line) override;
  bool points(const ContourPoint* points, size_t count) override;
  bool endLine() override;

 private:
  DxfWriter& writer_;
};

}  // namespace ned
