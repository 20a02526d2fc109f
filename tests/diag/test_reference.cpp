// The diagnostics of the three reference runs, computed from the reference
// tables, against every figure an independent implementation of the method
// gives: the seasonality tests, D9A, the E tables and E4, the MCD and F1,
// and the F2 tables, to 1e-9 relative.
#include <gtest/gtest.h>

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "diag/combined_test.h"
#include "diag/d9a_ratios.h"
#include "diag/e4_ratios.h"
#include "diag/e_tables.h"
#include "diag/f2_summary.h"
#include "diag/kruskal_wallis.h"
#include "diag/seasonality_f_tests.h"
#include "diag/summary_measures.h"

namespace x11sa {
namespace {

using Tree = boost::property_tree::ptree;
// A figure of the k-th row of a reference table.
using Figure = std::function<double(std::size_t k)>;

struct Case {
  const char* name;
  Frequency frequency;
  Mode mode;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::string path_of(const Case& c, const char* suffix) {
  return std::string(X11SA_TEST_DATA) + "/reference/" + c.name + suffix;
}

// The columns of the reference tables (an empty cell is missing).
std::map<std::string, std::vector<double>> read_tables(const Case& c) {
  std::ifstream in(path_of(c, "_tables.csv"));
  std::string line;
  // The files end their lines with CR LF.
  const auto next_line = [&] { return std::getline(in, line) && (line.pop_back(), true); };
  next_line();
  std::vector<std::string> names;
  std::stringstream header(line);
  for (std::string cell; std::getline(header, cell, ',');) names.push_back(cell);
  std::map<std::string, std::vector<double>> cols;
  while (next_line()) {
    std::stringstream row(line);
    std::string cell;
    for (const auto& n : names) {
      if (!std::getline(row, cell, ',')) cell.clear();
      cols[n].push_back(cell.empty() || n == "date" ? kMissing : std::stod(cell));
    }
  }
  return cols;
}

double number(const Tree& t) {
  const auto s = t.get_value<std::string>();
  return s == "null" ? kMissing : std::stod(s);
}

// Agreement to 1e-9 relative; a zero within 1e-12 (changes that cancel are
// summed in another order there).
void expect_close(double want, double got, const std::string& what) {
  if (is_missing(want) || is_missing(got)) {
    EXPECT_EQ(is_missing(want), is_missing(got)) << what;
    return;
  }
  EXPECT_NEAR(got, want, std::max(1e-9 * std::fabs(want), 1e-12)) << what;
}

class Reference : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    tables_ = read_tables(GetParam());
    std::ifstream in(path_of(GetParam(), "_stats.json"));
    boost::property_tree::read_json(in, ref_);
    ASSERT_EQ(num("index/real_begin"), 0.0);  // the tables hold the observations only
  }
  const std::vector<double>& col(const std::string& name) { return tables_.at(name); }
  double num(const std::string& path) { return number(ref_.get_child(Tree::path_type(path, '/'))); }
  [[nodiscard]] int periods() const { return periods_per_year(GetParam().frequency); }
  int first_period() { return static_cast<int>(num("index/firstper")); }

  // Every figure of the rows at `path` against figures[key](row); an array
  // of the reference is compared element by element as key/0, key/1, ...
  void expect_rows(const std::string& path, std::size_t rows, const std::map<std::string, Figure>& figures) {
    std::size_t k = 0;
    const auto check = [&](const std::string& key, const Tree& value) {
      const auto it = figures.find(key);
      if (it == figures.end()) {
        ADD_FAILURE() << path << ": nothing to compare with " << key;
        return;
      }
      expect_close(number(value), it->second(k), path + " " + key + " row " + std::to_string(k));
    };
    for (const auto& [unused, row] : ref_.get_child(Tree::path_type(path, '/'))) {
      for (const auto& [key, value] : row) {
        int j = 0;
        if (value.empty()) check(key, value);
        for (const auto& [none, element] : value) check(key + "/" + std::to_string(j++), element);
      }
      ++k;
    }
    EXPECT_EQ(k, rows) << path;
  }
  // Every figure of the object or array at `path` (an array is one row).
  void expect_figures(const std::string& path, const std::map<std::string, double>& figures) {
    std::size_t j = 0;
    for (const auto& [key, value] : ref_.get_child(Tree::path_type(path, '/'))) {
      if (!value.empty()) continue;  // an array or object within, compared on its own
      const std::string name = key.empty() ? std::to_string(j++) : key;
      ASSERT_EQ(figures.count(name), 1u) << path << " " << name;
      expect_close(number(value), figures.at(name), path + "/" + name);
    }
  }

