// sounds.dat and music.dat: plain text, one value a line.
#include <charconv>
#include <string>
#include <string_view>

#include "audio/audio.h"

namespace tdx {
namespace {

// Hands out the lines of a text one by one, without their CR LF or LF.
class LineReader {
 public:
  explicit LineReader(const std::vector<uint8_t>& text)
      : text_(reinterpret_cast<const char*>(text.data()), text.size()) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // a BOM from a text editor
  }
  // False at the end of the text, where the reader sees an empty line.
  bool Next(std::string& line) {
    if (pos_ >= text_.size()) {
      line.clear();
      return false;
    }
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view l = text_.substr(pos_, end - pos_);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    line.assign(l);
    pos_ = end + 1;
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// A decimal integer with an optional sign and spaces around it; nothing else.
bool ParseDecimal(const std::string& line, int& value) {
  std::string_view s(line);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (s.empty() || s.front() < '0' || s.front() > '9') return false;
  }
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && ptr == s.data() + s.size();
}

}  // namespace

std::vector<SoundEntry> ParseSoundTable(const std::vector<uint8_t>& text) {
  std::vector<SoundEntry> table;
  LineReader reader(text);
  std::string slotLine;
  std::string name;
  while (static_cast<int>(table.size()) < kAudioTableLimit && reader.Next(slotLine) &&
         !slotLine.empty()) {
    bool haveName = reader.Next(name);
    int slot = 0;
    if (!haveName || name.empty() || !ParseDecimal(slotLine, slot)) continue;
    if (slot < 0 || slot >= kSoundSlots) continue;
    table.push_back({slot, name});
  }
  return table;
}

std::vector<MusicEntry> ParseMusicTable(const std::vector<uint8_t>& text) {
  std::vector<MusicEntry> table;
  LineReader reader(text);
  std::string slotLine;
  std::string name;
  std::string numbers[3];
  while (static_cast<int>(table.size()) < kAudioTableLimit && reader.Next(slotLine) &&
         !slotLine.empty()) {
    bool complete = reader.Next(name);
    for (std::string& n : numbers) complete = reader.Next(n) && complete;
    MusicEntry e;
    e.fileName = name;
    if (!complete || name.empty() || !ParseDecimal(slotLine, e.slot) ||
        !ParseDecimal(numbers[0], e.fadeIn) || !ParseDecimal(numbers[1], e.fadeOut) ||
        !ParseDecimal(numbers[2], e.playTime)) {
      continue;
    }
    if (e.slot < 0 || e.slot >= kMusicSlots) continue;
    if (e.fadeIn < 0 || e.fadeOut < 0 || e.playTime < 0) continue;
    table.push_back(std::move(e));
  }
  return table;
}

}  // namespace tdx
