#include "spans/statistics.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace x11sa {

namespace {

// Values this close to the neutral level count as on it (2^-43).
constexpr double kSignTolerance = 1.1368683772161608e-13;

struct Range {
  double lowest = 0.0;
  double highest = 0.0;
};

// Change from `prev` to `cur`: in percent of `prev` in a multiplicative run.
double change(double prev, double cur, bool additive) {
  if (is_missing(prev) || is_missing(cur)) return kMissing;
  if (additive) return cur - prev;
  return prev != 0.0 ? (cur - prev) * 100.0 / prev : kMissing;
}

// Spread of levels: in percent of the smallest in a multiplicative run.
double level_spread(Range r, bool additive) {
  if (additive) return r.highest - r.lowest;
  return r.lowest > 0.0 ? (r.highest - r.lowest) * 100.0 / r.lowest : kMissing;
}

// Range of the relative size of the highest over the lowest, in percent;
// multiplicative runs only.
double range_percent(double lowest, double highest, bool additive) {
  if (additive || is_missing(lowest) || is_missing(highest) || !(lowest > 0.0)) return kMissing;
  return (highest - lowest) * 100.0 / lowest;
}

int side_of(double v, double base) {
  if (is_missing(v)) return 0;
  if (v > base + kSignTolerance) return 1;
  if (v < base - kSignTolerance) return -1;
  return 0;
}

// A move between two spans is flat when it is small: factors (in a
// multiplicative run) and the adjusted series relatively, one percent of the
// earlier span's value; changes, already in percent, and additive
// components absolutely, one unit.
SpanMove move_of(SpanSeries s, double prev, double cur, bool additive) {
  const double d = cur - prev;
  const bool relative = s == SpanSeries::AdjustedSeries ||
                        (!additive && (s == SpanSeries::SeasonalFactors || s == SpanSeries::TradingDayFactors));
  bool flat = false;
  if (!relative) {
    flat = std::fabs(d) <= 1.0;
  } else if (prev == 0.0) {
    flat = d == 0.0;
  } else {
    flat = std::fabs(d / prev) * 100.0 <= 1.0;
  }
  if (flat) return SpanMove::Flat;
  return d > 0.0 ? SpanMove::Up : SpanMove::Down;
}

class Comparison {
 public:
  Comparison(SpansOutcome& out, const SpanComparisonOptions& options)
      : out_(out),
        layout_(out.layout),
        n_(layout_.spans[static_cast<std::size_t>(layout_.count - 1)].end),
        p_(layout_.periods()),
        additive_(options.mode == Mode::Additive) {
    for (SpanSeries s : kSpanSeriesInOrder) {
      SeriesComparison& c = series(s);
      c.cutoff = s == SpanSeries::TradingDayFactors ? options.td_cutoff : options.cutoff;
      c.takes_part = s != SpanSeries::TradingDayFactors || trading_day_complete();
    }
  }

  void run() {
    changes();
    coverage();
    for (SpanSeries s : kSpanSeriesInOrder) {
      SeriesComparison& c = series(s);
      const auto size = static_cast<std::size_t>(n_);
      c.spread.assign(size, kMissing);
      c.sign_change.assign(size, SignChange::None);
      c.turning_point.assign(size, TurningPoint::None);
      c.excess_level.assign(size, 0);
      if (!c.takes_part) continue;
      spreads(s);
      if (s != SpanSeries::AdjustedSeries) sign_changes(s);
      turning_points(s);
      classify(s);
    }
    factor_means();
  }

 private:
  [[nodiscard]] const SpanExtent& extent(int i) const { return layout_.spans[static_cast<std::size_t>(i)]; }
  SeriesComparison& series(SpanSeries s) { return out_.series[index_of(s)]; }
  // The estimates of one series by span, read index by index in the loops
  // below: set once per series rather than looked up per value.
  struct Estimates {
    std::array<std::span<const double>, kMaxSpans> values;
    std::array<long, kMaxSpans> first{};
    [[nodiscard]] double at(int i, long t) const {
      const auto k = static_cast<std::size_t>(i);
      const long local = t - first[k];
      return local >= 0 && static_cast<std::size_t>(local) < values[k].size() ? values[k][static_cast<std::size_t>(local)]
                                                                              : kMissing;
    }
  };
  [[nodiscard]] Estimates estimates(SpanSeries s) const {
    Estimates e;
    for (int i = 0; i < layout_.count; ++i) {
      e.values[static_cast<std::size_t>(i)] = out_.estimates(s, i);
      e.first[static_cast<std::size_t>(i)] = extent(i).first;
    }
    return e;
  }

