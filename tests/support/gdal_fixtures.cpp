#include "tests/support/gdal_fixtures.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/tile_files.h"

#ifndef TERRAVANE_SOURCE_DIR
#define TERRAVANE_SOURCE_DIR "."
#endif

namespace ned::testing {

std::string quoted(const std::string& argument) {
  std::string text = "'";
  for (char c : argument) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return text + "'";
}

namespace {

// The number after "key": in a JSON text, from position from on. NaN and the infinities
// come quoted ("NaN", "-Infinity").
bool jsonNumber(const std::string& json, const std::string& key, size_t from, double& value,
                size_t* end = nullptr) {
  const size_t at = json.find("\"" + key + "\":", from);
  if (at == std::string::npos) return false;
  const char* start = json.c_str() + at + key.size() + 3;
  while (*start == ' ') ++start;
  const bool quoted = *start == '"';
  if (quoted) ++start;
  char* stop = nullptr;
  value = std::strtod(start, &stop);
  if (quoted && *stop == '"') ++stop;
  if (end != nullptr) *end = static_cast<size_t>(stop - json.c_str());
  return stop != start;
}

// The numbers of the array after "key":.
std::vector<double> jsonArray(const std::string& json, const std::string& key) {
  std::vector<double> values;
  const size_t at = json.find("\"" + key + "\":");
  if (at == std::string::npos) return values;
  const char* p = std::strchr(json.c_str() + at, '[');
  while (p != nullptr && *p != ']') {
    char* stop = nullptr;
    const double value = std::strtod(p + 1, &stop);
    if (stop == p + 1) break;
    values.push_back(value);
    p = stop;
    while (*p == ' ' || *p == '\n') ++p;
  }
  return values;
}

}  // namespace

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> list;
  size_t start = text.find_first_not_of(' ');
  while (start != std::string::npos) {
    const size_t end = text.find(' ', start);
    list.push_back(text.substr(start, end - start));
    start = end == std::string::npos ? end : text.find_first_not_of(' ', end);
  }
  return list;
}

bool runGdal(const std::vector<std::string>& arguments, std::string* output) {
  if (arguments.empty()) return false;
  std::string command = quoted(arguments[0]) + " --config GDAL_PAM_ENABLED NO";
  for (size_t i = 1; i < arguments.size(); ++i) command += " " + quoted(arguments[i]);
  // Its messages are shown only when it fails; where the output is asked for, not at all.
  command += output != nullptr ? " 2>/dev/null" : " 2>&1";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  std::string text;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
  const int status = pclose(pipe);
  if (output != nullptr) *output = text;
  if (status != 0 && output == nullptr)
    std::fprintf(stderr, "%s\n%s", command.c_str(), text.c_str());
  return status == 0;
}

bool gdalInfo(const std::string& path, GdalInfo& info) {
  std::string json;
  if (!runGdal({"gdalinfo", "-json", path}, &json)) return false;
  const std::vector<double> size = jsonArray(json, "size");
  const std::vector<double> transform = jsonArray(json, "geoTransform");
  if (size.size() != 2 || transform.size() != 6) return false;
  info.width = static_cast<int>(size[0]);
  info.height = static_cast<int>(size[1]);
  for (int i = 0; i < 6; ++i) info.transform[i] = transform[static_cast<size_t>(i)];
  const size_t bands = json.find("\"bands\":");
  info.hasNoData = jsonNumber(json, "noDataValue", bands, info.noData);
  // Overviews of the first band: the objects directly inside its "overviews" array.
  info.overviews = 0;
  const size_t overviews = json.find("\"overviews\":[", bands);
  if (overviews != std::string::npos) {
    int depth = 0;
    for (size_t i = json.find('[', overviews); i < json.size(); ++i) {
      const char c = json[i];
      if (c == '{' && depth == 1) ++info.overviews;
      if (c == '[' || c == '{') ++depth;
      if (c == ']' || c == '}') --depth;
      if (depth == 0) break;
    }
  }
  return true;
}

bool gdalGridFloat(const std::string& path, const std::string& raster) {
  GdalInfo info;
  if (!gdalInfo(path, info) || !runGdal({"gdal_translate", "-q", "-of", "EHdr", path, raster}))
    return false;
  const std::string base = raster.substr(0, raster.size() - 4);
  std::remove((base + ".hdr").c_str());
  std::remove((base + ".prj").c_str());
  std::FILE* file = std::fopen(raster.c_str(), "r+b");
  if (file == nullptr) return false;
  // gdalinfo shows the float limits rounded to 8 digits, a hair beyond them.
  const float noData =
      std::isinf(info.noData)
          ? static_cast<float>(info.noData)
          : static_cast<float>(std::fmax(-FLT_MAX, std::fmin(FLT_MAX, info.noData)));
  const float replacement = -9999.0f;
  std::vector<float> chunk(size_t(1) << 18);
  long position = 0;
  bool ok = true;
  for (;;) {
    std::fseek(file, position, SEEK_SET);
    const size_t got = std::fread(chunk.data(), sizeof(float), chunk.size(), file);
    if (got == 0) break;
    for (size_t i = 0; i < got; ++i)
      if (std::isnan(chunk[i]) || (info.hasNoData && chunk[i] == noData)) chunk[i] = replacement;
    std::fseek(file, position, SEEK_SET);
    ok = std::fwrite(chunk.data(), sizeof(float), got, file) == got && ok;
    position += static_cast<long>(got * sizeof(float));
  }
  return std::fclose(file) == 0 && ok;
}

bool sameFileBytes(const std::string& a, const std::string& b) {
  return std::system(("cmp -s " + quoted(a) + " " + quoted(b)).c_str()) == 0;
}

std::string projectFile(const std::string& relative) {
  return std::string(TERRAVANE_SOURCE_DIR) + "/" + relative;
}

std::string demoGeoTiff() {
  // The script skips what is up to date, and lets one maker run at a time.
  const std::string script = projectFile("scripts/make-demo-tiles.sh") + " >/dev/null";
  if (std::system(script.c_str()) != 0) return {};
  return projectFile("build/demo/USGS_13_n37w085.tif");
}

}  // namespace ned::testing
