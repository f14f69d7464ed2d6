// What machines of a network match say to each other, as bytes. Every packet comes from a
// stranger: it is read whole, field by field, and refused with the reason when anything in
// it is cut short, too long, out of its table or not what its kind allows. Nothing read
// from a packet is trusted further than these checks.
//
// A packet is its kind (one byte) and its fields, little-endian, with no padding. Texts are
// a length byte and printable ASCII. A packet is never longer than kMaxPacket.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "match/setup.h"

namespace tdx::net {

// The conversation's own version: a machine speaking another is refused when it joins.
inline constexpr uint32_t kProtocol = 1;
inline constexpr uint16_t kDefaultPort = 24512;
inline constexpr uint16_t kDiscoveryPort = 24513;  // where hosts answer probes
inline constexpr size_t kMaxPacket = 1200;
inline constexpr size_t kMaxText = 64;         // names and versions
inline constexpr size_t kMaxReason = 200;      // a refusal's or a farewell's words
inline constexpr int kMaxMachines = 12;        // the host included
inline constexpr int kMaxInputFrames = 64;     // frames of controls in one packet
inline constexpr uint8_t kNoMachine = 255;     // a slot no machine plays
inline constexpr uint16_t kAllSlots = 0x0FFF;  // the twelve slots as bits

enum class Kind : uint8_t {
  Hello = 1,   // a machine asks to join (or to watch)
  Refuse,      // the host says no, and why
  Welcome,     // the host says yes: the machine's number
  Lobby,       // the host tells everyone who is there
  Start,       // the match begins: everything each machine needs to build it
  Inputs,      // people's controls, frame by frame
  Digest,      // the match's digest at a frame, to prove every machine plays the same
  Desync,      // the digests differed at a frame: the match stops everywhere
  TakeOver,    // from a frame on, slots are played by the computer (their machine fell silent)
  Bye,         // a machine leaves, and why
  Probe,       // a machine on the local network looks for hosts
  ProbeReply,  // a host answers where it listens
};

struct Hello {
  std::string version;  // the game's version, printable, at most kMaxText
  uint32_t protocol = kProtocol;
  uint32_t rules = 0;    // the rules' version
  uint32_t layout = 0;   // the match's record layout figure (same build of the rules)
  std::string name;      // the machine's name, printable, at most kMaxText
  bool watcher = false;  // watches only; brings no players
  // The active slots of the machine's own set-up, in its order (at most 12; none when
  // watching): each with its controller, kind, keys and team.
  std::vector<PlayerSetup> players;
};

struct Refuse {
  std::string reason;  // printable, at most kMaxReason
};

struct Welcome {
  uint8_t machine = 0;  // 1 .. kMaxMachines - 1 (the host is 0)
};

struct LobbyMachine {
  uint8_t machine = 0;  // 0 .. kMaxMachines - 1
  std::string name;     // printable, at most kMaxText
  uint16_t roundTripMs = 0;
  uint16_t slots = 0;  // the slots its people and computer players take (bits of kAllSlots)
  bool watcher = false;
  uint16_t people = 0;  // those of its slots people play
};

struct Lobby {
  std::vector<LobbyMachine> machines;  // at most kMaxMachines, each machine once
};

struct Start {
  uint64_t seed = 0;
  uint8_t teamMode = 0;             // 0 deathmatch, 1 team deathmatch
  uint8_t inputDelay = 0;           // frames, 0 .. 4
  uint32_t startFrame = 0;          // the first frame of the match (0 for a fresh match)
  SettingsBlock setup{};            // the whole match set-up, the slots of every machine in it
  std::array<uint8_t, 12> owner{};  // per slot: the machine playing it, or kNoMachine
};

// The controls of the people of one machine (`machine`), for frames firstFrame ..
// firstFrame + frames.size() - 1. Each frame holds one byte per slot set in `slots`, in
// slot order: bit 0 left, 1 right, 2 fire (nothing else may be set); on the wire each takes
// three bits, packed one after another. The host passes every
// machine's packets on to the others unchanged.
struct Inputs {
  uint8_t machine = 0;
  uint16_t slots = 0;  // within kAllSlots; none: a machine without people says what it heard
  uint32_t firstFrame = 0;
  uint32_t ackFrame = 0;  // the sender has every machine's controls for all frames before this
  std::vector<std::vector<uint8_t>> frames;  // 1 .. kMaxInputFrames frames (none without slots)
};

struct Digest {
  uint32_t frame = 0;
  uint64_t digest = 0;
};

struct Desync {
  uint32_t frame = 0;
};

struct TakeOver {
  uint16_t slots = 0;  // nonzero, within kAllSlots
  uint32_t fromFrame = 0;
  uint8_t machine = 0;  // whose slots they were
};

struct Bye {
  std::string reason;  // printable, at most kMaxReason
};

struct Probe {
  uint32_t protocol = kProtocol;
};

struct ProbeReply {
  uint16_t port = 0;     // nonzero
  std::string name;      // the host machine's name, printable, at most kMaxText
  uint8_t machines = 0;  // 1 .. kMaxMachines
  bool started = false;  // a match is running (a newcomer can only watch)
};

using Packet = std::variant<Hello, Refuse, Welcome, Lobby, Start, Inputs, Digest, Desync, TakeOver,
                            Bye, Probe, ProbeReply>;

// The kind a packet is sent as, and its name for messages ("Inputs"; "unknown" for a byte
// outside the table).
Kind KindOf(const Packet& p);
const char* KindName(Kind k);

// The bytes of a packet. A packet that breaks its own rules (a text too long, too many
// frames) is a fault of the caller: Encode gives an empty vector for it.
std::vector<uint8_t> Encode(const Packet& p);
// Reads one packet; false with `error` saying what is wrong (the packet is then unchanged
// in meaning: the caller drops it).
bool Decode(const uint8_t* data, size_t size, Packet& p, std::string& error);

}  // namespace tdx::net
