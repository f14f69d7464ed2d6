// A mixer for tests: plays nothing, records every call and keeps time by a clock the test
// drives (usually the game's own g.Now), so channels end and slides move exactly when the
// test says. A sound's "name" is the text of its buffer: fill a test's buffers with the
// file names and the record reads like the game's log of what it played.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "audio/mixer.h"

namespace tdx {

struct FakeMixerCall {
  // "open", "close", "sample", "play", "module", "play_module", "volume", "slide", "stop",
  // "free".
  std::string op{};
  AudioHandle handle = 0;
  int channel = -1;      // "play"
  int volume = 0;        // "play", "volume", "slide"
  int pan = 0;           // "play"
  int milliseconds = 0;  // "slide"
  std::string name{};    // "sample", "play", "module", "play_module"
  double time = 0;       // the clock when the call was made
};

class FakeMixer final : public Mixer {
 public:
  // `clock` is read on every call; it must outlive the mixer.
  explicit FakeMixer(const double* clock) : clock_(clock) {}

  // What the fake answers; tests change these before use.
  uint32_t version = kAudioLayerVersion;
  bool deviceAvailable = true;
  double effectSeconds = 1.0;             // the length of every effect ...
  double moduleSeconds = 600.0;           // ... and of every module,
  std::map<std::string, double> lengths;  // unless its name is listed here.
  // Buffers that are empty or whose text starts with "broken" do not load.

  std::vector<FakeMixerCall> calls;

  // The calls of one kind, in order.
  std::vector<FakeMixerCall> Calls(const std::string& op) const;
  // The volume, pan and name of a handle as the fake's clock stands now.
  int VolumeOf(AudioHandle handle) const;
  int PanOf(AudioHandle handle) const;
  std::string NameOf(AudioHandle handle) const;
  bool IsOpen() const { return open_; }

  uint32_t Version() const override { return version; }
  bool Open(int frequency) override;
  void Close() override;
  void Update() override {}
  SampleId LoadSample(const std::vector<uint8_t>& mp3) override;
  AudioHandle PlayEffect(int channel, SampleId sample, int volume, int pan) override;
  AudioHandle LoadModule(const std::vector<uint8_t>& module) override;
  bool PlayModule(AudioHandle music) override;
  void SetVolume(AudioHandle handle, int volume) override;
  void SlideVolume(AudioHandle handle, int volume, int milliseconds) override;
  bool IsActive(AudioHandle handle) override;
  void Stop(AudioHandle handle) override;
  void Free(AudioHandle handle) override;

 private:
  struct Sound {
    std::string name;
    int channel = -1;  // -1: the module
    int pan = 0;
    double length = 0;
    double started = -1;  // clock at play; -1 not yet playing
    bool stopped = false;
    VolumeSlide volume;
  };

  double Now() const { return *clock_; }
  double LengthOf(const std::string& name, double fallback) const;
  Sound* Find(AudioHandle handle);
  const Sound* Find(AudioHandle handle) const;
  bool Playing(const Sound& s) const;
  void Record(FakeMixerCall call);

  const double* clock_;
  bool open_ = false;
  AudioHandle lastHandle_ = 0;
  AudioHandle module_ = 0;
  std::vector<std::string> samples_;
  std::map<AudioHandle, Sound> sounds_;
  AudioHandle channels_[kMixerEffectChannels] = {};
};

}  // namespace tdx
