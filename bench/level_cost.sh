#!/usr/bin/env bash
# What the level suggestion costs on a 12-megapixel photo: anyturn-render PHOTO --level
# against anyturn-render PHOTO, whole process, run in turn by hyperfine; prints both
# means and their difference (the goal is at most 150 ms).
#
#   bench/level_cost.sh build/tools/anyturn-render [PHOTO]
# Without PHOTO, the pier of plasma-workspace-wallpapers' Cold Ripple, scaled to
# 4000 x 3000 and saved as a JPEG of quality 90.
set -euo pipefail
render=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
photo=${2:-$work/photo.jpg}
if [ -z "${2:-}" ]; then
  source=$(ls -S /usr/share/wallpapers/ColdRipple/contents/images/* | head -1)
  convert "$source" -resize '4000x3000!' -type TrueColor -quality 90 "$photo"
fi
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
hyperfine -N --warmup 2 --runs 15 --export-json "$work/times.json" \
  -n level "$render $photo --level" -n plain "$render $photo" >&2
python3 - "$work/times.json" <<'PY'
import json, sys
runs = {r["command"]: r["mean"] * 1000 for r in json.load(open(sys.argv[1]))["results"]}
print(f"--level: {runs['level']:.1f} ms, without: {runs['plain']:.1f} ms, "
      f"the suggestion costs {runs['level'] - runs['plain']:.0f} ms")
PY
