#include "core/text.h"

namespace ned {

namespace {

char foldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalFrom(const std::string& text, size_t at, const std::string& other) {
  for (size_t k = 0; k < other.size(); ++k)
    if (foldAscii(text[at + k]) != foldAscii(other[k])) return false;
  return true;
}

}  // namespace

std::string lowerAscii(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = foldAscii(c);
  return lower;
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && equalFrom(a, 0, b);
}

bool endsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && equalFrom(text, text.size() - suffix.size(), suffix);
}

}  // namespace ned
