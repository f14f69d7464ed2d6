#include "match/phase.h"

namespace tdx {

const char* PhaseName(GamePhase phase) {
  switch (phase) {
    case GamePhase::RoundStart: return "RoundStart";
    case GamePhase::Playing: return "Playing";
    case GamePhase::RoundIntro: return "RoundIntro";
    case GamePhase::BackToMenu: return "BackToMenu";
    case GamePhase::RoundOver: return "RoundOver";
    case GamePhase::GameOver: return "GameOver";
    case GamePhase::WaitReady: return "WaitReady";
    case GamePhase::MainMenuBuild: return "MainMenuBuild";
    case GamePhase::MainMenu: return "MainMenu";
    case GamePhase::SetupMenu: return "SetupMenu";
    case GamePhase::PickController: return "PickController";
    case GamePhase::PickKind: return "PickKind";
    case GamePhase::CaptureLeftKey: return "CaptureLeftKey";
    case GamePhase::CaptureRightKey: return "CaptureRightKey";
    case GamePhase::CaptureFireKey: return "CaptureFireKey";
    case GamePhase::PickStartPosition: return "PickStartPosition";
    case GamePhase::PickScoreLimit: return "PickScoreLimit";
    case GamePhase::PickConstantSpeed: return "PickConstantSpeed";
    case GamePhase::PickFromSpeed: return "PickFromSpeed";
    case GamePhase::PickToSpeed: return "PickToSpeed";
    case GamePhase::PickTeam: return "PickTeam";
    case GamePhase::AboutScreen: return "AboutScreen";
    case GamePhase::Loading: return "Loading";
    case GamePhase::LoadingDone: return "LoadingDone";
    case GamePhase::ShowThree: return "ShowThree";
    case GamePhase::ShowingThree: return "ShowingThree";
    case GamePhase::ShowingTwo: return "ShowingTwo";
    case GamePhase::ShowingOne: return "ShowingOne";
    case GamePhase::ShowingGo: return "ShowingGo";
    default: return nullptr;
  }
}

}  // namespace tdx
