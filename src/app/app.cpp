#include "app/app.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/folders.h"
#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/net_run.h"
#include "app/replay.h"
#include "app/replays_screen.h"
#include "app/startup.h"
#include "display/hooks.h"
#include "display/match_view.h"
#include "display/renderer.h"
#include "menu/look_file.h"
#include "net/packets.h"
#include "platform/platform.h"

namespace tdx {

namespace {

// Whole numbers on the command line are plain decimal digits: no sign, no spaces, and
// nothing beyond what 64 bits hold.
bool ParseCount(const std::string& s, unsigned long long& out) {
  if (s.empty() || s.size() > 20) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  out = v;
  return true;
}

bool ParseDouble(const std::string& s, double& out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (errno != 0 || *end != '\0') return false;
  out = v;
  return true;
}

// Input quoted back in a message, cut so that a long argument cannot flood it.
std::string Quoted(const std::string& s) { return s.size() <= 60 ? s : s.substr(0, 60) + "..."; }

void TraceLine(const Game& g) {
  const char* name = PhaseName(g.phase);
  std::printf("frame=%llu t=%.3f phase=%s\n", static_cast<unsigned long long>(g.frameNumber), g.Now,
              name ? name : "Unknown");
  std::fflush(stdout);
}

// "player 1", "players 1 and 3", "players 1, 2 and 5": the slots (counted from 1) that
// people play, or nothing.
std::string PeopleTakingPart(const SettingsBlock& setup) {
  std::vector<int> slots;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (IsHumanSlot(setup.players[s])) slots.push_back(s + 1);
  }
  if (slots.empty()) return "";
  std::string text = slots.size() == 1 ? "player " : "players ";
  for (size_t i = 0; i < slots.size(); ++i) {
    if (i > 0) text += i + 1 == slots.size() ? " and " : ", ";
    text += std::to_string(slots[i]);
  }
  return text;
}

}  // namespace

std::string UsageText() {
  return "usage: tandrix [options]\n"
         "Run from a game folder (a working directory holding pak/), it keeps its set-up\n"
         "and replays there. Installed, it reads its archives from $TANDRIX_DATA_DIR\n"
         "(else " TANDRIX_INSTALLED_DATA_DIR
         "), keeps tandrix.cfg in $XDG_CONFIG_HOME/tandrix\n"
         "(~/.config/tandrix) and replays in $XDG_DATA_HOME/tandrix/replays\n"
         "(~/.local/share/tandrix/replays).\n"
         "  --windowed         open a window instead of full screen\n"
         "  --headless         no window, no sound device (everything else runs)\n"
         "  --frames N         stop after N frames\n"
         "  --fixed-dt S       advance the clock by exactly S seconds each frame\n"
         "  --seed N           seed the random generator with N\n"
         "  --screenshot FILE  save the last rendered frame (.bmp or .png)\n"
         "  --trace            print a line for every change of game phase and\n"
         "                     round=N winner=W digest=HEX for every scored round\n"
         "  --debug            print the effect-channel activity every frame\n"
         "  --classic          show the screens as the game always drew them: no labels,\n"
         "                     notices, winner lines, set-up help or palettes of ours,\n"
         "                     for this run (classic = yes in tandrix-look.ini: always)\n"
         "  --start MODE       begin a deathmatch or team_deathmatch at once; with\n"
         "                     --headless the program ends at the final screen\n"
         "  --record FILE      record the match played (with --replay: a recording\n"
         "                     of the older kind is written anew as a match)\n"
         "  --replay FILE      play a recording back and check its round digests\n"
         "  --export FILE      with --replay: turn the recording into a video (.mp4,\n"
         "                     .webm, ...) at sixty frames a second with its sound,\n"
         "                     drawn off-screen and encoded by the ffmpeg program\n"
         "  --host [PORT]      host a network match (port 24512 unless given); in a\n"
         "                     window its lobby starts it, see --start and --machines\n"
         "  --join [ADDR[:PORT]] join the network match hosted at ADDR, or the\n"
         "                     first host found on the local network\n"
         "  --watch            with --join: only watch the match, from its start,\n"
         "                     whenever joining\n"
         "  --machines N       with --host and --start: begin once N machines\n"
         "                     (the host too) are there\n"
         "  --input-delay N    frames from a key to its frame in a network match,\n"
         "                     0 to 4 (0 unless given)\n"
         "  --realtime         with --headless: a network match runs at sixty\n"
         "                     frames a second, as in a window\n"
         "  --script-people N  with --headless: people's keys follow a fixed\n"
         "                     pattern from N (for tests)\n"
         "  --help             show this help\n"
         "  --version          show the version\n";
}

