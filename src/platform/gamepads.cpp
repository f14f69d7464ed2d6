#include "platform/gamepads.h"

#include <SDL2/SDL.h>

#include <cstring>

namespace tdx {

int StickDirection(int axis) {
  if (axis <= -kStickDeadZone) return -1;
  if (axis >= kStickDeadZone) return 1;
  return 0;
}

Gamepads::Gamepads() {
  started_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  Refresh();
}

Gamepads::~Gamepads() {
  for (Pad& p : pads_) Close(p);
  if (started_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void Gamepads::Close(Pad& pad) {
  if (pad.controller) {
    SDL_GameControllerClose(pad.controller);
  } else if (pad.joystick) {
    SDL_JoystickClose(pad.joystick);
  }
  pad.controller = nullptr;
  pad.joystick = nullptr;
  pad.id = -1;
}

int Gamepads::PadOf(int32_t instanceId) const {
  for (int i = 0; i < kPadCount; ++i) {
    if (pads_[static_cast<size_t>(i)].joystick && pads_[static_cast<size_t>(i)].id == instanceId)
      return i;
  }
  return -1;
}

void Gamepads::Refresh() {
  if (!started_) return;
  for (Pad& p : pads_) {
    if (p.joystick && !SDL_JoystickGetAttached(p.joystick)) Close(p);
  }
  const int devices = SDL_NumJoysticks();
  for (int d = 0; d < devices; ++d) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(d);
    if (id < 0 || PadOf(id) >= 0) continue;
    const SDL_JoystickGUID guid = SDL_JoystickGetDeviceGUID(d);
    // The number this kind of pad had before, else one never given out, else any free one.
    Pad* slot = nullptr;
    for (Pad& p : pads_) {
      if (!slot && !p.joystick && p.used && std::memcmp(p.guid.data(), guid.data, 16) == 0)
        slot = &p;
    }
    for (Pad& p : pads_) {
      if (!slot && !p.used) slot = &p;
    }
    for (Pad& p : pads_) {
      if (!slot && !p.joystick) slot = &p;
    }
    if (!slot) return;  // eight pads are in use; a ninth is not read
    if (SDL_IsGameController(d)) {
      slot->controller = SDL_GameControllerOpen(d);
      slot->joystick = slot->controller ? SDL_GameControllerGetJoystick(slot->controller) : nullptr;
    } else {
      slot->joystick = SDL_JoystickOpen(d);
    }
    if (!slot->joystick) {
      Close(*slot);
      continue;
    }
    slot->id = SDL_JoystickInstanceID(slot->joystick);
    std::memcpy(slot->guid.data(), guid.data, 16);
    slot->used = true;
  }
}

void Gamepads::Read(std::array<uint8_t, 256>& keys) const {
  std::array<bool, kPadButtonCount> down{};
  for (int i = 0; i < kPadCount; ++i) {
    const Pad& p = pads_[static_cast<size_t>(i)];
    // A pad pulled out reads as released at once, before its device event is handled.
    if (!p.joystick || !SDL_JoystickGetAttached(p.joystick)) continue;
    down.fill(false);
    if (p.controller) {
      SDL_GameController* c = p.controller;
      const int stick = StickDirection(SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX));
      down[kPadLeft] = stick < 0 || SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_LEFT);
      down[kPadRight] =
          stick > 0 || SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
      down[kPadA] = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_A);
      down[kPadB] = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_B);
      down[kPadX] = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_X);
      down[kPadY] = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_Y);
      down[kPadLeftShoulder] = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_LEFTSHOULDER);
      down[kPadRightShoulder] = SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER);
    } else {
      // No known layout: the first axis and hat steer, the first six buttons are the face
      // buttons and shoulders, in the order most pads number them.
      SDL_Joystick* j = p.joystick;
      const int stick = SDL_JoystickNumAxes(j) > 0 ? StickDirection(SDL_JoystickGetAxis(j, 0)) : 0;
      const Uint8 hat = SDL_JoystickNumHats(j) > 0 ? SDL_JoystickGetHat(j, 0) : SDL_HAT_CENTERED;
      down[kPadLeft] = stick < 0 || (hat & SDL_HAT_LEFT) != 0;
      down[kPadRight] = stick > 0 || (hat & SDL_HAT_RIGHT) != 0;
      const int buttons = SDL_JoystickNumButtons(j);
      for (int b = 0; b < 6 && b < buttons; ++b)
        down[static_cast<size_t>(kPadA + b)] = SDL_JoystickGetButton(j, b) != 0;
    }
    for (int b = 0; b < kPadButtonCount; ++b) {
      if (down[static_cast<size_t>(b)]) keys[PadKeyCode(i, static_cast<PadButton>(b))] = 0x80;
    }
  }
}

}  // namespace tdx
