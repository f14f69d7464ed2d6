// Writers for the two tracker formats the game plays: FastTracker 2 extended modules (XM)
// and 4-channel ProTracker modules (MOD, "M.K."). Header-only, so the tests compile the
// same code the generator runs. Out-of-range input throws std::invalid_argument naming
// the field, so a composing mistake never becomes a module the players misread.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tdx::datagen::tracker {

// ---- XM ------------------------------------------------------------------------------

constexpr uint8_t kXmKeyOff = 97;  // note value that releases the note (notes are 1..96)

struct XmCell {
  uint8_t note = 0;        // 0 none, 1..96 = C-0..B-7, 97 key off
  uint8_t instrument = 0;  // 0 none, 1..128
  uint8_t volume = 0;      // volume column: 0 none, 0x10..0x50 set volume 0..64, others effects
  uint8_t effect = 0;
  uint8_t param = 0;
  bool Empty() const {
    return note == 0 && instrument == 0 && volume == 0 && effect == 0 && param == 0;
  }
};

struct XmPattern {
  int rows = 64;
  std::vector<XmCell> cells;  // rows x channels, row-major
  XmPattern() = default;
  XmPattern(int rowCount, int channels)
      : rows(rowCount), cells(static_cast<size_t>(rowCount * channels)) {}
  XmCell& At(int row, int channel, int channels) {
    return cells.at(static_cast<size_t>(row * channels + channel));
  }
};

enum class Loop : uint8_t { kNone = 0, kForward = 1, kPingPong = 2 };

struct XmSample {
  std::string name;
  bool sixteenBit = true;
  std::vector<int16_t> data;  // 8-bit samples use -128..127
  uint32_t loopStart = 0;     // in sample frames
  uint32_t loopLength = 0;    // in sample frames; 0 = no loop
  Loop loop = Loop::kNone;
  uint8_t volume = 64;  // 0..64
  int8_t finetune = 0;  // 1/128 semitone
  uint8_t panning = 128;
  int8_t relativeNote = 0;  // semitones; C-4 plays at 8363 Hz when both are 0
};

struct XmEnvelope {
  std::vector<std::pair<uint16_t, uint16_t>> points;  // (tick, value 0..64), at most 12
  int sustain = -1;                                   // point index, -1 none
  int loopStart = -1, loopEnd = -1;
};

struct XmInstrument {
  std::string name;
  std::vector<XmSample> samples;  // 1..16
  std::array<uint8_t, 96> noteToSample{};
  XmEnvelope volume, panning;
  uint16_t fadeout = 0;  // subtracted from 65536 each tick after key off
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
};

struct XmModule {
  std::string name;
  int channels = 8;    // 2..32
  uint16_t speed = 6;  // ticks per row
  uint16_t bpm = 125;
  bool linearFrequencies = true;
  uint16_t restart = 0;
  std::vector<uint8_t> order;
  std::vector<XmPattern> patterns;
  std::vector<XmInstrument> instruments;
};

namespace detail {

inline void Fail(const std::string& what) { throw std::invalid_argument(what); }

inline void Put8(std::vector<uint8_t>& out, unsigned v) { out.push_back(static_cast<uint8_t>(v)); }
inline void PutLe16(std::vector<uint8_t>& out, unsigned v) {
  Put8(out, v & 0xFF);
  Put8(out, (v >> 8) & 0xFF);
}
inline void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}
inline void PutBe16(std::vector<uint8_t>& out, unsigned v) {
  Put8(out, (v >> 8) & 0xFF);
  Put8(out, v & 0xFF);
}
// A fixed-width text field, padded; longer text is an error, not silently cut.
inline void PutText(std::vector<uint8_t>& out, const std::string& s, size_t width,
                    const char* field, uint8_t pad = 0) {
  if (s.size() > width)
    Fail(std::string(field) + " \"" + s + "\" is longer than " + std::to_string(width));
  for (size_t i = 0; i < width; ++i) Put8(out, i < s.size() ? static_cast<uint8_t>(s[i]) : pad);
}
inline void PutEnvelope(std::vector<uint8_t>& out, const XmEnvelope& e, const std::string& who) {
  if (e.points.size() > 12) Fail(who + ": more than 12 envelope points");
  for (size_t i = 0; i < 12; ++i) {
    auto p = i < e.points.size() ? e.points[i] : std::pair<uint16_t, uint16_t>{0, 0};
    if (p.second > 64) Fail(who + ": envelope value above 64");
    if (i > 0 && i < e.points.size() && p.first <= e.points[i - 1].first)
      Fail(who + ": envelope ticks must rise");
    PutLe16(out, p.first);
    PutLe16(out, p.second);
  }
}
inline uint8_t EnvelopeType(const XmEnvelope& e) {
  if (e.points.empty()) return 0;
  return static_cast<uint8_t>(1 | (e.sustain >= 0 ? 2 : 0) | (e.loopStart >= 0 ? 4 : 0));
}
inline uint8_t PointIndex(int i, const XmEnvelope& e, const std::string& who) {
  if (i < 0) return 0;
  if (static_cast<size_t>(i) >= e.points.size()) Fail(who + ": envelope point index out of range");
  return static_cast<uint8_t>(i);
}

}  // namespace detail

