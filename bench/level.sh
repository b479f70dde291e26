#!/usr/bin/env bash
# The level suggestion on pictures whose level is known, against ImageMagick's -deskew on
# the same pictures; prints a line per picture and the scores, for both corpora:
#   drawn:  text pages, horizons, building fronts turned by known angles, and pictures
#           with no dominant line (tools/level_corpus)
#   photos: real photographs from Debian's packages, tilted by known angles, cut inside
#           and saved as JPEG (tools/photo_corpus)
#
#   bench/level.sh BUILD_FOLDER [SET]
# BUILD_FOLDER holds tools/anyturn-render, tools/make_level_corpus and
# tools/make_photo_corpus (scripts/build.sh); SET picks other drawn scenes and angles (0).
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
mkdir -p "$work/drawn" "$work/photos"
"$build/tools/make_level_corpus" "$work/drawn" "${2:-0}"
"$build/tools/make_photo_corpus" "$work/photos"
# The drawn corpus's list has no SURE column: its tilts are exact.
sed -i 's/$/ sure/' "$work/drawn/corpus.txt"
for corpus in drawn photos; do
  while read -r name kind tilt sure; do
    ours=$("$build/tools/anyturn-render" "$work/$corpus/$name" --level)
    theirs=$(convert "$work/$corpus/$name" -deskew 40% -format '%[deskew:angle]' info: 2>/dev/null || echo nan)
    echo "$name $kind $tilt $sure $theirs $ours"
  done <"$work/$corpus/corpus.txt" >"$work/$corpus.results"
done
python3 - "$work/drawn.results" "$work/photos.results" <<'PY'
import json, math, sys

def level_of(tilt):
    return round(tilt) % 360

def near(a, b):
    d = abs(a - b) % 360
    return min(d, 360 - d) <= 1

def score(ok):
    return f"{sum(ok)}/{len(ok)} ({100 * sum(ok) / len(ok):.0f} %)" if ok else "-"

for path, title in zip(sys.argv[1:], ("drawn corpus", "real photographs")):
    rows = []
    for line in open(path):
        name, kind, tilt, sure, theirs, ours = line.split(" ", 5)
        rows.append((name, kind, None if tilt == "none" else float(tilt), sure == "sure",
                     json.loads(ours), float(theirs)))
    print(f"== {title}")
    print(f"{'picture':<20} {'kind':<9} {'true':>6} {'ours':>6} {'level':>5} {'conf':>5} {'-deskew':>8}")
    for name, kind, tilt, sure, ours, theirs in rows:
        level = "null" if ours["level"] is None else str(ours["level"])
        true = "none" if tilt is None else f"{tilt:.2f}" + ("" if sure else "~")
        print(f"{name:<20} {kind:<9} {true:>6} {ours['tilt']:>6.2f} {level:>5} {ours['confidence']:>5.2f} {theirs:>8.2f}")
    said = lambda r: r[4]["level"] is not None
    tilted = [r for r in rows if r[2] is not None]
    plain = [r for r in rows if r[2] is None and r[1] != "diagonal"]
    diagonal = [r for r in rows if r[1] == "diagonal"]
    im_said = lambda r: not math.isnan(r[5]) and abs(r[5]) >= 0.05
    def block(sel, label):
        if not sel:
            return
        print(f"| {label}: tilt within 0.25 degrees | {score([said(r) and abs(r[4]['tilt'] - r[2]) <= 0.25 for r in sel])} "
              f"| {score([not math.isnan(r[5]) and abs(r[5] - r[2]) <= 0.25 for r in sel])} |")
        print(f"| {label}: tilt within 0.5 degrees | {score([said(r) and abs(r[4]['tilt'] - r[2]) <= 0.5 for r in sel])} "
              f"| {score([not math.isnan(r[5]) and abs(r[5] - r[2]) <= 0.5 for r in sel])} |")
        print(f"| {label}: no suggestion | {score([not said(r) for r in sel])} | - |")
    print()
    print("| measure | anyturn | ImageMagick -deskew 40% |")
    print("| --- | --- | --- |")
    block([r for r in tilted if r[3]], "level known to a tenth" if title != "drawn corpus" else "tilted")
    block([r for r in tilted if not r[3]], "level known to about half a degree")
    print(f"| level within 1 of round(true tilt) mod 360 | {score([said(r) and near(r[4]['level'], level_of(r[2])) for r in tilted])} "
          f"| {score([not math.isnan(r[5]) and near(level_of(r[5]), level_of(r[2])) for r in tilted])} |")
    off = [r for r in tilted if said(r) and abs(r[4]["tilt"] - r[2]) > 1] + [r for r in plain + diagonal if said(r)]
    im_off = [r for r in tilted if not math.isnan(r[5]) and abs(r[5] - r[2]) > 1]
    print(f"| suggestions more than 1 degree off (or on a picture without a level) | {len(off)} of {len(rows)} | {len(im_off)} of {len(tilted)} tilted |")
    print(f"| no dominant line: no suggestion | {score([not said(r) for r in plain])} | {score([not im_said(r) for r in plain])} (angle 0) |")
    if diagonal:
        print(f"| diagonal lines: no suggestion | {score([not said(r) for r in diagonal])} | {score([not im_said(r) for r in diagonal])} (angle 0) |")
    print()
PY
