// A typed north-west corner against a tile, as gridpick checks and reads it. The corner
// values are made the way the header readers make them (the number of a text without its
// sign, in the short form or floored in the long one); the latitude and longitude are
// read as dialog 101 reads them, at most 8 characters, either any text or a whole degree
// of the tile followed by any digits. Every latitude and longitude the checks take lands
// on a row or column of the square, 6 to 10806. Any double and any edge, NaN and the
// infinities among them, go through the reading without undefined behaviour.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <string>

#include "core/export/selection.h"
#include "core/numbers.h"
#include "extractor/extractor_driver.h"
#include "fuzz/fuzz_check.h"

namespace {

double cornerValue(FuzzedDataProvider& input, bool longForm, double longFormOffset) {
  const double value = ned::takeNumber(input.ConsumeRandomLengthString(24).c_str());
  return longForm ? std::floor(value) + longFormOffset : value;
}

// A typed field: any text, or a degree of the tile, a point and any digits.
double typed(FuzzedDataProvider& input, int32_t degree) {
  std::string text;
  if (input.ConsumeBool()) {
    text = std::to_string(degree) + "." + input.ConsumeRandomLengthString(6);
  } else {
    text = input.ConsumeRandomLengthString(12);
  }
  return ned::parseLeadingDouble(text.substr(0, 8).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const bool longForm = input.ConsumeBool();
  ned::TileHeader header;
  header.tileWestLon = cornerValue(input, longForm, 0.000555555555);
  header.tileSouthLat = cornerValue(input, longForm, -1.000555555555);
  const int32_t north = ned::northEdgeLat(header);
  const int32_t west = ned::westEdgeLon(header);

  const double lat = typed(input, input.ConsumeBool() ? north : ned::southEdgeLat(header));
  if (ned::latitudeInLimits(header, lat)) {
    const int32_t row = ned::parseDdMmSs(lat, north, true);
    FUZZ_CHECK(row >= 6 && row <= 10806);
  }
  const double lon = typed(input, input.ConsumeBool() ? west : ned::eastEdgeLon(header));
  if (ned::longitudeInLimits(header, lon)) {
    const int32_t col = ned::parseDdMmSs(lon, west, false);
    FUZZ_CHECK(col >= 6 && col <= 10806);
  }

  const double any = input.ConsumeFloatingPoint<double>();
  const int32_t edge = input.ConsumeIntegral<int32_t>();
  const bool isLatitude = input.ConsumeBool();
  ned::splitDdMmSs(any, edge, isLatitude);
  ned::parseDdMmSs(any, edge, isLatitude);
  ned::parseDdMmSs(std::nan(""), edge, isLatitude);
  ned::parseDdMmSs(input.ConsumeBool() ? HUGE_VAL : -HUGE_VAL, edge, isLatitude);
  return 0;
}
