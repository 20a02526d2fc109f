"""x11sa: seasonal adjustment of monthly and quarterly series by the X-11
method, from pandas.

    import x11sa
    result = x11sa.adjust(series)                 # a pandas Series with a date index
    result.tables["D11"]                          # the seasonally adjusted series
    frame = x11sa.adjust_frame(df, date="date", var="sales", by="region")

Options are keyword arguments named like the options of the program
language in lower case: additive=True, tdregr='adjust', trendma=13,
arima='auto' or a dict of the model, sspan=True, macurves={'jan': '3x9'},
pdweights=(...), yraheadout=True, ...  See docs/python.md.
"""

# numpy and pandas are imported where they are used, so that the package
# imports (and says what it needs) on an interpreter without them.
from . import _x11sa

__all__ = ["adjust", "adjust_frame", "run_program", "AdjustResult", "ProgramResult", "AdjustmentError"]

DEFAULT_TABLES = ("D10", "D11", "D12", "D13")


class AdjustmentError(ValueError):
    """A series that could not be adjusted; `result` holds its log."""

    def __init__(self, message, result=None):
        super().__init__(message)
        self.result = result


def _log_lines(messages):
    return [f"{severity}: {text}" for severity, text in messages]


def _values(values, what):
    """float64 values with NaN for missing; TypeError for anything that is not numbers."""
    import numpy as np
    import pandas as pd

    dtype = getattr(values, "dtype", None)
    if dtype is not None and (pd.api.types.is_bool_dtype(dtype) or not pd.api.types.is_numeric_dtype(dtype)):
        raise TypeError(f"{what} must be numbers, not values of type {dtype}.")
    try:
        if isinstance(values, (pd.Series, pd.Index)):
            return values.to_numpy(dtype=np.float64, na_value=np.nan)
        return np.asarray(values, dtype=np.float64)
    except (TypeError, ValueError) as e:
        raise TypeError(f"{what} must be numbers: {e}") from None


def _errors_of(messages):
    return [text for severity, text in messages if severity == "ERROR"]


class AdjustResult:
    """The adjustment of one series.

    tables      DataFrame, one column per table (A1 ... F1), indexed by the
                first day of each period
    tests       the tests for seasonality on D8 (stable and moving F tests,
                Kruskal-Wallis, the combined test's verdict)
    summary     Henderson length, I/C ratio, MCD, F2 figures, D9A, E4, and
                what the ARIMA extension and the sliding spans did
    exit_level  0 normal, up to 4 warnings
    log         the log's lines; messages the same as (severity, text)
    listing     the printed tables, when listing= asked for them
    """

    def __init__(self, raw, index, name, frequency):
        import pandas as pd

        self.name = name
        self.frequency = frequency
        self.exit_level = raw["exit_level"]
        self.messages = raw["messages"]
        self.log = _log_lines(self.messages)
        self.listing = raw["listing"]
        self.tests = raw["tests"]
        self.summary = raw["summary"]
        values = raw["tables"]
        self.tables = pd.DataFrame(values.T, index=index[: values.shape[1]], columns=list(raw["names"]))
        self.tables.index.name = "date"

    def __repr__(self):
        t = self.tables
        if t.empty:
            span = "not adjusted"
        else:
            span = f"{t.index[0]:%Y-%m} to {t.index[-1]:%Y-%m}, {len(t)} periods"
        parts = [f"{self.frequency} series {self.name!r} ({span})", f"exit level {self.exit_level}"]
        if self.tests:
            parts.append(f"seasonality {self.tests['seasonality']}")
        if "henderson" in self.summary:
            parts.append(f"Henderson {self.summary['henderson']}")
        arima = self.summary.get("arima")
        if arima:
            parts.append(f"ARIMA {arima['model']}: {arima['status']}")
        warnings = sum(1 for s, _ in self.messages if s == "WARNING")
        if warnings:
            parts.append(f"{warnings} warning{'s' if warnings > 1 else ''}")
        return f"<x11sa.AdjustResult: {'; '.join(parts)}>"


def adjust(series, *, frequency=None, prior_factors=None, listing=None, **options):
    """Adjusts one pandas Series whose index is a DatetimeIndex or a
    PeriodIndex of months or quarters (the frequency is read from the index
    unless given). Missing values are NaN. Raises AdjustmentError (a
    ValueError) when the series cannot be adjusted, TypeError or ValueError
    for bad input or options."""
    import numpy as np
    import pandas as pd

    from . import _calendar

    if not isinstance(series, pd.Series):
        raise TypeError(f"adjust() takes a pandas Series, not {type(series).__name__}.")
    frequency = _calendar.frequency_name(frequency)
    if len(series) == 0:
        raise ValueError("the series is empty.")
    months = _calendar.month_numbers(series.index, "the index")
    frequency = _calendar.infer_frequency(months, np.zeros(1, np.int64), frequency, "the index")
    values = _values(series, "the series' values")
    factors = None
    if prior_factors is not None:
        factors = _values(prior_factors, "prior_factors")
        if factors.shape != values.shape:
            raise ValueError(f"prior_factors has {factors.size} values for {values.size} in the series.")
    year, period = _calendar.start_of(months[0], frequency)
    name = str(series.name) if series.name is not None else "series"
    raw = _x11sa.adjust(values, year, period, dict(options, frequency=frequency), name, factors, listing)
    periods = raw["tables"].shape[1] if raw["tables"].size else len(values)
    index = pd.DatetimeIndex(_calendar.period_starts([months[0]], [periods], frequency))
    result = AdjustResult(raw, index, name, frequency)
    if result.exit_level > 4:
        errors = " ".join(_errors_of(result.messages)) or "see its log."
        raise AdjustmentError(f"the series {name!r} could not be adjusted: {errors}", result)
    return result


