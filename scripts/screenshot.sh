#!/usr/bin/env bash
# Makes the README's pictures with the program itself, under a virtual display:
# docs/window.png (at start-up) and docs/turned-30.png (after 30 presses of Right).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/app/anyturn ] || scripts/build.sh
display=:$((500 + RANDOM % 400))
Xvfb "$display" -screen 0 1024x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null' EXIT
export DISPLAY=$display
sleep 1
build/app/anyturn >/dev/null 2>&1 &
app=$!
window=$(xdotool search --sync --onlyvisible --name 'GDI+' | head -1)
sleep 1
import -window "$window" docs/window.png
for _ in $(seq 30); do xdotool key Right; done
sleep 1
import -window "$window" docs/turned-30.png
echo "wrote docs/window.png and docs/turned-30.png"
