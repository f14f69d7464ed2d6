// The RAR 5 reader and the packer: round trips, members the reader must refuse, damaged
// and truncated archives.
#include <openssl/evp.h>

#include <cstring>
#include <random>
#include <set>

#include "assets/rar5_reader.h"
#include "assets_fixture.h"

namespace tdx {
namespace {

using assets_testing::Bytes;
using assets_testing::Member;
using assets_testing::ScratchDir;

struct Walked {
  std::string name;
  int result = -1;
  std::vector<uint8_t> data;
};

// Opens the archive, then reads and extracts every member until ReadHeader stops.
// Gives up after `limit` members so a reader that loops would fail, not hang.
std::vector<Walked> WalkAll(std::vector<uint8_t> bytes, const std::string& password,
                            int& openResult, int& endResult, int limit = 1000) {
  std::vector<Walked> out;
  auto reader = Rar5Reader::OpenMemory(std::move(bytes), openResult);
  endResult = -1;
  if (!reader) return out;
  if (!password.empty()) reader->SetPassword(password);
  RarHeaderData h;
  while ((endResult = reader->ReadHeader(h)) == kRarSuccess) {
    Walked w;
    w.name = h.FileName;
    w.result = reader->ProcessFile(kRarExtract, &w.data);
    out.push_back(std::move(w));
    if (static_cast<int>(out.size()) >= limit) {
      ADD_FAILURE() << "the walk does not end";
      break;
    }
  }
  reader->Close();
  return out;
}

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  std::mt19937 rng(seed);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

std::vector<PakMember> SampleMembers() {
  return {Member("empty.bin", ""),
          Member("one.bin", "x"),
          Member("fifteen.bin", Pattern(15, 1)),
          Member("sixteen.bin", Pattern(16, 2)),
          Member("seventeen.bin", Pattern(17, 3)),
          Member("big.bin", Pattern(100000, 4)),
          Member("sub/dir name.txt", "folders and spaces are kept as stored")};
}

std::vector<uint8_t> Pbkdf2(const std::string& pw, const uint8_t* salt, int iterations) {
  std::vector<uint8_t> out(32);
  EXPECT_EQ(PKCS5_PBKDF2_HMAC(pw.data(), static_cast<int>(pw.size()), salt, 16, iterations,
                              EVP_sha256(), 32, out.data()),
            1);
  return out;
}

TEST(Rar5Keys, MatchPbkdf2AfterNThenSixteenThenThirtyTwoMoreRounds) {
  uint8_t salt[16];
  for (int i = 0; i < 16; ++i) salt[i] = static_cast<uint8_t>(i * 37 + 5);
  const std::string longPassword(100, 'k');  // longer than an HMAC block: hashed first
  for (const std::string& pw : {std::string(kPakPassword), longPassword}) {
    for (int log2 : {0, 4, 11}) {
      SCOPED_TRACE(pw.size());
      SCOPED_TRACE(log2);
      const rar5::Keys k = rar5::DeriveKeys(pw, salt, log2);
      const int n = 1 << log2;
      EXPECT_EQ(std::vector<uint8_t>(k.aesKey.begin(), k.aesKey.end()), Pbkdf2(pw, salt, n));
      EXPECT_EQ(std::vector<uint8_t>(k.hashKey.begin(), k.hashKey.end()), Pbkdf2(pw, salt, n + 16));
      const std::vector<uint8_t> full = Pbkdf2(pw, salt, n + 32);
      std::array<uint8_t, 8> folded{};
      for (int i = 0; i < 32; ++i) folded[i % 8] ^= full[i];
      EXPECT_EQ(k.check, folded);
    }
  }
}

TEST(Rar5RoundTrip, EveryWriterFormReadsBackInStoredOrder) {
  struct Case {
    const char* what;
    PakWriteOptions options;
  };
  PakWriteOptions plain;
  plain.password.clear();
  PakWriteOptions noCheck;
  noCheck.passwordCheck = false;
  PakWriteOptions plainCrc;
  plainCrc.macChecksums = false;
  PakWriteOptions fewRounds;
  fewRounds.kdfLog2 = 2;
  const Case cases[] = {{"game defaults", {}},
                        {"unencrypted", plain},
                        {"no password check value", noCheck},
                        {"plain CRCs", plainCrc},
                        {"few key rounds", fewRounds}};
  const std::vector<PakMember> members = SampleMembers();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int open = -1, end = -1;
    const auto walked = WalkAll(BuildPak(members, c.options), kPakPassword, open, end);
    ASSERT_EQ(open, kRarSuccess);
    EXPECT_EQ(end, kRarEndArchive);
    ASSERT_EQ(walked.size(), members.size());
    for (size_t i = 0; i < members.size(); ++i) {
      EXPECT_EQ(walked[i].name, members[i].name);
      EXPECT_EQ(walked[i].result, kRarSuccess);
      EXPECT_EQ(walked[i].data, members[i].data);
    }
  }
}

TEST(Rar5RoundTrip, HeaderReportsSizesAndSkipNeedsNoPassword) {
  int open = -1;
  auto reader = Rar5Reader::OpenMemory(BuildPak(SampleMembers()), open);
  ASSERT_TRUE(reader);
  RarHeaderData h;
  std::vector<std::string> names;
  while (reader->ReadHeader(h) == kRarSuccess) {
    names.push_back(h.FileName);
    EXPECT_TRUE(h.Encrypted);
    EXPECT_EQ(h.Method, 0);
    EXPECT_EQ(h.PackSize, (h.UnpSize + 15) / 16 * 16);
    // Every other member is left unprocessed: the next ReadHeader skips it.
    if (names.size() % 2) {
      EXPECT_EQ(reader->ProcessFile(kRarSkip, nullptr), kRarSuccess);
    }
  }
  EXPECT_EQ(names.size(), SampleMembers().size());
  EXPECT_EQ(reader->ReadHeader(h), kRarEndArchive);                   // stays at the end
  EXPECT_NE(reader->ProcessFile(kRarExtract, nullptr), kRarSuccess);  // no header read
  reader->Close();
  EXPECT_NE(reader->ReadHeader(h), kRarSuccess);
}

// One unusual member between two good ones: the reader answers it with the right error
// and the members around it still read.
TEST(Rar5Member, UndecodableMembersAreProcessingErrors) {
  struct Case {
    const char* what;
    std::function<void(PakMember&, PakWriteOptions&)> change;
    const char* password;  // given to the reader
    int expected;
  };
  const Case cases[] = {
      {"wrong password, check value stored",
       [](PakMember& m, PakWriteOptions&) { m.password = "other"; }, kPakPassword, kRarBadPassword},
      {"wrong password, no check value",
       [](PakMember& m, PakWriteOptions& o) {
         m.password = "other";
         o.passwordCheck = false;
       },
       kPakPassword, kRarBadData},
      {"compressed", [](PakMember& m, PakWriteOptions&) { m.method = 3; }, kPakPassword,
       kRarUnknownFormat},
      {"no password given", [](PakMember&, PakWriteOptions&) {}, "", kRarMissingPassword},
      {"folder entry", [](PakMember& m, PakWriteOptions&) { m.directory = true; }, kPakPassword,
       kRarSuccess},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<PakMember> members = {Member("a", "first"), Member("b", "second"),
                                      Member("c", "third")};
    PakWriteOptions options;
    c.change(members[1], options);
    int open = -1, end = -1;
    const auto walked = WalkAll(BuildPak(members, options), c.password, open, end);
    ASSERT_EQ(walked.size(), 3u);
    EXPECT_EQ(walked[1].result, c.expected);
    EXPECT_TRUE(walked[1].result != kRarSuccess || members[1].directory);
    EXPECT_TRUE(walked[1].data.empty());
    if (*c.password) {
      EXPECT_EQ(walked[0].data, Bytes("first"));
      EXPECT_EQ(walked[2].data, Bytes("third"));
    }
  }
}

TEST(Rar5Open, RefusesWhatIsNotOneOfOurArchives) {
  const std::vector<uint8_t> good = BuildPak({Member("a", "x")});
  std::vector<uint8_t> rar4 = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0xCF, 0x90, 0x73, 0, 0};
  std::vector<uint8_t> sigOnly(good.begin(), good.begin() + 8);
  // An archive-encryption header where the main header should be (encrypted headers).
  std::vector<uint8_t> cryptHeaders = sigOnly;
  {
    std::vector<uint8_t> body = {2, rar5::kCryptHeader, 0};  // size, type, flags
    const uint32_t crc = rar5::Crc32(body.data(), body.size());
    for (int i = 0; i < 4; ++i) cryptHeaders.push_back(uint8_t(crc >> (8 * i)));
    cryptHeaders.insert(cryptHeaders.end(), body.begin(), body.end());
  }
  std::vector<uint8_t> badMainCrc = good;
  badMainCrc[8] ^= 1;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int expected;
  };
  const Case cases[] = {{"empty", {}, kRarBadArchive},
                        {"a bitmap", assets_testing::SolidBmp(0xFF0000), kRarBadArchive},
                        {"RAR 4", rar4, kRarBadArchive},
                        {"signature only", sigOnly, kRarBadData},
                        {"encrypted headers", cryptHeaders, kRarUnknownFormat},
                        {"main header CRC", badMainCrc, kRarBadData}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int open = -1;
    EXPECT_EQ(Rar5Reader::OpenMemory(c.bytes, open), nullptr);
    EXPECT_EQ(open, c.expected);
  }

  ScratchDir dir;
  for (const std::string& path : {dir.Path() + "/nothing.pak", dir.Path() + "/pak"}) {
    RarOpenArchiveData request;
    request.ArcName = path;
    EXPECT_EQ(Rar5Reader::Open(request), nullptr);
    EXPECT_EQ(request.OpenResult, kRarOpenError) << path;
  }
}

