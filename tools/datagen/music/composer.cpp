#include "composer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <stdexcept>

#include "dsp.h"
#include "instruments.h"
#include "module_writer.h"

namespace tdx::datagen::music {

namespace {

// ---- the abstract song: notes per role, one section per pattern -------------------------

enum Role {
  kKickRole,
  kSnareRole,
  kHatRole,
  kCrashRole,
  kBassRole,
  kLeadRole,
  kArpRole,
  kPad0,
  kPad1,
  kPad2,
  kRoles
};
enum Inst {
  kKickI,
  kSnareI,
  kClapI,
  kHatClosedI,
  kHatOpenI,
  kCrashI,
  kBassI,
  kLeadI,
  kArpI,
  kPadI,
  kInsts
};

constexpr int kBar = 16;  // rows per bar: four beats of sixteenth notes
constexpr int kRows = 64;
constexpr int kOutroRows = 48;  // the last chord, released at row 24, and its decay
constexpr int kOutroRelease = 24;

struct Ev {
  int row;
  int midi;
  int len;  // rows; the note is released after this many rows (0: rings on)
  int vol;  // 0..64
  Inst inst;
  int chordThird = 0, chordFifth = 0;  // for the chip chord of 4-channel modules
};

struct Section {
  int rows = kRows;
  std::array<std::vector<Ev>, kRoles> tracks;
  bool endsSong = false;
};

enum class Kind { kIntro, kVerse, kChorus, kBreak, kBridge, kOutro, kFanfare };
struct Part {
  Kind kind;
  bool fill;
  bool operator<(const Part& o) const { return kind != o.kind ? kind < o.kind : fill < o.fill; }
};

// ---- harmony -------------------------------------------------------------------------

std::array<int, 7> ScaleSteps(Scale s) {
  switch (s) {
    case Scale::kMajor: return {0, 2, 4, 5, 7, 9, 11};
    case Scale::kMinor: return {0, 2, 3, 5, 7, 8, 10};
    case Scale::kDorian: return {0, 2, 3, 5, 7, 9, 10};
    case Scale::kMixolydian: return {0, 2, 4, 5, 7, 9, 10};
    case Scale::kPhrygian: return {0, 1, 3, 5, 7, 8, 10};
    case Scale::kHarmonicMinor: return {0, 2, 3, 5, 7, 8, 11};
    case Scale::kLydian: return {0, 2, 4, 6, 7, 9, 11};
  }
  return {0, 2, 4, 5, 7, 9, 11};
}

struct Chord {
  int root = 0;              // semitones above the key
  int third = 4, fifth = 7;  // semitones above the root
  bool borrowed = false;     // tones outside the scale: melodies keep to chord tones
  bool Has(int pitchClassFromKey) const {
    int d = ((pitchClassFromKey - root) % 12 + 12) % 12;
    return d == 0 || d == third || d == fifth;
  }
};

class Harmony {
 public:
  Harmony(int key, Scale scale) : key_(key), steps_(ScaleSteps(scale)) {}

  Chord ChordOf(int code) const {
    Chord c;
    if (code >= kBorrowed) {
      c.root = (code - kBorrowed) % 12;
      c.borrowed = true;
      return c;
    }
    int d = ((code % 7) + 7) % 7;
    c.root = steps_[static_cast<size_t>(d)];
    c.third = (steps_[static_cast<size_t>((d + 2) % 7)] - c.root + 12) % 12;
    c.fifth = (steps_[static_cast<size_t>((d + 4) % 7)] - c.root + 12) % 12;
    return c;
  }
  int Rel(int midi) const { return ((midi - key_) % 12 + 12) % 12; }
  bool InScale(int midi) const {
    return std::find(steps_.begin(), steps_.end(), Rel(midi)) != steps_.end();
  }
  // Moves by scale steps (a note outside the scale first falls onto the one below).
  int Step(int midi, int steps) const {
    while (!InScale(midi)) --midi;
    while (steps > 0) {
      ++midi;
      while (!InScale(midi)) ++midi;
      --steps;
    }
    while (steps < 0) {
      --midi;
      while (!InScale(midi)) --midi;
      ++steps;
    }
    return midi;
  }
  int NearestChordTone(int target, const Chord& c) const {
    for (int d = 0; d < 12; ++d) {
      if (c.Has(Rel(target - d))) return target - d;
      if (c.Has(Rel(target + d))) return target + d;
    }
    return target;
  }
  // The chord's root placed in [lo, lo + 11].
  int RootIn(const Chord& c, int lo) const {
    int pc = (key_ + c.root) % 12;
    int m = lo + ((pc - lo) % 12 + 12) % 12;
    return m;
  }
  int key() const { return key_; }

