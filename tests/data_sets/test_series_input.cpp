// Reading the series of BY groups: the rows kept, each variable's span and
// values, the prior factors and the BY values, with the message and the
// exit level of each fault.
#include <gtest/gtest.h>

#include <functional>

#include <fmt/format.h>

#include "data/series_input.h"
#include "data_sets/step_under_test.h"
#include "host/dates.h"

namespace x11sa::test {
namespace {

// "date,<header>" and `n` rows, row i dated month i from January 1990 (or
// `month(i)`), followed by cells(i).
std::string monthly(const std::string& header, int n, const std::function<std::string(int)>& cells,
                    const std::function<int(int)>& month = [](int i) { return i; }) {
  std::string csv = "date," + header + "\n";
  for (int i = 0; i < n; ++i)
    csv += fmt::format("{}-{:02}-01,{}\n", 1990 + month(i) / 12, month(i) % 12 + 1, cells(i));
  return csv;
}

std::vector<double> series(GroupData& g, std::size_t variable) {
  std::vector<double> v(static_cast<std::size_t>(g.calendar.rows));
  g.values.read_series(variable, v);
  return v;
}

GroupData only_group(StepUnderTest& step) {
  SeriesInput input(step.options(), step.input(), step.host());
  std::optional<GroupData> g = input.next_group();
  EXPECT_TRUE(g.has_value());
  EXPECT_FALSE(input.next_group().has_value());
  return g ? std::move(*g) : GroupData{};
}

TEST(SeriesInput, LeadingAndEmbeddedMissingValuesBoundEachSeries) {
  // a: two missing, 40 values, a missing value, then two more values.
  StepUnderTest step(monthly("a,b", 45,
                             [](int i) {
                               return fmt::format("{},{}", i < 2 || i == 42 ? "" : std::to_string(100 + i), 50 + i);
                             }),
                     "; monthly date=date; var a b;");
  GroupData g = only_group(step);
  EXPECT_EQ(g.exit_level, exit_level::kNormal) << step.log();
  EXPECT_EQ(g.calendar.rows, 45);
  const VariableReading& a = g.variables[0];
  EXPECT_EQ(a.leading_missing, 2);
  EXPECT_EQ(a.observations, 40);
  EXPECT_DOUBLE_EQ(a.first_date, date_from_mdy(3, 1, 1990));
  EXPECT_DOUBLE_EQ(a.last_date, date_from_mdy(6, 1, 1993));
  EXPECT_EQ(a.first_period, 2);
  EXPECT_TRUE(a.adjustable);
  EXPECT_EQ(g.variables[1].observations, 45);
  EXPECT_EQ(step.count(22), 1);
  EXPECT_EQ(step.count(24), 1);
  EXPECT_NE(step.log().find("Variable a has values after a missing value ends its series of 40"), std::string::npos);
  // The values are those of every kept row; they spilled past the small limit.
  const std::vector<double> va = series(g, 0);
  EXPECT_TRUE(is_missing(va[1]) && is_missing(va[42]));
  EXPECT_EQ(va[2], 102.0);
  EXPECT_EQ(va[44], 144.0);
  EXPECT_EQ(series(g, 1)[44], 94.0);
  EXPECT_TRUE(g.can_be_adjusted());
}

TEST(SeriesInput, DatesThatAreNotConsecutiveAreListedUpToTen) {
  // Each of the first 12 rows after the first skips a month.
  StepUnderTest step(monthly("a", 48, [](int i) { return std::to_string(100 + i); },
                             [](int i) { return i + std::min(i, 12); }),
                     "; monthly date=date; var a;");
  const GroupData g = only_group(step);
  EXPECT_EQ(step.count(23), 10);
  EXPECT_EQ(step.count(65), 1);
  EXPECT_NE(step.log().find("JAN1990 is followed by MAR1990 at observation 2"), std::string::npos) << step.log();
  EXPECT_EQ(g.exit_level, exit_level::kDataError);
}

// Dates of the other frequency from the first row to the last get one
// message that says so, instead of one per step that is not a period.
TEST(SeriesInput, DatesOfTheOtherFrequencyGetOneMessage) {
  const auto values = [](int i) { return std::to_string(100 + i); };
  const auto errors = [](const std::string& log) {
    long n = 0;
    for (std::size_t at = log.find("ERROR:"); at != std::string::npos; at = log.find("ERROR:", at + 1)) ++n;
    return n;
  };
  StepUnderTest monthly_dates(monthly("a", 48, values), "; quarterly date=date; var a;");
  GroupData g = only_group(monthly_dates);
  EXPECT_EQ(g.exit_level, exit_level::kDataError);
  EXPECT_EQ(errors(monthly_dates.log()), 1) << monthly_dates.log();
  EXPECT_NE(monthly_dates.log().find("ERROR: The DATE= variable date holds monthly dates (JAN1990 to DEC1993, one "
                                     "month apart), but the QUARTERLY statement reads quarters; use the MONTHLY "
                                     "statement for a monthly series.\n"),
            std::string::npos)
      << monthly_dates.log();

  StepUnderTest quarterly_dates(monthly("a", 20, values, [](int i) { return 3 * i + 1; }),
                                "; monthly date=date; var a;");
  g = only_group(quarterly_dates);
  EXPECT_EQ(g.exit_level, exit_level::kDataError);
  EXPECT_EQ(errors(quarterly_dates.log()), 1) << quarterly_dates.log();
  EXPECT_NE(quarterly_dates.log().find("ERROR: The DATE= variable date holds quarterly dates (1990Q1 to 1994Q4, "
                                       "three months apart), but the MONTHLY statement reads months; use the "
                                       "QUARTERLY statement for a quarterly series.\n"),
            std::string::npos)
      << quarterly_dates.log();

  // Monthly dates with a gap are not monthly throughout: each step that is
  // not a quarter is listed, in the order of the rows.
  StepUnderTest gap(monthly("a", 48, values, [](int i) { return i + (i >= 30 ? 1 : 0); }),
                    "; quarterly date=date; var a;");
  g = only_group(gap);
  EXPECT_EQ(g.exit_level, exit_level::kDataError);
  EXPECT_EQ(gap.count(23), 10);
  EXPECT_EQ(gap.count(65), 1);
  EXPECT_NE(gap.log().find("1990Q1 is followed by 1990Q1 at observation 2"), std::string::npos) << gap.log();
  EXPECT_EQ(gap.log().find("holds monthly dates"), std::string::npos) << gap.log();
}

TEST(SeriesInput, StartAndEndSelectTheRows) {
  const auto values = [](int i) { return std::to_string(100 + i); };
  // Reading stops after END=: the missing date of the last row goes unseen.
  StepUnderTest by_date(monthly("a", 72, values) + ",1\n", "; monthly date=date start=jan1991 end=dec1994; var a;");
  GroupData g = only_group(by_date);
  EXPECT_EQ(g.calendar.rows, 48);
  ASSERT_EQ(g.calendar.dates.size(), 48u);
  EXPECT_DOUBLE_EQ(g.calendar.first_date, date_from_mdy(1, 1, 1991));
  EXPECT_DOUBLE_EQ(g.calendar.dates.back(), date_from_mdy(12, 1, 1994));
  EXPECT_EQ(series(g, 0)[0], 112.0);
  EXPECT_EQ(g.exit_level, exit_level::kNormal) << by_date.log();

  // Without DATE= the first row is START= and END= counts the rows.
  std::string undated = "a\n";
  for (int i = 0; i < 60; ++i) undated += values(i) + "\n";
  StepUnderTest by_count(undated, "; monthly start=mar1990 end=feb1993; var a;");
  g = only_group(by_count);
  EXPECT_EQ(g.calendar.rows, 36);
  EXPECT_TRUE(g.calendar.dates.empty());
  EXPECT_DOUBLE_EQ(g.calendar.first_date, date_from_mdy(3, 1, 1990));
  EXPECT_DOUBLE_EQ(g.variables[0].last_date, date_from_mdy(2, 1, 1993));

  // A missing date stops the group.
  StepUnderTest missing_date("date,a\n1990-01-01,1\n,2\n1990-03-01,3\n", "; monthly date=date; var a;");
  g = only_group(missing_date);
  EXPECT_EQ(missing_date.count(21), 1);
  EXPECT_NE(missing_date.log().find("date at observation 2"), std::string::npos);
  EXPECT_EQ(g.exit_level, exit_level::kDataError);
  EXPECT_EQ(g.calendar.rows, 0);

  // Nothing between START= and END=.
  StepUnderTest none(monthly("a", 48, values), "; monthly date=date start=jan2001; var a;");
  EXPECT_EQ(only_group(none).exit_level, exit_level::kDataError);
  EXPECT_EQ(none.count(66), 1);
}

TEST(SeriesInput, BadValuesRejectTheirVariable) {
  const std::string csv = monthly("a,b,c", 40, [](int i) {
    return fmt::format("{},{},{}", i == 4 ? "0" : "10", i == 6 ? "1.5e154" : "10", 10 + i);
  });
  StepUnderTest multiplicative(csv, "; monthly date=date; var a b c;");
  GroupData g = only_group(multiplicative);
  EXPECT_NE(multiplicative.log().find("Variable a has a value of zero or below at observation 5"), std::string::npos);
  EXPECT_NE(multiplicative.log().find("The value 1.5e+154 of variable b is too large"), std::string::npos);
  EXPECT_FALSE(g.variables[0].adjustable || g.variables[1].adjustable);
  EXPECT_TRUE(g.variables[2].adjustable);
  EXPECT_EQ(g.exit_level, exit_level::kNormal);

  StepUnderTest additive(csv, "; monthly date=date additive; var a b;");
  g = only_group(additive);
  EXPECT_EQ(additive.count(27), 0);
  EXPECT_TRUE(g.variables[0].adjustable);
  EXPECT_FALSE(g.variables[1].adjustable);

  // With no variable left the group is a data error.
  StepUnderTest none(csv, "; monthly date=date; var a b;");
  EXPECT_EQ(only_group(none).exit_level, exit_level::kDataError);
  EXPECT_EQ(none.count(37), 1);
}

TEST(SeriesInput, TooFewObservations) {
  const std::string csv = monthly("a,b", 40, [](int i) { return fmt::format("{},{}", i < 5 ? "" : "1", 1); });
  StepUnderTest step(csv, "; monthly date=date; var a b;");
  GroupData g = only_group(step);
  EXPECT_NE(step.log().find("Variable a has only 35 observations"), std::string::npos) << step.log();
  EXPECT_EQ(g.exit_level, exit_level::kWarning);
  EXPECT_TRUE(g.can_be_adjusted());
  StepUnderTest alone(csv, "; monthly date=date; var a;");
  EXPECT_EQ(only_group(alone).exit_level, exit_level::kDataError);
}

TEST(SeriesInput, ByGroupsAreReadOneAtATime) {
  // Two groups of 40 months; the prior factors miss two values in each, the
  // second group's dates skip a month at its fifth row (row 45 of the file).
  const std::string csv = monthly("g,a,pf", 80, [](int i) {
    return fmt::format("{},{},{}", i < 40 ? "north" : "south", 100 + i, i % 20 == 1 ? "" : "101");
  }, [](int i) { return i < 44 ? i : i + 1; });
  StepUnderTest step(csv, "; monthly date=date pmfactor=pf; var a; by g;");
  SeriesInput input(step.options(), step.input(), step.host());
  std::optional<GroupData> north = input.next_group();
  ASSERT_TRUE(north.has_value());
  EXPECT_EQ(north->by_values, std::vector<CellValue>{std::string("north")});
  EXPECT_EQ(north->exit_level, exit_level::kNormal);
  std::vector<double> factors(40);
  north->values.read_prior_factors(factors);
  EXPECT_EQ(factors[0], 101.0);
  EXPECT_EQ(factors[1], 100.0);
  std::optional<GroupData> south = input.next_group();
  ASSERT_TRUE(south.has_value());
  EXPECT_EQ(south->by_values, std::vector<CellValue>{std::string("south")});
  EXPECT_EQ(series(*south, 0)[0], 140.0);
  EXPECT_EQ(south->exit_level, exit_level::kGroupDataError);
  EXPECT_NE(step.log().find("at observation 45"), std::string::npos);
  EXPECT_EQ(step.count(31), 2);  // once per group
  EXPECT_FALSE(input.next_group().has_value());
}

TEST(SeriesInput, PriorFactorsThatCannotBeAppliedStopTheGroup) {
  for (const char* bad : {"0", "inf"}) {
    StepUnderTest step(monthly("a,pf", 40, [&](int i) { return fmt::format("1,{}", i == 2 ? bad : "100"); }),
                       "; monthly date=date pmfactor=pf; var a;");
    const GroupData g = only_group(step);
    EXPECT_NE(step.log().find(fmt::format("has the value {} at observation 3", bad)), std::string::npos)
        << step.log();
    EXPECT_EQ(g.exit_level, exit_level::kDataError);
    EXPECT_FALSE(g.can_be_adjusted());
  }
  // Additive factors are differences: a missing one is 0.
  StepUnderTest additive(monthly("a,pf", 40, [](int i) { return fmt::format("1,{}", i == 2 ? "" : "5"); }),
                         "; monthly date=date additive pmfactor=pf; var a;");
  GroupData g = only_group(additive);
  std::vector<double> factors(40);
  g.values.read_prior_factors(factors);
  EXPECT_EQ(factors[2], 0.0);
  EXPECT_EQ(factors[3], 5.0);
}

TEST(SeriesInput, SeriesHeldInMemory) {
  std::string log;
  Host host(TextOut(&log), TextOut(), TextOut(), HostSettings{});
  StepOptions step;
  step.start = date_from_mdy(1, 1, 1990);
  step.vars.analysis = {0};
  step.vars.prior_factors = 1;
  std::vector<double> values(40, 5.0);
  values[2] = -1.0;
  std::vector<double> priors(40, kMissing);
  GroupData g = read_series(step, "series", values, priors, host);
  EXPECT_NE(log.find("Variable series has a value of zero or below at observation 3"), std::string::npos) << log;
  EXPECT_TRUE(host.logged(31));
  EXPECT_EQ(g.calendar.rows, 40);
  EXPECT_FALSE(g.calendar.first_row.has_value());
  EXPECT_EQ(g.exit_level, exit_level::kDataError);  // its only variable was rejected
}

}  // namespace
}  // namespace x11sa::test
