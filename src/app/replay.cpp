#include "app/replay.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "display/hooks.h"

namespace tdx {

namespace {

namespace fs = std::filesystem;

constexpr char kMagic[8] = {'T', 'D', 'X', 'R', 'P', 'L', 'A', 'Y'};
// A recording never needs more; a larger figure in a header is damage, not a long match.
constexpr uint32_t kMaxPayload = 512u << 20;

// What a frame carries besides its flag byte.
enum FrameFlag : uint8_t {
  kRawTimes = 1,  // two f64: now and end
  kKeys = 2,
  kMouse = 4,
  kSetup = 8,
  kScored = 16,
  kStep = 32,          // one f64 step: now = previous now + step, end = now
  kSetupMissing = 64,  // reading tandrix.cfg failed in this frame
  kMicros = 128,       // two counts of whole microseconds: from the last start, and to the end
};

// Fixed-size values are stored as they lie in memory (little-endian on every machine the
// game is built for); counts of clock time as 7-bit groups.
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
    const auto* b = static_cast<const uint8_t*>(p);
    bytes.insert(bytes.end(), b, b + n);
  }
};

class Reader {
 public:
  Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  bool ok = true;
  size_t Left() const { return n_ - at_; }
  template <typename T>
  T Get() {
    T v{};
    Raw(&v, sizeof v);
    return v;
  }
  uint64_t VarU64() {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      auto b = Get<uint8_t>();
      v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    ok = false;  // more than ten bytes: no count of ours
    return 0;
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
int64_t Micros(double t) { return static_cast<int64_t>(std::llround(t * 1e6)); }
// Twelve days: longer gaps are stored as plain readings, and no damaged count can overflow.
constexpr uint64_t kMicrosLimit = 1ull << 40;

bool AsMicros(double prevNow, const ReplayFrame& f, uint64_t& sinceLast, uint64_t& toEnd) {
  if (!(f.now >= prevNow && f.end >= f.now && f.end < 1e12)) return false;
  int64_t base = Micros(prevNow), now = Micros(f.now), end = Micros(f.end);
  if (now < base || static_cast<double>(now) / 1e6 != f.now) return false;
  if (static_cast<double>(end) / 1e6 != f.end) return false;
  sinceLast = static_cast<uint64_t>(now - base);
  toEnd = static_cast<uint64_t>(end - now);
  return sinceLast < kMicrosLimit && toEnd < kMicrosLimit;
}

void EncodeFrames(const Replay& r, Writer& w) {
  double prevNow = 0, step = 0;
  bool haveStep = false;
  for (const ReplayFrame& f : r.frames) {
    uint8_t flags = 0;
    // A fixed clock advances by one step a frame; store the step once, not every time.
    bool sameStep = haveStep && f.end == f.now && prevNow + step == f.now;
    double newStep = f.now - prevNow;
    bool stepWorks = f.end == f.now && prevNow + newStep == f.now;
    uint64_t sinceLast = 0, toEnd = 0;
    if (!sameStep) {
      flags |= stepWorks ? kStep : AsMicros(prevNow, f, sinceLast, toEnd) ? kMicros : kRawTimes;
    }
    if (!f.keys.empty()) flags |= kKeys;
    if (!f.mouse.empty()) flags |= kMouse;
    if (f.setupChanged) flags |= kSetup;
    if (f.setupMissing) flags |= kSetupMissing;
    if (!f.scored.empty()) flags |= kScored;
    w.Put<uint8_t>(flags);
    if (flags & kRawTimes) {
      w.Put<double>(f.now);
      w.Put<double>(f.end);
      haveStep = false;
    } else if (flags & kStep) {
      w.Put<double>(newStep);
      step = newStep;
      haveStep = true;
    } else if (flags & kMicros) {
      w.VarU64(sinceLast);
      w.VarU64(toEnd);
      haveStep = false;
    }
    prevNow = f.now;
    if (flags & kKeys) {
      w.Put<uint16_t>(static_cast<uint16_t>(f.keys.size()));
      for (auto [code, state] : f.keys) {
        w.Put<uint8_t>(code);
        w.Put<uint8_t>(state);
      }
    }
    if (flags & kMouse) {
      w.Put<uint16_t>(static_cast<uint16_t>(f.mouse.size()));
      for (const MouseEvent& m : f.mouse) {
        w.Put<uint8_t>(static_cast<uint8_t>(m.kind));
        w.Put<uint16_t>(static_cast<uint16_t>(static_cast<int16_t>(m.x)));
        w.Put<uint16_t>(static_cast<uint16_t>(static_cast<int16_t>(m.y)));
      }
    }
    if (flags & kSetup) w.Raw(&f.setup, sizeof f.setup);
    if (flags & kScored) {
      w.Put<uint8_t>(static_cast<uint8_t>(f.scored.size()));
      for (const ScoredRound& s : f.scored) {
        w.Put<uint32_t>(static_cast<uint32_t>(s.round));
        w.Put<uint8_t>(static_cast<uint8_t>(static_cast<int8_t>(s.winner)));
        w.Put<uint64_t>(s.digest);
      }
    }
  }
}

bool DecodeFrames(Reader& rd, uint32_t count, Replay& r, std::string& error) {
  double prevNow = 0, step = 0;
  bool haveStep = false;
  r.frames.clear();
  r.frames.reserve(std::min<uint32_t>(count, 1u << 20));
  for (uint32_t i = 0; i < count; ++i) {
    ReplayFrame f;
    uint8_t flags = rd.Get<uint8_t>();
    const int clocks =
        ((flags & kRawTimes) != 0) + ((flags & kStep) != 0) + ((flags & kMicros) != 0);
    if (clocks > 1) {
      error = "damaged: frame " + std::to_string(i) + " has two clock readings";
      return false;
    }
    if (flags & kRawTimes) {
      f.now = rd.Get<double>();
      f.end = rd.Get<double>();
      haveStep = false;
    } else if (flags & kStep) {
      step = rd.Get<double>();
      haveStep = true;
      f.now = f.end = prevNow + step;
    } else if (flags & kMicros) {
      int64_t now = Micros(prevNow) + static_cast<int64_t>(rd.VarU64() % kMicrosLimit);
      int64_t end = now + static_cast<int64_t>(rd.VarU64() % kMicrosLimit);
      f.now = static_cast<double>(now) / 1e6;
      f.end = static_cast<double>(end) / 1e6;
      haveStep = false;
    } else {
      if (!haveStep) {
        error = "damaged: frame " + std::to_string(i) + " has no clock time";
        return false;
      }
      f.now = f.end = prevNow + step;
    }
    prevNow = f.now;
    if (flags & kKeys) {
      uint16_t n = rd.Get<uint16_t>();
      for (uint16_t k = 0; k < n && rd.ok; ++k) {
        uint8_t code = rd.Get<uint8_t>();
        uint8_t state = rd.Get<uint8_t>();
        f.keys.emplace_back(code, state);
      }
    }
    if (flags & kMouse) {
      uint16_t n = rd.Get<uint16_t>();
      for (uint16_t k = 0; k < n && rd.ok; ++k) {
        MouseEvent m;
        uint8_t kind = rd.Get<uint8_t>();
        m.kind = kind == MouseEvent::Click ? MouseEvent::Click : MouseEvent::Move;
        m.x = static_cast<int16_t>(rd.Get<uint16_t>());
        m.y = static_cast<int16_t>(rd.Get<uint16_t>());
        f.mouse.push_back(m);
      }
    }
    if (flags & kSetup) {
      rd.Raw(&f.setup, sizeof f.setup);
      f.setupChanged = true;
    }
    f.setupMissing = (flags & kSetupMissing) != 0;
    if (flags & kScored) {
      uint8_t n = rd.Get<uint8_t>();
      for (uint8_t k = 0; k < n && rd.ok; ++k) {
        ScoredRound s;
        s.round = static_cast<int>(rd.Get<uint32_t>());
        s.winner = static_cast<int8_t>(rd.Get<uint8_t>());
        s.digest = rd.Get<uint64_t>();
        s.frame = i;
        f.scored.push_back(s);
      }
    }
    if (!rd.ok) {
      error = "damaged: frame " + std::to_string(i) + " is cut short";
      return false;
    }
    r.frames.push_back(std::move(f));
  }
  if (rd.Left() != 0) {
    error = "damaged: " + std::to_string(rd.Left()) + " stray bytes after the last frame";
    return false;
  }
  return true;
}

std::string Hex(uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016" PRIx64, v);
  return buf;
}

std::string WinnerText(int winner) { return winner < 0 ? "draw" : std::to_string(winner); }

}  // namespace

std::vector<uint8_t> EncodeReplay(const Replay& r) {
  Writer payload;
  EncodeFrames(r, payload);
  uLongf packedSize = compressBound(static_cast<uLong>(payload.bytes.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, payload.bytes.data(),
                static_cast<uLong>(payload.bytes.size()), Z_BEST_COMPRESSION) != Z_OK) {
    return {};
  }
  packed.resize(packedSize);

  Writer w;
  w.Raw(kMagic, sizeof kMagic);
  w.Put<uint32_t>(kReplayFormat);
  w.Put<uint16_t>(static_cast<uint16_t>(r.version.size()));
  w.Raw(r.version.data(), r.version.size());
  w.Put<uint64_t>(r.seed);
  w.Put<uint8_t>(r.start);
  w.Raw(&r.setup, sizeof r.setup);
  w.Put<uint32_t>(static_cast<uint32_t>(r.frames.size()));
  w.Put<uint32_t>(static_cast<uint32_t>(payload.bytes.size()));
  w.Put<uint32_t>(static_cast<uint32_t>(packed.size()));
  w.Raw(packed.data(), packed.size());
  w.Put<uint32_t>(
      static_cast<uint32_t>(crc32(0, w.bytes.data(), static_cast<uInt>(w.bytes.size()))));
  return w.bytes;
}

bool DecodeReplay(const std::vector<uint8_t>& bytes, Replay& r, std::string& error) {
  if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
    error = "not a Tandrix recording";
    return false;
  }
  Reader rd(bytes.data() + sizeof kMagic, bytes.size() - sizeof kMagic);
  uint32_t format = rd.Get<uint32_t>();
  if (rd.ok && format != kReplayFormat) {
    error = "recorded by an incompatible build (recording format " + std::to_string(format) +
            ", this build reads format " + std::to_string(kReplayFormat) + ")";
    return false;
  }
  uint16_t versionSize = rd.Get<uint16_t>();
  if (rd.ok && versionSize > 64) rd.ok = false;
  std::string version(rd.ok ? versionSize : 0, '\0');
  rd.Raw(version.data(), version.size());
  uint64_t seed = rd.Get<uint64_t>();
  uint8_t start = rd.Get<uint8_t>();
  SettingsBlock setup{};
  rd.Raw(&setup, sizeof setup);
  uint32_t frames = rd.Get<uint32_t>();
  uint32_t rawSize = rd.Get<uint32_t>();
  uint32_t packedSize = rd.Get<uint32_t>();
  if (!rd.ok || rd.Left() < 4 || packedSize > rd.Left() - 4) {
    error = "truncated";
    return false;
  }
  if (rd.Left() - 4 != packedSize) {
    error = "damaged: " + std::to_string(rd.Left() - 4 - packedSize) + " stray bytes at the end";
    return false;
  }
  uint32_t stored = 0;
  std::memcpy(&stored, bytes.data() + bytes.size() - 4, 4);
  auto crc = static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size() - 4)));
  if (stored != crc) {
    error = "damaged: checksum mismatch";
    return false;
  }
  if (version != TANDRIX_VERSION) {
    error = "recorded by tandrix " + version + ", an incompatible build (this is tandrix " +
            TANDRIX_VERSION + ")";
    return false;
  }
  if (start > 2 || rawSize > kMaxPayload) {
    error = "damaged: impossible header values";
    return false;
  }
  std::vector<uint8_t> packed(packedSize);
  rd.Raw(packed.data(), packed.size());
  std::vector<uint8_t> raw(rawSize);
  uLongf got = rawSize;
  if (uncompress(raw.data(), &got, packed.data(), packedSize) != Z_OK || got != rawSize) {
    error = "damaged: the frames do not unpack";
    return false;
  }
  Replay out;
  out.version = version;
  out.seed = seed;
  out.start = start;
  out.setup = setup;
  Reader fr(raw.data(), raw.size());
  if (!DecodeFrames(fr, frames, out, error)) return false;
  r = std::move(out);
  return true;
}

