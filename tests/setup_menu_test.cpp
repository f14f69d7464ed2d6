// The set-up screen: the layout, every pop-up committing its setting, the key prompt, the
// toggles with their sounds, Escape, and the file that must always match the screen.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/game.h"
#include "app/game_flow.h"
#include "assets/catalogue.h"
#include "audio/fake_mixer.h"
#include "audio/music_names.h"
#include "audio/sound.h"
#include "audio_fixtures.h"
#include "display/hud.h"
#include "menu/setup_help.h"
#include "menu/setup_menu.h"
#include "players/input.h"
#include "players/key_codes.h"
#include "players/key_names.h"
#include "support/game_fixture.h"

namespace fs = std::filesystem;
using namespace tdx;
using tdx::testing::AddWord;
using tdx::testing::Bytes;

namespace {

constexpr int kWordWidth = 40;
constexpr int kWordHeight = 14;

// Bytes of the settings block.
std::vector<uint8_t> BlockBytes(const SettingsBlock& b) {
  const auto* p = reinterpret_cast<const uint8_t*>(&b);
  return std::vector<uint8_t>(p, p + sizeof b);
}

// A valid set-up in which every byte a test changes starts at another value.
SettingsBlock StartingBlock() {
  SettingsBlock b;
  std::memset(&b, 0, sizeof b);
  for (int i = 0; i < 12; ++i) {
    PlayerSetup& p = b.players[i];
    p.controller = i < 2 ? CtrlHuman : CtrlOff;
    p.kind = 2;
    p.reserved[0] = static_cast<uint8_t>(0xA0 + i);  // reserved bytes must survive saves
    p.leftKey = 37;
    p.rightKey = 39;
    p.fireKey = 38;
    p.team = 1;
  }
  GameSetup& s = b.game;
  s.bonus = 1;
  s.speedMode = 0;
  s.startPosition = 1;
  s.showGameNumber = s.showGameTime = s.showRealTime = s.showScore = s.positions = 1;
  s.scoreLimit = 1;
  s.constantSpeed = 4;
  s.fromSpeed = 2;
  s.toSpeed = 7;
  s.sounds = s.backgroundEffect = s.speech = s.music = 1;
  s.reserved[2] = 0x5C;
  return b;
}

class SetupScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tdx_setup_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    g.folders = GameFolderAt(dir.string());
    for (const char* w : {"back",
                          "player",
                          "team",
                          "active",
                          "left",
                          "right",
                          "fire",
                          "job",
                          "off",
                          "human",
                          "cpuiq0",
                          "cpuiq10",
                          "w_random",
                          "1c",
                          "2c",
                          "3c",
                          "4c",
                          "empty",
                          "press_a_key",
                          "bonus",
                          "speed",
                          "from",
                          "to",
                          "starting_position",
                          "score_limit",
                          "game_number",
                          "game_time",
                          "real_time",
                          "score",
                          "positions",
                          "background_effect",
                          "sounds",
                          "speech",
                          "music",
                          "on",
                          "constant",
                          "accelerating",
                          "show",
                          "hide",
                          "surprise",
                          "rightleft",
                          "leftright",
                          "f12",
                          "up",
                          "j",
                          "l",
                          "escape"}) {
      AddWord(g, w, kWordWidth, kWordHeight, kWordWidth, kWordHeight);
    }
    for (int k = 1; k <= 20; ++k) AddWord(g, KindWord(k), kWordWidth, kWordHeight, kWordWidth, 14);
    for (int v = 0; v < 10; ++v) AddWord(g, SpeedName(v), kWordWidth, kWordHeight, 30, 14);
    for (int v = 0; v < 6; ++v) {
      AddWord(g, ScoreLimitWord(v), kWordWidth, kWordHeight, 30, 14);
      AddWord(g, StartPositionWord(v), kWordWidth, kWordHeight, kWordWidth, 14);
      AddWord(g, StartPositionWord(v) + "_pic", 64, 64);
    }
    g.input.KeyNameTable = {{37, "left"}, {39, "right"}, {38, "up"},
                            {74, "j"},    {76, "l"},     {27, "escape"}};
    g.TitleSprite = g.scene.CreateSprite();
    g.TitleSprite->x = 320;
    g.TitleSprite->y = 144;

    // Each sound buffer holds its own name, so the recording mixer names what played.
    const char* sounds[] = {"menuclick.mp3", "on.mp3", "off.mp3", "key.mp3"};
    for (int slot = 0; slot < 4; ++slot) {
      g.audio.SoundTable.push_back({slot, sounds[slot]});
      g.audio.SoundStreams[static_cast<size_t>(slot)] = Bytes(sounds[slot]);
    }
    g.audio.MusicTable.push_back({0, kMenuModule, 1, 1, 100});
    g.audio.MusicStreams[0] = Bytes(kMenuModule);
    auto fake = std::make_unique<FakeMixer>(&g.Now);
    mixer = fake.get();
    StartAudio(g, std::move(fake));