  std::map<std::string, std::vector<double>> tables_;
  Tree ref_;
};

TEST_P(Reference, SeasonalityTestsOnD8) {
  const auto stable = stable_seasonality_test(col("D8"), periods());
  const auto moving = moving_seasonality_test(col("D8"), periods(), GetParam().mode, first_period());
  const auto kw = kruskal_wallis_test(col("D8"), periods());
  ASSERT_EQ(kw.status, KruskalWallisStatus::Done);
  const auto combined = combined_seasonality_test(stable, moving, kw);
  expect_figures("stable/df", {{"0", stable.between_periods.df}, {"1", stable.residual.df}, {"2", stable.total.df}});
  expect_figures("stable", {{"ss_between", stable.between_periods.sum_of_squares}, {"F", stable.f},
                            {"ss_residual", stable.residual.sum_of_squares}, {"prob", stable.probability},
                            {"ss_total", stable.total.sum_of_squares},
                            {"ms_between", stable.between_periods.mean_square},
                            {"ms_residual", stable.residual.mean_square}});
  expect_figures("moving", {{"ss_between_periods", moving.ss_between_periods}, {"ss_total", moving.ss_total},
                            {"ss_between_years", moving.between_years.sum_of_squares}, {"F", moving.f},
                            {"ss_error", moving.error.sum_of_squares}, {"prob", moving.probability},
                            {"df_years", moving.between_years.df}, {"df_error", moving.error.df},
                            {"ms_years", moving.between_years.mean_square}, {"ms_error", moving.error.mean_square},
                            {"nyr", static_cast<double>(moving.years)}, {"start", static_cast<double>(moving.first)},
                            {"end", static_cast<double>(moving.last)}});
  expect_figures("kruskal_wallis", {{"stat", kw.statistic}, {"df", static_cast<double>(kw.df)},
                                    {"prob", kw.probability}, {"level", kw.level()}});
  expect_close(num("T1"), combined.t1, "T1");
  expect_close(num("T2"), combined.t2, "T2");
  expect_close(num("T"), combined.t, "T");
  constexpr IdentifiableSeasonality kVerdicts[] = {IdentifiableSeasonality::Present,
                                                   IdentifiableSeasonality::ProbablyNotPresent,
                                                   IdentifiableSeasonality::NotPresent};
  EXPECT_EQ(combined.verdict, kVerdicts[static_cast<int>(num("combined_verdict"))]);
}

TEST_P(Reference, MovingSeasonalityRatioD9A) {
  // D9 in full: the reference table holds only the values that differ from D8.
  std::vector<double> d9 = col("D9");
  for (std::size_t t = 0; t < d9.size(); ++t)
    if (is_missing(d9[t])) d9[t] = col("D8")[t];
  const auto r = d9a_ratios(d9, periods(), GetParam().mode, first_period());
  for (int k = 0; k < periods(); ++k) EXPECT_TRUE(r.by_period.at(static_cast<std::size_t>(k)).computed()) << k;
  const auto at = [&r](double D9aPeriod::*field) {
    return [&r, field](std::size_t k) { return r.by_period.at(k).*field; };
  };
  expect_rows("D9A", static_cast<std::size_t>(periods()),
              {{"period", [](std::size_t k) { return static_cast<double>(k); }},
               {"I", at(&D9aPeriod::irregular_change)},
               {"S", at(&D9aPeriod::seasonal_change)},
               {"ratio", at(&D9aPeriod::ratio)}});
}

TEST_P(Reference, ETablesAndAnnualTotalsE4) {
  const Mode mode = GetParam().mode;
  const std::size_t n = col("A1").size();
  std::vector<double> e1(n), e2(n), e3(n), e5(n, kMissing), e6(n, kMissing);
  // No prior factors and no trading-day adjustment in these runs.
  e1_modified_original(e1, {col("A1"), {}, col("C17"), {}, col("D10"), col("D12")}, mode);
  e2_modified_adjusted(e2, col("C17"), col("D11"), col("D12"));
  e3_modified_irregular(e3, col("C17"), col("D13"), mode);
  e5_original_changes(e5, col("A1"), mode);
  e6_adjusted_changes(e6, col("D11"), mode);
  const std::pair<const char*, const std::vector<double>*> tables[] = {
      {"E1", &e1}, {"E2", &e2}, {"E3", &e3}, {"E5", &e5}, {"E6", &e6}};
  for (const auto& [name, got] : tables)
    for (std::size_t t = 0; t < n; ++t) expect_close(col(name)[t], (*got)[t], name + (" at " + std::to_string(t)));

  const auto e4 = e4_ratios({col("A1"), col("D11"), col("E1"), col("E2")}, periods(), mode,
                            static_cast<int>(num("index/firstyr")), first_period());
  expect_rows("E4", e4.years.size(),
              {{"year", [&](std::size_t k) { return static_cast<double>(e4.years.at(k).year); }},
               {"unmodified", [&](std::size_t k) { return e4.years.at(k).unmodified; }},
               {"modified", [&](std::size_t k) { return e4.years.at(k).modified; }}});
}

TEST_P(Reference, CyclicalDominanceF1AndSummaryMeasuresF2) {
  const Case& c = GetParam();
  const auto dominance = cyclical_dominance(col("D12"), col("D13"), c.frequency, c.mode);
  EXPECT_EQ(dominance.mcd, static_cast<int>(num("MCD")));
  expect_figures("F1_range", {{"0", static_cast<double>(dominance.first)}, {"1", static_cast<double>(dominance.last)}});
  std::vector<double> f1(col("D11").size(), kMissing);
  f1_moving_average(f1, col("D11"), dominance);
  for (std::size_t t = 0; t < f1.size(); ++t) expect_close(col("F1")[t], f1[t], "F1 at " + std::to_string(t));

  const F2Summary f = f2_summary({col("A1"), {}, {}, col("D10"), col("D11"), col("D12"), col("D13"), col("E1"),
                                  col("E2"), col("E3"), f1},
                                 dominance, c.frequency, c.mode);
  EXPECT_EQ(f.mcd, static_cast<int>(num("F2/mcd")));
  const auto spans = static_cast<std::size_t>(periods());
  const auto span = [](std::size_t k) { return static_cast<double>(k + 1); };
  const auto of = [](const std::array<double, 12>& a) { return [&a](std::size_t k) { return a.at(k); }; };
  expect_rows("F2/table_a", spans,
              {{"span", span}, {"O", of(f.original.mean_abs_change)}, {"CI", of(f.adjusted.mean_abs_change)},
               {"I", of(f.irregular.mean_abs_change)}, {"C", of(f.trend_cycle.mean_abs_change)},
               {"S", of(f.seasonal.mean_abs_change)}, {"P", of(f.prior.mean_abs_change)},
               {"TD", of(f.trading_day.mean_abs_change)}, {"MCD", of(f.mcd_average.mean_abs_change)},
               {"E1", of(f.modified_original.mean_abs_change)}, {"E2", of(f.modified_adjusted.mean_abs_change)},
               {"E3", of(f.modified_irregular.mean_abs_change)}});
  expect_rows("F2/table_b", spans,
              {{"span", span}, {"I", of(f.share_irregular)}, {"C", of(f.share_trend_cycle)},
               {"S", of(f.share_seasonal)}, {"P", of(f.share_prior)}, {"TD", of(f.share_trading_day)},
               {"total", of(f.total)}, {"ratio", of(f.ratio)}, {"total_squares", of(f.total_squares)}});
  expect_figures("F2/table_c", {{"CI", f.run_adjusted}, {"I", f.run_irregular}, {"C", f.run_trend_cycle},
                                {"MCD", f.run_mcd_average}});
  std::map<std::string, double> ic;
  for (std::size_t k = 0; k < spans; ++k) ic[std::to_string(k)] = f.ic_ratio[k];
  expect_figures("F2/table_d", ic);
  std::map<std::string, Figure> table_f{{"span", span}};
  const std::pair<const char*, const SpanStatistics*> series[] = {{"O", &f.original}, {"I", &f.irregular},
                                                                  {"C", &f.trend_cycle}, {"S", &f.seasonal},
                                                                  {"CI", &f.adjusted}, {"MCD", &f.mcd_average}};
  for (const auto& [name, stats] : series) {
    table_f[std::string(name) + "/0"] = of(stats->mean_change);
    table_f[std::string(name) + "/1"] = of(stats->sd_change);
  }
  expect_rows("F2/table_f", spans, table_f);
}

INSTANTIATE_TEST_SUITE_P(Runs, Reference,
                         ::testing::Values(Case{"airline", Frequency::Monthly, Mode::Multiplicative},
                                           Case{"ukgas", Frequency::Quarterly, Mode::Multiplicative},
                                           Case{"nottingham_additive", Frequency::Monthly, Mode::Additive}),
                         [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace x11sa
