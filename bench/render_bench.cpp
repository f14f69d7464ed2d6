// One frame of the sprite layer: the trail canvas of a full arena and 1,000 sprites.
// The GL part needs a context: under xvfb-run, or SDL_VIDEODRIVER=offscreen (set here when
// there is no display); it is skipped when none can be had.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "display/canvas.h"
#include "display/gl_renderer.h"
#include "display/scene.h"
#include "platform/platform.h"

namespace tdx {
namespace {

constexpr int kArenaW = 608, kArenaH = 408, kArenaX = 16, kArenaY = 56;
constexpr uint32_t kSlotColours[13] = {0x00FF00, 0x0000FF, 0xFF0000, 0xFFFF00, 0x00FFFF,
                                       0xFF00FF, 0x80FF00, 0xFF8000, 0x808080, 0x0080FF,
                                       0x8000FF, 0xFF0080, 0xFFFFFF};

// The worst case of the trail hook: every arena cell owned, the owner changing at every cell.
void FillTrails(Canvas& canvas) {
  canvas.Begin();
  for (int y = 0; y < kArenaH; ++y) {
    for (int x = 0; x < kArenaW; ++x) {
      canvas.SetPenColour(kSlotColours[(x + y * 5) % 13]);
      canvas.Pixel(x + kArenaX, y + kArenaY);
    }
  }
}

std::shared_ptr<Picture> Blob(int size, uint32_t bgr) {
  auto p = std::make_shared<Picture>();
  p->width = p->height = size;
  p->rgba.resize(static_cast<size_t>(size * size) * 4);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float dx = (x + 0.5f) / size - 0.5f, dy = (y + 0.5f) / size - 0.5f;
      const bool inside = dx * dx + dy * dy < 0.2f;
      uint8_t* t = &p->rgba[static_cast<size_t>(y * size + x) * 4];
      t[0] = inside ? (bgr & 0xFF) : 0;
      t[1] = inside ? ((bgr >> 8) & 0xFF) : 0;
      t[2] = inside ? ((bgr >> 16) & 0xFF) : 0;
      t[3] = 255;
    }
  }
  return p;
}

// A scene shaped like a busy round: words, heads, shots and explosions. Consecutive
// sprites share a material in runs of `run` (worm parts do; words and digits mostly don't),
// and every change of material is a change of GL state.
void BuildScene(Scene& scene, int run) {
  const LibraryId libs[] = {LibGLMLmenu, LibGlmlshots, LibGLMLatomic, LibGLMLrocket, LibGLMLMyst};
  for (int i = 0; i < 20; ++i) {
    MaterialLibrary& lib = scene.Library(libs[i % 5]);
    Material* m =
        lib.AddTextureMaterial("m" + std::to_string(i), Blob(16 << (i % 3), kSlotColours[i % 13]));
    m->SetBlending(i % 4 == 3 ? BlendMode::Additive : BlendMode::Transparency);
    m->SetImageAlpha(i % 2 ? ImageAlpha::SuperBlackTransparent : ImageAlpha::LuminanceSqrt);
  }
  for (int i = 0; i < 1000; ++i) {
    Sprite* s = scene.CreateSprite();
    const int m = (i / run) % 20;
    s->SetMaterial(&scene.Library(libs[m % 5]), "m" + std::to_string(m));
    s->x = static_cast<float>(kArenaX + (i * 37) % kArenaW);
    s->y = static_cast<float>(kArenaY + (i * 53) % kArenaH);
    s->width = s->height = static_cast<float>(8 + (i % 5) * 8);
    s->rotation = (i % 3 == 0) ? static_cast<float>(i % 360) : 0.0f;
  }
  for (int i = 0; i < 26; ++i) {
    FireEffect* f = scene.CreateFire();
    f->carrier = scene.Sprites()[static_cast<size_t>(i * 30)].get();
    f->disabled = i >= 2;  // two infernal worms burning
  }
  for (int i = 0; i < 60; ++i) scene.TickFires(1.0 / 60);
}

