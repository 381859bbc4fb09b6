# velmo on a Dask cluster of worker processes: a bag of puzzle files, each read, solved by
# the batch call and written by the module, gives byte for byte one velmo-solve run's output.
import subprocess
import sys

import cloudpickle
import dask.bag
import velmo
from conftest import CORPUS
from distributed import Client, LocalCluster

# The workers cannot import this file; they get its functions by value.
cloudpickle.register_pickle_by_value(sys.modules[__name__])


def solve_file(path):
    with open(path, "rb") as file:
        puzzles = velmo.read_puzzles(file.read())
    return velmo.write_answers(puzzles, *velmo.solve_many(puzzles.grids, threads=1))


def test_a_bag_of_files_answers_as_one_velmo_solve_run(velmo_solve, tmp_path):
    odd = tmp_path / "odd.txt"
    odd.write_bytes(b"12\n" + b"." * 81 + b" # empty\r\n" + b"1" * 81 + b"\n")
    files = [str(path) for path in CORPUS] + [str(odd)]
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster):
        answers = dask.bag.from_sequence(files, npartitions=len(files)).map(solve_file).compute()
    expected = subprocess.run([velmo_solve, *files], capture_output=True).stdout
    assert b"".join(answers) == expected
