// The wire between machines of a network match: UDP through ENet, one host and up to eleven
// machines joined to it. It carries packets as bytes, says who came and went, and measures
// each round trip; what the bytes mean is the caller's (net/packets.h). Machines on the
// local network find hosts by a broadcast probe on the game's port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tdx::net {

// What happened on the wire since the last Service.
struct LinkEvent {
  enum class Type : uint8_t { Connected, Received, Disconnected };
  Type type = Type::Received;
  int peer = -1;               // the link's number for the other machine
  std::vector<uint8_t> bytes;  // Received: the packet, at most kMaxPacket bytes
};

class Link {
 public:
  Link();
  ~Link();
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Listens on `port` (all addresses) for up to `peers` machines. False with `error`.
  bool Host(uint16_t port, int peers, std::string& error);
  // Connects to a host ("name-or-address", port). The Connected event says it worked;
  // false with `error` only when the attempt cannot even begin (an unknown name).
  bool Join(const std::string& address, uint16_t port, std::string& error);

  // Sends and receives for at most `waitMs` milliseconds (0: what is waiting now) and
  // appends what happened. Packets longer than kMaxPacket are dropped on arrival, and a
  // peer sending more than the flood limit has the excess dropped.
  void Service(int waitMs, std::vector<LinkEvent>& events);
  // Sends to one peer: reliable packets arrive, in order; unreliable ones may not.
  void Send(int peer, const std::vector<uint8_t>& bytes, bool reliable);
  // Pushes everything queued out now.
  void Flush();
  // The mean round trip to a peer in milliseconds (0 unknown).
  uint32_t RoundTrip(int peer) const;
  // Ends a peer's connection (it sees Disconnected); Close ends all and stops listening.
  void Drop(int peer);
  void Close();
  // Bytes sent so far, every peer together (ENet's own headers included).
  uint64_t BytesSent() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A host on the local network, as a probe found it.
struct FoundHost {
  std::string address;  // dotted
  uint16_t port = 0;
  std::string name;
  int machines = 0;
  bool started = false;
};

// Answers probes for a host (a plain UDP socket on the discovery port).
class ProbeResponder {
 public:
  ProbeResponder();
  ~ProbeResponder();
  ProbeResponder(const ProbeResponder&) = delete;
  ProbeResponder& operator=(const ProbeResponder&) = delete;
  // Listens on `discoveryPort`; false with `error` (another host here may hold it).
  bool Open(uint16_t discoveryPort, std::string& error);
  // Answers every probe waiting now with what `reply` holds (net::ProbeReply's fields).
  void Answer(uint16_t gamePort, const std::string& name, int machines, bool started);

 private:
  int socket_ = -1;
};

// Looks for hosts on the local network without stopping the screen: a probe now and then,
// the answers taken as they come.
class HostFinder {
 public:
  HostFinder() = default;
  ~HostFinder();
  HostFinder(const HostFinder&) = delete;
  HostFinder& operator=(const HostFinder&) = delete;
  // Sends a probe to `broadcastAddress`:`discoveryPort`; false when it cannot be sent.
  bool Probe(const std::string& broadcastAddress, uint16_t discoveryPort);
  // Adds the hosts that answered to `found` (a known one is brought up to date), waiting
  // `waitMs` for answers; true when the list changed.
  bool Collect(std::vector<FoundHost>& found, int waitMs = 0);

 private:
  int socket_ = -1;
};

// Sends a probe to `broadcastAddress`:`discoveryPort` and collects answers for `waitMs`.
std::vector<FoundHost> FindHosts(const std::string& broadcastAddress, uint16_t discoveryPort,
                                 int waitMs);

}  // namespace tdx::net
