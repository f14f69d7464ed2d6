// Writes a picture of the view to disk as BMP or PNG, chosen by the file's ending.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tdx {

// `rgb`: rows top to bottom, 3 bytes a pixel. Returns false and sets `error` (naming the
// file and the reason) when the ending is neither .bmp nor .png or the file cannot be written.
bool WriteScreenshotFile(const std::string& path, int width, int height,
                         const std::vector<uint8_t>& rgb, std::string& error);

// The encoded file contents, without touching the disk.
std::vector<uint8_t> EncodeBmp(int width, int height, const std::vector<uint8_t>& rgb);
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace tdx
