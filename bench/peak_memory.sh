#!/usr/bin/env bash
# Peak memory of one turn of a large photo, against what its four surfaces hold:
# the goal is at most 1.15 x the surfaces' pixel bytes + 64 MB.
#
#   bench/peak_memory.sh RENDERER [WIDTH HEIGHT ANGLE]
set -euo pipefail
render=$1 width=${2:-6000} height=${3:-4000} angle=${4:-45}
command -v convert >/dev/null || { echo "peak_memory: ImageMagick's convert is needed (scripts/install-deps.sh)"; exit 2; }
[ -x /usr/bin/time ] || { echo "peak_memory: GNU time is needed (apt-get install time)"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert -size "${width}x${height}" gradient:orange-navy -attenuate 0.3 +noise Uniform "$work/photo.jpg"
QT_QPA_PLATFORM=offscreen /usr/bin/time -f "%M" -o "$work/peak" \
  "$render" "$work/photo.jpg" --angle "$angle" --state >"$work/state" 2>/dev/null
peak_kb=$(cat "$work/peak")
# The four surfaces' sizes, from the renderer's state, and the verdict.
grep -o '"width":[0-9]*,"height":[0-9]*' "$work/state" | tr -c '0-9\n' ' ' |
  awk -v peak_kb="$peak_kb" '
    { surfaces += $1 * $2 * 4 }
    END {
      peak = peak_kb * 1024; limit = surfaces * 1.15 + 64 * 1048576
      printf "peak %d MB; four surfaces %d MB; limit %d MB (1.15 x surfaces + 64 MB)\n",
             peak / 1048576, surfaces / 1048576, limit / 1048576
      exit !(peak <= limit)
    }'
