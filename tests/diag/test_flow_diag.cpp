// The diagnostics in the plain flow: when they run and print, the OUTSTB=
// rows read back, plausible verdicts on real and random series, and the
// series that tables E5, E6 and F2 rest on.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <sstream>

#include "diag/flow_capture.h"
#include "diag/fsummary.h"
#include "diag/ftests.h"

namespace x11sa::test {
namespace {

SeriesOptions monthly_from(int year) {
  SeriesOptions o;
  o.start_year = year;
  return o;
}

std::vector<double> airline() { return data_column("airline.csv", "passengers"); }

// Positions of the named tables in the order they were printed (-1 if not).
std::vector<int> positions(const CaptureSink& c, const std::vector<std::string>& names) {
  std::vector<int> at;
  for (const auto& n : names) {
    int found = -1;
    for (std::size_t k = 0; k < c.tables.size(); ++k)
      if (c.tables[k].name == n) found = static_cast<int>(k);
    at.push_back(found);
  }
  return at;
}

const std::vector<std::string> kTestTables = {"STABLE_FT", "MOVING_FT", "KruskalWallisTest",
                                              "CombinedSeasonalityTest"};

// Every text of the captured tables: titles, headings, cells and notes.
std::vector<std::string> texts(const CaptureSink& c) {
  std::vector<std::string> all;
  for (const auto& t : c.tables) {
    all.push_back(t.title);
    for (const auto& col : t.columns) all.push_back(col.label);
    for (const auto& row : t.rows)
      for (const auto& cell : row)
        if (const auto* s = std::get_if<std::string>(&cell)) all.push_back(*s);
    all.insert(all.end(), t.notes.begin(), t.notes.end());
  }
  return all;
}

TEST(DiagnosticsInTheFlow, EveryMessageOfTheDiagnosticsExists) {
  SeriesOptions q;
  q.method.frequency = Frequency::Quarterly;
  q.start_year = 1960;
  SeriesOptions additive = monthly_from(1920);
  additive.method.mode = Mode::Additive;
  for (const auto& run : {run_flow(airline(), monthly_from(1949), 1), run_flow(data_column("ukgas.csv", "gas"), q, 1),
                          run_flow(data_column("nottingham.csv", "temp"), additive, 1)}) {
    ASSERT_GE(run->capture.tables.size(), 20u);
    for (const auto& s : texts(run->capture)) {
      EXPECT_EQ(s.find("missing from the catalogue"), std::string::npos) << s;
      EXPECT_EQ(s.find("arguments do not fit"), std::string::npos) << s;
    }
  }
}

TEST(DiagnosticsInTheFlow, StandardPrintoutPrintsEveryDiagnosticOnceInOrder) {
  const auto run = run_flow(airline(), monthly_from(1949), 1);
  const auto at = positions(run->capture, {"D8", "STABLE_FT", "MOVING_FT", "KruskalWallisTest",
                                           "CombinedSeasonalityTest", "D9", "D9A", "D10", "E3", "E4", "E5", "F1",
                                           "F2A", "F2B", "F2C", "F2D", "F2F"});
  for (std::size_t k = 0; k < at.size(); ++k) {
    ASSERT_GE(at[k], 0) << k;
    if (k > 0) {
      EXPECT_LT(at[k - 1], at[k]) << k;
    }
  }
  for (const char* name : {"STABLE_FT", "D9A", "E4", "F2A"}) EXPECT_EQ(run->capture.count(name), 1) << name;
  // The stable test of a strongly seasonal series has the small-probability note.
  EXPECT_EQ(run->capture.find("STABLE_FT")->notes, std::vector<std::string>{msgtext(383)});
  EXPECT_EQ(run->capture.find("MOVING_FT")->notes, std::vector<std::string>{msgtext(353, run->com->ftest.p[1])});
}

TEST(DiagnosticsInTheFlow, TablesStatementSelectsTheDiagnosticsWithTheirTables) {
  const auto select = [](std::initializer_list<int> bits) {
    return [bits](X11COM* Xp) {
      Xp->op.noprint_f = 0;
      for (int b : bits) set_table_bit(Xp, b);
    };
  };
  const auto names = [](const FlowRun& r) {
    std::vector<std::string> v;
    for (const auto& t : r.capture.tables) v.push_back(t.name);
    return v;
  };
  // D8 (bit 49): the tests follow it; D9A only with D9.
  auto run = run_flow(airline(), monthly_from(1949), 0, select({49}));
  std::vector<std::string> want = {"D8"};
  want.insert(want.end(), kTestTables.begin(), kTestTables.end());
  EXPECT_EQ(names(*run), want);
  run = run_flow(airline(), monthly_from(1949), 0, select({50}));
  EXPECT_EQ(names(*run), (std::vector<std::string>{"D9", "D9A"}));
  // E4 (bit 58) and F2 (bit 62) alone.
  run = run_flow(airline(), monthly_from(1949), 0, select({58, 62}));
  EXPECT_EQ(names(*run), (std::vector<std::string>{"E4", "F2A", "F2B", "F2C", "F2D", "F2F"}));
}

TEST(DiagnosticsInTheFlow, TestsRunSilentlyForOutstbAndNotAtAllOtherwise) {
  auto run = run_flow(airline(), monthly_from(1949), 0);
  EXPECT_TRUE(run->capture.tables.empty());
  EXPECT_EQ(run->com->ftest.f[0], 0.0);  // never computed
  EXPECT_TRUE(is_missing(run->com->stbaov.ss[0]));
  run = run_flow(airline(), monthly_from(1949), 0, [](X11COM* Xp) { Xp->op.outstb_f = 1; });
  EXPECT_TRUE(run->capture.tables.empty());
  EXPECT_GT(run->com->ftest.f[0], 100.0);
  EXPECT_EQ(run->com->ftest.fail, 0);
  // The sliding spans call the same tests silently: same results, no table.
  X11COM* Xp = run->com.get();
  const FTEST before = Xp->ftest;
  Xp->op.noprint_f = 0;
  Xp->printout = 1;
  x11d8tests(Xp, 0);
  EXPECT_TRUE(run->capture.tables.empty());
  EXPECT_EQ(Xp->ftest.f[0], before.f[0]);
  EXPECT_EQ(Xp->ftest.fail, before.fail);
}

TEST(DiagnosticsInTheFlow, VerdictsArePlausibleOnRealAndRandomSeries) {
  const auto silent = [](X11COM* Xp) { Xp->op.outstb_f = 1; };
  // The airline passengers: identifiable seasonality present.
  EXPECT_EQ(run_flow(airline(), monthly_from(1949), 0, silent)->com->ftest.fail, 0);
  // Quarterly gas consumption: present.
  SeriesOptions q;
  q.method.frequency = Frequency::Quarterly;
  q.start_year = 1960;
  EXPECT_EQ(run_flow(data_column("ukgas.csv", "gas"), q, 0, silent)->com->ftest.fail, 0);
  // White noise around a level: none.
  for (unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> z(0.0, 2.0);
    std::vector<double> noise(120);
    for (double& v : noise) v = 100.0 + z(gen);
    const auto run = run_flow(noise, monthly_from(1990), 0, silent);
    EXPECT_EQ(run->com->ftest.fail, 2) << seed;
    EXPECT_GT(run->com->ftest.p[0], 0.001) << seed;
    EXPECT_GT(run->com->kwstats.prob, 0.001) << seed;
  }
}

TEST(DiagnosticsInTheFlow, F2DescribesTheSeriesAsRead) {
  // With prior monthly factors B1 is the prior-adjusted series; O of F2 is
  // the series as read, so that P takes its share of O's change.
  auto values = airline();
  SeriesOptions o = monthly_from(1949);
  for (std::size_t t = 0; t < values.size(); ++t) o.prior_factors.push_back(100.0 + 3.0 * std::sin(0.9 * static_cast<double>(t)));
  const auto run = run_flow(values, o, 1);
  X11COM* Xp = run->com.get();
  const X11FLOW& f = Xp->x11flow;
  std::array<double, 48> as_read{}, adjusted{};
  x11sum(Xp, as_read.data(), Xp->work.original_in, f.real_begin, f.real_end, 2);
  x11sum(Xp, adjusted.data(), Xp->work.b1, f.real_begin, f.real_end, 2);
  const OdsTable* a = run->capture.find("F2A");
  ASSERT_NE(a, nullptr);
  for (std::size_t k = 0; k < 12; ++k) EXPECT_DOUBLE_EQ(num(*a, k, 1), as_read[k]) << k;
  EXPECT_GT(std::fabs(as_read[0] - adjusted[0]), 0.01);
  EXPECT_GT(num(*a, 0, 6), 1.0);  // P moves about 3 percent a month
  const OdsTable* b = run->capture.find("F2B");
  ASSERT_NE(b, nullptr);
  EXPECT_GT(num(*b, 0, 4), 1.0);  // P's share
}

TEST(DiagnosticsInTheFlow, ChangesStartOnePeriodAfterTheFirstValue) {
  const auto r = adjust_series(airline(), monthly_from(1949));
  ASSERT_EQ(r.exit_level, 0) << r.log;
  const auto a1 = r.table("A1");
  const auto d11 = r.table("D11");
  const auto e5 = r.table("E5");
  const auto e6 = r.table("E6");
  EXPECT_TRUE(is_missing(e5[0]));
  EXPECT_TRUE(is_missing(e6[0]));
  for (std::size_t t = 1; t < a1.size(); ++t) {
    EXPECT_NEAR(e5[t], (a1[t] - a1[t - 1]) / a1[t - 1] * 100.0, 1e-9) << t;
    EXPECT_NEAR(e6[t], (d11[t] - d11[t - 1]) / d11[t - 1] * 100.0, 1e-9) << t;
  }
}

// A CSV of two BY groups and two variables: the airline series and a
// rescaled, shifted copy.
std::string two_groups() {
  const auto x = airline();
  std::ostringstream s;
  s.precision(17);
  s << "g,date,x,y\n";
  for (const char* g : {"a", "b"})
    for (std::size_t t = 0; t < x.size(); ++t) {
      const std::size_t m = t % 12 + 1;
      s << g << ',' << 1949 + t / 12 << '-' << (m < 10 ? "0" : "") << m << "-01," << x[t] << ','
        << (g[0] == 'a' ? 2.0 : 3.0) * x[t] + 50.0 << '\n';
    }
  return s.str();
}

TEST(Outstb, RowsPerVariableAndGroupReadBack) {
  ScratchDir dir;
  dir.write("in.csv", two_groups());
  const auto run = run_in(dir, "proc x11 data=in outstb=stb noprint; monthly date=date; var x y; by g; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table t = read_table(dir.path() / "stb.csv");
  EXPECT_EQ(t.names, (std::vector<std::string>{"VARNAME", "TABLE", "SOURCE", "SS", "DF", "MS", "F", "PROBF", "g"}));
  ASSERT_EQ(t.rows, 2 * 2 * 5);
  const auto ref = reference_stats("airline");
  const std::vector<std::string> sources = {msgtext(350), msgtext(391), msgtext(392), msgtext(351), msgtext(352)};
  for (long r = 0; r < t.rows; ++r) {
    const auto k = static_cast<std::size_t>(r);
    EXPECT_EQ(t.text.at("g")[k], r < 10 ? "a" : "b");
    EXPECT_EQ(t.text.at("VARNAME")[k], (r / 5) % 2 == 0 ? "x" : "y");
    EXPECT_EQ(t.text.at("TABLE")[k], "D8");
    EXPECT_EQ(t.text.at("SOURCE")[k], sources[k % 5]);
    // F and its probability only on the rows that carry a test.
    const bool test_row = r % 5 == 0 || r % 5 == 3;
    EXPECT_EQ(is_missing(t.num.at("F")[k]), !test_row) << r;
    EXPECT_EQ(is_missing(t.num.at("PROBF")[k]), !test_row) << r;
    EXPECT_EQ(is_missing(t.num.at("MS")[k]), r % 5 == 2) << r;
  }
  // Variable x of group a is the airline reference run.
  const auto& ss = t.num.at("SS");
  const auto& df = t.num.at("DF");
  EXPECT_NEAR(ss[0], ref_num(ref, "stable/ss_between"), 1e-9 * ss[0]);
  EXPECT_NEAR(ss[1], ref_num(ref, "stable/ss_residual"), 1e-9 * ss[1]);
  EXPECT_NEAR(ss[2], ref_num(ref, "stable/ss_total"), 1e-9 * ss[2]);
  EXPECT_EQ(df[0], 11);
  EXPECT_EQ(df[1], 132);
  EXPECT_EQ(df[2], 143);
  EXPECT_NEAR(t.num.at("F")[0], ref_num(ref, "stable/F"), 1e-9 * 200);
  EXPECT_NEAR(t.num.at("PROBF")[0], ref_num(ref, "stable/prob"), 1e-9 * ref_num(ref, "stable/prob"));
  EXPECT_NEAR(ss[3], ref_num(ref, "moving/ss_between_years"), 1e-9 * ss[3]);
  EXPECT_NEAR(ss[4], ref_num(ref, "moving/ss_error"), 1e-9 * ss[4]);
  EXPECT_EQ(df[3], 11);
  EXPECT_EQ(df[4], 121);
  EXPECT_NEAR(t.num.at("F")[3], ref_num(ref, "moving/F"), 1e-9);
  // Group b repeats x, so its figures are those of group a.
  for (std::size_t k = 0; k < 5; ++k) EXPECT_DOUBLE_EQ(ss[10 + k], ss[k]) << k;
}

TEST(Outstb, QuarterlyRowsNameTheQuarters) {
  ScratchDir dir;
  dir.copy_data("ukgas.csv");
  const auto run = run_in(dir, "proc x11 data=ukgas outstb=stb; quarterly date=date; var gas; tables d13; run;");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table t = read_table(dir.path() / "stb.csv");
  ASSERT_EQ(t.rows, 5);
  EXPECT_EQ(t.text.at("SOURCE")[0], msgtext(354));
  EXPECT_EQ(t.num.at("DF")[0], 3);
  // D8 was not printed: the tests ran silently, the listing has no test.
  EXPECT_EQ(run.listing.find(msgtext(184)), std::string::npos);
}

}  // namespace
}  // namespace x11sa::test
