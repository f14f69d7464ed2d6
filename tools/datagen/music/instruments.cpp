#include "instruments.h"

#include <algorithm>
#include <array>
#include <complex>

namespace tdx::datagen::music {

namespace {

template <class F>
Voice OneShot(const std::string& name, int rate, double seconds, F&& f) {
  Voice v;
  v.name = name;
  v.rate = rate;
  v.pcm.resize(Samples(seconds, rate));
  for (size_t i = 0; i < v.pcm.size(); ++i) v.pcm[i] = static_cast<float>(f(double(i) / rate));
  return v;
}

void NormalizeMono(Mono& m, double peak) {
  double p = 0;
  for (float x : m) p = std::max(p, double(std::fabs(x)));
  if (p < 1e-9) return;
  for (float& x : m) x = static_cast<float>(x * peak / p);
}

// The six square oscillators of a classic analogue hi-hat, tuned inharmonically.
double Metal(std::array<Osc, 6>& osc, int rate, double scale) {
  static constexpr std::array<double, 6> kHz = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
  double x = 0;
  for (size_t i = 0; i < osc.size(); ++i) x += osc[i].Next(kHz[i] * scale, rate);
  return x / 6.0;
}

std::array<Osc, 6> MetalBank() {
  return {Osc(Osc::kSquare, 0.1), Osc(Osc::kSquare, 0.3), Osc(Osc::kSquare, 0.7),
          Osc(Osc::kSquare, 0.2), Osc(Osc::kSquare, 0.9), Osc(Osc::kSquare, 0.5)};
}

double HarmonicAmp(Wave w, int h, double hz) {
  switch (w) {
    case Wave::kSaw: return 1.0 / h;
    case Wave::kSquare: return h % 2 ? 1.0 / h : 0.0;
    case Wave::kPulse25: return std::sin(kPi * h * 0.25) / h;
    case Wave::kTriangle: return h % 2 ? ((h / 2) % 2 ? -1.0 : 1.0) / (double(h) * h) : 0.0;
    case Wave::kSine: return h == 1 ? 1.0 : 0.0;
    case Wave::kOrgan: {
      switch (h) {
        case 1: return 1.0;
        case 2: return 0.7;
        case 3: return 0.45;
        case 4: return 0.3;
        case 6: return 0.15;
        case 8: return 0.12;
        default: return 0.0;
      }
    }
    case Wave::kVocal: {
      // A sawtooth through the formants of an open "ah".
      double f = h * hz;
      auto bump = [&](double centre, double width, double gain) {
        double d = (f - centre) / width;
        return gain / (1.0 + d * d);
      };
      return (0.15 + bump(700, 130, 1.0) + bump(1150, 150, 0.6) + bump(2600, 250, 0.25)) / h;
    }
  }
  return 0.0;
}

}  // namespace

Voice Kick(int rate, double startHz, double endHz, double decay, uint64_t seed) {
  Osc body(Osc::kSine);
  Noise nz(seed);
  Biquad lp;
  lp.LowPass(6000, 0.7, rate);
  double len = std::min(0.5, decay * 3.0);
  Voice v = OneShot("kick", rate, len, [&](double t) {
    double f = Glide(t, startHz, endHz, 0.032);
    double x = body.Next(f, rate) * AttackDecay(t, 0.0005, decay);
    x += lp.Process(nz.White()) * std::exp(-t / 0.0015) * 0.35;
    return std::tanh(x * 1.6) * AttackRelease(t, 0, len, 0.02);
  });
  NormalizeMono(v.pcm, 0.98);
  return v;
}

Voice Snare(int rate, double toneHz, double snap, uint64_t seed) {
  Osc a(Osc::kSine), b(Osc::kSine);
  Noise nz(seed);
  Biquad bp, hp;
  bp.BandPass(3500, 0.6, rate);
  hp.HighPass(1800, 0.7, rate);
  Voice v = OneShot("snare", rate, 0.34, [&](double t) {
    double tone =
        a.Next(toneHz * (1 + 0.3 * std::exp(-t / 0.01)), rate) * std::exp(-t / 0.055) * 0.6 +
        b.Next(toneHz * 1.83, rate) * std::exp(-t / 0.035) * 0.3;
    double w = nz.White();
    double rattle =
        (bp.Process(w) * 0.8 + hp.Process(w) * 0.5) * AttackDecay(t, 0.001, 0.06 + 0.09 * snap);
    return std::tanh((tone + rattle * 1.4) * 1.3) * AttackRelease(t, 0, 0.34, 0.03);
  });
  NormalizeMono(v.pcm, 0.98);
  return v;
}

Voice Clap(int rate, uint64_t seed) {
  Noise nz(seed);
  Biquad bp;
  bp.BandPass(1300, 1.1, rate);
  Voice v = OneShot("clap", rate, 0.32, [&](double t) {
    double env = 0;
    for (double at : {0.0, 0.011, 0.023})
      env = std::max(env, t >= at ? std::exp(-(t - at) / 0.004) : 0.0);
    env = std::max(env, t >= 0.034 ? std::exp(-(t - 0.034) / 0.085) * 0.8 : 0.0);
    return bp.Process(nz.White()) * env * AttackRelease(t, 0, 0.32, 0.03);
  });
  NormalizeMono(v.pcm, 0.98);
  v.name = "clap";
  return v;
}

Voice HiHat(int rate, double decay, uint64_t seed) {
  auto bank = MetalBank();
  Noise nz(seed);
  Biquad hp, hp2, bp;
  hp.HighPass(7000, 0.7, rate);
  hp2.HighPass(8000, 0.7, rate);
  bp.BandPass(std::min(10000.0, rate * 0.4), 1.0, rate);
  double len = std::min(0.6, decay * 5.0 + 0.01);
  Voice v = OneShot(decay > 0.1 ? "open hat" : "closed hat", rate, len, [&](double t) {
    double metal = bp.Process(hp.Process(Metal(bank, rate, 1.7)));
    double air = hp2.Process(nz.White()) * 0.5;
    return (metal * 1.5 + air) * AttackDecay(t, 0.0005, decay) * AttackRelease(t, 0, len, 0.01);
  });
  NormalizeMono(v.pcm, 0.98);
  return v;
}

Voice Crash(int rate, uint64_t seed) {
  auto bank = MetalBank(), bank2 = MetalBank();
  Noise nz(seed);
  Biquad hp, hp2;
  hp.HighPass(4000, 0.7, rate);
  hp2.HighPass(5000, 0.7, rate);
  Voice v = OneShot("crash", rate, 1.3, [&](double t) {
    double metal = hp.Process(Metal(bank, rate, 2.3) + Metal(bank2, rate, 3.1));
    double air = hp2.Process(nz.White());
    return (metal + air * 0.8) * AttackDecay(t, 0.002, 0.42) * AttackRelease(t, 0, 1.3, 0.2);
  });
  NormalizeMono(v.pcm, 0.98);
  return v;
}

Voice LoopVoice(const std::string& name, int rate, double rootMidi, const LoopShape& shape,
                uint64_t seed) {
  // The loop holds whole cycles of every layer, so it repeats without a seam; the layers
  // differ by one cycle per loop and so beat once per loop.
  size_t length = Samples(shape.seconds, rate) & ~size_t(1);  // even, as MOD loops need
  double target = MidiToHz(rootMidi);
  long cycles = std::max(3L, std::lround(target * double(length) / rate));
  static constexpr std::array<int, 5> kOffsets = {0, 1, -1, 2, -2};
  Rng rng(seed);
  std::vector<double> acc(length, 0.0);
  int layers = std::clamp(shape.layers, 1, 5);
  for (int j = 0; j < layers; ++j) {
    long k = cycles + kOffsets[static_cast<size_t>(j)];
    double hz = double(rate) * k / double(length);
    double shift = rng.Unit();  // a time shift of the layer (keeps its wave shape)
    for (int h = 1; h * hz < 0.45 * rate; ++h) {
      double a = HarmonicAmp(shape.wave, h, hz);
      if (h == 1) a += shape.subLevel;
      double g = 1.0 / std::sqrt(1.0 + std::pow(h * hz / shape.cutoffHz, 2.0 * shape.slope));
      a *= g;
      if (std::fabs(a) < 1e-4) continue;
      double w = kTwoPi * h * double(k) / double(length);
      std::complex<double> z = std::polar(a, kTwoPi * h * shift), step = std::polar(1.0, w);
      for (size_t n = 0; n < length; ++n) {
        acc[n] += z.imag();
        z *= step;
      }
    }
  }
  Voice v;
  v.name = name;
  v.rate = rate;
  v.rootMidi = 69.0 + 12.0 * std::log2((double(rate) * cycles / double(length)) / 440.0);
  v.pcm.assign(acc.begin(), acc.end());
  NormalizeMono(v.pcm, 0.98);
  v.loopStart = 0;
  v.loopLength = length;
  return v;
}

Voice Bell(const std::string& name, int rate, double rootMidi, double seconds, double brightness) {
  double f = MidiToHz(rootMidi);
  Voice v = OneShot(name, rate, seconds, [&](double t) {
    double index = brightness * std::exp(-t / 0.45);
    double x = std::sin(kTwoPi * f * t + index * std::sin(kTwoPi * f * t));
    double tine =
        7.0 * f < 0.45 * rate ? std::sin(kTwoPi * 7.0 * f * t) * std::exp(-t / 0.025) * 0.25 : 0.0;
    return (x + tine) * AttackDecay(t, 0.002, seconds * 0.35) * AttackRelease(t, 0, seconds, 0.1);
  });
  NormalizeMono(v.pcm, 0.98);
  v.rootMidi = rootMidi;
  return v;
}

tracker::XmSample ToXmSample(const Voice& v, uint8_t volume) {
  tracker::XmSample s;
  s.name = v.name;
  s.sixteenBit = true;
  s.data.reserve(v.pcm.size());
  for (float x : v.pcm)
    s.data.push_back(static_cast<int16_t>(std::clamp(std::lround(x * 32767.0), -32768L, 32767L)));
  if (v.loopLength > 0) {
    s.loop = tracker::Loop::kForward;
    s.loopStart = static_cast<uint32_t>(v.loopStart);
    s.loopLength = static_cast<uint32_t>(v.loopLength);
  }
  s.volume = volume;
  // C-4 with no relative note plays at 8363 Hz; shift so that C-4 sounds MIDI 60.
  double t = 12.0 * std::log2(v.rate / 8363.0) + 60.0 - v.rootMidi;
  long rel = std::lround(t);
  s.relativeNote = static_cast<int8_t>(rel);
  s.finetune = static_cast<int8_t>(std::clamp(std::lround((t - double(rel)) * 128.0), -128L, 127L));
  return s;
}

tracker::ModSample ToModSample(const Voice& v, uint8_t volume, int& baseMidi) {
  tracker::ModSample s;
  s.name = v.name;
  s.volume = volume;
  s.data.reserve(v.pcm.size() + 2);
  for (float x : v.pcm)
    s.data.push_back(static_cast<int8_t>(std::clamp(std::lround(x * 127.0), -128L, 127L)));
  if (v.loopLength > 0) {
    s.loopStart = static_cast<uint32_t>(v.loopStart);
    s.loopLength = static_cast<uint32_t>(v.loopLength);
  } else if (s.data.size() >= 2) {
    // Old players repeat the first word of a one-shot sample: keep it silent.
    s.data[0] = s.data[1] = 0;
  }
  if (s.data.size() % 2) s.data.push_back(0);
  // Period 856 (C-1) plays at 3546895 / 856 Hz.
  double base = v.rootMidi + 12.0 * std::log2((3546895.0 / 856.0) / v.rate);
  baseMidi = static_cast<int>(std::lround(base));
  s.finetune = static_cast<int8_t>(std::clamp(std::lround((baseMidi - base) * 8.0), -8L, 7L));
  return s;
}

}  // namespace tdx::datagen::music
