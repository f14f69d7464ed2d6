// --export: a recording played back frame by frame as fast as it goes, drawn off-screen
// and mixed off the device, into a video at sixty frames a second. Each recorded frame
// is one frame of the video and 1/60 s of its sound, whatever the recorded clock said,
// so the video runs as the game looked and sounded at its own pace. Loading frames are
// the exception, as on screen: they run unpaced, and only those a sixtieth of a second
// apart on the recorded clock were shown (a recording from the program's start has
// hundreds of them in a second or two).
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/app.h"
#include "app/folders.h"
#include "app/frame_clock.h"
#include "app/game.h"
#include "app/replay.h"
#include "app/startup.h"
#include "app/video_encoder.h"
#include "audio/offline_mixer.h"
#include "display/gl_renderer.h"
#include "display/hooks.h"
#include "display/match_view.h"
#include "menu/look_file.h"

namespace tdx {
namespace {

volatile std::sig_atomic_t stopAsked = 0;
void AskToStop(int) { stopAsked = 1; }

// The recording's length in frames (for the progress line), read from a copy of its own.
long long RecordedFrames(const std::string& path, int format) {
  std::string error;
  long long n = 0;
  if (format == 1) {
    Replay r;
    ReplayFrames frames;
    ReplayFrame f;
    if (!OpenReplay(path, r, frames, error)) return 0;
    while (frames.Next(f, error)) ++n;
  } else {
    TapeReader tape;
    TapeHeader header;
    TapeFrame f;
    if (!tape.Open(path, header, error)) return 0;
    while (tape.Next(f, error)) ++n;
  }
  return n;
}

// "export: 12.3 s of 61.0 s (20%)", rewritten in place on a terminal, a line now and
// then otherwise.
class Progress {
 public:
  explicit Progress(long long total) : total_(total), terminal_(::isatty(2) != 0) {}
  void Frame(long long done) {
    auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(terminal_ ? 200 : 5000)) return;
    last_ = now;
    const double seconds = static_cast<double>(done) / kVideoFramesPerSecond;
    const double of = static_cast<double>(total_) / kVideoFramesPerSecond;
    const int percent = total_ > 0 ? static_cast<int>(done * 100 / total_) : 0;
    std::fprintf(stderr, "%sexport: %.1f s of %.1f s (%d%%)%s", terminal_ ? "\r" : "", seconds, of,
                 percent, terminal_ ? "\033[K" : "\n");
  }
  void Say(const char* what) {
    std::fprintf(stderr, "%sexport: %s%s", terminal_ ? "\r" : "", what,
                 terminal_ ? "\033[K" : "\n");
  }
  void End() {
    if (terminal_) std::fputs("\r\033[K", stderr);
  }

 private:
  long long total_;
  bool terminal_;
  std::chrono::steady_clock::time_point last_{};
};

// When the recorded match began: the file was written as it ended, its length earlier.
std::time_t PlayedAt(const std::string& path, long long frames) {
  std::error_code ec;
  const auto written = std::filesystem::last_write_time(path, ec);
  if (ec) return 0;
  const std::time_t end =
      std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
  return end - static_cast<std::time_t>(frames / kVideoFramesPerSecond);
}

}  // namespace

