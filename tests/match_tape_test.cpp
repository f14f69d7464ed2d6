// Recordings of matches (format 2) as files: every kind of frame comes back exactly, the
// writer keeps no more in memory than a frame, and whatever a stranger's file holds is
// refused with the file named and the fault said, never hanging or crashing the game.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/match_tape.h"

namespace fs = std::filesystem;

namespace tdx {
namespace {

struct MatchTape : ::testing::Test {
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tdx_tape_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Path(const std::string& name) const { return (dir / name).string(); }

  static TapeHeader Header() {
    TapeHeader h;
    h.version = "1.0.0";
    h.seed = 77;
    h.snapshot = {'T', 'D', 'X', 'S', 1, 2, 3};
    return h;
  }

  // A fixed clock, then a real one in whole microseconds, then raw readings; controls that
  // change now and then, a set-up read once, and scored rounds.
  static std::vector<TapeFrame> Frames() {
    std::vector<TapeFrame> frames;
    double t = 10;
    for (int i = 0; i < 300; ++i) {
      TapeFrame f;
      if (i < 100) {
        t += 0.02;
        f.now = f.end = t;
      } else if (i < 200) {
        t += 0.016667;
        f.now = std::round(t * 1e6) / 1e6;
        f.end = f.now + 0.000123;
        t = f.end;
      } else {
        t += 0.0171234567;
        f.now = t;
        f.end = t + 1e-7;
        t = f.end;
      }
      f.controls[0] = static_cast<uint8_t>(i / 7 % 8);
      f.controls[5] = static_cast<uint8_t>(i / 13 % 64);
      if (i == 3) {
        f.setupChanged = true;
        std::memset(&f.setup, 9, sizeof f.setup);
      }
      if (i % 97 == 96) f.scored.push_back({i / 97 + 1, i % 3 - 1, 0x1234567890ull + i, 0});
      frames.push_back(f);
    }
    return frames;
  }

  void Write(const std::string& path, const TapeHeader& h, const std::vector<TapeFrame>& frames) {
    TapeWriter w;
    std::string error;
    ASSERT_TRUE(w.Open(path, h, error)) << error;
    for (const TapeFrame& f : frames) ASSERT_TRUE(w.Add(f));
    ASSERT_TRUE(w.Finish(error)) << error;
  }

  // Reads a whole recording; the error of the first refusal, or "".
  static std::string ReadAll(const std::string& path, std::vector<TapeFrame>* out = nullptr) {
    TapeReader r;
    TapeHeader h;
    std::string error;
    if (!r.Open(path, h, error)) return error;
    TapeFrame f;
    while (r.Next(f, error)) {
      if (out) out->push_back(f);
    }
    return error;
  }

  static std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Put(const std::string& path, const std::vector<uint8_t>& b) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  }

  // A recording whose packed stream holds `payload` as it stands, with a valid trailer: a
  // crafted file that only the reader's own checks can refuse.
  void Craft(const std::string& path, const std::vector<uint8_t>& payload, uint64_t frames) {
    std::vector<uint8_t> file = {'T', 'D', 'X', 'R', 'P', 'L', 'A', 'Y', 2, 0, 0, 0};
    uLongf size = compressBound(static_cast<uLong>(payload.size()));
    std::vector<uint8_t> packed(size);
    ASSERT_EQ(compress(packed.data(), &size, payload.data(), static_cast<uLong>(payload.size())),
              Z_OK);
    file.insert(file.end(), packed.begin(), packed.begin() + static_cast<long>(size));
    const auto* n = reinterpret_cast<const uint8_t*>(&frames);
    file.insert(file.end(), n, n + 8);
    auto crc = static_cast<uint32_t>(crc32(0, file.data(), static_cast<uInt>(file.size())));
    const auto* c = reinterpret_cast<const uint8_t*>(&crc);
    file.insert(file.end(), c, c + 4);
    Put(path, file);
  }

  // The header's bytes as the packed stream holds them.
  static std::vector<uint8_t> HeaderBytes() {
    std::vector<uint8_t> b = {5, 0, '1', '.', '0', '.', '0', 1, 0, 0, 0};
    for (int i = 0; i < 8; ++i) b.push_back(0);              // seed
    for (uint8_t v : {3, 0, 0, 0, 1, 2, 3}) b.push_back(v);  // a three-byte snapshot
    return b;
  }
  static void AddDouble(std::vector<uint8_t>& b, double v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    b.insert(b.end(), p, p + 8);
  }

