#!/usr/bin/env bash
# anyturn-render from the outside: outputs, state and exit codes for good and bad input,
# and files that are never lost.
#   renderer_test.sh ANYTURN_RENDER PICTURE ANYTURN_HOSTILE_PICTURES ANYTURN
set -u
render=$1 picture=$2 make_hostile=$3 anyturn=$4
work=$(mktemp -d)
cleanup() {
  for mounted in "$work"/small*; do mountpoint -q "$mounted" 2>/dev/null && umount "$mounted"; done
  rm -rf "$work"
}
trap cleanup EXIT
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

# Sharp by default; --resample bilinear is the softer draw, and the same at right angles,
# where nothing is resampled; the trace is the same whichever resamples.
for how in sharp bilinear; do
  "$render" "$picture" --angle 30 --resample $how --out "$work/30-$how.png" --trace "$work/trace-$how"
  "$render" "$picture" --angle 90 --resample $how --out "$work/90-$how.png"
done
check "sharp is the default" cmp -s "$work/30.png" "$work/30-sharp.png"
check "bilinear is another rendering" test -n "$(cmp "$work/30-sharp.png" "$work/30-bilinear.png" 2>&1)"
check "right angles resample nothing" cmp -s "$work/90-sharp.png" "$work/90-bilinear.png"
check "the trace does not depend on the resampler" cmp -s "$work/trace-sharp" "$work/trace-bilinear"

# A JPEG at a right angle is turned without loss: jpegtran's pixels; at any other angle it
# is encoded, and --verbose says which.
"$render" "$picture" --angle 270 --out "$work/270.jpg" --verbose 2>"$work/err"
check "a right angle of a JPEG is lossless" grep -q "270.jpg: turned in its coded form, without loss" "$work/err"
jpegtran -rotate 270 -perfect "$picture" >"$work/270-jpegtran.jpg"
check "lossless pixels are jpegtran's" cmp -s <(djpeg -pnm "$work/270.jpg") <(djpeg -pnm "$work/270-jpegtran.jpg")
"$render" "$picture" --angle 30 --out "$work/30.jpg" --verbose 2>"$work/err"
check "any other angle is encoded" grep -q "30.jpg: encoded$" "$work/err"
# The coded turn begins while the picture is read, from the command line's last angle; the
# save takes it only for the turn the window then stands at.
"$render" "$picture" --angle 90 --angle 270 --out "$work/90-270.jpg"
check "the last of several right angles is the one turned" cmp -s "$work/270.jpg" "$work/90-270.jpg"
"$render" "$picture" --angle 270 --angle 30 --out "$work/270-30.jpg" --verbose 2>"$work/err"
check "a right angle moved on from is encoded" grep -q "270-30.jpg: encoded$" "$work/err"
mkdir -p "$work/quarter/a" "$work/quarter/b"
cp "$picture" "$work/quarter/a/p.jpg" && cp "$picture" "$work/quarter/b/q.jpg"
"$render" --angle 270 --out-dir "$work/quarter/out" "$work/quarter/a/p.jpg" "$work/quarter/b/q.jpg"
check "a batch's right angles are the single picture's" \
  sh -c "cmp -s '$work/270.jpg' '$work/quarter/out/p.jpg' && cmp -s '$work/270.jpg' '$work/quarter/out/q.jpg'"

for bad in "--angle 361" "--angle -1" "--angle 3.55" "--angle x" "--angle" "--bogus" "--resample lanczos"; do
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

# Runs as an unprivileged user work on copies in a folder anyone may enter: the clone
# itself may lie in a private folder (mode 700, as mktemp -d and many homes make them).
public=$work/public
mkdir -p "$public/bin"
cp "$render" "$public/bin/anyturn-render"
cp "$picture" "$public/picture.jpg"
chmod 755 "$work" "$public" "$public/bin"
chmod 644 "$public/picture.jpg"
as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$public/bin/anyturn-render" "$@"; }

# A file nobody may read, tried as an unprivileged user where that is possible.
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  cp "$picture" "$work/locked.jpg"; chmod 000 "$work/locked.jpg"
  as_nobody "$work/locked.jpg" 2>"$work/err"
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
  as_nobody "$public/picture.jpg" --angle 30 --out "$work/shut/kept.png" 2>"$work/err"
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

# Files never lost, inputs that never get in.
"$make_hostile" "$work/hostile"
hostile=$work/hostile
same_files() { [ "$(cd "$1" && find . -type f -exec md5sum {} + | sort)" = "$2" ]; }
listing() { (cd "$1" && find . -type f -exec md5sum {} + | sort); }

