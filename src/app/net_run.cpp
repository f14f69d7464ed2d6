#include "app/net_run.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/folders.h"
#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/game_flow.h"
#include "app/match_tape.h"
#include "app/own_screens.h"
#include "app/replay.h"
#include "app/round_cycle.h"
#include "app/startup.h"
#include "audio/sound.h"
#include "display/hooks.h"
#include "display/hud.h"
#include "display/match_view.h"
#include "display/renderer.h"
#include "match/snapshot.h"
#include "menu/look_file.h"
#include "menu/main_menu.h"
#include "menu/menu_items.h"
#include "menu/menu_text.h"
#include "menu/settings.h"
#include "net/session.h"
#include "platform/platform.h"
#include "players/input.h"
#include "players/key_codes.h"

namespace tdx {

uint8_t ScriptedControls(uint64_t seed, int slot, uint32_t frame) {
  const auto s = static_cast<uint32_t>(slot);
  const uint32_t span = (frame + s * 37) / (13 + s);
  uint64_t h = (span + seed * 0x9E3779B97F4A7C15ull) * 2654435761u ^ s * 40503u;
  h ^= h >> 29;
  const auto turn = static_cast<uint8_t>((h >> 7) % 3 == 0 ? 1 : (h >> 7) % 3 == 1 ? 2 : 0);
  return static_cast<uint8_t>(turn | ((h >> 13) % 5 == 0 ? 4 : 0));
}

namespace {

using Clock = std::chrono::steady_clock;

std::string MachineName() {
  char name[64] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "tandrix";
  std::string n;
  for (char c : std::string(name)) {
    if (c >= 0x20 && c < 0x7F && n.size() < 32) n += c;
  }
  return n.empty() ? "tandrix" : n;
}

// The match's recordings: kept in replays/ and written to --record's file.
class NetRecording {
 public:
  NetRecording(const AppOptions& o, const net::NetSession& s, const GameFolders& folders)
      : playerData_(folders.playerData) {
    TapeHeader header;
    header.version = TANDRIX_VERSION;
    header.seed = s.Seed();
    header.snapshot = SaveSnapshot(s.Start());
    std::string error;
    std::error_code ec;
    std::filesystem::create_directories(playerData_ + "/" + kReplayFolder, ec);
    keep_ = std::make_unique<TapeWriter>();
    if (ec || !keep_->Open(NewReplayPath(playerData_), header, error)) {
      std::cerr << "tandrix: matches are not kept: " << (ec ? ec.message() : error) << "\n";
      keep_.reset();
    }
    if (!o.record.empty()) {
      record_ = std::make_unique<TapeWriter>();
      if (!record_->Open(o.record, header, error)) {
        recordError_ = error;
        record_.reset();
      }
    }
    setup_ = s.Start().settings;
  }
  void Add(const net::ConfirmedFrame& c) {
    TapeFrame f;
    f.now = c.now;
    f.end = c.end;
    for (size_t s = 0; s < kPlayerSlots; ++s) {
      if (IsHumanSlot(setup_.players[s])) f.controls[s] = PackControls(c.controls[s]);
    }
    f.scored = c.scored;
    if (c.setupNow) {
      f.setupChanged = f.setupNow = true;
      f.setup = setup_ = c.setup;
    }
    if (keep_) keep_->Add(f);
    if (record_) record_->Add(f);
  }
  // Complete as far as the match went; false with the reason when --record failed.
  bool Finish(std::string& error) {
    std::string why;
    if (keep_ && keep_->FinishUnique([this] { return NewReplayPath(playerData_); }, why)) {
      PruneReplays(playerData_);
    }
    if (record_ && !record_->Finish(why) && recordError_.empty()) recordError_ = why;
    error = recordError_;
    return recordError_.empty();
  }

