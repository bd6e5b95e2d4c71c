#include "core/export/reduced_tile.h"

#include <cstdio>
#include <vector>

#include "core/export/number_format.h"
#include "core/text.h"

namespace ned {

std::string outputHeaderPath(const std::string& outputPath, unsigned extensionOffset) {
  std::string path = replaceExtension(outputPath, extensionOffset, "hdr");
  // The file system may not tell the letter cases apart.
  if (equalIgnoringCase(path, outputPath)) path = outputPath + ".hdr";
  return path;
}

std::string outputVrtPath(const std::string& outputPath, unsigned extensionOffset) {
  std::string path = replaceExtension(outputPath, extensionOffset, "vrt");
  if (equalIgnoringCase(path, outputPath)) path = outputPath + ".vrt";
  return path;
}

namespace {

std::string xmlEscaped(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

}  // namespace

std::string reducedTileVrtText(const WriteRequest& request, bool inFeet,
                               const std::string& rasterName, uint32_t keptRows) {
  const Selection& selection = request.selection;
  const uint32_t step = selection.step == 0 ? 1 : selection.step;
  const uint32_t cols = keptCount(selection.cols, step);
  // A kept cell stands for the step x step cells from it on; its centre stays where the
  // cell's own centre is, so the outer corner lies half a step less half a cell from it.
  const long double cell = 1.0L / TileGeometry::cellsPerDegree;
  const long double size = step * cell;
  const long double shift = (step - 1) * 0.5L * cell;
  const long double west =
      -static_cast<long double>(request.header.tileWestLon) + selection.startCol * cell - shift;
  const long double north = static_cast<long double>(request.header.tileSouthLat) +
                            (TileGeometry::cellsPerSide - selection.startRow) * cell + shift;
  char transform[160];
  std::snprintf(transform, sizeof transform, "%.17g, %.17g, 0, %.17g, 0, %.17g",
                static_cast<double>(west), static_cast<double>(size), static_cast<double>(north),
                static_cast<double>(-size));
  std::string text;
  text += "<VRTDataset rasterXSize=\"" + std::to_string(cols) + "\" rasterYSize=\"" +
          std::to_string(keptRows) + "\">\r\n";
  text +=
      "  <SRS dataAxisToSRSAxisMapping=\"2,1\">GEOGCS[&quot;NAD83&quot;,DATUM[&quot;North_"
      "American_Datum_1983&quot;,SPHEROID[&quot;GRS 1980&quot;,6378137,298.257222101,"
      "AUTHORITY[&quot;EPSG&quot;,&quot;7019&quot;]],AUTHORITY[&quot;EPSG&quot;,&quot;6269&quot;"
      "]],PRIMEM[&quot;Greenwich&quot;,0,AUTHORITY[&quot;EPSG&quot;,&quot;8901&quot;]],UNIT[&"
      "quot;degree&quot;,0.0174532925199433,AUTHORITY[&quot;EPSG&quot;,&quot;9122&quot;]],"
      "AXIS[&quot;Latitude&quot;,NORTH],AXIS[&quot;Longitude&quot;,EAST],AUTHORITY[&quot;EPSG&"
      "quot;,&quot;4269&quot;]]</SRS>\r\n";
  text += "  <GeoTransform>" + std::string(transform) + "</GeoTransform>\r\n";
  text += "  <VRTRasterBand dataType=\"Float32\" band=\"1\" subClass=\"VRTRawRasterBand\">\r\n";
  text += "    <NoDataValue>-9999</NoDataValue>\r\n";
  text += std::string("    <UnitType>") + (inFeet ? "ft" : "m") + "</UnitType>\r\n";
  text +=
      "    <SourceFilename relativeToVRT=\"1\">" + xmlEscaped(rasterName) + "</SourceFilename>\r\n";
  text += "    <ImageOffset>0</ImageOffset>\r\n";
  text += "    <PixelOffset>4</PixelOffset>\r\n";
  text += "    <LineOffset>" + std::to_string(uint64_t(cols) * 4) + "</LineOffset>\r\n";
  text += "    <ByteOrder>LSB</ByteOrder>\r\n";
  text += "  </VRTRasterBand>\r\n";
  text += "</VRTDataset>\r\n";
  return text;
}

std::string reducedTileHeaderText(uint32_t keptCols, uint32_t keptRows, uint32_t step,
                                  const std::string& xulcornerText,
                                  const std::string& yulcornerText, const std::string& nodataLine) {
  const double cellSize = static_cast<double>(static_cast<long double>(step) * kHeaderCellSize);
  std::string text;
  text += "ncols         " + std::to_string(keptCols) + "\r\n";
  text += "nrows         " + std::to_string(keptRows) + "\r\n";
  text += "xulcorner     " + xulcornerText + "\r\n";
  text += "yulcorner     " + yulcornerText + "\r\n";
  text += "cellsize      " + formatGeneral(cellSize, 10) + "\r\n";
  text += (nodataLine.empty() ? std::string("NODATA        -9999") : nodataLine) + "\r\n";
  text += "byteorder     LSBFIRST\r\n";
  return text;
}

namespace {

// The files of the tiles a write reads: the opened tile's header and raster (and the file
// the user picked, a GeoTIFF say), then each raster beside it with its header.
std::vector<std::string> tileFilesOf(const WriteRequest& request) {
  std::vector<std::string> files = {request.header.headerPath, request.header.rasterPath,
                                    request.header.chosenPath};
  for (const std::string& raster : request.mosaic.rasterPaths) {
    files.push_back(raster);
    files.push_back(replaceExtension(raster, extensionOffsetOf(raster), "hdr"));
  }
  return files;
}

}  // namespace

OutputNamesCheck checkOutputNames(Desktop& desktop, const WriteRequest& request,
                                  const std::string& outputPath,
                                  const std::vector<std::string>& sidePaths) {
  const std::vector<std::string> tileFiles = tileFilesOf(request);
  std::vector<std::string> names = {outputPath};
  names.insert(names.end(), sidePaths.begin(), sidePaths.end());
  const char* what = sidePaths.empty() ? "the point file" : "the reduced tile";
  for (const std::string& name : names) {
    for (size_t k = 0; k < tileFiles.size(); ++k) {
      if (tileFiles[k].empty() || !equalIgnoringCase(name, tileFiles[k])) continue;
      const char* whose = k < 3 ? "the opened tile" : "a tile read beside it";
      desktop.showMessage(
          fileNameOf(name) + " belongs to " + whose + ": choose another name for " + what + ".",
          "Message.", kPlainMessage);
      return OutputNamesCheck::refused;
    }
  }
  std::vector<std::string> existing;
  for (const std::string& side : sidePaths) {
    if (desktop.fileSystem().stat(side).exists) existing.push_back(fileNameOf(side));
  }
  if (existing.empty()) return OutputNamesCheck::go;
  const std::string question =
      existing.size() == 1
          ? existing[0] + " already exists.\nDo you want to replace it?"
          : existing[0] + " and " + existing[1] + " already exist.\nDo you want to replace them?";
  return desktop.showMessage(question, "Message.", kWarningQuestion) == MessageAnswer::yes
             ? OutputNamesCheck::go
             : OutputNamesCheck::declined;
}

}  // namespace ned
