#!/usr/bin/env bash
# The real window under Xvfb, driven as a person would with xdotool. After each gesture
# the screenshot's display region and label must equal, pixel for pixel, what
# anyturn-render draws for the angle the program turned to.
#   real_window_test.sh ANYTURN ANYTURN_RENDER
set -u
anyturn=$1 render=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xdotool import compare; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps.sh"; exit 1; }
done
work=$(mktemp -d)
cleanup() { [ -n "${app:-}" ] && kill "$app" 2>/dev/null; [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# The program in a folder of its own, with the bundled picture beside it.
mkdir "$work/app"
cp "$anyturn" "$work/app/anyturn"
cp "$here/../../assets/test.jpg" "$work/app/test.jpg"

# Xvfb picks a free display itself and says which: a number chosen here could be another
# server's on a shared machine.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=:$(head -1 "$work/display")
export XDG_CONFIG_HOME=$work/config  # the fit view's remembered choice stays here
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
unset QT_QPA_PLATFORM

ANYTURN_TRACE="$work/trace" "$work/app/anyturn" >"$work/app.log" 2>&1 &
app=$!
window=$(xdotool search --sync --onlyvisible --name 'GDI+' | head -1)

failures=0 passed=0
check() {
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAILED: $name"; failures=$((failures + 1)); fi
}
title=$(xdotool getwindowname "$window")
check "title" test "$title" = "GDI+任意角度旋转图像"
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
check "client size 956x739 (got $geometry)" test "$geometry" = 956x739
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y of the client area

# The first visible window whose name matches PATTERN, waiting up to SECONDS for it. A
# window that closes while xdotool looks through the others makes xdotool fail
# (BadWindow), so it looks again rather than taking that for no window.
visible_window() {  # SECONDS PATTERN
  local until=$((SECONDS + $1)) found
  while :; do
    found=$(xdotool search --onlyvisible --name "$2" 2>/dev/null | head -1)
    [ -n "$found" ] && { echo "$found"; return 0; }
    [ "$SECONDS" -lt "$until" ] || return 1
    sleep 0.1
  done
}

# Waits until the program has handled the events (its trace stops growing).
settle() {
  local before=-1 now
  for _ in $(seq 100); do
    now=$(wc -c <"$work/trace" 2>/dev/null || echo 0)
    [ "$now" = "$before" ] && break
    before=$now; sleep 0.15
  done
  # Once the bar has rested a tenth of a second, the window repaints what it shows sharply:
  # from then on it must equal the renderer's (sharp) pixels.
  sleep 0.5
}
last_angle() { grep -o '"call":"\(hsTurn_Change","value\|FineTurn","angle\)":[0-9.]*' "$work/trace" | tail -1 | grep -o '[0-9.]*$'; }

# Compares the screen with the renderer: the display surface, and the label.
picture=$work/app/test.jpg  # what the window shows
compare_with_renderer() {  # NAME ANGLE-ARGS...
  local name=$1; shift
  "$render" "$picture" "$@" --out "$work/expected.png" --window "$work/window.png" --state >"$work/state"
  local size
  size=$(sed -n 's/.*"pDes":{"left":10,"top":10,"width":\([0-9]*\),"height":\([0-9]*\).*/\1x\2/p' "$work/state")
  local w=${size%x*} h=${size#*x}
  # What shows of the display surface: inside the window and above the bar's row, which
  # stays on top of a large picture.
  local vw=$(( w < 946 ? w : 946 )) vh=$(( h < 682 ? h : 682 ))
  import -window root -crop "${vw}x${vh}+$((X + 10))+$((Y + 10))" +repage "$work/shown.png"
  convert "$work/expected.png" -crop "${vw}x${vh}+0+0" +repage "$work/expected-crop.png"
  local diff
  diff=$(compare -metric AE "$work/shown.png" "$work/expected-crop.png" null: 2>&1)
  check "$name: display region equals the renderer's ($diff pixels differ)" test "$diff" = 0
  import -window root -crop "49x25+$((X + 8))+$((Y + 692))" +repage "$work/label-shown.png"
  convert "$work/window.png" -crop "49x25+8+692" +repage "$work/label-expected.png"
  diff=$(compare -metric AE "$work/label-shown.png" "$work/label-expected.png" null: 2>&1)
  check "$name: label equals the renderer's ($diff pixels differ)" test "$diff" = 0
  [ "$failures" -eq 0 ] || cp "$work"/*.png /tmp/ 2>/dev/null
}

settle
compare_with_renderer "start-up"

xdotool key --clearmodifiers Tab
for _ in $(seq 30); do xdotool key Right; done
settle
check "30 Right presses turn to 30" test "$(last_angle)" = 30
compare_with_renderer "Right x30" --angle 30

xdotool key End; settle
check "End turns to 360" test "$(last_angle)" = 360
compare_with_renderer "End" --angle 360

xdotool key Next; xdotool key Prior; settle
check "PageDown then PageUp ends at 350" test "$(last_angle)" = 350
compare_with_renderer "PageUp" --angle 350

# The bar's left arrow, at its left end.
xdotool mousemove $((X + 72 + 7)) $((Y + 692 + 12)) click 1; settle
check "left arrow turns to 349" test "$(last_angle)" = 349
compare_with_renderer "left arrow" --angle 349

# Drag the thumb from the start of the bar.
xdotool key Home; settle
xdotool mousemove $((X + 72 + 28)) $((Y + 704)) mousedown 1
for step in 60 120 180 240 300; do xdotool mousemove $((X + 72 + 28 + step)) $((Y + 704)); sleep 0.1; done
xdotool mouseup 1; settle
dragged=$(last_angle)
check "the drag turned the picture (to $dragged)" test "${dragged:-0}" -gt 0
compare_with_renderer "drag" --angle "$dragged"

# Ctrl+O: a path typed into the dialog opens that picture, turned by the bar's value.
convert -size 300x200 gradient:orange-navy -fill white -draw "rectangle 40,40 120,90" \
  "$work/other.png"
open_in_dialog() {  # PATH
  xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key --clearmodifiers ctrl+o
  local dialog
  dialog=$(visible_window 10 'Open a picture')
  sleep 0.5
  xdotool type --delay 10 "$1"
  xdotool key Return
  for _ in $(seq 50); do xdotool search --onlyvisible --name 'Open a picture' >/dev/null || break; sleep 0.1; done
  [ -n "$dialog" ]
}
check "Ctrl+O shows the dialog" open_in_dialog "$work/other.png"
settle
picture=$work/other.png
compare_with_renderer "Ctrl+O" --angle "$dragged"

# A file that is not a picture: the report shows, the program goes on with its picture.
printf 'not a picture' >"$work/bad.png"
open_in_dialog "$work/bad.png"
box=$(visible_window 10 '^anyturn$')
check "a bad picture is reported in a box" test -n "$box"
xdotool key --window "$box" Return 2>/dev/null || xdotool key Return
sleep 0.5; settle
check "the program keeps running" kill -0 "$app"
check "the report names the file" grep -q "Invalid picture: .*$work/bad.png" "$work/app.log"
compare_with_renderer "after the bad picture" --angle "$dragged"
# F: the whole turned picture, reduced, as the renderer's fit view shows the window; 1: back.
compare_room_with_renderer() {  # NAME ARGS...
  local name=$1; shift
  "$render" "$picture" "$@" --window "$work/window.png"
  import -window root -crop "936x672+$((X + 10))+$((Y + 10))" +repage "$work/room-shown.png"
  convert "$work/window.png" -crop "936x672+10+10" +repage "$work/room-expected.png"
  local diff
  diff=$(compare -metric AE "$work/room-shown.png" "$work/room-expected.png" null: 2>&1)
  check "$name: the room above the bar equals the renderer's ($diff pixels differ)" test "$diff" = 0
}
convert -size 2400x1800 gradient:teal-khaki -fill maroon -draw "circle 1200,900 1200,300" \
  "$work/large.jpg"
open_in_dialog "$work/large.jpg"; settle
picture=$work/large.jpg
press() { xdotool windowfocus --sync "$window" 2>/dev/null; xdotool key "$1"; sleep 0.5; settle; }
press f
compare_room_with_renderer "F" --angle "$dragged" --fit
press 1
compare_room_with_renderer "1" --angle "$dragged"
# Ctrl+S: a path typed over the proposed name writes the turned picture, the renderer's.
save_in_dialog() {  # PATH
  xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool key --clearmodifiers ctrl+s
  local dialog
  dialog=$(visible_window 10 'Save the turned picture')
  sleep 0.5
  xdotool key ctrl+a
  xdotool type --delay 10 "$1"
  xdotool key Return
  for _ in $(seq 50); do [ -s "$1" ] && break; sleep 0.1; done
  [ -n "$dialog" ]
}
check "Ctrl+S shows the dialog" save_in_dialog "$work/saved.jpg"
"$render" "$picture" --angle "$dragged" --out "$work/expected.jpg"
check "Ctrl+S writes the renderer's file" cmp -s "$work/saved.jpg" "$work/expected.jpg"
check "Ctrl+S leaves the window running" kill -0 "$app"
# L: the bar to the value that levels the picture's lines, as the renderer finds it.
convert -size 1000x800 xc:white -fill navy -draw "rectangle 100,100 900,160" \
  -draw "rectangle 100,300 900,360" -draw "rectangle 100,500 900,560" \
  -draw "rectangle 450,100 510,700" -background white -rotate 4 +repage \
  -gravity center -crop 800x600+0+0 +repage "$work/tilted.png"
open_in_dialog "$work/tilted.png"; settle
picture=$work/tilted.png
"$render" "$picture" --level >"$work/level"
suggested=$(grep -o '"level": [0-9.]*' "$work/level" | grep -o '[0-9.]*$')
press l
check "L turns to the suggestion (${suggested:-none})" test -n "$suggested" -a "$(last_angle)" = "${suggested:-x}"
compare_with_renderer "L" --angle level
press f
kill "$app"; wait "$app" 2>/dev/null
check "the fit view is remembered" grep -q "fit=true" "$work/config/anyturn/anyturn.conf"
rm -f "$work/config/anyturn/anyturn.conf"

# Started with a picture as its argument.
: >"$work/trace"
picture=$work/other.png
ANYTURN_TRACE="$work/trace" "$work/app/anyturn" "$work/other.png" >"$work/app.log" 2>&1 &
app=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name 'GDI+' | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
settle; sleep 0.5
compare_with_renderer "started on a picture"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
