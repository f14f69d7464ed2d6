#include "net/link.h"

#include <arpa/inet.h>
#include <enet/enet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "net/packets.h"

namespace tdx::net {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kReliableChannel = 0;
constexpr uint8_t kUnreliableChannel = 1;
constexpr size_t kChannels = 2;

// A machine sends its own controls once a frame, but the host passes every machine's on to
// the others, so a joined machine hears up to eleven machines' worth from the host: about
// 700 packets a second at 60 frames a second, with digests and lobby news on top. Catching
// up after a stall resends up to 64 frames at once, a full packet per machine. The limits
// leave room for all of that and still stop a stranger from burying the game in packets.
constexpr uint32_t kFloodPackets = 1000;    // per peer per second
constexpr size_t kFloodBytes = 512 * 1024;  // per peer per second
constexpr auto kFloodWindow = std::chrono::seconds(1);

// A machine silent for three seconds has its worms taken over, so its connection ends
// then. ENet pings a quiet peer every 250 ms, and every ping is answered, so three seconds
// without an answer is silence. ENet's own timeout only looks when a resend is due, and the
// gaps between resends double (up to seconds on a slow network), so the link watches the
// clock itself; ENet's timeout is set later, only a backstop.
constexpr enet_uint32 kPingIntervalMs = 250;
constexpr enet_uint32 kSilenceMs = 3000;
// A machine still connecting is given longer: its first packets may be lost too, and ENet
// waits longer before each resend of them.
constexpr enet_uint32 kConnectingMs = 10000;
constexpr enet_uint32 kTimeoutMinimumMs = 3000;
constexpr enet_uint32 kTimeoutMaximumMs = 4000;

// ENet would otherwise let a peer announce a fragmented packet of up to 32 MB and reserve
// it whole; nothing the game sends comes near this.
constexpr size_t kLargestAccepted = 64 * 1024;

bool StartEnet() {
  static const bool started = [] {
    if (enet_initialize() != 0) return false;
    std::atexit(enet_deinitialize);
    return true;
  }();
  return started;
}

// Every machine packs its datagrams with ENet's range coder: controls repeat from frame
// to frame, so they shrink well, and a game of the same version always reads them.
void Compress(ENetHost* host) { enet_host_compress_with_range_coder(host); }

void SetTimeouts(ENetPeer* peer, bool connecting = false) {
  enet_peer_ping_interval(peer, kPingIntervalMs);
  if (connecting) {
    enet_peer_timeout(peer, 0, kConnectingMs, kConnectingMs + 1000);
  } else {
    enet_peer_timeout(peer, 0, kTimeoutMinimumMs, kTimeoutMaximumMs);
  }
}

// The discovery datagrams. A probe is the magic and the protocol; a reply is the magic,
// the game port, the machine count, whether a match runs, and the host's name. Integers are
// little-endian like every packet of the game.
constexpr char kProbeMagic[8] = {'T', 'D', 'X', 'P', 'R', 'O', 'B', 'E'};
constexpr char kReplyMagic[8] = {'T', 'D', 'X', 'H', 'O', 'S', 'T', '1'};
constexpr size_t kProbeSize = sizeof kProbeMagic + 4;
constexpr size_t kReplyFixed = sizeof kReplyMagic + 2 + 1 + 1 + 1;
constexpr size_t kLargestDatagram = kReplyFixed + kMaxText;

bool Printable(char c) { return c >= 0x20 && c <= 0x7e; }

std::vector<uint8_t> ProbeBytes() {
  std::vector<uint8_t> b(kProbeMagic, kProbeMagic + sizeof kProbeMagic);
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(kProtocol >> (8 * i)));
  return b;
}

bool IsProbe(const uint8_t* data, size_t size) {
  if (size != kProbeSize || std::memcmp(data, kProbeMagic, sizeof kProbeMagic) != 0) return false;
  uint32_t protocol = 0;
  for (int i = 0; i < 4; ++i) protocol |= uint32_t{data[sizeof kProbeMagic + i]} << (8 * i);
  return protocol == kProtocol;
}

