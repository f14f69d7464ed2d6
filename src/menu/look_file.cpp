#include "menu/look_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <sys/stat.h>
#include <unistd.h>

#include "app/game.h"
#include "display/palette.h"
#include "menu/settings.h"

namespace tdx {

namespace {

// More than any file a person writes by hand: a bigger one is not this file.
constexpr size_t kMaxLookFileSize = 64 * 1024;

constexpr const char* kClassicKey = "classic";
constexpr const char* kColoursKey = "colours";

// A new file: each setting with a word on what it does.
constexpr const char* kHeader =
    "# Tandrix: how the game is shown. The rest of the set-up is in tandrix.cfg.\n"
    "# Lines starting with # are comments; the game keeps them when it saves this file.\n";
constexpr const char* kClassicHelp =
    "\n"
    "# yes: the screens exactly as the game always drew them, with none of the labels,\n"
    "# notices, help or colour palettes it adds (--classic does the same for one run).\n";
constexpr const char* kColoursHelp =
    "\n"
    "# The colours worms, trails and score squares are drawn in: normal, red-green (for\n"
    "# protanopia and deuteranopia) or blue-yellow (for tritanopia). The rules never change.\n";

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t");
  return s.substr(a, b - a + 1);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  // An editor may begin the file with the UTF-8 byte order mark.
  size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

// One line split into its setting: the name and value, and where the value stands.
struct SettingLine {
  bool setting = false;  // false: a comment or a blank line
  bool wellFormed = false;
  std::string key;  // lower case
  std::string value;
  size_t valueStart = 0, valueEnd = 0;  // the value's characters in the line
};

SettingLine Split(const std::string& line) {
  SettingLine s;
  size_t hash = line.find('#');
  std::string body = line.substr(0, hash);
  if (Trim(body).empty()) return s;
  s.setting = true;
  size_t eq = body.find('=');
  if (eq == std::string::npos) return s;
  s.key = Lower(Trim(body.substr(0, eq)));
  size_t first = body.find_first_not_of(" \t", eq + 1);
  size_t last = body.find_last_not_of(" \t");
  if (first == std::string::npos || last < first) {
    s.valueStart = s.valueEnd = body.size();
  } else {
    s.valueStart = first;
    s.valueEnd = last + 1;
    s.value = body.substr(first, last + 1 - first);
  }
  s.wellFormed = !s.key.empty();
  return s;
}

bool IsColoursKey(const std::string& key) { return key == kColoursKey || key == "colors"; }

// "red-green", "Red Green", "red_green" and "redgreen" are the same word.
std::string Squeezed(const std::string& value) {
  std::string out;
  for (char c : Lower(value)) {
    if (c != '-' && c != '_' && c != ' ' && c != '\t') out += c;
  }
  return out;
}

bool ParseYesNo(const std::string& value, bool& out) {
  const std::string v = Lower(value);
  if (v == "yes" || v == "on" || v == "true" || v == "1") {
    out = true;
    return true;
  }
  if (v == "no" || v == "off" || v == "false" || v == "0") {
    out = false;
    return true;
  }
  return false;
}

bool ParseVision(const std::string& value, ColourVision& out) {
  const std::string v = Squeezed(value);
  if (v == "normal") {
    out = ColourVision::Normal;
  } else if (v == "redgreen") {
    out = ColourVision::RedGreen;
  } else if (v == "blueyellow") {
    out = ColourVision::BlueYellow;
  } else {
    return false;
  }
  return true;
}

const char* VisionWord(ColourVision v) {
  switch (v) {
    case ColourVision::RedGreen: return "red-green";
    case ColourVision::BlueYellow: return "blue-yellow";
    case ColourVision::Normal: break;
  }
  return "normal";
}

std::string ValueOf(const LookSettings& s, const std::string& key) {
  if (key == kClassicKey) return s.classic ? "yes" : "no";
  return VisionWord(s.vision);
}

}  // namespace

void ParseLookText(const std::string& text, const std::string& name, LookSettings& out,
                   std::vector<std::string>& problems) {
  const std::vector<std::string> lines = Lines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const SettingLine s = Split(lines[i]);
    if (!s.setting) continue;
    const std::string where = name + ":" + std::to_string(i + 1) + ": ";
    if (!s.wellFormed) {
      problems.push_back(where + "expected a setting as NAME = VALUE, not \"" + Trim(lines[i]) +
                         "\"");
      continue;
    }
    if (s.key == kClassicKey) {
      if (!ParseYesNo(s.value, out.classic)) {
        problems.push_back(where + "classic is \"" + s.value +
                           "\"; it can be yes or no (the game uses " + ValueOf(out, s.key) + ")");
      }
    } else if (IsColoursKey(s.key)) {
      if (!ParseVision(s.value, out.vision)) {
        problems.push_back(where + "colours is \"" + s.value +
                           "\"; it can be normal, red-green or blue-yellow (the game uses " +
                           ValueOf(out, kColoursKey) + ")");
      }
    } else {
      problems.push_back(where + "no setting is called \"" + s.key +
                         "\" (the settings are classic and colours)");
    }
  }
}

