// Test helpers: tiny pictures, and readers for the screenshot files the renderer writes
// (checked field by field, so a wrong header or CRC fails the test).
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "display/scene.h"

namespace tdx::render_test {

// A picture from RGBA words (R in the low byte), rows top to bottom.
inline std::shared_ptr<Picture> MakePicture(int w, int h, const std::vector<uint32_t>& texels,
                                            bool hasAlpha) {
  auto p = std::make_shared<Picture>();
  p->width = w;
  p->height = h;
  p->hasAlpha = hasAlpha;
  for (uint32_t t : texels) {
    for (int i = 0; i < 4; ++i) p->rgba.push_back(static_cast<uint8_t>(t >> (8 * i)));
  }
  return p;
}

inline std::shared_ptr<Picture> Solid(int w, int h, uint32_t rgba, bool hasAlpha = false) {
  return MakePicture(w, h, std::vector<uint32_t>(static_cast<size_t>(w * h), rgba), hasAlpha);
}

inline uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}
inline uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}
inline uint32_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8;
}

// Decodes a 24-bit bottom-up BMP into RGB rows top to bottom.
inline bool DecodeBmp(const std::vector<uint8_t>& b, int& w, int& h, std::vector<uint8_t>& rgb) {
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
  if (Le32(b, 2) != b.size() || Le32(b, 14) != 40 || Le16(b, 26) != 1 || Le16(b, 28) != 24 ||
      Le32(b, 30) != 0) {
    return false;
  }
  w = static_cast<int>(Le32(b, 18));
  h = static_cast<int>(Le32(b, 22));
  const size_t offset = Le32(b, 10);
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  if (w <= 0 || h <= 0 || offset + stride * static_cast<size_t>(h) != b.size()) return false;
  rgb.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 0);
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = &b[offset + stride * static_cast<size_t>(h - 1 - y)];
    for (int x = 0; x < w; ++x) {
      uint8_t* out =
          &rgb[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3];
      out[0] = row[x * 3 + 2];
      out[1] = row[x * 3 + 1];
      out[2] = row[x * 3 + 0];
    }
  }
  return true;
}

// Decodes an 8-bit truecolour PNG with unfiltered rows, checking every chunk's CRC.
inline bool DecodePng(const std::vector<uint8_t>& b, int& w, int& h, std::vector<uint8_t>& rgb) {
  static const uint8_t kSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (b.size() < 8 || !std::equal(kSig, kSig + 8, b.begin())) return false;
  std::vector<uint8_t> idat;
  bool sawHeader = false, sawEnd = false;
  size_t at = 8;
  while (at + 12 <= b.size() && !sawEnd) {
    const uint32_t len = Be32(b, at);
    if (at + 12 + len > b.size()) return false;
    const std::string type(b.begin() + static_cast<long>(at) + 4,
                           b.begin() + static_cast<long>(at) + 8);
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), &b[at + 4], 4 + len);
    if (crc != Be32(b, at + 8 + len)) return false;
    const size_t data = at + 8;
    if (type == "IHDR") {
      if (len != 13 || b[data + 8] != 8 || b[data + 9] != 2 || b[data + 12] != 0) return false;
      w = static_cast<int>(Be32(b, data));
      h = static_cast<int>(Be32(b, data + 4));
      sawHeader = true;
    } else if (type == "IDAT") {
      idat.insert(idat.end(), b.begin() + static_cast<long>(data),
                  b.begin() + static_cast<long>(data + len));
    } else if (type == "IEND") {
      sawEnd = true;
    }
    at += 12 + len;
  }
  if (!sawHeader || !sawEnd || at != b.size()) return false;
  const size_t rowBytes = static_cast<size_t>(w) * 3;
  std::vector<uint8_t> raw((rowBytes + 1) * static_cast<size_t>(h));
  uLongf rawSize = raw.size();
  if (uncompress(raw.data(), &rawSize, idat.data(), idat.size()) != Z_OK || rawSize != raw.size())
    return false;
  rgb.clear();
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = &raw[static_cast<size_t>(y) * (rowBytes + 1)];
    if (row[0] != 0) return false;
    rgb.insert(rgb.end(), row + 1, row + 1 + rowBytes);
  }
  return true;
}

}  // namespace tdx::render_test
