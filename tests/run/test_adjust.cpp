// The library call on a series in memory: the same tables as a program run,
// the same checks on its options.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/run_support.h"
#include "x11sa/adjust.h"
#include "x11sa/missing.h"

namespace x11sa::test {
namespace {

std::vector<double> column(const Table& t, const std::string& name) { return t.num.at(name); }

void expect_same(const std::vector<double>& want, std::span<const double> got, const std::string& what) {
  ASSERT_GE(got.size(), want.size()) << what;
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (is_missing(want[i]) || is_missing(got[i])) {
      EXPECT_EQ(is_missing(want[i]), is_missing(got[i])) << what << " " << i;
      continue;
    }
    EXPECT_NEAR(got[i], want[i], 1e-9 * std::fabs(want[i])) << what << " " << i;
  }
}

TEST(AdjustSeries, MatchesTheReferenceTablesOfAMonthlyRun) {
  const Table ref = read_table(data_file("reference/airline_tables.csv"));
  SeriesOptions o;
  o.start_year = 1949;
  const AdjustedSeries r = adjust_series(column(ref, "A1"), o);
  ASSERT_EQ(r.exit_level, 0) << r.log;
  EXPECT_EQ(r.names.size(), 59u);
  EXPECT_EQ(r.values.size(), 59u * 144u);
  for (const char* t : {"B1", "B7", "B10", "C17", "D10", "D11", "D12", "D13", "E1", "E6", "F1"})
    expect_same(column(ref, t), r.table(t), t);
  EXPECT_EQ(r.henderson, 13);
  EXPECT_NEAR(r.ic_ratio, 1.0923182983440287, 1e-12);

  // The diagnostics come back whether or not anything is printed, as the
  // independent implementation computed them.
  std::ifstream in(data_file("reference/airline_stats.json"));
  const nlohmann::json want = nlohmann::json::parse(in);
  auto near = [](double got, double expected) { return std::fabs(got - expected) <= 1e-9 * std::fabs(expected) + 1e-12; };
  ASSERT_TRUE(r.seasonality && r.d9a && r.e4 && r.f2);
  EXPECT_TRUE(near(r.seasonality->stable.f, want["stable"]["F"]));
  EXPECT_TRUE(near(r.seasonality->moving.f, want["moving"]["F"]));
  EXPECT_TRUE(near(r.seasonality->kruskal_wallis.statistic, want["kruskal_wallis"]["stat"]));
  EXPECT_EQ(static_cast<int>(r.seasonality->combined.verdict), want["combined_verdict"].get<int>());
  for (const auto& period : want["D9A"])
    EXPECT_TRUE(near(r.d9a->by_period[period["period"].get<std::size_t>()].ratio, period["ratio"]));
  ASSERT_EQ(r.e4->years.size(), want["E4"].size());
  EXPECT_TRUE(near(r.e4->years.back().modified, want["E4"].back()["modified"]));
  EXPECT_EQ(r.f2->mcd, want["MCD"].get<int>());
  EXPECT_TRUE(near(r.f2->run_irregular, want["F2"]["table_c"]["I"]));
  EXPECT_TRUE(near(r.f2->ic_ratio[0], want["F2"]["table_d"][0]));

  // Only the tables asked for, and without the diagnostics: the same numbers.
  o.tables = {x11sa::Table::D12, x11sa::Table::D11};
  o.diagnostics = false;
  const AdjustedSeries lean = adjust_series(column(ref, "A1"), o);
  EXPECT_EQ(lean.names, (std::vector<std::string>{"D11", "D12"}));
  EXPECT_TRUE(std::ranges::equal(lean.table("D11"), r.table("D11")));
  EXPECT_FALSE(lean.seasonality || lean.f2 || lean.e4);
  EXPECT_EQ(lean.henderson, r.henderson);
  o = SeriesOptions{};
  o.start_year = 1949;

  // The sliding spans rerun the chain on shorter stretches afterwards; the
  // trend reported stays the series' own.
  o.method.spans.emplace();
  const AdjustedSeries with_spans = adjust_series(column(ref, "A1"), o);
  ASSERT_EQ(with_spans.exit_level, 0) << with_spans.log;
  EXPECT_EQ(with_spans.henderson, r.henderson);
  EXPECT_EQ(with_spans.ic_ratio, r.ic_ratio);
}

TEST(AdjustSeries, MatchesTheReferenceTablesOfAQuarterlyRun) {
  const Table ref = read_table(data_file("reference/ukgas_tables.csv"));
  SeriesOptions o;
  o.method.frequency = Frequency::Quarterly;
  o.start_year = 1960;
  const AdjustedSeries r = adjust_series(column(ref, "B1"), o);
  ASSERT_EQ(r.exit_level, 0) << r.log;
  for (const char* t : {"D10", "D11", "D12", "D13"}) expect_same(column(ref, t), r.table(t), t);
  EXPECT_TRUE(r.table("B16").empty());  // no trading-day tables for quarterly series
  EXPECT_EQ(r.henderson, 5);              // the quarterly trend's own length
  std::ifstream in(data_file("reference/ukgas_stats.json"));
  const nlohmann::json want = nlohmann::json::parse(in);
  ASSERT_TRUE(r.seasonality && r.f2);
  EXPECT_NEAR(r.seasonality->stable.f, want["stable"]["F"].get<double>(), 1e-9 * want["stable"]["F"].get<double>());
  EXPECT_EQ(r.f2->mcd, want["MCD"].get<int>());
}

// The options of the library call are those of the statements, the ARIMA
// extension included.
TEST(AdjustSeries, ArimaExtensionAsInAProgram) {
  ScratchDir dir;
  dir.copy_data("airline.csv");
  const RunOutput run = run_in(dir,
                               "proc x11 data=airline; monthly date=date; var passengers;\n"
                               "arima model=(dif=1 q=1 sdif=1 sq=1) transform=log;\n"
                               "output out=o d11=d11; run;");
  ASSERT_EQ(run.level(), 0) << run.log;
  const std::vector<double> program = column(read_table(dir.path() / "o.csv"), "d11");
  SeriesOptions o;
  o.start_year = 1949;
  const std::vector<double> values = column(read_table(dir.path() / "airline.csv"), "passengers");
  const AdjustedSeries plain = adjust_series(values, o);
  ArimaOptions& arima = o.method.arima.emplace();
  arima.model = ArimaModel{.dif = 1, .q = 1, .sdif = 1, .sq = 1};
  arima.transform.kind = ArimaTransform::Kind::Log;
  const AdjustedSeries extended = adjust_series(values, o);
  ASSERT_EQ(extended.exit_level, 0) << extended.log;
  expect_same(program, extended.table("D11"), "D11");
  EXPECT_TRUE(extended.listing.empty());
  // Asked for, the listing is the program's, page for page.
  o.name = "passengers";
  o.listing.emplace();
  const AdjustedSeries printed = adjust_series(values, o);
  EXPECT_EQ(printed.listing, run.listing);
  o.listing->print.tables.set(static_cast<std::size_t>(x11sa::Table::D11));
  o.listing->print.printout = PrintLevel::None;
  o.listing->print.charts = ChartLevel::None;
  o.listing->print.arima = ReportLevel::None;
  o.listing->linesize = 64;
  const std::string d11_only = adjust_series(values, o).listing;
  EXPECT_NE(d11_only.find("Final Seasonally Adjusted Series"), std::string::npos) << d11_only;
  EXPECT_EQ(d11_only.find("Final Seasonal Factors"), std::string::npos) << d11_only;
  o.listing.reset();
  // The forecasts change the last year's adjustment.
  EXPECT_GT(std::fabs(extended.table("D11")[143] - plain.table("D11")[143]), 0.1);

  // What the extension did comes back with the tables: the model and its
  // estimates, near those of an independent fit by conditional least
  // squares (within the default convergence), and the forecasts.
  EXPECT_FALSE(plain.arima.has_value());
  ASSERT_TRUE(extended.arima.has_value());
  const ArimaSummary& a = *extended.arima;
  EXPECT_TRUE(a.extended());
  EXPECT_EQ(a.model.q, 1);
  EXPECT_EQ(a.model.sq, 1);
  ASSERT_TRUE(a.estimates.has_value());
  double ma = kMissing, seasonal_ma = kMissing;
  for (const ArimaParameter& p : a.estimates->parameters) {
    if (p.name.rfind("MA1", 0) == 0) ma = p.estimate;
    if (p.name.rfind("MA2", 0) == 0) seasonal_ma = p.estimate;
  }
  EXPECT_NEAR(ma, 0.3776, 0.01);
  EXPECT_NEAR(seasonal_ma, 0.5728, 0.01);
  EXPECT_EQ(a.forecasts.size(), 12u);

  // The automatic choice is not tried on a series shorter than five years.
  o.method.arima->model.reset();
  const AdjustedSeries short_series =
      adjust_series(std::span<const double>(values).first(48), o);
  ASSERT_TRUE(short_series.arima.has_value());
  EXPECT_EQ(short_series.arima->status, ArimaStatus::SeriesTooShort);
}

TEST(AdjustSeries, SeriesThatCannotBeAdjusted) {
  SeriesOptions o;
  const std::vector<double> short_series(30, 100.0);
  AdjustedSeries r = adjust_series(short_series, o);
  EXPECT_GT(r.exit_level, 4);
  EXPECT_TRUE(r.values.empty());
  std::vector<double> with_zero(48, 100.0);
  with_zero[3] = 0.0;
  r = adjust_series(with_zero, o);
  EXPECT_GT(r.exit_level, 4);
  ASSERT_FALSE(r.messages.empty());
  EXPECT_EQ(r.messages.front().severity, MessageSeverity::Error);
  EXPECT_TRUE(r.messages.front().text.starts_with("Variable series has a value of zero or below"))
      << r.messages.front().text;
  o.method.mode = Mode::Additive;
  r = adjust_series(with_zero, o);
  EXPECT_EQ(r.exit_level, 0) << r.log;
}

TEST(AdjustSeries, LeadingMissingValuesAndPriorFactors) {
  const Table ref = read_table(data_file("reference/airline_tables.csv"));
  std::vector<double> values = column(ref, "A1");
  values.insert(values.begin(), 3, kMissing);
  SeriesOptions o;
  o.start_year = 1948;
  o.start_period = 10;
  o.prior_factors.assign(values.size(), 100.0);
  AdjustedSeries r = adjust_series(values, o);
  ASSERT_EQ(r.exit_level, 0) << r.log;
  const auto d11 = r.table("D11");
  ASSERT_EQ(d11.size(), 147u);
  EXPECT_TRUE(is_missing(d11[2]));
  // Neutral prior factors change nothing.
  EXPECT_NEAR(d11[3], column(ref, "D11")[0], 1e-9 * d11[3]);
  // One prior factor per value.
  o.prior_factors.pop_back();
  r = adjust_series(values, o);
  EXPECT_EQ(r.exit_level, 1012);
  EXPECT_NE(r.log.find("146 prior factors were given for 147 values"), std::string::npos) << r.log;
}

// Any number of threads may call the library at once: each call's tables,
// diagnostics and log are those of the same call made alone.
TEST(AdjustSeries, ConcurrentCallsGiveWhatSerialCallsGive) {
  const Table ref = read_table(data_file("reference/airline_tables.csv"));
  const std::vector<double> values = column(ref, "A1");
  std::vector<SeriesOptions> options(6);
  for (std::size_t k = 0; k < options.size(); ++k) {
    options[k].start_year = 1949;
    if (k % 2 == 1) options[k].method.mode = Mode::Additive;
    if (k % 3 == 2) options[k].method.tdregr = TradingDayRegression::Adjust;
    if (k == 5) {
      ArimaOptions& arima = options[k].method.arima.emplace();
      arima.model = ArimaModel{.dif = 1, .q = 1, .sdif = 1, .sq = 1};
      arima.transform.kind = ArimaTransform::Kind::Log;
    }
  }
  std::vector<AdjustedSeries> serial;
  for (const SeriesOptions& o : options) serial.push_back(adjust_series(values, o));
  std::vector<AdjustedSeries> concurrent(options.size());
  {
    std::vector<std::jthread> threads;
    for (std::size_t k = 0; k < options.size(); ++k)
      threads.emplace_back([&, k] { concurrent[k] = adjust_series(values, options[k]); });
  }
  for (std::size_t k = 0; k < options.size(); ++k) {
    const AdjustedSeries& a = serial[k];
    const AdjustedSeries& b = concurrent[k];
    ASSERT_EQ(a.exit_level, 0) << a.log;
    EXPECT_EQ(b.exit_level, a.exit_level) << k;
    EXPECT_EQ(b.log, a.log) << k;
    EXPECT_EQ(b.names, a.names) << k;
    ASSERT_EQ(b.values.size(), a.values.size()) << k;
    // Bit for bit: the same computation, whichever thread ran it.
    for (std::size_t i = 0; i < a.values.size(); ++i)
      ASSERT_EQ(std::bit_cast<std::uint64_t>(b.values[i]), std::bit_cast<std::uint64_t>(a.values[i])) << k << " " << i;
    ASSERT_TRUE(a.f2 && b.f2);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(b.f2->ic_ratio[0]), std::bit_cast<std::uint64_t>(a.f2->ic_ratio[0])) << k;
    EXPECT_EQ(b.arima.has_value(), a.arima.has_value()) << k;
  }
  EXPECT_TRUE(serial[5].arima && serial[5].arima->extended()) << serial[5].log;
}

