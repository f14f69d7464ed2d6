#!/usr/bin/env bash
# Plays every generated module through an independent player (libopenmpt's openmpt123)
# and measures what comes out: 1 to 3 minutes long, sound rather than silence, no silent
# stretch before the ending, no clipping, and a play time in music.dat that leaves room
# for the fade-out before the module ends. Prints the measurements per module.
set -euo pipefail

game="${TANDRIX_GAME_DATA:-}"
stage=""
if [ -n "$game" ] && [ -d "$game/../stage" ]; then
  stage="$(cd "$game/../stage" && pwd)"
fi
if [ -z "$stage" ] || [ ! -d "$stage/music" ] || [ ! -f "$stage/dat/music.dat" ]; then
  echo "SKIP: no generated music next to TANDRIX_GAME_DATA='$game' (build the data with TANDRIX_DATA=ON)"
  exit 0
fi
if ! command -v openmpt123 >/dev/null; then
  echo "FAIL: openmpt123 is not installed (scripts/install-deps)"
  exit 1
fi

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# music.dat: five lines per module (slot, file, fade-in, fade-out, play time).
declare -A fadeout=() playtime=()
mapfile -t lines < <(tr -d '\r' < "$stage/dat/music.dat")
for ((i = 0; i + 4 < ${#lines[@]}; i += 5)); do
  [ -z "${lines[i]}" ] && break
  fadeout["${lines[i + 1]}"]="${lines[i + 3]}"
  playtime["${lines[i + 1]}"]="${lines[i + 4]}"
done

rate=11025
fail=0
count=0
printf '%-18s %8s %8s %8s %10s %6s\n' module seconds peak rms quietest5s play
for path in "$stage"/music/*.xm "$stage"/music/*.mod; do
  [ -e "$path" ] || continue
  name="$(basename "$path")"
  count=$((count + 1))
  cp "$path" "$tmp/$name"
  if ! openmpt123 --quiet --render --samplerate "$rate" --channels 1 --output-type raw --force "$tmp/$name" \
      >"$tmp/log" 2>&1; then
    echo "FAIL $name: openmpt123 cannot render it: $(head -c 300 "$tmp/log")"
    fail=1
    continue
  fi
  # Mono 32-bit floats: length, peak, RMS, and the RMS of the quietest 5-second window
  # (leaving out the last two, where the final chord dies away).
  read -r seconds peak rms quietest < <(od -An -v -f -w64 "$tmp/$name.raw" | awk -v rate="$rate" '
    { for (i = 1; i <= NF; i++) {
        x = $i + 0; a = x < 0 ? -x : x
        if (a > peak) peak = a
        sum += x * x; wsum += x * x; n++; wn++
        if (wn == rate * 5) { w[nw++] = sqrt(wsum / wn); wsum = 0; wn = 0 }
      } }
    END {
      q = 1
      for (k = 0; k < nw - 2; k++) if (w[k] < q) q = w[k]
      printf "%.2f %.4f %.4f %.4f\n", n / rate, peak, n ? sqrt(sum / n) : 0, q
    }')
  rm -f "$tmp/$name" "$tmp/$name.raw"
  printf '%-18s %8s %8s %8s %10s %6s\n' "$name" "$seconds" "$peak" "$rms" "$quietest" "${playtime[$name]:-?}"

  problems="$(awk -v s="$seconds" -v p="$peak" -v r="$rms" -v q="$quietest" \
      -v play="${playtime[$name]:-}" -v fade="${fadeout[$name]:-}" 'BEGIN {
    if (s < 60 || s > 180) print "plays " s " s, not 1 to 3 minutes"
    if (r < 0.02) print "is (nearly) silent: RMS " r
    if (q < 0.003) print "has a silent stretch: quietest 5 s at RMS " q
    if (p >= 1.0) print "clips: peak " p
    if (play == "") print "is not listed in music.dat"
    else if (play + fade > s + 0.5) print "play time " play " + fade-out " fade " runs past its end at " s " s"
  }')"
  if [ -n "$problems" ]; then
    while IFS= read -r line; do echo "FAIL $name $line"; done <<<"$problems"
    fail=1
  fi
done

if [ "$count" -ne 20 ]; then
  echo "FAIL: expected 20 modules in $stage/music, found $count"
  fail=1
fi
exit "$fail"
