#include "display/tell.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "app/game.h"
#include "display/canvas.h"
#include "display/hooks.h"
#include "display/palette.h"
#include "match/arena/arena.h"
#include "match/match.h"
#include "match/weapons/bonus_objects.h"
#include "players/key_names.h"

namespace tdx {

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kQuiet = 0xC8C8C8;  // what a label says about the kind
constexpr double kDegToRadians = 3.14159265358979323846 / 180.0;

struct KindText {
  const char* title;
  const char* ability;
  bool held;  // works while the fire key is held, not per press
};

KindText KindTextOf(WormKind kind) {
  switch (kind) {
    case WormKind::Traveller: return {"traveller", "passes through trails", true};
    case WormKind::Speeder: return {"speeder", "runs twice as fast", true};
    case WormKind::Stopper: return {"stopper", "freezes the others", true};
    case WormKind::Warper: return {"warper", "wraps round the edges", true};
    case WormKind::Reverser: return {"reverser", "swaps head and tail", false};
    case WormKind::Killer: return {"killer", "throws a fireball", false};
    case WormKind::LaserShooter: return {"laser shooter", "fires four lasers", false};
    case WormKind::Multiplier: return {"multiplier", "splits into heads", false};
    case WormKind::VirusInfester: return {"virus infester", "lets out viruses", false};
    case WormKind::Repeller: return {"repeller", "pushes worms away", true};
    case WormKind::RocketLauncher: return {"rocket launcher", "fires a homing rocket", false};
    case WormKind::AtomicBomber: return {"atomic bomber", "drops an atomic bomb", false};
    case WormKind::Reproducer: return {"reproducer", "grows side heads", false};
    case WormKind::Erector: return {"erector", "straightens its trail", false};
    case WormKind::Teleporter: return {"teleporter", "jumps somewhere else", false};
    case WormKind::Shooter: return {"shooter", "fires seven bullets", false};
    case WormKind::WInfernal: return {"infernal", "circles itself in fire", true};
    case WormKind::WThicker: return {"thicker", "grows a thick blob", true};
    case WormKind::Pauser: return {"pauser", "stands still", true};
    case WormKind::VirusController: return {"virus controller", "steers its viruses", false};
    case WormKind::None:
    case WormKind::Random: break;
  }
  return {"worm", "nothing", false};
}

// A key's name as a label shows it: "left_shift" as "l shift".
std::string ShortKeyName(std::string name) {
  if (name.empty()) return "-";
  for (const char* side : {"left_", "right_"}) {
    const std::string prefix = side;
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
      name = std::string(1, prefix[0]) + " " + name.substr(prefix.size());
    }
  }
  std::replace(name.begin(), name.end(), '_', ' ');
  return name;
}

TextBox Inflated(const TextBox& b, int by) {
  return {b.x - by, b.y - by, b.w + 2 * by, b.h + 2 * by};
}

// The points a worm's head passes during the intro and countdown (about 42 pixels at the
// crawl's speed), a little further to be safe.
std::vector<std::pair<int, int>> CrawlPoints(const WormLabel& l) {
  std::vector<std::pair<int, int>> points;
  const double r = l.heading * kDegToRadians;
  for (int d = 0; d <= 52; d += 4) {
    points.emplace_back(static_cast<int>(std::lround(l.wormX + std::cos(r) * d)),
                        static_cast<int>(std::lround(l.wormY + std::sin(r) * d)));
  }
  return points;
}

int DistanceToBox(const TextBox& b, float px, float py) {
  const float dx =
      std::max({static_cast<float>(b.x) - px, 0.0f, px - static_cast<float>(b.Right())});
  const float dy =
      std::max({static_cast<float>(b.y) - py, 0.0f, py - static_cast<float>(b.Bottom())});
  return static_cast<int>(std::lround(std::sqrt(dx * dx + dy * dy)));
}

TextBox ShiftedInside(TextBox b, const TextBox& bounds) {
  b.x = std::clamp(b.x, bounds.x, bounds.Right() - b.w);
  b.y = std::clamp(b.y, bounds.y, bounds.Bottom() - b.h);
  return b;
}

