// Menu words: every word on screen is a picture of GLMLmenu shown by one sprite and
// identified by an integer tag. Lists keep words in order; the first match wins for
// tag operations, the last hit word wins for hovering.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tdx {

struct Game;
struct Sprite;
class Scene;

inline constexpr int kOrdinaryWord = 1;
inline constexpr int kPopupWord = 2;

class TMenuVrchol {
 public:
  TMenuVrchol(Game& g, int x, int y, int tag, const std::string& name, bool selectable,
              double scale, int kind);
  virtual ~TMenuVrchol();
  TMenuVrchol(const TMenuVrchol&) = delete;
  TMenuVrchol& operator=(const TMenuVrchol&) = delete;

  int x = 0, y = 0;
  int pictureWidth = 0, pictureHeight = 0;
  int hitWidth = 16, hitHeight = 16;
  int tag = 0;
  double scale = 1.0;
  bool selectable = false;
  int kind = kOrdinaryWord;
  std::string name;
  Sprite* sprite = nullptr;

 private:
  Scene& scene_;
};

class TMenuZoznam {
 public:
  int mode = 1;  // 2 while a pop-up is open: only pop-up words react
  int popupTag = 0;

  TMenuVrchol* AddItem(Game& g, int x, int y, int tag, const std::string& name, bool selectable,
                       double scale, int kind);
  TMenuVrchol* AddSizedItem(Game& g, int x, int y, int tag, const std::string& name,
                            bool selectable, double scale, int kind, int width, int height);
  void Clear() { nodes_.clear(); }
  void RemoveFirst() { RemoveAt(0); }
  void RemoveAt(uint32_t index);
  bool RemoveTag(int tag);
  void RemovePopupItems();
  void ResizeTag(int tag, double factor);
  void ShowTag(int tag);
  void HideTag(int tag);
  TMenuVrchol* FindTag(int tag) const;

  bool Empty() const { return nodes_.empty(); }
  size_t Count() const { return nodes_.size(); }
  const std::vector<std::unique_ptr<TMenuVrchol>>& Nodes() const { return nodes_; }

 private:
  std::vector<std::unique_ptr<TMenuVrchol>> nodes_;
};

struct MenuState {
  // Mouse state, written by the view's handlers.
  int MouseX = 0;
  int MouseY = 0;
  bool MouseClicked = false;
  int HoverTag = 0;
  // The frame of an open pop-up, drawn by the after-render hook.
  bool PopupFrameShown = false;
  int PopupFrameX = 0, PopupFrameY = 0, PopupFrameWidth = 0, PopupFrameHeight = 0;

  // MainList holds every visible word; the other four are only ever emptied.
  std::array<TMenuZoznam, 5> lists;
  TMenuZoznam& MainList() { return lists[0]; }
  const TMenuZoznam& MainList() const { return lists[0]; }
  void ClearOtherLists() {
    for (size_t i = 1; i < lists.size(); ++i) lists[i].Clear();
  }

  // Main menu state.
  // A match asked for on the command line, started on the first main-menu frame as if its
  // word had been clicked: 0 none, 1 deathmatch, 2 team deathmatch.
  int StartRequest = 0;
  // A match asked for on the command line is running (its end ends a headless run).
  bool StartedFromCommandLine = false;
  // A match just ended at a round start because its set-up left too few players (1) or
  // teams (2) taking part; the menu says so as it says it when a match cannot start.
  int TooFewWarning = 0;
  // The main menu offers network play and the replays (not while a recording of the keys
  // and mouse plays: its clicks never met the words).
  bool NetworkOffered = false;
  // "network" was clicked: the program leaves the menu for the network screens.
  bool NetworkRequest = false;
  // "replays" was clicked: the program leaves the menu for the replays screen.
  bool ReplaysRequest = false;
  // Where the set-up comes from, for that message: tandrix.cfg, or a recording's.
  std::string SetupName = "tandrix.cfg";
  bool FirstMenuFrame = true;
  bool WelcomePending = true;
  double WelcomeTime = 0;
  bool MenuMusicRunning = false;
  int LastHoverTag = 0;

  // Set-up screen state, from opening a pop-up to closing it.
  bool PickAllPlayers = false;      // opened from "active" or "job": the choice sets all 12
  Sprite* PreviewSprite = nullptr;  // the start-position picture beside its pop-up
  std::string SetupHelp;            // the help line shown and where, empty for none
  // A save of tandrix.cfg failed and was told; reset by the next save that works.
  bool SetupSaveFailed = false;

  // The ticker along the bottom of the main menu.
  std::array<Sprite*, 81> TickerSprites{};
  std::array<bool, 81> TickerInUse{};
  int TickerPos = 0;
  int TickerLast = 0;
  double TickerAdvance = 0;
};

// The word under the pointer, by the strict hit test.
bool HitTest(const Game& g, const TMenuZoznam& list, const TMenuVrchol& node);
// Per frame in menu-like phases: hover growth to 105 % and HoverTag.
void UpdateHover(Game& g);
bool IsHovered(const Game& g, int tag);
// Takes a pending click: true (and clears it) when there was one.
bool TakeClick(Game& g);

}  // namespace tdx