bool SplitHostAddress(const std::string& text, std::string& address, uint16_t& port,
                      std::string& error) {
  const size_t colon = text.rfind(':');
  address = colon == std::string::npos ? text : text.substr(0, colon);
  port = net::kDefaultPort;
  unsigned long long n = 0;
  if (colon != std::string::npos &&
      (!ParseCount(text.substr(colon + 1), n) || n < 1 || n > 65535)) {
    error = "needs ADDRESS or ADDRESS:PORT with a port from 1 to 65535, not '" + Quoted(text) + "'";
    return false;
  }
  if (colon != std::string::npos) port = static_cast<uint16_t>(n);
  if (address.empty()) {
    error = "needs the host's name or address";
    return false;
  }
  return true;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args, AppOptions& o,
                             std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--windowed") {
      o.windowed = true;
    } else if (a == "--headless") {
      o.headless = true;
    } else if (a == "--trace") {
      o.trace = true;
    } else if (a == "--debug") {
      o.debug = true;
    } else if (a == "--classic") {
      o.classic = true;
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--frames") {
      unsigned long long n;
      if (!value(v)) return ParseResult::Usage;
      if (!ParseCount(v, n) || n > static_cast<unsigned long long>(LLONG_MAX)) {
        error = "--frames needs a whole number of frames, not '" + Quoted(v) + "'";
        return ParseResult::Usage;
      }
      o.frames = static_cast<long long>(n);
    } else if (a == "--fixed-dt") {
      double d;
      if (!value(v)) return ParseResult::Usage;
      if (!ParseDouble(v, d) || !(d > 0) || d > 10) {
        error = "--fixed-dt needs seconds above 0 and at most 10, not '" + Quoted(v) + "'";
        return ParseResult::Usage;
      }
      o.fixedDt = d;
    } else if (a == "--seed") {
      unsigned long long n;
      if (!value(v)) return ParseResult::Usage;
      if (!ParseCount(v, n)) {
        error =
            "--seed needs a whole number from 0 to 18446744073709551615, not '" + Quoted(v) + "'";
        return ParseResult::Usage;
      }
      o.seeded = true;
      o.seed = n;
    } else if (a == "--screenshot" || a == "--record" || a == "--replay" || a == "--export") {
      if (!value(v)) return ParseResult::Usage;
      if (v.empty()) {
        error = a + " needs a file name";
        return ParseResult::Usage;
      }
      (a == "--screenshot" ? o.screenshot
       : a == "--record"   ? o.record
       : a == "--replay"   ? o.replay
                           : o.exportVideo) = v;
    } else if (a == "--start") {
      if (!value(v)) return ParseResult::Usage;
      if (v != "deathmatch" && v != "team_deathmatch") {
        error = "--start needs deathmatch or team_deathmatch, not '" + Quoted(v) + "'";
        return ParseResult::Usage;
      }
      o.start = v == "deathmatch" ? 1 : 2;
    } else if (a == "--host") {
      o.host = true;
      o.port = net::kDefaultPort;
      unsigned long long n;
      if (i + 1 < args.size() && ParseCount(args[i + 1], n)) {
        if (n < 1 || n > 65535) {
          error = "--host needs a port from 1 to 65535, not '" + Quoted(args[i + 1]) + "'";
          return ParseResult::Usage;
        }
        o.port = static_cast<uint16_t>(n);
        ++i;
      }
    } else if (a == "--realtime") {
      o.realtime = true;
    } else if (a == "--watch") {
      o.watch = true;
    } else if (a == "--join") {
      o.join = true;
      o.port = net::kDefaultPort;
      // Without an address the machine looks for a host on the local network.
      if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) continue;
      v = args[++i];
      if (!SplitHostAddress(v, o.address, o.port, error)) {
        error = "--join " + error;
        return ParseResult::Usage;
      }
    } else if (a == "--machines" || a == "--input-delay" || a == "--script-people") {
      unsigned long long n;
      if (!value(v)) return ParseResult::Usage;
      const unsigned long long low = a == "--machines" ? 1 : 0;
      const unsigned long long high = a == "--machines"      ? net::kMaxMachines
                                      : a == "--input-delay" ? 4
                                                             : ULLONG_MAX;
      if (!ParseCount(v, n) || n < low || n > high) {
        error = a + " needs a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not '" + Quoted(v) + "'";
        return ParseResult::Usage;
      }
      if (a == "--machines") o.machines = static_cast<int>(n);
      if (a == "--input-delay") o.inputDelay = static_cast<int>(n);
      if (a == "--script-people") {
        o.scripted = true;
        o.scriptSeed = n;
      }
    } else {
      error = "unknown option '" + Quoted(a) + "'";
      return ParseResult::Usage;
    }
  }
  if (!o.replay.empty() && (o.seeded || o.start != 0 || o.fixedDt > 0)) {
    // A recording brings its own seed, start, clock and input.
    error = "--replay cannot be combined with --seed, --start or --fixed-dt";
    return ParseResult::Usage;
  }
  const bool network = o.host || o.join;
  if (!o.exportVideo.empty() && o.replay.empty()) {
    error = "--export needs --replay: the recording to turn into a video";
    return ParseResult::Usage;
  }
  // A video is drawn off-screen from the recording alone, and is its only output.
  if (!o.exportVideo.empty() &&
      (o.windowed || o.headless || !o.record.empty() || !o.screenshot.empty())) {
    error = "--export cannot be combined with --windowed, --headless, --record or --screenshot";
    return ParseResult::Usage;
  }
  if (o.host && o.join) {
    error = "--host and --join cannot be combined: a machine hosts or joins";
    return ParseResult::Usage;
  }
  if (o.watch && !o.join) {
    error = "--watch needs --join";
    return ParseResult::Usage;
  }
  if (network && !o.replay.empty()) {
    error = "--replay cannot be combined with --host or --join";
    return ParseResult::Usage;
  }
  if (o.machines > 0 && !(o.host && o.start != 0)) {
    error = "--machines needs --host and --start";
    return ParseResult::Usage;
  }
  // In a window the host's lobby has the words to start the match; headless, nobody is there
  // to click them.
  if (o.host && o.headless && (o.start == 0 || o.machines == 0)) {
    error = "--headless --host needs --start and --machines";
    return ParseResult::Usage;
  }
  if (o.host && o.start != 0 && o.machines == 0) {
    error = "--host --start needs --machines: how many machines to begin with";
    return ParseResult::Usage;
  }
  if (o.realtime && !(network && o.headless)) {
    error = "--realtime needs --headless with --host or --join";
    return ParseResult::Usage;
  }
  if (o.scripted && !o.headless) {
    error = "--script-people needs --headless";
    return ParseResult::Usage;
  }
  return (o.help || o.version) ? ParseResult::Exit : ParseResult::Run;
}

