// The mixer of exported videos. Effects are decoded with libmpg123 and modules played with
// libmodplug, the decoders the sound output uses, with the module player set up as it
// sets it up, so a video sounds as the game did.
#include "audio/offline_mixer.h"

#include <libmodplug/modplug.h>
#include <mpg123.h>
#include <sys/types.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace tdx {
namespace {

constexpr int kFullLevel = 128;  // the sound output's volume steps

int LevelOf(int volume) { return ClampVolume(volume) * kFullLevel / 100; }

int16_t Clip(int v) {
  return static_cast<int16_t>(std::clamp(v, static_cast<int>(INT16_MIN), INT16_MAX));
}

// The MP3 is read from memory through libmpg123's own reader hooks, so it knows where
// the stream ends and trims the encoder's padding as it does for files.
struct MemoryStream {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t at = 0;
};

mpg123_ssize_t ReadMemory(void* handle, void* buffer, size_t bytes) {
  auto* s = static_cast<MemoryStream*>(handle);
  size_t n = std::min(bytes, s->size - s->at);
  std::memcpy(buffer, s->data + s->at, n);
  s->at += n;
  return static_cast<mpg123_ssize_t>(n);
}

off_t SeekMemory(void* handle, off_t offset, int whence) {
  auto* s = static_cast<MemoryStream*>(handle);
  off_t base = whence == SEEK_SET   ? 0
               : whence == SEEK_CUR ? static_cast<off_t>(s->at)
                                    : static_cast<off_t>(s->size);
  off_t to = base + offset;
  if (to < 0 || to > static_cast<off_t>(s->size)) return -1;
  s->at = static_cast<size_t>(to);
  return to;
}

}  // namespace

bool DecodeMp3(const std::vector<uint8_t>& mp3, std::vector<int16_t>& stereo) {
  stereo.clear();
  if (mp3.empty()) return false;
#if MPG123_API_VERSION < 46
  mpg123_init();
#endif
  int err = MPG123_OK;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  if (mh == nullptr) return false;
  MemoryStream stream{mp3.data(), mp3.size(), 0};
  bool ok = mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0) == MPG123_OK &&
            mpg123_format_none(mh) == MPG123_OK &&
            mpg123_format(mh, kMixerFrequency, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) ==
                MPG123_OK &&
            mpg123_replace_reader_handle(mh, ReadMemory, SeekMemory, nullptr) == MPG123_OK &&
            mpg123_open_handle(mh, &stream) == MPG123_OK;
  int channels = 2;
  std::vector<int16_t> block(4096);
  while (ok) {
    size_t done = 0;
    int r = mpg123_read(mh, block.data(), block.size() * sizeof(int16_t), &done);
    if (r == MPG123_NEW_FORMAT) {
      long rate = 0;
      int encoding = 0;
      mpg123_getformat(mh, &rate, &channels, &encoding);
      ok = rate == kMixerFrequency && encoding == MPG123_ENC_SIGNED_16;
      continue;
    }
    const size_t values = done / sizeof(int16_t);
    if (channels == 1) {
      for (size_t i = 0; i < values; ++i) stereo.insert(stereo.end(), 2, block[i]);
    } else {
      stereo.insert(stereo.end(), block.begin(), block.begin() + static_cast<ptrdiff_t>(values));
    }
    if (r == MPG123_DONE) break;
    if (r != MPG123_OK) ok = false;
  }
  mpg123_close(mh);
  mpg123_delete(mh);
  if (stereo.size() % 2 != 0) stereo.pop_back();
  return ok && !stereo.empty();
}

struct OfflineMixer::Module {
  ModPlugFile* file = nullptr;
  bool started = false;
  bool ended = false;
  bool held = false;  // at volume 0 the module waits where it stands
  int level = kFullLevel;
  ~Module() {
    if (file != nullptr) ModPlug_Unload(file);
  }
};

OfflineMixer::OfflineMixer() = default;
OfflineMixer::~OfflineMixer() { Close(); }

bool OfflineMixer::Open(int) {
  open_ = true;
  return true;
}

void OfflineMixer::Close() {
  ReleaseModule();
  for (Effect& e : effects_) e = Effect{};
  samples_.clear();
  open_ = false;
}

