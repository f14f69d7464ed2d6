#include "app/net_run.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/game_flow.h"
#include "app/match_tape.h"
#include "app/replay.h"
#include "app/round_cycle.h"
#include "app/startup.h"
#include "audio/sound.h"
#include "display/hooks.h"
#include "display/hud.h"
#include "display/match_view.h"
#include "display/renderer.h"
#include "match/snapshot.h"
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
  NetRecording(const AppOptions& o, const net::NetSession& s) {
    TapeHeader header;
    header.version = TANDRIX_VERSION;
    header.seed = s.Seed();
    header.snapshot = SaveSnapshot(s.Start());
    std::string error;
    std::error_code ec;
    std::filesystem::create_directories(std::string(".") + "/" + kReplayFolder, ec);
    keep_ = std::make_unique<TapeWriter>();
    if (ec || !keep_->Open(NewReplayPath("."), header, error)) {
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
    if (keep_ && keep_->FinishUnique([] { return NewReplayPath("."); }, why)) PruneReplays(".");
    if (record_ && !record_->Finish(why) && recordError_.empty()) recordError_ = why;
    error = recordError_;
    return recordError_.empty();
  }

 private:
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
  if (!LoadSettings(kSettingsFileName, own, error)) {
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
  CleanLeftovers(".");
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
    if (!recording) recording = std::make_unique<NetRecording>(o, *session);
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
      // The others may still lack our last controls: stay a moment to send them.
      if (lingerUntil == Clock::time_point::max())
        lingerUntil = Clock::now() + std::chrono::seconds(1);
      // A watcher still catching up is waited for, a minute at most.
      const bool waiting =
          session->WatchersCatchingUp() && Clock::now() < lingerUntil + std::chrono::seconds(60);
      if (Clock::now() >= lingerUntil && !waiting) break;
      session->Poll(5);
    }
    if (session->GetState() == net::NetSession::State::Failed) break;
  }
  if (o.trace && session->Match()) {
    // What the network cost this machine: bytes sent per second of play, and the frames
    // stepped again because a control came late.
    const net::RollbackMatch& r = *session->Match();
    const double seconds = static_cast<double>(r.Frame()) * net::kNetStep;
    std::printf("net frames=%u sent=%llu bytes_per_second=%.0f stepped_again=%llu\n", r.Frame(),
                static_cast<unsigned long long>(session->BytesSent()),
                seconds > 0 ? static_cast<double>(session->BytesSent()) / seconds : 0.0,
                static_cast<unsigned long long>(r.TotalRollbackFrames()));
  }
  int code = EndOfRun(*session, recording.get());
  return code;
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
  auto game = std::make_unique<Game>();
  Game& g = *game;
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
  const net::SessionOptions so = SessionOptionsOf(o, start.seed);
  auto session = std::make_unique<net::NetSession>();
  if (!session->Open(so, g.settings, error)) {
    std::cerr << "tandrix: " << error << "\n";
    ShutDown(g);
    return 1;
  }
  CleanLeftovers(".");
  clock.Enable();

  std::unique_ptr<NetRecording> recording;
  std::vector<MouseEvent> mouse;
  std::array<uint8_t, 256> keys{};
  Renderer& renderer = platform->GetRenderer();
  bool waitingShown = false, matchShown = false, drewFrame = false, escapeBefore = false;
  auto playFrom = Clock::now();
  GamePhase traced = GamePhase::Loading;
  for (long long frame = 0; o.frames < 0 || frame < o.frames; ++frame) {
    mouse.clear();
    if (!platform->PumpEvents(mouse)) break;  // the window was closed
    platform->ReadKeys(keys);
    g.input.Polled = keys;
    for (const MouseEvent& e : mouse) {
      MouseMove(g, e.x, e.y);
      if (e.kind == MouseEvent::Click) MouseClick(g);
    }
    const bool escape = keys[VK_Escape] != 0;
    if (escape && !escapeBefore) break;  // Escape leaves the match
    escapeBefore = escape;
    session->Poll(0);
    const auto state = session->GetState();
    if (state == net::NetSession::State::Failed) break;
    if (state == net::NetSession::State::Connecting || state == net::NetSession::State::Lobby) {
      if (o.host && o.machines > 0 && session->Machines() >= o.machines &&
          !session->StartMatch(error)) {
        break;
      }
      // The loading screen, then a word to wait by while the machines gather.
      if (g.phase == GamePhase::Loading || g.phase == GamePhase::LoadingDone) {
        clock.BeginFrame();
        FrameStep(g, clock);
      } else if (!waitingShown) {
        for (auto& list : g.menu.lists) list.Clear();
        g.menu.MainList().AddItem(g, 257, 330, 1, "please_wait", false, 1.1, kOrdinaryWord);
        waitingShown = true;
      }
    } else {
      net::RollbackMatch& r = *session->Match();
      if (!matchShown) {
        // Straight into the match, as a replay goes: the pictures not yet prepared load as
        // they are first shown.
        if (g.phase == GamePhase::Loading || g.phase == GamePhase::LoadingDone) {
          LoadingDoneStep(g);
        }
        static_cast<Match&>(g) = session->Start();
        for (auto& list : g.menu.lists) list.Clear();
        ShowBonusPlaces(g);
        BuildHud(g);
        r.collectEvents = true;
        recording = std::make_unique<NetRecording>(o, *session);
        playFrom = Clock::now();
        matchShown = true;
      }
      processkeyboard(g);
      std::array<uint8_t, kPlayerSlots> bits{};
      for (int s = 0; s < kPlayerSlots; ++s) {
        bits[static_cast<size_t>(s)] = g.controls[static_cast<size_t>(s)].NowBits();
      }
      session->SetControls(bits);
      // The frames due by the clock, a few at a time when behind.
      const auto due = static_cast<uint32_t>(
          std::chrono::duration<double>(Clock::now() - playFrom).count() / net::kNetStep);
      for (int k = 0; k < 4 && r.Frame() < due; ++k) {
        const uint32_t before = r.Frame();
        session->Step(before + 1);
        if (r.Frame() == before) break;  // waiting for the others
        session->SetControls(bits);
      }
      KeepFinalFrames(*session, *recording, o.trace, traced);
      // Sounds a correction newly raised are heard late; those it undid stop.
      std::vector<MatchEvent> raised = std::move(r.raised);
      raised.insert(raised.end(), r.late.begin(), r.late.end());
      for (const MatchEvent& e : r.cancelled) StopEffect(g, e.name);
      r.raised.clear();
      r.late.clear();
      r.cancelled.clear();
      if (ShowSteppedMatch(g, r.Current(), raised)) break;
    }
    ShowMatch(g);
    g.scene.TickFires(g.FrameDelta);
    BeforeRender(g);
    AfterRender(g);
    renderer.Draw(g.scene, g.beforeCanvas, g.afterCanvas);
    platform->Present();
    drewFrame = true;
  }
  clock.Disable();
  int code = EndOfRun(*session, recording.get());
  if (!o.screenshot.empty() && (!drewFrame || !renderer.SaveScreenshot(o.screenshot, error))) {
    std::cerr << "tandrix: " << (drewFrame ? error : o.screenshot + ": no frame was drawn") << "\n";
    code = 1;
  }
  session.reset();
  ShutDown(g);
  game.reset();
  platform.reset();
  return code;
}

}  // namespace tdx
