// The output data sets as a user reads them back: OUT= rows of two
// variables and their tables with BY and ID values, OUTSTB=, OUTTDR= and
// OUTSPAN= rows from small records, and what committing leaves behind.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "data/output_datasets.h"
#include "data_sets/step_under_test.h"
#include "host/dates.h"

namespace x11sa::test {
namespace {

// Two BY groups of 38 months, the first from January 1990.
std::string two_groups() {
  std::string csv = "g,id,date,a,b\n";
  for (int i = 0; i < 76; ++i)
    csv += fmt::format("{},r{},{}-{:02}-01,{},{}\n", i < 38 ? 1 : 2, i, 1990 + i / 12, i % 12 + 1, 100 + i, 200 + i);
  return csv;
}

TEST(OutputDataSets, OutRowsOfTwoVariablesWithByAndIdValues) {
  StepUnderTest step(two_groups(), "; monthly date=date; var a b; by g; id id date; output out=o d11=a11 b11 d10=a10;");
  SeriesInput input(step.options(), step.input(), step.host());
  OutputDataSets sets(step.options(), step.input().vars(), step.host());
  ASSERT_EQ(sets.exit_level(), exit_level::kNormal) << step.log();
  EXPECT_FALSE(sets.out_has(1, x11sa::Table::D10));
  // One row before each group and one after it; each table column holds
  // 1000 * (its place in the data set) + row, b's only in the first group.
  for (int group = 0; group < 2; ++group) {
    std::optional<GroupData> g = input.next_group();
    ASSERT_TRUE(g.has_value());
    const long rows = g->calendar.rows + 2;
    sets.start_group(*g, {.rows = rows, .before = 1});
    auto column = [&](int place) {
      std::vector<double> v(static_cast<std::size_t>(rows));
      for (long r = 0; r < rows; ++r) v[static_cast<std::size_t>(r)] = 1000.0 * place + static_cast<double>(r);
      return v;
    };
    if (group == 0) sets.put_out_column(1, x11sa::Table::D11, column(3));
    sets.put_out_column(0, x11sa::Table::D11, column(2));
    sets.put_out_column(0, x11sa::Table::D10, column(1));
    sets.put_out_column(1, x11sa::Table::D10, column(9));  // not in OUT=
    sets.write_out_rows(*g, &step.input());
  }
  EXPECT_EQ(sets.commit(), exit_level::kNormal);
  EXPECT_NE(step.log().find("has 80 observations and 6 variables"), std::string::npos) << step.log();
  const test::Table out = read_table(step.dir().path() / "o.csv");
  EXPECT_EQ(out.names, (std::vector<std::string>{"g", "id", "date", "a10", "a11", "b11"}));
  ASSERT_EQ(out.rows, 80);
  const auto& date = out.num.at("date");
  const auto& id = out.text.at("id");
  // The first group: a row before it, its 38 rows, a row after.
  EXPECT_EQ(id[0], "");
  EXPECT_DOUBLE_EQ(date[0], date_from_mdy(12, 1, 1989));
  EXPECT_EQ(id[1], "r0");
  EXPECT_DOUBLE_EQ(date[1], date_from_mdy(1, 1, 1990));
  EXPECT_EQ(id[38], "r37");
  EXPECT_EQ(id[39], "");
  EXPECT_DOUBLE_EQ(date[39], date_from_mdy(3, 1, 1993));
  // The second group re-reads its own rows.
  EXPECT_EQ(out.num.at("g")[40], 2.0);
  EXPECT_DOUBLE_EQ(date[40], date_from_mdy(2, 1, 1993));
  EXPECT_EQ(id[41], "r38");
  EXPECT_EQ(id[78], "r75");
  EXPECT_EQ(out.num.at("a10")[5], 1005.0);
  EXPECT_EQ(out.num.at("a11")[41], 2001.0);
  EXPECT_EQ(out.num.at("b11")[39], 3039.0);
  EXPECT_TRUE(is_missing(out.num.at("b11")[41]));
}

TEST(OutputDataSets, TestAndRegressionRowsCarryTheByValues) {
  StepUnderTest step(two_groups(),
                     "outstb=s outtdr=t outspan=p; monthly date=date tdregr=adjust; var a; by g; sspan;");
  SeriesInput input(step.options(), step.input(), step.host());
  OutputDataSets sets(step.options(), step.input().vars(), step.host());
  ASSERT_EQ(sets.exit_level(), exit_level::kNormal) << step.log();
  std::optional<GroupData> g = input.next_group();
  g = input.next_group();
  ASSERT_TRUE(g.has_value());
  sets.start_group(*g);

  StableSeasonalityTest stable;
  stable.between_periods = {110.0, 11.0, 10.0};
  stable.residual = {20.0, 100.0, 0.2};
  stable.total = {130.0, 111.0, kMissing};
  stable.f = 50.0;
  stable.probability = 1e-5;
  MovingSeasonalityTest moving;
  moving.between_years = {3.0, 3.0, 1.0};
  moving.error = {33.0, 33.0, 1.0};
  moving.f = 1.0;
  moving.probability = 0.4;
  sets.write_outstb("a", stable, moving);

  B15Regression regression;
  regression.fit.coefficients = {0.2, -0.1, 0, 0, 0, 0, -0.1};
  regression.fit.months = 60;
  regression.fit.regression_ss = 6.0;
  regression.fit.total_ss = 20.0;
  regression.test.standard_errors.fill(0.1);
  regression.test.month_standard_errors = {0.1, 0.2, 0.3, 0.4};
  regression.test.error_ss = 14.0;
  regression.test.regression_ms = 1.0;
  regression.test.f = 3.9;
  regression.test.prob_f = 0.002;
  sets.write_outtdr("a", x11sa::Table::C15, regression);
  regression.fit.months = 5;  // no error degrees of freedom
  sets.write_outtdr("a", x11sa::Table::B15, regression);

  SpanLayout layout;
  layout.count = 2;
  layout.spans[0] = {0, 3, date_from_mdy(1, 1, 1993), date_from_mdy(3, 1, 1993)};
  layout.spans[1] = {1, 4, date_from_mdy(2, 1, 1993), date_from_mdy(4, 1, 1993)};
  const std::vector<SpanEstimates> spans(2, SpanEstimates{{99, 98, 97}, {10, 11, 12}, {}, {}});
  sets.write_outspan("a", layout, spans, std::vector<double>{1, 2, 3, 4});
  ASSERT_EQ(sets.commit(), exit_level::kNormal);

  const test::Table stb = read_table(step.dir().path() / "s.csv");
  EXPECT_EQ(stb.names.back(), "g");
  EXPECT_EQ(stb.text.at("SOURCE"),
            (std::vector<std::string>{"Between Months", "Residual", "Total", "Between Years", "Error"}));
  EXPECT_EQ(stb.num.at("SS"), (std::vector<double>{110, 20, 130, 3, 33}));
  EXPECT_TRUE(is_missing(stb.num.at("F")[1]) && is_missing(stb.num.at("PROBF")[4]) && is_missing(stb.num.at("MS")[2]));
  EXPECT_EQ(stb.num.at("g"), std::vector<double>(5, 2.0));

  const test::Table tdr = read_table(step.dir().path() / "t.csv");
  ASSERT_EQ(tdr.rows, 28);
  EXPECT_EQ(tdr.text.at("TABLE")[0], "C15");
  EXPECT_EQ(tdr.text.at("PARM")[0], "Monday");
  // Without PDWEIGHTS the prior weights are 1, so T1 and T2 coincide.
  EXPECT_DOUBLE_EQ(tdr.num.at("CWGT")[0], 1.2);
  EXPECT_DOUBLE_EQ(tdr.num.at("T1")[0], 2.0);
  EXPECT_DOUBLE_EQ(tdr.num.at("T2")[1], -1.0);
  EXPECT_NEAR(tdr.num.at("PROBT1")[0], tdr.num.at("PROBT2")[0], 1e-12);
  EXPECT_GT(tdr.num.at("PROBT1")[0], 0.0);
  EXPECT_EQ(tdr.text.at("PARM")[8], "30-Day-Month");
  EXPECT_EQ(tdr.num.at("STDERR")[8], 0.2);
  EXPECT_EQ(tdr.text.at("SOURCE")[12], "Error");
  EXPECT_EQ(tdr.num.at("DF")[12], 54.0);
  EXPECT_EQ(tdr.num.at("DF")[13], 60.0);
  EXPECT_TRUE(is_missing(tdr.num.at("F")[12]));
  EXPECT_EQ(tdr.text.at("TABLE")[14], "B15");
  EXPECT_TRUE(is_missing(tdr.num.at("PROBT1")[14]));
  EXPECT_EQ(tdr.num.at("DF")[26], 0.0);
  EXPECT_EQ(tdr.num.at("g")[27], 2.0);

  const test::Table spn = read_table(step.dir().path() / "p.csv");
  EXPECT_EQ(spn.names, (std::vector<std::string>{"DATE", "VARNAME", "SPAN", "A1", "C18", "D10", "D11", "g"}));
  EXPECT_EQ(spn.num.at("SPAN"), (std::vector<double>{1, 1, 1, 2, 2, 2}));
  EXPECT_EQ(spn.num.at("A1"), (std::vector<double>{1, 2, 3, 2, 3, 4}));
  EXPECT_DOUBLE_EQ(spn.num.at("DATE")[5], date_from_mdy(4, 1, 1993));
  EXPECT_TRUE(is_missing(spn.num.at("C18")[0]));
}

TEST(OutputDataSets, CommitWritesAndDiscardLeavesTheOldFiles) {
  StepUnderTest step(two_groups(), "; monthly date=date; var a; output out=o;");
  step.dir().write("o.csv", "kept\n");
  {
    OutputDataSets sets(step.options(), step.input().vars(), step.host());
    EXPECT_EQ(sets.exit_level(), exit_level::kWarning);
    EXPECT_EQ(step.count(28), 1);
    sets.discard();
    EXPECT_EQ(sets.commit(), exit_level::kNormal);
  }
  EXPECT_EQ(read_file(step.dir().path() / "o.csv"), "kept\n");
  OutputDataSets sets(step.options(), step.input().vars(), step.host());
  EXPECT_EQ(sets.commit(), exit_level::kNormal);
  EXPECT_EQ(read_file(step.dir().path() / "o.csv"), "date\n");
  EXPECT_EQ(step.host().last_dataset, (step.dir().path() / "o.csv").string());
}

}  // namespace
}  // namespace x11sa::test
