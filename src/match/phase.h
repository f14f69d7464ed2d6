// The game phase: one byte drives the whole game flow.
#pragma once

#include <cstdint>

namespace tdx {

enum class GamePhase : uint8_t {
  RoundStart = 0,
  Playing = 1,
  RoundIntro = 2,
  BackToMenu = 4,
  RoundOver = 6,
  GameOver = 7,
  WaitReady = 8,
  MainMenuBuild = 40,
  MainMenu = 41,
  SetupMenu = 42,
  PickController = 43,
  PickKind = 44,
  CaptureLeftKey = 45,
  CaptureRightKey = 46,
  CaptureFireKey = 47,
  PickStartPosition = 48,
  PickScoreLimit = 49,
  PickConstantSpeed = 50,
  PickFromSpeed = 51,
  PickToSpeed = 52,
  PickTeam = 53,
  AboutScreen = 55,
  Loading = 100,
  LoadingDone = 101,
  ShowThree = 200,
  ShowingThree = 201,
  ShowingTwo = 202,
  ShowingOne = 203,
  ShowingGo = 204,
};

// The phase's name as the --trace line shows it, or null for a value outside the table.
const char* PhaseName(GamePhase phase);

}  // namespace tdx