AudioHandle OfflineMixer::NextHandle() {
  if (++lastHandle_ == 0) ++lastHandle_;
  return lastHandle_;
}

int OfflineMixer::ChannelOf(AudioHandle handle) const {
  for (int ch = 0; ch < kMixerEffectChannels; ++ch) {
    if (effects_[ch].handle == handle) return ch;
  }
  return -1;
}

bool OfflineMixer::EffectPlaying(const Effect& e) const {
  return e.handle != 0 && e.at * 2 < samples_[e.sample - 1].size();
}

void OfflineMixer::Update() {
  if (!open_) return;
  const double now = Now();
  for (Effect& e : effects_) {
    if (e.handle == 0) continue;
    if (!EffectPlaying(e)) {
      e = Effect{};
      continue;
    }
    if (e.volume.sliding) {
      e.level = LevelOf(e.volume.At(now));
      e.volume.Advance(now);
    }
  }
  if (music_ && music_->started && music_->ended) {
    ReleaseModule();
  } else if (music_ && musicVolume_.sliding) {
    ApplyMusicVolume(musicVolume_.At(now));
    musicVolume_.Advance(now);
  }
}

SampleId OfflineMixer::AddSample(std::vector<int16_t> stereo) {
  samples_.push_back(std::move(stereo));
  return static_cast<SampleId>(samples_.size());
}

SampleId OfflineMixer::LoadSample(const std::vector<uint8_t>& mp3) {
  std::vector<int16_t> stereo;
  if (!open_ || !DecodeMp3(mp3, stereo)) return 0;
  return AddSample(std::move(stereo));
}

AudioHandle OfflineMixer::PlayEffect(int channel, SampleId sample, int volume, int pan) {
  if (!open_ || channel < 0 || channel >= kMixerEffectChannels) return 0;
  if (sample == 0 || sample > samples_.size()) return 0;
  Effect& e = effects_[channel];
  e = Effect{};
  e.handle = NextHandle();
  e.sample = sample;
  // The pan of the sound output: full level in the centre, the far side fading linearly.
  pan = ClampPan(pan);
  e.left = pan <= 0 ? 255 : 255 * (100 - pan) / 100;
  e.right = pan >= 0 ? 255 : 255 * (100 + pan) / 100;
  e.volume.Set(volume);
  e.level = LevelOf(volume);
  return e.handle;
}

AudioHandle OfflineMixer::LoadModule(const std::vector<uint8_t>& module) {
  if (!open_) return 0;
  ReleaseModule();
  if (module.empty() || module.size() > static_cast<size_t>(INT_MAX)) return 0;
  // As the sound output sets the player up: 16-bit stereo at the mixing rate, oversampled,
  // FIR resampling, no reverb, bass or surround, played once.
  ModPlug_Settings settings;
  ModPlug_GetSettings(&settings);
  settings.mFlags = MODPLUG_ENABLE_OVERSAMPLING;
  settings.mChannels = 2;
  settings.mBits = 16;
  settings.mFrequency = kMixerFrequency;
  settings.mResamplingMode = MODPLUG_RESAMPLE_FIR;
  settings.mReverbDepth = 0;
  settings.mReverbDelay = 100;
  settings.mBassAmount = 0;
  settings.mBassRange = 50;
  settings.mSurroundDepth = 0;
  settings.mSurroundDelay = 10;
  settings.mLoopCount = 0;
  ModPlug_SetSettings(&settings);
  auto m = std::make_unique<Module>();
  m->file = ModPlug_Load(module.data(), static_cast<int>(module.size()));
  if (m->file == nullptr) return 0;
  music_ = std::move(m);
  musicHandle_ = NextHandle();
  musicVolume_.Set(100);
  ApplyMusicVolume(100);
  return musicHandle_;
}

bool OfflineMixer::PlayModule(AudioHandle music) {
  if (!open_ || music == 0 || music != musicHandle_ || !music_) return false;
  ModPlug_Seek(music_->file, 0);
  music_->started = true;
  music_->ended = false;
  ApplyMusicVolume(musicVolume_.At(Now()));
  return true;
}