# A full disk while the metadata goes in: the old file stays, byte for byte.
if [ "$(id -u)" = 0 ] && mkdir "$work/small-meta" &&
   mount -t tmpfs -o size=64k tmpfs "$work/small-meta" 2>/dev/null; then
  head -c 40000 /dev/zero >"$work/small-meta/filler"
  for ext in jpg png webp tif; do
    printf 'the old file' >"$work/small-meta/keep.$ext"
    "$render" "$hostile/xmp-60k.jpg" --angle 30 --out "$work/small-meta/keep.$ext" 2>"$work/err"
    check "full disk with metadata, .$ext: exit 1" test $? -eq 1
    check "full disk with metadata, .$ext: named" grep -q "No space left.*keep.$ext" "$work/err"
    check "full disk with metadata, .$ext: old file kept" \
      test "$(cat "$work/small-meta/keep.$ext")" = "the old file"
    check "full disk with metadata, .$ext: no temporary" \
      test "$(ls -A "$work/small-meta" | grep -vc '^filler$\|^keep\.')" -eq 0
  done
  umount "$work/small-meta"
fi

# More than 64 kB of XMP into a JPEG: the picture is written, the XMP left out, said.
"$render" "$hostile/xmp-70k.png" --angle 30 --out "$work/history.jpg" 2>"$work/err"
check "too much XMP for a JPEG: written" test $? -eq 0 -a -s "$work/history.jpg"
check "too much XMP for a JPEG: the warning names it" grep -q "warning:.*XMP.*left out" "$work/err"

# Damaged and hostile JPEGs: refused, quickly, without the memory their headers claim.
if command -v /usr/bin/time >/dev/null; then
  /usr/bin/time -f %M -o "$work/peak" "$render" "$hostile/patched-header.jpg" --angle 30 \
    --out "$work/patched.png" 2>"$work/err"
  check "a header claiming 16000 x 16000: exit 1" test $? -eq 1
  check "a header claiming 16000 x 16000: 481" grep -q "error 481.*damaged or ends early" "$work/err"
  check "a header claiming 16000 x 16000: under 200 MB (got $(tail -1 "$work/peak") kB)" \
    test "$(tail -1 "$work/peak")" -lt 204800
  check "a header claiming 16000 x 16000: nothing written" test ! -e "$work/patched.png"
fi
started=$(date +%s%N)
"$render" "$hostile/repeated-scans.jpg" --angle 30 --out "$work/scans.png" 2>"$work/err"
status=$? elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
check "a thousand scans: exit 1" test $status -eq 1
check "a thousand scans: 481" grep -q "error 481.*more than 500 scans" "$work/err"
check "a thousand scans: refused within 3 s (took $elapsed_ms ms)" test "$elapsed_ms" -lt 3000

# PNG and WebP turned upright by their own orientation tags, as JPEG is.
for ext in png webp; do
  "$render" "$hostile/oriented-6.$ext" --state >"$work/state-oriented"
  check "orientation 6 in a .$ext is obeyed" grep -q '"pSrc":{[^}]*"width":20,"height":30' "$work/state-oriented"
done

# Batches: every collision refused before anything is written, every input unchanged.
mkdir -p "$work/b/d1" "$work/b/d2" "$work/b/c/d1" "$work/b/c/d2"
cp "$picture" "$work/b/d1/a.jpg"; cp "$hostile/oriented-6.png" "$work/b/d2/a.jpg"
cp "$picture" "$work/b/c.jpg"; cp "$hostile/oriented-6.png" "$work/b/c.png"
cp "$picture" "$work/b/b.png"; cp "$hostile/oriented-6.png" "$work/b/b.gif"
cp "$picture" "$work/b/c/d1/a.jpg"; cp "$picture" "$work/b/c/d2/a.jpg"
before=$(listing "$work/b")
while IFS='|' read -r name args; do
  # shellcheck disable=SC2086
  (cd "$work/b" && "$render" --angle 30 $args) >/dev/null 2>"$work/err"
  check "batch refuses $name: exit 2" test $? -eq 2
  check "batch refuses $name: says why" grep -q "would" "$work/err"
  check "batch refuses $name: nothing written, inputs unchanged" same_files "$work/b" "$before"
