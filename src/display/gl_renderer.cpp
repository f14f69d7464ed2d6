#include "display/gl_renderer.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "platform/letterbox.h"
#include "platform/screenshot_file.h"

namespace tdx {

// ---------------------------------------------------------------------------------------
// Image-alpha rules, applied once when a texture is prepared.

namespace {

inline uint8_t Luminance(const uint8_t* p) {
  return static_cast<uint8_t>((299u * p[0] + 587u * p[1] + 114u * p[2] + 500u) / 1000u);
}

// Square roots of 0..255 on the 0..255 scale: a soft ramp that keeps faint glow visible.
struct SqrtTable {
  uint8_t v[256] = {};
  SqrtTable() {
    for (int i = 0; i < 256; ++i)
      v[i] = static_cast<uint8_t>(std::lround(std::sqrt(i / 255.0) * 255.0));
  }
};
const SqrtTable kSqrt;

}  // namespace

void ApplyImageAlpha(ImageAlpha rule, const Picture& picture, std::vector<uint8_t>& rgba) {
  const size_t count =
      picture.width > 0 && picture.height > 0
          ? static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height)
          : 0;
  if (count == 0 || picture.rgba.size() < count * 4) {
    rgba.clear();
    return;
  }
  rgba.assign(picture.rgba.begin(), picture.rgba.begin() + static_cast<std::ptrdiff_t>(count * 4));
  uint8_t* p = rgba.data();
  uint8_t* end = p + count * 4;
  switch (rule) {
    case ImageAlpha::Default:
      // A picture without its own alpha channel is opaque.
      if (!picture.hasAlpha) {
        for (; p != end; p += 4) p[3] = 255;
      }
      break;
    case ImageAlpha::AlphaFromIntensity:
      for (; p != end; p += 4) p[3] = static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
      break;
    case ImageAlpha::SuperBlackTransparent:
      for (; p != end; p += 4) p[3] = (p[0] | p[1] | p[2]) == 0 ? 0 : 255;
      break;
    case ImageAlpha::Luminance:
      for (; p != end; p += 4) p[3] = Luminance(p);
      break;
    case ImageAlpha::LuminanceSqrt:
      for (; p != end; p += 4) p[3] = kSqrt.v[Luminance(p)];
      break;
    case ImageAlpha::Opaque:
      for (; p != end; p += 4) p[3] = 255;
      break;
    case ImageAlpha::TopLeftPointColorTransparent: {
      const uint8_t key[3] = {p[0], p[1], p[2]};
      for (; p != end; p += 4) {
        if (p[0] == key[0] && p[1] == key[1] && p[2] == key[2]) {
          // Black under the hole, so filtering does not fringe edges with the key colour.
          p[0] = p[1] = p[2] = p[3] = 0;
        } else {
          p[3] = 255;
        }
      }
      break;
    }
    case ImageAlpha::InverseLuminance:
      for (; p != end; p += 4) p[3] = static_cast<uint8_t>(255 - Luminance(p));
      break;
    case ImageAlpha::InverseLuminanceSqrt:
      for (; p != end; p += 4) p[3] = kSqrt.v[255 - Luminance(p)];
      break;
  }
}

// ---------------------------------------------------------------------------------------

