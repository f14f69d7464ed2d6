// A fresh game for the bonus tests: thirteen worms, the bonus sprites, a recording mixer
// whose buffers carry the names of the bonus sounds, and every player slot off until a
// test places a worm.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/game.h"
#include "audio/fake_mixer.h"
#include "audio/sound.h"
#include "bonus/bonus_effects.h"
#include "bonus/bonus_places.h"
#include "weapons/bonus_objects.h"

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
    g.settings.game.sounds = 1;
    const char* names[] = {"bonus.mp3",  "ceresna.mp3", "fireball.mp3", "bombeaten.mp3",
                           "srdce.mp3",  "poison.mp3",  "faster.mp3",   "slower.mp3",
                           "digger.mp3", "xonix.mp3",   "rocket.mp3",   "viruses.mp3",
                           "bomb.mp3",   "death.mp3"};
    int slot = 0;
    for (const char* n : names) {
      g.audio.SoundTable.push_back({slot, n});
      g.audio.SoundStreams[slot] = std::vector<uint8_t>(n, n + std::string(n).size());
      ++slot;
    }
    auto fake = std::make_unique<FakeMixer>(&g.Now);
    fake->effectSeconds = 0.001;  // channels free up at once: the test sees every sound
    mixer = fake.get();
    StartAudio(g, std::move(fake));
    ASSERT_TRUE(g.audio.AudioAvailable);
    CreateBonusSprites(g);
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

  // The names of the sounds played so far, in order.
  std::vector<std::string> Sounds() const {
    std::vector<std::string> out;
    for (const FakeMixerCall& c : mixer->Calls("play")) out.push_back(c.name);
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
  FakeMixer* mixer = nullptr;
};

}  // namespace tdx::testing
