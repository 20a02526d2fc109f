// Every table of the method, defined once: its name, its place in OUT=, the
// print level and titles of its month-by-year listing, and its output group.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "x11sa/tables.h"

namespace x11sa {

// How a month-by-year table is laid out and summed.
enum class TableLayout {
  Series,     // levels: yearly totals, averages
  Ratio,      // factors and ratios: yearly averages
  Irregular,  // irregular: averages and deviations from 100 (or 0)
  Weights,    // extreme-value weights: no summary
  Plain,      // values only
};

// The output group a table is printed in.
enum class TableGroup { A, Arima, B, C, D, E, F, Charts, Spans };

struct TableInfo {
  Table table;
  std::string_view name;
  TableGroup group;
  // Index among the 59 tables that can go to OUT=, in their fixed order; -1 for none.
  int out_index = -1;
  // The month-by-year listing of an OUT= table: the PRINTOUT= level from
  // which it prints (1 STANDARD, 2 LONG, 3 FULL; above 3 only by TABLES),
  // its title messages, its layout, and whether it runs a year longer with
  // the year ahead.
  int print_level = 0;
  int title_monthly = 0;
  int title_quarterly = 0;
  TableLayout layout = TableLayout::Plain;
  bool year_ahead = false;
};

[[nodiscard]] const TableInfo& table_info(Table t) noexcept;

// The tables that can go to OUT=.
inline constexpr int kOutTableCount = 59;
[[nodiscard]] Table out_table(int index) noexcept;
[[nodiscard]] std::optional<Table> out_table_named(std::string_view name) noexcept;

}  // namespace x11sa
