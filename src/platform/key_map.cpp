// Physical keys (SDL scancodes, which follow the key's position, not the layout's letter)
// to the Windows virtual-key codes that tandrix.cfg and keys.dat store. Positions are
// named after the US layout, so a French player's "A" key (US "Q" position) reads as Q,
// exactly as the original keyboard polling did.
#include <SDL2/SDL_scancode.h>

#include <array>

#include "platform/platform.h"

namespace tdx {

static_assert(SDL_NUM_SCANCODES == kScancodeCount, "the key table's size must match SDL's");

namespace {

struct ScancodeKey {
  SDL_Scancode scancode;
  uint8_t vk;
};

// Only codes the game has names for are produced; every other key reads as nothing.
constexpr ScancodeKey kScancodeKeys[] = {
    {SDL_SCANCODE_BACKSPACE, 8},
    {SDL_SCANCODE_TAB, 9},
    {SDL_SCANCODE_RETURN, 13},
    {SDL_SCANCODE_KP_ENTER, 13},  // one code for both enter keys, as on Windows
    {SDL_SCANCODE_PAUSE, 19},
    {SDL_SCANCODE_CAPSLOCK, 20},
    {SDL_SCANCODE_ESCAPE, 27},
    {SDL_SCANCODE_SPACE, 32},
    {SDL_SCANCODE_PAGEUP, 33},
    {SDL_SCANCODE_PAGEDOWN, 34},
    {SDL_SCANCODE_END, 35},
    {SDL_SCANCODE_HOME, 36},
    {SDL_SCANCODE_LEFT, 37},
    {SDL_SCANCODE_UP, 38},
    {SDL_SCANCODE_RIGHT, 39},
    {SDL_SCANCODE_DOWN, 40},
    {SDL_SCANCODE_INSERT, 45},
    {SDL_SCANCODE_DELETE, 46},
    {SDL_SCANCODE_0, 48},
    {SDL_SCANCODE_1, 49},
    {SDL_SCANCODE_2, 50},
    {SDL_SCANCODE_3, 51},
    {SDL_SCANCODE_4, 52},
    {SDL_SCANCODE_5, 53},
    {SDL_SCANCODE_6, 54},
    {SDL_SCANCODE_7, 55},
    {SDL_SCANCODE_8, 56},
    {SDL_SCANCODE_9, 57},
    {SDL_SCANCODE_A, 65},
    {SDL_SCANCODE_B, 66},
    {SDL_SCANCODE_C, 67},
    {SDL_SCANCODE_D, 68},
    {SDL_SCANCODE_E, 69},
    {SDL_SCANCODE_F, 70},
    {SDL_SCANCODE_G, 71},
    {SDL_SCANCODE_H, 72},
    {SDL_SCANCODE_I, 73},
    {SDL_SCANCODE_J, 74},
    {SDL_SCANCODE_K, 75},
    {SDL_SCANCODE_L, 76},
    {SDL_SCANCODE_M, 77},
    {SDL_SCANCODE_N, 78},
    {SDL_SCANCODE_O, 79},
    {SDL_SCANCODE_P, 80},
    {SDL_SCANCODE_Q, 81},
    {SDL_SCANCODE_R, 82},
    {SDL_SCANCODE_S, 83},
    {SDL_SCANCODE_T, 84},
    {SDL_SCANCODE_U, 85},
    {SDL_SCANCODE_V, 86},
    {SDL_SCANCODE_W, 87},
    {SDL_SCANCODE_X, 88},
    {SDL_SCANCODE_Y, 89},
    {SDL_SCANCODE_Z, 90},
    {SDL_SCANCODE_LGUI, 91},
    {SDL_SCANCODE_RGUI, 92},
    {SDL_SCANCODE_APPLICATION, 93},
    {SDL_SCANCODE_KP_0, 96},
    {SDL_SCANCODE_KP_1, 97},
    {SDL_SCANCODE_KP_2, 98},
    {SDL_SCANCODE_KP_3, 99},
    {SDL_SCANCODE_KP_4, 100},
    {SDL_SCANCODE_KP_5, 101},
    {SDL_SCANCODE_KP_6, 102},
    {SDL_SCANCODE_KP_7, 103},
    {SDL_SCANCODE_KP_8, 104},
    {SDL_SCANCODE_KP_9, 105},
    {SDL_SCANCODE_KP_MULTIPLY, 106},
    {SDL_SCANCODE_KP_PLUS, 107},
    {SDL_SCANCODE_KP_MINUS, 109},
    {SDL_SCANCODE_KP_PERIOD, 110},
    {SDL_SCANCODE_KP_DIVIDE, 111},
    {SDL_SCANCODE_F1, 112},
    {SDL_SCANCODE_F2, 113},
    {SDL_SCANCODE_F3, 114},
    {SDL_SCANCODE_F4, 115},
    {SDL_SCANCODE_F5, 116},
    {SDL_SCANCODE_F6, 117},
    {SDL_SCANCODE_F7, 118},
    {SDL_SCANCODE_F8, 119},
    {SDL_SCANCODE_F9, 120},
    {SDL_SCANCODE_F10, 121},
    {SDL_SCANCODE_F11, 122},
    {SDL_SCANCODE_F12, 123},
    {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    {SDL_SCANCODE_SCROLLLOCK, 145},
    // Left and right modifiers keep their own codes; the generic shift/ctrl/alt codes
    // (16, 17, 18) are never produced, so two players can use the two shift keys.
    {SDL_SCANCODE_LSHIFT, 160},
    {SDL_SCANCODE_RSHIFT, 161},
    {SDL_SCANCODE_LCTRL, 162},
    {SDL_SCANCODE_RCTRL, 163},
    {SDL_SCANCODE_LALT, 164},
    {SDL_SCANCODE_RALT, 165},
    {SDL_SCANCODE_SEMICOLON, 186},
    {SDL_SCANCODE_EQUALS, 187},
    {SDL_SCANCODE_COMMA, 188},
    {SDL_SCANCODE_MINUS, 189},
    {SDL_SCANCODE_PERIOD, 190},
    {SDL_SCANCODE_SLASH, 191},
    {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_LEFTBRACKET, 219},
    {SDL_SCANCODE_BACKSLASH, 220},
    {SDL_SCANCODE_NONUSHASH, 220},  // ISO keyboards: the key in the US backslash's place
    {SDL_SCANCODE_RIGHTBRACKET, 221},
    {SDL_SCANCODE_APOSTROPHE, 222},
    {SDL_SCANCODE_NONUSBACKSLASH, 226},
};

constexpr std::array<uint8_t, kScancodeCount> BuildTable() {
  std::array<uint8_t, kScancodeCount> t{};
  for (const auto& k : kScancodeKeys) t[static_cast<size_t>(k.scancode)] = k.vk;
  return t;
}

constexpr std::array<uint8_t, kScancodeCount> kTable = BuildTable();

}  // namespace

uint8_t VirtualKeyOfScancode(int scancode) {
  if (scancode < 0 || scancode >= kScancodeCount) return 0;
  return kTable[static_cast<size_t>(scancode)];
}

}  // namespace tdx