// One greedy pass in the given order; false when a label found no place.
bool PlaceInOrder(std::vector<WormLabel>& labels, const std::vector<size_t>& order,
                  const LabelArea& area,
                  const std::vector<std::vector<std::pair<int, int>>>& crawls) {
  static constexpr int kGaps[] = {5, 10, 16, 24, 34, 46, 60, 76, 96, 120, 150, 190, 240};
  std::vector<TextBox> placed;
  bool all = true;
  for (size_t index : order) {
    WormLabel& l = labels[index];
    const int w = l.box.w, h = l.box.h;
    const int px = static_cast<int>(std::lround(l.wormX));
    const int py = static_cast<int>(std::lround(l.wormY));
    TextBox best{0, 0, w, 0};
    int bestCost = 1 << 30;
    for (int gap : kGaps) {
      const TextBox candidates[] = {
          {px + gap, py - h / 2, w, h},     {px - gap - w, py - h / 2, w, h},
          {px - w / 2, py + gap, w, h},     {px - w / 2, py - gap - h, w, h},
          {px + gap, py - h + 4, w, h},     {px + gap, py - 4, w, h},
          {px - gap - w, py - h + 4, w, h}, {px - gap - w, py - 4, w, h},
          {px - 8, py + gap, w, h},         {px - w + 8, py + gap, w, h},
          {px - 8, py - gap - h, w, h},     {px - w + 8, py - gap - h, w, h},
      };
      for (const TextBox& raw : candidates) {
        const TextBox c = ShiftedInside(raw, area.bounds);
        if (!area.bounds.Contains(c)) continue;
        const TextBox clear = Inflated(c, 2);
        bool ok = std::none_of(placed.begin(), placed.end(),
                               [&](const TextBox& o) { return clear.Overlaps(o); }) &&
                  std::none_of(area.keepOut.begin(), area.keepOut.end(),
                               [&](const TextBox& o) { return c.Overlaps(o); });
        for (size_t k = 0; ok && k < crawls.size(); ++k) {
          for (const auto& [x, y] : crawls[k]) {
            if (Inflated(c, 4).ContainsPoint(x, y)) {
              ok = false;
              break;
            }
          }
        }
        if (!ok) continue;
        int cost = DistanceToBox(c, l.wormX, l.wormY);
        for (const TextBox& o : area.preferFree) {
          if (c.Overlaps(o)) cost += 400;
        }
        if (cost < bestCost) {
          bestCost = cost;
          best = c;
        }
      }
      if (bestCost <= gap) break;  // nothing further out can be nearer
    }
    l.box = best;
    if (best.Empty()) {
      all = false;
      continue;
    }
    placed.push_back(best);
  }
  return all;
}

// A player's colour as its words are written: a little lighter, so that deep blue and
// purple still read on the dark plates.
uint32_t InkOf(uint32_t colour) {
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t v = (colour >> shift) & 0xFF;
    out |= (v + (255 - v) * 3 / 10) << shift;
  }
  return out;
}

uint32_t SpanColour(const Game& g, const TextSpan& s) {
  return s.slot >= 0 && s.slot < kPlayerSlots ? InkOf(ShownColour(g.presentation, s.slot)) : kWhite;
}

int SpanWidth(const SpanLine& line, int scale) { return TextWidth(SpanText(line), scale); }

bool IsCountdownPhase(GamePhase phase) {
  return phase == GamePhase::RoundIntro || static_cast<uint8_t>(phase) == 3 ||
         (phase >= GamePhase::ShowThree && phase <= GamePhase::ShowingGo);
}

int TeamOfSlot(const Match& m, int slot) {
  return TeamNumber(m.settings.players[static_cast<size_t>(slot)]);
}

std::string Rounds(int n) { return std::to_string(n) + (n == 1 ? " round" : " rounds"); }

