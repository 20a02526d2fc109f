#include "run/legacy_spans.h"

#include <algorithm>
#include <new>
#include <span>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/exit.h"
#include "host/host.h"
#include "io/x11out.h"
#include "records/exit_levels.h"
#include "report/spans.h"
#include "run/flows.h"
#include "spans/layout.h"
#include "spans/statistics.h"

namespace x11sa {

namespace {

Frequency frequency_of(const X11COM* Xp) { return Xp->op.month_f != 0 ? Frequency::Monthly : Frequency::Quarterly; }

SeasonalCurve curve_of(short code) {
  switch (code) {
    case 1: return SeasonalCurve::ThreeTerm;
    case 2: return SeasonalCurve::ThreeByThree;
    case 3: return SeasonalCurve::ThreeByFive;
    case 4: return SeasonalCurve::ThreeByNine;
    default: return code < 0 ? SeasonalCurve::Stable : SeasonalCurve::Default;
  }
}

SeasonalCurve seasonal_filter(const X11COM* Xp) {
  std::array<SeasonalCurve, 12> curves{};
  for (std::size_t m = 0; m < curves.size(); ++m) curves[m] = curve_of(Xp->macrv.spec[m]);
  return longest_seasonal_filter(curves);
}

// Restores what the reruns change in the run state: the variable's flow
// record and the switches the chain sets.
class RerunState {
 public:
  RerunState(X11COM* Xp, const X11FLOW& variable)
      : Xp_(Xp), variable_(variable), ftest_f_(Xp->op.ftest_f), outstb_f_(Xp->op.outstb_f) {}
  ~RerunState() {
    Xp_->x11flow = variable_;
    Xp_->op.ftest_f = ftest_f_;
    Xp_->op.outstb_f = outstb_f_;
  }
  RerunState(const RerunState&) = delete;
  RerunState& operator=(const RerunState&) = delete;

