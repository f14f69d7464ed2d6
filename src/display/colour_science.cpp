#include "display/colour_science.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tdx {

namespace {

using Matrix = std::array<std::array<double, 3>, 3>;

// Linear-RGB transforms at full severity (one kind of cone missing altogether).
constexpr Matrix kProtan = {{{0.152286, 1.052583, -0.204868},
                             {0.114503, 0.786281, 0.099216},
                             {-0.003882, -0.048116, 1.051998}}};
constexpr Matrix kDeutan = {{{0.367322, 0.860646, -0.227968},
                             {0.280085, 0.672501, 0.047413},
                             {-0.011820, 0.042940, 0.968881}}};
constexpr Matrix kTritan = {{{1.255528, -0.076749, -0.178779},
                             {-0.078411, 0.930809, 0.147602},
                             {0.004733, 0.691367, 0.303900}}};

double ToLinear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

double ToEncoded(double c) {
  c = std::clamp(c, 0.0, 1.0);
  return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

std::array<double, 3> LinearOf(uint32_t bgr) {
  return {ToLinear((bgr & 0xFF) / 255.0), ToLinear(((bgr >> 8) & 0xFF) / 255.0),
          ToLinear(((bgr >> 16) & 0xFF) / 255.0)};
}

uint32_t Pack(const std::array<double, 3>& linear) {
  uint32_t out = 0;
  for (int i = 0; i < 3; ++i) {
    auto v = static_cast<uint32_t>(std::lround(ToEncoded(linear[static_cast<size_t>(i)]) * 255));
    out |= v << (8 * i);
  }
  return out;
}

double LabCurve(double t) {
  constexpr double kE = 216.0 / 24389.0, kK = 24389.0 / 27.0;
  return t > kE ? std::cbrt(t) : (kK * t + 16) / 116;
}

double Degrees(double radians) { return radians * 180 / std::numbers::pi; }
double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

}  // namespace

Lab LabOf(uint32_t bgr) {
  auto [r, g, b] = LinearOf(bgr);
  // sRGB primaries to XYZ, relative to the D65 white.
  double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
  double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
  double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
  double fx = LabCurve(x), fy = LabCurve(y), fz = LabCurve(z);
  return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

double DeltaE2000(const Lab& x, const Lab& y) {
  const double c1 = std::hypot(x.a, x.b), c2 = std::hypot(y.a, y.b);
  const double cMean = (c1 + c2) / 2;
  const double c7 = std::pow(cMean, 7);
  const double gain = 0.5 * (1 - std::sqrt(c7 / (c7 + std::pow(25.0, 7))));
  const double a1 = x.a * (1 + gain), a2 = y.a * (1 + gain);
  const double cp1 = std::hypot(a1, x.b), cp2 = std::hypot(a2, y.b);
  auto hue = [](double b, double a) {
    if (a == 0 && b == 0) return 0.0;
    double h = Degrees(std::atan2(b, a));
    return h < 0 ? h + 360 : h;
  };
  const double h1 = hue(x.b, a1), h2 = hue(y.b, a2);

  const double dL = y.l - x.l;
  const double dC = cp2 - cp1;
  double dh = 0;
  if (cp1 * cp2 != 0) {
    dh = h2 - h1;
    if (dh > 180) dh -= 360;
    if (dh < -180) dh += 360;
  }
  const double dH = 2 * std::sqrt(cp1 * cp2) * std::sin(Radians(dh / 2));

  const double lMean = (x.l + y.l) / 2;
  const double cpMean = (cp1 + cp2) / 2;
  double hMean = h1 + h2;
  if (cp1 * cp2 != 0) {
    if (std::abs(h1 - h2) <= 180) {
      hMean = (h1 + h2) / 2;
    } else {
      hMean = h1 + h2 < 360 ? (h1 + h2 + 360) / 2 : (h1 + h2 - 360) / 2;
    }
  }
  const double t = 1 - 0.17 * std::cos(Radians(hMean - 30)) + 0.24 * std::cos(Radians(2 * hMean)) +
                   0.32 * std::cos(Radians(3 * hMean + 6)) -
                   0.20 * std::cos(Radians(4 * hMean - 63));
  const double l50 = (lMean - 50) * (lMean - 50);
  const double sL = 1 + 0.015 * l50 / std::sqrt(20 + l50);
  const double sC = 1 + 0.045 * cpMean;
  const double sH = 1 + 0.015 * cpMean * t;
  const double cp7 = std::pow(cpMean, 7);
  const double rC = 2 * std::sqrt(cp7 / (cp7 + std::pow(25.0, 7)));
  const double dTheta = 30 * std::exp(-std::pow((hMean - 275) / 25, 2));
  const double rT = -std::sin(Radians(2 * dTheta)) * rC;
  const double l = dL / sL, c = dC / sC, h = dH / sH;
  return std::sqrt(l * l + c * c + h * h + rT * c * h);
}

uint32_t SeenThrough(Eyes eyes, uint32_t bgr) {
  if (eyes == Eyes::Normal) return bgr & 0xFFFFFF;
  const Matrix& m = eyes == Eyes::Protan ? kProtan : eyes == Eyes::Deutan ? kDeutan : kTritan;
  const std::array<double, 3> in = LinearOf(bgr);
  std::array<double, 3> out{};
  for (size_t i = 0; i < 3; ++i) out[i] = m[i][0] * in[0] + m[i][1] * in[1] + m[i][2] * in[2];
  return Pack(out);
}

double SeenDifference(Eyes eyes, uint32_t x, uint32_t y) {
  return DeltaE2000(LabOf(SeenThrough(eyes, x)), LabOf(SeenThrough(eyes, y)));
}

}  // namespace tdx
