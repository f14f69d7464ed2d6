#include "display/gl_renderer.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
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
  uint8_t v[256];
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
  GLuint id = 0;
  bool known = false;  // prepared at least once
  bool usable = false;
  bool enabled = false;
  // Held so the picture's address cannot be reused by another picture while we compare.
  std::shared_ptr<const Picture> picture;
  ImageAlpha alpha = ImageAlpha::Default;
};

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

  std::vector<Vertex> vertices;
  std::vector<Batch> batches;
  std::vector<uint8_t> texels;

  ~Impl() {
    for (auto& [material, entry] : textures) {
      if (entry.id) glDeleteTextures(1, &entry.id);
    }
    if (fbo && deleteFramebuffers) deleteFramebuffers(1, &fbo);
    if (vertexBuffer && deleteBuffers) deleteBuffers(1, &vertexBuffer);
    GLuint owned[] = {frameTexture, canvasTextures[0], canvasTextures[1], particleTexture};
    for (GLuint t : owned) {
      if (t) glDeleteTextures(1, &t);
    }
  }

  bool Init(GlProcLoader loader, std::string& error);
  void PruneTextures(const Scene& scene);
  GLuint TextureOf(const Material& material);
  void DrawCanvas(const Canvas& canvas, int slot);
  void CollectSprites(const Scene& scene);
  void CollectFires(const Scene& scene);
  void DrawBatches();
  void PushQuad(float cx, float cy, float z, float w, float h, float rotation,
                const uint8_t rgba[4]);
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
}

// The material's texture, prepared on first use and again when its picture or its
// image-alpha rule changes (other settings are drawing state). 0 when it has no usable picture.
// Compared by picture rather than by revision: a material freed with its scene and another
// allocated at the same address must not inherit the old texture.
GLuint GlRenderer::Impl::TextureOf(const Material& material) {
  TextureEntry& e = textures[&material];
  if (e.known && e.picture == material.picture && e.alpha == material.imageAlpha &&
      e.enabled == material.enabled) {
    return e.usable ? e.id : 0;
  }
  e.known = true;
  e.enabled = material.enabled;
  e.picture = material.picture;
  e.alpha = material.imageAlpha;
  e.usable = false;
  if (!material.picture || !material.enabled) return 0;
  const Picture& pic = *material.picture;
  if (pic.width > maxTextureSize || pic.height > maxTextureSize) return 0;
  ApplyImageAlpha(material.imageAlpha, pic, texels);
  if (texels.empty()) return 0;
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
  e.usable = glGetError() == GL_NO_ERROR;
  return e.usable ? e.id : 0;
}

void GlRenderer::Impl::DrawCanvas(const Canvas& canvas, int slot) {
  if (!canvas.Touched()) return;
  glBindTexture(GL_TEXTURE_2D, canvasTextures[slot]);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  // Pixels are R | G << 8 | B << 16 | A << 24 in a 32-bit word: the _REV packing reads
  // them the same on any byte order.
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kViewWidth, kViewHeight, GL_RGBA,
                  GL_UNSIGNED_INT_8_8_8_8_REV, canvas.Data());
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glDisable(GL_ALPHA_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);  // the canvas holds premultiplied colours
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex2f(0, 0);
  glTexCoord2f(1, 0);
  glVertex2f(kViewWidth, 0);
  glTexCoord2f(1, 1);
  glVertex2f(kViewWidth, kViewHeight);
  glTexCoord2f(0, 1);
  glVertex2f(0, kViewHeight);
  glEnd();
}

// A quad centred on (cx, cy), turned counter-clockwise on screen by `rotation` degrees;
// texture row 0 (the picture's top) at the top edge.
void GlRenderer::Impl::PushQuad(float cx, float cy, float z, float w, float h, float rotation,
                                const uint8_t rgba[4]) {
  const float hw = w * 0.5f, hh = h * 0.5f;
  const float local[4][4] = {{-hw, -hh, 0, 0}, {hw, -hh, 1, 0}, {hw, hh, 1, 1}, {-hw, hh, 0, 1}};
  float c = 1, s = 0;
  if (rotation != 0) {
    double r = static_cast<double>(rotation) * (3.14159265358979323846 / 180.0);
    c = static_cast<float>(std::cos(r));
    s = static_cast<float>(std::sin(r));
  }
  for (const auto& p : local) {
    Vertex v;
    v.x = cx + p[0] * c + p[1] * s;
    v.y = cy - p[0] * s + p[1] * c;
    v.z = z;
    v.u = p[2];
    v.v = p[3];
    std::memcpy(v.rgba, rgba, 4);
    vertices.push_back(v);
  }
}

void GlRenderer::Impl::CollectSprites(const Scene& scene) {
  for (const auto& sp : scene.Sprites()) {
    const Sprite& s = *sp;
    if (!s.visible) continue;
    const Material* m = s.ResolvedMaterial();
    if (!m) continue;  // a missing material draws nothing
    // Prepared even when the quad falls outside the depth range: the loading screen's
    // preload sprite relies on this to get every texture ready before the menus.
    GLuint tex = TextureOf(*m);
    if (!tex) continue;
    BatchState st{tex, m->blending, m->textureMode};
    const GLint first = static_cast<GLint>(vertices.size());
    const uint8_t rgba[4] = {ToByte(m->diffuse.r), ToByte(m->diffuse.g), ToByte(m->diffuse.b),
                             ToByte(m->diffuse.a)};
    PushQuad(s.x, s.y, s.z, s.width, s.height, s.rotation, rgba);
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

  d.DrawCanvas(before, 0);

  d.vertices.clear();
  d.batches.clear();
  d.CollectSprites(scene);
  d.CollectFires(scene);
  d.DrawBatches();

  d.DrawCanvas(after, 1);

  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  d.bindFramebuffer(GL_FRAMEBUFFER, 0);
  d.haveFrame = true;
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

bool GlRenderer::HasTexture(const Material* material) const {
  auto it = impl_->textures.find(material);
  if (it == impl_->textures.end() || !it->second.usable) return false;
  return it->second.picture == material->picture && it->second.alpha == material->imageAlpha;
}

}  // namespace tdx
