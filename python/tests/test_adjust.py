"""x11sa.adjust on one series: the command's numbers, the index forms, the
options and what comes back with the tables."""

import numpy as np
import pandas as pd
import pytest

import x11sa
from conftest import read_out, read_series, run_command, same_numbers

TABLES = ["B1", "C16", "D10", "D11", "D12", "D13", "F1"]


@pytest.mark.parametrize(
    "name, column, freq, statement, options",
    [
        ("airline", "passengers", "M", "monthly", {}),
        ("seatbelts", "drivers", "M", "monthly tdregr=adjust", {"tdregr": "adjust"}),
        ("ukgas", "gas", "Q", "quarterly additive", {"additive": True}),
        ("usaccdeaths", "deaths", "M", "monthly; arima model=(dif=1 q=1 sdif=1 sq=1) transform=log",
         {"arima": {"dif": 1, "q": 1, "sdif": 1, "sq": 1, "transform": "log"}}),
    ],
)
def test_equals_the_commands_output_data_set(tmp_path, name, column, freq, statement, options):
    statement = statement.replace("monthly", "monthly date=date").replace("quarterly", "quarterly date=date")
    names = " ".join(f"{t.lower()}={t}" for t in TABLES if freq == "M" or t != "C16")
    run = run_command(tmp_path, f"proc x11 data=d.{name} noprint; {statement}; var {column};\n"
                                f"output out=o {names}; run;")
    assert run.returncode == 0, (tmp_path / "log.txt").read_text()
    want = read_out(tmp_path / "o.csv")
    got = x11sa.adjust(read_series(name, column, freq), **options)
    assert got.exit_level == 0, got.log
    compared = [t for t in TABLES if t in want.columns]
    assert len(compared) >= 6
    for t in compared:
        assert same_numbers(got.tables[t], want[t]), t


def test_every_index_form_gives_the_same_adjustment():
    by_period = read_series("airline", "passengers")
    r = x11sa.adjust(by_period)
    assert r.frequency == "monthly"
    assert r.tables.columns[0] == "A1" and {"B1", "D11", "F1"} <= set(r.tables.columns)
    assert r.tables.index[0] == pd.Timestamp("1949-01-01") and len(r.tables) == 144
    for index in (by_period.index.to_timestamp(how="end"), by_period.index.to_timestamp() + pd.Timedelta(days=14)):
        other = x11sa.adjust(pd.Series(by_period.to_numpy(), index=index))
        pd.testing.assert_frame_equal(other.tables, r.tables, check_exact=True)
    # Quarters are inferred from the index, whichever month dates them.
    gas = read_series("ukgas", "gas", "Q")
    quarterly = x11sa.adjust(gas)
    assert quarterly.frequency == "quarterly"
    shifted = x11sa.adjust(pd.Series(gas.to_numpy(), index=gas.index.to_timestamp() + pd.DateOffset(months=2)))
    pd.testing.assert_frame_equal(shifted.tables, quarterly.tables, check_exact=True)


def test_tests_and_summary_describe_the_adjustment():
    r = x11sa.adjust(read_series("airline", "passengers"))
    assert r.tests["seasonality"] == "present"
    assert r.tests["stable_f"] > 100 and r.tests["stable_p"] < 0.001
    assert r.tests["kruskal_wallis_df"] == 11
    s = r.summary
    assert s["henderson"] in (9, 13, 23) and s["ic_ratio"] > 0
    assert 1 <= s["mcd"] <= 6 and len(s["f2_ic_ratio"]) == 12 and len(s["d9a"]) == 12
    assert set(s["e4"]) == set(range(1949, 1961))
    assert "arima" not in s and "spans" not in s
    text = repr(r)
    assert "'passengers'" in text and "1949-01 to 1960-12" in text and "seasonality present" in text

    extended = x11sa.adjust(read_series("airline", "passengers"), arima="auto", yraheadout=True)
    a = extended.summary["arima"]
    assert a["status"] == "extended" and a["model"].startswith("(") and len(a["forecasts"]) == 12
    assert a["mape"] < 15 and all(np.isfinite(p["estimate"]) for p in a["parameters"])
    assert "ARIMA" in repr(extended)
    # A year of seasonal factors ahead: D10 fills it, D11 does not.
    assert len(extended.tables) == 156 and extended.tables.index[-1] == pd.Timestamp("1961-12-01")
    assert extended.tables["D10"].iloc[-12:].notna().all() and extended.tables["D11"].iloc[-12:].isna().all()

    spans = x11sa.adjust(read_series("airline", "passengers"), sspan=True).summary["spans"]
    assert spans["spans"] >= 2 and 0 <= spans["seasonal_factors"]["percent"] <= 100


def test_missing_values_prior_factors_and_warnings():
    s = read_series("airline", "passengers")
    plain = x11sa.adjust(s)
    holed = s.copy()
    holed.iloc[:3] = np.nan
    r = x11sa.adjust(holed)
    assert r.tables["D11"].iloc[:3].isna().all() and r.tables["D11"].iloc[3:].notna().all()
    neutral = x11sa.adjust(s, prior_factors=np.full(len(s), 100.0))
    np.testing.assert_allclose(neutral.tables["D11"], plain.tables["D11"], rtol=1e-12)
    # A warning is kept in the log, with its severity.
    warned = x11sa.adjust(s, arima={"dif": 1, "q": 1, "sdif": 1, "sq": 1, "backcast": 6})
    warnings = [text for severity, text in warned.messages if severity == "WARNING"]
    assert any("BACKCAST=" in text for text in warnings), warned.log
    assert [f"WARNING: {text}" for text in warnings] == [line for line in warned.log if line.startswith("WARNING")]


def test_listing_with_the_print_and_table_choices():
    s = read_series("airline", "passengers")
    assert x11sa.adjust(s).listing == ""
    full = x11sa.adjust(s, listing=True).listing
    assert "Seasonal Adjustment of passengers" in full and "Final Seasonally Adjusted Series" in full
    d11 = x11sa.adjust(s, listing={"tables": ["d11"], "linesize": 64}).listing
    assert "Final Seasonally Adjusted Series" in d11 and "Final Seasonal Factors" not in d11
    assert max(len(line) for line in d11.splitlines()) <= 64
