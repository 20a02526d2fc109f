#include "report/prn2.h"

#include <fmt/format.h>

#include "host/host.h"
#include "report/tdreport.h"

namespace x11sa {

void x11prn2(X11COM* Xp, int title, const double* w) {
  // Preformatted lines, as the preface: the day at the margin, its weight
  // from column 13 with three decimals.
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table("lum.x11.weights", "WeightList", msgtext(title)));
  ods_check(ods.add_column(OdsColumn{"Text", "", ColType::Char, -1}));
  ods_check(ods.add_row({msgtext(280)}));
  for (int d = 0; d < 7; ++d) ods_check(ods.add_row({fmt::format("{:<12}{:6.3f}", kDayNames[d], w[d])}));
  ods_check(ods.close_table());
}

}  // namespace x11sa
