#include "players/key_names.h"

#include <cstdlib>

#include "app/game.h"
#include "assets/pak_archive.h"

namespace tdx {

namespace {

// One line without its end (LF or CRLF); false at the end of the text.
bool NextLine(const std::string& text, size_t& pos, std::string& line) {
  if (pos >= text.size()) return false;
  size_t end = text.find('\n', pos);
  if (end == std::string::npos) end = text.size();
  line.assign(text, pos, end - pos);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  pos = end + 1;
  return true;
}

}  // namespace

std::vector<KeyNameEntry> ParseKeyNames(const std::string& text) {
  std::vector<KeyNameEntry> table;
  size_t pos = 0;
  std::string line;
  while (table.size() < 256 && NextLine(text, pos, line) && !line.empty()) {
    KeyNameEntry e;
    // A line that is not a number gives code 0.
    char* end = nullptr;
    long v = std::strtol(line.c_str(), &end, 10);
    e.code = static_cast<uint8_t>(end && *end == '\0' ? v & 0xFF : 0);
    if (!NextLine(text, pos, e.name)) e.name.clear();
    table.push_back(std::move(e));
  }
  return table;
}

bool LoadKeyNames(Game& g) {
  std::vector<uint8_t> bytes;
  const std::string path = PakPath(g.folders.data, "dat.pak");
  if (g.assets.archives.Extract(path, "keys.dat", bytes) != PakStatus::Ok) {
    g.fatalError = path + ": member keys.dat is missing or damaged";
    return false;
  }
  g.input.KeyNameTable = ParseKeyNames(std::string(bytes.begin(), bytes.end()));
  return true;
}

std::string KeyName(const Game& g, uint8_t code) {
  // Code 0 is "no key": it has no name, even when a line of the table that is not a number
  // was read as code 0.
  if (code == 0) return "";
  const auto& t = g.input.KeyNameTable;
  for (size_t i = 0; i < t.size() && i < 255; ++i) {
    if (t[i].code == code) return t[i].name;
  }
  return "f12";
}

}  // namespace tdx