 private:
  X11COM* Xp_;
  X11FLOW variable_;
  int ftest_f_;
  int outstb_f_;
};

[[noreturn]] void out_of_memory(X11COM* Xp, const std::string& name) {
  Xp->host->log().error(fmt::format(
      "Not enough memory for the sliding spans analysis of variable {} in BY group {}.", name, Xp->bycnt));
  raise_level(Xp, exit_level::kResource);
  xexit(exit_level::kResource);
}

// The spans newest first, as they always were rerun.
std::vector<SpanEstimates> adjust_spans(X11COM* Xp, const X11FLOW& variable, const SpanLayout& layout) {
  std::vector<SpanEstimates> spans(static_cast<std::size_t>(layout.count));
  RerunState restore(Xp, variable);
  if (Xp->x11ssp.sp_orig != nullptr)
    std::copy(Xp->x11ssp.sp_orig, Xp->x11ssp.sp_orig + Xp->fake_array_size, Xp->work.original_in);
  for (int i = layout.count - 1; i >= 0; --i) {
    const X11FLOW span = span_flow(Xp, variable, layout, layout.spans[static_cast<std::size_t>(i)]);
    spans[static_cast<std::size_t>(i)] = adjust_span(Xp, span);
  }
  return spans;
}

SpanReportSettings report_settings(const X11COM* Xp, const std::string& name) {
  const X11SSP& sp = Xp->x11ssp;
  SpanReportSettings s;
  s.reports = SpanReportSet(sp.reports);
  s.variable = name;
  s.decimals = sp.NumDec;
  s.spread_decimals = sp.PNumDec1;
  s.td_spread_decimals = sp.PNumDec2;
  return s;
}

}  // namespace

X11FLOW span_flow(const X11COM* Xp, const X11FLOW& variable, const SpanLayout& layout, const SpanExtent& extent) {
  const SeriesCalendar& cal = layout.series;
  const long P = cal.periods();
  const long h = P / 2;
  X11FLOW f = variable;
  f.nobs = layout.length;
  f.real_begin = variable.real_begin + extent.first;
  f.real_end = variable.real_begin + extent.end;
  f.nmiss = f.real_begin - Xp->x11acom.arima.back;
  // A span is never extended by backcasts or forecasts.
  f.fake_begin = f.real_begin;
  f.fake_end = f.real_end;
  f.b_date = extent.first_date;
  f.e_date = extent.last_date;
  f.firstyr = cal.year_of(extent.first);
  f.firstper = cal.period_of(extent.first);
  f.lastyr = cal.year_of(extent.end - 1);
  f.lastper = cal.period_of(extent.end - 1);
  f.xfirstper = static_cast<int>((f.firstper + h) % P);
  f.xlastper = static_cast<int>(((f.lastper - h) % P + P) % P);
  f.real_ma_beg = f.real_begin + h;
  f.real_ma_end = f.real_end - h;
  f.fake_ma_beg = f.real_ma_beg;
  f.fake_ma_end = f.real_ma_end;
  f.real_adj = f.firstper - f.real_begin + 1;
  f.adjust = f.firstper - f.nmiss + 1;
  f.xfirst2 = f.firstper + 1;
  f.xlast2 = f.lastper + 1 + static_cast<long>(f.lastyr - f.firstyr) * P;
  f.xfirst = f.firstper + h + 1;
  f.xlast = f.lastper - (h - 1) + static_cast<long>(f.lastyr - f.firstyr) * P;
  f.fake_xlast = f.xlast;
  f.fake_xlast2 = f.xlast2;
  f.month = static_cast<int>((f.firstper + h) % P);
  f.nobsplus = f.nobs;
  f.ar_go = 0;
  f.ar_reset = 0;
  f.X11ArimaFail = 0;
  if (Xp->tdregr != 0) f.td_adj = 0;
  f.temp_addr1 = nullptr;
  return f;
}

SpanEstimates adjust_span(X11COM* Xp, const X11FLOW& span) {
  Xp->x11flow = span;
  ChainSpan s = plain_span(Xp);
  s.print = false;
  s.write = false;
  // The seasonality tests on D8 run only when their rows are recorded.
  const int outstb = Xp->op.outstb_f;
  Xp->op.outstb_f = 1;
  a_tables(Xp, s);
  b_tables(Xp, s);
  c_tables(Xp, s);
  d_tables(Xp, s);
  Xp->op.outstb_f = outstb;

  const WORK& w = Xp->work;
  const auto b = static_cast<std::size_t>(span.real_begin);
  const auto e = static_cast<std::size_t>(span.real_end);
  SpanEstimates out;
  out.seasonal.assign(w.d10 + b, w.d10 + e);
  out.adjusted.assign(w.d11 + b, w.d11 + e);
  if (Xp->op.month_f != 0 && Xp->tdregr > 0) out.trading_day.assign(w.c18 + b, w.c18 + e);
  const FTEST& ft = Xp->ftest;
  out.tests.stable_f = ft.f[0];
  out.tests.stable_probability = ft.p[0];
  out.tests.moving_f = ft.f[1];
  out.tests.moving_probability = ft.p[1];
  out.tests.verdict = ft.fail == 0   ? IdentifiableSeasonality::Present
                      : ft.fail == 1 ? IdentifiableSeasonality::ProbablyNotPresent
                                     : IdentifiableSeasonality::NotPresent;
  return out;
}

int run_sliding_spans(X11COM* Xp, X11FLOW* variable) {
  const std::string name = variable->vv != nullptr ? variable->vv->v_vs : std::string();
  SeriesCalendar calendar;
  calendar.frequency = frequency_of(Xp);
  calendar.count = variable->nobs;
  calendar.first_year = variable->firstyr;
  calendar.first_period = variable->firstper;
  const SpanLayout layout = span_layout(calendar, seasonal_filter(Xp));
  if (layout.status == SpanLayoutStatus::TooShort) {
    Xp->host->msg(219, name);
    return 0;
  }
  const X11FLOW saved = *variable;
  std::vector<SpanEstimates> spans;
  try {
    spans = adjust_spans(Xp, saved, layout);
  } catch (const std::bad_alloc&) {
    out_of_memory(Xp, name);
  }
  *variable = saved;
  if (Xp->op.outspan_f != 0) {
    // The series as read, saved before the spans were rerun.
    const double* a1 = Xp->x11ssp.sp_orig != nullptr ? Xp->x11ssp.sp_orig : Xp->work.original_in;
    x11ospn(Xp, layout, spans, std::span(a1 + saved.real_begin, static_cast<std::size_t>(saved.nobs)), name);
  }
  if (Xp->op.noprint_f == 0) {
    SpanComparisonOptions options;
    options.mode = Xp->op.add_f != 0 ? Mode::Additive : Mode::Multiplicative;
    options.cutoff = Xp->x11ssp.cutoff;
    options.td_cutoff = Xp->x11ssp.td_cutoff;
    SpansOutcome outcome;
    try {
      outcome = compare_spans(layout, std::move(spans), options);
    } catch (const std::bad_alloc&) {
      out_of_memory(Xp, name);
    }
    print_sliding_spans(Xp->host->ods(), outcome, report_settings(Xp, name));
  }
  return layout.count;
}

}  // namespace x11sa