 private:
  std::string playerData_;
  std::unique_ptr<TapeWriter> keep_, record_;
  SettingsBlock setup_{};
  std::string recordError_;
};

// The frames that became final: into the recordings, and with --trace as the usual lines
// (the phase a frame left the match in, and its scored rounds); then what players are told.
void KeepFinalFrames(net::NetSession& session, NetRecording& recording, bool trace,
                     GamePhase& traced) {
  std::vector<net::ConfirmedFrame> frames;
  session.TakeFinal(frames);
  for (const net::ConfirmedFrame& f : frames) {
    recording.Add(f);
    if (!trace) continue;
    if (f.phase != traced) {
      const char* name = PhaseName(f.phase);
      std::printf("frame=%u t=%.3f phase=%s\n", f.frame + 1, f.end, name ? name : "Unknown");
      traced = f.phase;
    }
    for (const ScoredRound& s : f.scored) std::printf("%s\n", ScoredRoundLine(s).c_str());
  }
  std::fflush(stdout);
  for (const std::string& notice : session.TakeNotices()) {
    std::fprintf(stderr, "tandrix: %s\n", notice.c_str());
  }
}

// How a network run ends: why the match failed, if it did, and the recordings completed
// as far as the match went. 0, or 1 when either went wrong.
int EndOfRun(const net::NetSession& session, NetRecording* recording) {
  int code = 0;
  if (session.GetState() == net::NetSession::State::Failed) {
    std::cerr << "tandrix: " << session.Message() << "\n";
    code = 1;
  }
  std::string error;
  if (recording && !recording->Finish(error)) {
    std::cerr << "tandrix: " << error << "\n";
    code = 1;
  }
  return code;
}

net::SessionOptions SessionOptionsOf(const AppOptions& o, uint64_t seed) {
  net::SessionOptions so;
  so.host = o.host;
  so.port = o.port;
  so.address = o.address;
  so.name = MachineName();
  so.version = TANDRIX_VERSION;
  so.seed = seed;
  so.teamMode = o.start == 2 ? 1 : 0;
  so.inputDelay = static_cast<uint8_t>(o.inputDelay);
  so.watcher = o.watch;
  return so;
}

}  // namespace

int RunNetworkHeadless(const AppOptions& o) {
  std::signal(SIGXFSZ, SIG_IGN);
  SettingsBlock own{};
  std::string error;
  const GameFolders folders = FindFolders();
  if (!PrepareFolders(folders, error) ||
      !LoadSettings(folders.config + "/" + kSettingsFileName, own, error)) {
    std::cerr << "tandrix: " << error << "\n";
    return 1;
  }
  if (!o.scripted && !o.watch) {
    for (int s = 0; s < kPlayerSlots; ++s) {
      if (IsHumanSlot(own.players[s])) {
        std::cerr << "tandrix: a headless network machine plays computer players only, and "
                     "tandrix.cfg has people in it (make them computer players, or give "
                     "--script-people)\n";
        return 2;
      }
    }
  }
  const net::SessionOptions so = SessionOptionsOf(
      o, o.seeded ? o.seed : static_cast<uint64_t>(Clock::now().time_since_epoch().count()));
  auto session = std::make_unique<net::NetSession>();
  if (!session->Open(so, own, error)) {
    std::cerr << "tandrix: " << error << "\n";
    return 1;
  }
  for (const std::string& notice : session->TakeNotices()) {
    std::fprintf(stderr, "tandrix: %s\n", notice.c_str());
  }
  CleanLeftovers(folders.config, folders.playerData);
  std::unique_ptr<NetRecording> recording;
  GamePhase shown = GamePhase::Loading;
  const auto began = Clock::now();
  auto lingerUntil = Clock::time_point::max();
  bool blocked = true;
  auto playFrom = Clock::time_point::max();  // --realtime: when the first frame was due
  for (;;) {
    // Waits a moment for news only when the match cannot go on without it.
    session->Poll(blocked ? 1 : 0);
    blocked = true;
    const auto state = session->GetState();
    if (state == net::NetSession::State::Failed) break;
    if (state == net::NetSession::State::Connecting || state == net::NetSession::State::Lobby) {
      if (o.host && o.machines > 0 && session->Machines() >= o.machines &&
          !session->StartMatch(error)) {
        std::cerr << "tandrix: " << error << "\n";
        return 1;
      }
      if (Clock::now() - began > std::chrono::minutes(10)) {
        std::cerr << "tandrix: no match began within ten minutes\n";
        return 1;
      }
      continue;
    }
    if (!recording) recording = std::make_unique<NetRecording>(o, *session, folders);
    if (state == net::NetSession::State::Playing) {
      net::RollbackMatch& r = *session->Match();
      std::array<uint8_t, kPlayerSlots> bits{};
      if (o.scripted) {
        const uint32_t f = r.Frame() + static_cast<uint32_t>(o.inputDelay);
        for (int s = 0; s < kPlayerSlots; ++s) bits[s] = ScriptedControls(o.scriptSeed, s, f);
      }
      session->SetControls(bits);
      const uint32_t before = r.Frame();
      if (!o.realtime) {
        session->Step(before + 1);
      } else {
        if (playFrom == Clock::time_point::max()) playFrom = Clock::now();
        const double seconds = std::chrono::duration<double>(Clock::now() - playFrom).count();
        session->Step(std::min(before + 1, static_cast<uint32_t>(seconds * 60)));
      }
      blocked = r.Frame() == before;
    }
    KeepFinalFrames(*session, *recording, o.trace, shown);
    if (session->GetState() == net::NetSession::State::Over) {
      // The others may still lack our last controls: stay until they say they have them
      // (a busy machine may take a while), ten seconds at most.
      if (lingerUntil == Clock::time_point::max())
        lingerUntil = Clock::now() + std::chrono::seconds(1);
      const auto now = Clock::now();
      // A watcher still catching up is waited for, a minute at most.
      const bool waiting =
          (session->WatchersCatchingUp() && now < lingerUntil + std::chrono::seconds(60)) ||
          (!session->OthersHaveAllOfOurs() && now < lingerUntil + std::chrono::seconds(9));
      if (now >= lingerUntil && !waiting) break;
      session->Poll(5);
    }
    if (session->GetState() == net::NetSession::State::Failed) break;
  }
  if (o.trace && session->Match()) {
    // What the network cost this machine: bytes sent per second of play, the frames stepped
    // again because a control came late, and how many times that happened.
    const net::RollbackMatch& r = *session->Match();
    const double seconds = static_cast<double>(r.Frame()) * net::kNetStep;
    std::printf(
        "net frames=%u sent=%llu bytes_per_second=%.0f stepped_again=%llu corrections=%llu\n",
        r.Frame(), static_cast<unsigned long long>(session->BytesSent()),
        seconds > 0 ? static_cast<double>(session->BytesSent()) / seconds : 0.0,
        static_cast<unsigned long long>(r.TotalRollbackFrames()),
        static_cast<unsigned long long>(r.Corrections()));
  }
  int code = EndOfRun(*session, recording.get());
  return code;
}

namespace {

// The network screens' words and rows (the main menu's tags end below these).
constexpr int kTagHostGame = 200;
constexpr int kTagJoinGame = 201;
constexpr int kTagBack = 202;
constexpr int kTagStartDeathmatch = 203;
constexpr int kTagStartTeams = 204;
constexpr int kTagText = 205;       // letters nobody clicks
constexpr int kTagFoundHost = 210;  // + the host's row
constexpr int kFoundRows = 5;

// The title above the network screens, where the main menu shows it.
void ShowTitle(Game& g) {
  if (!g.TitleSprite) return;
  g.TitleSprite->x = 320;
  g.TitleSprite->y = 144;
  g.TitleSprite->width = 256;
  g.TitleSprite->height = 256;
  g.TitleSprite->visible = true;
}

// A key typed this frame as a character of an address, 8 for Backspace, 13 for Enter, or 0.
char TypedCharacter(const std::array<uint8_t, 256>& now, const std::array<uint8_t, 256>& before) {
  for (int k = 0; k < 256; ++k) {
    if (!now[static_cast<size_t>(k)] || before[static_cast<size_t>(k)]) continue;
    if (k >= '0' && k <= '9') return static_cast<char>(k);
    if (k >= 96 && k <= 105) return static_cast<char>('0' + k - 96);  // the number pad
    if (k >= 'A' && k <= 'Z') return static_cast<char>(k - 'A' + 'a');
    if (k == 190 || k == 110) return '.';
    if (k == 189 || k == 109) return '-';
    if (k == 186) return ':';
    if (k == 8 || k == 13) return static_cast<char>(k);
  }
  return 0;
}

// Network play in the window: from the main menu, a screen to host a match or join one (a
// host found on the local network, or an address typed in), the lobby, then the match; from
// the command line, straight to the lobby.
class NetWindow {
 public:
  NetWindow(Platform& platform, Game& g, FrameClock& clock, const AppOptions& o, bool fromMenu)
      : platform_(platform), g_(g), clock_(clock), o_(o), fromMenu_(fromMenu) {}

