#!/usr/bin/env bash
# Makes the README's pictures with the program itself, under a virtual display:
# docs/window.png (at start-up) and docs/turned-30.png (after 30 presses of Right).
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/app/anyturn ] || scripts/build.sh
displayed=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x800x24 -nolisten tcp 3>"$displayed" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null; rm -f "$displayed"' EXIT
for _ in $(seq 100); do [ -s "$displayed" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$displayed")
build/app/anyturn >/dev/null 2>&1 &
app=$!
window=$(xdotool search --sync --onlyvisible --name 'GDI+' | head -1)
sleep 1
import -window "$window" docs/window.png
for _ in $(seq 30); do xdotool key Right; done
sleep 1
import -window "$window" docs/turned-30.png
echo "wrote docs/window.png and docs/turned-30.png"