    g.Now = 10;
    UseSettings(StartingBlock());
  }
  void TearDown() override { fs::remove_all(dir); }

  // The block in memory and in tandrix.cfg, and the set-up screen showing it.
  void UseSettings(const SettingsBlock& b) {
    g.settings = b;
    std::string error;
    ASSERT_TRUE(SaveSettings(CfgPath(), b, error)) << error;
    saved = BlockBytes(b);
    g.Now += 5;  // earlier cases' sounds have ended and freed their channels
    g.menu.MainList().mode = 1;
    g.menu.PopupFrameShown = false;
    BuildSetupMenu(g);
    g.phase = GamePhase::SetupMenu;
  }
  std::string CfgPath() const { return (dir / "tandrix.cfg").string(); }
  std::vector<uint8_t> FileBytes() const {
    std::ifstream f(CfgPath(), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
  }

  // One frame as the frame loop runs it: the game flow, then the keyboard poll, which
  // takes `down` as the keys held now.
  void Frame(const std::set<int>& down = {}) {
    g.FrameDelta = 0.02;
    g.Now += 0.02;
    GameFlowStep(g);
    g.input.Polled.fill(0);
    for (int k : down) g.input.Polled[static_cast<size_t>(k)] = 1;
    processkeyboard(g);
  }
  const TMenuVrchol* Node(int tag) const { return g.menu.MainList().FindTag(tag); }
  void PointAt(int x, int y) {
    g.menu.MouseX = x;
    g.menu.MouseY = y;
  }
  // Points inside the first word with that tag and clicks.
  void Click(int tag, const std::set<int>& down = {}) {
    const TMenuVrchol* n = Node(tag);
    ASSERT_NE(n, nullptr) << "no word with tag " << tag;
    PointAt(n->x + 3, n->y + 3);
    g.menu.MouseClicked = true;
    Frame(down);
  }
  void ClickNothing() {
    PointAt(630, 5);
    g.menu.MouseClicked = true;
    Frame();
  }
  std::vector<std::string> Played() const {
    std::vector<std::string> names;
    for (const auto& c : mixer->Calls("play")) names.push_back(c.name);
    return names;
  }
  int PopupWords() const {
    int n = 0;
    for (const auto& w : g.menu.MainList().Nodes()) n += w->kind == kPopupWord;
    return n;
  }
  // The pictures of the words under `tag`, in list order.
  std::vector<std::string> Names(int tag) const {
    std::vector<std::string> names;
    for (const auto& n : g.menu.MainList().Nodes()) {
      if (n->tag == tag) names.push_back(n->name);
    }
    return names;
  }
  // A help line shown stands centred where it belongs: left of the kind pop-up while that
  // is open, else in the middle.
  void LineCentred() const {
    const TMenuVrchol *first = nullptr, *last = nullptr;
    for (const auto& n : g.menu.MainList().Nodes()) {
      if (n->tag != kTagHelpLine) continue;
      if (!first) first = n.get();
      last = n.get();
    }
    if (!first) return;
    const double centre = (first->x + last->x + last->pictureWidth * last->scale) / 2;
    EXPECT_NEAR(centre, g.phase == GamePhase::PickKind ? kHelpBesideKindsX : kHelpX, 1);
  }
  // Points at the first word with that tag and lets a frame pass.
  void Hover(int tag) {
    const TMenuVrchol* n = Node(tag);
    ASSERT_NE(n, nullptr) << "no word with tag " << tag;
    PointAt(n->x + 3, n->y + 3);
    Frame();
  }
  // The screen is back at its table with no pop-up left over.
  void ExpectTableShown() const {
    EXPECT_EQ(g.phase, GamePhase::SetupMenu);
    EXPECT_EQ(g.menu.MainList().mode, 1);
    EXPECT_FALSE(g.menu.PopupFrameShown);
    EXPECT_EQ(PopupWords(), 0);
    EXPECT_EQ(g.menu.PreviewSprite, nullptr);
  }

  fs::path dir;
  Game g;
  FakeMixer* mixer = nullptr;
  std::vector<uint8_t> saved;  // the block as the test last wrote it
};

// Where a word stands, how large it is and whether it reacts.
struct Placed {
  int tag;
  const char* word;
  int x, y;
  double scale;
  bool selectable;
};

void ExpectPlaced(const Game& g, const Placed& p) {
  SCOPED_TRACE(std::string("word ") + p.word + " tag " + std::to_string(p.tag));
  const TMenuVrchol* found = nullptr;
  for (const auto& n : g.menu.MainList().Nodes()) {
    if (n->tag == p.tag && n->name == p.word && n->x == p.x && n->y == p.y) found = n.get();
  }
  ASSERT_NE(found, nullptr);
  EXPECT_DOUBLE_EQ(found->scale, p.scale);
  EXPECT_EQ(found->selectable, p.selectable);
  EXPECT_TRUE(found->sprite->visible);
}

}  // namespace

TEST_F(SetupScreen, LaysOutTheTableAndTheMatchOptions) {
  EXPECT_FLOAT_EQ(g.TitleSprite->y, 106);  // above the column headings
  const Placed words[] = {
      {1, "back", 574, 454, 1.1, true},
      {0, "player", 7, 78, 1.0, false},
      {1, "team", 84, 78, 1.1, false},
      {99, "active", 158, 78, 1.1, true},
      {1, "left", 256, 78, 1.1, false},
      {1, "right", 329, 78, 1.1, false},
      {1, "fire", 402, 78, 1.1, false},
      {199, "job", 476, 78, 1.1, true},
      // Row 11 (the last).
      {0, "12", 26, 277, 1.0, false},
      {2011, "1c", 84, 274, 1.0, true},
      {111, "off", 158, 274, 1.0, true},
      {1, "c8000ff", 7, 276, 0.9, false},
      {311, "left", 256, 274, 1.0, true},
      {411, "right", 329, 274, 1.0, true},
      {511, "up", 402, 274, 1.0, true},
      {211, "speeder", 476, 274, 1.0, true},
      // The match options, accelerating speed.
      {1, "bonus", 26, 302, 1.1, false},
      {700, "on", 100, 302, 1.0, true},
      {1, "speed", 26, 326, 1.1, false},
      {800, "accelerating", 100, 327, 1.0, true},
      {1, "from", 240, 327, 1.0, false},
      {1, "to", 400, 327, 1.0, false},
      {1300, "50b", 320, 329, 1.0, true},
      {1400, "100b", 448, 329, 1.0, true},
      {1, "starting_position", 26, 350, 1.1, false},
      {900, "away_from_the_middle", 222, 351, 1.0, true},
      {1, "score_limit", 26, 374, 1.1, false},
      {1100, "10b", 200, 377, 1.0, true},
      {1, "game_number", 340, 374, 1.1, false},
      {1000, "show", 520, 375, 1.0, true},
      {1, "game_time", 26, 390, 1.1, false},
      {1001, "show", 200, 391, 1.0, true},
      {1, "real_time", 340, 390, 1.1, false},
      {1002, "show", 520, 391, 1.0, true},
      {1, "score", 26, 406, 1.1, false},
      {1003, "show", 200, 407, 1.0, true},
      {1, "positions", 340, 406, 1.1, false},
      {1004, "show", 520, 407, 1.0, true},
      {1, "background_effect", 26, 430, 1.1, false},
      {1006, "on", 230, 431, 1.0, true},
      {1009, "leftright", 450, 439, 1.1, true},
      {1, "sounds", 26, 454, 1.1, false},
      {1005, "on", 114, 455, 1.0, true},
      {1, "speech", 170, 454, 1.1, false},
      {1008, "on", 256, 455, 1.0, true},
      {1, "music", 314, 454, 1.1, false},
      {1007, "on", 387, 455, 1.0, true},
  };
  for (const Placed& p : words) ExpectPlaced(g, p);
  EXPECT_EQ(Node(1200), nullptr);

  // Constant speed shows one speed and no "from" and "to".
  SettingsBlock b = StartingBlock();
  b.game.speedMode = 1;
  b.game.constantSpeed = 9;
  b.game.positions = 0;
  b.game.rightLeft = 1;
  UseSettings(b);
  ExpectPlaced(g, {800, "constant", 100, 327, 1.0, true});
  ExpectPlaced(g, {1200, "150b", 222, 329, 1.0, true});
  ExpectPlaced(g, {1004, "surprise", 520, 407, 1.0, true});
  ExpectPlaced(g, {1009, "rightleft", 450, 439, 1.1, true});
  EXPECT_EQ(Node(1300), nullptr);
  EXPECT_EQ(Node(1400), nullptr);
}

