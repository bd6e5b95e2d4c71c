// Texts between the core and the window system: the core holds every text and path in
// UTF-8, the window system's wide calls take UTF-16.
#pragma once

#include <string>

namespace ned {

// A text to show (a message, a file name in a window): bytes that are not UTF-8 show as
// the replacement character.
std::wstring wideText(const std::string& utf8);
// A path to hand to the file calls. Empty when the bytes are not UTF-8, so that the call
// fails rather than reaching another file.
std::wstring widePath(const std::string& utf8);
// A name or path from the window system, in UTF-8: units counts the UTF-16 units, up to
// the terminator when negative. Empty when the text is not UTF-16 (a lone surrogate)
// and strict is set, so that no name is given that the file calls could not find again.
std::string utf8Of(const wchar_t* text, int units = -1, bool strict = false);
// The number of UTF-8 bytes the first units of a UTF-16 text take: where an offset the
// window system counts in units (a file dialog's extension) falls in its UTF-8 text.
unsigned utf8Length(const wchar_t* text, unsigned units);

}  // namespace ned
