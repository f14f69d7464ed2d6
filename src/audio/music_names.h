// The modules the game asks for by name; music.dat must list each to be played.
#pragma once

namespace tdx {

inline constexpr const char* kMenuModule = "menu_theme.xm";
inline constexpr const char* kWinnerModule = "winner.xm";

// The play list: 13 XM and 5 MOD modules, drawn at random during matches and menus.
inline constexpr const char* kPlayList[18] = {
    "neon_drive.xm",  "grid_runner.xm",  "arc_light.xm",    "turbo_coil.xm",   "night_crawl.xm",
    "pixel_storm.xm", "laser_lane.xm",   "chrome_heart.xm", "vector_rush.xm",  "circuit_fever.xm",
    "hyper_loop.xm",  "static_bloom.xm", "final_lap.xm",    "bit_crusher.mod", "tail_chase.mod",
    "retro_spin.mod", "wire_dance.mod",  "glow_worm.mod",
};

}  // namespace tdx
