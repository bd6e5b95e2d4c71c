// A minimal PNG encoder for looking at pictures the viewer makes: 8-bit RGB, no filter,
// the image data in stored (uncompressed) deflate blocks. Header-only, no library.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace ned::png {

inline uint32_t crc32(const std::string& bytes, size_t from = 0) {
  static const std::vector<uint32_t> table = [] {
    std::vector<uint32_t> t(256);
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    c = table[(c ^ static_cast<unsigned char>(bytes[i])) & 0xFFu] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

inline void putBigEndian(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

inline void putChunk(std::string& out, const char* type, const std::string& data) {
  putBigEndian(out, static_cast<uint32_t>(data.size()));
  std::string body(type, 4);
  body += data;
  out += body;
  putBigEndian(out, crc32(body));
}

// The picture as packed colours with red in the lowest byte, row after row.
inline std::string encode(int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
  std::string raw;
  raw.reserve(static_cast<size_t>(height) * (static_cast<size_t>(width) * 3 + 1));
  for (int32_t y = 0; y < height; ++y) {
    raw.push_back('\0');  // no filter
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c =
          pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
      raw.push_back(static_cast<char>(c & 0xFFu));
      raw.push_back(static_cast<char>((c >> 8) & 0xFFu));
      raw.push_back(static_cast<char>((c >> 16) & 0xFFu));
    }
  }

  std::string z = "\x78\x01";
  constexpr size_t kBlock = 65535;
  for (size_t at = 0; at < raw.size() || at == 0; at += kBlock) {
    const size_t n = raw.size() - at < kBlock ? raw.size() - at : kBlock;
    z.push_back(at + n >= raw.size() ? '\x01' : '\x00');
    z.push_back(static_cast<char>(n & 0xFFu));
    z.push_back(static_cast<char>(n >> 8));
    z.push_back(static_cast<char>(~n & 0xFFu));
    z.push_back(static_cast<char>((~n >> 8) & 0xFFu));
    z.append(raw, at, n);
    if (raw.empty()) break;
  }
  uint32_t a = 1;
  uint32_t b = 0;
  for (char ch : raw) {
    a = (a + static_cast<unsigned char>(ch)) % 65521u;
    b = (b + a) % 65521u;
  }
  putBigEndian(z, (b << 16) | a);

  std::string header;
  putBigEndian(header, static_cast<uint32_t>(width));
  putBigEndian(header, static_cast<uint32_t>(height));
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace

  std::string out = "\x89PNG\r\n\x1a\n";
  putChunk(out, "IHDR", header);
  putChunk(out, "IDAT", z);
  putChunk(out, "IEND", "");
  return out;
}

inline bool writeFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace ned::png
