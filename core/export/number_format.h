// Numbers as the point files and the dialogs print them: the fixed form with three
// decimals and the general form at a given precision, both the correctly rounded
// decimal of the binary value (an exact tie rounds to even), the same on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace ned {

// The most characters formatFixed3 writes (the largest double has 309 integer digits).
constexpr size_t kMaxFixed3Chars = 320;

namespace detail {

struct DigitTables {
  char pairs[200];         // "00" "01" ... "99"
  char thousandths[4000];  // ".000" ".001" ... ".999"
  constexpr DigitTables() : pairs(), thousandths() {
    for (int k = 0; k < 100; ++k) {
      pairs[2 * k] = static_cast<char>('0' + k / 10);
      pairs[2 * k + 1] = static_cast<char>('0' + k % 10);
    }
    for (int k = 0; k < 1000; ++k) {
      thousandths[4 * k] = '.';
      thousandths[4 * k + 1] = static_cast<char>('0' + k / 100);
      thousandths[4 * k + 2] = static_cast<char>('0' + k / 10 % 10);
      thousandths[4 * k + 3] = static_cast<char>('0' + k % 10);
    }
  }
};

inline constexpr DigitTables kDigitTables{};

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
    const uint32_t pair = (value % 100) * 2;
    value /= 100;
    p -= 2;
    std::memcpy(p, kDigitTables.pairs + pair, 2);
  }
  if (value >= 10) {
    std::memcpy(p - 2, kDigitTables.pairs + value * 2, 2);
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
  std::memcpy(p, detail::kDigitTables.thousandths + (thousandths - whole * 1000) * 4, 4);
  return p + 4;
}

std::string formatFixed3(double value);

// value as "%.<precision>g" prints it: trailing zeros and a bare point dropped, the
// exponent form ("9.2592593e-05") when the exponent is below -4 or not below the
// precision. precision 1 ... 17.
std::string formatGeneral(double value, int precision);

// Unsigned decimal digits of value to out (at most 20), giving the end.
char* formatUnsigned(unsigned long long value, char* out);

}  // namespace ned
