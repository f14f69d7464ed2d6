#include "net/packets.h"

#include <array>
#include <bit>
#include <cstring>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>

namespace tdx::net {

namespace {

// The variant's order is the kinds' order: a packet's kind byte is its index plus one.
template <Kind K, typename T>
constexpr bool kKindIs =
    std::is_same_v<std::variant_alternative_t<static_cast<size_t>(K) - 1, Packet>, T>;
static_assert(kKindIs<Kind::Hello, Hello> && kKindIs<Kind::Refuse, Refuse> &&
              kKindIs<Kind::Welcome, Welcome> && kKindIs<Kind::Lobby, Lobby> &&
              kKindIs<Kind::Start, Start> && kKindIs<Kind::Inputs, Inputs> &&
              kKindIs<Kind::Digest, Digest> && kKindIs<Kind::Desync, Desync> &&
              kKindIs<Kind::TakeOver, TakeOver> && kKindIs<Kind::Bye, Bye> &&
              kKindIs<Kind::Probe, Probe> && kKindIs<Kind::ProbeReply, ProbeReply>);
constexpr size_t kKinds = std::variant_size_v<Packet>;
static_assert(static_cast<size_t>(Kind::ProbeReply) == kKinds);

// Raw blocks travel as their bytes: every field of them is a single byte, so they read the
// same on any machine.
static_assert(std::is_trivially_copyable_v<PlayerSetup> && sizeof(PlayerSetup) == 12);
static_assert(std::is_trivially_copyable_v<SettingsBlock> && sizeof(SettingsBlock) == 164);

constexpr uint8_t kControlBits = 0x07;  // left, right, fire
constexpr size_t kSlots = std::size(SettingsBlock{}.players);

std::string Hex(unsigned v) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s = "0x";
  int shift = 12;
  while (shift > 0 && (v >> shift) == 0) shift -= 4;
  for (; shift >= 0; shift -= 4) s += kDigits[(v >> shift) & 0xF];
  return s;
}

// ---------------------------------------------------------------- the rules of each kind
// One list, used both before sending (a broken packet is the sender's fault) and after
// reading (a broken packet is a stranger's).

bool Fail(std::string& why, std::string text) {
  why = std::move(text);
  return false;
}

bool CountOk(size_t n, size_t least, size_t most, const char* what, std::string& why) {
  if (n < least) {
    return Fail(why, std::to_string(n) + " " + what + ", at least " + std::to_string(least));
  }
  if (n > most) {
    return Fail(why, std::to_string(n) + " " + what + ", at most " + std::to_string(most));
  }
  return true;
}

bool TextOk(const std::string& s, size_t most, const char* what, std::string& why) {
  if (s.size() > most) {
    return Fail(why, std::string(what) + " is " + std::to_string(s.size()) +
                         " characters, at most " + std::to_string(most));
  }
  for (char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E) return Fail(why, std::string(what) + " is not printable");
  }
  return true;
}

bool MachineOk(unsigned machine, std::string& why) {
  if (machine >= static_cast<unsigned>(kMaxMachines)) {
    return Fail(why, "machine " + std::to_string(machine) + ", at most " +
                         std::to_string(kMaxMachines - 1));
  }
  return true;
}

bool SlotsOk(uint16_t slots, std::string& why) {
  if (slots == 0) return Fail(why, "no slots");
  if ((slots & ~kAllSlots) != 0) return Fail(why, "slots " + Hex(slots) + " beyond the twelve");
  return true;
}

bool Check(const Hello& h, std::string& why) {
  if (!TextOk(h.version, kMaxText, "version", why) || !TextOk(h.name, kMaxText, "name", why) ||
      !CountOk(h.players.size(), 0, kSlots, "players", why)) {
    return false;
  }
  if (h.watcher && !h.players.empty()) return Fail(why, "a watcher brings no players");
  return true;
}

bool Check(const Refuse& r, std::string& why) {
  return TextOk(r.reason, kMaxReason, "reason", why);
}

bool Check(const Welcome& w, std::string& why) {
  if (w.machine == 0 || w.machine >= kMaxMachines) {
    return Fail(why, "machine " + std::to_string(w.machine) + ", not 1 .. " +
                         std::to_string(kMaxMachines - 1));
  }
  return true;
}

