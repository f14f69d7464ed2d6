// Start-up of sound and music: the two tables from dat.pak, the output, the buffers.
#include <cstdio>
#include <string>
#include <utility>

#include "app/game.h"
#include "assets/pak_archive.h"
#include "audio/sound.h"

namespace tdx {
namespace {

constexpr const char* kTableArchive = "dat.pak";

// A table that cannot be read stops start-up with a message naming archive and member.
bool ReadTable(Game& g, const char* member, std::vector<uint8_t>& text) {
  std::string detail;
  const std::string path = PakPath(g.folders.data, kTableArchive);
  PakStatus status = g.assets.archives.Extract(path, member, text, &detail);
  if (status == PakStatus::Ok) return true;
  g.fatalError = path + ": cannot read member " + member;
  if (!detail.empty()) g.fatalError += " (" + detail + ")";
  return false;
}

// A sound or music archive that cannot be read whole does not stop the game: it plays on
// without what is missing, and says so once, at start-up.
// An installed game's archives come with its package: putting it back mends them.
void WarnMissing(const Game& g, const std::string& problem, const char* lost) {
  if (problem.empty()) return;
  const std::string hint = g.folders.installed ? std::string(" (") + kReinstallHint + ")" : "";
  std::fprintf(stderr, "tandrix: %s; playing on without the %s that could not be read%s\n",
               problem.c_str(), lost, hint.c_str());
}

template <typename Entry>
std::vector<StreamTableEntry> StreamTable(const std::vector<Entry>& table) {
  std::vector<StreamTableEntry> out;
  out.reserve(table.size());
  for (const Entry& e : table) out.push_back({e.slot, e.fileName});
  return out;
}

}  // namespace

bool LoadSoundTable(Game& g) {
  std::vector<uint8_t> text;
  if (!ReadTable(g, "sounds.dat", text)) return false;
  g.audio.SoundTable = ParseSoundTable(text);
  return true;
}

bool LoadMusicTable(Game& g) {
  std::vector<uint8_t> text;
  if (!ReadTable(g, "music.dat", text)) return false;
  g.audio.MusicTable = ParseMusicTable(text);
  return true;
}

void InitAudio(Game& g, bool headless) {
  InitAudio(g, headless ? CreateNullMixer() : CreateSdlMixer());
}

void InitAudio(Game& g, std::unique_ptr<Mixer> mixer) {
  StartAudio(g, std::move(mixer));
  AudioState& a = g.audio;
  if (!a.AudioAvailable || a.SoundCount() == 0) return;
  WarnMissing(g, LoadSoundPak(g.folders.data, StreamTable(a.SoundTable), a.SoundStreams),
              "sound effects");
  // Decoding now keeps the first play of each effect from costing a frame.
  for (int slot = 0; slot < kSoundSlots; ++slot) {
    if (a.SoundStreams[slot].empty()) continue;
    a.sampleTried[slot] = 1;
    a.samples[slot] = a.mixer->LoadSample(a.SoundStreams[slot]);
  }
}

void LoadMusic(Game& g) {
  AudioState& a = g.audio;
  if (!a.AudioAvailable || a.MusicCount() == 0) return;
  WarnMissing(g, LoadMusicPak(g.folders.data, StreamTable(a.MusicTable), a.MusicStreams), "music");
}

}  // namespace tdx