std::vector<uint8_t> ReplyBytes(uint16_t port, const std::string& name, int machines,
                                bool started) {
  std::vector<uint8_t> b(kReplyMagic, kReplyMagic + sizeof kReplyMagic);
  b.push_back(static_cast<uint8_t>(port & 0xff));
  b.push_back(static_cast<uint8_t>(port >> 8));
  b.push_back(static_cast<uint8_t>(std::clamp(machines, 1, kMaxMachines)));
  b.push_back(started ? 1 : 0);
  const size_t length = std::min(name.size(), kMaxText);
  b.push_back(static_cast<uint8_t>(length));
  for (size_t i = 0; i < length; ++i) b.push_back(Printable(name[i]) ? name[i] : '?');
  return b;
}

bool ReadReply(const uint8_t* data, size_t size, FoundHost& host) {
  if (size < kReplyFixed || std::memcmp(data, kReplyMagic, sizeof kReplyMagic) != 0) return false;
  const uint8_t* p = data + sizeof kReplyMagic;
  const auto port = static_cast<uint16_t>(p[0] | (p[1] << 8));
  const int machines = p[2];
  const uint8_t started = p[3];
  const size_t length = p[4];
  if (port == 0 || machines < 1 || machines > kMaxMachines || started > 1) return false;
  if (length > kMaxText || size != kReplyFixed + length) return false;
  std::string name(reinterpret_cast<const char*>(p + 5), length);
  if (!std::all_of(name.begin(), name.end(), Printable)) return false;
  host.port = port;
  host.machines = machines;
  host.started = started != 0;
  host.name = std::move(name);
  return true;
}

bool NonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL, 0);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// What the link knows of one peer: its ENet peer and what it sent in the current second.
struct PeerSlot {
  ENetPeer* peer = nullptr;
  enet_uint32 heard = 0;  // ENet's clock when the peer last answered (or the slot began)
  // Whether a packet of the game came from it yet. Until then it is still connecting: ENet
  // may call a connection made on one side while the other still waits for its last
  // handshake, lost on the way, and acknowledges nothing meanwhile.
  bool spoke = false;
  Clock::time_point windowStart;
  uint32_t packets = 0;
  size_t bytes = 0;
};

}  // namespace

struct Link::Impl {
  ENetHost* host = nullptr;
  std::vector<PeerSlot> slots;  // by the link's peer number
  uint64_t sentBefore = 0;      // bytes ENet counted before its 32-bit counter was last reset
  // Packets thrown away, for a look in a debugger when a peer misbehaves.
  uint64_t droppedOversized = 0;
  uint64_t droppedFlood = 0;

  void TakeSentCount() {
    sentBefore += host->totalSentData;
    host->totalSentData = 0;
  }

  PeerSlot* Slot(int peer) {
    if (peer < 0 || static_cast<size_t>(peer) >= slots.size()) return nullptr;
    PeerSlot& s = slots[static_cast<size_t>(peer)];
    return s.peer != nullptr ? &s : nullptr;
  }

  // The peer's number; -1 for a peer the link does not count (ENet reuses its peer records,
  // so a number left on one is believed only when its slot still holds that peer).
  int Number(const ENetPeer* peer) const {
    const intptr_t n = reinterpret_cast<intptr_t>(peer->data) - 1;
    if (n < 0 || static_cast<size_t>(n) >= slots.size()) return -1;
    return slots[static_cast<size_t>(n)].peer == peer ? static_cast<int>(n) : -1;
  }

  // The lowest free number, so numbers stay small; a number is free again only once its
  // Disconnected was reported.
  int Assign(ENetPeer* peer) {
    size_t n = 0;
    while (n < slots.size() && slots[n].peer != nullptr) ++n;
    if (n == slots.size()) slots.emplace_back();
    slots[n] = PeerSlot{};
    slots[n].peer = peer;
    slots[n].heard = enet_time_get();
    peer->data = reinterpret_cast<void*>(static_cast<intptr_t>(n) + 1);
    return static_cast<int>(n);
  }

