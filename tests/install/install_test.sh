#!/usr/bin/env bash
# The installation from the outside: `cmake --install` into a temporary prefix, the
# layout, both installed programs, and the desktop and AppStream validators.
set -u
build=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0 passed=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAILED: $name"; failures=$((failures + 1)); fi
}
export QT_QPA_PLATFORM=offscreen
# The toolkit asks for a private runtime folder and warns without one.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1
check "cmake --install succeeds" test $? -eq 0

check "bin/anyturn is a link" test -L "$prefix/bin/anyturn"
check "the link is relative" test "$(readlink "$prefix/bin/anyturn")" = ../lib/anyturn/anyturn
check "the program is beside its picture" test -x "$prefix/lib/anyturn/anyturn" -a -s "$prefix/lib/anyturn/test.jpg"
check "bin/anyturn-render" test -x "$prefix/bin/anyturn-render" -a ! -L "$prefix/bin/anyturn-render"
check "desktop file" test -s "$prefix/share/applications/anyturn.desktop"
check "icon" test -s "$prefix/share/icons/hicolor/scalable/apps/anyturn.svg"
check "metainfo" test "$(ls "$prefix"/share/metainfo/*.metainfo.xml | wc -l)" -eq 1
for page in anyturn anyturn-render; do
  check "manual $page" test -s "$prefix/share/man/man1/$page.1"
  check "manual $page formats cleanly" sh -c "MANWIDTH=80 man --warnings -l '$prefix/share/man/man1/$page.1' 2>&1 >/dev/null | (! grep .)"
done
# Nothing of the tests, the benchmarks or the build's own tools is installed.
expected="bin/anyturn bin/anyturn-render lib/anyturn/anyturn lib/anyturn/test.jpg
share/applications/anyturn.desktop share/icons/hicolor/scalable/apps/anyturn.svg
share/man/man1/anyturn.1 share/man/man1/anyturn-render.1
$(cd "$prefix" && ls share/metainfo/*)"
check "only what belongs" test "$(find "$prefix" -type f -o -type l | sed "s#^$prefix/##" | sort)" = \
  "$(tr ' ' '\n' <<<"$expected" | sort)"

check "desktop-file-validate" desktop-file-validate "$prefix/share/applications/anyturn.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml
check "metainfo launches the desktop file" grep -q '<launchable type="desktop-id">anyturn.desktop</launchable>' "$prefix"/share/metainfo/*.metainfo.xml
for type in image/jpeg image/png image/webp image/tiff image/heif image/avif image/bmp image/gif; do
  check "desktop file offers $type" grep -q "^MimeType=.*$type;" "$prefix/share/applications/anyturn.desktop"
done

# Both programs from the prefix, as a user's PATH finds them.
PATH=$prefix/bin:$PATH
for program in anyturn anyturn-render; do
  out=$("$program" --version 2>&1); rc=$?
  check "$program --version exits 0" test $rc -eq 0
  check "$program --version says $version" test "$out" = "$program $version"
  out=$("$program" --help 2>/dev/null); rc=$?
  check "$program --help exits 0" test $rc -eq 0
  check "$program --help shows the usage" grep -q "^Usage: $program" <<<"$out"
  "$program" --no-such-option >/dev/null 2>"$work/err"; rc=$?
  check "$program with an unknown option exits 2" test $rc -eq 2
  check "$program names the unknown option" grep -q "no-such-option" "$work/err"
  check "$program gives the usage on standard error" grep -q "^Usage: $program" "$work/err"
done

# The window program on its bundled picture, through the link: it must find the picture
# in its real folder, start up and keep running until it is ended.
ANYTURN_TRACE=$work/trace timeout 5 anyturn 2>"$work/err"; rc=$?
check "the installed window program runs until ended" test $rc -eq 124
check "and reports nothing" test ! -s "$work/err"
check "its start-up drew the picture" grep -q '"call"' "$work/trace"
# Started through the link from elsewhere, with the link's own folder holding no picture.
(cd "$work" && timeout 3 "$prefix/bin/anyturn" 2>"$work/err2"); rc=$?
check "started from another folder too" test $rc -eq 124 -a ! -s "$work/err2"

# A picture named on the command line instead of the bundled one.
timeout 3 anyturn "$work/none.jpg" 2>"$work/err"; rc=$?
check "a named picture that is missing ends with 1" test $rc -eq 1
check "and the report names it" grep -q "File not found: $work/none.jpg" "$work/err"
cp "$prefix/lib/anyturn/test.jpg" "$work/mine.jpg"
timeout 3 anyturn "$work/mine.jpg" 2>"$work/err"; rc=$?
check "a named picture is shown" test $rc -eq 124 -a ! -s "$work/err"
anyturn a.jpg b.jpg >/dev/null 2>&1
check "two pictures are bad usage" test $? -eq 2

anyturn-render "$prefix/lib/anyturn/test.jpg" --angle 30 --out "$work/30.png" 2>"$work/err"
check "the installed renderer turns a picture" test $? -eq 0 -a -s "$work/30.png"

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