namespace {

struct Vertex {
  float x, y, z;
  float u, v;
  uint8_t rgba[4];
};

// The GL state a run of sprites shares; a change ends the run.
struct BatchState {
  GLuint texture = 0;
  BlendMode blending = BlendMode::Opaque;
  TextureMode textureMode = TextureMode::Modulate;
  bool operator==(const BatchState&) const = default;
};

struct Batch {
  BatchState state;
  GLint first = 0;
  GLsizei count = 0;
};

struct TextureEntry {
  GLuint id = 0;       // the picture's own texture, when it is not in an atlas
  bool known = false;  // prepared at least once
  bool usable = false;
  bool enabled = false;
  // Held so the picture's address cannot be reused by another picture while we compare.
  std::shared_ptr<const Picture> picture;
  ImageAlpha alpha = ImageAlpha::Default;
  int atlas = -1;  // the library whose atlas holds the picture, or -1
  float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
};

// Small pictures of one library share one texture, so sprites that show different
// pictures of it can be drawn together: each texture change costs a software GL dearly.
// Every picture sits in a cell with a border of repeated edge texels, deep enough that
// neither filtering nor the first three mipmap levels reach a neighbour; cells are
// aligned to 8 texels so those levels never mix two cells. Deeper levels would, so the
// atlas stops at level 3 (a sprite drawn below an eighth of its picture's size).
constexpr int kAtlasGutter = 8;
constexpr int kAtlasLevels = 4;
constexpr int kAtlasAlign = 1 << (kAtlasLevels - 1);
constexpr int kAtlasMaxPicture = 256;
constexpr int kAtlasFirstSize = 512;
constexpr int kAtlasMaxSize = 2048;

struct AtlasShelf {
  int y = 0, height = 0, used = 0;
};

struct LibraryAtlas {
  GLuint texture = 0;
  int width = 0, height = 0;
  std::vector<AtlasShelf> shelves;
  int bottom = 0;  // first row below the last shelf
  // Materials placed here, by address only (never followed: a removed material's entry
  // is gone from the texture table).
  std::vector<const Material*> members;
};

int RoundUp(int v, int step) { return (v + step - 1) / step * step; }

// The size an atlas grows to: twice as large, the shorter side first. False past `limit`.
bool GrownAtlasSize(int& w, int& h, int limit) {
  int nw = w, nh = h;
  (nh < nw ? nh : nw) *= 2;
  if (nw > limit || nh > limit) return false;
  w = nw;
  h = nh;
  return true;
}

// Copies the texels at the edges of [x0, x1) by [y0, y1) outwards over the rest of the
// w by h level, so sampling beyond the picture sees what clamping to its edge would.
void RepeatEdges(uint8_t* level, int w, int h, int x0, int x1, int y0, int y1) {
  auto at = [&](int x, int y) { return level + (static_cast<size_t>(y) * w + x) * 4; };
  for (int y = y0; y < y1; ++y) {
    for (int x = 0; x < x0; ++x) std::memcpy(at(x, y), at(x0, y), 4);
    for (int x = x1; x < w; ++x) std::memcpy(at(x, y), at(x1 - 1, y), 4);
  }
  const size_t row = static_cast<size_t>(w) * 4;
  for (int y = 0; y < y0; ++y) std::memcpy(at(0, y), at(0, y0), row);
  for (int y = y1; y < h; ++y) std::memcpy(at(0, y), at(0, y1 - 1), row);
}

// The next level down of a w by h level (both even): each texel the mean of four.
void HalveLevel(const uint8_t* src, int w, int h, std::vector<uint8_t>& dst) {
  const int hw = w / 2, hh = h / 2;
  dst.resize(static_cast<size_t>(hw) * hh * 4);
  for (int y = 0; y < hh; ++y) {
    const uint8_t* a = src + static_cast<size_t>(2 * y) * w * 4;
    const uint8_t* b = a + static_cast<size_t>(w) * 4;
    uint8_t* d = &dst[static_cast<size_t>(y) * hw * 4];
    for (int x = 0; x < hw; ++x, a += 8, b += 8, d += 4) {
      for (int c = 0; c < 4; ++c)
        d[c] = static_cast<uint8_t>((a[c] + a[c + 4] + b[c] + b[c + 4] + 2) >> 2);
    }
  }
}

uint8_t ToByte(float v) {
  if (!(v > 0.0f)) return 0;  // also NaN
  if (v >= 1.0f) return 255;
  return static_cast<uint8_t>(std::lround(v * 255.0f));
}

GLint TextureEnvMode(TextureMode mode) {
  switch (mode) {
    case TextureMode::Decal: return GL_DECAL;
    case TextureMode::Blend: return GL_BLEND;
    case TextureMode::Replace: return GL_REPLACE;
    case TextureMode::Modulate: break;
  }
  return GL_MODULATE;
}

void ApplyBlending(BlendMode mode) {
  switch (mode) {
    case BlendMode::Opaque:
      glDisable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      break;
    case BlendMode::Transparency:
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glEnable(GL_ALPHA_TEST);
      glAlphaFunc(GL_GREATER, 0.0f);
      break;
    case BlendMode::Additive:
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      glDisable(GL_ALPHA_TEST);
      break;
    case BlendMode::AlphaTest50:
      glDisable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glAlphaFunc(GL_GEQUAL, 0.5f);
      break;
    case BlendMode::AlphaTest100:
      glDisable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glAlphaFunc(GL_GEQUAL, 1.0f);
      break;
    case BlendMode::Modulate:
      glEnable(GL_BLEND);
      glBlendFunc(GL_DST_COLOR, GL_ZERO);
      glDisable(GL_ALPHA_TEST);
      break;
  }
}

constexpr int kParticleTextureSize = 32;

}  // namespace

struct GlRenderer::Impl {
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DPROC framebufferTexture2D = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
  PFNGLGENERATEMIPMAPPROC generateMipmap = nullptr;
  PFNGLGENBUFFERSPROC genBuffers = nullptr;
  PFNGLDELETEBUFFERSPROC deleteBuffers = nullptr;
  PFNGLBINDBUFFERPROC bindBuffer = nullptr;
  PFNGLBUFFERDATAPROC bufferData = nullptr;
  PFNGLBUFFERSUBDATAPROC bufferSubData = nullptr;

  GLuint fbo = 0;
  GLuint clearFbo = 0;  // clears atlas pages in the GL, without sending it zeros
  GLuint frameTexture = 0;
  GLuint canvasTextures[2] = {0, 0};
  GLuint particleTexture = 0;
  // The frame's quads go into one buffer that lives as long as the renderer: handing the
  // driver client memory instead makes it copy into fresh memory on every draw call.
  GLuint vertexBuffer = 0;
  size_t vertexBufferBytes = 0;
  GLint maxTextureSize = 0;
  bool haveFrame = false;

  std::unordered_map<const Material*, TextureEntry> textures;
  const Scene* lastScene = nullptr;
  uint64_t lastLibraryStamp = 0;
  bool atlasesOn = true;
  std::array<LibraryAtlas, kLibraryCount> atlases;

  // A visible sprite whose picture is ready, in drawing order.
  struct SpriteDraw {
    const Sprite* sprite;
    const Material* material;
    const TextureEntry* entry;
  };
  std::vector<SpriteDraw> draws;
  std::vector<Vertex> vertices;
  std::vector<Batch> batches;
  std::vector<uint8_t> texels;
  std::vector<uint8_t> cellLevels[kAtlasLevels];

  ~Impl() {
    for (auto& [material, entry] : textures) {
      if (entry.id) glDeleteTextures(1, &entry.id);
    }
    for (LibraryAtlas& a : atlases) {
      if (a.texture) glDeleteTextures(1, &a.texture);
    }
    if (fbo && deleteFramebuffers) deleteFramebuffers(1, &fbo);
    if (clearFbo && deleteFramebuffers) deleteFramebuffers(1, &clearFbo);
    if (vertexBuffer && deleteBuffers) deleteBuffers(1, &vertexBuffer);
    GLuint owned[] = {frameTexture, canvasTextures[0], canvasTextures[1], particleTexture};
    for (GLuint t : owned) {
      if (t) glDeleteTextures(1, &t);
    }
  }

