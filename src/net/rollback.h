// A match played by several machines at once. Each machine steps the whole match itself
// from everyone's controls, by a fixed 1/60 s a frame. Its own people's controls are known
// at once; another machine's arrive later, so until they do the match goes on with what
// that machine's people held last. When they arrive and differ, the match is put back to
// the frame they change and stepped again to now, silently: the players see the
// correction, not a pause. A machine never runs further ahead of what it has heard than
// the rollback window; past it, it waits.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "match/events.h"
#include "match/match.h"

namespace tdx::net {

inline constexpr double kNetStep = 1.0 / 60;
// Frames a machine may step past the last frame it has every machine's controls for.
inline constexpr uint32_t kRollbackWindow = 15;
// Frames between two digests of the match, compared between machines.
inline constexpr uint32_t kDigestEvery = 60;

// One slot's controls in a frame: bit 0 left, 1 right, 2 fire.
inline constexpr uint8_t kControlBits = 7;

// What a frame's controls were on the machine that confirmed them.
struct ConfirmedFrame {
  uint32_t frame = 0;
  double now = 0, end = 0;                        // the clock the frame was stepped with
  std::array<Controls, kPlayerSlots> controls{};  // people's slots only; the others are zero
  std::vector<ScoredRound> scored;                // the rounds it scored
  GamePhase phase = GamePhase::Loading;           // the phase it left the match in
  bool setupNow = false;  // the computer took over slots as this frame began: `setup` says who
  SettingsBlock setup{};
};

// The digest of the match as a frame ended, every machine's controls for it confirmed.
struct FrameDigest {
  uint32_t frame = 0;
  uint64_t digest = 0;
};

// The match every machine builds from what the host sends: the same seed, set-up and mode
// give the same match everywhere.
void BuildMatch(Match& m, uint64_t seed, const SettingsBlock& setup, int teamMode);

class RollbackMatch {
 public:
  // The match as its first frame begins. `local`: the people's slots this machine gives
  // controls for; the other people's slots are heard from other machines. Slots the set-up
  // does not give to people are played by the rules (computer players) everywhere.
  void Begin(const Match& start, uint16_t localSlots);

  // This machine's people's controls for `frame` (at or after Frame(): a key takes effect
  // in the frame it is given for, which an input delay puts ahead of now).
  void SetLocal(uint32_t frame, int slot, uint8_t bits);
  // Another machine's controls for `frame` of `slot`. They come in frame order; a frame
  // already heard is ignored, and so is one past a gap (it is sent again). False when the
  // slot is not one this match takes from another machine.
  bool Confirm(uint32_t frame, int slot, uint8_t bits);
  // The next frame each slot needs confirmed (local slots: the next frame not yet given).
  uint32_t Heard(int slot) const { return known_[static_cast<size_t>(slot)]; }
  // The controls given or heard for `frame` of `slot` (a frame before Heard(slot), and
  // not older than the frames kept: the window and a little more).
  uint8_t Given(uint32_t frame, int slot) const;
  // The oldest frame whose controls are still kept.
  uint32_t OldestGiven() const { return givenBase_; }
  // Frames of controls kept behind the newest: what a machine may send again.
  static constexpr uint32_t kKept = 40;
  // How far past the frame it stands a match takes controls (a watcher catching up is
  // sent the frames before it this far ahead).
  static constexpr uint32_t kAhead = 4096;

  // From `frame` on, the computer (cpuiq10) plays `slots` (their machine fell silent): their
  // controls are needed only for the frames before it. Frames already stepped from it on
  // are stepped again.
  void TakeOver(uint16_t slots, uint32_t frame);

  // Whether any frame from now on takes a control from another machine (none: nobody
  // elsewhere steers a worm, or the computer took all of them over).
  bool NeedsOthers() const {
    for (int s = 0; s < kPlayerSlots; ++s) {
      if ((remote_ >> s & 1) && until_[static_cast<size_t>(s)] > frame_) return true;
    }
    return false;
  }

  // Whether the next frame may be stepped: every slot heard from within the window.
  bool CanAdvance() const;
  // Steps the next frame, first stepping again (silently) the frames that late controls
  // changed. The new frame's events stay in Current().events.
  void Advance();
  // Only the stepping again, up to the frame reached (the match may have ended, or been
  // thought to, on what was assumed).
  void CatchUp();

