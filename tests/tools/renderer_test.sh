#!/usr/bin/env bash
# anyturn-render from the outside: outputs, state and exit codes for good and bad input.
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

"$render" "$picture" --angle 30 --out "$work/30.png" --trace "$work/trace" --state >"$work/state" 2>"$work/err"
check "good run exits 0" test $? -eq 0
check "png written" test -s "$work/30.png"
check "state names the label" grep -q '^{"label":"30","surfaces":{' "$work/state"
check "state has pDes turned size" grep -q '"pDes":{"left":10,"top":10,"width":[0-9]*,"height":[0-9]*,"visible":true,"backColor":0}' "$work/state"
check "state has all four" test "$(grep -o '"p[A-Za-z0-9]*":{"left"' "$work/state" | wc -l)" -eq 4
check "trace starts with the handling" test "$(head -1 "$work/trace")" = '{"call":"hsTurn_Change","value":30}'
check "trace has the edge squares" grep -q '"call":"BitBlt","dst":"pDes","src":"pTM"' "$work/trace"

"$render" "$picture" --angle 90 --angle 90 --trace - >"$work/stdout"
check "same angle twice turns twice" test "$(grep -c hsTurn_Change "$work/stdout")" -eq 2

"$render" "$picture" --state >"$work/state0"
check "no angle: label untouched" grep -q '"label":"Label1"' "$work/state0"

for bad in "--angle 361" "--angle -1" "--angle 3.5" "--angle x" "--angle" "--bogus"; do
  # shellcheck disable=SC2086
  "$render" "$picture" $bad >/dev/null 2>"$work/err"
  check "bad argument '$bad' exits 2" test $? -eq 2
  check "bad argument '$bad' prints usage" grep -qi usage "$work/err"
done
"$render" >/dev/null 2>&1
check "missing PICTURE exits 2" test $? -eq 2

printf 'not a picture' >"$work/bad.jpg"
"$render" "$work/bad.jpg" --angle 30 --out "$work/x.png" 2>"$work/err"
check "bad picture exits 1" test $? -eq 1
check "bad picture report names the file" grep -q "$work/bad.jpg" "$work/err"
check "bad picture report names the cause" grep -q "Invalid picture" "$work/err"
check "no output for a bad picture" test ! -e "$work/x.png"
"$render" "$work/none.jpg" 2>"$work/err"
check "missing picture exits 1" test $? -eq 1
check "missing picture says so" grep -q "File not found: $work/none.jpg" "$work/err"

# A file nobody may read, tried as an unprivileged user where that is possible.
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  cp "$picture" "$work/locked.jpg"; chmod 000 "$work/locked.jpg"; chmod 755 "$work"
  setpriv --reuid=65534 --regid=65534 --clear-groups "$render" "$work/locked.jpg" 2>"$work/err"
  check "unreadable picture exits 1" test $? -eq 1
  check "unreadable picture says so" grep -q "cannot be read: $work/locked.jpg" "$work/err"
fi

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
