// Recordings of matches (format 2): the match as it started, written down whole, then per
// frame of the match the clock readings, the people's controls (only when they change), the
// set-up read at a round start (only when it changed) and the rounds scored, with their
// digests. A recording starts where its match starts, so menus, the loading screen and
// pictures can change without breaking one.
//
// On disk: "TDXRPLAY", the format number 2, then one zlib stream holding the header and
// the frames, then the frame count and a CRC-32 of everything before it. Writing and
// reading both stream: memory stays small however long the match.
//
// A reader checks what it can as it goes (every value it decodes, the stream's own
// checksum) and the frame count and file checksum when it reaches the end; a replay that
// meets damage part way stops there with the damage named, after the frames before it.
#pragma once

#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/recording_bytes.h"
#include "match/match.h"
#include "match/snapshot.h"

namespace tdx {

inline constexpr uint32_t kTapeFormat = 2;

struct TapeHeader {
  std::string version;  // the game version that recorded it (informative)
  uint32_t rules = kRulesVersion;
  uint64_t seed = 0;              // the run's seed (informative: the snapshot holds the state)
  std::vector<uint8_t> snapshot;  // the match as it started (SaveSnapshot)
};

struct TapeFrame {
  double now = 0;  // the clock when the frame began
  double end = 0;  // and when it ended (the next frame's delta is measured from here)
  // Per slot: bit 0 left, 1 right, 2 fire as they are now; bits 3..5 the same a frame
  // before. Only people's slots are read back; the computer players decide again.
  std::array<uint8_t, kPlayerSlots> controls{};
  bool setupChanged = false;  // the set-up read at this frame's round start
  // The set-up takes effect as this frame begins, mid-round too (a network machine fell
  // silent and the computer took over its worms); implies setupChanged.
  bool setupNow = false;
  SettingsBlock setup{};
  std::vector<ScoredRound> scored;
};

// The controls byte of one slot, and back.
uint8_t PackControls(const Controls& c);
Controls UnpackControls(uint8_t bits);

// Plays one recorded frame on a match alone, with nothing of the program around it: the
// set-up a round start reads (`setup`, the recording's set-up as it stands, which a frame
// may change), the clock and the people's controls. A recording played this way gives
// the same rounds as played by the game.
void StepTapeFrame(Match& m, SettingsBlock& setup, const TapeFrame& f);

class TapeWriter {
 public:
  TapeWriter() = default;
  TapeWriter(const TapeWriter&) = delete;
  TapeWriter& operator=(const TapeWriter&) = delete;
  ~TapeWriter();  // abandons an unfinished recording

  // Starts writing `path` (through a temporary of this process beside it).
  bool Open(const std::string& path, const TapeHeader& header, std::string& error);
  bool IsOpen() const { return file_ != nullptr; }
  // False once writing failed; `Finish` then says why.
  bool Add(const TapeFrame& frame);
  // Completes the file and puts it in place, replacing what was there.
  bool Finish(std::string& error);
  // The same, under a name `newName` gives that no file has yet: a name another game took
  // meanwhile is never overwritten, the next one is asked for.
  bool FinishUnique(const std::function<std::string()>& newName, std::string& error);
  const std::string& Path() const { return path_; }
  // Removes what was written.
  void Abandon();
  uint64_t Frames() const { return frames_; }

 private:
  bool Write(const void* p, size_t n);  // the file's bytes as they are
  bool Pack(const void* p, size_t n);   // bytes into the zlib stream
  bool Flush(int mode);
  bool Complete();  // the stream's end, the trailer, on disk

  std::FILE* file_ = nullptr;
  std::string path_, temp_;
  std::string failure_;
  z_stream z_{};
  uint32_t crc_ = 0;
  uint64_t frames_ = 0;
  // The last frame's clock and controls, which the next is stored against.
  recording::ClockWriter clock_;
  std::array<uint8_t, kPlayerSlots> controls_{};
  std::vector<uint8_t> frameBytes_;
  std::vector<uint8_t> out_;
};

class TapeReader {
 public:
  TapeReader() = default;
  TapeReader(const TapeReader&) = delete;
  TapeReader& operator=(const TapeReader&) = delete;
  ~TapeReader();

  // Errors name the file. A recording of other rules is refused with its version and
  // rules in `header`.
  bool Open(const std::string& path, TapeHeader& header, std::string& error);
  // The next frame: true with it, false with an empty `error` at the clean end, or false
  // with what is wrong.
  bool Next(TapeFrame& frame, std::string& error);
  uint64_t Frames() const { return frames_; }

 private:
  bool Unpack(void* p, size_t n);  // bytes out of the zlib stream
  template <typename T>
  T Get() {
    T v{};
    ok_ = ok_ && Unpack(&v, sizeof v);
    return v;
  }
  uint64_t VarU64();
  bool Fail(const std::string& why, std::string& error);
  bool CheckEnd(std::string& error);

  std::FILE* file_ = nullptr;
  std::string path_;
  z_stream z_{};
  bool zOpen_ = false, streamEnded_ = false, ok_ = true, done_ = false;
  uint32_t crc_ = 0;
  uint64_t frames_ = 0, fileBytes_ = 0;
  double prevNow_ = 0, step_ = 0;
  bool haveStep_ = false;
  std::array<uint8_t, kPlayerSlots> controls_{};
  std::vector<uint8_t> in_, out_;
  size_t outAt_ = 0;
};

// Reads a whole match recording once, keeping nothing: a recording damaged anywhere is
// refused (with `error` naming the file) before any of it plays.
bool CheckTape(const std::string& path, std::string& error);

// Which format a recording is: 1, 2, or 0 with `error` naming the file.
int RecordingFormatOf(const std::string& path, std::string& error);

// Opens a recording for reading only if it is a regular file, without ever blocking on a
// FIFO or a device; null with `error` naming the file otherwise.
std::FILE* OpenRecording(const std::string& path, std::string& error);

}  // namespace tdx