int RunProgram(const AppOptions& options) {
  const GameFolders folders = FindFolders();
  if (options.help) {
    std::cout << UsageText() << "\n" << FoldersText(folders);
    return 0;
  }
  if (options.version) {
    std::cout << "tandrix " << TANDRIX_VERSION << "\n";
    return 0;
  }

  // A file-size limit must fail a write (and the recording say so), not kill the game.
  std::signal(SIGXFSZ, SIG_IGN);
  if (options.host || options.join) {
    return options.headless ? RunNetworkHeadless(options) : RunNetworkWindow(options);
  }
  if (!options.exportVideo.empty()) return RunExport(options);

  std::string error;
  const bool replaying = !options.replay.empty();
  // A recording of either format: the devices from the program's start (format 1), or a
  // match from its start (format 2).
  OpenedRecording recording;
  if (replaying && !OpenRecording(options.replay, recording, error)) {
    std::cerr << "tandrix: " << error << "\n";
    return 1;
  }
  const int format = recording.format;

  PlatformOptions po;
  po.windowed = options.windowed;
  po.headless = options.headless;
  std::unique_ptr<Platform> platform = Platform::Create(po, error);
  if (!platform) {
    std::cerr << "tandrix: " << error << "\n";
    return 1;
  }

  // A replay neither reads the player's set-up nor keeps a replay: it needs no folder of theirs.
  if (!replaying && !PrepareFolders(folders, error)) {
    std::cerr << "tandrix: " << error << "\n";
    platform->ShowError("Tandrix", error);
    return 1;
  }

  auto game = std::make_unique<Game>();
  Game& g = *game;
  g.folders = folders;
  FrameClock clock;
  clock.Disable();
  if (options.fixedDt > 0) clock.SetFixedStep(options.fixedDt);
  StartOptions so;
  so.headless = options.headless;
  so.seeded = true;
  so.seed = replaying ? recording.Seed()
            : options.seeded
                ? options.seed
                : static_cast<uint64_t>(
                      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  const uint8_t start = replaying ? recording.Start() : static_cast<uint8_t>(options.start);

  // A replay reads its set-up from the recording. Every match a live run plays is kept in
  // replays/; --record writes it to a file of its own, also while a format-1 recording
  // plays (which turns it into format 2).
  const ReplaySource source = recording.Source();
  auto sessionOwner = std::make_unique<Session>(g, clock, so.seed, source);
  Session& session = *sessionOwner;
  session.RecordMatches(replaying ? "" : g.folders.playerData, options.record);

  if (!StartUp(g, so)) {
    std::cerr << "tandrix: " << g.fatalError << "\n";
    platform->ShowError("Tandrix", g.fatalError);
    ShutDown(g);
    return 1;
  }
  // How the game is shown: tandrix-look.ini beside the set-up. A replay writes no file of
  // the player's, but shows the match in the colours they chose.
  ReadLookFile(g, options.classic, !replaying);
  // A match asked for on the command line of a headless run has no keyboard to wait for:
  // with people taking part it would wait forever at the first waiting screen.
  if (options.headless && !replaying && start != 0) {
    std::string people = PeopleTakingPart(g.settings);
    if (!people.empty()) {
      std::cerr << "tandrix: --headless --start " << (start == 1 ? "deathmatch" : "team_deathmatch")
                << " plays computer players only, and tandrix.cfg has people in " << people
                << " (make them computer players in the set-up screen, or leave out --headless)\n";
      ShutDown(g);
      return 2;
    }
  }
  if (!replaying) CleanLeftovers(g.folders.config, g.folders.playerData);
  if (format == 2 && !session.StartTape(error)) {
    std::cerr << "tandrix: " << options.replay << ": " << error << "\n";
    ShutDown(g);
    return 1;
  }
  g.menu.StartRequest = start;
  // A recording of the keys and mouse never met the "network" word: its clicks stay where
  // they fell.
  g.menu.NetworkOffered = !replaying && !options.headless;
  if (replaying) g.menu.SetupName = "the recording's set-up";
  clock.Enable();
  if (options.trace) TraceLine(g);

  std::vector<MouseEvent> mouse;
  std::array<uint8_t, 256> keys{};
  Renderer& renderer = platform->GetRenderer();
  long long frames = 0;
  bool drewFrame = false;
  auto lastPresent = std::chrono::steady_clock::now() - std::chrono::seconds(1);
  while (!g.quitRequested && (options.frames < 0 || frames < options.frames)) {
    mouse.clear();
    if (!platform->PumpEvents(mouse)) break;  // the window was closed
    if (!session.HasFrame()) break;           // the recording is played out
    if (!session.Replaying()) platform->ReadKeys(keys);
    GamePhase before = g.phase;
    bool same = session.Frame(mouse, &keys);
    ++frames;
    if (options.trace && g.phase != before) TraceLine(g);
    if (options.debug) {
      // The debug form's lines: the effect channels, and the planner when it ran.
      std::cout << g.AudioActivityText << (*g.PlannerText ? " " : "") << g.PlannerText << "\n";
    }
    if (options.trace) {
      for (const ScoredRound& r : session.ScoredNow()) std::cout << ScoredRoundLine(r) << "\n";
      std::cout.flush();
    }
    if (!same) break;
    if (g.quitRequested) break;
    if (g.menu.NetworkRequest) {
      g.menu.NetworkRequest = false;
      drewFrame = true;
      if (!RunNetworkFromMenu(*platform, g, clock, options, frames)) break;
      continue;
    }
    if (g.menu.ReplaysRequest) {
      g.menu.ReplaysRequest = false;
      drewFrame = true;
      if (!RunReplaysFromMenu(*platform, g, clock, options, frames)) break;
      continue;
    }
    // A match asked for on the command line runs as a batch job when headless.
    if (options.headless && start != 0 && g.phase == GamePhase::GameOver) break;
    if (options.headless) continue;  // nobody sees the canvases or the fires

    ShowMatch(g);
    g.scene.TickFires(g.FrameDelta);
    // Loading frames prepare one texture each and need not wait for the display: only
    // about sixty of them a second are drawn and shown, the others only get their
    // pictures ready.
    bool loading = g.phase == GamePhase::Loading || g.phase == GamePhase::LoadingDone;
    auto now = std::chrono::steady_clock::now();
    const bool shown = !loading || now - lastPresent >= std::chrono::milliseconds(16) ||
                       !options.screenshot.empty();
    if (!shown) {
      renderer.Prepare(g.scene);
      continue;
    }
    BeforeRender(g);
    AfterRender(g);
    renderer.Draw(g.scene, g.beforeCanvas, g.afterCanvas);
    platform->Present();
    lastPresent = now;
    drewFrame = true;
  }
  clock.Disable();
  // A replay cut short with --frames is checked only as far as it went.
  session.Finish(options.frames < 0);

  int code = 0;
  if (!g.fatalError.empty()) {
    std::cerr << "tandrix: " << g.fatalError << "\n";
    code = 1;
  }
  if (session.Replaying() && !session.ReplayError().empty()) {
    std::cerr << "tandrix: " << options.replay << ": " << session.ReplayError() << "\n";
    code = 1;
  }
  if (!session.RecordError().empty()) {
    std::cerr << "tandrix: " << session.RecordError() << "\n";
    code = 1;
  } else if (!options.record.empty() && session.LastRecording().empty()) {
    std::cerr << "tandrix: " << options.record << ": no match was played to record\n";
    code = 1;
  }
  if (!options.screenshot.empty()) {
    if (!drewFrame || !renderer.SaveScreenshot(options.screenshot, error)) {
      if (!drewFrame) error = options.screenshot + ": no frame was drawn";
      std::cerr << "tandrix: " << error << "\n";
      code = 1;
    }
  }
  ShutDown(g);
  sessionOwner.reset();
  game.reset();
  platform.reset();
  return code;
}

}  // namespace tdx
