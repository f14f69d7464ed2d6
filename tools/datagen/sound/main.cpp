// datagen_sound: synthesises every sound effect and announcement of the game, encodes them
// as MP3 and writes the sound table.
//   datagen_sound STAGE_DIR     writes STAGE_DIR/snd/*.mp3 and STAGE_DIR/dat/sounds.dat
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "effects.h"
#include "mp3_encoder.h"
#include "speech.h"

namespace fs = std::filesystem;
using namespace tdx::datagen;

namespace {

void WriteFile(const fs::path& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

struct Written {
  std::string file;
  double seconds, peak, rms;
  size_t bytes;
};

Written Encode(const fs::path& dir, const std::string& file, Stereo pcm, double peak, bool limit) {
  if (limit) {
    // Crackles and clicks would otherwise set the level and leave the body of the sound
    // quiet: hold the top few dB down before the final level is set.
    Normalize(pcm, 1.0);
    Compress(pcm, -8.0, 3.0, 1.0, 80.0, 0.0);
  }
  Normalize(pcm, peak);
  std::vector<uint8_t> mp3 = EncodeMp3(pcm);
  WriteFile(dir / file, mp3.data(), mp3.size());
  return {file, double(pcm.size()) / kRate, Peak(pcm), Rms(pcm), mp3.size()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: datagen_sound STAGE_DIR\n");
    return 2;
  }
  try {
    fs::path stage = argv[1];
    fs::path snd = stage / "snd", dat = stage / "dat";
    fs::create_directories(snd);
    fs::create_directories(dat);

    std::vector<Written> written;
    for (const EffectRecipe& e : Effects())
      written.push_back(Encode(snd, e.file, e.make(), e.peak, true));
    // Announcements peak at -1 dBFS: they must be heard over the play.
    for (const AnnouncementLine& s : Announcements())
      written.push_back(Encode(snd, s.file, SpeakAnnouncement(s), 0.89, false));

    // The sound table: a slot line and a file-name line per sound, each sound its own slot.
    std::string table;
    for (size_t i = 0; i < written.size(); ++i)
      table += std::to_string(i) + "\n" + written[i].file + "\n";
    WriteFile(dat / "sounds.dat", table.data(), table.size());

    std::printf("%-18s %8s %8s %8s %8s\n", "sound", "seconds", "peak", "rms", "bytes");
    for (const Written& w : written)
      std::printf("%-18s %8.3f %8.3f %8.3f %8zu\n", w.file.c_str(), w.seconds, w.peak, w.rms,
                  w.bytes);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "datagen_sound: %s\n", e.what());
    return 1;
  }
}
