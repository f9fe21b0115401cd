"""Type stubs of the compiled part of the orvid package."""

from typing import List

import numpy as np

class CloudComparison:
    @property
    def json_report(self) -> str: ...
    @property
    def text_summary(self) -> str: ...
    def points(self, name: str) -> np.ndarray: ...

def compare(reference: str, test: str, flags: List[str]) -> CloudComparison: ...
