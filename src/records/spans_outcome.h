// The sliding spans of a variable: where the spans lie, what the adjustment
// of each span estimated, and the statistics that compare the estimates of
// each period. Written by spans/, read by the reports S0 to S7 and OUTSPAN=.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "records/series_calendar.h"
#include "x11sa/missing.h"
#include "x11sa/options.h"
#include "x11sa/seasonality_tests.h"

namespace x11sa {

inline constexpr int kMaxSpans = 4;

// What a series is, as far as the calendar goes.
// A span: the indexes [first, end) of the series, and the first days of its
// first and last period.
struct SpanExtent {
  long first = 0;
  long end = 0;
  double first_date = kMissing;
  double last_date = kMissing;
};

enum class SpanLayoutStatus {
  Done,
  TooShort,  // fewer than two spans fit: no spans, nothing to compare
};

// Up to four spans of one length, one year apart, the newest ending with
// the series.
struct SpanLayout {
  SeriesCalendar series;
  SpanLayoutStatus status = SpanLayoutStatus::TooShort;
  int count = 0;
  long length = 0;
  std::array<SpanExtent, kMaxSpans> spans{};  // the oldest first

  [[nodiscard]] int periods() const noexcept { return series.periods(); }
  // Period of the year in which every span starts.
  [[nodiscard]] int first_period() const noexcept { return series.period_of(spans[0].first); }
};

// The tests for seasonality on the D8 of one span.
struct SpanSeasonalityTests {
  double stable_f = 0.0;
  double stable_probability = kMissing;
  double moving_f = 0.0;
  double moving_probability = kMissing;
  IdentifiableSeasonality verdict = IdentifiableSeasonality::NotPresent;
};

// What the adjustment of one span estimated, over the span.
struct SpanEstimates {
  std::vector<double> seasonal;     // D10
  std::vector<double> adjusted;     // D11
  // The trading-day factors D11 was adjusted by; empty without a
  // trading-day regression.
  std::vector<double> trading_day;
  SpanSeasonalityTests tests;
};

// The compared series, in the order of their reports S2 to S6 and listings
// S 7.A to S 7.E.
enum class SpanSeries { SeasonalFactors, TradingDayFactors, AdjustedSeries, PeriodChanges, YearChanges };
inline constexpr std::size_t kSpanSeriesCount = 5;
inline constexpr std::array<SpanSeries, kSpanSeriesCount> kSpanSeriesInOrder = {
    SpanSeries::SeasonalFactors, SpanSeries::TradingDayFactors, SpanSeries::AdjustedSeries,
    SpanSeries::PeriodChanges, SpanSeries::YearChanges};
[[nodiscard]] constexpr std::size_t index_of(SpanSeries s) noexcept { return static_cast<std::size_t>(s); }

// The changes of one span's adjusted series, over the span; missing where
// the span does not hold the earlier value. In percent of the earlier value
// in a multiplicative run.
struct SpanChanges {
  std::vector<double> period;  // from the period before
  std::vector<double> year;    // from the same period a year before
};

// The spans of the series disagree on the sign of an estimate (factors
// against their neutral level, changes against 0): the earliest span puts
// it below and a later one above (Upward), or the other way round.
enum class SignChange : std::uint8_t { None, Upward, Downward };

// How an estimate moves from one span to the next.
enum class SpanMove : std::uint8_t { Flat, Up, Down };

// The moves of an estimate from span to span make a trough or a peak.
enum class TurningPoint : std::uint8_t { None, Trough, Peak };

// Spreads of one period of the year or of one year.
struct SpreadBreakdown {
  long exceeding = 0;  // above the cutoff
  long tested = 0;
  double sum = 0.0;
};

// Percentiles of a set of spreads (none when n is 0).
struct SpreadDistribution {
  long n = 0;
  double min = 0, lower_quartile = 0, median = 0, p65 = 0, upper_quartile = 0, p85 = 0, max = 0;
};

// How much the span estimates of one series disagree.
struct SeriesComparison {
  // The trading-day factors take part when every span has them, none
  // missing; the other series always.
  bool takes_part = false;
  double cutoff = 0.0;
  // Per index of the series; missing, None or 0 where not compared. The
  // spread is the largest difference between the spans' estimates, for
  // factors and the adjusted series in percent of the smallest in a
  // multiplicative run. The excess level is 0 within the cutoff, else 1 to
  // 4 by whole units above it.
  std::vector<double> spread;
  std::vector<SignChange> sign_change;
  std::vector<TurningPoint> turning_point;
  std::vector<std::uint8_t> excess_level;
  // The spreads classed: [first, first + count) of the series.
  long first = 0;
  long count = 0;
  long tested = 0;  // present spreads among them
  long exceeding = 0;
  std::array<long, 4> by_excess_level{};  // levels 1 to 4
  long sign_changes = 0;
  long sign_changes_exceeding = 0;
  long turning_points = 0;
  long turning_points_tested = 0;
  long turning_points_exceeding = 0;
  std::array<SpreadBreakdown, 12> by_period{};  // by period of the year
  int first_year = 0;                           // of by_year[0]
  std::vector<SpreadBreakdown> by_year;
  SpreadDistribution distribution;  // of the classed spreads
};

// The seasonal factors (D10) of the spans averaged by period of the year.
struct FactorRanges {
  double range_of_means = kMissing;
  double range_of_means_percent = kMissing;  // multiplicative runs only
  double lowest = kMissing;
  double highest = kMissing;
  double range = kMissing;
  double range_percent = kMissing;  // multiplicative runs only
};

struct SeasonalFactorMeans {
  int rows = 0;  // periods per year
  // Period of the year of each row, from the period the spans start in.
  std::array<int, 12> period{};
  // Per row: the mean of each span, then the average of the span means.
  std::array<std::array<double, kMaxSpans + 1>, 12> mean{};
  // Per row: the largest difference between the span means, in percent of
  // the smallest in a multiplicative run.
  std::array<double, 12> max_difference{};
  // Per column: the rows of the smallest and the largest mean (-1 none).
  std::array<int, kMaxSpans + 1> lowest_row{};
  std::array<int, kMaxSpans + 1> highest_row{};
  std::array<FactorRanges, kMaxSpans> spans{};  // per span
  FactorRanges average;  // of the spans' present figures
};

// Everything the comparison of the spans found.
struct SpansOutcome {
  SpanLayout layout;
  Mode mode = Mode::Multiplicative;
  std::vector<SpanEstimates> spans;   // the oldest first
  std::vector<SpanChanges> changes;   // the same order
  std::array<SeriesComparison, kSpanSeriesCount> series;
  SeasonalFactorMeans factor_means;

  [[nodiscard]] const SeriesComparison& of(SpanSeries s) const noexcept { return series[index_of(s)]; }
  // The estimates of series s by span i, over the span.
  [[nodiscard]] std::span<const double> estimates(SpanSeries s, int i) const noexcept {
    const auto k = static_cast<std::size_t>(i);
    switch (s) {
      case SpanSeries::SeasonalFactors: return spans[k].seasonal;
      case SpanSeries::TradingDayFactors: return spans[k].trading_day;
      case SpanSeries::AdjustedSeries: return spans[k].adjusted;
      case SpanSeries::PeriodChanges: return changes[k].period;
      case SpanSeries::YearChanges: return changes[k].year;
    }
    return {};
  }
  // The estimate of series s by span i at index t of the series; missing
  // where the span does not hold t.
  [[nodiscard]] double estimate(SpanSeries s, int i, long t) const noexcept {
    const SpanExtent& e = layout.spans[static_cast<std::size_t>(i)];
    const std::span<const double> v = estimates(s, i);
    if (t < e.first || t >= e.end || v.empty()) return kMissing;
    return v[static_cast<std::size_t>(t - e.first)];
  }
};

}  // namespace x11sa
