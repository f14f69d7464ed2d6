// Machines of a network match in one process, talking over the loopback: what the host
// accepts from a machine joining it, and what it does with a machine that speaks out of turn.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "match/snapshot.h"
#include "net/session.h"

namespace tdx::net {
namespace {

using Clock = std::chrono::steady_clock;

// Two people and two computer players; `first` is the first slot used.
SettingsBlock TwoAndTwo(int first) {
  SettingsBlock s{};
  for (auto& p : s.players) p.controller = CtrlOff;
  for (int i = 0; i < 4; ++i) {
    PlayerSetup& p = s.players[first + i];
    p.controller = i < 2 ? CtrlHuman : CtrlCpuIq10;
    p.kind = static_cast<uint8_t>(1 + i);
    p.team = static_cast<uint8_t>(1 + i);
  }
  return s;
}

SessionOptions Options(bool host, uint16_t port, const std::string& version = "1.0") {
  SessionOptions o;
  o.host = host;
  o.port = port;
  o.address = "127.0.0.1";
  o.version = version;
  o.seed = 3;
  o.name = host ? "host" : "guest";
  o.discoveryPort = static_cast<uint16_t>(port + 1);  // tests never answer the real one
  o.probeAddress = "127.0.0.1";
  return o;
}

// A host listening on a free port.
uint16_t OpenHost(NetSession& host) {
  std::string error;
  for (int i = 0; i < 200; ++i) {
    const auto port = static_cast<uint16_t>(30000 + (::getpid() * 11 + i * 7) % 20000);
    if (host.Open(Options(true, port), TwoAndTwo(0), error)) return port;
  }
  return 0;
}

// Polls every session until `done` holds; false after `limitMs` (a net against hanging).
bool Until(std::initializer_list<NetSession*> sessions, const std::function<bool()>& done,
           int limitMs = 5000) {
  const auto end = Clock::now() + std::chrono::milliseconds(limitMs);
  while (!done()) {
    if (Clock::now() > end) return false;
    for (NetSession* s : sessions) s->Poll(1);
  }
  return true;
}

TEST(NetSession, AMachineOfAnotherVersionOrRulesIsRefusedSayingWhich) {
  NetSession host;
  const uint16_t port = OpenHost(host);
  ASSERT_NE(port, 0);
  NetSession other;
  std::string error;
  ASSERT_TRUE(other.Open(Options(false, port, "0.9"), TwoAndTwo(0), error)) << error;
  ASSERT_TRUE(
      Until({&host, &other}, [&] { return other.GetState() == NetSession::State::Failed; }));
  EXPECT_EQ(other.Message(), "the host refused: it is version 0.9, the host is version 1.0");
  EXPECT_EQ(host.Machines(), 1) << "the refused machine is not in the lobby";
}

TEST(NetSession, MachinesShareOneSetupNobodySpeaksForAnotherAndADifferenceStopsAll) {
  NetSession host;
  const uint16_t port = OpenHost(host);
  ASSERT_NE(port, 0);
  NetSession guest;
  std::string error;
  ASSERT_TRUE(guest.Open(Options(false, port), TwoAndTwo(0), error)) << error;
  ASSERT_TRUE(Until({&host, &guest}, [&] { return host.Machines() == 2; }));

  // A stranger who joins, then claims the host's people and sends garbage.
  Link stranger;
  ASSERT_TRUE(stranger.Join("127.0.0.1", port, error)) << error;
  std::vector<LinkEvent> heard;
  auto pumpStranger = [&] { stranger.Service(0, heard); };
  Hello hello;
  hello.version = "1.0";
  hello.rules = kRulesVersion;
  hello.layout = SnapshotLayout();
  hello.name = "stranger";
  ASSERT_TRUE(Until({&host, &guest}, [&] {
    pumpStranger();
    for (const LinkEvent& e : heard) {
      if (e.type == LinkEvent::Type::Connected) {
        stranger.Send(0, Encode(hello), true);
        heard.clear();
      }
    }
    return host.Machines() == 3;
  }));

  ASSERT_TRUE(host.StartMatch(error)) << error;
  ASSERT_TRUE(Until({&host, &guest}, [&] {
    pumpStranger();
    return guest.GetState() == NetSession::State::Playing;
  }));
  // The guest's people took the first free slots after the host's four.
  const Match& start = guest.Start();
  EXPECT_EQ(guest.LocalSlots(), 0x30);
  EXPECT_EQ(host.LocalSlots(), 0x03);
  EXPECT_EQ(start.settings.players[4].controller, CtrlHuman);
  EXPECT_EQ(start.settings.players[6].controller, CtrlCpuIq10);
  EXPECT_EQ(start.settings.players[8].controller, CtrlOff);

  Inputs forged;
  forged.machine = 2;  // the stranger's own number, but the host's people's slots
  forged.slots = 0x03;
  forged.firstFrame = 0;
  forged.frames.assign(10, std::vector<uint8_t>{1, 1});
  Inputs pretending = forged;
  pretending.machine = 1;  // another machine's number for another machine's slots
  pretending.slots = 0x30;
  for (int i = 0; i < 20; ++i) {
    stranger.Send(0, Encode(forged), false);
    stranger.Send(0, Encode(pretending), false);
    stranger.Send(0, std::vector<uint8_t>{6, 200, 1, 2}, false);  // cut short
    stranger.Send(0, std::vector<uint8_t>(1500, 6), false);       // too long
    stranger.Flush();
    pumpStranger();
    host.Poll(1);
    guest.Poll(1);
  }
  // What each heard of the other's people is what the other gave (nothing pressed in the
  // frames before the first a key reaches), never the forged presses.
  for (auto [session, slot] : {std::pair{&host, 4}, std::pair{&guest, 0}}) {
    const RollbackMatch& r = *session->Match();
    EXPECT_LT(r.Heard(slot), 10u) << "forged frames were taken";
    for (uint32_t f = 0; f < r.Heard(slot); ++f) EXPECT_EQ(r.Given(f, slot), 0) << f;
  }
  EXPECT_EQ(host.GetState(), NetSession::State::Playing);
  EXPECT_EQ(guest.GetState(), NetSession::State::Playing);

  // The real machines still play on together.
  std::array<uint8_t, kPlayerSlots> keys{};
  ASSERT_TRUE(Until({&host, &guest}, [&] {
    pumpStranger();
    for (NetSession* s : {&host, &guest}) {
      s->SetControls(keys);
      s->Step(s->Match()->Frame() + 1);
      std::vector<ConfirmedFrame> final;
      s->TakeFinal(final);
    }
    return host.Match()->Confirmed() >= 120 && guest.Match()->Confirmed() >= 120;
  }));

  // A machine whose match differs says so with its digest: the match stops everywhere,
  // naming the frame.
  stranger.Send(0, Encode(Digest{59, 12345}), true);
  stranger.Flush();
  ASSERT_TRUE(Until({&host, &guest}, [&] {
    pumpStranger();
    return host.GetState() == NetSession::State::Failed &&
           guest.GetState() == NetSession::State::Failed;
  }));
  const std::string differs =
      "the match differs between machines at frame 59; each machine keeps its recording";
  EXPECT_EQ(host.Message(), differs);
  EXPECT_EQ(guest.Message(), differs);
}

TEST(NetSession, AMachineWithoutAnAddressFindsTheHostOnTheLocalNetwork) {
  NetSession host;
  const uint16_t port = OpenHost(host);
  ASSERT_NE(port, 0);
  NetSession guest;
  SessionOptions o = Options(false, port);
  o.address.clear();
  o.port = 1;  // found, not given
  std::string error;
  // The host answers probes as it polls; the guest's search waits for it meanwhile.
  std::thread answering([&] {
    for (int i = 0; i < 300 && host.Machines() < 2; ++i) host.Poll(5);
  });
  const bool opened = guest.Open(o, TwoAndTwo(0), error);
  ASSERT_TRUE(opened) << error;
  // Welcomed: the host has it in its lobby (and its thread stops polling).
  EXPECT_TRUE(Until({&guest}, [&] { return guest.GetState() == NetSession::State::Lobby; }));
  answering.join();
  EXPECT_EQ(host.Machines(), 2);
  const std::vector<std::string> notices = guest.TakeNotices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0], "joining host at 127.0.0.1:" + std::to_string(port));

  NetSession lost;
  SessionOptions nowhere = Options(false, port);
  nowhere.address.clear();
  nowhere.discoveryPort = static_cast<uint16_t>(port + 2);  // nobody answers there
  EXPECT_FALSE(lost.Open(nowhere, TwoAndTwo(0), error));
  EXPECT_EQ(error, "no host on the local network answered (give its address: --join ADDRESS)");
}

}  // namespace
}  // namespace tdx::net