  bool Admit(PeerSlot& slot, size_t size) {
    if (size > kMaxPacket) {
      ++droppedOversized;
      return false;
    }
    const Clock::time_point now = Clock::now();
    if (slot.packets == 0 || now - slot.windowStart >= kFloodWindow) {
      slot.windowStart = now;
      slot.packets = 0;
      slot.bytes = 0;
    }
    if (slot.packets + 1 > kFloodPackets || slot.bytes + size > kFloodBytes) {
      ++droppedFlood;
      return false;
    }
    ++slot.packets;
    slot.bytes += size;
    return true;
  }

  // Ends the connection of every peer silent for kSilenceMs: joining, joined or leaving.
  void CutSilent(std::vector<LinkEvent>& events) {
    const enet_uint32 now = enet_time_get();
    for (size_t n = 0; n < slots.size(); ++n) {
      PeerSlot& slot = slots[n];
      if (slot.peer == nullptr) continue;
      const enet_uint32 answered = slot.peer->lastReceiveTime;
      // ENet's clock is 32-bit milliseconds: differences are taken modulo its wrap.
      if (answered != 0 && static_cast<int32_t>(answered - slot.heard) > 0) slot.heard = answered;
      const bool connected = slot.peer->state == ENET_PEER_STATE_CONNECTED && slot.spoke;
      if (now - slot.heard < (connected ? kSilenceMs : kConnectingMs)) continue;
      slot.peer->data = nullptr;
      enet_peer_disconnect_now(slot.peer, 0);
      slot = PeerSlot{};
      events.push_back(LinkEvent{LinkEvent::Type::Disconnected, static_cast<int>(n), {}});
    }
  }

  void Handle(const ENetEvent& e, std::vector<LinkEvent>& events) {
    switch (e.type) {
      case ENET_EVENT_TYPE_CONNECT: {
        int number = Number(e.peer);
        if (number < 0) number = Assign(e.peer);
        SetTimeouts(e.peer, true);  // patient until it speaks
        slots[static_cast<size_t>(number)].heard = enet_time_get();
        events.push_back(LinkEvent{LinkEvent::Type::Connected, number, {}});
        break;
      }
      case ENET_EVENT_TYPE_RECEIVE: {
        const int number = Number(e.peer);
        PeerSlot* slot = Slot(number);
        if (slot != nullptr && !slot->spoke) {
          slot->spoke = true;
          slot->heard = enet_time_get();
          SetTimeouts(e.peer);  // it speaks: silence counts from now
        }
        if (slot != nullptr && Admit(*slot, e.packet->dataLength)) {
          events.push_back(LinkEvent{
              LinkEvent::Type::Received, number,
              std::vector<uint8_t>(e.packet->data, e.packet->data + e.packet->dataLength)});
        }
        enet_packet_destroy(e.packet);
        break;
      }
      case ENET_EVENT_TYPE_DISCONNECT: {
        const int number = Number(e.peer);
        e.peer->data = nullptr;
        if (PeerSlot* slot = Slot(number)) {
          *slot = PeerSlot{};
          events.push_back(LinkEvent{LinkEvent::Type::Disconnected, number, {}});
        }
        break;
      }
      case ENET_EVENT_TYPE_NONE: break;
    }
  }
};

Link::Link() : impl_(std::make_unique<Impl>()) {}

Link::~Link() { Close(); }

