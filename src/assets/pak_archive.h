// The game's archives (pak/ in a game folder): single members for pictures and text tables, and the
// bulk loaders for sounds, music and menu words. Members are extracted into memory only, so no file
// is ever written and no member name can reach outside the game folder.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tdx {

struct Game;
class Rar5Reader;

// One password for all five archives.
inline constexpr char kPakPassword[] = "mtqhav81xue6dwpn39";

// A sound or music table row: the stream slot a member loads into, and its file name.
struct StreamTableEntry {
  int slot;
  std::string fileName;
};

// gfx.pak in the archive folder `pakDir`; false when the archive or member is missing or
// broken.
bool ExtractGfxMember(const std::string& pakDir, const std::string& member,
                      std::vector<uint8_t>& out);
// The same for <archive> in it (the game asks only dat.pak).
bool ExtractPakMember(const std::string& pakDir, const std::string& member,
                      const std::string& archive, std::vector<uint8_t>& out);

// Every member of snd.pak (music: music.pak) in `pakDir` named in `table` loads into
// streams[slot] (slots outside streams are ignored). The first table entry naming a member
// wins; a member no entry names is not loaded; two members for one slot leave the later
// one. A member that cannot be decoded ends the walk; what was loaded before stays. A
// missing archive leaves every buffer as it was. Returns what went wrong, naming the
// archive by its path ("pak/snd.pak is missing or not readable"), or an empty text when the archive
// was read to its end.
std::string LoadSoundPak(const std::string& pakDir, const std::vector<StreamTableEntry>& table,
                         std::vector<std::vector<uint8_t>>& streams);
std::string LoadMusicPak(const std::string& pakDir, const std::vector<StreamTableEntry>& table,
                         std::vector<std::vector<uint8_t>>& streams);

// Every member of items.pak becomes a material of GLMLmenu named by ItemMaterialName,
// in archive order; the one named `empty` sets g.assets.EmptyItemIndex to its member
// index. A missing, damaged or empty archive, or a member whose picture cannot be read,
// stops start-up: false, with g.fatalError naming the archive.
bool LoadItemsPak(Game& g);

// ---- Helpers the loaders share, and messages. ----

// What became of a single-member request.
enum class PakStatus { Ok, ArchiveUnreadable, MemberMissing, MemberDamaged };

// One archive opened for single members: its member headers are read once, in order, and
// each member is then read straight from its place. The first member of a name is the one;
// a damaged header ends the index, and members past it are reported as not found before it.
class PakIndex {
 public:
  explicit PakIndex(const std::string& archivePath);
  ~PakIndex();
  PakIndex(const PakIndex&) = delete;
  PakIndex& operator=(const PakIndex&) = delete;
  // `detail`, when given, receives a short reason for anything but Ok.
  PakStatus Extract(const std::string& member, std::vector<uint8_t>& out,
                    std::string* detail = nullptr);
  bool Readable() const { return reader_ != nullptr; }

 private:
  std::unique_ptr<Rar5Reader> reader_;                 // null when the archive cannot be read
  std::unordered_map<std::string, uint64_t> headers_;  // trimmed name: its header's offset
  int walkEnd_ = 0;  // how the walk over the headers ended (the end, or why not)
};

// The archives of a start-up, each indexed once when it is first asked for (one that
// could not be opened is tried again).
class PakShelf {
 public:
  PakStatus Extract(const std::string& archivePath, const std::string& member,
                    std::vector<uint8_t>& out, std::string* detail = nullptr);
  // Releases every archive.
  void Close() { open_.clear(); }

 private:
  std::map<std::string, std::shared_ptr<PakIndex>> open_;
};

// Single-member extraction from the archive at `archivePath` with the game's password.
// `detail`, when given, receives a short reason for anything but Ok.
PakStatus ExtractMember(const std::string& archivePath, const std::string& member,
                        std::vector<uint8_t>& out, std::string* detail = nullptr);

// The path of <archive> in the archive folder `pakDir` (pak/ in a game folder); messages
// name archives by it.
std::string PakPath(const std::string& pakDir, const std::string& archive);

// A member's name as the game compares it: stored bytes with leading and trailing
// characters at or below the space removed.
std::string TrimMemberName(const std::string& stored);

// A menu-word material name: the member name without its last seven characters
// (a name of six characters or fewer is kept whole).
std::string ItemMaterialName(const std::string& memberName);

}  // namespace tdx
