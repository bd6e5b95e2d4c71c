// Turning one displayed elevation sample into its pixel colour: the sample classes, the
// statistics of the displayed block that scale the colours, the four colour ramps, hill
// shading from one of four light directions, and packing into the drawing colour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ned {

enum class SampleClass { Valid, BelowZero, NoData };

// -9999.0 and NaN are no data; any other negative value lies below zero.
SampleClass classifySample(float sample);

struct BlockStatistics {
  float maxElevation = 0.0f;
  float minElevation = 5000.0f;
  float lowestBelowZero = 0.0f;
  int32_t belowZeroCount = 0;
  int32_t noDataCount = 0;
  float relief = 0.0f;  // set by finishStatistics
};

BlockStatistics resetStatistics();
void accumulate(BlockStatistics& statistics, float sample);
void finishStatistics(BlockStatistics& statistics);

// A colour as fractions of full intensity.
struct RampStop {
  float r;
  float g;
  float b;
};

struct ColorRamp {
  const RampStop* stops;
  size_t count;
};

extern const ColorRamp highReliefRamp;
extern const ColorRamp midReliefRamp;
extern const ColorRamp lowReliefRamp;
extern const ColorRamp greyRamp;

// A colour on the 0..255 scale, carried from the ramp through shading to packing.
struct WorkingColor {
  float r;
  float g;
  float b;
};

WorkingColor evaluateRamp(const ColorRamp& ramp, float v);

// Red in the lowest byte, then green, then blue; each channel truncated toward zero.
uint32_t packColor(const WorkingColor& color);
constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r | (g << 8) | (b << 16);
}

// The ramp a Valid cell takes its colour from; null when the block is too flat for any.
const ColorRamp* chooseRamp(bool colorMapOn, float relief);

// The displayed samples of one drawing, exactly as read: column 0 west, row 0 north.
struct SampleBlock {
  static constexpr int32_t kSide = 450;
  std::vector<float> samples = std::vector<float>(static_cast<size_t>(kSide) * kSide, 0.0f);

  float at(int32_t col, int32_t row) const {
    return samples[static_cast<size_t>(row) * kSide + static_cast<size_t>(col)];
  }
  float& at(int32_t col, int32_t row) {
    return samples[static_cast<size_t>(row) * kSide + static_cast<size_t>(col)];
  }
};

// The factor a Valid cell's colour is multiplied by when it is shaded.
float shadeFactor(const SampleBlock& block, int32_t col, int32_t row, int16_t lightDirection,
                  int32_t sampleSkip);

// What the colouring takes from the viewer's state.
struct ColorSettings {
  int16_t colorMapOn = 0;
  int16_t lightDirection = 1;
  int16_t viewLevel = 1;
  int32_t sampleSkip = 23;
};

uint32_t cellColor(const SampleBlock& block, int32_t col, int32_t row,
                   const BlockStatistics& statistics, const ColorSettings& settings);

// cellColor for every column of a row, into out[0..449].
void colorRow(const SampleBlock& block, int32_t row, const BlockStatistics& statistics,
              const ColorSettings& settings, uint32_t* out);

}  // namespace ned
