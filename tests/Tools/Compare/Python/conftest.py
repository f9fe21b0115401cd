import os
import pathlib

import numpy as np
import pytest

from lasfiles import survey, write_las


@pytest.fixture(scope="session")
def data():
    """The project's sample files."""
    return pathlib.Path(os.environ["ORVID_TEST_DATA"])


@pytest.fixture
def planted(tmp_path):
    """A reference of 2000 points and a test, shuffled, in which changes were planted: what was
    planted, by class, as the GPS times (and return numbers) of the points."""
    reference = survey(2000)
    test = reference.copy()
    moved, recoloured, dropped = [10, 11, 500], [20, 21, 22, 23], [30, 31]
    test["x"][moved] += 1.0
    test["intensity"][recoloured] += 1
    extra = survey(2, start_time=5000.0)
    test = np.concatenate([np.delete(test, dropped), extra])
    test = test[np.random.default_rng(7).permutation(len(test))]
    write_las(tmp_path / "reference.las", reference)
    write_las(tmp_path / "test.las", test)
    return {
        "reference": tmp_path / "reference.las",
        "test": tmp_path / "test.las",
        "removed": reference[dropped],
        "added": extra,
        "modified": reference[moved],
        "mutated": reference[recoloured],
    }
