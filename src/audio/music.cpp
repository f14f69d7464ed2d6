// The music service: one module at a time, faded in, played for its set time, faded out,
// and switched on request with a one-second fade.
#include <algorithm>
#include <cstdint>

#include "app/game.h"
#include "audio/music_names.h"
#include "audio/sound.h"

namespace tdx {
namespace {

// Whole seconds from music.dat as milliseconds, kept inside what a slide can take.
int SecondsToMs(int seconds) {
  int64_t ms = static_cast<int64_t>(std::max(seconds, 0)) * 1000;
  return static_cast<int>(std::min<int64_t>(ms, INT32_MAX));
}

// Loads the module of a slot; a slot that failed once (empty or damaged) is not tried
// again, since its buffer never changes after start-up.
AudioHandle LoadModuleOfSlot(AudioState& a, int slot) {
  if (slot < 0 || slot >= kMusicSlots || a.moduleBroken[slot] != 0) return 0;
  AudioHandle h = a.MusicStreams[slot].empty() ? 0 : a.mixer->LoadModule(a.MusicStreams[slot]);
  if (h == 0) a.moduleBroken[slot] = 1;
  return h;
}

void StartPendingModule(Game& g, double time) {
  AudioState& a = g.audio;
  a.musicPending = false;
  const MusicEntry* entry = nullptr;
  if (a.pendingIndex >= 0 && a.pendingIndex < a.MusicCount()) entry = &a.MusicTable[a.pendingIndex];
  a.MusicChannel = LoadModuleOfSlot(a, a.pendingSlot);
  a.mixer->SetVolume(a.MusicChannel, 0);
  a.mixer->PlayModule(a.MusicChannel);
  a.mixer->SlideVolume(a.MusicChannel, kMusicVolume, SecondsToMs(entry ? entry->fadeIn : 0));
  a.playingIndex = entry ? a.pendingIndex : -1;
  a.nextEventTime = time + (entry ? entry->playTime : 0);
  a.MusicState = MusicPlaying;
}

}  // namespace

void RequestMusic(Game& g, const std::string& moduleFileName) {
  AudioState& a = g.audio;
  if (!a.AudioAvailable || a.MusicCount() == 0 || g.settings.game.music == 0) return;
  for (int i = 0; i < a.MusicCount(); ++i) {
    if (a.MusicTable[i].fileName == moduleFileName) {
      a.musicPending = true;  // a later request in the same frame wins
      a.pendingSlot = a.MusicTable[i].slot;
      a.pendingIndex = i;
      return;
    }
  }
}

void RequestRandomMusic(Game& g) {
  // The look's generator: how often a song is chosen depends on the sound device.
  int r = g.LookRandom(18);
  RequestMusic(g, kPlayList[r]);
}

void ServiceMusic(Game& g) {
  AudioState& a = g.audio;
  if (!a.mixer) return;
  a.mixer->Update();
  double time = g.Now;
  a.musicPlaying = a.mixer->IsActive(a.MusicChannel);
  if (!a.musicPlaying && a.musicPending) a.MusicState = MusicIdle;
  switch (a.MusicState) {
    case MusicIdle:
      if (a.musicPending) StartPendingModule(g, time);
      break;
    case MusicPlaying:
      if (a.musicPlaying && a.nextEventTime < time) {
        int fadeOut = a.playingIndex >= 0 && a.playingIndex < a.MusicCount()
                          ? a.MusicTable[a.playingIndex].fadeOut
                          : 0;
        a.mixer->SlideVolume(a.MusicChannel, 0, SecondsToMs(fadeOut));
        a.MusicState = MusicFadingOut;
        a.nextEventTime = time + std::max(fadeOut, 0);
      }
      if (a.musicPlaying && a.musicPending) {
        a.mixer->SlideVolume(a.MusicChannel, 0, kMusicSwitchMs);
        a.MusicState = MusicSwitching;
        a.nextEventTime = time + kMusicSwitchMs / 1000.0;
      }
      break;
    case MusicFadingOut:
    case MusicSwitching:
      if (a.musicPlaying && a.nextEventTime < time) a.mixer->Stop(a.MusicChannel);
      break;
    default: break;
  }
}

void FadeMusicOut(Game& g, int milliseconds) {
  AudioState& a = g.audio;
  if (!a.mixer) return;
  a.mixer->SlideVolume(a.MusicChannel, 0, milliseconds);
}

void StopMusic(Game& g) {
  AudioState& a = g.audio;
  // Without this a switch that was still fading would start its module on the next frame,
  // with the music switch already off.
  a.musicPending = false;
  if (!a.mixer) return;
  a.mixer->Stop(a.MusicChannel);
}

bool MusicChannelActive(Game& g) {
  AudioState& a = g.audio;
  return a.mixer && a.mixer->IsActive(a.MusicChannel);
}

}  // namespace tdx