bool SaveReplay(const std::string& path, const Replay& r, std::string& error) {
  std::vector<uint8_t> bytes = EncodeReplay(r);
  if (bytes.empty()) {
    error = path + ": the recording could not be packed";
    return false;
  }
  std::string temp = path + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out)
      out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
    if (out) out.flush();
    if (!out) {
      error = path + ": cannot write (" + std::strerror(errno) + ")";
      std::error_code ec;
      fs::remove(temp, ec);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) {
    error = path + ": cannot write (" + ec.message() + ")";
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

bool LoadReplay(const std::string& path, Replay& r, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open (" + std::strerror(errno) + ")";
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = path + ": cannot read";
    return false;
  }
  std::string why;
  if (!DecodeReplay(bytes, r, why)) {
    error = path + ": " + why;
    return false;
  }
  return true;
}

bool RecordingSetupStore::Load(SettingsBlock& out, std::string& error) {
  bool ok = LoadSettings(g_.Path(kSettingsFileName), out, error);
  ReplayFrame* frame = r_.frames.empty() ? nullptr : &r_.frames.back();
  if (!ok) {
    if (frame) frame->setupMissing = true;
    return false;
  }
  if (!frame) {
    r_.setup = out;  // read at start-up: the recording starts from it
  } else if (!haveLast_ || std::memcmp(&last_, &out, sizeof out) != 0) {
    frame->setupChanged = true;
    frame->setup = out;
  }
  last_ = out;
  haveLast_ = true;
  return true;
}

