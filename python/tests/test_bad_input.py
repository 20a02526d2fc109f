"""Bad input raises TypeError or ValueError with a clear message, and never
brings the interpreter down."""

import numpy as np
import pandas as pd
import pytest

import x11sa
from conftest import read_series

SERIES = read_series("airline", "passengers")


@pytest.mark.parametrize(
    "series, error, words",
    [
        ([1.0, 2.0], TypeError, "takes a pandas Series"),
        (pd.Series(np.arange(60.0)), TypeError, "must be dates"),
        (pd.Series(np.arange(60.0) + 1, index=pd.date_range("2000-01-01", periods=60, freq="D")), ValueError,
         "two dates in 2000-01"),
        (pd.Series(np.arange(60.0) + 1, index=pd.period_range("2000", periods=60, freq="A")), ValueError,
         "x11sa adjusts monthly or quarterly series"),
        (pd.Series(["a"] * 60, index=pd.period_range("2000-01", periods=60, freq="M")), TypeError, "must be numbers"),
        (SERIES.drop(SERIES.index[10]), ValueError, "1949-12 follows 1949-10"),
        (SERIES.iloc[:24], ValueError, "could not be adjusted"),
        (SERIES.iloc[:0], ValueError, "empty"),
    ],
)
def test_bad_series(series, error, words):
    with pytest.raises(error, match=words):
        x11sa.adjust(series)


@pytest.mark.parametrize(
    "options, error, words",
    [
        ({"trendma": 10}, ValueError, "TRENDMA= must be 9, 13 or 23"),
        ({"tdregr": "sometimes"}, ValueError, "tdregr='sometimes' is not one of 'none', 'print', 'adjust', 'test'"),
        ({"additive": "yes"}, TypeError, "additive must be True or False"),
        ({"trendma": 13.5}, TypeError, "trendma must be a whole number"),
        ({"fullweight": float("nan")}, ValueError, "not a finite number"),
        ({"seasonal": True}, TypeError, "unexpected option 'seasonal'"),
        ({"arima": {"p": 99}}, ValueError, "p=99 is outside its range"),
        ({"arima": {"q": 1, "colour": 1}}, TypeError, "arima got an unexpected option 'colour'"),
        ({"arima": "sometimes"}, ValueError, "give 'auto' or a dict"),
        ({"macurves": {"smarch": "3x3"}}, ValueError, "is not a month"),
        ({"macurves": {"jan": "3x4"}}, ValueError, "is not one of"),
        ({"pdweights": [1, 2, 3]}, ValueError, "pdweights has 3 weights"),
        ({"frequency": "weekly"}, ValueError, "is not 'monthly' or 'quarterly'"),
        ({"listing": {"tables": ["Z9"]}}, ValueError, "'Z9' is not a table"),
        ({"prior_factors": [100.0] * 3}, ValueError, "prior_factors has 3 values for 144"),
    ],
)
def test_bad_options(options, error, words):
    with pytest.raises(error, match=words):
        x11sa.adjust(SERIES, **options)


def test_bad_frames_and_programs():
    frame = pd.DataFrame({"g": ["a"] * 60, "date": pd.date_range("2000-01-01", periods=60, freq="MS"),
                          "v": np.arange(60.0) + 1})
    with pytest.raises(TypeError, match="takes a pandas DataFrame"):
        x11sa.adjust_frame(frame.to_dict(), date="date", var="v")
    with pytest.raises(ValueError, match="no column 'w'"):
        x11sa.adjust_frame(frame, date="date", var="w", by="g")
    with pytest.raises(TypeError, match="column 'g' must be numbers"):
        x11sa.adjust_frame(frame, date="date", var="g")
    with pytest.raises(ValueError, match="two dates in 2000-01 .*within a BY group|within a BY group .*two dates"):
        x11sa.adjust_frame(pd.concat([frame, frame.iloc[:1]]), date="date", var="v", by="g")
    with pytest.raises(ValueError, match="cannot be read as dates"):
        x11sa.adjust_frame(frame.assign(date="soon"), date="date", var="v")
    with pytest.raises(ValueError, match="errors='ignore' is not"):
        x11sa.adjust_frame(frame, date="date", var="v", errors="ignore")
    with pytest.raises(TypeError, match="takes the program's text"):
        x11sa.run_program(b"proc x11;")
    with pytest.raises(ValueError, match="linesize=10 is outside its range"):
        x11sa.run_program("", linesize=10)
