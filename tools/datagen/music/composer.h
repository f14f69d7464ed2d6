// Composes the game's modules from a short plan per song: key, scale, tempo, groove,
// bass and lead styles and chord progressions. Melodies are built from a seeded motif
// that is repeated and varied over the chords, so a song is the same on every build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tdx::datagen::music {

enum class Scale { kMajor, kMinor, kDorian, kMixolydian, kPhrygian, kHarmonicMinor, kLydian };
enum class Drums { kFour, kRock, kBreak, kHalf, kFast, kMarch, kSoft };
enum class Bass { kDrive, kOctave, kSyncopated, kLong, kWalking, kGallop };
enum class Lead { kSaw, kSquare, kSoft, kBrass };
enum class Mood { kCalm, kEnergetic, kTriumphant };

// A chord in a progression: a scale degree 0..6 (the triad built on it), or
// kBorrowed + semitones above the key for a major triad from outside the scale.
constexpr int kBorrowed = 100;

struct SongPlan {
  std::string file;   // "neon_drive.xm", "glow_worm.mod"
  std::string title;  // the module's own name, at most 20 characters
  int key = 0;        // 0 = C .. 11 = B
  Scale scale = Scale::kMinor;
  int bpm = 125;
  Drums drums = Drums::kFour;
  Bass bass = Bass::kDrive;
  Lead lead = Lead::kSaw;
  bool arp = true;
  Mood mood = Mood::kEnergetic;
  double targetSeconds = 120;
  // Four chords each: verse, chorus, break and bridge.
  std::vector<std::vector<int>> progressions;
  uint64_t seed = 1;
  int fadeIn = 1, fadeOut = 3;  // seconds, for the music table
  bool IsMod() const { return file.size() > 4 && file.compare(file.size() - 4, 4, ".mod") == 0; }
};

struct ComposedModule {
  std::vector<uint8_t> bytes;  // the module file
  double seconds = 0;          // playing time of the order list, once through
  int patterns = 0, orders = 0, channels = 0;
};

// The menu theme, the winner's tune and the eighteen play-list modules, named as the
// game asks for them.
const std::vector<SongPlan>& Songs();

// Throws std::invalid_argument when the plan cannot be written (a writer limit).
ComposedModule Compose(const SongPlan& plan);

}  // namespace tdx::datagen::music