  bool Init(GlProcLoader loader, std::string& error);
  void PruneTextures(const Scene& scene);
  const TextureEntry* Prepare(const Material& material, int library);
  bool UploadOwn(TextureEntry& e, const Picture& pic);
  bool AtlasAdd(int library, const Material* key, TextureEntry& e);
  static bool AtlasPlace(LibraryAtlas& a, int cw, int ch, int& x, int& y);
  bool AtlasGrow(int library);
  void AtlasNewPage(LibraryAtlas& a, int w, int h);
  void AtlasFirstSize(int library, int& w, int& h) const;
  void AtlasUploadCell(const LibraryAtlas& a, int x, int y, int w, int h);
  void AtlasReset(int library);
  void ForgetAllTextures();
  void DrawCanvas(const Canvas& canvas, int slot, bool onClearedFrame);
  void PrepareSprites(const Scene& scene);  // every visible sprite's picture, into `draws`
  void CollectSprites(const Scene& scene);
  void CollectFires(const Scene& scene);
  void DrawBatches();
  void PushQuad(float cx, float cy, float z, float w, float h, float rotation,
                const uint8_t rgba[4], const TextureEntry* uv = nullptr);
};

bool GlRenderer::Impl::Init(GlProcLoader loader, std::string& error) {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 0, minor = 0;
  if (!version || std::sscanf(version, "%d.%d", &major, &minor) != 2) {
    error = "the OpenGL driver does not report its version";
    return false;
  }
  if (major < 2 || (major == 2 && minor < 1)) {
    error = std::string("OpenGL 2.1 is needed, the driver offers ") + version;
    return false;
  }
  // Framebuffer objects: core since 3.0, an extension on older drivers.
  auto load = [loader](const char* core, const char* ext) -> void* {
    void* f = loader ? loader(core) : nullptr;
    if (!f && loader) f = loader(ext);
    return f;
  };
  genFramebuffers =
      reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(load("glGenFramebuffers", "glGenFramebuffersEXT"));
  deleteFramebuffers = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(
      load("glDeleteFramebuffers", "glDeleteFramebuffersEXT"));
  bindFramebuffer =
      reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(load("glBindFramebuffer", "glBindFramebufferEXT"));
  framebufferTexture2D = reinterpret_cast<PFNGLFRAMEBUFFERTEXTURE2DPROC>(
      load("glFramebufferTexture2D", "glFramebufferTexture2DEXT"));
  checkFramebufferStatus = reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(
      load("glCheckFramebufferStatus", "glCheckFramebufferStatusEXT"));
  generateMipmap =
      reinterpret_cast<PFNGLGENERATEMIPMAPPROC>(load("glGenerateMipmap", "glGenerateMipmapEXT"));
  if (!genFramebuffers || !deleteFramebuffers || !bindFramebuffer || !framebufferTexture2D ||
      !checkFramebufferStatus) {
    error = std::string("the OpenGL driver (") + version + ") has no framebuffer objects";
    return false;
  }
  // Buffer objects: core since 1.5.
  genBuffers = reinterpret_cast<PFNGLGENBUFFERSPROC>(load("glGenBuffers", "glGenBuffersARB"));
  deleteBuffers =
      reinterpret_cast<PFNGLDELETEBUFFERSPROC>(load("glDeleteBuffers", "glDeleteBuffersARB"));
  bindBuffer = reinterpret_cast<PFNGLBINDBUFFERPROC>(load("glBindBuffer", "glBindBufferARB"));
  bufferData = reinterpret_cast<PFNGLBUFFERDATAPROC>(load("glBufferData", "glBufferDataARB"));
  bufferSubData =
      reinterpret_cast<PFNGLBUFFERSUBDATAPROC>(load("glBufferSubData", "glBufferSubDataARB"));
  if (!genBuffers || !deleteBuffers || !bindBuffer || !bufferData || !bufferSubData) {
    error = std::string("the OpenGL driver (") + version + ") has no buffer objects";
    return false;
  }
  genBuffers(1, &vertexBuffer);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);

  auto makeTexture = [](GLint filter, GLsizei w, GLsizei h, const void* data) {
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, data);
    return t;
  };
  frameTexture = makeTexture(GL_NEAREST, kViewWidth, kViewHeight, nullptr);
  // Canvases map pixel for pixel onto the view: no filtering.
  canvasTextures[0] = makeTexture(GL_NEAREST, kViewWidth, kViewHeight, nullptr);
  canvasTextures[1] = makeTexture(GL_NEAREST, kViewWidth, kViewHeight, nullptr);

  // One soft round spot for every fire particle: white, alpha falling off to the rim.
  std::vector<uint8_t> spot(kParticleTextureSize * kParticleTextureSize * 4);
  for (int y = 0; y < kParticleTextureSize; ++y) {
    for (int x = 0; x < kParticleTextureSize; ++x) {
      float dx = (x + 0.5f) / kParticleTextureSize * 2 - 1;
      float dy = (y + 0.5f) / kParticleTextureSize * 2 - 1;
      float f = std::max(0.0f, 1.0f - (dx * dx + dy * dy));
      uint8_t* p = &spot[static_cast<size_t>(y * kParticleTextureSize + x) * 4];
      p[0] = p[1] = p[2] = 255;
      p[3] = ToByte(f * f);
    }
  }
  particleTexture = makeTexture(GL_LINEAR, kParticleTextureSize, kParticleTextureSize, spot.data());

  genFramebuffers(1, &fbo);
  bindFramebuffer(GL_FRAMEBUFFER, fbo);
  framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, frameTexture, 0);
  GLenum status = checkFramebufferStatus(GL_FRAMEBUFFER);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  bindFramebuffer(GL_FRAMEBUFFER, 0);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "the 640 by 480 off-screen frame cannot be made (status 0x%04X)",
                  status);
    error = buf;
    return false;
  }
  GLenum err = glGetError();
  if (err != GL_NO_ERROR) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "OpenGL error 0x%04X while setting up the renderer", err);
    error = buf;
    return false;
  }
  return true;
}

