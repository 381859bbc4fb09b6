# The module's single and batch calls against the test corpus, whose lines carry each
# grid's count and velmo's solution ("puzzle:count:solution"), and its reader and writer
# against velmo-solve.
import re
import signal
import subprocess
import sys
import time

import numpy as np
import pytest
import velmo
from conftest import CORPUS

PUZZLE = "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......"


def corpus():
    """(puzzle, count, solution or None, file name) for every grid of the corpus."""
    entries = []
    for path in CORPUS:
        puzzles = velmo.read_puzzles(path.read_bytes())
        for grid, comment in zip(puzzles.grids, puzzles.comments):
            _, count, solution = comment.decode().strip().split(":")
            entries.append(("".join(map(str, grid)), int(count), solution or None, path.name))
    return entries


def test_single_calls_answer_as_the_corpus_says():
    for puzzle, count, solution, name in corpus():
        assert velmo.solve(puzzle) == solution, puzzle
        assert velmo.count(puzzle) == count, puzzle
        if count > 0 or name in ("none.txt", "conflicting.txt"):
            assert velmo.is_consistent(puzzle) == (name != "conflicting.txt"), puzzle


@pytest.mark.parametrize("puzzle, reason", [
    (PUZZLE[:80], "expected 81 cells, found 80 characters"),
    (PUZZLE + ".", "expected 81 cells, found 82 characters"),
    (PUZZLE[:40] + "x" + PUZZLE[41:], "unexpected 'x' at cell 41"),
    (PUZZLE[:80] + "１", "unexpected '１' (U+FF11) at cell 81"),
])
def test_a_single_call_names_what_is_wrong(puzzle, reason):
    for call in (velmo.solve, velmo.count, velmo.is_consistent):
        with pytest.raises(velmo.InvalidPuzzle, match=re.escape(reason)):
            call(puzzle)
    assert issubclass(velmo.InvalidPuzzle, ValueError)


def test_batch_calls_answer_each_puzzle_in_its_place():
    entries = corpus()
    puzzles = [entry[0] for entry in entries]
    bad = [PUZZLE[:80], PUZZLE[:5] + "x" + PUZZLE[6:], None]
    mixed = puzzles[:100] + bad + puzzles[100:]
    solutions, status = velmo.solve_many(mixed)
    counts = velmo.count_many(mixed, threads=3)
    consistent = velmo.is_consistent_many(mixed)
    assert solutions.shape == (len(mixed), 81) and solutions.dtype == np.uint8
    assert list(status[100:103]) == [-1] * 3 and list(counts[100:103]) == [-1] * 3
    assert list(consistent[100:103]) == [-1] * 3
    del mixed[100:103]
    status = np.delete(status, range(100, 103))
    solutions = np.delete(solutions, range(100, 103), axis=0)
    counts = np.delete(counts, range(100, 103))
    for i, (puzzle, count, solution, _) in enumerate(entries):
        assert status[i] == (solution is not None), puzzle
        if solution:
            assert "".join(map(str, solutions[i])) == solution, puzzle
        assert counts[i] == count, puzzle

    grids = np.array([[0 if c == "." else int(c) for c in p] for p in puzzles], np.uint8)
    grids[7, 3] = 10
    array_solutions, array_status = velmo.solve_many(grids, threads=1)
    assert array_status[7] == -1 and velmo.count_many(grids)[7] == -1
    array_status[7] = status[7]
    array_solutions[7] = solutions[7]
    assert (array_status == status).all() and (array_solutions == solutions).all()


def test_batch_calls_turn_away_what_is_not_a_batch():
    with pytest.raises(TypeError):
        velmo.solve_many(PUZZLE)
    with pytest.raises(TypeError):
        velmo.count_many(np.zeros((2, 81), np.int64))
    with pytest.raises(ValueError):
        velmo.solve_many(np.zeros((2, 80), np.uint8))


def test_reader_and_writer_give_what_velmo_solve_writes(velmo_solve, tmp_path):
    pencil_marks = b"123456789" * 81 + b"\n"
    data = b"".join(path.read_bytes() for path in CORPUS) + b"12\n" + pencil_marks + PUZZLE.encode() + b" # last"
    for options, answer in (([], lambda p: velmo.write_answers(p, *velmo.solve_many(p.grids))),
                            (["--count"], lambda p: velmo.write_counts(p, velmo.count_many(p.grids)))):
        expected = subprocess.run([velmo_solve, *options], input=data, capture_output=True).stdout
        assert answer(velmo.read_puzzles(data)) == expected


