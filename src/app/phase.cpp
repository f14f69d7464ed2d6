#include "app/phase.h"

namespace tdx {

const char* PhaseName(uint8_t phase) {
  switch (phase) {
    case RoundStart: return "RoundStart";
    case Playing: return "Playing";
    case RoundIntro: return "RoundIntro";
    case BackToMenu: return "BackToMenu";
    case RoundOver: return "RoundOver";
    case GameOver: return "GameOver";
    case WaitReady: return "WaitReady";
    case MainMenuBuild: return "MainMenuBuild";
    case MainMenu: return "MainMenu";
    case SetupMenu: return "SetupMenu";
    case PickController: return "PickController";
    case PickKind: return "PickKind";
    case CaptureLeftKey: return "CaptureLeftKey";
    case CaptureRightKey: return "CaptureRightKey";
    case CaptureFireKey: return "CaptureFireKey";
    case PickStartPosition: return "PickStartPosition";
    case PickScoreLimit: return "PickScoreLimit";
    case PickConstantSpeed: return "PickConstantSpeed";
    case PickFromSpeed: return "PickFromSpeed";
    case PickToSpeed: return "PickToSpeed";
    case PickTeam: return "PickTeam";
    case AboutScreen: return "AboutScreen";
    case Loading: return "Loading";
    case LoadingDone: return "LoadingDone";
    case ShowThree: return "ShowThree";
    case ShowingThree: return "ShowingThree";
    case ShowingTwo: return "ShowingTwo";
    case ShowingOne: return "ShowingOne";
    case ShowingGo: return "ShowingGo";
    default: return nullptr;
  }
}

}  // namespace tdx
