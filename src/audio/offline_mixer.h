// A mixer with no device: it mixes the game's effects, speech and module into 16-bit
// stereo samples at 44100 a second when asked, for a replay turned into a video. It mixes
// the way the sound output does (music first, then channels 0..19 added in order with
// clipping at each step, pan applied before the volume, a module at volume 0 held where
// it stands), on a clock of its own that only the rendered samples move, so the same
// replay always gives the same sound.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/mixer.h"

namespace tdx {

inline constexpr int kOfflineSamplesPerFrame = kMixerFrequency / 60;  // 735

class OfflineMixer final : public Mixer {
 public:
  OfflineMixer();
  ~OfflineMixer() override;

  // Mixes the next `frames` sample frames (left, right pairs) into `out`, which it resizes,
  // and moves the clock on by as much.
  void Render(int frames, std::vector<int16_t>& out);
  // Seconds of sound rendered so far.
  double Now() const { return static_cast<double>(rendered_) / kMixerFrequency; }
  // An effect given as decoded left, right pairs (what LoadSample makes of an MP3).
  SampleId AddSample(std::vector<int16_t> stereo);

  uint32_t Version() const override { return kAudioLayerVersion; }
  bool Open(int frequency) override;
  void Close() override;
  void Update() override;
  SampleId LoadSample(const std::vector<uint8_t>& mp3) override;
  AudioHandle PlayEffect(int channel, SampleId sample, int volume, int pan) override;
  AudioHandle LoadModule(const std::vector<uint8_t>& module) override;
  bool PlayModule(AudioHandle music) override;
  void SetVolume(AudioHandle handle, int volume) override;
  void SlideVolume(AudioHandle handle, int volume, int milliseconds) override;
  bool IsActive(AudioHandle handle) override;
  void Stop(AudioHandle handle) override;
  void Free(AudioHandle handle) override { Stop(handle); }

 private:
  struct Effect {
    AudioHandle handle = 0;
    SampleId sample = 0;
    size_t at = 0;  // the next sample frame to play
    int left = 255, right = 255;
    int level = 128;  // the volume mixed with, 0..128, set by Update as the sound output does
    VolumeSlide volume;
  };
  struct Module;

  AudioHandle NextHandle();
  int ChannelOf(AudioHandle handle) const;
  bool EffectPlaying(const Effect& e) const;
  void ReleaseModule();
  void ApplyMusicVolume(int volume);

  bool open_ = false;
  uint64_t rendered_ = 0;
  AudioHandle lastHandle_ = 0;
  std::vector<std::vector<int16_t>> samples_;
  Effect effects_[kMixerEffectChannels];
  std::unique_ptr<Module> music_;
  AudioHandle musicHandle_ = 0;
  VolumeSlide musicVolume_;
  std::vector<int16_t> musicBuffer_;
};

// Decodes a whole MP3 into left, right pairs at 44100 a second; false when it is not one
// (or not at that rate).
bool DecodeMp3(const std::vector<uint8_t>& mp3, std::vector<int16_t>& stereo);

}  // namespace tdx