bool Check(const Lobby& l, std::string& why) {
  if (!CountOk(l.machines.size(), 0, kMaxMachines, "machines", why)) return false;
  uint16_t seen = 0;
  for (const LobbyMachine& m : l.machines) {
    if (!MachineOk(m.machine, why) || !TextOk(m.name, kMaxText, "name", why)) return false;
    if ((seen >> m.machine & 1) != 0) {
      return Fail(why, "machine " + std::to_string(m.machine) + " listed twice");
    }
    seen |= static_cast<uint16_t>(1u << m.machine);
    if ((m.slots & ~kAllSlots) != 0) {
      return Fail(why, "machine " + std::to_string(m.machine) + " slots " + Hex(m.slots) +
                           " beyond the twelve");
    }
    if ((m.people & ~m.slots) != 0) {
      return Fail(why, "machine " + std::to_string(m.machine) + " people " + Hex(m.people) +
                           " outside its slots " + Hex(m.slots));
    }
  }
  return true;
}

bool Check(const Start& s, std::string& why) {
  if (s.teamMode > 1) return Fail(why, "team mode " + std::to_string(s.teamMode) + ", not 0 or 1");
  if (s.inputDelay > 4) {
    return Fail(why, "input delay " + std::to_string(s.inputDelay) + " frames, at most 4");
  }
  for (size_t i = 0; i < s.owner.size(); ++i) {
    if (s.owner[i] >= kMaxMachines && s.owner[i] != kNoMachine) {
      return Fail(why, "slot " + std::to_string(i + 1) + " owner " + std::to_string(s.owner[i]) +
                           " is no machine");
    }
  }
  return true;
}

bool Check(const Inputs& in, std::string& why) {
  // No slots: only what the sender has heard, from a machine without people.
  if (in.slots == 0)
    return MachineOk(in.machine, why) && CountOk(in.frames.size(), 0, 0, "frames", why);
  if (!MachineOk(in.machine, why) || !SlotsOk(in.slots, why) ||
      !CountOk(in.frames.size(), 1, kMaxInputFrames, "frames", why)) {
    return false;
  }
  // The frame after the last must still have a number.
  if (uint64_t{in.firstFrame} + in.frames.size() > UINT32_MAX) {
    return Fail(why, "frames run past the last frame number");
  }
  const size_t width = static_cast<size_t>(std::popcount(in.slots));
  for (size_t f = 0; f < in.frames.size(); ++f) {
    const std::vector<uint8_t>& row = in.frames[f];
    if (row.size() != width) {
      return Fail(why, "frame " + std::to_string(f) + " has " + std::to_string(row.size()) +
                           " controls for " + std::to_string(width) + " slots");
    }
    for (uint8_t c : row) {
      if ((c & ~kControlBits) != 0) {
        return Fail(why, "frame " + std::to_string(f) + " control " + Hex(c) +
                             " beyond left, right and fire");
      }
    }
  }
  return true;
}

bool Check(const Digest& /*d*/, std::string& /*why*/) { return true; }
bool Check(const Desync& /*d*/, std::string& /*why*/) { return true; }

bool Check(const TakeOver& t, std::string& why) {
  return SlotsOk(t.slots, why) && MachineOk(t.machine, why);
}

bool Check(const Bye& b, std::string& why) { return TextOk(b.reason, kMaxReason, "reason", why); }
bool Check(const Probe& /*p*/, std::string& /*why*/) { return true; }

bool Check(const ProbeReply& r, std::string& why) {
  if (r.port == 0) return Fail(why, "port 0");
  if (!TextOk(r.name, kMaxText, "name", why)) return false;
  if (r.machines == 0 || r.machines > kMaxMachines) {
    return Fail(why,
                std::to_string(r.machines) + " machines, not 1 .. " + std::to_string(kMaxMachines));
  }
  return true;
}

// ---------------------------------------------------------------- bytes
// Writing and reading walk the same list of fields (Fields below), so the two cannot drift
// apart. Out is only given packets that passed Check.