// Draws a ring of the given thickness round (cx, cy) in the current pen.
void Ring(Canvas& c, float cx, float cy, float radius, float thickness) {
  const float lo = radius - thickness / 2, hi = radius + thickness / 2;
  const int r = static_cast<int>(std::ceil(hi)) + 1;
  const int x0 = static_cast<int>(std::floor(cx)), y0 = static_cast<int>(std::floor(cy));
  for (int y = y0 - r; y <= y0 + r; ++y) {
    for (int x = x0 - r; x <= x0 + r; ++x) {
      const float dx = static_cast<float>(x) + 0.5f - cx, dy = static_cast<float>(y) + 0.5f - cy;
      const float d = std::sqrt(dx * dx + dy * dy);
      if (d >= lo && d <= hi) c.Pixel(x, y);
    }
  }
}

// A shot, beam, virus or bonus object shows whose it is: a thin ring in its owner's colour.
void OwnerRing(Canvas& c, const Look& l, uint32_t colour) {
  if (!l.visible) return;
  const float size = std::max(l.width, l.height);
  const float radius = std::clamp(size / 2 + 2, 4.0f, 12.0f);
  c.SetPenColour(colour);
  Ring(c, l.x, l.y, radius, 1.2f);
}

void DrawOwners(Game& g, Canvas& c) {
  c.SetPenAlpha(1.0f);
  c.SetPenWidth(1);
  for (int s = 0; s < kPlayerSlots; ++s) {
    const TCerv& w = g.Worm(s);
    const uint32_t colour = ShownColour(g.presentation, s);
    OwnerRing(c, w.fireballLook, colour);
    OwnerRing(c, w.missileLook, colour);
    for (const Look& l : w.bulletLook) OwnerRing(c, l, colour);
    for (const Look& l : w.laserBeam) OwnerRing(c, l, colour);
    for (const Look& l : w.virusLook) OwnerRing(c, l, colour);
  }
  const BonusObjectLists& objects = g.bonus.objects;
  for (const auto* list : {&objects.BonusShots, &objects.Diggers, &objects.Bombs}) {
    for (const BonusObject& o : *list) {
      if (o.owner >= 0 && o.owner < kPlayerSlots) {
        OwnerRing(c, o.look, ShownColour(g.presentation, o.owner));
      }
    }
  }
}

constexpr double kMarkerSeconds = 2.5;

void DrawMarkers(Game& g, Canvas& c) {
  for (int s = 0; s < kPlayerSlots; ++s) {
    TellState::Marker& m = g.tell.markers[static_cast<size_t>(s)];
    if (m.since < 0) continue;
    const double age = g.Now - m.since;
    if (age > kMarkerSeconds || age < 0) {
      m.since = -1;
      continue;
    }
    const Look& rip = g.Worm(s).ripLook;
    if (rip.visible) {
      m.x = rip.x;
      m.y = rip.y;
    }
    const uint32_t colour = ShownColour(g.presentation, s);
    const auto alpha = static_cast<float>(std::min(1.0, (kMarkerSeconds - age) / 0.5));
    c.SetPenWidth(1);
    c.SetPenAlpha(alpha * 0.8f);
    c.SetPenColour(0x000000);
    Ring(c, m.x, m.y, 10, 5);
    c.SetPenAlpha(alpha);
    c.SetPenColour(colour);
    Ring(c, m.x, m.y, 10, 2.2f);
    c.SetPenWidth(2);
    const int x = static_cast<int>(std::lround(m.x)), y = static_cast<int>(std::lround(m.y));
    c.Line(x - 5, y - 5, x + 5, y + 5);
    c.Line(x - 5, y + 5, x + 5, y - 5);
    c.SetPenWidth(1);
    c.SetPenAlpha(1.0f);
  }
}

