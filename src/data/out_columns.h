// The OUT= column of one table of one variable.
#pragma once

#include <span>

#include "records/series_layout.h"
#include "records/table_catalogue.h"

namespace x11sa {

struct OutColumnRows {
  // With OUTEXTRAP the data set has the rows of the backcasts and forecasts
  // too; without, the group's rows (and the year ahead).
  bool outextrap = false;
  // The variable's extension failed, or was not tried: its rows of the
  // extension stay missing.
  bool extension_missing = false;
};

// The number of rows of OUT=: `column` must have that many.
[[nodiscard]] long out_rows(const SeriesLayout& layout, bool outextrap) noexcept;

// Table `t` of the variable laid out as its OUT= column: missing before the
// variable's first row, its values over its observations (with OUTEXTRAP
// also its backcasts and forecasts; with YRAHEADOUT the year ahead of D10,
// C16 and C18), missing after.
void out_column(Table t, std::span<const double> table, const SeriesLayout& layout, OutColumnRows rows,
                std::span<double> column);

}  // namespace x11sa