  [[nodiscard]] bool trading_day_complete() const {
    return std::ranges::all_of(out_.spans, [](const SpanEstimates& e) {
      return !e.trading_day.empty() && std::ranges::none_of(e.trading_day, [](double v) { return is_missing(v); });
    });
  }

  void changes() {
    out_.changes.resize(out_.spans.size());
    for (std::size_t i = 0; i < out_.spans.size(); ++i) {
      const std::vector<double>& sa = out_.spans[i].adjusted;
      SpanChanges& c = out_.changes[i];
      c.period.assign(sa.size(), kMissing);
      c.year.assign(sa.size(), kMissing);
      for (std::size_t t = 1; t < sa.size(); ++t) c.period[t] = change(sa[t - 1], sa[t], additive_);
      const auto lag = static_cast<std::size_t>(p_);
      for (std::size_t t = lag; t < sa.size(); ++t) c.year[t] = change(sa[t - lag], sa[t], additive_);
    }
  }

  // The oldest and the newest span holding each index from the second
  // span's start on; -1 elsewhere.
  void coverage() {
    lowest_.assign(static_cast<std::size_t>(n_), -1);
    highest_.assign(static_cast<std::size_t>(n_), -1);
    for (long t = extent(1).first; t < n_; ++t) {
      for (int i = 0; i < layout_.count; ++i) {
        if (extent(i).first > t || t >= extent(i).end) continue;
        if (lowest_[static_cast<std::size_t>(t)] < 0) lowest_[static_cast<std::size_t>(t)] = i;
        highest_[static_cast<std::size_t>(t)] = i;
      }
    }
  }
  [[nodiscard]] int lowest(long t) const { return lowest_[static_cast<std::size_t>(t)]; }
  [[nodiscard]] int highest(long t) const { return highest_[static_cast<std::size_t>(t)]; }
  [[nodiscard]] bool compared(long t) const { return lowest(t) >= 0 && lowest(t) < highest(t); }

  // The spans compared at index t: from the oldest holding t to the newest
  // holding the earlier index of the change too.
  [[nodiscard]] std::pair<int, int> limits(SpanSeries s, long t) const {
    if (s == SpanSeries::PeriodChanges) return {lowest(t), highest(t - 1)};
    if (s == SpanSeries::YearChanges) return {lowest(t), highest(t - p_)};
    return {lowest(t), highest(t)};
  }

  // Smallest and largest present estimate of the spans lo .. hi at index t.
  [[nodiscard]] std::optional<Range> range_at(const Estimates& e, long t, int lo, int hi) const {
    std::optional<Range> r;
    for (int i = std::max(lo, 0); i <= hi && i < layout_.count; ++i) {
      const double v = e.at(i, t);
      if (is_missing(v)) continue;
      if (!r) {
        r = Range{v, v};
      } else {
        r->lowest = std::min(r->lowest, v);
        r->highest = std::max(r->highest, v);
      }
    }
    return r;
  }

  void spreads(SpanSeries s) {
    std::vector<double>& spread = series(s).spread;
    const Estimates e = estimates(s);
    const bool levels = s != SpanSeries::PeriodChanges && s != SpanSeries::YearChanges;
    const long from = extent(1).first + (s == SpanSeries::PeriodChanges ? 1 : 0);
    for (long t = from; t < n_; ++t) {
      if (!compared(t)) continue;
      const auto [lo, hi] = s == SpanSeries::YearChanges ? limits(s, t) : std::pair{lowest(t), highest(t)};
      if (hi < lo) continue;
      const std::optional<Range> r = range_at(e, t, lo, hi);
      if (!r) continue;
      spread[static_cast<std::size_t>(t)] = levels ? level_spread(*r, additive_) : r->highest - r->lowest;
    }
  }

