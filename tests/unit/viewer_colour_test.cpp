#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "viewer/colour.h"

namespace ned {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

BlockStatistics statisticsOf(std::initializer_list<float> samples) {
  BlockStatistics s = resetStatistics();
  for (float sample : samples) accumulate(s, sample);
  finishStatistics(s);
  return s;
}

// A block of one elevation everywhere, for cells whose neighbours a test sets.
SampleBlock flatBlock(float value) {
  SampleBlock block;
  for (float& s : block.samples) s = value;
  return block;
}

ColorSettings settingsAt(int16_t level, int16_t colorMapOn = 0, int16_t light = 1) {
  static const int32_t skips[] = {0, 23, 11, 2, 1, 0};
  ColorSettings settings;
  settings.viewLevel = level;
  settings.sampleSkip = skips[level];
  settings.colorMapOn = colorMapOn;
  settings.lightDirection = light;
  return settings;
}

TEST(SampleClass, NoDataOverridesBelowZeroAndNegativeZeroIsValid) {
  EXPECT_EQ(classifySample(-9999.0f), SampleClass::NoData);
  EXPECT_EQ(classifySample(kNaN), SampleClass::NoData);
  EXPECT_EQ(classifySample(-9998.9f), SampleClass::BelowZero);
  EXPECT_EQ(classifySample(-0.001f), SampleClass::BelowZero);
  EXPECT_EQ(classifySample(-0.0f), SampleClass::Valid);
  EXPECT_EQ(classifySample(0.0f), SampleClass::Valid);
}

TEST(BlockStatistics, CountsClassesAndKeepsTheirOwnExtremes) {
  const BlockStatistics s = statisticsOf({120.5f, kNaN, -3.0f, -9999.0f, 80.25f, -7.5f, kNaN});
  EXPECT_EQ(s.maxElevation, 120.5f);
  EXPECT_EQ(s.minElevation, 80.25f);  // only valid samples lower the minimum
  EXPECT_EQ(s.lowestBelowZero, -7.5f);
  EXPECT_EQ(s.belowZeroCount, 2);
  EXPECT_EQ(s.noDataCount, 3);  // -9999 and both NaNs
  EXPECT_EQ(s.relief, 120.5f - 80.25f);

  // A NaN first must not stick as the maximum.
  const BlockStatistics nanFirst = statisticsOf({kNaN, 10.0f, 30.0f});
  EXPECT_EQ(nanFirst.maxElevation, 30.0f);
  EXPECT_EQ(nanFirst.minElevation, 10.0f);
}

TEST(BlockStatistics, BlocksWithoutUsableReliefGetTheFlatRelief) {
  const BlockStatistics noData = statisticsOf({-9999.0f, -9999.0f, kNaN});
  EXPECT_EQ(noData.maxElevation, 0.0f);
  EXPECT_EQ(noData.minElevation, 5000.0f);
  EXPECT_EQ(noData.noDataCount, 3);
  EXPECT_EQ(noData.relief, 0.33333f);

  const BlockStatistics belowZeroOnly = statisticsOf({-5.0f, -2.0f});
  EXPECT_EQ(belowZeroOnly.maxElevation, 0.0f);
  EXPECT_EQ(belowZeroOnly.relief, 0.33333f);

  // Above 5000 m the minimum stays at 5000.
  const BlockStatistics high = statisticsOf({5200.0f, 6100.0f, 5800.0f});
  EXPECT_EQ(high.minElevation, 5000.0f);
  EXPECT_EQ(high.relief, 1100.0f);

  const BlockStatistics nearlyFlat = statisticsOf({100.0f, 100.2f});
  EXPECT_EQ(nearlyFlat.relief, 0.33333f);
  const BlockStatistics justEnough = statisticsOf({100.0f, 100.25f});
  EXPECT_EQ(justEnough.relief, 0.25f);
}

TEST(Ramps, StopsAndMidpointsOfEveryRamp) {
  struct Case {
    const ColorRamp* ramp;
    uint32_t first, last, half;
  };
  const Case cases[] = {
      {&highReliefRamp, rgb(63, 63, 63), rgb(204, 204, 204), rgb(146, 95, 0)},
      {&midReliefRamp, rgb(63, 63, 63), rgb(153, 153, 153), rgb(141, 90, 0)},
      {&lowReliefRamp, rgb(63, 63, 63), rgb(140, 140, 0), rgb(68, 119, 0)},
      {&greyRamp, rgb(51, 51, 51), rgb(204, 204, 204), rgb(153, 153, 153)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(packColor(evaluateRamp(*c.ramp, 0.0f)), c.first);
    EXPECT_EQ(packColor(evaluateRamp(*c.ramp, -0.5f)), c.first);
    EXPECT_EQ(packColor(evaluateRamp(*c.ramp, kNaN)), c.first);
    EXPECT_EQ(packColor(evaluateRamp(*c.ramp, 1.0f)), c.last);
    EXPECT_EQ(packColor(evaluateRamp(*c.ramp, 7.5f)), c.last);
    EXPECT_EQ(packColor(evaluateRamp(*c.ramp, 0.5f)), c.half);
    // Just below 1 stays on the last interval and comes within one unit of the last stop.
    const uint32_t nearLast = packColor(evaluateRamp(*c.ramp, std::nextafter(1.0f, 0.0f)));
    for (int shift : {0, 8, 16}) {
      const uint32_t got = (nearLast >> shift) & 0xFFu;
      const uint32_t want = (c.last >> shift) & 0xFFu;
      EXPECT_TRUE(got == want || got + 1 == want) << shift;
    }
  }
  const WorkingColor first = evaluateRamp(highReliefRamp, 0.0f);
  EXPECT_EQ(first.r, 63.75f);
  const WorkingColor half = evaluateRamp(highReliefRamp, 0.5f);
  EXPECT_EQ(half.r, 146.625f);
  EXPECT_EQ(half.g, 95.625f);
  EXPECT_EQ(half.b, 0.0f);
  // The grey ramp climbs fast in its first quarter: 0.2 -> 0.5.
  EXPECT_EQ(packColor(evaluateRamp(greyRamp, 0.125f)), rgb(89, 89, 89));
}

TEST(Packing, RedInTheLowestByteAndTruncation) {
  EXPECT_EQ(packColor({255.0f, 0.0f, 0.0f}), 0x000000FFu);
  EXPECT_EQ(packColor({0.0f, 255.0f, 0.0f}), 0x0000FF00u);
  EXPECT_EQ(packColor({1.99f, 2.5f, 244.8f}), 0x00F40201u);
}

TEST(CellColor, ReliefThresholdsPickTheRamp) {
  struct Case {
    float relief;
    uint32_t top;  // the colour of the highest sample in Color Map mode
  };
  const Case cases[] = {
      {600.0f, rgb(204, 204, 204)}, {599.99f, rgb(153, 153, 153)}, {200.0f, rgb(153, 153, 153)},
      {199.99f, rgb(140, 140, 0)},  {0.5f, rgb(140, 140, 0)},      {0.4999f, rgb(0, 0, 64)},
  };
  for (const Case& c : cases) {
    SampleBlock block = flatBlock(0.0f);
    block.at(10, 10) = c.relief;
    BlockStatistics s = resetStatistics();
    s.minElevation = 0.0f;
    s.maxElevation = c.relief;
    s.relief = c.relief;
    EXPECT_EQ(cellColor(block, 10, 10, s, settingsAt(1, 1)), c.top) << c.relief;
    // Greyscale ignores the relief, apart from the dark blue of a flat block.
    EXPECT_EQ(cellColor(block, 10, 10, s, settingsAt(1, 0)),
              c.relief < 0.5f ? rgb(0, 0, 64) : rgb(204, 204, 204))
        << c.relief;
  }
}

TEST(CellColor, NearlyFlatBlockIsDarkBlueInBothModesAndShadedWhenZoomed) {
  SampleBlock block = flatBlock(100.0f);
  block.at(20, 20) = 100.2f;
  BlockStatistics s = resetStatistics();
  for (float sample : block.samples) accumulate(s, sample);
  finishStatistics(s);
  ASSERT_EQ(s.relief, 0.33333f);
  for (int16_t mode : {0, 1}) {
    EXPECT_EQ(cellColor(block, 5, 5, s, settingsAt(1, mode)), rgb(0, 0, 64));
    EXPECT_EQ(cellColor(block, 20, 20, s, settingsAt(1, mode)), rgb(0, 0, 64));
  }
  // Level 5, light from the north-west: (19, 19) has the raised cell south-east of it and
  // lies 0.1 m below its reference, so it is brightened a little; (20, 20) darkened.
  EXPECT_EQ(cellColor(block, 19, 19, s, settingsAt(5)), rgb(0, 0, 64));
  const uint32_t raised = cellColor(block, 20, 20, s, settingsAt(5));
  EXPECT_EQ(raised, rgb(0, 0, 63));
}

TEST(ShadeFactor, SlopesAtTheCoarsestAndFinestShadedLevels) {
  SampleBlock block = flatBlock(100.0f);
  EXPECT_EQ(shadeFactor(block, 200, 200, 1, 0), 1.0f);  // level with its reference

  // North-west light: the reference is the mean of the east and south-east neighbours.
  block.at(201, 200) = 120.0f;
  block.at(201, 201) = 120.0f;
  EXPECT_EQ(shadeFactor(block, 200, 200, 1, 0), 1.2f);  // 20 m below, capped
  EXPECT_NEAR(shadeFactor(block, 200, 200, 1, 11), 1.0162f, 1e-4f);

  block.at(201, 200) = 80.0f;
  block.at(201, 201) = 80.0f;
  EXPECT_NEAR(shadeFactor(block, 200, 200, 1, 0), 0.4187f, 1e-4f);  // 20 m above
  EXPECT_NEAR(shadeFactor(block, 200, 200, 1, 11), 0.9841f, 1e-4f);
  // Levels 3 and 4 lie in between.
  const float l3 = shadeFactor(block, 200, 200, 1, 2);
  const float l4 = shadeFactor(block, 200, 200, 1, 1);
  EXPECT_LT(0.4187f, l4);
  EXPECT_LT(l4, l3);
  EXPECT_LT(l3, 0.9841f);
}

TEST(ShadeFactor, EachLightDirectionTakesItsOwnNeighbours) {
  struct Case {
    int16_t light;
    int dc1, dr1, dc2, dr2;
  };
  const Case cases[] = {
      {1, +1, 0, +1, +1}, {2, +1, 0, +1, -1}, {3, -1, 0, -1, +1}, {4, -1, 0, -1, -1}};
  for (const Case& c : cases) {
    SampleBlock block = flatBlock(100.0f);
    block.at(50 + c.dc1, 60 + c.dr1) = 120.0f;
    block.at(50 + c.dc2, 60 + c.dr2) = 120.0f;
    // Both neighbours raised: 20 m below the reference at level 2.
    EXPECT_NEAR(shadeFactor(block, 50, 60, c.light, 11), 1.0162f, 1e-4f) << c.light;
    for (int16_t other = 1; other <= 4; ++other) {
      if (other != c.light) {
        EXPECT_LT(shadeFactor(block, 50, 60, other, 11), 1.01f) << other;
      }
    }
  }
}

TEST(ShadeFactor, OuterRingIsLeftUnshaded) {
  SampleBlock block = flatBlock(100.0f);
  for (float& s : block.samples) s = static_cast<float>(&s - block.samples.data()) * 0.01f;
  for (int i = 0; i < 450; i += 7) {
    for (int16_t light = 1; light <= 4; ++light) {
      EXPECT_EQ(shadeFactor(block, i, 0, light, 0), 1.0f);
      EXPECT_EQ(shadeFactor(block, i, 449, light, 0), 1.0f);
      EXPECT_EQ(shadeFactor(block, 0, i, light, 0), 1.0f);
      EXPECT_EQ(shadeFactor(block, 449, i, light, 0), 1.0f);
    }
  }
  EXPECT_NE(shadeFactor(block, 1, 1, 1, 0), 1.0f);
  EXPECT_NE(shadeFactor(block, 448, 448, 4, 0), 1.0f);
}

TEST(CellColor, ShadingOnlyWhenZoomedIn) {
  SampleBlock block = flatBlock(0.0f);
  block.at(100, 100) = 1000.0f;  // a spike: everything near it is lit or shadowed strongly
  block.at(101, 100) = 0.0f;
  BlockStatistics s = resetStatistics();
  for (float sample : block.samples) accumulate(s, sample);
  finishStatistics(s);
  for (int16_t light = 1; light <= 4; ++light) {
    EXPECT_EQ(cellColor(block, 100, 100, s, settingsAt(1, 0, light)), rgb(204, 204, 204));
    EXPECT_EQ(cellColor(block, 100, 100, s, settingsAt(1, 1, light)), rgb(204, 204, 204));
  }
  // At level 5, light from the north-west, the spike stands 1000 m above its reference: dark.
  const uint32_t shaded = cellColor(block, 100, 100, s, settingsAt(5, 0, 1));
  EXPECT_LT(shaded & 0xFFu, 20u);
  EXPECT_EQ(shaded & 0xFFu, (shaded >> 8) & 0xFFu);
}

TEST(CellColor, BelowZeroIsMagentaByDepthAndNeverShaded) {
  SampleBlock block = flatBlock(50.0f);
  block.at(30, 30) = -1.0f;
  block.at(31, 30) = -10.0f;
  BlockStatistics s = resetStatistics();
  for (float sample : block.samples) accumulate(s, sample);
  finishStatistics(s);
  ASSERT_EQ(s.lowestBelowZero, -10.0f);
  for (int16_t level = 1; level <= 5; ++level) {
    EXPECT_EQ(cellColor(block, 30, 30, s, settingsAt(level)), rgb(236, 0, 236));
    EXPECT_EQ(cellColor(block, 31, 30, s, settingsAt(level, 1)), rgb(72, 0, 72));
  }
  for (float lowest : {-0.5f, -40.0f, -1234.5f}) {
    SampleBlock deep = flatBlock(lowest);
    BlockStatistics d = statisticsOf({lowest});
    EXPECT_EQ(cellColor(deep, 3, 3, d, settingsAt(3)), rgb(72, 0, 72)) << lowest;
  }
  // Just below zero is nearly full magenta.
  block.at(32, 30) = -0.001f;
  EXPECT_EQ(cellColor(block, 32, 30, s, settingsAt(1)), rgb(254, 0, 254));
}

TEST(CellColor, NoDataIsRedAtEveryLevelWhateverItsNeighbours) {
  SampleBlock block = flatBlock(300.0f);
  block.at(40, 40) = -9999.0f;
  block.at(41, 40) = kNaN;
  block.at(40, 41) = 900.0f;
  BlockStatistics s = resetStatistics();
  for (float sample : block.samples) accumulate(s, sample);
  finishStatistics(s);
  EXPECT_EQ(s.noDataCount, 2);
  for (int16_t level = 1; level <= 5; ++level) {
    for (int16_t mode : {0, 1}) {
      for (int16_t light = 1; light <= 4; ++light) {
        EXPECT_EQ(cellColor(block, 40, 40, s, settingsAt(level, mode, light)), rgb(255, 0, 0));
        EXPECT_EQ(cellColor(block, 41, 40, s, settingsAt(level, mode, light)), rgb(255, 0, 0));
      }
    }
  }
}

TEST(CellColor, ANaNNeighbourDarkensOnlyTheLightsThatLookAtIt) {
  // A neighbour without data still takes part in the reference: the lights from the west
  // (east neighbours) get no factor and the packing reads the channels as 0; the lights
  // from the east do not look at it and leave the flat cell as it is.
  SampleBlock block = flatBlock(100.0f);
  block.at(61, 60) = kNaN;
  const BlockStatistics s = statisticsOf({100.0f, 200.0f});
  const uint32_t expected[] = {rgb(0, 0, 0), rgb(0, 0, 0), rgb(51, 51, 51), rgb(51, 51, 51)};
  for (int16_t light = 1; light <= 4; ++light) {
    EXPECT_EQ(cellColor(block, 60, 60, s, settingsAt(5, 0, light)), expected[light - 1]) << light;
  }
}

}  // namespace
}  // namespace ned
