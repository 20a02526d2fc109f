#include "spans/spans.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <type_traits>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/exit.h"
#include "host/host.h"
#include "io/x11out.h"
#include "report/spans.h"
#include "run/flows.h"

namespace x11sa {

namespace {

const char* interval(const X11COM* Xp) { return Xp->op.month_f != 0 ? "MONTH" : "QTR"; }

int period_of(const X11COM* Xp, double date) {
  return Xp->op.month_f != 0 ? zmonth(date) - 1 : zqtr(date) - 1;
}

// The span length is widened so that it absorbs the observations before the
// first span: the first span then begins at the first observation when it
// would begin in the data's first year, else at the start of its year.
long widen(long len, long N, int cnt, long P, int firstyr, int firstper) {
  if (N == (cnt - 1) * P + len) return len;
  const long r = N - len - (cnt - 1) * P;
  long y = firstyr + r / P;
  const long rr = r < 0 || r >= P ? ((r % P) + P) % P : r;
  const long q = rr + firstper;
  long p = q + 1;
  if (p > P) {
    ++y;
    p = q - P + 1;
  }
  if (firstper == 0) return p != 1 ? len + p - 1 : len;
  if (p > firstper + 1 && y == firstyr) return len + p - firstper - 1;
  if (p >= 2 && y > firstyr) return len + p - 1;
  return len;
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

// Keeps the span's D10, D11 and, with trading day, C18 as span number i.
void keep_span(X11COM* Xp, int i) {
  X11SSP& sp = Xp->x11ssp;
  const WORK& w = Xp->work;
  const long b = sp.s_beg[i];
  const long e = sp.s_end[i];
  std::copy(w.d10 + b, w.d10 + e, sp.d10[i].begin() + b);
  std::copy(w.d11 + b, w.d11 + e, sp.d11[i].begin() + b);
  if (Xp->op.month_f == 0 || Xp->tdregr <= 0) return;
  // The factors the later tables used: C18, or C16 where C18 is not formed.
  std::copy(w.c18 + b, w.c18 + e, sp.c18[i].begin() + b);
  if (std::any_of(w.c18 + b, w.c18 + e, [](double v) { return is_missing(v); })) Xp->op.C18MissFlag = 1;
}

void rerun_spans(X11COM* Xp, const X11FLOW& variable) {
  X11SSP& sp = Xp->x11ssp;
  RerunState restore(Xp, variable);
  if (sp.sp_orig != nullptr)
    std::copy(sp.sp_orig, sp.sp_orig + Xp->fake_array_size, Xp->work.original_in);
  Xp->op.C18MissFlag = 0;
  for (int k = 0; k < sp.cnt; ++k) {
    sp.c_span = k;
    const int i = sp.cnt - k - 1;
    set_flow_ptr(Xp, &variable, k);
    x11spa1(Xp, sp.sfp);
    keep_span(Xp, i);
    copy_ft(Xp, i);
  }
}

// The output group of the sliding-spans reports.
class SpansGroup {
 public:
  explicit SpansGroup(X11COM* Xp) : Xp_(Xp) {
    if (Xp->host->ods().active()) {
      ods_check(Xp->host->ods().open_group("SlidingSpans", msgtext(186)));
      open_ = true;
    }
  }
  ~SpansGroup() noexcept(false) {
    if (open_ && std::uncaught_exceptions() == 0) ods_check(Xp_->host->ods().close_group());
  }
  SpansGroup(const SpansGroup&) = delete;
  SpansGroup& operator=(const SpansGroup&) = delete;

 private:
  X11COM* Xp_;
  bool open_ = false;
};

void print_reports(X11COM* Xp) {
  const X11SSP& sp = Xp->x11ssp;
  if (sp.PrintBitFlags == 0 || !Xp->host->ods().active()) return;
  SpansGroup group(Xp);
  auto selected = [&](int report) { return (sp.PrintBitFlags & (0x80 >> report)) != 0; };
  if (selected(0)) x11spr0(Xp, sp.NumDec);
  if (selected(1)) x11spr1(Xp, sp.NumDec);
  if (selected(2)) x11spr2(Xp);
  if (selected(3) && span_series_active(Xp, 1)) x11spr3(Xp);
  if (selected(4)) x11spr4(Xp);
  if (selected(5)) x11spr5(Xp);
  if (selected(6)) x11spr6(Xp);
  if (selected(7)) x11spr7(Xp, 7, sp.NumDec);
}

}  // namespace

int get_sma_code(const X11COM* Xp) {
  const short* curves = Xp->macrv.spec;
  int code = curves[0] == 0 ? 3 : curves[0] < 0 ? -1 : curves[0];
  for (int m = 1; m < 12; ++m) {
    if (curves[m] == 0) {
      if (code < 4) code = 3;
    } else if (curves[m] > code) {
      code = curves[m];
    }
  }
  return code;
}

int x11spln(X11COM* Xp, const X11FLOW* flow) {
  X11SSP& sp = Xp->x11ssp;
  const long P = Xp->nper;
  const long N = flow->nobs;
  const int code = get_sma_code(Xp);
  long cnt = 0;
  long len = 0;
  if (code == -1) {
    cnt = 4;
    len = std::min(N - 3 * P, 12 * P);
    if (len < 3 * P) {
      cnt = (N - 3 * P) / P + 1;
      // Fewer than four spans of at least three years: spans of exactly
      // three years, the least a decomposition is run on.
      len = 3 * P;
    }
  } else {
    static constexpr long kMonthly[4] = {72, 84, 96, 132};
    static constexpr long kQuarterly[4] = {24, 24, 32, 44};
    const int c = std::clamp(code, 1, 4);
    len = P == 12 ? kMonthly[c - 1] : kQuarterly[c - 1];
    cnt = std::min((N - len) / P + 1, static_cast<long>(kMaxSpans));
  }
  if (cnt < 2) {
    sp.cnt = 0;
    sp.len = 0;
    Xp->host->msg(219, flow->vv != nullptr ? flow->vv->v_vs : std::string());
    return -1;
  }
  sp.cnt = static_cast<int>(cnt);
  sp.len = widen(len, N, sp.cnt, P, flow->firstyr, flow->firstper);
  return 0;
}

void set_flow_ptr(X11COM* Xp, const X11FLOW* flow, int k) {
  X11SSP& sp = Xp->x11ssp;
  const long P = Xp->nper;
  const long h = P / 2;
  const int i = sp.cnt - k - 1;
  X11FLOW f = *flow;
  f.nobs = sp.len;
  f.real_end = flow->real_end - k * P;
  f.real_begin = f.real_end - sp.len;
  f.nmiss = f.real_begin - Xp->x11acom.arima.back;
  // A span is never extended by backcasts or forecasts.
  f.fake_begin = f.real_begin;
  f.fake_end = f.real_end;
  f.b_date = zintnx(interval(Xp), flow->b_date, f.real_begin - flow->real_begin);
  f.e_date = zintnx(interval(Xp), f.b_date, sp.len - 1);
  f.firstyr = zyear(f.b_date);
  f.firstper = period_of(Xp, f.b_date);
  f.lastyr = zyear(f.e_date);
  f.lastper = period_of(Xp, f.e_date);
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
  Xp->x11flow = f;
  sp.sfp = &Xp->x11flow;
  sp.s_beg[i] = f.real_begin;
  sp.s_end[i] = f.real_end;
  sp.b_date[i] = f.b_date;
  sp.e_date[i] = f.e_date;
  sp.FirstPer1 = f.firstper;
  sp.lper = f.lastper;
  sp.FirstPer2 = static_cast<int>((f.firstper + 1) % P);
}

void x11spa1(X11COM* Xp, const X11FLOW* flow) {
  if (flow != &Xp->x11flow) Xp->x11flow = *flow;
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
}

void copy_ft(X11COM* Xp, int i) {
  X11SSP& sp = Xp->x11ssp;
  sp.st_seas[i] = Xp->ftest.f[0];
  sp.st_sig[i] = Xp->ftest.p[0];
  sp.mov_seas[i] = Xp->ftest.f[1];
  sp.mov_sig[i] = Xp->ftest.p[1];
  sp.cftest[i] = Xp->ftest.fail;
}

void AllocSpanMem(X11COM* Xp) {
  X11SSP& sp = Xp->x11ssp;
  const auto n = static_cast<std::size_t>(std::max(Xp->fake_array_size, 0L));
  const auto years = n / static_cast<std::size_t>(Xp->nper) + 2;
  try {
    for (int i = 0; i < kMaxSpans; ++i)
      for (auto* v : {&sp.d10[i], &sp.d11[i], &sp.c18[i], &sp.d11_mm[i], &sp.d11_yy[i]}) v->assign(n, kMissing);
    sp.s_b_idx.assign(n, -100);
    sp.s_e_idx.assign(n, -100);
    for (auto* v : {&sp.c18_min, &sp.c18_max, &sp.d10_min, &sp.d10_max, &sp.d11_min, &sp.d11_max, &sp.c18_pd1,
                    &sp.d10_pd1, &sp.d11_pd1, &sp.d11_pd2, &sp.d11_pd3})
      v->assign(n, kMissing);
    for (int s = 0; s < kSpanSeries; ++s) {
      sp.SignChange[s].assign(n, 0);
      sp.TurningPoint[s].assign(n, 0);
      sp.ExceedFlag[s].assign(n, 0);
      sp.bd.YearAmpd[s].assign(years, 0.0);
      sp.bd.YearCount[s].assign(years, 0);
      sp.bd.YearTotal[s].assign(years, 0);
    }
  } catch (const std::bad_alloc&) {
    FreeSpanMem(Xp);
    Xp->host->log().error(fmt::format(
        "Not enough memory for the sliding spans analysis of variable {} in BY group {}.", sp.vs, Xp->bycnt));
    raise_level(Xp, 1012);
    xexit(1012);
  }
}

void FreeSpanMem(X11COM* Xp) {
  X11SSP& sp = Xp->x11ssp;
  auto release = [](auto& v) { std::remove_reference_t<decltype(v)>().swap(v); };
  for (int i = 0; i < kMaxSpans; ++i) {
    release(sp.d10[i]);
    release(sp.d11[i]);
    release(sp.c18[i]);
    release(sp.d11_mm[i]);
    release(sp.d11_yy[i]);
  }
  release(sp.s_b_idx);
  release(sp.s_e_idx);
  for (auto* v : {&sp.c18_min, &sp.c18_max, &sp.d10_min, &sp.d10_max, &sp.d11_min, &sp.d11_max, &sp.c18_pd1,
                  &sp.d10_pd1, &sp.d11_pd1, &sp.d11_pd2, &sp.d11_pd3})
    release(*v);
  for (int s = 0; s < kSpanSeries; ++s) {
    release(sp.SignChange[s]);
    release(sp.TurningPoint[s]);
    release(sp.ExceedFlag[s]);
    release(sp.bd.YearAmpd[s]);
    release(sp.bd.YearCount[s]);
    release(sp.bd.YearTotal[s]);
  }
}

void x11span(X11COM* Xp, X11FLOW* FlowPtr) {
  X11SSP& sp = Xp->x11ssp;
  sp.max_cnt = 100;
  sp.vs = FlowPtr->vv != nullptr ? FlowPtr->vv->v_vs : std::string();
  if (x11spln(Xp, FlowPtr) < 0) return;
  const X11FLOW variable = *FlowPtr;
  AllocSpanMem(Xp);
  rerun_spans(Xp, variable);
  *FlowPtr = variable;
  if (Xp->op.outspan_f != 0) x11ospn(Xp);
  if (Xp->op.noprint_f == 0) {
    x11sppc(Xp);
    x11spmm(Xp);
    x11spyy(Xp);
    x11spsc(Xp);
    x11sptp(Xp);
    x11spbd(Xp);
    print_reports(Xp);
  }
  FreeSpanMem(Xp);
}

}  // namespace x11sa
