import json
import os
import shutil
import signal
import subprocess
import threading

import numpy as np
import pytest

import orvid
from lasfiles import survey, write_las


def keys(points):
    return sorted(zip(points["gps_time"].tolist(), points["return_number"].tolist()))


def test_planted_changes_come_back_as_points_of_their_class(planted):
    comparison = orvid.compare(planted["reference"], planted["test"])

    assert comparison.counts == {"removed": 2, "added": 2, "modified": 3, "mutated": 4, "altered": 0}
    assert comparison.different and comparison.exit_status == 1
    for name in ("removed", "added", "modified", "mutated"):
        assert keys(comparison.points(name)) == keys(planted[name]), name

    modified = comparison.points("modified")
    assert np.allclose(modified["dx"], 1.0) and np.allclose(modified[["dy", "dz"]].tolist(), 0.0)
    assert np.allclose(modified["reference_x"], modified["x"] - 1.0)
    mutated = comparison.points("mutated")
    expected = {key: intensity + 1 for key, intensity in
                zip(zip(planted["mutated"]["gps_time"].tolist(), planted["mutated"]["return_number"].tolist()),
                    planted["mutated"]["intensity"].tolist())}
    assert {(row["gps_time"], row["return_number"]): row["intensity"] for row in mutated} == expected
    assert set(comparison.points("removed").dtype.names) == {
        "x", "y", "z", "gps_time", "leg", "intensity", "point_source_id", "return_number", "classification"}
    assert comparison.points("altered").size == 0


def test_a_test_out_of_order_only_at_its_end_gives_the_points_of_one_in_order(tmp_path):
    # Compared as it is read up to its last points, then the rest after a scan; or all again when the
    # point out of order has a key among those decided.
    reference = survey(10000)
    test = reference.copy()
    test["x"][[10, 4000]] += 1.0
    write_las(tmp_path / "reference.las", reference)
    write_las(tmp_path / "in-order.las", test)
    late = test.copy()
    late[[-2, -1]] = late[[-1, -2]]
    write_las(tmp_path / "late-disorder.las", late)
    write_las(tmp_path / "lowest-last.las", np.concatenate([test[1:], test[:1]]))

    in_order = orvid.compare(tmp_path / "reference.las", tmp_path / "in-order.las")
    for name in ("late-disorder.las", "lowest-last.las"):
        disordered = orvid.compare(tmp_path / "reference.las", tmp_path / name)
        assert disordered.report["inputs"]["test"]["inKeyOrder"] is False
        assert disordered.counts == in_order.counts == {"removed": 0, "added": 0, "modified": 2, "mutated": 0,
                                                        "altered": 0}
        assert keys(disordered.points("modified")) == keys(in_order.points("modified"))


def test_report_and_summary_are_the_command_s(planted, tmp_path):
    comparison = orvid.compare(planted["reference"], planted["test"], epsilon=0.5, threads=1)
    json_file = tmp_path / "report.json"
    run = subprocess.run([os.environ["ORVID_COMPARE"], str(planted["reference"]), str(planted["test"]),
                          "--epsilon", "0.5", "--threads", "1", "--json", str(json_file)],
                         capture_output=True, text=True, check=False)

    assert run.returncode == comparison.exit_status == 1
    assert comparison.report == json.loads(json_file.read_text())
    assert comparison.summary in run.stdout


def test_assert_same_fails_with_the_summary_on_what_fail_on_names(planted, tmp_path):
    copy = tmp_path / "copy.las"
    shutil.copy(planted["reference"], copy)
    assert orvid.assert_same(planted["reference"], copy).counts["removed"] == 0

    with pytest.raises(AssertionError) as failure:
        orvid.assert_same(planted["reference"], planted["test"])
    assert "Result: different (exit status 1)" in str(failure.value)
    assert str(planted["test"]) in str(failure.value)
    orvid.assert_same(planted["reference"], planted["test"], fail_on=["altered", "crs"])
    # Options reach the comparison: a wide epsilon keeps the moved points in place.
    assert orvid.compare(planted["reference"], planted["test"], epsilon=2.0).counts["modified"] == 0


