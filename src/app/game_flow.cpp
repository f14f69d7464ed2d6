#include "app/game_flow.h"

#include "app/game.h"
#include "app/round_cycle.h"
#include "menu/main_menu.h"
#include "menu/setup_menu.h"

namespace tdx {

namespace {

// Phases whose code reads the mouse button; a click anywhere else is dropped at the end of
// its frame, so it cannot act later on a screen that was not there when it was made.
bool TakesClicks(GamePhase phase) {
  return phase == GamePhase::MainMenu || phase == GamePhase::AboutScreen ||
         (phase >= GamePhase::SetupMenu && phase <= GamePhase::PickTeam) ||
         phase == GamePhase::WaitReady || phase == GamePhase::GameOver;
}

}  // namespace

void GameFlowStep(Game& g) {
  const GamePhase phase = g.phase;
  RunPhase(g);
  if (!TakesClicks(phase)) g.menu.MouseClicked = false;
}

void RunPhase(Game& g) {
  if (IsMatchPhase(static_cast<uint8_t>(g.phase))) {
    MatchPhaseStep(g);
    return;
  }
  switch (g.phase) {
    case GamePhase::Loading: LoadingStep(g); break;
    case GamePhase::LoadingDone: LoadingDoneStep(g); break;
    case GamePhase::MainMenuBuild: MainMenuBuildStep(g); break;
    case GamePhase::MainMenu: MainMenuStep(g); break;
    case GamePhase::AboutScreen: AboutScreenStep(g); break;
    case GamePhase::SetupMenu: SetupMenuStep(g); break;
    case GamePhase::PickController:
    case GamePhase::PickKind:
    case GamePhase::PickStartPosition:
    case GamePhase::PickScoreLimit:
    case GamePhase::PickConstantSpeed:
    case GamePhase::PickFromSpeed:
    case GamePhase::PickToSpeed:
    case GamePhase::PickTeam: SetupPickStep(g); break;
    case GamePhase::CaptureLeftKey:
    case GamePhase::CaptureRightKey:
    case GamePhase::CaptureFireKey: KeyCaptureStep(g); break;
    case GamePhase::GameOver: GameOverStep(g); break;
    case GamePhase::BackToMenu: BackToMenuStep(g); break;
    default: break;  // a phase outside the table runs nothing
  }
}

namespace {

// The libraries the preload sprite may switch to, by the names preload.dat uses.
struct PreloadLibraryName {
  const char* name;
  LibraryId id;
};
constexpr PreloadLibraryName kPreloadLibraries[] = {
    {"GLML1", LibGLML1},         {"glmllogo", LibGlmllogo},     {"glmlzorbel", LibGlmlzorbel},
    {"GLMLshots", LibGlmlshots}, {"GLMLatomic", LibGLMLatomic}, {"glmlrocket", LibGLMLrocket},
    {"GLMLmenu", LibGLMLmenu},   {"glmlmyst", LibGLMLMyst},
};

void SetUpLogoMaterial(Material* m) {
  m->SetDiffuse(3, 1.0f);
  m->SetBlending(BlendMode::Transparency);
  m->SetImageAlpha(ImageAlpha::SuperBlackTransparent);
  m->SetTextureMode(TextureMode::Modulate);
  for (int c = 0; c < 4; ++c) m->SetEmission(c, 1.0f);
  m->SetCompression(Compression::HighQuality);
}

}  // namespace

void LoadingStep(Game& g) {
  AssetTables& a = g.assets;
  if (a.PreloadLast == -1) {
    g.phase = GamePhase::LoadingDone;
    return;
  }
  if (a.PreloadIndex == 0) {
    g.menu.MainList().AddItem(g, 277, 280, 1, "loading", false, 1.1, kOrdinaryWord);
    g.menu.MainList().AddItem(g, 257, 330, 1, "please_wait", false, 1.1, kOrdinaryWord);
    g.PreloadSprite->visible = true;
    MaterialLibrary& loading = g.scene.Library(LibGLMLloading);
    SetUpLogoMaterial(loading.AddTextureMaterial("1", g.LogoBitmaps[0]));
    SetUpLogoMaterial(loading.AddTextureMaterial("2", g.LogoBitmaps[1]));
    g.LogoSprite->SetMaterial(&loading, "1");
    g.LogoSprite->visible = true;
    g.LogoSwapTime = g.Now + 0.6;
  }
  if (a.PreloadIndex >= 0 && a.PreloadIndex < static_cast<int>(a.PreloadTable.size())) {
    const PreloadEntry& e = a.PreloadTable[static_cast<size_t>(a.PreloadIndex)];
    for (const auto& lib : kPreloadLibraries) {
      if (e.library == lib.name) {
        g.PreloadSprite->SetLibrary(&g.scene.Library(lib.id));
        break;
      }
    }
    g.PreloadSprite->SetMaterialName(e.material);
  }
  if (g.LogoSwapTime < g.Now) {
    g.LogoSprite->SetMaterialName(g.LogoSprite->MaterialName() == "1" ? "2" : "1");
    g.LogoSwapTime = g.Now + 0.6;
  }
  ++a.PreloadIndex;
  if (a.PreloadIndex > a.PreloadLast) g.phase = GamePhase::LoadingDone;
}

void LoadingDoneStep(Game& g) {
  g.PreloadSprite->x = 320;
  g.PreloadSprite->SetMaterial(&g.scene.Library(LibGlmllogo), "logo");
  g.PreloadSprite->visible = false;
  g.scene.RemoveSprite(g.LogoSprite);
  g.LogoSprite = nullptr;
  g.LogoBitmaps[0].reset();
  g.LogoBitmaps[1].reset();
  g.phase = GamePhase::MainMenuBuild;
  g.menu.MainList().Clear();
}

void TerminateProgram(Game& g) {
  g.menu.MainList().Clear();
  g.quitRequested = true;
}

}  // namespace tdx
