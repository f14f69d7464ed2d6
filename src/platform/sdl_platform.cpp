// The window, its GL context and its events over SDL2, and the window-less platform of
// headless runs.
#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "display/gl_renderer.h"
#include "platform/frame_pacer.h"
#include "platform/gamepads.h"
#include "platform/letterbox.h"
#include "platform/platform.h"

namespace tdx {

namespace {

const char kVideoError[] = "Unsupported video mode: ";

bool MessageBoxesAllowed() {
  const char* v = std::getenv("TANDRIX_NO_MESSAGE_BOX");
  return !(v && *v && std::strcmp(v, "0") != 0);
}

// Keeps the loaded GL driver (Mesa's *_dri.so or libgallium, and its GLX or EGL front
// library) in memory until the process ends. Closing the display would otherwise unload
// it: a second window (tests open several) would pay for loading it again, and the leak
// checker of the sanitizer builds could no longer tell the driver's own left-overs from ours.
void KeepGlDriverLoaded() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) -> int {
        const char* name = info->dlpi_name;
        if (name && (std::strstr(name, "_dri.so") || std::strstr(name, "libgallium") ||
                     std::strstr(name, "libGLX_mesa") || std::strstr(name, "libEGL_mesa"))) {
          if (void* h = dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) dlclose(h);
        }
        return 0;
      },
      nullptr);
}

// --headless: no window, no GL, no SDL video; the game runs and draws nothing.
class HeadlessPlatform final : public Platform {
 public:
  bool PumpEvents(std::vector<MouseEvent>& mouse) override {
    mouse.clear();
    return true;
  }
  void ReadKeys(std::array<uint8_t, 256>& keys) override { keys.fill(0); }
  Renderer& GetRenderer() override { return renderer_; }
  void Present() override {}
  void ShowError(const std::string&, const std::string&) override {}

 private:
  NullRenderer renderer_;
};

class SdlPlatform final : public Platform {
 public:
  static std::unique_ptr<Platform> Open(const PlatformOptions& options, std::string& error);
  ~SdlPlatform() override;

  bool PumpEvents(std::vector<MouseEvent>& mouse) override;
  void ReadKeys(std::array<uint8_t, 256>& keys) override;
  Renderer& GetRenderer() override { return *renderer_; }
  void Present() override;
  void ShowError(const std::string& title, const std::string& message) override;

 private:
  bool videoStarted_ = false;
  // Gamepads read as keys; let go of before SDL video shuts down.
  std::unique_ptr<Gamepads> pads_;
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  std::unique_ptr<GlRenderer> renderer_;
  bool open_ = true;
  bool fullscreen_ = false;
  // Keys pressed since the last poll: a tap shorter than one frame still counts as down
  // for one frame instead of being lost between two polls.
  std::array<uint8_t, 256> tapped_{};
  // Set once the window is open, from its display's refresh rate.
  FramePacer pacer_{0};
  bool paced_ = true;
};

std::unique_ptr<Platform> SdlPlatform::Open(const PlatformOptions& options, std::string& error) {
  auto fail = [&error](const std::string& why) {
    error = kVideoError + why;
    return nullptr;
  };
  std::unique_ptr<SdlPlatform> p(new SdlPlatform());
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return fail(SDL_GetError());
  p->videoStarted_ = true;
  p->pads_ = std::make_unique<Gamepads>();
  // With no display SDL falls back to drivers that show nothing; the game would then run
  // unseen and deaf to the keyboard. They are only taken when asked for by name
  // (SDL_VIDEODRIVER=offscreen draws without a display, for tests and measurements).
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
      !(asked && *asked)) {
    return fail(
        "no display found (DISPLAY or WAYLAND_DISPLAY is not set, or the display cannot be "
        "opened)");
  }

  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // Sprites never use depth or stencil (the view draws into its own frame anyway), and
  // asking for none lets more drivers say yes.
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);

  Uint32 flags = SDL_WINDOW_OPENGL;
  int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
  int width = kViewWidth, height = kViewHeight;
  if (options.windowed) {
    SDL_Rect area{0, 0, kViewWidth, kViewHeight};
    if (SDL_GetDisplayUsableBounds(0, &area) != 0) SDL_GetDisplayBounds(0, &area);
    const int scale = WindowedScale(area.w, area.h);
    width *= scale;
    height *= scale;
    flags |= SDL_WINDOW_RESIZABLE;  // any size works: the view is letterboxed into it
  } else {
    // The desktop's own mode: the view is scaled and letterboxed inside it, since few
    // displays still offer a real 640 by 480 mode.
    flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    p->fullscreen_ = true;
    // Without a window manager (a bare X server, kiosk set-ups) nobody resizes the window
    // to full screen, so it is made the desktop's size and place from the start.
    SDL_Rect desktop{0, 0, kViewWidth, kViewHeight};
    if (SDL_GetDisplayBounds(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
      x = desktop.x;
      y = desktop.y;
      width = desktop.w;
      height = desktop.h;
    }
  }
  p->window_ = SDL_CreateWindow("Tandrix", x, y, width, height, flags);
  if (!p->window_) return fail(SDL_GetError());
  p->context_ = SDL_GL_CreateContext(p->window_);
  if (!p->context_) return fail(SDL_GetError());
  if (SDL_GL_MakeCurrent(p->window_, p->context_) != 0) return fail(SDL_GetError());
  KeepGlDriverLoaded();
  // Not every driver offers a swap interval; the game runs on its own clock either way,
  // and frames are paced to the display when the swap does not wait for it.
  const bool swapWaits = options.vsync && SDL_GL_SetSwapInterval(1) == 0;
  if (!options.vsync) SDL_GL_SetSwapInterval(0);
  SDL_DisplayMode mode{};
  const int refreshHz =
      SDL_GetWindowDisplayMode(p->window_, &mode) == 0 ? mode.refresh_rate : 0;  // 0: unknown
  p->pacer_ = FramePacer(refreshHz);
  p->paced_ = options.paced;
  if (!swapWaits) p->pacer_.PaceFromStart();

  std::string why;
  p->renderer_ = GlRenderer::Create(SDL_GL_GetProcAddress, why);
  if (!p->renderer_) return fail(why);
  return p;
}

