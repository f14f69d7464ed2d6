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
  bool headless = false;  // no window, no GL, no SDL video at all
  bool vsync = true;      // wait for the display's refresh when the driver offers it
  bool paced = true;      // without vsync, show no more frames than the display does
                          // (benchmarks turn it off to time the drawing itself)
};

class Renderer;

class Platform {
 public:
  virtual ~Platform() = default;
  // Opens the 640 by 480 view (full screen, letterboxed, or a window at the largest whole
  // scale that fits). On failure returns null and sets `error` ("Unsupported video mode: ...").
  static std::unique_ptr<Platform> Create(const PlatformOptions& options, std::string& error);

  // Handles pending window events and replaces `mouse` with this frame's pointer events:
  // at most one Move between clicks (the latest position), and a Click for each release of
  // the left button inside the view. Returns false when the window was closed.
  virtual bool PumpEvents(std::vector<MouseEvent>& mouse) = 0;
  // The keyboard and the gamepads now, by Windows virtual-key code (nonzero = down); pads
  // read as the pad key codes of players/key_codes.h.
  virtual void ReadKeys(std::array<uint8_t, 256>& keys) = 0;
  // The renderer that draws into this view (a null renderer when headless).
  virtual Renderer& GetRenderer() = 0;
  // Shows the drawn frame. When the swap does not wait for the display (no vsync), it
  // first waits itself until one refresh after the last frame shown (60 Hz when the rate
  // is unknown), so frames are not drawn faster than the display can show them. Frames
  // that are drawn but not presented never wait; headless runs never wait.
  virtual void Present() = 0;
  // A message box over the window, when there is one. It blocks until dismissed, so it
  // is left out when TANDRIX_NO_MESSAGE_BOX is set (unattended test runs).
  virtual void ShowError(const std::string& title, const std::string& message) = 0;
};

// Scancodes run from 0 to kScancodeCount - 1 (USB keyboard usage numbers).
inline constexpr int kScancodeCount = 512;

// The Windows virtual-key code of an SDL scancode, or 0 (kept here so the game never sees SDL).
uint8_t VirtualKeyOfScancode(int scancode);

}  // namespace tdx
