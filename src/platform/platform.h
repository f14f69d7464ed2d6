// The window, its events and the keyboard, as the program around the game sees them.
// Only src/platform/ includes SDL; only the GL renderer includes GL.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tdx {

struct MouseEvent {
  enum Kind : uint8_t { Move, Click } kind = Move;
  int x = 0;  // view pixels (0..639), mapped back through the letterbox
  int y = 0;
};

struct PlatformOptions {
  bool windowed = false;
  bool headless = false;  // no window, no GL
};

class Renderer;

class Platform {
 public:
  virtual ~Platform() = default;
  // Opens the 640 by 480 view (full screen, letterboxed, or a window at the largest whole
  // scale that fits). On failure returns null and sets `error` ("Unsupported video mode: ...").
  static std::unique_ptr<Platform> Create(const PlatformOptions& options, std::string& error);

  // Handles pending window events; returns false when the window was closed.
  virtual bool PumpEvents(std::vector<MouseEvent>& mouse) = 0;
  // The keyboard now, by Windows virtual-key code (nonzero = down).
  virtual void ReadKeys(std::array<uint8_t, 256>& keys) = 0;
  // The renderer that draws into this view (a null renderer when headless).
  virtual Renderer& GetRenderer() = 0;
  // Shows the drawn frame.
  virtual void Present() = 0;
  // A message box over the window, when there is one.
  virtual void ShowError(const std::string& title, const std::string& message) = 0;
};

// The Windows virtual-key code of an SDL scancode, or 0 (kept here so the game never sees SDL).
uint8_t VirtualKeyOfScancode(int scancode);

}  // namespace tdx
