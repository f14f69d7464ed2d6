#include "app/round_cycle.h"

#include <algorithm>
#include <cmath>

#include "app/game.h"
#include "app/game_flow.h"
#include "audio/music_names.h"
#include "audio/sound.h"
#include "display/hooks.h"
#include "display/hud.h"
#include "match/arena/start_positions.h"
#include "match/arena/worm_step.h"
#include "match/bonus/bonus_places.h"
#include "match/digest.h"
#include "match/weapons/bonus_objects.h"
#include "match/weapons/projectiles.h"
#include "match/weapons/worm_kinds.h"
#include "players/input.h"

namespace tdx {

namespace {

bool Takes(const Game& g, int slot) { return TakesPart(g.settings.players[slot]); }
bool IsHuman(const Game& g, int slot) { return IsHumanSlot(g.settings.players[slot]); }
bool IsComputer(const Game& g, int slot) { return IsComputerSlot(g.settings.players[slot]); }

int TeamOf(const Game& g, int slot) { return TeamNumber(g.settings.players[slot]); }

void StepAliveWorms(Game& g) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    TCerv& w = g.Worm(s);
    if (w.alive) StepWorm(g, w, g.FrameDelta);
  }
}

void WaitingPosition(int slot, bool ready, int& x, int& y) {
  if (slot < 4) {
    x = 30;
    y = 95 + 90 * slot;
  } else if (slot < 8) {
    x = ready ? 553 : 539;
    y = 95 + 90 * (slot - 4);
  } else {
    x = 148 + 90 * (slot - 8);
    y = 440;
  }
}

}  // namespace

double SpeedValue(int index) { return ClampedSpeed(static_cast<uint8_t>(std::max(0, index))); }

int AliveCount(const Game& g) {
  int n = 0;
  for (int s = 0; s < kPlayerSlots; ++s) n += g.worms[static_cast<size_t>(s)].alive ? 1 : 0;
  return n;
}

int AliveTeamCount(const Game& g) {
  bool seen[5] = {};
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (g.worms[static_cast<size_t>(s)].alive) seen[TeamOf(g, s)] = true;
  }
  return seen[1] + seen[2] + seen[3] + seen[4];
}

int LastAliveSlot(const Game& g) {
  for (int s = kPlayerSlots - 1; s >= 0; --s) {
    if (g.worms[static_cast<size_t>(s)].alive) return s;
  }
  return 0;
}

int LastAliveTeam(const Game& g) { return TeamOf(g, LastAliveSlot(g)) - 1; }

namespace {

// Notes the scored round for the trace, the recording and the replay check.
void NoteScoredRound(Game& g, int winner) {
  ScoredRound r;
  r.round = static_cast<int>(g.match.Scored.size()) + 1;
  r.winner = winner;
  r.digest = RoundDigest(g);
  r.frame = g.frameNumber;
  g.match.Scored.push_back(r);
}

}  // namespace

void StartMatch(Game& g, int teamMode) {
  g.match.TeamMode = teamMode;
  g.match.Scored.clear();
  g.menu.MainList().Clear();
  g.phase = GamePhase::RoundStart;
  OpenBonusPlaces(g);
  ShowBonusPlaces(g);
  BuildHud(g);
  if (teamMode == 0) {
    g.match.RoundWins.fill(0);
  } else {
    g.match.TeamWins.fill(0);
  }
  g.ArenaMap.Clear();
}

void RoundStartStep(Game& g) {
  MatchState& m = g.match;
  std::string error;
  // The file is the single source of truth; if it went missing mid-match, play on with
  // the settings already in memory.
  g.LoadSetup(error);
  for (auto& p : g.settings.players) {
    if (p.kind == kKindRandomByte) p.kind = static_cast<uint8_t>(1 + g.Random(20));
  }
  m.HalfPlayerCount = ActivePlayerCount(g) / 2;
  g.gates.ErectorSoundReady = g.gates.InfernalSoundReady = g.gates.ThickSoundReady = true;
  g.gates.BombSoundReady = g.gates.FireballSoundGate = true;
  RequestRandomMusic(g);
  m.BonusSlotCount = ActivePlayerCount(g);
  if (g.settings.game.backgroundEffect) RandomiseBackground(g);
  g.menu.MainList().AddItem(g, 215, 235, kTagMessage, "get_ready", false, 2.5, kOrdinaryWord);
  g.GlobalSpeed = 50;
  for (int s = 0; s < kPlayerSlots; ++s) ResetWormRound(g, s);
  g.menu.ClearOtherLists();
  ClearBonusObjects(g);
  g.ArenaMap.Clear();
  nastavsprity(g);
  ShuffleAndPlace(g);
  g.phase = GamePhase::RoundIntro;
  g.PhaseStart = g.Now;
  m.RoundStartTime = g.Now;
  g.input.PrevKeys.fill(0);
  UpdateGameNumber(g);
  UpdateScores(g);
  UpdateRealTime(g);
  UpdateGameTime(g);
}

