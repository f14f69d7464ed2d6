#include "app/replay.h"

#include <zlib.h>

#include <sys/stat.h>
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
#include <iostream>
#include <iterator>
#include <system_error>
#include <utility>

#include "app/frame_clock.h"
#include "app/frame_loop.h"
#include "app/game_flow.h"
#include "app/recording_bytes.h"
#include "app/round_cycle.h"
#include "display/hooks.h"
#include "display/hud.h"
#include "display/match_view.h"
#include "match/snapshot.h"
#include "menu/menu_items.h"

namespace tdx {

namespace {

namespace fs = std::filesystem;
using recording::kMicrosLimit;
using recording::Micros;
using recording::Reader;
using recording::Writer;

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

void EncodeFrames(const Replay& r, Writer& w) {
  recording::ClockWriter clock;
  for (const ReplayFrame& f : r.frames) {
    uint8_t flags = 0;
    switch (clock.Choose(f.now, f.end)) {
      case recording::ClockForm::SameStep: break;
      case recording::ClockForm::Step: flags |= kStep; break;
      case recording::ClockForm::Micros: flags |= kMicros; break;
      case recording::ClockForm::Raw: flags |= kRawTimes; break;
    }
    if (!f.keys.empty()) flags |= kKeys;
    if (!f.mouse.empty()) flags |= kMouse;
    if (f.setupChanged) flags |= kSetup;
    if (f.setupMissing) flags |= kSetupMissing;
    if (!f.scored.empty()) flags |= kScored;
    w.Put<uint8_t>(flags);
    clock.Write(w);
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

// Longer than this, a frame would make the rules catch up for ever; no real clock gives one.
constexpr double kMaxFrameSeconds = 600;

bool DecodeReplayFrame(Reader& rd, ReplayClock& c, uint64_t i, ReplayFrame& out,
                       std::string& error) {
  ReplayFrame f;
  auto at = [i] { return "frame " + std::to_string(i); };  // for messages only
  uint8_t flags = rd.Get<uint8_t>();
  const int clocks = ((flags & kRawTimes) != 0) + ((flags & kStep) != 0) + ((flags & kMicros) != 0);
  if (clocks > 1) {
    error = "damaged: " + at() + " has two clock readings";
    return false;
  }
  if (flags & kRawTimes) {
    f.now = rd.Get<double>();
    f.end = rd.Get<double>();
    c.haveStep = false;
  } else if (flags & kStep) {
    c.step = rd.Get<double>();
    c.haveStep = true;
    f.now = f.end = c.prevNow + c.step;
  } else if (flags & kMicros) {
    int64_t now = Micros(c.prevNow) + static_cast<int64_t>(rd.VarU64() % kMicrosLimit);
    int64_t end = now + static_cast<int64_t>(rd.VarU64() % kMicrosLimit);
    f.now = static_cast<double>(now) / 1e6;
    f.end = static_cast<double>(end) / 1e6;
    c.haveStep = false;
  } else {
    if (!c.haveStep) {
      error = "damaged: " + at() + " has no clock time";
      return false;
    }
    f.now = f.end = c.prevNow + c.step;
  }
  // A clock that is not a time, runs backwards or jumps would stall or hang the rules.
  if (rd.ok &&
      (!std::isfinite(f.now) || !std::isfinite(f.end) || f.now < c.prevNow || f.end < f.now ||
       f.now - c.prevNow > kMaxFrameSeconds || f.end - f.now > kMaxFrameSeconds || f.end > 1e9)) {
    error = "damaged: " + at() + " has an impossible clock reading";
    return false;
  }
  c.prevNow = f.now;
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
      const uint8_t winner = rd.Get<uint8_t>();  // -1 (a draw) is stored as 255
      s.winner = winner < 128 ? winner : winner - 256;
      s.digest = rd.Get<uint64_t>();
      s.frame = i;
      f.scored.push_back(s);
    }
  }
  if (!rd.ok) {
    error = "damaged: " + at() + " is cut short";
    return false;
  }
  out = std::move(f);
  return true;
}

bool DecodeFrames(Reader& rd, uint32_t count, Replay& r, std::string& error) {
  ReplayClock clock;
  r.frames.clear();
  r.frames.reserve(std::min<uint32_t>(count, 1u << 16));
  for (uint32_t i = 0; i < count; ++i) {
    ReplayFrame f;
    if (!DecodeReplayFrame(rd, clock, i, f, error)) return false;
    r.frames.push_back(std::move(f));
  }
  if (rd.Left() != 0) {
    error = "damaged: " + std::to_string(rd.Left()) + " stray byte" + (rd.Left() == 1 ? "" : "s") +
            " after the last frame";
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

namespace {

// Everything but the frames: the header checked, the payload unpacked (its size checked
// against what the packed bytes can hold before anything is allocated).
bool DecodeReplayHeader(const std::vector<uint8_t>& bytes, Replay& r, std::vector<uint8_t>& payload,
                        uint32_t& frames, std::string& error) {
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
  frames = rd.Get<uint32_t>();
  uint32_t rawSize = rd.Get<uint32_t>();
  uint32_t packedSize = rd.Get<uint32_t>();
  if (!rd.ok || rd.Left() < 4 || packedSize > rd.Left() - 4) {
    error = "truncated";
    return false;
  }
  if (rd.Left() - 4 != packedSize) {
    const size_t stray = rd.Left() - 4 - packedSize;
    error = "damaged: " + std::to_string(stray) + " stray byte" + (stray == 1 ? "" : "s") +
            " at the end";
    return false;
  }
  uint32_t stored = 0;
  std::memcpy(&stored, bytes.data() + bytes.size() - 4, 4);
  auto crc = static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size() - 4)));
  if (stored != crc) {
    error = "damaged: checksum mismatch";
    return false;
  }
  for (char c : version) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      error = "damaged: the version name holds control characters";
      return false;
    }
  }
  if (version != TANDRIX_VERSION) {
    error = "recorded by tandrix " + version + ", an incompatible build (this is tandrix " +
            TANDRIX_VERSION + ")";
    return false;
  }
  // zlib packs at most about 1,032 to 1; every frame takes at least a byte.
  if (start > 2 || rawSize > kMaxPayload ||
      static_cast<uint64_t>(rawSize) > static_cast<uint64_t>(packedSize) * 1032 + 64 ||
      frames > rawSize) {
    error = "damaged: impossible header values";
    return false;
  }
  if (frames == 0) {
    error = "holds no frames";
    return false;
  }
  std::vector<uint8_t> raw(rawSize);
  uLongf got = rawSize;
  uLong used = packedSize;
  if (uncompress2(raw.data(), &got, rd.At(), &used) != Z_OK || got != rawSize) {
    error = "damaged: the frames do not unpack";
    return false;
  }
  if (used != packedSize) {
    error = "damaged: bytes after the packed frames";
    return false;
  }
  r = Replay{};
  r.version = version;
  r.seed = seed;
  r.start = start;
  r.setup = setup;
  payload = std::move(raw);
  return true;
}

}  // namespace

