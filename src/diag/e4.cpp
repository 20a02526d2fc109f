#include "diag/e4.h"

#include "host/host.h"

namespace x11sa {

namespace {

OdsCell cell(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

// Totals compared: a ratio in percent (the method's own zero test) or a
// difference.
double compare(double a, double b, bool additive) {
  if (additive) return a - b;
  return b == 0.0 ? kMissing : a / b * 100.0;
}

}  // namespace

void x11e4p(X11COM* Xp, const double* b1, const double* d11, const double* e1, const double* e2, int firstyr,
            int lastyr, int firstper, long begin, long end) {
  const bool additive = Xp->op.add_f != 0;
  const int p = Xp->nper;
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table("lum.x11.e4", "E4", msgtext(additive ? 153 : 453)));
  ods_check(ods.add_column(OdsColumn{"Year", msgtext(200), ColType::Num, 0}));
  ods_check(ods.add_column(OdsColumn{"Unmodified", "Unmodified", ColType::Num, 3}));
  ods_check(ods.add_column(OdsColumn{"Modified", "Modified", ColType::Num, 3}));
  long t = begin;
  for (int year = firstyr; year <= lastyr; ++year) {
    double original = 0;
    double adjusted = 0;
    double modified = 0;
    double modified_adjusted = 0;
    for (int per = year == firstyr ? firstper : 0; per < p && t < end; ++per, ++t) {
      original += b1[t];
      adjusted += d11[t];
      modified += e1[t];
      modified_adjusted += e2[t];
    }
    ods_check(ods.add_row({static_cast<double>(year), cell(compare(original, adjusted, additive)),
                           cell(compare(modified, modified_adjusted, additive))}));
  }
  ods_check(ods.close_table());
}

}  // namespace x11sa
