#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "net/link.h"
#include "net/packets.h"

using namespace tdx::net;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using Type = LinkEvent::Type;

namespace {

// The flood limits the link promises a peer, per second.
constexpr size_t kFloodPackets = 1000;
constexpr size_t kFloodBytes = 512 * 1024;

struct Side {
  Link link;
  std::vector<LinkEvent> events;

  int Count(Type type, int peer) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const LinkEvent& e) {
      return e.type == type && e.peer == peer;
    }));
  }
  std::vector<Bytes> From(int peer) const {
    std::vector<Bytes> got;
    for (const LinkEvent& e : events) {
      if (e.type == Type::Received && e.peer == peer) got.push_back(e.bytes);
    }
    return got;
  }
};

// Services every side in turn until `done` holds; false when `limitMs` passed first (a
// safety net against hanging, not a measure of speed).
bool Pump(std::initializer_list<Side*> sides, const std::function<bool()>& done,
          int limitMs = 3000) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(limitMs);
  while (!done()) {
    if (Clock::now() > end) return false;
    for (Side* s : sides) s->link.Service(1, s->events);
  }
  return true;
}

void PumpFor(std::initializer_list<Side*> sides, int ms) {
  Pump(
      sides, [] { return false; }, ms);
}

// Hosts on a port of a range picked by the process id, so test processes running side by
// side rarely try the same one; a taken port is skipped. 0 when none was free.
uint16_t HostSomewhere(Link& link, int peers) {
  std::string error;
  for (int i = 0; i < 200; ++i) {
    const auto port = static_cast<uint16_t>(30000 + (::getpid() * 7 + i) % 20000);
    if (link.Host(port, peers, error)) return port;
  }
  return 0;
}

// A packet numbered `n`, `size` bytes long, its filling telling it apart from its neighbours.
Bytes Numbered(int n, size_t size) {
  Bytes b(std::max<size_t>(size, 2), static_cast<uint8_t>(n * 31 + 7));
  b[0] = static_cast<uint8_t>(n & 0xff);
  b[1] = static_cast<uint8_t>(n >> 8);
  return b;
}

// A host with two machines joined: `a` first (the host's peer 0), then `b` (peer 1).
class NetLink : public ::testing::Test {
 protected:
  void SetUp() override {
    port = HostSomewhere(host.link, 4);
    ASSERT_NE(port, 0) << "no free port to host on";
    JoinAndWait(a, 0);
    JoinAndWait(b, 1);
  }

  void JoinAndWait(Side& side, int expectedNumber) {
    std::string error;
    ASSERT_TRUE(side.link.Join("127.0.0.1", port, error)) << error;
    ASSERT_TRUE(Pump({&host, &a, &b}, [&] {
      return host.Count(Type::Connected, expectedNumber) == 1 &&
             side.Count(Type::Connected, 0) == 1;
    }));
  }

  Side host, a, b;
  uint16_t port = 0;
};

TEST_F(NetLink, EachMachineHasItsOwnNumberAndSeesTheHostAsPeerZero) {
  ASSERT_EQ(host.events.size(), 2u);
  EXPECT_EQ(host.events[0].type, Type::Connected);
  EXPECT_EQ(host.events[0].peer, 0);
  EXPECT_EQ(host.events[1].peer, 1);
  for (Side* s : {&a, &b}) {
    ASSERT_EQ(s->events.size(), 1u);
    EXPECT_EQ(s->events[0].type, Type::Connected);
    EXPECT_EQ(s->events[0].peer, 0);
  }
}

TEST_F(NetLink, ReliablePacketsArriveWholeAndInOrder) {
  constexpr int kCount = 300;
  std::vector<Bytes> sent;
  for (int i = 0; i < kCount; ++i) {
    sent.push_back(Numbered(i, i % 3 == 0 ? kMaxPacket : static_cast<size_t>(2 + i % 50)));
    a.link.Send(0, sent.back(), true);
    host.link.Send(1, sent.back(), true);
  }
  ASSERT_TRUE(Pump({&host, &a, &b},
                   [&] { return host.From(0).size() == kCount && b.From(0).size() == kCount; }));
  EXPECT_EQ(host.From(0), sent);
  EXPECT_EQ(b.From(0), sent);
  EXPECT_TRUE(host.From(1).empty()) << "a's packets were put down to b";
  EXPECT_TRUE(a.From(0).empty());
}