bool DecodeReplay(const std::vector<uint8_t>& bytes, Replay& r, std::string& error) {
  Replay out;
  std::vector<uint8_t> raw;
  uint32_t frames = 0;
  if (!DecodeReplayHeader(bytes, out, raw, frames, error)) return false;
  Reader fr(raw.data(), raw.size());
  if (!DecodeFrames(fr, frames, out, error)) return false;
  r = std::move(out);
  return true;
}

void ReplayFrames::Take(std::vector<uint8_t> payload, uint32_t count) {
  payload_ = std::move(payload);
  at_ = 0;
  count_ = count;
  next_ = 0;
  clock_ = {};
}

bool ReplayFrames::CheckAll(std::string& error) {
  ReplayFrame f;
  while (Next(f, error)) {
  }
  const bool ok = error.empty();
  at_ = 0;
  next_ = 0;
  clock_ = {};
  return ok;
}

bool ReplayFrames::Next(ReplayFrame& f, std::string& error) {
  error.clear();
  if (next_ >= count_) {
    if (at_ != payload_.size() && next_ == count_) {
      const size_t stray = payload_.size() - at_;
      error = "damaged: " + std::to_string(stray) + " stray byte" + (stray == 1 ? "" : "s") +
              " after the last frame";
      ++next_;  // said once
    }
    return false;
  }
  Reader rd(payload_.data() + at_, payload_.size() - at_);
  if (!DecodeReplayFrame(rd, clock_, next_, f, error)) {
    next_ = count_ + 1;  // nothing more is read from damaged frames
    return false;
  }
  at_ = payload_.size() - rd.Left();
  ++next_;
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

namespace {

// The whole file, if it is a regular one of a size a recording can have.
bool ReadRecording(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::FILE* f = OpenRecording(path, error);
  if (!f) return false;
  struct stat st {};
  if (::fstat(::fileno(f), &st) != 0 || st.st_size > static_cast<off_t>(kMaxPayload) + 4096) {
    error = path + ": too large for a recording";
    std::fclose(f);
    return false;
  }
  bytes.resize(static_cast<size_t>(st.st_size));
  size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
  bool more = std::fgetc(f) != EOF;  // it grew while being read
  std::fclose(f);
  if (got != bytes.size() || more) {
    error = path + ": cannot read";
    return false;
  }
  return true;
}

}  // namespace

bool LoadReplay(const std::string& path, Replay& r, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadRecording(path, bytes, error)) return false;
  std::string why;
  if (!DecodeReplay(bytes, r, why)) {
    error = path + ": " + why;
    return false;
  }
  return true;
}

