// Printable names of key codes, read from keys.dat.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tdx {

struct Game;

struct KeyNameEntry {
  uint8_t code = 0;
  std::string name;
};

// Parses keys.dat's line pairs (code, name) into at most 256 entries.
std::vector<KeyNameEntry> ParseKeyNames(const std::string& text);
// Reads keys.dat from dat.pak; false (with g.fatalError) when it is missing.
bool LoadKeyNames(Game& g);
// The first entry with that code (entries 0..254), else "f12"; code 0 (no key) has an
// empty name.
std::string KeyName(const Game& g, uint8_t code);

}  // namespace tdx
