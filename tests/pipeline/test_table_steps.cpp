// The table steps, each from the reference tables of its inputs, against
// the reference table it computes: three runs (monthly multiplicative,
// monthly additive, quarterly) agree to 1e-9 relative, Henderson choices
// included, and missing exactly where the reference is.
#include "pipeline/table_steps.h"

#include <gtest/gtest.h>

#include <boost/property_tree/json_parser.hpp>
#include <cmath>
#include <string>
#include <vector>

#include "support/run_support.h"
#include "x11sa/missing.h"

namespace x11sa {
namespace {

using Vec = std::vector<double>;

struct ReferenceRun {
  const char* name;
  Frequency frequency;
  Mode mode;
};

class TableSteps : public ::testing::TestWithParam<ReferenceRun> {};

TEST_P(TableSteps, EachStepFromTheReferenceInputsGivesTheReferenceTable) {
  const ReferenceRun run = GetParam();
  auto t = test::read_table(test::data_file(std::string("reference/") + run.name + "_tables.csv")).num;
  boost::property_tree::ptree stats;
  boost::property_tree::read_json(test::data_file(std::string("reference/") + run.name + "_stats.json"), stats);
  AdjustmentOptions o;
  o.frequency = run.frequency;
  o.mode = run.mode;
  const long n = static_cast<long>(t["B1"].size());
  ASSERT_GT(n, 60);
  const long h = o.periods() / 2;
  const TableRange all{0, n, 0};  // all three series start in the first period of a year
  const TableRange centred{h, n - h, static_cast<int>(h)};
  Vec out(n), modified(n), s1(n), s2(n), s3(n);

  const auto check = [&](const std::string& table) {
    const Vec& want = t.at(table);
    for (long p = 0; p < n; ++p) {
      ASSERT_EQ(is_missing(out[p]), is_missing(want[p])) << table << " at " << p;
      if (!is_missing(want[p])) {
        ASSERT_NEAR(out[p], want[p], 1e-9 * std::fabs(want[p]) + 1e-9) << table << " at " << p;
      }
    }
    fill_missing(out);
  };
  const auto check_choice = [&](const std::string& table, const HendersonChoice& choice) {
    if (run.frequency == Frequency::Quarterly) {
      EXPECT_EQ(choice.length, 5) << table;
      return;
    }
    int found = 0;
    for (const auto& [key, h_entry] : stats.get_child("henderson")) {
      if (h_entry.get<std::string>("table") != table) continue;
      ++found;
      EXPECT_EQ(choice.length, h_entry.get<int>("length")) << table;
      const double ratio = h_entry.get<double>("ratioic");
      EXPECT_NEAR(choice.ic_ratio, ratio, 1e-9 * ratio) << table;
    }
    EXPECT_EQ(found, 1) << table;
  };
  fill_missing(out);

  for (const auto& [series, trend, si] : {std::tuple{"B1", "B2", "B3"}, {"C1", "C2", "C4"}, {"D1", "D2", "D4"}}) {
    b2_preliminary_trend(o, t[series], all, out);
    check(trend);
    b3_si_ratios(t[series], t[trend], centred, o.mode, out);
    check(si);
  }
  // Modified SI ratios: their replacements are the B4 and B9 tables, and the
  // seasonal factors of them B5 and B10.
  b4_modified_si_ratios(o, t["B3"], centred, SeasonalEstimate::Preliminary, modified, out, s1, s2);
  check("B4");
  b5_seasonal_factors(o, modified, centred, SeasonalEstimate::Preliminary, out, s1);
  check("B5");
  b4_modified_si_ratios(o, t["B8"], all, SeasonalEstimate::Final, modified, out, s1, s2);
  check("B9");
  b10_seasonal_factors(o, modified, all, SeasonalEstimate::Final, out, s1);
  check("B10");
  for (const auto& [si, factors] : {std::pair{"C4", "C5"}, {"D4", "D5"}}) {
    b5_seasonal_factors(o, t[si], centred, SeasonalEstimate::Preliminary, out, s1);
    check(factors);
  }
  b10_seasonal_factors(o, t["C9"], all, SeasonalEstimate::Final, out, s1);
  check("C10");

  for (const auto& [num, den, table] :
       {std::tuple{"B1", "B5", "B6"}, {"B1", "B7", "B8"}, {"B1", "B10", "B11"}, {"B11", "B7", "B13"},
        {"C1", "C5", "C6"}, {"C1", "C7", "C9"}, {"B1", "C10", "C11"}, {"C11", "C7", "C13"}, {"D1", "D5", "D6"},
        {"B1", "D10", "D11"}, {"D11", "D12", "D13"}}) {
    remove_component(t[num], t[den], all, o.mode, out);
    check(table);
  }
  b3_si_ratios(t["B1"], t["D7"], all, o.mode, out);
  check("D8");

  Vec seas_adj = t["B6"];
  check_choice("B7", b7_trend_cycle(o, seas_adj, all, out, s1, s2, s3));
  check("B7");
  for (const auto& [seasonally_adjusted, trend] : {std::pair{"C6", "C7"}, {"D6", "D7"}}) {
    check_choice(trend, c7_trend_cycle(o, t[seasonally_adjusted], all, out));
    check(trend);
  }
  check_choice("D12", d12_trend_cycle(o, t["D1"], t["D10"], all, out, s1));
  check("D12");

  for (const auto& [irregular, weights] : {std::pair{"B13", "B17"}, {"C13", "C17"}}) {
    b17_extreme_weights(o, t[irregular], all, out, s1);
    check(weights);
  }
  c1_modified_series(t["B17"], t["B13"], t["B1"], all, o.mode, out);
  check("C1");
  c1_modified_series(t["C17"], t["C13"], t["B1"], all, o.mode, out);
  check("D1");
  Vec d9(n);
  d9_modified_si_ratios(t["D1"], t["D7"], t["D8"], all, o.mode, d9, out);
  check("D9");
  d10_seasonal_factors(o, d9, all, SeasonalEstimate::Final, out, s1);
  check("D10");
}

INSTANTIATE_TEST_SUITE_P(Runs, TableSteps,
                         ::testing::Values(ReferenceRun{"airline", Frequency::Monthly, Mode::Multiplicative},
                                           ReferenceRun{"nottingham_additive", Frequency::Monthly, Mode::Additive},
                                           ReferenceRun{"ukgas", Frequency::Quarterly, Mode::Multiplicative}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace x11sa
