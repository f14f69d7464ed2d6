#include "match/round.h"

#include <algorithm>

#include "match/arena/start_positions.h"
#include "match/arena/worm_step.h"
#include "match/bonus/bonus_places.h"
#include "match/computer/computer.h"
#include "match/digest.h"
#include "match/match.h"
#include "match/weapons/bonus_objects.h"
#include "match/weapons/projectiles.h"
#include "match/weapons/worm_kinds.h"

namespace tdx {

namespace {

bool Takes(const Match& m, int slot) { return TakesPart(m.settings.players[slot]); }
bool IsComputer(const Match& m, int slot) { return IsComputerSlot(m.settings.players[slot]); }
int TeamOf(const Match& m, int slot) { return TeamNumber(m.settings.players[slot]); }

void StepAliveWorms(Match& m) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    TCerv& w = m.Worm(s);
    if (w.alive) StepWorm(m, w, m.FrameDelta);
  }
}

// Notes the scored round for the trace, the recording and the replay check.
void NoteScoredRound(Match& m, int winner) {
  ScoredRound r;
  r.round = static_cast<int>(m.match.Scored.size()) + 1;
  r.winner = winner;
  r.digest = RoundDigest(m);
  r.frame = m.frameNumber;
  m.match.Scored.push_back(r);
}

// The round's winner, counted: a slot in deathmatch, a team 1..4 in team play, -1 a draw.
int CountWinner(Match& m) {
  MatchState& s = m.match;
  if (s.TeamMode == 0) {
    if (AliveCount(m) != 1) return -1;
    int winner = LastAliveSlot(m);
    s.RoundWins[static_cast<size_t>(winner)] += 1;
    return winner;
  }
  if (AliveTeamCount(m) != 1) return -1;
  int team = LastAliveTeam(m);
  s.TeamWins[static_cast<size_t>(team)] += 1;
  return team + 1;
}

}  // namespace

double SpeedValue(int index) { return ClampedSpeed(static_cast<uint8_t>(std::max(0, index))); }

int AliveCount(const Match& m) {
  int n = 0;
  for (int s = 0; s < kPlayerSlots; ++s) n += m.Worm(s).alive ? 1 : 0;
  return n;
}

int AliveTeamCount(const Match& m) {
  bool seen[5] = {};
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (m.Worm(s).alive) seen[TeamOf(m, s)] = true;
  }
  return seen[1] + seen[2] + seen[3] + seen[4];
}

int LastAliveSlot(const Match& m) {
  for (int s = kPlayerSlots - 1; s >= 0; --s) {
    if (m.Worm(s).alive) return s;
  }
  return 0;
}

int LastAliveTeam(const Match& m) { return TeamOf(m, LastAliveSlot(m)) - 1; }

bool IsMatchPhase(uint8_t phase) {
  switch (static_cast<GamePhase>(phase)) {
    case GamePhase::RoundStart:
    case GamePhase::RoundIntro:
    case GamePhase::ShowThree:
    case GamePhase::ShowingThree:
    case GamePhase::ShowingTwo:
    case GamePhase::ShowingOne:
    case GamePhase::ShowingGo:
    case GamePhase::Playing:
    case GamePhase::RoundOver:
    case GamePhase::WaitReady: return true;
    default: return false;
  }
}

void BeginMatch(Match& m, int teamMode) {
  m.match.TeamMode = teamMode;
  m.match.Scored.clear();
  m.phase = GamePhase::RoundStart;
  OpenBonusPlaces(m);
  if (teamMode == 0) {
    m.match.RoundWins.fill(0);
  } else {
    m.match.TeamWins.fill(0);
  }
  m.match.RoundsLeft = ClampedRoundLimit(m.settings.game.scoreLimit);
  m.ArenaMap.Clear();
}

