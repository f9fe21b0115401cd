"""Compare two lidar point clouds, pairing their points by pulse: GPS time and return number.

``compare`` runs the comparison of ``orvid-compare`` on two LAS or LAZ files (or folders of them) and
returns a :class:`Comparison`: the counts of each class of difference, the command's JSON report, and
the points of each class as NumPy structured arrays. ``assert_same`` makes it a pytest assertion.

The classes of difference:

- ``removed``: reference points that no test point pairs with;
- ``added``: test points that pair with no reference point;
- ``modified``: paired points that moved by more than epsilon;
- ``mutated``: paired points in place whose attributes differ;
- ``altered``: paired points in place whose extra attributes alone differ.
"""

from __future__ import annotations

import json
import os
from numbers import Integral, Real
from typing import Any, Dict, Iterable, List, Mapping, Optional, Union

import numpy as np
from numpy.lib import recfunctions

from . import _orvid

__all__ = ["CLASSES", "Comparison", "assert_same", "compare"]

#: The classes of difference, in the order the reports list them.
CLASSES = ("removed", "added", "modified", "mutated", "altered")

#: The fields that a modified point has beyond those of every class.
_MODIFIED_FIELDS = ("reference_x", "reference_y", "reference_z", "dx", "dy", "dz")

Path = Union[str, "os.PathLike[str]"]
Names = Union[str, Iterable[str]]


class Comparison:
    """The result of :func:`compare`."""

    def __init__(self, native: Any) -> None:
        self._native = native
        #: The report as a dict, equal to what ``orvid-compare --json`` writes.
        self.report: Dict[str, Any] = json.loads(native.json_report)

    @property
    def counts(self) -> Dict[str, int]:
        """The points of each class of difference, by class name."""
        return dict(self.report["counts"])

    @property
    def different(self) -> bool:
        """Whether something that ``fail_on`` names differs: the command's exit status 1."""
        return bool(self.report["result"]["different"])

    @property
    def exit_status(self) -> int:
        """The command's exit status: 0 same, 1 different, 2 a warning made an error by ``strict``."""
        return int(self.report["result"]["exitStatus"])

    @property
    def metadata(self) -> List[Dict[str, Any]]:
        """How the inputs' headers, records and coordinate systems differ, one dict per difference."""
        return list(self.report["metadata"]["differences"])

    @property
    def summary(self) -> str:
        """The attribute statistics and summary, as the command prints them."""
        return str(self._native.text_summary)

    def points(self, name: str) -> np.ndarray:
        """The points of the class ``name`` as a NumPy structured array, in the order they were decided.

        Every class has the fields x, y, z, gps_time, return_number, classification, intensity,
        point_source_id and leg (the index of the point's file in its input's ``files``); these are the
        test points, but for ``removed``, whose points are the reference's. ``modified`` also has the
        reference position (reference_x, reference_y, reference_z) and the displacement, test minus
        reference (dx, dy, dz).
        """
        if name not in CLASSES:
            raise ValueError(f"'{name}' is not one of {', '.join(CLASSES)}")
        rows = self._native.points(name)
        if name == "modified":
            return rows
        kept = [field for field in rows.dtype.names if field not in _MODIFIED_FIELDS]
        return recfunctions.repack_fields(rows[kept])

    def __repr__(self) -> str:
        counts = ", ".join(f"{name}={count}" for name, count in self.counts.items())
        return f"<orvid.Comparison {counts}>"


def _number(option: str, value: Any) -> str:
    if isinstance(value, bool) or not isinstance(value, Real):
        raise TypeError(f"{option} must be a number, not {type(value).__name__}")
    return repr(float(value))


def _whole(option: str, value: Any) -> str:
    if isinstance(value, bool) or not isinstance(value, Integral):
        raise TypeError(f"{option} must be a whole number, not {type(value).__name__}")
    return str(int(value))


def _names(option: str, value: Names) -> List[str]:
    names = [value] if isinstance(value, str) else list(value)
    if not all(isinstance(name, str) for name in names):
        raise TypeError(f"{option} must be a name or names")
    if "" in names:
        raise ValueError(f"{option} holds an empty name")
    return names


def _tolerances(value: Any) -> Mapping[str, Any]:
    if not isinstance(value, Mapping):
        raise TypeError("tolerances must be a mapping of attribute names to differences, such as "
                        f"{{'intensity': 2}}, not {type(value).__name__}")
    for name in value:
        if not isinstance(name, str):
            raise TypeError(f"tolerances must name attributes by strings, not {type(name).__name__}")
    return value


