import os
import subprocess
from pathlib import Path

import numpy as np
import pandas as pd
import pytest

DATA = Path(os.environ.get("X11SA_DATA", Path(__file__).resolve().parents[2] / "tests" / "data"))


@pytest.fixture(scope="session")
def data():
    return DATA


def read_series(name, column, freq="M"):
    """A series of the bundled data as a pandas Series with a PeriodIndex."""
    df = pd.read_csv(DATA / f"{name}.csv")
    return pd.Series(df[column].to_numpy(float), index=pd.PeriodIndex(df["date"], freq=freq), name=column)


def run_command(tmp_path, program):
    """Runs the x11sa command on a program with WORK in tmp_path and the
    bundled data as library `d`; returns the completed process."""
    (tmp_path / "p.x11sa").write_text(program)
    binary = os.environ.get("X11SA_BINARY")
    if not binary:
        pytest.skip("X11SA_BINARY names no x11sa command")
    return subprocess.run([binary, "--lib", f"d={DATA}", "--log", "log.txt", "--print", "p.lst", "p.x11sa"],
                          cwd=tmp_path, capture_output=True, text=True)


def read_out(path):
    """An output data set, every digit as written."""
    return pd.read_csv(path, float_precision="round_trip")


def same_numbers(a, b):
    a, b = np.asarray(a, float), np.asarray(b, float)
    return a.shape == b.shape and bool(np.all((a == b) | (np.isnan(a) & np.isnan(b))))