TEST(Rar5Walk, AFileCutShortFailsOnlyTheMemberItCuts) {
  const std::vector<PakMember> members = {Member("a", Pattern(100, 7)),
                                          Member("b", Pattern(5000, 8))};
  std::vector<uint8_t> bytes = BuildPak(members);
  bytes.resize(bytes.size() - 2000);  // inside b's data
  ScratchDir dir;
  const std::string path = dir.Path() + "/cut.pak";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  RarOpenArchiveData request;
  request.ArcName = path;
  auto reader = Rar5Reader::Open(request);
  ASSERT_TRUE(reader);
  reader->SetPassword(kPakPassword);
  RarHeaderData h;
  std::vector<uint8_t> data;
  ASSERT_EQ(reader->ReadHeader(h), kRarSuccess);
  EXPECT_EQ(reader->ProcessFile(kRarExtract, &data), kRarSuccess);
  EXPECT_EQ(data, members[0].data);
  ASSERT_EQ(reader->ReadHeader(h), kRarSuccess);
  EXPECT_EQ(h.FileName, "b");
  EXPECT_EQ(reader->ProcessFile(kRarExtract, &data), kRarReadError);
  EXPECT_TRUE(data.empty());
  EXPECT_EQ(reader->ReadHeader(h), kRarEndArchive);
}

