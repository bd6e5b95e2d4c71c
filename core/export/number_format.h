// Numbers as the point files and the dialogs print them: the fixed form with three
// decimals and the general form at a given precision, both the correctly rounded
// decimal of the binary value (an exact tie rounds to even), the same on every platform.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace ned {

// The most characters formatFixed3 writes (the largest double has 309 integer digits).
constexpr size_t kMaxFixed3Chars = 320;

namespace detail {

// The one set of digit tables every formatter takes its digits from: the four digits of
// each number below 10000, and "d.ddd" for each of them in slots of eight. The last two
// of a number's four digits are its pair below 100; the slot of k below 1000 holds its
// thousandths ".ddd" after the leading "0".
struct DigitTables {
  char quads[40000];
  char pointQuads[80000];
  constexpr DigitTables() : quads(), pointQuads() {
    for (int k = 0; k < 10000; ++k) {
      const char digits[4] = {
          static_cast<char>('0' + k / 1000), static_cast<char>('0' + k / 100 % 10),
          static_cast<char>('0' + k / 10 % 10), static_cast<char>('0' + k % 10)};
      for (int d = 0; d < 4; ++d) quads[4 * k + d] = digits[d];
      pointQuads[8 * k] = digits[0];
      pointQuads[8 * k + 1] = '.';
      for (int d = 1; d < 4; ++d) pointQuads[8 * k + 1 + d] = digits[d];
    }
  }
};

inline constexpr DigitTables kDigitTables{};

// The two digits of a number below 100.
inline const char* pairDigits(uint32_t k) {
  return kDigitTables.quads + 4 * k + 2;
}
// ".ddd" for thousandths below 1000.
inline const char* thousandthsText(uint32_t k) {
  return kDigitTables.pointQuads + 8 * k + 1;
}

// Every value the inline path leaves: zero, tiny, huge, infinite, NaN.
char* formatFixed3General(double value, char* out);

// The decimal digits of a value below 10^8.
inline char* formatBelow1e8(uint32_t value, char* out) {
  const int length = value < 10         ? 1
                     : value < 100      ? 2
                     : value < 1000     ? 3
                     : value < 10000    ? 4
                     : value < 100000   ? 5
                     : value < 1000000  ? 6
                     : value < 10000000 ? 7
                                        : 8;
  char* p = out + length;
  while (value >= 100) {
    const uint32_t pair = value % 100;
    value /= 100;
    p -= 2;
    std::memcpy(p, pairDigits(pair), 2);
  }
  if (value >= 10) {
    std::memcpy(p - 2, pairDigits(value), 2);
  } else {
    p[-1] = static_cast<char>('0' + value);
  }
  return out + length;
}

}  // namespace detail

// Writes value as "%.3lf" prints it ("-0.000" for a small negative, "inf", "-nan") to out,
// which has room for kMaxFixed3Chars, and gives the end of the text. No terminator.
inline char* formatFixed3(double value, char* out) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const unsigned biased = static_cast<unsigned>(bits >> 52) & 0x7FFu;
  // From 2^-11 to 2^53 the value is mantissa / 2^shift with a shift of 1 to 63, and
  // mantissa x 1000 < 2^63 is exact.
  if (biased < 1012 || biased > 1074) return detail::formatFixed3General(value, out);
  const uint64_t scaled = ((bits & ((UINT64_C(1) << 52) - 1)) | (UINT64_C(1) << 52)) * 1000;
  const unsigned shift = 1075 - biased;
  // Thousandths, rounded to nearest, a tie to even.
  const uint64_t thousandths =
      (scaled + ((UINT64_C(1) << (shift - 1)) - 1) + ((scaled >> shift) & 1)) >> shift;
  const uint64_t whole = thousandths / 1000;
  if (whole >= 100000000) return detail::formatFixed3General(value, out);
  char* p = out;
  *p = '-';
  p += bits >> 63;
  p = detail::formatBelow1e8(static_cast<uint32_t>(whole), p);
  std::memcpy(p, detail::thousandthsText(static_cast<uint32_t>(thousandths - whole * 1000)), 4);
  return p + 4;
}