bool Link::Host(uint16_t port, int peers, std::string& error) {
  if (impl_->host != nullptr) {
    error = "the link is already open";
    return false;
  }
  if (peers < 1 || peers > ENET_PROTOCOL_MAXIMUM_PEER_ID) {
    error = "cannot host " + std::to_string(peers) + " machines";
    return false;
  }
  if (!StartEnet()) {
    error = "the network library did not start";
    return false;
  }
  ENetAddress address{};
  address.host = ENET_HOST_ANY;
  address.port = port;
  impl_->host = enet_host_create(&address, static_cast<size_t>(peers), kChannels, 0, 0);
  if (impl_->host == nullptr) {
    error = "cannot listen on port " + std::to_string(port) + " (is another game using it?)";
    return false;
  }
  impl_->host->maximumPacketSize = kLargestAccepted;
  Compress(impl_->host);
  return true;
}

bool Link::Join(const std::string& address, uint16_t port, std::string& error) {
  if (impl_->host != nullptr) {
    error = "the link is already open";
    return false;
  }
  if (!StartEnet()) {
    error = "the network library did not start";
    return false;
  }
  ENetAddress to{};
  if (enet_address_set_host(&to, address.c_str()) != 0) {
    error = "unknown host " + address;
    return false;
  }
  to.port = port;
  impl_->host = enet_host_create(nullptr, 1, kChannels, 0, 0);
  if (impl_->host == nullptr) {
    error = "cannot open a network socket";
    return false;
  }
  impl_->host->maximumPacketSize = kLargestAccepted;
  Compress(impl_->host);
  ENetPeer* peer = enet_host_connect(impl_->host, &to, kChannels, 0);
  if (peer == nullptr) {
    enet_host_destroy(impl_->host);
    impl_->host = nullptr;
    error = "cannot start connecting to " + address;
    return false;
  }
  SetTimeouts(peer, true);
  impl_->Assign(peer);
  return true;
}

void Link::Service(int waitMs, std::vector<LinkEvent>& events) {
  if (impl_->host == nullptr) return;
  ENetEvent e{};
  auto wait = static_cast<enet_uint32>(std::max(waitMs, 0));
  while (enet_host_service(impl_->host, &e, wait) > 0) {
    impl_->Handle(e, events);
    wait = 0;
  }
  impl_->CutSilent(events);
  impl_->TakeSentCount();
}

void Link::Send(int peer, const std::vector<uint8_t>& bytes, bool reliable) {
  PeerSlot* slot = impl_->Slot(peer);
  if (slot == nullptr || slot->peer->state != ENET_PEER_STATE_CONNECTED) return;
  ENetPacket* packet =
      enet_packet_create(bytes.data(), bytes.size(),
                         reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNSEQUENCED);
  if (packet == nullptr) return;
  // ENet keeps a packet only when it accepts it.
  if (enet_peer_send(slot->peer, reliable ? kReliableChannel : kUnreliableChannel, packet) != 0) {
    enet_packet_destroy(packet);
  }
}

void Link::Flush() {
  if (impl_->host == nullptr) return;
  enet_host_flush(impl_->host);
  impl_->TakeSentCount();
}

uint32_t Link::RoundTrip(int peer) const {
  const PeerSlot* slot = impl_->Slot(peer);
  return slot != nullptr ? slot->peer->roundTripTime : 0;
}

void Link::Drop(int peer) {
  // Later: what was queued for it (a refusal, a farewell) still goes out first.
  if (PeerSlot* slot = impl_->Slot(peer)) enet_peer_disconnect_later(slot->peer, 0);
}

void Link::Close() {
  if (impl_->host == nullptr) return;
  for (PeerSlot& slot : impl_->slots) {
    if (slot.peer != nullptr) enet_peer_disconnect(slot.peer, 0);
  }
  enet_host_flush(impl_->host);
  impl_->TakeSentCount();
  enet_host_destroy(impl_->host);
  impl_->host = nullptr;
  impl_->slots.clear();
}

uint64_t Link::BytesSent() const {
  return impl_->sentBefore + (impl_->host != nullptr ? impl_->host->totalSentData : 0);
}

ProbeResponder::ProbeResponder() = default;