def test_rating_and_steps_are_velmo_solves(velmo_solve):
    entries = corpus()
    rated = [e[0] for e in entries if e[1] == 1][:8]
    unrated = {next(e[0] for e in entries if e[1] == 0): velmo.NoSolution,
               next(e[0] for e in entries if e[1] == 2): velmo.SeveralSolutions}
    puzzles = rated + list(unrated)
    data = "".join(p + "\n" for p in puzzles).encode()
    lines = subprocess.run([velmo_solve, "--rate"], input=data, capture_output=True,
                           check=True).stdout.decode().splitlines()
    steps = subprocess.run([velmo_solve, "--steps"], input=data, capture_output=True,
                           check=True).stdout.decode().split("\n\n")
    ratings = velmo.rate_many(puzzles + [PUZZLE[:80]], threads=2)
    for i, puzzle in enumerate(rated):
        rating, technique = velmo.rate(puzzle)
        assert f"{rating:.1f}\t{technique}" == lines[i], puzzle
        assert ratings[i] == rating, puzzle
        assert velmo.steps(puzzle) == steps[i].splitlines()[1:], puzzle
    for puzzle, error in unrated.items():
        for call in (velmo.rate, velmo.steps):
            with pytest.raises(error):
                call(puzzle)
    assert issubclass(velmo.NoSolution, velmo.NotRated)
    assert np.isnan(ratings[len(rated):-1]).all() and ratings[-1] == -1
    with pytest.raises(velmo.InvalidPuzzle):
        velmo.rate(PUZZLE[:80])


def pencil_marks(puzzle):
    """The 729 pencil marks of a puzzle's givens: a given alone, every digit elsewhere."""
    return "".join("".join(d if c in ".0" or c == d else "." for d in "123456789")
                   for c in puzzle)


def test_rating_reads_pencil_marks_as_velmo_solve_does(velmo_solve):
    unique = [e for e in corpus() if e[1] == 1][:6]
    marks = [pencil_marks(e[0]) for e in unique]
    # A candidate that is not the solution's struck from an empty cell: the pencil marks are
    # read as they stand, not as the givens would have them.
    puzzle, _, solution, _ = unique[0]
    cell = puzzle.index("0")
    digit = next(d for d in "123456789" if d != solution[cell])
    place = cell * 9 + int(digit) - 1
    marks.append(marks[0][:place] + "." + marks[0][place + 1:])
    data = "".join(m + "\n" for m in marks).encode()
    lines = subprocess.run([velmo_solve, "--rate"], input=data, capture_output=True,
                           check=True).stdout.decode().splitlines()
    steps = subprocess.run([velmo_solve, "--steps"], input=data, capture_output=True,
                           check=True).stdout.decode().split("\n\n")
    ratings = velmo.rate_many(marks + [marks[0][:-1], marks[0][:-1] + "x"], threads=2)
    for i, puzzle in enumerate(marks):
        rating, technique = velmo.rate(puzzle)
        assert f"{rating:.1f}\t{technique}" == lines[i], puzzle
        assert ratings[i] == rating, puzzle
        assert velmo.steps(puzzle) == steps[i].splitlines()[1:], puzzle
    assert list(ratings[-2:]) == [-1, -1]
    # The batch calls that solve and count answer pencil marks as invalid, as velmo-solve.
    assert velmo.count_many(marks[:1])[0] == -1 and velmo.solve_many(marks[:1])[1][0] == -1


@pytest.mark.parametrize("marks, reason", [
    ("2" + pencil_marks(PUZZLE)[1:], "pencil marks: cell 1 has '2' in place 1"),
    (pencil_marks(PUZZLE)[:100] + "x" + pencil_marks(PUZZLE)[101:],
     "unexpected 'x' at pencil mark 101"),
], ids=["misplaced mark", "not a mark"])
def test_rating_names_what_is_wrong_with_pencil_marks(marks, reason):
    for call in (velmo.rate, velmo.steps):
        with pytest.raises(velmo.InvalidPuzzle, match=re.escape(reason)):
            call(marks)


def test_a_full_grid_is_solved_not_rated(velmo_solve):
    solution = next(e[2] for e in corpus() if e[1] == 1)
    for puzzle in (solution, pencil_marks(solution)):
        for call in (velmo.rate, velmo.steps):
            with pytest.raises(velmo.Solved):
                call(puzzle)
        assert np.isnan(velmo.rate_many([puzzle])[0])
        answer = subprocess.run([velmo_solve, "--rate"], input=(puzzle + "\n").encode(),
                                capture_output=True, check=True).stdout
        assert answer == b"solved\n"
    assert issubclass(velmo.Solved, velmo.NotRated)


def test_batch_calls_refuse_a_negative_thread_count():
    for call in (velmo.solve_many, velmo.count_many, velmo.rate_many):
        with pytest.raises(ValueError, match="threads"):
            call([PUZZLE], threads=-1)
        assert len(call([PUZZLE], threads=0)) > 0


