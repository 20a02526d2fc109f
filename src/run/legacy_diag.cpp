#include "run/legacy_diag.h"

#include <algorithm>
#include <span>

#include "diag/combined_test.h"
#include "diag/d9a.h"
#include "diag/e4.h"
#include "diag/e_tables.h"
#include "diag/f2.h"
#include "diag/kruskal_wallis.h"
#include "diag/seasonality_f_tests.h"
#include "diag/summary_measures.h"
#include "host/exit.h"
#include "host/host.h"
#include "records/exit_levels.h"
#include "report/d9a_ratios.h"
#include "report/e4_ratios.h"
#include "report/f2_summary.h"
#include "report/seasonality_tests.h"

namespace x11sa {

namespace {

Frequency frequency_of(const X11COM* Xp) { return Xp->op.month_f != 0 ? Frequency::Monthly : Frequency::Quarterly; }
Mode mode_of(const X11COM* Xp) { return Xp->op.add_f != 0 ? Mode::Additive : Mode::Multiplicative; }

std::span<const double> stretch(const double* v, long begin, long end) {
  return {v + begin, static_cast<std::size_t>(end - begin)};
}
std::span<double> stretch(double* v, long begin, long end) {
  return {v + begin, static_cast<std::size_t>(end - begin)};
}

void store(X11COM* Xp, const StableSeasonalityTest& t) {
  STBAOV& a = Xp->stbaov;
  const VarianceRow* rows[3] = {&t.between_periods, &t.residual, &t.total};
  for (int k = 0; k < 3; ++k) {
    a.ss[k] = rows[k]->sum_of_squares;
    a.df[k] = rows[k]->df;
    a.ms[k] = rows[k]->mean_square;
  }
  a.f = t.f;
  a.probf = t.probability;
  Xp->ftest.f[0] = t.f;
  Xp->ftest.p[0] = t.probability;
}

void store(X11COM* Xp, const MovingSeasonalityTest& t, long begin) {
  OUTMOV& m = Xp->outmov;
  m.first = begin + t.first;
  m.last = begin + t.last;
  m.nyr = t.years;
  m.ss_periods = t.ss_between_periods;
  m.ss_years = t.between_years.sum_of_squares;
  m.ss_error = t.error.sum_of_squares;
  m.ss_total = t.ss_total;
  m.df_years = t.between_years.df;
  m.df_error = t.error.df;
  m.ms_years = t.between_years.mean_square;
  m.ms_error = t.error.mean_square;
  m.f = t.f;
  m.probf = t.probability;
  Xp->ftest.f[1] = t.f;
  Xp->ftest.p[1] = t.probability;
}

int verdict_code(IdentifiableSeasonality v) {
  switch (v) {
    case IdentifiableSeasonality::Present: return 0;
    case IdentifiableSeasonality::ProbablyNotPresent: return 1;
    case IdentifiableSeasonality::NotPresent: return 2;
  }
  return 2;
}

// The 48-value layout of the span statistics the flows pass between F1
// and F2.
void pack(const SpanStatistics& s, double* r) {
  std::copy(s.mean_abs_change.begin(), s.mean_abs_change.end(), r);
  std::copy(s.mean_abs_change_squared.begin(), s.mean_abs_change_squared.end(), r + 12);
  std::copy(s.mean_change.begin(), s.mean_change.end(), r + 24);
  std::copy(s.sd_change.begin(), s.sd_change.end(), r + 36);
}

SpanStatistics unpack(const double* r) {
  SpanStatistics s;
  std::copy(r, r + 12, s.mean_abs_change.begin());
  std::copy(r + 12, r + 24, s.mean_abs_change_squared.begin());
  std::copy(r + 24, r + 36, s.mean_change.begin());
  std::copy(r + 36, r + 48, s.sd_change.begin());
  return s;
}

bool td_in_force(const X11COM* Xp) {
  return Xp->tdregr == 2 || (Xp->tdregr == 3 && Xp->op.ftest_f != 0) || Xp->op.pdwgt_f != 0;
}

}  // namespace

void x11d8tests(X11COM* Xp, int print_flag) {
  const X11FLOW& f = Xp->x11flow;
  const Frequency frequency = frequency_of(Xp);
  const int p = periods_per_year(frequency);
  const auto si = stretch(Xp->work.d8, f.real_begin, f.real_end);
  OdsManager& ods = Xp->host->ods();
  const bool print = print_flag != 0;

  const StableSeasonalityTest stable = stable_seasonality_test(si, p);
  store(Xp, stable);
  if (print) print_stable_seasonality_test(ods, stable, frequency);

  const MovingSeasonalityTest moving = moving_seasonality_test(si, p, mode_of(Xp), f.firstper);
  store(Xp, moving, f.real_begin);
  if (print) print_moving_seasonality_test(ods, moving);

  const KruskalWallisTest kw = kruskal_wallis_test(si, p);
  if (kw.status == KruskalWallisStatus::NoMemory) {
    Xp->host->log().error("There is not enough memory for the Kruskal-Wallis test.");
    raise_level(Xp, exit_level::kResource);
    xexit(Xp->exitlvl);
  }
  Xp->kwstats.stat = kw.statistic;
  Xp->kwstats.df = kw.df;
  Xp->kwstats.prob = kw.probability;
  Xp->kwstats.level = kw.level();
  if (print) print_kruskal_wallis_test(ods, kw);

  const CombinedSeasonalityTest combined = combined_seasonality_test(stable, moving, kw);
  Xp->ftest.t1 = combined.t1;
  Xp->ftest.t2 = combined.t2;
  Xp->ftest.t = combined.t;
  Xp->ftest.fail = verdict_code(combined.verdict);
  if (print) print_combined_seasonality_test(ods, combined);
}

void x11d9p(X11COM* Xp, const double* d9, double* /*w1*/, double* /*w2*/, long begin, long end, int firstper) {
  const Frequency frequency = frequency_of(Xp);
  const D9aRatios ratios = d9a_ratios(stretch(d9, begin, end), periods_per_year(frequency), mode_of(Xp), firstper);
  print_d9a_ratios(Xp->host->ods(), ratios, frequency);
}

void x11e1(X11COM* Xp, double* e1, const double* a1, const double* a2, const double* c17, const double* c18,
           const double* d10, const double* d12, int flag, long begin, long end) {
  E1Components in;
  in.original = stretch(a1, begin, end);
  if (Xp->vn_pmf >= 0) in.prior = stretch(a2, begin, end);
  in.weights = stretch(c17, begin, end);
  if (flag != 0) in.trading_day = stretch(c18, begin, end);
  in.seasonal = stretch(d10, begin, end);
  in.trend_cycle = stretch(d12, begin, end);
  e1_modified_original(stretch(e1, begin, end), in, mode_of(Xp));
}

void x11e2(double* e2, const double* c17, const double* d11, const double* d12, long begin, long end) {
  e2_modified_adjusted(stretch(e2, begin, end), stretch(c17, begin, end), stretch(d11, begin, end),
                       stretch(d12, begin, end));
}

void x11e3(X11COM* Xp, double* e3, const double* c17, const double* d13, long begin, long end) {
  e3_modified_irregular(stretch(e3, begin, end), stretch(c17, begin, end), stretch(d13, begin, end), mode_of(Xp));
}

void x11e5(X11COM* Xp, double* e5, const double* a1, long begin, long end) {
  e5_original_changes(stretch(e5, begin - 1, end), stretch(a1, begin - 1, end), mode_of(Xp));
}

void x11e6(X11COM* Xp, double* e6, const double* d11, long begin, long end) {
  e6_adjusted_changes(stretch(e6, begin - 1, end), stretch(d11, begin - 1, end), mode_of(Xp));
}

void x11e4p(X11COM* Xp, const double* b1, const double* d11, const double* e1, const double* e2, int firstyr,
            int /*lastyr*/, int firstper, long begin, long end) {
  const E4Series series{stretch(b1, begin, end), stretch(d11, begin, end), stretch(e1, begin, end),
                        stretch(e2, begin, end)};
  const Mode mode = mode_of(Xp);
  print_e4_ratios(Xp->host->ods(), e4_ratios(series, Xp->nper, mode, firstyr, firstper), mode);
}

void x11f1(X11COM* Xp, double* f1, double* d12p, double* d13p, const double* d11, const double* d12,
           const double* d13, long begin, long end, long* ifirst, long* ilast, int* imcd) {
  fill_missing(f1, Xp->fake_array_size);
  const CyclicalDominance dominance =
      cyclical_dominance(stretch(d12, begin, end), stretch(d13, begin, end), frequency_of(Xp), mode_of(Xp));
  pack(dominance.trend_cycle, d12p);
  pack(dominance.irregular, d13p);
  f1_moving_average(stretch(f1, begin, end), stretch(d11, begin, end), dominance);
  *imcd = dominance.mcd;
  *ifirst = begin + dominance.first;
  *ilast = begin + dominance.last;
}

void x11f2p(X11COM* Xp, const double* b1, const double* a2, const double* c18, const double* d10,
            const double* d11, const double* d12, const double* d13, const double* e1, const double* e2,
            const double* e3, const double* f1, const double* d12p, const double* d13p, long begin, long end,
            long first, long last, int mcd) {
  const Frequency frequency = frequency_of(Xp);
  const bool monthly = frequency == Frequency::Monthly;
  F2Series series;
  series.original = stretch(b1, begin, end);
  if (monthly && Xp->vn_pmf >= 0) series.prior = stretch(a2, begin, end);
  if (monthly && td_in_force(Xp)) series.trading_day = stretch(c18, begin, end);
  series.seasonal = stretch(d10, begin, end);
  series.adjusted = stretch(d11, begin, end);
  series.trend_cycle = stretch(d12, begin, end);
  series.irregular = stretch(d13, begin, end);
  series.modified_original = stretch(e1, begin, end);
  series.modified_adjusted = stretch(e2, begin, end);
  series.modified_irregular = stretch(e3, begin, end);
  series.f1 = stretch(f1, begin, end);
  CyclicalDominance dominance;
  dominance.trend_cycle = unpack(d12p);
  dominance.irregular = unpack(d13p);
  dominance.mcd = mcd;
  dominance.first = first - begin;
  dominance.last = last - begin;
  const Mode mode = mode_of(Xp);
  print_f2_summary(Xp->host->ods(), f2_summary(series, dominance, frequency, mode), frequency, mode);
}

}  // namespace x11sa
