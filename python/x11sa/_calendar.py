"""Periods of monthly and quarterly series: what an index or a date column
says about them, checked, as arrays the compiled module takes."""

import numpy as np

MONTHLY = "monthly"
QUARTERLY = "quarterly"
_STEP = {MONTHLY: 1, QUARTERLY: 3}


def frequency_name(frequency):
    if frequency is None:
        return None
    if not isinstance(frequency, str):
        raise TypeError(f"frequency must be 'monthly' or 'quarterly', not {frequency!r}.")
    f = frequency.lower()
    if f in ("m", "ms", "month", "monthly"):
        return MONTHLY
    if f in ("q", "qs", "quarter", "quarterly"):
        return QUARTERLY
    raise ValueError(f"frequency={frequency!r} is not 'monthly' or 'quarterly'.")


def month_numbers(dates, what):
    """Months since year 0 (year * 12 + month - 1) of a datetime-like or
    period-like array; raises for anything else."""
    import pandas as pd

    if isinstance(dates, pd.PeriodIndex) or isinstance(getattr(dates, "dtype", None), pd.PeriodDtype):
        index = pd.PeriodIndex(dates)
        unit = index.freqstr.split("-")[0]
        if unit not in ("M", "Q"):
            raise ValueError(
                f"{what} has periods of {index.freqstr!r}: x11sa adjusts monthly or quarterly series."
            )
        dates = index.start_time
    elif isinstance(dates, pd.Index) and not isinstance(dates, pd.DatetimeIndex):
        if not pd.api.types.is_datetime64_any_dtype(dates.dtype):
            raise TypeError(
                f"{what} must be dates (a DatetimeIndex or PeriodIndex of months or quarters), "
                f"not {type(dates).__name__} of {dates.dtype}."
            )
    if not pd.api.types.is_datetime64_any_dtype(getattr(dates, "dtype", None)):
        try:
            dates = pd.to_datetime(dates)
        except (ValueError, TypeError) as e:
            raise ValueError(f"{what} cannot be read as dates: {e}") from None
    index = pd.DatetimeIndex(dates)
    if index.hasnans:
        raise ValueError(f"{what} has a missing date at position {int(np.flatnonzero(index.isna())[0])}.")
    if index.tz is not None:
        index = index.tz_localize(None)
    # Days are a division away; the few distinct days are turned into months
    # once and looked up.
    days = index.values.astype("datetime64[D]").astype(np.int64)
    if days.size == 0:
        return days
    low = int(days.min())
    span = int(days.max()) - low + 1
    if span > 4 * days.size:
        return index.values.astype("datetime64[M]").astype(np.int64) + 1970 * 12
    table = (np.arange(low, low + span).astype("datetime64[D]").astype("datetime64[M]").astype(np.int64)
             + 1970 * 12)
    return table[days - low]


def month_text(number):
    return f"{number // 12}-{number % 12 + 1:02d}"


def infer_frequency(months, group_starts, frequency, what):
    """The frequency of sorted month numbers made of groups starting at
    `group_starts`, checked: consecutive months or quarters in each group."""
    within = np.ones(len(months), dtype=bool)
    within[group_starts] = False
    within[0:1] = False
    steps = np.diff(months, prepend=months[:1])[within]
    if frequency is None:
        frequency = QUARTERLY if steps.size and np.all(steps == 3) else MONTHLY
    step = _STEP[frequency]
    bad = np.flatnonzero(within & (np.diff(months, prepend=months[:1]) != step))
    if bad.size:
        i = int(bad[0])
        gap = int(months[i] - months[i - 1])
        if gap == 0:
            raise ValueError(
                f"{what} has two dates in {month_text(months[i])}: x11sa adjusts monthly or quarterly "
                "series (one value per period), not daily or weekly ones."
            )
        unit = "months" if frequency == MONTHLY else "quarters"
        raise ValueError(
            f"{what} is not consecutive {unit}: {month_text(months[i])} follows {month_text(months[i - 1])}. "
            "Give a missing period a row with NaN."
        )
    return frequency


def start_of(month_number, frequency):
    """(year, period) of a month number: the month, or the quarter it is in."""
    year, month = divmod(int(month_number), 12)
    return year, month + 1 if frequency == MONTHLY else month // 3 + 1


def starts_of(month_numbers, frequency):
    """(years, periods) of month numbers, as start_of gives each."""
    month_numbers = np.asarray(month_numbers, dtype=np.int64)
    years, months = np.divmod(month_numbers, 12)
    return years, months + 1 if frequency == MONTHLY else months // 3 + 1


def month_starts(months, frequency):
    """First days of the periods of month numbers, as datetime64[ns]."""
    months = np.asarray(months, dtype=np.int64)
    if frequency == QUARTERLY:
        months = months - months % 3
    if months.size == 0:
        return np.zeros(0, "datetime64[ns]")
    # Few distinct months: convert those and look the rows up.
    low = int(months.min())
    table = (np.arange(low, int(months.max()) + 1) - 1970 * 12).astype("datetime64[M]").astype("datetime64[ns]")
    return table[months - low]


def period_starts(first_months, counts, frequency):
    """First days of `counts[i]` periods from first_months[i] on, for every i, as datetime64."""
    step = _STEP[frequency]
    counts = np.asarray(counts, dtype=np.int64)
    total = int(counts.sum())
    owner = np.repeat(np.arange(counts.size), counts)
    offsets = np.concatenate(([0], np.cumsum(counts)[:-1])) if counts.size else np.zeros(0, np.int64)
    first = np.asarray(first_months, dtype=np.int64)
    if frequency == QUARTERLY:
        first = first - first % 3
    return month_starts(first[owner] + (np.arange(total) - offsets[owner]) * step, frequency)
