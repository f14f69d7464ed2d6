// Playing effects, speech and music from the game's side.
#pragma once

#include <memory>
#include <string>

#include "audio/mixer.h"

namespace tdx {

struct Game;

// ---- Start-up, in this order (each after the previous). ----
// sounds.dat and music.dat from pak/dat.pak. A table that cannot be read stops start-up:
// false, with g.fatalError naming the archive and the member.
bool LoadSoundTable(Game& g);
bool LoadMusicTable(Game& g);
// Opens the output (never with headless) and loads pak/snd.pak into the sound buffers.
// Without a device the game runs silent: no message, no delay.
void InitAudio(Game& g, bool headless);
// The same over a given layer: the output, then the sound buffers, decoded.
void InitAudio(Game& g, std::unique_ptr<Mixer> mixer);
// The first half of InitAudio with a given layer (tests hand in a FakeMixer): the version
// check and the output; AudioAvailable tells how it went. Loads nothing.
void StartAudio(Game& g, std::unique_ptr<Mixer> mixer);
// pak/music.pak into the module buffers.
void LoadMusic(Game& g);

// ---- Effects. Unknown names, a full channel pool, an empty or undecodable buffer: the
// sound is dropped without a word. ----
// An effect panned by its arena x position (0 left .. 608 right).
void PlaySoundByName(Game& g, const std::string& fileName, double arenaX);
// An effect with a pan of -100 (left) .. 100 (right).
void PlaySound(Game& g, const std::string& fileName, int pan);
// What the match's last step raised, in order; the list is emptied.
void PlayMatchEvents(Game& g);
// Stops one playing effect or announcement started by that name (a network match stepped
// again no longer makes it); nothing when none plays.
void StopEffect(Game& g, const std::string& fileName);
// A spoken announcement (plays even with effect sounds off when speech is on).
void PlaySpeech(Game& g, const std::string& fileName);
// The pan of an arena x: -100 at 0, 0 at 304, 100 at 608, clamped outside.
int ArenaPan(double arenaX);
// The lowest effect channel whose sound has ended, or -1 when all 20 still play.
int FindFreeChannel(Game& g);

// ---- Music: the menu module, the winner module, or a random one of the play list. ----
void RequestMusic(Game& g, const std::string& moduleFileName);  // see music_names.h
void RequestRandomMusic(Game& g);
// Once a frame, after the game flow and the keyboard.
void ServiceMusic(Game& g);
void FadeMusicOut(Game& g, int milliseconds);
// The music switch was turned off: silence now, and forget a switch still waiting.
void StopMusic(Game& g);
bool MusicChannelActive(Game& g);
// Effect channel 0..19.
bool ChannelActive(Game& g, int channel);
// One letter per effect channel: "P" playing, "N" not.
std::string AudioActivityText(Game& g);

// Stops and frees the 20 effect channels, then the music channel, then closes the output.
void ShutdownAudio(Game& g);

}  // namespace tdx