TEST_F(NetLink, UnreliablePacketsArriveIntact) {
  std::vector<Bytes> sent;
  for (int i = 0; i < 50; ++i) {
    sent.push_back(Numbered(i, 40));
    b.link.Send(0, sent.back(), false);
  }
  Pump(
      {&host, &a, &b}, [&] { return host.From(1).size() == sent.size(); }, 1000);
  const std::vector<Bytes> got = host.From(1);
  ASSERT_FALSE(got.empty());
  for (const Bytes& g : got) {
    EXPECT_EQ(std::count(got.begin(), got.end(), g), 1) << "a packet came twice";
    EXPECT_NE(std::find(sent.begin(), sent.end(), g), sent.end()) << "a packet came changed";
  }
  EXPECT_TRUE(host.From(0).empty());
}

TEST_F(NetLink, OversizedPacketsAreDroppedAndTheConnectionGoesOn) {
  const Bytes largest = Numbered(1, kMaxPacket);
  const Bytes marker = Numbered(4, 2);
  a.link.Send(0, largest, true);
  a.link.Send(0, Numbered(2, kMaxPacket + 1), true);
  a.link.Send(0, Numbered(3, 20000), true);
  a.link.Send(0, Numbered(5, kMaxPacket + 1), false);
  a.link.Send(0, marker, true);
  ASSERT_TRUE(Pump({&host, &a, &b}, [&] {
    const std::vector<Bytes> got = host.From(0);
    return !got.empty() && got.back() == marker;
  }));
  EXPECT_EQ(host.From(0), (std::vector<Bytes>{largest, marker}));
  EXPECT_EQ(host.Count(Type::Disconnected, 0), 0);
}

TEST_F(NetLink, RoundTripIsMeasuredOnceTheMachinesTalk) {
  for (int i = 0; i < 20; ++i) {
    a.link.Send(0, Numbered(i, 10), true);
    host.link.Send(0, Numbered(i, 10), true);
    PumpFor({&host, &a, &b}, 10);
  }
  // ENet guesses 500 ms until it has measured; on this machine the trip is far shorter.
  for (uint32_t rtt : {host.link.RoundTrip(0), a.link.RoundTrip(0)}) {
    EXPECT_GT(rtt, 0u);
    EXPECT_LT(rtt, 500u);
  }
  EXPECT_EQ(host.link.RoundTrip(7), 0u);
  EXPECT_EQ(host.link.RoundTrip(-1), 0u);
  EXPECT_GT(a.link.BytesSent(), 20u * 10u);
  EXPECT_GT(host.link.BytesSent(), 20u * 10u);
}

TEST_F(NetLink, FloodIsCutPerPeerAndForgivenTheNextSecond) {
  // a floods with many small packets, b with fewer full ones; each is held to its own limit.
  struct Flood {
    Side* side;
    int peer;
    int count;
    size_t size;
    size_t admitted;
  };
  const Flood floods[] = {
      {&a, 0, 1500, 8, kFloodPackets},
      {&b, 1, 600, kMaxPacket, kFloodBytes / kMaxPacket},
  };
  for (const Flood& f : floods) {
    for (int i = 0; i < f.count; ++i) f.side->link.Send(0, Numbered(i, f.size), true);
  }
  PumpFor({&host, &a, &b}, 500);
  for (const Flood& f : floods) {
    const std::vector<Bytes> got = host.From(f.peer);
    ASSERT_EQ(got.size(), f.admitted) << "peer " << f.peer;
    for (size_t i = 0; i < got.size(); ++i) {
      ASSERT_EQ(got[i], Numbered(static_cast<int>(i), f.size)) << "peer " << f.peer;
    }
  }
  PumpFor({&host, &a, &b}, 700);
  const Bytes after = Numbered(9999, 4);
  a.link.Send(0, after, true);
  b.link.Send(0, after, true);
  ASSERT_TRUE(Pump({&host, &a, &b},
                   [&] { return host.From(0).back() == after && host.From(1).back() == after; }));
  EXPECT_EQ(host.Count(Type::Disconnected, 0) + host.Count(Type::Disconnected, 1), 0);
}

TEST_F(NetLink, DropEndsTheConnectionOnBothSidesAfterWhatWasQueued) {
  const Bytes farewell = Numbered(1, 30);
  host.link.Send(0, farewell, true);
  host.link.Drop(0);
  b.link.Drop(0);
  ASSERT_TRUE(Pump({&host, &a, &b}, [&] {
    return host.Count(Type::Disconnected, 0) == 1 && host.Count(Type::Disconnected, 1) == 1 &&
           a.Count(Type::Disconnected, 0) == 1 && b.Count(Type::Disconnected, 0) == 1;
  }));
  ASSERT_GE(a.events.size(), 3u);
  EXPECT_EQ(a.events[1].type, Type::Received);
  EXPECT_EQ(a.events[1].bytes, farewell);
  EXPECT_EQ(a.events[2].type, Type::Disconnected);

  // The peers are gone: sending to them is ignored, and a newcomer gets the first free number.
  host.link.Send(0, farewell, true);
  a.link.Send(0, farewell, true);
  EXPECT_EQ(host.link.RoundTrip(0), 0u);
  Side c;
  std::string error;
  ASSERT_TRUE(c.link.Join("127.0.0.1", port, error)) << error;
  ASSERT_TRUE(Pump({&host, &c}, [&] { return c.Count(Type::Connected, 0) == 1; }));
  ASSERT_TRUE(Pump({&host, &c}, [&] { return host.Count(Type::Connected, 0) == 2; }));
  EXPECT_TRUE(host.From(0).empty());
}

