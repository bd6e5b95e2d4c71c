// The number readers against the C library's strtod and strtol, on any text. Where strtod
// reads a decimal number, parseLeadingDouble gives the same double, bit for bit, its
// infinities and zeros of the right sign included; where strtod reads a word (inf, nan)
// parseLeadingDouble reads no number and gives 0, and of a hexadecimal number only the 0
// before the x. It never gives NaN. parseLeadingInt is strtol held at the limits of
// int32_t.
#include "core/numbers.h"

#include <strings.h>

#include <cctype>
#include <cmath>
#include <cstring>

#include "fuzz/fuzz_check.h"

namespace {

// Where the number starts once strtod has passed the blanks and the sign.
const char* afterBlanksAndSign(const char* text) {
  while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text))) ++text;
  if (*text == '+' || *text == '-') ++text;
  return text;
}

bool sameDouble(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = ned::fuzz::textOf(data, size);
  const double value = ned::parseLeadingDouble(text.c_str());
  FUZZ_CHECK(!std::isnan(value));

  const char* number = afterBlanksAndSign(text.c_str());
  if (strncasecmp(number, "inf", 3) == 0 || strncasecmp(number, "nan", 3) == 0) {
    FUZZ_CHECK(sameDouble(value, 0.0));
  } else {
    // Of "0x..." the decimal reading takes the 0 alone.
    if (strncasecmp(number, "0x", 2) == 0)
      text.resize(static_cast<size_t>(number - text.data()) + 1);
    FUZZ_CHECK(sameDouble(value, std::strtod(text.c_str(), nullptr)));
  }

  const std::string whole = ned::fuzz::textOf(data, size);
  const long wide = std::strtol(whole.c_str(), nullptr, 10);
  const int32_t held = wide > INT32_MAX   ? INT32_MAX
                       : wide < INT32_MIN ? INT32_MIN
                                          : static_cast<int32_t>(wide);
  FUZZ_CHECK(ned::parseLeadingInt(whole.c_str()) == held);
  return 0;
}