TEST(Rar5Walk, ADamagedHeaderEndsTheWalk) {
  std::vector<uint8_t> bytes =
      BuildPak({Member("a", "1"), Member("member_b", "2"), Member("c", "3")});
  // The second member's name, in its header: change one letter.
  const size_t at = std::string(bytes.begin(), bytes.end()).find("member_b");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 'B';
  int open = -1, end = -1;
  const auto walked = WalkAll(bytes, kPakPassword, open, end);
  ASSERT_EQ(walked.size(), 1u);
  EXPECT_EQ(walked[0].data, Bytes("1"));
  EXPECT_EQ(end, kRarBadData);
}

// Block boundaries of an archive we wrote: where each header starts and how long it is.
std::vector<std::pair<size_t, size_t>> HeaderSpans(const std::vector<uint8_t>& a) {
  std::vector<std::pair<size_t, size_t>> spans;
  size_t pos = 8;
  while (pos < a.size()) {
    size_t p = pos + 4;
    auto vint = [&a, &p]() {
      uint64_t v = 0;
      for (int s = 0;; s += 7) {
        const uint8_t b = a.at(p++);
        v |= uint64_t(b & 0x7F) << s;
        if (!(b & 0x80)) return v;
      }
    };
    const uint64_t size = vint();
    const size_t headerEnd = p + size;
    vint();  // type
    const uint64_t flags = vint();
    if (flags & rar5::kHasExtra) vint();
    const uint64_t dataSize = (flags & rar5::kHasData) ? vint() : 0;
    spans.push_back({pos, headerEnd - pos});
    pos = headerEnd + dataSize;
  }
  return spans;
}