// Textures of materials that no longer exist are freed when a library changes.
void GlRenderer::Impl::PruneTextures(const Scene& scene) {
  uint64_t stamp = 0;
  for (int i = 0; i < kLibraryCount; ++i) {
    stamp = stamp * 1000003u + scene.Library(static_cast<LibraryId>(i)).Generation();
  }
  if (&scene == lastScene && stamp == lastLibraryStamp) return;
  if (&scene != lastScene) {
    for (int i = 0; i < kLibraryCount; ++i) AtlasReset(i);
  }
  lastScene = &scene;
  lastLibraryStamp = stamp;
  std::unordered_set<const Material*> live;
  for (int i = 0; i < kLibraryCount; ++i) {
    const MaterialLibrary& lib = scene.Library(static_cast<LibraryId>(i));
    for (int m = 0; m < lib.Count(); ++m) live.insert(lib.At(m));
  }
  for (auto it = textures.begin(); it != textures.end();) {
    if (live.count(it->first)) {
      ++it;
      continue;
    }
    if (it->second.id) glDeleteTextures(1, &it->second.id);
    it = textures.erase(it);
  }
  // An atlas holding a removed material starts afresh rather than keep its dead cell.
  for (int i = 0; i < kLibraryCount; ++i) {
    for (const Material* key : atlases[static_cast<size_t>(i)].members) {
      if (!textures.count(key)) {
        AtlasReset(i);
        break;
      }
    }
  }
}

// The material's texture, prepared on first use and again when its picture or its
// image-alpha rule changes (other settings are drawing state): a cell of its library's
// atlas, or its own texture when it has no library or is too large. Null when it has no
// usable picture. Compared by picture rather than by revision: a material freed with its
// scene and another allocated at the same address must not inherit the old texture.
const TextureEntry* GlRenderer::Impl::Prepare(const Material& material, int library) {
  TextureEntry& e = textures[&material];
  if (e.known && e.picture == material.picture && e.alpha == material.imageAlpha &&
      e.enabled == material.enabled) {
    return e.usable ? &e : nullptr;
  }
  if (e.atlas >= 0) {
    auto& members = atlases[static_cast<size_t>(e.atlas)].members;
    members.erase(std::remove(members.begin(), members.end(), &material), members.end());
    e.atlas = -1;
  }
  e.known = true;
  e.enabled = material.enabled;
  e.picture = material.picture;
  e.alpha = material.imageAlpha;
  e.usable = false;
  e.u0 = e.v0 = 0;
  e.u1 = e.v1 = 1;
  if (!material.picture || !material.enabled) return nullptr;
  const Picture& pic = *material.picture;
  if (atlasesOn && library >= 0 && pic.width <= kAtlasMaxPicture &&
      pic.height <= kAtlasMaxPicture && AtlasAdd(library, &material, e)) {
    if (e.id) glDeleteTextures(1, &e.id);
    e.id = 0;
    e.usable = true;
    return &e;
  }
  e.usable = UploadOwn(e, pic);
  return e.usable ? &e : nullptr;
}

bool GlRenderer::Impl::UploadOwn(TextureEntry& e, const Picture& pic) {
  if (pic.width > maxTextureSize || pic.height > maxTextureSize) return false;
  ApplyImageAlpha(e.alpha, pic, texels);
  if (texels.empty()) return false;
  if (!e.id) glGenTextures(1, &e.id);
  glBindTexture(GL_TEXTURE_2D, e.id);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (!generateMipmap) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pic.width, pic.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               texels.data());
  if (generateMipmap) generateMipmap(GL_TEXTURE_2D);
  return glGetError() == GL_NO_ERROR;
}

// Puts the entry's picture into its library's atlas, growing the atlas when it is full.
// False when the picture is unusable or the atlas cannot hold it.
bool GlRenderer::Impl::AtlasAdd(int library, const Material* key, TextureEntry& e) {
  LibraryAtlas& a = atlases[static_cast<size_t>(library)];
  const Picture& pic = *e.picture;
  if (pic.width <= 0 || pic.height <= 0) return false;
  const int cw = RoundUp(pic.width, kAtlasAlign) + 2 * kAtlasGutter;
  const int ch = RoundUp(pic.height, kAtlasAlign) + 2 * kAtlasGutter;
  if (!a.texture) {
    int w = kAtlasFirstSize, h = kAtlasFirstSize;
    AtlasFirstSize(library, w, h);
    AtlasNewPage(a, w, h);
  }
  int x = 0, y = 0;
  while (!AtlasPlace(a, cw, ch, x, y)) {
    if (!AtlasGrow(library)) return false;
  }
  ApplyImageAlpha(e.alpha, pic, texels);
  if (texels.empty()) return false;  // the reserved cell stays empty
  AtlasUploadCell(a, x, y, pic.width, pic.height);
  e.atlas = library;
  e.u0 = static_cast<float>(x + kAtlasGutter) / static_cast<float>(a.width);
  e.v0 = static_cast<float>(y + kAtlasGutter) / static_cast<float>(a.height);
  e.u1 = static_cast<float>(x + kAtlasGutter + pic.width) / static_cast<float>(a.width);
  e.v1 = static_cast<float>(y + kAtlasGutter + pic.height) / static_cast<float>(a.height);
  a.members.push_back(key);
  return true;
}

// Shelf packing: a cell goes on the first shelf of about its height with room left, or on
// a new shelf below the others.
bool GlRenderer::Impl::AtlasPlace(LibraryAtlas& a, int cw, int ch, int& x, int& y) {
  for (AtlasShelf& s : a.shelves) {
    if (ch <= s.height && ch * 4 >= s.height * 3 && s.used + cw <= a.width) {
      x = s.used;
      y = s.y;
      s.used += cw;
      return true;
    }
  }
  if (cw > a.width || a.bottom + ch > a.height) return false;
  a.shelves.push_back(AtlasShelf{a.bottom, ch, cw});
  x = 0;
  y = a.bottom;
  a.bottom += ch;
  return true;
}