void DrawLabels(Game& g, Canvas& c) {
  TellState& t = g.tell;
  if (t.labelsFor != g.match.RoundStartTime || t.labels.empty()) {
    LabelArea area = MatchLabelArea();
    if (t.resultAt >= 0 && g.Now - t.resultAt < kResultHoldSeconds && !t.result.empty()) {
      area.keepOut.push_back(Inflated(ResultLineBox(t.result), 2));
    }
    t.labels = RoundLabels(g, t.names, area);
    t.labelsFor = g.match.RoundStartTime;
  }
  for (const WormLabel& l : t.labels) {
    if (l.box.Empty()) continue;
    const uint32_t colour = ShownColour(g.presentation, l.slot);
    // A leader line joins a label that had to stand off to its worm.
    if (DistanceToBox(l.box, l.wormX, l.wormY) > 8) {
      const int cx = std::clamp(static_cast<int>(std::lround(l.wormX)), l.box.x, l.box.Right() - 1);
      const int cy =
          std::clamp(static_cast<int>(std::lround(l.wormY)), l.box.y, l.box.Bottom() - 1);
      c.SetPenAlpha(1.0f);
      c.SetPenWidth(1);
      c.SetPenColour(QuietColour(colour));
      c.Line(cx, cy, static_cast<int>(std::lround(l.wormX)),
             static_cast<int>(std::lround(l.wormY)));
    }
    // A person's label stands out: solid plate, bright border; a computer's is quieter.
    if (l.person) {
      DrawPlate(c, l.box, 0.8f, colour, 2);
    } else {
      DrawPlate(c, l.box, 0.6f, QuietColour(colour), 1);
    }
    int y = l.box.y + kLabelPadding;
    for (size_t i = 0; i < l.lines.size(); ++i) {
      const uint32_t ink =
          i == 0 ? InkOf(colour) : (l.person && i + 1 == l.lines.size() ? kWhite : kQuiet);
      DrawText(c, l.box.x + kLabelPadding, y, l.lines[i], ink, kLabelScale);
      y += kLabelLineHeight;
    }
  }
}

void DrawNotices(Game& g, Canvas& c) {
  TellState& t = g.tell;
  while (!t.notices.empty() && g.Now - t.notices.front().shownAt > kNoticeSeconds) {
    t.notices.erase(t.notices.begin());
  }
  if (t.notices.empty()) {
    t.noticeBox = {};
    return;
  }
  constexpr int kLine = 10;
  int width = 0;
  for (const auto& n : t.notices) width = std::max(width, SpanWidth(n.line, 1));
  const int h = static_cast<int>(t.notices.size()) * kLine + 4;
  const int w = width + 8;
  if (t.noticeBox.Empty()) {
    // The corner of the arena with the fewest trails and heads under it.
    const int maxH = kNoticeLines * kLine + 4;
    const int maxW = std::max(w, 300);
    const TextBox corners[] = {
        {kArenaViewX + 3, kArenaViewY + 3, maxW, maxH},
        {kArenaViewX + kArenaWidth - 3 - maxW, kArenaViewY + 3, maxW, maxH},
        {kArenaViewX + 3, kArenaViewY + kArenaHeight - 3 - maxH, maxW, maxH},
        {kArenaViewX + kArenaWidth - 3 - maxW, kArenaViewY + kArenaHeight - 3 - maxH, maxW, maxH},
    };
    long bestCount = -1;
    for (const TextBox& b : corners) {
      long count = 0;
      for (int y = b.y; y < b.Bottom(); y += 2) {
        for (int x = b.x; x < b.Right(); x += 2) {
          const int ax = x - kArenaViewX, ay = y - kArenaViewY;
          if (ax >= 0 && ay >= 0 && ax < kArenaWidth && ay < kArenaHeight &&
              g.ArenaMap.At(ax, ay) != 255) {
            ++count;
          }
        }
      }
      for (int s = 0; s < kPlayerSlots; ++s) {
        const TCerv& wm = g.Worm(s);
        if (wm.alive && Inflated(b, 30).ContainsPoint(static_cast<int>(wm.headX) + kArenaViewX,
                                                      static_cast<int>(wm.headY) + kArenaViewY)) {
          count += 5000;
        }
      }
      if (bestCount < 0 || count < bestCount) {
        bestCount = count;
        t.noticeBox = b;
      }
    }
  }
  // Notices on the right side are flush right; the box is as wide as the longest line.
  TextBox box = t.noticeBox;
  const bool right = box.x > kViewWidth / 2;
  const bool bottom = box.y > kViewHeight / 2;
  if (right) box.x = box.Right() - w;
  if (bottom) box.y = box.Bottom() - h;
  box.w = w;
  box.h = h;
  DrawPlate(c, box, 0.65f);
  int y = box.y + 3;
  for (const auto& n : t.notices) {
    DrawSpans(c, g, box.x + 4, y, n.line, 1);
    y += kLine;
  }
}

