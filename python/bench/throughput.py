#!/usr/bin/python3
"""Puzzles a second on one file: the batch call, and read + batch call + write, against one
velmo-solve run with as many threads (best of three each).

    PYTHONPATH=build/default/python python/bench/throughput.py \\
        build/default/cli/velmo-solve ../shared/puzzles/17-clue.txt 2
"""
import subprocess
import sys
import time

import velmo

solve, path, threads = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(path, "rb").read()
puzzles = velmo.read_puzzles(data)
grids = puzzles.grids
n = len(puzzles)


def best(run):
    times = []
    for _ in range(3):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return n / min(times)


def pipeline():
    p = velmo.read_puzzles(data)
    velmo.write_answers(p, *velmo.solve_many(p.grids, threads=threads))


def velmo_solve():
    subprocess.run([solve, "-j", str(threads), path], stdout=subprocess.DEVNULL, check=True)


print(f"{n} puzzles, {threads} threads, puzzles a second:")
print(f"  velmo-solve -j {threads}            {best(velmo_solve):10.0f}")
print(f"  solve_many(grids)               {best(lambda: velmo.solve_many(grids, threads=threads)):10.0f}")
print(f"  read_puzzles + solve_many + write_answers {best(pipeline):10.0f}")