bool OpenReplay(const std::string& path, Replay& r, ReplayFrames& frames, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadRecording(path, bytes, error)) return false;
  std::vector<uint8_t> payload;
  uint32_t count = 0;
  std::string why;
  if (!DecodeReplayHeader(bytes, r, payload, count, why)) {
    error = path + ": " + why;
    return false;
  }
  frames.Take(std::move(payload), count);
  if (!frames.CheckAll(why)) {
    error = path + ": " + why;
    return false;
  }
  return true;
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

bool CheckScoredRounds(const std::vector<ScoredRound>& want,
                       const std::vector<ScoredRound>& replayed, uint64_t frame,
                       std::string& error) {
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

std::string NewReplayPath(const std::string& playerData) {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  // Numbered within the second, past any number already used, so the names sort in the
  // order the matches were played even after the oldest were pruned.
  std::string folder = playerData + "/" + kReplayFolder;
  std::string prefix = std::string("match-") + stamp + "-";
  const std::string keptPrefix = std::string("kept-") + stamp + "-";
  int last = 0;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    // Kept ones too: keeping a recording must never give its name to a new one.
    for (const std::string& p : {prefix, keptPrefix}) {
      if (name.rfind(p, 0) == 0) last = std::max(last, std::atoi(name.c_str() + p.size()));
    }
  }
  char number[16];
  std::snprintf(number, sizeof number, "%03d", last + 1);
  return folder + "/" + prefix + number + ".tdxr";
}

void PruneReplays(const std::string& playerData) {
  std::error_code ec;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(playerData + "/" + kReplayFolder, ec), end; !ec && it != end;
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

// A recording the game named: "match-…" or "kept-…", ".tdxr".
bool IsRecordingName(const std::string& name, const char* prefix) {
  return name.rfind(prefix, 0) == 0 && name.size() > 5 &&
         name.compare(name.size() - 5, 5, ".tdxr") == 0;
}

}  // namespace

bool KeepReplay(const std::string& path, std::string& kept, std::string& error) {
  const fs::path from(path);
  const std::string name = from.filename().string();
  if (IsRecordingName(name, "kept-")) {
    kept = path;  // kept already
    return true;
  }
  if (!IsRecordingName(name, "match-")) {
    error = path + ": not a recording of the replays folder";
    return false;
  }
  const fs::path to = from.parent_path() / ("kept-" + name.substr(6));
  std::error_code ec;
  if (fs::exists(to, ec)) {
    error = to.string() + ": a kept recording of that name is already there";
    return false;
  }
  fs::rename(from, to, ec);
  if (ec) {
    error = path + ": cannot keep it (" + ec.message() + ")";
    return false;
  }
  kept = to.string();
  return true;
}