void GlRenderer::Impl::AtlasNewPage(LibraryAtlas& a, int w, int h) {
  if (!a.texture) glGenTextures(1, &a.texture);
  a.width = w;
  a.height = h;
  a.shelves.clear();
  a.bottom = 0;
  a.members.clear();
  glBindTexture(GL_TEXTURE_2D, a.texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, kAtlasLevels - 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for (int level = 0; level < kAtlasLevels; ++level) {
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, std::max(1, w >> level), std::max(1, h >> level),
                 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  }
  // Cleared, so nothing undefined lies between the cells: by the GL itself, level by level,
  // which costs far less than sending it a page of zeros.
  GLint drawing = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &drawing);
  if (!clearFbo) genFramebuffers(1, &clearFbo);
  bindFramebuffer(GL_FRAMEBUFFER, clearFbo);
  glClearColor(0, 0, 0, 0);
  for (int level = 0; level < kAtlasLevels; ++level) {
    framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, a.texture, level);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  bindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(drawing));
  glClearColor(0, 0, 0, 1);
}

// The first page of a library's atlas is made large enough for every picture the library
// holds now, packed in library order as growing would pack them, so loading does not
// grow it page by page.
void GlRenderer::Impl::AtlasFirstSize(int library, int& w, int& h) const {
  if (!lastScene) return;
  const MaterialLibrary& lib = lastScene->Library(static_cast<LibraryId>(library));
  std::vector<std::pair<int, int>> cells;
  for (int i = 0; i < lib.Count(); ++i) {
    const Material* m = lib.At(i);
    if (!m->picture || !m->enabled) continue;
    const Picture& pic = *m->picture;
    if (pic.width <= 0 || pic.height <= 0 || pic.width > kAtlasMaxPicture ||
        pic.height > kAtlasMaxPicture)
      continue;
    cells.emplace_back(RoundUp(pic.width, kAtlasAlign) + 2 * kAtlasGutter,
                       RoundUp(pic.height, kAtlasAlign) + 2 * kAtlasGutter);
  }
  const int limit = std::min(kAtlasMaxSize, static_cast<int>(maxTextureSize));
  LibraryAtlas trial;
  for (;;) {
    trial.width = w;
    trial.height = h;
    trial.shelves.clear();
    trial.bottom = 0;
    bool fits = true;
    for (auto [cw, ch] : cells) {
      int x = 0, y = 0;
      if (!AtlasPlace(trial, cw, ch, x, y)) {
        fits = false;
        break;
      }
    }
    if (fits) return;
    if (!GrownAtlasSize(w, h, limit)) return;  // the pictures that do not fit get their own
  }
}

// Twice the size (the shorter side first), with every current member placed again.
bool GlRenderer::Impl::AtlasGrow(int library) {
  LibraryAtlas& a = atlases[static_cast<size_t>(library)];
  const int limit = std::min(kAtlasMaxSize, maxTextureSize);
  int w = a.width, h = a.height;
  if (!GrownAtlasSize(w, h, limit)) return false;
  const std::vector<const Material*> members = a.members;
  AtlasNewPage(a, w, h);
  for (const Material* key : members) {
    auto it = textures.find(key);
    if (it == textures.end() || it->second.atlas != library) continue;
    TextureEntry& e = it->second;
    e.atlas = -1;
    if (!AtlasAdd(library, key, e)) {
      e.known = false;  // prepared again when next drawn
      e.usable = false;
    }
  }
  return true;
}

// Writes `texels` (a w by h picture) into the cell at (x, y) with its border, on every level.
void GlRenderer::Impl::AtlasUploadCell(const LibraryAtlas& a, int x, int y, int w, int h) {
  int cw = RoundUp(w, kAtlasAlign) + 2 * kAtlasGutter;
  int ch = RoundUp(h, kAtlasAlign) + 2 * kAtlasGutter;
  std::vector<uint8_t>& base = cellLevels[0];
  base.assign(static_cast<size_t>(cw) * static_cast<size_t>(ch) * 4, 0);
  for (int row = 0; row < h; ++row) {
    std::memcpy(&base[(static_cast<size_t>(row + kAtlasGutter) * cw + kAtlasGutter) * 4],
                &texels[static_cast<size_t>(row) * w * 4], static_cast<size_t>(w) * 4);
  }
  RepeatEdges(base.data(), cw, ch, kAtlasGutter, kAtlasGutter + w, kAtlasGutter, kAtlasGutter + h);
  glBindTexture(GL_TEXTURE_2D, a.texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, cw, ch, GL_RGBA, GL_UNSIGNED_BYTE, base.data());
  for (int level = 1; level < kAtlasLevels; ++level) {
    HalveLevel(cellLevels[level - 1].data(), cw, ch, cellLevels[level]);
    cw /= 2;
    ch /= 2;
    // Where the picture still ends on a whole texel, its border repeats this level's edge,
    // as clamping a texture of its own would.
    const int step = 1 << level, g = kAtlasGutter >> level;
    if (w >= step && h >= step) {
      RepeatEdges(cellLevels[level].data(), cw, ch, g, w % step ? cw : g + w / step, g,
                  h % step ? ch : g + h / step);
    }
    glTexSubImage2D(GL_TEXTURE_2D, level, x >> level, y >> level, cw, ch, GL_RGBA, GL_UNSIGNED_BYTE,
                    cellLevels[level].data());
  }
}

void GlRenderer::Impl::AtlasReset(int library) {
  LibraryAtlas& a = atlases[static_cast<size_t>(library)];
  for (const Material* key : a.members) {
    auto it = textures.find(key);
    if (it != textures.end() && it->second.atlas == library) {
      it->second.atlas = -1;
      it->second.known = false;
      it->second.usable = false;
    }
  }
  if (a.texture) glDeleteTextures(1, &a.texture);
  a = LibraryAtlas{};
}

