// Gamepads as extra keys: up to eight pads, plugged in and pulled out at any time, whose
// left/right, face buttons and shoulders read as the pad key codes of the key table.
#pragma once

#include <array>
#include <cstdint>

#include "players/key_codes.h"

struct _SDL_GameController;
struct _SDL_Joystick;

namespace tdx {

// A stick reads as pushed only beyond half its travel: a worn stick resting off centre,
// or one that trembles, never turns a worm.
inline constexpr int kStickDeadZone = 16384;

// -1 pushed left, 1 pushed right, 0 inside the dead zone (SDL axis values, -32768..32767).
int StickDirection(int axis);

class Gamepads {
 public:
  // Starts SDL's game-controller layer and opens the pads already plugged in. Without the
  // layer (no joystick support) there are simply no pads.
  Gamepads();
  ~Gamepads();
  Gamepads(const Gamepads&) = delete;
  Gamepads& operator=(const Gamepads&) = delete;

  // Opens pads plugged in since and lets go of pads pulled out; called on SDL's device
  // events. A pad plugged in again takes back its old number.
  void Refresh();
  // Sets the keys of every button held on a plugged-in pad (the table is not cleared).
  void Read(std::array<uint8_t, 256>& keys) const;
  // The number (0..7) of the pad with that SDL joystick instance id, or -1.
  int PadOf(int32_t instanceId) const;

 private:
  struct Pad {
    _SDL_GameController* controller = nullptr;  // when SDL knows the pad's layout
    _SDL_Joystick* joystick = nullptr;          // open while plugged in
    int32_t id = -1;                            // SDL's instance id while open
    std::array<uint8_t, 16> guid{};             // the kind of pad that last had the number
    bool used = false;
  };
  void Close(Pad& pad);

  bool started_ = false;
  std::array<Pad, kPadCount> pads_{};
};

}  // namespace tdx
