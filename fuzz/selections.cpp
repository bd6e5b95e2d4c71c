// The selections of both programs never start outside the square and never reach past it
// (rows and columns 6 to 10806, the edge index just past the square). gridpick's starts
// where an accepted corner puts it and reaches any distance, NaN and the infinities
// among them, with the spacing of any row of the degree table; gridview's starts at any
// origin its navigation allows at the view level and covers any rectangle inside the
// map. Any other numbers go through both without undefined behaviour.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

#include "core/export/selection.h"
#include "fuzz/fuzz_check.h"

namespace {

constexpr int64_t kFirst = ned::TileGeometry::firstCell;
constexpr int64_t kEdge = ned::TileGeometry::edgeIndex;

bool insideTheSquare(const ned::Selection& selection) {
  return selection.startRow >= kFirst && selection.startCol >= kFirst &&
         selection.startRow + static_cast<int64_t>(selection.rows) <= kEdge &&
         selection.startCol + static_cast<int64_t>(selection.cols) <= kEdge;
}

float anyFloat(FuzzedDataProvider& input) {
  const uint32_t bits = input.ConsumeIntegral<uint32_t>();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void fromDistance(FuzzedDataProvider& input) {
  ned::Selection selection;
  selection.startRow = input.ConsumeIntegralInRange<int32_t>(kFirst, kEdge);
  selection.startCol = input.ConsumeIntegralInRange<int32_t>(kFirst, kEdge);
  const float kmEast = anyFloat(input);
  const float kmSouth = anyFloat(input);
  const ned::DegreeLengthRow& row =
      ned::DegreeLengthTable::rows[input.ConsumeIntegralInRange<int32_t>(
          0, ned::DegreeLengthTable::rowCount - 1)];
  ned::selectionFromDistance(selection, kmEast, kmSouth, ned::groundSpacingFromRow(row));
  FUZZ_CHECK(insideTheSquare(selection));
  // Every distance reaches at least the start cell, where there is one.
  FUZZ_CHECK(selection.rows >= (selection.startRow < kEdge ? 1u : 0u));
  FUZZ_CHECK(selection.cols >= (selection.startCol < kEdge ? 1u : 0u));

  ned::Selection wild;
  wild.startRow = input.ConsumeIntegral<int32_t>();
  wild.startCol = input.ConsumeIntegral<int32_t>();
  ned::GroundSpacing spacing;
  spacing.ewSpacingMean = input.ConsumeFloatingPoint<double>();
  spacing.nsSpacing = input.ConsumeFloatingPoint<double>();
  ned::selectionFromDistance(wild, kmEast, kmSouth, spacing);
}

void fromView(FuzzedDataProvider& input) {
  const int32_t level = input.ConsumeIntegralInRange<int32_t>(0, 5);
  const bool selectAll = input.ConsumeBool();
  // The last origin of each level: its view ends at the square's last cell.
  const int32_t lastOrigin = level == 3 ? 9456 : level == 4 ? 9906 : 10356;
  const int32_t originRow = input.ConsumeIntegralInRange<int32_t>(kFirst, lastOrigin);
  const int32_t originCol = input.ConsumeIntegralInRange<int32_t>(kFirst, lastOrigin);
  ned::ViewRect rect;
  rect.left = input.ConsumeIntegralInRange<int32_t>(50, 500);
  rect.right = input.ConsumeIntegralInRange<int32_t>(rect.left, 500);
  rect.top = input.ConsumeIntegralInRange<int32_t>(50, 650);
  rect.bottom = input.ConsumeIntegralInRange<int32_t>(rect.top, 650);
  FUZZ_CHECK(insideTheSquare(ned::selectionFromView(level, selectAll, rect, originRow, originCol)));

  ned::ViewRect wild;
  wild.left = input.ConsumeIntegral<int32_t>();
  wild.top = input.ConsumeIntegral<int32_t>();
  wild.right = input.ConsumeIntegral<int32_t>();
  wild.bottom = input.ConsumeIntegral<int32_t>();
  ned::selectionFromView(input.ConsumeIntegral<int32_t>(), input.ConsumeBool(), wild,
                         input.ConsumeIntegral<int32_t>(), input.ConsumeIntegral<int32_t>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  fromDistance(input);
  fromView(input);
  return 0;
}
