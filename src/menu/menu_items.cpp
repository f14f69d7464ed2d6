#include "menu/menu_items.h"

#include "app/game.h"

namespace tdx {

namespace {

const MenuItemEntry* FindMenuItem(const Game& g, const std::string& name) {
  for (const auto& e : g.assets.MenuItemTable) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

void SetSpriteSize(TMenuVrchol& n, double w, double h) {
  float cx = n.sprite->x, cy = n.sprite->y;
  n.sprite->width = static_cast<float>(w);
  n.sprite->height = static_cast<float>(h);
  n.sprite->x = cx;
  n.sprite->y = cy;
}

}  // namespace

TMenuVrchol::TMenuVrchol(Game& g, int x_, int y_, int tag_, const std::string& name_,
                         bool selectable_, double scale_, int kind_)
    : x(x_),
      y(y_),
      tag(tag_),
      scale(scale_),
      selectable(selectable_),
      kind(kind_),
      name(name_),
      scene_(g.scene) {
  const MaterialLibrary& menu = g.scene.Library(LibGLMLmenu);
  sprite = g.scene.CreateSprite();
  sprite->SetMaterial(&menu, name);
  // A word without a picture of its own takes the size of the library's last material.
  const Material* found = nullptr;
  for (int i = 0; i < menu.Count(); ++i) {
    found = menu.At(i);
    if (found->name == name) break;
  }
  if (found && found->picture) {
    pictureWidth = found->picture->width;
    pictureHeight = found->picture->height;
  }
  if (const MenuItemEntry* e = FindMenuItem(g, name)) {
    hitWidth = e->width;
    hitHeight = e->height;
  }
  sprite->width = static_cast<float>(pictureWidth * scale);
  sprite->height = static_cast<float>(pictureHeight * scale);
  sprite->x = static_cast<float>(x + sprite->width / 2.0);
  sprite->y = static_cast<float>(y + sprite->height / 2.0);
  sprite->visible = true;
}

TMenuVrchol::~TMenuVrchol() { scene_.RemoveSprite(sprite); }

TMenuVrchol* TMenuZoznam::AddItem(Game& g, int x, int y, int tag, const std::string& name,
                                  bool selectable, double scale, int kind) {
  nodes_.push_back(std::make_unique<TMenuVrchol>(g, x, y, tag, name, selectable, scale, kind));
  return nodes_.back().get();
}

TMenuVrchol* TMenuZoznam::AddSizedItem(Game& g, int x, int y, int tag, const std::string& name,
                                       bool selectable, double scale, int kind, int width,
                                       int height) {
  TMenuVrchol* n = AddItem(g, x, y, tag, name, selectable, scale, kind);
  n->sprite->width = static_cast<float>(width);
  n->sprite->height = static_cast<float>(height);
  n->sprite->x = static_cast<float>(x + width / 2.0);
  n->sprite->y = static_cast<float>(y + height / 2.0);
  g.menu.PopupFrameX = x;
  g.menu.PopupFrameY = y;
  g.menu.PopupFrameWidth = width;
  g.menu.PopupFrameHeight = height;
  g.menu.PopupFrameShown = true;
  return n;
}

void TMenuZoznam::RemoveAt(uint32_t index) {
  if (index < nodes_.size()) nodes_.erase(nodes_.begin() + index);
}

bool TMenuZoznam::RemoveTag(int tag) {
  for (size_t i = 0; i < nodes_.size(); ++i) {
    if (nodes_[i]->tag == tag) {
      nodes_.erase(nodes_.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  }
  return false;
}

void TMenuZoznam::RemovePopupItems() {
  std::erase_if(nodes_, [](const auto& n) { return n->kind == kPopupWord; });
}

TMenuVrchol* TMenuZoznam::FindTag(int tag) const {
  for (const auto& n : nodes_) {
    if (n->tag == tag) return n.get();
  }
  return nullptr;
}

void TMenuZoznam::ResizeTag(int tag, double factor) {
  if (TMenuVrchol* n = FindTag(tag)) {
    SetSpriteSize(*n, n->pictureWidth * n->scale * factor, n->pictureHeight * n->scale * factor);
  }
}

void TMenuZoznam::ShowTag(int tag) {
  if (TMenuVrchol* n = FindTag(tag)) n->sprite->visible = true;
}

void TMenuZoznam::HideTag(int tag) {
  if (TMenuVrchol* n = FindTag(tag)) n->sprite->visible = false;
}

bool HitTest(const Game& g, const TMenuZoznam& list, const TMenuVrchol& n) {
  if (!n.selectable) return false;
  if (!(list.mode == 1 || (list.mode == 2 && n.kind == kPopupWord))) return false;
  double mx = g.menu.MouseX, my = g.menu.MouseY;
  return n.x < mx && mx < n.x + n.hitWidth * n.scale && n.y < my &&
         my < n.y + n.hitHeight * n.scale;
}

void UpdateHover(Game& g) {
  MenuState& m = g.menu;
  const TMenuZoznam& list = m.MainList();
  m.HoverTag = 0;
  for (const auto& np : list.Nodes()) {
    TMenuVrchol& n = *np;
    if (!n.selectable) continue;
    double normalW = n.pictureWidth * n.scale, normalH = n.pictureHeight * n.scale;
    if (HitTest(g, list, n)) {
      m.HoverTag = n.tag;
      double grow = 1 + 0.3 * g.FrameDelta;
      double w = n.sprite->width * grow, h = n.sprite->height * grow;
      if (w > normalW * 1.05) {
        w = normalW * 1.05;
        h = normalH * 1.05;
      }
      SetSpriteSize(n, w, h);
    } else if (n.sprite->width > normalW) {
      double shrink = 1 - 0.3 * g.FrameDelta;
      double w = n.sprite->width * shrink, h = n.sprite->height * shrink;
      if (w < normalW) {
        w = normalW;
        h = normalH;
      }
      SetSpriteSize(n, w, h);
    }
  }
}

bool IsHovered(const Game& g, int tag) {
  const TMenuZoznam& list = g.menu.MainList();
  for (const auto& n : list.Nodes()) {
    if (n->tag == tag && HitTest(g, list, *n)) return true;
  }
  return false;
}

bool TakeClick(Game& g) {
  if (!g.menu.MouseClicked) return false;
  g.menu.MouseClicked = false;
  return true;
}

}  // namespace tdx
