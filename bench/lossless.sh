#!/usr/bin/env bash
# What a lossless right angle costs, as whole commands against jpegtran -perfect: a
# 4032 x 3024 phone-sized JPEG (a real photo from Debian's lomiri-wallpapers-16.04, scaled
# and cropped) turned by 90 degrees, alone and as a batch of eight, and the peak memory of
# the single turn. With a second renderer (an earlier build), that one is timed in the same
# rounds.
#
#   bench/lossless.sh [ANYTURN_RENDER [BEFORE_RENDER]]
#
# Needs libjpeg-turbo-progs, imagemagick and GNU time.
set -euo pipefail
render=${1:-build/tools/anyturn-render}
before=${2:-}
# shellcheck source=bench/photo_bench.sh
source "$(dirname "$0")/photo_bench.sh" lossless "libjpeg-turbo-progs imagemagick time" jpegtran djpeg convert /usr/bin/time
convert "$photo" -resize 4032x3024^ -gravity center -extent 4032x3024 -sampling-factor 2x2 \
  -quality 92 "$work/12mp.jpg"
mkdir "$work/batch" "$work/out"
for i in 1 2 3 4 5 6 7 8; do cp "$work/12mp.jpg" "$work/batch/$i.jpg"; done

"$render" "$work/12mp.jpg" --angle 90 --out "$work/l.jpg" --verbose
jpegtran -rotate 90 -perfect -outfile "$work/j.jpg" "$work/12mp.jpg"
cmp -s <(djpeg -pnm "$work/l.jpg") <(djpeg -pnm "$work/j.jpg") &&
  echo "the lossless turn's pixels are jpegtran's" || echo "the lossless turn's pixels differ from jpegtran's"

# The machine is shared and its speed drifts: the commands of a comparison in turn, in
# rounds (the order changed every round), and the median of the rounds' ratios.
python3 - "$render" "$before" "$work" <<'PY'
import statistics, subprocess, sys, time
render, before, work = sys.argv[1:]
jpegtran = ["jpegtran", "-rotate", "90", "-perfect", "-outfile", f"{work}/j.jpg", f"{work}/12mp.jpg"]
def single(r):
    return [r, f"{work}/12mp.jpg", "--angle", "90", "--out", f"{work}/l.jpg"]
def batch(r):
    return [r, "--angle", "90", "--overwrite", "--out-dir", f"{work}/out"] + \
        [f"{work}/batch/{i}.jpg" for i in range(1, 9)]
jpegtran_batch = ["sh", "-c", f"for i in 1 2 3 4 5 6 7 8; do jpegtran -rotate 90 -perfect "
                  f"-outfile {work}/out/$i.jpg {work}/batch/$i.jpg; done"]
def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - start) * 1000
def compare(name, commands, rounds=15):
    times = {k: [] for k in commands}
    for r in range(rounds):
        order = list(commands) if r % 2 == 0 else list(reversed(commands))
        for k in order:
            times[k].append(timed(commands[k]))
    peer = list(commands)[-1]
    line = []
    for k in commands:
        ratios = [a / b for a, b in zip(times[k], times[peer])]
        line.append(f"{k} {statistics.median(times[k]):.0f} ms"
                    + ("" if k == peer else f" (ratio {statistics.median(ratios):.2f})"))
    print(f"{name}, {rounds} rounds in turn: " + ", ".join(line))
singles = {"anyturn": single(render)}
batches = {"anyturn": batch(render)}
if before:
    singles = {"before": single(before), **singles}
    batches = {"before": batch(before), **batches}
compare("one 4032 x 3024 JPEG turned by 90", {**singles, "jpegtran": jpegtran})
compare("eight of them", {**batches, "jpegtran": jpegtran_batch}, rounds=7)
PY

peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
echo "peak memory (kB), one turn: anyturn $(peak "$render" "$work/12mp.jpg" --angle 90 --out "$work/l.jpg")," \
  "jpegtran $(peak jpegtran -rotate 90 -perfect -outfile "$work/j.jpg" "$work/12mp.jpg")" \
  ${before:+", before $(peak "$before" "$work/12mp.jpg" --angle 90 --out "$work/l.jpg")"}