void GlRenderer::Impl::ForgetAllTextures() {
  for (int i = 0; i < kLibraryCount; ++i) AtlasReset(i);
  for (auto& [material, entry] : textures) {
    if (entry.id) glDeleteTextures(1, &entry.id);
  }
  textures.clear();
}

// Only bands of rows holding a drawn pixel are uploaded and drawn: a transparent canvas
// pixel leaves the frame as it is, and the heads-up display's canvas is mostly empty. The
// first canvas lies on the cleared black frame, where blending gives the canvas colour
// itself, so it is simply copied (the frame's alpha stays as the clear left it).
void GlRenderer::Impl::DrawCanvas(const Canvas& canvas, int slot, bool onClearedFrame) {
  if (!canvas.Touched()) return;
  constexpr int kBand = 16;
  constexpr int kBands = kViewHeight / kBand;
  static_assert(kBands * kBand == kViewHeight);
  const uint32_t* pixels = canvas.Data();
  bool used[kBands];
  for (int b = 0; b < kBands; ++b) {
    const uint32_t* p = pixels + static_cast<size_t>(b) * kBand * kViewWidth;
    const uint32_t* end = p + kBand * kViewWidth;
    uint32_t any = 0;
    for (; p != end && !any; p += 64) {
      for (int i = 0; i < 64; ++i) any |= p[i];
    }
    used[b] = any != 0;
  }
  glBindTexture(GL_TEXTURE_2D, canvasTextures[slot]);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glDisable(GL_ALPHA_TEST);
  if (onClearedFrame) {
    glDisable(GL_BLEND);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  } else {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);  // the canvas holds premultiplied colours
  }
  for (int b = 0; b < kBands;) {
    if (!used[b]) {
      ++b;
      continue;
    }
    const int first = b;
    while (b < kBands && used[b]) ++b;
    const int y0 = first * kBand, y1 = b * kBand;
    // Pixels are R | G << 8 | B << 16 | A << 24 in a 32-bit word: the _REV packing reads
    // them the same on any byte order.
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, y0, kViewWidth, y1 - y0, GL_RGBA,
                    GL_UNSIGNED_INT_8_8_8_8_REV, pixels + static_cast<size_t>(y0) * kViewWidth);
    const float t0 = static_cast<float>(y0) / kViewHeight;
    const float t1 = static_cast<float>(y1) / kViewHeight;
    glBegin(GL_QUADS);
    glTexCoord2f(0, t0);
    glVertex2f(0, static_cast<float>(y0));
    glTexCoord2f(1, t0);
    glVertex2f(kViewWidth, static_cast<float>(y0));
    glTexCoord2f(1, t1);
    glVertex2f(kViewWidth, static_cast<float>(y1));
    glTexCoord2f(0, t1);
    glVertex2f(0, static_cast<float>(y1));
    glEnd();
  }
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

// A quad centred on (cx, cy), turned counter-clockwise on screen by `rotation` degrees;
// texture row 0 (the picture's top) at the top edge.
// `uv` gives the picture's place in its texture (the whole texture when null).
void GlRenderer::Impl::PushQuad(float cx, float cy, float z, float w, float h, float rotation,
                                const uint8_t rgba[4], const TextureEntry* uv) {
  const float hw = w * 0.5f, hh = h * 0.5f;
  const float u0 = uv ? uv->u0 : 0, v0 = uv ? uv->v0 : 0;
  const float u1 = uv ? uv->u1 : 1, v1 = uv ? uv->v1 : 1;
  const float local[4][4] = {
      {-hw, -hh, u0, v0}, {hw, -hh, u1, v0}, {hw, hh, u1, v1}, {-hw, hh, u0, v1}};
  float c = 1, s = 0;
  if (rotation != 0) {
    double r = static_cast<double>(rotation) * (3.14159265358979323846 / 180.0);
    c = static_cast<float>(std::cos(r));
    s = static_cast<float>(std::sin(r));
  }
  for (const auto& p : local) {
    Vertex v{};
    v.x = cx + p[0] * c + p[1] * s;
    v.y = cy - p[0] * s + p[1] * c;
    v.z = z;
    v.u = p[2];
    v.v = p[3];
    std::memcpy(v.rgba, rgba, 4);
    vertices.push_back(v);
  }
}

void GlRenderer::Impl::PrepareSprites(const Scene& scene) {
  draws.clear();
  const MaterialLibrary* lastLibrary = nullptr;
  int library = -1;
  for (const auto& sp : scene.Sprites()) {
    const Sprite& s = *sp;
    if (!s.visible) continue;
    const Material* m = s.ResolvedMaterial();
    if (!m) continue;  // a missing material draws nothing
    if (s.Library() != lastLibrary) {
      lastLibrary = s.Library();
      library = -1;
      for (int i = 0; i < kLibraryCount; ++i) {
        if (&scene.Library(static_cast<LibraryId>(i)) == lastLibrary) library = i;
      }
    }
    // Prepared even when the quad falls outside the depth range: the loading screen's
    // preload sprite relies on this to get every texture ready before the menus.
    const TextureEntry* e = Prepare(*m, library);
    if (e) draws.push_back(SpriteDraw{&s, m, e});
  }
}

void GlRenderer::Impl::CollectSprites(const Scene& scene) {
  // First every picture is made ready, since adding one may grow an atlas and move the
  // pictures already in it; then the quads are laid down in drawing order.
  PrepareSprites(scene);
  for (const SpriteDraw& d : draws) {
    if (!d.entry->usable) continue;
    const Sprite& s = *d.sprite;
    const Material& m = *d.material;
    const GLuint tex =
        d.entry->atlas >= 0 ? atlases[static_cast<size_t>(d.entry->atlas)].texture : d.entry->id;
    const BatchState st{tex, m.blending, m.textureMode};
    const GLint first = static_cast<GLint>(vertices.size());
    const uint8_t rgba[4] = {ToByte(m.diffuse.r), ToByte(m.diffuse.g), ToByte(m.diffuse.b),
                             ToByte(m.diffuse.a)};
    PushQuad(s.x, s.y, s.z, s.width, s.height, s.rotation, rgba, d.entry);
    if (!batches.empty() && batches.back().state == st) {
      batches.back().count += 4;
    } else {
      batches.push_back(Batch{st, first, 4});
    }
  }
}

