// Effects and speech: fire and forget on a pool of 20 channels, panned by where in the
// arena they happen.
#include "audio/sound.h"

#include <cmath>
#include <utility>

#include "app/game.h"

namespace tdx {
namespace {

// The decoded form of a sound buffer, decoding it on first use.
SampleId SampleForSlot(AudioState& a, int slot) {
  if (slot < 0 || slot >= kSoundSlots || !a.mixer) return 0;
  if (a.sampleTried[slot] == 0 && !a.SoundStreams[slot].empty()) {
    a.sampleTried[slot] = 1;
    a.samples[slot] = a.mixer->LoadSample(a.SoundStreams[slot]);
  }
  return a.samples[slot];
}

// PlaySound without the sounds switch (speech has its own).
void StartEffect(Game& g, const std::string& fileName, int pan) {
  AudioState& a = g.audio;
  if (!a.AudioAvailable || a.SoundCount() == 0 || !a.mixer) return;
  const SoundEntry* entry = nullptr;
  for (const SoundEntry& e : a.SoundTable) {
    if (e.fileName == fileName) {
      entry = &e;
      break;
    }
  }
  if (entry == nullptr) return;
  int channel = FindFreeChannel(g);
  if (channel < 0) return;  // a playing effect is never cut off for a new one
  SampleId sample = SampleForSlot(a, entry->slot);
  a.EffectChannels[channel] = 0;
  if (sample == 0) return;  // missing from snd.pak, or not a readable MP3
  // -101 is the "leave the pan alone" value; a new sound starts centred.
  if (pan == -101) {
    pan = 0;
  } else if (g.settings.game.rightLeft != 0) {
    pan = -pan;  // speakers the other way round
  }
  a.EffectChannels[channel] = a.mixer->PlayEffect(channel, sample, 100, pan);
  a.EffectNames[channel] = fileName;
}

}  // namespace

void StartAudio(Game& g, std::unique_ptr<Mixer> mixer) {
  AudioState& a = g.audio;
  if (a.mixer) a.mixer->Close();
  a.mixer = mixer ? std::move(mixer) : CreateNullMixer();
  a.EffectChannels = {};
  a.MusicChannel = 0;
  a.samples = {};
  a.sampleTried = {};
  a.moduleBroken = {};
  a.AudioAvailable = true;
  if (a.mixer->Version() != kAudioLayerVersion) a.AudioAvailable = false;
  // The output is opened in any case, as a mismatched layer still owns its device.
  if (!a.mixer->Open(kMixerFrequency)) a.AudioAvailable = false;
}

int ArenaPan(double arenaX) {
  double pan = std::nearbyint(arenaX * 200.0 / 608.0) - 100.0;  // halves to even
  if (std::isnan(pan)) return 0;
  if (pan < -100.0) return -100;
  if (pan > 100.0) return 100;
  return static_cast<int>(pan);
}

int FindFreeChannel(Game& g) {
  AudioState& a = g.audio;
  if (!a.mixer) return -1;
  for (int ch = 0; ch < kEffectChannelCount; ++ch) {
    if (!a.mixer->IsActive(a.EffectChannels[ch])) return ch;
  }
  return -1;
}

void PlaySoundByName(Game& g, const std::string& fileName, double arenaX) {
  PlaySound(g, fileName, ArenaPan(arenaX));
}

void PlaySound(Game& g, const std::string& fileName, int pan) {
  if (g.settings.game.sounds == 0) return;
  StartEffect(g, fileName, pan);
}

void PlaySpeech(Game& g, const std::string& fileName) {
  // Announcements speak with effects off, and never with speech off.
  if (g.settings.game.speech == 0) return;
  StartEffect(g, fileName, 0);
}

void StopEffect(Game& g, const std::string& fileName) {
  AudioState& a = g.audio;
  if (!a.mixer) return;
  for (int ch = 0; ch < kEffectChannelCount; ++ch) {
    if (a.EffectNames[ch] == fileName && a.mixer->IsActive(a.EffectChannels[ch])) {
      a.mixer->Stop(a.EffectChannels[ch]);
      a.EffectNames[ch].clear();
      return;
    }
  }
}

bool ChannelActive(Game& g, int channel) {
  AudioState& a = g.audio;
  if (!a.mixer || channel < 0 || channel >= kEffectChannelRoom) return false;
  return a.mixer->IsActive(a.EffectChannels[channel]);
}

std::string AudioActivityText(Game& g) {
  std::string text(kEffectChannelCount, 'N');
  for (int ch = 0; ch < kEffectChannelCount; ++ch) {
    if (ChannelActive(g, ch)) text[ch] = 'P';
  }
  return text;
}

void ShutdownAudio(Game& g) {
  AudioState& a = g.audio;
  if (!a.mixer) return;
  for (int ch = 0; ch < kEffectChannelCount; ++ch) {
    a.mixer->Stop(a.EffectChannels[ch]);
    a.mixer->Free(a.EffectChannels[ch]);
  }
  a.mixer->Stop(a.MusicChannel);
  a.mixer->Free(a.MusicChannel);
  a.mixer->Close();
  a.AudioAvailable = false;
}

void PlayMatchEvents(Game& g) {
  for (const MatchEvent& e : g.events.raised) {
    switch (e.kind) {
      case MatchEvent::Kind::Sound: PlaySoundByName(g, e.name, e.x); break;
      case MatchEvent::Kind::SoundPanned: PlaySound(g, e.name, e.value); break;
      case MatchEvent::Kind::Speech: PlaySpeech(g, e.name); break;
      default: break;  // what is only seen was shown right after the step
    }
  }
  g.events.Clear();
}

}  // namespace tdx
