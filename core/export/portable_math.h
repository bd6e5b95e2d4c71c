// The elementary functions the map projections need, from IEEE arithmetic, sqrt and exact
// scaling alone: the C libraries of the native and the Windows builds differ in the last
// bit of sin, atan2 or exp now and then, and a point file must have the same bytes from
// both. Each reduces its argument to a small interval (with constants split so that the
// reduction is exact) and sums a Taylor series there far past the precision of a double.
//
// The error bounds below are in units in the last place (ulp) of the exact result, over
// the arguments the projections give them (tests/unit/export_portable_math_test.cpp holds
// each to its bound against the long double functions of the C library). A correctly
// rounded function would be within 0.5 ulp.
#pragma once

namespace ned::portable {

// sin and cos of x at once; |x| below 1e9, else both are not a number.
// Within 2 ulp for |x| <= 4 (the projections' angles are within pi).
void sinCos(double x, double* sine, double* cosine);

// Within 3.5 ulp for |x| <= 1.56.
double tan(double x);

// e^x; within 1.5 ulp for |x| <= 10 (the projections' exponents are below 4).
double exp(double x);

// log(x), x > 0 and finite; within 3 ulp for x in [1e-3, 1e3].
double log(double x);

// log(1 + u), u > -1; within 3.5 ulp for u in [-0.5, 1e3].
double log1p(double u);

// Within 3.5 ulp for |x| <= 1e3.
double asinh(double x);

// |x| < 1; within 4 ulp for |x| <= 0.5 (the projections' arguments are below 0.09).
double atanh(double x);

// Within 4 ulp for |x| <= 4.
double sinh(double x);

// The angle of (x, y) in [-pi, pi]; 0 at the origin. Within 3.5 ulp (any ratio y / x).
double atan2(double y, double x);

}  // namespace ned::portable
