// Writes the game's archives: RAR 5, stored members, each encrypted with AES-256 under the
// game's password. The same members always give the same bytes: the salt comes from the
// whole content and each member's IV from its name and content, and no times are stored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "assets/pak_archive.h"

namespace tdx {

struct PakMember {
  PakMember() = default;
  PakMember(std::string memberName, std::vector<uint8_t> bytes)
      : name(std::move(memberName)), data(std::move(bytes)) {}

  std::string name;  // stored as given (the packer passes bare file names)
  std::vector<uint8_t> data;
  // Unusual members, for testing how the reader copes:
  std::optional<std::string> password;  // encrypt this one under another password
  int method = 0;                       // compression method written in its header
  bool directory = false;               // a folder entry with no data
};

struct PakWriteOptions {
  std::string password = kPakPassword;  // empty: members are stored unencrypted
  int kdfLog2 = 15;                     // 2^15 key-derivation rounds, the usual count
  bool passwordCheck = true;            // store the password check value
  bool macChecksums = true;             // store CRCs as MACs under the hash key
};

// The whole archive in memory (throws std::runtime_error if the cipher fails).
std::vector<uint8_t> BuildPak(const std::vector<PakMember>& members,
                              const PakWriteOptions& options = {});

// Writes the archive to a temporary file beside `path` and renames it into place, so a
// failed run never leaves a half-written archive. False with `error` naming the file.
bool WritePakFile(const std::string& path, const std::vector<PakMember>& members,
                  std::string& error, const PakWriteOptions& options = {});

// Every regular file of `dir`, sorted by name, as members named by the bare file name.
bool ReadFolderMembers(const std::string& dir, std::vector<PakMember>& members, std::string& error);
// The given files in the given order, each named by its bare file name.
bool ReadFileMembers(const std::vector<std::string>& files, std::vector<PakMember>& members,
                     std::string& error);

}  // namespace tdx
