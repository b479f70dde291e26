#!/usr/bin/env python3
"""Turns a benchmark run (Google Benchmark JSON) into the Markdown tables of bench/README.md.

    build/bench/anyturn_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
        --benchmark_out=run.json --benchmark_out_format=json
    scripts/bench-table.py run.json

Times are medians of the repetitions, in milliseconds of real time.
"""
import json
import sys

OURS = ["BM_hsTurn_Change", "BM_AnyAngleTurn", "BM_GdipTurn", "BM_PlgTurn"]
OTHERS = ["BM_Peer_QPainter", "BM_Peer_OpenCV", "BM_Floor_memcpy"]
# Measures outside the size-and-angle grid: a drag of the thumb, the draw kernel in cache,
# sharing an empty job over the cores.
EXTRA = ["BM_hsTurn_Drag", "BM_DrawInCache", "BM_ShareOut"]

GOALS = [
    # (label, ours, reference, limit) where reference is "peer" (the faster peer) or a name.
    ("GdipTurn/4000/3000/30 vs faster peer", "BM_GdipTurn/4000/3000/30", "peer", 0.6),
    ("PlgTurn/4000/3000/90 vs memcpy", "BM_PlgTurn/4000/3000/90", "BM_Floor_memcpy/4000/3000/90", 1.3),
    ("PlgTurn/4000/3000/180 vs memcpy", "BM_PlgTurn/4000/3000/180", "BM_Floor_memcpy/4000/3000/180", 0.8),
    ("hsTurn_Change/4000/3000/30 vs faster peer", "BM_hsTurn_Change/4000/3000/30", "peer", 1.5),
]


def medians(path):
    with open(path) as f:
        run = json.load(f)
    times = {}
    for b in run["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].replace("/real_time", "")
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        times[name] = b["real_time"] * scale
    return run.get("context", {}), times


def faster_peer(times, size_angle):
    peers = [times.get(f"{p}/{size_angle}") for p in ("BM_Peer_QPainter", "BM_Peer_OpenCV")]
    peers = [p for p in peers if p is not None]
    return min(peers) if peers else None


def main():
    context, times = medians(sys.argv[1])
    columns = OURS + OTHERS
    cases = sorted({n.split("/", 1)[1] for n in times if n.split("/", 1)[0] in columns},
                   key=lambda s: tuple(int(p) for p in s.split("/")))
    print("| W/H/A | " + " | ".join(c.removeprefix("BM_") for c in columns) + " |")
    print("| --- " * (len(columns) + 1) + "|")
    for case in cases:
        cells = [f"{times[f'{c}/{case}']:.1f}" if f"{c}/{case}" in times else "" for c in columns]
        print(f"| {case} | " + " | ".join(cells) + " |")
    extra = sorted(n for n in times if n.split("/", 1)[0] in EXTRA)
    if extra:
        print()
        print("| benchmark | ms |")
        print("| --- | --- |")
        for name in extra:
            ms = times[name]
            print(f"| {name.removeprefix('BM_')} | {ms:.3f} |" if ms < 1 else
                  f"| {name.removeprefix('BM_')} | {ms:.2f} |")
    print()
    print("| goal | ours (ms) | against (ms) | ratio | limit | met |")
    print("| --- | --- | --- | --- | --- | --- |")
    for label, ours, against, limit in GOALS:
        mine = times.get(ours)
        other = faster_peer(times, ours.split("/", 1)[1]) if against == "peer" else times.get(against)
        if mine is None or other is None:
            print(f"| {label} | | | | {limit} | not measured |")
            continue
        ratio = mine / other
        print(f"| {label} | {mine:.1f} | {other:.1f} | {ratio:.2f} | {limit} | {'yes' if ratio <= limit else 'no'} |")
    full_hd = times.get("BM_hsTurn_Change/1920/1080/30")
    if full_hd is not None:
        print(f"| hsTurn_Change/1920/1080/30 | {full_hd:.1f} | | | 8 ms | {'yes' if full_hd <= 8 else 'no'} |")
    if context:
        print()
        print(f"Machine: {context.get('num_cpus')} CPUs at {context.get('mhz_per_cpu')} MHz, "
              f"run {context.get('date')}.")


if __name__ == "__main__":
    main()
