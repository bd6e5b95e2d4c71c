// Tiles on disk for the native tests: a temporary folder, header texts in both forms,
// and sparse rasters of full size with values planted where a test needs them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ned::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The short header form as the elevation service ships it (7 lines).
std::string shortHeader(double xllcorner, double yllcorner, const std::string& lineEnd = "\r\n");

// The long form as common GIS tools write it (14 lines, ULXMAP and ULYMAP).
std::string longGisHeader(double ulxmap, double ulymap, const std::string& lineEnd = "\r\n");

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

// A raster of the given size in bytes (a complete tile by default) made of zeros,
// without writing them.
void makeSparseRaster(const std::string& path, int64_t bytes = INT64_C(467597376));

// Writes samples, little-endian, from cell (row, col) on along the row.
void plantSamples(const std::string& path, int32_t row, int32_t col,
                  const std::vector<float>& samples);

}  // namespace ned::testing