SdlPlatform::~SdlPlatform() {
  renderer_.reset();  // its GL objects go while the context still exists
  if (context_) SDL_GL_DeleteContext(context_);
  if (window_) SDL_DestroyWindow(window_);
  pads_.reset();
  if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool SdlPlatform::PumpEvents(std::vector<MouseEvent>& mouse) {
  mouse.clear();
  int ww = 0, wh = 0;
  SDL_GetWindowSize(window_, &ww, &wh);
  const ViewRect view = LetterboxRect(ww, wh);
  SDL_Event e;
  bool padsPlugged = false;
  while (SDL_PollEvent(&e)) {
    switch (e.type) {
      case SDL_QUIT: open_ = false; break;
      case SDL_JOYDEVICEADDED:
      case SDL_JOYDEVICEREMOVED: padsPlugged = true; break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) open_ = false;
        break;
      case SDL_MOUSEMOTION: {
        MouseEvent m;
        m.kind = MouseEvent::Move;
        WindowToView(view, e.motion.x, e.motion.y, m.x, m.y);  // outside: held on the border
        if (!mouse.empty() && mouse.back().kind == MouseEvent::Move) {
          mouse.back() = m;
        } else {
          mouse.push_back(m);
        }
        break;
      }
      case SDL_KEYDOWN: {
        const uint8_t vk = VirtualKeyOfScancode(e.key.keysym.scancode);
        if (vk && !e.key.repeat) tapped_[vk] = 0x80;
        break;
      }
      case SDL_MOUSEBUTTONUP: {
        if (e.button.button != SDL_BUTTON_LEFT) break;
        MouseEvent m;
        m.kind = MouseEvent::Click;
        if (WindowToView(view, e.button.x, e.button.y, m.x, m.y)) mouse.push_back(m);
        break;
      }
      default: break;
    }
  }
  if (padsPlugged && pads_) pads_->Refresh();
  return open_;
}

void SdlPlatform::ReadKeys(std::array<uint8_t, 256>& keys) {
  keys = tapped_;
  tapped_.fill(0);
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  if (state) {
    count = std::min(count, kScancodeCount);
    for (int sc = 0; sc < count; ++sc) {
      if (!state[sc]) continue;
      const uint8_t vk = VirtualKeyOfScancode(sc);
      if (vk) keys[vk] = 0x80;  // the "down" bit of a Windows key state
    }
  }
  if (pads_) pads_->Read(keys);
}

void SdlPlatform::Present() {
  // Timed from the call, as the frame loop times the frames it shows (the drawing below
  // takes longer some frames than others). Waiting before the swap, not after it, leaves
  // the frames that are not shown (loading) free to run at full speed.
  const FramePacer::Clock::time_point called = FramePacer::Clock::now();
  const FramePacer::Clock::time_point showAt = paced_ ? called + pacer_.BeforeSwap(called) : called;
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(window_, &w, &h);
  renderer_->PresentToWindow(w, h);
  if (showAt > FramePacer::Clock::now()) std::this_thread::sleep_until(showAt);
  SDL_GL_SwapWindow(window_);
  pacer_.AfterSwap(FramePacer::Clock::now());
}

void SdlPlatform::ShowError(const std::string& title, const std::string& message) {
  if (!MessageBoxesAllowed()) return;
  // A box over a full-screen window can end up hidden behind it.
  if (fullscreen_) {
    SDL_SetWindowFullscreen(window_, 0);
    fullscreen_ = false;
  }
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), message.c_str(), window_);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds only: SDL's D-Bus connection (screen saver, input methods) leaves a
// buffer inside libdbus that only dbus_shutdown frees, which SDL leaves to programs and
// which is unsafe while SDL may still use the bus. Not a leak of the game's.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }
#endif

std::unique_ptr<Platform> Platform::Create(const PlatformOptions& options, std::string& error) {
  error.clear();
  if (options.headless) return std::make_unique<HeadlessPlatform>();
  return SdlPlatform::Open(options, error);
}

}  // namespace tdx
