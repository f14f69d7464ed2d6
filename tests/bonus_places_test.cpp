// Bonus places: the option switch, the timed cycle, the rationing of immunity bonuses
// and the pick-up box.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/bonus_fixture.h"

namespace tdx {
namespace {

using testing::BonusGame;

class BonusPlaces : public BonusGame {
 protected:
  BonusSlot& Slot(int i = 0) { return g.bonus.slots[static_cast<size_t>(i)]; }
  // One playing frame of place i, the clock moved on first.
  void Frame(int i = 0) {
    Tick();
    UpdateBonusSlot(g, i);
  }
  // A place showing a bonus of `kind` at cell (x, y) in `state`, with time left.
  void Showing(BonusKind kind, int x, int y, BonusState state = BonusState::Lasting) {
    BonusSlot& b = Slot();
    b.state = state;
    b.kind = kind;
    b.x = x;
    b.y = y;
    b.timer = 10;
    b.shownAt = g.Now;
    b.picture.visible = true;
  }
};

TEST_F(BonusPlaces, WithTheOptionOffNothingAppearsAndNothingSounds) {
  g.settings.game.bonus = 0;
  for (int f = 0; f < 3000; ++f) {
    Tick();
    for (int i = 0; i < kBonusSlots; ++i) UpdateBonusSlot(g, i);
  }
  for (const BonusSlot& b : g.bonus.slots) {
    EXPECT_EQ(b.state, BonusState::Start);
    EXPECT_FALSE(b.swirl.visible);
    EXPECT_FALSE(b.picture.visible);
  }
  EXPECT_TRUE(Sounds().empty());
}

// One whole cycle at S = 50 with 10 ms frames: what is seen when, and how long it lasts.
TEST_F(BonusPlaces, CycleRunsThroughSwirlStayAndBlinksBackToStart) {
  g.match.HalfPlayerCount = 6;
  UpdateBonusSlot(g, 0);
  ASSERT_EQ(Slot().state, BonusState::Waiting);
  double wait = Slot().timer;
  EXPECT_GE(wait, 0.0);
  EXPECT_LE(wait, 2.9 + 1e-9);
  EXPECT_NEAR(wait * 10, static_cast<int>(wait * 10 + 0.5), 1e-9) << "steps of 0.1 s";

  int frames = 0;
  while (Slot().state == BonusState::Waiting && frames < 400) Frame(), ++frames;
  ASSERT_EQ(Slot().state, BonusState::Appearing);
  const BonusSlot& b = Slot();
  EXPECT_GE(b.x, 30);
  EXPECT_LE(b.x, 577);
  EXPECT_GE(b.y, 30);
  EXPECT_LE(b.y, 377);
  EXPECT_TRUE(b.swirl.visible);
  EXPECT_EQ(b.swirl.x, b.x + 15);
  EXPECT_EQ(b.swirl.y, b.y + 57);
  EXPECT_EQ(b.swirl.MaterialName(), "00");
  EXPECT_FALSE(b.picture.visible);
  EXPECT_EQ(b.picture.x, b.x + 16);
  EXPECT_EQ(b.picture.y, b.y + 56);
  EXPECT_EQ(b.picture.MaterialName(), BonusFirstFrame(b.kind));
  ASSERT_EQ(Sounds(), std::vector<std::string>{"bonus.mp3"});
  EXPECT_EQ(g.events.raised.back().x, b.x - 1);

  // The picture comes after 0.72 s of swirl, the swirl ends after 1.44 s.
  int toPicture = 0;
  std::set<std::string> swirlFrames;
  while (!b.picture.visible && toPicture < 200) {
    Frame();
    ++toPicture;
    swirlFrames.insert(std::string(b.swirl.MaterialName()));
  }
  EXPECT_EQ(toPicture, 73);
  EXPECT_EQ(b.state, BonusState::Shown);
  int toStay = toPicture;
  while (b.state == BonusState::Shown && toStay < 300) {
    Frame();
    ++toStay;
    if (b.swirl.visible) swirlFrames.insert(std::string(b.swirl.MaterialName()));
  }
  EXPECT_EQ(toStay, 144);
  EXPECT_EQ(b.state, BonusState::Lasting);
  EXPECT_FALSE(b.swirl.visible);
  EXPECT_EQ(swirlFrames.size(), 48u);
  EXPECT_EQ(*swirlFrames.rbegin(), "47");
  EXPECT_GE(b.timer, 15.0 - 1e-9);
  EXPECT_LE(b.timer, 19.9 + 1e-9);

  // Lasting, five blink phases and the last show, each blink 20 / S = 0.4 s.
  std::vector<std::pair<BonusState, bool>> seen;
  std::vector<int> phaseFrames;
  BonusState last = b.state;
  int inPhase = 0;
  for (int f = 0; f < 3000 && b.state != BonusState::Start; ++f) {
    Frame();
    ++inPhase;
    if (b.state != last) {
      seen.push_back({b.state, b.picture.visible});
      phaseFrames.push_back(inPhase);
      inPhase = 0;
      last = b.state;
    }
  }
  const std::vector<std::pair<BonusState, bool>> expected = {
      {BonusState::Blinking5, false}, {BonusState::Blinking6, true},
      {BonusState::Blinking7, false}, {BonusState::Blinking8, true},
      {BonusState::Blinking9, false}, {BonusState::LastShow, true},
      {BonusState::Start, false}};
  EXPECT_EQ(seen, expected);
  ASSERT_EQ(phaseFrames.size(), 7u);
  for (size_t i = 1; i < phaseFrames.size(); ++i) EXPECT_NEAR(phaseFrames[i], 40, 1) << i;
  EXPECT_EQ(Sounds().size(), 1u) << "a bonus that nobody takes vanishes in silence";
}

TEST_F(BonusPlaces, PictureAnimatesFourStepsASecondFromWhenItWasShown) {
  Showing(BonusKind::Fire, 200, 200);
  const char* expected[] = {"fire1", "fire2", "fire1", "fire3", "fire1"};
  for (int step = 0; step < 5; ++step) {
    g.Now = Slot().shownAt + step * 0.25;
    AnimateBonus(g, Slot());
    EXPECT_EQ(Slot().picture.MaterialName(), expected[step]) << step;
  }
  g.Now = Slot().shownAt + 0.125;  // exactly half a step: to the even step
  AnimateBonus(g, Slot());
  EXPECT_EQ(Slot().picture.MaterialName(), "fire1");
  g.Now = Slot().shownAt + 0.375;
  AnimateBonus(g, Slot());
  EXPECT_EQ(Slot().picture.MaterialName(), "fire1");
}

TEST_F(BonusPlaces, FasterGamesHaveShorterWaits) {
  g.GlobalSpeed = 150;  // random(10) / 10: at most 0.9 s
  for (int n = 0; n < 200; ++n) {
    Slot().state = BonusState::Start;
    UpdateBonusSlot(g, 0);
    EXPECT_LE(Slot().timer, 0.9 + 1e-9);
  }
}

// Draws forced one after another: each draw puts the place back to a finished wait with
// the immunity counts as the case gives them.
TEST_F(BonusPlaces, ImmunityBonusesAreRationedByHalfThePlayers) {
  struct Case {
    int players;
    int rocketsAbout;  // NoRocketCount before each draw
    int virusesAbout;
    bool immunitiesAppear;
  };
  const Case cases[] = {
      {2, 0, 0, false},   // HalfPlayerCount 1: never
      {3, 0, 0, false},   // still 1
      {4, 0, 0, true},    // 2: the first of the round appears
      {4, 1, 0, false},   // a second one while the first is on the field or taken
      {4, 0, 1, false},   // the two kinds share the limit
      {4, 2, 0, false},   // one taken (counted when drawn and when taken)
      {12, 4, 0, true},   // 6: up to five about
      {12, 3, 2, false},  // five about
  };
  for (const Case& c : cases) {
    g.match.HalfPlayerCount = c.players / 2;
    std::set<int> kinds;
    bool countsOk = true;
    for (int n = 0; n < 400; ++n) {
      g.bonus.NoRocketCount = c.rocketsAbout;
      g.bonus.NoVirusCount = c.virusesAbout;
      Slot().state = BonusState::Waiting;
      Slot().timer = -1;
      UpdateBonusSlot(g, 0);
      ASSERT_EQ(Slot().state, BonusState::Appearing);
      int k = static_cast<int>(Slot().kind);
      kinds.insert(k);
      int rockets = c.rocketsAbout + (k == static_cast<int>(BonusKind::NoRocket) ? 1 : 0);
      int viruses = c.virusesAbout + (k == static_cast<int>(BonusKind::NoVirus) ? 1 : 0);
      // A replaced draw leaves the counts as they were.
      countsOk = countsOk && g.bonus.NoRocketCount == rockets && g.bonus.NoVirusCount == viruses;
    }
    SCOPED_TRACE(c.players);
    EXPECT_TRUE(countsOk);
    EXPECT_EQ(kinds.count(static_cast<int>(BonusKind::NoRocket)) == 1, c.immunitiesAppear);
    EXPECT_EQ(kinds.count(static_cast<int>(BonusKind::NoVirus)) == 1, c.immunitiesAppear);
    for (int k = 0; k <= 8; ++k) EXPECT_EQ(kinds.count(k), 1u) << "kind " << k;
  }
}

TEST_F(BonusPlaces, AnImmunityThatVanishesUntakenFreesItsPlaceInTheRation) {
  g.match.HalfPlayerCount = 2;
  g.bonus.NoRocketCount = 1;  // drawn earlier in the round
  Showing(BonusKind::NoRocket, 300, 200, BonusState::LastShow);
  Slot().timer = 0.001;
  Frame();
  EXPECT_EQ(Slot().state, BonusState::Start);
  EXPECT_FALSE(Slot().picture.visible);
  EXPECT_EQ(g.bonus.NoRocketCount, 0);
}

// The box is 16 by 16 cells around (x - 1, y + 1) and open at its edges; the main head
// and the extra heads are tested alike.
TEST_F(BonusPlaces, PickUpBoxEdges) {
  struct Case {
    double dx, dy;  // from the bonus cell
    bool taken;
  };
  const Case cases[] = {
      {-1, 1, true},     {-9, 1, false},       {-8.999, 1, true},  {7, 1, false},
      {6.999, 1, true},  {-1, -7, false},      {-1, -6.999, true}, {-1, 9, false},
      {-1, 8.999, true}, {-8.99, -6.99, true}, {6.99, 8.99, true}, {7.01, 8.99, false},
  };
  for (bool extraHead : {false, true}) {
    for (const Case& c : cases) {
      const int bx = 300, by = 200;
      TCerv& w = Place(0, 50, 50);
      w.energy = 10;
      w.cloneAlive.fill(0);
      if (extraHead) {
        AddClone(w, 2, bx + c.dx, by + c.dy);
      } else {
        w.nextX = bx + c.dx;
        w.nextY = by + c.dy;
      }
      Showing(BonusKind::Cherry, bx, by);
      Frame();
      SCOPED_TRACE(::testing::Message()
                   << "extra=" << extraHead << " d=(" << c.dx << ", " << c.dy << ")");
      EXPECT_EQ(Slot().state == BonusState::Start, c.taken);
      EXPECT_EQ(w.energy, c.taken ? 50 : 10);
      EXPECT_EQ(Slot().picture.visible, !c.taken);
      EXPECT_FALSE(Slot().swirl.visible);
    }
  }
}

TEST_F(BonusPlaces, OnlyAShownPictureCanBeTakenAndBlinkingDoesNotProtectIt) {
  struct Case {
    BonusState state;
    bool taken;
  };
  const Case cases[] = {
      {BonusState::Appearing, false}, {BonusState::Shown, true},     {BonusState::Lasting, true},
      {BonusState::Blinking5, true},  {BonusState::Blinking9, true}, {BonusState::LastShow, false},
  };
  for (const Case& c : cases) {
    TCerv& w = Place(0, 300, 200);
    w.energy = 10;
    Showing(BonusKind::Heart, 301, 199, c.state);
    Slot().timer = c.state == BonusState::Appearing ? 0.1 : 10;  // in the swirl's first half
    if (c.state == BonusState::Appearing) Slot().picture.visible = false;
    Frame();
    EXPECT_EQ(w.energy, c.taken ? 90 : 10) << static_cast<int>(c.state);
  }
}

TEST_F(BonusPlaces, EveryHeadInTheBoxInTheSameFrameTakesTheBonus) {
  TCerv& a = Place(0, 300, 201);
  TCerv& b = Place(3, 297, 203);
  TCerv& c = Place(5, 100, 100);
  AddClone(c, 1, 302, 204);  // an extra head of a third worm
  AddClone(a, 0, 299, 200);  // and one of the first
  for (TCerv* w : {&a, &b, &c}) w->energy = 10;
  Showing(BonusKind::Heart, 300, 200);
  Frame();
  EXPECT_EQ(a.energy, 170);
  EXPECT_EQ(b.energy, 90);
  EXPECT_EQ(c.energy, 90);
  EXPECT_EQ(CountSound("srdce.mp3"), 4);
  EXPECT_EQ(Slot().state, BonusState::Start);
}

TEST_F(BonusPlaces, DeadWormsAndDeadExtraHeadsTakeNothing) {
  TCerv& w = Place(0, 300, 201);
  w.alive = 0;
  TCerv& v = Place(1, 50, 50);
  AddClone(v, 4, 300, 201);
  v.cloneAlive[4] = 0;
  Showing(BonusKind::Cherry, 300, 200);
  Frame();
  EXPECT_EQ(Slot().state, BonusState::Lasting);
}

TEST_F(BonusPlaces, RoundResetHidesEveryPlaceAndClearsTheCounts) {
  for (int i = 0; i < kBonusSlots; ++i) {
    Slot(i).state = BonusState::Blinking6;
    Slot(i).picture.visible = true;
    Slot(i).swirl.visible = true;
  }
  g.bonus.NoRocketCount = 3;
  g.bonus.NoVirusCount = 2;
  ResetBonusRound(g);
  for (int i = 0; i < kBonusSlots; ++i) {
    EXPECT_EQ(Slot(i).state, BonusState::Start);
    EXPECT_FALSE(Slot(i).picture.visible);
    EXPECT_FALSE(Slot(i).swirl.visible);
  }
  EXPECT_EQ(g.bonus.NoRocketCount, 0);
  EXPECT_EQ(g.bonus.NoVirusCount, 0);
}

TEST_F(BonusPlaces, PlacesOpenWithTheMatchAndCloseWhenItIsLeft) {
  OpenBonusPlaces(g);  // a second match start
  const BonusSlot& b = Slot(11);
  EXPECT_EQ(b.swirl.width, 96);
  EXPECT_EQ(b.swirl.height, 192);
  EXPECT_EQ(b.swirl.library, LibGLMLMyst);
  EXPECT_EQ(b.picture.width, 16);
  EXPECT_EQ(b.picture.library, LibGLMLMyst);
  CloseBonusPlaces(g);
  UpdateBonusSlot(g, 0);  // no match: the place stays put
  EXPECT_EQ(Slot().state, BonusState::Start);
}

}  // namespace
}  // namespace tdx