class Out {
 public:
  std::vector<uint8_t> bytes;

  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) { Little(v, 2); }
  void U32(uint32_t v) { Little(v, 4); }
  void U64(uint64_t v) { Little(v, 8); }
  void Bool(bool v, const char* /*what*/) { U8(v ? 1 : 0); }
  void Slots(uint16_t v, bool /*noneAllowed*/ = false) { U16(v); }
  void Text(const std::string& s) {
    U8(static_cast<uint8_t>(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
  }
  template <typename T>
  void Block(const T& v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    bytes.insert(bytes.end(), p, p + sizeof v);
  }
  template <typename T>
  void Count(const std::vector<T>& v, size_t /*least*/, size_t /*most*/, const char* /*what*/) {
    U8(static_cast<uint8_t>(v.size()));
  }
  // Every frame's controls, three bits a slot, one after another from the lowest bit.
  void Controls(const std::vector<std::vector<uint8_t>>& frames, uint16_t /*slots*/) {
    uint32_t acc = 0;
    int bits = 0;
    for (const auto& row : frames) {
      for (uint8_t c : row) {
        acc |= static_cast<uint32_t>(c & 7u) << bits;
        bits += 3;
        while (bits >= 8) {
          bytes.push_back(static_cast<uint8_t>(acc));
          acc >>= 8;
          bits -= 8;
        }
      }
    }
    if (bits > 0) bytes.push_back(static_cast<uint8_t>(acc));
  }

 private:
  void Little(uint64_t v, int n) {
    for (int i = 0; i < n; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
};

// Reads from a stranger's bytes. The first fault stops it: every later read leaves its
// field alone. A count or a set of slots that shapes what follows is checked as it is read,
// so nothing larger than the packet's own limits is ever made.
class In {
 public:
  In(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  size_t Left() const { return size_ - at_; }

  void U8(uint8_t& v) { v = static_cast<uint8_t>(Little(1)); }
  void U16(uint16_t& v) { v = static_cast<uint16_t>(Little(2)); }
  void U32(uint32_t& v) { v = static_cast<uint32_t>(Little(4)); }
  void U64(uint64_t& v) { v = Little(8); }
  void Bool(bool& v, const char* what) {
    uint8_t b = 0;
    U8(b);
    if (ok_ && b > 1) Stop(std::string(what) + " byte " + std::to_string(b) + ", not 0 or 1");
    v = b == 1;
  }
  void Slots(uint16_t& v, bool noneAllowed = false) {
    U16(v);
    std::string why;
    if (ok_ && !(noneAllowed && v == 0) && !SlotsOk(v, why)) Stop(why);
  }
  void Text(std::string& s) {
    uint8_t n = 0;
    U8(n);
    if (Take(n)) s.assign(reinterpret_cast<const char*>(data_ + at_ - n), n);
  }
  template <typename T>
  void Block(T& v) {
    if (Take(sizeof v)) std::memcpy(&v, data_ + at_ - sizeof v, sizeof v);
  }
  template <typename T>
  void Count(std::vector<T>& v, size_t least, size_t most, const char* what) {
    uint8_t n = 0;
    U8(n);
    std::string why;
    if (!ok_) return;
    if (!CountOk(n, least, most, what, why)) {
      Stop(why);
      return;
    }
    v.resize(n);
  }
  void Controls(std::vector<std::vector<uint8_t>>& frames, uint16_t slots) {
    const auto width = static_cast<size_t>(std::popcount(slots));
    const size_t bitsNeeded = frames.size() * width * 3;
    const size_t n = (bitsNeeded + 7) / 8;
    if (!Take(n)) return;
    const uint8_t* p = data_ + at_ - n;
    size_t bit = 0;
    for (auto& row : frames) {
      row.resize(width);
      for (uint8_t& c : row) {
        c = 0;
        for (int k = 0; k < 3; ++k, ++bit)
          c |= static_cast<uint8_t>((p[bit / 8] >> (bit % 8) & 1) << k);
      }
    }
    // The last byte's bits past the controls are zero: anything else is not ours.
    if (bitsNeeded % 8 != 0 && (p[n - 1] >> (bitsNeeded % 8)) != 0)
      Stop("stray bits after the controls");
  }

 private:
  void Stop(std::string why) {
    if (ok_) error_ = std::move(why);
    ok_ = false;
  }
  // Moves past n bytes; false (and stops) when the packet ends first.
  bool Take(size_t n) {
    if (!ok_) return false;
    if (size_ - at_ < n) {
      Stop("cut short");
      return false;
    }
    at_ += n;
    return true;
  }
  uint64_t Little(size_t n) {
    if (!Take(n)) return 0;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= uint64_t{data_[at_ - n + i]} << (8 * i);
    return v;
  }

  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
  std::string error_;
};

// Every field of each kind, in the order the bytes hold them. `P` is the packet, const when
// writing.
template <typename P, typename T>
concept Of = std::is_same_v<std::remove_const_t<P>, T>;

template <typename Io, Of<Hello> P>
void Fields(Io& io, P& h) {
  io.Text(h.version);
  io.U32(h.protocol);
  io.U32(h.rules);
  io.U32(h.layout);
  io.Text(h.name);
  io.Bool(h.watcher, "watcher");
  io.Count(h.players, 0, kSlots, "players");
  for (auto& s : h.players) io.Block(s);
}

template <typename Io, typename P>
requires Of<P, Refuse> || Of<P, Bye>
void Fields(Io& io, P& r) { io.Text(r.reason); }

template <typename Io, Of<Welcome> P>
void Fields(Io& io, P& w) {
  io.U8(w.machine);
}

template <typename Io, Of<Lobby> P>
void Fields(Io& io, P& l) {
  io.Count(l.machines, 0, kMaxMachines, "machines");
  for (auto& m : l.machines) {
    io.U8(m.machine);
    io.Text(m.name);
    io.U16(m.roundTripMs);
    io.U16(m.slots);
    io.Bool(m.watcher, "watcher");
    io.U16(m.people);
  }
}

template <typename Io, Of<Start> P>
void Fields(Io& io, P& s) {
  io.U64(s.seed);
  io.U8(s.teamMode);
  io.U8(s.inputDelay);
  io.U32(s.startFrame);
  io.Block(s.setup);
  io.Block(s.owner);
}

template <typename Io, Of<Inputs> P>
void Fields(Io& io, P& in) {
  io.U8(in.machine);
  io.Slots(in.slots, true);
  io.U32(in.firstFrame);
  io.U32(in.ackFrame);
  io.Count(in.frames, in.slots ? 1 : 0, in.slots ? kMaxInputFrames : 0, "frames");
  // A frame holds three bits per slot: the slots and the count give the length.
  io.Controls(in.frames, in.slots);
}

template <typename Io, Of<Digest> P>
void Fields(Io& io, P& d) {
  io.U32(d.frame);
  io.U64(d.digest);
}

template <typename Io, Of<Desync> P>
void Fields(Io& io, P& d) {
  io.U32(d.frame);
}

template <typename Io, Of<TakeOver> P>
void Fields(Io& io, P& t) {
  io.Slots(t.slots);
  io.U32(t.fromFrame);
  io.U8(t.machine);
}

template <typename Io, Of<Probe> P>
void Fields(Io& io, P& p) {
  io.U32(p.protocol);
}

template <typename Io, Of<ProbeReply> P>
void Fields(Io& io, P& r) {
  io.U16(r.port);
  io.Text(r.name);
  io.U8(r.machines);
  io.Bool(r.started, "started");
}

// An empty packet of each kind, by its variant index.
template <size_t... I>
constexpr auto BlankTable(std::index_sequence<I...> /*unused*/) {
  return std::array<Packet (*)(), sizeof...(I)>{
      +[]() { return Packet(std::in_place_index<I>); }...};
}
constexpr auto kBlank = BlankTable(std::make_index_sequence<kKinds>());

}  // namespace

Kind KindOf(const Packet& p) { return static_cast<Kind>(p.index() + 1); }

const char* KindName(Kind k) {
  switch (k) {
    case Kind::Hello: return "Hello";
    case Kind::Refuse: return "Refuse";
    case Kind::Welcome: return "Welcome";
    case Kind::Lobby: return "Lobby";
    case Kind::Start: return "Start";
    case Kind::Inputs: return "Inputs";
    case Kind::Digest: return "Digest";
    case Kind::Desync: return "Desync";
    case Kind::TakeOver: return "TakeOver";
    case Kind::Bye: return "Bye";
    case Kind::Probe: return "Probe";
    case Kind::ProbeReply: return "ProbeReply";
  }
  return "unknown";
}

std::vector<uint8_t> Encode(const Packet& p) {
  return std::visit(
      [&p](const auto& v) {
        std::string why;
        if (!Check(v, why)) return std::vector<uint8_t>();
        Out out;
        out.U8(static_cast<uint8_t>(KindOf(p)));
        Fields(out, v);
        if (out.bytes.size() > kMaxPacket) return std::vector<uint8_t>();
        return std::move(out.bytes);
      },
      p);
}

bool Decode(const uint8_t* data, size_t size, Packet& p, std::string& error) {
  if (size == 0) return Fail(error, "empty packet");
  if (size > kMaxPacket) {
    return Fail(error, std::to_string(size) + " bytes, at most " + std::to_string(kMaxPacket));
  }
  const uint8_t kind = data[0];
  if (kind == 0 || kind > kKinds) return Fail(error, "unknown kind " + std::to_string(kind));

  // Read into a packet of its own, so a refused one leaves the caller's as it was.
  Packet read = kBlank[kind - 1]();
  std::string why;
  const bool ok = std::visit(
      [&](auto& v) {
        In in(data + 1, size - 1);
        Fields(in, v);
        if (!in.ok()) return Fail(why, in.error());
        if (in.Left() > 0) {
          return Fail(why, std::to_string(in.Left()) +
                               (in.Left() == 1 ? " stray byte" : " stray bytes") + " at the end");
        }
        return Check(v, why);
      },
      read);
  if (!ok) return Fail(error, std::string(KindName(static_cast<Kind>(kind))) + ": " + why);
  p = std::move(read);
  return true;
}

}  // namespace tdx::net
