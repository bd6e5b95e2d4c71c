// Numbers as the point files and the dialogs print them: the fixed form with three
// decimals and the general form at a given precision, both the correctly rounded
// decimal of the binary value (an exact tie rounds to even), the same on every platform.
#pragma once

#include <cstddef>
#include <string>

namespace ned {

// The most characters formatFixed3 writes (the largest double has 309 integer digits).
constexpr size_t kMaxFixed3Chars = 320;

// Writes value as "%.3lf" prints it ("-0.000" for a small negative, "inf", "-nan") to out,
// which has room for kMaxFixed3Chars, and gives the end of the text. No terminator.
char* formatFixed3(double value, char* out);
std::string formatFixed3(double value);

// value as "%.<precision>g" prints it: trailing zeros and a bare point dropped, the
// exponent form ("9.2592593e-05") when the exponent is below -4 or not below the
// precision. precision 1 ... 17.
std::string formatGeneral(double value, int precision);

// Unsigned decimal digits of value to out (at most 20), giving the end.
char* formatUnsigned(unsigned long long value, char* out);

}  // namespace ned
