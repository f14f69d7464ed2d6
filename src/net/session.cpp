#include "net/session.h"

#include <algorithm>
#include <bit>
#include <chrono>

#include "match/snapshot.h"

namespace tdx::net {

namespace {

uint16_t Bit(int slot) { return static_cast<uint16_t>(1u << slot); }

std::string Frame(uint32_t f) { return "frame " + std::to_string(f); }

}  // namespace

NetSession::NetSession() { peerOf_.fill(-1); }
NetSession::~NetSession() { link_.Close(); }

bool NetSession::Open(const SessionOptions& options, const SettingsBlock& own, std::string& error) {
  options_ = options;
  own_ = own;
  peerOf_.fill(-1);
  owner_.fill(kNoMachine);
  if (options.host) {
    if (!link_.Host(options.port, kMaxMachines - 1, error)) return false;
    machine_ = 0;
    state_ = State::Lobby;
    uint16_t slots = 0, people = 0;
    for (int s = 0; s < kPlayerSlots; ++s) {
      if (TakesPart(own.players[s])) {
        slots |= Bit(s);
        owner_[static_cast<size_t>(s)] = 0;
      }
      if (IsHumanSlot(own.players[s])) people |= Bit(s);
    }
    lobby_ = {{0, options.name, 0, slots, false, people}};
    // Answering probes is a courtesy: another host on this machine may hold the port, and
    // machines can still join by address.
    std::string ignored;
    probes_.Open(options.discoveryPort, ignored);
    return true;
  }
  if (options_.address.empty()) {
    // The first host on the local network whose match has not begun.
    for (const FoundHost& h : FindHosts(options.probeAddress, options.discoveryPort, 1500)) {
      if (h.started) continue;
      options_.address = h.address;
      options_.port = h.port;
      notices_.push_back("joining " + h.name + " at " + h.address + ":" + std::to_string(h.port));
      break;
    }
    if (options_.address.empty()) {
      error = "no host on the local network answered (give its address: --join ADDRESS)";
      return false;
    }
  }
  state_ = State::Connecting;
  return link_.Join(options_.address, options_.port, error);
}

void NetSession::Fail(const std::string& why) {
  if (state_ == State::Failed) return;
  state_ = State::Failed;
  message_ = why;
}

void NetSession::Send(int peer, const Packet& p, bool reliable) {
  const std::vector<uint8_t> bytes = Encode(p);
  if (!bytes.empty() && peer >= 0) link_.Send(peer, bytes, reliable);
}

void NetSession::SendOut(const Packet& p, bool reliable) {
  if (options_.host) {
    for (int m = 1; m < kMaxMachines; ++m) Send(peerOf_[static_cast<size_t>(m)], p, reliable);
  } else {
    Send(hostPeer_, p, reliable);
  }
}

void NetSession::Differs(uint32_t frame, bool tell) {
  if (tell) {
    SendOut(Desync{frame}, true);
    link_.Flush();
  }
  Fail("the match differs between machines at " + Frame(frame) +
       "; each machine keeps its recording");
}

int NetSession::MachineOf(int peer) const {
  for (int m = 1; m < kMaxMachines; ++m) {
    if (peerOf_[static_cast<size_t>(m)] == peer) return m;
  }
  return -1;
}

void NetSession::Poll(int waitMs) {
  std::vector<LinkEvent> events;
  link_.Service(waitMs, events);
  for (LinkEvent& e : events) {
    switch (e.type) {
      case LinkEvent::Type::Connected:
        if (!options_.host && hostPeer_ < 0) {
          hostPeer_ = e.peer;
          Hello h;
          h.version = options_.version;
          h.rules = kRulesVersion;
          h.layout = SnapshotLayout();
          h.name = options_.name;
          h.watcher = options_.watcher;
          for (const PlayerSetup& p : own_.players) {
            if (TakesPart(p) && !h.watcher) h.players.push_back(p);
          }
          Send(hostPeer_, h, true);
        }
        break;
      case LinkEvent::Type::Received: OnPacket(e.peer, e.bytes); break;
      case LinkEvent::Type::Disconnected: OnGone(e.peer); break;
    }
  }
  if (state_ == State::Playing || state_ == State::Over) {
    // Controls go out with every new frame of our people's, what we heard of the others at
    // most once a frame, and every 50 ms regardless, which also covers a packet lost while
    // nothing new happens.
    const uint32_t heard = localSlots_ ? match_->Heard(std::countr_zero(localSlots_)) : 0;
    uint64_t others = 0;
    if (options_.host) {
      for (int m = 1; m < kMaxMachines; ++m) {
        const uint16_t slots = Slots(m);
        if (slots != 0) others += match_->Heard(std::countr_zero(slots));
      }
    }
    const uint32_t confirmed = match_->Confirmed();
    const auto now = std::chrono::steady_clock::now();
    const auto since = now - sentAt_;
    const bool frameAgo = since >= std::chrono::milliseconds(15);
    const bool news = confirmed != sentConfirmed_ || others != sentOthers_;
    // The host sends everyone's news together, once a frame: its own people's new frame
    // waits for nothing more than that.
    const bool ownNews = heard != sentHeard_ && (!options_.host || frameAgo);
    if (ownNews || (news && frameAgo) || since >= std::chrono::milliseconds(50)) {
      SendInputs();
      sentHeard_ = heard;
      sentOthers_ = others;
      sentConfirmed_ = confirmed;
      sentAt_ = now;
    }
  }
  if (options_.host) {
    probes_.Answer(options_.port, options_.name, Machines(), state_ != State::Lobby);
    SendBacklogs();
  }
  if (options_.host && state_ == State::Lobby) {
    for (LobbyEntry& l : lobby_) {
      if (l.machine > 0) l.roundTripMs = link_.RoundTrip(peerOf_[static_cast<size_t>(l.machine)]);
    }
  }
  link_.Flush();
}

void NetSession::OnPacket(int peer, const std::vector<uint8_t>& bytes) {
  Packet p;
  std::string error;
  if (!Decode(bytes.data(), bytes.size(), p, error)) return;  // a stranger's noise
  const bool fromHost = !options_.host && peer == hostPeer_;
  if (!options_.host && !fromHost) return;
  if (const auto* h = std::get_if<Hello>(&p)) {
    if (options_.host) OnHello(peer, *h);
  } else if (const auto* r = std::get_if<Refuse>(&p)) {
    if (fromHost) Fail("the host refused: " + r->reason);
  } else if (const auto* w = std::get_if<Welcome>(&p)) {
    if (fromHost && state_ == State::Connecting) {
      machine_ = w->machine;
      state_ = State::Lobby;
    }
  } else if (const auto* l = std::get_if<net::Lobby>(&p)) {
    if (fromHost && state_ == State::Lobby) {
      lobby_.clear();
      for (const LobbyMachine& m : l->machines) {
        lobby_.push_back({m.machine, m.name, m.roundTripMs, m.slots, m.watcher, m.people});
      }
    }
  } else if (const auto* s = std::get_if<net::Start>(&p)) {
    if (fromHost && state_ == State::Lobby) Begin(*s);
  } else if (const auto* in = std::get_if<Inputs>(&p)) {
    OnInputs(peer, *in);
  } else if (const auto* d = std::get_if<Digest>(&p)) {
    OnDigest(peer, *d);
  } else if (const auto* x = std::get_if<Desync>(&p)) {
    if (options_.host && (watchers_ >> MachineOf(peer) & 1)) return;
    Differs(x->frame, options_.host);  // the host tells everyone
  } else if (const auto* t = std::get_if<net::TakeOver>(&p)) {
    if (fromHost && match_ && t->machine != machine_) {
      match_->TakeOver(t->slots, t->fromFrame);
      gone_ |= static_cast<uint16_t>(1u << t->machine);
      notices_.push_back("machine " + std::to_string(t->machine) +
                         " fell silent: the computer plays its worms from now on");
    }
  } else if (const auto* b = std::get_if<Bye>(&p)) {
    if (fromHost) Fail("the host ended the match: " + b->reason);
  }
}

void NetSession::OnHello(int peer, const Hello& h) {
  auto refuse = [&](const std::string& why) {
    Send(peer, Refuse{why}, true);
    link_.Flush();
    link_.Drop(peer);
  };
  if (MachineOf(peer) >= 0) return;  // said hello already
  if (h.protocol != kProtocol) {
    refuse("it speaks network version " + std::to_string(h.protocol) + ", the host speaks " +
           std::to_string(kProtocol));
    return;
  }
  if (h.version != options_.version) {
    refuse("it is version " + h.version + ", the host is version " + options_.version);
    return;
  }
  if (h.rules != kRulesVersion || h.layout != SnapshotLayout()) {
    refuse("it plays other rules (version " + std::to_string(h.rules) + ", layout " +
           std::to_string(h.layout) + ") than the host (version " + std::to_string(kRulesVersion) +
           ", layout " + std::to_string(SnapshotLayout()) + ")");
    return;
  }
  if (state_ != State::Lobby && !h.watcher) {
    refuse("the match has begun (a machine may still join to watch it)");
    return;
  }
  if (state_ == State::Failed) {
    refuse("the match has ended");
    return;
  }
  int machine = -1;
  for (int m = 1; m < kMaxMachines && machine < 0; ++m) {
    if (peerOf_[static_cast<size_t>(m)] < 0) machine = m;
  }
  std::vector<int> free;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if (owner_[static_cast<size_t>(s)] == kNoMachine) free.push_back(s);
  }
  if (machine < 0 || free.size() < h.players.size()) {
    refuse("the match is full: " + std::to_string(h.players.size()) + " players do not fit in " +
           std::to_string(free.size()) + " free places");
    return;
  }
  uint16_t slots = 0;
  for (size_t i = 0; i < h.players.size(); ++i) {
    const int s = free[i];
    own_.players[s] = h.players[i];
    owner_[static_cast<size_t>(s)] = static_cast<uint8_t>(machine);
    slots |= Bit(s);
  }
  peerOf_[static_cast<size_t>(machine)] = peer;
  if (h.watcher) watchers_ |= Bit(machine);
  uint16_t people = 0;
  for (int s = 0; s < kPlayerSlots; ++s) {
    if ((slots & Bit(s)) && IsHumanSlot(own_.players[s])) people |= Bit(s);
  }
  lobby_.push_back({machine, h.name, link_.RoundTrip(peer), slots, h.watcher, people});
  Send(peer, Welcome{static_cast<uint8_t>(machine)}, true);
  if (state_ == State::Lobby) {
    SendLobby();
  } else {
    SendHistory(machine);
  }
}