bool RecordingSetupStore::Save(const SettingsBlock& in, std::string& error) {
  return SaveSettings(g_.Path(kSettingsFileName), in, error);
}

void ReplaySetupStore::Frame(const ReplayFrame& f) {
  if (f.setupChanged) current_ = f.setup;
  missing_ = f.setupMissing;
}

bool ReplaySetupStore::Load(SettingsBlock& out, std::string& error) {
  if (missing_) {
    error = std::string(kSettingsFileName) + " could not be read when this match was recorded";
    return false;
  }
  out = current_;
  return true;
}

Recorder::Recorder(uint64_t seed, uint8_t start) {
  r_.version = TANDRIX_VERSION;
  r_.seed = seed;
  r_.start = start;
}

void Recorder::BeginFrame(const std::array<uint8_t, 256>& polled,
                          const std::vector<MouseEvent>& mouse) {
  ReplayFrame f;
  for (int c = 0; c < 256; ++c) {
    auto i = static_cast<size_t>(c);
    if (polled[i] != keys_[i]) f.keys.emplace_back(static_cast<uint8_t>(c), polled[i]);
  }
  keys_ = polled;
  f.mouse = mouse;
  r_.frames.push_back(std::move(f));
}

void Recorder::EndFrame(double now, double end, const std::vector<ScoredRound>& scored) {
  ReplayFrame& f = r_.frames.back();
  f.now = now;
  f.end = end;
  f.scored = scored;
}

