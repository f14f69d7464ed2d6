// Draws the scene and the two overlay canvases into the 640 by 480 view.
#pragma once

#include <memory>
#include <string>

#include "display/canvas.h"
#include "display/scene.h"

namespace tdx {

class Renderer {
 public:
  virtual ~Renderer() = default;
  // The before canvas, then the sprites (and fires) in creation order, then the after canvas.
  virtual void Draw(const Scene& scene, const Canvas& before, const Canvas& after) = 0;
  // Makes ready what Draw would need for the scene's pictures, drawing nothing: a frame
  // nobody will see still gets its pictures ready.
  virtual void Prepare(const Scene& scene) = 0;
  // Writes the last drawn 640 by 480 frame as BMP or PNG (by the file's ending).
  virtual bool SaveScreenshot(const std::string& path, std::string& error) = 0;
};

// Draws nothing: headless runs and tests.
class NullRenderer : public Renderer {
 public:
  void Draw(const Scene&, const Canvas&, const Canvas&) override {}
  void Prepare(const Scene&) override {}
  bool SaveScreenshot(const std::string& path, std::string& error) override {
    error = path + ": no frame was drawn (headless run)";
    return false;
  }
};

}  // namespace tdx