  // The earliest span fixes the side of the neutral level; the first later
  // span on the other side makes a sign change.
  void sign_changes(SpanSeries s) {
    SeriesComparison& c = series(s);
    const Estimates e = estimates(s);
    const bool level = s == SpanSeries::SeasonalFactors || s == SpanSeries::TradingDayFactors;
    const double base = level && !additive_ ? 100.0 : 0.0;
    const long from = extent(1).first + (s == SpanSeries::PeriodChanges ? 1 : s == SpanSeries::YearChanges ? p_ : 0);
    for (long t = from; t < n_; ++t) {
      const auto [lo, hi] = limits(s, t);
      if (lo < 0) continue;
      const int first = side_of(e.at(lo, t), base);
      if (first == 0) continue;
      for (int j = lo + 1; j <= hi; ++j) {
        if (side_of(e.at(j, t), base) != -first) continue;
        c.sign_change[static_cast<std::size_t>(t)] = first > 0 ? SignChange::Downward : SignChange::Upward;
        ++c.sign_changes;
        break;
      }
    }
  }

  // Where three spans or more hold both indexes of the change.
  void turning_points(SpanSeries s) {
    if (layout_.count < 3) return;
    SeriesComparison& c = series(s);
    const Estimates e = estimates(s);
    const bool change_series = s == SpanSeries::PeriodChanges || s == SpanSeries::YearChanges;
    const long from = extent(2).first + (change_series ? 1 : 0);
    const long to = std::min(extent(layout_.count - 3).end + (s == SpanSeries::YearChanges ? p_ : 0), n_);
    for (long t = from; t < to; ++t) {
      const auto [lo, hi] = limits(s, t);
      if (lo < 0 || lo + 1 >= hi) continue;
      ++c.turning_points_tested;
      std::array<SpanMove, kMaxSpans - 1> moves{};
      bool complete = true;
      for (int j = lo + 1; j <= hi && complete; ++j) {
        const double prev = e.at(j - 1, t);
        const double cur = e.at(j, t);
        complete = !is_missing(prev) && !is_missing(cur);
        if (complete) moves[static_cast<std::size_t>(j - lo - 1)] = move_of(s, prev, cur, additive_);
      }
      if (!complete) continue;
      const TurningPoint tp = turning_point_of(std::span(moves).first(static_cast<std::size_t>(hi - lo)));
      c.turning_point[static_cast<std::size_t>(t)] = tp;
      if (tp != TurningPoint::None) ++c.turning_points;
    }
  }

  // Classes the spreads of the stretch two spans or more hold (for the
  // changes, where they hold both indexes) against the cutoff, breaks them
  // down by period of the year and by year, and counts the sign changes
  // and turning points among the exceedances.
  void classify(SpanSeries s) {
    SeriesComparison& c = series(s);
    const SeriesCalendar& cal = layout_.series;
    const long compared_length = layout_.length + (layout_.count - 3) * p_;
    c.first = extent(1).first;
    c.count = compared_length;
    if (s == SpanSeries::PeriodChanges) {
      c.first += 1;
      c.count -= 1;
    } else if (s == SpanSeries::YearChanges) {
      c.first += p_;
      c.count -= p_;
    }
    if (c.count <= 0) return;
    c.first_year = cal.year_of(c.first);
    c.by_year.resize(static_cast<std::size_t>(cal.year_of(c.first + c.count - 1) - c.first_year + 1));
    std::vector<double> present;
    present.reserve(static_cast<std::size_t>(c.count));
    int period = cal.period_of(c.first);
    std::size_t year = 0;
    for (long t = c.first; t < c.first + c.count; ++t) {
      const double v = c.spread[static_cast<std::size_t>(t)];
      if (!is_missing(v) && year < c.by_year.size()) {
        const int level = excess_level(v, c.cutoff);
        const long exceeds = level > 0 ? 1 : 0;
        if (level > 0) {
          ++c.by_excess_level[static_cast<std::size_t>(level - 1)];
          c.excess_level[static_cast<std::size_t>(t)] = static_cast<std::uint8_t>(level);
          ++c.exceeding;
        }
        for (SpreadBreakdown* b : {&c.by_period[static_cast<std::size_t>(period)], &c.by_year[year]}) {
          b->sum += v;
          b->tested += 1;
          b->exceeding += exceeds;
        }
        ++c.tested;
      }
      if (!is_missing(v)) present.push_back(v);
      if (++period == p_) {
        period = 0;
        ++year;
      }
    }
    for (std::size_t t = 0; t < c.excess_level.size(); ++t) {
      if (c.excess_level[t] == 0) continue;
      if (c.sign_change[t] != SignChange::None) ++c.sign_changes_exceeding;
      if (c.turning_point[t] != TurningPoint::None) ++c.turning_points_exceeding;
    }
    std::ranges::sort(present);
    c.distribution = spread_distribution(present);
  }

