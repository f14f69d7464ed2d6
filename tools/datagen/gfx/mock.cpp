// Mock screens for people checking the pictures: the main menu, the set-up screen and a
// round-over screen, laid out at the places and scales the game uses, so sizes and
// spacing can be judged before the game itself can show them.
#include <cmath>
#include <stdexcept>
#include <string>

#include "output.h"

namespace gfx {
namespace {

class Screen {
 public:
  explicit Screen(Output& out) : out_(out), img_(640, 480) {
    cairo_set_source_rgb(img_.cr(), 0, 0, 0);
    cairo_paint(img_.cr());
  }
  Image* Find(const std::string& name) {
    for (SheetEntry& e : out_.sheet())
      if (e.label == name || e.label == name + ".bmp") return &e.image;
    return nullptr;
  }
  // A menu word: top-left corner, picture size times scale.
  void Word(const std::string& name, double x, double y, double scale = 1.0) {
    Image* p = Find(name);
    if (!p) return;
    Sprite(*p, x + p->width() * scale / 2, y + p->height() * scale / 2, p->width() * scale,
           p->height() * scale);
  }
  // A sprite: centre and size.
  void Sprite(Image& p, double cx, double cy, double w, double h) {
    cairo_t* cr = img_.cr();
    cairo_save(cr);
    cairo_translate(cr, cx - w / 2, cy - h / 2);
    cairo_scale(cr, w / p.width(), h / p.height());
    cairo_set_source_surface(cr, p.surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_paint(cr);
    cairo_restore(cr);
  }
  void SpriteByName(const std::string& name, double cx, double cy, double w, double h) {
    if (Image* p = Find(name)) Sprite(*p, cx, cy, w, h);
  }
  void Line(double x0, double y0, double x1, double y1, double r, double g, double b) {
    cairo_t* cr = img_.cr();
    cairo_set_source_rgb(cr, r, g, b);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, x0 + 0.5, y0 + 0.5);
    cairo_line_to(cr, x1 + 0.5, y1 + 0.5);
    cairo_stroke(cr);
  }
  void Save(const std::string& path) {
    cairo_surface_flush(img_.surface());
    if (cairo_surface_write_to_png(img_.surface(), path.c_str()) != CAIRO_STATUS_SUCCESS)
      throw std::runtime_error(path + ": cannot write a mock screen");
  }

