#include "app/replay_cursor.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "match/events.h"
#include "match/snapshot.h"

namespace tdx {

ReplayCursor::ReplayCursor(uint64_t every, size_t most)
    : scan_(std::make_unique<Match>()),
      firstEvery_(std::max<uint64_t>(every, 1)),
      every_(firstEvery_),
      most_(std::max<size_t>(most, 2)),
      current_(std::make_unique<Match>()) {}
ReplayCursor::~ReplayCursor() = default;

bool ReplayCursor::Open(const std::string& path, std::string& error) {
  TapeReader tape;
  TapeHeader header;
  if (!tape.Open(path, header, error)) return Empty();
  frames_.clear();
  setups_.clear();
  TapeFrame f;
  while (tape.Next(f, error)) {
    if (!Add(f, path, error)) return Empty();
  }
  if (!error.empty()) return Empty();  // the reader names the file and the damage
  return Begin(header, path, error);
}

bool ReplayCursor::Start(const TapeHeader& header, const std::vector<TapeFrame>& frames,
                         const std::string& name, std::string& error) {
  frames_.clear();
  setups_.clear();
  frames_.reserve(frames.size());
  for (const TapeFrame& f : frames) {
    if (!Add(f, name, error)) return Empty();
  }
  return Begin(header, name, error);
}

bool ReplayCursor::Add(const TapeFrame& f, const std::string& name, std::string& error) {
  if (frames_.size() >= kMostFrames) {
    error = name + ": longer than four hours of play, too long to watch";
    return false;
  }
  RecordedFrame k;
  k.now = f.now;
  k.end = f.end;
  k.controls = f.controls;
  k.setupNow = f.setupNow;
  if (f.setupChanged || f.setupNow) {
    k.setup = static_cast<int32_t>(setups_.size());
    setups_.push_back(f.setup);
  }
  frames_.push_back(k);
  return true;
}

bool ReplayCursor::Empty() {
  frames_.clear();
  setups_.clear();
  snapshots_.clear();
  roundStarts_.clear();
  scanAt_ = frame_ = 0;
  *current_ = Match();
  return false;
}

bool ReplayCursor::Begin(const TapeHeader& header, const std::string& name, std::string& error) {
  if (header.rules != kRulesVersion) {
    error = name + ": recorded under other rules (version " + std::to_string(header.rules) + ")";
    return Empty();
  }
  std::string why;
  if (!LoadSnapshot(header.snapshot, *scan_, why)) {
    error = name + ": its match cannot be read: " + why;
    return Empty();
  }
  scan_->events.Clear();
  scanSetup_ = scan_->settings;  // as the recording's set-up stood at its start
  scanAt_ = 0;
  every_ = firstEvery_;
  snapshots_.clear();
  roundStarts_.clear();
  Keep();
  *current_ = *scan_;
  setup_ = scanSetup_;
  frame_ = 0;
  return true;
}

void ReplayCursor::StepOne(Match& m, SettingsBlock& setup, uint64_t frame) {
  const RecordedFrame& k = frames_[frame];
  step_.now = k.now;
  step_.end = k.end;
  step_.controls = k.controls;
  step_.setupNow = k.setupNow;
  step_.setupChanged = k.setup >= 0;
  if (k.setup >= 0) step_.setup = setups_[static_cast<size_t>(k.setup)];
  StepTapeFrame(m, setup, step_);
}

bool ReplayCursor::Scan(uint64_t frames) {
  for (uint64_t i = 0; i < frames && scanAt_ < Frames(); ++i) {
    StepOne(*scan_, scanSetup_, scanAt_);
    ++scanAt_;
    for (const MatchEvent& e : scan_->events.raised) {
      if (e.kind == MatchEvent::Kind::RoundPrepared) roundStarts_.push_back(scanAt_);
    }
    if (scanAt_ % every_ == 0) Keep();
  }
  return Scanned();
}

void ReplayCursor::Keep() {
  if (snapshots_.size() >= most_) {
    // Half as many, twice as far apart: the first (the start) always stays.
    every_ *= 2;
    std::erase_if(snapshots_, [&](const Snapshot& s) { return s.frame % every_ != 0; });
    if (scanAt_ % every_ != 0) return;
  }
  Snapshot s;
  s.frame = scanAt_;
  s.setup = scanSetup_;
  const std::vector<uint8_t> bytes = SaveSnapshot(*scan_);
  s.size = bytes.size();
  uLongf packed = compressBound(static_cast<uLong>(bytes.size()));
  s.packed.resize(packed);
  // The fastest level: the match is mostly an arena of few values and packs well anyway.
  compress2(s.packed.data(), &packed, bytes.data(), static_cast<uLong>(bytes.size()), 1);
  s.packed.resize(packed);
  s.packed.shrink_to_fit();
  snapshots_.push_back(std::move(s));
}

void ReplayCursor::Restore(const Snapshot& s) {
  bytes_.resize(s.size);
  uLongf size = static_cast<uLongf>(s.size);
  std::string why;
  // The bytes are this cursor's own, made by this build: they always read back.
  if (uncompress(bytes_.data(), &size, s.packed.data(), static_cast<uLong>(s.packed.size())) !=
          Z_OK ||
      !LoadSnapshot(bytes_, *current_, why)) {
    std::abort();
  }
  setup_ = s.setup;
  frame_ = s.frame;
}

double ReplayCursor::SecondsAt(uint64_t frame) const {
  if (frame == 0 || frames_.empty()) return 0;
  return frames_[std::min(frame, Frames()) - 1].end - frames_.front().now;
}

bool ReplayCursor::Step() {
  if (frame_ >= Frames()) return false;
  if (frame_ == scanAt_) {
    // The first pass has got no further: it takes this step, and its match is ours.
    Scan(1);
    *current_ = *scan_;
    setup_ = scanSetup_;
  } else {
    StepOne(*current_, setup_, frame_);
  }
  ++frame_;
  return true;
}

void ReplayCursor::SeekFrame(int64_t frame) {
  const uint64_t to = frame < 0 ? 0 : std::min(static_cast<uint64_t>(frame), Frames());
  if (to >= scanAt_) {
    Scan(to - scanAt_);
    *current_ = *scan_;
    setup_ = scanSetup_;
    frame_ = scanAt_;
  } else {
    // The last kept match at or before the position; stepping on from where the position
    // is instead when that is nearer.
    auto at = std::upper_bound(snapshots_.begin(), snapshots_.end(), to,
                               [](uint64_t f, const Snapshot& s) { return f < s.frame; });
    const Snapshot& from = *std::prev(at);
    if (frame_ > to || frame_ < from.frame) Restore(from);
    while (frame_ < to) {
      StepOne(*current_, setup_, frame_);
      ++frame_;
    }
  }
  current_->events.Clear();  // a seek is silent
}

void ReplayCursor::SeekSeconds(double seconds) {
  // The first position whose time reaches `seconds`: positions' times only grow.
  uint64_t lo = 0, hi = Frames();
  while (lo < hi) {
    const uint64_t mid = lo + (hi - lo) / 2;
    if (SecondsAt(mid) < seconds) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  SeekFrame(static_cast<int64_t>(lo));
}

bool ReplayCursor::SeekRound(size_t k) {
  if (k >= roundStarts_.size()) return false;
  SeekFrame(static_cast<int64_t>(roundStarts_[k]));
  return true;
}

size_t ReplayCursor::SnapshotBytes() const {
  size_t n = 0;
  for (const Snapshot& s : snapshots_) n += s.packed.capacity() + sizeof s;
  return n;
}

}  // namespace tdx