bool CheckScoredRounds(const ReplayFrame& recorded, const std::vector<ScoredRound>& replayed,
                       uint64_t frame, std::string& error) {
  const auto& want = recorded.scored;
  for (size_t i = 0; i < std::max(want.size(), replayed.size()); ++i) {
    if (i >= replayed.size()) {
      error = "differs from the recording at round " + std::to_string(want[i].round) + ", frame " +
              std::to_string(frame) + ": the recording scored the round here, the replay did not";
      return false;
    }
    if (i >= want.size()) {
      error = "differs from the recording at round " + std::to_string(replayed[i].round) +
              ", frame " + std::to_string(frame) +
              ": the replay scored a round here, the recording did not";
      return false;
    }
    const ScoredRound& a = want[i];
    const ScoredRound& b = replayed[i];
    if (a.round != b.round || a.winner != b.winner || a.digest != b.digest) {
      error = "differs from the recording at round " + std::to_string(a.round) + ", frame " +
              std::to_string(frame) + ": recorded winner=" + WinnerText(a.winner) +
              " digest=" + Hex(a.digest) + ", replayed round=" + std::to_string(b.round) +
              " winner=" + WinnerText(b.winner) + " digest=" + Hex(b.digest);
      return false;
    }
  }
  return true;
}

std::string NewReplayPath(const std::string& workDir) {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  // Numbered within the second, past any number already used, so the names sort in the
  // order the matches were played even after the oldest were pruned.
  std::string folder = workDir + "/" + kReplayFolder;
  std::string prefix = std::string("match-") + stamp + "-";
  int last = 0;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) == 0) last = std::max(last, std::atoi(name.c_str() + prefix.size()));
  }
  char number[16];
  std::snprintf(number, sizeof number, "%03d", last + 1);
  return folder + "/" + prefix + number + ".tdxr";
}

