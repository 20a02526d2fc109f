#include "spans/layout.h"

#include <algorithm>

#include "host/dates.h"

namespace x11sa {

namespace {

// Filters by length: 1 ThreeTerm to 4 ThreeByNine, -1 Stable, 0 left to the method.
int filter_rank(SeasonalCurve c) noexcept {
  switch (c) {
    case SeasonalCurve::Default: return 0;
    case SeasonalCurve::ThreeTerm: return 1;
    case SeasonalCurve::ThreeByThree: return 2;
    case SeasonalCurve::ThreeByFive: return 3;
    case SeasonalCurve::ThreeByNine: return 4;
    case SeasonalCurve::Stable: return -1;
  }
  return 0;
}

// The span length is widened so that it absorbs the observations before the
// oldest span: that span then begins at the first observation when it
// would begin in the series' first year, else at the start of its year.
long widen(long len, long n, long count, long p, int first_period) {
  if (n == (count - 1) * p + len) return len;
  const long before = n - len - (count - 1) * p;
  long years = before / p;
  const long rest = before < 0 || before >= p ? ((before % p) + p) % p : before;
  const long q = rest + first_period;
  long period = q + 1;  // of the oldest span's start, 1 the first
  if (period > p) {
    ++years;
    period = q - p + 1;
  }
  if (first_period == 0) return period != 1 ? len + period - 1 : len;
  if (period > first_period + 1 && years == 0) return len + period - first_period - 1;
  if (period >= 2 && years > 0) return len + period - 1;
  return len;
}

}  // namespace

SeasonalCurve longest_seasonal_filter(std::span<const SeasonalCurve, 12> curves) noexcept {
  int rank = curves[0] == SeasonalCurve::Default ? 3 : filter_rank(curves[0]);
  for (std::size_t m = 1; m < curves.size(); ++m) {
    const int r = filter_rank(curves[m]);
    if (r == 0) {
      if (rank < 4) rank = 3;
    } else if (r > rank) {
      rank = r;
    }
  }
  switch (rank) {
    case 1: return SeasonalCurve::ThreeTerm;
    case 2: return SeasonalCurve::ThreeByThree;
    case 4: return SeasonalCurve::ThreeByNine;
    case -1: return SeasonalCurve::Stable;
    default: return SeasonalCurve::ThreeByFive;
  }
}

double period_start_date(Frequency frequency, int year, long period) noexcept {
  const long p = periods_per_year(frequency);
  const long total = static_cast<long>(year) * p + period;
  const long y = total >= 0 ? total / p : -((-total + p - 1) / p);
  const long within = total - y * p;
  const long month = frequency == Frequency::Monthly ? within + 1 : 3 * within + 1;
  return date_from_mdy(static_cast<int>(month), 1, static_cast<int>(y));
}

SpanLayout span_layout(const SeriesCalendar& series, SeasonalCurve filter) {
  SpanLayout layout;
  layout.series = series;
  const long p = series.periods();
  const long n = series.count;
  long count = 0;
  long len = 0;
  if (filter == SeasonalCurve::Stable) {
    count = kMaxSpans;
    len = std::min(n - 3 * p, 12 * p);
    if (len < 3 * p) {
      // Fewer than four spans of at least three years: spans of exactly
      // three years, the least an adjustment is run on.
      count = (n - 3 * p) / p + 1;
      len = 3 * p;
    }
  } else {
    static constexpr long kMonthly[4] = {72, 84, 96, 132};
    static constexpr long kQuarterly[4] = {24, 24, 32, 44};
    const int rank = std::clamp(filter_rank(filter == SeasonalCurve::Default ? SeasonalCurve::ThreeByFive : filter), 1, 4);
    len = p == 12 ? kMonthly[rank - 1] : kQuarterly[rank - 1];
    count = std::min((n - len) / p + 1, static_cast<long>(kMaxSpans));
  }
  if (count < 2) return layout;
  layout.status = SpanLayoutStatus::Done;
  layout.count = static_cast<int>(count);
  layout.length = widen(len, n, count, p, series.first_period);
  for (int i = 0; i < layout.count; ++i) {
    SpanExtent& e = layout.spans[static_cast<std::size_t>(i)];
    e.end = n - (count - 1 - i) * p;
    e.first = e.end - layout.length;
    e.first_date = period_start_date(series.frequency, series.first_year, series.first_period + e.first);
    e.last_date = period_start_date(series.frequency, series.first_year, series.first_period + e.end - 1);
  }
  return layout;
}

}  // namespace x11sa
