#include "display/scene.h"

#include <strings.h>
#include <algorithm>
#include <cmath>

namespace tdx {

const char* const kLibraryNames[kLibraryCount] = {
    "GLML1",      "glmllogo", "glmlzorbel", "glmlshots", "GLMLatomic",
    "GLMLrocket", "GLMLmenu", "GLMLMyst",   "GLMLtele",  "GLMLloading"};

Material* MaterialLibrary::AddTextureMaterial(const std::string& name,
                                              std::shared_ptr<const Picture> picture) {
  Material* m = Find(name);
  if (!m) {
    materials_.push_back(std::make_unique<Material>());
    m = materials_.back().get();
    m->name = name;
    ++generation_;
  }
  m->picture = std::move(picture);
  m->enabled = m->picture != nullptr;
  ++m->revision;
  return m;
}

Material* MaterialLibrary::Find(const std::string& name) const {
  for (const auto& m : materials_) {
    if (m->name.size() == name.size() && strcasecmp(m->name.c_str(), name.c_str()) == 0) {
      return m.get();
    }
  }
  return nullptr;
}

Material* MaterialLibrary::At(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return materials_[static_cast<size_t>(index)].get();
}

void MaterialLibrary::Clear() {
  materials_.clear();
  ++generation_;
}

void Sprite::SetMaterial(const MaterialLibrary* library, const std::string& name) {
  library_ = library;
  materialName_ = name;
  cachedGeneration_ = 0;
}

void Sprite::SetLibrary(const MaterialLibrary* library) {
  library_ = library;
  cachedGeneration_ = 0;
}

void Sprite::SetMaterialName(const std::string& name) {
  if (name == materialName_) return;
  materialName_ = name;
  cachedGeneration_ = 0;
}

const Material* Sprite::ResolvedMaterial() const {
  if (!library_) return nullptr;
  if (cachedGeneration_ != library_->Generation()) {
    cached_ = library_->Find(materialName_);
    cachedGeneration_ = library_->Generation();
  }
  return cached_;
}

Scene::Scene() {
  for (int i = 0; i < kLibraryCount; ++i) {
    libraries_[static_cast<size_t>(i)] = std::make_unique<MaterialLibrary>(kLibraryNames[i]);
  }
}

Scene::~Scene() = default;

Sprite* Scene::CreateSprite() {
  sprites_.push_back(std::make_unique<Sprite>());
  return sprites_.back().get();
}

void Scene::RemoveSprite(Sprite* sprite) {
  if (!sprite) return;
  for (auto& f : fires_) {
    if (f->carrier == sprite) f->carrier = nullptr;
  }
  // Removals are rare (menu words, shut-down) and usually of recent sprites: search backwards.
  for (size_t i = sprites_.size(); i-- > 0;) {
    if (sprites_[i].get() == sprite) {
      sprites_.erase(sprites_.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

FireEffect* Scene::CreateFire() {
  fires_.push_back(std::make_unique<FireEffect>());
  return fires_.back().get();
}

void Scene::RemoveFire(FireEffect* fire) {
  fires_.erase(std::remove_if(fires_.begin(), fires_.end(),
                              [fire](const auto& f) { return f.get() == fire; }),
               fires_.end());
}

MaterialLibrary* Scene::LibraryByName(const std::string& name) {
  for (auto& lib : libraries_) {
    if (lib->Name() == name) return lib.get();
  }
  return nullptr;
}

namespace {
float NextUnit(uint32_t& s) {
  s ^= s << 13;
  s ^= s >> 17;
  s ^= s << 5;
  return static_cast<float>(s & 0xFFFFFF) / 16777216.0f;
}
}  // namespace

// Particles are born in a disc of fireRadius around the carrier, rise (towards -y) with a
// little sideways flicker, swell a little and fade from the inner to the outer colour.
void Scene::TickFires(double dt) {
  if (dt <= 0) return;
  float fdt = static_cast<float>(std::min(dt, 0.25));
  for (auto& fire : fires_) {
    FireEffect& f = *fire;
    for (auto& p : f.particles) {
      p.age += fdt;
      p.x += p.vx * fdt;
      p.y += p.vy * fdt;
      p.vx += (NextUnit(f.rng) - 0.5f) * 40.0f * fdt;
    }
    f.particles.erase(std::remove_if(f.particles.begin(), f.particles.end(),
                                     [](const FireEffect::Particle& p) { return p.age >= p.life; }),
                      f.particles.end());
    if (f.disabled || !f.carrier) {
      f.spawnDebt = 0;
      continue;
    }
    // fireBurst is the number of particles born per tenth of a second, scaled by density.
    f.spawnDebt += dt * 10.0 * std::max(0.0f, f.fireBurst) * std::max(0.1f, f.fireDensity);
    while (f.spawnDebt >= 1.0 && static_cast<int>(f.particles.size()) < f.maxParticles) {
      f.spawnDebt -= 1.0;
      float a = NextUnit(f.rng) * 6.2831853f;
      float r = std::sqrt(NextUnit(f.rng)) * f.fireRadius;
      FireEffect::Particle p{};
      p.x = f.carrier->x + std::cos(a) * r;
      p.y = f.carrier->y + std::sin(a) * r;
      p.vx = (NextUnit(f.rng) - 0.5f) * 12.0f;
      p.vy = -(18.0f + NextUnit(f.rng) * 22.0f) * (1.0f + f.fireCrown);
      p.age = 0;
      p.life = 0.35f + NextUnit(f.rng) * 0.35f;
      f.particles.push_back(p);
    }
    if (f.spawnDebt > 1.0) f.spawnDebt = 1.0;
  }
}

}  // namespace tdx