void StepMatchPhase(Match& m) {
  switch (m.phase) {
    case GamePhase::RoundStart: RoundStart(m); break;
    case GamePhase::RoundIntro: RoundIntro(m); break;
    case GamePhase::ShowThree:
    case GamePhase::ShowingThree:
    case GamePhase::ShowingTwo:
    case GamePhase::ShowingOne:
    case GamePhase::ShowingGo: Countdown(m); break;
    case GamePhase::Playing: Playing(m); break;
    case GamePhase::RoundOver: RoundOver(m); break;
    case GamePhase::WaitReady: WaitReady(m); break;
    default: break;
  }
}

void StepMatchControls(Match& m) {
  if (m.phase != GamePhase::Playing) return;
  // The computer players decide here, in slot order, from the match as it stands.
  m.cpu.hazardsReady = false;
  for (TCerv& w : m.worms) w.cpuPrevKeys = w.cpuKeys;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (!IsComputer(m, s)) continue;
    TCerv& w = m.Worm(s);
    if (w.alive) ComputerSteer(m, s);
    Controls& c = m.controls[static_cast<size_t>(s)];
    for (size_t k = 0; k < 3; ++k) {
      c.now[k] = w.cpuKeys[k] != 0;
      c.before[k] = w.cpuPrevKeys[k] != 0;
    }
  }
  ApplyControls(m);
}

void StepMatchFrame(Match& m, double now, double end, const std::array<Controls, 12>* people) {
  m.events.Clear();
  m.Now = now;
  m.FrameDelta = m.Now - m.LastFrameTime;  // not clamped: a slow frame moves everything further
  StepMatchPhase(m);
  if (people) {
    for (int s = 0; s < kPlayerSlots; ++s) {
      if (IsHumanSlot(m.settings.players[s])) m.controls[s] = (*people)[static_cast<size_t>(s)];
    }
  }
  StepMatchControls(m);
  m.LastFrameTime = end;
  ++m.frameNumber;
}

void RoundStart(Match& m) {
  MatchState& s = m.match;
  // The set-up just read may leave nobody to play against: such a match could only draw
  // for ever, so it ends here, as it could not have started.
  const int taking = s.TeamMode == 0 ? ActivePlayerCount(m) : TeamCount(m);
  if (taking < 2) {
    m.events.Raise(MatchEvent::Kind::TooFewPlayers, taking);
    m.phase = GamePhase::BackToMenu;
    return;
  }
  for (auto& p : m.settings.players) {
    if (p.kind == kKindRandomByte) p.kind = static_cast<uint8_t>(1 + m.Random(20));
  }
  s.HalfPlayerCount = ActivePlayerCount(m) / 2;
  m.gates.ErectorSoundReady = m.gates.InfernalSoundReady = m.gates.ThickSoundReady = true;
  m.gates.BombSoundReady = m.gates.FireballSoundGate = true;
  s.BonusSlotCount = ActivePlayerCount(m);
  m.GlobalSpeed = 50;
  for (int slot = 0; slot < kPlayerSlots; ++slot) ResetWormRound(m, slot);
  ClearBonusObjects(m);
  m.ArenaMap.Clear();
  nastavsprity(m);
  ShuffleAndPlace(m);
  m.phase = GamePhase::RoundIntro;
  m.PhaseStart = m.Now;
  s.RoundStartTime = m.Now;
  m.events.Raise(MatchEvent::Kind::RoundPrepared);
}

void RoundIntro(Match& m) {
  m.GlobalSpeed = 15;
  if (m.Now - m.PhaseStart > 0.5) {
    m.phase = GamePhase::ShowThree;
    m.PhaseStart = m.Now;
  }
  StepAliveWorms(m);
}

