// Our own reader for the game's RAR 5 archives.
//
// The game walks an archive with five calls, the same shape as the classic unpacking
// library: Open, SetPassword, ReadHeader, ProcessFile (extract into memory, or skip) and
// Close. We read stored members, plain or AES-256 encrypted, and check every header CRC
// and every data CRC. Anything we cannot decode (a compressed member, a wrong password,
// damaged or truncated data) is answered with a processing error, never a crash: every
// size read from the file is bounded by the file's own size before it is used.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tdx {

// Result codes, numbered as the classic library numbers them.
enum RarResult : int {
  kRarSuccess = 0,
  kRarEndArchive = 10,
  kRarNoMemory = 11,
  kRarBadData = 12,     // a damaged header or member, a failed CRC
  kRarBadArchive = 13,  // not a RAR 5 archive
  kRarUnknownFormat =
      14,              // something we do not read: compression, split members, encrypted headers
  kRarOpenError = 15,  // the file cannot be opened
  kRarReadError = 18,  // the file ends inside a member
  kRarMissingPassword = 22,
  kRarBadPassword = 24,
};

enum RarOpenMode : int { kRarOmList = 0, kRarOmExtract = 1 };
enum RarOperation : int { kRarSkip = 0, kRarTest = 1, kRarExtract = 2 };

// The open request: the archive's path in, the open result out (0 = success).
struct RarOpenArchiveData {
  std::string ArcName;
  int OpenMode = kRarOmExtract;
  int OpenResult = 0;
};

// One member as ReadHeader reports it.
struct RarHeaderData {
  std::string FileName;   // exactly as stored, UTF-8, '/' between folders
  uint64_t UnpSize = 0;   // the member's real size
  uint64_t PackSize = 0;  // bytes of data in the archive (padded when encrypted)
  bool Directory = false;
  bool Encrypted = false;
  int Method = 0;  // 0 = stored
};

// Short English text for a result code, for error messages.
const char* RarResultText(int result);

class RarSource;

class Rar5Reader {
 public:
  // Opens the archive named in the request and reads its main header. Sets
  // request.OpenResult; returns null whenever it is not kRarSuccess.
  static std::unique_ptr<Rar5Reader> Open(RarOpenArchiveData& request);
  // The same for an archive already in memory (tests, benchmarks).
  static std::unique_ptr<Rar5Reader> OpenMemory(std::vector<uint8_t> bytes, int& openResult);

  ~Rar5Reader();
  Rar5Reader(const Rar5Reader&) = delete;
  Rar5Reader& operator=(const Rar5Reader&) = delete;

  // The password for every encrypted member that follows.
  void SetPassword(const std::string& password);

  // Reads the next member's header (service headers are passed over). Returns kRarSuccess
  // while a member was read, kRarEndArchive at the end, or an error for a damaged header.
  // A member not processed before the next call is skipped.
  int ReadHeader(RarHeaderData& header);

  // Extracts (kRarExtract, into *out), tests (kRarTest) or skips (kRarSkip) the member
  // whose header was read last. Returns kRarSuccess or the reason it cannot be decoded;
  // on failure *out is left empty.
  int ProcessFile(int operation, std::vector<uint8_t>* out);

  // Where the next ReadHeader starts reading. Handing the same offset to SeekHeader later
  // reads that header again: an index of these read once serves any member at once.
  uint64_t NextHeaderOffset() const { return next_; }
  void SeekHeader(uint64_t offset);

  // Releases the file; the destructor does the same.
  void Close();

 private:
  struct Member;
  explicit Rar5Reader(std::unique_ptr<RarSource> source);
  int ReadMainHeader();
  int ExtractCurrent(std::vector<uint8_t>* out);

  std::unique_ptr<RarSource> source_;
  std::unique_ptr<Member> current_;
  std::string password_;
  uint64_t next_ = 0;   // offset of the next block
  bool ended_ = false;  // the end header, or a damaged header, was met
};

// ---- The format's building blocks, shared with the packer. ----
namespace rar5 {

inline constexpr uint8_t kSignature[8] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00};
inline constexpr uint64_t kMaxHeaderSize = 0x200000;  // 2 MB, as the format allows
inline constexpr int kMaxKdfLog2 = 24;                // more iterations are refused
inline constexpr size_t kSaltSize = 16;
inline constexpr size_t kIvSize = 16;
inline constexpr size_t kCheckSize = 8;

// Header types.
inline constexpr uint64_t kMainHeader = 1, kFileHeader = 2, kServiceHeader = 3, kCryptHeader = 4,
                          kEndHeader = 5;
// Flags of every header.
inline constexpr uint64_t kHasExtra = 0x01, kHasData = 0x02, kSplitBefore = 0x08,
                          kSplitAfter = 0x10;
// Flags of a file header.
inline constexpr uint64_t kDirectory = 0x01, kHasMtime = 0x02, kHasCrc = 0x04, kUnknownSize = 0x08;
// Flags of the encryption record.
inline constexpr uint64_t kHasCheck = 0x01, kMacChecksums = 0x02;
inline constexpr uint64_t kCryptRecord = 0x01;

struct Keys {
  std::array<uint8_t, 32> aesKey{};
  std::array<uint8_t, 32> hashKey{};        // turns CRCs into MACs
  std::array<uint8_t, kCheckSize> check{};  // the password check value
};

// PBKDF2-HMAC-SHA256 over the salt with 2^log2Count iterations for the AES key, 16 more
// for the hash key and 16 more for the check value (folded to 8 bytes). Recent results
// are kept, since every member of an archive usually shares one salt.
Keys DeriveKeys(const std::string& password, const uint8_t* salt, int log2Count);
// The CRC as stored when checksums are turned into MACs.
uint32_t CrcToMac(uint32_t crc, const std::array<uint8_t, 32>& hashKey);
// The 4 bytes stored after the check value: the start of its SHA-256.
std::array<uint8_t, 4> CheckSum(const std::array<uint8_t, kCheckSize>& check);
uint32_t Crc32(const uint8_t* data, size_t size);
void PutVint(std::vector<uint8_t>& out, uint64_t value);
// AES-256-CBC with no padding of its own; size must be a multiple of 16.
bool AesCbc(bool encrypt, const uint8_t* key, const uint8_t* iv, const uint8_t* in, size_t size,
            uint8_t* out);

}  // namespace rar5

}  // namespace tdx
