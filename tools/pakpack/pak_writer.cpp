#include "pak_writer.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "assets/rar5_reader.h"

namespace tdx {

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kHostUnix = 1;
constexpr uint64_t kFileMode = 0100644;
constexpr uint64_t kFolderMode = 040755;

class Sha256 {
 public:
  Sha256() : ctx_(EVP_MD_CTX_new()) { EVP_DigestInit_ex(ctx_, EVP_sha256(), nullptr); }
  ~Sha256() { EVP_MD_CTX_free(ctx_); }
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  Sha256& Add(const void* p, size_t n) {
    EVP_DigestUpdate(ctx_, p, n);
    return *this;
  }
  Sha256& Add(const std::string& s) { return AddU64(s.size()).Add(s.data(), s.size()); }
  Sha256& AddU64(uint64_t v) {
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
    return Add(b, sizeof b);
  }
  std::array<uint8_t, 32> Done() {
    std::array<uint8_t, 32> out{};
    unsigned int len = 0;
    EVP_DigestFinal_ex(ctx_, out.data(), &len);
    return out;
  }

 private:
  EVP_MD_CTX* ctx_;
};

std::array<uint8_t, 32> HashOf(const std::vector<uint8_t>& data) {
  return Sha256().Add(data.data(), data.size()).Done();
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A block: CRC32 of the size field and everything after it, the size, then the header.
void PutBlock(std::vector<uint8_t>& out, const std::vector<uint8_t>& header) {
  std::vector<uint8_t> sized;
  rar5::PutVint(sized, header.size());
  sized.insert(sized.end(), header.begin(), header.end());
  PutU32(out, rar5::Crc32(sized.data(), sized.size()));
  out.insert(out.end(), sized.begin(), sized.end());
}

void PutMember(std::vector<uint8_t>& out, const PakMember& m, size_t index,
               const PakWriteOptions& options, const uint8_t* salt) {
  const std::string& password = m.password ? *m.password : options.password;
  const bool encrypt = !password.empty() && !m.directory;

  std::vector<uint8_t> extra;
  std::vector<uint8_t> stored;  // the data area
  uint32_t crc = rar5::Crc32(m.data.data(), m.data.size());
  if (encrypt) {
    const rar5::Keys keys = rar5::DeriveKeys(password, salt, options.kdfLog2);
    const std::array<uint8_t, 32> ivHash = Sha256()
                                               .Add("tandrix pak iv", 14)
                                               .AddU64(index)
                                               .Add(m.name)
                                               .Add(HashOf(m.data).data(), 32)
                                               .Done();
    std::vector<uint8_t> record;
    rar5::PutVint(record, rar5::kCryptRecord);
    rar5::PutVint(record, 0);  // AES-256
    rar5::PutVint(record, (options.passwordCheck ? rar5::kHasCheck : 0) |
                              (options.macChecksums ? rar5::kMacChecksums : 0));
    record.push_back(static_cast<uint8_t>(options.kdfLog2));
    record.insert(record.end(), salt, salt + rar5::kSaltSize);
    record.insert(record.end(), ivHash.begin(), ivHash.begin() + rar5::kIvSize);
    if (options.passwordCheck) {
      record.insert(record.end(), keys.check.begin(), keys.check.end());
      const std::array<uint8_t, 4> sum = rar5::CheckSum(keys.check);
      record.insert(record.end(), sum.begin(), sum.end());
    }
    rar5::PutVint(extra, record.size());
    extra.insert(extra.end(), record.begin(), record.end());

    stored = m.data;
    stored.resize((stored.size() + 15) / 16 * 16, 0);
    if (!rar5::AesCbc(true, keys.aesKey.data(), ivHash.data(), stored.data(), stored.size(),
                      stored.data())) {
      throw std::runtime_error("cannot encrypt member " + m.name);
    }
    if (options.macChecksums) crc = rar5::CrcToMac(crc, keys.hashKey);
  } else if (!m.directory) {
    stored = m.data;
  }

  std::vector<uint8_t> h;
  rar5::PutVint(h, rar5::kFileHeader);
  rar5::PutVint(h, (extra.empty() ? 0 : rar5::kHasExtra) | (m.directory ? 0 : rar5::kHasData));
  if (!extra.empty()) rar5::PutVint(h, extra.size());
  if (!m.directory) rar5::PutVint(h, stored.size());
  rar5::PutVint(h, m.directory ? rar5::kDirectory : rar5::kHasCrc);
  rar5::PutVint(h, m.directory ? 0 : m.data.size());
  rar5::PutVint(h, m.directory ? kFolderMode : kFileMode);
  if (!m.directory) PutU32(h, crc);
  rar5::PutVint(h, static_cast<uint64_t>(m.method & 7) << 7);
  rar5::PutVint(h, kHostUnix);
  rar5::PutVint(h, m.name.size());
  h.insert(h.end(), m.name.begin(), m.name.end());
  h.insert(h.end(), extra.begin(), extra.end());
  PutBlock(out, h);
  out.insert(out.end(), stored.begin(), stored.end());
}

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>& data, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path.string() + ": " + std::strerror(errno);
    return false;
  }
  data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read " + path.string() + ": read error";
    return false;
  }
  return true;
}

}  // namespace

