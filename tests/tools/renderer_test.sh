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
# The toolkit warns on standard error without one; the batches' checks read it.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

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

for bad in "--angle 361" "--angle -1" "--angle 3.55" "--angle x" "--angle" "--bogus"; do
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

# The format by the name's extension; an unknown one refused before anything is turned.
for ext in jpg webp tif bmp; do
  "$render" "$picture" --angle 30 --out "$work/30.$ext" 2>"$work/err"
  check "--out .$ext exits 0" test $? -eq 0
done
check "a .jpg is a JPEG" test "$(head -c 3 "$work/30.jpg" | od -An -tx1 | tr -d ' ')" = ffd8ff
check "a .webp is a WebP" test "$(head -c 12 "$work/30.webp" | tail -c 4)" = WEBP
check "a .tif is a TIFF" test "$(head -c 2 "$work/30.tif")" = II
"$render" "$picture" --angle 30 --out "$work/30.xyz" --trace "$work/xyz-trace" 2>"$work/err"
check "unknown extension exits 2" test $? -eq 2
check "unknown extension is named" grep -q "'xyz'" "$work/err"
check "nothing turned for an unknown extension" test ! -e "$work/xyz-trace"
check "nothing written for an unknown extension" test ! -e "$work/30.xyz"

# Batches: on past a bad picture, exit 1 at the end; no progress when not on a terminal.
mkdir "$work/in"
cp "$picture" "$work/in/one.jpg"
"$render" "$picture" --out "$work/in/two.png"
printf 'not a picture' >"$work/in/broken.jpg"
"$render" --angle 30 --out-dir "$work/batch" "$work/in/one.jpg" "$work/in/broken.jpg" \
  "$work/in/two.png" 2>"$work/err"
check "batch with a bad picture exits 1" test $? -eq 1
check "batch writes the good pictures in their own types" \
  test -s "$work/batch/one.jpg" -a -s "$work/batch/two.png"
check "batch writes nothing for the bad one" test ! -e "$work/batch/broken.jpg"
check "batch names the bad picture" grep -q "Invalid picture.*broken.jpg" "$work/err"
check "batch reports only the failure off a terminal" test "$(wc -l <"$work/err")" -eq 1
"$render" "$picture" --angle 30 --out "$work/single.jpg"
check "batch output is the single run's" cmp -s "$work/batch/one.jpg" "$work/single.jpg"
"$render" --angle 30 --format webp --outside crop --out-dir "$work/batch2" "$work/in/one.jpg" \
  "$work/in/two.png" 2>"$work/err"
check "good batch exits 0" test $? -eq 0
check "good batch is silent off a terminal" test ! -s "$work/err"
check "--format sets the type" test -s "$work/batch2/one.webp" -a -s "$work/batch2/two.webp"
if command -v script >/dev/null; then
  script -qec "'$render' --angle 5 --out-dir '$work/batch3' '$work/in/one.jpg' '$work/in/two.png'" \
    /dev/null >"$work/tty" 2>&1
  check "progress on a terminal" grep -q "2/2" "$work/tty"
fi
for bad in "--out-dir $work/b --out $work/x.png" "--format png" "--out-dir $work/b --format gif" \
           "--outside grey" "--quality 0" "--quality 101"; do
  # shellcheck disable=SC2086
  "$render" "$picture" $bad >/dev/null 2>"$work/err"
  check "bad saving argument '$bad' exits 2" test $? -eq 2
done

# A full disk and a folder that cannot be written: the old file stays, nothing is left.
if [ "$(id -u)" = 0 ] && mkdir "$work/small" && mount -t tmpfs -o size=64k tmpfs "$work/small" 2>/dev/null; then
  printf 'the old file' >"$work/small/kept.png"
  "$render" "$picture" --angle 30 --out "$work/small/kept.png" 2>"$work/err"
  check "full disk exits 1" test $? -eq 1
  check "full disk is reported naming the file" grep -q "No space left.*kept.png" "$work/err"
  check "full disk keeps the old file" test "$(cat "$work/small/kept.png")" = "the old file"
  check "full disk leaves no temporary" test "$(ls -A "$work/small")" = kept.png
  umount "$work/small"
fi
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  mkdir -p "$work/shut"; printf 'the old file' >"$work/shut/kept.png"; chmod 755 "$work/shut"
  setpriv --reuid=65534 --regid=65534 --clear-groups "$render" "$picture" --angle 30 \
    --out "$work/shut/kept.png" 2>"$work/err"
  check "unwritable folder exits 1" test $? -eq 1
  check "unwritable folder is reported" grep -q "cannot write the picture.*kept.png" "$work/err"
  check "unwritable folder keeps the old file" test "$(cat "$work/shut/kept.png")" = "the old file"
fi

# The level suggestion: one JSON line, and --angle level turns by it (0 without one).
"$render" "$picture" --level >"$work/level" 2>"$work/err"
check "--level exits 0" test $? -eq 0
check "--level prints one JSON line" grep -Eq '^\{"level": ([0-9]+(\.[0-9])?|null), "tilt": -?[0-9]+\.[0-9]+, "confidence": [01]\.[0-9]+\}$' "$work/level"
suggested=$(grep -o '"level": [0-9.a-z]*' "$work/level" | grep -o '[0-9.a-z]*$')
[ "$suggested" = null ] && suggested=0
"$render" "$picture" --angle level --state >"$work/state-level"
check "--angle level turns by the suggestion" grep -q "\"label\":\"$suggested\"" "$work/state-level"
convert -size 300x200 xc:gray50 "$work/flat.png"
"$render" "$work/flat.png" --level --angle level --state >"$work/flat-level"
check "no line: level null" grep -q '"level": null' "$work/flat-level"
check "no line: --angle level turns by 0" grep -q '"label":"0"' "$work/flat-level"
"$render" --angle level --outside crop --out-dir "$work/straight" "$work/in/one.jpg" \
  "$work/flat.png" 2>"$work/err"
check "a batch straightens by each picture's own level" \
  test $? -eq 0 -a -s "$work/straight/one.jpg" -a -s "$work/straight/flat.png"
"$render" "$picture" --level --out-dir "$work/b" >/dev/null 2>&1
check "--level with --out-dir exits 2" test $? -eq 2

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
