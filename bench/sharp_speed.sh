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
# shellcheck source=bench/photo_bench.sh
source "$(dirname "$0")/photo_bench.sh" sharp_speed "hyperfine libvips-tools libjpeg-turbo-progs imagemagick" hyperfine vips jpegtran convert
convert "$photo" -resize 4096x4096^ -gravity center -extent 4096x4096 -sampling-factor 2x2 \
  -quality 90 "$work/16mp.jpg"
convert "$photo" -resize 4032x3024^ -gravity center -extent 4032x3024 -sampling-factor 2x2 \
  -quality 92 "$work/12mp.jpg"

echo "== 16 MP, 30 degrees, file to file =="
hyperfine --warmup 1 --runs 10 --style basic --export-json "$work/turn.json" \
  -n "anyturn sharp" "$render $work/16mp.jpg --angle 30 --out $work/a.jpg" \
  -n "anyturn bilinear" "$render $work/16mp.jpg --angle 30 --resample bilinear --out $work/b.jpg" \
  -n "vips bicubic" "vips similarity $work/16mp.jpg $work/v.jpg[Q=92] --angle 30 --interpolate bicubic" \
  -n "vips bilinear" "vips similarity $work/16mp.jpg $work/w.jpg[Q=92] --angle 30 --interpolate bilinear"

echo "== 4032 x 3024, 90 degrees, lossless =="
"$render" "$work/12mp.jpg" --angle 90 --out "$work/l.jpg" --verbose
hyperfine --warmup 1 --runs 10 --style basic --export-json "$work/lossless.json" \
  -n "anyturn lossless 90" "$render $work/12mp.jpg --angle 90 --out $work/l.jpg" \
  -n "jpegtran -rotate 90 -perfect" "jpegtran -rotate 90 -perfect -outfile $work/j.jpg $work/12mp.jpg"
cmp -s <(djpeg -pnm "$work/l.jpg") <(djpeg -pnm "$work/j.jpg") &&
  echo "the lossless turn's pixels are jpegtran's" || echo "the lossless turn's pixels differ from jpegtran's"

# The machine is shared and its speed drifts from one minute to the next, which moves a
# ratio of two commands timed a minute apart: each pair again, in turn, in rounds (the
# order swapped every round), and the median of the rounds' ratios.
python3 - "$render" "$work" <<'PY'
import statistics, subprocess, sys, time
render, work = sys.argv[1:]
pairs = {
    "sharp against vips bicubic": (
        [render, f"{work}/16mp.jpg", "--angle", "30", "--out", f"{work}/a.jpg"],
        ["vips", "similarity", f"{work}/16mp.jpg", f"{work}/v.jpg[Q=92]", "--angle", "30",
         "--interpolate", "bicubic"]),
    "lossless 90 against jpegtran": (
        [render, f"{work}/12mp.jpg", "--angle", "90", "--out", f"{work}/l.jpg"],
        ["jpegtran", "-rotate", "90", "-perfect", "-outfile", f"{work}/j.jpg", f"{work}/12mp.jpg"]),
}
def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - start) * 1000
for name, (ours, theirs) in pairs.items():
    ratios, a, b = [], [], []
    for round in range(15):
        first, second = (ours, theirs) if round % 2 == 0 else (theirs, ours)
        t1, t2 = timed(first), timed(second)
        mine, peer = (t1, t2) if round % 2 == 0 else (t2, t1)
        a.append(mine), b.append(peer), ratios.append(mine / peer)
    print(f"{name}, 15 rounds in turn: {statistics.median(a):.0f} ms against "
          f"{statistics.median(b):.0f} ms, ratio {statistics.median(ratios):.2f} (rounds "
          f"{min(ratios):.2f} to {max(ratios):.2f})")
PY