def _columns(frame, names, what):
    missing = [n for n in names if n not in frame.columns]
    if missing:
        raise ValueError(f"{what}: the frame has no column {missing[0]!r}.")


def _as_list(x):
    if x is None:
        return []
    return [x] if isinstance(x, str) or not hasattr(x, "__iter__") else list(x)


def adjust_frame(df, date, var, by=None, tables=DEFAULT_TABLES, *, frequency=None, threads=None, errors="raise",
                 diagnostics=True, **options):
    """Adjusts every series of a long DataFrame: one series per BY group and
    variable in `var`, dated by the column `date`. Returns a long DataFrame
    with the BY columns, the date, `variable` and one column per table, in
    BY order, one row per period. The groups are adjusted on `threads`
    threads (default: every core) with the interpreter's lock released.

    errors='raise' raises AdjustmentError when a series cannot be adjusted;
    errors='coerce' leaves its tables NaN. The result's attrs['x11sa'] is a
    DataFrame with one row per series: its exit level, tests, summary and
    log; diagnostics=False leaves out the tests and the summary measures,
    which take about a quarter of the time.
    """
    import numpy as np
    import pandas as pd

    from . import _calendar

    if not isinstance(df, pd.DataFrame):
        raise TypeError(f"adjust_frame() takes a pandas DataFrame, not {type(df).__name__}.")
    if errors not in ("raise", "coerce"):
        raise ValueError(f"errors={errors!r} is not 'raise' or 'coerce'.")
    by = _as_list(by)
    variables = _as_list(var)
    tables = [str(t).upper() for t in _as_list(tables)]
    if not variables:
        raise ValueError("var names no column.")
    _columns(df, [date] + by + variables, "adjust_frame()")
    for v in variables:
        _values(df[v].iloc[:0], f"column {v!r}")
    frequency = _calendar.frequency_name(frequency)
    if threads is not None and (not isinstance(threads, int) or isinstance(threads, bool) or threads < 1):
        raise ValueError(f"threads={threads!r} must be a whole number, 1 or more.")

    months = _calendar.month_numbers(df[date], f"column {date!r}")
    if len(by) == 1:
        codes, _ = pd.factorize(df[by[0]], sort=True, use_na_sentinel=False)
        codes = codes.astype(np.int64, copy=False)
    elif by:
        codes = df.groupby(by, sort=True, dropna=False).ngroup().to_numpy(np.int64)
    else:
        codes = np.zeros(len(df), np.int64)
    # Frames usually come sorted: then no copy is made.
    if len(codes) > 1 and (np.any(codes[1:] < codes[:-1]) or np.any((codes[1:] == codes[:-1]) & (months[1:] <= months[:-1]))):
        order = np.lexsort((months, codes))
        codes, months = codes[order], months[order]
    else:
        order = None
    starts = np.flatnonzero(np.diff(codes, prepend=-1)) if len(codes) else np.zeros(0, np.int64)
    what = f"column {date!r}" if not by else f"column {date!r} within a BY group"
    if len(months):
        frequency = _calendar.infer_frequency(months, starts, frequency, what)
    elif frequency is None:
        frequency = _calendar.MONTHLY
    offsets = np.append(starts, len(codes)).astype(np.int64)
    first = months[starts]
    years, periods = _calendar.starts_of(first, frequency)
    keys = df[by].iloc[starts if order is None else order[starts]].reset_index(drop=True)

    # One call per variable; its rows come back series after series.
    options = dict(options, frequency=frequency)
    cells, counts, levels, logs, details = [], [], [], [], []
    for v in variables:
        values = _values(df[v], f"column {v!r}")
        if order is not None:
            values = values[order]
        c, rows, lv, messages, summary = _x11sa.adjust_many(
            values, offsets, years, periods, options, tables, diagnostics, 0 if threads is None else threads)
        cells.append(c)
        counts.append(np.diff(np.asarray(rows, np.int64)))
        levels.append(lv)
        logs.append([_log_lines(m) for m in messages])
        details.append(summary)
    # The rows in BY order, then variable, then date: block (group g,
    # variable j) is rows[j][g] .. rows[j][g + 1] of variable j's cells.
    groups, nvar = len(starts), len(variables)
    counts = np.stack(counts) if counts else np.zeros((0, 0), np.int64)
    length = counts.T.ravel()  # blocks group-major
    block_group = np.repeat(np.arange(groups), nvar)
    block_var = np.tile(np.arange(nvar), groups)
    var_base = np.concatenate(([0], np.cumsum(counts.sum(axis=1))[:-1])) if nvar else np.zeros(0, np.int64)
    within = np.concatenate((np.zeros((nvar, 1), np.int64), np.cumsum(counts, axis=1)[:, :-1]), axis=1)
    block_start = (var_base[:, None] + within).T.ravel()
    block_of_row = np.repeat(np.arange(length.size), length)
    if nvar > 1:
        position = np.arange(block_of_row.size) - np.repeat(np.cumsum(length) - length, length)
        take = block_start[block_of_row] + position
    if nvar == 1 and order is None and np.array_equal(length, np.diff(offsets)):
        # One variable, a sorted frame and a row per input row (no year
        # ahead): the input's columns and dates serve as they are.
        result = pd.DataFrame(cells[0], columns=tables, copy=False)
        result.insert(0, "variable", pd.Categorical.from_codes(np.zeros(len(result), np.int8), variables))
        result.insert(0, date, _calendar.month_starts(months, frequency))
        for k, c in enumerate(by):
            result.insert(k, c, df[c].array.copy())
    else:
        table_cells = cells[0] if nvar == 1 else np.vstack(cells)[take]
        result = pd.DataFrame(table_cells, columns=tables, copy=False)
        result.insert(0, "variable", pd.Categorical.from_codes(block_var[block_of_row], variables))
        result.insert(0, date, _calendar.period_starts(first[block_group], length, frequency))
        row_group = block_group[block_of_row]
        for k, c in enumerate(by):
            result.insert(k, c, keys[c].array.take(row_group))

    info = pd.DataFrame({c: keys[c].array.take(block_group) for c in by})
    info["variable"] = np.asarray(variables, dtype=object)[block_var]
    info["exit_level"] = [levels[j][g] for g, j in zip(block_group, block_var)]
    figures = []
    for g, j in zip(block_group, block_var):
        d = details[j][g]
        d.update(d.pop("tests"))
        figures.append(d)
    info = pd.concat([info, pd.DataFrame(figures, index=info.index)], axis=1)
    info["log"] = [logs[j][g] for g, j in zip(block_group, block_var)]
    result.attrs["x11sa"] = info
    failed = info[info["exit_level"] > 4] if not info.empty else info
    if errors == "raise" and len(failed):
        first_failed = failed.iloc[0]
        where = ", ".join(f"{c}={first_failed[c]}" for c in by)
        where = f"{where}, variable {first_failed['variable']}" if where else f"variable {first_failed['variable']}"
        text = " ".join(l for l in first_failed["log"] if l.startswith("ERROR")) or "see its log."
        raise AdjustmentError(
            f"{len(failed)} of {len(info)} series could not be adjusted; the first, {where}: {text} "
            "(errors='coerce' keeps them as NaN rows)", result)
    return result


