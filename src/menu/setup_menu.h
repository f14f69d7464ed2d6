// The set-up screen: every setting edited with the mouse, keys bound by pressing them.
#pragma once

#include <string>
#include <vector>

namespace tdx {

struct Game;
struct SettingsBlock;

// Tags of the set-up screen's words; a row's tag is its base plus the row 0..11.
inline constexpr int kTagSetupBack = 1;
inline constexpr int kTagActive = 99;  // the controller heading: sets all twelve players
inline constexpr int kTagController = 100;
inline constexpr int kTagJob = 199;  // the kind heading: sets all twelve players
inline constexpr int kTagKind = 200;
inline constexpr int kTagLeftKey = 300;
inline constexpr int kTagRightKey = 400;
inline constexpr int kTagFireKey = 500;
inline constexpr int kTagBonus = 700;
inline constexpr int kTagSpeedMode = 800;
inline constexpr int kTagStartPosition = 900;
inline constexpr int kTagGameNumber = 1000;
inline constexpr int kTagGameTime = 1001;
inline constexpr int kTagRealTime = 1002;
inline constexpr int kTagScore = 1003;
inline constexpr int kTagPositions = 1004;
inline constexpr int kTagSounds = 1005;
inline constexpr int kTagBackgroundEffect = 1006;
inline constexpr int kTagMusic = 1007;
inline constexpr int kTagSpeech = 1008;
inline constexpr int kTagRightLeft = 1009;
inline constexpr int kTagScoreLimit = 1100;
inline constexpr int kTagConstantSpeed = 1200;
inline constexpr int kTagFromSpeed = 1300;
inline constexpr int kTagToSpeed = 1400;
inline constexpr int kTagTeam = 2000;
// Pop-up options: the base plus the value.
inline constexpr int kOptController = 10100;
inline constexpr int kOptKind = 10200;
inline constexpr int kOptKindRandom = 10221;
inline constexpr int kOptStartPosition = 10900;
inline constexpr int kOptScoreLimit = 11100;
inline constexpr int kOptSpeed = 11200;
inline constexpr int kOptTeam = 12000;
inline constexpr int kTagPopupFrame = 60000;
inline constexpr int kTagKeyPrompt = 70000;
// What the screen adds to help: never clickable, after every described word.
inline constexpr int kTagSharedKey = 80000;   // the frame round a key two bindings share
inline constexpr int kTagHelpLine = 80001;    // what the word under the pointer means
inline constexpr int kTagPromptLine = 80002;  // whose key the prompt binds, how to cancel

// A player's key: the row 0..11 and its left (0), right (1) or fire (2) key.
struct KeyBinding {
  int row = 0;
  int control = 0;
  bool operator==(const KeyBinding&) const = default;
};
// The other keys of human players bound to the same key as `b`; empty when `b` is not a
// human's or no other binding uses its key.
std::vector<KeyBinding> SharersOf(const SettingsBlock& s, KeyBinding b);
// The pictures of the line that explains a word of the set-up screen or of its pop-ups, by
// the word's tag; none for a word that explains itself.
std::vector<std::string> HelpFor(const Game& g, int tag);
// The words naming a key binding: "player", the row's number and "left", "right" or "fire".
std::vector<std::string> KeyWords(KeyBinding b);
// Where the help line goes: centred at the top, where the title steps aside for it, or
// left of the kind pop-up while that is open.
inline constexpr int kHelpX = 320;
inline constexpr int kHelpBesideKindsX = 220;
inline constexpr int kHelpY = 48;

// The word of a setting's value, empty for a value outside its table.
std::string ControllerWord(int controller);
std::string KindWord(int kind);
std::string SpeedName(int speedIndex);
std::string ScoreLimitWord(int scoreLimitIndex);
std::string StartPositionWord(int rule);

// Moves the title up and lays out the players' table and the match options as the
// settings block stands.
void BuildSetupMenu(Game& g);

// Writes the settings block to tandrix.cfg. Every save the set-up screen makes goes through
// here. A failed save keeps the old file whole (the write is atomic) and is told on stderr
// once, until a save works again.
bool SaveSetupNow(Game& g);

// Phase SetupMenu: clicks on values toggle them or open their pop-up.
void SetupMenuStep(Game& g);
// The pop-up phases: PickController, PickKind, PickStartPosition, PickScoreLimit, the three
// speed pickers and PickTeam.
void SetupPickStep(Game& g);
// CaptureLeftKey, CaptureRightKey, CaptureFireKey: the "press a key" prompt.
void KeyCaptureStep(Game& g);

}  // namespace tdx