int NetSession::Machines() const {
  return static_cast<int>(
      std::count_if(lobby_.begin(), lobby_.end(), [](const LobbyEntry& e) { return !e.watcher; }));
}

// A watcher joining a match under way gets its start and the takeovers so far at once,
// then every final frame from the first, a few packets at a time, then what is new, and
// steps it all as fast as it can.
void NetSession::SendHistory(int machine) {
  const int peer = peerOf_[static_cast<size_t>(machine)];
  Send(peer, startPacket_, true);
  for (const net::TakeOver& t : takeovers_) Send(peer, t, true);
  historyAt_[static_cast<size_t>(machine)] = 0;
}

uint16_t NetSession::Slots(int machine) const {
  uint16_t slots = 0;
  for (int i = 0; i < kPlayerSlots; ++i) {
    if (owner_[static_cast<size_t>(i)] == machine && IsHumanSlot(start_->settings.players[i])) {
      slots |= Bit(i);
    }
  }
  return slots;
}

void NetSession::SendBacklogs() {
  const auto now = std::chrono::steady_clock::now();
  if (!start_ || now - backlogAt_ < std::chrono::milliseconds(20)) return;
  backlogAt_ = now;
  const auto final = static_cast<uint32_t>(history_.size());
  for (int w = 1; w < kMaxMachines; ++w) {
    const int peer = peerOf_[static_cast<size_t>(w)];
    uint32_t& at = historyAt_[static_cast<size_t>(w)];
    if (!(watchers_ >> w & 1) || peer < 0) continue;
    // No further ahead of what the watcher has than it takes.
    const uint32_t most =
        std::min<uint32_t>(final, confirmedBy_[static_cast<size_t>(w)] + RollbackMatch::kAhead / 2);
    for (int packets = 0; packets < 8 && at < most;) {
      const uint32_t end = std::min(most, at + static_cast<uint32_t>(kMaxInputFrames));
      for (int m = 0; m < kMaxMachines; ++m) {
        const uint16_t slots = Slots(m);
        uint32_t until = end;
        for (const net::TakeOver& t : takeovers_) {
          if (t.machine == m) until = std::min(until, t.fromFrame);
        }
        if (slots == 0 || at >= until) continue;
        Inputs in;
        in.machine = static_cast<uint8_t>(m);
        in.slots = slots;
        in.firstFrame = at;
        for (uint32_t f = at; f < until; ++f) {
          std::vector<uint8_t> row;
          for (int i = 0; i < kPlayerSlots; ++i) {
            if (slots & Bit(i)) row.push_back(history_[f][static_cast<size_t>(i)]);
          }
          in.frames.push_back(std::move(row));
        }
        Send(peer, in, true);
        ++packets;
      }
      at = end;
    }
  }
}

