// What a step of the match lets its players see and hear: raised by the rules in the order
// they happen, shown by the program right after the step and heard at the end of the
// frame. A step that is only re-run (a replay sought forward, a frame stepped again) can
// drop them unheard.
#pragma once

#include <cstdint>
#include <vector>

namespace tdx {

// What ended a worm, told with its Death event. Only the telling: the rules never read it.
enum class DeathCause : uint8_t {
  Unknown,
  OwnTrail,       // ran into its own trail
  Trail,          // ran into another worm's trail (by: whose)
  Wall,           // ran into a neutral wall a wall walker left
  Edge,           // left the arena
  Fireball,       // a killer's fireball
  Laser,          // a laser shooter's beams
  Shot,           // a shooter's bullets
  Rocket,         // a rocket launcher's rocket
  AtomicBomb,     // an atomic bomber's blast (by may be the dead worm itself)
  Virus,          // an infester's or controller's virus
  InfernalFire,   // the fires circling an infernal worm
  BonusFireBall,  // a fire ball thrown by the fire bonus (by: its eater)
  Digger,         // a digger let loose by the digger bonus (by: its eater)
  Bomb,           // a bomb laid by the bomb bonus (by: its eater)
};

// Who and what killed a worm; by is a slot 0..11, or -1 when nobody did.
struct DeathBlame {
  DeathCause cause = DeathCause::Unknown;
  int by = -1;
};

struct MatchEvent {
  enum class Kind : uint8_t {
    Sound,          // an effect panned by the arena x where it happened
    SoundPanned,    // an effect with a fixed pan (value: -100 left .. 100 right)
    Speech,         // a spoken announcement
    RoundPrepared,  // the arena is set for a new round
    CountdownWord,  // "3", "2", "1" or "go" (name) shows at view x (value)
    PlayBegins,     // the countdown is over
    RoundScored,    // a round ended and the match goes on (value: the winner, -1 a draw)
    MatchOver,      // the last round ended (value: its winner, -1 a draw)
    PlayerReady,    // a person said they are ready for the next round (value: slot)
    AllReady,       // everybody is ready: the next round begins
    Death,          // a worm died (value: its slot; x: where, in arena units)
    TooFewPlayers,  // the set-up read at a round start leaves fewer than two players (or
                    // teams) taking part: the match ends (value: how many)
  };
  Kind kind = Kind::Sound;
  const char* name = "";  // a file or word name; always a literal of the rules
  double x = 0;           // Sound: arena x, 0 .. 608
  int value = 0;
  DeathBlame blame;  // Death: what killed the worm and whose it was
};

struct MatchEvents {
  std::vector<MatchEvent> raised;  // since the program last took them

  void Raise(MatchEvent::Kind kind, int value = 0, const char* name = "") {
    raised.push_back({kind, name, 0, value, {}});
  }
  void Sound(const char* name, double arenaX) {
    raised.push_back({MatchEvent::Kind::Sound, name, arenaX, 0, {}});
  }
  void SoundPanned(const char* name, int pan) {
    raised.push_back({MatchEvent::Kind::SoundPanned, name, 0, pan, {}});
  }
  void Speech(const char* name) { Raise(MatchEvent::Kind::Speech, 0, name); }
  void Clear() { raised.clear(); }
};

}  // namespace tdx
