// The main menu's "replays": the recordings of the replays folder, newest first, and a
// viewer that plays one with pause, frame steps, speeds, jumps and the starts of rounds.
#pragma once

#include <string>

#include "app/app.h"
#include "app/replay_list.h"

namespace tdx {

class Platform;
class FrameClock;
struct Game;

// The screens in the game's own window; back at the main menu after. False when the
// program is to end (the window was closed). `frames`: those the program showed so far,
// counted on through these screens.
bool RunReplaysFromMenu(Platform& platform, Game& g, FrameClock& clock, const AppOptions& options,
                        long long& frames);

// A recording's line in the list: when, the mode, the score, the length, or why it
// cannot be watched.
std::string ListingLine(const ReplayListing& r);
// A length of play as M:SS (H:MM:SS from an hour).
std::string ClockText(double seconds);

// The viewer's speeds, slowest first; normal speed is kSpeeds[kNormalSpeed].
inline constexpr double kSpeeds[] = {0.25, 0.5, 1, 2, 4, 8};
inline constexpr int kNormalSpeed = 2;

// How far a viewer frame moves the recording at a speed: `owed` carries the fraction of a
// frame over from one shown frame to the next. Returns the recording frames to play now.
int FramesToPlay(double speed, double& owed);

}  // namespace tdx
