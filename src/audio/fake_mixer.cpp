#include "audio/fake_mixer.h"

#include <utility>

namespace tdx {

std::vector<FakeMixerCall> FakeMixer::Calls(const std::string& op) const {
  std::vector<FakeMixerCall> out;
  for (const auto& c : calls) {
    if (c.op == op) out.push_back(c);
  }
  return out;
}

int FakeMixer::VolumeOf(AudioHandle handle) const {
  const Sound* s = Find(handle);
  return s != nullptr ? s->volume.At(Now()) : 0;
}

int FakeMixer::PanOf(AudioHandle handle) const {
  const Sound* s = Find(handle);
  return s != nullptr ? s->pan : 0;
}

std::string FakeMixer::NameOf(AudioHandle handle) const {
  auto it = sounds_.find(handle);
  return it != sounds_.end() ? it->second.name : std::string();
}

bool FakeMixer::Open(int) {
  Record({.op = "open"});
  open_ = deviceAvailable;
  return open_;
}

void FakeMixer::Close() {
  Record({.op = "close"});
  open_ = false;
  for (auto& [handle, s] : sounds_) s.stopped = true;
}

SampleId FakeMixer::LoadSample(const std::vector<uint8_t>& mp3) {
  std::string name(mp3.begin(), mp3.end());
  Record({.op = "sample", .name = name});
  if (!open_ || mp3.empty() || name.rfind("broken", 0) == 0) return 0;
  samples_.push_back(name);
  return static_cast<SampleId>(samples_.size());
}

AudioHandle FakeMixer::PlayEffect(int channel, SampleId sample, int volume, int pan) {
  if (!open_ || channel < 0 || channel >= kMixerEffectChannels || sample == 0 ||
      sample > samples_.size()) {
    return 0;
  }
  if (Sound* old = Find(channels_[channel])) old->stopped = true;
  Sound s;
  s.name = samples_[sample - 1];
  s.channel = channel;
  s.pan = ClampPan(pan);
  s.length = LengthOf(s.name, effectSeconds);
  s.started = Now();
  s.volume.Set(volume);
  AudioHandle h = ++lastHandle_;
  sounds_[h] = s;
  channels_[channel] = h;
  Record({.op = "play",
          .handle = h,
          .channel = channel,
          .volume = s.volume.volume,
          .pan = s.pan,
          .name = s.name});
  return h;
}

AudioHandle FakeMixer::LoadModule(const std::vector<uint8_t>& module) {
  std::string name(module.begin(), module.end());
  if (Sound* old = Find(module_)) old->stopped = true;
  module_ = 0;
  Record({.op = "module", .name = name});
  if (!open_ || module.empty() || name.rfind("broken", 0) == 0) return 0;
  Sound s;
  s.name = name;
  s.length = LengthOf(name, moduleSeconds);
  AudioHandle h = ++lastHandle_;
  sounds_[h] = s;
  module_ = h;
  return h;
}

bool FakeMixer::PlayModule(AudioHandle music) {
  Sound* s = music == module_ ? Find(music) : nullptr;
  if (s == nullptr) return false;
  s->started = Now();
  Record({.op = "play_module", .handle = music, .name = s->name});
  return true;
}

void FakeMixer::SetVolume(AudioHandle handle, int volume) {
  Sound* s = Find(handle);
  if (s == nullptr) return;
  s->volume.Set(volume);
  Record({.op = "volume", .handle = handle, .volume = s->volume.volume});
}

void FakeMixer::SlideVolume(AudioHandle handle, int volume, int milliseconds) {
  Sound* s = Find(handle);
  if (s == nullptr) return;
  s->volume.SlideTo(volume, milliseconds, Now());
  Record({.op = "slide",
          .handle = handle,
          .volume = ClampVolume(volume),
          .milliseconds = milliseconds});
}

bool FakeMixer::IsActive(AudioHandle handle) {
  const Sound* s = Find(handle);
  return s != nullptr && s->started >= 0;
}

// Stops and frees are recorded even for spent handles, so a test sees the whole order.
void FakeMixer::Stop(AudioHandle handle) {
  Record({.op = "stop", .handle = handle, .name = NameOf(handle)});
  if (Sound* s = Find(handle)) s->stopped = true;
}

void FakeMixer::Free(AudioHandle handle) {
  Record({.op = "free", .handle = handle, .name = NameOf(handle)});
  if (Sound* s = Find(handle)) s->stopped = true;
}

double FakeMixer::LengthOf(const std::string& name, double fallback) const {
  auto it = lengths.find(name);
  return it != lengths.end() ? it->second : fallback;
}

// A handle answers while it is neither stopped, replaced nor played to its end.
FakeMixer::Sound* FakeMixer::Find(AudioHandle handle) {
  return const_cast<Sound*>(std::as_const(*this).Find(handle));
}

const FakeMixer::Sound* FakeMixer::Find(AudioHandle handle) const {
  if (handle == 0 || !open_) return nullptr;
  auto it = sounds_.find(handle);
  if (it == sounds_.end()) return nullptr;
  const Sound& s = it->second;
  if (s.stopped) return nullptr;
  if (s.started >= 0 && Now() >= s.started + s.length) return nullptr;
  return &s;
}

void FakeMixer::Record(FakeMixerCall call) {
  call.time = Now();
  calls.push_back(std::move(call));
}

}  // namespace tdx