// Each particle is a soft spot that shades from the inner colour at birth to the outer
// colour, swells a little and fades out, added onto what lies below.
void GlRenderer::Impl::CollectFires(const Scene& scene) {
  const GLint first = static_cast<GLint>(vertices.size());
  for (const auto& fp : scene.Fires()) {
    const FireEffect& f = *fp;
    for (const auto& p : f.particles) {
      float t = p.life > 0 ? std::clamp(p.age / p.life, 0.0f, 1.0f) : 1.0f;
      float fade = 1.0f - t;
      const uint8_t rgba[4] = {ToByte(f.inner.r + (f.outer.r - f.inner.r) * t),
                               ToByte(f.inner.g + (f.outer.g - f.inner.g) * t),
                               ToByte(f.inner.b + (f.outer.b - f.inner.b) * t),
                               ToByte((f.inner.a + (f.outer.a - f.inner.a) * t) * fade)};
      float size = f.particleSize * (1.0f + 0.5f * t);
      PushQuad(p.x, p.y, 0, size, size, 0, rgba);
    }
  }
  const GLsizei count = static_cast<GLsizei>(vertices.size()) - first;
  if (count > 0)
    batches.push_back(
        Batch{{particleTexture, BlendMode::Additive, TextureMode::Modulate}, first, count});
}

void GlRenderer::Impl::DrawBatches() {
  if (batches.empty()) return;
  const size_t bytes = vertices.size() * sizeof(Vertex);
  bindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  if (bytes > vertexBufferBytes) {
    vertexBufferBytes = std::max(bytes * 2, size_t{64} * 1024);
    bufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertexBufferBytes), nullptr,
               GL_STREAM_DRAW);
  }
  bufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), vertices.data());
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(Vertex), reinterpret_cast<const void*>(offsetof(Vertex, x)));
  glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex),
                    reinterpret_cast<const void*>(offsetof(Vertex, u)));
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex),
                 reinterpret_cast<const void*>(offsetof(Vertex, rgba)));
  glEnable(GL_TEXTURE_2D);
  // Only what changes between runs is set: each state change costs the driver far more
  // than the quads themselves.
  const Batch* prev = nullptr;
  for (const Batch& b : batches) {
    if (!prev || prev->state.texture != b.state.texture)
      glBindTexture(GL_TEXTURE_2D, b.state.texture);
    if (!prev || prev->state.textureMode != b.state.textureMode) {
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, TextureEnvMode(b.state.textureMode));
    }
    if (!prev || prev->state.blending != b.state.blending) ApplyBlending(b.state.blending);
    glDrawArrays(GL_QUADS, b.first, b.count);
    prev = &b;
  }
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  bindBuffer(GL_ARRAY_BUFFER, 0);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
}

// ---------------------------------------------------------------------------------------

GlRenderer::GlRenderer() : impl_(std::make_unique<Impl>()) {}
GlRenderer::~GlRenderer() = default;

std::unique_ptr<GlRenderer> GlRenderer::Create(GlProcLoader loader, std::string& error) {
  std::unique_ptr<GlRenderer> r(new GlRenderer());
  if (!r->impl_->Init(loader, error)) return nullptr;
  return r;
}

void GlRenderer::Draw(const Scene& scene, const Canvas& before, const Canvas& after) {
  Impl& d = *impl_;
  d.PruneTextures(scene);
  d.bindFramebuffer(GL_FRAMEBUFFER, d.fbo);
  glViewport(0, 0, kViewWidth, kViewHeight);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // View pixels, y down; depth is taken as it is, so only -1 <= z <= 1 is inside the
  // clipping range (a sprite at z 3000 is processed but never seen).
  glOrtho(0, kViewWidth, kViewHeight, 0, 1, -1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_CULL_FACE);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);

  d.DrawCanvas(before, 0, true);

  d.vertices.clear();
  d.batches.clear();
  d.CollectSprites(scene);
  d.CollectFires(scene);
  d.DrawBatches();

  d.DrawCanvas(after, 1, false);

  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  d.bindFramebuffer(GL_FRAMEBUFFER, 0);
  d.haveFrame = true;
}

void GlRenderer::Prepare(const Scene& scene) {
  Impl& d = *impl_;
  d.PruneTextures(scene);
  d.PrepareSprites(scene);
  d.draws.clear();
}

void GlRenderer::PresentToWindow(int drawableWidth, int drawableHeight) {
  Impl& d = *impl_;
  d.bindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, std::max(drawableWidth, 0), std::max(drawableHeight, 0));
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  const ViewRect r = LetterboxRect(drawableWidth, drawableHeight);
  if (r.w <= 0 || r.h <= 0) return;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, drawableWidth, drawableHeight, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, d.frameTexture);
  // Whole-number scales keep the pixels crisp; any other scale is smoothed.
  const bool whole =
      r.w % kViewWidth == 0 && r.h % kViewHeight == 0 && r.w / kViewWidth == r.h / kViewHeight;
  const GLint filter = whole ? GL_NEAREST : GL_LINEAR;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  // The off-screen frame has the view's top row at its top (t = 1).
  const float x0 = static_cast<float>(r.x), y0 = static_cast<float>(r.y);
  const float x1 = static_cast<float>(r.x + r.w), y1 = static_cast<float>(r.y + r.h);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 1);
  glVertex2f(x0, y0);
  glTexCoord2f(1, 1);
  glVertex2f(x1, y0);
  glTexCoord2f(1, 0);
  glVertex2f(x1, y1);
  glTexCoord2f(0, 0);
  glVertex2f(x0, y1);
  glEnd();
  glDisable(GL_TEXTURE_2D);
}

