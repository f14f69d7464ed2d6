// The sprite scene: plain data the game changes and a renderer draws.
// Sprites are drawn by their centre in creation order; materials live in ten named
// libraries. Nothing here knows about the window or OpenGL.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "match/look.h"

namespace tdx {

inline constexpr int kViewWidth = 640;
inline constexpr int kViewHeight = 480;

enum class BlendMode : uint8_t {
  Opaque,
  Transparency,
  Additive,
  AlphaTest50,
  AlphaTest100,
  Modulate
};
enum class ImageAlpha : uint8_t {
  Default,
  AlphaFromIntensity,
  SuperBlackTransparent,
  Luminance,
  LuminanceSqrt,
  Opaque,
  TopLeftPointColorTransparent,
  InverseLuminance,
  InverseLuminanceSqrt
};
enum class TextureMode : uint8_t { Decal, Modulate, Blend, Replace };
enum class Compression : uint8_t { Default, None, Standard, HighQuality, HighSpeed };

// A decoded picture: rows top to bottom, 4 bytes a pixel (R, G, B, A).
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
  bool hasAlpha = false;  // the source carried its own alpha channel
};

struct Colour4 {
  float r = 1, g = 1, b = 1, a = 1;
  float& operator[](int i) { return i == 0 ? r : i == 1 ? g : i == 2 ? b : a; }
};

struct Material {
  std::string name;
  std::shared_ptr<const Picture> picture;
  ImageAlpha imageAlpha = ImageAlpha::Default;
  TextureMode textureMode = TextureMode::Modulate;
  Compression compression = Compression::Default;
  bool enabled = false;
  BlendMode blending = BlendMode::Opaque;
  Colour4 diffuse;
  Colour4 emission{0, 0, 0, 1};
  // Bumped on every change so a renderer knows when to prepare the texture again.
  uint32_t revision = 0;

  void SetImageAlpha(ImageAlpha v) {
    imageAlpha = v;
    ++revision;
  }
  void SetTextureMode(TextureMode v) {
    textureMode = v;
    ++revision;
  }
  void SetCompression(Compression v) {
    compression = v;
    ++revision;
  }
  void SetBlending(BlendMode v) {
    blending = v;
    ++revision;
  }
  void SetDiffuse(int component, float v) {
    diffuse[component] = v;
    ++revision;
  }
  void SetEmission(int component, float v) {
    emission[component] = v;
    ++revision;
  }
};

// A named, ordered collection of materials; names compare case-insensitively.
class MaterialLibrary {
 public:
  explicit MaterialLibrary(std::string name) : name_(std::move(name)) {}
  const std::string& Name() const { return name_; }

  // Adds a texture material; an existing material of the same name gets the new picture.
  Material* AddTextureMaterial(const std::string& name, std::shared_ptr<const Picture> picture);
  Material* Find(const std::string& name) const;
  int Count() const { return static_cast<int>(materials_.size()); }
  Material* At(int index) const;
  void Clear();
  // Changes whenever materials are added or removed, so sprites re-resolve their names.
  uint32_t Generation() const { return generation_; }

 private:
  std::string name_;
  std::vector<std::unique_ptr<Material>> materials_;
  uint32_t generation_ = 1;
};

extern const char* const kLibraryNames[kLibraryCount];

class Scene;

// A flat screen-space sprite, placed by its centre in view pixels.
struct Sprite {
  float x = 0, y = 0, z = 0;
  float width = 0, height = 0;
  float rotation = 0;  // degrees
  bool visible = true;

  void SetMaterial(const MaterialLibrary* library, const std::string& name);
  void SetLibrary(const MaterialLibrary* library);
  void SetMaterialName(const std::string& name);
  const MaterialLibrary* Library() const { return library_; }
  const std::string& MaterialName() const { return materialName_; }
  // The material the sprite shows now, or null when the library has no such name.
  const Material* ResolvedMaterial() const;

 private:
  const MaterialLibrary* library_ = nullptr;
  std::string materialName_;
  mutable const Material* cached_ = nullptr;
  mutable uint32_t cachedGeneration_ = 0;
};

// Particle fire attached to a sprite (an "infernal carrier"); the particle model is ours.
struct FireEffect {
  int maxParticles = 48;
  float particleSize = 7.0f;
  float fireDensity = 1.0f;
  float fireCrown = 0.0f;
  float fireBurst = 8.0f;
  float fireRadius = 5.0f;
  Colour4 inner{1, 1, 0, 1};
  Colour4 outer{1, 0, 0, 1};
  bool disabled = true;
  const Sprite* carrier = nullptr;

  struct Particle {
    float x, y, vx, vy, age, life;
  };
  std::vector<Particle> particles;
  double spawnDebt = 0;
  uint32_t rng = 0x9E3779B9u;
};

class Scene {
 public:
  Scene();
  ~Scene();
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // Creates a sprite under the root group; it is drawn after every earlier one.
  Sprite* CreateSprite();
  // Removes the sprite from the scene and frees it (null is ignored).
  void RemoveSprite(Sprite* sprite);
  const std::vector<std::unique_ptr<Sprite>>& Sprites() const { return sprites_; }

  FireEffect* CreateFire();
  void RemoveFire(FireEffect* fire);
  const std::vector<std::unique_ptr<FireEffect>>& Fires() const { return fires_; }
  // Advances every enabled fire by dt seconds (called by the frame clock).
  void TickFires(double dt);

  MaterialLibrary& Library(LibraryId id) { return *libraries_[id]; }
  const MaterialLibrary& Library(LibraryId id) const { return *libraries_[id]; }
  // Finds a library by its exact name, or null.
  MaterialLibrary* LibraryByName(const std::string& name);

 private:
  std::vector<std::unique_ptr<Sprite>> sprites_;  // creation order is drawing order
  std::vector<std::unique_ptr<FireEffect>> fires_;
  std::array<std::unique_ptr<MaterialLibrary>, kLibraryCount> libraries_;
};

}  // namespace tdx
