#include "app/match_tape.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "app/recording_bytes.h"
#include "match/round.h"
#include "menu/settings.h"

namespace tdx {

namespace {

constexpr char kMagic[8] = {'T', 'D', 'X', 'R', 'P', 'L', 'A', 'Y'};
constexpr size_t kChunk = 1 << 16;
constexpr size_t kMaxVersion = 64;
// A snapshot of ours is about a hundred kilobytes; more is damage.
constexpr uint32_t kMaxSnapshot = 4u << 20;
// A frame longer than this would make the rules catch up for ever; the real clock never
// gives one in play.
constexpr double kMaxFrameSeconds = 600;
constexpr double kMaxClock = 1e9;

// What a frame carries besides its flag byte.
enum FrameFlag : uint8_t {
  kRawTimes = 1,   // two f64: now and end
  kStep = 2,       // one f64 step: now = previous now + step, end = now
  kMicros = 4,     // two counts of whole microseconds: from the last start, and to the end
  kControls = 8,   // twelve control bytes
  kSetup = 16,     // the set-up, 164 bytes
  kScored = 32,    // a count, then per round: u32 round, i8 winner, u64 digest
  kSetupNow = 64,  // with kSetup: the set-up takes effect as the frame begins
  kEnd = 0xFF,     // no frame follows
};
constexpr uint8_t kKnownFlags =
    kRawTimes | kStep | kMicros | kControls | kSetup | kScored | kSetupNow;

std::string Why(const std::string& path, const std::string& what) { return path + ": " + what; }

}  // namespace

uint8_t PackControls(const Controls& c) {
  uint8_t bits = 0;
  for (size_t i = 0; i < 3; ++i) {
    if (c.now[i]) bits |= static_cast<uint8_t>(1u << i);
    if (c.before[i]) bits |= static_cast<uint8_t>(8u << i);
  }
  return bits;
}

Controls UnpackControls(uint8_t bits) {
  Controls c;
  for (size_t i = 0; i < 3; ++i) {
    c.now[i] = (bits >> i & 1) != 0;
    c.before[i] = (bits >> (i + 3) & 1) != 0;
  }
  return c;
}

void StepTapeFrame(Match& m, SettingsBlock& setup, const TapeFrame& f) {
  if (f.setupChanged) setup = f.setup;
  // The game reads its set-up at every round start; a round start also changes the set-up
  // it read (kinds drawn at random), so each reads the recording's afresh.
  if (m.phase == GamePhase::RoundStart) m.settings = setup;
  if (f.setupNow) TakeControllers(m.settings, setup);
  std::array<Controls, kPlayerSlots> people{};
  for (size_t s = 0; s < kPlayerSlots; ++s) people[s] = UnpackControls(f.controls[s]);
  StepMatchFrame(m, f.now, f.end, &people);
}

std::FILE* OpenRecording(const std::string& path, std::string& error) {
  struct stat st {};
  int why = 0;
  int fd = OpenPlainFile(path, st, why);
  if (fd < 0 && why != 0) {
    error = Why(path, std::string("cannot open (") + std::strerror(why) + ")");
    return nullptr;
  }
  if (fd < 0) {
    error = Why(path, S_ISDIR(st.st_mode) ? "is a folder, not a recording"
                                          : "is not a regular file, so not a recording");
    return nullptr;
  }
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    error = Why(path, std::string("cannot open (") + std::strerror(errno) + ")");
    ::close(fd);
  }
  return f;
}

int RecordingFormatOf(const std::string& path, std::string& error) {
  std::FILE* f = OpenRecording(path, error);
  if (!f) return 0;
  uint8_t head[12] = {};
  size_t got = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  if (got < sizeof kMagic || std::memcmp(head, kMagic, sizeof kMagic) != 0) {
    error = Why(path, got == 0 ? "is empty, not a recording" : "not a Tandrix recording");
    return 0;
  }
  if (got < sizeof head) {
    error = Why(path, "truncated");
    return 0;
  }
  uint32_t format = 0;
  std::memcpy(&format, head + 8, 4);
  if (format != 1 && format != kTapeFormat) {
    error = Why(path, "recorded by an incompatible build (recording format " +
                          std::to_string(format) + ", this build reads formats 1 and 2)");
    return 0;
  }
  return static_cast<int>(format);
}

