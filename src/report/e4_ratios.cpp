#include "report/e4_ratios.h"

#include "host/message_ids.h"
#include "host/messages.h"

namespace x11sa {

namespace {

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

}  // namespace

void print_e4_ratios(OdsManager& ods, const E4Ratios& ratios, Mode mode) {
  const int title = mode == Mode::Additive ? text_id::kAnnualTotalDifferences : text_id::kAnnualTotalRatios;
  ods.open_table("lum.x11.e4", "E4", msgtext(title));
  ods.add_column(OdsColumn{"Year", msgtext(text_id::kYear), ColType::Num, 0});
  ods.add_column(OdsColumn{"Unmodified", "Unmodified", ColType::Num, 3});
  ods.add_column(OdsColumn{"Modified", "Modified", ColType::Num, 3});
  for (const E4Year& y : ratios.years) ods.add_row({static_cast<double>(y.year), cell(y.unmodified), cell(y.modified)});
  ods.close_table();
}

}  // namespace x11sa
