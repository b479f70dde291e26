#!/usr/bin/env bash
# The level suggestion on pictures whose level is known (text pages, horizons, building
# fronts turned by known angles, and pictures with no dominant line), against
# ImageMagick's -deskew on the same pictures; prints a line per picture and the scores.
#
#   bench/level.sh BUILD_FOLDER [SET]
# BUILD_FOLDER holds tools/anyturn-render and tools/make_level_corpus (scripts/build.sh);
# SET picks other scenes and angles than the tests' (0).
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
"$build/tools/make_level_corpus" "$work" "${2:-0}"
while read -r name kind tilt; do
  ours=$("$build/tools/anyturn-render" "$work/$name" --level)
  theirs=$(convert "$work/$name" -deskew 40% -format '%[deskew:angle]' info: 2>/dev/null || echo nan)
  echo "$name $kind $tilt $ours $theirs"
done <"$work/corpus.txt" >"$work/results"
python3 - "$work/results" <<'PY'
import json, math, sys

def level_of(tilt):
    return round(tilt) % 360

def near(a, b):
    d = abs(a - b) % 360
    return min(d, 360 - d) <= 1

rows = []
for line in open(sys.argv[1]):
    name, kind, tilt, rest = line.split(" ", 3)
    ours_text, theirs = rest.rsplit(" ", 1)
    ours = json.loads(ours_text)
    rows.append((name, kind, None if tilt == "none" else float(tilt), ours, float(theirs)))

print(f"{'picture':<18} {'true':>6} {'ours':>6} {'level':>5} {'conf':>5} {'-deskew':>8}")
for name, kind, tilt, ours, theirs in rows:
    level = "null" if ours["level"] is None else str(ours["level"])
    true = "none" if tilt is None else f"{tilt:.1f}"
    print(f"{name:<18} {true:>6} {ours['tilt']:>6.2f} {level:>5} {ours['confidence']:>5.2f} {theirs:>8.2f}")

tilted = [r for r in rows if r[2] is not None]
plain = [r for r in rows if r[2] is None]
def score(ok):
    return f"{sum(ok)}/{len(ok)} ({100 * sum(ok) / len(ok):.0f} %)"
ours_level = [r[3]["level"] is not None and near(r[3]["level"], level_of(r[2])) for r in tilted]
ours_tilt = [abs(r[3]["tilt"] - r[2]) <= 0.5 for r in tilted]
ours_none = [r[3]["level"] is None for r in plain]
# -deskew reports the turn that levels, clockwise, as the suggestion does.
im_level = [not math.isnan(r[4]) and near(level_of(r[4]), level_of(r[2])) for r in tilted]
im_tilt = [not math.isnan(r[4]) and abs(r[4] - r[2]) <= 0.5 for r in tilted]
im_none = [math.isnan(r[4]) or abs(r[4]) < 0.05 for r in plain]
print()
print("| measure | anyturn | ImageMagick -deskew 40% |")
print("| --- | --- | --- |")
print(f"| level within 1 of round(true tilt) mod 360 | {score(ours_level)} | {score(im_level)} |")
print(f"| tilt within 0.5 degrees | {score(ours_tilt)} | {score(im_tilt)} |")
print(f"| no dominant line: no suggestion | {score(ours_none)} | {score(im_none)} (angle 0) |")
PY