  // The seasonal factors of each span averaged by period of the year.
  void factor_means() {
    SeasonalFactorMeans& m = out_.factor_means;
    const auto count = static_cast<std::size_t>(layout_.count);
    const auto p = static_cast<std::size_t>(p_);
    m.rows = static_cast<int>(p_);
    for (std::size_t j = 0; j < p; ++j) {
      auto& row = m.mean[j];
      m.period[j] = static_cast<int>((static_cast<std::size_t>(layout_.first_period()) + j) % p);
      double total = 0.0;
      int present = 0;
      for (std::size_t i = 0; i < count; ++i) {
        const std::vector<double>& d10 = out_.spans[i].seasonal;
        double sum = 0.0;
        int values = 0;
        for (std::size_t t = j; t < d10.size(); t += p) {
          if (is_missing(d10[t])) continue;
          sum += d10[t];
          ++values;
        }
        row[i] = values > 0 ? sum / values : kMissing;
        if (values > 0) {
          total += row[i];
          ++present;
        }
      }
      row[count] = present > 0 ? total / present : kMissing;
      const std::optional<Range> r = present_range(std::span(row).first(count));
      m.max_difference[j] = r ? level_spread(*r, additive_) : kMissing;
    }
    // The first row holding the smallest and the largest mean of each column.
    for (std::size_t c = 0; c <= count; ++c) {
      int& lo = m.lowest_row[c];
      int& hi = m.highest_row[c];
      lo = hi = -1;
      for (int j = 0; j < m.rows; ++j) {
        const double v = m.mean[static_cast<std::size_t>(j)][c];
        if (is_missing(v)) continue;
        if (lo < 0 || v < m.mean[static_cast<std::size_t>(lo)][c]) lo = j;
        if (hi < 0 || v > m.mean[static_cast<std::size_t>(hi)][c]) hi = j;
      }
    }
    std::array<double, 6> sum{};
    std::array<int, 6> present{};
    for (std::size_t i = 0; i < count; ++i) {
      const auto mean_at = [&](int row) { return row >= 0 ? m.mean[static_cast<std::size_t>(row)][i] : kMissing; };
      const double lo_mean = mean_at(m.lowest_row[i]);
      const double hi_mean = mean_at(m.highest_row[i]);
      const std::optional<Range> r = present_range(out_.spans[i].seasonal);
      FactorRanges& f = m.spans[i];
      f.range_of_means = is_missing(lo_mean) ? kMissing : hi_mean - lo_mean;
      f.range_of_means_percent = range_percent(lo_mean, hi_mean, additive_);
      f.lowest = r ? r->lowest : kMissing;
      f.highest = r ? r->highest : kMissing;
      f.range = r ? r->highest - r->lowest : kMissing;
      f.range_percent = range_percent(f.lowest, f.highest, additive_);
      const std::array<double, 6> v = {f.range_of_means, f.range_of_means_percent, f.lowest,
                                       f.highest,        f.range,                  f.range_percent};
      for (std::size_t k = 0; k < v.size(); ++k) {
        if (is_missing(v[k])) continue;
        sum[k] += v[k];
        ++present[k];
      }
    }
    const std::array<double*, 6> average = {&m.average.range_of_means, &m.average.range_of_means_percent,
                                            &m.average.lowest,         &m.average.highest,
                                            &m.average.range,          &m.average.range_percent};
    for (std::size_t k = 0; k < average.size(); ++k) *average[k] = present[k] > 0 ? sum[k] / present[k] : kMissing;
  }

