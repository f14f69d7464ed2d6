#!/usr/bin/env bash
# A recording turned into a video with --export, drawn off-screen with no display at all:
# ten seconds of a match come out as ten seconds of video, 600 frames at sixty a second,
# with a sound track that is not silent, under a name with spaces and quotes; nothing but
# the video is left in its folder; two exports of the same recording are the same, and
# the video heeds the player's tandrix-look.ini as the game does; what a killed export
# left is tidied by the next one to the same name. The errors: no ffmpeg on PATH, a folder
# that does not exist, a name with no ending, a kind of file ffmpeg cannot write (its own
# complaint is passed on) and a file that is no recording. A failed export leaves no file
# behind.
set -uo pipefail
: "${TANDRIX_BINARY:?set by ctest: the tandrix binary}"
: "${TANDRIX_GAME_DATA:?set by ctest: the generated game folder}"
: "${TANDRIX_SOURCE_DIR:?set by ctest: the source folder}"
export LC_ALL=C
for tool in ffmpeg ffprobe; do
  command -v "$tool" >/dev/null || {
    echo "export_video: $tool is not installed (Debian package ffmpeg): skipped"
    exit 0
  }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "export_video: $*" >&2
  exit 1
}
mkdir -p "$work/game" "$work/out"
ln -s "$TANDRIX_GAME_DATA/pak" "$work/game/pak"
cp "$TANDRIX_GAME_DATA/tandrix.cfg" "$work/game/tandrix.cfg"
# The game with no display. Its stderr goes where the caller sends it. Under the address
# checker the leak check at the very end stops every thread with ptrace, and on a busy
# machine that now and then fails on its own ("LeakSanitizer has encountered a fatal
# error", before any leak is looked at); such a run is made once more. A leak found, or
# any other failure, is never retried.
run() {
  local status
  for attempt in 1 2; do
    (cd "$work/game" && env -u DISPLAY -u WAYLAND_DISPLAY "$TANDRIX_BINARY" "$@") 2>"$work/run.err"
    status=$?
    [ "$status" != 0 ] && [ "$attempt" = 1 ] &&
      grep -q "LeakSanitizer has encountered a fatal error" "$work/run.err" &&
      ! grep -q "detected memory leaks" "$work/run.err" && continue
    break
  done
  cat "$work/run.err" >&2
  return "$status"
}
recording="$TANDRIX_SOURCE_DIR/tests/replays/match/bonuses.tdxr"

# 1. Ten seconds of a match: duration, frames, sound.
video="$work/out/a match's \"first\" ten seconds.mp4"
run --replay "$recording" --export "$video" --frames 600 2>"$work/err" ||
  fail "the export failed: $(tail -3 "$work/err")"
[ -f "$video" ] || fail "no video was written"
grep -q "export: .*10.0 s, 600 frames" "$work/err" || fail "no closing line: $(tail -2 "$work/err")"
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$video")
awk -v d="$duration" 'BEGIN { exit !(d >= 9.95 && d <= 10.1) }' ||
  fail "the video lasts $duration s, not 10"
frames=$(ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames \
  -of csv=p=0 "$video")
[ "$frames" = 600 ] || fail "the video has $frames frames, not 600"
rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=avg_frame_rate -of csv=p=0 "$video")
[ "$rate" = 60/1 ] || fail "the video runs at $rate frames a second, not 60"
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$video")
[ "$size" = 640,480 ] || fail "the video is $size, not 640,480"
audio=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_type,sample_rate,channels \
  -of csv=p=0 "$video")
[ "$audio" = audio,44100,2 ] || fail "the video's sound is '$audio', not 44100 Hz stereo"
audio_length=$(ffprobe -v error -select_streams a:0 -show_entries stream=duration -of csv=p=0 "$video")
awk -v d="$audio_length" 'BEGIN { exit !(d >= 9.9 && d <= 10.1) }' ||
  fail "the sound lasts $audio_length s, not 10"
# The match's start has its announcement and music: the sound is far from silence.
loudest=$(ffmpeg -hide_banner -nostats -i "$video" -map 0:a -af volumedetect -f null - 2>&1 |
  sed -n 's/.*max_volume: \(-*[0-9.]*\) dB.*/\1/p')
[ -n "$loudest" ] || fail "the sound's level could not be measured"
awk -v v="$loudest" 'BEGIN { exit !(v > -30) }' || fail "the sound is nearly silent ($loudest dB)"
# The first frame is the match on screen, not a black picture.
ffmpeg -v error -i "$video" -frames:v 1 -f rawvideo -pix_fmt gray "$work/first.gray" ||
  fail "the first frame cannot be read back"
lit=$(od -An -v -tu1 "$work/first.gray" | tr -s ' ' '\n' | awk '$1 > 40 { n++ } END { print n + 0 }')
[ "$lit" -gt 3000 ] || fail "the first frame is nearly black ($lit lit pixels)"
left=$(ls -A "$work/out" | wc -l)
[ "$left" = 1 ] || fail "the export left other files beside the video: $(ls -A "$work/out")"
echo "export_video: 10 s exported: $frames frames, sound at $loudest dB at its loudest"

