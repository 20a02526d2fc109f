// Automatic model selection: five seasonal ARIMA models are fitted in turn,
// judged by their forecast error over the last three years, the Ljung-Box
// test of their residuals and a test for over-differencing; the accepted
// model with the smallest error extends the series.
#include <algorithm>
#include <array>
#include <string>

#include "arima/driver.h"
#include "arima/driver_internal.h"
#include "host/exit.h"
#include "host/host.h"
#include "numeric/distrib.h"

namespace x11sa {

using namespace detail;

namespace {

struct Candidate {
  int p, dif, q, sp, sdif, sq;
  bool log_when_multiplicative;
};

// (0,1,1)(0,1,1)s, (0,1,2)(0,1,1)s, (2,1,0)(0,1,1)s, (0,2,2)(0,1,1)s and
// (2,1,2)(0,1,1)s; the last is never transformed.
constexpr std::array<Candidate, 5> kCandidates = {{
    {0, 1, 1, 0, 1, 1, true},
    {0, 1, 2, 0, 1, 1, true},
    {2, 1, 0, 0, 1, 1, true},
    {0, 2, 2, 0, 1, 1, true},
    {2, 1, 2, 0, 1, 1, false},
}};

constexpr double kNoSecondFactor = -1e8;

bool monthly(const X11COM* Xp) { return Xp->op.month_f != 0; }

// 0 for a multiplicative run, 1 for an additive one: selects the message of
// the model's description.
int additive(const X11COM* Xp) { return Xp->op.add_f != 0 ? 1 : 0; }

// The candidate's description before a failure message.
void describe_candidate(X11COM* Xp, int index, bool to_ods) {
  const int number = 569 + index + 5 * additive(Xp);
  Xp->host->msg(number, index + 1);
  if (to_ods && ods_printing(Xp)) ods_note(Xp, msgtext(number, index + 1));
}

}  // namespace

void init_structs(X11COM* Xp) {
  X11ACOM& ac = Xp->x11acom;
  X11ARIMAOPTS& a = ac.arima;
  X11ARIMA* models[5] = {&ac.m1, &ac.m2, &ac.m3, &ac.m4, &ac.m5};
  TSACON* contexts[5] = {&ac.tsc1, &ac.tsc2, &ac.tsc3, &ac.tsc4, &ac.tsc5};
  for (int i = 0; i < 5; ++i) {
    *models[i] = X11ARIMA{};
    *contexts[i] = TSACON{};
    ac.pm[i] = models[i];
    ac.ptsc[i] = contexts[i];
    a.est_succeed[i] = 0;
    a.chi_val[i] = kMissing;
    a.chi_prob[i] = kMissing;
    a.chi_df[i] = 0;
    a.ma_sum[i] = kMissing;
    a.passed[i] = -1;
    std::fill(std::begin(a.mape[i]), std::end(a.mape[i]), kMissing);
  }
  a.best = -1;
  ac.passed_ptr = nullptr;
  ac.memcode = 0;
  ac.printit = 0;
  ac.itfun = nullptr;
}

void set_up_structs(X11COM* Xp, double* series) {
  X11ACOM& ac = Xp->x11acom;
  const X11ARIMAOPTS& a = ac.arima;
  const bool log = Xp->op.add_f == 0;
  for (int i = 0; i < 5; ++i) {
    const Candidate& c = kCandidates[static_cast<std::size_t>(i)];
    X11ARIMA& m = *ac.pm[i];
    m.p = c.p;
    m.dif = c.dif;
    m.q = c.q;
    m.sp = c.sp;
    m.sdif = c.sdif;
    m.sq = c.sq;
    m.tranopt = c.log_when_multiplicative && log ? kTrLog : kTrNone;
    m.period = monthly(Xp) ? 12 : 4;
    m.nlags = monthly(Xp) ? 36 : 12;
    m.lead = a.fore;
    m.x = series;
    m.n = Xp->x11flow.nobs;
    m.noconst = 0;
    m.center = 0;
    m.emethod = static_cast<char>(a.method);
    m.maxit = a.maxit;
    m.converge = a.converge;
    copy_name(&m, variable_name(Xp), 8);
  }
}

void set_tscon(X11COM* Xp) {
  X11ACOM& ac = Xp->x11acom;
  for (int i = 1; i < 5; ++i) {
    ac.pm[i]->tscon = ac.m1.tscon;
    ac.pm[i]->tscon_own = ac.m1.tscon_own;
  }
}

double over_dif(const X11ARIMA* iopts) {
  const TSMODEL* m = iopts->model;
  if (m == nullptr) return kNoSecondFactor;
  double first = 0.0;
  if (!m->mafac.empty())
    for (double c : m->mafac[0].vptr) first += c;
  const double second = m->mafac.size() >= 2 && !m->mafac[1].vptr.empty() ? m->mafac[1].vptr[0] : kNoSecondFactor;
  return std::max({first, second, kNoSecondFactor});
}

void x11mape(X11COM* Xp, const double* series, const double* error, long n, int index) {
  double* mape = Xp->x11acom.arima.mape[index];
  const long P = Xp->nper;
  std::fill(mape, mape + 4, kMissing);
  double total = 0.0;
  long count = 0;
  for (long b = 0; b < 3; ++b) {
    double sum = 0.0;
    long in_block = 0;
    for (long t = b * P; t < std::min((b + 1) * P, n); ++t) {
      if (is_missing(error[t]) || is_missing(series[t])) continue;
      sum += std::abs(error[t]) / (std::abs(series[t]) + 1e-8);
      ++in_block;
    }
    if (in_block > 0) mape[b] = 100.0 * sum / static_cast<double>(in_block);
    total += sum;
    count += in_block;
  }
  if (count > 0) mape[3] = 100.0 * total / static_cast<double>(count);
}

void x11crit(X11COM* Xp, X11ARIMA* iopts, int index) {
  X11ARIMAOPTS& a = Xp->x11acom.arima;
  const TSMODEL* m = iopts->model;
  // The test at lag 24 (monthly) or 8 (quarterly); the errors of the last
  // three years.
  const std::size_t k = monthly(Xp) ? 23 : 7;
  const long years = 3L * Xp->nper;
  a.chi_df[index] = k < m->chidf.size() ? m->chidf[k] : 0;
  a.chi_val[index] = k < m->chisq.size() ? m->chisq[k] : kMissing;
  const bool enough = m->nchi >= static_cast<int>(k) + 1 && !is_missing(a.chi_val[index]) && a.chi_df[index] > 0;
  a.chi_prob[index] = enough ? zpgx2(a.chi_val[index], a.chi_df[index]) : kMissing;
  a.ma_sum[index] = over_dif(iopts);
  const long end = iopts->forst->multstep;
  const long n = std::min(years, end);
  x11mape(Xp, iopts->x + (end - n), iopts->res + (end - n), n, index);
}

X11ARIMA* x11ctst(X11COM* Xp) {
  X11ACOM& ac = Xp->x11acom;
  X11ARIMAOPTS& a = ac.arima;
  std::fill(std::begin(a.passed), std::end(a.passed), -1);
  int npassed = 0;
  for (int i = 0; i < 5; ++i) {
    const bool accepted = a.est_succeed[i] != 0 && !is_missing(a.chi_prob[i]) &&
                          a.chi_prob[i] >= a.crit_val.chi_crit && !is_missing(a.ma_sum[i]) &&
                          a.ma_sum[i] <= a.crit_val.ovdif_crit && !is_missing(a.mape[i][3]) &&
                          a.mape[i][3] <= a.crit_val.mape_crit;
    if (accepted) a.passed[npassed++] = i;
  }
  if (npassed == 0) return nullptr;
  int best = a.passed[0];
  // A later model replaces the current choice only with a strictly smaller error.
  for (int j = 1; j < npassed; ++j)
    if (a.mape[a.passed[j]][3] < a.mape[best][3]) best = a.passed[j];
  a.best = best;
  if (a.ar_prnt == 2 && ods_printing(Xp)) {
    ods_note(Xp, msgtext(527));
    ods_note(Xp, msgtext(517 + best + 5 * additive(Xp), best + 1));
  }
  return ac.pm[best];
}

int x11auto(X11COM* Xp, double* in) {
  X11ACOM& ac = Xp->x11acom;
  X11ARIMAOPTS& a = ac.arima;
  const X11FLOW& f = Xp->x11flow;
  double* b1 = Xp->work.b1;
  fill_missing(b1, Xp->fake_array_size);
  std::copy(in, in + f.nobs, b1 + f.real_begin);
  init_structs(Xp);
  set_up_structs(Xp, in);
  const bool print_all = a.ar_prnt == 2;

  for (int i = 0; i < 5; ++i) {
    X11ARIMA* m = ac.pm[i];
    const int rc = x11arie(m, ac.memcode, ac.itfun, ac.printit);
    report_engine_messages(Xp, m->tscon);
    a.est_succeed[i] = rc == kTsOk ? 1 : 0;
    if (i == 0) set_tscon(Xp);
    if (m->tscon != nullptr) {
      *ac.ptsc[i] = *m->tscon;
      ac.ptsc[i]->model = m->model;
    }
    if (rc != kTsOk) {
      describe_candidate(Xp, i, print_all);
      estimation_failure(Xp, rc, print_all);
      if (print_all && m->model != nullptr && ods_printing(Xp)) ztspcnv(Xp, ac.ptsc[i]);
      continue;
    }
    m->forst = nullptr;
    m->tscon->tsfor = nullptr;
    const int frc = x11arif(m);
    report_engine_messages(Xp, m->tscon);
    if (frc == kTsOk) {
      x11crit(Xp, m, i);
      if (print_all) {
        x11aprn(Xp, m);
        x11cprt(Xp, m, i);
      }
      continue;
    }
    if (forecast_failure_message(frc) == 0) xebug_exit("X11AUTO: Unknown Return Code from X11ARIF().");
    describe_candidate(Xp, i, print_all);
    forecast_failure(Xp, frc, print_all);
    if (print_all && ods_printing(Xp)) ztspcnv(Xp, ac.ptsc[i]);
    a.est_succeed[i] = 0;
  }
  if (std::count(std::begin(a.est_succeed), std::end(a.est_succeed), 1) == 0) return 1;

  X11ARIMA* chosen = x11ctst(Xp);
  ac.passed_ptr = chosen;
  if (chosen == nullptr) return 2;
  if (a.ar_prnt == 1 && ods_printing(Xp)) {
    ztspmod(Xp, ac.ptsc[a.best]);
    x11cprt(Xp, chosen, a.best);
  }
  // The chosen model again, for the forecasts that extend the series; this
  // pass repeats one that succeeded, so its codes are not examined.
  (void)x11arie(chosen, ac.memcode, ac.itfun, ac.printit);
  report_engine_messages(Xp, chosen->tscon);
  (void)x11arif(chosen);
  report_engine_messages(Xp, chosen->tscon);
  x11fore(Xp, chosen);
  if (a.back > 0) {
    x11back(Xp, chosen);
    return Xp->rc.rc2 == 1 ? 1 : 0;
  }
  return 0;
}

}  // namespace x11sa
