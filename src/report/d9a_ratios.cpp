#include "report/d9a_ratios.h"

#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/messages.h"

namespace x11sa {

namespace {

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

}  // namespace

void print_d9a_ratios(OdsManager& ods, const D9aRatios& ratios, Frequency frequency) {
  const bool monthly = frequency == Frequency::Monthly;
  const auto m = static_cast<std::size_t>(ratios.periods);
  ods_check(ods.open_table(monthly ? "lum.x11.month.d9a" : "lum.x11.qtr.d9a", "D9A", msgtext(282)));
  ods_check(ods.add_column(OdsColumn{"D9A_C1", " ", ColType::Char, -1}));
  auto period_name = [&](std::size_t j) {
    return monthly ? msgtext(231 + static_cast<int>(j)) : fmt::format("Q{}", j + 1);
  };
  for (std::size_t j = 0; j < m; ++j)
    ods_check(ods.add_column(OdsColumn{fmt::format("D9A_C{}", j + 2), period_name(j), ColType::Num, 3}));
  const struct {
    int label;
    double D9aPeriod::*field;
  } rows[] = {{283, &D9aPeriod::irregular_change}, {284, &D9aPeriod::seasonal_change}, {285, &D9aPeriod::ratio}};
  for (const auto& r : rows) {
    std::vector<OdsCell> row{msgtext(r.label)};
    for (std::size_t j = 0; j < m; ++j) row.push_back(cell(ratios.by_period[j].*r.field));
    ods_check(ods.add_row(std::move(row)));
  }
  for (std::size_t j = 0; j < m; ++j)
    if (!ratios.by_period[j].computed()) ods_check(ods.add_note(msgtext(286, period_name(j))));
  ods_check(ods.close_table());
}

}  // namespace x11sa
