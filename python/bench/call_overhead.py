#!/usr/bin/python3
"""Microseconds one velmo.solve call takes from Python, on the sets capi_call_bench times
Solve on ("solved": the corpus's solutions given whole; "17-clue": the first 10,000), so
that the two give the module's own cost. Best of five passes over each set, in CPU time
as capi_call_bench's CPU column (the machine may be shared).

    PYTHONPATH=build/default/python python/bench/call_overhead.py
"""
import pathlib
import sys
import time

import velmo

ROOT = pathlib.Path(__file__).resolve().parents[2]


def grids(path, limit, solutions):
    puzzles = velmo.read_puzzles(path.read_bytes())
    if solutions:
        texts = [c.decode().strip().rsplit(":", 1)[1] for c in puzzles.comments if c.count(b":") == 2]
        texts = [t for t in texts if t]
    else:
        texts = ["".join(map(str, g)) for g in puzzles.grids]
    return texts[:limit]


def best_per_call(call, texts):
    best = float("inf")
    for _ in range(5):
        start = time.process_time()
        for text in texts:
            call(text)
        best = min(best, (time.process_time() - start) / len(texts))
    return best * 1e6


sets = {"solved": grids(ROOT / "tests/data/unique.txt", 10**9, True),
        "17-clue": grids(ROOT.parent / "shared/puzzles/17-clue.txt", 10000, False)}
if len(sys.argv) > 1:
    sets["17-clue"] = grids(pathlib.Path(sys.argv[1]), 10000, False)
for name, texts in sets.items():
    print(f"{name:8} {len(texts):6} grids  velmo.solve {best_per_call(velmo.solve, texts):6.3f} us"
          f"  velmo.count {best_per_call(velmo.count, texts):6.3f} us")
