#!/usr/bin/env bash
# Start-up on a large JPEG, whole process: anyturn-render PHOTO --angle 0 against
# libjpeg-turbo's own decoder (djpeg), run in turn by hyperfine; prints both medians and
# their ratio.
#
#   bench/startup.sh build/tools/anyturn-render [PHOTO]
# Without PHOTO, a 4096 x 4096 JPEG (quality 90) is made with ImageMagick.
set -euo pipefail
render=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
photo=${2:-$work/photo.jpg}
if [ -z "${2:-}" ]; then
  convert -seed 7 -size 4096x4096 plasma:fractal -blur 0x1 -quality 90 "$photo"
fi
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
hyperfine --warmup 3 --runs 21 --export-json "$work/times.json" \
  -n anyturn "$render $photo --angle 0" \
  -n djpeg "djpeg -outfile /dev/null $photo" >&2
python3 - "$work/times.json" <<'PY'
import json, sys
runs = {r["command"]: r["median"] * 1000 for r in json.load(open(sys.argv[1]))["results"]}
print(f"anyturn-render --angle 0: {runs['anyturn']:.0f} ms, djpeg: {runs['djpeg']:.0f} ms, "
      f"ratio {runs['anyturn'] / runs['djpeg']:.2f}")
PY