bool CheckTape(const std::string& path, std::string& error) {
  TapeReader reader;
  TapeHeader header;
  if (!reader.Open(path, header, error)) return false;
  TapeFrame f;
  while (reader.Next(f, error)) {
  }
  return error.empty();
}

// ---------------------------------------------------------------- writing

TapeWriter::~TapeWriter() { Abandon(); }

bool TapeWriter::Open(const std::string& path, const TapeHeader& header, std::string& error) {
  Abandon();
  path_ = path;
  // A temporary of this process and writer: two games in one folder, or two recordings of
  // one game, never write into each other's.
  static std::atomic<unsigned> writers{0};
  temp_ = path + "." + std::to_string(::getpid()) + "-" + std::to_string(++writers) + ".part";
  int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  file_ = fd < 0 ? nullptr : ::fdopen(fd, "wb");
  if (!file_) {
    error = Why(path, std::string("cannot write (") + std::strerror(errno) + ")");
    if (fd >= 0) ::close(fd);
    std::remove(temp_.c_str());
    return false;
  }
  failure_.clear();
  crc_ = 0;
  frames_ = 0;
  clock_ = recording::ClockWriter{};
  controls_.fill(0);
  z_ = z_stream{};
  deflateInit(&z_, Z_DEFAULT_COMPRESSION);
  out_.resize(kChunk);
  const uint32_t format = kTapeFormat;
  recording::Writer h;
  h.Put<uint16_t>(static_cast<uint16_t>(std::min(header.version.size(), kMaxVersion)));
  h.Raw(header.version.data(), std::min(header.version.size(), kMaxVersion));
  h.Put<uint32_t>(header.rules);
  h.Put<uint64_t>(header.seed);
  h.Put<uint32_t>(static_cast<uint32_t>(header.snapshot.size()));
  h.Raw(header.snapshot.data(), header.snapshot.size());
  if (!Write(kMagic, sizeof kMagic) || !Write(&format, sizeof format) ||
      !Pack(h.bytes.data(), h.bytes.size())) {
    error = Why(path, failure_);
    Abandon();
    return false;
  }
  return true;
}

bool TapeWriter::Write(const void* p, size_t n) {
  if (!failure_.empty()) return false;
  if (std::fwrite(p, 1, n, file_) != n) {
    failure_ = std::string("cannot write (") + std::strerror(errno) + ")";
    return false;
  }
  crc_ = static_cast<uint32_t>(crc32(crc_, static_cast<const Bytef*>(p), static_cast<uInt>(n)));
  return true;
}

bool TapeWriter::Flush(int mode) {
  do {
    z_.next_out = out_.data();
    z_.avail_out = static_cast<uInt>(out_.size());
    int rc = deflate(&z_, mode);
    if (rc == Z_STREAM_ERROR) {
      failure_ = "cannot pack the frames";
      return false;
    }
    if (!Write(out_.data(), out_.size() - z_.avail_out)) return false;
    if (mode == Z_FINISH && rc == Z_STREAM_END) return true;
  } while (z_.avail_out == 0 || (mode == Z_FINISH));
  return true;
}

bool TapeWriter::Pack(const void* p, size_t n) {
  if (!file_ || !failure_.empty()) return false;
  z_.next_in = const_cast<Bytef*>(static_cast<const Bytef*>(p));
  z_.avail_in = static_cast<uInt>(n);
  while (z_.avail_in > 0) {
    if (!Flush(Z_NO_FLUSH)) return false;
  }
  return true;
}

