#include "net/rollback.h"

#include <algorithm>

#include "match/arena/worm.h"
#include "match/digest.h"
#include "match/round.h"

namespace tdx::net {

namespace {

bool IsHeard(const MatchEvent& e) {
  return e.kind == MatchEvent::Kind::Sound || e.kind == MatchEvent::Kind::SoundPanned ||
         e.kind == MatchEvent::Kind::Speech;
}

bool Same(const MatchEvent& a, const MatchEvent& b) {
  return a.kind == b.kind && a.name == b.name && a.value == b.value && a.x == b.x;
}

// What `a` holds that `b` does not, each event counted as often as it occurs.
void Missing(const std::vector<MatchEvent>& a, const std::vector<MatchEvent>& b,
             std::vector<MatchEvent>& out) {
  std::vector<bool> taken(b.size(), false);
  for (const MatchEvent& e : a) {
    bool found = false;
    for (size_t i = 0; i < b.size() && !found; ++i) {
      if (!taken[i] && Same(e, b[i])) found = taken[i] = true;
    }
    if (!found) out.push_back(e);
  }
}

}  // namespace

void BuildMatch(Match& m, uint64_t seed, const SettingsBlock& setup, int teamMode) {
  m = Match();
  m.matchRng.Seed(seed);
  CreateWorms(m);
  m.settings = setup;
  BeginMatch(m, teamMode);
}

void RollbackMatch::Begin(const Match& start, uint16_t localSlots) {
  current_ = start;
  finalMatch_ = start;
  setups_.assign(1, {0, start.settings});
  until_.fill(UINT32_MAX);
  base_ = start.LastFrameTime;
  local_ = remote_ = 0;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (!IsHumanSlot(start.settings.players[s])) continue;
    (localSlots & (1u << s) ? local_ : remote_) |= static_cast<uint16_t>(1u << s);
  }
  frame_ = finalFrames_ = lastRollback_ = 0;
  totalRollback_ = corrections_ = 0;
  dirtyFrom_ = UINT32_MAX;
  known_.fill(0);
  last_.fill(0);
  for (FrameRecord& r : records_) r = FrameRecord{};
  given_.clear();
  givenBase_ = 0;
  savedFrame_.fill(UINT32_MAX);
  cancelled.clear();
  late.clear();
}

void RollbackMatch::SetLocal(uint32_t frame, int slot, uint8_t bits) {
  if (slot < 0 || slot >= kPlayerSlots || !(local_ & (1u << slot))) return;
  const auto s = static_cast<size_t>(slot);
  // A frame already stepped keeps what it was given; the frames skipped hold what the
  // person held last.
  if (frame < known_[s] || frame < frame_ || frame >= frame_ + kAhead) return;
  bits &= kControlBits;
  for (uint32_t f = known_[s]; f < frame; ++f) Row(f)[s] = last_[s];
  Row(frame)[s] = bits;
  last_[s] = bits;
  known_[s] = frame + 1;
}

std::array<uint8_t, kPlayerSlots>& RollbackMatch::Row(uint32_t f) {
  while (givenBase_ + given_.size() <= f) given_.emplace_back();
  return given_[f - givenBase_];
}

uint8_t RollbackMatch::Given(uint32_t frame, int slot) const {
  if (frame < givenBase_ || frame - givenBase_ >= given_.size()) return 0;
  return given_[frame - givenBase_][static_cast<size_t>(slot)];
}

bool RollbackMatch::Confirm(uint32_t frame, int slot, uint8_t bits) {
  if (slot < 0 || slot >= kPlayerSlots || !(remote_ & (1u << slot))) return false;
  const auto s = static_cast<size_t>(slot);
  // Heard already, past a gap, the computer's by now, or further ahead than anyone can be.
  if (frame != known_[s] || frame >= until_[s] || frame >= frame_ + kAhead) return true;
  bits &= kControlBits;
  Row(frame)[s] = bits;
  last_[s] = bits;
  known_[s] = frame + 1;
  if (frame < frame_ && Record(frame).used[s] != bits) dirtyFrom_ = std::min(dirtyFrom_, frame);
  return true;
}

void RollbackMatch::TakeOver(uint16_t slots, uint32_t frame) {
  slots &= remote_;
  if (slots == 0) return;
  SettingsBlock next = setups_.back().second;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (!(slots >> s & 1)) continue;
    next.players[s].controller = CtrlCpuIq10;
    until_[static_cast<size_t>(s)] = std::min(until_[static_cast<size_t>(s)], frame);
  }
  // Takeovers come in frame order from the host; one at an earlier frame than the last
  // still holds from the last's frame on.
  frame = std::max(frame, setups_.back().first);
  if (setups_.back().first == frame && setups_.size() > 1) {
    setups_.back().second = next;
  } else {
    setups_.emplace_back(frame, next);
  }
  if (frame < frame_) dirtyFrom_ = std::min(dirtyFrom_, frame);
}

const SettingsBlock& RollbackMatch::SetupAt(uint32_t f) const {
  const SettingsBlock* s = &setups_.front().second;
  for (const auto& [from, setup] : setups_) {
    if (from <= f) s = &setup;
  }
  return *s;
}

