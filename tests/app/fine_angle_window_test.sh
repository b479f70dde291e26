#!/usr/bin/env bash
# The angle in tenths, the straightening line and the grid in the real window under Xvfb,
# driven as a person would with xdotool. What the screen shows is held to anyturn-render's
# pixels for the angle the program turned to.
#   fine_angle_window_test.sh ANYTURN ANYTURN_RENDER
set -u
anyturn=$1 render=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool import compare convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps.sh"; exit 1; }
done
work=$(mktemp -d)
cleanup() { [ -n "${app:-}" ] && kill "$app" 2>/dev/null; [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

mkdir "$work/app"
cp "$anyturn" "$work/app/anyturn"
cp "$here/../../assets/test.jpg" "$work/app/test.jpg"

# Xvfb chooses a free display and writes its number to the file.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")
export XDG_CONFIG_HOME=$work/config  # the grid's and the fit view's remembered choices
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
unset QT_QPA_PLATFORM

failures=0 passed=0
check() {
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAILED: $name"; failures=$((failures + 1)); fi
}

start() {  # [PICTURE]: the program, its window, and X, Y of its client area
  [ -n "${app:-}" ] && { kill "$app"; wait "$app" 2>/dev/null; }
  : >"$work/trace"
  ANYTURN_TRACE="$work/trace" "$work/app/anyturn" "$@" >"$work/app.log" 2>&1 &
  app=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --name 'GDI+' | head -1)
  eval "$(xdotool getwindowgeometry --shell "$window")"
  settle; sleep 0.5
}
# Waits until the program has handled the events (its trace stops growing).
settle() {
  local before=-1 now
  for _ in $(seq 100); do
    now=$(wc -c <"$work/trace" 2>/dev/null || echo 0)
    [ "$now" = "$before" ] && break
    before=$now; sleep 0.15
  done
}
press() { xdotool windowfocus --sync "$window" 2>/dev/null; xdotool key "$@"; sleep 0.3; settle; }
last_angle() { grep -o '"call":"\(hsTurn_Change","value\|FineTurn","angle\)":[0-9.]*' "$work/trace" | tail -1 | grep -o '[0-9.]*$'; }
within_a_tenth() {  # ANGLE EXPECTED
  awk -v a="$1" -v e="$2" 'BEGIN { d = a - e; if (d < 0) d = -d; exit !(a != "" && d <= 0.1 + 1e-9) }'
}

# Compares the room above the bar (what shows of the picture) and the label with the
# renderer's window for the same angle.
compare_with_renderer() {  # NAME RENDERER-ARGS...
  local name=$1; shift
  "$render" "$picture" "$@" --window "$work/window.png" 2>/dev/null
  import -window root -crop "936x672+$((X + 10))+$((Y + 10))" +repage "$work/room-shown.png"
  convert "$work/window.png" -crop "936x672+10+10" +repage "$work/room-expected.png"
  local diff
  diff=$(compare -metric AE "$work/room-shown.png" "$work/room-expected.png" null: 2>&1)
  check "$name: the picture shown equals the renderer's ($diff pixels differ)" test "$diff" = 0
  import -window root -crop "49x25+$((X + 8))+$((Y + 692))" +repage "$work/label-shown.png"
  convert "$work/window.png" -crop "49x25+8+692" +repage "$work/label-expected.png"
  diff=$(compare -metric AE "$work/label-shown.png" "$work/label-expected.png" null: 2>&1)
  check "$name: the label equals the renderer's ($diff pixels differ)" test "$diff" = 0
  [ "$failures" -eq 0 ] || cp "$work"/*.png /tmp/ 2>/dev/null
}

# A right-button drag from one point of the screen to another, in the client area.
draw_line() {  # X1 Y1 X2 Y2 [escape]
  xdotool mousemove $((X + $1)) $((Y + $2)) mousedown 3
  for step in 1 2 3 4; do
    xdotool mousemove $((X + $1 + ($3 - $1) * step / 4)) $((Y + $2 + ($4 - $2) * step / 4))
    sleep 0.05
  done
  [ "${5:-}" = escape ] && { xdotool key Escape; sleep 0.2; }
  xdotool mouseup 3; sleep 0.3; settle
}

# Where the horizon crosses column X of a turned picture: the first dark row below the sky.
horizon_row() {  # PICTURE X
  convert "$1" -crop "1x100000+$2+0" +repage -colorspace gray -depth 8 txt:- |
    awk -F'[,:() ]+' 'NR > 1 { v = $5 + 0; if (v > 160) sky = 1; else if (sky && v < 100) { print $2; exit } }'
}
# Whether the horizon of PICTURE turned by ANGLE is level: the same row, within a pixel,
# at a quarter and three quarters of its width.
levels() {  # PICTURE ANGLE
  "$render" "$1" --angle "$2" --out "$work/levelled.png" 2>/dev/null
  local width left right
  width=$(identify -format %w "$work/levelled.png")
  left=$(horizon_row "$work/levelled.png" $((width / 4)))
  right=$(horizon_row "$work/levelled.png" $((width * 3 / 4)))
  echo "rows ${left:-none} and ${right:-none}"
  [ -n "$left" ] && [ -n "$right" ] && [ $((left - right)) -le 1 ] && [ $((right - left)) -le 1 ]
}

# Right 30 times, then Shift+Right 3 times: 30.3, as the renderer draws it.
picture=$work/app/test.jpg
start
xdotool key --clearmodifiers Tab
for _ in $(seq 30); do xdotool key Right; done
for _ in $(seq 3); do xdotool key shift+Right; done
settle
check "Shift+Right three times after 30 turns to 30.3 (got $(last_angle))" test "$(last_angle)" = 30.3
compare_with_renderer "30.3" --angle 30.3
press shift+Left
check "Shift+Left turns to 30.2" test "$(last_angle)" = 30.2
press Right
check "Right after tenths is the bar's own move, to 31" \
  test "$(grep -o '"call":"hsTurn_Change","value":[0-9]*' "$work/trace" | tail -1)" = '"call":"hsTurn_Change","value":31'
compare_with_renderer "Right after tenths" --angle 31

# A horizon tilted 4 degrees clockwise: a line drawn along it with the right button levels it.
tan4=0.0699268119
convert -size 800x560 xc:'#c8dcf0' -fill '#1e3c5a' \
  -draw "polygon 0,$(awk -v t=$tan4 'BEGIN { print 280 - 400 * t }') 800,$(awk -v t=$tan4 'BEGIN { print 280 + 400 * t }') 800,560 0,560" \
  "$work/horizon.png"
picture=$work/horizon.png
start "$picture"
# Along the horizon from x = 100 to x = 700 of the picture, which shows at 1:1 at (10, 10).
draw_line 110 $((10 + 259)) 710 $((10 + 301))
angle=$(last_angle)
check "the line at 1:1 turns by 4 degrees back (to ${angle:-nothing})" within_a_tenth "${angle:-}" 356
rows=$(levels "$picture" "${angle:-0}"); level=$?
check "at 1:1 the horizon comes out level ($rows)" test "$level" = 0
compare_with_renderer "after the line at 1:1" --angle "${angle:-0}"

# Esc during a drag: nothing turns, and the line is gone.
before=$(wc -l <"$work/trace")
draw_line 110 300 600 340 escape
check "Esc cancels the line: nothing turned" test "$(wc -l <"$work/trace")" = "$before"
compare_with_renderer "after Esc" --angle "${angle:-0}"

# The same in the fit view, on a picture three times as large shown at 0.39.
convert -size 2400x1680 xc:'#c8dcf0' -fill '#1e3c5a' \
  -draw "polygon 0,$(awk -v t=$tan4 'BEGIN { print 840 - 1200 * t }') 2400,$(awk -v t=$tan4 'BEGIN { print 840 + 1200 * t }') 2400,1680 0,1680" \
  "$work/large.png"
picture=$work/large.png
start "$picture"
press f
# Picture x = 300 and 2100 on the horizon, at the view's scale of 936 / 2400.
awk -v t=$tan4 'BEGIN { s = 936 / 2400; y1 = 840 - 900 * t; y2 = 840 + 900 * t;
  printf "x1=%d y1=%d x2=%d y2=%d\n", 10 + 300 * s + 0.5, 10 + y1 * s + 0.5, 10 + 2100 * s + 0.5, 10 + y2 * s + 0.5 }' >"$work/ends"
. "$work/ends"
draw_line "$x1" "$y1" "$x2" "$y2"
angle=$(last_angle)
check "the line in the fit view turns by 4 degrees back (to ${angle:-nothing})" within_a_tenth "${angle:-}" 356
rows=$(levels "$picture" "${angle:-0}"); level=$?
check "in the fit view the horizon comes out level ($rows)" test "$level" = 0
compare_with_renderer "after the line in the fit view" --angle "${angle:-0}" --fit
before=$(wc -l <"$work/trace")
draw_line 200 200 700 260 escape
check "Esc cancels in the fit view too" test "$(wc -l <"$work/trace")" = "$before"
compare_with_renderer "after Esc in the fit view" --angle "${angle:-0}" --fit
press 1

# G: the grid shows over the picture, and what is saved stays the renderer's.
"$render" "$picture" --angle "${angle:-0}" --window "$work/plain.png" 2>/dev/null
press g
import -window root -crop "936x672+$((X + 10))+$((Y + 10))" +repage "$work/grid-shown.png"
convert "$work/plain.png" -crop "936x672+10+10" +repage "$work/grid-expected.png"
diff=$(compare -metric AE "$work/grid-shown.png" "$work/grid-expected.png" null: 2>&1)
check "G shows the grid ($diff pixels differ from the picture alone)" test "${diff:-0}" -gt 1000
# On a line 50 pixels in from the picture's corner, and not between the lines.
differing() {  # GEOMETRY: pixels of the grid's screen that differ from the picture alone there
  convert "$work/grid-shown.png" -crop "$1" +repage "$work/part-shown.png"
  convert "$work/grid-expected.png" -crop "$1" +repage "$work/part-expected.png"
  compare -metric AE "$work/part-shown.png" "$work/part-expected.png" null: 2>&1
}
on=$(differing 1x600+50+20) off=$(differing 1x40+25+5)
check "a grid line 50 pixels in ($on differ) and none between ($off differ)" test "$on" -gt 500 -a "$off" = 0
check "the grid is remembered" grep -q "grid=true" "$work/config/anyturn/anyturn.conf"
save_in_dialog() {  # PATH
  xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key --clearmodifiers ctrl+s
  local dialog
  dialog=$(timeout 10 xdotool search --sync --onlyvisible --name 'Save the turned picture' | head -1)
  sleep 0.5
  xdotool key ctrl+a
  xdotool type --delay 10 "$1"
  xdotool key Return
  for _ in $(seq 50); do [ -s "$1" ] && break; sleep 0.1; done
  [ -n "$dialog" ]
}
check "Ctrl+S with the grid on shows the dialog" save_in_dialog "$work/saved.png"
"$render" "$picture" --angle "${angle:-0}" --out "$work/expected.png" 2>/dev/null
check "with the grid on, Ctrl+S writes the renderer's file" cmp -s "$work/saved.png" "$work/expected.png"
press g
compare_with_renderer "G again hides the grid" --angle "${angle:-0}"
check "the grid's choice is remembered off" grep -q "grid=false" "$work/config/anyturn/anyturn.conf"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