bool DeleteReplay(const std::string& path, std::string& error) {
  const std::string name = fs::path(path).filename().string();
  if (!IsRecordingName(name, "match-") && !IsRecordingName(name, "kept-")) {
    error = path + ": not a recording of the replays folder";
    return false;
  }
  std::error_code ec;
  if (!fs::remove(path, ec)) {
    error = path + ": cannot delete it (" + (ec ? ec.message() : "it is not there") + ")";
    return false;
  }
  return true;
}

namespace {

// The process number in a temporary's name (NAME.PID.tmp, NAME.PID-N.part), or 0.
long TemporaryOwner(const std::string& name, const std::string& suffix) {
  if (name.size() <= suffix.size() ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return -1;
  }
  std::string stem = name.substr(0, name.size() - suffix.size());
  size_t dot = stem.rfind('.');
  if (dot == std::string::npos) return 0;
  std::string number = stem.substr(dot + 1);
  number = number.substr(0, number.find('-'));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos ||
      number.size() > 9) {
    return 0;
  }
  return std::stol(number);
}

void CleanFolder(const fs::path& folder, const std::string& prefix, const std::string& suffix) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0 || !it->is_regular_file(ec)) continue;
    long owner = TemporaryOwner(name, suffix);
    if (owner < 0 || OwnerRuns(owner)) continue;
    fs::remove(it->path(), ec);
  }
}

}  // namespace

void CleanLeftovers(const std::string& config, const std::string& playerData) {
  CleanFolder(config, std::string(kSettingsFileName) + ".", ".tmp");
  CleanFolder(fs::path(playerData) / kReplayFolder, "", ".part");
}

// What tandrix.cfg gave, each time the game reads it: the file itself, the reads a format-1
// recording holds, or the set-up a format-2 recording holds now. A live run's recording
// notes from here what the match read.
class Session::NotingStore : public SettingsStore {
 public:
  NotingStore(Game& g, SettingsStore* inner) : g_(g), inner_(inner) {}
  bool Load(SettingsBlock& out, std::string& error) override {
    bool ok = true;
    if (fixed_) {
      out = current_;
    } else {
      ok = inner_ ? inner_->Load(out, error) : LoadSettings(g_.SetupPath(), out, error);
    }
    // A failed read leaves the set-up in memory as it was: that is what the match reads.
    last_ = out;
    read_ = true;
    return ok;
  }
  bool Save(const SettingsBlock& in, std::string& error) override {
    if (fixed_) return true;  // a replay never writes
    return inner_ ? inner_->Save(in, error) : SaveSettings(g_.SetupPath(), in, error);
  }
  // A format-2 replay: every read gives this.
  void Fix(const SettingsBlock& s) {
    fixed_ = true;
    current_ = s;
  }
  bool TakeRead() { return std::exchange(read_, false); }
  const SettingsBlock& Last() const { return last_; }

 private:
  Game& g_;
  SettingsStore* inner_;
  bool fixed_ = false, read_ = false;
  SettingsBlock current_{}, last_{};
};

Session::Session(Game& g, FrameClock& clock, uint64_t seed, const ReplaySource& source)
    : g_(g),
      clock_(clock),
      seed_(seed),
      replay_(source.replay),
      replayFrames_(source.frames),
      tape_(source.tape),
      header_(source.header) {
  if (replay_) replayStore_ = std::make_unique<ReplaySetupStore>(*replay_);
  store_ = std::make_unique<NotingStore>(g, replayStore_.get());
  g_.setupStore = store_.get();
  if (tape_ && header_) {
    // The recording brings its set-up: start-up reads it, not tandrix.cfg. (A snapshot that
    // cannot be read is said by StartTape.)
    auto start = std::make_unique<Match>();
    std::string error;
    store_->Fix(LoadSnapshot(header_->snapshot, *start, error) ? start->settings : SettingsBlock{});
  }
}

Session::~Session() {
  if (g_.setupStore == store_.get()) g_.setupStore = nullptr;
}

void Session::RecordMatches(const std::string& keepIn, const std::string& recordPath) {
  keepIn_ = keepIn;
  recordPath_ = recordPath;
}