bool NetSession::OthersHaveAllOfOurs() const {
  if (!match_) return true;
  const uint32_t frames = match_->Frame();
  if (!options_.host) return hostPeer_ < 0 || confirmedBy_[0] >= frames;
  for (int m = 1; m < kMaxMachines; ++m) {
    if (peerOf_[static_cast<size_t>(m)] < 0 || ((gone_ | watchers_) >> m & 1)) continue;
    if (confirmedBy_[static_cast<size_t>(m)] < frames) return false;
  }
  return true;
}

bool NetSession::WatchersCatchingUp() const {
  for (int w = 1; w < kMaxMachines; ++w) {
    if ((watchers_ >> w & 1) && peerOf_[static_cast<size_t>(w)] >= 0 &&
        confirmedBy_[static_cast<size_t>(w)] < history_.size()) {
      return true;
    }
  }
  return false;
}

void NetSession::SendLobby() {
  net::Lobby l;
  for (const LobbyEntry& e : lobby_) {
    l.machines.push_back({static_cast<uint8_t>(e.machine), e.name,
                          static_cast<uint16_t>(std::min<uint32_t>(e.roundTripMs, 65535)), e.slots,
                          e.watcher, e.people});
  }
  for (int m = 1; m < kMaxMachines; ++m) Send(peerOf_[static_cast<size_t>(m)], l, true);
}

