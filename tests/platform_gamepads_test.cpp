// Gamepads as keys, driven through SDL's virtual joysticks (no pad needs to be plugged in).
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "app/game.h"
#include "app/round_cycle.h"
#include "match/arena/worm.h"
#include "platform/gamepads.h"
#include "players/input.h"

namespace tdx {
namespace {

TEST(PadStick, OnlyPushesBeyondTheDeadZoneCount) {
  struct Case {
    int axis;
    int direction;
  };
  const Case cases[] = {
      {0, 0},
      {-1, 0},
      {3000, 0},
      {-3000, 0},
      {kStickDeadZone - 1, 0},
      {-kStickDeadZone + 1, 0},
      {kStickDeadZone, 1},
      {-kStickDeadZone, -1},
      {32767, 1},
      {-32768, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(StickDirection(c.axis), c.direction) << c.axis;
}

std::set<int> Down(const std::array<uint8_t, 256>& keys) {
  std::set<int> down;
  for (int k = 0; k < 256; ++k) {
    if (keys[static_cast<size_t>(k)]) down.insert(k);
  }
  return down;
}

// A virtual pad: the handle the test moves it with.
struct VirtualPad {
  SDL_Joystick* joystick = nullptr;
  int32_t id = -1;
};

class Pads : public ::testing::Test {
 protected:
  void SetUp() override {
    pads_ = std::make_unique<Gamepads>();
    if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER)) GTEST_SKIP() << "no joystick support in SDL";
  }
  void TearDown() override {
    for (VirtualPad& p : attached_) Detach(p);
    pads_.reset();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }

  // A pad SDL knows the layout of (a game controller), or a bare joystick with two axes,
  // eight buttons and a hat. Plugging in is seen at the next Refresh, as on a device event.
  VirtualPad Attach(bool controller) {
    const int d = controller ? SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER,
                                                         SDL_CONTROLLER_AXIS_MAX,
                                                         SDL_CONTROLLER_BUTTON_MAX, 0)
                             : SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 2, 8, 1);
    EXPECT_GE(d, 0) << SDL_GetError();
    VirtualPad p;
    p.joystick = SDL_JoystickOpen(d);
    EXPECT_NE(p.joystick, nullptr) << SDL_GetError();
    p.id = SDL_JoystickInstanceID(p.joystick);
    attached_.push_back(p);
    pads_->Refresh();
    return p;
  }
  void Detach(VirtualPad& p) {
    if (!p.joystick) return;
    for (int d = 0; d < SDL_NumJoysticks(); ++d) {
      if (SDL_JoystickGetDeviceInstanceID(d) == p.id) SDL_JoystickDetachVirtual(d);
    }
    SDL_JoystickClose(p.joystick);
    for (VirtualPad& a : attached_) {
      if (a.id == p.id) a.joystick = nullptr;
    }
    p.joystick = nullptr;
  }
  std::array<uint8_t, 256> Keys() {
    SDL_JoystickUpdate();
    std::array<uint8_t, 256> keys{};
    pads_->Read(keys);
    return keys;
  }

  std::unique_ptr<Gamepads> pads_;
  std::vector<VirtualPad> attached_;
};

