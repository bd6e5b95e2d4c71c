#include "core/tile/raster.h"

#include <cstdint>
#include <cstring>

namespace ned {

void swapLittleEndian(float* samples, size_t count) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  for (size_t i = 0; i < count; ++i) {
    uint32_t bits;
    std::memcpy(&bits, &samples[i], sizeof bits);
    bits = __builtin_bswap32(bits);
    std::memcpy(&samples[i], &bits, sizeof bits);
  }
#else
  (void)samples;
  (void)count;
#endif
}

bool RasterFile::open(FileSystem& files, const std::string& path) {
  file_ = files.open(path, OpenMode::read);
  position_ = 0;
  lost_ = false;
  return file_ != nullptr;
}

bool RasterFile::seekTo(int64_t offset) {
  if (file_ == nullptr) return false;
  lost_ = offset < 0;
  if (lost_) return false;
  position_ = offset;
  return true;
}

bool RasterFile::skip(int64_t bytes) {
  if (file_ == nullptr || lost_) return false;
  // The position is never negative: the sum below cannot pass the limits of the type.
  if (bytes > INT64_MAX - position_) {
    lost_ = true;
    return false;
  }
  return seekTo(position_ + bytes);
}

size_t RasterFile::read(float* out, size_t count) {
  if (file_ == nullptr || count == 0 || lost_) return 0;
  const size_t bytes = file_->read(static_cast<uint64_t>(position_), out, count * sizeof(float));
  // A partial sample at the end is not a sample; the next read starts at the end.
  const size_t got = bytes / sizeof(float);
  position_ += static_cast<int64_t>(bytes);
  swapLittleEndian(out, got);
  return got;
}

bool BlockReader::start(int32_t startRow, int32_t startCol) {
  return raster_.seekTo(cellOffset(startRow, startCol));
}

size_t BlockReader::readRow(float* out) {
  const size_t got = raster_.read(out, cols_);
  // The gap to the next row; a position past the end shows at the next read.
  raster_.skip((static_cast<int64_t>(TileGeometry::cellsPerSide) - cols_) *
               TileGeometry::sampleBytes);
  return got;
}

size_t StridedReader::readRow(float* out, size_t count, size_t step) {
  if (count == 0 || step == 0) return 0;
  const size_t spanCells = (count - 1) * step + 1;
  span_.resize(spanCells);
  const size_t got = raster_.read(span_.data(), spanCells);
  const size_t samples = got == spanCells ? count : (got + step - 1) / step;
  for (size_t i = 0; i < samples; ++i) out[i] = span_[i * step];
  if (samples == count) raster_.skip(static_cast<int64_t>(step - 1) * TileGeometry::sampleBytes);
  return samples;
}

}  // namespace ned