  // Until the players leave (from the command line: the match or the window ends). False
  // when the window was closed or the program is to end.
  bool Run();
  // The command line's exit code.
  int Code() const { return code_; }
  bool DrewFrame() const { return drewFrame_; }
  // Frames shown so far (counted against --frames).
  long long frames_ = 0;

 private:
  enum class Screen : uint8_t { Choose, Lobby, Match };

  bool Open(bool host, const std::string& address, uint16_t port);
  // The session ended (or was left): its recording completed, and what went wrong said.
  void Close(const std::string& why);
  void ShowChoose();
  void StepChoose();
  void ShowLobby();
  void StepLobby();
  void EndScreen(int statusY, const std::string& traceLine);
  // False when the match is left.
  bool StepMatch();
  void Draw();
  void Status(const std::string& text) {
    status_ = text;
    rebuild_ = true;
  }

  Platform& platform_;
  Game& g_;
  FrameClock& clock_;
  AppOptions o_;
  bool fromMenu_;
  Screen screen_ = Screen::Choose;
  std::unique_ptr<net::NetSession> session_;
  std::unique_ptr<NetRecording> recording_;
  bool rebuild_ = true;
  std::string shownLobby_;
  std::string status_;
  std::string typed_;
  net::HostFinder finder_;
  std::vector<net::FoundHost> found_;
  Clock::time_point probedAt_{};
  std::array<uint8_t, 256> keys_{}, keysBefore_{};
  Clock::time_point playFrom_{};
  GamePhase traced_ = GamePhase::Loading;
  bool quit_ = false;        // leave the network screens
  bool endProgram_ = false;  // "exit_program" was clicked
  bool drewFrame_ = false;
  int code_ = 0;
};

bool NetWindow::Open(bool host, const std::string& address, uint16_t port) {
  o_.host = host;
  o_.join = !host;
  o_.address = address;
  o_.port = port;
  const uint64_t seed =
      o_.seeded ? o_.seed : static_cast<uint64_t>(Clock::now().time_since_epoch().count());
  session_ = std::make_unique<net::NetSession>();
  std::string error;
  if (!session_->Open(SessionOptionsOf(o_, seed), g_.settings, error)) {
    session_.reset();
    std::cerr << "tandrix: " << error << "\n";
    Status(error);
    code_ = 1;
    return false;
  }
  CleanLeftovers(g_.folders.config, g_.folders.playerData);
  screen_ = Screen::Lobby;
  shownLobby_.clear();
  rebuild_ = true;
  status_.clear();
  return true;
}

void NetWindow::Close(const std::string& why) {
  if (session_) {
    code_ = std::max(code_, EndOfRun(*session_, recording_.get()));
    session_.reset();
  }
  recording_.reset();
  // Back from a match: its pictures go, and the screens show this machine's own set-up again.
  if (screen_ == Screen::Match) {
    BackToMenuStep(g_);
    g_.phase = GamePhase::MainMenu;
  }
  screen_ = Screen::Choose;
  Status(why);
}

void NetWindow::ShowChoose() {
  Game& g = g_;
  for (auto& list : g.menu.lists) list.Clear();
  ShowTitle(g);
  TMenuZoznam& list = g.menu.MainList();
  list.AddItem(g, 270, 160, kTagHostGame, "host_game", true, 1.2, kOrdinaryWord);
  list.AddItem(g, 270, 190, kTagJoinGame, "join_game", true, 1.2, kOrdinaryWord);
  const int x = AddText(g, 130, 232, kTagText, "address: ", 0.8);
  AddText(g, x, 232, kTagText, typed_ + "-", 0.8);
  AddText(g, 130, 262, kTagText,
          found_.empty() ? "no host found on the local network yet" : "hosts on the local network:",
          0.8);
  for (size_t i = 0; i < found_.size() && i < kFoundRows; ++i) {
    const net::FoundHost& h = found_[i];
    AddText(g, 150, 288 + 24 * static_cast<int>(i), kTagFoundHost + static_cast<int>(i),
            Shown(h.name, 20) + "  " + h.address + ":" + std::to_string(h.port) + "  " +
                std::to_string(h.machines) + (h.machines == 1 ? " machine" : " machines") +
                (h.started ? "  playing" : ""),
            0.8, true);
  }
  EndScreen(420, "network=choose hosts=" + std::to_string(found_.size()));
}

// What every network screen ends with: what went wrong last, "back", and with --trace a line
// saying the screen was drawn.
void NetWindow::EndScreen(int statusY, const std::string& traceLine) {
  if (!status_.empty()) AddText(g_, 20, statusY, kTagText, Shown(status_), 0.7);
  g_.menu.MainList().AddItem(g_, 574, 454, kTagBack, "back", true, 1.1, kOrdinaryWord);
  rebuild_ = false;
  if (o_.trace) {
    std::printf("%s\n", traceLine.c_str());
    std::fflush(stdout);
  }
}

void NetWindow::StepChoose() {
  Game& g = g_;
  // A probe every two seconds; the answers as they come.
  const auto now = Clock::now();
  if (now - probedAt_ > std::chrono::seconds(2)) {
    finder_.Probe("255.255.255.255", net::kDiscoveryPort);
    probedAt_ = now;
  }
  if (finder_.Collect(found_)) rebuild_ = true;
  const char c = TypedCharacter(keys_, keysBefore_);
  bool join = false;
  if (c == 8) {
    if (!typed_.empty()) typed_.pop_back();
    rebuild_ = true;
  } else if (c == 13) {
    join = true;
  } else if (c != 0 && typed_.size() < 40) {
    typed_ += c;
    rebuild_ = true;
  }
  if (rebuild_) ShowChoose();
  UpdateHover(g);
  if (TakeClick(g)) {
    const int tag = g.menu.HoverTag;
    if (tag == kTagBack) {
      quit_ = true;
    } else if (tag == kTagHostGame) {
      PlaySound(g, "menuclick.mp3", 0);
      Open(true, "", net::kDefaultPort);
    } else if (tag == kTagJoinGame) {
      join = true;
    } else if (tag >= kTagFoundHost && tag < kTagFoundHost + kFoundRows &&
               static_cast<size_t>(tag - kTagFoundHost) < found_.size()) {
      PlaySound(g, "menuclick.mp3", 0);
      const net::FoundHost& h = found_[static_cast<size_t>(tag - kTagFoundHost)];
      Open(false, h.address, h.port);
    }
  }
  if (join && screen_ == Screen::Choose) {
    PlaySound(g, "menuclick.mp3", 0);
    std::string address, error;
    uint16_t port = net::kDefaultPort;
    // Nothing typed: the first host that answers on the local network.
    if (typed_.empty() || SplitHostAddress(typed_, address, port, error)) {
      Open(false, address, port);
    } else {
      Status("the address " + error);
    }
  }
}

void NetWindow::ShowLobby() {
  Game& g = g_;
  net::NetSession& s = *session_;
  for (auto& list : g.menu.lists) list.Clear();
  ShowTitle(g);
  TMenuZoznam& list = g.menu.MainList();
  std::string heading;
  if (o_.host) {
    heading = "your match - machines join at port " + std::to_string(s.Port());
  } else if (s.GetState() == net::NetSession::State::Connecting) {
    heading = o_.address.empty() ? "looking for a host on the local network"
                                 : "joining " + o_.address + ":" + std::to_string(o_.port);
  } else {
    heading = "in the lobby: the host starts the match";
  }
  AddText(g, 60, 150, kTagText, heading, 0.8);
  int y = 180;
  for (const net::LobbyEntry& e : s.Lobby()) {
    std::string line = "machine " + std::to_string(e.machine + 1) + "  " + Shown(e.name, 20);
    if (e.machine == 0) line += "  host";
    if (e.machine > 0) line += "  " + std::to_string(e.roundTripMs) + " ms";
    if (e.watcher) line += "  watching";
    int x = AddText(g, 60, y, kTagText, line, 0.8) + 8;
    // Its people, then its computer players, in their colours.
    for (const bool people : {true, false}) {
      const uint16_t these = people ? e.people : static_cast<uint16_t>(e.slots & ~e.people);
      if (these == 0) continue;
      x = AddText(g, x, y, kTagText, people ? "people " : "computer ", 0.7);
      for (int slot = 0; slot < kPlayerSlots; ++slot) {
        if (!(these >> slot & 1)) continue;
        list.AddItem(g, x, y + 4, kTagText, ColourName(slot), false, 1.0, kOrdinaryWord);
        x += 18;
      }
      x += 10;
    }
    y += 24;
    if (y > 350) break;
  }
  if (o_.host) {
    list.AddItem(g, 270, 370, kTagStartDeathmatch, "deathmatch", true, 1.2, kOrdinaryWord);
    list.AddItem(g, 270, 400, kTagStartTeams, "team_deathmatch", true, 1.2, kOrdinaryWord);
  } else {
    list.AddItem(g, 270, 380, kTagText, "waiting", false, 1.2, kOrdinaryWord);
  }
  EndScreen(432, "network=lobby machines=" + std::to_string(s.Machines()));
}

void NetWindow::StepLobby() {
  Game& g = g_;
  net::NetSession& s = *session_;
  // Redrawn when what it shows changes (round trips in steps of ten milliseconds).
  std::string shown = std::to_string(static_cast<int>(s.GetState()));
  for (const net::LobbyEntry& e : s.Lobby()) {
    shown.append("|").append(std::to_string(e.machine)).append(e.name);
    shown.append(std::to_string(e.roundTripMs / 10)).append("/").append(std::to_string(e.slots));
    shown.append(e.watcher ? "w" : "");
  }
  if (shown != shownLobby_) {
    shownLobby_ = shown;
    rebuild_ = true;
  }
  if (rebuild_) ShowLobby();
  UpdateHover(g);
  std::string error;
  if (o_.host && o_.machines > 0 && s.Machines() >= o_.machines) {
    s.SetTeamMode(o_.start == 2 ? 1 : 0);
    if (!s.StartMatch(error)) {
      std::cerr << "tandrix: " << error << "\n";
      code_ = 1;
      quit_ = true;
    }
    return;
  }
  if (!TakeClick(g)) return;
  const int tag = g.menu.HoverTag;
  if (tag == kTagBack) {
    PlaySound(g, "menuclick.mp3", 0);
    if (fromMenu_) {
      Close("");
    } else {
      quit_ = true;
    }
  } else if (o_.host && (tag == kTagStartDeathmatch || tag == kTagStartTeams)) {
    s.SetTeamMode(tag == kTagStartTeams ? 1 : 0);
    if (s.StartMatch(error)) {
      PlaySound(g, "menuclick.mp3", 0);
    } else {
      Status(error);
    }
  }
}

bool NetWindow::StepMatch() {
  Game& g = g_;
  net::NetSession& s = *session_;
  net::RollbackMatch& r = *s.Match();
  if (screen_ != Screen::Match) {
    // Straight into the match, as a replay goes: the pictures not yet prepared load as they
    // are first shown.
    if (g.phase == GamePhase::Loading || g.phase == GamePhase::LoadingDone) LoadingDoneStep(g);
    DestroyTicker(g);
    static_cast<Match&>(g) = s.Start();
    // Over a network the labels and notices say whose machine each worm plays on.
    g.tell = TellState{};
    for (const net::LobbyEntry& e : s.Lobby()) {
      for (int slot = 0; slot < kPlayerSlots; ++slot) {
        if (e.slots >> slot & 1) {
          g.tell.names[static_cast<size_t>(slot)] =
              "player " + std::to_string(slot + 1) + " (" + Shown(e.name, 10) + ")";
        }
      }
    }
    for (auto& list : g.menu.lists) list.Clear();
    ShowBonusPlaces(g);
    BuildHud(g);
    r.collectEvents = true;
    recording_ = std::make_unique<NetRecording>(o_, s, g.folders);
    playFrom_ = Clock::now();
    screen_ = Screen::Match;
  }
  processkeyboard(g);
  std::array<uint8_t, kPlayerSlots> bits{};
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    bits[static_cast<size_t>(slot)] = g.controls[static_cast<size_t>(slot)].NowBits();
  }
  s.SetControls(bits);
  // The frames due by the clock, a few at a time when behind.
  const auto due = static_cast<uint32_t>(
      std::chrono::duration<double>(Clock::now() - playFrom_).count() / net::kNetStep);
  for (int k = 0; k < 4 && r.Frame() < due; ++k) {
    const uint32_t before = r.Frame();
    s.Step(before + 1);
    if (r.Frame() == before) break;  // waiting for the others
    s.SetControls(bits);
  }
  // Our people's new frame goes out now, not with the next frame's news.
  s.Poll(0);
  KeepFinalFrames(s, *recording_, o_.trace, traced_);
  // Sounds a correction newly raised are heard late; those it undid stop.
  std::vector<MatchEvent> raised = std::move(r.raised);
  raised.insert(raised.end(), r.late.begin(), r.late.end());
  for (const MatchEvent& e : r.cancelled) StopEffect(g, e.name);
  r.raised.clear();
  r.late.clear();
  r.cancelled.clear();
  if (ShowSteppedMatch(g, r.Current(), raised)) {
    if (g.menu.HoverTag == kTagExit) quit_ = endProgram_ = true;
    return false;
  }
  return true;
}

void NetWindow::Draw() {
  Game& g = g_;
  ShowMatch(g);
  g.scene.TickFires(g.FrameDelta);
  BeforeRender(g);
  AfterRender(g);
  platform_.GetRenderer().Draw(g.scene, g.beforeCanvas, g.afterCanvas);
  platform_.Present();
  drewFrame_ = true;
}

bool NetWindow::Run() {
  Game& g = g_;
  // The set-up and clock of the menu come back as they were, whatever the match did.
  const SettingsBlock own = g.settings;
  bool windowOpen = true;
  if (!fromMenu_ && !Open(o_.host, o_.address, o_.port)) return false;
  std::vector<MouseEvent> mouse;
  for (; o_.frames < 0 || frames_ < o_.frames; ++frames_) {
    if (!ReadWindowFrame(platform_, g, mouse, keys_, keysBefore_)) {
      windowOpen = false;
      break;
    }
    if (keys_[VK_Escape] && !keysBefore_[VK_Escape]) {
      // Escape steps back: out of a match or lobby, then out of the network screens.
      if (!fromMenu_ || screen_ == Screen::Choose) break;
      Close("");
      continue;
    }
    if (session_) session_->Poll(0);
    const auto state = session_ ? session_->GetState() : net::NetSession::State::Failed;
    if (session_ && state == net::NetSession::State::Failed) {
      if (!fromMenu_) break;
      const std::string why = session_->Message();
      Close(why);
    }
    const bool loading = g.phase == GamePhase::Loading || g.phase == GamePhase::LoadingDone;
    if (session_ && state != net::NetSession::State::Connecting &&
        state != net::NetSession::State::Lobby) {
      if (!StepMatch()) {
        if (!fromMenu_ || quit_) break;
        Close("");
      }
    } else if (loading) {
      // The loading screen goes on while the machines gather.
      clock_.BeginFrame();
      FrameStep(g, clock_);
    } else {
      g.Now = clock_.Current();
      g.FrameDelta = g.Now - g.LastFrameTime;
      g.LastFrameTime = g.Now;
      if (!MusicChannelActive(g)) RequestRandomMusic(g);
      ServiceMusic(g);
      if (screen_ == Screen::Choose) {
        StepChoose();
      } else {
        StepLobby();
      }
      g.menu.MouseClicked = false;
    }
    if (quit_) break;
    Draw();
  }
  Close("");
  HandBackToMainMenu(g, clock_, own);
  return windowOpen && !endProgram_;
}

}  // namespace

