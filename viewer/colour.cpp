#include "viewer/colour.h"

#include <cmath>

#include "core/numbers.h"
#include "core/tile/tile_header.h"

// Every named result below (v, t, fraction, the ramp value, the angle, the factor, the
// working colour) is stored as a float; where a result takes more than one operation, the
// operations in between are carried out in long double.

namespace ned {

namespace {

constexpr RampStop kHighRelief[] = {
    {0.25f, 0.25f, 0.25f}, {0.0f, 0.5f, 0.0f},   {0.0f, 0.6f, 0.0f}, {0.55f, 0.35f, 0.0f},
    {0.6f, 0.4f, 0.0f},    {0.55f, 0.55f, 0.0f}, {0.6f, 0.6f, 0.6f}, {0.8f, 0.8f, 0.8f},
};
constexpr RampStop kMidRelief[] = {
    {0.25f, 0.25f, 0.25f}, {0.0f, 0.5f, 0.0f}, {0.0f, 0.6f, 0.0f},   {0.54f, 0.34f, 0.0f},
    {0.57f, 0.37f, 0.0f},  {0.6f, 0.4f, 0.0f}, {0.55f, 0.55f, 0.0f}, {0.6f, 0.6f, 0.6f},
};
constexpr RampStop kLowRelief[] = {
    {0.25f, 0.25f, 0.25f}, {0.0f, 0.5f, 0.0f},   {0.0f, 0.55f, 0.0f}, {0.0f, 0.6f, 0.0f},
    {0.54f, 0.34f, 0.0f},  {0.57f, 0.37f, 0.0f}, {0.6f, 0.4f, 0.0f},  {0.55f, 0.55f, 0.0f},
};
constexpr RampStop kGrey[] = {
    {0.2f, 0.2f, 0.2f}, {0.5f, 0.5f, 0.5f}, {0.6f, 0.6f, 0.6f},
    {0.7f, 0.7f, 0.7f}, {0.8f, 0.8f, 0.8f},
};

constexpr float kFlatRelief = 0.33333f;  // the relief of a block flatter than 0.25 m
constexpr double kMetresPerCell = 9.22;  // the run of the shading per raster cell
constexpr float kMaxBrightening = 1.2f;
constexpr WorkingColor kFlatColor = {0.0f, 0.0f, 64.0f};
constexpr uint32_t kNoDataColor = rgb(255, 0, 0);

float channel(float lower, float upper, float fraction) {
  const long double value =
      (static_cast<long double>(lower) + (static_cast<long double>(upper) - lower) * fraction) *
      255.0L;
  return static_cast<float>(value);
}

// Truncation toward zero into a channel byte; NaN gives 0. Working values stay within
// 0..255, and anything beyond is held there.
inline uint32_t packChannel(float value) {
  if (!(value >= 1.0f)) return 0u;
  if (value >= 255.0f) return 255u;
  return static_cast<uint32_t>(value);
}

}  // namespace

const ColorRamp highReliefRamp = {kHighRelief, sizeof kHighRelief / sizeof kHighRelief[0]};
const ColorRamp midReliefRamp = {kMidRelief, sizeof kMidRelief / sizeof kMidRelief[0]};
const ColorRamp lowReliefRamp = {kLowRelief, sizeof kLowRelief / sizeof kLowRelief[0]};
const ColorRamp greyRamp = {kGrey, sizeof kGrey / sizeof kGrey[0]};

SampleClass classifySample(float sample) {
  SampleClass result = SampleClass::Valid;
  if (sample < 0.0f) result = SampleClass::BelowZero;
  if (sample == TileGeometry::noDataValue || std::isnan(sample)) result = SampleClass::NoData;
  return result;
}

BlockStatistics resetStatistics() {
  return BlockStatistics{};
}

void accumulate(BlockStatistics& statistics, float sample) {
  if (sample > statistics.maxElevation) statistics.maxElevation = sample;
  switch (classifySample(sample)) {
    case SampleClass::Valid:
      if (sample < statistics.minElevation) statistics.minElevation = sample;
      break;
    case SampleClass::BelowZero:
      if (sample < statistics.lowestBelowZero) statistics.lowestBelowZero = sample;
      ++statistics.belowZeroCount;
      break;
    case SampleClass::NoData:
      ++statistics.noDataCount;
      break;
  }
}

void finishStatistics(BlockStatistics& statistics) {
  statistics.relief = statistics.maxElevation - statistics.minElevation;
  if (statistics.relief < 0.25f) statistics.relief = kFlatRelief;
}

namespace {

inline WorkingColor rampAt(const ColorRamp& ramp, float v) {
  const size_t last = ramp.count - 1;
  size_t lower = 0;
  size_t upper = 0;
  float fraction = 0.0f;
  if (!(v > 0.0f)) {
    lower = upper = 0;
  } else if (v >= 1.0f) {
    lower = upper = last;
  } else {
    const float t = v * static_cast<float>(last);
    lower = static_cast<size_t>(t);  // 0 < t < last here: truncation is floor
    if (lower >= last) lower = last;
    upper = lower < last ? lower + 1 : last;
    fraction = t - static_cast<float>(lower);
  }
  const RampStop& a = ramp.stops[lower];
  const RampStop& b = ramp.stops[upper];
  return {channel(a.r, b.r, fraction), channel(a.g, b.g, fraction), channel(a.b, b.b, fraction)};
}

inline uint32_t pack(const WorkingColor& color) {
  return rgb(packChannel(color.r), packChannel(color.g), packChannel(color.b));
}

// The horizontal distance to the neighbouring displayed column.
inline long double shadeRun(int32_t sampleSkip) {
  return static_cast<long double>(sampleSkip + 1) * kMetresPerCell;
}

inline float factorAt(const SampleBlock& block, int32_t col, int32_t row, int16_t lightDirection,
                      long double run) {
  // The neighbour rule needs a sample on every side; cells of the block's outer ring are
  // left unshaded.
  const int32_t lastInner = SampleBlock::kSide - 2;
  if (col < 1 || col > lastInner || row < 1 || row > lastInner) return 1.0f;

  float a = 0.0f;
  float b = 0.0f;
  switch (lightDirection) {
    case 2:  // south-west: east and north-east
      a = block.at(col + 1, row);
      b = block.at(col + 1, row - 1);
      break;
    case 3:  // north-east: west and south-west
      a = block.at(col - 1, row);
      b = block.at(col - 1, row + 1);
      break;
    case 4:  // south-east: west and north-west
      a = block.at(col - 1, row);
      b = block.at(col - 1, row - 1);
      break;
    default:  // north-west: east and south-east
      a = block.at(col + 1, row);
      b = block.at(col + 1, row + 1);
      break;
  }
  const long double reference = (static_cast<long double>(a) + b) * 0.5L;
  const long double rise = block.at(col, row) - reference;
  const float angle =
      static_cast<float>(std::atan2(static_cast<double>(rise), static_cast<double>(run)));
  if (angle < 0.0f) {
    const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    const float factor = 1.0f / c;
    return factor > kMaxBrightening ? kMaxBrightening : factor;
  }
  return static_cast<float>(std::cos(static_cast<double>(angle)));
}

// What stays the same for every cell of one drawing.
struct BlockColoring {
  const BlockStatistics& statistics;
  const ColorRamp* ramp;  // null when the block is too flat for any
  bool flat;
  bool shaded;
  int16_t lightDirection;
  long double run;