 private:
  int key_;
  std::array<int, 7> steps_;
};

// ---- melody --------------------------------------------------------------------------

struct MotifNote {
  int step;    // 0..31 within two bars
  int len;     // sixteenths
  int degree;  // scale steps from the phrase's first note
};
using Motif = std::vector<MotifNote>;

const std::vector<std::vector<int>>& Rhythms(Mood mood) {
  static const std::vector<std::vector<int>> kEnergetic = {
      {0, 3, 6, 8, 11, 14},        {0, 2, 4, 7, 10, 12}, {0, 6, 8, 10, 12, 14}, {0, 3, 6, 10, 12},
      {0, 2, 3, 6, 8, 10, 11, 14}, {0, 4, 6, 8, 12, 14}, {0, 3, 6, 8, 10, 12},  {0, 2, 6, 8, 12}};
  static const std::vector<std::vector<int>> kCalm = {
      {0, 8}, {0, 6, 8, 12}, {0, 4, 8, 12}, {0, 8, 12}, {0, 6, 12}};
  static const std::vector<std::vector<int>> kTriumph = {
      {0, 3, 4, 8, 12}, {0, 6, 8, 12}, {0, 4, 6, 8, 12}, {0, 8, 10, 12}, {0, 3, 6, 8}};
  switch (mood) {
    case Mood::kCalm: return kCalm;
    case Mood::kTriumphant: return kTriumph;
    case Mood::kEnergetic: break;
  }
  return kEnergetic;
}

Motif MakeMotif(Mood mood, Rng& rng) {
  const auto& lib = Rhythms(mood);
  const auto& a = lib[static_cast<size_t>(rng.Below(static_cast<int>(lib.size())))];
  const auto& b =
      rng.Chance(0.5) ? a : lib[static_cast<size_t>(rng.Below(static_cast<int>(lib.size())))];
  std::vector<int> onsets;
  for (int s : a) onsets.push_back(s);
  // The second bar answers the first and breathes: its last note or two are dropped.
  size_t keep = b.size() > 3 ? b.size() - static_cast<size_t>(rng.Below(2)) : b.size();
  for (size_t i = 0; i < keep; ++i) onsets.push_back(kBar + b[i]);
  Motif m;
  int degree = 0;
  for (size_t i = 0; i < onsets.size(); ++i) {
    int next = i + 1 < onsets.size() ? onsets[i + 1] : 2 * kBar;
    int len = std::max(1, next - onsets[i]);
    if (len > 2 && rng.Chance(0.25)) len -= 1;  // a little air between some notes
    m.push_back({onsets[i], len, degree});
    // Mostly steps, some leaps, kept within a singable range around the start.
    static constexpr std::array<int, 9> kMoves = {1, -1, 1, -1, 2, -2, 3, -3, 4};
    int move = kMoves[static_cast<size_t>(rng.Below(static_cast<int>(kMoves.size())))];
    if (degree + move > 6 || degree + move < -4) move = -move;
    degree += move;
  }
  return m;
}

struct LeadRange {
  int lo, hi, centre;
};

// Four bars of melody: the motif on bars 0-1, again on bars 2-3 from the third chord,
// ending on a long chord tone.
void Phrase(const Motif& motif, const Harmony& h, const std::array<Chord, 4>& chords,
            LeadRange range, int shift, int vol, Inst inst, std::vector<Ev>& out) {
  for (int half = 0; half < 2; ++half) {
    const Chord& anchor = chords[static_cast<size_t>(half * 2)];
    int start = h.NearestChordTone(range.centre + shift, anchor);
    for (size_t i = 0; i < motif.size(); ++i) {
      const MotifNote& n = motif[i];
      int row = half * 2 * kBar + n.step;
      const Chord& now = chords[static_cast<size_t>(row / kBar)];
      int pitch = h.Step(start, n.degree);
      bool strong = n.step % 8 == 0;
      if (strong || now.borrowed || !h.InScale(pitch)) pitch = h.NearestChordTone(pitch, now);
      int len = n.len;
      bool last = half == 1 && i + 1 == motif.size();
      if (last) {
        // The cadence: land on the root or the third and hold to the end of the phrase.
        const Chord& end = chords[3];
        int root = h.RootIn(end, pitch - 6);
        pitch = h.NearestChordTone(root, end);
        len = kRows - row;
      }
      while (pitch > range.hi) pitch -= 12;
      while (pitch < range.lo) pitch += 12;
      out.push_back({row, pitch, len, strong ? vol : vol - 6, inst});
    }
  }
}

// ---- accompaniment -------------------------------------------------------------------

void BassBar(Bass style, const Harmony& h, const Chord& c, const Chord& next, int bar, int lo,
             Rng& rng, std::vector<Ev>& out) {
  int root = h.RootIn(c, lo);
  int fifth = root + c.fifth;
  int b = bar * kBar;
  auto add = [&](int step, int midi, int len, int vol) {
    out.push_back({b + step, midi, len, vol, kBassI});
  };
  switch (style) {
    case Bass::kDrive:
      for (int s = 0; s < kBar; s += 2)
        add(s, s == 14 && rng.Chance(0.4) ? root + 12 : root, 2, s % 4 ? 50 : 60);
      break;
    case Bass::kOctave:
      for (int s = 0; s < kBar; s += 2)
        add(s, (s / 2) % 2 ? root + 12 : root, 2, (s / 2) % 2 ? 52 : 60);
      break;
    case Bass::kSyncopated: {
      static constexpr std::array<int, 6> kSteps = {0, 3, 6, 8, 10, 13};
      const std::array<int, 6> pitches = {root, root, fifth, root + 12, root, fifth};
      for (size_t i = 0; i < kSteps.size(); ++i) {
        int next = i + 1 < kSteps.size() ? kSteps[i + 1] : kBar;
        add(kSteps[i], pitches[i], next - kSteps[i] - (i % 2), i == 0 ? 62 : 52);
      }
      break;
    }
    case Bass::kLong:
      add(0, root, 10, 56);
      add(10, fifth > lo + 14 ? fifth - 12 : fifth, 6, 48);
      break;
    case Bass::kWalking: {
      int nextRoot = h.RootIn(next, lo);
      int approach = nextRoot + (nextRoot > root ? -1 : 1);
      add(0, root, 4, 60);
      add(4, root + c.third, 4, 52);
      add(8, fifth, 4, 56);
      add(12, approach, 4, 52);
      break;
    }
    case Bass::kGallop:
      for (int s = 0; s < kBar; ++s)
        if (s % 4 != 1) add(s, s == 12 && rng.Chance(0.5) ? fifth : root, 1, s % 4 == 0 ? 62 : 46);
      break;
  }
}

struct DrumBar {
  std::vector<std::pair<int, int>> kick, snare, clap, hatClosed, hatOpen;  // (step, volume)
};

DrumBar Groove(Drums style, bool fill, Rng& rng) {
  DrumBar d;
  switch (style) {
    case Drums::kFour:
      for (int s : {0, 4, 8, 12}) d.kick.push_back({s, 64});
      for (int s : {4, 12}) d.clap.push_back({s, 54});
      for (int s = 0; s < kBar; ++s) {
        if (s % 4 == 2)
          d.hatOpen.push_back({s, 30});
        else
          d.hatClosed.push_back({s, s % 2 ? 14 : 22});
      }
      break;
    case Drums::kRock:
      for (int s : {0, 8, 10}) d.kick.push_back({s, 64});
      for (int s : {4, 12}) d.snare.push_back({s, 58});
      for (int s = 0; s < kBar; s += 2) d.hatClosed.push_back({s, s % 4 ? 20 : 28});
      break;
    case Drums::kBreak:
      for (int s : {0, 10}) d.kick.push_back({s, 64});
      if (rng.Chance(0.5)) d.kick.push_back({7, 50});
      for (int s : {4, 12}) d.snare.push_back({s, 58});
      d.snare.push_back({15, 16});
      d.snare.push_back({9, 14});
      for (int s = 0; s < kBar; ++s)
        if (s != 14) d.hatClosed.push_back({s, s % 4 == 0 ? 26 : (s % 2 ? 12 : 18)});
      d.hatOpen.push_back({14, 26});
      break;
    case Drums::kHalf:
      for (int s : {0, 3, 10}) d.kick.push_back({s, s == 3 ? 48 : 64});
      d.snare.push_back({8, 60});
      for (int s = 0; s < kBar; s += 2) d.hatClosed.push_back({s, s % 4 ? 18 : 26});
      break;
    case Drums::kFast:
      for (int s : {0, 10}) d.kick.push_back({s, 64});
      for (int s : {4, 12}) d.snare.push_back({s, 60});
      for (int s = 0; s < kBar; s += 2) d.hatClosed.push_back({s, 22});
      for (int s : {7, 15}) d.hatClosed.push_back({s, 12});
      break;
    case Drums::kMarch:
      for (int s : {0, 8}) d.kick.push_back({s, 64});
      for (int s : {4, 12}) d.snare.push_back({s, 58});
      for (int s : {14, 15}) d.snare.push_back({s, 24});
      for (int s = 0; s < kBar; s += 2) d.hatClosed.push_back({s, 16});
      break;
    case Drums::kSoft:
      for (int s : {0, 10}) d.kick.push_back({s, 44});
      d.clap.push_back({12, 26});
      for (int s = 0; s < kBar; s += 2) d.hatClosed.push_back({s, s % 4 ? 10 : 16});
      break;
  }
  if (fill) {
    // A snare run over the last half bar, rising in volume, leads into the next part.
    auto cut = [](std::vector<std::pair<int, int>>& v, int from) {
      v.erase(std::remove_if(v.begin(), v.end(), [&](auto& e) { return e.first >= from; }),
              v.end());
    };
    int from = style == Drums::kSoft ? 12 : 8;
    cut(d.snare, from);
    cut(d.clap, from);
    cut(d.hatClosed, from);
    cut(d.hatOpen, from);
    cut(d.kick, from + 1);
    for (int s = from; s < kBar; ++s)
      d.snare.push_back({s, 20 + (s - from) * (style == Drums::kSoft ? 5 : 5)});
  }
  return d;
}

void AddDrums(const DrumBar& d, int bar, Section& sec, bool hatsOnly = false, bool noKick = false) {
  int b = bar * kBar;
  if (!hatsOnly && !noKick)
    for (auto [s, v] : d.kick) sec.tracks[kKickRole].push_back({b + s, 60, 0, v, kKickI});
  if (!hatsOnly) {
    for (auto [s, v] : d.snare) sec.tracks[kSnareRole].push_back({b + s, 60, 0, v, kSnareI});
    for (auto [s, v] : d.clap) sec.tracks[kSnareRole].push_back({b + s, 60, 0, v, kClapI});
  }
  for (auto [s, v] : d.hatClosed) sec.tracks[kHatRole].push_back({b + s, 60, 0, v, kHatClosedI});
  for (auto [s, v] : d.hatOpen) sec.tracks[kHatRole].push_back({b + s, 60, 0, v, kHatOpenI});
}

// Triads that move as little as possible from one chord to the next.
std::array<int, 3> Voicing(const Harmony& h, const Chord& c, const std::array<int, 3>& prev, int lo,
                           int hi) {
  std::array<int, 3> best = prev;
  int bestCost = 1 << 30;
  int root = h.RootIn(c, lo);
  std::array<int, 3> tones = {root, root + c.third, root + c.fifth};
  for (int inv = 0; inv < 3; ++inv) {
    for (int oct = -12; oct <= 12; oct += 12) {
      std::array<int, 3> v = tones;
      for (int i = 0; i < inv; ++i) v[static_cast<size_t>(i)] += 12;
      for (int& x : v) x += oct;
      std::sort(v.begin(), v.end());
      if (v[0] < lo || v[2] > hi) continue;
      int cost = 0;
      for (size_t i = 0; i < 3; ++i) cost += std::abs(v[i] - prev[i]);
      if (cost < bestCost) {
        bestCost = cost;
        best = v;
      }
    }
  }
  return best;
}

void PadBars(const Harmony& h, const std::array<Chord, 4>& chords, int firstBar, int bars, int vol,
             Section& sec, std::array<int, 3>& voicing) {
  for (int bar = firstBar; bar < firstBar + bars; ++bar) {
    const Chord& c = chords[static_cast<size_t>(bar)];
    voicing = Voicing(h, c, voicing, 53, 76);
    for (size_t i = 0; i < 3; ++i)
      sec.tracks[kPad0 + i].push_back({bar * kBar, voicing[i], kBar, vol, kPadI, c.third, c.fifth});
  }
}

void ArpBars(const Harmony& h, const std::array<Chord, 4>& chords, int firstBar, int bars,
             bool calm, int vol, Section& sec) {
  static constexpr std::array<int, 8> kUpDown = {0, 1, 2, 3, 2, 1, 0, 1};
  for (int bar = firstBar; bar < firstBar + bars; ++bar) {
    const Chord& c = chords[static_cast<size_t>(bar)];
    int root = h.RootIn(c, calm ? 62 : 60);
    std::array<int, 4> tones = {root, root + c.third, root + c.fifth, root + 12};
    int every = calm ? 2 : 1;
    for (int s = 0; s < kBar; s += every) {
      int idx = kUpDown[static_cast<size_t>((s / every) % 8)];
      sec.tracks[kArpRole].push_back({bar * kBar + s, tones[static_cast<size_t>(idx)], calm ? 4 : 1,
                                      s % 4 == 0 ? vol : vol - 6, kArpI});
    }
  }
}

// ---- the song's sections ---------------------------------------------------------------

class Composer {
 public:
  explicit Composer(const SongPlan& p)
      : plan_(p),
        h_(p.key, p.scale),
        rng_(p.seed),
        motifA_(MakeMotif(p.mood, rng_)),
        motifB_(MakeMotif(p.mood, rng_)),
        motifC_(MakeMotif(p.mood, rng_)) {
    range_ = p.IsMod() ? LeadRange{60, 83, 69} : LeadRange{62, 88, 72};
    if (p.mood == Mood::kCalm) range_ = {62, 84, 70};
  }

