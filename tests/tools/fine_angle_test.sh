#!/usr/bin/env bash
# anyturn-render with angles in tenths: what a tenth turns, what it records and shows, the
# angles it refuses, and the level to a tenth.
#   fine_angle_test.sh ANYTURN_RENDER PICTURE
set -u
render=$1 picture=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 passed=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAILED: $name"; failures=$((failures + 1)); fi
}
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

"$render" "$picture" --angle 30.3 --out "$work/30.3.png" --trace "$work/trace" --state >"$work/state"
check "--angle 30.3 exits 0" test $? -eq 0
check "the label reads 30.3" grep -q '^{"label":"30.3",' "$work/state"
check "the trace records the fractional angle" \
  test "$(head -1 "$work/trace")" = '{"call":"FineTurn","angle":30.3}'
check "no turn of the bar's own" test "$(grep -c hsTurn_Change "$work/trace")" -eq 0
check "the engine turns by 30.3" grep -q '"call":"GdipRotateWorldTransform","angle":30.3,' "$work/trace"
check "the second rendering by 210.3" grep -q '"call":"GdipRotateWorldTransform","angle":210.3,' "$work/trace"
"$render" "$picture" --angle 30 --out "$work/30.png" --trace "$work/trace30"
check "30.3 is not 30" test "$(compare -metric AE "$work/30.3.png" "$work/30.png" null: 2>&1)" != 0

# A whole value written with its tenth is the whole value, as the keyboard moves the bar.
"$render" "$picture" --angle 30.0 --out "$work/30.0.png" --trace "$work/trace30.0"
check "30.0 traces as 30" cmp -s "$work/trace30" "$work/trace30.0"
check "30.0 turns as 30" cmp -s "$work/30.png" "$work/30.0.png"

# Several in turn: the last decides; a tenth, then a whole value through the bar.
"$render" "$picture" --angle 12.5 --angle 90.0 --angle 0.1 --state >"$work/state-run"
check "the last of several angles is shown" grep -q '"label":"0.1"' "$work/state-run"
"$render" "$picture" --angle 0.1 --angle 90 --trace - --out "$work/90.png" >"$work/trace-run"
check "a whole value after a tenth moves the bar" grep -q '"call":"hsTurn_Change","value":90' "$work/trace-run"
"$render" "$picture" --angle 90 --out "$work/90-only.png"
check "and turns as the bar alone does" cmp -s "$work/90.png" "$work/90-only.png"
"$render" "$picture" --angle 359.9 --state >"$work/state-359.9"
check "359.9 is accepted" grep -q '"label":"359.9"' "$work/state-359.9"
"$render" "$picture" --angle 360.0 --state >"$work/state-360"
check "360.0 is accepted" grep -q '"label":"360"' "$work/state-360"

for bad in 30.33 360.1 400.0 .5 5. -0.5 +1.5 1e1 30,3 "3 .5" 30.3.3; do
  "$render" "$picture" --angle "$bad" >/dev/null 2>"$work/err"
  check "bad angle '$bad' exits 2" test $? -eq 2
  check "bad angle '$bad' is named" grep -qF "bad angle '$bad'" "$work/err"
done

# Batches take tenths too.
mkdir "$work/in"
cp "$picture" "$work/in/one.jpg"
"$render" --angle 30.3 --out-dir "$work/batch" "$work/in/one.jpg" 2>"$work/err"
check "a batch turns by a tenth" test $? -eq 0 -a -s "$work/batch/one.jpg"
"$render" "$picture" --angle 30.3 --out "$work/single.jpg"
check "as the single run does" cmp -s "$work/batch/one.jpg" "$work/single.jpg"

# The level to a tenth: a picture tilted 2.6 degrees anticlockwise is levelled by 2.6.
convert -size 1000x800 xc:white -fill navy -draw "rectangle 100,100 900,160" \
  -draw "rectangle 100,300 900,360" -draw "rectangle 100,500 900,560" \
  -background white -rotate -2.6 +repage -gravity center -crop 800x600+0+0 +repage \
  "$work/tilted.png"
"$render" "$work/tilted.png" --level >"$work/level"
check "--level prints the level to a tenth" \
  grep -Eq '^\{"level": [0-9]+\.[0-9], "tilt": -?[0-9]+\.[0-9]+, "confidence": [01]\.[0-9]+\}$' "$work/level"
level=$(grep -o '"level": [0-9.]*' "$work/level" | grep -o '[0-9.]*$')
check "the level is 2.6 within a tenth (got ${level:-none})" \
  awk -v l="${level:-99}" 'BEGIN { exit !(l >= 2.45 && l <= 2.75) }'
"$render" "$work/tilted.png" --angle level --state --trace "$work/trace-level" >"$work/state-level"
check "--angle level turns by it" grep -q "\"label\":\"$level\"" "$work/state-level"
check "--angle level records it" grep -q "\"call\":\"FineTurn\",\"angle\":$level}" "$work/trace-level"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