bool GlRenderer::ReadFrame(std::vector<uint8_t>& rgb) const {
  const Impl& d = *impl_;
  if (!d.haveFrame) return false;
  const size_t row = static_cast<size_t>(kViewWidth) * 3;
  std::vector<uint8_t> bottomUp(row * kViewHeight);
  d.bindFramebuffer(GL_FRAMEBUFFER, d.fbo);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, kViewWidth, kViewHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  d.bindFramebuffer(GL_FRAMEBUFFER, 0);
  rgb.resize(bottomUp.size());
  for (int y = 0; y < kViewHeight; ++y) {
    std::memcpy(&rgb[static_cast<size_t>(y) * row],
                &bottomUp[static_cast<size_t>(kViewHeight - 1 - y) * row], row);
  }
  return true;
}

bool GlRenderer::SaveScreenshot(const std::string& path, std::string& error) {
  std::vector<uint8_t> rgb;
  if (!ReadFrame(rgb)) {
    error = path + ": no frame was drawn yet";
    return false;
  }
  return WriteScreenshotFile(path, kViewWidth, kViewHeight, rgb, error);
}

void GlRenderer::Finish() { glFinish(); }

void GlRenderer::SetAtlases(bool on) {
  if (impl_->atlasesOn == on) return;
  impl_->ForgetAllTextures();
  impl_->atlasesOn = on;
}

bool GlRenderer::HasTexture(const Material* material) const {
  auto it = impl_->textures.find(material);
  if (it == impl_->textures.end() || !it->second.usable) return false;
  return it->second.picture == material->picture && it->second.alpha == material->imageAlpha;
}

// ---- The off-screen context. ----

struct OffscreenGl::Context {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  ~Context() {
    if (display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    eglTerminate(display);
    eglReleaseThread();
  }
};

namespace {

void* EglProc(const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

// The GL driver EGL loaded (Mesa's *_dri.so or libgallium, and libEGL_mesa) stays in memory
// until the process ends, as the window's does: the leak checker of the sanitizer builds
// can then still tell the driver's own left-overs from ours.
void KeepEglDriverLoaded() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) -> int {
        const char* name = info->dlpi_name;
        if (name && (std::strstr(name, "_dri.so") || std::strstr(name, "libgallium") ||
                     std::strstr(name, "libEGL_mesa"))) {
          if (void* h = dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) dlclose(h);
        }
        return 0;
      },
      nullptr);
}

bool HasWord(const char* list, const char* word) {
  if (list == nullptr) return false;
  const size_t n = std::strlen(word);
  for (const char* p = std::strstr(list, word); p != nullptr; p = std::strstr(p + 1, word)) {
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

std::string EglError(const char* what) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s failed (EGL error 0x%04X)", what,
                static_cast<unsigned>(eglGetError()));
  return buf;
}

}  // namespace

OffscreenGl::OffscreenGl() : context_(std::make_unique<Context>()) {}
OffscreenGl::~OffscreenGl() { renderer_.reset(); }

std::unique_ptr<OffscreenGl> OffscreenGl::Create(std::string& error) {
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr || !HasWord(clientExtensions, "EGL_EXT_platform_base")) {
    error =
        "no OpenGL without a display: the EGL library cannot choose a platform "
        "(Debian packages libegl1 and libegl-mesa0)";
    return nullptr;
  }
  std::unique_ptr<OffscreenGl> gl(new OffscreenGl());
  Context& c = *gl->context_;
  auto open = [&c](EGLDisplay display) {
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) return false;
    c.display = display;
    return true;
  };
  // Mesa's surfaceless platform first; else the first graphics device that opens (the
  // drivers of some graphics cards offer only that).
  if (HasWord(clientExtensions, "EGL_MESA_platform_surfaceless")) {
    open(getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr));
  }
  auto queryDevices =
      reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
  if (c.display == EGL_NO_DISPLAY && queryDevices != nullptr &&
      HasWord(clientExtensions, "EGL_EXT_platform_device")) {
    std::array<EGLDeviceEXT, 8> devices{};
    EGLint count = 0;
    if (queryDevices(static_cast<EGLint>(devices.size()), devices.data(), &count)) {
      for (EGLint i = 0; i < count && c.display == EGL_NO_DISPLAY; ++i) {
        open(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[static_cast<size_t>(i)], nullptr));
      }
    }
  }
  if (c.display == EGL_NO_DISPLAY) {
    error = EglError("opening an EGL display that needs no screen");
    return nullptr;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    error = EglError("asking EGL for desktop OpenGL");
    return nullptr;
  }
  // Nothing is drawn to a surface of EGL's: the renderer draws into its own frame.
  EGLConfig config = nullptr;
  const char* extensions = eglQueryString(c.display, EGL_EXTENSIONS);
  if (!HasWord(extensions, "EGL_KHR_no_config_context")) {
    const EGLint wanted[] = {EGL_SURFACE_TYPE, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(c.display, wanted, &config, 1, &count) || count == 0) {
      error = "EGL offers no configuration for desktop OpenGL";
      return nullptr;
    }
  }
  c.context = eglCreateContext(c.display, config, EGL_NO_CONTEXT, nullptr);
  if (c.context == EGL_NO_CONTEXT) {
    error = EglError("making an OpenGL context");
    return nullptr;
  }
  if (!eglMakeCurrent(c.display, EGL_NO_SURFACE, EGL_NO_SURFACE, c.context)) {
    error = EglError("making the OpenGL context current");
    return nullptr;
  }
  KeepEglDriverLoaded();
  gl->renderer_ = GlRenderer::Create(EglProc, error);
  if (!gl->renderer_) return nullptr;
  return gl;
}

}  // namespace tdx
