// Helpers for tests that need a fresh game with some word pictures.
#pragma once

#include <memory>
#include <string>

#include "app/game.h"

namespace tdx::testing {

// A plain picture of w by h pixels, every pixel the given RGBA.
inline std::shared_ptr<Picture> SolidPicture(int w, int h, uint32_t rgba = 0xFFFFFFFFu) {
  auto p = std::make_shared<Picture>();
  p->width = w;
  p->height = h;
  p->rgba.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  for (size_t i = 0; i < p->rgba.size(); i += 4) {
    p->rgba[i] = rgba & 0xFF;
    p->rgba[i + 1] = (rgba >> 8) & 0xFF;
    p->rgba[i + 2] = (rgba >> 16) & 0xFF;
    p->rgba[i + 3] = (rgba >> 24) & 0xFF;
  }
  return p;
}

// Adds a word picture to GLMLmenu and its hit size to the menu-item table.
inline void AddWord(Game& g, const std::string& name, int w, int h, int hitW = -1, int hitH = -1) {
  g.scene.Library(LibGLMLmenu).AddTextureMaterial(name, SolidPicture(w, h));
  if (hitW >= 0) g.assets.MenuItemTable.push_back({name, hitW, hitH});
}

}  // namespace tdx::testing