bool TapeWriter::Add(const TapeFrame& f) {
  if (!file_ || !failure_.empty()) return false;
  recording::Writer w;
  w.bytes.swap(frameBytes_);
  w.bytes.clear();
  uint8_t flags = 0;
  switch (clock_.Choose(f.now, f.end)) {
    case recording::ClockForm::SameStep: break;
    case recording::ClockForm::Step: flags |= kStep; break;
    case recording::ClockForm::Micros: flags |= kMicros; break;
    case recording::ClockForm::Raw: flags |= kRawTimes; break;
  }
  if (f.controls != controls_) flags |= kControls;
  if (f.setupChanged || f.setupNow) flags |= kSetup;
  if (f.setupNow) flags |= kSetupNow;
  if (!f.scored.empty()) flags |= kScored;
  w.Put<uint8_t>(flags);
  clock_.Write(w);
  if (flags & kControls) {
    w.Raw(f.controls.data(), f.controls.size());
    controls_ = f.controls;
  }
  if (flags & kSetup) w.Raw(&f.setup, sizeof f.setup);
  if (flags & kScored) {
    w.Put<uint8_t>(static_cast<uint8_t>(f.scored.size()));
    for (const ScoredRound& s : f.scored) {
      w.Put<uint32_t>(static_cast<uint32_t>(s.round));
      w.Put<uint8_t>(static_cast<uint8_t>(s.winner));
      w.Put<uint64_t>(s.digest);
    }
  }
  bool ok = Pack(w.bytes.data(), w.bytes.size());
  w.bytes.swap(frameBytes_);
  if (ok) ++frames_;
  return ok;
}

bool TapeWriter::Complete() {
  const uint8_t end = kEnd;
  bool ok = Pack(&end, 1) && Flush(Z_FINISH) && Write(&frames_, sizeof frames_);
  const uint32_t crc = crc_;
  ok = ok && Write(&crc, sizeof crc);
  if (ok && (std::fflush(file_) != 0 || ::fsync(::fileno(file_)) != 0)) {
    failure_ = std::string("cannot write (") + std::strerror(errno) + ")";
    ok = false;
  }
  deflateEnd(&z_);
  if (std::fclose(file_) != 0 && ok) {
    failure_ = std::string("cannot write (") + std::strerror(errno) + ")";
    ok = false;
  }
  file_ = nullptr;
  return ok;
}

bool TapeWriter::Finish(std::string& error) {
  if (!file_) {
    error = Why(path_, "nothing was recorded");
    return false;
  }
  if (!Complete() || std::rename(temp_.c_str(), path_.c_str()) != 0) {
    if (failure_.empty()) failure_ = std::string("cannot write (") + std::strerror(errno) + ")";
    error = Why(path_, failure_);
    std::remove(temp_.c_str());
    return false;
  }
  return true;
}

bool TapeWriter::FinishUnique(const std::function<std::string()>& newName, std::string& error) {
  if (!file_) {
    error = Why(path_, "nothing was recorded");
    return false;
  }
  if (!Complete()) {
    error = Why(path_, failure_);
    std::remove(temp_.c_str());
    return false;
  }
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string name = newName();
    if (::link(temp_.c_str(), name.c_str()) == 0) {
      std::remove(temp_.c_str());
      path_ = name;
      return true;
    }
    if (errno != EEXIST) {
      error = Why(name, std::string("cannot write (") + std::strerror(errno) + ")");
      break;
    }
  }
  if (error.empty()) error = Why(path_, "no free name for the recording");
  std::remove(temp_.c_str());
  return false;
}

void TapeWriter::Abandon() {
  if (!file_) return;
  deflateEnd(&z_);
  std::fclose(file_);
  file_ = nullptr;
  std::remove(temp_.c_str());
}

// ---------------------------------------------------------------- reading

TapeReader::~TapeReader() {
  if (zOpen_) inflateEnd(&z_);
  if (file_) std::fclose(file_);
}

bool TapeReader::Fail(const std::string& why, std::string& error) {
  error = Why(path_, why);
  done_ = true;
  return false;
}