  const Match& Current() const { return current_; }
  Match& Current() { return current_; }
  // Frames stepped so far; the next to step has this number.
  uint32_t Frame() const { return frame_; }
  // Every frame before this one has every slot's controls confirmed.
  uint32_t Confirmed() const;
  // Frames stepped again by the last Advance (0 when nothing was late).
  uint32_t LastRollback() const { return lastRollback_; }
  uint64_t TotalRollbackFrames() const { return totalRollback_; }
  // Advances that stepped frames again: how often a late control changed the match.
  uint64_t Corrections() const { return corrections_; }

  // Frames whose controls became final since the last call, in order (for the recording),
  // and the digests of the match at every kDigestEvery-th of them.
  void TakeFinal(std::vector<ConfirmedFrame>& frames, std::vector<FrameDigest>& digests);
  // The match as the final frames left it: what every machine agrees on.
  const Match& Final() const { return finalMatch_; }

  // What a correction undid: sounds and speech raised by frames as first stepped that the
  // steps again no longer raise (to stop), and those they newly raise (to play late).
  // Filled by Advance; the caller takes them.
  std::vector<MatchEvent> cancelled, late;
  // With collectEvents, every event of every frame as first stepped, for a program that
  // shows the match (a headless one has no use for them).
  bool collectEvents = false;
  std::vector<MatchEvent> raised;

  // The clock of frame f: it begins at `now` and ends at the same instant.
  double FrameTime(uint32_t f) const { return base_ + static_cast<double>(f + 1) * kNetStep; }

 private:
  static constexpr uint32_t kRing = 64;  // frames of controls kept (more than the window)
  struct FrameRecord {
    std::array<uint8_t, kPlayerSlots> used{};     // what the frame was stepped with
    std::array<Controls, kPlayerSlots> people{};  // and as the rules were given them
    std::vector<MatchEvent> heard;                // sounds and speech it raised
  };
  FrameRecord& Record(uint32_t f) { return records_[f % kRing]; }
  std::array<uint8_t, kPlayerSlots>& Row(uint32_t f);
  uint8_t ControlsFor(uint32_t f, int slot) const;
  // Whether `slot` is a person's whose controls frame f needs.
  bool NeedsControls(uint32_t f, int slot) const {
    return ((local_ | remote_) >> slot & 1) && f < until_[static_cast<size_t>(slot)];
  }
  // The set-up a round start at frame f reads, and whether slots were taken over at f.
  const SettingsBlock& SetupAt(uint32_t f) const;
  bool TakenOverAt(uint32_t f) const;
  void Prepare(Match& m, uint32_t f) const;
  void StepOne(bool silent);
  void Restore(uint32_t f);

  Match current_;
  Match finalMatch_;  // stepped again by the final frames alone, for digests and rounds
  std::array<Match, kRollbackWindow + 2> saved_;  // the match as frame f begins, at f % size
  std::array<uint32_t, kRollbackWindow + 2> savedFrame_{};
  std::array<FrameRecord, kRing> records_{};
  // Every slot's controls as given or heard, for frames givenBase_ on.
  std::deque<std::array<uint8_t, kPlayerSlots>> given_;
  uint32_t givenBase_ = 0;
  std::array<uint32_t, kPlayerSlots> known_{};
  std::array<uint8_t, kPlayerSlots> last_{};  // each slot's last confirmed controls
  uint16_t local_ = 0, remote_ = 0;
  // What every round start reads, from the frame it holds from (a takeover adds one).
  std::vector<std::pair<uint32_t, SettingsBlock>> setups_;
  std::array<uint32_t, kPlayerSlots> until_{};  // a person's slot is a person's until this frame
  double base_ = 0;
  uint32_t frame_ = 0;
  uint32_t dirtyFrom_ = UINT32_MAX;
  uint32_t finalFrames_ = 0;  // frames already handed to TakeFinal
  uint32_t lastRollback_ = 0;
  uint64_t totalRollback_ = 0;
  uint64_t corrections_ = 0;
};

}  // namespace tdx::net
