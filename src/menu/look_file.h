// The second set-up file, a short text a person can read and edit: how the game is shown
// (the classic screens, the colour palette). tandrix.cfg keeps the rest, byte for byte as it
// always was. The file lives beside tandrix.cfg.
#pragma once

#include <string>
#include <vector>

#include "display/presentation.h"

namespace tdx {

struct Game;

inline constexpr const char* kLookFileName = "tandrix-look.ini";

struct LookSettings {
  bool classic = false;
  ColourVision vision = ColourVision::Normal;
  bool operator==(const LookSettings&) const = default;
};

// Reads the settings `text` names into `out`. Blank lines and lines starting with # are
// comments, and so is whatever follows a # on a line. A line the game cannot use leaves its
// setting as it was and adds "NAME:LINE: what is wrong" to `problems`.
void ParseLookText(const std::string& text, const std::string& name, LookSettings& out,
                   std::vector<std::string>& problems);

// The text that saves `s`: `previous` (what the file held, or empty for a new file) with the
// value of every setting line replaced and every other line (comments, lines the game does
// not know) kept as the person wrote it; a setting it lacks is added at its end.
std::string LookText(const LookSettings& s, const std::string& previous);

// What reading the file found.
enum class LookRead { Read, Missing, Unreadable };

// Reads the file at `path` into `out` (unchanged where the file says nothing usable).
// Unreadable also adds a message naming the file to `problems`.
LookRead LoadLookFile(const std::string& path, LookSettings& out,
                      std::vector<std::string>& problems);

// Saves `s` at `path` atomically, keeping what a person wrote there (see LookText).
bool SaveLookFile(const std::string& path, const LookSettings& s, std::string& error);

// What start-up does: reads `folder`/tandrix-look.ini and, when there is none and
// `writeIfMissing`, writes the default file so a player can find and edit it. The game
// starts whatever the file holds: every problem is a message, never a refusal.
LookSettings ReadLookAtStart(const std::string& folder, bool writeIfMissing,
                             std::vector<std::string>& messages);

// How the game is shown this run: the file's settings, and --classic over them.
void ApplyLook(Presentation& p, const LookSettings& s, bool classicFlag);

// Start-up, once the archives are read: the file read (and written when missing and
// `writeIfMissing`), --classic applied, and the pictures drawn in slot colours redrawn in
// the chosen palette. Each problem with the file is told on standard error.
void ReadLookFile(Game& g, bool classicFlag, bool writeIfMissing);

}  // namespace tdx
