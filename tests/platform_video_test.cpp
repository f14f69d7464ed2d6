// Opening the view: the headless platform, and the error when no display can be had.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "display/renderer.h"
#include "platform/platform.h"

namespace tdx {
namespace {

// Sets (or with null, removes) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

TEST(PlatformVideo, NoDisplayIsAnUnsupportedVideoModeWithSdlsReason) {
  ScopedEnv noDisplay("DISPLAY", nullptr);
  ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
  ScopedEnv noWaylandSocket("XDG_RUNTIME_DIR", nullptr);  // nor the default Wayland socket
  // No driver named: SDL would fall back to one that shows nothing, which must not count.
  for (const char* driver : {static_cast<const char*>(nullptr), "x11", "no_such_video_driver"}) {
    for (bool windowed : {false, true}) {
      ScopedEnv video("SDL_VIDEODRIVER", driver);
      PlatformOptions options;
      options.windowed = windowed;
      std::string error = "stale";
      auto platform = Platform::Create(options, error);
      EXPECT_EQ(platform, nullptr) << (driver ? driver : "(none named)");
      const std::string prefix = "Unsupported video mode: ";
      EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
      EXPECT_GT(error.size(), prefix.size() + 3) << "no reason given: " << error;
    }
  }
}

// Headless runs need no display and no video driver at all.
TEST(PlatformVideo, HeadlessRunsWithoutAnyVideo) {
  ScopedEnv noDisplay("DISPLAY", nullptr);
  ScopedEnv video("SDL_VIDEODRIVER", "no_such_video_driver");
  PlatformOptions options;
  options.headless = true;
  std::string error;
  auto platform = Platform::Create(options, error);
  ASSERT_NE(platform, nullptr) << error;
  EXPECT_TRUE(error.empty());

  std::vector<MouseEvent> mouse(3);
  EXPECT_TRUE(platform->PumpEvents(mouse));
  EXPECT_TRUE(mouse.empty());
  std::array<uint8_t, 256> keys;
  keys.fill(1);
  platform->ReadKeys(keys);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(keys[static_cast<size_t>(i)], 0) << i;

  Renderer& renderer = platform->GetRenderer();
  EXPECT_NE(dynamic_cast<NullRenderer*>(&renderer), nullptr);
  Scene scene;
  Canvas before, after;
  renderer.Draw(scene, before, after);
  platform->Present();
  platform->ShowError("Tandrix", "nothing to show it on");  // must not block or crash
  std::string shotError;
  EXPECT_FALSE(renderer.SaveScreenshot("/tmp/never_written.png", shotError));
  EXPECT_NE(shotError.find("/tmp/never_written.png"), std::string::npos);
}

}  // namespace
}  // namespace tdx
