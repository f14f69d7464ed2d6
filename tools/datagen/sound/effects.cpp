#include "effects.h"

#include <algorithm>
#include <array>

namespace tdx::datagen {

namespace {

template <class F>
Mono Render(double seconds, F&& f) {
  Mono m(Samples(seconds));
  for (size_t i = 0; i < m.size(); ++i) m[i] = static_cast<float>(f(double(i) / kRate));
  return m;
}

Stereo Centre(const Mono& m) { return Pan(m, 0.0); }

// ---- shared building blocks ----------------------------------------------------------

// A short percussive tone: oscillator with a pitch glide and an exponential decay.
Mono Blip(Osc::Shape shape, double fromHz, double toHz, double glideTau, double length,
          double decayTau, double cutoff = 8000) {
  Osc o(shape, 0.0, 0.3);
  Biquad lp;
  lp.LowPass(cutoff, 0.707);
  return Render(length, [&](double t) {
    double f = Glide(t, fromHz, toHz, glideTau);
    return lp.Process(o.Next(f)) * AttackDecay(t, 0.002, decayTau) *
           AttackRelease(t, 0, length, 0.01);
  });
}

// An explosion: a crack, a noise body whose brightness falls, a low thump and a rumble.
struct Blast {
  double length;
  double crack;                     // level of the first few milliseconds of broadband noise
  double bodyTau;                   // decay of the noise body
  double cutStart, cutEnd, cutTau;  // the body's low-pass sweep
  double thumpFrom, thumpTo, thumpTau, thump;
  double rumble, rumbleTau;  // sub-bass rumble (brown noise)
  double drive;
  uint64_t seed;
};

Stereo MakeBlast(const Blast& b) {
  Stereo out;
  for (int side = 0; side < 2; ++side) {
    Noise nz(b.seed * 31 + side * 7 + 1);
    Noise slow(b.seed * 17 + side);
    Biquad lp, lp2, rumbleLp, crackHp;
    rumbleLp.LowPass(140, 0.7);
    crackHp.HighPass(1500, 0.7);
    Osc thump(Osc::kSine);
    double am = 0;
    Mono m = Render(b.length, [&](double t) {
      double w = nz.White();
      double crack = crackHp.Process(w) * std::exp(-t / 0.006) * b.crack;
      double cut = Glide(t, b.cutStart, b.cutEnd, b.cutTau);
      lp.LowPass(cut, 0.9);
      lp2.LowPass(cut * 1.3, 0.6);
      double body = lp2.Process(lp.Process(w)) * AttackDecay(t, 0.003, b.bodyTau);
      // The rumble swells and breathes with a slow random amplitude wobble.
      am = am * 0.9995 + slow.White() * 0.0005 * 40;
      double rumble = rumbleLp.Process(nz.Brown()) * AttackDecay(t, 0.06, b.rumbleTau) *
                      (1.0 + 0.5 * am) * b.rumble * 3.0;
      double th = thump.Next(Glide(t, b.thumpFrom, b.thumpTo, 0.09)) *
                  AttackDecay(t, 0.001, b.thumpTau) * b.thump;
      double x = crack + body * 1.6 + rumble + th;
      return std::tanh(x * b.drive) / b.drive * AttackRelease(t, 0, b.length, b.length * 0.25);
    });
    (side == 0 ? out.l : out.r) = std::move(m);
  }
  return out;
}

// ---- menus ---------------------------------------------------------------------------

// Short and crisp: a filtered tick with a high, fast-decaying ping.
Stereo MenuClick() {
  Noise nz(11);
  Biquad hp;
  hp.HighPass(2500, 0.7);
  Osc ping(Osc::kSine), body(Osc::kTriangle);
  Mono m = Render(0.07, [&](double t) {
    double tick = hp.Process(nz.White()) * std::exp(-t / 0.0015);
    double p = ping.Next(2350) * std::exp(-t / 0.010) * 0.6;
    double b = body.Next(1175) * std::exp(-t / 0.016) * 0.35;
    return (tick + p + b) * AttackRelease(t, 0, 0.07, 0.01);
  });
  return Centre(m);
}

// A key press taken: a woody tick, then a short rising confirmation chirp.
Stereo Key() {
  Noise nz(12);
  Biquad wood;
  wood.BandPass(1900, 6);
  Mono m =
      Render(0.03, [&](double t) { return wood.Process(nz.White()) * std::exp(-t / 0.004) * 3.0; });
  Mono chirp = Blip(Osc::kSquare, 880, 1760, 0.02, 0.09, 0.03, 5000);
  Mix(m, chirp, 0.35, Samples(0.025));
  return Centre(m);
}

// Switched on: two rising notes; off: the same falling.
Stereo TwoNotes(double first, double second) {
  Mono m = Blip(Osc::kSquare, first, first, 1, 0.07, 0.05, 4000);
  Mono b = Blip(Osc::kSquare, second, second, 1, 0.12, 0.05, 4000);
  Mix(m, b, 1.0, Samples(0.065));
  Stereo s = Centre(m);
  Reverb(s, 0.3, 0.5, 0.15, 0.08);
  return s;
}
Stereo On() { return TwoNotes(659.26, 987.77); }
Stereo Off() { return TwoNotes(987.77, 659.26); }

// Crowd cheering: many shouting voices (pulse trains through vowel formants), applause
// and a few whistles, spread over the stereo field and put in a big hall.
Stereo Crowd() {
  const double length = 3.6;
  Stereo out(Samples(length));
  Rng rng(1313);
  struct Vowel {
    double f1, f2, f3;
  };
  static constexpr std::array<Vowel, 4> kVowels = {
      {{750, 1200, 2500}, {550, 1800, 2550}, {360, 850, 2300}, {650, 1650, 2600}}};
  for (int v = 0; v < 56; ++v) {
    bool high = rng.Chance(0.4);
    double f0 = high ? rng.Range(210, 330) : rng.Range(105, 190);
    double start = rng.Range(0.0, 1.1);
    double hold = rng.Range(0.7, 2.2);
    double len = std::min(length - start - 0.05, hold + 0.45);
    Vowel a = kVowels[rng.Below(4)], b = kVowels[rng.Below(4)];
    double scale = high ? 1.15 : 1.0;
    Osc src(Osc::kSaw, rng.Unit());
    Noise breath(500 + v);
    Biquad f1, f2, f3;
    double vib = rng.Range(4.5, 6.5), jitter = 0;
    Mono m = Render(len, [&](double t) {
      double u = std::min(1.0, t / len);
      // A shout rises quickly and then sags.
      double contour = 1.0 + 0.22 * (1.0 - std::exp(-t / 0.12)) - 0.15 * u;
      jitter = jitter * 0.995 + breath.White() * 0.005;
      double f = f0 * contour * (1.0 + 0.012 * std::sin(kTwoPi * vib * t) + jitter * 0.3);
      double x = src.Next(f) * 0.7 + breath.White() * 0.25;
      f1.BandPass((a.f1 + (b.f1 - a.f1) * u) * scale, 6);
      f2.BandPass((a.f2 + (b.f2 - a.f2) * u) * scale, 9);
      f3.BandPass(a.f3 * scale, 12);
      double y = f1.Process(x) * 1.0 + f2.Process(x) * 0.6 + f3.Process(x) * 0.25;
      return y * AttackRelease(t, 0.12, len, 0.4);
    });
    Mix(out, Pan(m, rng.Bipolar() * 0.9), rng.Range(0.5, 1.0), Samples(start));
  }
  // Applause: dense at first, thinning out at the end.
  for (int c = 0; c < 420; ++c) {
    double t0 = 0.1 + std::pow(rng.Unit(), 1.4) * (length - 0.4);
    Noise nz(9000 + c);
    Biquad bp;
    bp.BandPass(rng.Range(900, 2400), 1.4);
    Mono clap =
        Render(0.05, [&](double t) { return bp.Process(nz.White()) * std::exp(-t / 0.009); });
    Mix(out, Pan(clap, rng.Bipolar()), rng.Range(0.15, 0.45), Samples(t0));
  }
  // Whistles gliding up and down.
  for (int w = 0; w < 3; ++w) {
    double t0 = rng.Range(0.3, 1.6), len = rng.Range(0.5, 0.9), top = rng.Range(2200, 2900);
    Osc o(Osc::kSine);
    Mono m = Render(len, [&](double t) {
      double u = t / len;
      double f = top * (0.8 + 0.2 * std::sin(kPi * u)) * (1 + 0.01 * std::sin(kTwoPi * 7 * t));
      return o.Next(f) * AttackRelease(t, 0.04, len, 0.15);
    });
    Mix(out, Pan(m, rng.Bipolar() * 0.7), 0.12, Samples(t0));
  }
  // A murmur under everything.
  Noise bed(77), bed2(78);
  Biquad bl, br;
  bl.BandPass(700, 0.6);
  br.BandPass(760, 0.6);
  for (size_t i = 0; i < out.size(); ++i) {
    double t = double(i) / kRate;
    double e = AttackRelease(t, 0.4, length, 1.2) * 0.35;
    out.l[i] += static_cast<float>(bl.Process(bed.Pink()) * e);
    out.r[i] += static_cast<float>(br.Process(bed2.Pink()) * e);
  }
  Fade(out, 0.05, 0.9);
  Reverb(out, 0.8, 0.4, 0.35, 0.6);
  Fade(out, 0.0, 0.3);
  return out;
}

// ---- abilities -----------------------------------------------------------------------

// Head and tail swap: a reversed swell that snaps off, under a down-up pitch swoop.
Stereo Reverser() {
  const double len = 0.5;
  Noise nz(21);
  Biquad bp;
  Osc o(Osc::kSaw);
  Biquad lp;
  Mono m = Render(len, [&](double t) {
    double u = t / len;
    double swell = std::pow(u, 2.5) * (t < len - 0.02 ? 1.0 : (len - t) / 0.02);
    bp.BandPass(600 + 5000 * u * u, 2.0);
    double air = bp.Process(nz.White()) * swell * 1.6;
    double f = 500 * std::pow(2.0, -1.5 * std::sin(kPi * u));  // down, then back up
    lp.LowPass(1500 + 3000 * u, 1.5);
    double tone = lp.Process(o.Next(f)) * (0.25 + 0.5 * u) * AttackRelease(t, 0.02, len, 0.03);
    return air + tone * 0.6;
  });
  Stereo s = Centre(m);
  Chorus(s, 8, 4, 3, 0.5);
  return s;
}

// A fireball launched: a roaring whoosh with crackles and a low "fwoom".
Stereo Fireball() {
  const double len = 0.75;
  Noise nz(31), crackle(32);
  Biquad bp, hp;
  hp.HighPass(3000, 0.7);
  Osc low(Osc::kSine);
  double pop = 0;
  Mono m = Render(len, [&](double t) {
    double u = t / len;
    double centre = 300 + 1900 * std::sin(kPi * std::min(1.0, u * 1.4));
    bp.BandPass(std::max(250.0, centre), 1.2);
    double roar = bp.Process(nz.White()) * AttackDecay(t, 0.06, 0.25) * 2.2;
    if (crackle.White() > 0.992) pop = crackle.White();
    pop *= 0.93;
    double crk = hp.Process(pop) * AttackRelease(t, 0.02, len, 0.2) * 2.0;
    double fw = low.Next(Glide(t, 140, 60, 0.2)) * AttackDecay(t, 0.01, 0.15) * 0.7;
    return roar + crk + fw;
  });
  Stereo s = Centre(m);
  Reverb(s, 0.4, 0.5, 0.2, 0.2);
  return s;
}

// Four laser beams: a zappy downward sweep, repeated as quick echoes.
Stereo Laser() {
  const double len = 0.3;
  Osc sq(Osc::kSquare, 0, 0.3), saw(Osc::kSaw), ring(Osc::kSine);
  Biquad lp;
  Mono m = Render(len, [&](double t) {
    double f = Sweep(t, 2800, 190, 0.24);
    lp.LowPass(9000 - 7000 * t / len, 0.9);
    double x = sq.Next(f) * 0.6 + saw.Next(f * 1.5) * 0.4;
    x *= 0.7 + 0.3 * ring.Next(55);
    return lp.Process(x) * AttackDecay(t, 0.002, 0.1) * AttackRelease(t, 0, len, 0.02);
  });
  Stereo s = Centre(m);
  Echo(s, 0.045, 0.35, 0.5, true, 0.15);
  return s;
}

// Extra heads: a quick rising arpeggio that copies itself across the field.
Stereo Multiplier() {
  Mono m;
  static constexpr std::array<double, 4> kNotes = {72, 76, 79, 84};
  for (size_t i = 0; i < kNotes.size(); ++i) {
    double f = MidiToHz(kNotes[i]);
    Mono b = Blip(Osc::kSquare, f * 1.02, f, 0.01, 0.09, 0.05, 6000);
    Mix(m, b, 0.8, Samples(0.045 * double(i)));
  }
  Stereo s = Centre(m);
  Echo(s, 0.09, 0.45, 0.6, true, 0.35);
  return s;
}

// Viruses released: a swarm of wobbling little chirps over a bubbling bed.
Stereo Viruses() {
  const double len = 0.95;
  Stereo out(Samples(len));
  Rng rng(41);
  for (int k = 0; k < 26; ++k) {
    double t0 = rng.Range(0.0, 0.7), cl = rng.Range(0.04, 0.09);
    double f0 = rng.Range(700, 2100), bend = rng.Range(-0.6, 0.8), wob = rng.Range(25, 60);
    Osc o(Osc::kSine), lfo(Osc::kSine);
    Mono c = Render(cl, [&](double t) {
      double f = f0 * std::pow(2.0, bend * t / cl) * (1 + 0.15 * lfo.Next(wob));
      return o.Next(f) * AttackRelease(t, 0.005, cl, 0.02);
    });
    Mix(out, Pan(c, rng.Bipolar() * 0.8), rng.Range(0.3, 0.6), Samples(t0));
  }
  Noise nz(42);
  Biquad res;
  for (size_t i = 0; i < out.size(); ++i) {
    double t = double(i) / kRate;
    res.BandPass(350 + 250 * std::sin(kTwoPi * 9 * t) + 150 * std::sin(kTwoPi * 3.3 * t), 7);
    float bub =
        static_cast<float>(res.Process(nz.White()) * AttackRelease(t, 0.05, len, 0.3) * 1.2);
    out.l[i] += bub;
    out.r[i] += bub;
  }
  return out;
}

// Homing rocket launched: ignition pop, hissing thrust and a rising whistle flying off.
Stereo Rocket() {
  const double len = 1.1;
  Noise nz(51);
  Biquad hiss, roar;
  roar.LowPass(500, 0.8);
  Osc whistle(Osc::kSine), pop(Osc::kSine);
  Mono m = Render(len, [&](double t) {
    double u = t / len;
    hiss.BandPass(900 + 2600 * u, 1.3);
    double w = nz.White();
    double env = AttackRelease(t, 0.03, len, 0.5);
    double x = hiss.Process(w) * 1.4 * env + roar.Process(w) * 1.6 * env * (1 - u * 0.7);
    x += whistle.Next(Sweep(t, 500, 1500, len)) * 0.12 * env;
    x += pop.Next(Glide(t, 220, 70, 0.03)) * std::exp(-t / 0.03) * 0.9;
    return x;
  });
  Stereo s = Centre(m);
  Reverb(s, 0.5, 0.5, 0.2, 0.2);
  return s;
}

// The atomic bomb's warning: three rising klaxon whoops.
Stereo AtomicAlarm() {
  const double whoop = 0.5, len = 3 * whoop + 0.1;
  Osc a(Osc::kSquare, 0, 0.5), b(Osc::kSaw);
  Biquad lp, peak;
  lp.LowPass(3200, 0.8);
  peak.Peak(1400, 2, 6);
  Mono m = Render(len, [&](double t) {
    double local = std::fmod(t, whoop);
    double f = 520 + 560 * std::pow(std::min(1.0, local / (whoop * 0.85)), 0.7);
    double x = a.Next(f) * 0.6 + b.Next(f * 1.005) * 0.4;
    double env = t < 3 * whoop ? AttackRelease(local, 0.01, whoop, 0.06) : 0.0;
    return peak.Process(lp.Process(x)) * env;
  });
  Stereo s = Centre(m);
  Reverb(s, 0.6, 0.4, 0.25, 0.4);
  return s;
}

// Trail redrawn straight: a quick upward zing with a metallic ring.
Stereo Erekcia() {
  const double len = 0.26;
  Osc saw(Osc::kSaw), p1(Osc::kSine), p2(Osc::kSine), p3(Osc::kSine);
  Biquad lp;
  lp.LowPass(6000, 0.8);
  Mono m = Render(len, [&](double t) {
    double rise =
        lp.Process(saw.Next(Sweep(t, 300, 1300, 0.08))) * AttackRelease(t, 0.003, 0.09, 0.03) * 0.5;
    double ring = (p1.Next(1300) + 0.6 * p2.Next(1300 * 2.76) + 0.35 * p3.Next(1300 * 5.4)) *
                  AttackDecay(t - 0.06, 0.002, 0.05) * 0.35;
    return rise + ring;
  });
  return Centre(m);
}

// Teleport (and wrapping round the edge): a shimmering sweep up with sparkles.
Stereo Teleport() {
  const double len = 0.45;
  Osc carrier(Osc::kSine), mod(Osc::kSine), trem(Osc::kSine);
  Noise sparkle(61);
  Biquad hp;
  hp.HighPass(6000, 0.7);
  Mono m = Render(len, [&](double t) {
    double u = t / len;
    double f = Sweep(t, 280, 2600, len * 0.8);
    double fm = mod.Next(f * 1.5) * f * 0.8 * (1 - u);
    double x = carrier.Next(f + fm) * (0.7 + 0.3 * trem.Next(28));
    double sp = hp.Process(sparkle.White()) * (0.5 + 0.5 * std::sin(kTwoPi * 37 * t)) * u;
    return (x * 0.6 + sp * 0.5) * AttackRelease(t, 0.02, len, 0.12);
  });
  Stereo s = Centre(m);
  Chorus(s, 10, 5, 2.5, 0.6);
  Reverb(s, 0.5, 0.3, 0.2, 0.2);
  return s;
}

// Seven-shot burst: a machine-gun rattle of seven shots.
Stereo Gulomet() {
  Stereo out;
  Rng rng(71);
  for (int shot = 0; shot < 7; ++shot) {
    Noise nz(700 + shot);
    Biquad hp, bp;
    hp.HighPass(1400 + rng.Range(-200, 200), 0.7);
    bp.BandPass(3500, 3);
    Osc thump(Osc::kSine);
    Mono m = Render(0.13, [&](double t) {
      double w = nz.White();
      double crack = hp.Process(w) * std::exp(-t / 0.012) * 1.3;
      double mech = bp.Process(w) * std::exp(-(t - 0.004) * (t - 0.004) / 0.00001) * 1.2;
      double th = thump.Next(Glide(t, 170, 55, 0.02)) * std::exp(-t / 0.03);
      return std::tanh((crack + mech + th) * 1.5);
    });
    Mix(out, Pan(m, 0.0), rng.Range(0.85, 1.0), Samples(0.085 * shot));
  }
  Reverb(out, 0.35, 0.5, 0.25, 0.15);
  return out;
}

// Passing through trails: an airy, phased "whoo" like a ghost.
Stereo Traveller() {
  const double len = 0.7;
  Noise nz(81);
  Osc a(Osc::kSine), b(Osc::kSine), lfo(Osc::kSine);
  std::array<Biquad, 4> phaser;
  Mono m = Render(len, [&](double t) {
    double u = t / len;
    double f = 220 * std::pow(2.0, u * 0.7);
    double x = a.Next(f) * 0.5 + b.Next(f * 1.503) * 0.3 + nz.White() * 0.35;
    double sweep = 400 + 2500 * (0.5 + 0.5 * lfo.Next(3.5));
    double y = x;
    for (auto& ap : phaser) {
      ap.AllPass(sweep, 0.7);
      y = ap.Process(y);
    }
    return (x + y) * 0.5 * AttackRelease(t, 0.12, len, 0.3);
  });
  Stereo s = Centre(m);
  Chorus(s, 12, 6, 0.8, 0.7);
  Reverb(s, 0.6, 0.4, 0.3, 0.25);
  return s;
}

// Speeding: an engine revving up with a whoosh.
Stereo Speeder() {
  const double len = 0.6;
  Osc saw(Osc::kSaw), sub(Osc::kSquare, 0, 0.5);
  Noise nz(91);
  Biquad lp, bp;
  Mono m = Render(len, [&](double t) {
    double u = t / len;
    double f = Sweep(t, 85, 280, len * 0.85);
    lp.LowPass(500 + 3500 * u, 2.5);
    double engine = lp.Process(saw.Next(f) * 0.7 + sub.Next(f * 0.5) * 0.4) *
                    (0.85 + 0.15 * std::sin(kTwoPi * f * 0.25 * t));
    bp.BandPass(1200 + 3000 * u, 1.5);
    double air = bp.Process(nz.White()) * u * 0.8;
    return (engine + air) * AttackRelease(t, 0.02, len, 0.1);
  });
  return Centre(m);
}

// Freezing the others: a chord winding down like a stopping tape, then an icy chime.
Stereo Pause() {
  const double len = 0.85;
  Osc c1(Osc::kSaw), c2(Osc::kSaw), c3(Osc::kSaw), b1(Osc::kSine), b2(Osc::kSine), b3(Osc::kSine);
  Biquad lp;
  double slow = 1.0;
  Mono m = Render(len, [&](double t) {
    double u = std::min(1.0, t / 0.5);
    slow = 1.0 - u * u;
    lp.LowPass(400 + 3000 * slow, 0.9);
    double chord = lp.Process(c1.Next(440 * slow) + c2.Next(554.4 * slow) + c3.Next(659.3 * slow)) *
                   0.3 * slow;
    double ice = (b1.Next(2637) + 0.6 * b2.Next(3520) + 0.4 * b3.Next(5274)) *
                 AttackDecay(t - 0.35, 0.003, 0.18) * 0.3;
    return chord + ice;
  });
  Stereo s = Centre(m);
  Reverb(s, 0.7, 0.2, 0.3, 0.3);
  return s;
}

// Pushing the others away: a heavy "whomp" of air.
Stereo Repeller() {
  const double len = 0.5;
  Osc body(Osc::kSine), harm(Osc::kTriangle);
  Noise nz(101);
  Biquad bp;
  Mono m = Render(len, [&](double t) {
    double f = Glide(t, 190, 55, 0.08);
    double x = body.Next(f) * AttackDecay(t, 0.004, 0.14) +
               harm.Next(f * 2) * AttackDecay(t, 0.004, 0.05) * 0.3;
    bp.BandPass(Sweep(t, 400, 1800, 0.25), 1.2);
    double whoosh = bp.Process(nz.White()) * AttackDecay(t, 0.03, 0.12) * 1.2;
    return std::tanh((x + whoosh) * 1.4);
  });
  Stereo s = Centre(m);
  Reverb(s, 0.5, 0.5, 0.2, 0.2);
  return s;
}

// Circling fires: flames roaring round the worm, panning in a circle.
Stereo Infernal() {
  const double len = 0.95;
  Noise nz(111), cr(112);
  Biquad lp, lp2;
  Biquad crHp;
  crHp.HighPass(2500, 0.7);
  double pop = 0;
  Stereo s(Samples(len));
  for (size_t i = 0; i < s.size(); ++i) {
    double t = double(i) / kRate;
    lp.LowPass(700 + 500 * std::sin(kTwoPi * 5 * t), 1.1);
    lp2.LowPass(2500, 0.7);
    double roar = lp.Process(nz.White()) * 2.2 + lp2.Process(nz.White()) * 0.25;
    if (cr.White() > 0.993) pop = cr.White();
    pop *= 0.9;
    double x = (roar + crHp.Process(pop) * 1.5) * AttackRelease(t, 0.08, len, 0.3);
    double angle = kTwoPi * 2.2 * t;  // two turns and a bit
    double pan = std::sin(angle);
    double a = (pan + 1.0) * kPi / 4.0;
    s.l[i] = static_cast<float>(x * std::cos(a) * 1.3);
    s.r[i] = static_cast<float>(x * std::sin(a) * 1.3);
  }
  Reverb(s, 0.4, 0.5, 0.2, 0.2);
  return s;
}

// The thick blob: a squelchy "gloop".
Stereo Thick() {
  const double len = 0.42;
  Osc o(Osc::kSaw), sub(Osc::kSine);
  Biquad lp;
  Mono m = Render(len, [&](double t) {
    double u = t / len;
    double f = 90 + 140 * std::sin(kPi * std::min(1.0, u * 1.6));
    lp.LowPass(250 + 1500 * std::sin(kPi * u), 6.0);
    double x = lp.Process(o.Next(f)) * 0.5 + sub.Next(f * 0.5) * 0.6;
    return x * AttackRelease(t, 0.01, len, 0.12);
  });
  return Centre(m);
}

// ---- explosions and death ------------------------------------------------------------

Stereo Atomovka() {
  Blast b{4.2, 0.9, 0.7, 6000, 90, 0.5, 70, 24, 0.9, 1.0, 1.0, 1.6, 1.6, 1201};
  Stereo s = MakeBlast(b);
  Reverb(s, 0.9, 0.6, 0.35, 0.8);
  Fade(s, 0, 1.2);
  return s;
}

Stereo RocketBoom() {
  Blast b{1.3, 0.8, 0.28, 5000, 180, 0.18, 110, 38, 0.25, 0.9, 0.35, 0.35, 1.4, 1301};
  Stereo s = MakeBlast(b);
  Reverb(s, 0.6, 0.5, 0.25, 0.3);
  return s;
}

Stereo Bomb() {
  Blast b{0.9, 0.7, 0.18, 3500, 220, 0.12, 130, 45, 0.16, 0.9, 0.2, 0.2, 1.8, 1401};
  Stereo s = MakeBlast(b);
  Reverb(s, 0.45, 0.5, 0.2, 0.2);
  return s;
}

// A worm dies: a crunching impact and a distorted groan falling away.
Stereo Death() {
  const double len = 0.95;
  Noise nz(151);
  Biquad lp, wah;
  Osc saw(Osc::kSaw), saw2(Osc::kSaw), thump(Osc::kSine);
  Mono m = Render(len, [&](double t) {
    double u = t / len;
    lp.LowPass(Glide(t, 7000, 300, 0.07), 0.8);
    double crunch = lp.Process(nz.White()) * AttackDecay(t, 0.001, 0.09) * 1.6;
    double f = Sweep(t, 380, 38, len * 0.9);
    wah.LowPass(300 + 2200 * (0.5 + 0.5 * std::sin(kTwoPi * 6 * t)) * (1 - u), 5);
    double groan =
        wah.Process(saw.Next(f) + saw2.Next(f * 1.02)) * AttackRelease(t, 0.02, len, 0.35) * 0.6;
    double th = thump.Next(Glide(t, 120, 45, 0.05)) * AttackDecay(t, 0.001, 0.08);
    return std::tanh((crunch + groan + th) * 2.0) * 0.8;
  });
  Stereo s = Centre(m);
  Reverb(s, 0.45, 0.5, 0.18, 0.25);
  return s;
}

// ---- bonuses -------------------------------------------------------------------------

// A bonus appears: a bright two-bell chime.
Stereo Bonus() {
  auto bell = [](double hz, double len) {
    Osc car(Osc::kSine), mod(Osc::kSine);
    return Render(len, [&](double t) {
      double index = 3.0 * std::exp(-t / 0.15);
      double x = car.Next(hz + mod.Next(hz * 3.5) * hz * index);
      return x * AttackDecay(t, 0.002, 0.22);
    });
  };
  Mono m = bell(MidiToHz(88), 0.6);
  Mix(m, bell(MidiToHz(95), 0.6), 0.8, Samples(0.08));
  Stereo s = Centre(m);
  Reverb(s, 0.6, 0.3, 0.3, 0.3);
  return s;
}

// Cherry eaten: the classic coin pick-up, two quick notes.
Stereo Ceresna() {
  Mono m = Blip(Osc::kSquare, MidiToHz(83), MidiToHz(83), 1, 0.07, 0.5, 6000);
  Mix(m, Blip(Osc::kSquare, MidiToHz(88), MidiToHz(88), 1, 0.3, 0.12, 6000), 1.0, Samples(0.065));
  return Centre(m);
}

// Heart taken: two heartbeats under a warm rising arpeggio.
Stereo Srdce() {
  Mono m;
  static constexpr std::array<double, 4> kNotes = {72, 76, 79, 84};
  for (size_t i = 0; i < kNotes.size(); ++i) {
    double f = MidiToHz(kNotes[i]);
    Osc tri(Osc::kTriangle), sine(Osc::kSine), vib(Osc::kSine);
    double len = i + 1 == kNotes.size() ? 0.45 : 0.12;
    Mono n = Render(len, [&](double t) {
      double v = 1 + 0.006 * vib.Next(5.5) * std::min(1.0, t / 0.15);
      return (tri.Next(f * v) * 0.6 + sine.Next(f * 2 * v) * 0.25) * AttackDecay(t, 0.005, 0.25) *
             AttackRelease(t, 0, len, 0.03);
    });
    Mix(m, n, 0.7, Samples(0.085 * double(i)));
  }
  for (double at : {0.0, 0.16}) {
    Osc beat(Osc::kSine);
    Mono b = Render(0.12, [&](double t) {
      return beat.Next(Glide(t, 90, 50, 0.03)) * AttackDecay(t, 0.003, 0.04);
    });
    Mix(m, b, 0.9, Samples(at));
  }
  Stereo s = Centre(m);
  Reverb(s, 0.5, 0.4, 0.2, 0.25);
  return s;
}

// Poison: a sickly, dissonant wobble sinking down with a gurgle.
Stereo Poison() {
  const double len = 0.8;
  Osc a(Osc::kSaw), b(Osc::kSaw), lfo(Osc::kSine);
  Noise nz(161);
  Biquad lp, gurgle;
  Mono m = Render(len, [&](double t) {
    double f = Sweep(t, 420, 140, len) * (1 + 0.05 * lfo.Next(7));
    lp.LowPass(2500 - 1800 * t / len, 2);
    double tone = lp.Process(a.Next(f) + b.Next(f * 1.06)) * 0.45;
    gurgle.BandPass(300 + 200 * std::sin(kTwoPi * 11 * t), 8);
    double g = gurgle.Process(nz.White()) * 1.5;
    return (tone + g) * AttackRelease(t, 0.02, len, 0.2);
  });
  Stereo s = Centre(m);
  Chorus(s, 9, 4, 1.5, 0.5);
  return s;
}

// Faster: a rising zoom; slower: a falling one with a tremolo that winds down.
Stereo Zoom(bool up) {
  const double len = up ? 0.5 : 0.65;
  Osc saw(Osc::kSaw), trem(Osc::kSine);
  Biquad lp;
  Mono m = Render(len, [&](double t) {
    double u = t / len;
    double f = up ? Sweep(t, 180, 1500, len) : Sweep(t, 1500, 150, len);
    lp.LowPass(up ? 800 + 6000 * u : 6800 - 6000 * u, 3);
    double rate = up ? 8 + 30 * u : 30 - 24 * u;
    double x = lp.Process(saw.Next(f)) * (0.7 + 0.3 * trem.Next(rate));
    return x * AttackRelease(t, 0.02, len, 0.08);
  });
  Stereo s = Centre(m);
  Echo(s, 0.07, 0.3, 0.35, true, 0.12);
  return s;
}
Stereo Faster() { return Zoom(true); }
Stereo Slower() { return Zoom(false); }

// The digger: a motor revving up and grinding through the arena.
Stereo Digger() {
  const double len = 1.0;
  Osc saw(Osc::kSaw), saw2(Osc::kSaw), piston(Osc::kSine);
  Noise nz(171);
  Biquad lp, grind;
  Mono m = Render(len, [&](double t) {
    double rev = Glide(t, 45, 75, 0.15);
    lp.LowPass(900, 1.5);
    double motor = lp.Process(saw.Next(rev) + saw2.Next(rev * 2.01) * 0.5) *
                   (0.6 + 0.4 * piston.Next(rev / 3));
    grind.BandPass(800 + 300 * std::sin(kTwoPi * 13 * t), 2.5);
    double gr =
        grind.Process(nz.White()) * (0.6 + 0.4 * std::fabs(std::sin(kTwoPi * 17 * t))) * 1.2;
    return std::tanh((motor + gr) * 1.6) * AttackRelease(t, 0.05, len, 0.2);
  });
  return Centre(m);
}

// A wall across the arena: bricks clacking into place over a rising tone.
Stereo Xonix() {
  const double len = 0.85;
  Mono m(Samples(len), 0.0f);
  for (int k = 0; k < 14; ++k) {
    Noise nz(180 + k);
    Biquad bp;
    bp.BandPass(1300 + 60 * k, 5);
    Osc th(Osc::kSine);
    Mono clack = Render(0.06, [&](double t) {
      return bp.Process(nz.White()) * std::exp(-t / 0.008) * 2.5 +
             th.Next(160) * std::exp(-t / 0.015) * 0.5;
    });
    Mix(m, clack, 0.8, Samples(0.045 * k));
  }
  Osc sq(Osc::kSquare, 0, 0.5);
  Biquad lp;
  lp.LowPass(2500, 0.8);
  for (size_t i = 0; i < m.size(); ++i) {
    double t = double(i) / kRate;
    double f = Sweep(t, 220, 880, 0.65);
    m[i] += static_cast<float>(lp.Process(sq.Next(f)) * 0.22 * AttackRelease(t, 0.02, len, 0.2));
  }
  Stereo s = Centre(m);
  Reverb(s, 0.4, 0.5, 0.18, 0.15);
  return s;
}

// A bomb swallowed: a gulp, then a fizzing fuse over an ominous low note.
Stereo BombEaten() {
  const double len = 0.75;
  Osc gulp(Osc::kSine), low(Osc::kSaw);
  Noise nz(191);
  Biquad hp, lp;
  hp.HighPass(4000, 0.7);
  lp.LowPass(600, 1);
  Mono m = Render(len, [&](double t) {
    double gf = t < 0.08 ? Sweep(t, 320, 110, 0.08) : Sweep(t - 0.08, 110, 240, 0.06);
    double g = gulp.Next(gf) * AttackRelease(t, 0.005, 0.16, 0.03) * 0.9;
    double fizz = hp.Process(nz.White()) * (0.6 + 0.4 * std::sin(kTwoPi * 23 * t)) *
                  AttackRelease(t - 0.15, 0.02, 0.6, 0.2);
    double omen =
        lp.Process(low.Next(MidiToHz(38))) * AttackRelease(t - 0.12, 0.05, 0.63, 0.25) * 0.7;
    return g + fizz * 0.5 + omen;
  });
  return Centre(m);
}

}  // namespace

const std::vector<EffectRecipe>& Effects() {
  static const std::vector<EffectRecipe> kEffects = {
      {"reverser.mp3", Reverser, 0.80},
      {"fireball.mp3", Fireball, 0.85},
      {"laser.mp3", Laser, 0.75},
      {"multiplier.mp3", Multiplier, 0.75},
      {"viruses.mp3", Viruses, 0.75},
      {"rocket.mp3", Rocket, 0.85},
      {"atomicalarm.mp3", AtomicAlarm, 0.80},
      {"erekcia.mp3", Erekcia, 0.70},
      {"teleport.mp3", Teleport, 0.75},
      {"gulomet.mp3", Gulomet, 0.85},
      {"traveller.mp3", Traveller, 0.75},
      {"speeder.mp3", Speeder, 0.80},
      {"pause.mp3", Pause, 0.75},
      {"repeller.mp3", Repeller, 0.85},
      {"infernal.mp3", Infernal, 0.85},
      {"thick.mp3", Thick, 0.80},
      {"atomovka.mp3", Atomovka, 0.95},
      {"rocketboom.mp3", RocketBoom, 0.90},
      {"death.mp3", Death, 0.90},
      {"bonus.mp3", Bonus, 0.70},
      {"ceresna.mp3", Ceresna, 0.65},
      {"bombeaten.mp3", BombEaten, 0.80},
      {"srdce.mp3", Srdce, 0.75},
      {"poison.mp3", Poison, 0.80},
      {"faster.mp3", Faster, 0.75},
      {"slower.mp3", Slower, 0.75},
      {"digger.mp3", Digger, 0.80},
      {"xonix.mp3", Xonix, 0.80},
      {"menuclick.mp3", MenuClick, 0.60},
      {"key.mp3", Key, 0.60},
      {"on.mp3", On, 0.55},
      {"off.mp3", Off, 0.55},
      {"crowd.mp3", Crowd, 0.85},
      {"bomb.mp3", Bomb, 0.85},
  };
  return kEffects;
}

}  // namespace tdx::datagen
