#include "tests/support/tile_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace ned::testing {

TempDir::TempDir() {
  char pattern[] = "/tmp/terravane-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = made;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

namespace {

std::string number(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string shortHeader(double xllcorner, double yllcorner, const std::string& lineEnd) {
  return "ncols         10812" + lineEnd + "nrows         10812" + lineEnd + "xllcorner     " +
         number("%.11f", xllcorner) + lineEnd + "yllcorner     " + number("%.11f", yllcorner) +
         lineEnd + "cellsize      0.00009259259259" + lineEnd + "NODATA_value  -9999" + lineEnd +
         "byteorder     LSBFIRST" + lineEnd;
}

std::string longGisHeader(double ulxmap, double ulymap, const std::string& lineEnd) {
  return "BYTEORDER      I" + lineEnd + "LAYOUT         BIL" + lineEnd + "NROWS          10812" +
         lineEnd + "NCOLS          10812" + lineEnd + "NBANDS         1" + lineEnd +
         "NBITS          32" + lineEnd + "BANDROWBYTES   43248" + lineEnd + "TOTALROWBYTES  43248" +
         lineEnd + "PIXELTYPE      FLOAT" + lineEnd + "ULXMAP         " + number("%.13f", ulxmap) +
         lineEnd + "ULYMAP         " + number("%.13f", ulymap) + lineEnd +
         "XDIM           0.000092592592593" + lineEnd + "YDIM           0.000092592592593" +
         lineEnd + "NODATA         -9999" + lineEnd;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::string readFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return {};
  std::string bytes;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

void makeSparseRaster(const std::string& path, int64_t bytes) {
  const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  if (fd < 0 || ::ftruncate(fd, bytes) != 0) throw std::runtime_error("cannot make " + path);
  ::close(fd);
}

void plantSamples(const std::string& path, int32_t row, int32_t col,
                  const std::vector<float>& samples) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  std::vector<unsigned char> bytes(samples.size() * 4);
  for (size_t i = 0; i < samples.size(); ++i) {
    uint32_t bits;
    std::memcpy(&bits, &samples[i], 4);
    for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<unsigned char>(bits >> (8 * b));
  }
  const off_t offset = static_cast<off_t>(row) * 43248 + static_cast<off_t>(col) * 4;
  const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), offset);
  ::close(fd);
  if (written != static_cast<ssize_t>(bytes.size())) throw std::runtime_error("short write");
}

}  // namespace ned::testing