def test_real_files_in_both_formats_are_the_same_points(data):
    for name in ("simple", "1.2-with-color.copc"):
        comparison = orvid.assert_same(data / "laz" / f"{name}.laz", data / "laz" / f"{name}.las")
        assert comparison.report["inputs"]["reference"]["points"] == comparison.report["inputs"]["test"]["points"] > 1000


def test_bad_input_raises_the_command_s_message(planted, tmp_path):
    reference, test = planted["reference"], planted["test"]
    with pytest.raises(OSError, match="missing.las"):
        orvid.compare(tmp_path / "missing.las", test)
    (tmp_path / "notes.las").write_text("not a point cloud")
    with pytest.raises(OSError, match="notes.las"):
        orvid.compare(reference, tmp_path / "notes.las")
    with pytest.raises(ValueError, match="NUL"):
        orvid.compare(f"{reference}\0notes.las", test)
    refusals = [({"epsilon": -1}, "--epsilon: must be 'auto' or a number"),
                ({"memory": "1K"}, "--memory: must be at least 16M"),
                ({"threads": 0}, "--threads: must be a whole number from 1 to 1024, not '0'"),
                ({"rgb_epsilon": 65536}, "--rgb-epsilon: must be a whole number from 0 to 65535"),
                ({"ignore": "gpsTime"}, "--ignore: gpsTime pairs the points"),
                ({"tolerances": {"wobble": 1}}, "'wobble' is neither a point attribute"),
                ({"fail_on": "everything"}, "'everything' is not one of"),
                ({"fail_on": "removed,,added"}, "--fail-on: the list 'removed,,added' has an empty class"),
                ({"fail_on": []}, "fail_on names no class: give 'none' to fail on nothing"),
                ({"ignore_metadata": ["vlr", ""]}, "ignore_metadata holds an empty name")]
    for options, message in refusals:
        with pytest.raises(ValueError, match=message):
            orvid.compare(reference, test, **options)
    wrong_types = [({"epsilon": "wide"}, "epsilon must be a number, not str"),
                   ({"tolerances": [1, 2]}, "tolerances must be a mapping of attribute names to differences"),
                   ({"tolerances": {1: 2}}, "tolerances must name attributes by strings, not int")]
    for options, message in wrong_types:
        with pytest.raises(TypeError, match=message):
            orvid.compare(reference, test, **options)
    # A subnormal epsilon is a number like any other; nothing left out is no flag at all.
    assert orvid.compare(reference, test, epsilon_xy=1e-320, ignore=[]).counts["modified"] == 3
    assert orvid.compare(reference, test, rgb_epsilon=300).report["parameters"]["rgbEpsilon"] == 300
    with pytest.raises(ValueError, match="'unchanged' is not one of"):
        orvid.compare(reference, test).points("unchanged")


def test_interrupt_stops_the_comparison_while_other_threads_run(tmp_path):
    points = survey(2_000_000)
    write_las(tmp_path / "reference.las", points)
    write_las(tmp_path / "test.las", points[::-1])
    # The timer thread runs only while the comparison has released the GIL: had it not, the signal
    # would come after the comparison's result.
    timer = threading.Timer(0.1, signal.raise_signal, [signal.SIGINT])
    timer.start()
    result = None
    with pytest.raises(KeyboardInterrupt):
        result = orvid.compare(tmp_path / "reference.las", tmp_path / "test.las", threads=1)
    timer.join()
    assert result is None
    with pytest.raises(KeyboardInterrupt):  # Python's own handler is back
        signal.raise_signal(signal.SIGINT)


def test_comparisons_in_several_threads_give_python_its_handler_back(planted):
    counts = []

    def compare_often():
        for _ in range(4):
            counts.append(orvid.compare(planted["reference"], planted["test"], threads=1).counts["added"])

    workers = [threading.Thread(target=compare_often) for _ in range(6)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    assert counts == [2] * 24
    with pytest.raises(KeyboardInterrupt):
        signal.raise_signal(signal.SIGINT)