// The packed pattern data of one pattern: each cell is 0x80 | which fields follow, or the
// five bytes as they are when all are present (one byte shorter than the packed form).
inline std::vector<uint8_t> PackXmPattern(const XmPattern& p) {
  std::vector<uint8_t> out;
  for (const XmCell& c : p.cells) {
    uint8_t mask =
        static_cast<uint8_t>((c.note ? 1 : 0) | (c.instrument ? 2 : 0) | (c.volume ? 4 : 0) |
                             (c.effect ? 8 : 0) | (c.param ? 16 : 0));
    if (mask == 0x1F) {
      for (uint8_t b : {c.note, c.instrument, c.volume, c.effect, c.param}) out.push_back(b);
      continue;
    }
    out.push_back(static_cast<uint8_t>(0x80 | mask));
    if (c.note) out.push_back(c.note);
    if (c.instrument) out.push_back(c.instrument);
    if (c.volume) out.push_back(c.volume);
    if (c.effect) out.push_back(c.effect);
    if (c.param) out.push_back(c.param);
  }
  return out;
}

inline std::vector<uint8_t> WriteXm(const XmModule& m) {
  using namespace detail;
  if (m.channels < 2 || m.channels > 32) Fail("XM channel count must be 2..32");
  if (m.order.empty() || m.order.size() > 256) Fail("XM order list must have 1..256 entries");
  if (m.patterns.empty() || m.patterns.size() > 256) Fail("XM pattern count must be 1..256");
  if (m.instruments.empty() || m.instruments.size() > 128)
    Fail("XM instrument count must be 1..128");
  if (m.speed < 1 || m.speed > 31) Fail("XM speed must be 1..31");
  if (m.bpm < 32 || m.bpm > 255) Fail("XM BPM must be 32..255");
  if (m.restart >= m.order.size()) Fail("XM restart position outside the order list");
  for (uint8_t o : m.order)
    if (o >= m.patterns.size()) Fail("XM order entry " + std::to_string(o) + " names no pattern");

  std::vector<uint8_t> out;
  for (char ch : std::string("Extended Module: ")) Put8(out, static_cast<uint8_t>(ch));
  // FastTracker 2 pads the title with spaces (players tell it from look-alikes by that).
  PutText(out, m.name, 20, "XM module name", ' ');
  Put8(out, 0x1A);
  // Players choose FastTracker 2's playback rules by this name; the format is exactly FT2's.
  PutText(out, "FastTracker v2.00   ", 20, "XM tracker name");
  PutLe16(out, 0x0104);
  PutLe32(out, 276);  // header size, counted from this field: 20 bytes + the 256-entry order table
  PutLe16(out, static_cast<unsigned>(m.order.size()));
  PutLe16(out, m.restart);
  PutLe16(out, static_cast<unsigned>(m.channels));
  PutLe16(out, static_cast<unsigned>(m.patterns.size()));
  PutLe16(out, static_cast<unsigned>(m.instruments.size()));
  PutLe16(out, m.linearFrequencies ? 1 : 0);
  PutLe16(out, m.speed);
  PutLe16(out, m.bpm);
  for (size_t i = 0; i < 256; ++i) Put8(out, i < m.order.size() ? m.order[i] : 0);

  for (size_t pi = 0; pi < m.patterns.size(); ++pi) {
    const XmPattern& p = m.patterns[pi];
    if (p.rows < 1 || p.rows > 256)
      Fail("XM pattern " + std::to_string(pi) + " must have 1..256 rows");
    if (p.cells.size() != static_cast<size_t>(p.rows * m.channels))
      Fail("XM pattern " + std::to_string(pi) + " has the wrong number of cells");
    for (const XmCell& c : p.cells) {
      if (c.note > kXmKeyOff) Fail("XM pattern " + std::to_string(pi) + ": note above 97");
      if (c.instrument > m.instruments.size())
        Fail("XM pattern " + std::to_string(pi) + ": instrument " + std::to_string(c.instrument) +
             " does not exist");
    }
    std::vector<uint8_t> packed = PackXmPattern(p);
    PutLe32(out, 9);  // pattern header length
    Put8(out, 0);     // packing type
    PutLe16(out, static_cast<unsigned>(p.rows));
    PutLe16(out, static_cast<unsigned>(packed.size()));
    out.insert(out.end(), packed.begin(), packed.end());
  }

  for (size_t ii = 0; ii < m.instruments.size(); ++ii) {
    const XmInstrument& ins = m.instruments[ii];
    const std::string who = "XM instrument " + std::to_string(ii + 1);
    if (ins.samples.empty() || ins.samples.size() > 16) Fail(who + " must have 1..16 samples");
    PutLe32(out, 263);  // instrument header size as FastTracker 2 writes it
    PutText(out, ins.name, 22, "XM instrument name");
    Put8(out, 0);
    PutLe16(out, static_cast<unsigned>(ins.samples.size()));
    PutLe32(out, 40);  // sample header size
    for (uint8_t s : ins.noteToSample) {
      if (s >= ins.samples.size()) Fail(who + ": note map names a missing sample");
      Put8(out, s);
    }
    PutEnvelope(out, ins.volume, who);
    PutEnvelope(out, ins.panning, who);
    Put8(out, static_cast<unsigned>(ins.volume.points.size()));
    Put8(out, static_cast<unsigned>(ins.panning.points.size()));
    Put8(out, PointIndex(ins.volume.sustain, ins.volume, who));
    Put8(out, PointIndex(ins.volume.loopStart, ins.volume, who));
    Put8(out, PointIndex(ins.volume.loopEnd, ins.volume, who));
    Put8(out, PointIndex(ins.panning.sustain, ins.panning, who));
    Put8(out, PointIndex(ins.panning.loopStart, ins.panning, who));
    Put8(out, PointIndex(ins.panning.loopEnd, ins.panning, who));
    Put8(out, EnvelopeType(ins.volume));
    Put8(out, EnvelopeType(ins.panning));
    Put8(out, ins.vibratoType);
    Put8(out, ins.vibratoSweep);
    Put8(out, ins.vibratoDepth);
    Put8(out, ins.vibratoRate);
    PutLe16(out, ins.fadeout);
    for (int i = 0; i < 22; ++i) Put8(out, 0);  // reserved

    for (const XmSample& s : ins.samples) {
      const uint32_t bytesPer = s.sixteenBit ? 2 : 1;
      const uint32_t frames = static_cast<uint32_t>(s.data.size());
      if (s.volume > 64) Fail(who + ": sample volume above 64");
      if (s.loop != Loop::kNone &&
          (s.loopLength == 0 || uint64_t(s.loopStart) + s.loopLength > frames))
        Fail(who + ": sample loop outside the sample");
      if (!s.sixteenBit)
        for (int16_t v : s.data)
          if (v < -128 || v > 127) Fail(who + ": 8-bit sample value out of range");
      PutLe32(out, frames * bytesPer);
      PutLe32(out, s.loop == Loop::kNone ? 0 : s.loopStart * bytesPer);
      PutLe32(out, s.loop == Loop::kNone ? 0 : s.loopLength * bytesPer);
      Put8(out, s.volume);
      Put8(out, static_cast<uint8_t>(s.finetune));
      Put8(out, static_cast<uint8_t>(static_cast<uint8_t>(s.loop) | (s.sixteenBit ? 0x10 : 0)));
      Put8(out, s.panning);
      Put8(out, static_cast<uint8_t>(s.relativeNote));
      Put8(out, 0);
      PutText(out, s.name, 22, "XM sample name");
    }
    // Sample data is stored as differences from the previous value.
    for (const XmSample& s : ins.samples) {
      int16_t prev = 0;
      for (int16_t v : s.data) {
        int16_t delta =
            static_cast<int16_t>(static_cast<uint16_t>(v) - static_cast<uint16_t>(prev));
        if (s.sixteenBit)
          PutLe16(out, static_cast<uint16_t>(delta));
        else
          Put8(out, static_cast<uint8_t>(delta));
        prev = v;
      }
    }
  }
  return out;
}

