// What the GL pixel tests share: whether they may run (they need a display and run for
// real inside tests/scripts/render_xvfb.sh), and the unpaced window they draw into.
#pragma once

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace tdx::testing {

inline bool GlTestsAllowed() {
  const char* allowed = std::getenv("TANDRIX_GL_TESTS");
  const char* display = std::getenv("DISPLAY");
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const bool offscreen = driver && std::strcmp(driver, "offscreen") == 0;
  return allowed && *allowed && std::strcmp(allowed, "0") != 0 &&
         ((display && *display) || offscreen);
}

// A window for pixel tests: no vsync, no pacing, no message boxes. Null with `error` set
// when no view can be had.
inline std::unique_ptr<Platform> OpenTestWindow(std::string& error) {
  setenv("TANDRIX_NO_MESSAGE_BOX", "1", 1);
  PlatformOptions options;
  options.windowed = true;
  options.vsync = false;
  options.paced = false;
  return Platform::Create(options, error);
}

}  // namespace tdx::testing
