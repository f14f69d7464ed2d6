// The bytes of recordings, both formats: fixed-size values as they lie in memory (little-
// endian on every machine the game is built for), counts as 7-bit groups, and the real
// clock's whole-microsecond readings as two small counts.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tdx::recording {

// A count of 7-bit groups, least significant first, from `next` byte by byte; `ok` false for
// more than ten bytes, which no count of ours takes.
template <typename NextByte>
uint64_t ReadVarU64(NextByte next, bool& ok) {
  uint64_t v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    uint8_t b = next();
    v |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return v;
  }
  ok = false;
  return 0;
}

class Writer {
 public:
  std::vector<uint8_t> bytes;
  template <typename T>
  void Put(T v) {
    Raw(&v, sizeof v);
  }
  void VarU64(uint64_t v) {
    for (; v >= 0x80; v >>= 7) Put<uint8_t>(static_cast<uint8_t>(v | 0x80));
    Put<uint8_t>(static_cast<uint8_t>(v));
  }
  void Raw(const void* p, size_t n) {
    if (n == 0) return;
    const size_t at = bytes.size();
    bytes.resize(at + n);
    std::memcpy(bytes.data() + at, p, n);
  }
};

class Reader {
 public:
  Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  bool ok = true;
  size_t Left() const { return n_ - at_; }
  const uint8_t* At() const { return p_ + at_; }
  template <typename T>
  T Get() {
    T v{};
    Raw(&v, sizeof v);
    return v;
  }
  uint64_t VarU64() {
    return ReadVarU64([this] { return Get<uint8_t>(); }, ok);
  }
  void Raw(void* out, size_t n) {
    if (!ok || Left() < n) {
      ok = false;
      return;
    }
    std::memcpy(out, p_ + at_, n);
    at_ += n;
  }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t at_ = 0;
};

// The real clock reads whole microseconds (FrameClock): such readings are stored as two
// small counts, which the decoder turns back into the very same doubles.
inline int64_t Micros(double t) { return static_cast<int64_t>(std::llround(t * 1e6)); }
// Twelve days: longer gaps are stored as plain readings, and no damaged count can overflow.
inline constexpr uint64_t kMicrosLimit = 1ull << 40;

inline bool AsMicros(double prevNow, double fnow, double fend, uint64_t& sinceLast,
                     uint64_t& toEnd) {
  if (!(fnow >= prevNow && fend >= fnow && fend < 1e12)) return false;
  int64_t base = Micros(prevNow), now = Micros(fnow), end = Micros(fend);
  if (now < base || static_cast<double>(now) / 1e6 != fnow) return false;
  if (static_cast<double>(end) / 1e6 != fend) return false;
  sinceLast = static_cast<uint64_t>(now - base);
  toEnd = static_cast<uint64_t>(end - now);
  return sinceLast < kMicrosLimit && toEnd < kMicrosLimit;
}

// How a frame's clock readings are stored against the frame before: not at all (the same
// fixed step again), as a new step, as two counts of microseconds, or as the readings.
enum class ClockForm : uint8_t { SameStep, Step, Micros, Raw };

class ClockWriter {
 public:
  // The form for this frame's readings; Write then stores them in it.
  ClockForm Choose(double now, double end) {
    now_ = now;
    end_ = end;
    // A fixed clock advances by one step a frame; the step is stored once, not every time.
    if (haveStep_ && end == now && prevNow_ + step_ == now) return form_ = ClockForm::SameStep;
    newStep_ = now - prevNow_;
    if (end == now && prevNow_ + newStep_ == now) return form_ = ClockForm::Step;
    if (AsMicros(prevNow_, now, end, sinceLast_, toEnd_)) return form_ = ClockForm::Micros;
    return form_ = ClockForm::Raw;
  }
  void Write(Writer& w) {
    switch (form_) {
      case ClockForm::SameStep: break;
      case ClockForm::Step:
        w.Put<double>(newStep_);
        step_ = newStep_;
        haveStep_ = true;
        break;
      case ClockForm::Micros:
        w.VarU64(sinceLast_);
        w.VarU64(toEnd_);
        haveStep_ = false;
        break;
      case ClockForm::Raw:
        w.Put<double>(now_);
        w.Put<double>(end_);
        haveStep_ = false;
        break;
    }
    prevNow_ = now_;
  }

 private:
  double prevNow_ = 0, step_ = 0, newStep_ = 0, now_ = 0, end_ = 0;
  bool haveStep_ = false;
  uint64_t sinceLast_ = 0, toEnd_ = 0;
  ClockForm form_ = ClockForm::Raw;
};

}  // namespace tdx::recording