struct GlContext {
  std::unique_ptr<Platform> platform;
  GlRenderer* renderer = nullptr;
  std::string error;
  GlContext() {
    if (!std::getenv("DISPLAY") && !std::getenv("SDL_VIDEODRIVER"))
      setenv("SDL_VIDEODRIVER", "offscreen", 1);
    PlatformOptions options;
    options.windowed = true;
    options.vsync = false;
    platform = Platform::Create(options, error);
    if (platform) renderer = dynamic_cast<GlRenderer*>(&platform->GetRenderer());
  }
};

GlContext& Context() {
  static GlContext context;
  return context;
}

// The shared context, or null after marking the benchmark skipped when none can be had.
GlContext* ContextOrSkip(benchmark::State& state) {
  GlContext& gl = Context();
  if (!gl.renderer) {
    state.SkipWithError(("no GL context: " + gl.error).c_str());
    return nullptr;
  }
  return &gl;
}

void BM_CanvasTrails(benchmark::State& state) {
  Canvas canvas;
  for (auto _ : state) {
    FillTrails(canvas);
    benchmark::DoNotOptimize(canvas.Data());
  }
  state.counters["pixels"] = kArenaW * kArenaH;
}
BENCHMARK(BM_CanvasTrails)->Unit(benchmark::kMillisecond);

// The sprites alone: 1,000 quads in creation order, textures already prepared.
void BM_SpriteDraw(benchmark::State& state) {
  GlContext* context = ContextOrSkip(state);
  if (!context) return;
  GlContext& gl = *context;
  Scene scene;
  BuildScene(scene, static_cast<int>(state.range(0)));
  Canvas before, after;
  gl.renderer->Draw(scene, before, after);
  for (auto _ : state) {
    gl.renderer->Draw(scene, before, after);
    gl.renderer->Finish();
  }
}
BENCHMARK(BM_SpriteDraw)->ArgName("run")->Arg(10)->Arg(1)->Unit(benchmark::kMillisecond);

// The trail canvas alone: one full 640 by 480 upload and its quad.
void BM_CanvasUpload(benchmark::State& state) {
  GlContext* context = ContextOrSkip(state);
  if (!context) return;
  GlContext& gl = *context;
  Scene scene;
  Canvas before, after;
  FillTrails(before);
  for (auto _ : state) {
    gl.renderer->Draw(scene, before, after);
    gl.renderer->Finish();
  }
}
BENCHMARK(BM_CanvasUpload)->Unit(benchmark::kMillisecond);

// Showing a drawn frame: the scaled copy into the window and the buffer swap.
void BM_Present(benchmark::State& state) {
  GlContext* context = ContextOrSkip(state);
  if (!context) return;
  GlContext& gl = *context;
  for (auto _ : state) {
    gl.platform->Present();
    gl.renderer->Finish();
  }
}
BENCHMARK(BM_Present)->Unit(benchmark::kMillisecond);

// A whole frame: the trail canvas filled, uploaded and drawn under 1,000 sprites and two
// fires, then shown in the window. "CPU" is the calling thread; the process variant adds
// the software rasteriser's threads when the GL is Mesa's llvmpipe.
void BM_SpriteLayerFrame(benchmark::State& state) {
  GlContext* context = ContextOrSkip(state);
  if (!context) return;
  GlContext& gl = *context;
  Scene scene;
  BuildScene(scene, static_cast<int>(state.range(0)));
  Canvas before, after;
  after.Begin();
  gl.renderer->Draw(scene, before, after);
  for (auto _ : state) {
    FillTrails(before);
    gl.renderer->Draw(scene, before, after);
    gl.platform->Present();
    gl.renderer->Finish();
  }
}
BENCHMARK(BM_SpriteLayerFrame)->ArgName("run")->Arg(10)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpriteLayerFrame)
    ->Name("BM_SpriteLayerFrame_process_cpu")
    ->ArgName("run")
    ->Arg(10)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tdx
