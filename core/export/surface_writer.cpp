#include "core/export/surface_writer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "core/export/dxf_writer.h"
#include "core/export/map_projection.h"
#include "core/export/number_format.h"
#include "core/export/selection.h"
#include "core/tile/tile_header.h"

namespace ned {

int32_t surfaceThousandths(float elevation) {
  if (elevation == TileGeometry::noDataValue || !std::isfinite(elevation)) return kTinNoData;
  // A float times 1000 is exact in a double; rint rounds it to nearest, a tie to even.
  const double thousandths = std::rint(static_cast<double>(elevation) * 1000.0);
  if (!(thousandths > -2147483647.0 && thousandths < 2147483647.0)) return kTinNoData;
  return static_cast<int32_t>(thousandths);
}

int64_t toleranceThousandths(double tolerance) {
  if (!(tolerance >= 0.0)) return -1;
  const double scaled = tolerance * 1000.0;
  if (!(scaled < static_cast<double>(kMaxTinTolerance))) return kMaxTinTolerance;
  const double nearest = std::nearbyint(scaled);
  if (nearest / 1000.0 == tolerance) return static_cast<int64_t>(nearest);
  return static_cast<int64_t>(std::floor(scaled));
}

SurfaceCells readSurfaceCells(const WritePlan& plan, RowSource& rows, float* samples) {
  SurfaceCells read;
  read.keptCols = keptCount(plan.cols, plan.step);
  const uint32_t keptRows = keptCount(plan.rows, plan.step);
  const uint64_t count = static_cast<uint64_t>(read.keptCols) * keptRows;
  if (count == 0) return read;
  if (!read.cells.allocate(static_cast<int32_t>(read.keptCols), static_cast<int32_t>(keptRows))) {
    read.outOfMemory = true;
    return read;
  }
  for (uint32_t i = 0; i < plan.rows; ++i) {
    const uint32_t n = static_cast<uint32_t>(rows.readRow(samples));
    if (n < plan.cols) {
      read.end = PassEnd::endOfRaster;  // the rows read whole are the surface's block
      break;
    }
    if (i % plan.step != 0) continue;
    for (uint32_t k = 0; k < read.keptCols; ++k) {
      read.cells.set(
          static_cast<int32_t>(k), static_cast<int32_t>(read.keptRows),
          surfaceThousandths(outputValue(plan, samples[static_cast<uint64_t>(k) * plan.step])));
    }
    ++read.keptRows;
  }
  read.cells.keepRows(static_cast<int32_t>(read.keptRows));
  return read;
}

std::string surfaceCountText(uint64_t points, uint64_t faces) {
  const auto grouped = [](uint64_t value) {
    std::string digits = std::to_string(value);
    for (size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
    return digits;
  };
  return grouped(points) + " points and " + grouped(faces) + " faces written.";
}

namespace {

// The vertices that belong to a face, in the order of their cells (row after row, west to
// east), with the positions the points give those cells.
struct PlacedVertices {
  std::vector<int32_t> order;          // surface vertex of each written vertex
  std::vector<int32_t> number;         // written number (from 1) of each surface vertex; 0 unused
  std::vector<ContourPoint> position;  // of each written vertex
};

void placeVertices(const WritePlan& plan, const TinSurface& surface, PlacedVertices* placed) {
  const size_t count = surface.vertices.size();
  std::vector<char> used(count, 0);
  for (const TinFace& f : surface.faces) used[f.a] = used[f.b] = used[f.c] = 1;
  for (size_t v = 0; v < count; ++v)
    if (used[v]) placed->order.push_back(static_cast<int32_t>(v));
  std::sort(placed->order.begin(), placed->order.end(), [&](int32_t a, int32_t b) {
    const TinVertex& p = surface.vertices[a];
    const TinVertex& q = surface.vertices[b];
    return p.row != q.row ? p.row < q.row : p.col < q.col;
  });
  placed->number.assign(count, 0);
  for (size_t i = 0; i < placed->order.size(); ++i)
    placed->number[placed->order[i]] = static_cast<int32_t>(i + 1);
  placed->position.resize(placed->order.size());

  const uint32_t keptCols = keptCount(plan.cols, plan.step);
  if (plan.map == nullptr) {
    // As the rectangular XYZ form counts them: X grows by the spacing at every cell, Y
    // falls by the row spacing at every row, kept or not.
    std::vector<double> xs(keptCols);
    double x = plan.startEasting;
    for (uint32_t j = 0; j < plan.cols; ++j, x += plan.firstRowEwSpacing)
      if (j % plan.step == 0) xs[j / plan.step] = x;
    const uint32_t keptRows = keptCount(plan.rows, plan.step);
    std::vector<double> ys(keptRows);
    double y = plan.startNorthing;
    for (uint32_t i = 0; i < plan.rows; ++i, y -= plan.nsSpacing)
      if (i % plan.step == 0) ys[i / plan.step] = y;
    for (size_t i = 0; i < placed->order.size(); ++i) {
      const TinVertex& v = surface.vertices[placed->order[i]];
      placed->position[i] = {xs[v.col], ys[v.row]};
    }
    return;
  }
  // As the map rows project them: the whole kept row at once.
  const ProjectionConstants projection = prepareProjection(*plan.map);
  std::vector<MapPoint> row(keptCols);
  const double along = static_cast<double>(static_cast<long double>(plan.step) * plan.cellDegrees);
  int32_t projected = -1;
  for (size_t i = 0; i < placed->order.size(); ++i) {
    const TinVertex& v = surface.vertices[placed->order[i]];
    if (v.row != projected) {
      const long double latitude = static_cast<long double>(plan.firstLatitude) -
                                   static_cast<long double>(v.row) * plan.step * plan.cellDegrees;
      projectRow(projection, static_cast<double>(latitude), plan.firstLongitude, along, keptCols,
                 row.data());
      projected = v.row;
    }
    placed->position[i] = {row[v.col].easting, row[v.col].northing};
  }
}

// A vertex's elevation from its thousandths: the nearest double, which the three decimals
// give back as those thousandths.
double writtenElevation(int32_t thousandths) {
  return static_cast<double>(thousandths) / 1000.0;
}

// Text through a buffer of 1 MiB to the sink.
class TextOut {
 public:
  explicit TextOut(ByteSink& sink) : sink_(sink) { buffer_.reserve(kBlock + 4096); }
  TextOut& operator<<(const std::string& text) {
    buffer_ += text;
    return spill();
  }
  TextOut& operator<<(const char* text) {
    buffer_ += text;
    return spill();
  }
  TextOut& number(double value) {
    char digits[kMaxFixed3Chars];
    buffer_.append(digits, formatFixed3(value, digits));
    return spill();
  }
  bool finish() {
    if (!failed_ && !buffer_.empty()) failed_ = !sink_.write(buffer_.data(), buffer_.size());
    buffer_.clear();
    return !failed_;
  }

 private:
  static constexpr size_t kBlock = size_t(1) << 20;
  TextOut& spill() {
    if (buffer_.size() >= kBlock) finish();
    return *this;
  }
  ByteSink& sink_;
  std::string buffer_;
  bool failed_ = false;
};

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// The unit of X and Y, and that of the elevations.
enum class LengthUnit { Metre, UsSurveyFoot, Foot };

LengthUnit planeUnit(const WritePlan& plan) {
  if (plan.map != nullptr) {
    switch (plan.map->unit) {
      case MapUnit::Metre:
        return LengthUnit::Metre;
      case MapUnit::UsSurveyFoot:
        return LengthUnit::UsSurveyFoot;
      case MapUnit::InternationalFoot:
        return LengthUnit::Foot;
    }
  }
  return plan.feetPerMetre != 0.0L ? LengthUnit::Foot : LengthUnit::Metre;
}

LengthUnit elevationUnit(const WritePlan& plan) {
  if (plan.feetPerMetre == 0.0L) return LengthUnit::Metre;
  const LengthUnit plane = planeUnit(plan);
  return plane == LengthUnit::Metre ? LengthUnit::Foot : plane;
}

void writeUnits(TextOut& out, const WritePlan& plan) {
  const LengthUnit plane = planeUnit(plan);
  // The schema's elevation unit knows feet, not which foot: the linear unit says that
  // where both are in feet.
  const char* elevation = elevationUnit(plan) == LengthUnit::Metre ? "meter" : "feet";
  if (plane == LengthUnit::Metre) {
    out << "  <Units>\r\n    <Metric areaUnit=\"squareMeter\" linearUnit=\"meter\" "
           "volumeUnit=\"cubicMeter\" temperatureUnit=\"celsius\" pressureUnit=\"milliBars\" "
           "angularUnit=\"decimal degrees\" directionUnit=\"decimal degrees\" elevationUnit=\""
        << elevation << "\"/>\r\n  </Units>\r\n";
    return;
  }
  out << "  <Units>\r\n    <Imperial areaUnit=\"squareFoot\" linearUnit=\""
      << (plane == LengthUnit::UsSurveyFoot ? "USSurveyFoot" : "foot")
      << "\" volumeUnit=\"cubicFeet\" temperatureUnit=\"fahrenheit\" pressureUnit=\"inHG\" "
         "angularUnit=\"decimal degrees\" directionUnit=\"decimal degrees\" elevationUnit=\""
      << elevation << "\"/>\r\n  </Units>\r\n";
}

bool writeLandXml(const WritePlan& plan, const TinSurface& surface, const SurfaceLabels& labels,
                  const PlacedVertices& placed, ByteSink& sink) {
  TextOut out(sink);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
         "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xsi:schemaLocation=\"http://www.landxml.org/schema/LandXML-1.2 "
         "http://www.landxml.org/schema/LandXML-1.2/LandXML-1.2.xsd\" version=\"1.2\" date=\""
      << labels.date << "\" time=\"" << labels.time << "\">\r\n";
  writeUnits(out, plan);
  if (plan.map != nullptr) {
    out << "  <CoordinateSystem name=\"" << escaped(plan.map->name) << "\" epsgCode=\""
        << std::to_string(plan.map->epsg)
        << "\" horizontalDatum=\"NAD83\" verticalDatum=\"NAVD88\"/>\r\n";
  } else {
    out << "  <CoordinateSystem name=\"Local grid\" desc=\"A rectangular grid: X east from ";
    out.number(plan.startEasting) << " and Y north from ";
    out.number(plan.startNorthing) << " at the block's north-west cell\" "
                                      "verticalDatum=\"NAVD88\"/>\r\n";
  }
  out << "  <Application name=\"" << escaped(labels.application)
      << "\" desc=\"TIN surface of NED 1/3 arc-second cells\"/>\r\n"
         "  <Surfaces>\r\n    <Surface name=\""
      << escaped(labels.surfaceName)
      << "\">\r\n      <Definition surfType=\"TIN\">\r\n        <Pnts>\r\n";
  for (size_t i = 0; i < placed.order.size(); ++i) {
    const TinVertex& v = surface.vertices[placed.order[i]];
    out << "          <P id=\"" << std::to_string(i + 1) << "\">";
    out.number(placed.position[i].y) << " ";
    out.number(placed.position[i].x) << " ";
    out.number(writtenElevation(v.elevation)) << "</P>\r\n";
  }
  out << "        </Pnts>\r\n        <Faces>\r\n";
  for (const TinFace& f : surface.faces) {
    out << "          <F>" << std::to_string(placed.number[f.a]) << " "
        << std::to_string(placed.number[f.b]) << " " << std::to_string(placed.number[f.c])
        << "</F>\r\n";
  }
  out << "        </Faces>\r\n      </Definition>\r\n    </Surface>\r\n  </Surfaces>\r\n"
         "</LandXML>\r\n";
  return out.finish();
}

bool writeDxfFaces(const TinSurface& surface, const PlacedVertices& placed, ByteSink& sink) {
  ExtentsBuilder box;
  for (const ContourPoint& p : placed.position) box.add(p.x, p.y);
  DxfWriter writer(sink);
  if (!writer.begin(box.extents(), &kTinDxfLayer, 1)) return false;
  const auto corner = [&](int32_t v) {
    const ContourPoint& p = placed.position[placed.number[v] - 1];
    return DxfPoint3{p.x, p.y, writtenElevation(surface.vertices[v].elevation)};
  };
  for (const TinFace& f : surface.faces) {
    const DxfPoint3 corners[4] = {corner(f.a), corner(f.b), corner(f.c), corner(f.c)};
    if (!writer.face(kTinDxfLayer.name, corners)) return false;
  }
  return writer.end();
}

}  // namespace

bool writeSurfaceFile(const WritePlan& plan, const TinSurface& surface, const SurfaceLabels& labels,
                      OpenFile& out, uint64_t* points, uint64_t* faces) {
  PlacedVertices placed;
  placeVertices(plan, surface, &placed);
  FileByteSink sink(out);
  const bool written = plan.kind == OutputKind::DxfTin
                           ? writeDxfFaces(surface, placed, sink)
                           : writeLandXml(plan, surface, labels, placed, sink);
  *points = placed.order.size();
  *faces = surface.faces.size();
  return written;
}

}  // namespace ned