void Countdown(Match& m) {
  double since = m.Now - m.PhaseStart;
  auto show = [&](const char* word, int x, const char* speech, GamePhase next) {
    m.events.Raise(MatchEvent::Kind::CountdownWord, x, word);
    m.events.Speech(speech);
    m.PhaseStart = m.Now;
    m.phase = next;
  };
  switch (m.phase) {
    case GamePhase::ShowThree: show("3", 287, "s_3.mp3", GamePhase::ShowingThree); break;
    case GamePhase::ShowingThree:
      if (since >= 0.6) show("2", 287, "s_2.mp3", GamePhase::ShowingTwo);
      break;
    case GamePhase::ShowingTwo:
      if (since >= 0.6) show("1", 287, "s_1.mp3", GamePhase::ShowingOne);
      break;
    case GamePhase::ShowingOne:
      if (since >= 0.6) show("go", 247, "s_fight.mp3", GamePhase::ShowingGo);
      break;
    case GamePhase::ShowingGo:
      if (since >= 0.5) {
        m.events.Raise(MatchEvent::Kind::PlayBegins);
        m.phase = GamePhase::Playing;
      }
      break;
    default: break;
  }
  StepAliveWorms(m);
}

void Playing(Match& m) {
  const GameSetup& gs = m.settings.game;
  if (gs.speedMode) {
    m.GlobalSpeed = SpeedValue(gs.constantSpeed);
  } else {
    double t = m.Now - m.match.RoundStartTime;
    double from = SpeedValue(gs.fromSpeed), to = SpeedValue(gs.toSpeed);
    m.GlobalSpeed = t > 10.0 ? to : from + (to - from) * t / 10.0;
  }
  StepAliveWorms(m);
  ProjectileUpdate(m);
  for (int i = 0; i < m.match.BonusSlotCount; ++i) UpdateBonusSlot(m, i);
  UpdateFireBalls(m);
  UpdateDiggers(m);
  UpdateWallWalkers(m);
  UpdateBombs(m);
  AnimateTeleports(m);
  bool over = m.match.TeamMode == 0 ? AliveCount(m) < 2 : AliveTeamCount(m) < 2;
  if (over) {
    m.phase = GamePhase::RoundOver;
    nastavsprity(m);
  }
}

void RoundOver(Match& m) {
  MatchState& s = m.match;
  ClearBonusObjects(m);
  s.RoundsLeft -= 1;
  if (s.RoundsLeft <= 0) {  // a hand-edited limit can never leave a match running forever
    m.phase = GamePhase::GameOver;
    m.events.Speech("s_winner.mp3");
    int winner = CountWinner(m);
    NoteScoredRound(m, winner);
    m.events.Raise(MatchEvent::Kind::MatchOver, winner);
    return;
  }
  int winner = CountWinner(m);
  NoteScoredRound(m, winner);
  m.events.Raise(MatchEvent::Kind::RoundScored, winner);
  m.phase = GamePhase::WaitReady;
  m.PhaseStart = m.Now;
  for (int slot = 0; slot < kPlayerSlots; ++slot)
    s.ReadyFlags[static_cast<size_t>(slot)] = IsComputer(m, slot) ? 1 : 0;
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    if (Takes(m, slot)) {
      m.Worm(slot).alive = 1;
      m.Worm(slot).energy = kStartEnergy;  // full bars on the waiting screen
    }
  }
}

void WaitReady(Match& m) {
  MatchState& s = m.match;
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    if (!IsHumanSlot(m.settings.players[slot]) || s.ReadyFlags[static_cast<size_t>(slot)]) continue;
    if (m.controls[static_cast<size_t>(slot)].Pressed(kControlFire)) {
      s.ReadyFlags[static_cast<size_t>(slot)] = 1;
      m.events.SoundPanned("key.mp3", 0);
      m.events.Raise(MatchEvent::Kind::PlayerReady, slot);
    }
  }
  for (int slot = 0; slot < kPlayerSlots; ++slot) {
    if (Takes(m, slot) && !s.ReadyFlags[static_cast<size_t>(slot)]) return;
  }
  m.events.Raise(MatchEvent::Kind::AllReady);
  m.phase = GamePhase::RoundStart;
}

}  // namespace tdx
