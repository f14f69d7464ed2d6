// The asset catalogue: every picture into its material library, and the text tables of dat.pak.
#pragma once

#include <string>
#include <vector>

namespace tdx {

struct PreloadEntry {
  std::string library;
  std::string material;
};

struct AssetTables {
  std::vector<PreloadEntry> PreloadTable;
  int PreloadLast = -1;
  int PreloadIndex = 0;
  int EmptyItemIndex = -1;
};

}  // namespace tdx