TEST_F(SetupScreen, ValuesOutsideTheirTablesShowNoWordButStayClickable) {
  SettingsBlock b = StartingBlock();
  b.players[4].controller = 0;
  b.players[4].kind = 21;
  b.players[4].team = 5;
  b.players[4].leftKey = 200;  // a code with no name in the key table
  b.game.startPosition = 6;
  b.game.scoreLimit = 9;
  b.game.fromSpeed = 10;
  UseSettings(b);
  for (int tag : {104, 204, 2004, 900, 1100, 1300}) {
    SCOPED_TRACE(tag);
    const TMenuVrchol* n = Node(tag);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->name, "");
    EXPECT_FALSE(n->sprite->visible);
    EXPECT_TRUE(n->selectable);
  }
  ExpectPlaced(g, {304, "f12", 256, 162, 1.0, true});
  // The empty team cell opens its pop-up, and a choice mends the value.
  Click(2004);
  EXPECT_EQ(g.phase, GamePhase::PickTeam);
  Click(12001);
  ExpectTableShown();
  EXPECT_EQ(g.settings.players[4].team, 2);
  ExpectPlaced(g, {2004, "2c", 84, 162, 1.0, true});
  EXPECT_EQ(FileBytes(), BlockBytes(g.settings));
}

TEST_F(SetupScreen, EveryPopupCommitsItsOptionToItsSettingAndTheFile) {
  struct Case {
    const char* name;
    bool constantSpeed;
    int openTag;
    GamePhase phase;
    int optionTag;
    size_t offset;  // in the 164 bytes
    uint8_t value;
    int shownTag;  // the word that shows the new value
    const char* shownWord;
  };
  const Case cases[] = {
      {"controller human", false, 102, GamePhase::PickController, 10102, 24, 2, 102, "human"},
      {"controller cpuiq10", false, 100, GamePhase::PickController, 10104, 0, 4, 100, "cpuiq10"},
      {"controller off", false, 101, GamePhase::PickController, 10101, 12, 1, 101, "off"},
      {"kind", false, 205, GamePhase::PickKind, 10207, 61, 7, 205, "laser_shooter"},
      {"kind w_random", false, 211, GamePhase::PickKind, 10221, 133, 255, 211, "w_random"},
      {"team", false, 2003, GamePhase::PickTeam, 12002, 47, 3, 2003, "3c"},
      {"team 4", false, 2000, GamePhase::PickTeam, 12003, 11, 4, 2000, "4c"},
      {"start position", false, 900, GamePhase::PickStartPosition, 10905, 146, 5, 900, "race"},
      {"score limit", false, 1100, GamePhase::PickScoreLimit, 11103, 152, 3, 1100, "50b"},
      {"constant speed", true, 1200, GamePhase::PickConstantSpeed, 11209, 153, 9, 1200, "150b"},
      {"from speed", false, 1300, GamePhase::PickFromSpeed, 11200, 154, 0, 1300, "30b"},
      {"to speed", false, 1400, GamePhase::PickToSpeed, 11205, 155, 5, 1400, "80b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsBlock b = StartingBlock();
    b.game.speedMode = c.constantSpeed ? 1 : 0;
    UseSettings(b);
    mixer->calls.clear();
    Click(c.openTag);
    ASSERT_EQ(g.phase, c.phase);
    EXPECT_EQ(g.menu.MainList().mode, 2);
    EXPECT_EQ(g.menu.MainList().popupTag, c.openTag);
    EXPECT_TRUE(g.menu.PopupFrameShown);
    // Words of the table do not react while the pop-up is open.
    PointAt(Node(700)->x + 3, Node(700)->y + 3);
    Frame();
    EXPECT_EQ(g.menu.HoverTag, 0);
    EXPECT_EQ(g.phase, c.phase);
    Click(c.optionTag);
    ExpectTableShown();
    std::vector<uint8_t> expected = saved;
    expected[c.offset] = c.value;
    EXPECT_EQ(BlockBytes(g.settings), expected);
    EXPECT_EQ(FileBytes(), expected);
    EXPECT_EQ(Played(), (std::vector<std::string>{"menuclick.mp3", "menuclick.mp3"}));
    ExpectPlaced(g, {c.shownTag, c.shownWord, Node(c.shownTag)->x, Node(c.shownTag)->y, 1.0, true});
  }
}

TEST_F(SetupScreen, HeadingsSetAllTwelvePlayersAndARowOnlyItself) {
  struct Case {
    int openTag;
    int optionTag;
    size_t field;  // offset in a player's record
    uint8_t value;
    bool all;
  };
  const Case cases[] = {
      {99, 10102, 0, CtrlHuman, true},     {99, 10103, 0, CtrlCpuIq0, true},
      {107, 10104, 0, CtrlCpuIq10, false}, {199, 10221, 1, 255, true},
      {199, 10220, 1, 20, true},           {209, 10203, 1, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.openTag) + " -> " + std::to_string(c.optionTag));
    UseSettings(StartingBlock());
    Click(c.openTag);
    Click(c.optionTag);
    ExpectTableShown();
    std::vector<uint8_t> expected = saved;
    const int row = c.openTag % 100;
    for (int i = 0; i < 12; ++i) {
      if (c.all || i == row) expected[static_cast<size_t>(12 * i) + c.field] = c.value;
    }
    EXPECT_EQ(BlockBytes(g.settings), expected);
    EXPECT_EQ(FileBytes(), expected);
  }
  // A heading's choice does not stick to the next pop-up of a single row.
  UseSettings(StartingBlock());
  Click(99);
  Click(10103);
  Click(103);
  Click(10104);
  EXPECT_EQ(g.settings.players[3].controller, CtrlCpuIq10);
  EXPECT_EQ(g.settings.players[4].controller, CtrlCpuIq0);
}