  Section Make(Part part) {
    Section sec;
    std::array<Chord, 4> chords = Chords(part.kind);
    bool calm = plan_.mood == Mood::kCalm;
    int bassLo = 28;
    std::array<int, 3> voicing = {60, 64, 67};
    Rng rng(plan_.seed * 131 + static_cast<uint64_t>(part.kind) * 7 + (part.fill ? 3 : 0));
    auto drums = [&](int bar, bool fill) { return Groove(plan_.drums, fill, rng); };
    auto bass = [&](Bass style, int bar) {
      BassBar(style, h_, chords[static_cast<size_t>(bar)],
              chords[static_cast<size_t>((bar + 1) % 4)], bar, bassLo, rng, sec.tracks[kBassRole]);
    };
    const int leadVol = calm ? 40 : 46;
    switch (part.kind) {
      case Kind::kIntro:
        for (int bar = 0; bar < 4; ++bar) {
          if (calm) continue;
          DrumBar d = drums(bar, part.fill && bar == 3);
          AddDrums(d, bar, sec, bar < 2, false);
          if (bar >= 2) bass(plan_.bass, bar);
        }
        PadBars(h_, chords, 0, 4, calm ? 30 : 24, sec, voicing);
        if (plan_.arp || calm) ArpBars(h_, chords, 0, 4, calm, calm ? 34 : 26, sec);
        if (calm) {
          for (int bar = 0; bar < 4; ++bar) bass(Bass::kLong, bar);
          // The second time round, the melody of the middle part is heard softly first.
          if (part.fill)
            Phrase(motifC_, h_, chords, range_, 0, leadVol - 8, kLeadI, sec.tracks[kLeadRole]);
        }
        break;
      case Kind::kVerse:
        for (int bar = 0; bar < 4; ++bar) {
          AddDrums(drums(bar, part.fill && bar == 3), bar, sec);
          bass(plan_.bass, bar);
        }
        if (plan_.arp || calm) ArpBars(h_, chords, 0, 4, calm, calm ? 30 : 24, sec);
        if (calm || !plan_.arp) PadBars(h_, chords, 0, 4, 22, sec, voicing);
        Phrase(motifA_, h_, chords, range_, 0, leadVol, kLeadI, sec.tracks[kLeadRole]);
        break;
      case Kind::kChorus:
        sec.tracks[kCrashRole].push_back({0, 60, 0, 40, kCrashI});
        for (int bar = 0; bar < 4; ++bar) {
          AddDrums(drums(bar, part.fill && bar == 3), bar, sec);
          bass(plan_.bass, bar);
        }
        PadBars(h_, chords, 0, 4, 24, sec, voicing);
        if (plan_.arp || calm) ArpBars(h_, chords, 0, 4, calm, calm ? 28 : 22, sec);
        Phrase(motifB_, h_, chords, range_, 4, leadVol + 4, kLeadI, sec.tracks[kLeadRole]);
        break;
      case Kind::kBreak:
        for (int bar = 0; bar < 4; ++bar) {
          if (!calm) AddDrums(drums(bar, bar == 3), bar, sec, bar < 3, true);
          bass(Bass::kLong, bar);
        }
        PadBars(h_, chords, 0, 4, 28, sec, voicing);
        if (plan_.arp || calm) ArpBars(h_, chords, 0, 4, true, 26, sec);
        Phrase(motifC_, h_, chords, range_, -2, leadVol - 6, kLeadI, sec.tracks[kLeadRole]);
        break;
      case Kind::kBridge:
        sec.tracks[kCrashRole].push_back({0, 60, 0, 36, kCrashI});
        for (int bar = 0; bar < 4; ++bar) {
          AddDrums(Groove(calm ? Drums::kSoft : Drums::kHalf, part.fill && bar == 3, rng), bar,
                   sec);
          bass(plan_.bass == Bass::kLong ? Bass::kLong : Bass::kSyncopated, bar);
        }
        PadBars(h_, chords, 0, 4, 26, sec, voicing);
        Phrase(motifC_, h_, chords, range_, 2, leadVol, kLeadI, sec.tracks[kLeadRole]);
        break;
      case Kind::kOutro: {
        // One last chord on the key, left to ring out.
        sec.rows = kOutroRows;
        sec.endsSong = true;
        Chord tonic = h_.ChordOf(0);
        std::array<Chord, 4> last = {tonic, tonic, tonic, tonic};
        PadBars(h_, last, 0, 1, 30, sec, voicing);
        for (auto& t : {kPad0, kPad1, kPad2}) sec.tracks[t].back().len = kOutroRelease;
        sec.tracks[kBassRole].push_back({0, h_.RootIn(tonic, bassLo), kOutroRelease, 60, kBassI});
        int top = h_.NearestChordTone(h_.RootIn(tonic, range_.centre - 5), tonic);
        sec.tracks[kLeadRole].push_back({0, top, kOutroRelease, leadVol, kLeadI});
        sec.tracks[kKickRole].push_back({0, 60, 0, 64, kKickI});
        sec.tracks[kCrashRole].push_back({0, 60, 0, 44, kCrashI});
        break;
      }
      case Kind::kFanfare: Fanfare(sec); break;
    }
    return sec;
  }

