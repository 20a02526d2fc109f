#include "data/out_columns.h"

#include <algorithm>

#include "x11sa/missing.h"

namespace x11sa {

long out_rows(const SeriesLayout& l, bool outextrap) noexcept { return outextrap ? l.length : l.rows; }

void out_column(Table t, std::span<const double> table, const SeriesLayout& l, OutColumnRows rows,
                std::span<double> column) {
  fill_missing(column);
  long n = l.observations;
  if (rows.outextrap) n = t == Table::A1 ? l.backcasts + l.observations : l.observations + l.backcasts + l.forecasts;
  // The factors that run a year past the observations.
  const bool runs_ahead = t == Table::C16 || t == Table::C18 || t == Table::D10;
  if (l.year_ahead && runs_ahead) n += l.periods();
  // OUT= row r shows table position r, or r + backcasts without OUTEXTRAP.
  const long from = rows.outextrap ? l.leading_missing : l.begin();
  std::copy_n(table.begin() + from, n, column.begin() + l.leading_missing);
  if (rows.extension_missing) {
    std::fill_n(column.begin() + l.leading_missing, std::min(l.backcasts, static_cast<long>(column.size()) - l.leading_missing),
                kMissing);
    const long tail = l.end() + (l.year_ahead && runs_ahead ? l.periods() : 0);
    if (tail < static_cast<long>(column.size())) std::fill(column.begin() + tail, column.end(), kMissing);
  }
}

}  // namespace x11sa