TEST_F(SetupScreen, KindPopupFollowsItsRowAndThePointer) {
  // The frame's top is 58 - (pointer y div 2) + 16 x (row offset); "job" is row -1.
  struct Case {
    int tag;
    int pointerY;
    int frameY;
  };
  const Case cases[] = {{199, 83, 1}, {200, 103, 7}, {200, 111, 3}, {211, 279, 95}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    UseSettings(StartingBlock());
    PointAt(Node(c.tag)->x + 3, c.pointerY);
    g.menu.MouseClicked = true;
    Frame();
    ASSERT_EQ(g.phase, GamePhase::PickKind);
    EXPECT_EQ(g.menu.PopupFrameX, 440);
    EXPECT_EQ(g.menu.PopupFrameY, c.frameY);
    EXPECT_EQ(g.menu.PopupFrameWidth, 188);
    EXPECT_EQ(g.menu.PopupFrameHeight, 368);
    EXPECT_EQ(Node(10201)->y, c.frameY + 16);
    EXPECT_EQ(Node(10221)->y, c.frameY + 16 * 21);
    EXPECT_EQ(Node(10221)->x, 456);
  }
}

TEST_F(SetupScreen, KeyPromptBindsOneKeyReleasedAlone) {
  struct Case {
    const char* name;
    int tag;
    std::set<int> heldAtClick;  // keys already down when the prompt opens
    std::vector<std::set<int>> frames;
    int bound;  // -1: nothing bound, the prompt still waits
    size_t offset;
  };
  const Case cases[] = {
      {"one key", 302, {}, {{74}, {74}, {}}, 74, 32},
      {"right column", 407, {}, {{76}, {}}, 76, 93},
      {"fire column", 511, {}, {{74}, {}}, 74, 142},
      {"two keys released together", 302, {}, {{74, 76}, {74, 76}, {}, {}}, -1, 32},
      {"held before the prompt", 302, {76}, {{76}, {76}, {}}, 76, 32},
      {"escape binds like any key", 302, {}, {{27}, {}}, 27, 32},
      {"a pad button binds like any key", 407, {}, {{PadKeyCode(2, kPadB)}, {}}, 196, 93},
      {"a second key joins, then both go", 302, {}, {{74}, {74, 76}, {}, {}}, -1, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UseSettings(StartingBlock());
    Frame(c.heldAtClick);
    mixer->calls.clear();
    Click(c.tag, c.heldAtClick);
    ASSERT_GE(g.phase, GamePhase::CaptureLeftKey);
    ASSERT_LE(g.phase, GamePhase::CaptureFireKey);
    for (const auto& keys : c.frames) Frame(keys);
    Frame();
    std::vector<uint8_t> expected = saved;
    if (c.bound < 0) {
      EXPECT_GE(g.phase, GamePhase::CaptureLeftKey);
      EXPECT_EQ(FileBytes(), saved);
      EXPECT_EQ(Played(), std::vector<std::string>{"menuclick.mp3"});
      ClickNothing();
      ExpectTableShown();
    } else {
      expected[c.offset] = static_cast<uint8_t>(c.bound);
      ExpectTableShown();
      EXPECT_EQ(Played(), (std::vector<std::string>{"menuclick.mp3", "key.mp3"}));
    }
    EXPECT_EQ(BlockBytes(g.settings), expected);
    EXPECT_EQ(FileBytes(), expected);
  }
}

TEST_F(SetupScreen, KeyPromptPulsesUnderThePointerUntilAClickClosesIt) {
  g.presentation.classic = true;  // the prompt's own frame; the readable one is wider
  PointAt(300, 140);
  Click(302);
  ASSERT_EQ(g.phase, GamePhase::CaptureLeftKey);
  EXPECT_EQ(g.menu.PopupFrameX, Node(302)->x + 3 - 69);
  const TMenuVrchol* prompt = Node(kTagKeyPrompt);
  ASSERT_NE(prompt, nullptr);
  EXPECT_FALSE(prompt->selectable);
  const double opened = g.PhaseStart;
  for (int i = 0; i < 10; ++i) {
    Frame();
    const double factor = 1 + 0.03 * std::sin(4 * (opened - g.Now));
    EXPECT_NEAR(prompt->sprite->width, kWordWidth * factor, 1e-3);
  }
  // A click anywhere, even on the prompt, leaves without binding.
  PointAt(prompt->x + 3, prompt->y + 3);
  g.menu.MouseClicked = true;
  Frame();
  ExpectTableShown();
  EXPECT_EQ(BlockBytes(g.settings), saved);
}

TEST_F(SetupScreen, KeyPromptNamesThePlayerAndTheKeyAndSaysHowToCancel) {
  struct Case {
    int tag;
    std::vector<std::string> words;
  } cases[] = {{302, {"player", "3", "left"}},
               {407, {"player", "8", "right"}},
               {511, {"player", "12", "fire"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    for (bool classic : {false, true}) {
      g.presentation.classic = classic;
      UseSettings(StartingBlock());
      Click(c.tag);
      ASSERT_GE(g.phase, GamePhase::CaptureLeftKey);
      std::vector<std::string> want = c.words;
      want.emplace_back(kClickToCancel.picture);
      EXPECT_EQ(Names(kTagPromptLine), classic ? std::vector<std::string>{} : want);
      const MenuState& m = g.menu;
      for (const auto& n : m.MainList().Nodes()) {
        if (n->tag != kTagPromptLine) continue;
        EXPECT_FALSE(n->selectable);
        EXPECT_EQ(n->kind, kPopupWord);  // goes with the prompt
        EXPECT_GE(n->x, m.PopupFrameX);
        EXPECT_LE(n->y + kWordHeight, m.PopupFrameY + m.PopupFrameHeight);
      }
      // "Press a key" stays where it always was; any click leaves, as it always did.
      EXPECT_EQ(Node(kTagKeyPrompt)->x, Node(c.tag)->x + 3 - 53);
      ClickNothing();
      ExpectTableShown();
      EXPECT_EQ(BlockBytes(g.settings), saved);
    }
  }
}

TEST(SharedKeys, AreFoundBetweenTheKeysOfHumansOnly) {
  // Twelve humans with keys of their own; each case shares one.
  SettingsBlock base{};
  for (int i = 0; i < 12; ++i) {
    PlayerSetup& p = base.players[i];
    p.controller = CtrlHuman;
    p.leftKey = static_cast<uint8_t>(40 + 3 * i);
    p.rightKey = static_cast<uint8_t>(41 + 3 * i);
    p.fireKey = static_cast<uint8_t>(42 + 3 * i);
  }
  const uint8_t pad = PadKeyCode(1, kPadA);
  struct Case {
    const char* name;
    std::function<void(SettingsBlock&)> change;
    KeyBinding key;
    std::vector<KeyBinding> sharers;
  } cases[] = {
      {"no key shared", [](SettingsBlock&) {}, {0, 0}, {}},
      {"two players' left keys",
       [](SettingsBlock& b) { b.players[4].leftKey = 40; },
       {0, 0},
       {{4, 0}}},
      {"the other side of it",
       [](SettingsBlock& b) { b.players[4].leftKey = 40; },
       {4, 0},
       {{0, 0}}},
      {"one's left, another's fire",
       [](SettingsBlock& b) { b.players[11].fireKey = 40; },
       {0, 0},
       {{11, 2}}},
      {"a pad button",
       [pad](SettingsBlock& b) { b.players[2].fireKey = b.players[7].rightKey = pad; },
       {7, 1},
       {{2, 2}}},
      {"three players",
       [](SettingsBlock& b) { b.players[3].rightKey = b.players[9].fireKey = 40; },
       {0, 0},
       {{3, 1}, {9, 2}}},
      {"one player's own left and right",
       [](SettingsBlock& b) { b.players[5].rightKey = 55; },
       {5, 0},
       {{5, 1}}},
      {"a computer player's key is idle",
       [](SettingsBlock& b) {
         b.players[4].leftKey = 40;
         b.players[4].controller = CtrlCpuIq10;
       },
       {0, 0},
       {}},
      {"a switched-off row's key is idle",
       [](SettingsBlock& b) {
         b.players[4].leftKey = 40;
         b.players[4].controller = CtrlOff;
       },
       {0, 0},
       {}},
      {"a computer's own key is not marked",
       [](SettingsBlock& b) {
         b.players[4].leftKey = 40;
         b.players[0].controller = CtrlCpuIq0;
       },
       {0, 0},
       {}},
      {"no key bound is no key shared",
       [](SettingsBlock& b) { b.players[0].leftKey = b.players[1].leftKey = 0; },
       {0, 0},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsBlock b = base;
    c.change(b);
    EXPECT_EQ(SharersOf(b, c.key), c.sharers);
  }
}

TEST_F(SetupScreen, SharedKeysAreFramedInBothPlacesAndStillClickAsBefore) {
  SettingsBlock b = StartingBlock();
  b.players[1].leftKey = 74;
  b.players[1].rightKey = 76;
  b.players[1].fireKey = 37;  // player 1's left key
  for (bool classic : {false, true}) {
    SCOPED_TRACE(classic ? "classic" : "readable");
    g.presentation.classic = classic;
    UseSettings(b);
    std::vector<std::pair<int, int>> frames;
    for (const auto& n : g.menu.MainList().Nodes()) {
      if (n->tag != kTagSharedKey) continue;
      EXPECT_EQ(n->name, "shared_key");
      EXPECT_FALSE(n->selectable);
      frames.emplace_back(n->x, n->y);
    }
    using Frames = std::vector<std::pair<int, int>>;
    EXPECT_EQ(frames, classic ? Frames{} : (Frames{{255, 98}, {401, 114}}));
    // Hovering one names the other; the cell under the frame still opens the prompt.
    Hover(300);
    EXPECT_EQ(Names(kTagHelpLine),
              classic ? std::vector<std::string>{}
                      : (std::vector<std::string>{kSameKeyAs.picture, "player", "2", "fire"}));
    Click(501);
    EXPECT_EQ(g.phase, GamePhase::CaptureFireKey);
    ClickNothing();
  }
}

TEST_F(SetupScreen, HoveringAKindAStartRuleOrAHeadingExplainsItInALine) {
  struct Case {
    const char* name;
    int tag;
    const char* picture;
  };
  std::vector<Case> cases = {{"active", kTagActive, kActiveHelp.picture},
                             {"job", kTagJob, kJobHelp.picture}};
  // The kinds as a row shows them: kinds 1 to 12, then 13 to 20 and random.
  std::vector<SettingsBlock> blocks(2, StartingBlock());
  for (int i = 0; i < 12; ++i) {
    blocks[0].players[i].kind = static_cast<uint8_t>(1 + i);
    blocks[1].players[i].kind = i < 8 ? static_cast<uint8_t>(13 + i) : kKindRandomByte;
  }
  for (bool classic : {false, true}) {
    SCOPED_TRACE(classic ? "classic" : "readable");
    g.presentation.classic = classic;
    auto expectHelp = [&](const char* picture) {
      EXPECT_EQ(Names(kTagHelpLine), classic || !picture ? std::vector<std::string>{}
                                                         : std::vector<std::string>{picture});
      for (const auto& n : g.menu.MainList().Nodes()) {
        if (n->tag == kTagHelpLine) {
          EXPECT_FALSE(n->selectable);
        }
      }
      // The title steps aside for the line.
      EXPECT_EQ(g.TitleSprite->visible, classic || !picture);
      LineCentred();
    };
    for (size_t k = 0; k < blocks.size(); ++k) {
      UseSettings(blocks[k]);
      for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Hover(c.tag);
        EXPECT_EQ(g.menu.HoverTag, c.tag);
        expectHelp(c.picture);
      }
      for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        Hover(kTagKind + i);
        const int kind = blocks[k].players[i].kind;
        expectHelp(kKindHelp[kind == kKindRandomByte ? 20 : kind - 1].picture);
      }
      PointAt(630, 5);
      Frame();
      expectHelp(nullptr);
    }
    // In the kind pop-up, left of it, even when the line was shown for the same kind
    // before the pop-up opened over it.
    SettingsBlock randomKinds = StartingBlock();
    for (PlayerSetup& p : randomKinds.players) p.kind = kKindRandomByte;
    UseSettings(randomKinds);
    PointAt(Node(211)->x + 3, Node(211)->y + 3);
    Frame();
    const int overRandom = 58 - (Node(211)->y + 3) / 2 + 16 * 11 + 16 * 21 + 4;
    g.menu.MouseClicked = true;
    Frame();
    ASSERT_EQ(g.phase, GamePhase::PickKind);
    PointAt(Node(211)->x + 3, overRandom);
    Frame();
    EXPECT_EQ(g.menu.HoverTag, kOptKindRandom);
    expectHelp(kKindHelp[20].picture);
    ClickNothing();
    UseSettings(StartingBlock());
    Click(205);
    for (int k = 1; k <= 21; ++k) {
      SCOPED_TRACE("kind option " + std::to_string(k));
      Hover(kOptKind + k);
      EXPECT_EQ(g.menu.HoverTag, kOptKind + k);
      expectHelp(kKindHelp[k - 1].picture);
    }
    ClickNothing();
    // The start rule, chosen and offered.
    Hover(kTagStartPosition);
    expectHelp(kStartHelp[1].picture);  // "away from the middle"
    Click(kTagStartPosition);
    for (int v = 0; v < 6; ++v) {
      SCOPED_TRACE("start option " + std::to_string(v));
      Hover(kOptStartPosition + v);
      expectHelp(kStartHelp[v].picture);
    }
    ClickNothing();
    Hover(kTagBonus);  // explains itself
    expectHelp(nullptr);
  }
}

TEST_F(SetupScreen, WhatTheScreenAddsNeverChangesWhatAClickMeets) {
  // Old recordings click where the words have always been: every pixel of the view must
  // hover the same tag with the marks and a help line shown as without them.
  SettingsBlock b = StartingBlock();  // players 1 and 2 share all three keys
  auto tags = [&] {
    std::vector<int> out;
    for (int y = 0; y < 480; y += 3) {
      for (int x = 0; x < 640; x += 3) {
        PointAt(x, y);
        UpdateHover(g);
        out.push_back(g.menu.HoverTag);
      }
    }
    return out;
  };
  g.presentation.classic = true;
  UseSettings(b);
  const std::vector<int> classic = tags();
  g.presentation.classic = false;
  UseSettings(b);
  Hover(kTagJob);
  ASSERT_FALSE(Names(kTagHelpLine).empty());
  ASSERT_FALSE(Names(kTagSharedKey).empty());
  EXPECT_EQ(tags(), classic);
}

TEST_F(SetupScreen, EscapeOrAClickOutsideLeavesAPopupWithoutSaving) {
  struct Case {
    int openTag;
    bool escape;
  };
  const Case cases[] = {{101, true},  {205, true},   {2001, true}, {900, true},  {1100, true},
                        {1300, true}, {1400, true},  {101, false}, {205, false}, {2001, false},
                        {900, false}, {1100, false}, {1300, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.openTag) + (c.escape ? " escape" : " click"));
    UseSettings(StartingBlock());
    const size_t sprites = g.scene.Sprites().size();
    const auto before = fs::last_write_time(CfgPath());
    Click(c.openTag);
    ASSERT_NE(g.phase, GamePhase::SetupMenu);
    if (c.escape) {
      Frame({27});
      Frame({27});  // held: still open
      EXPECT_NE(g.phase, GamePhase::SetupMenu);
      Frame();
      Frame();  // released
    } else {
      ClickNothing();
    }
    ExpectTableShown();
    EXPECT_EQ(g.scene.Sprites().size(), sprites);  // the preview went with its pop-up
    EXPECT_EQ(BlockBytes(g.settings), saved);
    EXPECT_EQ(FileBytes(), saved);
    EXPECT_EQ(fs::last_write_time(CfgPath()), before);
  }
}

TEST_F(SetupScreen, StartPositionPreviewShowsTheHoveredRule) {
  Click(900);
  ASSERT_NE(g.menu.PreviewSprite, nullptr);
  const Sprite* preview = g.menu.PreviewSprite;
  EXPECT_FLOAT_EQ(preview->x, 496);
  EXPECT_FLOAT_EQ(preview->y, 330);
  EXPECT_FLOAT_EQ(preview->width, 64);
  const int ys[] = {357, 373, 389, 405, 421, 438};
  for (int v = 0; v < 6; ++v) {
    EXPECT_EQ(Node(10900 + v)->y, ys[v]);
    PointAt(225, ys[v] + 3);
    Frame();
    EXPECT_TRUE(preview->visible);
    EXPECT_EQ(preview->MaterialName(), StartPositionWord(v) + "_pic");
  }
  PointAt(600, 200);
  Frame();
  EXPECT_FALSE(preview->visible);
  PointAt(225, 438 + 3);
  g.menu.MouseClicked = true;
  Frame();
  ExpectTableShown();
  EXPECT_EQ(g.settings.game.startPosition, 5);
}

TEST_F(SetupScreen, TogglesFlipWithTheirSoundAndSaveAtOnce) {
  struct Case {
    int tag;
    size_t offset;
    uint8_t before;
    uint8_t after;
    std::vector<std::string> sounds;
  };
  const std::vector<std::string> on = {"on.mp3"}, off = {"off.mp3"}, click = {"menuclick.mp3"};
  const Case cases[] = {
      {700, 144, 1, 0, on},    {700, 144, 0, 1, off},    {700, 144, 7, 0, on},
      {1000, 147, 1, 0, on},   {1001, 148, 0, 1, off},   {1002, 149, 1, 0, on},
      {1003, 150, 0, 1, off},  {1004, 151, 1, 0, on},    {1006, 157, 0, 1, off},
      {1008, 158, 1, 0, on},   {1007, 159, 0, 1, off},   {800, 145, 0, 1, click},
      {800, 145, 1, 0, click}, {1009, 160, 0, 1, click}, {1009, 160, 1, 0, click},
      {1005, 156, 1, 0, {}},   // sounds off: silent
      {1005, 156, 0, 1, off},  // sounds on: heard
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.tag) + " from " + std::to_string(c.before));
    SettingsBlock b = StartingBlock();
    reinterpret_cast<uint8_t*>(&b)[c.offset] = c.before;
    UseSettings(b);
    mixer->calls.clear();
    Click(c.tag);
    EXPECT_EQ(g.phase, GamePhase::SetupMenu);
    EXPECT_EQ(Played(), c.sounds);
    std::vector<uint8_t> expected = saved;
    expected[c.offset] = c.after;
    EXPECT_EQ(BlockBytes(g.settings), expected);
    EXPECT_EQ(FileBytes(), expected);
    ASSERT_NE(Node(c.tag), nullptr);  // shown again, with its new word
  }
  // Labels and empty space change nothing.
  UseSettings(StartingBlock());
  Click(0);
  ClickNothing();
  EXPECT_EQ(FileBytes(), saved);
  EXPECT_EQ(g.phase, GamePhase::SetupMenu);
}

