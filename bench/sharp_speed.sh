#!/usr/bin/env bash
# What sharp turns and lossless right angles cost, as whole commands against the peers,
# in one run (hyperfine): a 16-megapixel JPEG (4096 x 4096, quality 90) turned by 30
# degrees and written as JPEG, against libvips' similarity with its bicubic and bilinear
# interpolators; a 4032 x 3024 phone-sized JPEG turned by 90 degrees, against jpegtran's
# lossless -perfect turn. The pictures are a real photo from Debian's
# lomiri-wallpapers-16.04, scaled and cropped to those sizes.
#
#   bench/sharp_speed.sh [ANYTURN_RENDER]
#
# Needs hyperfine, libvips-tools, libjpeg-turbo-progs and imagemagick.
set -euo pipefail
render=${1:-build/tools/anyturn-render}
for tool in hyperfine vips jpegtran convert; do
  command -v "$tool" >/dev/null || {
    echo "sharp_speed: $tool is needed (apt-get install hyperfine libvips-tools libjpeg-turbo-progs imagemagick)"
    exit 2
  }
done
photo=/usr/share/backgrounds/Bridge_by_Sander_Klootwijk.jpg
[ -r "$photo" ] || { echo "sharp_speed: $photo is needed (apt-get install lomiri-wallpapers-16.04)"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
convert "$photo" -resize 4096x4096^ -gravity center -extent 4096x4096 -sampling-factor 2x2 \
  -quality 90 "$work/16mp.jpg"
convert "$photo" -resize 4032x3024^ -gravity center -extent 4032x3024 -sampling-factor 2x2 \
  -quality 92 "$work/12mp.jpg"

echo "== 16 MP, 30 degrees, file to file =="
hyperfine --warmup 1 --runs 5 --style basic \
  -n "anyturn sharp" "$render $work/16mp.jpg --angle 30 --out $work/a.jpg" \
  -n "anyturn bilinear" "$render $work/16mp.jpg --angle 30 --resample bilinear --out $work/b.jpg" \
  -n "vips bicubic" "vips similarity $work/16mp.jpg $work/v.jpg[Q=92] --angle 30 --interpolate bicubic" \
  -n "vips bilinear" "vips similarity $work/16mp.jpg $work/w.jpg[Q=92] --angle 30 --interpolate bilinear"

echo "== 4032 x 3024, 90 degrees, lossless =="
"$render" "$work/12mp.jpg" --angle 90 --out "$work/l.jpg" --verbose
hyperfine --warmup 1 --runs 10 --style basic \
  -n "anyturn lossless 90" "$render $work/12mp.jpg --angle 90 --out $work/l.jpg" \
  -n "jpegtran -rotate 90 -perfect" "jpegtran -rotate 90 -perfect -outfile $work/j.jpg $work/12mp.jpg"
cmp -s <(djpeg -pnm "$work/l.jpg") <(djpeg -pnm "$work/j.jpg") &&
  echo "the lossless turn's pixels are jpegtran's" || echo "the lossless turn's pixels differ from jpegtran's"
