// The game's one random generator: seeded once per run (from the clock, or --seed).
#pragma once

#include <array>
#include <cstdint>

namespace tdx {

class Rng {
 public:
  explicit Rng(uint64_t seed = 1) { Seed(seed); }
  void Seed(uint64_t seed) {
    // splitmix64 spreads any seed, zero included, over the whole state.
    for (auto& s : state_) {
      seed += 0x9E3779B97F4A7C15ull;
      uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      s = z ^ (z >> 31);
    }
  }
  uint64_t Next() {  // xoshiro256**
    uint64_t result = Rotl(state_[1] * 5, 7) * 9;
    uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = Rotl(state_[3], 45);
    return result;
  }
  // A uniform integer 0 .. n - 1; 0 when n <= 0.
  int Random(int n) {
    if (n <= 0) return 0;
    return static_cast<int>((Next() >> 11) % static_cast<uint64_t>(n));
  }
  // The whole state, to be written down and set again (a recorded match starts from it).
  std::array<uint64_t, 4> State() const { return {state_[0], state_[1], state_[2], state_[3]}; }
  void SetState(const std::array<uint64_t, 4>& s) {
    for (size_t i = 0; i < 4; ++i) state_[i] = s[i];
  }
  // A uniform real in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

 private:
  static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  uint64_t state_[4] = {};
};

}  // namespace tdx
