// The asset catalogue: every picture into its material library, and the text tables of dat.pak.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/pak_archive.h"
#include "display/scene.h"

namespace tdx {

struct Game;

struct PreloadEntry {
  std::string library;
  std::string material;
};

// A menu word or letter picture in GLMLmenu and its size in pixels (menu_items.dat).
struct MenuItemEntry {
  std::string name;
  int32_t width = 0;
  int32_t height = 0;
};

inline constexpr size_t kMenuItemCapacity = 1024;
inline constexpr size_t kPreloadCapacity = 4096;  // preload.dat pairs plus the menu words

// Read once at start-up; only PreloadIndex moves afterwards.
struct AssetTables {
  std::vector<PreloadEntry> PreloadTable;    // at most kPreloadCapacity entries
  int PreloadLast = -1;                      // entries - 1
  int PreloadIndex = 0;                      // next entry the loading screen shows
  int EmptyItemIndex = -1;                   // member index of `empty` in items.pak, -1 when none
  std::vector<MenuItemEntry> MenuItemTable;  // at most kMenuItemCapacity entries
  // The first entries of MenuItemTable, from menu_items.dat: the loading screen shows these.
  // The words after them (added_items.dat) are prepared when first shown.
  size_t LoadedItems = 0;
  PakShelf archives;  // the archives start-up reads single members from; closed after it
};

// One archive picture of the catalogue: its library, material name and member of gfx.pak.
struct GfxCatalogueEntry {
  LibraryId library;
  std::string material;
  std::string file;
};

// Every picture LoadAssets takes from pak/gfx.pak, in the order the materials are added
// (so a material's index in its library is its place among that library's entries).
const std::vector<GfxCatalogueEntry>& GfxCatalogue();

// Fills every library but GLMLloading, reads menu_items.dat and added_items.dat and loads
// items.pak, giving
// each material its library's settings. A missing or unreadable picture or table stops
// start-up: returns false with g.fatalError naming the archive and the member.
bool LoadAssets(Game& g);

// Reads preload.dat and appends the menu words; run after LoadAssets. False (with
// g.fatalError) when preload.dat is missing or damaged.
bool LoadPreloadTable(Game& g);

// The text formats, for the loaders and the tools that write them. Entries past the
// table's capacity are ignored. ReadMenuItems fails, saying where, on a size that is not a
// number or is missing.
bool ReadMenuItems(const std::vector<uint8_t>& text, std::vector<MenuItemEntry>& table,
                   std::string& error);
void ReadPreloadPairs(const std::vector<uint8_t>& text, std::vector<PreloadEntry>& table);

}  // namespace tdx