void PruneReplays(const std::string& workDir) {
  std::error_code ec;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(workDir + "/" + kReplayFolder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const fs::path& p = it->path();
    if (p.extension() == ".tdxr" && p.filename().string().rfind("match-", 0) == 0)
      files.push_back(p);
  }
  if (files.size() <= static_cast<size_t>(kReplaysKept)) return;
  // Oldest first: the names carry the time they were recorded.
  std::sort(files.begin(), files.end());
  for (size_t i = 0; i + kReplaysKept < files.size(); ++i) fs::remove(files[i], ec);
}

namespace {

bool InMatch(GamePhase p) {
  switch (p) {
    case GamePhase::RoundStart:
    case GamePhase::RoundIntro:
    case GamePhase::ShowThree:
    case GamePhase::ShowingThree:
    case GamePhase::ShowingTwo:
    case GamePhase::ShowingOne:
    case GamePhase::ShowingGo:
    case GamePhase::Playing:
    case GamePhase::RoundOver:
    case GamePhase::WaitReady: return true;
    default: return false;
  }
}

}  // namespace

Session::Session(Game& g, FrameClock& clock, uint64_t seed, uint8_t start, const Replay* replay)
    : g_(g),
      clock_(clock),
      replay_(replay),
      recorder_(seed, start),
      recordingStore_(g, recorder_.Data()) {
  if (replay_) {
    replayStore_ = std::make_unique<ReplaySetupStore>(*replay_);
    g_.setupStore = replayStore_.get();
  } else {
    g_.setupStore = &recordingStore_;
  }
}

Session::~Session() {
  if (g_.setupStore == &recordingStore_ || g_.setupStore == replayStore_.get()) {
    g_.setupStore = nullptr;
  }
}

bool Session::HasFrame() const { return !replay_ || frames_ < replay_->frames.size(); }

bool Session::Frame(std::vector<MouseEvent>& mouse, const std::array<uint8_t, 256>* keys) {
  const ReplayFrame* recorded = nullptr;
  if (replay_) {
    recorded = &replay_->frames[static_cast<size_t>(frames_)];
    mouse = recorded->mouse;  // the viewer's own mouse and keys play no part
    for (auto [code, state] : recorded->keys) g_.input.Polled[code] = state;
    replayStore_->Frame(*recorded);
    clock_.BeginReplayedFrame(recorded->now, recorded->end);
  } else {
    if (keys) g_.input.Polled = *keys;
    recorder_.BeginFrame(g_.input.Polled, mouse);
    clock_.BeginFrame();
  }
  for (const MouseEvent& e : mouse) {
    MouseMove(g_, e.x, e.y);
    if (e.kind == MouseEvent::Click) MouseClick(g_);
  }
  FrameStep(g_, clock_);

  // The rounds scored in this frame (a new match starts its list again).
  if (g_.match.Scored.size() < scoredSeen_) scoredSeen_ = 0;
  scoredNow_.assign(g_.match.Scored.begin() + static_cast<std::ptrdiff_t>(scoredSeen_),
                    g_.match.Scored.end());
  scoredSeen_ = g_.match.Scored.size();
  bool same = true;
  if (recorded) {
    same = CheckScoredRounds(*recorded, scoredNow_, frames_, replayError_);
  } else {
    recorder_.EndFrame(g_.Now, g_.LastFrameTime, scoredNow_);
  }
  matchEnded_ = false;
  if (InMatch(g_.phase)) {
    matchRunning_ = true;
  } else if (matchRunning_) {
    matchRunning_ = false;
    matchEnded_ = true;
  }
  ++frames_;
  return same;
}

bool Session::Finish() {
  if (!replay_ || !replayError_.empty()) return replayError_.empty();
  // The game stopped before the recording did: the first round it never reached differs.
  for (size_t f = static_cast<size_t>(frames_); f < replay_->frames.size(); ++f) {
    if (replay_->frames[f].scored.empty()) continue;
    replayError_ = "differs from the recording at round " +
                   std::to_string(replay_->frames[f].scored.front().round) + ", frame " +
                   std::to_string(f) + ": the replay stopped at frame " + std::to_string(frames_);
    return false;
  }
  return true;
}

std::string ScoredRoundLine(const ScoredRound& r) {
  return "round=" + std::to_string(r.round) + " winner=" + WinnerText(r.winner) +
         " digest=" + Hex(r.digest);
}

}  // namespace tdx
