// Text to number and number to integer, as the programs' users know them from the
// standard library, without its undefined corners.
#pragma once

#include <cstdint>

namespace ned {

// The standard atof rule for decimal numbers: leading blanks, at most one sign, then the
// longest decimal number (digits with at most one point among them, then an exponent).
// No number gives 0, and so do the words the C library also reads ("inf", "nan") and a
// sign after the sign. A number too large for a double gives the infinity of its sign, one
// too small the zero of its sign. The conversion is correctly rounded on every platform.
double parseLeadingDouble(const char* text);

// The standard atoi rule: leading blanks, an optional sign, then decimal digits. No
// number gives 0; a value beyond the 32-bit range is held at its limit.
int32_t parseLeadingInt(const char* text);

// Truncation toward zero, held at the limits of the type; NaN gives 0.
int32_t truncateToInt32(long double value);
uint32_t truncateToUint32(long double value);

}  // namespace ned
