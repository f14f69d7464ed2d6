// Small signal-processing kit for the data tools: oscillators, noise, filters, envelopes,
// echo, reverb, compression and resampling. Everything is deterministic (fixed seeds, no
// clock), so the generated sounds and instruments are the same bytes on every build.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tdx::datagen {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

using Mono = std::vector<float>;

struct Stereo {
  Mono l, r;
  Stereo() = default;
  explicit Stereo(size_t n) : l(n, 0.0f), r(n, 0.0f) {}
  size_t size() const { return l.size(); }
  void resize(size_t n) {
    l.resize(n, 0.0f);
    r.resize(n, 0.0f);
  }
};

// The data tools' own generator (xorshift64*): independent of the game's, so changing
// the game's random numbers never changes the data set.
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {
    if (s_ == 0) s_ = 1;
  }
  uint64_t Next() {
    s_ ^= s_ >> 12;
    s_ ^= s_ << 25;
    s_ ^= s_ >> 27;
    return s_ * 0x2545F4914F6CDD1Dull;
  }
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Bipolar() { return Unit() * 2.0 - 1.0; }
  double Range(double a, double b) { return a + (b - a) * Unit(); }
  int Below(int n) {
    return n <= 0 ? 0 : static_cast<int>((Next() >> 11) % static_cast<uint64_t>(n));
  }
  bool Chance(double p) { return Unit() < p; }

 private:
  uint64_t s_;
};

inline size_t Samples(double seconds, int rate = kRate) {
  return seconds <= 0 ? 0 : static_cast<size_t>(std::lround(seconds * rate));
}
inline double DbToGain(double db) { return std::pow(10.0, db / 20.0); }
inline double MidiToHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

// ---- oscillators ---------------------------------------------------------------------
// A phase accumulator; the band-limited shapes use polyBLEP so fast sweeps stay clean.
class Osc {
 public:
  enum Shape { kSine, kSaw, kSquare, kTriangle };
  explicit Osc(Shape shape = kSine, double phase = 0.0, double pulseWidth = 0.5)
      : shape_(shape), phase_(phase), width_(pulseWidth) {}
  void SetWidth(double w) { width_ = w; }
  double Next(double hz, int rate = kRate);
  double phase() const { return phase_; }

 private:
  Shape shape_;
  double phase_;
  double width_;
};

// ---- noise ---------------------------------------------------------------------------
class Noise {
 public:
  explicit Noise(uint64_t seed) : rng_(seed) {}
  double White() { return rng_.Bipolar(); }
  // Pink-ish (Paul Kellet's economy filter).
  double Pink();
  // Brown (integrated white, leaky).
  double Brown();

 private:
  Rng rng_;
  double b0_ = 0, b1_ = 0, b2_ = 0, brown_ = 0;
};

// ---- filters -------------------------------------------------------------------------
// RBJ biquad; coefficients may be changed every sample for sweeps.
class Biquad {
 public:
  void LowPass(double hz, double q, int rate = kRate);
  void HighPass(double hz, double q, int rate = kRate);
  void BandPass(double hz, double q, int rate = kRate);  // 0 dB peak gain
  void Peak(double hz, double q, double gainDb, int rate = kRate);
  void LowShelf(double hz, double gainDb, int rate = kRate);
  void HighShelf(double hz, double gainDb, int rate = kRate);
  void AllPass(double hz, double q, int rate = kRate);
  double Process(double x) {
    double y = b0_ * x + z1_;
    z1_ = b1_ * x - a1_ * y + z2_;
    z2_ = b2_ * x - a2_ * y;
    return y;
  }
  void Reset() { z1_ = z2_ = 0; }

 private:
  void Set(double b0, double b1, double b2, double a0, double a1, double a2);
  double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  double z1_ = 0, z2_ = 0;
};

class OnePole {
 public:
  void LowPass(double hz, int rate = kRate) { a_ = std::exp(-kTwoPi * hz / rate); }
  double Low(double x) { return y_ = x + a_ * (y_ - x); }
  double High(double x) { return x - Low(x); }

 private:
  double a_ = 0, y_ = 0;
};

// ---- envelopes -----------------------------------------------------------------------
// Linear attack to 1, exponential decay with time constant tau (seconds).
inline double AttackDecay(double t, double attack, double tau) {
  if (t < 0) return 0;
  if (t < attack) return t / attack;
  return std::exp(-(t - attack) / tau);
}
// Attack, hold at 1, then a linear release to 0 ending at `length`.
inline double AttackRelease(double t, double attack, double length, double release) {
  if (t < 0 || t >= length) return 0;
  double a = attack > 0 && t < attack ? t / attack : 1.0;
  double r = t > length - release ? (length - t) / release : 1.0;
  return a * r;
}
// Exponential glide from a to b with time constant tau.
inline double Glide(double t, double a, double b, double tau) {
  return b + (a - b) * std::exp(-t / tau);
}
// Geometric sweep from a to b over `length` seconds (held after).
inline double Sweep(double t, double a, double b, double length) {
  double u = t <= 0 ? 0 : (t >= length ? 1 : t / length);
  return a * std::pow(b / a, u);
}

// ---- buffers and effects -------------------------------------------------------------
void Mix(Mono& dst, const Mono& src, double gain, size_t offset = 0);
void Mix(Stereo& dst, const Stereo& src, double gain, size_t offset = 0);
// A mono signal placed in the stereo field, pan -1 (left) .. 1 (right), equal power.
Stereo Pan(const Mono& m, double pan);
void Fade(Mono& m, double inSeconds, double outSeconds);
void Fade(Stereo& s, double inSeconds, double outSeconds);
// Scales so the larger channel peak is `peak`; silent buffers are left alone.
void Normalize(Stereo& s, double peak);
double Peak(const Stereo& s);
double Rms(const Stereo& s);
// Soft saturation: tanh with the given drive, gain-compensated at small levels.
void Saturate(Mono& m, double drive);
// Cuts leading and trailing parts quieter than threshold, keeping `pad` seconds around.
void Trim(Mono& m, double threshold, double padStart, double padEnd);

// Feed-forward compressor on the stereo-linked level (threshold in dBFS).
void Compress(Stereo& s, double thresholdDb, double ratio, double attackMs, double releaseMs,
              double makeupDb);
// Stereo feedback echo; `pingPong` alternates the repeats between the sides.
void Echo(Stereo& s, double delaySeconds, double feedback, double wet, bool pingPong, double tail);
// Chorus: two modulated delayed copies, one each side.
void Chorus(Stereo& s, double baseMs, double depthMs, double rateHz, double wet);
// Schroeder/Freeverb-style room: 8 combs and 4 all-passes per side.
void Reverb(Stereo& s, double roomSize, double damping, double wet, double tailSeconds);

// Windowed-sinc resampling (band-limited for downsampling).
Mono Resample(const Mono& in, int fromRate, int toRate);

}  // namespace tdx::datagen