bool RunNetworkFromMenu(Platform& platform, Game& g, FrameClock& clock, const AppOptions& o,
                        long long& frames) {
  NetWindow w(platform, g, clock, o, true);
  w.frames_ = frames;
  const bool goOn = w.Run();
  frames = w.frames_;
  return goOn;
}

int RunNetworkWindow(const AppOptions& o) {
  std::signal(SIGXFSZ, SIG_IGN);
  std::string error;
  PlatformOptions po;
  po.windowed = o.windowed;
  std::unique_ptr<Platform> platform = Platform::Create(po, error);
  if (!platform) {
    std::cerr << "tandrix: " << error << "\n";
    return 1;
  }
  const GameFolders folders = FindFolders();
  if (!PrepareFolders(folders, error)) {
    std::cerr << "tandrix: " << error << "\n";
    platform->ShowError("Tandrix", error);
    return 1;
  }
  auto game = std::make_unique<Game>();
  Game& g = *game;
  g.folders = folders;
  FrameClock clock;
  clock.Disable();
  StartOptions start;
  start.seeded = true;
  start.seed = o.seeded ? o.seed : static_cast<uint64_t>(Clock::now().time_since_epoch().count());
  if (!StartUp(g, start)) {
    std::cerr << "tandrix: " << g.fatalError << "\n";
    platform->ShowError("Tandrix", g.fatalError);
    ShutDown(g);
    return 1;
  }
  ReadLookFile(g, o.classic, true);
  clock.Enable();
  NetWindow w(*platform, g, clock, o, false);
  w.Run();
  clock.Disable();
  int code = w.Code();
  Renderer& renderer = platform->GetRenderer();
  if (!o.screenshot.empty() && (!w.DrewFrame() || !renderer.SaveScreenshot(o.screenshot, error))) {
    std::cerr << "tandrix: " << (w.DrewFrame() ? error : o.screenshot + ": no frame was drawn")
              << "\n";
    code = 1;
  }
  ShutDown(g);
  game.reset();
  platform.reset();
  return code;
}

}  // namespace tdx