bool Session::StartTape(std::string& error) {
  if (!tape_ || !header_) return false;
  // Straight into the match: no loading screen, no menus.
  if (g_.PreloadSprite) LoadingDoneStep(g_);
  if (!LoadSnapshot(header_->snapshot, g_, error)) {
    error = "the match it starts from is " + error;
    return false;
  }
  store_->Fix(g_.settings);
  g_.menu.MainList().Clear();
  ShowBonusPlaces(g_);
  BuildHud(g_);
  return true;
}

namespace {

// The next frame of a recording of either format, read ahead once and kept in `next`;
// its end, or damage (kept in `error` unless one is there already), ends the replay.
template <typename Frame, typename Frames>
bool ReadAhead(std::unique_ptr<Frame>& next, Frames& frames, bool& done, std::string& error) {
  if (!next && !done) {
    next = std::make_unique<Frame>();
    std::string why;
    if (!frames.Next(*next, why)) {
      next.reset();
      done = true;
      if (!why.empty() && error.empty()) error = why;
    }
  }
  return next != nullptr;
}

}  // namespace

bool Session::HasFrame() {
  if (replay_) {
    if (!replayFrames_) return nextOld_ != nullptr;
    return ReadAhead(nextOld_, *replayFrames_, tapeDone_, replayError_);
  }
  if (!tape_) return true;
  return ReadAhead(next_, *tape_, tapeDone_, replayError_);
}

bool Session::Frame(std::vector<MouseEvent>& mouse, const std::array<uint8_t, 256>* keys) {
  const bool wasInMatch = IsMatchPhase(static_cast<uint8_t>(g_.phase));
  // A match is recorded from the first frame it plays: the snapshot is the match as that
  // frame begins.
  if (!tape_ && wasInMatch && !recording_) BeginRecording();
  store_->TakeRead();
  std::unique_ptr<ReplayFrame> recorded;
  std::unique_ptr<TapeFrame> taped;
  std::array<Controls, kPlayerSlots> people{};
  if (replay_) {
    if (!HasFrame()) return false;
    recorded = std::move(nextOld_);
    mouse = recorded->mouse;  // the viewer's own mouse and keys play no part
    for (auto [code, state] : recorded->keys) g_.input.Polled[code] = state;
    replayStore_->Frame(*recorded);
    clock_.BeginReplayedFrame(recorded->now, recorded->end);
  } else if (tape_) {
    if (!HasFrame()) return false;
    taped = std::move(next_);
    mouse.clear();  // the viewer's mouse and keys play no part either
    if (taped->setupChanged) store_->Fix(taped->setup);
    if (taped->setupNow) TakeControllers(g_.settings, taped->setup);
    for (size_t s = 0; s < kPlayerSlots; ++s) people[s] = UnpackControls(taped->controls[s]);
    clock_.BeginReplayedFrame(taped->now, taped->end);
  } else {
    if (keys) g_.input.Polled = *keys;
    clock_.BeginFrame();
  }
  for (const MouseEvent& e : mouse) {
    MouseMove(g_, e.x, e.y);
    if (e.kind == MouseEvent::Click) MouseClick(g_);
  }
  FrameStep(g_, clock_, taped ? &people : nullptr);

  // The rounds scored in this frame (a new match starts its list again).
  if (g_.match.Scored.size() < scoredSeen_) scoredSeen_ = 0;
  scoredNow_.assign(g_.match.Scored.begin() + static_cast<std::ptrdiff_t>(scoredSeen_),
                    g_.match.Scored.end());
  scoredSeen_ = g_.match.Scored.size();
  bool same = true;
  if (recorded) same = CheckScoredRounds(recorded->scored, scoredNow_, frames_, replayError_);
  if (taped) same = CheckScoredRounds(taped->scored, scoredNow_, frames_, replayError_);

  if (!tape_) {
    const bool inMatch = IsMatchPhase(static_cast<uint8_t>(g_.phase));
    const bool setupRead = store_->TakeRead();
    if (wasInMatch) RecordFrame(setupRead);
    if (wasInMatch && !inMatch) EndRecording();
  }
  ++frames_;
  return same;
}

