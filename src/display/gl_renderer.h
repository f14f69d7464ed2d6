// The OpenGL renderer: draws the scene and the two overlay canvases into a 640 by 480
// off-screen frame, then shows that frame scaled and letterboxed in the window. The only
// place that speaks OpenGL; this header includes no GL header, so the platform can own one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "display/renderer.h"

namespace tdx {

// Looks up an OpenGL function by name (the platform passes SDL_GL_GetProcAddress).
using GlProcLoader = void* (*)(const char* name);

// The RGBA texels a material's picture is uploaded with: the image-alpha rule applied to
// the alpha channel (luminance rules keep the colours and derive only the alpha).
// Rows top to bottom, 4 bytes a texel. An empty `rgba` when the picture is unusable.
void ApplyImageAlpha(ImageAlpha rule, const Picture& picture, std::vector<uint8_t>& rgba);

class GlRenderer : public Renderer {
 public:
  // Needs a current OpenGL 2.1 (or later, compatibility) context. Returns null and sets
  // `error` when the context lacks what the renderer needs.
  static std::unique_ptr<GlRenderer> Create(GlProcLoader loader, std::string& error);
  ~GlRenderer() override;

  void Draw(const Scene& scene, const Canvas& before, const Canvas& after) override;
  void Prepare(const Scene& scene) override;
  bool SaveScreenshot(const std::string& path, std::string& error) override;

  // Draws the last frame into the window's own framebuffer of this many pixels, scaled to
  // the largest 4:3 rectangle and centred on black. The caller swaps buffers afterwards.
  void PresentToWindow(int drawableWidth, int drawableHeight);
  // The last frame's 640 by 480 pixels, rows top to bottom, 3 bytes a pixel (R, G, B).
  // False when nothing was drawn yet.
  bool ReadFrame(std::vector<uint8_t>& rgb) const;
  // Waits until the GL has finished everything asked so far (for measurements).
  void Finish();
  // Whether the material's texture has been prepared (every visible sprite's material is,
  // even when the sprite lies outside the depth range).
  bool HasTexture(const Material* material) const;
  // Small pictures of each library share one texture (on from the start); off gives every
  // picture a texture of its own, as a reference for comparing the two.
  void SetAtlases(bool on);

 private:
  GlRenderer();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A GL context of its own with no window and no display (Mesa's surfaceless EGL, which
// draws on the CPU where there is no GPU), and a renderer in it: frames drawn to be read
// back, never shown, so a replay can be turned into a video on a machine with no screen.
class OffscreenGl {
 public:
  // Null with `error` saying why when no such context can be made.
  static std::unique_ptr<OffscreenGl> Create(std::string& error);
  ~OffscreenGl();
  OffscreenGl(const OffscreenGl&) = delete;
  OffscreenGl& operator=(const OffscreenGl&) = delete;

  GlRenderer& GetRenderer() { return *renderer_; }

 private:
  OffscreenGl();
  struct Context;
  std::unique_ptr<Context> context_;  // outlives the renderer, whose GL objects live in it
  std::unique_ptr<GlRenderer> renderer_;
};

}  // namespace tdx
