// Where the values of one variable lie in the table vectors of its BY group,
// and the calendar of its observations.
#pragma once

#include "x11sa/missing.h"
#include "x11sa/options.h"

namespace x11sa {

// Every table vector of a BY group has `length` positions: room for ARIMA
// backcasts, the group's rows (and a year ahead with YRAHEADOUT), room for
// forecasts. A variable's observations start after the group rows in which
// it is still missing. Positions are 0-based, stretches half-open.
struct SeriesLayout {
  Frequency frequency = Frequency::Monthly;
  long length = 0;
  long rows = 0;       // the group's rows with the year ahead: OUT= without OUTEXTRAP
  long backcasts = 0;  // periods before the group's first row
  long forecasts = 0;  // periods after its last row
  long leading_missing = 0;  // rows of the group before the variable's first value
  long observations = 0;
  // Of the first and the last observation; periods 0-based.
  int first_year = 0, first_period = 0;
  int last_year = 0, last_period = 0;
  double first_date = kMissing, last_date = kMissing;
  bool year_ahead = false;  // the factors of D10, C16 and C18 run a year on

  [[nodiscard]] int periods() const noexcept { return periods_per_year(frequency); }
  // The observations.
  [[nodiscard]] long begin() const noexcept { return backcasts + leading_missing; }
  [[nodiscard]] long end() const noexcept { return begin() + observations; }
  // The observations with the backcasts and forecasts around them.
  [[nodiscard]] long extended_begin() const noexcept { return leading_missing; }
  [[nodiscard]] long extended_end() const noexcept { return end() + forecasts; }
  // Observations with the year ahead (the length of D10 in the listing).
  [[nodiscard]] long observations_with_year_ahead() const noexcept {
    return observations + (year_ahead ? periods() : 0);
  }
};

}  // namespace x11sa
