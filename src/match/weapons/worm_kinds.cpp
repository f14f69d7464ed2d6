#include "match/weapons/worm_kinds.h"

#include <array>

#include "match/computer/computer.h"
#include "match/match.h"
#include "match/weapons/abilities.h"

namespace tdx {

namespace {

// Stops every other alive worm (in team play only the other teams') for this frame.
void StopOthers(Match& m, int stopper) {
  int team = TeamNumber(m.settings.players[stopper]);
  for (int s = 0; s < kPlayerSlots; ++s) {
    TCerv& w = m.Worm(s);
    if (s == stopper || !w.alive) continue;
    if (m.match.TeamMode != 0 && TeamNumber(m.settings.players[s]) == team) continue;
    w.stopped = 1;
    w.stoppedBy = static_cast<uint8_t>(stopper);
  }
}

// Keeps a repeating ability sound from playing on every quick press.
void SoundGate(Match& m, bool& ready, double& next, const char* sound, double x) {
  if (ready) {
    m.events.Sound(sound, x);
    next = m.Now + 0.3;
    ready = false;
  } else if (next < m.Now) {
    ready = true;
  }
}

bool HasEnergy(const TCerv& w) { return w.energy > 1.0; }

void SetInfernalFires(TCerv& w, bool on) { w.infernalOn = on ? 1 : 0; }

// ---- traveller: crosses trails while held
void TravellerPress(Match& m, int, TCerv& w) {
  if (HasEnergy(w)) m.events.Sound("traveller.mp3", w.nextX);
}

// ---- speeder
void SpeederPress(Match& m, int, TCerv& w) {
  if (HasEnergy(w)) m.events.Sound("speeder.mp3", w.nextX);
}

// ---- stopper: freezes the others while held
void StopperPress(Match& m, int slot, TCerv& w) {
  if (!HasEnergy(w)) return;
  StopOthers(m, slot);
  m.events.Sound("pause.mp3", w.nextX);
}
void StopperHold(Match& m, int slot, TCerv& w) {
  if (HasEnergy(w)) StopOthers(m, slot);
}

// ---- repeller
void RepellerPress(Match& m, int, TCerv& w) {
  if (HasEnergy(w)) m.events.Sound("repeller.mp3", w.nextX);
}

// ---- w_infernal: two fires circle the head while held
void InfernalPress(Match& m, int, TCerv& w) {
  w.infernalAngle = {w.heading, w.heading};
  if (!HasEnergy(w)) return;
  SoundGate(m, m.gates.InfernalSoundReady, m.gates.InfernalSoundNext, "infernal.mp3", w.nextX);
  SetInfernalFires(w, true);
}
void InfernalRelease(Match&, TCerv& w) { SetInfernalFires(w, false); }
void InfernalRoundReset(Match&, TCerv& w) { SetInfernalFires(w, false); }

// ---- w_thicker: the blob grows while held and shrinks after
void ThickerPress(Match& m, int, TCerv& w) {
  if (!HasEnergy(w)) return;
  SoundGate(m, m.gates.ThickSoundReady, m.gates.ThickSoundNext, "thick.mp3", w.nextX);
  w.thickMode = 1;
}
void ThickerRelease(Match&, TCerv& w) { w.thickMode = 0; }

// Step 5 of the worm step for the kinds that have one.
void ShooterContinuous(Match& m, TCerv& w, double) { ShooterBurst(m, w); }
void InfernalContinuous(Match& m, TCerv& w, double) {
  if (w.infernalOn) InfernalFires(m, w);
}
void ThickerContinuous(Match& m, TCerv& w, double) { ThickBlob(m, w); }

std::array<WormKindRules, 21> BuildTable() {
  std::array<WormKindRules, 21> t{};
  auto at = [&t](WormKind k) -> WormKindRules& { return t[static_cast<size_t>(k)]; };
  at(WormKind::None).control = FireControl::None;

  WormKindRules& traveller = at(WormKind::Traveller);
  traveller.control = FireControl::Held;
  traveller.press = TravellerPress;
  traveller.action = TravellerAction;
  traveller.passesTrails = true;
  traveller.cpuSelfTrigger = CpuSelfTrigger::OnTrailHit;

  WormKindRules& speeder = at(WormKind::Speeder);
  speeder.control = FireControl::Held;
  speeder.press = SpeederPress;
  speeder.action = SpeederAction;

  WormKindRules& stopper = at(WormKind::Stopper);
  stopper.control = FireControl::Held;
  stopper.press = StopperPress;
  stopper.hold = StopperHold;
  stopper.action = StopperAction;

  WormKindRules& warper = at(WormKind::Warper);
  warper.control = FireControl::Held;
  warper.action = WarperAction;
  warper.wrapsAtEdges = true;
  warper.cpuSelfTrigger = CpuSelfTrigger::AtEdge;

  at(WormKind::Reverser).action = ReverserAction;
  at(WormKind::Killer).action = KillerAction;
  at(WormKind::LaserShooter).action = LaserShooterAction;
  at(WormKind::Multiplier).action = MultiplierAction;
  at(WormKind::VirusInfester).action = VirusInfesterAction;

  WormKindRules& repeller = at(WormKind::Repeller);
  repeller.control = FireControl::Held;
  repeller.press = RepellerPress;
  repeller.action = RepellerAction;

  at(WormKind::RocketLauncher).action = RocketLauncherAction;
  at(WormKind::AtomicBomber).action = AtomicBomberAction;
  at(WormKind::Reproducer).action = ReproducerAction;
  at(WormKind::Erector).action = ErectorAction;
  at(WormKind::Teleporter).action = TeleporterAction;

  WormKindRules& shooter = at(WormKind::Shooter);
  shooter.action = ShooterAction;
  shooter.continuous = ShooterContinuous;

  WormKindRules& infernal = at(WormKind::WInfernal);
  infernal.control = FireControl::Held;
  infernal.press = InfernalPress;
  infernal.release = InfernalRelease;
  infernal.action = InfernalAction;
  infernal.continuous = InfernalContinuous;
  infernal.roundReset = InfernalRoundReset;

  WormKindRules& thicker = at(WormKind::WThicker);
  thicker.control = FireControl::Held;
  thicker.press = ThickerPress;
  thicker.release = ThickerRelease;
  thicker.action = ThickerAction;
  thicker.continuous = ThickerContinuous;

  WormKindRules& pauser = at(WormKind::Pauser);
  pauser.control = FireControl::Held;
  pauser.action = PauserAction;
  pauser.standsStill = true;

  at(WormKind::VirusController).action = VirusControllerAction;

  // The computer players' rules.
  at(WormKind::Speeder).cpuRule = CpuSpeederRule;
  at(WormKind::Stopper).cpuRule = CpuStopperRule;
  at(WormKind::Reverser).cpuRule = CpuReverserRule;
  at(WormKind::Killer).cpuRule = CpuShotRule;
  at(WormKind::Shooter).cpuRule = CpuShotRule;
  at(WormKind::LaserShooter).cpuRule = CpuLaserShooterRule;
  at(WormKind::Multiplier).cpuRule = CpuOneShotRule;
  at(WormKind::Reproducer).cpuRule = CpuOneShotRule;
  at(WormKind::RocketLauncher).cpuRule = CpuOneShotRule;
  at(WormKind::VirusInfester).cpuRule = CpuVirusInfesterRule;
  at(WormKind::VirusController).cpuRule = CpuVirusControllerRule;
  at(WormKind::Repeller).cpuRule = CpuRepellerRule;
  at(WormKind::AtomicBomber).cpuRule = CpuAtomicBomberRule;
  at(WormKind::Erector).cpuRule = CpuErectorRule;
  at(WormKind::Teleporter).cpuRule = CpuTeleporterRule;
  at(WormKind::WInfernal).cpuRule = CpuInfernalRule;
  at(WormKind::WThicker).cpuRule = CpuThickerRule;
  at(WormKind::Pauser).cpuRule = CpuPauserRule;
  return t;
}

const std::array<WormKindRules, 21> kRules = BuildTable();

}  // namespace

const WormKindRules& RulesOf(WormKind kind) {
  auto i = static_cast<size_t>(kind);
  return kRules[i < kRules.size() ? i : 0];
}

bool AbilityOn(const TCerv& w) { return w.fireHeld && w.energy > 1; }
bool PassesTrails(const TCerv& w) { return RulesOf(w.kind).passesTrails && AbilityOn(w); }
bool WrapsAtEdges(const TCerv& w) { return RulesOf(w.kind).wrapsAtEdges && AbilityOn(w); }
bool StandsStill(const TCerv& w) { return RulesOf(w.kind).standsStill && AbilityOn(w); }

void ApplyControls(Match& m) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (m.Worm(s).alive) m.Worm(s).stopped = 0;
  }
  for (int s = 0; s < kPlayerSlots; ++s) {
    TCerv& w = m.Worm(s);
    if (!w.alive) continue;
    const Controls& c = m.controls[static_cast<size_t>(s)];
    bool left = c.now[kControlLeft], right = c.now[kControlRight];
    w.turnLeft = left && !right;  // both together steer straight
    w.turnRight = right && !left;
    w.fireHeld = 0;
    const WormKindRules& r = RulesOf(w.kind);
    if (r.control == FireControl::None) continue;
    if (c.Pressed(kControlFire)) {
      w.fireHeld = 1;
      if (r.press) r.press(m, s, w);
    } else if (c.Held(kControlFire)) {
      if (r.control != FireControl::Held) continue;  // one-shot kinds act on the press only
      w.fireHeld = 1;
      if (r.hold) r.hold(m, s, w);
    } else if (c.Released(kControlFire)) {
      if (r.release) r.release(m, w);
    }
  }
}

}  // namespace tdx
