#include "default_settings.h"

#include <cstring>

namespace tdx {

SettingsBlock DefaultSettings() {
  // Left, right and fire keys of each slot (Windows virtual-key codes): arrows with up to
  // fire, then left-hand and other comfortable clusters, so a slot switched on later in
  // the set-up screen already has keys that do not clash.
  static const uint8_t kKeys[12][3] = {
      {37, 39, 38},     // left, right, up
      {65, 68, 87},     // a, d, w
      {74, 76, 73},     // j, l, i
      {100, 102, 104},  // num 4, num 6, num 8
      {90, 67, 88},     // z, c, x
      {86, 78, 66},     // v, n, b
      {70, 72, 71},     // f, h, g
      {49, 51, 50},     // 1, 3, 2
      {55, 57, 56},     // 7, 9, 8
      {188, 191, 190},  // comma, slash, period
      {81, 69, 83},     // q, e, s
      {85, 79, 75},     // u, o, k
  };
  SettingsBlock b;
  std::memset(&b, 0, sizeof b);
  for (int i = 0; i < 12; ++i) {
    PlayerSetup& p = b.players[i];
    p.controller = i < 2 ? CtrlHuman : i < 4 ? CtrlCpuIq10 : CtrlOff;
    p.kind = tdx::kKindRandomByte;
    p.leftKey = kKeys[i][0];
    p.rightKey = kKeys[i][1];
    p.fireKey = kKeys[i][2];
    p.team = static_cast<uint8_t>(i % 4 + 1);
  }
  GameSetup& s = b.game;
  s.bonus = 1;
  s.speedMode = 0;  // accelerating
  s.startPosition = static_cast<uint8_t>(StartPositionRule::IntoTheMiddle);
  s.showGameNumber = s.showGameTime = s.showRealTime = s.showScore = 1;
  s.positions = 1;
  s.scoreLimit = 1;     // 10 rounds
  s.constantSpeed = 4;  // 70
  s.fromSpeed = 2;      // 50
  s.toSpeed = 7;        // 100
  s.sounds = s.backgroundEffect = s.speech = s.music = 1;
  s.rightLeft = 0;
  return b;
}

}  // namespace tdx