TEST_F(SetupScreen, MusicOffStopsTheModuleAtOnceAndOnStartsNothing) {
  RequestMusic(g, kMenuModule);
  ServiceMusic(g);
  ASSERT_TRUE(MusicChannelActive(g));
  Click(1007);
  EXPECT_FALSE(MusicChannelActive(g));
  EXPECT_EQ(g.settings.game.music, 0);
  Click(1007);
  for (int i = 0; i < 50; ++i) ServiceMusic(g);
  EXPECT_FALSE(MusicChannelActive(g));
  EXPECT_EQ(mixer->Calls("play_module").size(), 1u);
}

TEST_F(SetupScreen, BackSavesAndReturnsToTheMenuWithItsMusicKept) {
  g.settings.game.bonus = 0;  // as if the file had been changed behind the screen's back
  Click(kTagSetupBack);
  EXPECT_EQ(g.phase, GamePhase::MainMenuBuild);
  EXPECT_TRUE(g.menu.MenuMusicRunning);
  EXPECT_TRUE(g.menu.MainList().Empty());
  EXPECT_EQ(FileBytes(), BlockBytes(g.settings));
  EXPECT_EQ(Played(), std::vector<std::string>{"menuclick.mp3"});
}

TEST_F(SetupScreen, AFailedSaveKeepsTheOldFileAndIsToldOnce) {
  // A file made read-only makes every save fail, even for root.
  const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  fs::permissions(dir / "tandrix.cfg", readOnly);
  ::testing::internal::CaptureStderr();
  Click(700);
  Click(1000);
  std::string told = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(FileBytes(), saved);
  EXPECT_EQ(g.settings.game.bonus, 0);  // the screen still shows the change
  EXPECT_NE(told.find("tandrix.cfg"), std::string::npos) << told;
  EXPECT_EQ(told.find("tandrix.cfg"), told.rfind("tandrix.cfg")) << "told more than once";
  // Once saving works again the file catches up, and a new failure is told again.
  fs::permissions(dir / "tandrix.cfg", readOnly | fs::perms::owner_write);
  Click(1001);
  EXPECT_EQ(FileBytes(), BlockBytes(g.settings));
  fs::permissions(dir / "tandrix.cfg", readOnly);
  ::testing::internal::CaptureStderr();
  Click(1002);
  EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
}

