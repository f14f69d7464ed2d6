// What the match shows of one of its objects: where it is, how large, and which picture of
// which library. The match keeps these as plain values, copied with it; the view places a
// sprite from each every frame. Rules that read a place from a look read it as the float
// it is, so the arithmetic stays what it always was.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tdx {

// The ten picture libraries the game owns, in this order.
enum LibraryId : int {
  LibGLML1,
  LibGlmllogo,
  LibGlmlzorbel,
  LibGlmlshots,
  LibGLMLatomic,
  LibGLMLrocket,
  LibGLMLmenu,
  LibGLMLMyst,
  LibGLMLtele,
  LibGLMLloading,
  kLibraryCount
};

struct Look {
  float x = 0, y = 0;  // centre, view pixels (arena units for a look never shown)
  float width = 0, height = 0;
  float rotation = 0;                 // degrees
  uint8_t visible = 0;                // 0 hidden, 1 shown
  LibraryId library = kLibraryCount;  // kLibraryCount: none yet

  void SetMaterial(LibraryId lib, std::string_view name) {
    library = lib;
    SetMaterialName(name);
  }
  void SetLibrary(LibraryId lib) { library = lib; }
  void SetMaterialName(std::string_view name) {
    size_t n = std::min(name.size(), sizeof material_ - 1);
    std::memcpy(material_, name.data(), n);
    material_[n] = '\0';
  }
  std::string_view MaterialName() const { return material_; }
  // Whether a look read back from bytes is one the game can show: a known library, a
  // shown flag of 0 or 1, a name that ends inside its field.
  bool Plausible() const {
    return library >= 0 && library <= kLibraryCount && visible <= 1 &&
           std::memchr(material_, '\0', sizeof material_) != nullptr;
  }

 private:
  char material_[15] = {};  // every picture name of the match is shorter
};

}  // namespace tdx
