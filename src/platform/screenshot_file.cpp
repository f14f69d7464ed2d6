#include "platform/screenshot_file.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tdx {

namespace {

void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutChunk(std::vector<uint8_t>& out, const char type[5], const std::vector<uint8_t>& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, out.data() + start, static_cast<uInt>(out.size() - start));
  PutBe32(out, static_cast<uint32_t>(crc));
}

bool EndsWith(const std::string& path, const char* ending) {
  size_t n = std::strlen(ending);
  if (path.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(path[path.size() - n + i])) != ending[i])
      return false;
  }
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeBmp(int width, int height, const std::vector<uint8_t>& rgb) {
  const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t imageSize = stride * static_cast<uint32_t>(height);
  std::vector<uint8_t> out;
  out.reserve(54 + imageSize);
  out.push_back('B');
  out.push_back('M');
  PutLe(out, 54 + imageSize, 4);  // file size
  PutLe(out, 0, 4);               // reserved
  PutLe(out, 54, 4);              // offset of the pixels
  PutLe(out, 40, 4);              // BITMAPINFOHEADER
  PutLe(out, static_cast<uint32_t>(width), 4);
  PutLe(out, static_cast<uint32_t>(height), 4);  // positive: rows bottom to top
  PutLe(out, 1, 2);                              // planes
  PutLe(out, 24, 2);                             // bits per pixel
  PutLe(out, 0, 4);                              // BI_RGB
  PutLe(out, imageSize, 4);
  PutLe(out, 2835, 4);  // 72 dots per inch
  PutLe(out, 2835, 4);
  PutLe(out, 0, 4);
  PutLe(out, 0, 4);
  for (int y = height - 1; y >= 0; --y) {
    const uint8_t* row = rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
    for (int x = 0; x < width; ++x) {
      out.push_back(row[x * 3 + 2]);
      out.push_back(row[x * 3 + 1]);
      out.push_back(row[x * 3 + 0]);
    }
    for (uint32_t p = static_cast<uint32_t>(width) * 3; p < stride; ++p) out.push_back(0);
  }
  return out;
}

std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> out(kSignature, kSignature + 8);

  std::vector<uint8_t> ihdr;
  PutBe32(ihdr, static_cast<uint32_t>(width));
  PutBe32(ihdr, static_cast<uint32_t>(height));
  ihdr.push_back(8);  // bit depth
  ihdr.push_back(2);  // truecolour
  ihdr.push_back(0);  // deflate
  ihdr.push_back(0);  // adaptive filtering
  ihdr.push_back(0);  // no interlace
  PutChunk(out, "IHDR", ihdr);

  // Every row starts with filter type 0 (none): simple, and the view compresses well anyway.
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> raw;
  raw.reserve((rowBytes + 1) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const uint8_t* row = rgb.data() + static_cast<size_t>(y) * rowBytes;
    raw.insert(raw.end(), row, row + rowBytes);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 6) !=
      Z_OK) {
    return {};
  }
  packed.resize(packedSize);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  return out;
}

bool WriteScreenshotFile(const std::string& path, int width, int height,
                         const std::vector<uint8_t>& rgb, std::string& error) {
  if (width <= 0 || height <= 0 ||
      rgb.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
    error = path + ": no picture to write";
    return false;
  }
  std::vector<uint8_t> bytes;
  if (EndsWith(path, ".bmp")) {
    bytes = EncodeBmp(width, height, rgb);
  } else if (EndsWith(path, ".png")) {
    bytes = EncodePng(width, height, rgb);
  } else {
    error = path + ": unknown picture type (the name must end in .bmp or .png)";
    return false;
  }
  if (bytes.empty()) {
    error = path + ": the picture could not be compressed";
    return false;
  }
  // Written beside the target and renamed over it when whole, so a failed write (a full
  // disk) never costs the picture that was there before.
  const std::string tmp = path + ".tmp";
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  const uint8_t* p = bytes.data();
  size_t left = bytes.size();
  int writeErrno = 0;
  while (left > 0 && writeErrno == 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      writeErrno = n < 0 ? errno : ENOSPC;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (writeErrno == 0 && ::fsync(fd) != 0) writeErrno = errno;
  if (::close(fd) != 0 && writeErrno == 0) writeErrno = errno;
  if (writeErrno == 0 && std::rename(tmp.c_str(), path.c_str()) != 0) writeErrno = errno;
  if (writeErrno != 0) {
    error = path + ": " + std::strerror(writeErrno);
    ::unlink(tmp.c_str());  // a short picture is worse than none
    return false;
  }
  return true;
}

}  // namespace tdx
