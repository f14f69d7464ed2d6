// Recorded matches: everything the game was given, frame by frame (the clock, key
// changes, mouse moves and clicks, each reading of tandrix.cfg), with the seed and the
// set-up it started from, and the digest of every scored round. Played back through the
// same frame step, a recording gives the same rounds; the digests prove it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/game.h"
#include "menu/settings.h"
#include "platform/platform.h"

namespace tdx {

inline constexpr uint32_t kReplayFormat = 1;
inline constexpr const char* kReplayFolder = "replays";
inline constexpr int kReplaysKept = 20;

struct ReplayFrame {
  double now = 0;  // the clock at the frame's start
  double end = 0;  // the clock at its end (the next frame measures its delta from here)
  std::vector<std::pair<uint8_t, uint8_t>> keys;  // key code, new state
  std::vector<MouseEvent> mouse;
  // What reading tandrix.cfg gave in this frame, if it gave something new.
  bool setupChanged = false;
  bool setupMissing = false;  // the file could not be read in this frame
  SettingsBlock setup{};
  std::vector<ScoredRound> scored;
};

struct Replay {
  std::string version;  // the game version that recorded it
  uint64_t seed = 0;
  uint8_t start = 0;      // 0 from the menu, 1 --start deathmatch, 2 --start team_deathmatch
  SettingsBlock setup{};  // as read at start-up
  std::vector<ReplayFrame> frames;
};

// The file's bytes; DecodeReplay says what is wrong (not naming the file) on failure.
std::vector<uint8_t> EncodeReplay(const Replay& r);
bool DecodeReplay(const std::vector<uint8_t>& bytes, Replay& r, std::string& error);
// Whole files; errors name the file. Saving writes a temporary file and renames it.
bool SaveReplay(const std::string& path, const Replay& r, std::string& error);
bool LoadReplay(const std::string& path, Replay& r, std::string& error);

// Stands in for tandrix.cfg while a match is recorded: reads the file and notes every
// new content (or a failed read) in the frame being recorded.
class RecordingSetupStore : public SettingsStore {
 public:
  RecordingSetupStore(Game& g, Replay& r) : g_(g), r_(r) {}
  bool Load(SettingsBlock& out, std::string& error) override;
  bool Save(const SettingsBlock& in, std::string& error) override;

 private:
  Game& g_;
  Replay& r_;
  bool haveLast_ = false;
  SettingsBlock last_{};
};

// Stands in for tandrix.cfg during a replay: gives the recorded set-up of the frame being
// played and never writes.
class ReplaySetupStore : public SettingsStore {
 public:
  explicit ReplaySetupStore(const Replay& r) : current_(r.setup) {}
  void Frame(const ReplayFrame& f);
  bool Load(SettingsBlock& out, std::string& error) override;
  bool Save(const SettingsBlock&, std::string&) override { return true; }

 private:
  SettingsBlock current_;
  bool missing_ = false;
};

// Records the frames of a run as the frame loop gives them.
class Recorder {
 public:
  Recorder(uint64_t seed, uint8_t start);
  Replay& Data() { return r_; }
  const Replay& Data() const { return r_; }
  // Before the frame step: the clock values come after it, in EndFrame.
  void BeginFrame(const std::array<uint8_t, 256>& polled, const std::vector<MouseEvent>& mouse);
  void EndFrame(double now, double end, const std::vector<ScoredRound>& scored);

 private:
  Replay r_;
  std::array<uint8_t, 256> keys_{};
};

// Checks a replayed frame's scored rounds against the recorded ones. Returns false with
// `error` saying at which round and frame they differ.
bool CheckScoredRounds(const ReplayFrame& recorded, const std::vector<ScoredRound>& replayed,
                       uint64_t frame, std::string& error);

// The file name for a match recorded now (replays/match-YYYYMMDD-HHMMSS.tdxr, numbered if
// taken), and the pruning of the oldest beyond kReplaysKept.
std::string NewReplayPath(const std::string& workDir);
void PruneReplays(const std::string& workDir);

class FrameClock;

// A run as the frame loop plays it: live input recorded (for --record and replays/), or a
// recording played back and checked. One frame at a time: input in, frame step, scored
// rounds out.
class Session {
 public:
  // `replay` null: a live run. The game's set-up store is set here, so make the session
  // before start-up reads tandrix.cfg.
  Session(Game& g, FrameClock& clock, uint64_t seed, uint8_t start, const Replay* replay);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  bool Replaying() const { return replay_ != nullptr; }
  // Whether a recorded frame is left to play (always true for a live run).
  bool HasFrame() const;
  // Plays one frame. Live: `keys` and `mouse` are the platform's; replaying, they are
  // replaced by the recorded frame's. Returns false when a replay differs from its recording.
  bool Frame(std::vector<MouseEvent>& mouse, const std::array<uint8_t, 256>* keys);
  // The rounds scored in the last frame.
  const std::vector<ScoredRound>& ScoredNow() const { return scoredNow_; }
  // A match ended in the last frame (its final screen, or the players left it).
  bool MatchEnded() const { return matchEnded_; }
  bool MatchRunning() const { return matchRunning_; }
  uint64_t FramesPlayed() const { return frames_; }
  // After the last frame: a replay that stopped before its recording's last scored round
  // differs from it.
  bool Finish();
  const std::string& ReplayError() const { return replayError_; }
  // The run so far (live runs only).
  const Replay& Recording() const { return recorder_.Data(); }

 private:
  Game& g_;
  FrameClock& clock_;
  const Replay* replay_;
  Recorder recorder_;
  RecordingSetupStore recordingStore_;
  std::unique_ptr<ReplaySetupStore> replayStore_;
  uint64_t frames_ = 0;
  size_t scoredSeen_ = 0;
  std::vector<ScoredRound> scoredNow_;
  bool matchRunning_ = false, matchEnded_ = false;
  std::string replayError_;
};

// The trace line of a scored round: "round=N winner=W digest=HEX".
std::string ScoredRoundLine(const ScoredRound& r);

}  // namespace tdx