void DrawResult(Game& g, Canvas& c) {
  const TellState& t = g.tell;
  if (t.result.empty() || t.resultAt < 0) return;
  const bool waiting = g.phase == GamePhase::WaitReady;
  const bool held = g.Now - t.resultAt < kResultHoldSeconds && g.Now >= t.resultAt &&
                    g.phase != GamePhase::GameOver && IsMatchDrawPhase(g.phase);
  if (!waiting && !held) return;
  const TextBox box = ResultLineBox(t.result);
  DrawPlate(c, box, 0.75f);
  DrawSpans(c, g, box.x + 4, box.y + 4, t.result, kResultScale);
}

int HeadlineScale(const MatchResult& r) {
  return SpanWidth(r.headline, 2) <= kViewWidth - 40 ? 2 : 1;
}

void DrawFinal(Game& g, Canvas& c) {
  const MatchResult r = RankMatch(g, g.tell.names);
  const TextBox head = FinalHeadlineBox(r);
  const std::vector<TextBox> ranks = FinalRankBoxes(r);
  TextBox plate = head;
  for (const TextBox& b : ranks) {
    const int x = std::min(plate.x, b.x), y = std::min(plate.y, b.y);
    plate = {x, y, std::max(plate.Right(), b.Right()) - x,
             std::max(plate.Bottom(), b.Bottom()) - y};
  }
  DrawPlate(c, Inflated(plate, 6), 0.75f);
  DrawSpans(c, g, head.x, head.y, r.headline, HeadlineScale(r));
  for (size_t i = 0; i < r.ranks.size() && i < ranks.size(); ++i) {
    const RankLine& line = r.ranks[i];
    int x = DrawSpans(c, g, ranks[i].x, ranks[i].y, line.text, kRankScale);
    for (int slot : line.members) {
      c.SetPenAlpha(1.0f);
      c.SetPenColour(ShownColour(g.presentation, slot));
      c.FillRect(static_cast<float>(x), static_cast<float>(ranks[i].y + 2),
                 static_cast<float>(x + 10), static_cast<float>(ranks[i].y + 12));
      x += 14;
    }
  }
}

}  // namespace

const char* KindTitle(WormKind kind) { return KindTextOf(kind).title; }

const char* KindAbility(WormKind kind) { return KindTextOf(kind).ability; }

std::vector<WormLabel> MakeWormLabels(const Game& g, const SlotNames& names, bool full) {
  std::vector<WormLabel> labels;
  for (int s = 0; s < kPlayerSlots; ++s) {
    const PlayerSetup& p = g.settings.players[static_cast<size_t>(s)];
    const TCerv& w = g.Worm(s);
    if (!TakesPart(p) || !w.alive) continue;
    WormLabel l;
    l.slot = s;
    l.person = IsHumanSlot(p);
    const KindText kind = KindTextOf(w.kind);
    std::string head = SlotName(names, s) + " " + kind.title;
    if (g.match.TeamMode != 0) head += " team " + std::to_string(TeamOfSlot(g, s));
    if (!l.person) head += " cpu";
    l.lines.push_back(head);
    if (full) l.lines.push_back(std::string(kind.held ? "hold: " : "fire: ") + kind.ability);
    if (l.person) {
      l.lines.push_back("turn " + ShortKeyName(KeyName(g, w.leftKey)) + " / " +
                        ShortKeyName(KeyName(g, w.rightKey)) + "  fire " +
                        ShortKeyName(KeyName(g, w.fireKey)));
    }
    int width = 0;
    for (const std::string& line : l.lines) width = std::max(width, TextWidth(line, kLabelScale));
    l.box = {0, 0, width + 2 * kLabelPadding,
             static_cast<int>(l.lines.size()) * kLabelLineHeight + 2 * kLabelPadding - 2};
    l.wormX = static_cast<float>(w.tailX + kArenaViewX);
    l.wormY = static_cast<float>(w.tailY + kArenaViewY);
    l.heading = static_cast<float>(w.heading);
    labels.push_back(std::move(l));
  }
  return labels;
}

