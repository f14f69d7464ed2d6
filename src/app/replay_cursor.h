// Watching a match recording with a position that can be moved anywhere at once: a frame
// step, a jump of seconds, the start of a round, any frame forward or back.
//
// The whole recording is read into memory first (a match takes a few KB; a damaged file is
// refused before any of it plays). A first pass then plays the match once on a match of
// its own, keeping the match written down and compressed every couple of seconds and
// noting where each round begins. Moving the position puts back the nearest kept match at
// or before it and steps forward from there, so a seek costs a bounded number of frames
// however long the match. The first pass can be done at once or a slice a frame; a seek
// past where it has got to drives it there first.
//
// The cursor gives the match only: the events of a frame stepped by `Step` are in the
// match for whoever shows it to play; a seek lands with none, so the frames it stepped
// through are never heard.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/match_tape.h"
#include "match/match.h"

namespace tdx {

class ReplayCursor {
 public:
  // Frames between two kept matches at first (two seconds of play): at most that many
  // frames are stepped by a seek.
  static constexpr uint64_t kSnapshotEvery = 120;
  // Kept matches at most: past it, every other one is dropped and the spacing doubles, so
  // memory stays bounded for a very long match at the price of slower seeks in it.
  static constexpr size_t kMostSnapshots = 512;
  // Frames of a recording that will be watched at most: four hours of play.
  static constexpr uint64_t kMostFrames = 4ull * 60 * 60 * 60;

  // `every` and `most` stand in for the two figures above (tests thin the kept matches of
  // a short recording with them).
  explicit ReplayCursor(uint64_t every = kSnapshotEvery, size_t most = kMostSnapshots);
  ~ReplayCursor();
  ReplayCursor(const ReplayCursor&) = delete;
  ReplayCursor& operator=(const ReplayCursor&) = delete;

  // Reads a format-2 recording whole; false with `error` naming the file when it cannot be
  // read, is damaged anywhere, is too long or holds a match of other rules. A refused
  // recording leaves the cursor empty (no frames), whatever it held before.
  bool Open(const std::string& path, std::string& error);
  // The same from a recording already in memory; `name` stands for the file in errors.
  bool Start(const TapeHeader& header, const std::vector<TapeFrame>& frames,
             const std::string& name, std::string& error);

  // The first pass: plays up to `frames` more frames of it; true once it has reached the
  // end. `ScanAll` finishes it.
  bool Scan(uint64_t frames);
  void ScanAll() { Scan(Frames()); }
  bool Scanned() const { return scanAt_ >= Frames(); }

  // The position: how many frames of the recording have been played, 0 .. Frames().
  uint64_t Frame() const { return frame_; }
  uint64_t Frames() const { return frames_.size(); }
  // The match at the position.
  const Match& Current() const { return *current_; }
  // Seconds of play from the recording's start to a position, and to the current one.
  double SecondsAt(uint64_t frame) const;
  double Seconds() const { return SecondsAt(frame_); }
  double Length() const { return SecondsAt(Frames()); }

  // Plays the next frame, its events left in the match; false at the end.
  bool Step();
  // Moves the position to `frame`, clamped to 0 .. Frames().
  void SeekFrame(int64_t frame);
  // To the first position at least `seconds` into the recording (clamped), and by
  // `seconds` from the current one (negative: back).
  void SeekSeconds(double seconds);
  void Jump(double seconds) { SeekSeconds(Seconds() + seconds); }

  // The position each round begins at (its arena set), of the rounds the first pass has
  // reached: all of them once it is done.
  const std::vector<uint64_t>& RoundStarts() const { return roundStarts_; }
  // To the start of round `k` (0 the first); false, staying put, when there is no such
  // round.
  bool SeekRound(size_t k);

  // The matches kept for seeking: how many and their bytes.
  size_t SnapshotCount() const { return snapshots_.size(); }
  size_t SnapshotBytes() const;
  uint64_t SnapshotEvery() const { return every_; }

 private:
  // A recorded frame as kept in memory: the set-up, rarely changed, is kept apart.
  struct RecordedFrame {
    double now = 0, end = 0;
    std::array<uint8_t, kPlayerSlots> controls{};
    bool setupNow = false;
    int32_t setup = -1;  // index into setups_ when the frame changes the set-up
  };
  struct Snapshot {
    uint64_t frame = 0;
    SettingsBlock setup{};        // the recording's set-up as it stood
    size_t size = 0;              // of the snapshot bytes
    std::vector<uint8_t> packed;  // compressed
  };

  bool Add(const TapeFrame& f, const std::string& name, std::string& error);
  bool Begin(const TapeHeader& header, const std::string& name, std::string& error);
  bool Empty();  // after a refusal: no recording, an empty match; false
  void StepOne(Match& m, SettingsBlock& setup, uint64_t frame);
  void Keep();
  void Restore(const Snapshot& s);

  std::vector<RecordedFrame> frames_;
  std::vector<SettingsBlock> setups_;
  TapeFrame step_;  // the frame handed to the match, reused

  // The first pass.
  std::unique_ptr<Match> scan_;
  SettingsBlock scanSetup_{};
  uint64_t scanAt_ = 0;
  uint64_t firstEvery_, every_;
  size_t most_;
  std::vector<Snapshot> snapshots_;
  std::vector<uint64_t> roundStarts_;

  // The position.
  std::unique_ptr<Match> current_;
  SettingsBlock setup_{};
  uint64_t frame_ = 0;
  std::vector<uint8_t> bytes_;  // a snapshot unpacked, reused
};

}  // namespace tdx