 private:
  Output& out_;
  Image img_;
};

void Ticker(Screen& s, const std::string& text, double start_x) {
  // The game's ticker rule: 1.6 times the table size, centres 0.8 of the width apart.
  double x = start_x, advance = 0;
  bool first = true;
  for (char c : text) {
    double shift = c == 'i' ? -5 : c == 'j' ? -4 : c == 'k' ? 3 : 0;
    double wf = 5, hf = 5, adv = 5;
    if (c == ' ') {
      adv = 9, wf = hf = 1;
    } else if (Image* p = s.Find(std::string(1, c))) {
      wf = p->width();
      hf = p->height();
      adv = 0.8 * wf - shift;
      if (c == 'q') hf *= 0.85;
      if (c == 'b') hf *= 1.15;
      if (c == 'd') hf *= 1.1;
    }
    x = first ? start_x : x + advance + shift;
    first = false;
    if (c != ' ') s.SpriteByName(std::string(1, c), x, c == 'b' ? 401 : 400, 1.6 * wf, 1.6 * hf);
    advance = adv;
  }
}

}  // namespace

void WriteMockScreens(Output& out, const std::string& prefix) {
  {
    Screen s(out);
    s.SpriteByName("tandrix.bmp", 320, 144, 256, 256);
    s.Word("deathmatch", 270, 160, 1.2);
    s.Word("team_deathmatch", 270, 190, 1.2);
    s.Word("network", 270, 215, 1.2);
    s.Word("set_up", 270, 240, 1.2);
    s.Word("about", 270, 290, 1.2);
    s.Word("replays", 270, 315, 1.2);
    s.Word("quit", 270, 340, 1.2);
    s.Word("glscene", 480, 420);
    s.Word("plonquet", 10, 420);
    s.Word("copyright", 210, 460);
    s.Word("select_more_players", 250, 110, 1.2);
    Ticker(s, "welcome to tandrix the ultimate worms deathmatch", 40);
    s.Save(prefix + "_main.png");
  }
  {
    Screen s(out);
    s.SpriteByName("tandrix.bmp", 320, 106, 256, 256);
    s.Word("back", 574, 454, 1.1);
    s.Word("player", 7, 78);
    s.Word("team", 84, 78, 1.1);
    s.Word("active", 158, 78, 1.1);
    s.Word("left", 256, 78, 1.1);
    s.Word("right", 329, 78, 1.1);
    s.Word("fire", 402, 78, 1.1);
    s.Word("job", 476, 78, 1.1);
    const char* colours[12] = {"c00ff00", "cff0000", "c0000ff", "c00ffff", "cffff00", "cff00ff",
                               "c00ff80", "c0080ff", "c808080", "cff8000", "cff0080", "c8000ff"};
    const char* ctrl[4] = {"human", "cpuiq10", "cpuiq0", "off"};
    const char* keys[12][3] = {{"left", "right", "up"},
                               {"a", "d", "s"},
                               {"num_4", "num_6", "num_8"},
                               {"j", "l", "k"},
                               {"left_shift", "left_ctrl", "q"},
                               {"backspace", "right_bracket", "enter"},
                               {"z", "x", "c"},
                               {"f1", "f2", "f3"},
                               {"page_up", "page_down", "home"},
                               {"b", "n", "m"},
                               {"semicolon", "apostrophe", "slash"},
                               {"num_multiply", "num_minus", "num_plus"}};
    const char* kinds[12] = {"traveller",           "virus_controller", "laser_shooter",
                             "rocket_launcher",     "atomic_bomber",    "w_random",
                             "proportional_random", "w_infernal",       "reproducer",
                             "teleporter",          "virus_infester",   "erector"};
    for (int i = 0; i < 12; ++i) {
      s.Word(std::to_string(i + 1), 26, 101 + 16 * i);
      s.Word(std::to_string(i % 4 + 1) + "c", 84, 98 + 16 * i);
      s.Word(ctrl[i % 4], 158, 98 + 16 * i);
      s.Word(colours[i], 7, 100 + 16 * i, 0.9);
      s.Word(keys[i][0], 256, 98 + 16 * i);
      s.Word(keys[i][1], 329, 98 + 16 * i);
      s.Word(keys[i][2], 402, 98 + 16 * i);
      s.Word(i == 6 ? "multiplier" : kinds[i], 476, 98 + 16 * i);
    }
    s.Word("bonus", 26, 302, 1.1);
    s.Word("on", 100, 302);
    s.Word("speed", 26, 326, 1.1);
    s.Word("accelerating", 100, 327);
    s.Word("from", 240, 327);
    s.Word("50b", 320, 329);
    s.Word("to", 400, 327);
    s.Word("120b", 448, 329);
    s.Word("starting_position", 26, 350, 1.1);
    s.Word("away_from_the_middle", 222, 351);
    s.Word("score_limit", 26, 374, 1.1);
    s.Word("21b", 200, 377);
    s.Word("game_number", 340, 374, 1.1);
    s.Word("show", 520, 375);
    s.Word("game_time", 26, 390, 1.1);
    s.Word("hide", 200, 391);
    s.Word("real_time", 340, 390, 1.1);
    s.Word("show", 520, 391);
    s.Word("score", 26, 406, 1.1);
    s.Word("show", 200, 407);
    s.Word("positions", 340, 406, 1.1);
    s.Word("surprise", 520, 407);
    s.Word("background_effect", 26, 430, 1.1);
    s.Word("on", 230, 431);
    s.Word("rightleft", 450, 439, 1.1);
    s.Word("sounds", 26, 454, 1.1);
    s.Word("on", 114, 455);
    s.Word("speech", 170, 454, 1.1);
    s.Word("off", 256, 455);
    s.Word("music", 314, 454, 1.1);
    s.Word("on", 387, 455);
    s.Save(prefix + "_setup.png");
  }
  {
    Screen s(out);
    // Arena frame, some trails, the display and the round-over words.
    s.Line(16, 56, 16, 464, 1, 1, 1);
    s.Line(16, 56, 624, 56, 1, 1, 1);
    s.Line(624, 56, 624, 464, 1, 1, 1);
    s.Line(16, 464, 625, 464, 1, 1, 1);
    s.SpriteByName("tandrix.bmp", 56, 56, 128, 128);
    s.Word("game_number", 128, 4, 0.8);
    s.Word("game_time", 340, 4, 0.8);
    s.Word("real_time", 496, 4, 0.8);
    s.Word("score", 128, 22, 0.8);
    s.SpriteByName("1", 260, 20, 32, 32);
    s.SpriteByName("7", 272, 20, 32, 32);
    s.SpriteByName("4", 450, 20, 32, 32);
    s.SpriteByName("2", 462, 20, 32, 32);
    s.SpriteByName("2", 596, 20, 32, 32);
    s.SpriteByName("1", 608, 20, 32, 32);
    s.SpriteByName("dvojbodka", 611, 12, 16, 16);
    s.SpriteByName("0", 627, 20, 32, 32);
    s.SpriteByName("5", 639, 20, 32, 32);
    const char* colours[4] = {"c00ff00", "cff0000", "c0000ff", "cffff00"};
    for (int r = 0; r < 4; ++r) {
      s.SpriteByName(colours[r], 190 + 37 * r, 28, 12, 12);
      s.SpriteByName(std::to_string(3 - r), 195 + 37 * r, 48, 24, 24);
    }
    s.SpriteByName("1", 195 + 37 * 0 + 0, 48, 24, 24);
    s.SpriteByName("0", 195 + 37 * 0 + 8, 48, 24, 24);
    s.Word("c00ff00", 225, 117, 1.4);
    s.Word("won_this_round", 260, 120, 1.2);
    s.Word("hit_the_fire_button", 205, 200, 1.5);
    s.Word("main_menu", 350, 350, 1.1);
    s.Word("exit_program", 350, 370, 1.1);
    for (int i = 0; i < 4; ++i) s.Word(i % 2 ? "ready" : "waiting", i % 2 ? 553 : 539, 95 + 90 * i);
    s.Word("ready", 30, 95);
    s.Word("waiting", 148, 440);
    s.SpriteByName("fire_ball.bmp", 400, 250, 16, 16);
    s.SpriteByName("shot.bmp", 430, 250, 16, 16);
    s.SpriteByName("tripple.bmp", 450, 250, 10, 10);
    s.SpriteByName("laserh.bmp", 470, 250, 12, 12);
    s.SpriteByName("laserv.bmp", 490, 250, 12, 12);
    s.SpriteByName("virus3b.bmp", 510, 250, 12, 12);
    s.SpriteByName("rocket2.bmp", 530, 250, 24, 24);
    s.SpriteByName("rip.bmp", 560, 250, 16, 16);
    s.SpriteByName("target.bmp", 100, 300, 48, 48);
    s.SpriteByName("digger2.bmp", 160, 300, 30, 30);
    s.SpriteByName("s_bomb_2.bmp", 210, 300, 48, 48);
    s.SpriteByName("x_bomb_2.bmp", 260, 300, 48, 48);
    s.SpriteByName("cherry1.bmp", 300, 300, 16, 16);
    s.SpriteByName("b_no_rocket_1.bmp", 320, 300, 16, 16);
    s.SpriteByName("fire1.bmp", 340, 300, 16, 16);
    s.SpriteByName("myst24.bmp", 400, 330, 96, 192);
    s.SpriteByName("heart1.bmp", 401, 329, 16, 16);
    s.SpriteByName("tele10.bmp", 470, 330, 24, 48);
    s.SpriteByName("e0001_006.bmp", 520, 330, 32, 32);
    s.SpriteByName("atomic021.bmp", 580, 380 - 32, 128, 192);
    s.Save(prefix + "_round.png");
  }
}

}  // namespace gfx
