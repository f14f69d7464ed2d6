// Windows bitmap pictures, decoded with SDL's BMP loader (kept here so only the platform
// layer sees SDL).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/scene.h"

namespace tdx {

// Decodes a BMP file held in memory into `out`: rows top-down, RGBA. Reads at least 24-bit,
// 32-bit and 8-bit paletted pictures. On failure returns false, leaves `out` empty and
// says why in `error`.
bool DecodeBmp(const std::vector<uint8_t>& bytes, Picture& out, std::string& error);
// Only the picture's size, from its header, checked as DecodeBmp checks it; no pixels.
bool ReadBmpSize(const std::vector<uint8_t>& bytes, Picture& out, std::string& error);

}  // namespace tdx
