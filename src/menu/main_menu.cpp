#include "menu/main_menu.h"

#include "app/game.h"
#include "app/game_flow.h"
#include "app/round_cycle.h"
#include "audio/music_names.h"
#include "audio/sound.h"
#include "display/hud.h"
#include "menu/setup_menu.h"

namespace tdx {

namespace {

constexpr int kTickerCount = 81;

struct MenuWord {
  int tag;
  const char* name;
  int x, y;
  double scale;
  bool selectable;
};

constexpr MenuWord kMainMenuWords[] = {
    {kTagDeathmatch, "deathmatch", 270, 160, 1.2, true},
    {kTagTeamDeathmatch, "team_deathmatch", 270, 190, 1.2, true},
    {kTagSetUp, "set_up", 270, 240, 1.2, true},
    {kTagAbout, "about", 270, 290, 1.2, true},
    {kTagQuit, "quit", 270, 340, 1.2, true},
    {1, "glscene", 480, 420, 1.0, false},
    {1, "plonquet", 10, 420, 1.0, false},
    {1, "copyright", 210, 460, 1.0, false},
    {kTagMorePlayers, "select_more_players", 250, 110, 1.2, false},
    {kTagMoreTeams, "select_more_teams", 250, 262, 1.2, false},
};

}  // namespace

std::string BuildTickerText() {
  std::string t =
      "welcome to tandrix the ultimate worms deathmatch experience           click the setup "
      "menu item to prepare your worms           click one of the deathmatch menu items to "
      "start the game           good luck";
  t += std::string(33, ' ');
  t += "you can use the following worms       traveller can go through another worms     "
       "speeder can go faster     stopper can stop other players     warper can teleport "
       "itself from the edge of the screen     reverser ";
  t += "can move from its tail   killer can shoot a fireball     laser shooter can shoot four "
       "laser fires     multiplier and reproducer can multiply themselves     virus infester "
       "can unleash viruses     repeller can repell ";
  t += "other players     rocket launcher can launch a rocket which pursues the enemy     "
       "atomic bomber can fire an atomic bomb     erector can interconnect the starting "
       "position with the current position     teleporter can teleport ";
  t += "itself to a random location     shooter can fire seven shots";
  t += "     infernal can use infernal fire     thicker can become thick";
  t += "     pauser can stop itself     virus controller can unleash and control viruses";
  return t;
}

double LetterShift(char c) {
  switch (c) {
    case 'i': return -5;
    case 'j': return -4;
    case 'k': return 3;
    default: return 0;
  }
}

void LetterAdvance(const Game& g, char c, double& advance, double& wf, double& hf) {
  if (c == ' ') {
    advance = 9;
    wf = 1;
    hf = 1;
    return;
  }
  advance = 5;
  wf = 5;
  hf = 5;
  const std::string name(1, c);
  for (const auto& e : g.assets.MenuItemTable) {
    if (e.name == name) {
      advance = 0.8 * e.width - LetterShift(c);
      wf = e.width;
      hf = e.height;
      if (c == 'q') hf *= 0.85;
      if (c == 'b') hf *= 1.15;
      if (c == 'd') hf *= 1.1;
      break;
    }
  }
}

void DestroyTicker(Game& g) {
  MenuState& m = g.menu;
  for (auto& s : m.TickerSprites) {
    g.scene.RemoveSprite(s);
    s = nullptr;
  }
  m.TickerInUse.fill(false);
}

void UpdateTicker(Game& g) {
  MenuState& m = g.menu;
  if (!m.TickerSprites[0]) return;  // no ticker on this screen
  const int length = static_cast<int>(g.TickerText.size());
  Sprite* last = m.TickerSprites[static_cast<size_t>(m.TickerLast)];
  if (m.TickerPos < length) {
    if (last->x < 640) {
      int f = -1;
      for (int i = 0; i < kTickerCount; ++i) {
        if (!m.TickerInUse[static_cast<size_t>(i)]) {
          f = i;
          break;
        }
      }
      if (f >= 0) {
        char c = g.TickerText[static_cast<size_t>(m.TickerPos)];
        Sprite* s = m.TickerSprites[static_cast<size_t>(f)];
        s->SetMaterial(&g.scene.Library(LibGLMLmenu), std::string(1, c));
        m.TickerInUse[static_cast<size_t>(f)] = true;
        s->visible = true;
        s->x = m.TickerPos == 0 ? 650.0f
                                : static_cast<float>(last->x + m.TickerAdvance + LetterShift(c));
        s->y = c == 'b' ? 401.0f : 400.0f;
        double wf, hf;
        LetterAdvance(g, c, m.TickerAdvance, wf, hf);
        s->width = static_cast<float>(1.6 * wf);
        s->height = static_cast<float>(1.6 * hf);
        m.TickerLast = f;
        ++m.TickerPos;
      }
    }
  } else if (m.TickerPos >= length && last->x < 100) {
    // Past the last letter (also when the text got shorter under it): start again.
    m.TickerPos = 0;
  }
  for (int i = 0; i < kTickerCount; ++i) {
    if (!m.TickerInUse[static_cast<size_t>(i)]) continue;
    Sprite* s = m.TickerSprites[static_cast<size_t>(i)];
    s->x = static_cast<float>(s->x - 100 * g.FrameDelta);
    if (s->x < -40) {
      m.TickerInUse[static_cast<size_t>(i)] = false;
      s->visible = false;
    }
  }
}

void MainMenuBuildStep(Game& g) {
  MenuState& m = g.menu;
  if (Material* title = g.scene.Library(LibGlmlzorbel).At(0)) title->SetDiffuse(3, 1.0f);
  if (g.TitleSprite) {
    g.TitleSprite->x = 320;
    g.TitleSprite->y = 144;
    g.TitleSprite->width = 256;
    g.TitleSprite->height = 256;
    g.TitleSprite->visible = true;
  }
  TMenuZoznam& list = m.MainList();
  for (const MenuWord& w : kMainMenuWords) {
    list.AddItem(g, w.x, w.y, w.tag, w.name, w.selectable, w.scale, kOrdinaryWord);
  }
  // Our own words sit in the menu's free rows.
  if (m.NetworkOffered) {
    list.AddItem(g, 270, 215, kTagNetwork, "network", true, 1.2, kOrdinaryWord);
    list.AddItem(g, 270, 315, kTagReplays, "replays", true, 1.2, kOrdinaryWord);
  }
  list.HideTag(kTagMorePlayers);
  list.HideTag(kTagMoreTeams);
  if (!m.MenuMusicRunning) RequestMusic(g, kMenuModule);
  m.MenuMusicRunning = false;
  DestroyTicker(g);  // never two tickers, whatever path led here
  for (int i = 0; i < kTickerCount; ++i) {
    Sprite* s = g.scene.CreateSprite();
    s->width = 16;
    s->height = 16;
    s->x = 660;
    s->y = 400;
    s->visible = false;
    m.TickerSprites[static_cast<size_t>(i)] = s;
  }
  m.TickerInUse.fill(false);
  m.TickerPos = 0;
  Sprite* first = m.TickerSprites[0];
  first->SetMaterial(&g.scene.Library(LibGLMLmenu), " ");
  m.TickerInUse[0] = true;
  first->visible = true;
  first->x = 600;
  first->y = 400;
  first->width = 0;
  first->height = 0;
  m.TickerAdvance = 5.0;
  m.TickerLast = 0;
  g.phase = GamePhase::MainMenu;
}

bool TryStartMatch(Game& g, bool team) {
  if ((team ? TeamCount(g) : ActivePlayerCount(g)) < 2) {
    g.menu.MainList().ShowTag(team ? kTagMoreTeams : kTagMorePlayers);
    return false;
  }
  StartMatch(g, team ? 1 : 0);
  g.menu.StartedFromCommandLine = false;  // the command line's own start says otherwise
  DestroyTicker(g);
  PlaySound(g, "menuclick.mp3", 0);
  return true;
}

void MainMenuStep(Game& g) {
  MenuState& m = g.menu;
  TMenuZoznam& list = m.MainList();
  if (!MusicChannelActive(g)) RequestRandomMusic(g);
  if (m.FirstMenuFrame) {
    m.FirstMenuFrame = false;
    m.WelcomeTime = g.Now + 0.35;
  } else if (m.WelcomePending && m.WelcomeTime < g.Now) {
    PlaySpeech(g, "s_welcome.mp3");
    m.WelcomePending = false;
  }
  list.HideTag(kTagMorePlayers);
  list.HideTag(kTagMoreTeams);
  UpdateTicker(g);
  auto tooFew = [&](bool team) {
    return std::string(team ? "team_deathmatch" : "deathmatch") + " needs at least two " +
           (team ? "teams" : "players") + " taking part; " + m.SetupName + " has " +
           std::to_string(team ? TeamCount(g) : ActivePlayerCount(g));
  };
  if (m.TooFewWarning != 0) {
    const bool team = m.TooFewWarning == 2;
    m.TooFewWarning = 0;
    if (m.StartedFromCommandLine) {  // nobody is at the menu to read the word
      g.fatalError = tooFew(team);
      g.quitRequested = true;
      return;
    }
    list.ShowTag(team ? kTagMoreTeams : kTagMorePlayers);
  }
  if (m.StartRequest != 0) {
    bool team = m.StartRequest == 2;
    m.StartRequest = 0;
    if (!TryStartMatch(g, team)) {
      g.fatalError = tooFew(team);
      g.quitRequested = true;
      return;
    }
    m.StartedFromCommandLine = true;
    return;
  }
  m.LastHoverTag = m.HoverTag;
  UpdateHover(g);
  if (TakeClick(g)) {
    switch (m.HoverTag) {
      case kTagDeathmatch:
      case kTagTeamDeathmatch: TryStartMatch(g, m.HoverTag == kTagTeamDeathmatch); break;
      case kTagSetUp: {
        std::string error;
        g.LoadSetup(error);
        BuildSetupMenu(g);
        g.phase = GamePhase::SetupMenu;
        DestroyTicker(g);
        PlaySound(g, "menuclick.mp3", 0);
        break;
      }
      case kTagNetwork:
      case kTagReplays:
        (m.HoverTag == kTagNetwork ? m.NetworkRequest : m.ReplaysRequest) = true;
        DestroyTicker(g);
        PlaySound(g, "menuclick.mp3", 0);
        break;
      case kTagAbout:
        g.phase = GamePhase::AboutScreen;
        list.mode = 2;
        list.popupTag = kTagAbout;
        list.AddSizedItem(g, 60, 26, 1, "empty", false, 1.0, kPopupWord, 520, 344);
        list.AddItem(g, 64, 30, 1, "about_pic", false, 1.0, kPopupWord);
        PlaySound(g, "menuclick.mp3", 0);
        break;
      case kTagQuit:
        DestroyTicker(g);
        TerminateProgram(g);
        break;
      default: break;
    }
    return;
  }
  if (m.HoverTag == kTagDeathmatch && ActivePlayerCount(g) < 2) {
    list.ShowTag(kTagMorePlayers);
    if (m.LastHoverTag != kTagDeathmatch) PlaySpeech(g, "s_neplayers.mp3");
  }
  if (m.HoverTag == kTagTeamDeathmatch && TeamCount(g) < 2) {
    list.ShowTag(kTagMoreTeams);
    if (m.LastHoverTag != kTagTeamDeathmatch) PlaySpeech(g, "s_neteams.mp3");
  }
}

void AboutScreenStep(Game& g) {
  UpdateTicker(g);
  if (TakeClick(g)) {
    g.phase = GamePhase::MainMenu;
    g.menu.MainList().RemovePopupItems();
    g.menu.MainList().mode = 1;
    g.menu.PopupFrameShown = false;
  }
}

}  // namespace tdx
