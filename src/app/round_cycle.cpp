#include "app/round_cycle.h"

#include <cmath>
#include <string>

#include "app/game.h"
#include "app/game_flow.h"
#include "audio/music_names.h"
#include "audio/sound.h"
#include "display/hooks.h"
#include "display/hud.h"
#include "display/match_view.h"
#include "display/tell.h"
#include "match/bonus/bonus_places.h"
#include "match/weapons/bonus_objects.h"
#include "match/weapons/projectiles.h"
#include "players/input.h"

namespace tdx {

namespace {

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

void ShowRoundPrepared(Game& g) {
  RequestRandomMusic(g);
  if (g.settings.game.backgroundEffect) RandomiseBackground(g);
  g.menu.MainList().AddItem(g, 215, 235, kTagMessage, "get_ready", false, 2.5, kOrdinaryWord);
  g.menu.ClearOtherLists();
  g.input.PrevKeys.fill(0);
  UpdateGameNumber(g);
  UpdateScores(g);
  UpdateRealTime(g);
  UpdateGameTime(g);
}

void ShowMatchOver(Game& g) {
  TMenuZoznam& list = g.menu.MainList();
  g.menu.ClearOtherLists();
  if (MusicChannelActive(g)) FadeMusicOut(g, 1000);
  g.CrowdPending = true;
  g.CrowdTime = g.Now + (g.settings.game.speech ? 4.0 : 0.1);
  list.AddItem(g, 380, 370, kTagMessage, "main_menu", true, 1.1, kOrdinaryWord);
  list.AddItem(g, 380, 390, kTagExit, "exit_program", true, 1.1, kOrdinaryWord);
  list.AddItem(g, 230, 100, kTagBanner, "congratulations", false, 1.3, kOrdinaryWord);
}

void ShowRoundScored(Game& g, int winner) {
  TMenuZoznam& list = g.menu.MainList();
  g.menu.ClearOtherLists();
  RequestMusic(g, kWinnerModule);
  if (winner < 0) {
    list.AddItem(g, 265, 120, kTagResult, "draw_game", false, 1.2, kOrdinaryWord);
  } else if (g.match.TeamMode == 0) {
    list.AddItem(g, 225, 117, kTagWinner, ColourName(winner), false, 1.4, kOrdinaryWord);
    list.AddItem(g, 260, 120, kTagResult, "won_this_round", false, 1.2, kOrdinaryWord);
    UpdateScores(g);
  } else {
    list.AddItem(g, 196, 120, kTagWinner, "team", false, 1.2, kOrdinaryWord);
    list.AddItem(g, 266, 124, kTagTeamNumber, std::to_string(winner), false, 1.2, kOrdinaryWord);
    list.AddItem(g, 291, 121, kTagTeamWon, "won_this_round", false, 1.2, kOrdinaryWord);
    UpdateScores(g);
  }
  list.AddItem(g, 350, 350, kTagMessage, "main_menu", true, 1.1, kOrdinaryWord);
  list.AddItem(g, 350, 370, kTagExit, "exit_program", true, 1.1, kOrdinaryWord);
  for (int s = 0; s < kPlayerSlots; ++s) {
    int x, y;
    if (IsHumanSlot(g.settings.players[s])) {
      WaitingPosition(s, false, x, y);
      list.AddItem(g, x, y, kTagWaiting + s, "waiting", false, 1.0, kOrdinaryWord);
    } else if (IsComputerSlot(g.settings.players[s])) {
      WaitingPosition(s, true, x, y);
      list.AddItem(g, x, y, kTagWaiting + s, "ready", false, 1.0, kOrdinaryWord);
    }
  }
  list.AddItem(g, 205, 200, kTagBanner, "hit_the_fire_button", false, 1.5, kOrdinaryWord);
}

// What the match's step raised that is seen: the words, the music, the HUD.
void ShowMatchEvents(Game& g) {
  TMenuZoznam& list = g.menu.MainList();
  for (const MatchEvent& e : g.events.raised) {
    switch (e.kind) {
      case MatchEvent::Kind::RoundPrepared: ShowRoundPrepared(g); break;
      case MatchEvent::Kind::CountdownWord:
        list.RemoveTag(kTagMessage);
        list.AddItem(g, e.value, 223, kTagMessage, e.name, false, 5.0, kOrdinaryWord);
        break;
      case MatchEvent::Kind::PlayBegins:
        list.RemoveTag(kTagMessage);
        g.input.ForgetHeldKeys = true;
        break;
      case MatchEvent::Kind::MatchOver: ShowMatchOver(g); break;
      case MatchEvent::Kind::RoundScored: ShowRoundScored(g, e.value); break;
      case MatchEvent::Kind::PlayerReady: {
        int x, y;
        list.RemoveTag(kTagWaiting + e.value);
        WaitingPosition(e.value, true, x, y);
        list.AddItem(g, x, y, kTagWaiting + e.value, "ready", false, 1.0, kOrdinaryWord);
        break;
      }
      case MatchEvent::Kind::AllReady:
        for (int s = 0; s < kPlayerSlots; ++s) list.RemoveTag(kTagWaiting + s);
        for (int tag : {kTagMessage, kTagExit, kTagBanner, kTagResult, kTagWinner, kTagTeamNumber,
                        kTagTeamWon}) {
          list.RemoveTag(tag);
        }
        break;
      case MatchEvent::Kind::TooFewPlayers:
        g.menu.TooFewWarning = g.match.TeamMode == 0 ? 1 : 2;
        break;
      default: break;  // sounds are heard at the end of the frame
    }
  }
  TellMatchEvents(g);
}

}  // namespace

void StartMatch(Game& g, int teamMode) {
  BeginMatch(g, teamMode);
  g.tell = TellState{};
  g.menu.MainList().Clear();
  ShowBonusPlaces(g);
  BuildHud(g);
}

void MatchPhaseStep(Game& g) {
  const GamePhase phase = g.phase;
  switch (phase) {
    case GamePhase::RoundStart: {
      // The file is the single source of truth; if it went missing mid-match, play on
      // with the settings already in memory.
      std::string error;
      g.LoadSetup(error);
      break;
    }
    case GamePhase::WaitReady:
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
      break;
    case GamePhase::RoundOver: break;
    default:  // the intro, the countdown and play
      UpdateGameTime(g);
      UpdateRealTime(g);
      break;
  }
  StepMatchPhase(g);
  ShowMatchEvents(g);
  if (phase == GamePhase::Playing && !MusicChannelActive(g)) RequestRandomMusic(g);
  if (phase == GamePhase::WaitReady) {
    g.menu.MainList().ResizeTag(kTagBanner, 1 + 0.03 * std::sin(4 * (g.PhaseStart - g.Now)));
  }
}

void PlayControls(Game& g) {
  StepMatchControls(g);
  // Escape, let go, leaves a match of computer players only; with a person playing it
  // does nothing.
  const InputState& in = g.input;
  if (!AnyHumanPlayer(g) && !in.Keys[VK_Escape] && in.PrevKeys[VK_Escape]) {
    g.phase = GamePhase::BackToMenu;
    nastavsprity(g);
  }
}

void GameOverStep(Game& g) {
  UpdateRealTime(g);
  UpdateScores(g);
  UpdateGameNumber(g);
  if (g.CrowdPending && g.CrowdTime < g.Now) {
    PlaySound(g, "crowd.mp3", 0);
    g.CrowdPending = false;
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

bool ShowSteppedMatch(Game& g, const Match& m, const std::vector<MatchEvent>& raised) {
  static_cast<Match&>(g) = m;
  g.events.raised = raised;
  ShowMatchEvents(g);
  if (g.phase != GamePhase::WaitReady && g.phase != GamePhase::RoundOver &&
      g.phase != GamePhase::GameOver) {
    UpdateGameTime(g);
  }
  UpdateRealTime(g);
  if (g.phase == GamePhase::Playing && !MusicChannelActive(g)) RequestRandomMusic(g);
  if (g.phase == GamePhase::WaitReady) {
    g.menu.MainList().ResizeTag(kTagBanner, 1 + 0.03 * std::sin(4 * (g.PhaseStart - g.Now)));
  }
  if (g.phase == GamePhase::GameOver && g.CrowdPending && g.CrowdTime < g.Now) {
    PlaySound(g, "crowd.mp3", 0);
    g.CrowdPending = false;
  }
  bool leave = false;
  if (g.phase == GamePhase::WaitReady || g.phase == GamePhase::GameOver) {
    UpdateHover(g);
    if (TakeClick(g)) leave = g.menu.HoverTag == kTagMessage || g.menu.HoverTag == kTagExit;
  }
  g.menu.MouseClicked = false;
  PlayMatchEvents(g);
  ServiceMusic(g);
  return leave;
}

}  // namespace tdx