bool RollbackMatch::TakenOverAt(uint32_t f) const {
  for (size_t i = 1; i < setups_.size(); ++i) {
    if (setups_[i].first == f) return true;
  }
  return false;
}

// Before frame f is stepped: a round start reads the set-up afresh, as every machine's
// does, and a takeover at f hands the slots to the computer at once.
void RollbackMatch::Prepare(Match& m, uint32_t f) const {
  if (m.phase == GamePhase::RoundStart) m.settings = SetupAt(f);
  if (TakenOverAt(f)) TakeControllers(m.settings, SetupAt(f));
}

uint8_t RollbackMatch::ControlsFor(uint32_t f, int slot) const {
  const auto s = static_cast<size_t>(slot);
  if (f < known_[s]) return Given(f, slot);
  return last_[s];  // not heard yet: what the person held last
}

uint32_t RollbackMatch::Confirmed() const {
  uint32_t c = frame_;
  for (int s = 0; s < kPlayerSlots; ++s) {
    const auto k = static_cast<size_t>(s);
    // A slot taken over needs nothing past its last person's frame.
    if (((local_ | remote_) & (1u << s)) && known_[k] < until_[k]) c = std::min(c, known_[k]);
  }
  return c;
}

bool RollbackMatch::CanAdvance() const {
  for (int s = 0; s < kPlayerSlots; ++s) {
    const auto k = static_cast<size_t>(s);
    if ((remote_ & (1u << s)) && known_[k] < until_[k] && frame_ >= known_[k] + kRollbackWindow) {
      return false;
    }
  }
  return true;
}

void RollbackMatch::Restore(uint32_t f) {
  const size_t i = f % saved_.size();
  current_ = saved_[i];
}

void RollbackMatch::StepOne(bool silent) {
  const uint32_t f = frame_;
  const size_t i = f % saved_.size();
  saved_[i] = current_;
  savedFrame_[i] = f;
  FrameRecord& r = Record(f);
  for (int s = 0; s < kPlayerSlots; ++s) {
    const auto k = static_cast<size_t>(s);
    const bool person = NeedsControls(f, s);
    const uint8_t bits = person ? ControlsFor(f, s) : 0;
    r.used[k] = bits;
    Controls& c = r.people[k];
    c = Controls{};
    if (!person) continue;
    c.before = current_.controls[k].now;  // people's controls as the frame before left them
    for (size_t b = 0; b < 3; ++b) c.now[b] = (bits >> b & 1) != 0;
  }
  Prepare(current_, f);
  const double t = FrameTime(f);
  StepMatchFrame(current_, t, t, &r.people);
  std::vector<MatchEvent> heard;
  for (const MatchEvent& e : current_.events.raised) {
    if (IsHeard(e)) heard.push_back(e);
  }
  if (silent) {
    Missing(r.heard, heard, cancelled);
    Missing(heard, r.heard, late);
  } else if (collectEvents) {
    raised.insert(raised.end(), current_.events.raised.begin(), current_.events.raised.end());
  }
  r.heard = std::move(heard);
  ++frame_;
}

void RollbackMatch::Advance() {
  CatchUp();
  StepOne(false);
}

void RollbackMatch::CatchUp() {
  lastRollback_ = 0;
  if (dirtyFrom_ < frame_) {
    const uint32_t now = frame_;
    const uint32_t from = dirtyFrom_;
    Restore(from);
    frame_ = from;
    while (frame_ < now) StepOne(true);
    lastRollback_ = now - from;
    totalRollback_ += lastRollback_;
    ++corrections_;
  }
  dirtyFrom_ = UINT32_MAX;
}

void RollbackMatch::TakeFinal(std::vector<ConfirmedFrame>& frames,
                              std::vector<FrameDigest>& digests) {
  // Final: confirmed by everyone and stepped with exactly what was confirmed.
  const uint32_t upTo = std::min({Confirmed(), frame_, dirtyFrom_});
  for (; finalFrames_ < upTo; ++finalFrames_) {
    const FrameRecord& r = Record(finalFrames_);
    ConfirmedFrame c;
    c.frame = finalFrames_;
    c.now = c.end = FrameTime(finalFrames_);
    c.controls = r.people;
    Match& m = finalMatch_;
    const size_t rounds = m.match.Scored.size();
    Prepare(m, finalFrames_);
    if (TakenOverAt(finalFrames_)) {
      c.setupNow = true;
      c.setup = SetupAt(finalFrames_);
    }
    StepMatchFrame(m, c.now, c.end, &c.controls);
    c.scored.assign(m.match.Scored.begin() + static_cast<std::ptrdiff_t>(rounds),
                    m.match.Scored.end());
    c.phase = m.phase;
    frames.push_back(std::move(c));
    if ((finalFrames_ + 1) % kDigestEvery == 0) digests.push_back({finalFrames_, RoundDigest(m)});
  }
  // Controls are kept while a step again or a machine catching up may still ask for them.
  const uint32_t stepped = frame_ > kRollbackWindow + 2 ? frame_ - kRollbackWindow - 2 : 0;
  const uint32_t needed = std::min(finalFrames_, stepped);
  while (!given_.empty() && givenBase_ + kKept < needed) {
    given_.pop_front();
    ++givenBase_;
  }
}

}  // namespace tdx::net
