// Machines of a network match that hear each other late: each steps the whole match from
// its own people's controls at once and the others' as they arrive, putting the match back
// and stepping it again when a late control differs from what it assumed. Whatever the
// delays and losses, every machine must end with the match that everyone's controls make,
// heard as that match sounds.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "match/arena/worm.h"
#include "match/digest.h"
#include "match/round.h"
#include "net/rollback.h"

namespace tdx::net {
namespace {

// Six people on three machines (two each), six computer players, bonuses on, three rounds.
SettingsBlock NetSetup() {
  SettingsBlock s{};
  for (int i = 0; i < kPlayerSlots; ++i) {
    PlayerSetup& p = s.players[i];
    p.controller = i < 6 ? CtrlHuman : (i % 2 ? CtrlCpuIq10 : CtrlCpuIq0);
    p.kind = static_cast<uint8_t>(1 + (i * 7) % 20);
    p.team = static_cast<uint8_t>(1 + i % 4);
  }
  s.game.bonus = 1;
  s.game.scoreLimit = 0;  // three rounds
  s.game.fromSpeed = 2;
  s.game.toSpeed = 6;
  s.game.startPosition = static_cast<uint8_t>(StartPositionRule::Circle);
  return s;
}

// A person's scripted hands: turns held for a while, fire now and then (which also says
// "ready" between rounds).
uint8_t Hands(int slot, uint32_t frame) {
  uint32_t phase = (frame + static_cast<uint32_t>(slot) * 37) / (13 + static_cast<uint32_t>(slot));
  uint32_t h = phase * 2654435761u ^ static_cast<uint32_t>(slot) * 40503u;
  uint8_t bits = static_cast<uint8_t>((h >> 7) % 3 == 0 ? 1 : (h >> 7) % 3 == 1 ? 2 : 0);
  if ((h >> 13) % 5 == 0) bits |= 4;
  return bits;
}

struct Parcel {
  uint32_t due = 0;  // the tick it arrives
  int from = 0, to = 0;
  uint32_t first = 0;
  std::vector<std::array<uint8_t, 2>> frames;  // the sender's two slots
};

struct Machine {
  std::unique_ptr<RollbackMatch> match = std::make_unique<RollbackMatch>();
  int id = 0;
  std::array<uint32_t, 3> ackFrom{};  // frames each other machine has of ours
  std::vector<ConfirmedFrame> final;
  std::vector<FrameDigest> digests;
  std::map<std::string, int> heard;  // sounds and speech as played, minus those stopped
};

void Hear(std::map<std::string, int>& heard, const std::vector<MatchEvent>& events, int sign) {
  for (const MatchEvent& e : events) {
    if (e.kind == MatchEvent::Kind::Sound || e.kind == MatchEvent::Kind::SoundPanned ||
        e.kind == MatchEvent::Kind::Speech) {
      heard[std::string(e.name) + "@" + std::to_string(e.x) + "/" + std::to_string(e.value)] +=
          sign;
    }
  }
}

struct Net {
  int delay = 0, jitter = 0;  // ticks (frames) each way
  double loss = 0;
  uint32_t inputDelay = 0;
  uint32_t silentAt = UINT32_MAX;  // machine 2 falls silent at this tick
};

// Machine 0, the host, hears machine 2 no more: the computer plays its slots from the
// first frame the host lacks, and the host hands machine 1 what it has of machine 2 first.
void TakeOverMachineTwo(std::vector<Machine>& machines) {
  RollbackMatch& host = *machines[0].match;
  RollbackMatch& other = *machines[1].match;
  const uint32_t from = host.Heard(4);
  for (uint32_t f = other.Heard(4); f < from; ++f) {
    for (int slot : {4, 5}) other.Confirm(f, slot, host.Given(f, slot));
  }
  host.TakeOver(0x30, from);
  other.TakeOver(0x30, from);
}

// Plays the match on three machines over a channel that delays and loses what they send.
std::vector<Machine> PlayOverNet(const Net& net, uint64_t seed) {
  auto start = std::make_unique<Match>();
  BuildMatch(*start, seed, NetSetup(), 0);
  std::vector<Machine> machines(3);
  for (int i = 0; i < 3; ++i) {
    machines[i].id = i;
    machines[i].match->Begin(*start, static_cast<uint16_t>(3u << (2 * i)));
  }
  std::mt19937 rng(static_cast<uint32_t>(seed));
  std::deque<Parcel> wire;
  const int playing = net.silentAt == UINT32_MAX ? 3 : 2;
  for (uint32_t tick = 0; tick < 60000; ++tick) {
    bool allOver = true;
    if (net.silentAt != UINT32_MAX && tick == net.silentAt + 180) TakeOverMachineTwo(machines);
    for (Machine& m : machines) {
      if (m.id == 2 && tick >= net.silentAt) {
        std::erase_if(wire, [](const Parcel& p) { return p.to == 2 || p.from == 2; });
        continue;
      }
      RollbackMatch& r = *m.match;
      for (auto it = wire.begin(); it != wire.end();) {
        if (it->to != m.id || it->due > tick) {
          ++it;
          continue;
        }
        for (size_t k = 0; k < it->frames.size(); ++k) {
          for (int j = 0; j < 2; ++j) {
            r.Confirm(it->first + static_cast<uint32_t>(k), 2 * it->from + j, it->frames[k][j]);
          }
        }
        // What we have heard of the sender tells it where to send from.
        machines[static_cast<size_t>(it->from)].ackFrom[static_cast<size_t>(m.id)] =
            r.Heard(2 * it->from);
        it = wire.erase(it);
      }
      const uint32_t f = r.Frame() + net.inputDelay;
      for (int j = 0; j < 2; ++j) {
        const int slot = 2 * m.id + j;
        for (uint32_t g = r.Heard(slot); g <= f; ++g) r.SetLocal(g, slot, Hands(slot, g));
      }
      if (r.Current().phase == GamePhase::GameOver) {
        r.CatchUp();  // the end may have come of what was assumed
      } else if (r.CanAdvance()) {
        r.Advance();
        Hear(m.heard, r.Current().events.raised, 1);
        Hear(m.heard, r.late, 1);
        Hear(m.heard, r.cancelled, -1);
        r.late.clear();
        r.cancelled.clear();
      }
      r.TakeFinal(m.final, m.digests);
      for (int to = 0; to < playing; ++to) {
        if (to == m.id) continue;
        Parcel p;
        p.from = m.id;
        p.to = to;
        p.first = m.ackFrom[static_cast<size_t>(to)];
        for (uint32_t k = p.first; k < r.Heard(2 * m.id) && p.frames.size() < 64; ++k) {
          // What this machine gave: its own record of the frame.
          p.frames.push_back({Hands(2 * m.id, k), Hands(2 * m.id + 1, k)});
        }
        if (p.frames.empty() || std::uniform_real_distribution<>(0, 1)(rng) < net.loss) continue;
        p.due = tick + static_cast<uint32_t>(net.delay + std::uniform_int_distribution<>(
                                                             -net.jitter, net.jitter)(rng));
        wire.push_back(std::move(p));
      }
      allOver &= r.Current().phase == GamePhase::GameOver && r.Confirmed() == r.Frame();
    }
    if (allOver) break;
  }
  machines.resize(static_cast<size_t>(playing));
  for (Machine& m : machines) m.match->TakeFinal(m.final, m.digests);
  return machines;
}

// The same match stepped once, straight, with everyone's controls known in time.
std::unique_ptr<Match> PlayStraight(uint64_t seed, const std::vector<ConfirmedFrame>& frames,
                                    std::map<std::string, int>& heard) {
  auto m = std::make_unique<Match>();
  BuildMatch(*m, seed, NetSetup(), 0);
  SettingsBlock setup = m->settings;
  for (const ConfirmedFrame& f : frames) {
    if (f.setupNow) setup = f.setup;
    if (m->phase == GamePhase::RoundStart) m->settings = setup;
    if (f.setupNow) TakeControllers(m->settings, setup);
    StepMatchFrame(*m, f.now, f.end, &f.controls);
    Hear(heard, m->events.raised, 1);
  }
  return m;
}

std::vector<uint64_t> Digests(const Match& m) {
  std::vector<uint64_t> d;
  for (const ScoredRound& r : m.match.Scored) d.push_back(r.digest);
  return d;
}

TEST(NetRollback, MachinesHearingEachOtherLateEndWithTheSameMatchAndItsSounds) {
  const struct {
    const char* name = "";
    Net net;
  } cases[] = {
      {"in time", {0, 0, 0.0, 2}},
      {"100 ms round trip, no delay", {3, 1, 0.05, 0}},
      {"100 ms round trip, two frames of delay", {3, 1, 0.05, 2}},
      {"lossy and jittery", {5, 4, 0.2, 1}},
      {"machine 2 falls silent mid-round", {3, 1, 0.05, 1, 2600}},
  };
  for (const auto& c : cases) {
    const uint64_t seed = 21;
    std::vector<Machine> machines = PlayOverNet(c.net, seed);
    std::map<std::string, int> straightHeard;
    auto straight = PlayStraight(seed, machines[0].final, straightHeard);
    ASSERT_EQ(straight->phase, GamePhase::GameOver) << c.name;
    for (const Machine& m : machines) {
      const Match& end = m.match->Current();
      ASSERT_EQ(end.phase, GamePhase::GameOver) << c.name << " machine " << m.id;
      EXPECT_EQ(Digests(end), Digests(*straight)) << c.name << " machine " << m.id;
      EXPECT_EQ(RoundDigest(end), RoundDigest(*straight)) << c.name << " machine " << m.id;
      EXPECT_EQ(Digests(m.match->Final()), Digests(*straight)) << c.name << " machine " << m.id;
      size_t rounds = 0;
      for (const ConfirmedFrame& f : m.final) rounds += f.scored.size();
      EXPECT_EQ(rounds, straight->match.Scored.size()) << "each round told once, when final";
      EXPECT_EQ(m.final.size(), machines[0].final.size()) << c.name;
      ASSERT_EQ(m.digests.size(), machines[0].digests.size()) << c.name;
      for (size_t i = 0; i < m.digests.size(); ++i) {
        EXPECT_EQ(m.digests[i].digest, machines[0].digests[i].digest) << c.name << " " << i;
      }
      std::map<std::string, int> heard;
      for (const auto& [name, count] : m.heard) {
        if (count != 0) heard[name] = count;
      }
      EXPECT_EQ(heard, straightHeard) << c.name << " machine " << m.id;
      if (c.net.delay > 0) {
        EXPECT_GT(m.match->TotalRollbackFrames(), 0u) << c.name << ": nothing was ever late";
      }
      if (c.net.silentAt != UINT32_MAX) {
        size_t takeovers = 0;
        for (const ConfirmedFrame& f : m.final) {
          if (!f.setupNow) continue;
          ++takeovers;
          EXPECT_EQ(f.setup.players[4].controller, CtrlCpuIq10);
          EXPECT_EQ(f.setup.players[5].controller, CtrlCpuIq10);
          EXPECT_EQ(f.setup.players[2].controller, CtrlHuman);
        }
        EXPECT_EQ(takeovers, 1u) << c.name;
      }
    }
  }
}

TEST(NetRollback, AMachineThatHearsNothingWaitsAtTheWindowAndGoesOnWhenItHears) {
  auto start = std::make_unique<Match>();
  BuildMatch(*start, 5, NetSetup(), 0);
  auto r = std::make_unique<RollbackMatch>();
  r->Begin(*start, 0x3);  // slots 0 and 1 are ours; 2..5 are heard from others
  for (uint32_t f = 0; f < 100; ++f) {
    r->SetLocal(r->Frame(), 0, 1);
    r->SetLocal(r->Frame(), 1, 0);
    if (r->CanAdvance()) r->Advance();
  }
  EXPECT_EQ(r->Frame(), kRollbackWindow) << "stepped past what it has heard";
  EXPECT_EQ(r->Confirmed(), 0u);
  EXPECT_FALSE(r->Confirm(0, 0, 1)) << "our own slot cannot be confirmed by another machine";
  EXPECT_FALSE(r->Confirm(0, 7, 1)) << "a computer player's slot has no controls to hear";
  EXPECT_FALSE(r->Confirm(0, 12, 1));
  for (int s = 2; s < 6; ++s) {
    EXPECT_TRUE(r->Confirm(5, s, 1)) << "past a gap: ignored until the frames before come";
    EXPECT_EQ(r->Heard(s), 0u);
    for (uint32_t f = 0; f < 10; ++f) r->Confirm(f, s, f == 3 ? 2 : 0);
    EXPECT_EQ(r->Heard(s), 10u);
  }
  ASSERT_TRUE(r->CanAdvance());
  r->Advance();
  EXPECT_EQ(r->LastRollback(), kRollbackWindow - 3)
      << "stepped again from frame 3, the first whose controls were not what was assumed";
}

}  // namespace
}  // namespace tdx::net
