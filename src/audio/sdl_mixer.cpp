// The audio layer over SDL2_mixer: the only file of the game's sound that sees SDL.
//
// Effects are decoded once (Mix_LoadWAV_RW) and played on mixer channels 0..19, which
// are the game's effect channels one to one. The module plays on SDL_mixer's single
// music stream. SDL_mixer has no slide to an arbitrary volume that keeps the channel
// playing, so slides are stepped here, once a frame, on a steady clock.
#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>

#include <array>
#include <chrono>
#include <climits>
#include <cstdio>
#include <string>
#include <type_traits>

#include "audio/mixer.h"

namespace tdx {
namespace {

constexpr const char* kMixerLibraryName = "libSDL2_mixer-2.0.so.0";

// SDL2_mixer is opened when a game first opens the sound output, not when the program
// starts: a headless run never loads it nor the many libraries it pulls in.
struct MixerLibrary {
  void* handle = nullptr;
  std::string error;  // why it could not be opened
  decltype(&Mix_Linked_Version) Linked_Version = nullptr;
  decltype(&Mix_Init) Init = nullptr;
  decltype(&Mix_OpenAudioDevice) OpenAudioDevice = nullptr;
  decltype(&Mix_AllocateChannels) AllocateChannels = nullptr;
  decltype(&Mix_Volume) Volume = nullptr;
  decltype(&Mix_VolumeMusic) VolumeMusic = nullptr;
  decltype(&Mix_HaltChannel) HaltChannel = nullptr;
  decltype(&Mix_FreeChunk) FreeChunk = nullptr;
  decltype(&Mix_CloseAudio) CloseAudio = nullptr;
  decltype(&Mix_Quit) Quit = nullptr;
  decltype(&Mix_Playing) Playing = nullptr;
  decltype(&Mix_PlayingMusic) PlayingMusic = nullptr;
  decltype(&Mix_LoadWAV_RW) LoadWAV_RW = nullptr;
  decltype(&Mix_PlayChannelTimed) PlayChannelTimed = nullptr;
  decltype(&Mix_LoadMUS_RW) LoadMUS_RW = nullptr;
  decltype(&Mix_PlayMusic) PlayMusic = nullptr;
  decltype(&Mix_SetPanning) SetPanning = nullptr;
  decltype(&Mix_PauseMusic) PauseMusic = nullptr;
  decltype(&Mix_ResumeMusic) ResumeMusic = nullptr;
  decltype(&Mix_HaltMusic) HaltMusic = nullptr;
  decltype(&Mix_FreeMusic) FreeMusic = nullptr;
};

const MixerLibrary& Lib() {
  static const MixerLibrary lib = [] {
    MixerLibrary l;
    l.handle = ::dlopen(kMixerLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (l.handle == nullptr) {
      const char* why = ::dlerror();
      l.error = why != nullptr ? why : kMixerLibraryName;
      return l;
    }
    auto find = [&](auto& fn, const char* name) {
      fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(::dlsym(l.handle, name));
      if (fn == nullptr && l.error.empty())
        l.error = std::string(kMixerLibraryName) + " has no " + name;
    };
    find(l.Linked_Version, "Mix_Linked_Version");
    find(l.Init, "Mix_Init");
    find(l.OpenAudioDevice, "Mix_OpenAudioDevice");
    find(l.AllocateChannels, "Mix_AllocateChannels");
    find(l.Volume, "Mix_Volume");
    find(l.VolumeMusic, "Mix_VolumeMusic");
    find(l.HaltChannel, "Mix_HaltChannel");
    find(l.FreeChunk, "Mix_FreeChunk");
    find(l.CloseAudio, "Mix_CloseAudio");
    find(l.Quit, "Mix_Quit");
    find(l.Playing, "Mix_Playing");
    find(l.PlayingMusic, "Mix_PlayingMusic");
    find(l.LoadWAV_RW, "Mix_LoadWAV_RW");
    find(l.PlayChannelTimed, "Mix_PlayChannelTimed");
    find(l.LoadMUS_RW, "Mix_LoadMUS_RW");
    find(l.PlayMusic, "Mix_PlayMusic");
    find(l.SetPanning, "Mix_SetPanning");
    find(l.PauseMusic, "Mix_PauseMusic");
    find(l.ResumeMusic, "Mix_ResumeMusic");
    find(l.HaltMusic, "Mix_HaltMusic");
    find(l.FreeMusic, "Mix_FreeMusic");
    return l;
  }();
  return lib;
}

int ToSdlVolume(int volume) { return ClampVolume(volume) * MIX_MAX_VOLUME / 100; }

class SdlMixer final : public Mixer {
 public:
  SdlMixer() : epoch_(std::chrono::steady_clock::now()) {}
  ~SdlMixer() override { Close(); }

  uint32_t Version() const override {
    // A library built for another major version than the one we compiled against cannot
    // be trusted with our calls: report a version the game will not accept.
    const SDL_version* linked = Lib().Linked_Version();
    if (linked == nullptr || linked->major != SDL_MIXER_MAJOR_VERSION) return 0;
    return kAudioLayerVersion;
  }

  bool Open(int frequency) override {
    if (open_) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    subsystem_ = true;
    // A codec that cannot be loaded only leaves its sounds silent.
    codecs_ = Lib().Init(MIX_INIT_MP3 | MIX_INIT_MOD);
    if (Lib().OpenAudioDevice(frequency, AUDIO_S16SYS, 2, 1024, nullptr, 0) != 0) {
      Close();
      return false;
    }
    open_ = true;
    Lib().AllocateChannels(kMixerEffectChannels);
    for (int ch = 0; ch < kMixerEffectChannels; ++ch) {
      Lib().Volume(ch, MIX_MAX_VOLUME);
      effects_[ch] = Effect{};
    }
    Lib().VolumeMusic(MIX_MAX_VOLUME);
    return true;
  }

  void Close() override {
    if (open_) {
      Lib().HaltChannel(-1);
      ReleaseModule();
      for (Mix_Chunk* chunk : samples_) {
        if (chunk != nullptr) Lib().FreeChunk(chunk);
      }
      samples_.clear();
      for (auto& e : effects_) e = Effect{};
      Lib().CloseAudio();
      open_ = false;
    }
    if (codecs_ != 0) {
      Lib().Quit();
      codecs_ = 0;
    }
    if (subsystem_) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      subsystem_ = false;
    }
  }

  void Update() override {
    if (!open_) return;
    double now = Clock();
    for (int ch = 0; ch < kMixerEffectChannels; ++ch) {
      Effect& e = effects_[ch];
      if (e.handle == 0) continue;
      if (Lib().Playing(ch) == 0) {  // ended by itself: the handle is spent
        e = Effect{};
        continue;
      }
      if (e.volume.sliding) {
        Lib().Volume(ch, ToSdlVolume(e.volume.At(now)));
        e.volume.Advance(now);
      }
    }
    if (music_ != nullptr && musicStarted_ && Lib().PlayingMusic() == 0) {
      ReleaseModule();
    } else if (music_ != nullptr && musicVolume_.sliding) {
      ApplyMusicVolume(musicVolume_.At(now));
      musicVolume_.Advance(now);
    }
  }

  SampleId LoadSample(const std::vector<uint8_t>& mp3) override {
    if (!open_ || mp3.empty() || mp3.size() > static_cast<size_t>(INT_MAX)) return 0;
    SDL_RWops* rw = SDL_RWFromConstMem(mp3.data(), static_cast<int>(mp3.size()));
    if (rw == nullptr) return 0;
    Mix_Chunk* chunk = Lib().LoadWAV_RW(rw, 1);
    if (chunk == nullptr) return 0;
    samples_.push_back(chunk);
    return static_cast<SampleId>(samples_.size());
  }

  AudioHandle PlayEffect(int channel, SampleId sample, int volume, int pan) override {
    if (!open_ || channel < 0 || channel >= kMixerEffectChannels) return 0;
    if (sample == 0 || sample > samples_.size()) return 0;
    // A halt drops the channel's panning, so it comes first and the new pan after it;
    // panning set before the start also means no sample plays unpanned.
    if (Lib().Playing(channel) != 0) Lib().HaltChannel(channel);
    effects_[channel] = Effect{};
    Lib().Volume(channel, ToSdlVolume(volume));
    SetPanning(channel, ClampPan(pan));
    if (Lib().PlayChannelTimed(channel, samples_[sample - 1], 0, -1) < 0) return 0;
    Effect& e = effects_[channel];
    e.handle = NextHandle();
    e.volume.Set(volume);
    return e.handle;
  }

  AudioHandle LoadModule(const std::vector<uint8_t>& module) override {
    if (!open_) return 0;
    ReleaseModule();
    if (module.empty() || module.size() > static_cast<size_t>(INT_MAX)) return 0;
    SDL_RWops* rw = SDL_RWFromConstMem(module.data(), static_cast<int>(module.size()));
    if (rw == nullptr) return 0;
    music_ = Lib().LoadMUS_RW(rw, 1);
    if (music_ == nullptr) return 0;
    musicHandle_ = NextHandle();
    musicStarted_ = false;
    musicVolume_.Set(100);
    return musicHandle_;
  }

  bool PlayModule(AudioHandle music) override {
    if (!open_ || music == 0 || music != musicHandle_ || music_ == nullptr) return false;
    Lib().VolumeMusic(ToSdlVolume(musicVolume_.At(Clock())));
    if (Lib().PlayMusic(music_, 0) != 0) {
      ReleaseModule();
      return false;
    }
    musicStarted_ = true;
    ApplyMusicVolume(musicVolume_.At(Clock()));
    return true;
  }

  void SetVolume(AudioHandle handle, int volume) override {
    if (!open_ || handle == 0) return;
    if (handle == musicHandle_) {
      musicVolume_.Set(volume);
      ApplyMusicVolume(musicVolume_.volume);
    } else if (int ch = ChannelOf(handle); ch >= 0) {
      effects_[ch].volume.Set(volume);
      Lib().Volume(ch, ToSdlVolume(volume));
    }
  }

  void SlideVolume(AudioHandle handle, int volume, int milliseconds) override {
    if (!open_ || handle == 0) return;
    double now = Clock();
    if (handle == musicHandle_) {
      musicVolume_.SlideTo(volume, milliseconds, now);
      if (!musicVolume_.sliding) ApplyMusicVolume(musicVolume_.volume);
    } else if (int ch = ChannelOf(handle); ch >= 0) {
      effects_[ch].volume.SlideTo(volume, milliseconds, now);
      if (!effects_[ch].volume.sliding) Lib().Volume(ch, ToSdlVolume(effects_[ch].volume.volume));
    }
  }

  bool IsActive(AudioHandle handle) override {
    if (!open_ || handle == 0) return false;
    if (handle == musicHandle_) return musicStarted_ && Lib().PlayingMusic() != 0;
    int ch = ChannelOf(handle);
    return ch >= 0 && Lib().Playing(ch) != 0;
  }

  void Stop(AudioHandle handle) override {
    if (!open_ || handle == 0) return;
    if (handle == musicHandle_) {
      ReleaseModule();
    } else if (int ch = ChannelOf(handle); ch >= 0) {
      Lib().HaltChannel(ch);
      effects_[ch] = Effect{};
    }
  }

  // Our sounds free themselves when stopped, so freeing is stopping.
  void Free(AudioHandle handle) override { Stop(handle); }

 private:
  struct Effect {
    AudioHandle handle = 0;
    VolumeSlide volume;
  };

  double Clock() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch_).count();
  }

