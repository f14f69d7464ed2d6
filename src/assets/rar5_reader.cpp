#include "assets/rar5_reader.h"

// The plain SHA-256 context lets one keyed HMAC state be copied per iteration, which makes
// the key derivation several times faster than re-keying an HMAC each round.
#define OPENSSL_SUPPRESS_DEPRECATED 1
#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

namespace tdx {

const char* RarResultText(int result) {
  switch (result) {
    case kRarSuccess: return "ok";
    case kRarEndArchive: return "end of archive";
    case kRarNoMemory: return "out of memory";
    case kRarBadData: return "damaged data or failed checksum";
    case kRarBadArchive: return "not a RAR 5 archive";
    case kRarUnknownFormat: return "stored in a form this reader does not support";
    case kRarOpenError: return "cannot open the file";
    case kRarReadError: return "the file ends inside the member";
    case kRarMissingPassword: return "password needed";
    case kRarBadPassword: return "wrong password";
    default: return "unknown error";
  }
}

// ---- Where the archive's bytes come from. ----

class RarSource {
 public:
  virtual ~RarSource() = default;
  uint64_t Size() const { return size_; }
  // Reads exactly n bytes at offset; false when they are not all there.
  virtual bool Read(uint64_t offset, size_t n, uint8_t* dst) = 0;

