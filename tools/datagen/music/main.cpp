// datagen_music: composes the game's twenty modules and writes the music table.
//   datagen_music STAGE_DIR     writes STAGE_DIR/music/*.xm, *.mod and STAGE_DIR/dat/music.dat
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "composer.h"

namespace fs = std::filesystem;
using namespace tdx::datagen::music;

namespace {

void WriteFile(const fs::path& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: datagen_music STAGE_DIR\n");
    return 2;
  }
  try {
    fs::path stage = argv[1];
    fs::create_directories(stage / "music");
    fs::create_directories(stage / "dat");
    // The music table: slot, file name, fade-in, fade-out and play time (seconds from
    // the start to the start of the fade-out, so the fade ends before the module does).
    std::string table;
    std::printf("%-12s %4s %5s %6s %8s %8s %6s %6s %5s\n", "module", "chan", "pats", "orders",
                "seconds", "bytes", "fadein", "fadeout", "play");
    int slot = 0;
    for (const SongPlan& plan : Songs()) {
      ComposedModule m = Compose(plan);
      WriteFile(stage / "music" / plan.file, m.bytes.data(), m.bytes.size());
      int play = static_cast<int>(std::floor(m.seconds)) - plan.fadeOut - 1;
      if (play < 1) throw std::runtime_error(plan.file + " is too short for its fade-out");
      table += std::to_string(slot) + "\n" + plan.file + "\n" + std::to_string(plan.fadeIn) + "\n" +
               std::to_string(plan.fadeOut) + "\n" + std::to_string(play) + "\n";
      std::printf("%-12s %4d %5d %6d %8.1f %8zu %6d %7d %5d\n", plan.file.c_str(), m.channels,
                  m.patterns, m.orders, m.seconds, m.bytes.size(), plan.fadeIn, plan.fadeOut, play);
      ++slot;
    }
    WriteFile(stage / "dat" / "music.dat", table.data(), table.size());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "datagen_music: %s\n", e.what());
    return 1;
  }
}
