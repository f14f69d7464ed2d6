// A fresh game for the bonus tests: thirteen worms, the bonus places open, no sound device
// (the sounds are the events the match raises), and every player slot off until a test
// places a worm.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/game.h"
#include "audio/sound.h"
#include "match/bonus/bonus_effects.h"
#include "match/bonus/bonus_places.h"
#include "match/weapons/bonus_objects.h"

namespace tdx::testing {

class BonusGame : public ::testing::Test {
 protected:
  void SetUp() override {
    g.matchRng.Seed(11);
    CreateWorms(g);
    for (auto& p : g.settings.players) {
      p.controller = CtrlOff;
      p.team = 1;
    }
    g.settings.game.bonus = 1;
    OpenBonusPlaces(g);
    g.GlobalSpeed = 50;
    g.Now = 100;
    g.FrameDelta = 0.01;
  }

  // Slot `s` takes part and its worm is alive with its head at (x, y), heading `h`.
  TCerv& Place(int s, double x, double y, double h = 0, int team = 1) {
    g.settings.players[static_cast<size_t>(s)].controller = CtrlHuman;
    g.settings.players[static_cast<size_t>(s)].team = static_cast<uint8_t>(team);
    TCerv& w = g.Worm(s);
    w.alive = 1;
    w.headX = w.nextX = x;
    w.headY = w.nextY = y;
    w.heading = h;
    return w;
  }
  static void AddClone(TCerv& w, int k, double x, double y, double h = 0) {
    w.cloneAlive[static_cast<size_t>(k)] = 1;
    w.cloneX[static_cast<size_t>(k)] = x;
    w.cloneY[static_cast<size_t>(k)] = y;
    w.cloneHeading[static_cast<size_t>(k)] = h;
  }

  // The names of the sounds the match raised so far, in order.
  std::vector<std::string> Sounds() const {
    std::vector<std::string> out;
    for (const MatchEvent& e : g.events.raised) {
      if (e.kind == MatchEvent::Kind::Sound || e.kind == MatchEvent::Kind::SoundPanned) {
        out.push_back(e.name);
      }
    }
    return out;
  }
  int CountSound(const std::string& name) const {
    int n = 0;
    for (const std::string& s : Sounds()) n += s == name ? 1 : 0;
    return n;
  }
  // Advances the clock by one frame of FrameDelta.
  void Tick() { g.Now += g.FrameDelta; }

  Game g;
};

}  // namespace tdx::testing
