// The program around the game: command line, window, frame loop, shut-down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tdx {

struct AppOptions {
  bool windowed = false;
  bool headless = false;
  bool trace = false;
  bool debug = false;
  bool classic = false;   // the screens as the game always drew them, nothing added
  long long frames = -1;  // stop after this many frames (-1: run until quit)
  double fixedDt = 0;     // >0: every frame advances the clock by exactly this
  bool seeded = false;
  unsigned long long seed = 0;
  std::string screenshot;
  int start = 0;  // 1 --start deathmatch, 2 --start team_deathmatch
  std::string record;
  std::string replay;
  std::string exportVideo;  // with replay: the video file the recording is turned into
  // Network play: host (listening on port) or join (address and port).
  bool host = false;
  bool join = false;   // the address may be left to be found on the local network
  bool watch = false;  // join only to watch (at any time, from the match's start)
  uint16_t port = 0;
  std::string address;
  int machines = 0;       // the host starts once this many machines are there (itself too)
  int inputDelay = 0;     // frames between a key and the frame it acts in
  bool scripted = false;  // people's keys follow a fixed pattern (headless tests)
  bool realtime = false;  // a headless network match keeps the game's own 60 frames a second
  uint64_t scriptSeed = 0;
  bool help = false;
  bool version = false;
};

enum class ParseResult { Run, Exit, Usage };

// Reads the arguments (without the program name). Usage: an unknown option or a bad value,
// described in `error`.
ParseResult ParseCommandLine(const std::vector<std::string>& args, AppOptions& options,
                             std::string& error);
std::string UsageText();
// "ADDRESS" or "ADDRESS:PORT" (the default port unless given); false with what is wrong.
bool SplitHostAddress(const std::string& text, std::string& address, uint16_t& port,
                      std::string& error);

// Runs the whole program and returns its exit code.
int RunProgram(const AppOptions& options);
// --export: the recording of --replay played off-screen into a video file (app/video_export.cpp).
int RunExport(const AppOptions& options);

}  // namespace tdx
