#include "menu/setup_menu.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>

#include "app/game.h"
#include "audio/sound.h"
#include "display/hud.h"
#include "menu/setup_help.h"
#include "players/input.h"
#include "players/key_names.h"

namespace tdx {

namespace {

constexpr const char* kControllerWords[] = {"off", "human", "cpuiq0", "cpuiq10"};  // 1..4
constexpr const char* kKindWords[] = {
    "traveller",      "speeder",   "stopper",         "warper",
    "reverser",       "killer",    "laser_shooter",   "multiplier",
    "virus_infester", "repeller",  "rocket_launcher", "atomic_bomber",
    "reproducer",     "erector",   "teleporter",      "shooter",
    "w_infernal",     "w_thicker", "pauser",          "virus_controller"};  // 1..20
constexpr const char* kSpeedNames[] = {"30b", "40b", "50b",  "60b",  "70b",
                                       "80b", "90b", "100b", "120b", "150b"};
constexpr const char* kScoreLimitWords[] = {"3b", "10b", "21b", "50b", "100b", "1000b"};
constexpr const char* kStartPositionWords[] = {
    "into_the_middle", "away_from_the_middle", "circle", "proportional_random", "random", "race"};
constexpr int kStartOptionY[] = {357, 373, 389, 405, 421, 438};
// The key prompt's frame on the readable screens.
constexpr int kPromptWidth = 160;
constexpr int kPromptHeight = 76;

struct FixedWord {
  int tag;
  const char* name;
  int x, y;
  double scale;
  bool selectable;
};
constexpr FixedWord kFixedWords[] = {
    {kTagSetupBack, "back", 574, 454, 1.1, true},
    {0, "player", 7, 78, 1.0, false},
    {1, "team", 84, 78, 1.1, false},
    {kTagActive, "active", 158, 78, 1.1, true},
    {1, "left", 256, 78, 1.1, false},
    {1, "right", 329, 78, 1.1, false},
    {1, "fire", 402, 78, 1.1, false},
    {kTagJob, "job", 476, 78, 1.1, true},
};

// A two-state match option: any nonzero byte is the first word.
struct TwoState {
  int tag;
  const char* label;  // none for "rightleft", which explains itself
  int labelX, labelY;
  int valueX, valueY;
  const char* onWord;
  const char* offWord;
  double valueScale;
  uint8_t GameSetup::*field;
};
// Bonus and speed mode come first; the speeds follow the speed mode.
constexpr TwoState kFirstOptions[] = {
    {kTagBonus, "bonus", 26, 302, 100, 302, "on", "off", 1.0, &GameSetup::bonus},
    {kTagSpeedMode, "speed", 26, 326, 100, 327, "constant", "accelerating", 1.0,
     &GameSetup::speedMode},
};
// The rest, in the order the screen adds them after the score limit.
constexpr TwoState kLaterOptions[] = {
    {kTagBackgroundEffect, "background_effect", 26, 430, 230, 431, "on", "off", 1.0,
     &GameSetup::backgroundEffect},
    {kTagSounds, "sounds", 26, 454, 114, 455, "on", "off", 1.0, &GameSetup::sounds},
    {kTagMusic, "music", 314, 454, 387, 455, "on", "off", 1.0, &GameSetup::music},
    {kTagSpeech, "speech", 170, 454, 256, 455, "on", "off", 1.0, &GameSetup::speech},
    {kTagRightLeft, nullptr, 0, 0, 450, 439, "rightleft", "leftright", 1.1, &GameSetup::rightLeft},
    {kTagGameNumber, "game_number", 340, 374, 520, 375, "show", "hide", 1.0,
     &GameSetup::showGameNumber},
    {kTagGameTime, "game_time", 26, 390, 200, 391, "show", "hide", 1.0, &GameSetup::showGameTime},
    {kTagRealTime, "real_time", 340, 390, 520, 391, "show", "hide", 1.0, &GameSetup::showRealTime},
    {kTagScore, "score", 26, 406, 200, 407, "show", "hide", 1.0, &GameSetup::showScore},
    {kTagPositions, "positions", 340, 406, 520, 407, "show", "surprise", 1.0,
     &GameSetup::positions},
};

// The plain toggles: "on.mp3" when switching off, "off.mp3" when switching on (the sound
// names the word that was clicked).
uint8_t GameSetup::*PlainToggle(int tag) {
  switch (tag) {
    case kTagBonus: return &GameSetup::bonus;
    case kTagGameNumber: return &GameSetup::showGameNumber;
    case kTagGameTime: return &GameSetup::showGameTime;
    case kTagRealTime: return &GameSetup::showRealTime;
    case kTagScore: return &GameSetup::showScore;
    case kTagPositions: return &GameSetup::positions;
    case kTagBackgroundEffect: return &GameSetup::backgroundEffect;
    case kTagSpeech: return &GameSetup::speech;
    case kTagMusic: return &GameSetup::music;
    default: return nullptr;
  }
}

std::string TableWord(const char* const* words, int count, int index) {
  return index >= 0 && index < count ? words[index] : "";
}

void Label(Game& g, int x, int y, const char* name, double scale = 1.1) {
  g.menu.MainList().AddItem(g, x, y, 1, name, false, scale, kOrdinaryWord);
}

// A clickable value. A value with no word (outside its table, or a key without a name)
// keeps an empty cell there, so the player can still click it and choose a proper value.
void Value(Game& g, int x, int y, int tag, const std::string& word, double scale = 1.0) {
  TMenuVrchol* n = g.menu.MainList().AddItem(g, x, y, tag, word, true, scale, kOrdinaryWord);
  if (word.empty()) n->sprite->visible = false;
}

void AddTwoState(Game& g, const TwoState& o) {
  if (o.label) Label(g, o.labelX, o.labelY, o.label);
  Value(g, o.valueX, o.valueY, o.tag, g.settings.game.*o.field ? o.onWord : o.offWord,
        o.valueScale);
}

bool InRows(int tag, int base) { return tag >= base && tag < base + kPlayerSlots; }

void RemovePreview(Game& g) {
  if (!g.menu.PreviewSprite) return;
  g.scene.RemoveSprite(g.menu.PreviewSprite);
  g.menu.PreviewSprite = nullptr;
}

// ---- Help: what only the readable screens show ----

constexpr const char* kControlNames[] = {"left", "right", "fire"};
constexpr int kKeyTagBase[] = {kTagLeftKey, kTagRightKey, kTagFireKey};

uint8_t KeyOf(const PlayerSetup& p, int control) {
  return control == 0 ? p.leftKey : control == 1 ? p.rightKey : p.fireKey;
}

// The key cell a tag names, if it names one.
bool KeyCellOf(int tag, KeyBinding* b) {
  for (int c = 0; c < 3; ++c) {
    if (InRows(tag, kKeyTagBase[c])) {
      *b = {tag - kKeyTagBase[c], c};
      return true;
    }
  }
  return false;
}

std::vector<std::string> KindHelp(int kind) {
  if (kind == kKindRandomByte) return {kKindHelp[20].picture};
  if (kind >= 1 && kind <= 20) return {kKindHelp[kind - 1].picture};
  return {};
}

// Words side by side, centred on cx, as words of `kind`.
void AddCentredWords(Game& g, int cx, int y, int tag, const std::vector<std::string>& words,
                     double scale, int kind) {
  TMenuZoznam& list = g.menu.MainList();
  const size_t first = list.Count();
  double at = 0;
  for (const std::string& w : words) {
    TMenuVrchol* n = list.AddItem(g, 0, y, tag, w, false, scale, kind);
    n->x = static_cast<int>(at);
    n->sprite->x += static_cast<float>(n->x);
    at += n->pictureWidth * scale;
  }
  const int dx = cx - static_cast<int>(at / 2);
  for (size_t i = first; i < list.Count(); ++i) {
    TMenuVrchol& n = *list.Nodes()[i];
    n.x += dx;
    n.sprite->x += static_cast<float>(dx);
  }
}

// The help line sits where the title is, which steps aside while it shows; beside the
// kind pop-up it keeps to the left of it.
void ShowHelp(Game& g, const std::vector<std::string>& words) {
  MenuState& m = g.menu;
  const int cx = g.phase == GamePhase::PickKind ? kHelpBesideKindsX : kHelpX;
  std::string key;
  if (!words.empty()) key = std::to_string(cx);
  for (const std::string& w : words) key += " " + w;
  if (key == m.SetupHelp) return;
  while (m.MainList().RemoveTag(kTagHelpLine)) {
  }
  m.SetupHelp = key;
  if (g.TitleSprite) g.TitleSprite->visible = words.empty();
  if (words.empty()) return;
  AddCentredWords(g, cx, kHelpY, kTagHelpLine, words, 1.0, kOrdinaryWord);
}

// Frames round every key a human shares with another binding of a human.
void MarkSharedKeys(Game& g) {
  for (int row = 0; row < kPlayerSlots; ++row) {
    for (int c = 0; c < 3; ++c) {
      if (SharersOf(g.settings, {row, c}).empty()) continue;
      const int x = c == 0 ? 256 : c == 1 ? 329 : 402;
      g.menu.MainList().AddItem(g, x - 1, 98 + 16 * row, kTagSharedKey, "shared_key", false, 1.0,
                                kOrdinaryWord);
    }
  }
}

// ---- Pop-ups ----

void OpenPopup(Game& g, int tag, GamePhase phase) {
  TMenuZoznam& list = g.menu.MainList();
  list.mode = 2;
  list.popupTag = tag;
  g.phase = phase;
  PlaySound(g, "menuclick.mp3", 0);
}

void PopupFrame(Game& g, int x, int y, int width, int height) {
  g.menu.MainList().AddSizedItem(g, x, y, kTagPopupFrame, "empty", false, 1.0, kPopupWord, width,
                                 height);
}

void Option(Game& g, int x, int y, int tag, const std::string& word) {
  g.menu.MainList().AddItem(g, x, y, tag, word, true, 1.0, kPopupWord);
}

void OpenControllerPopup(Game& g, int tag) {
  const int dy = 16 * (tag - kTagController);
  PopupFrame(g, 132, 58 + dy, 122, 94);
  Option(g, 148, 74 + dy, kOptController + CtrlHuman, "human");
  Option(g, 148, 90 + dy, kOptController + CtrlOff, "off");
  Option(g, 148, 106 + dy, kOptController + CtrlCpuIq0, "cpuiq0");
  Option(g, 148, 122 + dy, kOptController + CtrlCpuIq10, "cpuiq10");
  g.menu.PickAllPlayers = tag == kTagActive;
  OpenPopup(g, tag, GamePhase::PickController);
}

void OpenKindPopup(Game& g, int tag) {
  // Beside the clicked row, pulled up by half the pointer's height so it fits the screen.
  const int b = 58 - g.menu.MouseY / 2 + 16 * (tag - kTagKind);
  PopupFrame(g, 440, b, 188, 368);
  for (int k = 1; k <= 20; ++k) Option(g, 456, b + 16 * k, kOptKind + k, KindWord(k));
  Option(g, 456, b + 16 * 21, kOptKindRandom, "w_random");
  g.menu.PickAllPlayers = tag == kTagJob;
  OpenPopup(g, tag, GamePhase::PickKind);
}

void OpenKeyPrompt(Game& g, int tag, GamePhase phase) {
  const int mx = g.menu.MouseX, my = g.menu.MouseY;
  if (!g.presentation.Extras()) {
    PopupFrame(g, mx - 69, my + 18, 138, 48);
  } else {
    // Taller and wider, for whose key it is and how to leave without binding one: a click
    // anywhere, since Escape is a key like any other here.
    PopupFrame(g, std::clamp(mx - kPromptWidth / 2, 2, 638 - kPromptWidth), my + 18, kPromptWidth,
               kPromptHeight);
  }
  g.menu.MainList().AddItem(g, mx - 53, my + 32, kTagKeyPrompt, "press_a_key", false, 1.0,
                            kPopupWord);
  if (g.presentation.Extras()) {
    KeyBinding b;
    KeyCellOf(tag, &b);
    const int cx = g.menu.PopupFrameX + kPromptWidth / 2;
    AddCentredWords(g, cx, my + 50, kTagPromptLine, KeyWords(b), 1.0, kPopupWord);
    AddCentredWords(g, cx, my + 68, kTagPromptLine, {kClickToCancel.picture}, 1.0, kPopupWord);
  }
  g.PhaseStart = g.Now;
  OpenPopup(g, tag, phase);
}

void OpenStartPositionPopup(Game& g) {
  PopupFrame(g, 206, 341, 260, 128);
  for (int v = 0; v < 6; ++v)
    Option(g, 222, kStartOptionY[v], kOptStartPosition + v, kStartPositionWords[v]);
  RemovePreview(g);
  Sprite* s = g.scene.CreateSprite();
  s->SetLibrary(&g.scene.Library(LibGLMLmenu));
  s->width = 64;
  s->height = 64;
  s->x = 496;
  s->y = 330;
  s->visible = true;
  g.menu.PreviewSprite = s;
  OpenPopup(g, kTagStartPosition, GamePhase::PickStartPosition);
}

void OpenScoreLimitPopup(Game& g) {
  const int mx = g.menu.MouseX, my = g.menu.MouseY;
  PopupFrame(g, mx - 38, my - 46, 76, 124);
  for (int v = 0; v < 6; ++v)
    Option(g, mx - 22, my - 32 + 16 * v, kOptScoreLimit + v, kScoreLimitWords[v]);
  OpenPopup(g, kTagScoreLimit, GamePhase::PickScoreLimit);
}

void OpenSpeedPopup(Game& g, int tag, GamePhase phase) {
  const int mx = g.menu.MouseX, my = g.menu.MouseY;
  PopupFrame(g, mx - 34, my - 62, 68, 188);
  for (int v = 0; v < 10; ++v) Option(g, mx - 18, my - 48 + 16 * v, kOptSpeed + v, kSpeedNames[v]);
  OpenPopup(g, tag, phase);
}

void OpenTeamPopup(Game& g, int tag) {
  const int mx = g.menu.MouseX, my = g.menu.MouseY;
  PopupFrame(g, mx - 24, my - 62, 48, 92);
  for (int v = 0; v < 4; ++v)
    Option(g, mx - 8, my - 48 + 16 * v, kOptTeam + v, std::to_string(v + 1) + "c");
  OpenPopup(g, tag, GamePhase::PickTeam);
}

// Back to the table without a change.
void ClosePopup(Game& g) {
  TMenuZoznam& list = g.menu.MainList();
  list.RemovePopupItems();
  list.mode = 1;
  g.menu.PopupFrameShown = false;
  g.phase = GamePhase::SetupMenu;
}

// The setting is written: show it, and keep tandrix.cfg in step with the screen.
void Commit(Game& g, const char* sound) {
  BuildSetupMenu(g);
  g.menu.MainList().mode = 1;
  g.menu.PopupFrameShown = false;
  g.phase = GamePhase::SetupMenu;
  SaveSetupNow(g);
  PlaySound(g, sound, 0);
}

// The player a pop-up was opened for, or -1 when its tag names no row.
int PopupRow(const Game& g, int base) {
  const int row = g.menu.MainList().popupTag - base;
  return row >= 0 && row < kPlayerSlots ? row : -1;
}

// Writes a choice to the player the pop-up belongs to, or to all twelve from a heading.
template <typename Write>
void WritePlayers(Game& g, int base, Write write) {
  if (g.menu.PickAllPlayers) {
    for (PlayerSetup& p : g.settings.players) write(p);
  } else if (int row = PopupRow(g, base); row >= 0) {
    write(g.settings.players[row]);
  }
}

// The option `tag` of the open pop-up, written to its setting; false when `tag` is not one
// of this pop-up's options.
bool WritePick(Game& g, GamePhase phase, int tag) {
  GameSetup& s = g.settings.game;
  auto in = [tag](int first, int last) { return tag >= first && tag <= last; };
  switch (phase) {
    case GamePhase::PickController:
      if (!in(kOptController + CtrlOff, kOptController + CtrlCpuIq10)) return false;
      WritePlayers(g, kTagController, [&](PlayerSetup& p) {
        p.controller = static_cast<uint8_t>(tag - kOptController);
      });
      return true;
    case GamePhase::PickKind:
      if (!in(kOptKind + 1, kOptKindRandom)) return false;
      WritePlayers(g, kTagKind, [&](PlayerSetup& p) {
        p.kind = tag == kOptKindRandom ? kKindRandomByte : static_cast<uint8_t>(tag - kOptKind);
      });
      return true;
    case GamePhase::PickStartPosition:
      if (!in(kOptStartPosition, kOptStartPosition + 5)) return false;
      s.startPosition = static_cast<uint8_t>(tag - kOptStartPosition);
      return true;
    case GamePhase::PickScoreLimit:
      if (!in(kOptScoreLimit, kOptScoreLimit + 5)) return false;
      s.scoreLimit = static_cast<uint8_t>(tag - kOptScoreLimit);
      return true;
    case GamePhase::PickConstantSpeed:
    case GamePhase::PickFromSpeed:
    case GamePhase::PickToSpeed: {
      if (!in(kOptSpeed, kOptSpeed + 9)) return false;
      const auto v = static_cast<uint8_t>(tag - kOptSpeed);
      (phase == GamePhase::PickConstantSpeed ? s.constantSpeed
       : phase == GamePhase::PickFromSpeed   ? s.fromSpeed
                                             : s.toSpeed) = v;
      return true;
    }
    case GamePhase::PickTeam: {
      if (!in(kOptTeam, kOptTeam + 3)) return false;
      if (int row = PopupRow(g, kTagTeam); row >= 0)
        g.settings.players[row].team = static_cast<uint8_t>(tag - kOptTeam + 1);
      return true;
    }
    default: return false;
  }
}

// A click on a two-state value: flip it, say so, save it, show it.
bool Toggle(Game& g, int tag) {
  GameSetup& s = g.settings.game;
  if (tag == kTagSpeedMode || tag == kTagRightLeft) {
    uint8_t& v = tag == kTagSpeedMode ? s.speedMode : s.rightLeft;
    v = v ? 0 : 1;
    PlaySound(g, "menuclick.mp3", 0);
  } else if (tag == kTagSounds) {
    // Written first: switching sounds off is silent, switching them on is heard.
    const bool was = s.sounds != 0;
    s.sounds = was ? 0 : 1;
    PlaySound(g, was ? "on.mp3" : "off.mp3", 0);
  } else if (uint8_t GameSetup::*field = PlainToggle(tag)) {
    const bool was = s.*field != 0;
    PlaySound(g, was ? "on.mp3" : "off.mp3", 0);
    s.*field = was ? 0 : 1;
    if (tag == kTagMusic && was) StopMusic(g);
  } else {
    return false;
  }
  SaveSetupNow(g);
  BuildSetupMenu(g);
  return true;
}

bool EscapeReleased(const Game& g) {
  return g.input.PrevKeys[VK_Escape] && !g.input.Keys[VK_Escape];
}

}  // namespace

std::string ControllerWord(int controller) {
  return TableWord(kControllerWords, 4, controller - 1);
}

std::string KindWord(int kind) {
  if (kind == kKindRandomByte) return "w_random";
  return TableWord(kKindWords, 20, kind - 1);
}

std::string SpeedName(int speedIndex) { return TableWord(kSpeedNames, 10, speedIndex); }

std::string ScoreLimitWord(int scoreLimitIndex) {
  return TableWord(kScoreLimitWords, 6, scoreLimitIndex);
}

std::string StartPositionWord(int rule) { return TableWord(kStartPositionWords, 6, rule); }

std::vector<KeyBinding> SharersOf(const SettingsBlock& s, KeyBinding b) {
  std::vector<KeyBinding> others;
  if (b.row < 0 || b.row >= kPlayerSlots || b.control < 0 || b.control > 2) return others;
  const PlayerSetup& p = s.players[b.row];
  const uint8_t key = KeyOf(p, b.control);
  // Only people press keys; a computer player's or a switched-off row's keys are idle.
  if (p.controller != CtrlHuman || key == 0) return others;
  for (int row = 0; row < kPlayerSlots; ++row) {
    if (s.players[row].controller != CtrlHuman) continue;
    for (int c = 0; c < 3; ++c) {
      const KeyBinding o{row, c};
      if (o != b && KeyOf(s.players[row], c) == key) others.push_back(o);
    }
  }
  return others;
}

std::vector<std::string> HelpFor(const Game& g, int tag) {
  if (tag == kTagActive) return {kActiveHelp.picture};
  if (tag == kTagJob) return {kJobHelp.picture};
  if (InRows(tag, kTagKind)) return KindHelp(g.settings.players[tag - kTagKind].kind);
  if (tag > kOptKind && tag < kOptKindRandom) return KindHelp(tag - kOptKind);
  if (tag == kOptKindRandom) return KindHelp(kKindRandomByte);
  const int rule =
      tag == kTagStartPosition ? g.settings.game.startPosition : tag - kOptStartPosition;
  if ((tag == kTagStartPosition || (tag >= kOptStartPosition && tag < kOptStartPosition + 6)) &&
      rule >= 0 && rule < 6)
    return {kStartHelp[rule].picture};
  if (KeyBinding b; KeyCellOf(tag, &b)) {
    const std::vector<KeyBinding> others = SharersOf(g.settings, b);
    if (others.empty()) return {};
    std::vector<std::string> words = {kSameKeyAs.picture};
    for (const std::string& w : KeyWords(others[0])) words.push_back(w);
    if (others.size() > 1) words.emplace_back(kAndMore.picture);
    return words;
  }
  return {};
}

std::vector<std::string> KeyWords(KeyBinding b) {
  return {"player", std::to_string(std::clamp(b.row, 0, kPlayerSlots - 1) + 1),
          kControlNames[std::clamp(b.control, 0, 2)]};
}

void BuildSetupMenu(Game& g) {
  // The title sits higher here, above the players' table.
  if (g.TitleSprite) g.TitleSprite->y = 106;
  TMenuZoznam& list = g.menu.MainList();
  list.Clear();
  for (const FixedWord& w : kFixedWords)
    list.AddItem(g, w.x, w.y, w.tag, w.name, w.selectable, w.scale, kOrdinaryWord);
  const auto& players = g.settings.players;
  for (int i = 0; i < kPlayerSlots; ++i) {
    const int top = 98 + 16 * i;
    list.AddItem(g, 26, 101 + 16 * i, 0, std::to_string(i + 1), false, 1.0, kOrdinaryWord);
    const int team = players[i].team;
    Value(g, 84, top, kTagTeam + i, team >= 1 && team <= 4 ? std::to_string(team) + "c" : "");
    Value(g, 158, top, kTagController + i, ControllerWord(players[i].controller));
  }
  for (int i = 0; i < kPlayerSlots; ++i)
    list.AddItem(g, 7, 100 + 16 * i, 1, ColourName(i), false, 0.9, kOrdinaryWord);
  for (int i = 0; i < kPlayerSlots; ++i) {
    const int top = 98 + 16 * i;
    Value(g, 256, top, kTagLeftKey + i, KeyName(g, players[i].leftKey));
    Value(g, 329, top, kTagRightKey + i, KeyName(g, players[i].rightKey));
    Value(g, 402, top, kTagFireKey + i, KeyName(g, players[i].fireKey));
  }
  for (int i = 0; i < kPlayerSlots; ++i)
    Value(g, 476, 98 + 16 * i, kTagKind + i, KindWord(players[i].kind));

  const GameSetup& s = g.settings.game;
  for (const TwoState& o : kFirstOptions) AddTwoState(g, o);
  if (s.speedMode) {
    Value(g, 222, 329, kTagConstantSpeed, SpeedName(s.constantSpeed));
  } else {
    Label(g, 240, 327, "from", 1.0);
    Label(g, 400, 327, "to", 1.0);
    Value(g, 320, 329, kTagFromSpeed, SpeedName(s.fromSpeed));
    Value(g, 448, 329, kTagToSpeed, SpeedName(s.toSpeed));
  }
  Label(g, 26, 350, "starting_position");
  Value(g, 222, 351, kTagStartPosition, StartPositionWord(s.startPosition));
  Label(g, 26, 374, "score_limit");
  Value(g, 200, 377, kTagScoreLimit, ScoreLimitWord(s.scoreLimit));
  for (const TwoState& o : kLaterOptions) AddTwoState(g, o);
  // The list is new: no help line shows, so the title is back.
  g.menu.SetupHelp.clear();
  if (g.presentation.Extras()) {
    if (g.TitleSprite) g.TitleSprite->visible = true;
    MarkSharedKeys(g);
  }
}

bool SaveSetupNow(Game& g) {
  std::string error;
  if (g.SaveSetup(error)) {  // a replay stands in for the file and writes nothing
    g.menu.SetupSaveFailed = false;
    return true;
  }
  // The old file is still whole; say it once, not at every click.
  if (!g.menu.SetupSaveFailed)
    std::cerr << "tandrix: " << error << "; set-up changes are kept only until the game ends\n";
  g.menu.SetupSaveFailed = true;
  return false;
}

void SetupMenuStep(Game& g) {
  MenuState& m = g.menu;
  UpdateHover(g);
  if (g.presentation.Extras()) ShowHelp(g, HelpFor(g, m.HoverTag));
  if (!TakeClick(g)) return;
  const int tag = m.HoverTag;
  if (tag == kTagSetupBack) {
    m.MainList().Clear();
    SaveSetupNow(g);
    g.phase = GamePhase::MainMenuBuild;
    m.MenuMusicRunning = true;
    PlaySound(g, "menuclick.mp3", 0);
  } else if (tag == kTagActive || InRows(tag, kTagController)) {
    OpenControllerPopup(g, tag);
  } else if (tag == kTagJob || InRows(tag, kTagKind)) {
    OpenKindPopup(g, tag);
  } else if (InRows(tag, kTagLeftKey)) {
    OpenKeyPrompt(g, tag, GamePhase::CaptureLeftKey);
  } else if (InRows(tag, kTagRightKey)) {
    OpenKeyPrompt(g, tag, GamePhase::CaptureRightKey);
  } else if (InRows(tag, kTagFireKey)) {
    OpenKeyPrompt(g, tag, GamePhase::CaptureFireKey);
  } else if (InRows(tag, kTagTeam)) {
    OpenTeamPopup(g, tag);
  } else if (tag == kTagStartPosition) {
    OpenStartPositionPopup(g);
  } else if (tag == kTagScoreLimit) {
    OpenScoreLimitPopup(g);
  } else if (tag == kTagConstantSpeed) {
    OpenSpeedPopup(g, tag, GamePhase::PickConstantSpeed);
  } else if (tag == kTagFromSpeed) {
    OpenSpeedPopup(g, tag, GamePhase::PickFromSpeed);
  } else if (tag == kTagToSpeed) {
    OpenSpeedPopup(g, tag, GamePhase::PickToSpeed);
  } else {
    Toggle(g, tag);  // a label or empty space changes nothing
  }
}

void SetupPickStep(Game& g) {
  MenuState& m = g.menu;
  const GamePhase phase = g.phase;
  const bool startPosition = phase == GamePhase::PickStartPosition;
  if (startPosition && m.PreviewSprite) {
    m.PreviewSprite->visible = false;
    for (int v = 0; v < 6; ++v) {
      if (IsHovered(g, kOptStartPosition + v)) {
        m.PreviewSprite->SetMaterialName(std::string(kStartPositionWords[v]) + "_pic");
        m.PreviewSprite->visible = true;
      }
    }
  }
  UpdateHover(g);
  if (g.presentation.Extras() && (phase == GamePhase::PickKind || startPosition))
    ShowHelp(g, HelpFor(g, m.HoverTag));
  if (TakeClick(g)) {
    if (m.HoverTag == 0) {
      ClosePopup(g);
    } else if (WritePick(g, phase, m.HoverTag)) {
      Commit(g, "menuclick.mp3");
    }
  }
  if (g.phase == phase && EscapeReleased(g)) {
    // Escape leaves the pop-up; nothing was written, so nothing is saved.
    BuildSetupMenu(g);
    m.MainList().mode = 1;
    m.PopupFrameShown = false;
    g.phase = GamePhase::SetupMenu;
  }
  if (startPosition && g.phase != phase) RemovePreview(g);
}

void KeyCaptureStep(Game& g) {
  MenuState& m = g.menu;
  m.MainList().ResizeTag(kTagKeyPrompt, 1 + 0.03 * std::sin(4 * (g.PhaseStart - g.Now)));
  // One key held alone and now released; two keys together bind nothing. Escape is a key
  // like any other here.
  if (SingleKeyDown(g) && NoKeyDown(g)) {
    const uint8_t key = LastKeyDown(g);
    const GamePhase phase = g.phase;
    const int base = phase == GamePhase::CaptureLeftKey    ? kTagLeftKey
                     : phase == GamePhase::CaptureRightKey ? kTagRightKey
                                                           : kTagFireKey;
    if (int row = PopupRow(g, base); row >= 0) {
      PlayerSetup& p = g.settings.players[row];
      (base == kTagLeftKey ? p.leftKey : base == kTagRightKey ? p.rightKey : p.fireKey) = key;
    }
    Commit(g, "key.mp3");
  }
  UpdateHover(g);
  if (TakeClick(g) && m.HoverTag == 0) ClosePopup(g);
}

}  // namespace tdx