TEST_F(Pads, ControllerButtonsDpadAndStickReadAsTheirPadKeys) {
  VirtualPad v = Attach(true);
  const int pad = pads_->PadOf(v.id);
  ASSERT_GE(pad, 0);
  auto code = [pad](PadButton b) { return int(PadKeyCode(pad, b)); };
  struct Case {
    const char* what;
    int button;  // SDL controller button held, or -1
    int stick;   // left stick x
    std::set<int> keys;
  };
  const Case cases[] = {
      {"nothing", -1, 0, {}},
      {"a", SDL_CONTROLLER_BUTTON_A, 0, {code(kPadA)}},
      {"b", SDL_CONTROLLER_BUTTON_B, 0, {code(kPadB)}},
      {"x", SDL_CONTROLLER_BUTTON_X, 0, {code(kPadX)}},
      {"y", SDL_CONTROLLER_BUTTON_Y, 0, {code(kPadY)}},
      {"left shoulder", SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 0, {code(kPadLeftShoulder)}},
      {"right shoulder", SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 0, {code(kPadRightShoulder)}},
      {"d-pad left", SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0, {code(kPadLeft)}},
      {"d-pad right", SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0, {code(kPadRight)}},
      {"start is no key", SDL_CONTROLLER_BUTTON_START, 0, {}},
      {"d-pad up is no key", SDL_CONTROLLER_BUTTON_DPAD_UP, 0, {}},
      {"stick left", -1, -20000, {code(kPadLeft)}},
      {"stick right", -1, 32767, {code(kPadRight)}},
      {"stick resting off centre", -1, 9000, {}},
      {"stick trembling just inside the dead zone", -1, -(kStickDeadZone - 1), {}},
      {"stick right while a is held",
       SDL_CONTROLLER_BUTTON_A,
       20000,
       {code(kPadA), code(kPadRight)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.button >= 0) SDL_JoystickSetVirtualButton(v.joystick, c.button, 1);
    SDL_JoystickSetVirtualAxis(v.joystick, SDL_CONTROLLER_AXIS_LEFTX, static_cast<Sint16>(c.stick));
    EXPECT_EQ(Down(Keys()), c.keys);
    if (c.button >= 0) SDL_JoystickSetVirtualButton(v.joystick, c.button, 0);
    SDL_JoystickSetVirtualAxis(v.joystick, SDL_CONTROLLER_AXIS_LEFTX, 0);
    EXPECT_EQ(Down(Keys()), std::set<int>{}) << "released";
  }
}

TEST_F(Pads, JoystickWithoutALayoutReadsItsFirstAxisHatAndSixButtons) {
  VirtualPad v = Attach(false);
  const int pad = pads_->PadOf(v.id);
  ASSERT_GE(pad, 0);
  for (int b = 0; b < 8; ++b) {
    SDL_JoystickSetVirtualButton(v.joystick, b, 1);
    const std::set<int> expected =
        b < 6 ? std::set<int>{PadKeyCode(pad, static_cast<PadButton>(kPadA + b))} : std::set<int>{};
    EXPECT_EQ(Down(Keys()), expected) << "button " << b;
    SDL_JoystickSetVirtualButton(v.joystick, b, 0);
  }
  SDL_JoystickSetVirtualHat(v.joystick, 0, SDL_HAT_LEFTUP);
  EXPECT_EQ(Down(Keys()), std::set<int>{PadKeyCode(pad, kPadLeft)});
  SDL_JoystickSetVirtualHat(v.joystick, 0, SDL_HAT_RIGHT);
  EXPECT_EQ(Down(Keys()), std::set<int>{PadKeyCode(pad, kPadRight)});
  SDL_JoystickSetVirtualHat(v.joystick, 0, SDL_HAT_CENTERED);
  SDL_JoystickSetVirtualAxis(v.joystick, 0, -32768);
  EXPECT_EQ(Down(Keys()), std::set<int>{PadKeyCode(pad, kPadLeft)});
  SDL_JoystickSetVirtualAxis(v.joystick, 0, 4000);
  SDL_JoystickSetVirtualAxis(v.joystick, 1, 32767);  // the second axis steers nothing
  EXPECT_EQ(Down(Keys()), std::set<int>{});
}

TEST_F(Pads, PadsReadTogetherEachUnderItsOwnNumber) {
  VirtualPad a = Attach(true);
  VirtualPad b = Attach(false);
  const int padA = pads_->PadOf(a.id), padB = pads_->PadOf(b.id);
  ASSERT_GE(padA, 0);
  ASSERT_GE(padB, 0);
  EXPECT_NE(padA, padB);
  SDL_JoystickSetVirtualButton(a.joystick, SDL_CONTROLLER_BUTTON_A, 1);
  SDL_JoystickSetVirtualButton(b.joystick, 0, 1);
  EXPECT_EQ(Down(Keys()), (std::set<int>{PadKeyCode(padA, kPadA), PadKeyCode(padB, kPadA)}));
}

// The game reading the key table the platform fills: a worm steered by a pad.
class PadsInGame : public Pads {
 protected:
  void SetUp() override {
    Pads::SetUp();
    if (IsSkipped()) return;
    CreateWorms(g);
    for (auto& p : g.settings.players) p.controller = CtrlOff;
    g.phase = GamePhase::Playing;
  }
  TCerv& Human(int slot, uint8_t l, uint8_t r, uint8_t f) {
    g.settings.players[slot].controller = CtrlHuman;
    TCerv& w = g.Worm(slot);
    w.alive = 1;
    w.kind = WormKind::Traveller;
    w.leftKey = l;
    w.rightKey = r;
    w.fireKey = f;
    return w;
  }
  // One frame: the platform's key table (pads only here), the poll, the controls.
  void Frame() {
    g.input.Polled = Keys();
    processkeyboard(g);
    if (g.phase == GamePhase::Playing) PlayControls(g);
  }
  Game g;
};

TEST_F(PadsInGame, StickTurnsAWormAndAPadPulledOutLetsGoThenComesBackUnderItsNumber) {
  VirtualPad v = Attach(true);
  const int pad = pads_->PadOf(v.id);
  ASSERT_GE(pad, 0);
  TCerv& w =
      Human(0, PadKeyCode(pad, kPadLeft), PadKeyCode(pad, kPadRight), PadKeyCode(pad, kPadA));
  SDL_JoystickSetVirtualAxis(v.joystick, SDL_CONTROLLER_AXIS_LEFTX, -30000);
  Frame();
  EXPECT_TRUE(w.turnLeft);
  EXPECT_FALSE(w.turnRight);

  // Pulled out mid-turn: released at once, before the device event is even handled.
  Detach(v);
  Frame();
  EXPECT_FALSE(w.turnLeft);
  EXPECT_FALSE(w.turnRight);
  pads_->Refresh();
  Frame();
  EXPECT_EQ(Down(g.input.Keys), std::set<int>{});

  // Another kind of pad plugged in meanwhile does not take the absent pad's number...
  VirtualPad other = Attach(false);
  EXPECT_NE(pads_->PadOf(other.id), pad);
  // ...and the pad plugged in again steers the same worm at once.
  VirtualPad again = Attach(true);
  EXPECT_EQ(pads_->PadOf(again.id), pad);
  SDL_JoystickSetVirtualButton(again.joystick, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1);
  Frame();
  EXPECT_TRUE(w.turnRight);
  EXPECT_FALSE(w.turnLeft);
}

TEST_F(PadsInGame, KeyPromptSeesAPadButtonPressedAloneThenReleased) {
  g.phase = GamePhase::CaptureLeftKey;
  VirtualPad v = Attach(true);
  const int pad = pads_->PadOf(v.id);
  ASSERT_GE(pad, 0);
  SDL_JoystickSetVirtualAxis(v.joystick, SDL_CONTROLLER_AXIS_LEFTX, 7000);  // resting off centre
  Frame();
  EXPECT_FALSE(SingleKeyDown(g));
  SDL_JoystickSetVirtualButton(v.joystick, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 1);
  Frame();
  Frame();
  EXPECT_FALSE(NoKeyDown(g));
  SDL_JoystickSetVirtualButton(v.joystick, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 0);
  Frame();
  EXPECT_TRUE(SingleKeyDown(g));
  EXPECT_TRUE(NoKeyDown(g));
  EXPECT_EQ(LastKeyDown(g), PadKeyCode(pad, kPadRightShoulder));
}

}  // namespace
}  // namespace tdx
