#include "platform/bmp.h"

#include <SDL.h>

#include <cstdint>
#include <cstring>

namespace tdx {

namespace {

// Our pictures are at most a screen wide; anything far larger is a damaged header, and
// refusing it early keeps a few bad bytes from asking for gigabytes.
constexpr int64_t kMaxSide = 8192;
constexpr int64_t kMaxPixels = int64_t{16} << 20;

int32_t Le32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                              uint32_t(p[3]) << 24);
}
int16_t Le16(const uint8_t* p) {
  return static_cast<int16_t>(uint16_t(p[0]) | uint16_t(p[1]) << 8);
}

bool CheckHeader(const std::vector<uint8_t>& bytes, std::string& error) {
  if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M') {
    error = "not a BMP file";
    return false;
  }
  const int32_t infoSize = Le32(&bytes[14]);
  int64_t width = 0, height = 0;
  if (infoSize == 12) {
    width = Le16(&bytes[18]);
    height = Le16(&bytes[20]);
  } else {
    width = Le32(&bytes[18]);
    height = Le32(&bytes[22]);
  }
  if (height < 0) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
      width * height > kMaxPixels) {
    error = "unsupported picture size " + std::to_string(width) + " x " + std::to_string(height);
    return false;
  }
  return true;
}

}  // namespace

bool ReadBmpSize(const std::vector<uint8_t>& bytes, Picture& out, std::string& error) {
  out = Picture{};
  if (!CheckHeader(bytes, error)) return false;
  const bool core = Le32(&bytes[14]) == 12;
  out.width = core ? Le16(&bytes[18]) : Le32(&bytes[18]);
  const int64_t height = core ? Le16(&bytes[20]) : Le32(&bytes[22]);
  out.height = static_cast<int>(height < 0 ? -height : height);
  return true;
}

bool DecodeBmp(const std::vector<uint8_t>& bytes, Picture& out, std::string& error) {
  out = Picture{};
  if (!CheckHeader(bytes, error)) return false;
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) {
    error = "file too large";
    return false;
  }
  SDL_RWops* rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
  if (!rw) {
    error = SDL_GetError();
    return false;
  }
  SDL_Surface* loaded = SDL_LoadBMP_RW(rw, 1);
  if (!loaded) {
    error = SDL_GetError();
    return false;
  }
  const bool hasAlpha = loaded->format->Amask != 0;
  SDL_Surface* rgba = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGBA32, 0);
  SDL_FreeSurface(loaded);
  if (!rgba) {
    error = SDL_GetError();
    return false;
  }
  out.width = rgba->w;
  out.height = rgba->h;
  out.hasAlpha = hasAlpha;
  const size_t rowBytes = static_cast<size_t>(rgba->w) * 4;
  out.rgba.resize(rowBytes * static_cast<size_t>(rgba->h));
  if (SDL_MUSTLOCK(rgba)) SDL_LockSurface(rgba);
  const auto* src = static_cast<const uint8_t*>(rgba->pixels);
  for (int y = 0; y < rgba->h; ++y) {
    std::memcpy(out.rgba.data() + rowBytes * static_cast<size_t>(y),
                src + static_cast<size_t>(rgba->pitch) * static_cast<size_t>(y), rowBytes);
  }
  if (SDL_MUSTLOCK(rgba)) SDL_UnlockSurface(rgba);
  SDL_FreeSurface(rgba);
  return true;
}

}  // namespace tdx