 private:
  std::array<Chord, 4> Chords(Kind kind) const {
    size_t which = 0;
    if (kind == Kind::kChorus) which = 1;
    if (kind == Kind::kBreak) which = 2;
    if (kind == Kind::kBridge) which = 3;
    const auto& prog = plan_.progressions.at(std::min(which, plan_.progressions.size() - 1));
    std::array<Chord, 4> c;
    for (size_t i = 0; i < 4; ++i) c[i] = h_.ChordOf(prog.at(i % prog.size()));
    return c;
  }

  // The winner's call to attention: brass stabs on the key, then IV, V, the borrowed
  // flat six and flat seven, and home with a crash.
  void Fanfare(Section& sec) {
    struct Hit {
      int row, len, chord;
    };
    static constexpr std::array<Hit, 9> kHits = {{{0, 2, 0},
                                                  {3, 2, 0},
                                                  {6, 2, 0},
                                                  {8, 8, 0},
                                                  {16, 6, 3},
                                                  {24, 8, 4},
                                                  {32, 8, kBorrowed + 8},
                                                  {40, 8, kBorrowed + 10},
                                                  {48, 16, 0}}};
    std::array<int, 3> voicing = {60, 64, 67};
    for (const Hit& hit : kHits) {
      Chord c = h_.ChordOf(hit.chord);
      voicing = Voicing(h_, c, voicing, 55, 76);
      for (size_t i = 0; i < 3; ++i)
        sec.tracks[kPad0 + i].push_back(
            {hit.row, voicing[i], hit.len, 34, kPadI, c.third, c.fifth});
      sec.tracks[kLeadRole].push_back({hit.row,
                                       voicing[2] + 12 > range_.hi ? voicing[2] : voicing[2] + 12,
                                       hit.len, 50, kLeadI});
      sec.tracks[kBassRole].push_back({hit.row, h_.RootIn(c, 28), hit.len, 60, kBassI});
      sec.tracks[kKickRole].push_back({hit.row, 60, 0, hit.len >= 8 ? 64 : 50, kKickI});
    }
    // A rising snare roll under the flat six and seven.
    for (int s = 32; s < 48; ++s)
      sec.tracks[kSnareRole].push_back({s, 60, 0, 16 + (s - 32) * 3, kSnareI});
    sec.tracks[kCrashRole].push_back({0, 60, 0, 40, kCrashI});
    sec.tracks[kCrashRole].push_back({48, 60, 0, 48, kCrashI});
  }

