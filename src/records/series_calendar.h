// Where a stretch of monthly or quarterly values falls in the calendar.
#pragma once

#include "x11sa/options.h"

namespace x11sa {

// The first value's year and period of the year (0 = January or the first
// quarter), and the number of values.
struct SeriesCalendar {
  Frequency frequency = Frequency::Monthly;
  int first_year = 0;
  int first_period = 0;
  long count = 0;

  [[nodiscard]] int periods() const noexcept { return periods_per_year(frequency); }
  [[nodiscard]] bool monthly() const noexcept { return frequency == Frequency::Monthly; }
  // Year and period of the year of value i (i >= 0).
  [[nodiscard]] int year_of(long i) const noexcept {
    return first_year + static_cast<int>((first_period + i) / periods());
  }
  [[nodiscard]] int period_of(long i) const noexcept { return static_cast<int>((first_period + i) % periods()); }
  // Of the last value; those of the first for a calendar without values.
  [[nodiscard]] int last_year() const noexcept { return year_of(count > 0 ? count - 1 : 0); }
  [[nodiscard]] int last_period() const noexcept { return period_of(count > 0 ? count - 1 : 0); }
};

}  // namespace x11sa
