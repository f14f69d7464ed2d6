// The audio layer: exactly what the game asks of a sound library, and nothing more.
// Twenty effect channels that free themselves when their sound ends, one music channel
// that plays a module once, per-handle volume (0..100), pan (-100 left .. 100 right),
// timed volume slides and activity tests. The SDL2_mixer implementation plays for real,
// the null one stands in when there is no device (--headless), the fake records calls
// for tests. Only sdl_mixer.cpp sees SDL.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace tdx {

// A playing effect or a loaded module; 0 is "none" and is never active. A handle stays
// unique for the whole run, so a channel that was reused never answers for an old sound.
using AudioHandle = uint32_t;
// A decoded effect, ready to play on any number of channels at once; 0 is "none".
using SampleId = uint32_t;

// Versions in one 32-bit value: major in the low word, minor in the high word.
constexpr uint32_t MakeAudioVersion(uint32_t major, uint32_t minor) {
  return (minor << 16) | major;
}
// The layer's own version. The game refuses to play through a layer that reports another
// one (it then runs silent), the way it would refuse a mismatched sound library.
inline constexpr uint32_t kAudioLayerVersion = MakeAudioVersion(1, 0);

inline constexpr int kMixerEffectChannels = 20;
inline constexpr int kMixerFrequency = 44100;

class Mixer {
 public:
  virtual ~Mixer() = default;

  virtual uint32_t Version() const = 0;
  // Opens the output device; false when there is none (the game then runs silent).
  virtual bool Open(int frequency) = 0;
  // Stops everything and releases the device; calling it again does nothing.
  virtual void Close() = 0;
  // Once a frame: advances the volume slides and releases sounds that have ended.
  virtual void Update() = 0;

  // Decodes a whole MP3 from memory; 0 when it cannot be decoded.
  virtual SampleId LoadSample(const std::vector<uint8_t>& mp3) = 0;
  // Starts a sample on effect channel 0..19 at volume 0..100 and pan -100..100, cutting off
  // whatever that channel played. Returns the new handle, 0 on failure.
  virtual AudioHandle PlayEffect(int channel, SampleId sample, int volume, int pan) = 0;

  // Prepares a module (XM, MOD) from memory for the one music channel, replacing (and
  // stopping) the module loaded before. The buffer must stay alive and unchanged while the
  // module is loaded. Returns 0 when it cannot be loaded.
  virtual AudioHandle LoadModule(const std::vector<uint8_t>& module) = 0;
  // Plays the loaded module once from its start; it frees itself when it ends.
  virtual bool PlayModule(AudioHandle music) = 0;

  // For effects and the module alike. Spent handles (ended, stopped, replaced) are ignored.
  virtual void SetVolume(AudioHandle handle, int volume) = 0;
  virtual void SlideVolume(AudioHandle handle, int volume, int milliseconds) = 0;
  virtual bool IsActive(AudioHandle handle) = 0;
  virtual void Stop(AudioHandle handle) = 0;
  virtual void Free(AudioHandle handle) = 0;
};

// The real output over SDL2_mixer.
std::unique_ptr<Mixer> CreateSdlMixer();
// No device at all: never opens, never plays.
std::unique_ptr<Mixer> CreateNullMixer();

// Shared by the implementations: 0..100 and -100..100 whatever the caller passes.
inline int ClampVolume(int volume) { return volume < 0 ? 0 : (volume > 100 ? 100 : volume); }
inline int ClampPan(int pan) { return pan < -100 ? -100 : (pan > 100 ? 100 : pan); }

// A volume that may be sliding linearly towards a target, on the implementation's clock.
struct VolumeSlide {
  int volume = 100;  // where it stands when no slide runs
  int from = 100;
  int to = 100;
  double start = 0;
  double seconds = 0;
  bool sliding = false;

  int At(double now) const {
    if (!sliding) return volume;
    if (seconds <= 0 || now >= start + seconds) return to;
    if (now <= start) return from;
    double t = (now - start) / seconds;
    return from + static_cast<int>((to - from) * t + (to > from ? 0.5 : -0.5));
  }
  void Set(int v) {
    volume = ClampVolume(v);
    sliding = false;
  }
  void SlideTo(int target, int milliseconds, double now) {
    int current = At(now);
    if (milliseconds <= 0) {
      Set(target);
      return;
    }
    from = current;
    to = ClampVolume(target);
    start = now;
    seconds = milliseconds / 1000.0;
    sliding = true;
  }
  // Folds a finished slide into the plain volume; true while it still runs.
  bool Advance(double now) {
    if (!sliding) return false;
    if (now >= start + seconds) {
      Set(to);
      return false;
    }
    return true;
  }
};

}  // namespace tdx
