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
# The drawn corpus's list has no SURE, SPREAD or SET columns: its tilts are exact.
sed -i 's/$/ sure 0 tuned/' "$work/drawn/corpus.txt"
for corpus in drawn photos; do
  while read -r name kind tilt sure spread set; do
    ours=$("$build/tools/anyturn-render" "$work/$corpus/$name" --level)
    theirs=$(convert "$work/$corpus/$name" -deskew 40% -format '%[deskew:angle]' info: 2>/dev/null || echo nan)
    echo "$name $kind $tilt $sure $spread $set $theirs $ours"
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

# A photo whose own level is known only to half a degree or worse is scored for silence
# only; a suggestion is more than a degree off when it is so beyond the photo's own spread.
UNKNOWN = 0.5

for path, title in zip(sys.argv[1:], ("drawn corpus", "real photographs")):
    rows = []
    for line in open(path):
        name, kind, tilt, sure, spread, group, theirs, ours = line.split(" ", 7)
        rows.append(dict(name=name, kind=kind, tilt=None if tilt == "none" else float(tilt),
                         sure=sure == "sure", spread=float(spread), held=group == "held",
                         ours=json.loads(ours), theirs=float(theirs)))
    print(f"== {title}")
    print(f"{'picture':<20} {'kind':<9} {'true':>6} {'spread':>6} {'ours':>6} {'level':>5} {'conf':>5} {'-deskew':>8}")
    for r in rows:
        level = "null" if r["ours"]["level"] is None else str(r["ours"]["level"])
        true = "none" if r["tilt"] is None else f"{r['tilt']:.2f}"
        print(f"{r['name']:<20} {r['kind']:<9} {true:>6} {r['spread']:>6.2f} {r['ours']['tilt']:>6.2f} {level:>5} "
              f"{r['ours']['confidence']:>5.2f} {r['theirs']:>8.2f}" + ("  held out" if r["held"] else ""))
    said = lambda r: r["ours"]["level"] is not None
    im_ok = lambda r, d: not math.isnan(r["theirs"]) and abs(r["theirs"] - r["tilt"]) <= d
    im_said = lambda r: not math.isnan(r["theirs"]) and abs(r["theirs"]) >= 0.05
    for held in (False, True):
        sel = [r for r in rows if r["held"] == held]
        if not sel:
            continue
        tilted = [r for r in sel if r["tilt"] is not None]
        known = [r for r in tilted if r["spread"] < UNKNOWN]
        sure = [r for r in known if r["sure"]]
        rough = [r for r in known if not r["sure"]]
        unknown = [r for r in tilted if r["spread"] >= UNKNOWN]
        plain = [r for r in sel if r["tilt"] is None and r["kind"] != "diagonal"]
        diagonal = [r for r in sel if r["kind"] == "diagonal"]
        print()
        print(f"{'held out' if held else 'tuned on'}:")
        print("| measure | anyturn | ImageMagick -deskew 40% |")
        print("| --- | --- | --- |")
        for label, part in (("level known to a tenth" if title != "drawn corpus" else "tilted", sure),
                            ("level known roughly", rough)):
            if not part:
                continue
            for d in (0.25, 0.5):
                print(f"| {label}: tilt within {d} degrees | "
                      f"{score([said(r) and abs(r['ours']['tilt'] - r['tilt']) <= d for r in part])} | "
                      f"{score([im_ok(r, d) for r in part])} |")
            print(f"| {label}: no suggestion | {score([not said(r) for r in part])} | - |")
        if unknown:
            print(f"| level unknown (spread {UNKNOWN} or more): no suggestion | {score([not said(r) for r in unknown])} | - |")
        print(f"| level within 1 of round(true tilt) mod 360 | "
              f"{score([said(r) and near(r['ours']['level'], level_of(r['tilt'])) for r in known])} | "
              f"{score([not math.isnan(r['theirs']) and near(level_of(r['theirs']), level_of(r['tilt'])) for r in known])} |")
        off = [r for r in known if said(r) and abs(r["ours"]["tilt"] - r["tilt"]) > 1 + 2 * r["spread"]]
        off += [r for r in diagonal if said(r)]
        im_off = [r for r in known if not math.isnan(r["theirs"]) and abs(r["theirs"] - r["tilt"]) > 1 + 2 * r["spread"]]
        print(f"| suggestions more than 1 degree off (level known), or on diagonal lines | {len(off)} of {len(known) + len(diagonal)}"
              f" ({', '.join(r['name'] for r in off) or 'none'}) | {len(im_off)} of {len(known)} |")
        if plain:
            print(f"| no dominant line: no suggestion | {score([not said(r) for r in plain])} | {score([not im_said(r) for r in plain])} (angle 0) |")
        if diagonal:
            print(f"| diagonal lines: no suggestion | {score([not said(r) for r in diagonal])} | {score([not im_said(r) for r in diagonal])} (angle 0) |")
    print()
PY