  fs::path dir;
};

TEST_F(MatchTape, EveryKindOfFrameComesBackExactly) {
  const std::vector<TapeFrame> frames = Frames();
  Write(Path("m.tdxr"), Header(), frames);
  TapeReader r;
  TapeHeader h;
  std::string error;
  ASSERT_TRUE(r.Open(Path("m.tdxr"), h, error)) << error;
  EXPECT_EQ(h.version, "1.0.0");
  EXPECT_EQ(h.seed, 77u);
  EXPECT_EQ(h.snapshot, Header().snapshot);
  std::vector<TapeFrame> back;
  TapeFrame f;
  while (r.Next(f, error)) back.push_back(f);
  EXPECT_EQ(error, "");
  ASSERT_EQ(back.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(back[i].now, frames[i].now) << i;
    EXPECT_EQ(back[i].end, frames[i].end) << i;
    EXPECT_EQ(back[i].controls, frames[i].controls) << i;
    EXPECT_EQ(back[i].setupChanged, frames[i].setupChanged) << i;
    if (frames[i].setupChanged) {
      EXPECT_EQ(std::memcmp(&back[i].setup, &frames[i].setup, 164), 0);
    }
    ASSERT_EQ(back[i].scored.size(), frames[i].scored.size()) << i;
    for (size_t k = 0; k < frames[i].scored.size(); ++k) {
      EXPECT_EQ(back[i].scored[k].round, frames[i].scored[k].round);
      EXPECT_EQ(back[i].scored[k].winner, frames[i].scored[k].winner);
      EXPECT_EQ(back[i].scored[k].digest, frames[i].scored[k].digest);
    }
  }
  std::string format;
  EXPECT_EQ(RecordingFormatOf(Path("m.tdxr"), format), 2);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
      << "no temporary is left";
}

TEST_F(MatchTape, ALongMatchStaysSmallOnDiskAndInMemory) {
  // Two million frames of a fixed clock and steady controls: each frame is one byte
  // before packing, and the writer holds only its packing buffers.
  TapeWriter w;
  std::string error;
  ASSERT_TRUE(w.Open(Path("long.tdxr"), Header(), error)) << error;
  TapeFrame f;
  for (int i = 0; i < 2000000; ++i) {
    f.now = f.end = (i + 1) * 0.02;
    f.controls[2] = i % 1000 < 500 ? 1 : 0;
    ASSERT_TRUE(w.Add(f));
  }
  ASSERT_TRUE(w.Finish(error)) << error;
  EXPECT_LT(fs::file_size(Path("long.tdxr")), 200000u);
  TapeReader r;
  TapeHeader h;
  ASSERT_TRUE(r.Open(Path("long.tdxr"), h, error)) << error;
  uint64_t n = 0;
  while (r.Next(f, error)) ++n;
  EXPECT_EQ(error, "");
  EXPECT_EQ(n, 2000000u);
}

TEST_F(MatchTape, DamagedForeignOrCraftedFilesAreRefusedWithTheReason) {
  Write(Path("good.tdxr"), Header(), Frames());
  const std::vector<uint8_t> good = Bytes(Path("good.tdxr"));
  auto withByte = [&](size_t at, uint8_t v) {
    std::vector<uint8_t> b = good;
    b[at] = v;
    return b;
  };
  std::vector<uint8_t> longer = good;
  longer.push_back(0);

  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
    const char* says;
  } cases[] = {
      {"empty", [&](const std::string& p) { Put(p, {}); }, "not a Tandrix recording"},
      {"a picture",
       [&](const std::string& p) {
         Put(p, {'B', 'M', 1, 2, 3});
       },
       "not a Tandrix recording"},
      {"format 9", [&](const std::string& p) { Put(p, withByte(8, 9)); }, "format 9"},
      {"cut in the header",
       [&](const std::string& p) {
         Put(p, {good.begin(), good.begin() + 20});
       },
       "truncated"},
      {"cut in the frames",
       [&](const std::string& p) {
         Put(p, {good.begin(), good.begin() + good.size() / 2});
       },
       "truncated or damaged"},
      {"cut in the trailer",
       [&](const std::string& p) {
         Put(p, {good.begin(), good.end() - 3});
       },
       "truncated"},
      {"a flipped byte in the frames",
       [&](const std::string& p) {
         Put(p, withByte(good.size() / 2, good[good.size() / 2] ^ 0x5A));
       },
       "damaged"},
      {"a flipped checksum",
       [&](const std::string& p) { Put(p, withByte(good.size() - 1, good.back() ^ 1)); },
       "checksum mismatch"},
      {"stray bytes", [&](const std::string& p) { Put(p, longer); }, "stray bytes"},
      {"a folder", [&](const std::string& p) { fs::create_directory(p); },
       "is a folder, not a recording"},
      {"a FIFO", [&](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, "not a regular file"},
      {"a NaN clock",
       [&](const std::string& p) {
         std::vector<uint8_t> b = HeaderBytes();
         b.push_back(1);  // raw times
         AddDouble(b, std::nan(""));
         AddDouble(b, 1);
         b.push_back(0xFF);
         Craft(p, b, 1);
       },
       "frame 0 has an impossible clock reading"},
      {"a clock that runs backwards",
       [&](const std::string& p) {
         std::vector<uint8_t> b = HeaderBytes();
         b.push_back(2);  // a step
         AddDouble(b, -0.5);
         b.push_back(0xFF);
         Craft(p, b, 1);
       },
       "impossible clock reading"},
      {"a frame of a thousand years",
       [&](const std::string& p) {
         std::vector<uint8_t> b = HeaderBytes();
         b.push_back(2);
         AddDouble(b, 3e10);
         b.push_back(0xFF);
         Craft(p, b, 1);
       },
       "impossible clock reading"},
      {"controls that do not exist",
       [&](const std::string& p) {
         std::vector<uint8_t> b = HeaderBytes();
         b.push_back(2 | 8);
         AddDouble(b, 0.02);
         for (int i = 0; i < 12; ++i) b.push_back(i == 4 ? 0x80 : 0);
         b.push_back(0xFF);
         Craft(p, b, 1);
       },
       "unknown controls"},
      {"a frame count that does not match",
       [&](const std::string& p) {
         std::vector<uint8_t> b = HeaderBytes();
         b.push_back(2);
         AddDouble(b, 0.02);
         b.push_back(0xFF);
         Craft(p, b, 8400000);
       },
       "frame count"},
      {"a huge snapshot claimed by a tiny file",
       [&](const std::string& p) {
         std::vector<uint8_t> b = {5, 0, '1', '.', '0', '.', '0', 1, 0, 0, 0};
         for (int i = 0; i < 8; ++i) b.push_back(0);
         for (uint8_t v : {0xFF, 0xFF, 0x3F, 0x00}) b.push_back(v);  // 4 MiB, nothing there
         Craft(p, b, 0);
       },
       "truncated or damaged header"},
      {"a version name with a control character",
       [&](const std::string& p) {
         std::vector<uint8_t> b = HeaderBytes();
         b[3] = 0;
         Craft(p, b, 0);
       },
       "control characters"},
      {"no frames",
       [&](const std::string& p) {
         std::vector<uint8_t> b = HeaderBytes();
         b.push_back(0xFF);
         Craft(p, b, 0);
       },
       "holds no frames"},
      {"other rules",
       [&](const std::string& p) {
         std::vector<uint8_t> b = HeaderBytes();
         b[7] = 7;
         Craft(p, b, 0);
       },
       "recorded under other rules (version 7"},
  };
  for (const Case& c : cases) {
    const std::string p = Path(std::string("bad_") + std::to_string(&c - cases));
    c.make(p);
    std::string error = ReadAll(p);
    EXPECT_NE(error.find(p), std::string::npos) << c.name << ": " << error;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
  }
}

TEST_F(MatchTape, TwoGamesInOneFolderNeverTakeEachOthersRecording) {
  // Both finish within the same second and ask for the same next name: the second takes
  // the next free one instead of replacing the first.
  TapeWriter a, b;
  std::string error;
  ASSERT_TRUE(a.Open(Path("match-1.tdxr"), Header(), error)) << error;
  ASSERT_TRUE(b.Open(Path("match-1.tdxr"), Header(), error)) << error;
  TapeFrame f;
  f.now = f.end = 1;
  a.Add(f);
  f.now = f.end = 2;
  b.Add(f);
  b.Add(f);
  int next = 1;
  auto name = [&] { return Path("match-" + std::to_string(next++) + ".tdxr"); };
  ASSERT_TRUE(a.FinishUnique(name, error)) << error;
  next = 1;
  ASSERT_TRUE(b.FinishUnique(name, error)) << error;
  EXPECT_EQ(a.Path(), Path("match-1.tdxr"));
  EXPECT_EQ(b.Path(), Path("match-2.tdxr"));
  std::vector<TapeFrame> first, second;
  EXPECT_EQ(ReadAll(a.Path(), &first), "");
  EXPECT_EQ(ReadAll(b.Path(), &second), "");
  EXPECT_EQ(first.size(), 1u);
  EXPECT_EQ(second.size(), 2u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2)
      << "no temporary is left";
}

TEST_F(MatchTape, AnUnwritableFolderIsSaidAndLeavesNothing) {
  if (::geteuid() == 0) {
    // root writes anywhere: a missing folder stands in for a locked one
    TapeWriter w;
    std::string error;
    EXPECT_FALSE(w.Open(Path("no/such/folder/m.tdxr"), Header(), error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    return;
  }
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  TapeWriter w;
  std::string error;
  EXPECT_FALSE(w.Open(Path("m.tdxr"), Header(), error));
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  fs::permissions(dir, fs::perms::owner_all);
}

}  // namespace
}  // namespace tdx
