#include "core/export/portable_math.h"

#include <cmath>
#include <cstddef>

namespace ned::portable {

namespace {

constexpr double kHalfPi = 1.5707963267948966;        // pi/2 rounded
constexpr double kHalfPiLow = 6.123233995736766e-17;  // pi/2 - kHalfPi
constexpr double kHalfPi1 = 1.5707963267341256;       // pi/2 in three parts of 33 bits
constexpr double kHalfPi2 = 6.077100506303966e-11;
constexpr double kHalfPi3 = 2.0222662487959506e-21;
constexpr double kSixthPi = 0.5235987755982989;
constexpr double kSixthPiLow = -5.360408832255455e-17;
constexpr double kSqrt3 = 1.7320508075688772;
constexpr double kLn2High = 0.6931471806019545;  // ln 2 in a part of 32 bits and the rest
constexpr double kLn2Low = -4.2009150726810846e-11;

// Sums c[0] + c[1] z + ... + c[count - 1] z^(count - 1).
template <size_t count>
double horner(const double (&c)[count], double z) {
  double sum = c[count - 1];
  for (size_t i = count - 1; i-- > 0;) sum = sum * z + c[i];
  return sum;
}

// Taylor coefficients of sin(r)/r, cos(r), exp(r), atanh(s)/s and atan(s)/s in powers of r^2
// (exp: of r); |r| <= pi/4 for sin and cos, 0.35 for exp, |s| <= 0.18 for atanh and 0.27
// for atan, where the first term left out is below 1e-19 of the sum.
constexpr double kSin[] = {1.0,
                           -1.0 / 6.0,
                           1.0 / 120.0,
                           -1.0 / 5040.0,
                           1.0 / 362880.0,
                           -1.0 / 39916800.0,
                           1.0 / 6227020800.0,
                           -1.0 / 1307674368000.0,
                           1.0 / 355687428096000.0,
                           -1.0 / 121645100408832000.0,
                           1.0 / 51090942171709440000.0,
                           -1.0 / 25852016738884976640000.0};
constexpr double kCos[] = {1.0,
                           -1.0 / 2.0,
                           1.0 / 24.0,
                           -1.0 / 720.0,
                           1.0 / 40320.0,
                           -1.0 / 3628800.0,
                           1.0 / 479001600.0,
                           -1.0 / 87178291200.0,
                           1.0 / 20922789888000.0,
                           -1.0 / 6402373705728000.0,
                           1.0 / 2432902008176640000.0,
                           -1.0 / 1124000727777607680000.0,
                           1.0 / 620448401733239439360000.0};
constexpr double kExp[] = {1.0,
                           1.0,
                           1.0 / 2.0,
                           1.0 / 6.0,
                           1.0 / 24.0,
                           1.0 / 120.0,
                           1.0 / 720.0,
                           1.0 / 5040.0,
                           1.0 / 40320.0,
                           1.0 / 362880.0,
                           1.0 / 3628800.0,
                           1.0 / 39916800.0,
                           1.0 / 479001600.0,
                           1.0 / 6227020800.0,
                           1.0 / 87178291200.0,
                           1.0 / 1307674368000.0};
constexpr double kAtanh[] = {1.0,        1.0 / 3.0,  1.0 / 5.0,  1.0 / 7.0,  1.0 / 9.0,
                             1.0 / 11.0, 1.0 / 13.0, 1.0 / 15.0, 1.0 / 17.0, 1.0 / 19.0,
                             1.0 / 21.0, 1.0 / 23.0, 1.0 / 25.0, 1.0 / 27.0};
constexpr double kAtan[] = {1.0,         -1.0 / 3.0,  1.0 / 5.0,   -1.0 / 7.0,  1.0 / 9.0,
                            -1.0 / 11.0, 1.0 / 13.0,  -1.0 / 15.0, 1.0 / 17.0,  -1.0 / 19.0,
                            1.0 / 21.0,  -1.0 / 23.0, 1.0 / 25.0,  -1.0 / 27.0, 1.0 / 29.0,
                            -1.0 / 31.0, 1.0 / 33.0,  -1.0 / 35.0};

// 2 atanh(s) = log((1 + s) / (1 - s)), |s| <= 0.18.
double twiceAtanhSmall(double s) {
  return 2.0 * s * horner(kAtanh, s * s);
}

// atan(x), x >= 0.
double atanPositive(double x) {
  if (x > 1.0) return kHalfPi - atanPositive(1.0 / x) + kHalfPiLow;
  if (x > 0.2679491924311227)  // tan(pi/12): atan x = pi/6 + atan((x sqrt3 - 1)/(x + sqrt3))
    return kSixthPi + (atanPositive((x * kSqrt3 - 1.0) / (x + kSqrt3)) + kSixthPiLow);
  if (x < 0.0) return -atanPositive(-x);  // only from the line above
  return x * horner(kAtan, x * x);
}

}  // namespace

void sinCos(double x, double* sine, double* cosine) {
  if (!(std::fabs(x) < 1e9)) {  // no angle of the projections; infinite, not a number
    *sine = *cosine = std::nan("");
    return;
  }
  const double k = std::floor(x / kHalfPi + 0.5);
  const double r = ((x - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
  const double z = r * r;
  const double s = r * horner(kSin, z), c = horner(kCos, z);
  switch (static_cast<int>(k - 4.0 * std::floor(k / 4.0))) {
    case 0:
      *sine = s;
      *cosine = c;
      break;
    case 1:
      *sine = c;
      *cosine = -s;
      break;
    case 2:
      *sine = -s;
      *cosine = -c;
      break;
    default:
      *sine = -c;
      *cosine = s;
      break;
  }
}

double exp(double x) {
  if (std::isnan(x)) return x;
  if (x > 709.8) return HUGE_VAL;
  if (x < -745.2) return 0.0;
  const double k = std::floor(x * 1.4426950408889634 + 0.5);  // x / ln 2
  const double r = (x - k * kLn2High) - k * kLn2Low;
  return std::ldexp(horner(kExp, r), static_cast<int>(k));
}

// log(x), x > 0 and finite.
double log(double x) {
  if (!(x > 0.0) || std::isinf(x)) return x == 0.0 ? -HUGE_VAL : x > 0.0 ? x : std::nan("");
  int exponent = 0;
  double m = std::frexp(x, &exponent);  // [0.5, 1)
  if (m < 0.70710678118654752) {
    m *= 2.0;
    --exponent;
  }
  const double k = exponent;
  return k * kLn2High + (k * kLn2Low + twiceAtanhSmall((m - 1.0) / (m + 1.0)));
}

// log(1 + u), u > -1.
double log1p(double u) {
  return std::fabs(u) < 0.41 ? twiceAtanhSmall(u / (2.0 + u)) : log(1.0 + u);
}

double asinh(double x) {
  const double a = std::fabs(x);
  const double y =
      a > 1e150 ? log(a) + kLn2High + kLn2Low : log1p(a + a * a / (1.0 + std::sqrt(1.0 + a * a)));
  return x < 0.0 ? -y : y;
}

// |x| < 1.
double atanh(double x) {
  const double a = std::fabs(x);
  const double y = a <= 0.18 ? a * horner(kAtanh, a * a) : 0.5 * log1p(2.0 * a / (1.0 - a));
  return x < 0.0 ? -y : y;
}

double sinh(double x) {
  const double a = std::fabs(x);
  double y;
  if (a < 0.35) {
    y = a * horner(kSin, -a * a);  // the sine's series with the signs all +
  } else {
    const double e = exp(a);
    y = 0.5 * (e - 1.0 / e);
  }
  return x < 0.0 ? -y : y;
}

double tan(double x) {
  double s = 0.0, c = 0.0;
  sinCos(x, &s, &c);
  return s / c;
}

double atan2(double y, double x) {
  const double ax = std::fabs(x), ay = std::fabs(y);
  if (ax == 0.0 && ay == 0.0) return 0.0;
  double a = ay <= ax ? atanPositive(ay / ax) : kHalfPi - atanPositive(ax / ay) + kHalfPiLow;
  if (x < 0.0) a = (kHalfPi - a + kHalfPiLow) + kHalfPi;
  return y < 0.0 ? -a : a;
}

}  // namespace ned::portable
