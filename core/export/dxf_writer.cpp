#include "core/export/dxf_writer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/export/number_format.h"

namespace ned {

namespace {

// A group code as DXF files print it, right-aligned in three places, and the line end.
char* putCode(int code, char* p) {
  char digits[24];
  const size_t length =
      static_cast<size_t>(formatUnsigned(static_cast<unsigned long long>(code), digits) - digits);
  for (size_t pad = length; pad < 3; ++pad) *p++ = ' ';
  std::memcpy(p, digits, length);
  p += length;
  *p++ = '\r';
  *p++ = '\n';
  return p;
}

char* lineEnd(char* p) {
  p[0] = '\r';
  p[1] = '\n';
  return p + 2;
}

}  // namespace

void ExtentsBuilder::add(double x, double y) {
  if (!any_) {
    box_.minX = box_.maxX = x;
    box_.minY = box_.maxY = y;
    any_ = true;
    return;
  }
  box_.minX = std::min(box_.minX, x);
  box_.maxX = std::max(box_.maxX, x);
  box_.minY = std::min(box_.minY, y);
  box_.maxY = std::max(box_.maxY, y);
}

DxfExtents ExtentsBuilder::extents() const {
  return box_;
}

DxfWriter::DxfWriter(ByteSink& sink)
    : sink_(sink), buffer_(new (std::nothrow) char[kBufferSize]), cursor_(buffer_.get()) {
  failed_ = buffer_ == nullptr;
}

bool DxfWriter::flush() {
  if (failed_) return false;
  const size_t count = static_cast<size_t>(cursor_ - buffer_.get());
  if (count != 0 && !sink_.write(buffer_.get(), count)) failed_ = true;
  written_ += count;
  cursor_ = buffer_.get();
  return !failed_;
}

bool DxfWriter::room() {
  if (failed_) return false;
  if (static_cast<size_t>(cursor_ - buffer_.get()) + kGroupRoom > kBufferSize) return flush();
  return true;
}

void DxfWriter::text(int code, const char* value) {
  if (!room()) return;
  char* p = putCode(code, cursor_);
  // Names are short; a longer text goes through in pieces.
  const size_t length = std::strlen(value);
  if (length <= kGroupRoom - 16) {
    std::memcpy(p, value, length);
    cursor_ = lineEnd(p + length);
    return;
  }
  cursor_ = p;
  if (!flush()) return;
  if (!sink_.write(value, length)) failed_ = true;
  written_ += length;
  cursor_ = lineEnd(cursor_);
}

void DxfWriter::integer(int code, long value) {
  if (!room()) return;
  char* p = putCode(code, cursor_);
  if (value < 0) {
    *p++ = '-';
    value = -value;
  }
  cursor_ = lineEnd(formatUnsigned(static_cast<unsigned long long>(value), p));
}

void DxfWriter::number(int code, double value) {
  if (!room()) return;
  cursor_ = lineEnd(formatFixed3(value, putCode(code, cursor_)));
}

bool DxfWriter::begin(const DxfExtents& extents, const DxfLayer* layers, size_t layerCount) {
  text(0, "SECTION");
  text(2, "HEADER");
  text(9, "$ACADVER");
  text(1, "AC1009");
  text(9, "$EXTMIN");
  number(10, extents.minX);
  number(20, extents.minY);
  number(30, extents.minZ);
  text(9, "$EXTMAX");
  number(10, extents.maxX);
  number(20, extents.maxY);
  number(30, extents.maxZ);
  text(0, "ENDSEC");

  text(0, "SECTION");
  text(2, "TABLES");
  text(0, "TABLE");
  text(2, "LTYPE");
  integer(70, 1);
  text(0, "LTYPE");
  text(2, "CONTINUOUS");
  integer(70, 0);
  text(3, "Solid line");
  integer(72, 65);
  integer(73, 0);
  number(40, 0.0);
  text(0, "ENDTAB");
  text(0, "TABLE");
  text(2, "LAYER");
  integer(70, static_cast<long>(layerCount) + 1);
  const DxfLayer base = {"0", 7};
  for (size_t i = 0; i <= layerCount; ++i) {
    const DxfLayer& layer = i == 0 ? base : layers[i - 1];
    text(0, "LAYER");
    text(2, layer.name);
    integer(70, 0);
    integer(62, layer.colour);
    text(6, "CONTINUOUS");
  }
  text(0, "ENDTAB");
  text(0, "ENDSEC");

  text(0, "SECTION");
  text(2, "ENTITIES");
  return !failed_;
}

bool DxfWriter::beginPolyline(const char* layer, double elevation, bool closed) {
  text(0, "POLYLINE");
  text(8, layer);
  integer(66, 1);
  number(10, 0.0);
  number(20, 0.0);
  number(30, elevation);
  integer(70, closed ? 1 : 0);
  // The groups of a vertex but its coordinates are the same for the whole line: made once.
  // Each vertex carries the elevation as its own 30 too (a 2D polyline's vertices lie in
  // its plane): readers such as GDAL's take a vertex's height from there.
  layer_ = layer;
  elevation_ = elevation;
  const size_t layerLength = std::strlen(layer);
  char elevationText[kMaxFixed3Chars + 2];
  const size_t elevationLength =
      static_cast<size_t>(lineEnd(formatFixed3(elevation, elevationText)) - elevationText);
  vertexHeadLength_ = 0;
  if (layerLength <= 64 && elevationLength <= 64) {
    static const char kVertex[] = "  0\r\nVERTEX\r\n  8\r\n";
    char* h = vertexHead_;
    std::memcpy(h, kVertex, sizeof kVertex - 1);
    h += sizeof kVertex - 1;
    std::memcpy(h, layer, layerLength);
    h = lineEnd(h + layerLength);
    std::memcpy(h, " 10\r\n", 5);
    vertexHeadLength_ = static_cast<size_t>(h + 5 - vertexHead_);
    std::memcpy(vertexTail_, " 30\r\n", 5);
    std::memcpy(vertexTail_ + 5, elevationText, elevationLength);
    vertexTailLength_ = 5 + elevationLength;
  }
  return !failed_;
}

bool DxfWriter::vertices(const ContourPoint* points, size_t count) {
  if (vertexHeadLength_ == 0) {
    for (size_t i = 0; i < count; ++i) {
      text(0, "VERTEX");
      text(8, layer_);
      number(10, points[i].x);
      number(20, points[i].y);
      number(30, elevation_);
    }
    return !failed_;
  }
  for (size_t i = 0; i < count && room(); ++i) {
    char* p = cursor_;
    std::memcpy(p, vertexHead_, vertexHeadLength_);
    p = lineEnd(formatFixed3(points[i].x, p + vertexHeadLength_));
    std::memcpy(p, " 20\r\n", 5);
    p = lineEnd(formatFixed3(points[i].y, p + 5));
    std::memcpy(p, vertexTail_, vertexTailLength_);
    cursor_ = p + vertexTailLength_;
  }
  return !failed_;
}

bool DxfWriter::endPolyline() {
  text(0, "SEQEND");
  text(8, layer_);
  return !failed_;
}

bool DxfWriter::polyline(const char* layer, double elevation, bool closed,
                         const ContourPoint* points, size_t count) {
  beginPolyline(layer, elevation, closed);
  vertices(points, count);
  return endPolyline();
}

bool DxfWriter::face(const char* layer, const DxfPoint3 corners[4]) {
  text(0, "3DFACE");
  text(8, layer);
  for (int i = 0; i < 4; ++i) {
    number(10 + i, corners[i].x);
    number(20 + i, corners[i].y);
    number(30 + i, corners[i].z);
  }
  return !failed_;
}

bool DxfContours::beginLine(const ContourLine& line) {
  return writer_.beginPolyline(line.index ? kMajorContourLayer : kMinorContourLayer, line.elevation,
                               line.closed);
}

bool DxfContours::points(const ContourPoint* points, size_t count) {
  return writer_.vertices(points, count);
}

bool DxfContours::endLine() {
  return writer_.endPolyline();
}

bool DxfWriter::end() {
  text(0, "ENDSEC");
  text(0, "EOF");
  return flush();
}

}  // namespace ned
