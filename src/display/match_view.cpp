#include "display/match_view.h"

#include "app/game.h"

namespace tdx {

namespace {

// A sprite shows what its look says; the picture is looked up again only when it changed.
void Place(Scene& scene, Sprite* s, const Look& l) {
  if (!s) return;
  s->x = l.x;
  s->y = l.y;
  s->width = l.width;
  s->height = l.height;
  s->rotation = l.rotation;
  s->visible = l.visible;
  if (l.library == kLibraryCount) return;
  const MaterialLibrary* lib = &scene.Library(l.library);
  if (s->Library() != lib) {
    s->SetMaterial(lib, std::string(l.MaterialName()));
  } else if (s->MaterialName() != l.MaterialName()) {
    s->SetMaterialName(std::string(l.MaterialName()));
  }
}

// The sprites of one list of bonus objects follow the list: one each, in order.
void Follow(Game& g, std::vector<Sprite*>& sprites, const std::vector<BonusObject>& objects,
            bool tumble) {
  while (sprites.size() > objects.size()) {
    g.scene.RemoveSprite(sprites.back());
    sprites.pop_back();
  }
  while (sprites.size() < objects.size()) sprites.push_back(g.scene.CreateSprite());
  for (size_t i = 0; i < objects.size(); ++i) {
    Place(g.scene, sprites[i], objects[i].look);
    // The fire ball tumbles: a look of its own, drawn from the look's generator.
    if (tumble) sprites[i]->rotation = static_cast<float>(g.LookRandom(360));
  }
}

void Clear(Game& g, std::vector<Sprite*>& sprites) {
  for (Sprite* s : sprites) g.scene.RemoveSprite(s);
  sprites.clear();
}

}  // namespace

void BuildMatchView(Game& g) {
  MatchView& v = g.view;
  if (v.built) return;
  v.built = true;
  for (int slot = 0; slot < kWormCount; ++slot) {
    WormSprites& ws = v.worms[static_cast<size_t>(slot)];
    Scene& scene = g.scene;
    // Creation order is drawing order: the marker lies under the shots, the teleport
    // flash over everything the worm owns.
    ws.rip = scene.CreateSprite();
    ws.fireball = scene.CreateSprite();
    for (Sprite*& carrier : ws.carrier) {
      carrier = scene.CreateSprite();
      carrier->width = carrier->height = 0;
    }
    ws.missile = scene.CreateSprite();
    for (Sprite*& s : ws.bullets) s = scene.CreateSprite();
    for (Sprite*& s : ws.laser) s = scene.CreateSprite();
    for (Sprite*& s : ws.viruses) s = scene.CreateSprite();
    ws.teleport = scene.CreateSprite();
    // Two fires for the infernal worm: yellow into red, and yellow into green.
    for (int i = 0; i < 2; ++i) {
      FireEffect* fire = scene.CreateFire();
      fire->inner = Colour4{1, 1, 0, 1};
      fire->outer = i == 0 ? Colour4{1, 0, 0, 1} : Colour4{0, 1, 0, 1};
      fire->disabled = true;
      fire->carrier = ws.carrier[static_cast<size_t>(i)];
      ws.fires[static_cast<size_t>(i)] = fire;
    }
  }
  ShowMatch(g);
}

void ShowBonusPlaces(Game& g) {
  MatchView& v = g.view;
  if (!v.built) return;
  HideBonusPlaces(g);  // a second match start must not leave the first one's behind
  for (size_t i = 0; i < kBonusSlots; ++i) {
    v.swirl[i] = g.scene.CreateSprite();
    v.picture[i] = g.scene.CreateSprite();
    Place(g.scene, v.swirl[i], g.bonus.slots[i].swirl);
    Place(g.scene, v.picture[i], g.bonus.slots[i].picture);
  }
}

void HideBonusPlaces(Game& g) {
  MatchView& v = g.view;
  for (size_t i = 0; i < kBonusSlots; ++i) {
    g.scene.RemoveSprite(v.picture[i]);
    g.scene.RemoveSprite(v.swirl[i]);
    v.picture[i] = v.swirl[i] = nullptr;
  }
  Clear(g, v.shots);
  Clear(g, v.diggers);
  Clear(g, v.bombs);
}

void ShowMatch(Game& g) {
  MatchView& v = g.view;
  if (!v.built) return;
  for (int slot = 0; slot < kWormCount; ++slot) {
    const TCerv& w = g.Worm(slot);
    WormSprites& ws = v.worms[static_cast<size_t>(slot)];
    Place(g.scene, ws.rip, w.ripLook);
    Place(g.scene, ws.fireball, w.fireballLook);
    for (size_t i = 0; i < 2; ++i) {
      Place(g.scene, ws.carrier[i], w.infernalCarrier[i]);
      ws.carrier[i]->visible = true;  // the fire hangs on it; the carrier itself has no picture
      ws.fires[i]->disabled = !w.infernalOn;
    }
    Place(g.scene, ws.missile, w.missileLook);
    for (size_t i = 0; i < kBulletCount; ++i) Place(g.scene, ws.bullets[i], w.bulletLook[i]);
    for (size_t i = 0; i < kLaserBeamCount; ++i) Place(g.scene, ws.laser[i], w.laserBeam[i]);
    for (size_t i = 0; i < kVirusCount; ++i) Place(g.scene, ws.viruses[i], w.virusLook[i]);
    Place(g.scene, ws.teleport, w.teleportLook);
  }
  for (size_t i = 0; i < kBonusSlots; ++i) {
    Place(g.scene, v.swirl[i], g.bonus.slots[i].swirl);
    Place(g.scene, v.picture[i], g.bonus.slots[i].picture);
  }
  const BonusObjectLists& objects = g.bonus.objects;
  if (v.swirl[0]) {
    Follow(g, v.shots, objects.BonusShots, g.phase == GamePhase::Playing);
    Follow(g, v.diggers, objects.Diggers, false);
    Follow(g, v.bombs, objects.Bombs, false);
  }
}

}  // namespace tdx