ProbeResponder::~ProbeResponder() {
  if (socket_ >= 0) ::close(socket_);
}

bool ProbeResponder::Open(uint16_t discoveryPort, std::string& error) {
  if (socket_ >= 0) {
    ::close(socket_);
    socket_ = -1;
  }
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) {
    error = std::string("cannot open a network socket: ") + std::strerror(errno);
    return false;
  }
  // Two games on one machine may both host; each hears the broadcast probes.
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(discoveryPort);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      !NonBlocking(fd)) {
    error = "cannot listen for probes on port " + std::to_string(discoveryPort) + ": " +
            std::strerror(errno);
    ::close(fd);
    return false;
  }
  socket_ = fd;
  return true;
}

void ProbeResponder::Answer(uint16_t gamePort, const std::string& name, int machines,
                            bool started) {
  if (socket_ < 0) return;
  // Enough for every machine of a busy network, few enough that a flood of probes does not
  // stall a frame.
  constexpr int kMostPerCall = 64;
  std::vector<uint8_t> reply;
  for (int i = 0; i < kMostPerCall; ++i) {
    uint8_t buffer[kLargestDatagram + 1];
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const ssize_t got = ::recvfrom(socket_, buffer, sizeof buffer, 0,
                                   reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (got < 0) {
      if (errno == EINTR) continue;
      return;  // nothing more waiting (or the socket failed: there is nothing to answer)
    }
    if (fromSize != sizeof from || from.sin_family != AF_INET ||
        !IsProbe(buffer, static_cast<size_t>(got))) {
      continue;
    }
    if (reply.empty()) reply = ReplyBytes(gamePort, name, machines, started);
    ::sendto(socket_, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&from),
             sizeof from);
  }
}

HostFinder::~HostFinder() {
  if (socket_ >= 0) ::close(socket_);
}

bool HostFinder::Probe(const std::string& broadcastAddress, uint16_t discoveryPort) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(discoveryPort);
  if (inet_pton(AF_INET, broadcastAddress.c_str(), &to.sin_addr) != 1) return false;
  if (socket_ < 0) {
    socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (socket_ < 0) return false;
    const int on = 1;
    setsockopt(socket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (!NonBlocking(socket_)) {
      ::close(socket_);
      socket_ = -1;
      return false;
    }
  }
  const std::vector<uint8_t> probe = ProbeBytes();
  return ::sendto(socket_, probe.data(), probe.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                  sizeof to) >= 0;
}

bool HostFinder::Collect(std::vector<FoundHost>& found, int waitMs) {
  if (socket_ < 0) return false;
  bool changed = false;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    pollfd p{socket_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(left, 0)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) {
      if (left <= 0) break;
      continue;
    }
    uint8_t buffer[kLargestDatagram + 1];
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const ssize_t got = ::recvfrom(socket_, buffer, sizeof buffer, 0,
                                   reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (got < 0 || fromSize != sizeof from || from.sin_family != AF_INET) continue;
    FoundHost host;
    if (!ReadReply(buffer, static_cast<size_t>(got), host)) continue;
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, dotted, sizeof dotted);
    host.address = dotted;
    // A host on two networks, or answering a repeated probe, is listed once (as it says
    // now).
    auto known = std::find_if(found.begin(), found.end(), [&](const FoundHost& h) {
      return h.address == host.address && h.port == host.port;
    });
    if (known == found.end()) {
      found.push_back(std::move(host));
      changed = true;
    } else if (known->name != host.name || known->machines != host.machines ||
               known->started != host.started) {
      *known = std::move(host);
      changed = true;
    }
  }
  return changed;
}

std::vector<FoundHost> FindHosts(const std::string& broadcastAddress, uint16_t discoveryPort,
                                 int waitMs) {
  std::vector<FoundHost> found;
  HostFinder finder;
  if (finder.Probe(broadcastAddress, discoveryPort)) finder.Collect(found, waitMs);
  return found;
}

}  // namespace tdx::net
