// Recorded runs. Format 1, which earlier builds wrote and every build still plays: everything
// the game was given from the program's start, frame by frame (the clock, key changes,
// mouse moves and clicks, each reading of tandrix.cfg), with the seed and the set-up it
// started from, and the digest of every scored round. Played back through the same frame
// step, a recording gives the same rounds; the digests prove it. Matches are now recorded
// in format 2 (app/match_tape.h); the Session below plays and records both.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/game.h"
#include "app/match_tape.h"
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

// The clock of a recording's frames, which each frame is read against.
struct ReplayClock {
  double prevNow = 0, step = 0;
  bool haveStep = false;
};

// The frames of a format-1 recording, read one at a time from its unpacked bytes, so a
// recording takes no more memory than those bytes whatever it claims.
class ReplayFrames {
 public:
  void Take(std::vector<uint8_t> payload, uint32_t count);
  // The next frame: true with it, false with an empty `error` at the end, or false with
  // what is wrong (not naming the file).
  bool Next(ReplayFrame& f, std::string& error);
  // Reads every frame once without keeping any, then starts again from the first: a
  // recording damaged anywhere is refused before any of it plays.
  bool CheckAll(std::string& error);

 private:
  std::vector<uint8_t> payload_;
  size_t at_ = 0;
  uint32_t count_ = 0, next_ = 0;
  ReplayClock clock_;
};

// The file's bytes; DecodeReplay says what is wrong (not naming the file) on failure.
std::vector<uint8_t> EncodeReplay(const Replay& r);
bool DecodeReplay(const std::vector<uint8_t>& bytes, Replay& r, std::string& error);
// Whole files; errors name the file. Saving writes a temporary file and renames it.
bool SaveReplay(const std::string& path, const Replay& r, std::string& error);
bool LoadReplay(const std::string& path, Replay& r, std::string& error);
// For playing: the header into `r` (its frame list stays empty), the frames into `frames`.
bool OpenReplay(const std::string& path, Replay& r, ReplayFrames& frames, std::string& error);

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

// Checks a replayed frame's scored rounds against the recorded ones. Returns false with
// `error` saying at which round and frame they differ.
bool CheckScoredRounds(const std::vector<ScoredRound>& recorded,
                       const std::vector<ScoredRound>& replayed, uint64_t frame,
                       std::string& error);

// The file name for a match recorded now (replays/match-YYYYMMDD-HHMMSS.tdxr under the
// player's data folder `playerData`, numbered if taken), and the pruning of the oldest
// beyond kReplaysKept.
std::string NewReplayPath(const std::string& playerData);
void PruneReplays(const std::string& playerData);
// A player keeps a recording: "match-STAMP-N.tdxr" becomes "kept-STAMP-N.tdxr" beside it,
// which pruning never removes (and a player can keep one by renaming it so). True with the
// new path in `kept`; false with the reason, the recording left as it was.
bool KeepReplay(const std::string& path, std::string& kept, std::string& error);
// Deletes a recording of the replays folder, kept or not; false with the reason.
bool DeleteReplay(const std::string& path, std::string& error);
// What a game killed while saving left behind: temporaries of tandrix.cfg in `config` and
// of recordings in `playerData`/replays whose game no longer runs (those of a game still
// running are its own). A game folder holds both.
void CleanLeftovers(const std::string& config, const std::string& playerData);

class FrameClock;

// What a replay plays: a format-1 recording (its header and its frames) or a format-2 one;
// all null for a live run.
struct ReplaySource {
  const Replay* replay = nullptr;
  ReplayFrames* frames = nullptr;
  TapeReader* tape = nullptr;
  const TapeHeader* header = nullptr;
};

// A recording of either format opened to be played back.
struct OpenedRecording {
  int format = 0;  // 1 or 2
  Replay replay;   // format 1: its header and its frames
  ReplayFrames frames;
  TapeReader tape;  // format 2
  TapeHeader header;

  uint64_t Seed() const { return format == 1 ? replay.seed : header.seed; }
  // The match a format-1 recording's command line asked for; a match recording needs none.
  uint8_t Start() const { return format == 1 ? replay.start : 0; }
  ReplaySource Source();
};

// Opens `path` in whichever format it is (a match recording is checked whole first); false
// with `error` naming the file and the fault.
bool OpenRecording(const std::string& path, OpenedRecording& r, std::string& error);

// A run as the frame loop plays it: live, or a recording played back and checked (format 1:
// the devices from the program's start; format 2: a match from its start). One frame at a
// time: input in, frame step, scored rounds out. Live runs and format-1 replays record every
// match they play in format 2 where RecordMatches says.
class Session {
 public:
  // The game's set-up store is set here, so make the session before start-up reads
  // tandrix.cfg.
  Session(Game& g, FrameClock& clock, uint64_t seed, const ReplaySource& source = {});
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();

  // Every match played is kept in `keepIn`/replays/ (the newest kReplaysKept; "" none) and
  // written to `recordPath` ("" none).
  void RecordMatches(const std::string& keepIn, const std::string& recordPath);
  // A format-2 replay, after start-up: the match as it started, on screen.
  bool StartTape(std::string& error);

  bool Replaying() const { return replay_ != nullptr || tape_ != nullptr; }
  // Whether a recorded frame is left to play (always true for a live run).
  bool HasFrame();
  // Plays one frame. Live: `keys` and `mouse` are the platform's; a format-1 replay
  // replaces them with the recorded frame's, a format-2 replay replaces the people's
  // controls. Returns false when a replay differs from its recording.
  bool Frame(std::vector<MouseEvent>& mouse, const std::array<uint8_t, 256>* keys);
  // The rounds scored in the last frame.
  const std::vector<ScoredRound>& ScoredNow() const { return scoredNow_; }
  // After the last frame: a match still running is recorded as far as it went, and a
  // replay that stopped before its recording's last scored round differs from it (checked
  // only `toTheEnd`: a replay cut short on purpose is checked as far as it went).
  bool Finish(bool toTheEnd = true);
  const std::string& ReplayError() const { return replayError_; }
  // Why --record's file could not be written ("" when it was, or nothing asked for it).
  const std::string& RecordError() const { return recordError_; }
  // The last match recorded to --record's file or replays/ ("" none yet).
  const std::string& LastRecording() const { return lastRecording_; }

 private:
  void BeginRecording();
  void RecordFrame(bool setupRead);
  void EndRecording();

  Game& g_;
  FrameClock& clock_;
  uint64_t seed_;
  const Replay* replay_;
  ReplayFrames* replayFrames_;
  TapeReader* tape_;
  const TapeHeader* header_;
  class NotingStore;
  std::unique_ptr<ReplaySetupStore> replayStore_;
  std::unique_ptr<NotingStore> store_;
  uint64_t frames_ = 0;
  size_t scoredSeen_ = 0;
  std::vector<ScoredRound> scoredNow_;
  std::string replayError_, recordError_, lastRecording_;
  // A replay: the frame read ahead, and whether the recording has more.
  std::unique_ptr<ReplayFrame> nextOld_;
  std::unique_ptr<TapeFrame> next_;
  bool tapeDone_ = false;
  // Recording: where, the two writers, and the set-up the recording holds now.
  std::string keepIn_, recordPath_;
  std::unique_ptr<TapeWriter> keep_, record_;
  SettingsBlock recordedSetup_{};
  bool keepWarned_ = false;
  bool recording_ = false;  // the match being played is being recorded (or failed to be)
};

// The trace line of a scored round: "round=N winner=W digest=HEX".
std::string ScoredRoundLine(const ScoredRound& r);

}  // namespace tdx
