#!/usr/bin/env bash
# File to file, whole process: anyturn-render PHOTO --angle 30 --out OUT.jpg and OUT.png
# against libvips's command line (vips similarity) on the same photo, run in turn by
# hyperfine; prints the medians, their ratios and the files' sizes.
#
#   bench/save.sh build/tools/anyturn-render [PHOTO]
# Without PHOTO, a 4096 x 4096 JPEG (quality 90) is made with ImageMagick. Needs vips
# (Debian's libvips-tools) and hyperfine.
set -euo pipefail
render=$1
for tool in vips hyperfine convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool: apt-get install libvips-tools hyperfine imagemagick"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
photo=${2:-$work/photo.jpg}
if [ -z "${2:-}" ]; then
  convert -seed 7 -size 4096x4096 plasma:fractal -blur 0x1 -quality 90 "$photo"
fi
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
hyperfine --warmup 2 --runs 11 --export-json "$work/times.json" \
  -n anyturn-jpg "$render $photo --angle 30 --out $work/ours.jpg" \
  -n vips-jpg "vips similarity $photo $work/vips.jpg[Q=92] --angle 30" \
  -n anyturn-png "$render $photo --angle 30 --out $work/ours.png" \
  -n vips-png "vips similarity $photo $work/vips.png --angle 30" >&2
python3 - "$work" <<'PY'
import json, os, sys
work = sys.argv[1]
runs = {r["command"]: r["median"] * 1000 for r in json.load(open(f"{work}/times.json"))["results"]}
for kind in ("jpg", "png"):
    ours, theirs = runs[f"anyturn-{kind}"], runs[f"vips-{kind}"]
    size_ours = os.path.getsize(f"{work}/ours.{kind}")
    size_theirs = os.path.getsize(f"{work}/vips.{kind}")
    print(f"{kind}: anyturn-render {ours:.0f} ms, vips {theirs:.0f} ms, ratio {ours / theirs:.2f}; "
          f"files {size_ours / 1e6:.1f} MB and {size_theirs / 1e6:.1f} MB, ratio "
          f"{size_ours / size_theirs:.2f}")
PY
