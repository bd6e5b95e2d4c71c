#include "core/export/number_format.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace ned {

namespace {

// The texts the C library gives infinities and NaNs; false for a finite value.
bool formatSpecial(uint64_t bits, std::string* text) {
  if (((bits >> 52) & 0x7FF) != 0x7FF) return false;
  const bool negative = (bits >> 63) != 0;
  const bool nan = (bits & ((UINT64_C(1) << 52) - 1)) != 0;
  *text = negative ? "-" : "";
  *text += nan ? "nan" : "inf";
  return true;
}

uint64_t bitsOf(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

char* formatUnsigned(unsigned long long value, char* out) {
  char temp[24];
  char* p = temp + sizeof temp;
  while (value >= 100) {
    const uint32_t pair = static_cast<uint32_t>(value % 100);
    value /= 100;
    p -= 2;
    std::memcpy(p, detail::pairDigits(pair), 2);
  }
  if (value >= 10) {
    p -= 2;
    std::memcpy(p, detail::pairDigits(static_cast<uint32_t>(value)), 2);
  } else {
    *--p = static_cast<char>('0' + value);
  }
  const size_t length = static_cast<size_t>(temp + sizeof temp - p);
  std::memcpy(out, p, length);
  return out + length;
}

namespace detail {

char* formatFixed3General(double value, char* out) {
  const uint64_t bits = bitsOf(value);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const uint64_t fraction = bits & ((UINT64_C(1) << 52) - 1);
  std::string special;
  if (formatSpecial(bits, &special)) {
    std::memcpy(out, special.data(), special.size());
    return out + special.size();
  }
  // value = mantissa x 2^exponent exactly.
  const uint64_t mantissa = biased == 0 ? fraction : (fraction | (UINT64_C(1) << 52));
  const int exponent = biased == 0 ? -1074 : biased - 1075;
  if (exponent > 0) {
    // 2^53 and beyond: whole numbers of up to 309 digits; the library prints them exactly.
    const std::to_chars_result r =
        std::to_chars(out, out + kMaxFixed3Chars, value, std::chars_format::fixed, 3);
    return r.ptr;
  }
  // Thousandths, rounded to nearest with ties to even: mantissa x 1000 < 2^63 is exact.
  const uint64_t scaled = mantissa * 1000;
  const int shift = -exponent;
  uint64_t thousandths;
  if (shift == 0) {
    thousandths = scaled;
  } else if (shift < 64) {
    thousandths = scaled >> shift;
    const uint64_t rest = scaled & ((UINT64_C(1) << shift) - 1);
    const uint64_t half = UINT64_C(1) << (shift - 1);
    if (rest > half || (rest == half && (thousandths & 1) != 0)) ++thousandths;
  } else {
    thousandths = 0;  // below half a thousandth
  }
  char* p = out;
  if ((bits >> 63) != 0) *p++ = '-';
  p = formatUnsigned(thousandths / 1000, p);
  std::memcpy(p, thousandthsText(static_cast<uint32_t>(thousandths % 1000)), 4);
  return p + 4;
}

}  // namespace detail

std::string formatFixed3(double value) {
  char text[kMaxFixed3Chars];
  return std::string(text, formatFixed3(value, text));
}

std::string formatGeneral(double value, int precision) {
  if (precision < 1) precision = 1;
  if (precision > 17) precision = 17;
  std::string text;
  const uint64_t bits = bitsOf(value);
  if (formatSpecial(bits, &text)) return text;

  // The scientific form at precision - 1 gives the rounded digits and the exponent.
  char scientific[64];
  const std::to_chars_result r = std::to_chars(scientific, scientific + sizeof scientific, value,
                                               std::chars_format::scientific, precision - 1);
  const char* p = scientific;
  const char* end = r.ptr;
  const bool negative = *p == '-';
  if (negative) ++p;
  std::string digits;
  while (p < end && *p != 'e') {
    if (*p != '.') digits += *p;
    ++p;
  }
  const int exponent = p < end ? std::atoi(std::string(p + 1, end).c_str()) : 0;

  if (negative) text += '-';
  if (exponent >= -4 && exponent < precision) {
    std::string whole;
    std::string decimals;
    if (exponent >= 0) {
      whole = digits.substr(0, static_cast<size_t>(exponent) + 1);
      decimals = digits.substr(static_cast<size_t>(exponent) + 1);
    } else {
      whole = "0";
      decimals = std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
    while (!decimals.empty() && decimals.back() == '0') decimals.pop_back();
    text += whole;
    if (!decimals.empty()) text += "." + decimals;
    return text;
  }
  std::string decimals = digits.substr(1);
  while (!decimals.empty() && decimals.back() == '0') decimals.pop_back();
  text += digits[0];
  if (!decimals.empty()) text += "." + decimals;
  text += exponent < 0 ? "e-" : "e+";
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) text += '0';
  text += std::to_string(magnitude);
  return text;
}

}  // namespace ned
