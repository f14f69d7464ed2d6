// The music's instruments, synthesised as sample data: drums as one-shots, melodic sounds
// as seamless loops of whole cycles, and their conversion to XM and MOD samples.
#pragma once

#include <cstdint>
#include <string>

#include "dsp.h"
#include "module_writer.h"

namespace tdx::datagen::music {

struct Voice {
  std::string name;
  Mono pcm;              // -1..1
  int rate = 22050;      // sample rate of pcm
  double rootMidi = 60;  // pitch of the content at `rate` (drums: 60, played unchanged at C-4)
  size_t loopStart = 0;
  size_t loopLength = 0;  // 0 = one-shot
};

// Drums, at any sample rate. `seed` varies the noise between songs.
Voice Kick(int rate, double startHz, double endHz, double decay, uint64_t seed);
Voice Snare(int rate, double toneHz, double snap, uint64_t seed);
Voice Clap(int rate, uint64_t seed);
Voice HiHat(int rate, double decay, uint64_t seed);
Voice Crash(int rate, uint64_t seed);

// Looped melodic sounds. `rootMidi` is roughly the pitch the loop is built at; the exact
// pitch is kept in the voice so the sample can be tuned precisely.
enum class Wave { kSaw, kSquare, kPulse25, kTriangle, kSine, kOrgan, kVocal };
struct LoopShape {
  Wave wave = Wave::kSaw;
  int layers = 1;          // detuned copies (1..5), beating slowly against each other
  double cutoffHz = 4000;  // gentle low-pass on the harmonics
  int slope = 1;           // 1 or 2: how steeply the harmonics above the cutoff fall
  double subLevel = 0;     // extra fundamental for weight
  double seconds = 0.5;    // loop length; layers beat once per loop
};
Voice LoopVoice(const std::string& name, int rate, double rootMidi, const LoopShape& shape,
                uint64_t seed);
// An FM electric piano / bell, decaying, not looped.
Voice Bell(const std::string& name, int rate, double rootMidi, double seconds, double brightness);

// XM: 16-bit sample, tuned so that note C-4 plays MIDI 60.
tracker::XmSample ToXmSample(const Voice& v, uint8_t volume);
// MOD: 8-bit sample tuned by finetune; `baseMidi` receives the pitch that note C-1
// (period 856) plays, so note index = midi - baseMidi.
tracker::ModSample ToModSample(const Voice& v, uint8_t volume, int& baseMidi);

// The rate a MOD sample must have to play unchanged at ProTracker's C-3 (period 214),
// and the rate at which C-2 (period 428) plays a sample unchanged.
constexpr double kModDrumRate = 3546895.0 / 214.0;
constexpr double kModMelodicRate = 3546895.0 / 428.0;

}  // namespace tdx::datagen::music
