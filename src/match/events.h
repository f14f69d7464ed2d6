// What a step of the match lets its players hear: raised by the rules in the order they
// happen, played by the program right after the step. A step that is only re-run (a
// replay sought forward, a frame stepped again) can drop them unheard.
#pragma once

#include <cstdint>
#include <vector>

namespace tdx {

struct MatchEvent {
  enum class Kind : uint8_t {
    Sound,        // an effect panned by the arena x where it happened
    SoundPanned,  // an effect with a fixed pan, -100 left .. 100 right
  };
  Kind kind = Kind::Sound;
  const char* name = "";  // the effect's file name; always a literal of the rules
  double x = 0;           // Sound: arena x, 0 .. 608
  int pan = 0;            // SoundPanned
};

struct MatchEvents {
  std::vector<MatchEvent> raised;  // since the program last took them

  void Sound(const char* name, double arenaX) {
    raised.push_back({MatchEvent::Kind::Sound, name, arenaX, 0});
  }
  void SoundPanned(const char* name, int pan) {
    raised.push_back({MatchEvent::Kind::SoundPanned, name, 0, pan});
  }
  void Clear() { raised.clear(); }
};

}  // namespace tdx