  const SongPlan& plan_;
  Harmony h_;
  Rng rng_;
  Motif motifA_, motifB_, motifC_;
  LeadRange range_{};
};

// The order of parts, stretched or shortened to the wanted length: pairs are dropped
// from the middle, or blocks of parts taken in turn are added before the last refrain.
std::vector<Part> Structure(const SongPlan& plan, double patternSeconds) {
  using K = Kind;
  std::vector<Part> parts;
  std::vector<std::vector<Part>> extra;
  switch (plan.mood) {
    case Mood::kCalm:
      parts = {{K::kIntro, false},  {K::kIntro, true},  {K::kVerse, false}, {K::kVerse, true},
               {K::kChorus, false}, {K::kChorus, true}, {K::kBreak, false}, {K::kVerse, false},
               {K::kChorus, false}, {K::kChorus, true}};
      extra = {{{K::kVerse, false}, {K::kVerse, true}}, {{K::kBreak, false}, {K::kChorus, true}}};
      break;
    case Mood::kTriumphant:
      parts = {{K::kFanfare, false}, {K::kVerse, false}, {K::kVerse, true},   {K::kChorus, false},
               {K::kChorus, true},   {K::kBridge, true}, {K::kChorus, false}, {K::kChorus, true}};
      extra = {{{K::kVerse, false}, {K::kVerse, true}}, {{K::kBridge, false}, {K::kBridge, true}}};
      break;
    case Mood::kEnergetic:
      parts = {{K::kIntro, true},  {K::kVerse, false},  {K::kVerse, true}, {K::kChorus, false},
               {K::kChorus, true}, {K::kVerse, false},  {K::kVerse, true}, {K::kChorus, false},
               {K::kChorus, true}, {K::kBreak, false},  {K::kBreak, true}, {K::kBridge, false},
               {K::kBridge, true}, {K::kChorus, false}, {K::kChorus, true}};
      extra = {{{K::kVerse, false}, {K::kVerse, true}},
               {{K::kChorus, false}, {K::kChorus, true}},
               {{K::kBridge, false}, {K::kBridge, true}},
               {{K::kBreak, false}, {K::kBreak, true}}};
      break;
  }
  const double outro = patternSeconds * kOutroRows / kRows;
  auto total = [&] { return double(parts.size()) * patternSeconds + outro; };
  while (total() - 2 * patternSeconds >= plan.targetSeconds && parts.size() > 6) {
    auto mid = parts.begin() + static_cast<long>(parts.size() / 2);
    parts.erase(mid - 1, mid + 1);
  }
  for (size_t next = 0; total() + 2 * patternSeconds <= plan.targetSeconds; ++next) {
    const auto& block = extra[next % extra.size()];
    parts.insert(parts.end() - 2, block.begin(), block.end());
  }
  parts.push_back({K::kOutro, false});
  return parts;
}

// ---- instruments per song ---------------------------------------------------------------

LoopShape LeadSpec(Lead lead) {
  switch (lead) {
    case Lead::kSaw: return {Wave::kSaw, 3, 5000, 1, 0, 0.5};
    case Lead::kSquare: return {Wave::kPulse25, 2, 6000, 1, 0, 0.5};
    case Lead::kSoft: return {Wave::kTriangle, 2, 3000, 1, 0.3, 0.5};
    case Lead::kBrass: return {Wave::kSaw, 2, 2200, 1, 0, 0.5};
  }
  return {};
}

LoopShape BassSpec(Bass bass, Mood mood) {
  if (mood == Mood::kCalm) return {Wave::kSine, 1, 2000, 1, 0.0, 0.5};
  if (bass == Bass::kOctave || bass == Bass::kGallop) return {Wave::kSquare, 1, 900, 2, 0.4, 0.5};
  return {Wave::kSaw, 1, 700, 2, 0.5, 0.5};
}

std::vector<Voice> MakeVoices(const SongPlan& p, bool mod) {
  const int drumRate = mod ? static_cast<int>(std::lround(kModDrumRate)) : 32000;
  const int toneRate = mod ? static_cast<int>(std::lround(kModMelodicRate)) : 22050;
  // Pitches the loops are built at: near the middle of each part's range (for 4-channel
  // modules, one octave above what ProTracker's C-1 must play).
  const double bassRoot = mod ? 36 : 40, leadRoot = mod ? 60 : 72, arpRoot = mod ? 60 : 72,
               padRoot = mod ? 60 : 64;
  uint64_t s = p.seed * 1000;
  std::vector<Voice> v(kInsts);
  bool calm = p.mood == Mood::kCalm;
  v[kKickI] = Kick(drumRate, calm ? 120 : 165, calm ? 45 : 48, calm ? 0.14 : 0.17, s + 1);
  v[kSnareI] = Snare(drumRate, p.mood == Mood::kTriumphant ? 200 : 180,
                     p.drums == Drums::kMarch ? 0.8 : 0.5, s + 2);
  v[kClapI] = Clap(drumRate, s + 3);
  v[kHatClosedI] = HiHat(drumRate, 0.03, s + 4);
  v[kHatOpenI] = HiHat(drumRate, 0.16, s + 5);
  v[kCrashI] = Crash(drumRate, s + 6);
  v[kBassI] = LoopVoice("bass", toneRate, bassRoot, BassSpec(p.bass, p.mood), s + 7);
  v[kLeadI] = LoopVoice("lead", toneRate, leadRoot, LeadSpec(p.lead), s + 8);
  if (calm)
    v[kArpI] = Bell("bell", toneRate, arpRoot, mod ? 0.8 : 1.4, 1.6);
  else
    v[kArpI] = LoopVoice("arp", toneRate, arpRoot, {Wave::kSquare, 1, 3500, 1, 0, 0.25}, s + 9);
  v[kPadI] = LoopVoice("pad", toneRate, padRoot,
                       {calm || p.mood == Mood::kTriumphant ? Wave::kVocal : Wave::kSaw, 4, 1800, 2,
                        0, mod ? 0.5 : 1.0},
                       s + 10);
  return v;
}

// Default volumes: the balance of the mix. A 4-channel module has one voice per part,
// hard left or right, so its tonal parts are set relatively louder; the whole is set
// lower because the game's player mixes 4 channels louder than 10.
uint8_t InstVolume(Inst i, bool mod) {
  if (mod && i == kBassI) return 42;
  if (mod && i == kLeadI) return 38;
  if (mod && i == kPadI) return 30;
  if (mod) return static_cast<uint8_t>(InstVolume(i, false) * 3 / 4);
  switch (i) {
    case kKickI: return 64;
    case kSnareI: return 56;
    case kClapI: return 52;
    case kHatClosedI: return 40;
    case kHatOpenI: return 36;
    case kCrashI: return 40;
    case kBassI: return 50;
    case kLeadI: return 44;
    case kArpI: return 30;
    case kPadI: return 26;
    case kInsts: break;
  }
  return 48;
}

bool Sustains(Role r) { return r == kBassRole || r == kLeadRole || r == kArpRole || r >= kPad0; }

// ---- writing XM ------------------------------------------------------------------------

constexpr int kXmChannels = kRoles;

tracker::XmInstrument XmInstrumentFor(Inst i, const Voice& v) {
  tracker::XmInstrument ins;
  ins.name = v.name;
  ins.samples.push_back(ToXmSample(v, InstVolume(i, false)));
  switch (i) {
    case kBassI:
      ins.volume.points = {{0, 64}, {6, 54}, {40, 44}};
      ins.volume.sustain = 2;
      ins.fadeout = 3000;
      break;
    case kLeadI:
      ins.volume.points = {{0, 56}, {3, 64}, {12, 54}, {60, 48}};
      ins.volume.sustain = 3;
      ins.fadeout = 1800;
      ins.vibratoType = 0;
      ins.vibratoSweep = 40;
      ins.vibratoDepth = 3;
      ins.vibratoRate = 20;
      break;
    case kArpI:
      if (v.loopLength == 0) {
        // The bell decays by itself; the envelope only holds it until the key-off,
        // which then lets it fade instead of cutting it.
        ins.volume.points = {{0, 64}, {10, 64}};
        ins.volume.sustain = 1;
        ins.fadeout = 1500;
      } else {
        ins.volume.points = {{0, 64}, {6, 36}, {30, 12}, {60, 0}};
        ins.fadeout = 2500;
      }
      break;
    case kPadI:
      ins.volume.points = {{0, 0}, {20, 56}, {40, 64}, {80, 52}};
      ins.volume.sustain = 3;
      ins.fadeout = 500;
      break;
    default: break;  // drums: one-shot samples, no envelope
  }
  static constexpr std::array<uint8_t, kInsts> kPan = {128, 120, 136, 156, 160,
                                                       150, 128, 128, 100, 128};
  ins.samples[0].panning = kPan[static_cast<size_t>(i)];
  return ins;
}

tracker::XmPattern ToXmPattern(const Section& sec) {
  tracker::XmPattern p(sec.rows, kXmChannels);
  for (int role = 0; role < kRoles; ++role) {
    // Later notes replace key-offs; a key-off never replaces a note.
    for (const Ev& e : sec.tracks[static_cast<size_t>(role)]) {
      if (e.row < 0 || e.row >= sec.rows) continue;
      tracker::XmCell& c = p.At(e.row, role, kXmChannels);
      int note = std::clamp(e.midi - 11, 1, 96);
      c.note = static_cast<uint8_t>(note);
      c.instrument = static_cast<uint8_t>(e.inst + 1);
      c.volume = static_cast<uint8_t>(0x10 + std::clamp(e.vol, 0, 64));
    }
    if (!Sustains(static_cast<Role>(role))) continue;
    for (const Ev& e : sec.tracks[static_cast<size_t>(role)]) {
      if (e.len <= 0) continue;
      int end = std::min(e.row + e.len, sec.rows - 1);
      tracker::XmCell& c = p.At(end, role, kXmChannels);
      if (c.note == 0) c.note = tracker::kXmKeyOff;
    }
  }
  return p;
}

// ---- writing MOD -----------------------------------------------------------------------

// Amiga channels 0 and 3 are on the left, 1 and 2 on the right.
enum ModChannel { kModDrums = 0, kModLead = 1, kModChords = 2, kModBass = 3 };

struct ModKit {
  std::array<int, kInsts> base{};  // MIDI pitch of note C-1 for each sample
};

int ModNoteIndex(int midi, int base) {
  int idx = midi - base;
  while (idx < 0) idx += 12;
  while (idx > 35) idx -= 12;
  return idx;
}

tracker::ModPattern ToModPattern(const Section& sec, const ModKit& kit, bool chipChords,
                                 bool setTempo, int bpm) {
  tracker::ModPattern p;
  auto put = [&](int row, int ch, const Ev& e, uint8_t effect, uint8_t param) {
    tracker::ModCell& c = p.At(row, ch);
    c.sample = static_cast<uint8_t>(e.inst + 1);
    c.period = tracker::ModPeriod(ModNoteIndex(e.midi, kit.base[static_cast<size_t>(e.inst)]));
    c.effect = effect;
    c.param = param;
  };
  auto cut = [&](int row, int ch) {
    if (row >= kRows) return;
    tracker::ModCell& c = p.At(row, ch);
    if (c.period == 0 && c.effect == 0) c.effect = 0xC;  // C00: silence the channel
  };
  // Drums share one channel: the kick wins over the snare, the snare over the hats.
  for (Role r : {kHatRole, kCrashRole, kSnareRole, kKickRole})
    for (const Ev& e : sec.tracks[r]) {
      if (e.row >= kRows) continue;
      Ev hit = e;
      if (r == kCrashRole) hit.inst = kHatOpenI;
      put(e.row, kModDrums, hit, 0xC, static_cast<uint8_t>(std::clamp(e.vol, 0, 64)));
    }
  for (const Ev& e : sec.tracks[kBassRole]) put(e.row, kModBass, e, 0, 0);
  for (const Ev& e : sec.tracks[kBassRole])
    if (e.len > 0) cut(e.row + e.len, kModBass);
  for (const Ev& e : sec.tracks[kLeadRole]) put(e.row, kModLead, e, 0, 0);
  for (const Ev& e : sec.tracks[kLeadRole])
    if (e.len > 0) cut(e.row + e.len, kModLead);
  if (!chipChords || !sec.tracks[kArpRole].empty()) {
    for (const Ev& e : sec.tracks[kArpRole])
      put(e.row, kModChords, e, 0xC, static_cast<uint8_t>(std::clamp(e.vol + 10, 0, 64)));
  } else {
    // The pad's chord as one channel: its root with a fast arpeggio through the third and fifth.
    for (const Ev& e : sec.tracks[kPad0]) {
      Ev root = e;
      root.inst = kPadI;
      uint8_t arp = static_cast<uint8_t>((e.chordThird << 4) | e.chordFifth);
      put(e.row, kModChords, root, 0x0, arp);
      for (int r = e.row + 1; r < std::min(kRows, e.row + e.len); ++r) {
        tracker::ModCell& c = p.At(r, kModChords);
        if (c.period == 0 && c.effect == 0) c.param = arp;
      }
      if (e.len > 0) cut(e.row + e.len, kModChords);
    }
  }
  if (sec.endsSong) {
    // No envelopes here: the last chord fades by volume slides, then the pattern break
    // from the last pattern ends the song.
    for (int ch : {kModLead, kModChords, kModBass}) {
      for (int r = kOutroRelease; r < kOutroRelease + 16; ++r) {
        tracker::ModCell& c = p.At(r, ch);
        bool free = c.effect == 0 && c.param == 0;
        bool cutHere = c.effect == 0xC && c.param == 0;
        if (c.period == 0 && (free || cutHere)) {
          c.effect = 0xA;
          c.param = 0x01;
        }
      }
      cut(kOutroRelease + 16, ch);
    }
    tracker::ModCell& c = p.At(sec.rows - 1, kModDrums);
    c.effect = 0xD;
    c.param = 0;
  }
  if (setTempo) {
    tracker::ModCell& c = p.At(0, kModLead);
    c.effect = 0xF;
    c.param = static_cast<uint8_t>(bpm);
  }
  return p;
}

}  // namespace

ComposedModule Compose(const SongPlan& plan) {
  const bool mod = plan.IsMod();
  const int speed = 6;
  const double rowSeconds = speed * 2.5 / plan.bpm;
  std::vector<Part> parts = Structure(plan, kRows * rowSeconds);

  Composer composer(plan);
  std::map<Part, int> index;
  std::vector<Section> sections;
  std::vector<uint8_t> order;
  for (const Part& part : parts) {
    auto it = index.find(part);
    if (it == index.end()) {
      it = index.emplace(part, static_cast<int>(sections.size())).first;
      sections.push_back(composer.Make(part));
    }
    order.push_back(static_cast<uint8_t>(it->second));
  }
  // Patterns are numbered in order of first use, so the last one is the outro.
  ComposedModule out;
  for (uint8_t o : order) out.seconds += sections[o].rows * rowSeconds;
  out.patterns = static_cast<int>(sections.size());
  out.orders = static_cast<int>(order.size());

  std::vector<Voice> voices = MakeVoices(plan, mod);
  if (!mod) {
    tracker::XmModule m;
    m.name = plan.title;
    m.channels = kXmChannels;
    m.speed = static_cast<uint16_t>(speed);
    m.bpm = static_cast<uint16_t>(plan.bpm);
    m.order = order;
    for (const Section& s : sections) m.patterns.push_back(ToXmPattern(s));
    for (int i = 0; i < kInsts; ++i)
      m.instruments.push_back(
          XmInstrumentFor(static_cast<Inst>(i), voices[static_cast<size_t>(i)]));
    out.bytes = tracker::WriteXm(m);
    out.channels = kXmChannels;
  } else {
    tracker::ModModule m;
    m.title = plan.title;
    ModKit kit;
    for (int i = 0; i < kInsts; ++i) {
      int base = 0;
      m.samples.push_back(ToModSample(voices[static_cast<size_t>(i)],
                                      InstVolume(static_cast<Inst>(i), true), base));
      kit.base[static_cast<size_t>(i)] = base;
    }
    m.order = order;
    for (size_t i = 0; i < sections.size(); ++i)
      m.patterns.push_back(ToModPattern(sections[i], kit, !plan.arp, i == 0, plan.bpm));
    out.bytes = tracker::WriteMod(m);
    out.channels = tracker::kModChannels;
  }
  return out;
}

}  // namespace tdx::datagen::music
