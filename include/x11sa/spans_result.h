// What the sliding spans of a series found, as the library returns it: how
// many spans were compared and, for each series compared, how many periods
// the spans disagree on beyond the cutoff.
#pragma once

namespace x11sa {

// The comparison of one series across the spans.
struct SpansComparison {
  // The trading-day factors take part only when every span has them.
  bool compared = false;
  double cutoff = 0.0;
  long tested = 0;     // periods with a spread
  long exceeding = 0;  // of them, above the cutoff
  long sign_changes = 0;
  long sign_changes_exceeding = 0;
  long turning_points = 0;
  long turning_points_exceeding = 0;

  // The periods above the cutoff in percent of those tested (0 without any).
  [[nodiscard]] double percent_exceeding() const noexcept {
    return tested > 0 ? 100.0 * static_cast<double>(exceeding) / static_cast<double>(tested) : 0.0;
  }
};

struct SpansSummary {
  // The spans compared (2 to 4; 0 when the series is too short for two)
  // and their length in periods.
  int spans = 0;
  long span_length = 0;
  SpansComparison seasonal_factors;     // D10
  SpansComparison trading_day_factors;  // C18
  SpansComparison adjusted_series;      // D11
  SpansComparison period_changes;       // of D11, month to month (quarter to quarter)
  SpansComparison year_changes;         // of D11, year to year
};

}  // namespace x11sa