std::string formatFixed3(double value);

// value as "%.<precision>g" prints it: trailing zeros and a bare point dropped, the
// exponent form ("9.2592593e-05") when the exponent is below -4 or not below the
// precision. precision 1 ... 17.
std::string formatGeneral(double value, int precision);

// Unsigned decimal digits of value to out (at most 20), giving the end.
char* formatUnsigned(unsigned long long value, char* out);

// A map coordinate's digits above its last eight (those of its thousandths), which change
// only now and then along a row: the thousandths they stand for (none at first) and their
// text, at most six digits, held in a word so that it stays in a register. One for each
// of a row's eastings and northings, carried from point to point.
struct CoordinateLeading {
  uint64_t base = 0;
  uint64_t text = 0;
  size_t length = 0;
};

namespace detail {

// The thousandths nearest to magnitude (0 to 1e11), a tie to even, as "%.3f" rounds: the
// product with 1000 is rounded once more only where it lands on (or past) a half, where
// the product's exact remainder decides.
inline uint64_t nearestThousandths(double magnitude) {
  const double product = magnitude * 1000.0;
  // Below 1e14 the signed conversions are exact, and single instructions.
  int64_t thousandths = static_cast<int64_t>(product + 0.5);
  const double over = static_cast<double>(thousandths) - product;
  if (over >= 0.5) {
    const double remainder = std::fma(magnitude, 1000.0, -product);
    if (over > 0.5 || remainder < 0.0 || (remainder == 0.0 && (thousandths & 1) != 0))
      --thousandths;
  }
  return static_cast<uint64_t>(thousandths);
}

}  // namespace detail

// A coordinate of fewer than eight whole digits, or negative, as formatCoordinate writes
// it; beyond 1e11 in magnitude, as formatFixed3 does.
inline char* formatSmallCoordinate(double value, char* out) {
  if (!(value > -1e11 && value < 1e11)) return formatFixed3(value, out);
  const bool negative = std::signbit(value);
  const uint64_t thousandths = detail::nearestThousandths(negative ? -value : value);
  *out = '-';
  out += negative;
  const uint64_t whole = thousandths / 1000;
  out = whole < 100000000 ? detail::formatBelow1e8(static_cast<uint32_t>(whole), out)
                          : formatUnsigned(whole, out);
  std::memcpy(out, detail::thousandthsText(static_cast<uint32_t>(thousandths - whole * 1000)), 4);
  return out + 4;
}

// A projected coordinate with three decimals, as "%.3f" prints it (an exact tie to the
// even thousandth), quicker than formatFixed3: the value's product with 1000 gives the
// thousandths, checked exactly only near a half. From 100000 up, the last eight digits are
// written four at a time after the leading ones kept in leading. out has room for
// kMaxFixed3Chars; gives the end of the text.
inline char* formatCoordinate(double value, char* out, CoordinateLeading& leading) {
  if (!(value >= 100000.0 && value < 1e11)) return formatSmallCoordinate(value, out);
  const uint64_t thousandths = detail::nearestThousandths(value);
  uint64_t low = thousandths - leading.base;
  if (low >= 100000000) {
    const uint64_t high = thousandths / 100000000;
    char text[24] = {};
    leading.length = static_cast<size_t>(formatUnsigned(high, text) - text);
    std::memcpy(&leading.text, text, 8);
    leading.base = high * 100000000;
    low = thousandths - leading.base;
  }
  std::memcpy(out, &leading.text, 8);
  out += leading.length;
  const uint32_t upper = static_cast<uint32_t>(low) / 10000;
  std::memcpy(out, detail::kDigitTables.quads + upper * 4, 4);
  std::memcpy(out + 4,
              detail::kDigitTables.pointQuads + (static_cast<uint32_t>(low) - upper * 10000) * 8,
              8);
  return out + 9;
}

}  // namespace ned
