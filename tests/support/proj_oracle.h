// Map coordinates as PROJ computes them: with its cs2cs at test time, or as it answered
// once for the points of tests/data/proj_answers.txt (tools/make_proj_answers.py). The
// independent oracle of the map projections and of the files written in them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ned::testing {

// Whether PROJ's cs2cs (proj-bin) can be run.
bool haveCs2cs();

// NAD83 points (EPSG:4269, degrees) to project into one system, named as cs2cs takes it:
// "EPSG:2274", or a WKT text. cs2cs gives easting and northing in the system's unit (every
// system of the table has its axes in that order).
struct ProjBatch {
  std::string target;
  std::vector<double> latitudes;
  std::vector<double> longitudes;
  std::vector<double> eastings;  // filled by projectWithProj
  std::vector<double> northings;
};

// Projects every batch with one cs2cs run each, several running at a time. False when a
// run fails or does not give a number pair for each point.
bool projectWithProj(std::vector<ProjBatch>& batches);

// One of PROJ's frozen answers: a NAD83 point (degrees) projected into the system of an
// EPSG code, or under the method's code (1051, 9801) into the test systems of those methods.
struct FrozenAnswer {
  int32_t code;
  double latitude;
  double longitude;
  double easting;
  double northing;
};

// Every answer of tests/data/proj_answers.txt in its order; empty when the file cannot be
// read or a line is not five numbers.
std::vector<FrozenAnswer> frozenProjAnswers();

}  // namespace ned::testing