# The same recording gives the same video: pictures and sound owe nothing to the clock
# of the machine or how fast it went (the top line's clock shows when the match was
# played, so two exports a minute apart still agree).
for n in 1 2; do
  run --replay "$recording" --export "$work/again$n.mkv" --frames 150 2>"$work/err" ||
    fail "a short export failed: $(tail -3 "$work/err")"
  ffmpeg -v error -i "$work/again$n.mkv" -f framemd5 - | grep -v '^#' >"$work/again$n.md5" ||
    fail "the short export cannot be decoded"
done
[ "$(grep -c . "$work/again1.md5")" -ge 150 ] || fail "the short export has too few frames"
cmp -s "$work/again1.md5" "$work/again2.md5" || fail "two exports of the same recording differ"

# The video looks as the player's game does: tandrix-look.ini's classic = yes is heeded
# just as --classic is, and differs from the look the game has by default.
printf 'classic = yes\n' >"$work/game/tandrix-look.ini"
run --replay "$recording" --export "$work/look.mkv" --frames 150 2>"$work/err" ||
  fail "an export with a look file failed: $(tail -3 "$work/err")"
rm "$work/game/tandrix-look.ini"
run --replay "$recording" --export "$work/classic.mkv" --frames 150 --classic 2>"$work/err" ||
  fail "an export with --classic failed: $(tail -3 "$work/err")"
for name in look classic; do
  ffmpeg -v error -i "$work/$name.mkv" -f framemd5 - | grep -v '^#' >"$work/$name.md5" ||
    fail "the $name export cannot be decoded"
done
cmp -s "$work/look.md5" "$work/classic.md5" ||
  fail "an export with classic = yes in tandrix-look.ini differs from one with --classic"
! cmp -s "$work/look.md5" "$work/again1.md5" ||
  fail "an export with classic = yes looks the same as one in the game's own look"
[ ! -e "$work/game/tandrix-look.ini" ] || fail "an export wrote tandrix-look.ini"

# What a killed export left is removed by the next export to the same name; the
# temporaries of one still running, and those of other names, are not.
mkdir "$work/killed"
sleep 0 &
dead=$!
wait "$dead"
for f in ".clip-$dead.mkv" ".clip-$dead.pictures.mkv" ".clip-$dead.sound.raw" \
  ".clip-$dead.log.txt" ".clip-$$.sound.raw" ".other-$dead.sound.raw" ".clip-$dead.notes"; do
  : >"$work/killed/$f"
done
run --replay "$recording" --export "$work/killed/clip.mkv" --frames 30 2>"$work/err" ||
  fail "an export beside a killed one's leftovers failed: $(tail -3 "$work/err")"
left=$(cd "$work/killed" && ls -A | sort | tr '\n' ' ')
kept=$(printf '%s\n' ".clip-$$.sound.raw" ".clip-$dead.notes" ".other-$dead.sound.raw" clip.mkv |
  sort | tr '\n' ' ')
[ "$left" = "$kept" ] ||
  fail "after an export beside a killed one's leftovers the folder holds: $left"

# 2. Errors, each naming what is wrong and leaving nothing behind.
expect_error() {  # expected-exit-code expected-text args...
  local code=$1 text=$2
  shift 2
  rm -rf "$work/out" && mkdir -p "$work/out"
  run "$@" >"$work/out.txt" 2>"$work/err"
  local got=$?
  [ "$got" = "$code" ] || fail "'$*' ended with $got, not $code: $(tail -2 "$work/err")"
  grep -qF -- "$text" "$work/err" || fail "'$*' did not say '$text': $(tail -2 "$work/err")"
  [ -z "$(ls -A "$work/out")" ] || fail "'$*' left files behind: $(ls -A "$work/out")"
}
(cd "$work/game" && env -u DISPLAY PATH=/nonexistent "$TANDRIX_BINARY" --replay "$recording" \
  --export "$work/out/x.mp4" --frames 10) 2>"$work/err"
[ $? = 1 ] || fail "an export without ffmpeg did not fail"
grep -qF "needs the ffmpeg program (Debian package ffmpeg), which was not found" "$work/err" ||
  fail "no ffmpeg was not said: $(cat "$work/err")"
expect_error 1 "$work/out/no/such/x.mp4: cannot be written (No such file or directory)" \
  --replay "$recording" --export "$work/out/no/such/x.mp4" --frames 10
expect_error 1 "needs an ending that says the kind of video" \
  --replay "$recording" --export "$work/out/video" --frames 10
expect_error 1 "$work/out/x.nosuchkind: ffmpeg failed (exit status" \
  --replay "$recording" --export "$work/out/x.nosuchkind" --frames 10
expect_error 1 "not a Tandrix recording" --replay "$TANDRIX_SOURCE_DIR/tests/scripts/export_video.sh" \
  --export "$work/out/x.mp4"
echo "export_video: errors are named and leave no file behind"