void OfflineMixer::ApplyMusicVolume(int volume) {
  if (!music_) return;
  // The sound output turns the module player's master volume (1..512, 256 at its 128),
  // which its mixing scales and limits on its own: not a plain factor on what it gives.
  music_->level = LevelOf(volume);
  ModPlug_SetMasterVolume(music_->file, static_cast<unsigned>(music_->level) * 2);
  if (music_->started) music_->held = volume == 0;
}

void OfflineMixer::ReleaseModule() {
  music_.reset();
  musicHandle_ = 0;
}

void OfflineMixer::SetVolume(AudioHandle handle, int volume) {
  if (!open_ || handle == 0) return;
  if (handle == musicHandle_) {
    musicVolume_.Set(volume);
    ApplyMusicVolume(musicVolume_.volume);
  } else if (int ch = ChannelOf(handle); ch >= 0) {
    effects_[ch].volume.Set(volume);
    effects_[ch].level = LevelOf(volume);
  }
}

void OfflineMixer::SlideVolume(AudioHandle handle, int volume, int milliseconds) {
  if (!open_ || handle == 0) return;
  const double now = Now();
  if (handle == musicHandle_) {
    musicVolume_.SlideTo(volume, milliseconds, now);
    if (!musicVolume_.sliding) ApplyMusicVolume(musicVolume_.volume);
  } else if (int ch = ChannelOf(handle); ch >= 0) {
    Effect& e = effects_[ch];
    e.volume.SlideTo(volume, milliseconds, now);
    if (!e.volume.sliding) e.level = LevelOf(e.volume.volume);
  }
}

bool OfflineMixer::IsActive(AudioHandle handle) {
  if (!open_ || handle == 0) return false;
  if (handle == musicHandle_) return music_ && music_->started && !music_->ended;
  int ch = ChannelOf(handle);
  return ch >= 0 && EffectPlaying(effects_[ch]);
}

void OfflineMixer::Stop(AudioHandle handle) {
  if (!open_ || handle == 0) return;
  if (handle == musicHandle_) {
    ReleaseModule();
  } else if (int ch = ChannelOf(handle); ch >= 0) {
    effects_[ch] = Effect{};
  }
}

void OfflineMixer::Render(int frames, std::vector<int16_t>& out) {
  frames = std::max(frames, 0);
  const size_t values = static_cast<size_t>(frames) * 2;
  out.assign(values, 0);
  // The module first, into silence.
  if (open_ && music_ && music_->started && !music_->ended && !music_->held) {
    musicBuffer_.assign(values, 0);
    const int bytes = static_cast<int>(values * sizeof(int16_t));
    int got = 0;
    while (got < bytes) {
      int n = ModPlug_Read(music_->file, reinterpret_cast<uint8_t*>(musicBuffer_.data()) + got,
                           bytes - got);
      if (n <= 0) {
        music_->ended = true;
        break;
      }
      got += n;
    }
    const size_t filled = static_cast<size_t>(got) / sizeof(int16_t);
    std::copy_n(musicBuffer_.begin(), filled, out.begin());
  }
  // Then each channel in turn: the pan scales the sample, the volume the panned value, and
  // the sum is clipped at every step.
  for (Effect& e : effects_) {
    if (!open_ || !EffectPlaying(e)) continue;
    const std::vector<int16_t>& s = samples_[e.sample - 1];
    const size_t take = std::min(static_cast<size_t>(frames), s.size() / 2 - e.at);
    const bool panned = e.left != 255 || e.right != 255;
    const float leftGain = static_cast<float>(e.left) / 255.0f;
    const float rightGain = static_cast<float>(e.right) / 255.0f;
    for (size_t i = 0; i < take; ++i) {
      int l = s[(e.at + i) * 2];
      int r = s[(e.at + i) * 2 + 1];
      if (panned) {
        l = static_cast<int16_t>(static_cast<float>(l) * leftGain);
        r = static_cast<int16_t>(static_cast<float>(r) * rightGain);
      }
      out[i * 2] = Clip(out[i * 2] + l * e.level / kFullLevel);
      out[i * 2 + 1] = Clip(out[i * 2 + 1] + r * e.level / kFullLevel);
    }
    e.at += take;
  }
  rendered_ += static_cast<uint64_t>(frames);
}

}  // namespace tdx
