#!/usr/bin/env bash
# A network match of three machines on this one, headless, talking through the tests' UDP
# relay, which delays every datagram 50 ms (+-15 ms) each way and loses 5 % of them: two
# people on each machine (scripted keys) and two computer players each. Every machine (and
# a watcher joining late) must end with the same rounds, and the recording each kept must
# replay to them. Then a joining machine is killed mid-match, and then the host.
set -uo pipefail
: "${TANDRIX_BINARY:?set by ctest: the tandrix binary}"
: "${TANDRIX_GAME_DATA:?set by ctest: the generated game folder}"
: "${TANDRIX_SOURCE_DIR:?set by ctest: the source folder}"
export LC_ALL=C
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "net_play: $*" >&2
  for f in "$work"/m*/err; do [ -s "$f" ] && { echo "--- $f" >&2; tail -5 "$f" >&2; }; done
  exit 1
}

# A free UDP port for the host and one for the relay.
port() { python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
host_port=$(port)
relay_port=$(port)

# Each machine's folder: its own tandrix.cfg with two people and two computer players.
for m in 0 1 2; do
  mkdir -p "$work/m$m"
  ln -s "$TANDRIX_GAME_DATA/pak" "$work/m$m/pak"
  python3 - "$TANDRIX_GAME_DATA/tandrix.cfg" "$work/m$m/tandrix.cfg" "$m" <<'PY'
import sys
b = bytearray(open(sys.argv[1], 'rb').read())
m = int(sys.argv[3])
for i in range(12):
    b[12 * i] = 1                      # off
for i in range(4):
    b[12 * i] = 2 if i < 2 else 4      # two people, two planners
    b[12 * i + 1] = 1 + (4 * m + i) % 20
    b[12 * i + 11] = 1 + i % 4
b[144] = 1                             # bonuses
b[152] = 0                             # three rounds
open(sys.argv[2], 'wb').write(b)
PY
done

python3 "$TANDRIX_SOURCE_DIR/tests/support/udp_relay.py" --listen "$relay_port" \
  --to "127.0.0.1:$host_port" --delay-ms 50 --jitter-ms 15 --loss 0.05 --seed 7 &
pids+=($!)

common=(--headless --trace)
(cd "$work/m0" && exec timeout 600 "$TANDRIX_BINARY" "${common[@]}" --host "$host_port" \
  --start deathmatch --machines 3 --seed 11 --script-people 1 --record net.tdxr \
  >out 2>err) &
pids+=($!)
sleep 0.3
for m in 1 2; do
  (cd "$work/m$m" && exec timeout 600 "$TANDRIX_BINARY" "${common[@]}" \
    --join "127.0.0.1:$relay_port" --script-people $((m + 1)) --record net.tdxr >out 2>err) &
  pids+=($!)
done
# A fourth machine joins to watch once the first round is scored: it catches up from the
# match's start.
mkdir -p "$work/w"
ln -s "$TANDRIX_GAME_DATA/pak" "$work/w/pak"
cp "$work/m1/tandrix.cfg" "$work/w/tandrix.cfg"
for _ in $(seq 1 600); do
  grep -q '^round=1 ' "$work/m0/out" 2>/dev/null && break
  sleep 0.1
done
(cd "$work/w" && exec timeout 600 "$TANDRIX_BINARY" "${common[@]}" --join "127.0.0.1:$relay_port" \
  --watch >out 2>err) &
pids+=($!)
for i in 1 2 3 4; do
  wait "${pids[$i]}" || fail "machine $((i - 1)) ended with an error"
done
common+=(--input-delay 2)

grep '^round=' "$work/m0/out" >"$work/rounds0"
[ "$(wc -l <"$work/rounds0")" -eq 3 ] || fail "the host did not play three rounds"
for m in 1 2; do
  grep '^round=' "$work/m$m/out" | cmp -s - "$work/rounds0" ||
    fail "machine $m ended with other rounds than the host"
done
grep '^round=' "$work/w/out" | cmp -s - "$work/rounds0" ||
  fail "the watcher, joining late, did not see the match's rounds"
for m in 0 1 2; do
  (cd "$work/m$m" && "$TANDRIX_BINARY" --headless --replay net.tdxr --trace 2>replay.err) |
    grep '^round=' | cmp -s - "$work/rounds0" ||
    fail "machine $m's recording does not replay to the match's rounds"
done
echo "net_play: three machines over a lossy relay played the same three rounds, a late watcher saw them, and each recording replays to them"

# Starts the host and two joining machines (through the relay) anew, in fresh folders.
start_three() {
  for m in 0 1 2; do rm -rf "$work/m$m/replays" "$work/m$m/out" "$work/m$m/err"; done
  host_port=$(port)
  relay_port=$(port)
  python3 "$TANDRIX_SOURCE_DIR/tests/support/udp_relay.py" --listen "$relay_port" \
    --to "127.0.0.1:$host_port" --delay-ms 50 --jitter-ms 15 --loss 0.05 --seed 8 &
  pids+=($!)
  (cd "$work/m0" && exec timeout 600 "$TANDRIX_BINARY" "${common[@]}" --host "$host_port" \
    --start deathmatch --machines 3 --seed 12 --script-people 1 >out 2>err) &
  host_pid=$!
  sleep 0.3
  (cd "$work/m1" && exec timeout 600 "$TANDRIX_BINARY" "${common[@]}" \
    --join "127.0.0.1:$relay_port" --script-people 2 >out 2>err) &
  one_pid=$!
  sleep 0.3
  (cd "$work/m2" && exec timeout 600 "$TANDRIX_BINARY" "${common[@]}" \
    --join "127.0.0.1:$relay_port" --script-people 3 >out 2>err) &
  two_pid=$!
  pids+=("$host_pid" "$one_pid" "$two_pid")
}
# Kills a machine at once: the game under its time limit, then the limit.
kill_machine() {
  pkill -9 -P "$1"
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}
# Waits until machine $1 has played into its second round.
second_round() {
  for _ in $(seq 1 600); do
    grep -q '^round=1 ' "$work/m$1/out" 2>/dev/null && grep -A50 '^round=1 ' "$work/m$1/out" |
      grep -q 'phase=Playing' && return 0
    sleep 0.1
  done
  return 1
}

# 2. A joining machine killed mid-match: the others play on to the end, its worms played by
# the computer, and still agree.
start_three
second_round 2 || fail "the match never reached its second round"
kill_machine "$two_pid"
wait "$host_pid" || fail "the host did not play on after a machine fell silent"
wait "$one_pid" || fail "machine 1 did not play on after machine 2 fell silent"
grep -q 'fell silent' "$work/m0/err" || fail "the host did not say that machine 2 fell silent"
grep -q 'fell silent' "$work/m1/err" || fail "machine 1 was not told that machine 2 fell silent"
grep '^round=' "$work/m0/out" >"$work/rounds0"
[ "$(wc -l <"$work/rounds0")" -eq 3 ] || fail "the host did not finish the match"
grep '^round=' "$work/m1/out" | cmp -s - "$work/rounds0" ||
  fail "after the takeover machine 1 ended with other rounds than the host"
for m in 0 1; do
  (cd "$work/m$m" && "$TANDRIX_BINARY" --headless --replay replays/*.tdxr --trace 2>replay.err) |
    grep '^round=' | cmp -s - "$work/rounds0" ||
    fail "machine $m's recording of the match with a takeover does not replay to its rounds"
done
echo "net_play: a machine killed mid-match had its worms played by the computer; the others agreed"

# 3. The host killed mid-match: the others end with a message and keep their recordings.
start_three
second_round 1 || fail "the match never reached its second round"
kill_machine "$host_pid"
for pid in "$one_pid" "$two_pid"; do
  wait "$pid" && fail "a machine went on as if the host were still there"
done
for m in 1 2; do
  grep -q 'the host left the match' "$work/m$m/err" ||
    fail "machine $m did not say that the host left: $(tail -1 "$work/m$m/err")"
  ls "$work/m$m/replays/"*.tdxr >/dev/null 2>&1 || fail "machine $m did not keep its recording"
  (cd "$work/m$m" && "$TANDRIX_BINARY" --headless --replay replays/*.tdxr --trace >/dev/null \
    2>replay.err) || fail "machine $m's recording of the match cut short does not replay"
done
echo "net_play: with the host gone the others ended with a message and kept their recordings"
