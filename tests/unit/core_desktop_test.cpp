#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>

#include "core/desktop.h"

namespace ned {
namespace {

// Just past the last dot of the file name, as the file dialogs report it; a dot in a
// folder's name is not the file's.
TEST(ExtensionOffsetOf, CountsOnlyADotInTheFileName) {
  const std::pair<const char*, unsigned> paths[] = {
      {"C:\\maps.v2\\tile.hdr", 16}, {"C:\\maps.v2\\tile", 0}, {"/data/n37.w85/tile.flt", 19},
      {"/data/n37.w85/tile", 0},     {"a.b.hdr", 4},           {"tile", 0},
  };
  for (const auto& [path, offset] : paths) EXPECT_EQ(extensionOffsetOf(path), offset) << path;
}

// Styles differing in one thing only, buttons, icon or whether the box holds back the
// whole program, are different styles.
TEST(MessageStyle, EqualOnlyInButtonsIconAndModality) {
  const MessageStyle styles[] = {kPlainMessage,
                                 kTaskModalMessage,
                                 kInformationMessage,
                                 {MessageButtons::yesNo, MessageIcon::none, false}};
  for (size_t i = 0; i < std::size(styles); ++i) {
    for (size_t j = 0; j < std::size(styles); ++j) {
      EXPECT_EQ(styles[i] == styles[j], i == j) << i << " " << j;
      EXPECT_EQ(styles[i] != styles[j], i != j) << i << " " << j;
    }
  }
}

}  // namespace
}  // namespace ned