class ProgramResult:
    """What a program did: exit_status (0, 1 or 2), the listing, the log's
    lines and each step's procedure, line and exit level."""

    def __init__(self, raw):
        self.exit_status = raw["exit_status"]
        self.listing = raw["listing"]
        self.log = raw["log"].splitlines()
        self.steps = raw["steps"]
        self.file_errors = raw["file_errors"]

    def __repr__(self):
        levels = ", ".join(f"line {s['line']}: exit level {s['exit_level']}" for s in self.steps)
        return f"<x11sa.ProgramResult: exit status {self.exit_status}; {len(self.steps)} steps ({levels})>"


def run_program(text, libs=None, *, linesize=132, pagesize=60, jobs=1, html=None, json=None):
    """Runs a program of PROC X11 steps. `libs` maps librefs to folders
    (WORK is the current folder); data sets are CSV files there."""
    if not isinstance(text, str):
        raise TypeError(f"run_program() takes the program's text, not {type(text).__name__}.")
    pairs = []
    for name, folder in (libs or {}).items():
        pairs.append((str(name), str(folder)))
    for value, what, low, high in ((linesize, "linesize", 64, 256), (pagesize, "pagesize", 15, 32767),
                                   (jobs, "jobs", 0, 1024)):
        if not isinstance(value, int) or isinstance(value, bool):
            raise TypeError(f"{what} must be a whole number, not {value!r}.")
        if not low <= value <= high:
            raise ValueError(f"{what}={value} is outside its range: it must be from {low} to {high}.")
    raw = _x11sa.run_program(text, pairs, linesize, pagesize, jobs, str(html or ""), str(json or ""))
    return ProgramResult(raw)