TEST_F(NetLink, CloseEndsEveryConnection) {
  host.link.Close();
  ASSERT_TRUE(Pump({&host, &a, &b}, [&] {
    return a.Count(Type::Disconnected, 0) == 1 && b.Count(Type::Disconnected, 0) == 1;
  }));
  // Closed, the link can host again.
  std::string error;
  EXPECT_TRUE(host.link.Host(port, 2, error)) << error;
}

TEST_F(NetLink, SilenceEndsTheConnection) {
  // a says something, then stops answering; c knocks where nobody listens (a port just
  // freed), which ends only after the longer wait a machine still connecting is given.
  a.link.Send(0, Bytes{1}, true);
  ASSERT_TRUE(Pump({&host, &a, &b}, [&] { return host.From(0).size() == 1; }));
  Link gone;
  const uint16_t nobody = HostSomewhere(gone, 1);
  ASSERT_NE(nobody, 0);
  gone.Close();
  Side c;
  std::string error;
  ASSERT_TRUE(c.link.Join("127.0.0.1", nobody, error)) << error;
  ASSERT_TRUE(Pump(
      {&host, &b, &c},
      [&] { return host.Count(Type::Disconnected, 0) == 1 && c.Count(Type::Disconnected, 0) == 1; },
      14000));
  EXPECT_EQ(c.Count(Type::Connected, 0), 0);

  EXPECT_EQ(host.Count(Type::Disconnected, 1), 0)
      << "b, connected but silent so far, is not cut: its handshake may still be on its way";
}

TEST(NetLinkErrors, RefusesWhatCannotWork) {
  Link held;
  const uint16_t port = HostSomewhere(held, 2);
  ASSERT_NE(port, 0);
  std::string error;
  EXPECT_FALSE(held.Host(port + 1, 2, error)) << "a link hosts once";

  Link other;
  error.clear();
  EXPECT_FALSE(other.Host(port, 2, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(other.Host(0, 0, error));
  error.clear();
  EXPECT_FALSE(other.Join("no-such-machine.invalid", port, error));
  EXPECT_FALSE(error.empty());

  // A link that never opened does nothing, and says so by silence.
  std::vector<LinkEvent> events;
  other.Service(0, events);
  other.Send(0, Bytes{1, 2}, true);
  other.Drop(0);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(other.BytesSent(), 0u);
}

// A plain UDP socket on 127.0.0.1, for speaking to the discovery side directly.
class Udp {
 public:
  Udp() {
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = Loopback(0);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
      ADD_FAILURE() << "cannot bind a socket on 127.0.0.1";
    }
  }
  ~Udp() { ::close(fd_); }
  Udp(const Udp&) = delete;
  Udp& operator=(const Udp&) = delete;

  uint16_t Port() const {
    sockaddr_in a{};
    socklen_t size = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
    return ntohs(a.sin_port);
  }
  void SendTo(uint16_t port, const Bytes& bytes) const {
    const sockaddr_in to = Loopback(port);
    ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
  // The next datagram within `waitMs`, and where it came from; false when none came.
  bool Receive(Bytes& bytes, uint16_t& fromPort, int waitMs) const {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0) return false;
    bytes.resize(2048);
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const ssize_t got =
        ::recvfrom(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), &size);
    if (got < 0) return false;
    bytes.resize(static_cast<size_t>(got));
    fromPort = ntohs(from.sin_port);
    return true;
  }

 private:
  static sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
  }
  int fd_ = -1;
};

// A port the system just handed out and took back: free, as far as anyone can tell.
uint16_t FreeUdpPort() {
  Udp probe;
  return probe.Port();
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Probe(uint32_t protocol) {
  Bytes b = Text("TDXPROBE");
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(protocol >> (8 * i)));
  return b;
}

Bytes Reply(uint16_t port, uint8_t machines, uint8_t started, const std::string& name) {
  Bytes b = Text("TDXHOST1");
  b.insert(b.end(), {static_cast<uint8_t>(port & 0xff), static_cast<uint8_t>(port >> 8), machines,
                     started, static_cast<uint8_t>(name.size())});
  b.insert(b.end(), name.begin(), name.end());
  return b;
}