 protected:
  uint64_t size_ = 0;
};

namespace {

class FileSource : public RarSource {
 public:
  explicit FileSource(int fd, uint64_t size) : fd_(fd) { size_ = size; }
  ~FileSource() override { ::close(fd_); }
  bool Read(uint64_t offset, size_t n, uint8_t* dst) override {
    if (offset > size_ || n > size_ - offset) return false;
    while (n > 0) {
      ssize_t got = ::pread(fd_, dst, n, static_cast<off_t>(offset));
      if (got <= 0) return false;
      dst += got;
      offset += static_cast<uint64_t>(got);
      n -= static_cast<size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
};

class MemorySource : public RarSource {
 public:
  explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {
    size_ = bytes_.size();
  }
  bool Read(uint64_t offset, size_t n, uint8_t* dst) override {
    if (offset > size_ || n > size_ - offset) return false;
    if (n) std::memcpy(dst, bytes_.data() + offset, n);
    return true;
  }

 private:
  std::vector<uint8_t> bytes_;
};

// Bounded reading of one header: every read fails once past the end, never beyond it.
class Cursor {
 public:
  Cursor(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  size_t Left() const { return n_ - i_; }
  size_t Pos() const { return i_; }
  const uint8_t* Here() const { return p_ + i_; }

  bool Vint(uint64_t& v) {
    v = 0;
    for (int k = 0; k < 10; ++k) {
      if (i_ >= n_) return false;
      uint8_t b = p_[i_++];
      uint64_t bits = b & 0x7F;
      if (k == 9 && bits > 1) return false;  // would not fit in 64 bits
      v |= bits << (7 * k);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  bool Bytes(uint8_t* dst, size_t k) {
    if (k > Left()) return false;
    std::memcpy(dst, p_ + i_, k);
    i_ += k;
    return true;
  }
  bool U32(uint32_t& v) {
    uint8_t b[4];
    if (!Bytes(b, 4)) return false;
    v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
  }
  bool Skip(size_t k) {
    if (k > Left()) return false;
    i_ += k;
    return true;
  }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t i_ = 0;
};

// One header block as read from the file, its CRC already checked.
struct Block {
  uint64_t type = 0;
  uint64_t flags = 0;
  std::vector<uint8_t> bytes;  // from the type field to the end of the extra area
  size_t bodyStart = 0;        // first byte after the common fields
  size_t extraStart = 0;       // the extra area runs from here to the end of bytes
  uint64_t dataStart = 0;
  uint64_t dataSize = 0;
  bool dataTruncated = false;  // the file ends inside the data area
  uint64_t next = 0;           // offset of the following block
};

// Reads the block at pos. kRarEndArchive when the file ends exactly there.
int ReadBlock(RarSource& src, uint64_t pos, Block& b) {
  const uint64_t size = src.Size();
  if (pos >= size) return kRarEndArchive;
  const uint64_t remaining = size - pos;
  if (remaining < 6) return kRarBadData;
  // One read usually holds the whole header: ours are about a hundred bytes.
  std::vector<uint8_t> raw(static_cast<size_t>(std::min<uint64_t>(remaining, 256)));
  if (!src.Read(pos, raw.size(), raw.data())) return kRarBadData;
  // The size field is at most three bytes long, since headers are at most 2 MB.
  Cursor sizeField(raw.data() + 4, std::min<size_t>(raw.size() - 4, 3));
  uint64_t headerSize = 0;
  if (!sizeField.Vint(headerSize)) return kRarBadData;
  if (headerSize < 2 || headerSize > rar5::kMaxHeaderSize) return kRarBadData;
  const size_t sizeLen = sizeField.Pos();
  const uint64_t total = 4 + sizeLen + headerSize;
  if (total > remaining) return kRarBadData;
  const size_t have = raw.size();
  raw.resize(static_cast<size_t>(total));
  if (total > have && !src.Read(pos + have, raw.size() - have, raw.data() + have)) {
    return kRarBadData;
  }
  const uint32_t stored =
      uint32_t(raw[0]) | uint32_t(raw[1]) << 8 | uint32_t(raw[2]) << 16 | uint32_t(raw[3]) << 24;
  if (rar5::Crc32(raw.data() + 4, raw.size() - 4) != stored) return kRarBadData;

  raw.erase(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(4 + sizeLen));
  b.bytes = std::move(raw);
  Cursor c(b.bytes.data(), b.bytes.size());
  uint64_t extraSize = 0;
  b.dataSize = 0;
  if (!c.Vint(b.type) || !c.Vint(b.flags)) return kRarBadData;
  if ((b.flags & rar5::kHasExtra) && !c.Vint(extraSize)) return kRarBadData;
  if ((b.flags & rar5::kHasData) && !c.Vint(b.dataSize)) return kRarBadData;
  if (extraSize > c.Left()) return kRarBadData;
  b.bodyStart = c.Pos();
  b.extraStart = b.bytes.size() - static_cast<size_t>(extraSize);

  b.dataStart = pos + total;
  const uint64_t after = size - b.dataStart;
  b.dataTruncated = b.dataSize > after;
  b.next = b.dataTruncated ? size : b.dataStart + b.dataSize;
  return kRarSuccess;
}

}  // namespace

// ---- Keys, checksums and the cipher. ----
namespace rar5 {
namespace {

class HmacSha256 {
 public:
  HmacSha256(const uint8_t* key, size_t len) {
    uint8_t k[64] = {};
    if (len > sizeof k) {
      SHA256(key, len, k);
    } else if (len) {
      std::memcpy(k, key, len);
    }
    uint8_t pad[64];
    for (size_t i = 0; i < 64; ++i) pad[i] = k[i] ^ 0x36;
    SHA256_Init(&inner_);
    SHA256_Update(&inner_, pad, 64);
    for (size_t i = 0; i < 64; ++i) pad[i] = k[i] ^ 0x5C;
    SHA256_Init(&outer_);
    SHA256_Update(&outer_, pad, 64);
  }
  void Mac(const uint8_t* msg, size_t n, uint8_t out[32]) const {
    SHA256_CTX c = inner_;
    uint8_t innerHash[32];
    SHA256_Update(&c, msg, n);
    SHA256_Final(innerHash, &c);
    c = outer_;
    SHA256_Update(&c, innerHash, 32);
    SHA256_Final(out, &c);
  }

 private:
  SHA256_CTX inner_{};
  SHA256_CTX outer_{};
};

Keys ComputeKeys(const std::string& password, const uint8_t* salt, int log2Count) {
  HmacSha256 hmac(reinterpret_cast<const uint8_t*>(password.data()), password.size());
  uint8_t block[kSaltSize + 4];
  std::memcpy(block, salt, kSaltSize);
  block[kSaltSize] = 0;
  block[kSaltSize + 1] = 0;
  block[kSaltSize + 2] = 0;
  block[kSaltSize + 3] = 1;
  uint8_t u[32], t[32];
  hmac.Mac(block, sizeof block, u);
  std::memcpy(t, u, 32);
  // One chain of iterations; the key, the hash key and the check value are taken from it
  // after n, n + 16 and n + 32 rounds.
  Keys keys;
  const uint64_t counts[3] = {(uint64_t{1} << log2Count) - 1, 16, 16};
  uint8_t* outs[3] = {keys.aesKey.data(), keys.hashKey.data(), nullptr};
  uint8_t checkFull[32];
  outs[2] = checkFull;
  for (int stage = 0; stage < 3; ++stage) {
    for (uint64_t j = 0; j < counts[stage]; ++j) {
      hmac.Mac(u, 32, u);
      for (int k = 0; k < 32; ++k) t[k] ^= u[k];
    }
    std::memcpy(outs[stage], t, 32);
  }
  for (size_t i = 0; i < 32; ++i) keys.check[i % kCheckSize] ^= checkFull[i];
  return keys;
}

struct CachedKeys {
  std::string password;
  std::array<uint8_t, kSaltSize> salt{};
  int log2Count = -1;
  Keys keys;
};

}  // namespace

Keys DeriveKeys(const std::string& password, const uint8_t* salt, int log2Count) {
  static std::mutex mutex;
  static std::array<CachedKeys, 8> cache;
  static size_t nextSlot = 0;
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (const CachedKeys& e : cache) {
      if (e.log2Count == log2Count && e.password == password &&
          std::memcmp(e.salt.data(), salt, kSaltSize) == 0) {
        return e.keys;
      }
    }
  }
  Keys keys = ComputeKeys(password, salt, log2Count);
  std::lock_guard<std::mutex> lock(mutex);
  CachedKeys& e = cache[nextSlot];
  nextSlot = (nextSlot + 1) % cache.size();
  e.password = password;
  std::memcpy(e.salt.data(), salt, kSaltSize);
  e.log2Count = log2Count;
  e.keys = keys;
  return keys;
}

uint32_t CrcToMac(uint32_t crc, const std::array<uint8_t, 32>& hashKey) {
  const uint8_t raw[4] = {uint8_t(crc), uint8_t(crc >> 8), uint8_t(crc >> 16), uint8_t(crc >> 24)};
  uint8_t digest[32];
  HmacSha256(hashKey.data(), hashKey.size()).Mac(raw, sizeof raw, digest);
  uint32_t folded = 0;
  for (unsigned i = 0; i < 32; ++i) folded ^= uint32_t(digest[i]) << ((i & 3) * 8);
  return folded;
}

std::array<uint8_t, 4> CheckSum(const std::array<uint8_t, kCheckSize>& check) {
  uint8_t digest[32];
  SHA256(check.data(), check.size(), digest);
  return {digest[0], digest[1], digest[2], digest[3]};
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  uLong crc = crc32(0L, Z_NULL, 0);
  while (size > 0) {
    const uInt chunk = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
    crc = crc32(crc, data, chunk);
    data += chunk;
    size -= chunk;
  }
  return static_cast<uint32_t>(crc);
}

void PutVint(std::vector<uint8_t>& out, uint64_t value) {
  do {
    uint8_t b = value & 0x7F;
    value >>= 7;
    if (value) b |= 0x80;
    out.push_back(b);
  } while (value);
}

bool AesCbc(bool encrypt, const uint8_t* key, const uint8_t* iv, const uint8_t* in, size_t size,
            uint8_t* out) {
  if (size % 16 != 0) return false;
  if (size == 0) return true;
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  if (!ctx) return false;
  bool ok = EVP_CipherInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key, iv, encrypt ? 1 : 0) == 1 &&
            EVP_CIPHER_CTX_set_padding(ctx, 0) == 1;
  size_t done = 0;
  while (ok && done < size) {
    const int chunk = static_cast<int>(std::min<size_t>(size - done, 1u << 28));
    int len = 0;
    ok = EVP_CipherUpdate(ctx, out + done, &len, in + done, chunk) == 1 && len == chunk;
    done += static_cast<size_t>(chunk);
  }
  int tail = 0;
  ok = ok && EVP_CipherFinal_ex(ctx, out + size, &tail) == 1 && tail == 0;
  EVP_CIPHER_CTX_free(ctx);
  return ok;
}

}  // namespace rar5

// ---- The reader. ----

struct Rar5Reader::Member {
  std::string name;
  uint64_t unpSize = 0;
  uint64_t dataStart = 0;
  uint64_t dataSize = 0;
  bool dataTruncated = false;
  bool directory = false;
  bool split = false;
  bool unknownSize = false;
  bool hasCrc = false;
  uint32_t crc = 0;
  uint64_t method = 0;
  bool encrypted = false;
  bool cryptSupported = false;
  int kdfLog2 = 0;
  uint8_t salt[rar5::kSaltSize] = {};
  uint8_t iv[rar5::kIvSize] = {};
  bool useCheck = false;
  bool macChecksums = false;
  std::array<uint8_t, rar5::kCheckSize> check{};
};

namespace {

// The fields of a file header after the common ones, and its extra records.
bool ParseFileHeader(const Block& b, std::string& name, uint64_t& fileFlags, uint64_t& unpSize,
                     bool& hasCrc, uint32_t& crc, uint64_t& compInfo, Cursor& extra) {
  Cursor c(b.bytes.data() + b.bodyStart, b.extraStart - b.bodyStart);
  uint64_t attributes = 0, hostOs = 0, nameLen = 0;
  uint32_t mtime = 0;
  if (!c.Vint(fileFlags) || !c.Vint(unpSize) || !c.Vint(attributes)) return false;
  if ((fileFlags & rar5::kHasMtime) && !c.U32(mtime)) return false;
  hasCrc = (fileFlags & rar5::kHasCrc) != 0;
  if (hasCrc && !c.U32(crc)) return false;
  if (!c.Vint(compInfo) || !c.Vint(hostOs) || !c.Vint(nameLen)) return false;
  if (nameLen > c.Left()) return false;
  name.assign(reinterpret_cast<const char*>(c.Here()), static_cast<size_t>(nameLen));
  extra = Cursor(b.bytes.data() + b.extraStart, b.bytes.size() - b.extraStart);
  return true;
}

}  // namespace

Rar5Reader::Rar5Reader(std::unique_ptr<RarSource> source) : source_(std::move(source)) {}
Rar5Reader::~Rar5Reader() = default;

std::unique_ptr<Rar5Reader> Rar5Reader::Open(RarOpenArchiveData& request) {
  const int fd = ::open(request.ArcName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    request.OpenResult = kRarOpenError;
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    request.OpenResult = kRarOpenError;
    return nullptr;
  }
  std::unique_ptr<Rar5Reader> reader(
      new Rar5Reader(std::make_unique<FileSource>(fd, static_cast<uint64_t>(st.st_size))));
  request.OpenResult = reader->ReadMainHeader();
  if (request.OpenResult != kRarSuccess) return nullptr;
  return reader;
}

std::unique_ptr<Rar5Reader> Rar5Reader::OpenMemory(std::vector<uint8_t> bytes, int& openResult) {
  std::unique_ptr<Rar5Reader> reader(
      new Rar5Reader(std::make_unique<MemorySource>(std::move(bytes))));
  openResult = reader->ReadMainHeader();
  if (openResult != kRarSuccess) return nullptr;
  return reader;
}

int Rar5Reader::ReadMainHeader() {
  uint8_t sig[sizeof rar5::kSignature];
  if (!source_->Read(0, sizeof sig, sig) || std::memcmp(sig, rar5::kSignature, sizeof sig) != 0) {
    return kRarBadArchive;
  }
  Block b;
  const int r = ReadBlock(*source_, sizeof sig, b);
  if (r == kRarEndArchive) return kRarBadData;
  if (r != kRarSuccess) return r;
  if (b.type == rar5::kCryptHeader) return kRarUnknownFormat;  // encrypted headers
  if (b.type != rar5::kMainHeader) return kRarBadData;
  Cursor c(b.bytes.data() + b.bodyStart, b.extraStart - b.bodyStart);
  uint64_t archiveFlags = 0;
  if (!c.Vint(archiveFlags)) return kRarBadData;
  next_ = b.next;
  return kRarSuccess;
}

void Rar5Reader::SetPassword(const std::string& password) { password_ = password; }

int Rar5Reader::ReadHeader(RarHeaderData& header) {
  current_.reset();  // a member left unprocessed is skipped
  header = RarHeaderData{};
  if (!source_) return kRarBadData;
  while (!ended_) {
    Block b;
    const int r = ReadBlock(*source_, next_, b);
    if (r != kRarSuccess) {
      ended_ = true;
      return r;
    }
    next_ = b.next;  // always moves forward: a block is at least seven bytes
    if (b.type == rar5::kEndHeader) {
      ended_ = true;
      break;
    }
    if (b.type != rar5::kFileHeader) continue;  // service headers (comments and the like)

    auto m = std::make_unique<Member>();
    uint64_t fileFlags = 0, compInfo = 0;
    Cursor extra(nullptr, 0);
    if (!ParseFileHeader(b, m->name, fileFlags, m->unpSize, m->hasCrc, m->crc, compInfo, extra)) {
      ended_ = true;
      return kRarBadData;
    }
    while (extra.Left() > 0) {
      uint64_t recSize = 0, recType = 0;
      if (!extra.Vint(recSize) || recSize == 0 || recSize > extra.Left()) {
        ended_ = true;
        return kRarBadData;
      }
      Cursor rec(extra.Here(), static_cast<size_t>(recSize));
      extra.Skip(static_cast<size_t>(recSize));
      if (!rec.Vint(recType)) {
        ended_ = true;
        return kRarBadData;
      }
      if (recType != rar5::kCryptRecord) continue;
      uint64_t version = 0, cryptFlags = 0;
      uint8_t kdf = 0;
      uint8_t checkSum[4];
      m->encrypted = true;
      if (!rec.Vint(version)) {
        ended_ = true;
        return kRarBadData;
      }
      // Another cipher than AES-256 may lay its record out differently: leave it unread.
      m->cryptSupported = version == 0;
      if (!m->cryptSupported) continue;
      bool ok = rec.Vint(cryptFlags) && rec.Bytes(&kdf, 1) && rec.Bytes(m->salt, sizeof m->salt) &&
                rec.Bytes(m->iv, sizeof m->iv);
      if (ok && (cryptFlags & rar5::kHasCheck)) {
        ok = rec.Bytes(m->check.data(), m->check.size()) && rec.Bytes(checkSum, sizeof checkSum);
        // A check value whose own checksum is wrong is not trusted; the data CRC decides.
        m->useCheck =
            ok && rar5::CheckSum(m->check) ==
                      std::array<uint8_t, 4>{checkSum[0], checkSum[1], checkSum[2], checkSum[3]};
      }
      if (!ok) {
        ended_ = true;
        return kRarBadData;
      }
      m->kdfLog2 = kdf;
      m->macChecksums = (cryptFlags & rar5::kMacChecksums) != 0;
    }
    m->directory = (fileFlags & rar5::kDirectory) != 0;
    m->unknownSize = (fileFlags & rar5::kUnknownSize) != 0;
    m->split = (b.flags & (rar5::kSplitBefore | rar5::kSplitAfter)) != 0;
    m->method = (compInfo >> 7) & 7;
    m->dataStart = b.dataStart;
    m->dataSize = b.dataSize;
    m->dataTruncated = b.dataTruncated;

    header.FileName = m->name;
    header.UnpSize = m->unpSize;
    header.PackSize = m->dataSize;
    header.Directory = m->directory;
    header.Encrypted = m->encrypted;
    header.Method = static_cast<int>(m->method);
    current_ = std::move(m);
    return kRarSuccess;
  }
  return kRarEndArchive;
}

int Rar5Reader::ProcessFile(int operation, std::vector<uint8_t>* out) {
  if (out) out->clear();
  if (!current_) return kRarBadData;  // no header was read for it
  int r = kRarSuccess;
  if (operation == kRarExtract || operation == kRarTest) {
    std::vector<uint8_t> data;
    try {
      r = ExtractCurrent(&data);
    } catch (const std::bad_alloc&) {
      r = kRarNoMemory;
    }
    if (r == kRarSuccess && operation == kRarExtract && out) *out = std::move(data);
  }
  current_.reset();
  return r;
}

int Rar5Reader::ExtractCurrent(std::vector<uint8_t>* out) {
  const Member& m = *current_;
  if (m.directory) return kRarSuccess;
  if (m.split || m.unknownSize || m.method != 0) return kRarUnknownFormat;
  if (m.encrypted && !m.cryptSupported) return kRarUnknownFormat;
  if (m.dataTruncated) return kRarReadError;

  std::vector<uint8_t>& data = *out;
  if (m.encrypted) {
    if (password_.empty()) return kRarMissingPassword;
    if (m.kdfLog2 > rar5::kMaxKdfLog2) return kRarBadData;
    // Stored data is the member padded to whole cipher blocks.
    if (m.dataSize % 16 != 0 || m.dataSize < m.unpSize || m.dataSize - m.unpSize >= 16) {
      return kRarBadData;
    }
    const rar5::Keys keys = rar5::DeriveKeys(password_, m.salt, m.kdfLog2);
    if (m.useCheck && keys.check != m.check) return kRarBadPassword;
    data.resize(static_cast<size_t>(m.dataSize));
    if (!source_->Read(m.dataStart, data.size(), data.data())) return kRarReadError;
    if (!rar5::AesCbc(false, keys.aesKey.data(), m.iv, data.data(), data.size(), data.data())) {
      return kRarBadData;
    }
    data.resize(static_cast<size_t>(m.unpSize));
    if (m.hasCrc) {
      uint32_t crc = rar5::Crc32(data.data(), data.size());
      if (m.macChecksums) crc = rar5::CrcToMac(crc, keys.hashKey);
      if (crc != m.crc) return kRarBadData;
    }
    return kRarSuccess;
  }
  if (m.dataSize != m.unpSize) return kRarBadData;
  data.resize(static_cast<size_t>(m.dataSize));
  if (!source_->Read(m.dataStart, data.size(), data.data())) return kRarReadError;
  if (m.hasCrc && rar5::Crc32(data.data(), data.size()) != m.crc) return kRarBadData;
  return kRarSuccess;
}

void Rar5Reader::SeekHeader(uint64_t offset) {
  current_.reset();
  next_ = offset;
  ended_ = source_ == nullptr;
}

void Rar5Reader::Close() {
  current_.reset();
  source_.reset();
  ended_ = true;
}

}  // namespace tdx
