#!/usr/bin/env bash
# vantrel-frames --video and --cast, read back by programs that are not ours:
# Debian's ffprobe and ffmpeg decode the videos (streams, frame count and
# rate, duration, pictures against the frame tool's PNGs, the sound against
# the track by cross-correlation), and asciinema reads the recording.
#
# Usage: recordings.sh FRAMES_TOOL SOUND_CHECK TRACK CASE
#   CASE: lossless-show, mp4-clip, mp4-60fps, faults, full-disk, asciinema
# Exit status 77 means the case cannot run here (ctest shows it as skipped).
set -euo pipefail
tool=$(realpath "$1")
check=$(realpath "$2")
track=$(realpath "$3")
case=$4
work=$(mktemp -d)
mounted=""
cleanup() {
  [[ -n $mounted ]] && umount "$mounted" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

seed=7
frame_ms=11

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# One entry of one stream (v:0, a:0) or of the format, as ffprobe reads it.
probe() {
  local file=$1 stream=$2 entry=$3
  if [[ $stream == format ]]; then
    ffprobe -v error -show_entries "format=$entry" -of default=nw=1:nk=1 "$file"
  else
    ffprobe -v error -select_streams "$stream" -count_packets \
      -show_entries "stream=$entry" -of default=nw=1:nk=1 "$file"
  fi
}

expect_equal() {
  [[ $2 == "$3" ]] || fail "$1: $2, expected $3"
}

# |a - b| <= limit, in floating point.
expect_near() {
  awk -v a="$2" -v b="$3" -v limit="$4" 'BEGIN { d = a - b; exit !(d <= limit && -d <= limit) }' ||
    fail "$1: $2, expected $3 +- $4"
}

# The frame tool's PNGs of the given frames (numbers from 1), in png/.
reference_pictures() {
  local frame
  for frame in "$@"; do
    "$tool" --seed $seed --spectrum music --frames "$frame" --every "$frame" --png png >/dev/null
  done
}

# Output frames (numbers from 0) of VIDEO as one PNG each: decoded-K.png.
decode_pictures() {
  local video=$1 k
  shift
  local select=""
  for k in "$@"; do select+="${select:+'+'}eq(n\\,$k)"; done
  ffmpeg -v error -i "$video" -vf "select=$select" -fps_mode passthrough -pix_fmt rgb24 \
    -y decoded-%d.png
  local i=1
  for k in "$@"; do
    mv "decoded-$i.png" "decoded-$k.png"
    i=$((i + 1))
  done
}

raw_rgb() {
  ffmpeg -v error -i "$1" -f rawvideo -pix_fmt rgb24 -y "$2"
}

# PSNR of a decoded picture against the frame tool's, enlarged without smoothing.
psnr() {
  local decoded=$1 reference=$2 scale=$3
  ffmpeg -i "$decoded" -i "$reference" \
    -lavfi "[1]scale=iw*$scale:ih*$scale:flags=neighbor[big];[0][big]psnr" -f null - 2>&1 |
    sed -n 's/.*average:\([0-9.inf]*\).*/\1/p'
}

expect_psnr_at_least() {
  local what=$1 value=$2 least=$3
  [[ $value == inf ]] && return
  awk -v v="$value" -v l="$least" 'BEGIN { exit !(v >= l) }' || fail "$what: PSNR $value dB, below $least"
}

# The sound of VIDEO as 44100 Hz stereo S16, checked against the track: one
# sample offset throughout, 0 +- 1 ms, over SECONDS; and its decoded length,
# to LENGTH_TOLERANCE sound frames. A lossy codec is allowed MAX_DIFFERENCE
# (of full scale) and a correlation down to MIN_CORRELATION in each window.
expect_sound() {
  local video=$1 seconds=$2 max_difference=$3 min_correlation=$4 frames=$5 length_tolerance=$6
  ffmpeg -v error -i "$video" -map 0:a -f s16le -ac 2 -ar 44100 -y sound.raw
  # The track sounds from its first sample; 0.1 s of silence in front gives
  # the search room on both sides of an offset of 0.
  local lead=4410
  { head -c $((4 * lead)) /dev/zero; cat sound.raw; } >led.raw
  local line
  line=$("$check" compare led.raw "$track" "$seconds" 1 "$max_difference" "$min_correlation" |
    tail -1) || true
  [[ $line == PASS* ]] || fail "sound against the track: $line"
  local offset=${line##*offset }
  offset=${offset%% *}
  expect_near "sound offset (frames at 44100 Hz)" $((offset - lead)) 0 44
  local sound_frames=$(($(stat -c %s sound.raw) / 4))
  local expected=$(((frames * frame_ms * 44100 + 999) / 1000))
  expect_near "decoded sound length (frames at 44100 Hz)" "$sound_frames" "$expected" \
    "$length_tolerance"
}

lossless_show() {
  local frames=5295
  "$tool" --seed $seed --video show.mkv
  expect_equal "video codec" "$(probe show.mkv v:0 codec_name)" ffv1
  expect_equal "audio codec" "$(probe show.mkv a:0 codec_name)" flac
  expect_equal "picture size" "$(probe show.mkv v:0 width)x$(probe show.mkv v:0 height)" 640x600
  expect_equal "frame rate" "$(probe show.mkv v:0 r_frame_rate)" 1000/11
  expect_equal "frames" "$(probe show.mkv v:0 nb_read_packets)" $frames
  expect_near "duration" "$(probe show.mkv format duration)" 58.245 0.011
  reference_pictures 1000 $frames
  decode_pictures show.mkv 0 999 5294
  local n
  for n in 1 1000 $frames; do
    raw_rgb "decoded-$((n - 1)).png" decoded.rgb
    raw_rgb "$(printf 'png/frame-%05d.png' "$n")" reference.rgb
    cmp -s decoded.rgb reference.rgb || fail "frame $n differs from the frame tool's PNG"
  done
  # Lossless: every sample is the decoder's own, and nothing more.
  expect_sound show.mkv 58.1 0 0.99 $frames 0
}

mp4_clip() {
  local frames=600
  "$tool" --seed $seed --frames $frames --video clip.mp4 2>errors.txt
  [[ ! -s errors.txt ]] || fail "wrote on stderr, which is not a terminal: $(head -c 200 errors.txt)"
  expect_equal "video codec" "$(probe clip.mp4 v:0 codec_name)/$(probe clip.mp4 v:0 pix_fmt)" h264/yuv420p
  expect_equal "audio codec" "$(probe clip.mp4 a:0 codec_name)" aac
  expect_equal "sound" "$(probe clip.mp4 a:0 sample_rate)/$(probe clip.mp4 a:0 channels)" 44100/2
  expect_equal "picture size" "$(probe clip.mp4 v:0 width)x$(probe clip.mp4 v:0 height)" 1280x1200
  expect_equal "frame rate" "$(probe clip.mp4 v:0 r_frame_rate)" 1000/11
  expect_equal "frames" "$(probe clip.mp4 v:0 nb_read_packets)" $frames
  expect_near "duration" "$(probe clip.mp4 format duration)" 6.6 0.011
  # Faststart: the index (moov) before the media (mdat), so a browser plays it as it loads.
  local moov mdat
  moov=$(grep -obUa moov clip.mp4 | head -1 | cut -d: -f1)
  mdat=$(grep -obUa mdat clip.mp4 | head -1 | cut -d: -f1)
  ((moov < mdat)) || fail "the index comes after the media (moov at $moov, mdat at $mdat)"
  reference_pictures 1 300 $frames
  decode_pictures clip.mp4 0 299 599
  local n
  for n in 1 300 $frames; do
    expect_psnr_at_least "frame $n" "$(psnr "decoded-$((n - 1)).png" "$(printf 'png/frame-%05d.png' "$n")" 2)" 40
  done
  # The container says the sound's exact length; ffmpeg decodes the last AAC
  # block (1024 frames) whole.
  expect_near "sound duration" "$(probe clip.mp4 a:0 duration)" 6.6 0.001
  expect_sound clip.mp4 6.5 1 0.95 $frames 1024
}

# At 60 frames a second output frame k shows the show's frame at k / 60 s:
# frame floor(k x 1000 / 660) + 1.
mp4_60fps() {
  local frames=600
  "$tool" --seed $seed --frames $frames --fps 60 --video sixty.mp4
  expect_equal "frame rate" "$(probe sixty.mp4 v:0 r_frame_rate)" 60/1
  expect_equal "frames" "$(probe sixty.mp4 v:0 nb_read_packets)" 396
  expect_near "duration" "$(probe sixty.mp4 format duration)" 6.6 0.017
  reference_pictures 1 152 599
  decode_pictures sixty.mp4 0 100 395
  expect_psnr_at_least "output frame 0" "$(psnr decoded-0.png png/frame-00001.png 2)" 40
  expect_psnr_at_least "output frame 100" "$(psnr decoded-100.png png/frame-00152.png 2)" 40
  expect_psnr_at_least "output frame 395" "$(psnr decoded-395.png png/frame-00599.png 2)" 40
}

# One line on stderr (then the usage), status 2, and nothing under the name.
expect_refused() {
  local what=$1 file=$2 first_line=$3
  shift 3
  local status=0
  "$tool" "$@" 2>errors.txt || status=$?
  expect_equal "$what: status" $status 2
  expect_equal "$what: message" "$(head -1 errors.txt)" "$first_line"
  [[ ! -e $file ]] || fail "$what: $file was left behind"
  ! compgen -G "$(dirname "$file")/.*.partial-*" >/dev/null || fail "$what: a temporary file was left behind"
}

faults() {
  expect_refused "unknown extension" show.avi \
    "vantrel-frames: --video makes .mp4 or .mkv files, not 'show.avi'" --seed 1 --video show.avi
  expect_refused "missing folder" missing/show.mp4 \
    "vantrel-frames: cannot write 'missing/show.mp4': No such file or directory" \
    --seed 1 --frames 5 --video missing/show.mp4
  mkdir locked && chmod 500 locked
  if [[ $(id -u) -ne 0 ]]; then
    expect_refused "unwritable folder" locked/show.cast \
      "vantrel-frames: cannot write 'locked/show.cast': Permission denied" \
      --seed 1 --frames 5 --cast locked/show.cast
  fi
  mkdir folder.mkv
  expect_refused "a folder" folder.mkv/x "vantrel-frames: cannot write 'folder.mkv': it is a folder" \
    --seed 1 --frames 5 --video folder.mkv
  # Ctrl+C mid-encode: the temporary file goes with the process.
  "$tool" --seed 1 --video stopped.mp4 &
  local pid=$! waited=0
  until compgen -G '.stopped.mp4.partial-*' >/dev/null && [[ -s $(compgen -G '.stopped.mp4.partial-*') ]]; do
    sleep 0.1
    waited=$((waited + 1))
    ((waited < 300)) || fail "no temporary file while encoding"
  done
  kill -INT $pid
  local status=0
  wait $pid || status=$?
  expect_equal "Ctrl+C: status" $status 130
  [[ ! -e stopped.mp4 ]] || fail "Ctrl+C left stopped.mp4"
  ! compgen -G '.*.partial-*' >/dev/null || fail "Ctrl+C left a temporary file: $(ls -a)"
}

# A disk that fills mid-encode: a 1 MB tmpfs holds a few seconds of the show.
full_disk() {
  mkdir small
  mount -t tmpfs -o size=1m tmpfs small 2>/dev/null || {
    echo "cannot mount a tmpfs here (needs root): skipped"
    exit 77
  }
  mounted=$work/small
  local file option
  for file in show.mkv show.mp4 show.cast; do
    option=--video
    [[ $file == *.cast ]] && option=--cast
    expect_refused "full disk, $file" small/$file \
      "vantrel-frames: cannot write 'small/$file': No space left on device" \
      --seed 1 $option small/$file
  done
}

asciinema_reads_it() {
  # On a terminal (script gives it one), the progress line counts the frames.
  script -qec "'$tool' --seed $seed --frames 100 --cast clip.cast" /dev/null >progress.txt
  grep -q 'vantrel-frames: frame 100 of 100, .* frames/s, 0:00 left' progress.txt ||
    fail "no progress line on a terminal: $(tr '\r' '\n' <progress.txt | tail -2)"
  # asciinema cat wants a terminal for its keys: script gives it one.
  local status=0
  script -qec "asciinema cat clip.cast >replayed.txt" /dev/null >/dev/null || status=$?
  expect_equal "asciinema cat: status" $status 0
  grep -q $'\e\[?1049h' replayed.txt || fail "asciinema cat did not replay the take-over"
  grep -q $'\e\[?1049l' replayed.txt || fail "asciinema cat did not replay the give-back"
}

case $case in
  lossless-show) lossless_show ;;
  mp4-clip) mp4_clip ;;
  mp4-60fps) mp4_60fps ;;
  faults) faults ;;
  full-disk) full_disk ;;
  asciinema) asciinema_reads_it ;;
  *) fail "unknown case $case" ;;
esac
echo "PASS: $case"
