// What machines say to each other: every kind comes back as it was sent, the bytes are laid
// out as the other machines read them, and anything a stranger could send that breaks a
// packet's rules is refused with the reason, never read past its end.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "net/packets.h"

namespace tdx::net {

// Field-by-field equality, so a packet read back can be compared with the one sent without
// trusting the encoder. Raw blocks compare as their bytes.
bool operator==(const Hello& a, const Hello& b) {
  return std::tie(a.version, a.protocol, a.rules, a.layout, a.name, a.watcher) ==
             std::tie(b.version, b.protocol, b.rules, b.layout, b.name, b.watcher) &&
         std::equal(a.players.begin(), a.players.end(), b.players.begin(), b.players.end(),
                    [](const PlayerSetup& x, const PlayerSetup& y) {
                      return std::memcmp(&x, &y, sizeof x) == 0;
                    });
}
bool operator==(const Refuse& a, const Refuse& b) { return a.reason == b.reason; }
bool operator==(const Welcome& a, const Welcome& b) { return a.machine == b.machine; }
bool operator==(const LobbyMachine& a, const LobbyMachine& b) {
  return std::tie(a.machine, a.name, a.roundTripMs, a.slots, a.watcher, a.people) ==
         std::tie(b.machine, b.name, b.roundTripMs, b.slots, b.watcher, b.people);
}
bool operator==(const Lobby& a, const Lobby& b) { return a.machines == b.machines; }
bool operator==(const Start& a, const Start& b) {
  return std::tie(a.seed, a.teamMode, a.inputDelay, a.startFrame, a.owner) ==
             std::tie(b.seed, b.teamMode, b.inputDelay, b.startFrame, b.owner) &&
         std::memcmp(&a.setup, &b.setup, sizeof a.setup) == 0;
}
bool operator==(const Inputs& a, const Inputs& b) {
  return std::tie(a.machine, a.slots, a.firstFrame, a.ackFrame, a.frames) ==
         std::tie(b.machine, b.slots, b.firstFrame, b.ackFrame, b.frames);
}
bool operator==(const Digest& a, const Digest& b) {
  return a.frame == b.frame && a.digest == b.digest;
}
bool operator==(const Desync& a, const Desync& b) { return a.frame == b.frame; }
bool operator==(const TakeOver& a, const TakeOver& b) {
  return std::tie(a.slots, a.fromFrame, a.machine) == std::tie(b.slots, b.fromFrame, b.machine);
}
bool operator==(const Bye& a, const Bye& b) { return a.reason == b.reason; }
bool operator==(const Probe& a, const Probe& b) { return a.protocol == b.protocol; }
bool operator==(const ProbeReply& a, const ProbeReply& b) {
  return std::tie(a.port, a.name, a.machines, a.started) ==
         std::tie(b.port, b.name, b.machines, b.started);
}

}  // namespace tdx::net

using namespace tdx;
using namespace tdx::net;

