// The key table: physical keys to the Windows key codes stored in tandrix.cfg.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "platform/platform.h"
#include "players/key_codes.h"

namespace tdx {
namespace {

// Scancodes are USB keyboard usage numbers (the HID usage tables), which is what the
// numbers below are: A is 4, 1 is 30, and so on.
constexpr int kUsageA = 4, kUsage1 = 30, kUsage0 = 39;

std::set<int> NamedCodes() {
  std::set<int> codes;
  for (const auto& k : kKeyCodeNames) codes.insert(k.code);
  return codes;
}

TEST(PlatformKeys, EveryNamedKeyIsReachableAndNothingElseIsProduced) {
  const std::set<int> named = NamedCodes();
  std::set<int> produced;
  for (int sc = 0; sc < kScancodeCount; ++sc) {
    const int vk = VirtualKeyOfScancode(sc);
    if (vk == 0) continue;
    produced.insert(vk);
    EXPECT_TRUE(named.count(vk)) << "scancode " << sc << " gives code " << vk
                                 << ", which has no name";
  }
  for (int code : named) {
    if (IsPadKeyCode(static_cast<uint8_t>(code))) {
      EXPECT_FALSE(produced.count(code)) << "a key gives pad code " << code;
    } else {
      EXPECT_TRUE(produced.count(code)) << "no key gives code " << code;
    }
  }
}

TEST(PlatformKeys, EveryPadButtonHasItsOwnNamedCode) {
  const char* buttons[kPadButtonCount] = {"left", "right", "a", "b", "x", "y", "lb", "rb"};
  std::map<int, std::string> names;
  for (const auto& k : kKeyCodeNames) {
    EXPECT_TRUE(names.emplace(k.code, k.name).second) << "code " << int(k.code) << " twice";
  }
  std::set<int> padCodes;
  for (int pad = 0; pad < kPadCount; ++pad) {
    for (int b = 0; b < kPadButtonCount; ++b) {
      const uint8_t code = PadKeyCode(pad, static_cast<PadButton>(b));
      EXPECT_NE(code, 0);
      EXPECT_TRUE(IsPadKeyCode(code));
      EXPECT_TRUE(padCodes.insert(code).second) << "pad code " << int(code) << " twice";
      EXPECT_EQ(names[code], "pad" + std::to_string(pad + 1) + "_" + buttons[b]);
    }
  }
  // The codes of the keyboard, escape included, are never pad codes.
  for (int sc = 0; sc < kScancodeCount; ++sc) {
    const uint8_t vk = VirtualKeyOfScancode(sc);
    if (vk) {
      EXPECT_FALSE(IsPadKeyCode(vk)) << "scancode " << sc;
    }
  }
  for (const auto& k : kKeyCodeNames) EXPECT_EQ(IsPadKeyCode(k.code), padCodes.count(k.code) == 1);
}

TEST(PlatformKeys, LettersAndDigitsFollowTheKeyPositions) {
  for (int i = 0; i < 26; ++i)
    EXPECT_EQ(VirtualKeyOfScancode(kUsageA + i), 'A' + i) << "letter " << char('A' + i);
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(VirtualKeyOfScancode(kUsage1 + i), '1' + i) << "digit " << i + 1;
  EXPECT_EQ(VirtualKeyOfScancode(kUsage0), '0');
}

TEST(PlatformKeys, NamedKeys) {
  struct Case {
    int scancode;
    int vk;
    const char* what;
  };
  const Case cases[] = {
      {79, 39, "right arrow"},
      {80, 37, "left arrow"},
      {81, 40, "down arrow"},
      {82, 38, "up arrow"},
      {40, 13, "enter"},
      {88, 13, "keypad enter"},
      {41, 27, "escape"},
      {44, 32, "space"},
      {43, 9, "tab"},
      {224, 162, "left ctrl"},
      {225, 160, "left shift"},
      {226, 164, "left alt"},
      {227, 91, "left gui"},
      {228, 163, "right ctrl"},
      {229, 161, "right shift"},
      {230, 165, "right alt"},
      {231, 92, "right gui"},
      {98, 96, "keypad 0"},
      {89, 97, "keypad 1"},
      {97, 105, "keypad 9"},
      {58, 112, "f1"},
      {69, 123, "f12"},
      {100, 226, "key left of z on ISO keyboards"},
      {50, 220, "ISO hash key (US backslash position)"},
  };
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyOfScancode(c.scancode), c.vk) << c.what;
}

TEST(PlatformKeys, GenericModifierCodesAndOutOfRangeScancodesGiveNothing) {
  for (int sc = 0; sc < kScancodeCount; ++sc) {
    const int vk = VirtualKeyOfScancode(sc);
    EXPECT_TRUE(vk != 16 && vk != 17 && vk != 18)
        << "scancode " << sc << " gives generic modifier " << vk;
  }
  for (int sc : {-1, kScancodeCount, 100000, -100000}) EXPECT_EQ(VirtualKeyOfScancode(sc), 0) << sc;
}

}  // namespace
}  // namespace tdx