LabelArea MatchLabelArea() {
  LabelArea a;
  // Inside the arena's frame: the HUD above it and the energy bars beside and below it
  // stay uncovered.
  a.bounds = {kArenaViewX + 1, kArenaViewY + 1, kArenaWidth - 1, kArenaHeight - 1};
  // "get_ready", then "3", "2", "1", "go!" in the middle.
  a.preferFree.push_back({205, 215, 230, 85});
  return a;
}

bool LayOutLabels(std::vector<WormLabel>& labels, const LabelArea& area, bool besideWorms) {
  if (labels.empty()) return true;
  if (!besideWorms) {
    // Rows by slot from the arena's top; nothing gives away where anyone starts.
    int widest = 0, tallest = 0;
    for (const WormLabel& l : labels) {
      widest = std::max(widest, l.box.w);
      tallest = std::max(tallest, l.box.h);
    }
    const int columns = std::max(1, std::min(3, area.bounds.w / (widest + 6)));
    bool all = true;
    for (size_t i = 0; i < labels.size(); ++i) {
      const int col = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
      TextBox b{area.bounds.x + 4 + col * (widest + 6), area.bounds.y + 4 + row * (tallest + 4),
                labels[i].box.w, labels[i].box.h};
      if (!area.bounds.Contains(b)) {
        b = {0, 0, b.w, 0};
        all = false;
      }
      labels[i].box = b;
    }
    return all;
  }
  std::vector<std::vector<std::pair<int, int>>> crawls;
  crawls.reserve(labels.size());
  for (const WormLabel& l : labels) crawls.push_back(CrawlPoints(l));
  const std::vector<WormLabel> sized = labels;
  // Greedy, in a few orders: slot order first, then the most crowded worms first.
  std::vector<size_t> order(labels.size());
  std::iota(order.begin(), order.end(), 0);
  std::vector<std::vector<size_t>> orders{order};
  std::vector<size_t> crowded = order;
  auto crowding = [&](size_t i) {
    int near = 0;
    for (const WormLabel& o : sized) {
      const float dx = o.wormX - sized[i].wormX, dy = o.wormY - sized[i].wormY;
      if (dx * dx + dy * dy < 160.0f * 160.0f) ++near;
    }
    return near;
  };
  std::stable_sort(crowded.begin(), crowded.end(),
                   [&](size_t a, size_t b) { return crowding(a) > crowding(b); });
  orders.push_back(crowded);
  std::vector<size_t> byY = order;
  std::stable_sort(byY.begin(), byY.end(),
                   [&](size_t a, size_t b) { return sized[a].wormY < sized[b].wormY; });
  orders.push_back(byY);
  orders.emplace_back(order.rbegin(), order.rend());
  for (const auto& o : orders) {
    labels = sized;
    if (PlaceInOrder(labels, o, area, crawls)) return true;
  }
  labels = sized;
  PlaceInOrder(labels, order, area, crawls);
  return false;
}

std::vector<WormLabel> RoundLabels(const Game& g, const SlotNames& names, const LabelArea& area) {
  const bool beside = g.settings.game.positions != 0;
  std::vector<WormLabel> labels = MakeWormLabels(g, names, true);
  if (LayOutLabels(labels, area, beside)) return labels;
  labels = MakeWormLabels(g, names, false);
  LayOutLabels(labels, area, beside);
  return labels;
}

