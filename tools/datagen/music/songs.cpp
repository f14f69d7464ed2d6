#include "composer.h"

namespace tdx::datagen::music {

namespace {
constexpr int C = 0, D = 2, E = 4, F = 5, Fs = 6, G = 7, A = 9, Bb = 10, B = 11;
}  // namespace

const std::vector<SongPlan>& Songs() {
  using S = Scale;
  using Dr = Drums;
  using Bs = Bass;
  using L = Lead;
  using M = Mood;
  // file, title, key, scale, bpm, drums, bass, lead, arp, mood, seconds,
  // progressions (verse, chorus, break, bridge), seed, fade-in, fade-out
  // clang-format off
  static const std::vector<SongPlan> kSongs = {
      {"menu_theme.xm", "Neon Lounge", D, S::kMajor, 88, Dr::kSoft, Bs::kLong, L::kSoft, true, M::kCalm, 115,
       {{0, 5, 3, 4}, {3, 4, 2, 5}, {5, 3, 0, 4}, {1, 4, 0, 0}}, 101, 3, 4},
      {"winner.xm", "Champion's Lap", Bb, S::kMajor, 124, Dr::kMarch, Bs::kWalking, L::kBrass, true, M::kTriumphant, 78,
       {{0, 3, 4, 0}, {0, 5, 3, 4}, {3, 4, 0, 0}, {5, 3, kBorrowed + 8, kBorrowed + 10}}, 102, 1, 3},
      {"neon_drive.xm", "Neon Drive", A, S::kMinor, 140, Dr::kFour, Bs::kOctave, L::kSaw, true, M::kEnergetic, 150,
       {{0, 5, 2, 6}, {5, 6, 0, 0}, {3, 5, 0, 4}, {5, 6, 2, 4}}, 1},
      {"grid_runner.xm", "Grid Runner", G, S::kMajor, 136, Dr::kFour, Bs::kDrive, L::kSquare, true, M::kEnergetic, 130,
       {{0, 4, 5, 3}, {3, 4, 0, 5}, {5, 3, 0, 4}, {1, 4, 0, 0}}, 4},
      {"arc_light.xm", "Arc Light", D, S::kDorian, 128, Dr::kBreak, Bs::kSyncopated, L::kSoft, true, M::kEnergetic, 150,
       {{0, 3, 0, 3}, {2, 3, 0, 6}, {5, 6, 0, 3}, {1, 4, 0, 0}}, 3},
      {"turbo_coil.xm", "Turbo Coil", C, S::kMinor, 170, Dr::kFast, Bs::kDrive, L::kSquare, true, M::kEnergetic, 150,
       {{0, 5, 6, 4}, {5, 6, 0, 0}, {3, 4, 5, 6}, {0, 3, 5, 6}}, 10},
      {"night_crawl.xm", "Night Crawl", Fs, S::kMinor, 118, Dr::kHalf, Bs::kOctave, L::kSaw, false, M::kEnergetic, 140,
       {{0, 3, 5, 4}, {5, 3, 0, 6}, {0, 6, 5, 4}, {2, 6, 0, 0}}, 6},
      {"pixel_storm.xm", "Pixel Storm", C, S::kHarmonicMinor, 160, Dr::kFast, Bs::kSyncopated, L::kSaw, true,
       M::kEnergetic, 150, {{0, 5, 3, 4}, {0, 3, 4, 0}, {5, 1, 4, 4}, {3, 4, 0, 5}}, 5},
      {"laser_lane.xm", "Laser Lane", E, S::kMinor, 150, Dr::kRock, Bs::kDrive, L::kSquare, false, M::kEnergetic, 140,
       {{0, 6, 5, 6}, {0, 3, 5, 4}, {5, 6, 0, 0}, {3, 4, 5, 6}}, 2},
      {"chrome_heart.xm", "Chrome Heart", B, S::kPhrygian, 150, Dr::kFour, Bs::kDrive, L::kSaw, true,
       M::kEnergetic, 140, {{0, 1, 0, 6}, {0, 1, 5, 1}, {3, 1, 0, 0}, {5, 6, 1, 0}}, 8},
      {"vector_rush.xm", "Vector Rush", G, S::kMinor, 138, Dr::kRock, Bs::kWalking, L::kSaw, false, M::kEnergetic, 140,
       {{0, 3, 6, 2}, {5, 6, 0, 0}, {3, 4, 0, 0}, {0, 5, 3, 4}}, 12},
      {"circuit_fever.xm", "Circuit Fever", D, S::kHarmonicMinor, 146, Dr::kBreak, Bs::kGallop, L::kBrass, true,
       M::kEnergetic, 150, {{0, 5, 3, 4}, {0, 3, 5, 4}, {5, 3, 4, 4}, {3, 4, 0, 0}}, 13},
      {"hyper_loop.xm", "Hyper Loop", A, S::kMajor, 126, Dr::kFour, Bs::kSyncopated, L::kSoft, true, M::kEnergetic, 160,
       {{0, 5, 3, 4}, {3, 4, 2, 5}, {1, 4, 0, 0}, {5, 3, 4, 4}}, 11},
      {"static_bloom.xm", "Static Bloom", E, S::kMixolydian, 132, Dr::kBreak, Bs::kOctave, L::kSquare, true,
       M::kEnergetic, 145, {{0, 6, 3, 0}, {0, 4, 6, 3}, {3, 6, 0, 0}, {5, 6, 0, 4}}, 9},
      {"final_lap.xm", "Final Lap", Bb, S::kMajor, 145, Dr::kRock, Bs::kGallop, L::kBrass, true, M::kEnergetic, 135,
       {{0, 4, 5, 3}, {3, 0, 4, 0}, {5, 4, 3, 4}, {1, 4, 0, 5}}, 7},
      {"bit_crusher.mod", "Bit Crusher", G, S::kHarmonicMinor, 160, Dr::kFast, Bs::kDrive, L::kSaw, true,
       M::kEnergetic, 150, {{0, 5, 3, 4}, {0, 3, 4, 4}, {5, 6, 4, 4}, {3, 4, 0, 0}}, 18},
      {"tail_chase.mod", "Tail Chase", A, S::kMinor, 150, Dr::kBreak, Bs::kSyncopated, L::kSaw, true,
       M::kEnergetic, 140, {{0, 6, 5, 4}, {5, 6, 0, 0}, {3, 5, 6, 4}, {0, 3, 0, 4}}, 16},
      {"retro_spin.mod", "Retro Spin", C, S::kMajor, 125, Dr::kFour, Bs::kOctave, L::kSquare, false, M::kEnergetic, 120,
       {{0, 5, 3, 4}, {3, 4, 0, 0}, {5, 3, 4, 4}, {1, 4, 0, 5}}, 15},
      {"wire_dance.mod", "Wire Dance", F, S::kDorian, 140, Dr::kFour, Bs::kGallop, L::kSquare, false,
       M::kEnergetic, 130, {{0, 3, 0, 3}, {5, 6, 0, 0}, {2, 3, 6, 0}, {1, 4, 0, 3}}, 17},
      {"glow_worm.mod", "Glow Worm", E, S::kMinor, 135, Dr::kRock, Bs::kDrive, L::kSquare, true, M::kEnergetic, 130,
       {{0, 5, 6, 4}, {3, 5, 0, 6}, {5, 6, 0, 0}, {0, 3, 4, 4}}, 14},
  };
  // clang-format on
  return kSongs;
}

}  // namespace tdx::datagen::music
