#include <gtest/gtest.h>

#include "app/game.h"
#include "support/game_fixture.h"

using namespace tdx;
using tdx::testing::AddWord;

namespace {

class MenuWords : public ::testing::Test {
 protected:
  void SetUp() override {
    AddWord(g, "deathmatch", 100, 20, 90, 18);
    AddWord(g, "quit", 40, 20, 40, 20);
    AddWord(g, "last_one", 7, 9);  // no hit entry
  }
  TMenuZoznam& list() { return g.menu.MainList(); }
  Game g;
};

}  // namespace

TEST_F(MenuWords, NewWordTakesPictureSizeHitSizeAndSitsByItsTopLeftCorner) {
  TMenuVrchol* n = list().AddItem(g, 270, 160, 2, "deathmatch", true, 1.2, kOrdinaryWord);
  EXPECT_EQ(n->pictureWidth, 100);
  EXPECT_EQ(n->hitWidth, 90);
  EXPECT_FLOAT_EQ(n->sprite->width, 120);
  EXPECT_FLOAT_EQ(n->sprite->height, 24);
  EXPECT_FLOAT_EQ(n->sprite->x, 330);
  EXPECT_FLOAT_EQ(n->sprite->y, 172);
  // No picture of its own: the last material's size; no table entry: a 16 by 16 box.
  TMenuVrchol* m = list().AddItem(g, 0, 0, 5, "unknown_word", true, 1.0, kOrdinaryWord);
  EXPECT_EQ(m->pictureWidth, 7);
  EXPECT_EQ(m->pictureHeight, 9);
  EXPECT_EQ(m->hitWidth, 16);
  EXPECT_EQ(m->hitHeight, 16);
}

TEST_F(MenuWords, TagOperationsTouchOnlyTheFirstWordWithTheTag) {
  list().AddItem(g, 0, 0, 7, "quit", true, 1.0, kOrdinaryWord);
  list().AddItem(g, 0, 50, 7, "quit", true, 1.0, kOrdinaryWord);
  Sprite* second = list().Nodes()[1]->sprite;
  list().HideTag(7);
  EXPECT_FALSE(list().Nodes()[0]->sprite->visible);
  EXPECT_TRUE(second->visible);
  list().ResizeTag(7, 2.0);
  EXPECT_FLOAT_EQ(list().Nodes()[0]->sprite->width, 80);
  EXPECT_FLOAT_EQ(second->width, 40);
  size_t sprites = g.scene.Sprites().size();
  EXPECT_TRUE(list().RemoveTag(7));
  EXPECT_EQ(list().Count(), 1u);
  EXPECT_EQ(list().Nodes()[0]->sprite, second);
  EXPECT_EQ(g.scene.Sprites().size(), sprites - 1);  // the word's sprite went with it
  EXPECT_FALSE(list().RemoveTag(99));
  list().RemoveAt(5);  // beyond the end: nothing
  EXPECT_EQ(list().Count(), 1u);
}

TEST_F(MenuWords, HitTestIsStrictAndScaled) {
  list().AddItem(g, 100, 100, 2, "deathmatch", true, 2.0, kOrdinaryWord);  // box 180 by 36
  struct Case {
    int x, y, tag;
  } cases[] = {{101, 101, 2}, {100, 120, 0}, {279, 135, 2},
               {280, 120, 0}, {200, 136, 0}, {50, 50, 0}};
  for (const Case& c : cases) {
    g.menu.MouseX = c.x;
    g.menu.MouseY = c.y;
    UpdateHover(g);
    EXPECT_EQ(g.menu.HoverTag, c.tag) << c.x << "," << c.y;
  }
}

TEST_F(MenuWords, HoverGrowsToAtMost105PercentAndShrinksBack) {
  TMenuVrchol* n = list().AddItem(g, 0, 0, 12, "quit", true, 1.0, kOrdinaryWord);
  float cx = n->sprite->x;
  g.menu.MouseX = 10;
  g.menu.MouseY = 10;
  g.FrameDelta = 0.1;
  UpdateHover(g);
  EXPECT_FLOAT_EQ(n->sprite->width, 40 * 1.03f);
  EXPECT_FLOAT_EQ(n->sprite->x, cx);  // grows about its centre
  for (int i = 0; i < 10; ++i) UpdateHover(g);
  EXPECT_FLOAT_EQ(n->sprite->width, 42);
  EXPECT_FLOAT_EQ(n->sprite->height, 21);
  g.menu.MouseX = 500;
  g.FrameDelta = 5.0;  // a shrink factor below zero snaps back to the normal size
  UpdateHover(g);
  EXPECT_FLOAT_EQ(n->sprite->width, 40);
  EXPECT_FLOAT_EQ(n->sprite->height, 20);
}

TEST_F(MenuWords, LastHitWordWinsAndPopupModeIgnoresOrdinaryWords) {
  list().AddItem(g, 0, 0, 2, "quit", true, 1.0, kOrdinaryWord);
  list().AddItem(g, 0, 0, 3, "quit", true, 1.0, kOrdinaryWord);
  list().AddItem(g, 0, 0, 4, "quit", false, 1.0, kOrdinaryWord);
  g.menu.MouseX = 5;
  g.menu.MouseY = 5;
  UpdateHover(g);
  EXPECT_EQ(g.menu.HoverTag, 3);
  list().mode = 2;
  UpdateHover(g);
  EXPECT_EQ(g.menu.HoverTag, 0);
  list().AddSizedItem(g, 0, 0, 9, "quit", true, 1.0, kPopupWord, 300, 200);
  UpdateHover(g);
  EXPECT_EQ(g.menu.HoverTag, 9);
  EXPECT_TRUE(g.menu.PopupFrameShown);
  EXPECT_EQ(g.menu.PopupFrameWidth, 300);
  list().RemovePopupItems();
  EXPECT_EQ(list().Count(), 3u);
}
