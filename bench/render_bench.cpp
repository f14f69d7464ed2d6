// One frame of the sprite layer: the trail canvas of a full arena and 1,000 sprites.
// The GL part needs a context: under xvfb-run, or SDL_VIDEODRIVER=offscreen (set here when
// there is no display); it is skipped when none can be had.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

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
// "m" and the number; built with append, which GCC 12 does not misread as an overlap.
std::string MaterialName(int i) {
  std::string name = "m";
  name += std::to_string(i);
  return name;
}

void BuildScene(Scene& scene, int run) {
  const LibraryId libs[] = {LibGLMLmenu, LibGlmlshots, LibGLMLatomic, LibGLMLrocket, LibGLMLMyst};
  for (int i = 0; i < 20; ++i) {
    MaterialLibrary& lib = scene.Library(libs[i % 5]);
    Material* m =
        lib.AddTextureMaterial(MaterialName(i), Blob(16 << (i % 3), kSlotColours[i % 13]));
    m->SetBlending(i % 4 == 3 ? BlendMode::Additive : BlendMode::Transparency);
    m->SetImageAlpha(i % 2 ? ImageAlpha::SuperBlackTransparent : ImageAlpha::LuminanceSqrt);
  }
  for (int i = 0; i < 1000; ++i) {
    Sprite* s = scene.CreateSprite();
    const int m = (i / run) % 20;
    s->SetMaterial(&scene.Library(libs[m % 5]), MaterialName(m));
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
    options.paced = false;
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

// The busiest frame of play: twelve worms, each with its fireball, a rocket or an atomic
// blast, a laser, a full burst and all 65 viruses in flight, then the bonuses and the
// words of the heads-up display; one infernal worm burning. Sprites are made in the
// game's order (per worm: marker, fireball, fire carriers, missile, bullets, beams,
// viruses, teleport), so each worm's viruses follow one another, each showing its own
// animation frame: about 970 sprites of about 130 pictures in six libraries, with mixed
// blending.
struct PlayScene {
  Scene scene;
  std::vector<Sprite*> viruses;
  int tick = 0;

  static std::shared_ptr<Picture> MakePicture(int w, int h, uint32_t bgr, int salt) {
    auto p = Blob(std::max(w, h), bgr);
    p->width = w;
    p->height = h;
    p->rgba.resize(static_cast<size_t>(w * h) * 4);
    p->rgba[static_cast<size_t>(salt % (w * h)) * 4] ^= 0x40;
    return p;
  }
  void Add(LibraryId lib, const std::string& name, int w, int h, uint32_t bgr, BlendMode blend,
           ImageAlpha alpha) {
    static int salt = 0;
    Material* m = scene.Library(lib).AddTextureMaterial(name, MakePicture(w, h, bgr, ++salt));
    m->SetBlending(blend);
    m->SetImageAlpha(alpha);
  }
  Sprite* Put(LibraryId lib, const std::string& name, float x, float y, float w, float h) {
    Sprite* s = scene.CreateSprite();
    s->SetMaterial(&scene.Library(lib), name);
    s->x = x;
    s->y = y;
    s->width = w;
    s->height = h;
    return s;
  }
  static std::string VirusName(int frame, int worm) {
    static const int kDigit[16] = {1, 2, 3, 4, 5, 4, 3, 2, 1, 6, 7, 8, 9, 8, 7, 6};
    return "virus" + std::to_string(kDigit[frame % 16]) + static_cast<char>('a' + worm);
  }

  PlayScene() {
    const BlendMode tr = BlendMode::Transparency;
    const ImageAlpha black = ImageAlpha::SuperBlackTransparent;
    const ImageAlpha glow = ImageAlpha::LuminanceSqrt;
    for (const char* n : {"rip", "shot", "tripple", "laserh", "laserv"})
      Add(LibGlmlshots, n, 32, 32, 0xFFFFFF, n[0] == 'l' ? BlendMode::Additive : tr, black);
    for (int d = 1; d <= 9; ++d) {
      for (int c = 0; c < 12; ++c) {
        Add(LibGlmlshots, "virus" + std::to_string(d) + static_cast<char>('a' + c), 24, 24,
            kSlotColours[c], tr, black);
      }
    }
    for (int f = 1; f <= 3; ++f)
      Add(LibGlmlshots, "rocket" + std::to_string(f), 48, 48, 0x80FF, tr, black);
    for (int f = 1; f <= 6; ++f)
      Add(LibGLMLatomic, std::to_string(f), 128, 192, 0x40C0FF, tr, glow);
    for (int f = 0; f <= 5; ++f) Add(LibGLMLrocket, std::to_string(f), 64, 64, 0x2080FF, tr, glow);
    for (int f = 0; f < 3; ++f)
      Add(LibGLMLMyst, "bonus" + std::to_string(f), 32, 32, 0xFF00FF, BlendMode::Opaque,
          ImageAlpha::Opaque);
    for (int w = 0; w < 6; ++w)
      Add(LibGLMLmenu, "word" + std::to_string(w), 40 + 17 * w, 24, 0xFFFFFF,
          w % 3 == 2 ? BlendMode::AlphaTest50 : tr, black);

    for (int worm = 0; worm < 12; ++worm) {
      const float cx = static_cast<float>(kArenaX + 40 + (worm % 4) * 150);
      const float cy = static_cast<float>(kArenaY + 60 + (worm / 4) * 130);
      Put(LibGlmlshots, "rip", cx, cy, 16, 16)->visible = false;
      Put(LibGlmlshots, "shot", cx + 20, cy, 18, 18);
      for (int c = 0; c < 2; ++c) scene.CreateSprite()->width = 0;  // fire carriers
      if (worm % 4 == 0) {
        Put(LibGLMLatomic, std::to_string(1 + worm % 6), cx, cy - 32, 128, 192);
      } else if (worm % 4 == 1) {
        Put(LibGLMLrocket, std::to_string(worm % 6), cx, cy, 64, 64);
      } else {
        Put(LibGlmlshots, "rocket" + std::to_string(1 + worm % 3), cx - 30, cy + 20, 24, 24)
            ->rotation = static_cast<float>(worm * 37);
      }
      for (int b = 0; b < 7; ++b) Put(LibGlmlshots, "tripple", cx + 8.0f * b, cy + 30, 10, 10);
      for (int l = 0; l < 4; ++l)
        Put(LibGlmlshots, l < 2 ? "laserh" : "laserv", cx + 25.0f * (l - 2), cy - 40, 14, 12);
      for (int v = 0; v < 65; ++v) {
        const double a = v * 0.37 + worm;
        Sprite* s =
            Put(LibGlmlshots, VirusName(v, worm), cx + static_cast<float>(std::cos(a) * (10 + v)),
                cy + static_cast<float>(std::sin(a) * (10 + v)), 12, 12);
        viruses.push_back(s);
      }
      Put(LibGlmlshots, "rip", cx, cy, 24, 48)->visible = false;  // teleport
    }
    for (int b = 0; b < 12; ++b)
      Put(LibGLMLMyst, "bonus" + std::to_string(b % 3), 60.0f + 45 * b, 300, 24, 24);
    for (int w = 0; w < 24; ++w)
      Put(LibGLMLmenu, "word" + std::to_string(w % 6), 80.0f + 160 * (w % 4), 20.0f + 20 * (w / 4),
          static_cast<float>(40 + 17 * (w % 6)), 16);
    for (int i = 0; i < 2; ++i) {
      FireEffect* f = scene.CreateFire();
      f->carrier = scene.Sprites()[2 + static_cast<size_t>(i)].get();
      f->disabled = false;
    }
    for (int i = 0; i < 60; ++i) scene.TickFires(1.0 / 60);
  }

  // Half the viruses step to their next animation frame, as they do at sixty frames a second.
  void Animate() {
    ++tick;
    for (size_t i = 0; i < viruses.size(); ++i) {
      if ((i + static_cast<size_t>(tick)) % 2 == 0)
        viruses[i]->SetMaterialName(
            VirusName(static_cast<int>(i) + tick / 2, static_cast<int>(i / 65)));
    }
  }
};

// The twelve energy bars the heads-up display draws over everything, at the view's foot.
void EnergyBars(Canvas& canvas) {
  canvas.Begin();
  for (int i = 0; i < 12; ++i) {
    canvas.SetPenColour(kSlotColours[i]);
    canvas.FillRect(20.0f + 50 * i, 469, 60.0f + 50 * i, 474);
  }
}

// A whole frame of the busiest play: viruses animated, the trail canvas filled, uploaded and
// drawn under the sprites, the energy bars over them, then shown. `atlas` 0 gives every
// picture a texture of its own.
void BM_PlayFrame(benchmark::State& state) {
  GlContext* context = ContextOrSkip(state);
  if (!context) return;
  GlContext& gl = *context;
  gl.renderer->SetAtlases(state.range(0) != 0);
  PlayScene play;
  Canvas before, after;
  gl.renderer->Draw(play.scene, before, after);
  for (auto _ : state) {
    play.Animate();
    FillTrails(before);
    EnergyBars(after);
    gl.renderer->Draw(play.scene, before, after);
    gl.platform->Present();
    gl.renderer->Finish();
  }
  gl.renderer->SetAtlases(true);
  int visible = 0;
  for (const auto& s : play.scene.Sprites()) visible += s->visible && s->width > 0;
  state.counters["sprites"] = visible;
}
BENCHMARK(BM_PlayFrame)->ArgName("atlas")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlayFrame)
    ->Name("BM_PlayFrame_process_cpu")
    ->ArgName("atlas")
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tdx
