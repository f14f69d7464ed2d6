// The game's side of sound and music: the two tables of dat.pak, the sound and module
// buffers, the effect channels and the music service. All of it lives for the whole run.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/mixer.h"

namespace tdx {

inline constexpr int kSoundSlots = 128;        // SoundStreams
inline constexpr int kMusicSlots = 32;         // MusicStreams
inline constexpr int kAudioTableLimit = 4096;  // entries per table; the rest of a file is ignored
inline constexpr int kEffectChannelCount = 20;
inline constexpr int kEffectChannelRoom = 32;  // the handle table is larger than the pool
inline constexpr int kMusicVolume = 75;        // a module plays at 75 of 100
inline constexpr int kMusicSwitchMs = 1000;    // the fade when another module is asked for

// One line pair of sounds.dat.
struct SoundEntry {
  int slot = 0;  // into SoundStreams
  std::string fileName;
};

// One five-line group of music.dat; times in whole seconds.
struct MusicEntry {
  int slot = 0;  // into MusicStreams
  std::string fileName;
  int fadeIn = 0;
  int fadeOut = 0;
  int playTime = 0;  // from the module's start to the start of its fade-out
};

enum MusicServiceState : uint8_t {
  MusicIdle = 0,
  MusicPlaying = 1,
  MusicFadingOut = 2,
  MusicSwitching = 3,
};

// Reading the tables: one value a line, CR LF or LF, ending at the first empty line (or
// at the end of the text). An entry whose numbers are not decimal integers, whose slot is
// outside the buffers, or whose times are negative is skipped whole; at most
// kAudioTableLimit entries are kept.
std::vector<SoundEntry> ParseSoundTable(const std::vector<uint8_t>& text);
std::vector<MusicEntry> ParseMusicTable(const std::vector<uint8_t>& text);

struct AudioState {
  // ---- Filled at start-up, kept for the whole run. ----
  std::vector<SoundEntry> SoundTable;  // file order; the sound count is its size
  std::vector<MusicEntry> MusicTable;
  std::vector<std::vector<uint8_t>> SoundStreams = std::vector<std::vector<uint8_t>>(kSoundSlots);
  std::vector<std::vector<uint8_t>> MusicStreams = std::vector<std::vector<uint8_t>>(kMusicSlots);
  bool AudioAvailable = false;

  // ---- The channels: an effect channel is free again as soon as its sound ends. ----
  std::array<AudioHandle, kEffectChannelRoom> EffectChannels{};  // 0..19 in use
  std::array<std::string, kEffectChannelRoom> EffectNames{};     // what each last started
  AudioHandle MusicChannel = 0;

  // ---- The music service: Idle with nothing pending at start-up. ----
  uint8_t MusicState = MusicIdle;
  double nextEventTime = 0;
  bool musicPlaying = false;  // the music channel was active this frame
  bool musicPending = false;  // a switch was requested
  int pendingSlot = 0;
  int pendingIndex = 0;
  int playingIndex = -1;  // the MusicTable entry that was started last (its fade-out)

  // Each sound buffer is decoded once (at start-up, or on its first play when it was
  // filled later); a buffer that does not decode, or a module that did not load, is not
  // tried again.
  std::array<SampleId, kSoundSlots> samples{};
  std::array<uint8_t, kSoundSlots> sampleTried{};
  std::array<uint8_t, kMusicSlots> moduleBroken{};

  // Declared last so it is closed before the buffers it may still be playing from.
  std::unique_ptr<Mixer> mixer;

  int SoundCount() const { return static_cast<int>(SoundTable.size()); }
  int MusicCount() const { return static_cast<int>(MusicTable.size()); }
};

}  // namespace tdx