// Thousands of damaged archives, always the same ones: whatever the damage, the reader
// never reads out of bounds (the sanitizers watch), always ends its walk, and never hands
// out bytes that were not one of the members.
TEST(Rar5Fuzz, DamagedArchivesNeverCrashNorYieldWrongData) {
  PakWriteOptions options;
  options.kdfLog2 = 1;  // damaged salts mean fresh key derivations: keep them cheap
  const std::vector<PakMember> members = {Member("logo.bmp", Pattern(40, 11)),
                                          Member("odd.txt", Pattern(17, 12)), Member("e", ""),
                                          Member("dir/in.dat", Pattern(33, 13))};
  const std::vector<uint8_t> good = BuildPak(members, options);
  std::set<std::vector<uint8_t>> contents;
  std::map<std::string, std::vector<uint8_t>> byName;
  for (const PakMember& m : members) {
    contents.insert(m.data);
    byName[m.name] = m.data;
  }

  int cases = 0;
  int extracted = 0;
  auto check = [&](const std::vector<uint8_t>& bytes, bool namesIntact) {
    ++cases;
    int open = -1, end = -1;
    for (const Walked& w : WalkAll(bytes, kPakPassword, open, end, 64)) {
      if (w.result != kRarSuccess) {
        EXPECT_TRUE(w.data.empty());
        continue;
      }
      ++extracted;
      EXPECT_TRUE(contents.count(w.data)) << "case " << cases << " member " << w.name;
      if (namesIntact) {
        ASSERT_TRUE(byName.count(w.name)) << "case " << cases;
        EXPECT_EQ(w.data, byName[w.name]) << "case " << cases;
      }
    }
  };

  // Every truncation.
  for (size_t n = 0; n < good.size(); ++n) check({good.begin(), good.begin() + n}, true);

  std::mt19937 rng(20240601);
  // Random bit flips anywhere: the CRCs catch them.
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> bytes = good;
    const int flips = 1 + static_cast<int>(rng() % 3);
    for (int f = 0; f < flips; ++f) bytes[rng() % bytes.size()] ^= uint8_t(1u << (rng() % 8));
    check(bytes, true);
  }
  // Flips inside a header with its CRC made right again, so the fields themselves are
  // damaged: sizes, flags, names, the encryption record.
  const auto spans = HeaderSpans(good);
  ASSERT_EQ(spans.size(), members.size() + 2);
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> bytes = good;
    const auto [start, length] = spans[rng() % spans.size()];
    const int flips = 1 + static_cast<int>(rng() % 2);
    for (int f = 0; f < flips; ++f) {
      bytes[start + 4 + rng() % (length - 4)] ^= uint8_t(1u << (rng() % 8));
    }
    const uint32_t crc = rar5::Crc32(bytes.data() + start + 4, length - 4);
    for (int k = 0; k < 4; ++k) bytes[start + static_cast<size_t>(k)] = uint8_t(crc >> (8 * k));
    check(bytes, false);
  }
  // Garbage after a valid start.
  for (int i = 0; i < 500; ++i) {
    std::vector<uint8_t> bytes(good.begin(),
                               good.begin() + static_cast<std::ptrdiff_t>(spans[1].first));
    const size_t extra = rng() % 200;
    for (size_t k = 0; k < extra; ++k) bytes.push_back(static_cast<uint8_t>(rng()));
    check(bytes, true);
  }
  EXPECT_GT(cases, 6000);
  EXPECT_GT(extracted, 1000);  // the damage did not simply stop everything at the start
}

TEST(PakWriter, SameMembersSameBytes) {
  EXPECT_EQ(BuildPak(SampleMembers()), BuildPak(SampleMembers()));
  std::vector<PakMember> changed = SampleMembers();
  changed[1].data[0] ^= 1;
  EXPECT_NE(BuildPak(changed), BuildPak(SampleMembers()));
}

TEST(PakWriter, FolderIsPackedSortedByNameWithoutSubfolders) {
  ScratchDir dir;
  const std::string in = dir.Path() + "/in";
  std::filesystem::create_directories(in + "/sub");
  for (const char* name : {"b.txt", "a.txt", "C.txt", "sub/hidden.txt"}) {
    std::ofstream(in + "/" + name) << name;
  }
  std::vector<PakMember> members;
  std::string error;
  ASSERT_TRUE(ReadFolderMembers(in, members, error)) << error;
  std::vector<std::string> names;
  for (const auto& m : members) names.push_back(m.name);
  EXPECT_EQ(names, (std::vector<std::string>{"C.txt", "a.txt", "b.txt"}));
  EXPECT_EQ(members[1].data, Bytes("a.txt"));

  // Written through a temporary file that does not stay behind; an old archive is replaced.
  const std::string out = dir.Path() + "/out.pak";
  std::ofstream(out) << "old";
  ASSERT_TRUE(WritePakFile(out, members, error)) << error;
  EXPECT_FALSE(std::filesystem::exists(out + ".tmp"));
  int open = -1, end = -1;
  std::ifstream f(out, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)),
                                   std::istreambuf_iterator<char>());
  EXPECT_EQ(WalkAll(bytes, kPakPassword, open, end).size(), 3u);

  EXPECT_FALSE(ReadFolderMembers(dir.Path() + "/missing", members, error));
  EXPECT_NE(error.find("/missing"), std::string::npos) << error;
  EXPECT_FALSE(ReadFileMembers({in + "/a.txt", in + "/nope.txt"}, members, error));
  EXPECT_NE(error.find("nope.txt"), std::string::npos) << error;
  EXPECT_FALSE(WritePakFile(dir.Path() + "/no/such/dir/x.pak", members, error));
  EXPECT_NE(error.find("x.pak"), std::string::npos) << error;
}

}  // namespace
}  // namespace tdx
