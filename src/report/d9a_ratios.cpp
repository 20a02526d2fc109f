#include "report/d9a_ratios.h"

#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/message_ids.h"
#include "host/messages.h"

namespace x11sa {

namespace {

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

}  // namespace

void print_d9a_ratios(OdsManager& ods, const D9aRatios& ratios, Frequency frequency) {
  const bool monthly = frequency == Frequency::Monthly;
  const auto m = static_cast<std::size_t>(ratios.periods);
  ods.open_table(monthly ? "lum.x11.month.d9a" : "lum.x11.qtr.d9a", "D9A", msgtext(text_id::kMovingSeasonalityRatio));
  ods.add_column(OdsColumn{"D9A_C1", " ", ColType::Char, -1});
  auto period_name = [&](std::size_t j) {
    return monthly ? msgtext(text_id::month_abbreviation(static_cast<int>(j))) : fmt::format("Q{}", j + 1);
  };
  for (std::size_t j = 0; j < m; ++j)
    ods.add_column(OdsColumn{fmt::format("D9A_C{}", j + 2), period_name(j), ColType::Num, 3});
  const struct {
    int label;
    double D9aPeriod::*field;
  } rows[] = {{text_id::kAverageIrregularChange, &D9aPeriod::irregular_change},
                 {text_id::kAverageSeasonalChange, &D9aPeriod::seasonal_change},
                 {text_id::kMovingSeasonalityRatioRow, &D9aPeriod::ratio}};
  for (const auto& r : rows) {
    std::vector<OdsCell> row{msgtext(r.label)};
    for (std::size_t j = 0; j < m; ++j) row.push_back(cell(ratios.by_period[j].*r.field));
    ods.add_row(std::move(row));
  }
  for (std::size_t j = 0; j < m; ++j)
    if (!ratios.by_period[j].computed()) ods.add_note(msgtext(text_id::kTooFewD9Values, period_name(j)));
  ods.close_table();
}

}  // namespace x11sa
