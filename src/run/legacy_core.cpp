#include "run/legacy_core.h"

#include <algorithm>
#include <cmath>

#include "core/extreme_values.h"
#include "core/moving_averages.h"
#include "core/prior_adjustment.h"
#include "core/trading_day.h"
#include "host/dates.h"
#include "host/exit.h"
#include "pipeline/table_steps.h"

namespace x11sa {

namespace {

// A whole table vector.
std::span<double> vec(const X11COM* Xp, double* p) { return {p, static_cast<std::size_t>(Xp->fake_array_size)}; }
std::span<const double> vec(const X11COM* Xp, const double* p) {
  return {p, static_cast<std::size_t>(Xp->fake_array_size)};
}

// Positions [first, last) of a vector.
template <class T>
std::span<T> stretch(T* p, long first, long last) {
  return {p + first, static_cast<std::size_t>(std::max(last - first, 0L))};
}

Mode mode_of(const X11COM* Xp) { return Xp->op.add_f != 0 ? Mode::Additive : Mode::Multiplicative; }

SeasonalCurve curve_of(short code) {
  switch (code) {
    case -1: return SeasonalCurve::Stable;
    case 1: return SeasonalCurve::ThreeTerm;
    case 2: return SeasonalCurve::ThreeByThree;
    case 3: return SeasonalCurve::ThreeByFive;
    case 4: return SeasonalCurve::ThreeByNine;
    default: return SeasonalCurve::Default;
  }
}

SeasonalEstimate estimate_of(int pass) { return pass == 1 ? SeasonalEstimate::Preliminary : SeasonalEstimate::Final; }

void set_henderson(X11COM* Xp, const std::optional<HendersonChoice>& choice) {
  if (!choice) return;
  Xp->trendma_prnt = choice->length;
  Xp->ratioic = choice->ic_ratio;
}

DailyWeights seven(const double* p) {
  DailyWeights w{};
  std::copy_n(p, 7, w.begin());
  return w;
}

// A vector of trading-day factors from index skp1 to its end.
std::span<double> factor_tail(X11COM* Xp, double* factors, long skp1) {
  return stretch(factors, skp1, Xp->fake_array_size);
}

// x11xtro and x11xtrm: weights of calendar months [first, last] at in[k - adj].
void monthly_weights(X11COM* Xp, ExtremeRule rule, double* wt, double* std, const double* in, long adj, long first,
                     long last) {
  const long n = Xp->fake_array_size;
  std::fill(wt, wt + std::max(n, 0L), 100.0);
  std::fill(std, std + std::max(n, 0L), 0.0);
  if (first > last) return;
  ExtremeValueRules rules{mode_of(Xp), rule, Xp->op.old_f != 0, Xp->fullweight, Xp->zeroweight};
  const long years = sigma_count(last - first + 1, Frequency::Monthly);
  extreme_value_weights(stretch(in, first - adj, last - adj + 1), Frequency::Monthly,
                        static_cast<int>(((first - 1) % 12 + 12) % 12), rules, stretch(wt, first - adj, last - adj + 1),
                        stretch(std, 0, years));
  if (years < n) std[years] = std[years - 1];
}

// The method's options as X11COM holds them.
AdjustmentOptions adjustment_options(const X11COM* Xp) {
  AdjustmentOptions o;
  o.frequency = Xp->op.month_f != 0 ? Frequency::Monthly : Frequency::Quarterly;
  o.mode = mode_of(Xp);
  o.summary = Xp->op.summaryf != 0;
  o.trend_adjust = Xp->op.trndadj_f != 0;
  if (Xp->trendma != 0) o.trendma = Xp->trendma;
  o.ptrendma = Xp->ptrendma;
  o.fullweight = Xp->fullweight;
  o.zeroweight = Xp->zeroweight;
  o.exclude = Xp->exclude;
  o.extreme = Xp->extreme == 0 ? ExtremeRule::Old : ExtremeRule::New;
  o.old_sigma = Xp->op.old_f != 0;
  constexpr TradingDayRegression kRegressions[] = {TradingDayRegression::None, TradingDayRegression::Print,
                                                   TradingDayRegression::Adjust, TradingDayRegression::Test};
  o.tdregr = Xp->tdregr >= 0 && Xp->tdregr <= 3 ? kRegressions[Xp->tdregr] : TradingDayRegression::None;
  o.length_of_month = Xp->lmopt == 4;
  if (Xp->op.pdwgt_f != 0) o.prior_daily_weights = seven(Xp->pdweights);
  for (int m = 0; m < 12; ++m) o.curves[m] = curve_of(Xp->macrv.spec[m]);
  o.year_ahead = Xp->op.yrahdout_f != 0;
  return o;
}

}  // namespace

void x11b1(X11COM* Xp, double* adjusted, const double* prior_adj, const double* tdr_factors, long first, long last) {
  b1_series(vec(Xp, prior_adj), tdr_factors != nullptr ? vec(Xp, tdr_factors) : std::span<const double>{},
            {first, last, 0}, mode_of(Xp), vec(Xp, adjusted));
}

void x11b2(X11COM* Xp, double* trend_cycle, const double* original, long begin, long end) {
  b2_preliminary_trend(adjustment_options(Xp), vec(Xp, original), {begin, end, 0}, vec(Xp, trend_cycle));
}

void x11b3(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle, long first, long last) {
  b3_si_ratios(vec(Xp, original), vec(Xp, trend_cycle), {first, last, 0}, mode_of(Xp), vec(Xp, si_ratio));
}

void x11b4(X11COM* Xp, double* out, const double* in, double* wrk1, double* wrk2, double* wrk3, int p, long /*adj*/,
           int mon, long begin, long end, long /*xfirst*/, long /*xlast*/, int /*firstper*/, int /*lastper*/) {
  b4_modified_si_ratios(adjustment_options(Xp), vec(Xp, in), {begin, end, mon}, estimate_of(p), vec(Xp, out),
                        vec(Xp, wrk2), vec(Xp, wrk1), vec(Xp, wrk3));
}

void x11b9(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* wrk2, double* wrk3, int p,
           int mon, long /*adj*/, long begin, long end, long /*xfirst2*/, long /*xlast2*/, int /*firstper*/,
           int /*lastper*/) {
  b4_modified_si_ratios(adjustment_options(Xp), vec(Xp, si_ratio), {begin, end, mon}, estimate_of(p),
                        vec(Xp, seas_fact), vec(Xp, wrk2), vec(Xp, wrk1), vec(Xp, wrk3));
}

void x11b5(X11COM* Xp, double* out, const double* in, double* wrk1, double* /*wrk2*/, double* /*wrk3*/, int mon,
           int p, long begin, long end) {
  const AdjustmentOptions o = adjustment_options(Xp);
  b5_seasonal_factors(o, vec(Xp, in), {begin, end, mon}, o.monthly() ? estimate_of(p) : SeasonalEstimate::Preliminary,
                      vec(Xp, out), vec(Xp, wrk1));
}

void x11b6(X11COM* Xp, double* seas_adj, const double* original, const double* seas_fact, long first, long last) {
  remove_component(vec(Xp, original), vec(Xp, seas_fact), {first, last, 0}, mode_of(Xp), vec(Xp, seas_adj));
}

void x11b7(X11COM* Xp, double* trend_cycle, double* seas_adj, double* wrk1, double* wrk2, double* wrk3, long /*adj*/,
           long begin, long end, long /*xfirst2*/, long /*xlast2*/, int firstper, int /*lastper*/) {
  set_henderson(Xp, b7_trend_cycle(adjustment_options(Xp), vec(Xp, seas_adj), {begin, end, firstper},
                                   vec(Xp, trend_cycle), vec(Xp, wrk1), vec(Xp, wrk2), vec(Xp, wrk3)));
}

void x11c7(X11COM* Xp, double* trend_cycle, const double* seas_adj, double* /*wrk1*/, long first, long last) {
  set_henderson(Xp, c7_trend_cycle(adjustment_options(Xp), vec(Xp, seas_adj), {first, last, 0}, vec(Xp, trend_cycle)));
}

void x11b8(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle, long first, long last) {
  remove_component(vec(Xp, original), vec(Xp, trend_cycle), {first, last, 0}, mode_of(Xp), vec(Xp, si_ratio));
}

void x11d8(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle, long first, long last) {
  b3_si_ratios(vec(Xp, original), vec(Xp, trend_cycle), {first, last, 0}, mode_of(Xp), vec(Xp, si_ratio));
}

void x11b10(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* /*wrk2*/, double* /*wrk3*/,
            int mon, int p, long first, long last) {
  const AdjustmentOptions o = adjustment_options(Xp);
  b10_seasonal_factors(o, vec(Xp, si_ratio), {first, last, mon}, o.monthly() ? estimate_of(p) : SeasonalEstimate::Final,
                       vec(Xp, seas_fact), vec(Xp, wrk1));
}

void x11d10(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* /*wrk2*/, double* /*wrk3*/,
            int mon, int p, long first, long last) {
  const AdjustmentOptions o = adjustment_options(Xp);
  d10_seasonal_factors(o, vec(Xp, si_ratio), {first, last, mon}, o.monthly() ? estimate_of(p) : SeasonalEstimate::Final,
                       vec(Xp, seas_fact), vec(Xp, wrk1));
}

void x11b13(X11COM* Xp, double* irregular, const double* seas_adj, const double* trend_cycle, long first, long last) {
  remove_component(vec(Xp, seas_adj), vec(Xp, trend_cycle), {first, last, 0}, mode_of(Xp), vec(Xp, irregular));
}

void x11b17(X11COM* Xp, double* weights, const double* p_irreg, double* wrk2, long /*adj*/, long begin, long end,
            long /*xfirst2*/, long /*xlast2*/, int firstper, int /*lastper*/) {
  b17_extreme_weights(adjustment_options(Xp), vec(Xp, p_irreg), {begin, end, firstper}, vec(Xp, weights),
                      vec(Xp, wrk2));
}

void x11b18(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* /*wrk1*/, int fyr, long lper,
            long skp1, long skp2) {
  const DailyWeights combined = b18_combined_trading_day_factors(
      adjustment_options(Xp), seven(reg_td_wgts), {fyr, skp2, lper + 12}, factor_tail(Xp, td_monthly_factor, skp1));
  std::copy(combined.begin(), combined.end(), reg_td_wgts);
}

void x11b19(X11COM* Xp, double* adj_original, const double* original, const double* td_adj, long first, long last) {
  remove_component(vec(Xp, original), vec(Xp, td_adj), {first, last, 0}, mode_of(Xp), vec(Xp, adj_original));
}

void x11c1(X11COM* Xp, double* mod_original, const double* weights, const double* irregular, const double* original,
           long first, long last) {
  c1_modified_series(vec(Xp, weights), vec(Xp, irregular), vec(Xp, original), {first, last, 0}, mode_of(Xp),
                     vec(Xp, mod_original));
}

void x11d9(X11COM* Xp, double* mod_si, const double* unmod_si, const double* mod_original, const double* trend_cycle,
           double* wrk1, long first, long last) {
  d9_modified_si_ratios(vec(Xp, mod_original), vec(Xp, trend_cycle), vec(Xp, unmod_si), {first, last, 0}, mode_of(Xp),
                        vec(Xp, mod_si), vec(Xp, wrk1));
}

void x11d11(X11COM* Xp, double* seas_adj, const double* original, const double* seas_fact, long first, long last,
            int flag) {
  d11_seasonally_adjusted(adjustment_options(Xp), vec(Xp, original), vec(Xp, seas_fact),
                          vec(Xp, flag != 0 ? original : Xp->work.original_in), {first, last, 0}, vec(Xp, seas_adj));
}

void x11d12(X11COM* Xp, double* trend_cycle, const double* mod_original, const double* seas_fact, double* wrk1,
            double* /*wrk2*/, long first, long last) {
  set_henderson(Xp, d12_trend_cycle(adjustment_options(Xp), vec(Xp, mod_original), vec(Xp, seas_fact),
                                    {first, last, 0}, vec(Xp, trend_cycle), vec(Xp, wrk1)));
}

void x11yra(X11COM* Xp, double* out, const double* seas_fact, long first, long last) {
  year_ahead_seasonal_factors(vec(Xp, seas_fact), {first, last, 0},
                              Xp->op.month_f != 0 ? Frequency::Monthly : Frequency::Quarterly, vec(Xp, out));
}

void x11div(X11COM* Xp, double* result, const double* num, const double* den, long first, long last) {
  ratio_or_difference(stretch(num, first, last), stretch(den, first, last), stretch(result, first, last),
                      mode_of(Xp));
}

void x11xtro(X11COM* Xp, double* wt, double* std, const double* in, long adj, long first, long last) {
  monthly_weights(Xp, ExtremeRule::Old, wt, std, in, adj, first, last);
}

void x11xtrm(X11COM* Xp, double* wt, double* std, const double* in, long adj, long first, long last) {
  monthly_weights(Xp, ExtremeRule::New, wt, std, in, adj, first, last);
}

// --- trading day -----------------------------------------------------------------

void x11tdt(X11COM* Xp, short* Tday, long nobs) { month_types(Xp->date.firstyr, stretch(Tday, 0, nobs)); }

long x11tdaj(X11COM* Xp) {
  if (!Xp->op.tdcmpt_f || is_missing(Xp->tdcompute)) return 0;
  const double series_start = zmdy(Xp->x11flow.firstper + 1, 1, Xp->x11flow.firstyr);
  const double months = zintck("MONTH", series_start, Xp->tdcompute);
  if (std::isnan(months) || months <= 0.0) return 0;
  return static_cast<long>(months);
}

void x11b14(X11COM* Xp, double* out, const double* in, short* tdtype, const short* tdtypein, long n, long* nextreme) {
  if (tdtype != tdtypein && n > 0) std::copy_n(tdtypein, n, tdtype);
  *nextreme = b14_exclude_extreme_months(stretch(in, 0, n), Xp->exclude, mode_of(Xp), stretch(tdtype, 0, n),
                                         stretch(out, 0, n));
}

void x11c14(X11COM* Xp, double* out, const double* in, const double* b16, short* tdtype, const short* tdtypein,
            long n) {
  if (tdtype != tdtypein && n > 0) std::copy_n(tdtypein, n, tdtype);
  c14_exclude_extreme_months(stretch(in, 0, n), stretch(b16, 0, n), Xp->exclude, stretch(tdtype, 0, n),
                             stretch(out, 0, n));
}

void x11b15(X11COM* Xp, double* tdreg, const double* in, const short* tdtype, const double* tdprior, long n,
            double /*regress*/[7][6], double* c, double* s, int* xn, double* ssr, double* sumysq) {
  std::optional<DailyWeights> prior;
  if (Xp->prior == 2 || Xp->prior == 4) {
    prior.emplace();
    prior->fill(1.0);
    if (tdprior != nullptr) *prior = seven(tdprior);
  }
  const TradingDayFit fit = b15_fit(stretch(in, 0, n), stretch(tdtype, 0, n), prior, mode_of(Xp));
  std::copy(fit.coefficients.begin(), fit.coefficients.end(), tdreg);
  std::copy(fit.variance_factors.begin(), fit.variance_factors.end(), c);
  std::fill_n(s, 7, 0.0);
  *xn = fit.months;
  *ssr = fit.regression_ss;
  *sumysq = fit.total_ss;
}

int x11b15p(X11COM* Xp, const double* /*tdreg*/, const double* /*tdprior*/, int xn, double ssr, double sumysq) {
  X11FLOW& flow = Xp->x11flow;
  TradingDayFit fit;
  fit.months = xn;
  fit.regression_ss = ssr;
  fit.total_ss = sumysq;
  fit.variance_factors = seven(flow.c);
  const TradingDayTest t = b15_test(fit, mode_of(Xp), Xp->lmopt == 4);
  flow.xn = xn;
  flow.ssr = ssr;
  flow.sumysq = sumysq;
  flow.sse = t.error_ss;
  flow.mse = t.error_ms;
  flow.se = t.standard_error;
  flow.msr = t.regression_ms;
  flow.fv = t.f;
  flow.prbf = t.prob_f;
  std::copy(t.standard_errors.begin(), t.standard_errors.end(), flow.s);
  std::copy(t.month_standard_errors.begin(), t.month_standard_errors.end(), flow.stdmonth);
  return Xp->tdregr == 3 && t.significant ? 1 : 0;
}

void x11b16(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* /*wrk1*/, int fyr, long lper,
            long skp1, long skp2) {
  const DailyWeights weights = b16_trading_day_factors(adjustment_options(Xp), seven(reg_td_wgts),
                                                       {fyr, skp2, lper + 12}, factor_tail(Xp, td_monthly_factor, skp1));
  std::copy(weights.begin(), weights.end(), reg_td_wgts);
}

void x11c16(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* /*wrk1*/, int fyr, long lper,
            long skp1, long skp2) {
  const DailyWeights weights = c16_trading_day_factors(adjustment_options(Xp), seven(reg_td_wgts),
                                                       {fyr, skp2, lper + 12}, factor_tail(Xp, td_monthly_factor, skp1));
  std::copy(weights.begin(), weights.end(), reg_td_wgts);
}

// --- prior adjustments -----------------------------------------------------------

void fillup_pmf(X11COM* Xp) {
  double* pmf = Xp->work.pmf;
  std::fill(pmf, pmf + Xp->fake_array_size, 100.0);
  const auto bytes = static_cast<std::size_t>(Xp->obs) * sizeof(double);
  if (!Xp->util3->point(0) || !Xp->util3->read(pmf + Xp->x11acom.arima.back, bytes))
    xebug_exit("the prior monthly factors of the group could not be read back");
}

void x11a3(X11COM* Xp, double* adjusted, const double* original, const double* pmf, long begin, long end) {
  if (Xp->vn_pmf >= 0)
    a3_prior_adjusted_series(stretch(original, begin, end), stretch(pmf, begin, end), mode_of(Xp),
                             stretch(adjusted, begin, end));
}

void x11a4(X11COM* Xp) {
  WORK& w = Xp->work;
  const long n = Xp->fake_array_size;
  if (Xp->op.pdwgt_f != 0) {
    // By calendar position from the first year of the extended range; index
    // B of the vectors is the group's first period.
    a4_prior_trading_day_factors(seven(Xp->pdweights), Xp->date.firstyr - Xp->x11acom.arima.yrs_b, Xp->date.firstper,
                                 mode_of(Xp),
                                 Xp->lmopt == 4 ? MonthDivisor::MeanMonth : MonthDivisor::LeapAveragedFebruary,
                                 stretch(w.ptdfactor, 0, n));
  } else {
    fill_missing(w.ptdfactor, n);
  }
  Xp->ptd_reg_done = 1;
}

void x11a5(X11COM* Xp, double* a5, const double* a4, const double* a3, const double* a1, long begin, long end) {
  const bool monthly_factors = Xp->prior == 3 || Xp->prior == 4;
  const bool daily_weights = Xp->prior == 2 || Xp->prior == 4;
  a5_prior_adjusted_series(stretch(a1, begin, end),
                           monthly_factors ? stretch(a3, begin, end) : std::span<const double>{},
                           daily_weights ? stretch(a4, begin, end) : std::span<const double>{}, mode_of(Xp),
                           stretch(a5, begin, end));
}

}  // namespace x11sa
