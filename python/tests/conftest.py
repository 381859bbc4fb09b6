# Where the tests find the test corpus and the velmo-solve to compare with.
import os
import pathlib
import shutil

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
CORPUS = sorted((ROOT / "tests" / "data").glob("*.txt"))


@pytest.fixture(scope="session")
def velmo_solve():
    path = os.environ.get("VELMO_SOLVE") or shutil.which("velmo-solve")
    if not path:
        pytest.skip("no velmo-solve: set VELMO_SOLVE")
    return path
