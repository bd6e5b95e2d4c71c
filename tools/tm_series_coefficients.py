#!/usr/bin/env python3
"""Prints the coefficients alpha_1 ... alpha_9 of Krueger's Transverse Mercator series on
GRS80 to 25 digits, the reference tests/unit/export_map_projection_test.cpp holds the
sixth-order series of core/export/map_projection.cpp to.

On the central meridian the series is the rectifying latitude mu as a function of the
conformal latitude chi, mu = chi + sum alpha_j sin(2 j chi), so alpha_j is a Fourier
coefficient of mu - chi: (4/pi) times the integral over chi from 0 to pi/2 of
(mu - chi) sin(2 j chi), taken here over the geodetic latitude phi (chi and mu are explicit
in phi; the meridian arc comes from the incomplete elliptic integral E) at 40 digits.
Also prints the rectifying radius A. Needs mpmath (python3-mpmath).
"""

from mpmath import asinh, atan, atanh, cos, ellipe, mp, mpf, nstr, pi, quad, sin, sinh, sqrt, tan

mp.dps = 40
A_SEMI_MAJOR = 6378137
F = 1 / mpf("298.257222101")
E2 = F * (2 - F)
E = sqrt(E2)
N = F / (2 - F)


def isometric(phi):
    return asinh(tan(phi)) - E * atanh(E * sin(phi))


def meridian_arc(phi):  # over the semi-major axis
    return ellipe(phi, E2) - E2 * sin(phi) * cos(phi) / sqrt(1 - E2 * sin(phi) ** 2)


QUARTER = meridian_arc(pi / 2)


def integrand(phi, j):
    chi = atan(sinh(isometric(phi)))
    dchi = cos(chi) * (1 - E2) / ((1 - E2 * sin(phi) ** 2) * cos(phi))
    mu = (pi / 2) * meridian_arc(phi) / QUARTER
    return (mu - chi) * sin(2 * j * chi) * dchi


def main():
    print("A =", nstr(A_SEMI_MAJOR * 2 / pi * QUARTER, 30), "m")
    for j in range(1, 10):
        alpha = 4 / pi * quad(lambda p: integrand(p, j), [0, pi / 8, pi / 4, 3 * pi / 8, pi / 2])
        print(f"alpha_{j} =", nstr(alpha, 25), "  alpha_j / n^j =", nstr(alpha / N ** j, 12))


if __name__ == "__main__":
    main()