bool NetSession::StartMatch(std::string& error) {
  if (!options_.host || state_ != State::Lobby) {
    error = "only the host starts the match, from its lobby";
    return false;
  }
  net::Start s;
  s.seed = options_.seed;
  s.teamMode = static_cast<uint8_t>(options_.teamMode);
  s.inputDelay = std::min<uint8_t>(options_.inputDelay, 4);
  s.setup = own_;
  // Slots nobody brought are off: the host's set-up decides only its own.
  for (int i = 0; i < kPlayerSlots; ++i) {
    if (owner_[static_cast<size_t>(i)] == kNoMachine) s.setup.players[i].controller = CtrlOff;
  }
  s.owner = owner_;
  // As at one keyboard: a match needs two players (two teams) to play against each other.
  const int players = ActivePlayerCount(s.setup), teamCount = TeamCount(s.setup);
  if (s.teamMode == 0 ? players < 2 : teamCount < 2) {
    error = s.teamMode == 0 ? "deathmatch needs at least two players taking part; the machines "
                              "bring " +
                                  std::to_string(players)
                            : "team_deathmatch needs at least two teams taking part; the "
                              "machines bring " +
                                  std::to_string(teamCount);
    return false;
  }
  startPacket_ = s;
  for (int m = 1; m < kMaxMachines; ++m) Send(peerOf_[static_cast<size_t>(m)], s, true);
  Begin(s);
  return true;
}

