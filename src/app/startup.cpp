#include "app/startup.h"

#include <chrono>

#include "app/game.h"
#include "assets/catalogue.h"
#include "audio/sound.h"
#include "match/arena/worm.h"
#include "menu/main_menu.h"
#include "players/key_names.h"

namespace tdx {

namespace {

// Letters of the loading logo, 5 cells high, one string per row, '#' = lit cell. Most are
// 3 cells wide; the N needs 4, or its diagonal turns it into an H.
struct LogoLetter {
  char c;
  int width;
  const char* rows[5];
};
constexpr LogoLetter kLogoFont[] = {
    {'T', 3, {"###", ".#.", ".#.", ".#.", ".#."}},
    {'A', 3, {"###", "#.#", "###", "#.#", "#.#"}},
    {'N', 4, {"#..#", "##.#", "#.##", "#..#", "#..#"}},
    {'D', 3, {"##.", "#.#", "#.#", "#.#", "##."}},
    {'R', 3, {"##.", "#.#", "##.", "#.#", "#.#"}},
    {'I', 3, {"###", ".#.", ".#.", ".#.", "###"}},
    {'X', 3, {"#.#", "#.#", ".#.", "#.#", "#.#"}},
};

// Letter colours, $00BBGGRR like the worms'.
constexpr uint32_t kLogoColours[] = {0x00FF00, 0x0080FF, 0xFFFF00, 0xFF00FF,
                                     0x00FFFF, 0xFF8000, 0x8000FF};

constexpr int kLogoCell = 4;
constexpr int kLogoWidth = 148;  // 37 cells
constexpr int kLogoHeight = 40;  // 10 cells

const LogoLetter* FindLetter(char c) {
  for (const auto& l : kLogoFont) {
    if (l.c == c) return &l;
  }
  return nullptr;
}

void FillCell(Picture& p, int cx, int cy, uint32_t colour) {
  for (int y = cy * kLogoCell; y < (cy + 1) * kLogoCell && y < p.height; ++y) {
    for (int x = cx * kLogoCell; x < (cx + 1) * kLogoCell && x < p.width; ++x) {
      uint8_t* px =
          &p.rgba[(static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x)) *
                  4];
      px[0] = colour & 0xFF;
      px[1] = (colour >> 8) & 0xFF;
      px[2] = (colour >> 16) & 0xFF;
      px[3] = 255;
    }
  }
}

// Draws `word` from cell column `startCell`; every second letter (by a counter starting
// at `counter`) is lowered by two cells, so the two bitmaps shown in turn make it bob.
std::shared_ptr<Picture> DrawLogoWord(const char* word, int startCell, int counter) {
  auto p = std::make_shared<Picture>();
  p->width = kLogoWidth;
  p->height = kLogoHeight;
  p->rgba.assign(static_cast<size_t>(kLogoWidth) * kLogoHeight * 4, 0);
  int left = startCell;
  for (int i = 0; word[i]; ++i, ++counter) {
    const LogoLetter* l = FindLetter(word[i]);
    if (!l) continue;
    int top = 1 + ((counter % 2) ? 2 : 0);
    uint32_t colour = kLogoColours[i % 7];
    for (int r = 0; r < 5; ++r) {
      for (int c = 0; c < l->width; ++c) {
        if (l->rows[r][c] == '#') FillCell(*p, left + c, top + r, colour);
      }
    }
    left += l->width + 1;  // one dark cell between letters
  }
  return p;
}

}  // namespace

void DrawLogoBitmaps(Game& g) {
  // The name is one word: both bitmaps carry it whole, three cells in from the left, and
  // differ only in which letters are lowered.
  g.LogoBitmaps[0] = DrawLogoWord("TANDRIX", 3, 0);
  g.LogoBitmaps[1] = DrawLogoWord("TANDRIX", 3, 1);
}

bool StartUp(Game& g, const StartOptions& options) {
  MenuState& m = g.menu;
  m.WelcomePending = true;
  m.FirstMenuFrame = true;
  g.TickerText = BuildTickerText();
  m.MenuMusicRunning = false;
  DrawLogoBitmaps(g);
  g.ArenaMap.Clear();
  for (auto& list : m.lists) {
    list.Clear();
    list.mode = 1;
  }
  g.LastFrameTime = 0;
  uint64_t seed = options.seeded
                      ? options.seed
                      : static_cast<uint64_t>(
                            std::chrono::high_resolution_clock::now().time_since_epoch().count());
  g.matchRng.Seed(seed);
  g.lookRng.Seed(seed ^ 0x5DEECE66Dull);
  g.input.PrevKeys.fill(0);
  g.phase = GamePhase::Loading;
  CreateWorms(g);
  g.headless = options.headless;
  if (!options.headless) BuildMatchView(g);

  g.LogoSprite = g.scene.CreateSprite();
  g.LogoSprite->width = 296;
  g.LogoSprite->height = 80;
  g.LogoSprite->x = 320;
  g.LogoSprite->y = 128;
  g.LogoSprite->visible = false;
  g.PreloadSprite = g.scene.CreateSprite();
  g.PreloadSprite->width = 256;
  g.PreloadSprite->height = 256;
  g.PreloadSprite->x = 320;
  g.PreloadSprite->y = 128;
  g.PreloadSprite->z = 3000;

  // Each archive's headers are read once for all the members start-up takes from it.
  const bool loaded = LoadAssets(g) && LoadKeyNames(g) && LoadSoundTable(g) && LoadMusicTable(g) &&
                      LoadPreloadTable(g);
  g.assets.archives.Close();
  if (!loaded) {
    // The archives of an installed game are the package's: the player cannot mend them.
    if (g.folders.installed) g.fatalError += std::string("; ") + kReinstallHint;
    return false;
  }
  if (options.mixer) {
    InitAudio(g, options.mixer());
  } else {
    InitAudio(g, options.headless);
  }
  LoadMusic(g);

  g.TitleSprite = g.scene.CreateSprite();
  g.TitleSprite->visible = false;
  g.TitleSprite->SetMaterial(&g.scene.Library(LibGlmlzorbel), "zorbel");
  m.MouseClicked = false;

  std::string error;
  if (!g.LoadSetup(error)) {
    g.fatalError = error;
    return false;
  }
  return true;
}

void ShutDown(Game& g) { ShutdownAudio(g); }

}  // namespace tdx