TEST(NetLinkDiscovery, FindsAHostWithWhatItAnswers) {
  struct Case {
    std::string name;
    int machines;
    bool started;
    std::string found;  // the name as the finder lists it
  };
  const Case cases[] = {
      {"Ada's arena", 3, false, "Ada's arena"},
      // A name the reply cannot carry as it is still gets through, made printable and cut.
      {"tab\there" + std::string(70, 'x'), kMaxMachines, true,
       "tab?here" + std::string(kMaxText - 8, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.found);
    const uint16_t discovery = FreeUdpPort();
    ProbeResponder responder;
    std::string error;
    ASSERT_TRUE(responder.Open(discovery, error)) << error;
    auto finding =
        std::async(std::launch::async, [&] { return FindHosts("127.0.0.1", discovery, 300); });
    while (finding.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready) {
      responder.Answer(kDefaultPort, c.name, c.machines, c.started);
    }
    const std::vector<FoundHost> found = finding.get();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].address, "127.0.0.1");
    EXPECT_EQ(found[0].port, kDefaultPort);
    EXPECT_EQ(found[0].name, c.found);
    EXPECT_EQ(found[0].machines, c.machines);
    EXPECT_EQ(found[0].started, c.started);
  }
}

TEST(NetLinkDiscovery, ResponderAnswersOnlyProbesOfThisGame) {
  const uint16_t discovery = FreeUdpPort();
  ProbeResponder responder;
  std::string error;
  ASSERT_TRUE(responder.Open(discovery, error)) << error;
  Udp stranger;
  Bytes longer = Probe(kProtocol);
  longer.push_back(0);
  Bytes otherMagic = Probe(kProtocol);
  otherMagic[7] = 'F';
  const Bytes junk[] = {
      {},
      Text("TDXPROBE"),
      Probe(kProtocol + 1),
      longer,
      otherMagic,
      Reply(kDefaultPort, 1, 0, "x"),
      Bytes(1500, 0xff),
  };
  for (const Bytes& j : junk) stranger.SendTo(discovery, j);
  responder.Answer(kDefaultPort, "host", 2, false);
  Bytes got;
  uint16_t from = 0;
  EXPECT_FALSE(stranger.Receive(got, from, 100)) << "answered something not a probe";

  // Still listening after all that.
  stranger.SendTo(discovery, Probe(kProtocol));
  responder.Answer(kDefaultPort, "host", 2, false);
  ASSERT_TRUE(stranger.Receive(got, from, 1000));
  EXPECT_EQ(from, discovery);
  EXPECT_EQ(got, Reply(kDefaultPort, 2, 0, "host"));
}

TEST(NetLinkDiscovery, FinderListsOnlyWellFormedRepliesEachOnce) {
  const Bytes good = Reply(4000, 2, 1, "good");
  Bytes cutShort = Reply(4001, 2, 1, "cut");
  cutShort.pop_back();
  Bytes trailing = Reply(4002, 2, 1, "trailing");
  trailing.push_back('x');
  Bytes otherMagic = Reply(4003, 2, 1, "magic");
  otherMagic[7] = '2';
  const Bytes bad[] = {
      {},
      Text("TDXHOST1"),
      cutShort,
      trailing,
      otherMagic,
      Reply(0, 2, 1, "port zero"),
      Reply(4004, 0, 0, "no machines"),
      Reply(4005, kMaxMachines + 1, 0, "too many"),
      Reply(4006, 2, 2, "started twice"),
      Reply(4007, 2, 0, "bell\a"),
      Reply(4008, 2, 0, std::string(kMaxText + 1, 'n')),
  };
  Udp fake;
  const uint16_t fakePort = fake.Port();
  Bytes probe;
  std::thread answer([&] {
    uint16_t finder = 0;
    if (!fake.Receive(probe, finder, 2000)) return;
    for (const Bytes& b : bad) fake.SendTo(finder, b);
    fake.SendTo(finder, good);
    fake.SendTo(finder, good);
  });
  const std::vector<FoundHost> found = FindHosts("127.0.0.1", fakePort, 300);
  answer.join();
  EXPECT_EQ(probe, Probe(kProtocol));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].address, "127.0.0.1");
  EXPECT_EQ(found[0].port, 4000);
  EXPECT_EQ(found[0].name, "good");
  EXPECT_EQ(found[0].machines, 2);
  EXPECT_TRUE(found[0].started);
}

TEST(NetLinkDiscovery, FinderGivesNothingForAnAddressItCannotRead) {
  EXPECT_TRUE(FindHosts("not an address", FreeUdpPort(), 50).empty());
}

}  // namespace
