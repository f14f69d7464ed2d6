// One machine's part in a network match: the host gathers machines in its lobby, places the
// players each brings into its own set-up and starts the match; every machine then steps
// the match itself (net/rollback.h), sends its people's controls every frame and compares
// digests every second. The host passes each machine's controls on to the others.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "match/match.h"
#include "net/link.h"
#include "net/packets.h"
#include "net/rollback.h"

namespace tdx::net {

struct SessionOptions {
  bool host = false;
  uint16_t port = kDefaultPort;  // the host's
  std::string address;           // joining: the host's name or address; none: look for one
  uint16_t discoveryPort = kDiscoveryPort;
  std::string probeAddress = "255.255.255.255";  // where a joining machine looks for hosts
  std::string name = "tandrix";                  // this machine, as the lobby shows it
  std::string version;                           // the game's
  uint64_t seed = 0;                             // host: the match's
  int teamMode = 0;                              // host: 0 deathmatch, 1 team deathmatch
  // Host: frames between a key and its frame, 0 .. 4. None: a worm turns in the frame its
  // key goes down, and the others' machines correct it when they hear; stepping ten frames
  // again costs well under a millisecond, so a delay buys little.
  uint8_t inputDelay = 0;
  bool watcher = false;  // joining: only watch, at any time, from the match's start
};

// A machine in the lobby.
struct LobbyEntry {
  int machine = 0;
  std::string name;
  uint32_t roundTripMs = 0;
  uint16_t slots = 0;
  bool watcher = false;
  uint16_t people = 0;  // those of its slots people play
};

class NetSession {
 public:
  enum class State : uint8_t { Connecting, Lobby, Playing, Over, Failed };

  NetSession();
  ~NetSession();
  NetSession(const NetSession&) = delete;
  NetSession& operator=(const NetSession&) = delete;

  // Host: listens; joining: connects and introduces the players of `own` (its active slots).
  bool Open(const SessionOptions& options, const SettingsBlock& own, std::string& error);
  // The wire's news, for at most `waitMs`.
  void Poll(int waitMs);
  // Host: starts the match with the machines in the lobby now (false with the reason when
  // they bring too few players or teams for the mode).
  bool StartMatch(std::string& error);
  // Host: the mode of the match it starts: 0 deathmatch, 1 team deathmatch.
  void SetTeamMode(int teamMode) { options_.teamMode = teamMode; }
  // Host: the port it listens on.
  uint16_t Port() const { return options_.port; }

  State GetState() const { return state_; }
  // Why the session failed or ended ("" while it goes on).
  const std::string& Message() const { return message_; }
  const std::vector<LobbyEntry>& Lobby() const { return lobby_; }
  // Machines that play (watchers are not counted).
  int Machines() const;

  // Playing: this machine's people (their slots), and their controls for the frame
  // inputDelay frames ahead of the next one.
  uint16_t LocalSlots() const { return localSlots_; }
  void SetControls(const std::array<uint8_t, kPlayerSlots>& bits);
  // Steps as many frames as the window allows, up to `upTo` frames in all.
  void Step(uint32_t upTo);
  RollbackMatch* Match() { return match_.get(); }
  // The match as it started, and its seed (for the recording).
  const tdx::Match& Start() const { return *start_; }
  uint64_t Seed() const { return seed_; }
  // Frames become final in order; takes them (and checks the digests of others).
  void TakeFinal(std::vector<ConfirmedFrame>& frames);
  uint64_t BytesSent() const { return link_.BytesSent(); }
  // Host: a watcher still catching up on the match (the host stays for it at the end).
  bool WatchersCatchingUp() const;
  // Whether the machines still playing have said they hold every frame of our controls
  // (the host: every machine has every frame of everyone's).
  bool OthersHaveAllOfOurs() const;
  // What the players should be told (a machine fell silent), taken once.
  std::vector<std::string> TakeNotices() { return std::exchange(notices_, {}); }

 private:
  void OnPacket(int peer, const std::vector<uint8_t>& bytes);
  void OnHello(int peer, const Hello& h);
  void OnInputs(int peer, const Inputs& in);
  void OnDigest(int peer, const Digest& d);
  void OnGone(int peer);
  void TakeOverMachine(int machine);
  // Whether a machine plays in the match (owns a slot).
  bool InMatch(int machine) const {
    for (uint8_t o : owner_) {
      if (o == machine) return true;
    }
    return false;
  }
  void SendLobby();
  void SendInputs();
  void SendControlsTo(int machine);
  void Fail(const std::string& why);
  void Send(int peer, const Packet& p, bool reliable);
  // To the host, or from the host to every machine.
  void SendOut(const Packet& p, bool reliable);
  // The match differs from another machine's at `frame`: it stops here (telling the
  // others when `tell`).
  void Differs(uint32_t frame, bool tell);
  void Begin(const net::Start& s);
  int MachineOf(int peer) const;

  SessionOptions options_;
  SettingsBlock own_{};
  Link link_;
  ProbeResponder probes_;
  State state_ = State::Connecting;
  std::string message_;
  std::vector<LobbyEntry> lobby_;
  // Host: the link peer of each machine (-1 the host itself or nobody).
  std::array<int, kMaxMachines> peerOf_{};
  int machine_ = 0;  // ours: 0 the host
  int hostPeer_ = -1;
  std::unique_ptr<tdx::Match> start_;
  std::unique_ptr<RollbackMatch> match_;
  std::array<uint8_t, kPlayerSlots> owner_{};
  uint16_t localSlots_ = 0;
  uint64_t seed_ = 0;
  uint8_t inputDelay_ = 0;
  // What each machine says it has of everyone (all frames before): we send from the least.
  std::array<uint32_t, kMaxMachines> confirmedBy_{};
  // What was sent last: our people's frames, what we had of everyone, and (the host) how
  // many frames of other machines' controls it had heard.
  uint32_t sentHeard_ = 0, sentConfirmed_ = 0;
  uint64_t sentOthers_ = 0;
  std::chrono::steady_clock::time_point sentAt_{};
  uint16_t gone_ = 0;      // machines that fell silent
  uint16_t watchers_ = 0;  // machines that only watch
  // Host: the match's start as sent, every final frame's people's controls and the
  // takeovers, for a watcher joining late.
  net::Start startPacket_{};
  std::vector<std::array<uint8_t, kPlayerSlots>> history_;
  std::vector<net::TakeOver> takeovers_;
  void SendHistory(int machine);
  void SendBacklogs();
  void SendToWatchers();
  // How far each watcher has been sent the final frames, sent a few packets at a time so
  // that its flood limit never drops them; once it has them all, it gets what is new.
  std::array<uint32_t, kMaxMachines> historyAt_{};
  std::chrono::steady_clock::time_point backlogAt_{};
  uint16_t Slots(int machine) const;
  std::vector<std::string> notices_;
  std::vector<FrameDigest> ownDigests_;
  std::vector<FrameDigest> theirDigests_;
};

}  // namespace tdx::net
