// What every fuzz target shares: a check of a property that stops the run at once when it
// fails (the build defines NDEBUG, so assert would not), and the text of an input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                                      \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                                \
    }                                                                                              \
  } while (false)

namespace ned::fuzz {

// The input as the C string a dialog field or a header line would hold: up to its first
// NUL byte.
inline std::string textOf(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  return text.substr(0, text.find('\0'));
}

}  // namespace ned::fuzz
