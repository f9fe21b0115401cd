"""LAS 1.2 files of point format 1 written from NumPy arrays, for the tests to plant changes in."""

import struct

import numpy as np

#: A point as the tests describe it; `write_las` stores it at a scale of 0.01.
POINT = np.dtype([("x", "f8"), ("y", "f8"), ("z", "f8"), ("gps_time", "f8"), ("return_number", "u1"),
                  ("number_of_returns", "u1"), ("intensity", "u2"), ("classification", "u1"),
                  ("point_source_id", "u2")])

_RECORD = np.dtype([("x", "<i4"), ("y", "<i4"), ("z", "<i4"), ("intensity", "<u2"), ("returns", "u1"),
                    ("classification", "u1"), ("scan_angle", "i1"), ("user_data", "u1"),
                    ("point_source_id", "<u2"), ("gps_time", "<f8")])
_HEADER_SIZE = 227
_SCALE = 0.01


def survey(count, start_time=1000.0):
    """`count` points on a 1 m grid, two returns per pulse, in GPS-time order."""
    points = np.zeros(count, POINT)
    index = np.arange(count)
    points["x"] = 500000.0 + (index // 2) % 1000
    points["y"] = 4000000.0 + (index // 2) // 1000
    points["z"] = 100.0 + (index % 7)
    points["gps_time"] = start_time + (index // 2) * 1e-4
    points["return_number"] = 1 + index % 2
    points["number_of_returns"] = 2
    points["intensity"] = index % 4000
    points["classification"] = 2
    points["point_source_id"] = 7
    return points


def write_las(path, points):
    records = np.zeros(len(points), _RECORD)
    for axis in "xyz":
        records[axis] = np.round(points[axis] / _SCALE).astype("<i4")
    records["returns"] = points["return_number"] | (points["number_of_returns"] << 3)
    for field in ("intensity", "classification", "point_source_id", "gps_time"):
        records[field] = points[field]
    by_return = [int(np.count_nonzero(points["return_number"] == number)) for number in range(1, 6)]
    stored = {axis: records[axis] * _SCALE for axis in "xyz"}
    extent = [bound for axis in "xyz" for bound in (stored[axis].max(), stored[axis].min())]
    header = struct.pack("<4sHH16sBB32s32sHHHII BHI5I3d3d6d".replace(" ", ""), b"LASF", 0, 1, bytes(16),
                         1, 2, b"tests", b"lasfiles.py", 1, 2024, _HEADER_SIZE, _HEADER_SIZE, 0, 1,
                         _RECORD.itemsize, len(points), *by_return, _SCALE, _SCALE, _SCALE, 0.0, 0.0,
                         0.0, *extent)
    assert len(header) == _HEADER_SIZE
    with open(path, "wb") as file:
        file.write(header)
        file.write(records.tobytes())
