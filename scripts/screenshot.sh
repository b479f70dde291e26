#!/usr/bin/env bash
# Makes the README's pictures with the program itself, under a virtual display:
# docs/window.png (at start-up), docs/turned-30.png (after 30 presses of Right) and
# docs/straighten-line.png (a tilted horizon with the grid on, a line being drawn along it
# with the right mouse button).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/app/anyturn ] || scripts/build.sh
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")
export XDG_CONFIG_HOME=$work/config  # the grid and the fit view as at a first start
sleep 1
build/app/anyturn >/dev/null 2>&1 &
app=$!
window=$(xdotool search --sync --onlyvisible --name 'GDI+' | head -1)
sleep 1
import -window "$window" docs/window.png
for _ in $(seq 30); do xdotool key Right; done
sleep 1
import -window "$window" docs/turned-30.png
kill $app

# A seascape whose horizon is tilted 3.5 degrees clockwise, as a hand-held camera leaves it.
convert -size 900x300 gradient:'#7fb2e5'-'#f3e4cc' \
  -fill '#fff4d6' -draw "circle 640,215 640,190" \
  -fill '#6f7f8c' -draw "polygon 0,300 0,282 90,268 170,279 260,258 350,284 430,300" \
  \( -size 900x340 gradient:'#4a7b97'-'#0f2a3d' \) -append \
  -fill '#f6f1e6' -draw "polygon 300,392 318,330 318,392" -draw "polygon 322,392 322,340 338,392" \
  -fill '#2b2b2b' -draw "polygon 296,394 344,394 336,402 304,402" \
  -background black -rotate 3.5 +repage -gravity center -crop 800x560+0+0 +repage \
  "$work/seascape.png"
build/app/anyturn "$work/seascape.png" >/dev/null 2>&1 &
app=$!
window=$(xdotool search --sync --onlyvisible --name 'GDI+' | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
sleep 1
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key g
# The horizon, 20 pixels above the scene's centre, turned with it; the picture is at (10, 10).
ends=$(awk 'BEGIN { a = 3.5 * 3.14159265358979 / 180; c = cos(a); s = sin(a);
  for (x = -330; x <= 330; x += 660) printf "%d %d ", 10 + 400 + x * c + 20 * s + 0.5, 10 + 280 + x * s - 20 * c + 0.5 }')
read -r x1 y1 x2 y2 <<<"$ends"
xdotool mousemove $((X + x1)) $((Y + y1)) mousedown 3
for step in 1 2 3 4 5; do
  xdotool mousemove $((X + x1 + (x2 - x1) * step / 5)) $((Y + y1 + (y2 - y1) * step / 5))
  sleep 0.1
done
sleep 0.5
import -window "$window" docs/straighten-line.png
xdotool key Escape
xdotool mouseup 3
echo "wrote docs/window.png, docs/turned-30.png and docs/straighten-line.png"
