#include "core/numbers.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <limits>

namespace ned {

namespace {

const char* skipBlanks(const char* text) {
  while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text))) ++text;
  return text;
}

}  // namespace

double parseLeadingDouble(const char* text) {
  const char* p = skipBlanks(text);
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  double value = 0.0;
  const std::from_chars_result r =
      std::from_chars(p, p + std::strlen(p), value, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone when it overflows or underflows; atof gives
    // the infinity or the zero of the right sign.
    const char* q = p;
    while (std::isdigit(static_cast<unsigned char>(*q)) || *q == '.') ++q;
    const bool tiny = (*q == 'e' || *q == 'E') && q[1] == '-';
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (r.ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}

int32_t parseLeadingInt(const char* text) {
  const char* p = skipBlanks(text);
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  int64_t value = 0;
  while (std::isdigit(static_cast<unsigned char>(*p))) {
    value = value * 10 + (*p - '0');
    if (value > INT64_C(2147483648)) value = INT64_C(2147483648);
    ++p;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t truncateToInt32(long double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483647.0L) return INT32_MAX;
  if (value <= -2147483648.0L) return INT32_MIN;
  return static_cast<int32_t>(value);
}

uint32_t truncateToUint32(long double value) {
  if (!(value > 0.0L)) return 0;
  if (value >= 4294967295.0L) return UINT32_MAX;
  return static_cast<uint32_t>(value);
}

}  // namespace ned