// The sliding spans' summary comes back with the tables, with the counts the
// listing's summaries (S 2.A.3, S 4.A.3, S 5.A.3, S 6.A.3) print.
TEST(AdjustSeries, SlidingSpansAsTheListingSummarisesThem) {
  ScratchDir dir;
  dir.copy_data("seatbelts.csv");
  const RunOutput run = run_in(dir,
                               "proc x11 data=seatbelts; monthly date=date; sspan;\n"
                               "tables s2 s4 s5 s6; var drivers; run;");
  ASSERT_EQ(run.level(), 0) << run.log;
  // Found and tested of the spreads above the cutoff, in the order printed.
  std::vector<std::pair<long, long>> printed;
  std::istringstream listing(run.listing);
  for (std::string line; std::getline(listing, line);) {
    if (line.find("Periods with a spread above the cutoff") == std::string::npos) continue;
    std::istringstream numbers(line.substr(line.find("cutoff of") + 9));
    double cutoff = 0;
    long found = 0, tested = 0;
    numbers >> cutoff >> found >> tested;
    printed.emplace_back(found, tested);
  }
  ASSERT_EQ(printed.size(), 4u) << run.listing;

  SeriesOptions o;
  o.start_year = 1969;
  o.method.spans.emplace();
  const AdjustedSeries r = adjust_series(column(read_table(dir.path() / "seatbelts.csv"), "drivers"), o);
  ASSERT_EQ(r.exit_level, 0) << r.log;
  ASSERT_TRUE(r.spans.has_value());
  EXPECT_EQ(r.spans->spans, 4);
  EXPECT_FALSE(r.spans->trading_day_factors.compared);
  const SpansComparison* compared[] = {&r.spans->seasonal_factors, &r.spans->adjusted_series,
                                       &r.spans->period_changes, &r.spans->year_changes};
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(compared[k]->exceeding, printed[k].first) << k;
    EXPECT_EQ(compared[k]->tested, printed[k].second) << k;
  }
  EXPECT_GT(r.spans->period_changes.exceeding, r.spans->year_changes.exceeding);
}

}  // namespace
}  // namespace x11sa::test