done <<'CASES'
one name from two folders|--out-dir out d1/a.jpg d2/a.jpg
two types made one|--out-dir out b.png b.gif
--format for two types|--format webp --out-dir out c.jpg c.png
the pictures' own folder|--out-dir . c.jpg
a picture named later|--out-dir c/d2 c/d1/a.jpg c/d2/a.jpg
a collision despite --overwrite|--overwrite --out-dir c/d2 c/d1/a.jpg c/d2/a.jpg
CASES
check "refusals name both pictures" grep -q "c/d1/a.jpg and c/d2/a.jpg" "$work/err"
(cd "$work/b" && "$render" --angle 30 --overwrite --out-dir . c.jpg) 2>"$work/err"
check "--overwrite replaces the picture itself" test $? -eq 0
check "--overwrite wrote the turned picture" test "$(md5sum <"$work/b/c.jpg")" != "$(md5sum <"$picture")"
"$render" "$picture" --overwrite --out "$work/x.png" >/dev/null 2>&1
check "--overwrite without --out-dir exits 2" test $? -eq 2

# Names: the bytes given, each in its place; odd characters shown escaped.
mkdir "$work/names"
cp "$picture" "$work/names/"$'\xff.jpg'
cp "$hostile/oriented-6.png" "$work/names/"$'\xfe.jpg'
(cd "$work/names" && "$render" $'\xff.jpg' --angle 30 --out $'\xfe.png')
check "a name that is not UTF-8 is written as given" test -s "$work/names/"$'\xfe.png'
check "and no other name is made" test "$(ls "$work/names" | wc -l)" -eq 3
(cd "$work/names" && "$render" --out $'\xfe.jpg' $'\xff.jpg' --state) >"$work/state-names" 2>/dev/null
check "--out's name is not taken for the picture's" \
  grep -q '"pSrc":{[^}]*"width":'"$(identify -format %w "$picture")" "$work/state-names"
"$render" "$work/"$'\e[31mred\x9b.jpg' 2>"$work/err"
check "control characters are escaped in reports" grep -qF '\x1B[31mred\x9B.jpg' "$work/err"
check "no control character reaches the terminal" test "$(tr -d '\n' <"$work/err" | tr -d '[:print:]' | wc -c)" -eq 0
export XDG_CONFIG_HOME=$work/config  # the window program remembers its choices there
QT_QPA_PLATFORM=offscreen "$anyturn" "$work/names/"$'\xfd missing.jpg' 2>"$work/err"
check "the window program takes a name's bytes too" grep -qF 'File not found: '"$work"'/names/\xFD missing.jpg' "$work/err"
QT_QPA_PLATFORM=offscreen timeout 3 "$anyturn" "$work/names/"$'\xff.jpg' 2>"$work/err"
check "the window program opens a name that is not UTF-8" test $? -eq 124

# Writing over a file keeps its owner, its links and its other names.
if [ "$(id -u)" = 0 ]; then
  mkdir "$work/own"
  printf 'old' >"$work/own/theirs.png"; chown 65534:65534 "$work/own/theirs.png"; chmod 640 "$work/own/theirs.png"
  "$render" "$picture" --angle 30 --out "$work/own/theirs.png"
  check "another user's file stays theirs" test "$(stat -c %u:%g:%a "$work/own/theirs.png")" = 65534:65534:640
  printf 'old' >"$work/own/real.png"; ln -s real.png "$work/own/link.png"
  "$render" "$picture" --angle 30 --out "$work/own/link.png"
  check "a link stays a link" test -L "$work/own/link.png"
  check "its target gets the picture" test "$(head -c 4 "$work/own/real.png" | od -An -c | tr -d ' ')" = '211PNG'
  printf 'old' >"$work/own/one.png"; ln "$work/own/one.png" "$work/own/two.png"
  "$render" "$picture" --angle 30 --out "$work/own/one.png"
  check "every hard link shows the picture" cmp -s "$work/own/one.png" "$work/own/two.png"
  check "and no temporary is left" test "$(ls -A "$work/own" | wc -l)" -eq 5
fi

# A termination signal while a batch writes leaves no temporary behind.
convert -size 4000x4000 gradient:navy-orange "$work/big.png" 2>/dev/null
if [ -s "$work/big.png" ]; then
  mkdir "$work/sig"
  "$render" --angle 30 --out-dir "$work/sig" "$work/big.png" 2>/dev/null &
  batch=$!
  for _ in $(seq 500); do ls -A "$work/sig" | grep -q '^\.' && break; sleep 0.01; done
  kill -TERM "$batch"; wait "$batch"
  check "the batch was stopped while writing" test $? -eq 143
  check "a signal during a batch leaves no temporary" test -z "$(ls -A "$work/sig")"
fi

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