SpanLine NoticeSpans(const MatchEvent& death, const SlotNames& names) {
  const std::string line = DeathNotice(death, names);
  const std::string dead = SlotName(names, death.value);
  SpanLine spans{{dead, death.value}};
  std::string rest = line.substr(dead.size());
  const int by = death.blame.by;
  if (by >= 0 && by < kPlayerSlots && by != death.value) {
    const std::string killer = " " + SlotName(names, by) + "'s ";
    const size_t at = rest.find(killer);
    if (at != std::string::npos) {
      spans.push_back({rest.substr(0, at + 1), -1});
      spans.push_back({SlotName(names, by), by});
      rest = rest.substr(at + killer.size() - 3);
    }
  }
  if (!rest.empty()) spans.push_back({rest, -1});
  return spans;
}

std::vector<MatchEvent> FirstDeaths(const std::vector<MatchEvent>& raised) {
  std::vector<MatchEvent> first;
  std::array<bool, kPlayerSlots> told{};
  for (const MatchEvent& e : raised) {
    if (e.kind == MatchEvent::Kind::RoundPrepared) told.fill(false);
    if (e.kind != MatchEvent::Kind::Death || e.value < 0 || e.value >= kPlayerSlots) continue;
    if (told[static_cast<size_t>(e.value)]) continue;
    told[static_cast<size_t>(e.value)] = true;
    first.push_back(e);
  }
  return first;
}

SpanLine RoundResultLine(int round, int winner, bool teams, const SlotNames& names) {
  SpanLine line{{"round " + std::to_string(round) + ": ", -1}};
  if (winner < 0) {
    line.push_back({"a draw", -1});
  } else if (teams) {
    line.push_back({"team " + std::to_string(winner) + " wins", -1});
  } else {
    line.push_back({SlotName(names, winner), winner});
    line.push_back({" wins", -1});
  }
  return line;
}

MatchResult RankMatch(const Match& m, const SlotNames& names) {
  MatchResult r;
  struct Entry {
    int who, wins;
  };
  std::vector<Entry> entries;
  const bool teams = m.match.TeamMode != 0;
  if (teams) {
    for (int team = 0; team < 4; ++team) {
      bool used = false;
      for (int s = 0; s < kPlayerSlots; ++s) {
        used = used || (TakesPart(m.settings.players[static_cast<size_t>(s)]) &&
                        TeamOfSlot(m, s) == team + 1);
      }
      if (used) entries.push_back({team, m.match.TeamWins[static_cast<size_t>(team)]});
    }
  } else {
    for (int s = 0; s < kPlayerSlots; ++s) {
      if (TakesPart(m.settings.players[static_cast<size_t>(s)])) {
        entries.push_back({s, m.match.RoundWins[static_cast<size_t>(s)]});
      }
    }
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.wins > b.wins; });
  auto nameSpan = [&](int who) -> TextSpan {
    if (teams) return {"team " + std::to_string(who + 1), -1};
    return {SlotName(names, who), who};
  };
  for (size_t i = 0; i < entries.size(); ++i) {
    RankLine line;
    line.who = entries[i].who;
    line.wins = entries[i].wins;
    line.place =
        i > 0 && entries[i - 1].wins == line.wins ? r.ranks.back().place : static_cast<int>(i) + 1;
    line.text = {{std::to_string(line.place) + ". ", -1},
                 nameSpan(line.who),
                 {"  " + Rounds(line.wins), -1}};
    if (teams) {
      line.text.back().text += " ";
      for (int s = 0; s < kPlayerSlots; ++s) {
        if (TakesPart(m.settings.players[static_cast<size_t>(s)]) &&
            TeamOfSlot(m, s) == line.who + 1) {
          line.members.push_back(s);
        }
      }
    }
    r.ranks.push_back(std::move(line));
  }
  if (entries.empty()) return r;
  size_t tied = 1;
  while (tied < entries.size() && entries[tied].wins == entries[0].wins) ++tied;
  if (tied == 1) {
    r.headline = {nameSpan(entries[0].who), {" wins the match", -1}};
  } else if (tied <= 3) {
    r.headline = {{"a tie: ", -1}};
    for (size_t i = 0; i < tied; ++i) {
      if (i > 0) r.headline.push_back({i + 1 == tied ? " and " : ", ", -1});
      r.headline.push_back(nameSpan(entries[i].who));
    }
  } else {
    r.headline = {{"a tie between " + std::to_string(tied) + (teams ? " teams" : " players"), -1}};
  }
  return r;
}