bool TapeReader::Unpack(void* p, size_t n) {
  auto* dst = static_cast<uint8_t*>(p);
  while (n > 0) {
    if (outAt_ < out_.size()) {
      size_t take = std::min(n, out_.size() - outAt_);
      std::memcpy(dst, out_.data() + outAt_, take);
      outAt_ += take;
      dst += take;
      n -= take;
      continue;
    }
    if (streamEnded_) return false;
    if (z_.avail_in == 0) {
      size_t got = std::fread(in_.data(), 1, in_.size(), file_);
      if (got == 0) return false;  // the file ends inside the stream
      fileBytes_ += got;
      z_.next_in = in_.data();
      z_.avail_in = static_cast<uInt>(got);
    }
    out_.resize(kChunk);
    z_.next_out = out_.data();
    z_.avail_out = static_cast<uInt>(out_.size());
    const Bytef* before = z_.next_in;
    int rc = inflate(&z_, Z_NO_FLUSH);
    crc_ = static_cast<uint32_t>(crc32(crc_, before, static_cast<uInt>(z_.next_in - before)));
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return false;
    if (rc == Z_STREAM_END) streamEnded_ = true;
    out_.resize(kChunk - z_.avail_out);
    outAt_ = 0;
  }
  return true;
}

uint64_t TapeReader::VarU64() {
  return recording::ReadVarU64([this] { return Get<uint8_t>(); }, ok_);
}

bool TapeReader::Open(const std::string& path, TapeHeader& header, std::string& error) {
  path_ = path;
  file_ = OpenRecording(path, error);
  if (!file_) return false;
  uint8_t head[12] = {};
  size_t got = std::fread(head, 1, sizeof head, file_);
  fileBytes_ = got;
  if (got < sizeof kMagic || std::memcmp(head, kMagic, sizeof kMagic) != 0) {
    return Fail("not a Tandrix recording", error);
  }
  uint32_t format = 0;
  std::memcpy(&format, head + 8, 4);
  if (got < sizeof head) return Fail("truncated", error);
  if (format != kTapeFormat) {
    return Fail("recording format " + std::to_string(format) + " is not read here", error);
  }
  crc_ = static_cast<uint32_t>(crc32(0, head, sizeof head));
  in_.resize(kChunk);
  inflateInit(&z_);
  zOpen_ = true;

  TapeHeader h;
  auto versionSize = Get<uint16_t>();
  if (!ok_ || versionSize > kMaxVersion) return Fail("truncated or damaged header", error);
  h.version.resize(versionSize);
  ok_ = ok_ && Unpack(h.version.data(), versionSize);
  for (char c : h.version) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      return Fail("damaged: the version name holds control characters", error);
    }
  }
  h.rules = Get<uint32_t>();
  h.seed = Get<uint64_t>();
  auto snapshotSize = Get<uint32_t>();
  if (!ok_) return Fail("truncated or damaged header", error);
  if (h.rules != kRulesVersion) {
    // Who recorded it is still worth saying (the replays list does).
    header.version = h.version;
    header.rules = h.rules;
    return Fail("recorded under other rules (version " + std::to_string(h.rules) +
                    "; this build plays version " + std::to_string(kRulesVersion) + ")",
                error);
  }
  if (snapshotSize > kMaxSnapshot) return Fail("damaged: impossible header values", error);
  // Read in pieces: a damaged size never claims memory the file does not back.
  while (ok_ && h.snapshot.size() < snapshotSize) {
    size_t at = h.snapshot.size();
    size_t take = std::min<size_t>(snapshotSize - at, kChunk);
    h.snapshot.resize(at + take);
    ok_ = Unpack(h.snapshot.data() + at, take);
  }
  if (!ok_) return Fail("truncated or damaged header", error);
  header = std::move(h);
  return true;
}

bool TapeReader::CheckEnd(std::string& error) {
  // Nothing may follow the end mark inside the stream.
  uint8_t extra = 0;
  if (Unpack(&extra, 1) || !streamEnded_) return Fail("damaged: data after the last frame", error);
  // The trailer: what is left of the read buffer, then the file.
  std::vector<uint8_t> rest(z_.next_in, z_.next_in + z_.avail_in);
  uint8_t more[4096];
  size_t got = 0;
  while (rest.size() <= 12 + sizeof more && (got = std::fread(more, 1, sizeof more, file_)) > 0) {
    rest.insert(rest.end(), more, more + got);
  }
  if (rest.size() < 12) return Fail("truncated", error);
  if (rest.size() > 12) {
    return Fail("damaged: stray bytes after the end of the recording", error);
  }
  const uint8_t* trailer = rest.data();
  uint64_t count = 0;
  uint32_t stored = 0;
  std::memcpy(&count, trailer, 8);
  std::memcpy(&stored, trailer + 8, 4);
  uint32_t crc = static_cast<uint32_t>(crc32(crc_, trailer, 8));
  if (stored != crc) return Fail("damaged: checksum mismatch", error);
  if (count != frames_) return Fail("damaged: the frame count does not match", error);
  if (frames_ == 0) return Fail("holds no frames", error);
  done_ = true;
  error.clear();
  return false;
}