def test_hint_walks_the_path_of_steps_as_velmo_solve_writes_it(velmo_solve):
    """Placing each hinted step's digits and striking out its eliminations, the hints are the
    steps velmo-solve --steps writes, and the grid ends solved."""
    steps = velmo.steps(PUZZLE)
    entries = list(PUZZLE.replace(".", "0"))
    struck = []
    for expected in steps:
        hint = velmo.hint(PUZZLE, "".join(entries), struck)
        assert hint["outcome"] == "step"
        assert hint["notation"] == expected
        assert hint["technique"] == expected.split(":")[0]
        for cell, digit in hint["placements"]:
            entries[cell] = str(digit)
        struck += hint["eliminations"]
    assert velmo.hint(PUZZLE, "".join(entries), struck) == {"outcome": "solved"}


def test_a_chain_hint_gives_its_links():
    """A turbot fish: the only two places of 3 in row 5, one of them seeing the 3 of r4c7 in
    their box, which is one of the only two in column 7; r2c2 sees both far ends. Each link
    from one end to the other, strong within the row and the column, weak between them."""
    puzzle = "2...6.9.8..74.....8.1.2354...2....8.6.8.5.1.4.7....6...8631.4.9.....98..1.9.4...3"
    entries = list(puzzle)
    struck = []
    hint = velmo.hint(puzzle)
    while not hint["notation"].startswith("Turbot Fish"):
        assert hint["links"] == []
        for cell, digit in hint["placements"]:
            entries[cell] = str(digit)
        struck += hint["eliminations"]
        hint = velmo.hint(puzzle, "".join(entries), struck)
    assert hint["notation"].startswith("Turbot Fish: r2c2<>3")
    assert hint["links"] == [
        {"from": [(37, 3)], "to": [(43, 3)], "strong": True},
        {"from": [(43, 3)], "to": [(33, 3)], "strong": False},
        {"from": [(33, 3)], "to": [(15, 3)], "strong": True},
    ]
    assert velmo.hint(PUZZLE)["links"] == []


def test_hint_names_what_is_wrong_in_a_persons_work():
    solution = velmo.solve(PUZZLE)
    cell = PUZZLE.index(".")
    wrong = str(int(solution[cell]) % 9 + 1)
    entries = "." * cell + wrong + "." * (80 - cell)
    assert velmo.hint(PUZZLE, entries) == {"outcome": "wrong entries", "wrong_cells": [cell]}
    struck = [(cell, int(solution[cell]))]
    assert velmo.hint(PUZZLE, struck=struck) == {
        "outcome": "wrong strike-outs",
        "wrong_candidates": struck,
    }
    assert velmo.hint("." * 81)["outcome"] == "several solutions"
    assert velmo.hint("11" + "." * 79)["outcome"] == "no solution"
    with pytest.raises(ValueError, match="struck-out candidate"):
        velmo.hint(PUZZLE, struck=[(81, 1)])
    with pytest.raises(velmo.InvalidPuzzle):
        velmo.hint(PUZZLE, entries="12x")


def test_generate_makes_puzzles_that_the_other_calls_agree_with():
    made = velmo.generate(6, min_rating=2.6, max_rating=4.5, symmetry="rotate180", seed=3,
                          threads=1)
    assert len(made) == 6
    assert made == velmo.generate(6, min_rating=2.6, max_rating=4.5, symmetry="rotate180",
                                  seed=3, threads=2)
    for puzzle, rating, technique in made:
        assert velmo.count(puzzle) == 1
        assert velmo.rate(puzzle) == (rating, technique)
        assert 2.6 <= rating <= 4.5
        assert all((puzzle[c] == ".") == (puzzle[80 - c] == ".") for c in range(81))
    assert len(velmo.generate(100, min_rating=11.5, time_limit=0.2)) < 100
    for bad in [dict(min_rating=13), dict(min_rating=5, max_rating=4), dict(technique="nope"),
                dict(symmetry="spiral"), dict(givens=(40, 30)), dict(count=0)]:
        with pytest.raises(ValueError):
            velmo.generate(**{"count": 1, **bad})


def test_ctrl_c_ends_a_generate_run():
    # A band few puzzles reach: only the interrupt can end this run in time. The child takes
    # Ctrl+C as an interactive Python does whatever it inherits: run as a background job, the
    # tests get SIGINT ignored, and Python then leaves it ignored.
    child = subprocess.Popen(
        [sys.executable, "-c",
         "import signal, velmo; signal.signal(signal.SIGINT, signal.default_int_handler); "
         "print('ready', flush=True); velmo.generate(1000, min_rating=11.5)"],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    assert child.stdout.readline() == "ready\n"
    time.sleep(0.5)
    child.send_signal(signal.SIGINT)
    _, err = child.communicate(timeout=60)
    assert "KeyboardInterrupt" in err