// ---- MOD -----------------------------------------------------------------------------

constexpr int kModChannels = 4;
constexpr int kModRows = 64;

// ProTracker's periods at finetune 0, for C-1 .. B-3 (note index 0..35).
inline uint16_t ModPeriod(int noteIndex) {
  static constexpr std::array<uint16_t, 36> kPeriods = {
      856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,  //
      428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,  //
      214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};
  if (noteIndex < 0 || noteIndex >= 36) detail::Fail("MOD note index must be 0..35");
  return kPeriods[static_cast<size_t>(noteIndex)];
}

struct ModCell {
  uint8_t sample = 0;   // 0 none, 1..31
  uint16_t period = 0;  // 0 none
  uint8_t effect = 0;   // 0..15
  uint8_t param = 0;
};

struct ModPattern {
  std::array<ModCell, kModRows * kModChannels> cells{};
  ModCell& At(int row, int channel) {
    return cells.at(static_cast<size_t>(row * kModChannels + channel));
  }
};

struct ModSample {
  std::string name;
  std::vector<int8_t> data;  // even length, at most 131070 bytes
  int8_t finetune = 0;       // -8..7, eighths of a semitone
  uint8_t volume = 64;       // 0..64
  uint32_t loopStart = 0;    // bytes, even
  uint32_t loopLength = 0;   // bytes, even; 0 = no loop
};

