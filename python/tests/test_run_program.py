"""x11sa.run_program: the full language, with libraries, from Python."""

import x11sa
from conftest import DATA, read_out, read_series, same_numbers


def test_a_program_writes_its_data_set_and_listing(tmp_path):
    r = x11sa.run_program("proc x11 data=d.airline; monthly date=date; var passengers; tables d11;\n"
                          "output out=w.o d11=d11; run;", libs={"d": DATA, "w": tmp_path})
    assert r.exit_status == 0 and [s["exit_level"] for s in r.steps] == [0]
    assert "Final Seasonally Adjusted Series" in r.listing
    assert any("PROC X11 step at line 1" in line for line in r.log)
    got = read_out(tmp_path / "o.csv")["d11"]
    assert same_numbers(got, x11sa.adjust(read_series("airline", "passengers")).tables["D11"])
    assert "exit status 0" in repr(r)


def test_faults_of_a_program(tmp_path):
    r = x11sa.run_program("proc x11 data=d.airline; monthly date=date trendma=10; var passengers; run;",
                          libs={"d": DATA})
    assert r.exit_status == 1 and r.steps[0]["exit_level"] > 4
    assert any(line.startswith("ERROR") and "TRENDMA=" in line for line in r.log)
    missing = x11sa.run_program("proc x11 data=d.nothing; monthly; var x; run;", libs={"d": tmp_path})
    assert missing.exit_status == 1
