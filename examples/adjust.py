#!/usr/bin/env python3
"""x11sa from Python: one series, then a frame of series by group.

    PYTHONPATH=build/python /usr/bin/python3 examples/adjust.py
"""
from pathlib import Path

import pandas as pd

import x11sa

data = Path(__file__).resolve().parent / "data"

# One series with a date index; the ARIMA extension picks its model.
airline = pd.read_csv(data / "airline.csv", parse_dates=["date"]).set_index("date")["passengers"]
result = x11sa.adjust(airline, arima="auto")
print(result)
print(result.tables[["B1", "D10", "D11", "D12"]].tail(3).round(2).to_string())
print(f"seasonality {result.tests['seasonality']}, stable F {result.tests['stable_f']:.1f}, "
      f"MCD {result.summary['mcd']}, ARIMA {result.summary['arima']['model']}")

# A long frame: one series per BY group.
panel = pd.read_csv(data / "lungdeaths_by_sex.csv")
adjusted = x11sa.adjust_frame(panel, date="date", var="deaths", by="sex")
print(adjusted.groupby("sex")[["D11", "D12"]].mean().round(1).to_string())
print(adjusted.attrs["x11sa"][["sex", "exit_level", "seasonality", "henderson"]].to_string(index=False))
