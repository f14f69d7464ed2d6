// The keys the game knows: Windows virtual-key codes (tandrix.cfg stores these) and the
// names keys.dat gives them. The platform maps physical keys to these codes; the data
// tools draw a picture for every name.
#pragma once

#include <cstdint>

namespace tdx {

struct KeyCodeName {
  uint8_t code;
  const char* name;
};

inline constexpr uint8_t VK_Escape = 27;

// Gamepads read as keys, so tandrix.cfg binds them like any key and everything that reads
// keys reads pads. Each of the eight pads has a block of eight codes, in ranges no key of
// the keyboard gives (166-181 are Windows' browser and media keys, which the game never
// reads; 193-216 and 227-250 are reserved or vendor codes there). The codes are stored in
// settings files: never move them.
inline constexpr int kPadCount = 8;
enum PadButton : uint8_t {
  kPadLeft,   // d-pad or left stick
  kPadRight,  // d-pad or left stick
  kPadA,
  kPadB,
  kPadX,
  kPadY,
  kPadLeftShoulder,
  kPadRightShoulder,
  kPadButtonCount
};
inline constexpr uint8_t kPadFirstCode[kPadCount] = {166, 174, 193, 201, 209, 227, 235, 243};

// The code of a button of pad 0..7.
constexpr uint8_t PadKeyCode(int pad, PadButton button) {
  return static_cast<uint8_t>(kPadFirstCode[pad] + button);
}

constexpr bool IsPadKeyCode(uint8_t code) {
  for (uint8_t first : kPadFirstCode) {
    if (code >= first && code < first + kPadButtonCount) return true;
  }
  return false;
}

inline constexpr KeyCodeName kKeyCodeNames[] = {
    {8, "backspace"},
    {9, "tab"},
    {13, "enter"},
    {19, "pause"},
    {20, "caps_lock"},
    {27, "escape"},
    {32, "space"},
    {33, "page_up"},
    {34, "page_down"},
    {35, "end"},
    {36, "home"},
    {37, "left"},
    {38, "up"},
    {39, "right"},
    {40, "down"},
    {45, "insert"},
    {46, "delete"},
    {48, "0"},
    {49, "1"},
    {50, "2"},
    {51, "3"},
    {52, "4"},
    {53, "5"},
    {54, "6"},
    {55, "7"},
    {56, "8"},
    {57, "9"},
    {65, "a"},
    {66, "b"},
    {67, "c"},
    {68, "d"},
    {69, "e"},
    {70, "f"},
    {71, "g"},
    {72, "h"},
    {73, "i"},
    {74, "j"},
    {75, "k"},
    {76, "l"},
    {77, "m"},
    {78, "n"},
    {79, "o"},
    {80, "p"},
    {81, "q"},
    {82, "r"},
    {83, "s"},
    {84, "t"},
    {85, "u"},
    {86, "v"},
    {87, "w"},
    {88, "x"},
    {89, "y"},
    {90, "z"},
    {91, "left_win"},
    {92, "right_win"},
    {93, "menu"},
    {96, "num_0"},
    {97, "num_1"},
    {98, "num_2"},
    {99, "num_3"},
    {100, "num_4"},
    {101, "num_5"},
    {102, "num_6"},
    {103, "num_7"},
    {104, "num_8"},
    {105, "num_9"},
    {106, "num_multiply"},
    {107, "num_plus"},
    {109, "num_minus"},
    {110, "num_dot"},
    {111, "num_divide"},
    {112, "f1"},
    {113, "f2"},
    {114, "f3"},
    {115, "f4"},
    {116, "f5"},
    {117, "f6"},
    {118, "f7"},
    {119, "f8"},
    {120, "f9"},
    {121, "f10"},
    {122, "f11"},
    {123, "f12"},
    {144, "num_lock"},
    {145, "scroll_lock"},
    {160, "left_shift"},
    {161, "right_shift"},
    {162, "left_ctrl"},
    {163, "right_ctrl"},
    {164, "left_alt"},
    {165, "right_alt"},
    {186, "semicolon"},
    {187, "equals"},
    {188, "comma"},
    {189, "minus"},
    {190, "period"},
    {191, "slash"},
    {192, "grave"},
    {219, "left_bracket"},
    {220, "backslash"},
    {221, "right_bracket"},
    {222, "apostrophe"},
    {226, "less_than"},
    // Gamepads (see kPadFirstCode).
    {166, "pad1_left"},
    {167, "pad1_right"},
    {168, "pad1_a"},
    {169, "pad1_b"},
    {170, "pad1_x"},
    {171, "pad1_y"},
    {172, "pad1_lb"},
    {173, "pad1_rb"},
    {174, "pad2_left"},
    {175, "pad2_right"},
    {176, "pad2_a"},
    {177, "pad2_b"},
    {178, "pad2_x"},
    {179, "pad2_y"},
    {180, "pad2_lb"},
    {181, "pad2_rb"},
    {193, "pad3_left"},
    {194, "pad3_right"},
    {195, "pad3_a"},
    {196, "pad3_b"},
    {197, "pad3_x"},
    {198, "pad3_y"},
    {199, "pad3_lb"},
    {200, "pad3_rb"},
    {201, "pad4_left"},
    {202, "pad4_right"},
    {203, "pad4_a"},
    {204, "pad4_b"},
    {205, "pad4_x"},
    {206, "pad4_y"},
    {207, "pad4_lb"},
    {208, "pad4_rb"},
    {209, "pad5_left"},
    {210, "pad5_right"},
    {211, "pad5_a"},
    {212, "pad5_b"},
    {213, "pad5_x"},
    {214, "pad5_y"},
    {215, "pad5_lb"},
    {216, "pad5_rb"},
    {227, "pad6_left"},
    {228, "pad6_right"},
    {229, "pad6_a"},
    {230, "pad6_b"},
    {231, "pad6_x"},
    {232, "pad6_y"},
    {233, "pad6_lb"},
    {234, "pad6_rb"},
    {235, "pad7_left"},
    {236, "pad7_right"},
    {237, "pad7_a"},
    {238, "pad7_b"},
    {239, "pad7_x"},
    {240, "pad7_y"},
    {241, "pad7_lb"},
    {242, "pad7_rb"},
    {243, "pad8_left"},
    {244, "pad8_right"},
    {245, "pad8_a"},
    {246, "pad8_b"},
    {247, "pad8_x"},
    {248, "pad8_y"},
    {249, "pad8_lb"},
    {250, "pad8_rb"},
};

// num_enter shares the code of enter, as on Windows.

}  // namespace tdx