void NetSession::Begin(const net::Start& s) {
  start_ = std::make_unique<tdx::Match>();
  BuildMatch(*start_, s.seed, s.setup, s.teamMode);
  seed_ = s.seed;
  inputDelay_ = s.inputDelay;
  owner_ = s.owner;
  localSlots_ = 0;
  for (int i = 0; i < kPlayerSlots; ++i) {
    if (owner_[static_cast<size_t>(i)] == machine_ && IsHumanSlot(s.setup.players[i])) {
      localSlots_ |= Bit(i);
    }
  }
  match_ = std::make_unique<RollbackMatch>();
  match_->Begin(*start_, localSlots_);
  // The frames before the first a key can reach hold nothing pressed.
  for (int i = 0; i < kPlayerSlots; ++i) {
    if ((localSlots_ & Bit(i)) && inputDelay_ > 0) match_->SetLocal(inputDelay_ - 1u, i, 0);
  }
  confirmedBy_.fill(0);
  state_ = State::Playing;
}

void NetSession::SetControls(const std::array<uint8_t, kPlayerSlots>& bits) {
  if (!match_ || state_ != State::Playing) return;
  for (int i = 0; i < kPlayerSlots; ++i) {
    if (localSlots_ & Bit(i)) match_->SetLocal(match_->Frame() + inputDelay_, i, bits[i]);
  }
}

namespace {

// The controls of `slots` for frames from .. until - 1 into `in`, as `match` has them.
void FillControls(Inputs& in, const RollbackMatch& match, uint16_t slots, uint32_t from,
                  uint32_t until) {
  in.slots = slots;
  in.firstFrame = from;
  for (uint32_t f = from; f < until; ++f) {
    std::vector<uint8_t> row;
    for (int i = 0; i < kPlayerSlots; ++i) {
      if (slots & Bit(i)) row.push_back(match.Given(f, i));
    }
    in.frames.push_back(std::move(row));
  }
}

// The first frame to send a machine that has everything before `acked` of controls heard up
// to `heard`: no further back than the frames kept, nor more than one packet holds.
uint32_t SendFrom(uint32_t acked, uint32_t heard) {
  return std::max({acked, heard > RollbackMatch::kKept ? heard - RollbackMatch::kKept : 0u,
                   heard > kMaxInputFrames ? heard - kMaxInputFrames : 0u});
}

}  // namespace

void NetSession::SendInputs() {
  if (!match_) return;
  if (options_.host) {
    // One send per machine: every other machine's new controls from the host's own record,
    // in one datagram, instead of passing each machine's packets on to every other.
    for (int m = 1; m < kMaxMachines; ++m) {
      if (!(watchers_ >> m & 1)) SendControlsTo(m);
    }
    SendToWatchers();
    return;
  }
  Inputs in;
  in.machine = static_cast<uint8_t>(machine_);
  in.slots = localSlots_;
  in.ackFrame = match_->Confirmed();
  if (localSlots_ != 0) {
    const uint32_t heard = match_->Heard(std::countr_zero(localSlots_));
    // What the host lacks of ours lies after what it says it has.
    FillControls(in, *match_, localSlots_, SendFrom(confirmedBy_[0], heard), heard);
  }
  if (in.frames.empty()) {
    in.slots = 0;  // only what we have of the others
    in.firstFrame = 0;
  }
  Send(hostPeer_, in, false);
}

