"""x11sa.adjust_frame: a long frame of BY groups, each series as adjust()
gives it alone, in BY order, on any number of threads."""

import numpy as np
import pandas as pd
import pytest

import x11sa
from conftest import DATA, read_out, run_command, same_numbers


@pytest.fixture(scope="module")
def panel():
    """The lung deaths by sex, with a second variable, shuffled."""
    df = pd.read_csv(DATA / "lungdeaths_by_sex.csv")
    df["scaled"] = df["deaths"] * 1.5 + 10
    return df.sample(frac=1.0, random_state=7).reset_index(drop=True)


def test_each_group_as_adjust_gives_it(panel):
    out = x11sa.adjust_frame(panel, date="date", var=["deaths", "scaled"], by="sex", tables=("d11", "D12"))
    assert list(out.columns) == ["sex", "date", "variable", "D11", "D12"]
    assert len(out) == 2 * len(panel)
    # BY order, then the variables in the order given, then the dates.
    assert list(out.drop_duplicates(["sex", "variable"])[["sex", "variable"]].itertuples(index=False)) == [
        ("female", "deaths"), ("female", "scaled"), ("male", "deaths"), ("male", "scaled")]
    for (sex, variable), rows in out.groupby(["sex", "variable"]):
        group = panel[panel["sex"] == sex].sort_values("date")
        alone = x11sa.adjust(pd.Series(group[variable].to_numpy(), index=pd.DatetimeIndex(group["date"])))
        assert rows["date"].is_monotonic_increasing
        assert same_numbers(rows["D11"], alone.tables["D11"]) and same_numbers(rows["D12"], alone.tables["D12"])
    info = out.attrs["x11sa"]
    assert list(info[["sex", "variable"]].itertuples(index=False))[0] == ("female", "deaths")
    assert (info["exit_level"] == 0).all() and (info["seasonality"] == "present").all()


def test_equals_the_commands_by_run(tmp_path, panel):
    run = run_command(tmp_path, "proc x11 data=d.lungdeaths_by_sex noprint; monthly date=date; var deaths; by sex;\n"
                                "output out=o d10=D10 d11=D11 d12=D12 d13=D13; run;")
    assert run.returncode == 0, (tmp_path / "log.txt").read_text()
    want = read_out(tmp_path / "o.csv")
    got = x11sa.adjust_frame(panel, date="date", var="deaths", by="sex")
    for t in ("D10", "D11", "D12", "D13"):
        assert same_numbers(got[t], want[t]), t


def test_threads_and_options(panel):
    one = x11sa.adjust_frame(panel, date="date", var="deaths", by="sex", threads=1, additive=True, trendma=13)
    two = x11sa.adjust_frame(panel, date="date", var="deaths", by="sex", threads=2, additive=True, trendma=13)
    pd.testing.assert_frame_equal(one, two, check_exact=True)
    assert (one.attrs["x11sa"]["henderson"] == 13).all()
    # Without BY the frame is one series; dates may be periods.
    female = panel[panel["sex"] == "female"].assign(date=lambda d: pd.PeriodIndex(d["date"], freq="M"))
    alone = x11sa.adjust_frame(female, date="date", var="deaths", additive=True, trendma=13)
    assert list(alone.columns) == ["date", "variable", "D10", "D11", "D12", "D13"]
    assert same_numbers(alone["D11"], one.loc[one["sex"] == "female", "D11"])


def test_a_group_that_cannot_be_adjusted(panel):
    short = pd.DataFrame({"sex": "child", "date": pd.date_range("1990-01-01", periods=20, freq="MS"),
                          "deaths": np.arange(20.0) + 5})
    frame = pd.concat([panel, short], ignore_index=True)
    with pytest.raises(x11sa.AdjustmentError, match=r"1 of 3 series could not be adjusted; the first, sex=child"):
        x11sa.adjust_frame(frame, date="date", var="deaths", by="sex")
    out = x11sa.adjust_frame(frame, date="date", var="deaths", by="sex", errors="coerce")
    child = out[out["sex"] == "child"]
    assert len(child) == 20 and child["D11"].isna().all()
    assert out.loc[out["sex"] != "child", "D11"].notna().all()
    info = out.attrs["x11sa"].set_index("sex")
    assert info.loc["child", "exit_level"] > 4 and any(l.startswith("ERROR") for l in info.loc["child", "log"])


def test_a_long_frame_can_be_interrupted(panel):
    import _thread
    import threading

    copies = 5000  # about a second of work
    many = pd.DataFrame({"sex": np.repeat(np.arange(2 * copies), len(panel) // 2),
                         "date": np.tile(pd.date_range("1974-01-01", periods=len(panel) // 2, freq="MS"), 2 * copies),
                         "deaths": np.tile(panel.loc[panel["sex"] == "male", "deaths"].to_numpy(), 2 * copies)})
    timer = threading.Timer(0.3, _thread.interrupt_main)
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            x11sa.adjust_frame(many, date="date", var="deaths", by="sex", threads=2)
    finally:
        timer.cancel()
    # The package is still usable afterwards.
    assert len(x11sa.adjust_frame(panel, date="date", var="deaths", by="sex")) == len(panel)