void RoundIntroStep(Game& g) {
  UpdateRealTime(g);
  UpdateGameTime(g);
  g.GlobalSpeed = 15;
  if (g.Now - g.PhaseStart > 0.5) {
    g.phase = GamePhase::ShowThree;
    g.PhaseStart = g.Now;
  }
  StepAliveWorms(g);
}

void CountdownStep(Game& g) {
  UpdateGameTime(g);
  UpdateRealTime(g);
  TMenuZoznam& list = g.menu.MainList();
  double since = g.Now - g.PhaseStart;
  auto show = [&](const char* word, int x, const char* speech, GamePhase next) {
    list.RemoveTag(kTagMessage);
    list.AddItem(g, x, 223, kTagMessage, word, false, 5.0, kOrdinaryWord);
    PlaySpeech(g, speech);
    g.PhaseStart = g.Now;
    g.phase = next;
  };
  switch (g.phase) {
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
        list.RemoveTag(kTagMessage);
        g.input.ForgetHeldKeys = true;
        g.phase = GamePhase::Playing;
      }
      break;
    default: break;
  }
  StepAliveWorms(g);
}

void PlayingStep(Game& g) {
  UpdateGameTime(g);
  UpdateRealTime(g);
  const GameSetup& gs = g.settings.game;
  if (gs.speedMode) {
    g.GlobalSpeed = SpeedValue(gs.constantSpeed);
  } else {
    double t = g.Now - g.match.RoundStartTime;
    double from = SpeedValue(gs.fromSpeed), to = SpeedValue(gs.toSpeed);
    g.GlobalSpeed = t > 10.0 ? to : from + (to - from) * t / 10.0;
  }
  StepAliveWorms(g);
  ProjectileUpdate(g);
  for (int i = 0; i < g.match.BonusSlotCount; ++i) UpdateBonusSlot(g, i);
  UpdateFireBalls(g);
  UpdateDiggers(g);
  UpdateWallWalkers(g);
  UpdateBombs(g);
  AnimateTeleports(g);
  if (!MusicChannelActive(g)) RequestRandomMusic(g);
  bool over = g.match.TeamMode == 0 ? AliveCount(g) < 2 : AliveTeamCount(g) < 2;
  if (over) {
    g.phase = GamePhase::RoundOver;
    nastavsprity(g);
  }
}

void PlayControls(Game& g) {
  ApplyControls(g);
  // Escape, let go, leaves a match of computer players only; with a person playing it
  // does nothing.
  const InputState& in = g.input;
  if (!AnyHumanPlayer(g) && !in.Keys[VK_Escape] && in.PrevKeys[VK_Escape]) {
    g.phase = GamePhase::BackToMenu;
    nastavsprity(g);
  }
}