  AudioHandle NextHandle() {
    if (++lastHandle_ == 0) ++lastHandle_;
    return lastHandle_;
  }

  int ChannelOf(AudioHandle handle) const {
    for (int ch = 0; ch < kMixerEffectChannels; ++ch) {
      if (effects_[ch].handle == handle) return ch;
    }
    return -1;
  }

  // Equal power is not what the game was tuned for: the centre plays both sides at full
  // level and a pan towards one side fades the other linearly, down to silence at +-100.
  static void SetPanning(int channel, int pan) {
    int left = pan <= 0 ? 255 : 255 * (100 - pan) / 100;
    int right = pan >= 0 ? 255 : 255 * (100 + pan) / 100;
    Lib().SetPanning(channel, static_cast<Uint8>(left), static_cast<Uint8>(right));
  }

  // The module player never goes fully quiet on its own (its softest master volume is
  // still faintly audible), so a module at volume 0 is held until its volume rises again.
  void ApplyMusicVolume(int volume) {
    Lib().VolumeMusic(ToSdlVolume(volume));
    if (!musicStarted_) return;
    if (volume == 0 && !musicHeld_) {
      Lib().PauseMusic();
      musicHeld_ = true;
    } else if (volume > 0 && musicHeld_) {
      Lib().ResumeMusic();
      musicHeld_ = false;
    }
  }

  void ReleaseModule() {
    if (music_ != nullptr) {
      Lib().HaltMusic();
      Lib().FreeMusic(music_);
      music_ = nullptr;
    }
    musicHandle_ = 0;
    musicStarted_ = false;
    musicHeld_ = false;
  }

  std::chrono::steady_clock::time_point epoch_;
  bool subsystem_ = false;
  int codecs_ = 0;
  bool open_ = false;
  AudioHandle lastHandle_ = 0;
  std::vector<Mix_Chunk*> samples_;
  std::array<Effect, kMixerEffectChannels> effects_{};
  Mix_Music* music_ = nullptr;
  AudioHandle musicHandle_ = 0;
  bool musicStarted_ = false;
  bool musicHeld_ = false;
  VolumeSlide musicVolume_;
};

}  // namespace

std::unique_ptr<Mixer> CreateSdlMixer() {
  const MixerLibrary& lib = Lib();
  if (!lib.error.empty()) {
    // Said once: the game plays on without sound, as with no sound device.
    static bool told = false;
    if (!told) std::fprintf(stderr, "tandrix: no sound: %s\n", lib.error.c_str());
    told = true;
    return CreateNullMixer();
  }
  return std::make_unique<SdlMixer>();
}

}  // namespace tdx