std::vector<uint8_t> BuildPak(const std::vector<PakMember>& members,
                              const PakWriteOptions& options) {
  // One salt for the whole archive, so a reader derives the keys once, not once per member.
  Sha256 saltHash;
  saltHash.Add("tandrix pak salt", 16).AddU64(members.size());
  for (const PakMember& m : members) saltHash.Add(m.name).Add(HashOf(m.data).data(), 32);
  const std::array<uint8_t, 32> salt = saltHash.Done();

  std::vector<uint8_t> out(std::begin(rar5::kSignature), std::end(rar5::kSignature));
  std::vector<uint8_t> h;
  rar5::PutVint(h, rar5::kMainHeader);
  rar5::PutVint(h, 0);  // header flags
  rar5::PutVint(h, 0);  // archive flags: one volume, not solid
  PutBlock(out, h);
  for (size_t i = 0; i < members.size(); ++i) PutMember(out, members[i], i, options, salt.data());
  h.clear();
  rar5::PutVint(h, rar5::kEndHeader);
  rar5::PutVint(h, 0);
  rar5::PutVint(h, 0);  // the last volume
  PutBlock(out, h);
  return out;
}

bool WritePakFile(const std::string& path, const std::vector<PakMember>& members,
                  std::string& error, const PakWriteOptions& options) {
  std::vector<uint8_t> bytes;
  try {
    bytes = BuildPak(members, options);
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  const std::string temp = path + ".tmp";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    error = "cannot write " + temp + ": " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const int writeErrno = errno;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    error = "cannot write " + temp + ": " + std::strerror(written ? errno : writeErrno);
    std::remove(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    error = "cannot rename " + temp + " to " + path + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool ReadFolderMembers(const std::string& dir, std::vector<PakMember>& members,
                       std::string& error) {
  std::error_code ec;
  std::vector<fs::path> files;
  fs::directory_iterator it(dir, ec);
  if (ec) {
    error = "cannot read folder " + dir + ": " + ec.message();
    return false;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec)) files.push_back(it->path());
  }
  if (ec) {
    error = "cannot read folder " + dir + ": " + ec.message();
    return false;
  }
  std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
    return a.filename().string() < b.filename().string();
  });
  std::vector<std::string> names;
  for (const fs::path& p : files) names.push_back(p.string());
  return ReadFileMembers(names, members, error);
}

bool ReadFileMembers(const std::vector<std::string>& files, std::vector<PakMember>& members,
                     std::string& error) {
  members.clear();
  for (const std::string& file : files) {
    PakMember m;
    m.name = fs::path(file).filename().string();
    std::error_code ec;
    if (m.name.empty() || !fs::is_regular_file(file, ec)) {
      error = "not a regular file: " + file;
      return false;
    }
    if (!ReadWholeFile(file, m.data, error)) return false;
    members.push_back(std::move(m));
  }
  return true;
}

}  // namespace tdx
