#!/usr/bin/env bash
# How much of a real photo each program keeps when it turns the photo by A degrees and
# turns its own result back, and how far each overshoots at a step edge.
#
#   bench/quality.sh [RENDERER]        (RENDERER defaults to build/tools/anyturn-render)
#   QUALITY_WORK=DIR bench/quality.sh  keeps every picture in DIR (else a temporary folder,
#                                      removed at the end unless QUALITY_KEEP=1)
#
# Photos: baboon and board from opencv-doc's examples, and a 1920 x 1080 lakeside cut from
# the BytheWater wallpaper; each is made an 8-bit RGB PNG once, so every program starts
# from the same pixels. For A in 7 and 33 each program turns the photo clockwise on an
# enlarged canvas, then turns that result back. bench/quality.py finds the original in
# the back-turned canvas (integer search by FFT cross-correlation of luma, then the
# sub-pixel shift of the original, by the Fourier shift theorem, that minimises the mean
# squared difference) and takes the PSNR of Rec. 601 luma over the middle half each way.
# Halo: a 256 x 256 grey step (64 left, 192 right) turned once by 7 degrees; the most it
# goes above 192 or below 64, more than 8 px inside the turned picture's outline.
#
# Prints a markdown table (mean PSNR, per photo, halo), per-angle detail, a registration
# check and the commands run. Needs libvips-tools, imagemagick, python3-numpy and
# python3-scipy; downloads nothing.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
render=${1:-$root/build/tools/anyturn-render}
data=/usr/share/doc/opencv-doc/examples/data
lake=/usr/share/wallpapers/BytheWater/contents/images/2560x1600.jpg
angles=(7 33)

fail() { echo "quality.sh: $*" >&2; exit 1; }

[ -x "$render" ] || fail "no renderer at $render (build it, or pass its path)"
# Captured first: a grep -q that stops reading early would fail the pipe under pipefail.
vips_help=$(vips similarity 2>&1) || true
[[ $vips_help == *angle* ]] || fail "vips with 'similarity' is missing: apt-get install libvips-tools"
convert_version=$(convert -version 2>/dev/null) || true
[[ $convert_version == *"ImageMagick 6"* ]] ||
  fail "ImageMagick 6's convert is missing: apt-get install imagemagick"
python=
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import numpy, scipy' 2>/dev/null; then python=$candidate; break; fi
done
[ -n "$python" ] || fail "no python3 with numpy and scipy: apt-get install python3-numpy python3-scipy"
for photo in "$data/baboon.jpg" "$data/board.jpg" "$lake"; do
  [ -r "$photo" ] || fail "missing photo $photo (from opencv-doc or the wallpapers)"
done

if [ -n "${QUALITY_WORK:-}" ]; then
  work=$QUALITY_WORK
  mkdir -p "$work"
else
  work=$(mktemp -d)
  [ "${QUALITY_KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT
fi
echo "quality.sh: working in $work" >&2
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work QUALITY_CONVERT=convert
start=$SECONDS

# Each variant's first command of each kind is kept, to print once at the end.
commands=$work/commands.txt
: >"$commands"
declare -A logged=()
run() {
  local key=$1
  shift
  if [ -z "${logged[$key]:-}" ]; then
    logged[$key]=1
    { printf '%s:' "$key"; printf ' %q' "$@"; echo; } >>"$commands"
  fi
  "$@" >>"$work/programs.log" 2>&1 || fail "failed: $* (see $work/programs.log)"
}

# The starting pixels: 8-bit RGB PNGs, made once.
mkdir -p "$work/in"
run "prepare baboon" convert "$data/baboon.jpg" -strip -type TrueColor -depth 8 "PNG24:$work/in/baboon.png"
run "prepare board" convert "$data/board.jpg" -strip -type TrueColor -depth 8 "PNG24:$work/in/board.png"
run "prepare lakeside" convert "$lake" -crop 1920x1080+320+260 +repage -strip -type TrueColor \
  -depth 8 "PNG24:$work/in/lakeside.png"
run "prepare step" convert -size 128x256 'xc:rgb(64,64,64)' -size 128x256 'xc:rgb(192,192,192)' \
  +append -strip -type TrueColor -depth 8 "PNG24:$work/in/step.png"
photos=(baboon board lakeside)

render_help=$("$render" --help 2>&1) || true
if [[ $render_help == *--resample* ]]; then
  variants=("anyturn sharp" "anyturn bilinear")
else
  variants=("anyturn (no --resample)")
fi
variants+=("vips bilinear" "vips bicubic" "vips nohalo" "vips lbb"
  "ImageMagick default" "ImageMagick Lanczos")

# turn VARIANT IN OUT DEGREES: DEGREES clockwise (negative: anticlockwise), onto a canvas
# enlarged to the turned bounds. All three take a positive angle as clockwise on screen.
turn() {
  local variant=$1 in=$2 out=$3 degrees=$4 way=forward
  [ "$degrees" -ge 0 ] || way=back
  case $variant in
    "anyturn sharp" | "anyturn bilinear")
      run "$variant $way" "$render" "$in" --angle $(((degrees + 360) % 360)) \
        --resample "${variant#anyturn }" --out "$out" ;;
    "anyturn (no --resample)")
      run "$variant $way" "$render" "$in" --angle $(((degrees + 360) % 360)) --out "$out" ;;
    vips\ *)
      run "$variant $way" vips similarity "$in" "$out" --angle="$degrees" \
        --interpolate "${variant#vips }" ;;
    "ImageMagick default")
      run "$variant $way" convert "$in" -virtual-pixel black +distort SRT "$degrees" "$out" ;;
    "ImageMagick Lanczos")
      run "$variant $way" convert "$in" -virtual-pixel black -filter Lanczos \
        +distort SRT "$degrees" "$out" ;;
    *) fail "unknown variant $variant" ;;
  esac
}

manifest=$work/manifest.tsv
: >"$manifest"
for variant in "${variants[@]}"; do
  name=${variant//[^A-Za-z0-9]/_}
  mkdir -p "$work/$name"
  echo "quality.sh: $variant" >&2
  for photo in "${photos[@]}"; do
    for a in "${angles[@]}"; do
      turned=$work/$name/$photo-$a.png back=$work/$name/$photo-$a-back.png
      turn "$variant" "$work/in/$photo.png" "$turned" "$a"
      turn "$variant" "$turned" "$back" "-$a"
      printf 'psnr\t%s\t%s\t%s\t%s\t%s\n' "$variant" "$photo" "$a" "$work/in/$photo.png" \
        "$back" >>"$manifest"
    done
  done
  turn "$variant" "$work/in/step.png" "$work/$name/step-7.png" 7
  printf 'halo\t%s\t-\t7\t-\t%s\n' "$variant" "$work/$name/step-7.png" >>"$manifest"
done
turned_in=$((SECONDS - start))

echo "quality.sh: scoring" >&2
"$python" "$root/bench/quality.py" table "$manifest"
echo
echo "Registration check:"
echo
"$python" "$root/bench/quality.py" check "$work/in/baboon.png"
echo
echo "Commands (each kind once, as run; the back turn is the same program on the turned PNG):"
echo
echo '```'
cat "$commands"
echo '```'
echo
echo "Turning took ${turned_in} s, the whole run $((SECONDS - start)) s."