namespace {

using Bytes = std::vector<uint8_t>;

// Every printable character once, cycled to the length wanted.
std::string Printable(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>(0x20 + i % 95);
  return s;
}

PlayerSetup Player(uint8_t seed) {
  PlayerSetup s{};
  std::memset(&s, seed, sizeof s);
  s.controller = static_cast<uint8_t>(CtrlHuman + seed % 3);
  s.team = static_cast<uint8_t>(1 + seed % 4);
  return s;
}

// Each kind with representative values, the limits among them: the longest texts, twelve
// players, twelve machines, 64 frames of twelve slots, the largest numbers.
std::vector<Packet> Samples() {
  std::vector<Packet> out;

  Hello full;
  full.version = Printable(kMaxText);
  full.protocol = 0xA1B2C3D4;
  full.rules = 7;
  full.layout = 0xFFFFFFFF;
  full.name = "~" + Printable(kMaxText - 1);
  for (uint8_t i = 0; i < 12; ++i) full.players.push_back(Player(static_cast<uint8_t>(i * 21)));
  out.emplace_back(full);
  Hello watcher;
  watcher.version = "1.0";
  watcher.watcher = true;
  out.emplace_back(watcher);

  out.emplace_back(Refuse{Printable(kMaxReason)});
  out.emplace_back(Welcome{1});
  out.emplace_back(Welcome{static_cast<uint8_t>(kMaxMachines - 1)});

  Lobby lobby;
  for (int i = 0; i < kMaxMachines; ++i) {
    LobbyMachine m;
    m.machine = static_cast<uint8_t>((i * 5) % kMaxMachines);  // any order
    m.name = i == 0 ? Printable(kMaxText) : "m" + std::to_string(i);
    m.roundTripMs = static_cast<uint16_t>(i == 1 ? 0xFFFF : i * 37);
    m.slots = static_cast<uint16_t>(i == 2 ? kAllSlots : (i % 3 == 0 ? 0 : 1u << i));
    m.watcher = i % 3 == 0;
    m.people = static_cast<uint16_t>(m.slots & (i == 2 ? 0x0A5A : kAllSlots));
    lobby.machines.push_back(m);
  }
  out.emplace_back(lobby);
  out.emplace_back(Lobby{});

  Start start;
  start.seed = 0xFEDCBA9876543210ull;
  start.teamMode = 1;
  start.inputDelay = 4;
  start.startFrame = 0xFFFFFFFF;
  auto* raw = reinterpret_cast<uint8_t*>(&start.setup);
  for (size_t i = 0; i < sizeof start.setup; ++i) raw[i] = static_cast<uint8_t>(i * 7 + 3);
  start.owner = {0, 11, kNoMachine, 3, 3, kNoMachine, 5, 6, 7, 8, 9, 10};
  out.emplace_back(start);

  Inputs busy;
  busy.machine = static_cast<uint8_t>(kMaxMachines - 1);
  busy.slots = kAllSlots;
  busy.firstFrame = 0xFFFFFFFF - kMaxInputFrames;  // the last frame that may be sent
  busy.ackFrame = 0xFFFFFFFF;
  for (int f = 0; f < kMaxInputFrames; ++f) {
    std::vector<uint8_t> row;
    for (int s = 0; s < 12; ++s) row.push_back(static_cast<uint8_t>((f + s) % 8));
    busy.frames.push_back(row);
  }
  out.emplace_back(busy);
  out.emplace_back(Inputs{0, 0x0800, 0, 0, {{7}}});
  out.emplace_back(Inputs{3, 0, 0, 4321, {}});  // a machine without people: what it heard
  out.emplace_back(Inputs{4, 0x0421, 1000, 998, {{1, 2, 4}, {0, 0, 0}, {3, 5, 6}}});

  out.emplace_back(Digest{0x01020304, 0x1122334455667788ull});
  out.emplace_back(Desync{0xFFFFFFFF});
  out.emplace_back(TakeOver{kAllSlots, 123456, static_cast<uint8_t>(kMaxMachines - 1)});
  out.emplace_back(TakeOver{0x0001, 0, 0});
  out.emplace_back(Bye{""});
  out.emplace_back(Bye{"left the match"});
  out.emplace_back(Probe{kProtocol});
  out.emplace_back(Probe{0xFFFFFFFF});
  out.emplace_back(
      ProbeReply{0xFFFF, Printable(kMaxText), static_cast<uint8_t>(kMaxMachines), true});
  out.emplace_back(ProbeReply{1, "", 1, false});
  return out;
}

// Bytes written by hand, as another machine would send them.
struct Wire {
  Bytes b;
  Wire& U8(unsigned v) {
    b.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  Wire& U16(unsigned v) { return U8(v & 0xFF).U8(v >> 8); }
  Wire& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Wire& U64(uint64_t v) {
    return U32(static_cast<uint32_t>(v)).U32(static_cast<uint32_t>(v >> 32));
  }
  Wire& Text(const std::string& s) {
    U8(static_cast<unsigned>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  Wire& Fill(size_t n, uint8_t v) {
    b.insert(b.end(), n, v);
    return *this;
  }
};

bool DecodeBytes(const Bytes& b, Packet& p, std::string& error) {
  return Decode(b.data(), b.size(), p, error);
}

std::string Show(const Bytes& b) {
  std::string s;
  for (uint8_t c : b) s += std::to_string(c) + " ";
  return s;
}

// ---------------------------------------------------------------- round trips and layout

TEST(NetPackets, EveryKindComesBackAsSent) {
  std::vector<bool> kindSeen(13, false);
  for (const Packet& p : Samples()) {
    SCOPED_TRACE(KindName(KindOf(p)));
    const Bytes b = Encode(p);
    ASSERT_FALSE(b.empty());
    EXPECT_LE(b.size(), kMaxPacket);
    EXPECT_EQ(b[0], static_cast<uint8_t>(KindOf(p)));
    kindSeen[b[0]] = true;
    Packet back = Bye{"stale"};
    std::string error;
    ASSERT_TRUE(DecodeBytes(b, back, error)) << error;
    EXPECT_EQ(back, p);
  }
  for (int k = 1; k <= 12; ++k) EXPECT_TRUE(kindSeen[k]) << "no sample of kind " << k;
}

TEST(NetPackets, BytesAreLaidOutAsOtherMachinesReadThem) {
  PlayerSetup player = Player(9);
  const auto* pb = reinterpret_cast<const uint8_t*>(&player);
  Wire hello =
      Wire().U8(1).Text("v2").U32(0x04030201).U32(5).U32(0x0A0B0C0D).Text("Ann").U8(0).U8(1);
  hello.b.insert(hello.b.end(), pb, pb + sizeof player);

  Start start;
  start.seed = 0x0102030405060708ull;
  start.teamMode = 1;
  start.inputDelay = 3;
  start.startFrame = 0x11223344;
  std::memset(&start.setup, 0x5A, sizeof start.setup);
  start.owner.fill(kNoMachine);
  start.owner[0] = 2;

  const struct {
    Packet packet;
    Bytes bytes;
  } cases[] = {
      {Hello{"v2", 0x04030201, 5, 0x0A0B0C0D, "Ann", false, {player}}, hello.b},
      {Refuse{"full"}, Wire().U8(2).Text("full").b},
      {Welcome{3}, {3, 3}},
      {Lobby{{{2, "Bo", 0x0102, 0x0801, true, 0x0800}}},
       Wire().U8(4).U8(1).U8(2).Text("Bo").U16(0x0102).U16(0x0801).U8(1).U16(0x0800).b},
      {start, Wire()
                  .U8(5)
                  .U64(0x0102030405060708ull)
                  .U8(1)
                  .U8(3)
                  .U32(0x11223344)
                  .Fill(164, 0x5A)
                  .U8(2)
                  .Fill(11, kNoMachine)
                  .b},
      // Slots 0 and 5: three bits a control, slot by slot, frame by frame, from the lowest
      // bit: 1, 2, 4, 0 make 0b000'100'010'001.
      {Inputs{7, 0x0021, 0x01020304, 0x0A0B0C0D, {{1, 2}, {4, 0}}},
       Wire().U8(6).U8(7).U16(0x0021).U32(0x01020304).U32(0x0A0B0C0D).U8(2).U8(0x11).U8(0x01).b},
      {Digest{0x01020304, 0x1122334455667788ull},
       Wire().U8(7).U32(0x01020304).U64(0x1122334455667788ull).b},
      {Desync{0xA0B0C0D0}, Wire().U8(8).U32(0xA0B0C0D0).b},
      {TakeOver{0x0102, 0x03040506, 9}, Wire().U8(9).U16(0x0102).U32(0x03040506).U8(9).b},
      {Bye{""}, {10, 0}},
      {Probe{0x01020304}, Wire().U8(11).U32(0x01020304).b},
      {ProbeReply{24512, "Host", 3, true}, Wire().U8(12).U16(24512).Text("Host").U8(3).U8(1).b},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(KindName(KindOf(c.packet)));
    EXPECT_EQ(Show(Encode(c.packet)), Show(c.bytes));
    Packet back;
    std::string error;
    EXPECT_TRUE(DecodeBytes(c.bytes, back, error)) << error;
    EXPECT_EQ(back, c.packet);
  }
}

// ---------------------------------------------------------------- what a stranger may send

Bytes HelloBytes(const std::string& version, const std::string& name, unsigned watcher,
                 unsigned players) {
  return Wire()
      .U8(1)
      .Text(version)
      .U32(kProtocol)
      .U32(0)
      .U32(0)
      .Text(name)
      .U8(watcher)
      .U8(players)
      .Fill(players * sizeof(PlayerSetup), 2)
      .b;
}

// Machines numbered from `first`, one step apart unless `same`.
Bytes LobbyBytes(unsigned count, unsigned first, bool same, unsigned slots, unsigned watcher,
                 unsigned people = 0) {
  Wire w = Wire().U8(4).U8(count);
  for (unsigned i = 0; i < count; ++i) {
    w.U8(same ? first : first + i).Text("m").U16(10).U16(slots).U8(watcher).U16(people);
  }
  return w.b;
}

Bytes StartBytes(unsigned teamMode, unsigned delay, uint8_t lastOwner) {
  return Wire().U8(5).U64(1).U8(teamMode).U8(delay).U32(0).Fill(164, 0).Fill(11, 0).U8(lastOwner).b;
}

Bytes InputsBytes(unsigned machine, uint16_t slots, uint32_t first, unsigned frames,
                  uint8_t control) {
  return Wire()
      .U8(6)
      .U8(machine)
      .U16(slots)
      .U32(first)
      .U32(0)
      .U8(frames)
      .Fill((frames * static_cast<size_t>(std::popcount(slots)) * 3 + 7) / 8, control)
      .b;
}

TEST(NetPackets, BrokenPacketsAreRefusedWithTheReason) {
  const struct {
    const char* what;
    Bytes bytes;
    const char* reason;  // a word the refusal must hold
  } cases[] = {
      {"nothing", {}, "empty"},
      {"longer than any packet", Bytes(kMaxPacket + 1, 10), "at most 1200"},
      {"kind 0", {0}, "unknown kind 0"},
      {"kind after the last", {13}, "unknown kind 13"},
      {"kind 99", {99, 1, 2}, "unknown kind 99"},
      {"cut inside a field", {7, 1, 2, 3}, "cut short"},
      {"a byte after the last field", {3, 1, 0}, "1 stray byte"},
      {"three bytes after the last field", {10, 0, 1, 2, 3}, "3 stray bytes"},

      {"Hello name with a control character", HelloBytes("1", "a\tb", 0, 0),
       "name is not printable"},
      {"Hello name with DEL", HelloBytes("1", "a\x7f", 0, 0), "name is not printable"},
      {"Hello name with a high byte", HelloBytes("1", "\xe9t\xe9", 0, 0), "not printable"},
      {"Hello name too long", HelloBytes("1", Printable(kMaxText + 1), 0, 0), "name is 65"},
      {"Hello version too long", HelloBytes(Printable(255), "a", 0, 0), "version is 255"},
      {"Hello 13 players", HelloBytes("1", "a", 0, 13), "13 players, at most 12"},
      // Refused on the count, before any player is read.
      {"Hello 255 players",
       Wire().U8(1).Text("1").U32(kProtocol).U32(0).U32(0).Text("a").U8(0).U8(255).b,
       "255 players"},
      {"Hello watcher bringing players", HelloBytes("1", "a", 1, 1), "watcher brings no players"},
      {"Hello watcher byte 2", HelloBytes("1", "a", 2, 0), "watcher byte 2"},

      {"Refuse reason too long", Wire().U8(2).Text(Printable(kMaxReason + 1)).b, "reason is 201"},
      {"Bye reason with a newline", Wire().U8(10).Text("bye\n").b, "reason is not printable"},

      {"Welcome the host's number", {3, 0}, "machine 0"},
      {"Welcome beyond the machines", {3, 12}, "machine 12"},

      {"Lobby 13 machines", LobbyBytes(13, 0, false, 0, 0), "13 machines, at most 12"},
      {"Lobby machine 12", LobbyBytes(2, 11, false, 0, 0), "machine 12"},
      {"Lobby machine listed twice", LobbyBytes(2, 3, true, 0, 0), "machine 3 listed twice"},
      {"Lobby slots beyond the twelve", LobbyBytes(1, 0, false, 0x1000, 0), "beyond the twelve"},
      {"Lobby name not printable",
       Wire().U8(4).U8(1).U8(0).Text("a\x01").U16(0).U16(0).U8(0).U16(0).b,
       "name is not printable"},
      {"Lobby watcher byte 255", LobbyBytes(1, 0, false, 0, 255), "watcher byte 255"},
      {"Lobby people outside the slots", LobbyBytes(1, 0, false, 0x0003, 0, 0x0004),
       "people 0x4 outside its slots 0x3"},

      {"Start team mode 2", StartBytes(2, 0, 0), "team mode 2"},
      {"Start input delay 5", StartBytes(0, 5, 0), "input delay 5"},
      {"Start owner 12", StartBytes(0, 0, 12), "slot 12 owner 12"},
      {"Start owner 254", StartBytes(0, 0, 254), "owner 254"},

      {"Inputs machine 12", InputsBytes(12, 1, 0, 1, 0), "machine 12"},
      {"Inputs no slots but a frame", InputsBytes(0, 0, 0, 1, 0), "1 frames, at most 0"},
      {"Inputs slot 13", InputsBytes(0, 0x1001, 0, 1, 0), "slots 0x1001 beyond the twelve"},
      {"Inputs no frames", InputsBytes(0, 1, 0, 0, 0), "0 frames, at least 1"},
      {"Inputs 65 frames", InputsBytes(0, 1, 0, kMaxInputFrames + 1, 0), "65 frames, at most 64"},
      {"Inputs 70 frames", InputsBytes(0, 0x0FFF, 0, 70, 0), "70 frames, at most 64"},
      {"Inputs bits past the last control", InputsBytes(0, 3, 0, 2, 0xF0), "stray bits"},
      {"Inputs a control of eight bits", InputsBytes(0, 1, 0, 1, 0xFF), "stray bits"},
      {"Inputs past the last frame number", InputsBytes(0, 1, 0xFFFFFFFF - 63, 64, 0),
       "past the last frame"},
      {"Inputs at the last frame number", InputsBytes(0, 1, 0xFFFFFFFF, 1, 0),
       "past the last frame"},

      {"TakeOver no slots", Wire().U8(9).U16(0).U32(0).U8(0).b, "no slots"},
      {"TakeOver slot 16", Wire().U8(9).U16(0x8000).U32(0).U8(0).b, "beyond the twelve"},
      {"TakeOver machine 12", Wire().U8(9).U16(1).U32(0).U8(12).b, "machine 12"},

      {"ProbeReply port 0", Wire().U8(12).U16(0).Text("h").U8(1).U8(0).b, "port 0"},
      {"ProbeReply no machines", Wire().U8(12).U16(1).Text("h").U8(0).U8(0).b, "0 machines"},
      {"ProbeReply 13 machines", Wire().U8(12).U16(1).Text("h").U8(13).U8(0).b, "13 machines"},
      {"ProbeReply name too long", Wire().U8(12).U16(1).Text(Printable(65)).U8(1).U8(0).b,
       "name is 65"},
      {"ProbeReply started byte 2", Wire().U8(12).U16(1).Text("h").U8(1).U8(2).b, "started byte 2"},
  };
  const Packet before = Refuse{"as it was"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Packet p = before;
    std::string error;
    EXPECT_FALSE(DecodeBytes(c.bytes, p, error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << "error: " << error;
    EXPECT_EQ(p, before) << "a refused packet changed the caller's";
  }
}

TEST(NetPackets, RefusalsNameTheKind) {
  Packet p;
  std::string error;
  EXPECT_FALSE(DecodeBytes(InputsBytes(0, 1, 0, 70, 0), p, error));
  EXPECT_EQ(error, "Inputs: 70 frames, at most 64");
  EXPECT_FALSE(DecodeBytes(HelloBytes("1", "\x01", 0, 0), p, error));
  EXPECT_EQ(error, "Hello: name is not printable");
}

TEST(NetPackets, EveryCutAndEveryExtraByteIsRefused) {
  for (const Packet& p : Samples()) {
    SCOPED_TRACE(KindName(KindOf(p)));
    const Bytes b = Encode(p);
    Packet out;
    std::string error;
    for (size_t n = 1; n < b.size(); ++n) {
      // Exactly n bytes, so the sanitizer sees any read past the end.
      const Bytes cut(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
      EXPECT_FALSE(DecodeBytes(cut, out, error)) << n << " bytes";
      EXPECT_NE(error.find("cut short"), std::string::npos) << n << " bytes: " << error;
    }
    Bytes longer = b;
    longer.push_back(0);
    EXPECT_FALSE(DecodeBytes(longer, out, error));
    EXPECT_NE(error.find("stray"), std::string::npos) << error;
  }
}

// ---------------------------------------------------------------- what the sender may not send

TEST(NetPackets, PacketsBreakingTheirRulesAreNotEncoded) {
  auto frames = [](size_t n, std::vector<uint8_t> row) {
    return std::vector<std::vector<uint8_t>>(n, row);
  };
  LobbyMachine m0{0, "a", 0, 1, false};
  LobbyMachine m12{12, "a", 0, 1, false};
  Lobby thirteen;
  for (int i = 0; i < 13; ++i)
    thirteen.machines.push_back({static_cast<uint8_t>(i), "", 0, 0, false});
  Hello manyPlayers{"1", kProtocol, 0, 0, "a", false, std::vector<PlayerSetup>(13, Player(1))};
  Start lateOwner;
  lateOwner.owner[11] = 12;

  const struct {
    const char* what;
    Packet packet;
  } cases[] = {
      {"Hello version too long", Hello{Printable(kMaxText + 1), kProtocol, 0, 0, "a", false, {}}},
      {"Hello name not printable", Hello{"1", kProtocol, 0, 0, "tab\t", false, {}}},
      {"Hello name with a high byte", Hello{"1", kProtocol, 0, 0, "\x80", false, {}}},
      {"Hello 13 players", manyPlayers},
      {"Hello watcher with players", Hello{"1", kProtocol, 0, 0, "a", true, {Player(1)}}},
      {"Refuse reason too long", Refuse{Printable(kMaxReason + 1)}},
      {"Refuse reason with a newline", Refuse{"no\n"}},
      {"Welcome machine 0", Welcome{0}},
      {"Welcome machine 12", Welcome{12}},
      {"Lobby 13 machines", thirteen},
      {"Lobby machine 12", Lobby{{m12}}},
      {"Lobby machine twice", Lobby{{m0, m0}}},
      {"Lobby name too long", Lobby{{{1, Printable(kMaxText + 1), 0, 0, false}}}},
      {"Lobby slots beyond the twelve", Lobby{{{1, "a", 0, 0x2000, false}}}},
      {"Lobby people outside its slots", Lobby{{{1, "a", 0, 0x0003, false, 0x0004}}}},
      {"Start team mode 2", Start{0, 2, 0, 0, {}, {}}},
      {"Start input delay 5", Start{0, 0, 5, 0, {}, {}}},
      {"Start owner 12", lateOwner},
      {"Inputs machine 12", Inputs{12, 1, 0, 0, frames(1, {0})}},
      {"Inputs no slots but a frame", Inputs{0, 0, 0, 0, frames(1, {})}},
      {"Inputs slot 13", Inputs{0, 0x1000, 0, 0, frames(1, {0})}},
      {"Inputs no frames", Inputs{0, 1, 0, 0, {}}},
      {"Inputs 65 frames", Inputs{0, 1, 0, 0, frames(kMaxInputFrames + 1, {0})}},
      {"Inputs row too short", Inputs{0, 3, 0, 0, frames(1, {0})}},
      {"Inputs row too long", Inputs{0, 3, 0, 0, frames(1, {0, 0, 0})}},
      {"Inputs one row of several wrong", Inputs{0, 1, 0, 0, {{1}, {2}, {}, {4}}}},
      {"Inputs control bit 3", Inputs{0, 1, 0, 0, frames(1, {8})}},
      {"Inputs past the last frame number", Inputs{0, 1, 0xFFFFFFFF - 1, 0, frames(2, {0})}},
      {"TakeOver no slots", TakeOver{0, 0, 0}},
      {"TakeOver slot 13", TakeOver{0x1000, 0, 0}},
      {"TakeOver machine 12", TakeOver{1, 0, 12}},
      {"Bye reason not printable", Bye{"\x1b[2J"}},
      {"ProbeReply port 0", ProbeReply{0, "h", 1, false}},
      {"ProbeReply no machines", ProbeReply{1, "h", 0, false}},
      {"ProbeReply 13 machines", ProbeReply{1, "h", 13, false}},
      {"ProbeReply name too long", ProbeReply{1, Printable(kMaxText + 1), 1, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(Encode(c.packet).empty());
  }
}

// ---------------------------------------------------------------- damage at random

// Any bytes at all: never a crash or a read past the end, and whatever is accepted is the
// one way of writing its packet, so it writes back to the same bytes and reads back the same.
TEST(NetPackets, RandomDamageNeverCrashesAndWhatIsReadWritesBack) {
  std::vector<Bytes> valid;
  for (const Packet& p : Samples()) valid.push_back(Encode(p));

  // A small generator of its own: the same damage on every machine and standard library.
  uint64_t state = 0x7A4D121Cull;
  auto rng = [&state] {
    uint64_t z = state += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  };
  auto below = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
  constexpr int kRounds = 200000;
  size_t accepted = 0;
  for (int round = 0; round < kRounds; ++round) {
    Bytes b = valid[below(valid.size())];
    switch (below(6)) {
      case 0:  // a few bits flipped
        for (size_t k = 1 + below(4); k > 0; --k) b[below(b.size())] ^= 1u << below(8);
        break;
      case 1:  // a few bytes changed, often to a value at a limit
        for (size_t k = 1 + below(3); k > 0; --k) {
          static constexpr uint8_t kEdges[] = {0, 1, 2, 3, 4, 5, 7, 8, 11, 12, 13, 63, 64, 65, 255};
          b[below(b.size())] =
              below(2) == 0 ? kEdges[below(std::size(kEdges))] : static_cast<uint8_t>(rng());
        }
        break;
      case 2:  // cut
        b.resize(below(b.size() + 1));
        break;
      case 3:  // bytes put in
        for (size_t k = 1 + below(4); k > 0; --k) {
          b.insert(b.begin() + static_cast<std::ptrdiff_t>(below(b.size() + 1)),
                   static_cast<uint8_t>(rng()));
        }
        break;
      case 4:  // bytes taken out
        for (size_t k = 1 + below(4); k > 0 && !b.empty(); --k) {
          b.erase(b.begin() + static_cast<std::ptrdiff_t>(below(b.size())));
        }
        break;
      default:  // noise, a known kind in front of it half the time
        b.resize(below(1301));
        for (size_t i = 0; i < b.size(); i += 8) {
          const uint64_t r = rng();
          std::memcpy(&b[i], &r, std::min<size_t>(8, b.size() - i));
        }
        if (!b.empty() && below(2) == 0) b[0] = static_cast<uint8_t>(1 + below(12));
        break;
    }
    // A copy of exactly its length, so the sanitizer sees any read past the end.
    const Bytes exact = b;
    Packet p;
    std::string error;
    if (!DecodeBytes(exact, p, error)) {
      ASSERT_FALSE(error.empty());
      continue;
    }
    ++accepted;
    const Bytes again = Encode(p);
    ASSERT_TRUE(again == b) << "round " << round << ": read " << Show(b) << "wrote " << Show(again);
    Packet back;
    ASSERT_TRUE(DecodeBytes(again, back, error)) << error;
    ASSERT_EQ(back, p) << "round " << round;
  }
  // Damage that still makes a valid packet must come up often enough to test the writing back.
  EXPECT_GT(accepted, static_cast<size_t>(kRounds / 20));
}

}  // namespace