void RoundOverStep(Game& g) {
  MatchState& m = g.match;
  TMenuZoznam& list = g.menu.MainList();
  g.menu.ClearOtherLists();
  ClearBonusObjects(g);
  m.RoundsLeft -= 1;
  if (m.RoundsLeft <= 0) {  // a hand-edited limit can never leave a match running forever
    g.phase = GamePhase::GameOver;
    if (MusicChannelActive(g)) FadeMusicOut(g, 1000);
    m.CrowdPending = true;
    m.CrowdTime = g.Now + (g.settings.game.speech ? 4.0 : 0.1);
    PlaySpeech(g, "s_winner.mp3");
    list.AddItem(g, 380, 370, kTagMessage, "main_menu", true, 1.1, kOrdinaryWord);
    list.AddItem(g, 380, 390, kTagExit, "exit_program", true, 1.1, kOrdinaryWord);
    list.AddItem(g, 230, 100, kTagBanner, "congratulations", false, 1.3, kOrdinaryWord);
    int winner = -1;
    if (m.TeamMode == 0) {
      if (AliveCount(g) == 1) {
        winner = LastAliveSlot(g);
        m.RoundWins[static_cast<size_t>(winner)] += 1;
      }
    } else if (AliveTeamCount(g) == 1) {
      m.TeamWins[static_cast<size_t>(LastAliveTeam(g))] += 1;
      winner = LastAliveTeam(g) + 1;
    }
    NoteScoredRound(g, winner);
    return;
  }
  RequestMusic(g, kWinnerModule);
  int winner = -1;
  if (m.TeamMode == 0) {
    if (AliveCount(g) == 1) {
      winner = LastAliveSlot(g);
      m.RoundWins[static_cast<size_t>(winner)] += 1;
      list.AddItem(g, 225, 117, kTagWinner, ColourName(winner), false, 1.4, kOrdinaryWord);
      list.AddItem(g, 260, 120, kTagResult, "won_this_round", false, 1.2, kOrdinaryWord);
      UpdateScores(g);
    } else {
      list.AddItem(g, 265, 120, kTagResult, "draw_game", false, 1.2, kOrdinaryWord);
    }
  } else {
    if (AliveTeamCount(g) == 1) {
      int team = LastAliveTeam(g);
      m.TeamWins[static_cast<size_t>(team)] += 1;
      winner = team + 1;
      list.AddItem(g, 196, 120, kTagWinner, "team", false, 1.2, kOrdinaryWord);
      list.AddItem(g, 266, 124, kTagTeamNumber, std::to_string(team + 1), false, 1.2,
                   kOrdinaryWord);
      list.AddItem(g, 291, 121, kTagTeamWon, "won_this_round", false, 1.2, kOrdinaryWord);
      UpdateScores(g);
    } else {
      list.AddItem(g, 265, 120, kTagResult, "draw_game", false, 1.2, kOrdinaryWord);
    }
  }
  NoteScoredRound(g, winner);
  list.AddItem(g, 350, 350, kTagMessage, "main_menu", true, 1.1, kOrdinaryWord);
  list.AddItem(g, 350, 370, kTagExit, "exit_program", true, 1.1, kOrdinaryWord);
  for (int s = 0; s < kPlayerSlots; ++s) {
    int x, y;
    if (IsHuman(g, s)) {
      WaitingPosition(s, false, x, y);
      list.AddItem(g, x, y, kTagWaiting + s, "waiting", false, 1.0, kOrdinaryWord);
    } else if (IsComputer(g, s)) {
      WaitingPosition(s, true, x, y);
      list.AddItem(g, x, y, kTagWaiting + s, "ready", false, 1.0, kOrdinaryWord);
    }
  }
  list.AddItem(g, 205, 200, kTagBanner, "hit_the_fire_button", false, 1.5, kOrdinaryWord);
  g.phase = GamePhase::WaitReady;
  g.PhaseStart = g.Now;
  for (int s = 0; s < kPlayerSlots; ++s)
    m.ReadyFlags[static_cast<size_t>(s)] = IsComputer(g, s) ? 1 : 0;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (Takes(g, s)) {
      g.Worm(s).alive = 1;
      g.Worm(s).energy = kStartEnergy;  // full bars on the waiting screen
    }
  }
}

void WaitReadyStep(Game& g) {
  MatchState& m = g.match;
  TMenuZoznam& list = g.menu.MainList();
  UpdateRealTime(g);
  UpdateHover(g);
  if (TakeClick(g)) {
    if (g.menu.HoverTag == kTagMessage) {
      g.phase = GamePhase::BackToMenu;
      PlaySound(g, "menuclick.mp3", 0);
      return;
    }
    if (g.menu.HoverTag == kTagExit) {
      TerminateProgram(g);
      return;
    }
  }
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (!IsHuman(g, s) || m.ReadyFlags[static_cast<size_t>(s)]) continue;
    if (g.controls[static_cast<size_t>(s)].Pressed(kControlFire)) {
      m.ReadyFlags[static_cast<size_t>(s)] = 1;
      PlaySound(g, "key.mp3", 0);
      list.RemoveTag(kTagWaiting + s);
      int x, y;
      WaitingPosition(s, true, x, y);
      list.AddItem(g, x, y, kTagWaiting + s, "ready", false, 1.0, kOrdinaryWord);
    }
  }
  list.ResizeTag(kTagBanner, 1 + 0.03 * std::sin(4 * (g.PhaseStart - g.Now)));
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (Takes(g, s) && !m.ReadyFlags[static_cast<size_t>(s)]) return;
  }
  for (int s = 0; s < kPlayerSlots; ++s) list.RemoveTag(kTagWaiting + s);
  for (int tag :
       {kTagMessage, kTagExit, kTagBanner, kTagResult, kTagWinner, kTagTeamNumber, kTagTeamWon}) {
    list.RemoveTag(tag);
  }
  g.phase = GamePhase::RoundStart;
}

void GameOverStep(Game& g) {
  MatchState& m = g.match;
  UpdateRealTime(g);
  UpdateScores(g);
  UpdateGameNumber(g);
  if (m.CrowdPending && m.CrowdTime < g.Now) {
    PlaySound(g, "crowd.mp3", 0);
    m.CrowdPending = false;
  }
  UpdateHover(g);
  if (TakeClick(g)) {
    if (g.menu.HoverTag == kTagMessage) {
      g.phase = GamePhase::BackToMenu;
      PlaySound(g, "menuclick.mp3", 0);
    } else if (g.menu.HoverTag == kTagExit) {
      TerminateProgram(g);
    }
  }
}

void BackToMenuStep(Game& g) {
  ClearBonusObjects(g);
  CloseBonusPlaces(g);
  HideBonusPlaces(g);
  RemoveHud(g);
  for (auto& list : g.menu.lists) list.Clear();
  g.phase = GamePhase::MainMenuBuild;
}

}  // namespace tdx
