"""x11sa.dask.adjust_frame on a local cluster of two worker processes: the
rows x11sa.adjust_frame gives on the whole frame."""

import pandas as pd
import pytest

import x11sa
import x11sa.dask
from conftest import DATA

dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("dask.distributed")


@pytest.fixture(scope="module")
def client():
    # Loopback only, no dashboard: nothing leaves the machine.
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as c:
        yield c


def test_same_rows_as_the_pandas_frame(client):
    panel = pd.read_csv(DATA / "lungdeaths_by_sex.csv")
    seatbelts = pd.read_csv(DATA / "seatbelts.csv").melt(id_vars="date", value_vars=["drivers", "front", "rear"],
                                                          var_name="seat", value_name="deaths")
    seatbelts["sex"] = seatbelts.pop("seat")
    frame = pd.concat([panel, seatbelts], ignore_index=True)
    want = x11sa.adjust_frame(frame, date="date", var="deaths", by="sex", tables=("D11", "D12"), additive=True)
    ddf = dd.from_pandas(frame, npartitions=3)
    lazy = x11sa.dask.adjust_frame(ddf, date="date", var="deaths", by="sex", tables=("D11", "D12"), additive=True)
    assert list(lazy.columns) == list(want.columns)
    got = lazy.compute().sort_values(["sex", "date"]).reset_index(drop=True)
    pd.testing.assert_frame_equal(got, want.reset_index(drop=True), check_exact=True)
    # Both worker processes took part.
    assert len(client.scheduler_info()["workers"]) == 2


def test_a_failed_group_raises_when_computed(client):
    short = pd.DataFrame({"sex": "x", "date": pd.date_range("1990-01-01", periods=20, freq="MS"), "deaths": 1.0})
    lazy = x11sa.dask.adjust_frame(dd.from_pandas(short, npartitions=1), date="date", var="deaths", by="sex")
    with pytest.raises(ValueError, match="could not be adjusted"):
        lazy.compute()
    with pytest.raises(TypeError):
        x11sa.dask.adjust_frame(short, date="date", var="deaths")
