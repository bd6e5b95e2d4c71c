// The output form of both programs' export dialogs, the two fields of the contour form (the
// interval between levels and how often a level is an index contour) and the one of the two
// surface forms (the tolerance). The typed texts are checked as the dialogs read them; the
// form and the fields are kept between runs like the Coordinates list, one value each for
// both programs.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "core/desktop.h"
#include "core/export/output_kind.h"
#include "core/numbers.h"

namespace ned {

// The kept values: the form by name, and the two fields as the user typed them.
constexpr const char* kOutputFormSetting = "OutputForm";
constexpr const char* kContourIntervalSetting = "ContourInterval";
constexpr const char* kIndexEverySetting = "IndexContourEvery";
constexpr const char* kSurfaceToleranceSetting = "SurfaceTolerance";

constexpr const char* kDefaultContourInterval = "1";
constexpr const char* kDefaultIndexEvery = "5";
constexpr const char* kDefaultSurfaceTolerance = "0.1";

// How many characters each field takes, and reads back.
constexpr int kContourIntervalChars = 8;
constexpr int kIndexEveryChars = 3;
constexpr int kSurfaceToleranceChars = 8;

// The refusals of the two fields; the dialog stays open after them.
constexpr const char* kBadContourIntervalText =
    "The contour interval must be a number greater than 0.";
constexpr const char* kBadIndexEveryText =
    "Index every must be a whole number of lines, 0 for no index contours.";
constexpr const char* kBadSurfaceToleranceText = "The tolerance must be a number greater than 0.";

// Whether the form uses the contour fields.
constexpr bool formDrawsContours(OutputKind kind) {
  return kind == OutputKind::DxfContours;
}

// Whether the form is a surface and uses the tolerance.
constexpr bool formBuildsSurface(OutputKind kind) {
  return kind == OutputKind::LandXmlTin || kind == OutputKind::DxfTin;
}

namespace form_choice_detail {

// The text without the blanks around it.
inline std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace form_choice_detail

// An interval is a plain decimal number above 0: digits with at most one point among them,
// blanks around allowed; no sign, no exponent. False for any other text.
inline bool readContourInterval(const std::string& text, double* interval) {
  const std::string number = form_choice_detail::trimmed(text);
  int digits = 0;
  int points = 0;
  for (char c : number) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' && points == 0) {
      ++points;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  const double value = parseLeadingDouble(number.c_str());
  if (!(value > 0.0) || !std::isfinite(value)) return false;
  *interval = value;
  return true;
}

// A tolerance is read as an interval is: a plain decimal number above 0.
inline bool readSurfaceTolerance(const std::string& text, double* tolerance) {
  return readContourInterval(text, tolerance);
}

// "Index every" is a whole number of lines, 0 and up: decimal digits, blanks around allowed.
inline bool readIndexEvery(const std::string& text, uint32_t* every) {
  const std::string number = form_choice_detail::trimmed(text);
  if (number.empty() || number.size() > 9) return false;
  uint32_t value = 0;
  for (char c : number) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  *every = value;
  return true;
}

// The form's name in the kept value.
inline const char* outputFormName(OutputKind kind) {
  switch (kind) {
    case OutputKind::RectangularXyz:
      return "rectangular";
    case OutputKind::ProjectNorthXyz:
      return "north";
    case OutputKind::ElevationCsv:
      return "csv";
    case OutputKind::BinaryFlt:
      return "binary";
    case OutputKind::DxfContours:
      return "contours";
    case OutputKind::LandXmlTin:
      return "landxml";
    case OutputKind::DxfTin:
      return "dxftin";
  }
  return "rectangular";
}

// The form the dialogs open on: the contours or a surface when the last write made one,
// otherwise the rectangular points, as the dialogs have always opened (a point form is kept
// by name all the same, so that it ends the drawings' turn).
inline OutputKind rememberedOutputForm(Desktop& desktop) {
  const std::string name = desktop.readSetting(kOutputFormSetting);
  for (OutputKind kind : {OutputKind::DxfContours, OutputKind::LandXmlTin, OutputKind::DxfTin}) {
    if (name == outputFormName(kind)) return kind;
  }
  return OutputKind::RectangularXyz;
}

inline void rememberOutputForm(Desktop& desktop, OutputKind kind) {
  desktop.writeSetting(kOutputFormSetting, outputFormName(kind));
}

namespace form_choice_detail {

// A kept field's text as typed; the default when none is kept, or the kept one is longer
// than the field or would be refused.
template <typename Value, typename Reads>
std::string keptField(Desktop& desktop, const char* setting, int chars, Reads reads,
                      const char* fallback) {
  const std::string text = desktop.readSetting(setting);
  Value value{};
  if (static_cast<int>(text.size()) > chars || !reads(text, &value)) return fallback;
  return text;
}

}  // namespace form_choice_detail

inline std::string rememberedContourInterval(Desktop& desktop) {
  return form_choice_detail::keptField<double>(desktop, kContourIntervalSetting,
                                               kContourIntervalChars, readContourInterval,
                                               kDefaultContourInterval);
}

inline std::string rememberedIndexEvery(Desktop& desktop) {
  return form_choice_detail::keptField<uint32_t>(desktop, kIndexEverySetting, kIndexEveryChars,
                                                 readIndexEvery, kDefaultIndexEvery);
}

inline void rememberContourFields(Desktop& desktop, const std::string& interval,
                                  const std::string& every) {
  desktop.writeSetting(kContourIntervalSetting, interval);
  desktop.writeSetting(kIndexEverySetting, every);
}

inline std::string rememberedSurfaceTolerance(Desktop& desktop) {
  return form_choice_detail::keptField<double>(desktop, kSurfaceToleranceSetting,
                                               kSurfaceToleranceChars, readSurfaceTolerance,
                                               kDefaultSurfaceTolerance);
}

inline void rememberSurfaceTolerance(Desktop& desktop, const std::string& tolerance) {
  desktop.writeSetting(kSurfaceToleranceSetting, tolerance);
}

}  // namespace ned