// Every machine's controls that `to` may lack, from what it says it has, one packet per
// machine; the acknowledgement says how far the host has `to`'s own.
void NetSession::SendControlsTo(int to) {
  const int peer = peerOf_[static_cast<size_t>(to)];
  if (peer < 0) return;
  const uint16_t own = Slots(to);
  const uint32_t ack = own != 0 ? match_->Heard(std::countr_zero(own)) : match_->Confirmed();
  bool sent = false;
  for (int m = 0; m < kMaxMachines; ++m) {
    const uint16_t slots = Slots(m);
    if (m == to || slots == 0 || (gone_ >> m & 1)) continue;
    const uint32_t heard = match_->Heard(std::countr_zero(slots));
    const uint32_t from =
        std::max(SendFrom(confirmedBy_[static_cast<size_t>(to)], heard), match_->OldestGiven());
    if (from >= heard) continue;
    Inputs in;
    in.machine = static_cast<uint8_t>(m);
    in.ackFrame = ack;
    FillControls(in, *match_, slots, from, heard);
    Send(peer, in, false);
    sent = true;
  }
  if (!sent) {
    Inputs in;  // nothing new: only how far the host has this machine's controls
    in.ackFrame = ack;
    Send(peer, in, false);
  }
}

// Watchers get every machine's controls from the host's own record, from what each watcher
// says it has (or as far back as the record goes): nothing they need can fall between the
// history they were sent and the controls of now.
void NetSession::SendToWatchers() {
  for (int w = 1; w < kMaxMachines; ++w) {
    const int peer = peerOf_[static_cast<size_t>(w)];
    if (!(watchers_ >> w & 1) || peer < 0 || historyAt_[static_cast<size_t>(w)] < history_.size()) {
      continue;
    }
    SendControlsTo(w);
  }
}

void NetSession::OnInputs(int peer, const Inputs& in) {
  if (!match_) return;
  const int sender = options_.host ? MachineOf(peer) : in.machine;
  // A machine speaks only for itself, and the host passes on only what machines said.
  if (sender < 0 || sender != in.machine || sender == machine_) return;
  uint16_t owned = 0;
  for (int i = 0; i < kPlayerSlots; ++i) {
    if (owner_[static_cast<size_t>(i)] == sender && IsHumanSlot(start_->settings.players[i])) {
      owned |= Bit(i);
    }
  }
  if ((in.slots & ~owned) != 0) return;
  // The host's packets say how far it has ours, whichever machine's controls they carry.
  const auto acker = static_cast<size_t>(options_.host ? sender : 0);
  confirmedBy_[acker] = std::max(confirmedBy_[acker], in.ackFrame);
  for (size_t k = 0; k < in.frames.size(); ++k) {
    size_t column = 0;
    for (int i = 0; i < kPlayerSlots; ++i) {
      if (!(in.slots & Bit(i))) continue;
      match_->Confirm(in.firstFrame + static_cast<uint32_t>(k), i, in.frames[k][column++]);
    }
  }
}

void NetSession::OnDigest(int peer, const Digest& d) {
  // Joining machines compare with the host's; the host with everyone's.
  if (!options_.host && peer != hostPeer_) return;
  if (options_.host && MachineOf(peer) < 0) return;
  // A watcher's digests are its own concern: it cannot stop the players' match.
  if (options_.host && (watchers_ >> MachineOf(peer) & 1)) return;
  for (const FrameDigest& own : ownDigests_) {
    if (own.frame == d.frame && own.digest != d.digest) {
      Differs(d.frame, true);
      return;
    }
  }
  theirDigests_.push_back({d.frame, d.digest});
  if (theirDigests_.size() > 64) theirDigests_.erase(theirDigests_.begin());
}