std::string LookText(const LookSettings& s, const std::string& previous) {
  std::string out;
  bool hasClassic = false, hasColours = false;
  for (const std::string& line : Lines(previous)) {
    const SettingLine l = Split(line);
    const bool classic = l.wellFormed && l.key == kClassicKey;
    const bool colours = l.wellFormed && IsColoursKey(l.key);
    if (classic || colours) {
      hasClassic = hasClassic || classic;
      hasColours = hasColours || colours;
      const std::string value = ValueOf(s, classic ? kClassicKey : kColoursKey);
      std::string before = line.substr(0, l.valueStart);
      // "name =" with nothing after it gets the space a value is written with.
      if (l.value.empty() && !before.empty() && before.back() == '=') before += ' ';
      out += before + value + line.substr(l.valueEnd) + "\n";
    } else {
      out += line + "\n";
    }
  }
  if (previous.empty()) out += kHeader;
  if (!hasClassic)
    out += std::string(kClassicHelp) + kClassicKey + " = " + ValueOf(s, kClassicKey) + "\n";
  if (!hasColours)
    out += std::string(kColoursHelp) + kColoursKey + " = " + ValueOf(s, kColoursKey) + "\n";
  return out;
}

namespace {

// The whole file, or false with `error` saying why not (`missing` when there is none).
bool ReadText(const std::string& path, std::string& text, bool& missing, std::string& error) {
  missing = false;
  struct stat st {};
  int why = 0;
  int fd = OpenPlainFile(path, st, why);
  if (fd < 0 && why != 0) {
    missing = why == ENOENT;
    error = path + ": cannot open the file (" + std::strerror(why) + ")";
    return false;
  }
  if (fd < 0) {
    error = path + ": not a plain file";
    return false;
  }
  if (static_cast<size_t>(st.st_size) > kMaxLookFileSize) {
    error = path + ": the file is too large (" + std::to_string(st.st_size) + " bytes)";
    ::close(fd);
    return false;
  }
  text.clear();
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = path + ": cannot read the file (" + std::strerror(errno) + ")";
      ::close(fd);
      return false;
    }
    if (n == 0 || text.size() + static_cast<size_t>(n) > kMaxLookFileSize) break;
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

}  // namespace

LookRead LoadLookFile(const std::string& path, LookSettings& out,
                      std::vector<std::string>& problems) {
  std::string text, error;
  bool missing = false;
  if (!ReadText(path, text, missing, error)) {
    if (missing) return LookRead::Missing;
    problems.push_back(error);
    return LookRead::Unreadable;
  }
  ParseLookText(text, path, out, problems);
  return LookRead::Read;
}

bool SaveLookFile(const std::string& path, const LookSettings& s, std::string& error) {
  std::string previous;
  bool missing = false;
  if (!ReadText(path, previous, missing, error) && !missing) return false;
  const std::string text = LookText(s, previous);
  return ReplaceFileAtomically(path, text.data(), text.size(), "the file", error);
}

LookSettings ReadLookAtStart(const std::string& folder, bool writeIfMissing,
                             std::vector<std::string>& messages) {
  const std::string path = folder + "/" + kLookFileName;
  LookSettings s;
  std::vector<std::string> problems;
  LookRead read = LoadLookFile(path, s, problems);
  for (const std::string& p : problems) messages.push_back(p);
  if (read == LookRead::Unreadable) messages.back() += "; the game is shown as usual";
  if (read == LookRead::Missing && writeIfMissing) {
    std::string error;
    if (!SaveLookFile(path, s, error)) messages.push_back(error);
  }
  return s;
}

void ApplyLook(Presentation& p, const LookSettings& s, bool classicFlag) {
  p.classic = classicFlag || s.classic;
  p.vision = s.vision;
}

void ReadLookFile(Game& g, bool classicFlag, bool writeIfMissing) {
  std::vector<std::string> messages;
  ApplyLook(g.presentation, ReadLookAtStart(g.folders.config, writeIfMissing, messages),
            classicFlag);
  for (const std::string& m : messages) std::cerr << "tandrix: " << m << "\n";
  ShowPalettePictures(g.scene, g.presentation, g.palettePictures);
}

}  // namespace tdx
