"""x11sa on a Dask DataFrame: the groups are brought together in partitions
and each partition is adjusted by x11sa.adjust_frame where it lies, on the
cluster's workers.

    from dask.distributed import Client
    import x11sa.dask
    client = Client()                      # or a cluster's scheduler address
    adjusted = x11sa.dask.adjust_frame(ddf, date="date", var="sales", by="region")
    adjusted.compute()
"""

import numpy as np

import x11sa

__all__ = ["adjust_frame"]


def _adjust_partition(part, date, var, by, tables, frequency, threads, options):
    result = x11sa.adjust_frame(part, date=date, var=var, by=by, tables=tables, frequency=frequency,
                                threads=threads, errors="raise", **options)
    result.attrs = {}
    return result


def _meta(ddf, date, variables, by, tables):
    import pandas as pd

    meta = pd.DataFrame({c: pd.Series(dtype=ddf._meta[c].dtype) for c in by})
    meta[date] = pd.Series(dtype="datetime64[ns]")
    meta["variable"] = pd.Series(pd.Categorical([], categories=variables))
    for t in tables:
        meta[t] = pd.Series(dtype=np.float64)
    return meta


def adjust_frame(ddf, date, var, by=None, tables=x11sa.DEFAULT_TABLES, *, frequency=None, threads=1, **options):
    """x11sa.adjust_frame on a Dask DataFrame: a Dask DataFrame with the same
    rows as x11sa.adjust_frame gives on the whole frame (in an order of
    partitions, BY order within each). Each series is adjusted whole on one
    worker; `threads` are the threads of each partition's adjustment.
    A series that cannot be adjusted raises AdjustmentError when computed."""
    import dask.dataframe as dd

    if not isinstance(ddf, dd.DataFrame):
        raise TypeError(f"x11sa.dask.adjust_frame() takes a Dask DataFrame, not {type(ddf).__name__}.")
    by = [by] if isinstance(by, str) else list(by or [])
    tables = [str(t).upper() for t in ([tables] if isinstance(tables, str) else tables)]
    variables = [var] if isinstance(var, str) else list(var)
    missing = [c for c in [date] + by + variables if c not in ddf.columns]
    if missing:
        raise ValueError(f"x11sa.dask.adjust_frame(): the frame has no column {missing[0]!r}.")
    # Every row of a group in one partition: a shuffle on the BY columns, or
    # one partition when the whole frame is one series.
    grouped = ddf.shuffle(on=by) if by else ddf.repartition(npartitions=1)
    return grouped.map_partitions(_adjust_partition, date, var, by, tables, frequency, threads, options,
                                  meta=_meta(ddf, date, variables, by, tables), align_dataframes=False)