void Session::BeginRecording() {
  recording_ = true;
  if (keepIn_.empty() && recordPath_.empty()) return;
  TapeHeader header;
  header.version = TANDRIX_VERSION;
  header.seed = seed_;
  header.snapshot = SaveSnapshot(g_);
  recordedSetup_ = g_.settings;
  std::string error;
  if (!keepIn_.empty()) {
    std::error_code ec;
    const std::string folder = keepIn_ + "/" + kReplayFolder;
    std::filesystem::create_directories(folder, ec);
    keep_ = std::make_unique<TapeWriter>();
    if (ec) {
      error = folder + ": cannot create (" + ec.message() + ")";
      keep_.reset();
    } else if (!keep_->Open(NewReplayPath(keepIn_), header, error)) {
      keep_.reset();
    }
    if (!keep_ && !keepWarned_) {
      std::cerr << "tandrix: matches are not kept: " << error << "\n";
      keepWarned_ = true;
    }
  }
  if (!recordPath_.empty()) {
    record_ = std::make_unique<TapeWriter>();
    if (!record_->Open(recordPath_, header, error)) {
      if (recordError_.empty()) recordError_ = error;
      record_.reset();
    }
  }
}

void Session::RecordFrame(bool setupRead) {
  if (!keep_ && !record_) return;
  TapeFrame f;
  f.now = g_.Now;
  f.end = g_.LastFrameTime;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (IsHumanSlot(g_.settings.players[s])) {
      f.controls[static_cast<size_t>(s)] = PackControls(g_.controls[static_cast<size_t>(s)]);
    }
  }
  if (setupRead && std::memcmp(&store_->Last(), &recordedSetup_, sizeof recordedSetup_) != 0) {
    f.setupChanged = true;
    f.setup = recordedSetup_ = store_->Last();
  }
  f.scored = scoredNow_;
  if (keep_) keep_->Add(f);
  if (record_) record_->Add(f);
}

void Session::EndRecording() {
  recording_ = false;
  std::string error;
  if (keep_) {
    if (keep_->FinishUnique([&] { return NewReplayPath(keepIn_); }, error)) {
      lastRecording_ = keep_->Path();
      PruneReplays(keepIn_);
    } else if (!keepWarned_) {
      std::cerr << "tandrix: matches are not kept: " << error << "\n";
      keepWarned_ = true;
    }
    keep_.reset();
  }
  if (record_) {
    if (record_->Finish(error)) {
      lastRecording_ = record_->Path();
    } else if (recordError_.empty()) {
      recordError_ = error;
    }
    record_.reset();
  }
}

bool Session::Finish(bool toTheEnd) {
  EndRecording();  // a match cut short by the end of the run is kept as far as it went
  if (!replayError_.empty()) return false;
  if (!toTheEnd) return true;
  // The game stopped before the recording did: the first round it never reached differs.
  for (uint64_t f = frames_; Replaying() && HasFrame(); ++f) {
    std::vector<ScoredRound> scored;
    if (replay_) {
      scored = std::move(nextOld_->scored);
      nextOld_.reset();
    } else {
      scored = std::move(next_->scored);
      next_.reset();
    }
    if (scored.empty()) continue;
    replayError_ = "differs from the recording at round " + std::to_string(scored.front().round) +
                   ", frame " + std::to_string(f) + ": the replay stopped at frame " +
                   std::to_string(frames_);
    return false;
  }
  return replayError_.empty();
}

std::string ScoredRoundLine(const ScoredRound& r) {
  return "round=" + std::to_string(r.round) + " winner=" + WinnerText(r.winner) +
         " digest=" + Hex(r.digest);
}

ReplaySource OpenedRecording::Source() {
  ReplaySource source;
  if (format == 1) {
    source.replay = &replay;
    source.frames = &frames;
  } else if (format == 2) {
    source.tape = &tape;
    source.header = &header;
  }
  return source;
}

bool OpenRecording(const std::string& path, OpenedRecording& r, std::string& error) {
  r.format = RecordingFormatOf(path, error);
  return r.format == 1   ? OpenReplay(path, r.replay, r.frames, error)
         : r.format == 2 ? CheckTape(path, error) && r.tape.Open(path, r.header, error)
                         : false;
}

}  // namespace tdx
