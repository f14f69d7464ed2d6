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

inline constexpr KeyCodeName kKeyCodeNames[] = {
    {8, "backspace"}, {9, "tab"}, {13, "enter"}, {19, "pause"}, {20, "caps_lock"},
    {27, "escape"}, {32, "space"}, {33, "page_up"}, {34, "page_down"}, {35, "end"},
    {36, "home"}, {37, "left"}, {38, "up"}, {39, "right"}, {40, "down"},
    {45, "insert"}, {46, "delete"},
    {48, "0"}, {49, "1"}, {50, "2"}, {51, "3"}, {52, "4"}, {53, "5"}, {54, "6"}, {55, "7"},
    {56, "8"}, {57, "9"},
    {65, "a"}, {66, "b"}, {67, "c"}, {68, "d"}, {69, "e"}, {70, "f"}, {71, "g"}, {72, "h"},
    {73, "i"}, {74, "j"}, {75, "k"}, {76, "l"}, {77, "m"}, {78, "n"}, {79, "o"}, {80, "p"},
    {81, "q"}, {82, "r"}, {83, "s"}, {84, "t"}, {85, "u"}, {86, "v"}, {87, "w"}, {88, "x"},
    {89, "y"}, {90, "z"},
    {91, "left_win"}, {92, "right_win"}, {93, "menu"},
    {96, "num_0"}, {97, "num_1"}, {98, "num_2"}, {99, "num_3"}, {100, "num_4"},
    {101, "num_5"}, {102, "num_6"}, {103, "num_7"}, {104, "num_8"}, {105, "num_9"},
    {106, "num_multiply"}, {107, "num_plus"}, {109, "num_minus"}, {110, "num_dot"},
    {111, "num_divide"},
    {112, "f1"}, {113, "f2"}, {114, "f3"}, {115, "f4"}, {116, "f5"}, {117, "f6"},
    {118, "f7"}, {119, "f8"}, {120, "f9"}, {121, "f10"}, {122, "f11"}, {123, "f12"},
    {144, "num_lock"}, {145, "scroll_lock"},
    {160, "left_shift"}, {161, "right_shift"}, {162, "left_ctrl"}, {163, "right_ctrl"},
    {164, "left_alt"}, {165, "right_alt"},
    {186, "semicolon"}, {187, "equals"}, {188, "comma"}, {189, "minus"}, {190, "period"},
    {191, "slash"}, {192, "grave"}, {219, "left_bracket"}, {220, "backslash"},
    {221, "right_bracket"}, {222, "apostrophe"}, {226, "less_than"},
};

// num_enter shares the code of enter, as on Windows.

}  // namespace tdx
