// The asset catalogue: every picture into its material library, and the text tables of dat.pak.
#pragma once

#include <string>
#include <vector>

namespace tdx {

struct PreloadEntry {
  std::string library;
  std::string material;
};

// One entry of menu_items.dat: a word's clickable size (letters: their ticker size).
struct MenuItemEntry {
  std::string name;
  int width = 0;
  int height = 0;
};

struct AssetTables {
  std::vector<MenuItemEntry> MenuItemTable;  // at most 1024 entries, file order
  std::vector<PreloadEntry> PreloadTable;
  int PreloadLast = -1;
  int PreloadIndex = 0;
  int EmptyItemIndex = -1;
};

}  // namespace tdx
