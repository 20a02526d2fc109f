#include "core/chain.h"

#include <algorithm>
#include <cstring>

#include "core/extremes.h"
#include "core/filters.h"
#include "core/seasonal.h"
#include "core/tradingday.h"

namespace x11sa {

namespace {

bool monthly(const X11COM* Xp) { return Xp->op.month_f != 0; }

void copy_all(X11COM* Xp, double* to, const double* from) {
  std::memcpy(to, from, static_cast<std::size_t>(Xp->fake_array_size) * sizeof(double));
}

// Seasonal factors of `in` on [begin, end): monthly with the month choice
// of pass p, quarterly with the 3x3 (p = 1) or 3x5 (p = 2) filter.
void seasonal(X11COM* Xp, double* out, const double* in, double* wrk1, double* wrk2, double* wrk3,
              int mon, int p, long begin, long end) {
  if (monthly(Xp)) {
    x11seas(Xp, out, in, wrk1, wrk2, wrk3, mon, p, begin, end);
  } else {
    x11seaq(Xp, out, wrk1, wrk2, in, begin + 1, end, p);
  }
}

// Extreme-value weights of the irregular `irr`: monthly on calendar
// positions [xfirst, xlast] with offset adj, quarterly on [begin, end).
void weights(X11COM* Xp, double* wt, double* std, const double* irr, long adj, long begin, long end,
             long xfirst, long xlast, int qfirst) {
  if (monthly(Xp)) {
    Xp->XtrmFcntPtr(Xp, wt, std, irr, adj, xfirst, xlast);
  } else {
    x11xtrq(Xp, wt, std, irr, begin + 1, end, qfirst);
  }
}

void replace(X11COM* Xp, double* values, const double* wt, double* wrk, int space, long begin,
             long end) {
  if (monthly(Xp)) {
    x11rep(Xp, values, wt, wrk, space, begin + 1, end);
  } else {
    x11repq(Xp, values, wt, wrk, space == 12 ? 4 : space, begin + 1, end);
  }
}

// The modified SI ratios of B4 and B9: seasonal factors of the SI, their
// irregular, its weights, and the replacement of the extremes.
void modified_si(X11COM* Xp, double* out, const double* in, double* wrk1, double* wrk2,
                 double* wrk3, int p, long adj, int mon, long begin, long end, long xfirst,
                 long xlast, int firstper) {
  seasonal(Xp, out, in, wrk1, wrk2, wrk3, mon, p, begin, end);
  fill_missing(wrk2, Xp->fake_array_size);
  x11div(Xp, wrk2, in, out, begin, end);
  weights(Xp, wrk1, wrk3, wrk2, adj, begin, end, xfirst, xlast, firstper);
  copy_all(Xp, out, in);
  fill_missing(wrk2, Xp->fake_array_size);
  replace(Xp, out, wrk1, wrk2, monthly(Xp) ? 12 : 4, begin, end);
}

void henderson(X11COM* Xp, double* trend, const double* in, double* wrk, long first, long last,
               int pass) {
  if (monthly(Xp)) {
    x11trnd(Xp, trend, in, wrk, first, last, pass, Xp->trendma);
  } else {
    x11trnq(Xp, trend, in, first + 1, last);
  }
}

}  // namespace

void x11b1(X11COM* Xp, double* adjusted, const double* prior_adj, const double* tdr_factors,
           long first, long last) {
  if (tdr_factors != nullptr) {
    x11div(Xp, adjusted, prior_adj, tdr_factors, first, last);
  } else {
    copy_all(Xp, adjusted, prior_adj);
  }
}

void x11b2(X11COM* Xp, double* trend_cycle, const double* original, long begin, long end) {
  fill_missing(trend_cycle, Xp->fake_array_size);
  const long h = Xp->nper / 2;
  if (monthly(Xp)) {
    if (Xp->ptrendma == 24) {
      x11mvg(trend_cycle, original, begin + h, end - h, 25, ptm);
    } else {
      x11ma12(Xp, trend_cycle, original, begin, end);
    }
  } else if (Xp->ptrendma == 8) {
    x11mvg(trend_cycle, original, begin + h, end - h, 9, ptq);
  } else {
    x11ma4q(Xp, trend_cycle, original, begin + 1, end);
  }
}

void x11b3(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle,
           long first, long last) {
  fill_missing(si_ratio, Xp->fake_array_size);
  x11div(Xp, si_ratio, original, trend_cycle, first, last);
}

void x11b4(X11COM* Xp, double* out, const double* in, double* wrk1, double* wrk2, double* wrk3,
           int p, long adj, int mon, long begin, long end, long xfirst, long xlast, int firstper,
           int /*lastper*/) {
  modified_si(Xp, out, in, wrk1, wrk2, wrk3, p, adj, mon, begin, end, xfirst, xlast, firstper);
}

void x11b5(X11COM* Xp, double* out, const double* in, double* wrk1, double* wrk2, double* wrk3,
           int mon, int p, long begin, long end) {
  seasonal(Xp, out, in, wrk1, wrk2, wrk3, mon, monthly(Xp) ? p : 1, begin, end);
  const long M = Xp->nper;
  const long h = M / 2;
  for (long k = 1; k <= h; ++k) out[begin - k] = out[begin - k + M];
  for (long j = 0; j < h; ++j) out[end + j] = out[end + j - M];
}

void x11b6(X11COM* Xp, double* seas_adj, const double* original, const double* seas_fact,
           long first, long last) {
  x11div(Xp, seas_adj, original, seas_fact, first, last);
}

void x11b7(X11COM* Xp, double* trend_cycle, double* seas_adj, double* wrk1, double* wrk2,
           double* wrk3, long adj, long begin, long end, long xfirst2, long xlast2, int firstper,
           int /*lastper*/) {
  henderson(Xp, trend_cycle, seas_adj, wrk1, begin, end, 1);
  if (Xp->op.trndadj_f == 0) return;
  x11div(Xp, wrk1, seas_adj, trend_cycle, begin, end);
  const long a = Xp->x11flow.X11ArimaFail != 0 ? Xp->x11flow.real_adj : adj;
  weights(Xp, wrk2, wrk3, wrk1, a, begin, end, xfirst2, xlast2, firstper);
  replace(Xp, seas_adj, wrk2, wrk3, 1, begin, end);
  henderson(Xp, trend_cycle, seas_adj, wrk1, begin, end, 2);
}

void x11c7(X11COM* Xp, double* trend_cycle, const double* seas_adj, double* wrk1, long first,
           long last) {
  henderson(Xp, trend_cycle, seas_adj, wrk1, first, last, 2);
}

void x11b8(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle,
           long first, long last) {
  x11div(Xp, si_ratio, original, trend_cycle, first, last);
}

void x11d8(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle,
           long first, long last) {
  fill_missing(si_ratio, Xp->fake_array_size);
  x11div(Xp, si_ratio, original, trend_cycle, first, last);
}

void x11b9(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* wrk2,
           double* wrk3, int p, int mon, long adj, long begin, long end, long xfirst2, long xlast2,
           int firstper, int /*lastper*/) {
  modified_si(Xp, seas_fact, si_ratio, wrk1, wrk2, wrk3, p, adj, mon, begin, end, xfirst2, xlast2,
              firstper);
}

void x11b10(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* wrk2,
            double* wrk3, int mon, int p, long first, long last) {
  seasonal(Xp, seas_fact, si_ratio, wrk1, wrk2, wrk3, mon, monthly(Xp) ? p : 2, first, last);
}

void x11d10(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* wrk2,
            double* wrk3, int mon, int p, long first, long last) {
  x11b10(Xp, seas_fact, si_ratio, wrk1, wrk2, wrk3, mon, p, first, last);
  if (Xp->op.yrahdout_f == 0) return;
  const long M = Xp->nper;
  for (long j = 0; j < M; ++j)
    seas_fact[last + j] = (3.0 * seas_fact[last + j - M] - seas_fact[last + j - 2 * M]) * 0.5;
}

void x11b13(X11COM* Xp, double* irregular, const double* seas_adj, const double* trend_cycle,
            long first, long last) {
  x11div(Xp, irregular, seas_adj, trend_cycle, first, last);
}

void x11b17(X11COM* Xp, double* wts, const double* p_irreg, double* wrk2, long adj, long begin,
            long end, long xfirst2, long xlast2, int firstper, int /*lastper*/) {
  fill_missing(wts, Xp->fake_array_size);
  fill_missing(wrk2, Xp->fake_array_size);
  weights(Xp, wts, wrk2, p_irreg, adj, begin, end, xfirst2, xlast2, firstper);
}

void x11b18(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* wrk1, int fyr,
            long lper, long skp1, long skp2) {
  fill_missing(wrk1, Xp->fake_array_size + 24);
  for (int d = 0; d < 7; ++d) reg_td_wgts[d] += Xp->pdweights[d] - 1.0;
  x11dow(Xp, wrk1, reg_td_wgts, fyr, Xp->op.yrahdout_f != 0 ? lper + 12 : lper, Xp->lmopt);
  for (long i = 0; i < Xp->fake_array_size - skp1; ++i) td_monthly_factor[skp1 + i] = wrk1[skp2 + i];
}

void x11b19(X11COM* Xp, double* adj_original, const double* original, const double* td_adj,
            long first, long last) {
  x11div(Xp, adj_original, original, td_adj, first, last);
}

void x11c1(X11COM* Xp, double* mod_original, const double* wts, const double* irregular,
           const double* original, long first, long last) {
  const bool additive = Xp->op.add_f != 0;
  for (long p = first; p < last; ++p) {
    const double w = wts[p];
    const double o = original[p];
    // A full weight keeps the value exactly, whatever the irregular.
    if (w == 100.0) {
      mod_original[p] = o;
    } else if (additive) {
      mod_original[p] = o - (1.0 - w / 100.0) * irregular[p];
    } else {
      mod_original[p] = (w / 100.0 + (100.0 - w) / irregular[p]) * o;
    }
  }
}

void x11d9(X11COM* Xp, double* mod_si, const double* unmod_si, const double* mod_original,
           const double* trend_cycle, double* wrk1, long first, long last) {
  fill_missing(mod_si, Xp->fake_array_size);
  fill_missing(wrk1, Xp->fake_array_size);
  x11div(Xp, mod_si, mod_original, trend_cycle, first, last);
  for (long p = first; p < last; ++p)
    if (mod_si[p] != unmod_si[p]) wrk1[p] = mod_si[p];
}

void x11d11(X11COM* Xp, double* seas_adj, const double* original, const double* seas_fact,
            long first, long last, int flag) {
  if (Xp->op.summaryf == 0) {
    x11div(Xp, seas_adj, original, seas_fact, first, last);
  } else {
    copy_all(Xp, seas_adj, flag != 0 ? original : Xp->work.original_in);
  }
}

void x11d12(X11COM* Xp, double* trend_cycle, const double* mod_original, const double* seas_fact,
            double* wrk1, double* wrk2, long first, long last) {
  if (Xp->op.summaryf == 0) {
    x11div(Xp, wrk1, mod_original, seas_fact, first, last);
  } else {
    copy_all(Xp, wrk1, mod_original);
  }
  henderson(Xp, trend_cycle, wrk1, wrk2, first, last, 2);
}

void x11yra(X11COM* Xp, double* out, const double* seas_fact, long first, long last) {
  fill_missing(out, Xp->fake_array_size);
  std::copy(seas_fact + first, seas_fact + last, out + first);
  const long M = Xp->nper;
  for (long j = 0; j < M; ++j)
    out[last + j] = (3.0 * seas_fact[last + j - M] - seas_fact[last + j - 2 * M]) * 0.5;
}

}  // namespace x11sa