void NetSession::OnGone(int peer) {
  if (!options_.host) {
    if (peer != hostPeer_) return;
    if (state_ == State::Connecting) {
      Fail("cannot reach the host " + options_.address + ":" + std::to_string(options_.port));
    } else if (state_ == State::Lobby) {
      Fail("the host left before the match began");
    } else if (state_ == State::Playing && match_ && !match_->NeedsOthers()) {
      // Nobody elsewhere steers a worm: the match here cannot differ from the host's.
      notices_.push_back("the host left; nobody else steers a worm, so the match plays on");
    } else if (state_ != State::Over) {
      Fail("the host left the match");
    }
    hostPeer_ = -1;  // nothing more to send it, nor to wait for
    return;
  }
  const int m = MachineOf(peer);
  if (m < 0) return;
  peerOf_[static_cast<size_t>(m)] = -1;
  if (state_ == State::Lobby) {
    for (int s = 0; s < kPlayerSlots; ++s) {
      if (owner_[static_cast<size_t>(s)] == m) {
        owner_[static_cast<size_t>(s)] = kNoMachine;
        own_.players[s].controller = CtrlOff;
      }
    }
    std::erase_if(lobby_, [&](const LobbyEntry& e) { return e.machine == m; });
    SendLobby();
  } else if (state_ == State::Playing && !(watchers_ >> m & 1)) {
    TakeOverMachine(m);
  }
}

void NetSession::TakeOverMachine(int machine) {
  gone_ |= static_cast<uint16_t>(1u << machine);
  uint16_t slots = 0;
  for (int i = 0; i < kPlayerSlots; ++i) {
    if (owner_[static_cast<size_t>(i)] == machine && IsHumanSlot(start_->settings.players[i])) {
      slots |= Bit(i);
    }
  }
  notices_.push_back("machine " + std::to_string(machine) +
                     " fell silent: the computer plays its worms from now on");
  if (slots == 0 || !match_) return;
  // From the first frame the host lacks: the others get what the host has before it, which
  // may be more than they heard themselves.
  const uint32_t from = match_->Heard(std::countr_zero(slots));
  Inputs last;
  last.machine = static_cast<uint8_t>(machine);
  last.ackFrame = 0;
  FillControls(last, *match_, slots,
               from > static_cast<uint32_t>(kMaxInputFrames) ? from - kMaxInputFrames : 0, from);
  const net::TakeOver t{slots, from, static_cast<uint8_t>(machine)};
  takeovers_.push_back(t);
  for (int m = 1; m < kMaxMachines; ++m) {
    const int peer = peerOf_[static_cast<size_t>(m)];
    if (!last.frames.empty()) Send(peer, last, true);
    Send(peer, t, true);
  }
  match_->TakeOver(slots, from);
}

void NetSession::Step(uint32_t upTo) {
  if (!match_ || state_ != State::Playing) return;
  RollbackMatch& r = *match_;
  while (r.Frame() < upTo && r.CanAdvance() && r.Current().phase != GamePhase::GameOver) {
    r.Advance();
  }
  if (r.Current().phase == GamePhase::GameOver) r.CatchUp();
}

void NetSession::TakeFinal(std::vector<ConfirmedFrame>& frames) {
  if (!match_) return;
  std::vector<FrameDigest> digests;
  const size_t before = frames.size();
  match_->TakeFinal(frames, digests);
  if (options_.host) {
    for (size_t k = before; k < frames.size(); ++k) {
      std::array<uint8_t, kPlayerSlots> row{};
      for (size_t i = 0; i < kPlayerSlots; ++i) {
        row[i] = frames[k].controls[i].NowBits();
      }
      history_.push_back(row);
    }
  }
  for (const FrameDigest& d : digests) {
    ownDigests_.push_back(d);
    if (ownDigests_.size() > 64) ownDigests_.erase(ownDigests_.begin());
    SendOut(Digest{d.frame, d.digest}, true);
    for (const FrameDigest& t : theirDigests_) {
      if (t.frame == d.frame && t.digest != d.digest) Differs(d.frame, true);
    }
  }
  if (state_ == State::Playing && match_->Final().phase == GamePhase::GameOver) {
    state_ = State::Over;
  }
}

}  // namespace tdx::net
