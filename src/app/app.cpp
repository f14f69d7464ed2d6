#include "app/app.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/game.h"
#include "app/startup.h"
#include "display/hooks.h"
#include "display/renderer.h"
#include "platform/platform.h"

namespace tdx {

namespace {

bool ParseInt(const std::string& s, long long& out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
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

void TraceLine(const Game& g) {
  const char* name = PhaseName(g.phase);
  std::printf("frame=%llu t=%.3f phase=%s\n", static_cast<unsigned long long>(g.frameNumber), g.Now,
              name ? name : "Unknown");
  std::fflush(stdout);
}

}  // namespace

std::string UsageText() {
  return "usage: tandrix [options]\n"
         "Runs in the working directory, which holds pak/ and tandrix.cfg.\n"
         "  --windowed         open a window instead of full screen\n"
         "  --headless         no window, no sound device (everything else runs)\n"
         "  --frames N         stop after N frames\n"
         "  --fixed-dt S       advance the clock by exactly S seconds each frame\n"
         "  --seed N           seed the random generator with N\n"
         "  --screenshot FILE  save the last rendered frame (.bmp or .png)\n"
         "  --trace            print a line for every change of game phase\n"
         "  --debug            print the effect-channel activity every frame\n"
         "  --help             show this help\n"
         "  --version          show the version\n";
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
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--frames") {
      long long n;
      if (!value(v)) return ParseResult::Usage;
      if (!ParseInt(v, n) || n < 0) {
        error = "--frames needs a whole number of frames, not '" + v + "'";
        return ParseResult::Usage;
      }
      o.frames = n;
    } else if (a == "--fixed-dt") {
      double d;
      if (!value(v)) return ParseResult::Usage;
      if (!ParseDouble(v, d) || !(d > 0) || d > 10) {
        error = "--fixed-dt needs seconds above 0 and at most 10, not '" + v + "'";
        return ParseResult::Usage;
      }
      o.fixedDt = d;
    } else if (a == "--seed") {
      long long n;
      if (!value(v)) return ParseResult::Usage;
      if (!ParseInt(v, n)) {
        error = "--seed needs a whole number, not '" + v + "'";
        return ParseResult::Usage;
      }
      o.seeded = true;
      o.seed = static_cast<unsigned long long>(n);
    } else if (a == "--screenshot") {
      if (!value(v)) return ParseResult::Usage;
      o.screenshot = v;
    } else {
      error = "unknown option '" + a + "'";
      return ParseResult::Usage;
    }
  }
  return (o.help || o.version) ? ParseResult::Exit : ParseResult::Run;
}

int RunProgram(const AppOptions& options) {
  if (options.help) {
    std::cout << UsageText();
    return 0;
  }
  if (options.version) {
    std::cout << "tandrix " << TANDRIX_VERSION << "\n";
    return 0;
  }

  std::string error;
  PlatformOptions po;
  po.windowed = options.windowed;
  po.headless = options.headless;
  std::unique_ptr<Platform> platform = Platform::Create(po, error);
  if (!platform) {
    std::cerr << "tandrix: " << error << "\n";
    return 1;
  }

  auto game = std::make_unique<Game>();
  Game& g = *game;
  FrameClock clock;
  clock.Disable();
  if (options.fixedDt > 0) clock.SetFixedStep(options.fixedDt);
  StartOptions so;
  so.headless = options.headless;
  so.seeded = options.seeded;
  so.seed = options.seed;
  if (!StartUp(g, so)) {
    std::cerr << "tandrix: " << g.fatalError << "\n";
    platform->ShowError("Tandrix", g.fatalError);
    ShutDown(g);
    return 1;
  }
  clock.Enable();
  if (options.trace) TraceLine(g);

  std::vector<MouseEvent> mouse;
  Renderer& renderer = platform->GetRenderer();
  long long frames = 0;
  bool drewFrame = false;
  auto lastPresent = std::chrono::steady_clock::now() - std::chrono::seconds(1);
  while (!g.quitRequested && (options.frames < 0 || frames < options.frames)) {
    mouse.clear();
    if (!platform->PumpEvents(mouse)) break;  // the window was closed
    for (const MouseEvent& e : mouse) {
      if (e.kind == MouseEvent::Move) {
        MouseMove(g, e.x, e.y);
      } else {
        MouseMove(g, e.x, e.y);
        MouseClick(g);
      }
    }
    platform->ReadKeys(g.input.Polled);
    GamePhase before = g.phase;
    clock.BeginFrame();
    FrameStep(g, clock);
    if (options.trace && g.phase != before) TraceLine(g);
    if (options.debug) std::cout << g.AudioActivityText << "\n";
    if (g.quitRequested) break;
    g.scene.TickFires(g.FrameDelta);
    BeforeRender(g);
    AfterRender(g);
    renderer.Draw(g.scene, g.beforeCanvas, g.afterCanvas);
    // Loading frames prepare one texture each and need not wait for the display: only
    // about sixty of them a second are shown.
    bool loading = g.phase == GamePhase::Loading || g.phase == GamePhase::LoadingDone;
    auto now = std::chrono::steady_clock::now();
    if (!loading || now - lastPresent >= std::chrono::milliseconds(16)) {
      platform->Present();
      lastPresent = now;
    }
    drewFrame = true;
    ++frames;
  }
  clock.Disable();

  int code = 0;
  if (!options.screenshot.empty()) {
    if (!drewFrame || !renderer.SaveScreenshot(options.screenshot, error)) {
      if (!drewFrame) error = options.screenshot + ": no frame was drawn";
      std::cerr << "tandrix: " << error << "\n";
      code = 1;
    }
  }
  ShutDown(g);
  game.reset();
  platform.reset();
  return code;
}

}  // namespace tdx
