#include "dsp.h"

#include <algorithm>
#include <array>

namespace tdx::datagen {

namespace {

double PolyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

}  // namespace

double Osc::Next(double hz, int rate) {
  double dt = std::clamp(hz / rate, 0.0, 0.5);
  double t = phase_;
  double out = 0.0;
  switch (shape_) {
    case kSine: out = std::sin(kTwoPi * t); break;
    case kSaw: out = 2.0 * t - 1.0 - PolyBlep(t, dt); break;
    case kSquare: {
      out = t < width_ ? 1.0 : -1.0;
      out += PolyBlep(t, dt);
      double t2 = t - width_ + (t < width_ ? 1.0 : 0.0);
      out -= PolyBlep(t2, dt);
      break;
    }
    case kTriangle:
      // Its harmonics fall off fast enough that the plain shape does not alias audibly.
      out = 1.0 - 4.0 * std::fabs(t - 0.5);
      break;
  }
  phase_ += dt;
  if (phase_ >= 1.0) phase_ -= std::floor(phase_);
  return out;
}

double Noise::Pink() {
  double w = rng_.Bipolar();
  b0_ = 0.99765 * b0_ + w * 0.0990460;
  b1_ = 0.96300 * b1_ + w * 0.2965164;
  b2_ = 0.57000 * b2_ + w * 1.0526913;
  return (b0_ + b1_ + b2_ + w * 0.1848) * 0.25;
}

double Noise::Brown() {
  brown_ = brown_ * 0.998 + rng_.Bipolar() * 0.06;
  return brown_;
}

void Biquad::Set(double b0, double b1, double b2, double a0, double a1, double a2) {
  b0_ = b0 / a0;
  b1_ = b1 / a0;
  b2_ = b2 / a0;
  a1_ = a1 / a0;
  a2_ = a2 / a0;
}

void Biquad::LowPass(double hz, double q, int rate) {
  double w = kTwoPi * std::clamp(hz, 5.0, rate * 0.49) / rate;
  double c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
  Set((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

void Biquad::HighPass(double hz, double q, int rate) {
  double w = kTwoPi * std::clamp(hz, 5.0, rate * 0.49) / rate;
  double c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
  Set((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

void Biquad::BandPass(double hz, double q, int rate) {
  double w = kTwoPi * std::clamp(hz, 5.0, rate * 0.49) / rate;
  double c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
  Set(alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha);
}

void Biquad::Peak(double hz, double q, double gainDb, int rate) {
  double a = std::pow(10.0, gainDb / 40.0);
  double w = kTwoPi * std::clamp(hz, 5.0, rate * 0.49) / rate;
  double c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
  Set(1 + alpha * a, -2 * c, 1 - alpha * a, 1 + alpha / a, -2 * c, 1 - alpha / a);
}

void Biquad::LowShelf(double hz, double gainDb, int rate) {
  double a = std::pow(10.0, gainDb / 40.0);
  double w = kTwoPi * std::clamp(hz, 5.0, rate * 0.49) / rate;
  double c = std::cos(w), alpha = std::sin(w) / 2.0 * std::sqrt(2.0);
  double sa = 2 * std::sqrt(a) * alpha;
  Set(a * ((a + 1) - (a - 1) * c + sa), 2 * a * ((a - 1) - (a + 1) * c),
      a * ((a + 1) - (a - 1) * c - sa), (a + 1) + (a - 1) * c + sa, -2 * ((a - 1) + (a + 1) * c),
      (a + 1) + (a - 1) * c - sa);
}

void Biquad::HighShelf(double hz, double gainDb, int rate) {
  double a = std::pow(10.0, gainDb / 40.0);
  double w = kTwoPi * std::clamp(hz, 5.0, rate * 0.49) / rate;
  double c = std::cos(w), alpha = std::sin(w) / 2.0 * std::sqrt(2.0);
  double sa = 2 * std::sqrt(a) * alpha;
  Set(a * ((a + 1) + (a - 1) * c + sa), -2 * a * ((a - 1) + (a + 1) * c),
      a * ((a + 1) + (a - 1) * c - sa), (a + 1) - (a - 1) * c + sa, 2 * ((a - 1) - (a + 1) * c),
      (a + 1) - (a - 1) * c - sa);
}

void Biquad::AllPass(double hz, double q, int rate) {
  double w = kTwoPi * std::clamp(hz, 5.0, rate * 0.49) / rate;
  double c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
  Set(1 - alpha, -2 * c, 1 + alpha, 1 + alpha, -2 * c, 1 - alpha);
}

void Mix(Mono& dst, const Mono& src, double gain, size_t offset) {
  if (dst.size() < offset + src.size()) dst.resize(offset + src.size(), 0.0f);
  for (size_t i = 0; i < src.size(); ++i) dst[offset + i] += static_cast<float>(src[i] * gain);
}

void Mix(Stereo& dst, const Stereo& src, double gain, size_t offset) {
  Mix(dst.l, src.l, gain, offset);
  Mix(dst.r, src.r, gain, offset);
}

Stereo Pan(const Mono& m, double pan) {
  double a = (std::clamp(pan, -1.0, 1.0) + 1.0) * kPi / 4.0;
  double gl = std::cos(a) * std::sqrt(2.0), gr = std::sin(a) * std::sqrt(2.0);
  Stereo s(m.size());
  for (size_t i = 0; i < m.size(); ++i) {
    s.l[i] = static_cast<float>(m[i] * gl);
    s.r[i] = static_cast<float>(m[i] * gr);
  }
  return s;
}

void Fade(Mono& m, double inSeconds, double outSeconds) {
  size_t n = m.size(), in = std::min(n, Samples(inSeconds)), out = std::min(n, Samples(outSeconds));
  for (size_t i = 0; i < in; ++i) m[i] *= static_cast<float>(double(i) / in);
  for (size_t i = 0; i < out; ++i) m[n - 1 - i] *= static_cast<float>(double(i) / out);
}

void Fade(Stereo& s, double inSeconds, double outSeconds) {
  Fade(s.l, inSeconds, outSeconds);
  Fade(s.r, inSeconds, outSeconds);
}

double Peak(const Stereo& s) {
  double p = 0;
  for (size_t i = 0; i < s.size(); ++i)
    p = std::max({p, double(std::fabs(s.l[i])), double(std::fabs(s.r[i]))});
  return p;
}

double Rms(const Stereo& s) {
  if (s.size() == 0) return 0;
  double sum = 0;
  for (size_t i = 0; i < s.size(); ++i) sum += double(s.l[i]) * s.l[i] + double(s.r[i]) * s.r[i];
  return std::sqrt(sum / (2.0 * s.size()));
}

void Normalize(Stereo& s, double peak) {
  double p = Peak(s);
  if (p < 1e-9) return;
  float g = static_cast<float>(peak / p);
  for (size_t i = 0; i < s.size(); ++i) {
    s.l[i] *= g;
    s.r[i] *= g;
  }
}

void Saturate(Mono& m, double drive) {
  for (float& x : m) x = static_cast<float>(std::tanh(x * drive) / drive);
}

void Trim(Mono& m, double threshold, double padStart, double padEnd) {
  size_t first = m.size(), last = 0;
  for (size_t i = 0; i < m.size(); ++i) {
    if (std::fabs(m[i]) > threshold) {
      first = std::min(first, i);
      last = i;
    }
  }
  if (first >= m.size()) return;
  size_t a = first > Samples(padStart) ? first - Samples(padStart) : 0;
  size_t b = std::min(m.size(), last + Samples(padEnd));
  m = Mono(m.begin() + static_cast<std::ptrdiff_t>(a), m.begin() + static_cast<std::ptrdiff_t>(b));
}

void Compress(Stereo& s, double thresholdDb, double ratio, double attackMs, double releaseMs,
              double makeupDb) {
  double att = std::exp(-1.0 / (attackMs * 0.001 * kRate));
  double rel = std::exp(-1.0 / (releaseMs * 0.001 * kRate));
  double env = 0.0, makeup = DbToGain(makeupDb);
  for (size_t i = 0; i < s.size(); ++i) {
    double level = std::max(std::fabs(s.l[i]), std::fabs(s.r[i]));
    env = level > env ? att * env + (1 - att) * level : rel * env + (1 - rel) * level;
    double db = 20.0 * std::log10(std::max(env, 1e-9));
    double over = db - thresholdDb;
    double gainDb = over > 0 ? -over * (1.0 - 1.0 / ratio) : 0.0;
    double g = DbToGain(gainDb) * makeup;
    s.l[i] = static_cast<float>(s.l[i] * g);
    s.r[i] = static_cast<float>(s.r[i] * g);
  }
}

void Echo(Stereo& s, double delaySeconds, double feedback, double wet, bool pingPong, double tail) {
  size_t d = std::max<size_t>(1, Samples(delaySeconds));
  size_t n = s.size();
  s.resize(n + Samples(tail));
  Mono bl(d, 0.0f), br(d, 0.0f);
  size_t pos = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    float dl = bl[pos], dr = br[pos];
    float inl = s.l[i], inr = s.r[i];
    if (pingPong) {
      bl[pos] = static_cast<float>((inl + inr) * 0.5 + dr * feedback);
      br[pos] = static_cast<float>(dl * feedback);
    } else {
      bl[pos] = static_cast<float>(inl + dl * feedback);
      br[pos] = static_cast<float>(inr + dr * feedback);
    }
    s.l[i] = static_cast<float>(inl + dl * wet);
    s.r[i] = static_cast<float>(inr + dr * wet);
    pos = (pos + 1) % d;
  }
}

void Chorus(Stereo& s, double baseMs, double depthMs, double rateHz, double wet) {
  size_t maxDelay = Samples((baseMs + depthMs) * 0.001) + 4;
  Mono hist(maxDelay + 1, 0.0f);
  size_t w = 0;
  Stereo out(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    float mono = 0.5f * (s.l[i] + s.r[i]);
    hist[w] = mono;
    auto tap = [&](double phase) {
      double t = double(i) / kRate;
      double ms = baseMs + depthMs * 0.5 * (1.0 + std::sin(kTwoPi * rateHz * t + phase));
      double dly = ms * 0.001 * kRate;
      double rp = double(w) - dly;
      while (rp < 0) rp += double(hist.size());
      size_t i0 = static_cast<size_t>(rp) % hist.size();
      size_t i1 = (i0 + 1) % hist.size();
      double f = rp - std::floor(rp);
      return hist[i0] * (1 - f) + hist[i1] * f;
    };
    out.l[i] = static_cast<float>(s.l[i] + wet * tap(0.0));
    out.r[i] = static_cast<float>(s.r[i] + wet * tap(kPi * 0.5));
    w = (w + 1) % hist.size();
  }
  s = std::move(out);
}

namespace {

class Comb {
 public:
  explicit Comb(size_t n) : buf_(n, 0.0f) {}
  double Process(double x, double feedback, double damp) {
    double y = buf_[pos_];
    store_ = y * (1 - damp) + store_ * damp;
    buf_[pos_] = static_cast<float>(x + store_ * feedback);
    pos_ = (pos_ + 1) % buf_.size();
    return y;
  }

 private:
  Mono buf_;
  size_t pos_ = 0;
  double store_ = 0;
};

class AllPassDelay {
 public:
  explicit AllPassDelay(size_t n) : buf_(n, 0.0f) {}
  double Process(double x) {
    double b = buf_[pos_];
    double y = -x + b;
    buf_[pos_] = static_cast<float>(x + b * 0.5);
    pos_ = (pos_ + 1) % buf_.size();
    return y;
  }

 private:
  Mono buf_;
  size_t pos_ = 0;
};

}  // namespace

void Reverb(Stereo& s, double roomSize, double damping, double wet, double tailSeconds) {
  // Freeverb's tunings at 44.1 kHz; the right side is spread by 23 samples.
  static constexpr std::array<int, 8> kCombs = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
  static constexpr std::array<int, 4> kAllPasses = {556, 441, 341, 225};
  constexpr int kSpread = 23;
  std::vector<Comb> cl, cr;
  std::vector<AllPassDelay> al, ar;
  for (int c : kCombs) {
    cl.emplace_back(c);
    cr.emplace_back(c + kSpread);
  }
  for (int a : kAllPasses) {
    al.emplace_back(a);
    ar.emplace_back(a + kSpread);
  }
  double feedback = 0.7 + 0.28 * std::clamp(roomSize, 0.0, 1.0);
  double damp = std::clamp(damping, 0.0, 1.0) * 0.4;
  s.resize(s.size() + Samples(tailSeconds));
  for (size_t i = 0; i < s.size(); ++i) {
    double in = (s.l[i] + s.r[i]) * 0.015;
    double ol = 0, orr = 0;
    for (size_t k = 0; k < cl.size(); ++k) {
      ol += cl[k].Process(in, feedback, damp);
      orr += cr[k].Process(in, feedback, damp);
    }
    for (size_t k = 0; k < al.size(); ++k) {
      ol = al[k].Process(ol);
      orr = ar[k].Process(orr);
    }
    s.l[i] = static_cast<float>(s.l[i] + ol * wet);
    s.r[i] = static_cast<float>(s.r[i] + orr * wet);
  }
}

Mono Resample(const Mono& in, int fromRate, int toRate) {
  if (fromRate == toRate || in.empty()) return in;
  const double ratio = double(toRate) / fromRate;
  const double cutoff = std::min(1.0, ratio) * 0.95;  // relative to the input Nyquist
  constexpr int kHalf = 24;                           // taps each side, in input samples
  size_t n = static_cast<size_t>(std::ceil(in.size() * ratio));
  Mono out(n, 0.0f);
  double scale = cutoff;
  int half = static_cast<int>(std::ceil(kHalf / cutoff));
  for (size_t j = 0; j < n; ++j) {
    double pos = j / ratio;
    long centre = static_cast<long>(std::floor(pos));
    double acc = 0;
    for (long k = centre - half + 1; k <= centre + half; ++k) {
      if (k < 0 || k >= static_cast<long>(in.size())) continue;
      double x = (pos - k) * cutoff;
      double sinc = std::fabs(x) < 1e-12 ? 1.0 : std::sin(kPi * x) / (kPi * x);
      double wpos = (pos - k) / (half + 1);
      double window = std::fabs(wpos) >= 1 ? 0 : 0.5 * (1 + std::cos(kPi * wpos));
      acc += in[static_cast<size_t>(k)] * sinc * window;
    }
    out[j] = static_cast<float>(acc * scale);
  }
  return out;
}

}  // namespace tdx::datagen
