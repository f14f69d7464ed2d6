// Archive reading speed: one picture out of a 300-member gfx.pak (the catalogue opens the
// archive once per picture), the bulk load of a 2 MB sound archive, the key derivation an
// archive costs once, and the whole catalogue on a game folder of small pictures.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "app/game.h"
#include "assets/catalogue.h"
#include "assets/pak_archive.h"
#include "assets/rar5_reader.h"
#include "pak_writer.h"

namespace tdx {
namespace {

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  std::mt19937 rng(seed);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// prefix + n + suffix, built by appending (GCC 12 warns wrongly about "literal" + string).
std::string Name(const char* prefix, int n, const char* suffix) {
  std::string s(prefix);
  s += std::to_string(n);
  s += suffix;
  return s;
}

// A 2 by 2 24-bit picture.
std::vector<uint8_t> TinyBmp(uint32_t rgb) {
  std::vector<uint8_t> b = {'B',  'M',  70, 0, 0, 0, 0,  0, 0, 0, 54,   0,    0, 0,
                            40,   0,    0,  0, 2, 0, 0,  0, 2, 0, 0,    0,    1, 0,
                            24,   0,    0,  0, 0, 0, 16, 0, 0, 0, 0x13, 0x0B, 0, 0,
                            0x13, 0x0B, 0,  0, 0, 0, 0,  0, 0, 0, 0,    0};
  for (int row = 0; row < 2; ++row) {
    for (int x = 0; x < 2; ++x) {
      b.push_back(uint8_t(rgb));
      b.push_back(uint8_t(rgb >> 8));
      b.push_back(uint8_t(rgb >> 16));
    }
    b.push_back(0);
    b.push_back(0);
  }
  return b;
}

// The scratch game folders, made once and removed at exit.
struct Folders {
  std::string root;
  std::string gfx300, snd2mb, game;

  Folders() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tandrix-bench-XXXXXX").string();
    root = mkdtemp(pattern.data()) ? pattern : "/tmp/tandrix-bench";
    gfx300 = Make("gfx300");
    snd2mb = Make("snd2mb");
    game = Make("game");
    std::string error;

    std::vector<PakMember> pictures;
    for (int i = 0; i < 300; ++i) {
      pictures.emplace_back(Name("pic", i, ".bmp"), Noise(3000, static_cast<uint32_t>(i)));
    }
    WritePakFile(gfx300 + "/pak/gfx.pak", pictures, error);

    std::vector<PakMember> sounds;
    for (int i = 0; i < 64; ++i) {
      sounds.emplace_back(Name("s", i, ".mp3"), Noise(32768, static_cast<uint32_t>(1000 + i)));
    }
    WritePakFile(snd2mb + "/pak/snd.pak", sounds, error);

    std::vector<PakMember> gfx;
    uint32_t colour = 1;
    for (const GfxCatalogueEntry& e : GfxCatalogue()) gfx.emplace_back(e.file, TinyBmp(colour++));
    WritePakFile(game + "/pak/gfx.pak", gfx, error);
    std::string menu;
    std::vector<PakMember> items;
    for (int i = 0; i < 150; ++i) {
      menu += Name("word", i, "\n64\n24\n");
      items.emplace_back(Name("word", i, "_mi.bmp"), TinyBmp(colour++));
    }
    WritePakFile(game + "/pak/items.pak", items, error);
    WritePakFile(game + "/pak/dat.pak",
                 {PakMember("menu_items.dat", std::vector<uint8_t>(menu.begin(), menu.end())),
                  PakMember("preload.dat", {})},
                 error);
  }
  ~Folders() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::string Make(const std::string& name) {
    const std::string dir = root + "/" + name;
    std::filesystem::create_directories(dir + "/pak");
    return dir;
  }
};

Folders& Scratch() {
  static Folders folders;
  return folders;
}

void BM_ExtractOneOf300(benchmark::State& state) {
  const std::string dir = Scratch().gfx300;
  const std::string member = Name("pic", static_cast<int>(state.range(0)), ".bmp");
  std::vector<uint8_t> out;
  for (auto _ : state) {
    if (!ExtractGfxMember(dir + "/pak", member, out)) state.SkipWithError("member not found");
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_ExtractOneOf300)->Arg(0)->Arg(150)->Arg(299)->Unit(benchmark::kMicrosecond);

void BM_LoadSoundPak2MB(benchmark::State& state) {
  const std::string dir = Scratch().snd2mb;
  std::vector<StreamTableEntry> table;
  for (int i = 0; i < 64; ++i) table.push_back({i, Name("s", i, ".mp3")});
  for (auto _ : state) {
    std::vector<std::vector<uint8_t>> streams(128);
    LoadSoundPak(dir + "/pak", table, streams);
    if (streams[63].size() != 32768) state.SkipWithError("sound archive did not load");
  }
  state.SetBytesProcessed(state.iterations() * 64 * 32768);
}
BENCHMARK(BM_LoadSoundPak2MB)->Unit(benchmark::kMillisecond);

// What an archive costs once per run: its salt's keys at the usual 2^15 rounds.
void BM_DeriveKeysUncached(benchmark::State& state) {
  uint8_t salt[16] = {};
  uint32_t n = 0;
  for (auto _ : state) {
    ++n;
    std::memcpy(salt, &n, sizeof n);  // a new salt each time, so nothing is cached
    benchmark::DoNotOptimize(rar5::DeriveKeys(kPakPassword, salt, 15));
  }
}
BENCHMARK(BM_DeriveKeysUncached)->Unit(benchmark::kMillisecond);

// The whole catalogue: 306 pictures, one archive opening each, plus 150 menu words.
void BM_LoadAssetsCatalogue(benchmark::State& state) {
  const std::string dir = Scratch().game;
  for (auto _ : state) {
    Game g;
    g.folders = GameFolderAt(dir);
    if (!LoadAssets(g)) state.SkipWithError(g.fatalError.c_str());
  }
}
BENCHMARK(BM_LoadAssetsCatalogue)->Unit(benchmark::kMillisecond);

// The same on a generated game folder, when TANDRIX_GAME_DATA names one.
const bool kGameFolderRegistered = [] {
  const char* dir = std::getenv("TANDRIX_GAME_DATA");
  if (!dir || !std::filesystem::exists(std::string(dir) + "/pak/gfx.pak")) return false;
  benchmark::RegisterBenchmark("BM_LoadAssetsGameFolder", [](benchmark::State& state) {
    for (auto _ : state) {
      Game g;
      g.folders = GameFolderAt(std::getenv("TANDRIX_GAME_DATA"));
      if (!LoadAssets(g) || !LoadPreloadTable(g)) state.SkipWithError(g.fatalError.c_str());
    }
  })->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace tdx