def _flags(options: Mapping[str, Any]) -> List[str]:
    """The command's comparison flags that the keyword ``options`` of :func:`compare` stand for."""
    flags = []
    epsilon = options["epsilon"]
    if epsilon is not None:
        flags.append("--epsilon=" + ("auto" if epsilon == "auto" else _number("epsilon", epsilon)))
    for option, flag in (("epsilon_xy", "--epsilon-xy"), ("epsilon_z", "--epsilon-z"),
                         ("time_offset", "--time-offset")):
        if options[option] is not None:
            flags.append(f"{flag}={_number(option, options[option])}")
    if options["tolerances"] is not None:
        for name, value in _tolerances(options["tolerances"]).items():
            flags.append(f"--tolerance={name}={_number('tolerances', value)}")
    for option, flag in (("ignore", "--ignore"), ("fail_on", "--fail-on"),
                         ("ignore_metadata", "--ignore-metadata")):
        if options[option] is None:
            continue
        names = _names(option, options[option])
        # The command takes no empty list. Leaving nothing out is leaving the flag out, but an absent
        # --fail-on means any, so failing on nothing is said with "none".
        if not names and option == "fail_on":
            raise ValueError("fail_on names no class: give 'none' to fail on nothing")
        if names:
            flags.append(f"{flag}={','.join(names)}")
    for option, flag in (("rgb_epsilon", "--rgb-epsilon"), ("threads", "--threads")):
        if options[option] is not None:
            flags.append(f"{flag}={_whole(option, options[option])}")
    memory = options["memory"]
    if memory is not None:
        flags.append("--memory=" + (memory if isinstance(memory, str) else _whole("memory", memory)))
    for option, flag in (("pair_by_channel", "--pair-by-channel"), ("strict", "--strict")):
        if options[option]:
            flags.append(flag)
    return flags


def compare(reference: Path, test: Path, *, epsilon: Union[float, str, None] = None,
            epsilon_xy: Optional[float] = None, epsilon_z: Optional[float] = None,
            tolerances: Optional[Mapping[str, float]] = None, ignore: Optional[Names] = None,
            time_offset: Optional[float] = None, rgb_epsilon: Optional[int] = None,
            pair_by_channel: bool = False,
            threads: Optional[int] = None, memory: Union[int, str, None] = None,
            fail_on: Optional[Names] = None, ignore_metadata: Optional[Names] = None,
            strict: bool = False) -> Comparison:
    """Compares the ``test`` cloud with the ``reference`` cloud, as ``orvid-compare`` does.

    Each is a LAS or LAZ file, or a folder of them (one leg per file, in name order). The options are
    the command's flags of the same names:

    - ``epsilon``: how far a paired point may move, in coordinate units, before it is modified
      (default: the coarser scale factor of the inputs; 0 compares stored positions exactly);
      ``epsilon_xy`` and ``epsilon_z`` set it across and along;
    - ``tolerances``: attribute name to the difference it may show, such as ``{"intensity": 2}``;
    - ``ignore``: attributes left out of the comparison;
    - ``time_offset``: seconds added to the test's GPS times before pairing;
    - ``rgb_epsilon``: the largest difference, per colour channel, of a colour taken as unchanged;
    - ``pair_by_channel``: pair by scanner channel too (multi-channel scanners);
    - ``threads``, ``memory``: the most threads, and the memory budget in bytes or as ``"512M"``;
    - ``fail_on``: what makes :attr:`Comparison.different` true (default ``"any"``; ``"none"`` for
      nothing);
    - ``ignore_metadata``: header fields or kinds (crs, vlr, extraBytes) left out;
    - ``strict``: warnings about an input are errors: one that its header draws raises OSError, one
      found only once its points are read makes :attr:`Comparison.exit_status` 2.

    Raises OSError naming a file that cannot be read, ValueError for an option out of its range,
    TypeError for one of the wrong type, RuntimeError when the run cannot go on (such as a missing
    temporary folder that LAZ inputs need), MemoryError when memory runs out, and KeyboardInterrupt on
    SIGINT. The comparison
    releases the GIL. While any thread compares, SIGINT stops every comparison under way (each raises
    KeyboardInterrupt in its own thread) rather than interrupting the main thread elsewhere.
    """
    flags = _flags(locals())
    return Comparison(_orvid.compare(_path(reference), _path(test), flags))


def _path(given: Path) -> str:
    path = os.fspath(given)
    # The system would read a path only up to a NUL, and so another file than the one named.
    if "\0" in str(path):
        raise ValueError(f"{path!r}: a path cannot hold a NUL character")
    return str(path)


def assert_same(reference: Path, test: Path, **options: Any) -> Comparison:
    """Compares as :func:`compare` does, and raises AssertionError carrying the text summary when
    something that ``fail_on`` names differs (or, with ``strict``, an input draws a warning).

    Returns the comparison otherwise, for further checks.
    """
    comparison = compare(reference, test, **options)
    if comparison.exit_status != 0:
        raise AssertionError(f"{os.fspath(test)} differs from {os.fspath(reference)}\n"
                             + comparison.summary)
    return comparison
