#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "core/text.h"

namespace ned {
namespace {

// Every pair of bytes against the C library's case folding in the "C" locale, which
// folds A to Z alone.
TEST(IgnoringCase, FoldsAsciiLettersAloneLikeTheCLocale) {
  for (int a = 0; a < 256; ++a) {
    const std::string one(1, static_cast<char>(a));
    EXPECT_EQ(lowerAscii(one), std::string(1, static_cast<char>(std::tolower(a)))) << a;
    for (int b = 0; b < 256; ++b) {
      const std::string other(1, static_cast<char>(b));
      ASSERT_EQ(equalIgnoringCase(one, other), std::tolower(a) == std::tolower(b)) << a << " " << b;
    }
  }
  struct Case {
    const char* text;
    const char* suffix;
    bool equal, ends;
  };
  const Case cases[] = {{"TILE.TIF", "tile.tif", true, true},
                        {"a.Tiff", ".tif", false, false},
                        {"x.hdr", ".HDR", false, true},
                        {"hdr", ".hdr", false, false},
                        {"\xD0\x96.tif", "\xD0\xB6.tif", false, false},  // Ж and ж stay apart
                        {"", "", true, true}};
  for (const Case& c : cases) {
    EXPECT_EQ(equalIgnoringCase(c.text, c.suffix), c.equal) << c.text;
    EXPECT_EQ(endsWithIgnoringCase(c.text, c.suffix), c.ends) << c.text;
  }
}

}  // namespace
}  // namespace ned