struct ModModule {
  std::string title;
  std::vector<ModSample> samples;  // at most 31
  std::vector<uint8_t> order;      // 1..128 entries
  std::vector<ModPattern> patterns;
};

inline std::vector<uint8_t> WriteMod(const ModModule& m) {
  using namespace detail;
  if (m.samples.size() > 31) Fail("MOD holds at most 31 samples");
  if (m.order.empty() || m.order.size() > 128) Fail("MOD order list must have 1..128 entries");
  if (m.patterns.empty() || m.patterns.size() > 64) Fail("MOD pattern count must be 1..64");
  // The file stores as many patterns as the highest order entry names; an unused pattern
  // would be lost and a missing one read from the sample data.
  uint8_t highest = 0;
  for (uint8_t o : m.order) {
    if (o >= m.patterns.size()) Fail("MOD order entry " + std::to_string(o) + " names no pattern");
    highest = std::max(highest, o);
  }
  if (highest + 1u != m.patterns.size()) Fail("MOD order list must use the last pattern");

  std::vector<uint8_t> out;
  PutText(out, m.title, 20, "MOD title");
  for (size_t i = 0; i < 31; ++i) {
    ModSample s = i < m.samples.size() ? m.samples[i] : ModSample{};
    const std::string who = "MOD sample " + std::to_string(i + 1);
    if (s.data.size() % 2 || s.data.size() > 131070)
      Fail(who + ": length must be even and at most 131070");
    if (s.finetune < -8 || s.finetune > 7) Fail(who + ": finetune must be -8..7");
    if (s.volume > 64) Fail(who + ": volume above 64");
    if (s.loopStart % 2 || s.loopLength % 2 || uint64_t(s.loopStart) + s.loopLength > s.data.size())
      Fail(who + ": loop must be even and inside the sample");
    PutText(out, s.name, 22, "MOD sample name");
    PutBe16(out, static_cast<unsigned>(s.data.size() / 2));
    Put8(out, static_cast<unsigned>(s.finetune) & 0x0F);
    Put8(out, s.volume);
    PutBe16(out, s.loopLength > 2 ? s.loopStart / 2 : 0);
    PutBe16(out, s.loopLength > 2 ? s.loopLength / 2 : 1);  // one word means no loop
  }
  Put8(out, static_cast<unsigned>(m.order.size()));
  Put8(out, 127);  // restart byte as ProTracker writes it
  for (size_t i = 0; i < 128; ++i) Put8(out, i < m.order.size() ? m.order[i] : 0);
  for (char ch : std::string("M.K.")) Put8(out, static_cast<uint8_t>(ch));
  for (size_t pi = 0; pi < m.patterns.size(); ++pi) {
    for (const ModCell& c : m.patterns[pi].cells) {
      if (c.sample > 31 || (c.sample > m.samples.size()))
        Fail("MOD pattern " + std::to_string(pi) + ": sample " + std::to_string(c.sample) +
             " does not exist");
      if (c.period > 0xFFF || c.effect > 15)
        Fail("MOD pattern " + std::to_string(pi) + ": bad period or effect");
      Put8(out, (c.sample & 0xF0) | (c.period >> 8));
      Put8(out, c.period & 0xFF);
      Put8(out, static_cast<unsigned>((c.sample & 0x0F) << 4) | c.effect);
      Put8(out, c.param);
    }
  }
  for (size_t i = 0; i < m.samples.size(); ++i)
    for (int8_t v : m.samples[i].data) Put8(out, static_cast<uint8_t>(v));
  return out;
}

}  // namespace tdx::datagen::tracker