  BlockColoring(const BlockStatistics& s, const ColorSettings& settings)
      : statistics(s),
        ramp(chooseRamp(settings.colorMapOn != 0, s.relief)),
        flat(s.relief < 0.5f),
        shaded(settings.viewLevel > 1),
        lightDirection(settings.lightDirection),
        run(shadeRun(settings.sampleSkip)) {}

  uint32_t colorOf(const SampleBlock& block, int32_t col, int32_t row) const {
    const float sample = block.at(col, row);
    switch (classifySample(sample)) {
      case SampleClass::NoData:
        return kNoDataColor;
      case SampleClass::BelowZero: {
        const float q = static_cast<float>((static_cast<long double>(sample) / 1.4) /
                                           statistics.lowestBelowZero);
        const float m = static_cast<float>((1.0L - q) * 255.0L);
        const auto level = static_cast<float>(truncateToInt32(m));
        return pack({level, 0.0f, level});
      }
      case SampleClass::Valid:
        break;
    }

    const float v = static_cast<float>(
        (static_cast<long double>(sample) - statistics.minElevation) / statistics.relief);
    WorkingColor color = kFlatColor;
    if (ramp != nullptr) color = rampAt(*ramp, v);
    if (flat) color = kFlatColor;

    if (shaded) {
      const float factor = factorAt(block, col, row, lightDirection, run);
      color.r = color.r * factor;
      color.g = color.g * factor;
      color.b = color.b * factor;
    }
    return pack(color);
  }
};

}  // namespace

WorkingColor evaluateRamp(const ColorRamp& ramp, float v) {
  return rampAt(ramp, v);
}

uint32_t packColor(const WorkingColor& color) {
  return pack(color);
}

const ColorRamp* chooseRamp(bool colorMapOn, float relief) {
  if (!colorMapOn) return &greyRamp;
  if (relief >= 600.0f) return &highReliefRamp;
  if (relief >= 200.0f) return &midReliefRamp;
  if (relief >= 0.5f) return &lowReliefRamp;
  return nullptr;
}

float shadeFactor(const SampleBlock& block, int32_t col, int32_t row, int16_t lightDirection,
                  int32_t sampleSkip) {
  return factorAt(block, col, row, lightDirection, shadeRun(sampleSkip));
}

uint32_t cellColor(const SampleBlock& block, int32_t col, int32_t row,
                   const BlockStatistics& statistics, const ColorSettings& settings) {
  return BlockColoring(statistics, settings).colorOf(block, col, row);
}

void colorRow(const SampleBlock& block, int32_t row, const BlockStatistics& statistics,
              const ColorSettings& settings, uint32_t* out) {
  const BlockColoring coloring(statistics, settings);
  for (int32_t col = 0; col < SampleBlock::kSide; ++col)
    out[col] = coloring.colorOf(block, col, row);
}

}  // namespace ned
