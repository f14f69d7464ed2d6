// The game's side of sound and music.
#pragma once

namespace tdx {

struct AudioState {};

}  // namespace tdx
