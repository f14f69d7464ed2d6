// The players' set-up file: tandrix.cfg read and saved whole.
#pragma once

#include <cstddef>
#include <string>

#include <sys/stat.h>

#include "match/setup.h"

namespace tdx {

inline constexpr const char* kSettingsFileName = "tandrix.cfg";

// Reads the first 164 bytes of `path`. On failure returns false and describes the
// fault in `error` (naming the file); `out` is then left unchanged.
bool LoadSettings(const std::string& path, SettingsBlock& out, std::string& error);

// Opens `path` for reading only if it is a plain file, without ever waiting on it: a FIFO
// or a device in a file's place would stop the game for good. Gives the descriptor, which
// then reads as usual, with `st` filled in. Gives -1 when there is none to read:
// `openError` is then the open's errno, or 0 when `path` is something other than a plain
// file (`st` says what, or is all zero when even that could not be told).
int OpenPlainFile(const std::string& path, struct stat& st, int& openError);

// Replaces `path` atomically with the 164 bytes of `in`: a temporary file in the same
// folder is written, flushed and renamed over the old one, so a crash or a full disk
// never leaves a short tandrix.cfg behind.
bool SaveSettings(const std::string& path, const SettingsBlock& in, std::string& error);

// The same for any of the game's files: `size` bytes from `data` replace `path` atomically;
// `what` names the file in `error` ("the settings file").
bool ReplaceFileAtomically(const std::string& path, const void* data, size_t size,
                           const std::string& what, std::string& error);

// Where the game reads and writes its set-up while it runs. The file in the game folder
// unless something stands in for it: a replay gives the recorded set-up and writes nothing.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual bool Load(SettingsBlock& out, std::string& error) = 0;
  virtual bool Save(const SettingsBlock& in, std::string& error) = 0;
};

}  // namespace tdx