TextBox FinalHeadlineBox(const MatchResult& r) {
  const int scale = HeadlineScale(r);
  const int w = SpanWidth(r.headline, scale);
  return {kViewWidth / 2 - w / 2, 134, w, TextHeight(scale)};
}

std::vector<TextBox> FinalRankBoxes(const MatchResult& r) {
  int widest = 0;
  for (const RankLine& l : r.ranks) {
    widest =
        std::max(widest, SpanWidth(l.text, kRankScale) + static_cast<int>(l.members.size()) * 14);
  }
  std::vector<TextBox> boxes;
  const int x = kViewWidth / 2 - widest / 2;
  for (size_t i = 0; i < r.ranks.size(); ++i) {
    const RankLine& l = r.ranks[i];
    boxes.push_back({x, 158 + static_cast<int>(i) * kRankLineHeight,
                     SpanWidth(l.text, kRankScale) + static_cast<int>(l.members.size()) * 14,
                     TextHeight(kRankScale)});
  }
  return boxes;
}

TextBox ResultLineBox(const SpanLine& line) {
  const int w = SpanWidth(line, kResultScale) + 8;
  return {kViewWidth / 2 - w / 2, 154, w, TextHeight(kResultScale) + 8};
}

std::string SpanText(const SpanLine& line) {
  std::string s;
  for (const TextSpan& span : line) s += span.text;
  return s;
}

int DrawSpans(Canvas& c, const Game& g, int x, int y, const SpanLine& line, int scale) {
  for (const TextSpan& span : line) x = DrawText(c, x, y, span.text, SpanColour(g, span), scale);
  return x;
}

void ForgetTellings(TellState& t, bool result) {
  t.notices.clear();
  t.noticeBox = {};
  for (auto& m : t.markers) m.since = -1;
  t.labels.clear();
  if (result) {
    t.result.clear();
    t.resultAt = -1;
  }
}

void TellMatchEvents(Game& g) {
  if (!g.presentation.Extras()) return;
  TellState& t = g.tell;
  for (const MatchEvent& e : g.events.raised) {
    switch (e.kind) {
      case MatchEvent::Kind::RoundPrepared: ForgetTellings(t, false); break;
      case MatchEvent::Kind::RoundScored:
        t.result = RoundResultLine(g.match.Scored.empty() ? 1 : g.match.Scored.back().round,
                                   e.value, g.match.TeamMode != 0, t.names);
        t.resultAt = g.Now;
        break;
      case MatchEvent::Kind::MatchOver:
        t.result.clear();
        t.resultAt = -1;
        break;
      default: break;
    }
  }
  for (const MatchEvent& e : FirstDeaths(g.events.raised)) {
    t.notices.push_back({NoticeSpans(e, t.names), g.Now});
    while (t.notices.size() > static_cast<size_t>(kNoticeLines)) t.notices.erase(t.notices.begin());
    TellState::Marker& m = t.markers[static_cast<size_t>(e.value)];
    const TCerv& w = g.Worm(e.value);
    m.since = g.Now;
    m.x = w.ripLook.visible ? w.ripLook.x : static_cast<float>(w.headX + kArenaViewX);
    m.y = w.ripLook.visible ? w.ripLook.y : static_cast<float>(w.headY + kArenaViewY);
  }
}

void DrawTellings(Game& g, Canvas& c) {
  if (!g.presentation.Extras() || !IsMatchDrawPhase(g.phase)) return;
  DrawOwners(g, c);
  DrawMarkers(g, c);
  if (IsCountdownPhase(g.phase)) DrawLabels(g, c);
  DrawNotices(g, c);
  if (g.phase == GamePhase::GameOver) {
    DrawFinal(g, c);
  } else {
    DrawResult(g, c);
  }
}

}  // namespace tdx
