// The point files' and the dialogs' number texts against the C library's printf, for any
// double: formatFixed3 as "%.3lf" (of the double and of the float the raster holds),
// formatGeneral as "%.*g" at any precision from 1 to 17 (the programs use 10, 12 and
// 13), formatUnsigned as "%llu".
#include "core/export/number_format.h"

#include <cstring>

#include "fuzz/fuzz_check.h"

namespace {

void checkFixed3(double value) {
  char expected[400];
  std::snprintf(expected, sizeof expected, "%.3lf", value);
  char text[ned::kMaxFixed3Chars];
  FUZZ_CHECK(std::string(text, ned::formatFixed3(value, text)) == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  uint64_t bits;
  std::memcpy(&bits, data, sizeof bits);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  float sample;
  std::memcpy(&sample, data, sizeof sample);

  checkFixed3(value);
  checkFixed3(static_cast<double>(sample));

  const int precision = size > 8 ? 1 + data[8] % 17 : 13;
  char expected[64];
  std::snprintf(expected, sizeof expected, "%.*g", precision, value);
  FUZZ_CHECK(ned::formatGeneral(value, precision) == expected);

  std::snprintf(expected, sizeof expected, "%llu", static_cast<unsigned long long>(bits));
  char digits[24];
  FUZZ_CHECK(std::string(digits, ned::formatUnsigned(bits, digits)) == expected);
  return 0;
}