  // Smallest and largest present value.
  static std::optional<Range> present_range(std::span<const double> values) {
    std::optional<Range> r;
    for (double v : values) {
      if (is_missing(v)) continue;
      if (!r) {
        r = Range{v, v};
      } else {
        r->lowest = std::min(r->lowest, v);
        r->highest = std::max(r->highest, v);
      }
    }
    return r;
  }

  SpansOutcome& out_;
  const SpanLayout& layout_;
  long n_;
  long p_;
  bool additive_;
  std::vector<int> lowest_, highest_;
};

}  // namespace

SpansOutcome compare_spans(const SpanLayout& layout, std::vector<SpanEstimates> spans,
                           const SpanComparisonOptions& options) {
  SpansOutcome out;
  out.layout = layout;
  out.mode = options.mode;
  out.spans = std::move(spans);
  if (layout.status != SpanLayoutStatus::Done || layout.count < 2 ||
      out.spans.size() != static_cast<std::size_t>(layout.count))
    return out;
  Comparison(out, options).run();
  return out;
}

TurningPoint turning_point_of(std::span<const SpanMove> moves) noexcept {
  using enum SpanMove;
  static constexpr std::array<std::array<SpanMove, 3>, 6> kTroughs = {
      {{Down, Up, Flat}, {Down, Flat, Up}, {Down, Up, Up}, {Flat, Down, Up}, {Down, Down, Up}, {Down, Up, Down}}};
  static constexpr std::array<std::array<SpanMove, 3>, 6> kPeaks = {
      {{Up, Down, Flat}, {Up, Flat, Down}, {Up, Down, Down}, {Flat, Up, Down}, {Up, Up, Down}, {Up, Down, Up}}};
  if (moves.size() == 2) {
    if (moves[0] == Down && moves[1] == Up) return TurningPoint::Trough;
    if (moves[0] == Up && moves[1] == Down) return TurningPoint::Peak;
    return TurningPoint::None;
  }
  if (moves.size() != 3) return TurningPoint::None;
  const auto matches = [&](const std::array<SpanMove, 3>& p) { return std::ranges::equal(p, moves); };
  if (std::ranges::any_of(kTroughs, matches)) return TurningPoint::Trough;
  if (std::ranges::any_of(kPeaks, matches)) return TurningPoint::Peak;
  return TurningPoint::None;
}

int excess_level(double spread, double cutoff) noexcept {
  if (spread <= cutoff) return 0;
  if (spread < cutoff + 1.0) return 1;
  if (spread < cutoff + 2.0) return 2;
  if (spread < cutoff + 3.0) return 3;
  return 4;
}

SpreadDistribution spread_distribution(std::span<const double> sorted) {
  SpreadDistribution d;
  const long n = static_cast<long>(sorted.size());
  d.n = n;
  if (n == 0) return d;
  auto at = [&](long rank) { return sorted[static_cast<std::size_t>(rank - 1)]; };
  d.min = at(1);
  d.max = at(n);
  d.median = n % 2 == 1 ? at((n + 1) / 2) : (at(n / 2) + at(n / 2 + 1)) / 2.0;
  // The quartiles are the hinges: the medians of the lower and the upper half.
  const long h = (n + 1) / 2;
  if (h % 2 == 1) {
    const long k = (h + 1) / 2;
    d.lower_quartile = at(k);
    d.upper_quartile = at(n - k + 1);
  } else {
    const long k = h / 2;
    d.lower_quartile = (at(k) + at(k + 1)) / 2.0;
    d.upper_quartile = (at(n - k) + at(n - k + 1)) / 2.0;
  }
  d.p65 = at(n - static_cast<long>(std::floor(0.35 * static_cast<double>(n) + 0.5)));
  d.p85 = at(n - static_cast<long>(std::floor(0.15 * static_cast<double>(n) + 0.5)));
  return d;
}

}  // namespace x11sa
