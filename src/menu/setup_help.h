// The set-up screen's help lines: the picture each line is shown with, and the text the data
// tools write on it. One table for both, so a line and its picture never drift apart.
#pragma once

namespace tdx {

struct SetupHelpLine {
  const char* picture;
  const char* text;
};

// What each worm kind does with its fire key: kinds 1..20, then the random kind.
inline constexpr SetupHelpLine kKindHelp[21] = {
    {"help_traveller", "hold fire: pass through trails"},
    {"help_speeder", "hold fire: double speed"},
    {"help_stopper", "hold fire: freeze the other worms"},
    {"help_warper", "hold fire: wrap round the edges"},
    {"help_reverser", "fire: swap head and tail"},
    {"help_killer", "fire: launch a fireball"},
    {"help_laser_shooter", "fire: four laser beams"},
    {"help_multiplier", "fire: four or five extra heads"},
    {"help_virus_infester", "fire: a ring of sixteen viruses"},
    {"help_repeller", "hold fire: push the others away"},
    {"help_rocket_launcher", "fire: a homing rocket"},
    {"help_atomic_bomber", "fire: drop an atomic bomb"},
    {"help_reproducer", "fire: extra heads side by side"},
    {"help_erector", "fire: the trail becomes a straight line"},
    {"help_teleporter", "fire: jump to a random place"},
    {"help_shooter", "fire: a burst of seven bullets"},
    {"help_w_infernal", "hold fire: two fires circle the head"},
    {"help_w_thicker", "hold fire: grow a thick blob"},
    {"help_pauser", "hold fire: stand still"},
    {"help_virus_controller", "fire: viruses you steer, again to switch"},
    {"help_w_random", "a new kind drawn every round"},
};

// The start rules, in the order of their setting's values.
inline constexpr SetupHelpLine kStartHelp[6] = {
    {"help_into_the_middle", "worms start round the edge, facing the middle"},
    {"help_away_from_the_middle", "worms start near the middle, facing out"},
    {"help_circle", "worms start on a ring, heading round it"},
    {"help_proportional_random", "worms start on a grid, facing anywhere"},
    {"help_random", "worms start anywhere, at a safe distance apart"},
    {"help_race", "worms start side by side at the left, facing right"},
};

// The headings of the controller and kind columns.
inline constexpr SetupHelpLine kActiveHelp = {
    "help_active", "who steers each worm: off, a human or the computer. click: all 12"};
inline constexpr SetupHelpLine kJobHelp = {
    "help_job", "the worm's kind: its ability on the fire key. click: all 12"};

// Pieces of the lines about keys, put together with the words "player", "left", "right",
// "fire" and a row number.
inline constexpr SetupHelpLine kSameKeyAs = {"help_same_key_as", "same key as"};
inline constexpr SetupHelpLine kAndMore = {"help_and_more", "and more"};
inline constexpr SetupHelpLine kClickToCancel = {"help_click_to_cancel", "click to cancel"};

}  // namespace tdx