// The screen with the game's own pictures: every word it can show exists, and no two words
// overlap, whatever the settings hold.
TEST(SetupScreenPictures, HelpLinesFitAboveTheTableAndBesideTheKindPopup) {
  const fs::path data = TANDRIX_GAME_DATA;
  if (!fs::exists(data / "pak" / "items.pak")) GTEST_SKIP() << "no game folder at " << data;
  Game g;
  g.folders = GameFolderAt(data.string());  // read only
  ASSERT_TRUE(LoadAssets(g)) << g.fatalError;
  const MaterialLibrary& menu = g.scene.Library(LibGLMLmenu);
  auto widthOf = [&](const char* picture) {
    const Material* m = menu.Find(picture);
    EXPECT_NE(m, nullptr) << "no picture for '" << picture << "'";
    return m && m->picture ? m->picture->width : 0;
  };
  // A line is centred on its x; the headings start at y 78.
  auto fits = [&](const SetupHelpLine& l, int cx, int right) {
    SCOPED_TRACE(l.text);
    const int w = widthOf(l.picture);
    EXPECT_GT(w, 0);
    EXPECT_GE(cx - w / 2, 0);
    EXPECT_LE(cx + w / 2, right);
    const Material* m = menu.Find(l.picture);
    if (m && m->picture) {
      EXPECT_LE(kHelpY + m->picture->height, 78);
    }
  };
  // Beside the kind pop-up, whose frame starts at x 440.
  for (const SetupHelpLine& l : kKindHelp) fits(l, kHelpBesideKindsX, 440);
  for (const SetupHelpLine& l : kKindHelp) fits(l, kHelpX, 640);
  for (const SetupHelpLine& l : kStartHelp) fits(l, kHelpX, 640);
  for (const SetupHelpLine& l : {kActiveHelp, kJobHelp}) fits(l, kHelpX, 640);
  // The longest key line: "same key as player 12 right and more".
  const int keys = widthOf(kSameKeyAs.picture) + widthOf("player") + widthOf("12") +
                   widthOf("right") + widthOf(kAndMore.picture);
  EXPECT_LE(keys, 620);
  EXPECT_GT(widthOf("shared_key"), 0);
}

