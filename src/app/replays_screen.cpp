#include "app/replays_screen.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/game_flow.h"
#include "app/own_screens.h"
#include "app/replay.h"
#include "app/replay_cursor.h"
#include "app/round_cycle.h"
#include "audio/sound.h"
#include "display/hooks.h"
#include "display/hud.h"
#include "display/match_view.h"
#include "display/renderer.h"
#include "display/tell.h"
#include "menu/main_menu.h"
#include "menu/menu_items.h"
#include "menu/menu_text.h"
#include "platform/platform.h"
#include "players/key_codes.h"

namespace tdx {

namespace {

// The replays screen's words and rows (above the main menu's and the network screens' tags).
constexpr int kTagWatch = 2000;   // + the row on the page
constexpr int kTagKeep = 2100;    // + the row
constexpr int kTagDelete = 2200;  // + the row
constexpr int kTagBack = 2300;
constexpr int kTagPrevious = 2301;
constexpr int kTagNext = 2302;
constexpr int kTagText = 2303;  // letters nobody clicks
constexpr int kRowsShown = 7;
constexpr int kRowTop = 58;
constexpr int kRowHeight = 50;
constexpr int kPlayersPerLine = 6;

// Windows virtual-key codes the viewer answers to.
constexpr int kKeySpace = 0x20;
constexpr int kKeyPageUp = 0x21;
constexpr int kKeyPageDown = 0x22;
constexpr int kKeyEnd = 0x23;
constexpr int kKeyHome = 0x24;
constexpr int kKeyLeft = 0x25;
constexpr int kKeyUp = 0x26;
constexpr int kKeyRight = 0x27;
constexpr int kKeyDown = 0x28;
constexpr int kKeyS = 'S';
constexpr int kKeyF12 = 0x7B;
constexpr int kKeyPeriod = 190;

// The position bar along the strip under the arena.
constexpr int kBarLeft = 96;
constexpr int kBarRight = 456;
constexpr int kBarTop = 468;
constexpr int kBarBottom = 476;
constexpr int kStripTop = 464;  // clicks below it seek

constexpr const char* kKindShort[] = {"travel", "speed", "stop",  "warp",  "revers", "killer",
                                      "laser",  "multi", "virus", "repel", "rocket", "atomic",
                                      "reprod", "erect", "telep", "shoot", "infern", "thick",
                                      "pause",  "vircon"};  // kinds 1..20

std::string KindShort(uint8_t kind) {
  return kind >= 1 && kind <= 20 ? kKindShort[kind - 1] : "random";
}

std::string DateText(std::time_t when) {
  std::tm t{};
  if (when == 0 || !localtime_r(&when, &t)) return "";
  char buf[32];
  std::strftime(buf, sizeof buf, "%d %b %H:%M", &t);
  std::string s = buf;
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

using Clock = std::chrono::steady_clock;

class ReplaysWindow {
 public:
  ReplaysWindow(Platform& platform, Game& g, FrameClock& clock, const AppOptions& o)
      : platform_(platform), g_(g), clock_(clock), o_(o) {}
  // False when the window was closed.
  bool Run(long long& frames);

 private:
  enum class Screen { List, Watch };

  void Refresh();
  void ShowList();
  void StepList();
  void Watch(const ReplayListing& r);
  void StopWatching();
  void StepWatch();
  void Seek(int64_t frame);
  void SeekRoundFrom(int direction);
  void ShowOverlay();
  void DrawBar();
  void Trace(const std::string& line) const;
  bool Pressed(int key) const {
    return keys_[static_cast<size_t>(key)] && !keysBefore_[static_cast<size_t>(key)];
  }

  Platform& platform_;
  Game& g_;
  FrameClock& clock_;
  const AppOptions& o_;
  Screen screen_ = Screen::List;
  std::vector<ReplayListing> listing_;
  size_t page_ = 0;
  int armedDelete_ = -1;  // the row whose "delete" asks to be clicked again
  bool rebuild_ = true;
  bool leave_ = false;  // "back" was clicked
  std::string status_;
  std::array<uint8_t, 256> keys_{}, keysBefore_{};
  std::vector<MouseEvent> mouse_;

  // Watching.
  std::unique_ptr<ReplayCursor> cursor_;
  std::string watched_;
  bool paused_ = false;
  int speed_ = kNormalSpeed;
  double owed_ = 0;
  bool pictureWanted_ = false;
  TMenuZoznam overlay_;  // the marker and the position's words, kept apart from the match's
  std::string shownOverlay_;
  std::string note_;  // a word for a few seconds (a picture saved)
  Clock::time_point noteUntil_{};
};

void ReplaysWindow::Trace(const std::string& line) const {
  if (!o_.trace) return;
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void ReplaysWindow::Refresh() {
  listing_ = ListReplays(g_.folders.playerData);
  const size_t pages = listing_.empty() ? 1 : (listing_.size() + kRowsShown - 1) / kRowsShown;
  page_ = std::min(page_, pages - 1);
  armedDelete_ = -1;
  rebuild_ = true;
}

void ReplaysWindow::ShowList() {
  Game& g = g_;
  for (auto& list : g.menu.lists) list.Clear();
  if (g.TitleSprite) g.TitleSprite->visible = false;  // the rows take the whole view
  TMenuZoznam& list = g.menu.MainList();
  list.AddItem(g, 270, 14, kTagText, "replays", false, 1.2, kOrdinaryWord);
  if (listing_.empty()) {
    AddText(g, 60, 200, kTagText, "no recordings yet: every match played is kept here", 0.8);
  }
  const size_t first = page_ * kRowsShown;
  for (size_t i = first; i < listing_.size() && i < first + kRowsShown; ++i) {
    const ReplayListing& r = listing_[i];
    const int row = static_cast<int>(i - first);
    const int y = kRowTop + kRowHeight * row;
    AddText(g, 24, y, kTagWatch + row, Shown(ListingLine(r), 52), 0.7, true);
    if (!r.kept && r.Playable() && r.format == 2) {
      AddText(g, 500, y, kTagKeep + row, "keep", 0.7, true);
    }
    AddText(g, 562, y, kTagDelete + row, armedDelete_ == row ? "sure" : "delete", 0.7, true);
    for (size_t p = 0; p < r.players.size(); ++p) {
      const ReplayPlayer& pl = r.players[p];
      const int px = 40 + 100 * static_cast<int>(p % kPlayersPerLine);
      const int py = y + 17 + 14 * static_cast<int>(p / kPlayersPerLine);
      list.AddSizedItem(g, px, py, kTagText, ColourName(pl.slot), false, 1.0, kOrdinaryWord, 10,
                        10);
      std::string words = KindShort(pl.kind);
      if (r.teamMode == 0)
        words = std::to_string(r.wins[static_cast<size_t>(pl.slot)]) + " " + words;
      AddText(g, px + 14, py, kTagText, words, 0.55);
    }
  }
  // AddSizedItem frames a pop-up; these squares are no pop-up.
  g.menu.PopupFrameShown = false;
  if (page_ > 0) AddText(g, 24, 420, kTagPrevious, "previous", 0.8, true);
  if (first + kRowsShown < listing_.size()) AddText(g, 140, 420, kTagNext, "next", 0.8, true);
  AddText(g, 20, 404, kTagText,
          "watching: space pause  . step  up down speed  left right 10 s  page up down round  s "
          "picture  esc back",
          0.5);
  if (!status_.empty()) AddText(g, 20, 440, kTagText, Shown(status_), 0.6);
  list.AddItem(g, 574, 454, kTagBack, "back", true, 1.1, kOrdinaryWord);
  rebuild_ = false;
  Trace("replays=list rows=" + std::to_string(listing_.size()));
}

void ReplaysWindow::StepList() {
  Game& g = g_;
  if (rebuild_) ShowList();
  UpdateHover(g);
  if (!TakeClick(g)) return;
  const int tag = g.menu.HoverTag;
  const int row = tag % 100;
  const size_t index = page_ * kRowsShown + static_cast<size_t>(row);
  std::string error;
  if (tag == kTagBack) {
    PlaySound(g, "menuclick.mp3", 0);
    leave_ = true;
    return;
  }
  PlaySound(g, "menuclick.mp3", 0);
  if (tag == kTagPrevious || tag == kTagNext) {
    page_ = tag == kTagPrevious ? page_ - 1 : page_ + 1;
    armedDelete_ = -1;
    rebuild_ = true;
  } else if (tag >= kTagWatch && tag < kTagWatch + kRowsShown && index < listing_.size()) {
    Watch(listing_[index]);
  } else if (tag >= kTagKeep && tag < kTagKeep + kRowsShown && index < listing_.size()) {
    std::string kept;
    status_ = KeepReplay(listing_[index].path, kept, error)
                  ? "kept: " + std::filesystem::path(kept).filename().string()
                  : error;
    Refresh();
  } else if (tag >= kTagDelete && tag < kTagDelete + kRowsShown && index < listing_.size()) {
    if (armedDelete_ != row) {
      armedDelete_ = row;
      rebuild_ = true;
      return;
    }
    status_ =
        DeleteReplay(listing_[index].path, error) ? "deleted: " + listing_[index].name : error;
    Refresh();
  }
}

void ReplaysWindow::Watch(const ReplayListing& r) {
  Game& g = g_;
  if (r.format == 1) {
    status_ = r.name + " holds the keys and mouse of an older game: watch it with tandrix --replay";
    rebuild_ = true;
    return;
  }
  if (r.otherRules) {
    status_ = r.name + " was recorded by tandrix " +
              (r.version.empty() ? "of another version" : r.version) +
              " under other rules: this version cannot play it";
    rebuild_ = true;
    return;
  }
  auto cursor = std::make_unique<ReplayCursor>();
  std::string error;
  if (!r.damage.empty() || !cursor->Open(r.path, error)) {
    status_ = r.damage.empty() ? error : r.damage;
    rebuild_ = true;
    return;
  }
  cursor_ = std::move(cursor);
  watched_ = r.name;
  for (auto& list : g.menu.lists) list.Clear();
  static_cast<Match&>(g) = cursor_->Current();
  ShowBonusPlaces(g);
  BuildHud(g);
  paused_ = false;
  speed_ = kNormalSpeed;
  owed_ = 0;
  shownOverlay_.clear();
  screen_ = Screen::Watch;
  Trace("replay=watch file=" + watched_ + " frames=" + std::to_string(cursor_->Frames()));
}

void ReplaysWindow::StopWatching() {
  BackToMenuStep(g_);
  overlay_.Clear();
  shownOverlay_.clear();
  cursor_.reset();
  g_.phase = GamePhase::MainMenu;
  screen_ = Screen::List;
  status_.clear();
  Refresh();
}

// A seek lands with no events: the match's screens and what was told before it go, the
// display is built anew (the frame's showing copies the match where it landed).
void ReplaysWindow::Seek(int64_t frame) {
  Game& g = g_;
  cursor_->SeekFrame(frame);
  owed_ = 0;
  for (auto& list : g.menu.lists) list.Clear();
  ForgetTellings(g.tell, true);
  BuildHud(g);
  Trace("replay=seek frame=" + std::to_string(cursor_->Frame()));
}

// Page Up goes to the start of the round being watched, or of the one before when it has
// just begun; Page Down to the start of the next round.
void ReplaysWindow::SeekRoundFrom(int direction) {
  const std::vector<uint64_t>& starts = cursor_->RoundStarts();
  const uint64_t at = cursor_->Frame();
  if (direction > 0) {
    for (uint64_t s : starts) {
      if (s > at) {
        Seek(static_cast<int64_t>(s));
        return;
      }
    }
    if (!cursor_->Scanned()) return;  // the next round is not known yet
    Seek(static_cast<int64_t>(cursor_->Frames()));
    return;
  }
  uint64_t target = 0;
  for (uint64_t s : starts) {
    if (s + 60 <= at) target = s;  // a second into a round, its start is "back"
  }
  Seek(static_cast<int64_t>(target));
}

void ReplaysWindow::StepWatch() {
  Game& g = g_;
  ReplayCursor& c = *cursor_;
  // The first pass goes on a slice a frame, so that the rounds' starts are soon all known.
  if (!c.Scanned()) c.Scan(240);
  if (Pressed(kKeySpace)) {
    paused_ = !paused_;
    Trace(std::string(paused_ ? "replay=paused" : "replay=playing") +
          " frame=" + std::to_string(c.Frame()));
  }
  if (Pressed(kKeyUp) && speed_ + 1 < static_cast<int>(std::size(kSpeeds))) ++speed_;
  if (Pressed(kKeyDown) && speed_ > 0) --speed_;
  if (Pressed(kKeyLeft)) Seek(static_cast<int64_t>(c.Frame()) - 600);
  if (Pressed(kKeyRight)) Seek(static_cast<int64_t>(c.Frame()) + 600);
  if (Pressed(kKeyPageUp)) SeekRoundFrom(-1);
  if (Pressed(kKeyPageDown)) SeekRoundFrom(1);
  if (Pressed(kKeyHome)) Seek(0);
  if (Pressed(kKeyEnd)) Seek(static_cast<int64_t>(c.Frames()));
  if (Pressed(kKeyS) || Pressed(kKeyF12)) pictureWanted_ = true;
  for (const MouseEvent& e : mouse_) {
    if (e.kind != MouseEvent::Click || e.y < kStripTop) continue;
    if (e.x < kBarLeft - 4 || e.x > kBarRight + 4) continue;
    const double at = std::clamp((e.x - kBarLeft) / double(kBarRight - kBarLeft), 0.0, 1.0);
    Seek(std::llround(at * static_cast<double>(c.Frames())));
  }

  std::vector<MatchEvent> raised;
  int due = paused_ ? 0 : FramesToPlay(kSpeeds[speed_], owed_);
  if (paused_ && Pressed(kKeyPeriod)) {
    due = 1;
    Trace("replay=step frame=" + std::to_string(c.Frame() + 1));
  }
  for (int i = 0; i < due; ++i) {
    if (!c.Step()) {
      paused_ = true;
      Trace("replay=end frame=" + std::to_string(c.Frame()));
      break;
    }
    const std::vector<MatchEvent>& now = c.Current().events.raised;
    raised.insert(raised.end(), now.begin(), now.end());
  }
  // Clicks on the match's own words (the final screen's) mean nothing in a replay.
  ShowSteppedMatch(g, c.Current(), raised);
  ShowOverlay();
}

// The marker that says this is a replay, and where in it the viewer is.
void ReplaysWindow::ShowOverlay() {
  Game& g = g_;
  const ReplayCursor& c = *cursor_;
  std::string right = ClockText(c.Seconds()) + " of " + ClockText(c.Length());
  size_t round = 0;
  for (uint64_t s : c.RoundStarts()) {
    if (s <= c.Frame()) ++round;
  }
  std::string left = paused_ ? "paused" : "";
  if (speed_ != kNormalSpeed) {
    const double s = kSpeeds[speed_];
    if (!left.empty()) left += ' ';
    left += s < 1 ? "1-" + std::to_string(static_cast<int>(std::lround(1 / s)))
                  : std::to_string(static_cast<int>(s));
    left += 'x';
  }
  if (round > 0) right = "round " + std::to_string(round) + "  " + right;
  if (!note_.empty() && Clock::now() > noteUntil_) note_.clear();
  const std::string shown = left + "|" + right + "|" + note_;
  if (shown == shownOverlay_) return;
  shownOverlay_ = shown;
  overlay_.Clear();
  overlay_.AddItem(g, 18, 465, kTagText, "replay", false, 0.55, kOrdinaryWord);
  AddTextTo(overlay_, g, 462, 467, kTagText, right, 0.5);
  if (!left.empty()) AddTextTo(overlay_, g, 18, 450, kTagText, left, 0.6);
  if (!note_.empty()) AddTextTo(overlay_, g, 96, 450, kTagText, Shown(note_, 80), 0.5);
}

void ReplaysWindow::DrawBar() {
  Canvas& canvas = g_.afterCanvas;
  const ReplayCursor& c = *cursor_;
  const double frames = std::max<double>(1.0, static_cast<double>(c.Frames()));
  auto xOf = [&](uint64_t frame) {
    return kBarLeft +
           static_cast<float>((kBarRight - kBarLeft) * (static_cast<double>(frame) / frames));
  };
  canvas.SetPenAlpha(1.0f);
  canvas.SetPenColour(0x404040);
  canvas.FillRect(kBarLeft, kBarTop, kBarRight, kBarBottom);
  canvas.SetPenColour(0xFFFFFF);
  canvas.FillRect(kBarLeft, kBarTop, xOf(c.Frame()), kBarBottom);
  canvas.SetPenColour(0x00FFFF);  // the rounds' starts, in yellow
  for (uint64_t s : c.RoundStarts()) {
    const int x = static_cast<int>(xOf(s));
    canvas.Line(x, kBarTop - 2, x, kBarBottom + 1);
  }
}

bool ReplaysWindow::Run(long long& frames) {
  Game& g = g_;
  // The set-up of the menu comes back as it was, whatever the recordings held.
  const SettingsBlock own = g.settings;
  bool windowOpen = true;
  Refresh();
  Renderer& renderer = platform_.GetRenderer();
  for (; o_.frames < 0 || frames < o_.frames; ++frames) {
    if (!ReadWindowFrame(platform_, g, mouse_, keys_, keysBefore_)) {
      windowOpen = false;
      break;
    }
    g.Now = clock_.Current();
    g.FrameDelta = g.Now - g.LastFrameTime;
    g.LastFrameTime = g.Now;
    if (Pressed(VK_Escape)) {
      // Escape steps back: out of a recording to the list, then to the main menu.
      if (screen_ == Screen::List) break;
      StopWatching();
      continue;
    }
    if (screen_ == Screen::Watch) {
      StepWatch();
    } else {
      if (!MusicChannelActive(g)) RequestRandomMusic(g);
      ServiceMusic(g);
      StepList();
      g.menu.MouseClicked = false;
      if (leave_) break;
    }
    ShowMatch(g);
    g.scene.TickFires(g.FrameDelta);
    BeforeRender(g);
    AfterRender(g);
    if (screen_ == Screen::Watch) DrawBar();
    renderer.Draw(g.scene, g.beforeCanvas, g.afterCanvas);
    platform_.Present();
    if (pictureWanted_) {
      pictureWanted_ = false;
      std::error_code ec;
      const std::string folder = g.folders.playerData + "/screenshots";
      std::filesystem::create_directories(folder, ec);
      char stamp[32];
      const std::time_t now = std::time(nullptr);
      std::tm t{};
      localtime_r(&now, &t);
      std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &t);
      const std::string path =
          folder + "/replay-" + stamp + "-" + std::to_string(cursor_->Frame()) + ".png";
      std::string error;
      note_ = renderer.SaveScreenshot(path, error) ? "picture saved: " + path : error;
      noteUntil_ = Clock::now() + std::chrono::seconds(4);
      Trace("replay=picture " + note_);
    }
  }
  if (screen_ == Screen::Watch) StopWatching();
  HandBackToMainMenu(g, clock_, own);
  return windowOpen;
}

}  // namespace

std::string ClockText(double seconds) {
  const long long s = std::max(0LL, static_cast<long long>(seconds));
  char buf[32];
  if (s >= 3600) {
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
  }
  return buf;
}

std::string ListingLine(const ReplayListing& r) {
  std::string line = DateText(r.when);
  if (!r.damage.empty()) return line + "  damaged: " + r.name;
  if (r.otherRules) {
    return line + "  other rules" + (r.version.empty() ? "" : ": tandrix " + r.version);
  }
  if (r.format == 1) return line + "  keys and mouse of an older game";
  line += r.teamMode ? "  teams" : "  deathmatch";
  if (r.teamMode) {
    for (int t = 0; t < 4; ++t) {
      bool used = false;
      for (const ReplayPlayer& p : r.players) used = used || p.team == t + 1;
      if (used) line.append(" ").append(std::to_string(r.wins[static_cast<size_t>(t)]));
    }
  }
  line += "  " + std::to_string(r.rounds) + (r.rounds == 1 ? " round" : " rounds");
  line += "  " + ClockText(r.seconds);
  if (r.kept) line += "  kept";
  return line;
}

int FramesToPlay(double speed, double& owed) {
  owed += speed;
  const int n = static_cast<int>(owed);
  owed -= n;
  return n;
}

bool RunReplaysFromMenu(Platform& platform, Game& g, FrameClock& clock, const AppOptions& options,
                        long long& frames) {
  ReplaysWindow w(platform, g, clock, options);
  return w.Run(frames);
}

}  // namespace tdx
