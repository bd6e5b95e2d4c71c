// Texts compared and folded without regard to the letter case of ASCII letters, as file
// names are on the file systems the programs meet. Other bytes (those of UTF-8 names among
// them) are compared as they are, whatever the locale.
#pragma once

#include <string>

namespace ned {

// The text with A to Z made a to z.
std::string lowerAscii(const std::string& text);
bool equalIgnoringCase(const std::string& a, const std::string& b);
bool endsWithIgnoringCase(const std::string& text, const std::string& suffix);

}  // namespace ned
