// Where the sliding spans of a series lie: how many, how long, and the
// stretch of each, from the calendar facts of the series and its seasonal
// filter.
#pragma once

#include <array>
#include <span>

#include "records/spans_outcome.h"
#include "x11sa/options.h"

namespace x11sa {

// The longest seasonal filter the MACURVES choices of the twelve months
// name: ThreeTerm to ThreeByNine, or Stable when every month is stable. A
// month left to the method counts as ThreeByFive unless ThreeByNine is
// named before it.
[[nodiscard]] SeasonalCurve longest_seasonal_filter(std::span<const SeasonalCurve, 12> curves) noexcept;

// The spans of `series` for the seasonal filter `filter` (as returned by
// longest_seasonal_filter). Each span is long enough for the filter (six to
// eleven years; three to twelve when every period is stable), and is widened
// so that the oldest starts with the series or in the first period of a
// year. TooShort when fewer than two spans fit.
[[nodiscard]] SpanLayout span_layout(const SeriesCalendar& series, SeasonalCurve filter);

// The first day of period `period` of the year (counted on past the end of
// the year) of `year`.
[[nodiscard]] double period_start_date(Frequency frequency, int year, long period) noexcept;

}  // namespace x11sa