bool TapeReader::Next(TapeFrame& f, std::string& error) {
  error.clear();
  if (done_ || !file_) return false;
  auto at = [this] { return "frame " + std::to_string(frames_); };  // for messages only
  auto flags = Get<uint8_t>();
  if (!ok_) return Fail("truncated or damaged at " + at(), error);
  if (flags == kEnd) return CheckEnd(error);
  if (flags & ~kKnownFlags) return Fail("damaged: " + at() + " is not a frame", error);
  const int clocks = ((flags & kRawTimes) != 0) + ((flags & kStep) != 0) + ((flags & kMicros) != 0);
  if (clocks > 1) return Fail("damaged: " + at() + " has two clock readings", error);
  TapeFrame out;
  if (flags & kRawTimes) {
    out.now = Get<double>();
    out.end = Get<double>();
    haveStep_ = false;
  } else if (flags & kStep) {
    step_ = Get<double>();
    haveStep_ = true;
    out.now = out.end = prevNow_ + step_;
  } else if (flags & kMicros) {
    uint64_t since = VarU64(), toEnd = VarU64();
    if (since >= recording::kMicrosLimit || toEnd >= recording::kMicrosLimit) ok_ = false;
    int64_t now = recording::Micros(prevNow_) + static_cast<int64_t>(since);
    int64_t end = now + static_cast<int64_t>(toEnd);
    out.now = static_cast<double>(now) / 1e6;
    out.end = static_cast<double>(end) / 1e6;
    haveStep_ = false;
  } else {
    if (!haveStep_) return Fail("damaged: " + at() + " has no clock time", error);
    out.now = out.end = prevNow_ + step_;
  }
  if (!ok_) return Fail("truncated or damaged at " + at(), error);
  // A clock that is not a time, runs backwards or jumps would stall or hang the rules.
  if (!std::isfinite(out.now) || !std::isfinite(out.end) || out.now < prevNow_ ||
      out.end < out.now || out.now - prevNow_ > kMaxFrameSeconds ||
      out.end - out.now > kMaxFrameSeconds || out.end > kMaxClock) {
    return Fail("damaged: " + at() + " has an impossible clock reading", error);
  }
  prevNow_ = out.now;
  if (flags & kControls) {
    ok_ = ok_ && Unpack(controls_.data(), controls_.size());
    for (uint8_t c : controls_) {
      if (c > 0x3F) return Fail("damaged: " + at() + " has unknown controls", error);
    }
  }
  out.controls = controls_;
  if ((flags & kSetupNow) && !(flags & kSetup)) {
    return Fail("damaged: " + at() + " changes no set-up now", error);
  }
  if (flags & kSetup) {
    ok_ = ok_ && Unpack(&out.setup, sizeof out.setup);
    out.setupChanged = true;
    out.setupNow = (flags & kSetupNow) != 0;
  }
  if (flags & kScored) {
    auto n = Get<uint8_t>();
    if (n > 4) return Fail("damaged: " + at() + " scores too many rounds", error);
    for (uint8_t k = 0; k < n && ok_; ++k) {
      ScoredRound s;
      s.round = static_cast<int>(Get<uint32_t>());
      const auto winner = Get<uint8_t>();  // -1 (a draw) is stored as 255
      s.winner = winner < 128 ? winner : winner - 256;
      s.digest = Get<uint64_t>();
      s.frame = frames_;
      if (s.round < 1 || s.winner < -1 || s.winner >= kPlayerSlots) {
        return Fail("damaged: " + at() + " scores an impossible round", error);
      }
      out.scored.push_back(s);
    }
  }
  if (!ok_) return Fail("truncated or damaged at " + at(), error);
  f = std::move(out);
  ++frames_;
  return true;
}

}  // namespace tdx
