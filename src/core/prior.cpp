#include "core/prior.h"

#include <algorithm>
#include <cstring>

#include <fmt/format.h>

#include "core/filters.h"
#include "core/tradingday.h"
#include "host/exit.h"

namespace x11sa {

void fillup_pmf(X11COM* Xp) {
  double* pmf = Xp->work.pmf;
  std::fill(pmf, pmf + Xp->fake_array_size, 100.0);
  const auto bytes = static_cast<std::size_t>(Xp->obs) * sizeof(double);
  if (!Xp->util3->point(0) || !Xp->util3->read(pmf + Xp->x11acom.arima.back, bytes))
    xebug_exit("the prior monthly factors of the group could not be read back");
}

void x11a3(X11COM* Xp, double* adjusted, const double* original, const double* pmf, long begin,
           long end) {
  if (Xp->vn_pmf >= 0) x11div(Xp, adjusted, original, pmf, begin, end);
}

void x11a4(X11COM* Xp) {
  WORK& w = Xp->work;
  const long n = Xp->fake_array_size;
  if (Xp->op.pdwgt_f != 0) {
    // Factors by calendar position from January of the first year of the
    // extended range; index B of the vectors is the group's first period.
    x11dow(Xp, w.work1, Xp->pdweights, Xp->date.firstyr - Xp->x11acom.arima.yrs_b, n + 12, Xp->lmopt);
    std::memcpy(w.ptdfactor, w.work1 + Xp->date.firstper, static_cast<std::size_t>(n) * sizeof(double));
  } else {
    fill_missing(w.ptdfactor, n);
  }
  Xp->ptd_reg_done = 1;
}

void x11a5(X11COM* Xp, double* a5, const double* a4, const double* a3, const double* a1, long begin,
           long end) {
  switch (Xp->prior) {
    case 2:
      x11div(Xp, a5, a1, a4, begin, end);
      break;
    case 3:
      std::memcpy(a5, a3, static_cast<std::size_t>(Xp->fake_array_size) * sizeof(double));
      break;
    case 4:
      x11div(Xp, a5, a3, a4, begin, end);
      break;
    default:
      std::copy(a1 + begin, a1 + end, a5 + begin);
      break;
  }
}

}  // namespace x11sa