TEST(SetupScreenPictures, EveryWordExistsAndNoTwoWordsOverlap) {
  const fs::path data = TANDRIX_GAME_DATA;
  if (!fs::exists(data / "pak" / "items.pak")) GTEST_SKIP() << "no game folder at " << data;
  Game g;
  g.folders = GameFolderAt(data.string());  // read only
  ASSERT_TRUE(LoadAssets(g)) << g.fatalError;
  ASSERT_TRUE(LoadKeyNames(g)) << g.fatalError;
  const MaterialLibrary& menu = g.scene.Library(LibGLMLmenu);

  struct Box {
    std::string name;
    double x0, y0, x1, y1;
  };
  auto boxes = [&](bool popupOnly) {
    std::vector<Box> out;
    for (const auto& n : g.menu.MainList().Nodes()) {
      // The frame of a pop-up and of a shared key surround words on purpose.
      if (popupOnly != (n->kind == kPopupWord) || n->tag == kTagPopupFrame ||
          n->tag == kTagSharedKey)
        continue;
      EXPECT_NE(menu.Find(n->name), nullptr) << "no picture for '" << n->name << "'";
      bool listed = false;
      for (const auto& e : g.assets.MenuItemTable) listed |= e.name == n->name;
      EXPECT_TRUE(listed) << "'" << n->name << "' has no hit size in menu_items.dat";
      // The hit box runs to the far edge of the word's ink.
      out.push_back({n->name, double(n->x), double(n->y), n->x + n->hitWidth * n->scale,
                     n->y + n->hitHeight * n->scale});
      EXPECT_LE(out.back().x1, 640) << n->name;
      EXPECT_LE(out.back().y1, 480) << n->name;
    }
    return out;
  };
  auto expectApart = [](const std::vector<Box>& all, const std::string& what) {
    for (size_t i = 0; i < all.size(); ++i) {
      for (size_t j = i + 1; j < all.size(); ++j) {
        const Box &a = all[i], &b = all[j];
        // The pointer stands on whole pixels and the hit test is strict at both ends: two
        // boxes clash only when some pixel lies inside both.
        auto shared = [](double lo0, double hi0, double lo1, double hi1) {
          return std::floor(std::max(lo0, lo1)) + 1 < std::min(hi0, hi1);
        };
        const bool overlap = shared(a.x0, a.x1, b.x0, b.x1) && shared(a.y0, a.y1, b.y0, b.y1);
        EXPECT_FALSE(overlap) << what << ": '" << a.name << "' at (" << a.x0 << ", " << a.y0
                              << ") overlaps '" << b.name << "' at (" << b.x0 << ", " << b.y0
                              << ")";
      }
    }
  };

  // The widest words of every column, in every row, and each value of every option.
  SettingsBlock b{};
  for (int variant = 0; variant < 21; ++variant) {
    SCOPED_TRACE("variant " + std::to_string(variant));
    for (int i = 0; i < 12; ++i) {
      PlayerSetup& p = b.players[i];
      p.controller = static_cast<uint8_t>(1 + (variant + i) % 4);
      p.kind = variant == 20 ? kKindRandomByte : static_cast<uint8_t>(1 + (variant + i) % 20);
      p.team = static_cast<uint8_t>(1 + (variant + i) % 4);
      const auto& keys = g.input.KeyNameTable;
      p.leftKey = keys[static_cast<size_t>(3 * (variant * 12 + i)) % keys.size()].code;
      p.rightKey = keys[static_cast<size_t>(3 * (variant * 12 + i) + 1) % keys.size()].code;
      p.fireKey = keys[static_cast<size_t>(3 * (variant * 12 + i) + 2) % keys.size()].code;
    }
    GameSetup& s = b.game;
    const uint8_t flag = variant % 2;
    s.bonus = s.showGameNumber = s.showGameTime = s.showRealTime = s.showScore = flag;
    s.positions = s.sounds = s.backgroundEffect = s.speech = s.music = s.rightLeft = flag;
    s.speedMode = static_cast<uint8_t>((variant / 2) % 2);
    s.startPosition = static_cast<uint8_t>(variant % 6);
    s.scoreLimit = static_cast<uint8_t>(variant % 6);
    s.constantSpeed = s.fromSpeed = s.toSpeed = static_cast<uint8_t>(variant % 10);
    g.settings = b;
    BuildSetupMenu(g);
    expectApart(boxes(false), "the table");
  }

  // The pop-ups, opened where a player would click: each option inside its frame and
  // apart from the others.
  struct Popup {
    int tag;
    GamePhase phase;
  };
  const Popup popups[] = {{99, GamePhase::PickController},   {111, GamePhase::PickController},
                          {199, GamePhase::PickKind},        {211, GamePhase::PickKind},
                          {2011, GamePhase::PickTeam},       {900, GamePhase::PickStartPosition},
                          {1100, GamePhase::PickScoreLimit}, {1300, GamePhase::PickFromSpeed},
                          {1400, GamePhase::PickToSpeed},    {311, GamePhase::CaptureLeftKey}};
  for (const Popup& p : popups) {
    SCOPED_TRACE(p.tag);
    g.settings = b;
    g.settings.game.speedMode = 0;
    BuildSetupMenu(g);
    g.phase = GamePhase::SetupMenu;
    const TMenuVrchol* cell = g.menu.MainList().FindTag(p.tag);
    ASSERT_NE(cell, nullptr);
    g.menu.MouseX = cell->x + 8;
    g.menu.MouseY = cell->y + 8;
    g.menu.MouseClicked = true;
    SetupMenuStep(g);
    ASSERT_EQ(g.phase, p.phase);
    const std::vector<Box> options = boxes(true);
    expectApart(options, "a pop-up");
    const MenuState& m = g.menu;
    for (const Box& o : options) {
      EXPECT_GE(o.x0, m.PopupFrameX) << o.name;
      EXPECT_GE(o.y0, m.PopupFrameY) << o.name;
      EXPECT_LE(o.x1, m.PopupFrameX + m.PopupFrameWidth) << o.name;
      EXPECT_LE(o.y1, m.PopupFrameY + m.PopupFrameHeight) << o.name;
      EXPECT_GE(o.y0, 0) << o.name;
    }
    EXPECT_LE(m.PopupFrameY + m.PopupFrameHeight, 480);
    EXPECT_LE(m.PopupFrameX + m.PopupFrameWidth, 640);
    if (m.PreviewSprite) {
      for (int v = 0; v < 6; ++v)
        EXPECT_NE(menu.Find(StartPositionWord(v) + "_pic"), nullptr) << StartPositionWord(v);
      g.scene.RemoveSprite(g.menu.PreviewSprite);
      g.menu.PreviewSprite = nullptr;
    }
    g.menu.MainList().mode = 1;
  }
}