int RunExport(const AppOptions& options) {
  const auto began = std::chrono::steady_clock::now();
  const char* searchPath = std::getenv("PATH");
  const std::string ffmpeg = FindProgram("ffmpeg", searchPath ? searchPath : "");
  if (ffmpeg.empty()) {
    std::cerr << "tandrix: --export needs the ffmpeg program (Debian package ffmpeg), which was "
                 "not found\n";
    return 1;
  }

  std::string error;
  OpenedRecording recording;
  if (!OpenRecording(options.replay, recording, error)) {
    std::cerr << "tandrix: " << error << "\n";
    return 1;
  }
  const int format = recording.format;
  long long total = RecordedFrames(options.replay, format);
  const std::time_t playedAt = PlayedAt(options.replay, total);
  if (options.frames >= 0 && options.frames < total) total = options.frames;

  std::unique_ptr<OffscreenGl> gl = OffscreenGl::Create(error);
  if (!gl) {
    std::cerr << "tandrix: --export cannot draw: " << error << "\n";
    return 1;
  }
  GlRenderer& renderer = gl->GetRenderer();

  // ffmpeg going away must be an error of the export, not the end of the program; an
  // interrupt stops the export cleanly, leaving no file behind.
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  stopAsked = 0;
  auto oldInt = std::signal(SIGINT, AskToStop);
  auto oldTerm = std::signal(SIGTERM, AskToStop);
  auto restoreSignals = [&] {
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
  };

  VideoEncoder encoder;
  if (!encoder.Start(ffmpeg, options.exportVideo, error)) {
    std::cerr << "tandrix: " << error << "\n";
    restoreSignals();
    return 1;
  }

  auto game = std::make_unique<Game>();
  Game& g = *game;
  g.folders = FindFolders();
  // The clock on the top line shows the time of day the match was played, not the time
  // of the export, so the same recording always makes the same video.
  g.clockTime = [&g, playedAt] { return static_cast<long long>(playedAt) + std::llround(g.Now); };
  FrameClock clock;
  clock.Disable();
  OfflineMixer* mixer = nullptr;
  StartOptions so;
  so.seeded = true;
  so.seed = recording.Seed();
  so.mixer = [&mixer] {
    auto m = std::make_unique<OfflineMixer>();
    mixer = m.get();
    return m;
  };
  const ReplaySource source = recording.Source();
  auto session = std::make_unique<Session>(g, clock, so.seed, source);
  session->RecordMatches("", "");
  if (!StartUp(g, so)) {
    std::cerr << "tandrix: " << g.fatalError << "\n";
    ShutDown(g);
    restoreSignals();
    return 1;
  }
  // The video shows the match as the player sees it in the game: in the colours and the
  // look their tandrix-look.ini chose (an export writes no file of theirs).
  ReadLookFile(g, options.classic, false);
  if (format == 2 && !session->StartTape(error)) {
    std::cerr << "tandrix: " << options.replay << ": " << error << "\n";
    ShutDown(g);
    restoreSignals();
    return 1;
  }
  g.menu.StartRequest = recording.Start();
  g.menu.NetworkOffered = false;
  g.menu.SetupName = "the recording's set-up";
  clock.Enable();

  Progress progress(total);
  std::vector<MouseEvent> mouse;
  std::array<uint8_t, 256> keys{};
  std::vector<uint8_t> rgb;
  std::vector<int16_t> sound;
  bool failed = false;
  long long frames = 0;
  double lastShown = -1;  // the recorded clock at the last loading frame shown
  while (!g.quitRequested && (options.frames < 0 || frames < options.frames)) {
    if (stopAsked != 0) {
      error = options.exportVideo + ": the export was stopped; no video was written";
      failed = true;
      break;
    }
    mouse.clear();
    if (!session->HasFrame()) break;
    const bool same = session->Frame(mouse, &keys);
    ++frames;
    if (options.trace) {
      for (const ScoredRound& r : session->ScoredNow()) std::cout << ScoredRoundLine(r) << "\n";
      std::cout.flush();
    }
    if (!same || g.quitRequested) break;

    ShowMatch(g);
    g.scene.TickFires(g.FrameDelta);
    const bool loading = g.phase == GamePhase::Loading || g.phase == GamePhase::LoadingDone;
    if (loading && lastShown >= 0 && g.Now - lastShown < 1.0 / kVideoFramesPerSecond) {
      renderer.Prepare(g.scene);
      continue;
    }
    lastShown = loading ? g.Now : -1;
    BeforeRender(g);
    AfterRender(g);
    renderer.Draw(g.scene, g.beforeCanvas, g.afterCanvas);
    renderer.ReadFrame(rgb);
    if (mixer != nullptr) {
      mixer->Render(kOfflineSamplesPerFrame, sound);
    } else {
      sound.assign(static_cast<size_t>(kOfflineSamplesPerFrame) * 2, 0);
    }
    if (!encoder.AddFrame(rgb, sound, error)) {
      failed = true;
      break;
    }
    progress.Frame(encoder.Frames());
  }
  clock.Disable();
  session->Finish(options.frames < 0);
  if (!failed && session->Replaying() && !session->ReplayError().empty()) {
    error = options.replay + ": " + session->ReplayError();
    failed = true;
  }
  if (!failed && !g.fatalError.empty()) {
    error = g.fatalError;
    failed = true;
  }
  if (!failed && encoder.Frames() == 0) {
    error = options.exportVideo + ": the recording gave no frame to show";
    failed = true;
  }
  if (!failed) {
    progress.Say("adding the sound");
    failed = !encoder.Finish(error);
  }
  progress.End();
  if (failed) {
    encoder.Abandon();
    std::cerr << "tandrix: " << error << "\n";
  } else {
    const double seconds = static_cast<double>(encoder.Frames()) / kVideoFramesPerSecond;
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::fprintf(stderr, "export: %s: %.1f s, %lld frames, made in %.1f s (%.2f times real time)\n",
                 options.exportVideo.c_str(), seconds, encoder.Frames(), took,
                 took > 0 ? seconds / took : 0.0);
  }
  ShutDown(g);
  session.reset();
  game.reset();
  restoreSignals();
  return failed ? 1 : 0;
}

}  // namespace tdx
