// The ARIMA extension of a variable: the user's model, forecasts into B1 and
// A13, backcasts into B1 and A14, and the messages of a failure.
#include "arima/driver.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "arima/driver_internal.h"
#include "host/exit.h"
#include "host/host.h"

namespace x11sa {

namespace {

// The observations of the variable into B1, everything else missing.
void load_b1(X11COM* Xp, const double* series) {
  const X11FLOW& f = Xp->x11flow;
  double* b1 = Xp->work.b1;
  fill_missing(b1, Xp->fake_array_size);
  std::copy(series, series + f.nobs, b1 + f.real_begin);
}

}  // namespace

namespace detail {

const std::string& variable_name(const X11COM* Xp) {
  static const std::string unnamed = "(unnamed)";
  const VAR* v = Xp->x11flow.vv;
  return v != nullptr && !v->v_vs.empty() ? v->v_vs : unnamed;
}

void copy_name(X11ARIMA* rec, const std::string& name, std::size_t limit) {
  const std::size_t n = std::min({name.size(), limit, sizeof rec->name - 1});
  std::memcpy(rec->name, name.data(), n);
  rec->name[n] = '\0';
}

bool ods_printing(X11COM* Xp) {
  return Xp->x11acom.arima.ar_prnt > 0 && Xp->op.noprint_f == 0 && Xp->host->ods().active();
}

void estimation_failure(X11COM* Xp, int rc, bool to_ods) {
  if (rc < kTsInvalid || rc > kTsStalled) return;
  const int number = rc + 45;
  Xp->host->msg(number, variable_name(Xp));
  if (to_ods && ods_printing(Xp)) ods_note(Xp, msgtext(number, variable_name(Xp)));
}

int forecast_failure_message(int rc) {
  switch (rc) {
    case kTsInvalid: return 188;
    case kTsTransform: return 220;
    case kTsMemory: return 189;
    case kTsSingular: return 215;
    case kTsUnstable: return 216;
    case kTsCapability: return 218;
    default: return 0;
  }
}

void forecast_failure(X11COM* Xp, int rc, bool to_ods) {
  const int number = forecast_failure_message(rc);
  if (number == 0) return;
  Xp->host->msg(number, variable_name(Xp));
  if (to_ods && ods_printing(Xp)) ods_note(Xp, msgtext(number, variable_name(Xp)));
}

}  // namespace detail

using namespace detail;

int x11a15(X11COM* Xp, double* series) {
  Xp->rc.rc2 = 0;
  const X11ARIMAOPTS& a = Xp->x11acom.arima;
  const int rc = a.op.u_f != 0 ? x11user(Xp, series) : x11auto(Xp, series);
  if (rc == 0) return 0;
  const int number = rc == 2 ? 540 : Xp->rc.rc2 == 1 ? 545 : 541;
  Xp->host->msg(number, variable_name(Xp));
  if (a.ar_prnt >= 1 && ods_printing(Xp)) ods_note(Xp, msgtext(number, variable_name(Xp)));
  return 1;
}

void set_up_struct(X11COM* Xp, double* series) {
  X11ACOM& ac = Xp->x11acom;
  const X11ARIMAOPTS& a = ac.arima;
  ac.m1 = X11ARIMA{};
  ac.memcode = 0;
  ac.printit = 0;
  ac.itfun = nullptr;
  X11ARIMA& m = ac.m1;
  m.period = Xp->op.month_f != 0 ? 12 : 4;
  m.lead = a.fore;
  m.nlags = a.nlag;
  m.x = series;
  m.n = Xp->x11flow.nobs;
  copy_name(&m, variable_name(Xp), sizeof m.name - 1);
  m.maxit = a.maxit;
  m.tranopt = a.trans_code;
  if (a.trans_code == kTrPower) {
    m.addcon = a.addcon;
    m.lambda = a.lambda;
  }
  m.converge = a.converge;
  m.p = a.user.p;
  m.sp = a.user.sp;
  m.q = a.user.q;
  m.sq = a.user.sq;
  m.dif = a.user.dif;
  m.sdif = a.user.sdif;
  m.emethod = static_cast<char>(a.method);
  m.center = a.user.center;
  m.noconst = a.user.noint;
}

int x11user(X11COM* Xp, double* series) {
  X11ACOM& ac = Xp->x11acom;
  set_up_struct(Xp, series);
  load_b1(Xp, series);
  X11ARIMA* m = &ac.m1;
  ac.passed_ptr = nullptr;
  int rc = x11arie(m, ac.memcode, ac.itfun, ac.printit);
  report_engine_messages(Xp, m->tscon);
  if (rc != kTsOk) {
    estimation_failure(Xp, rc, false);
    return 1;
  }
  if (ac.arima.ar_prnt > 0) x11aprn(Xp, m);
  rc = x11arif(m);
  report_engine_messages(Xp, m->tscon);
  if (rc != kTsOk) {
    forecast_failure(Xp, rc, false);
    return 1;
  }
  x11fore(Xp, m);
  ac.passed_ptr = m;
  if (ac.arima.back >= 1) {
    x11back(Xp, m);
    if (Xp->rc.rc2 != 0) return 1;
  }
  return 0;
}

void x11fore(X11COM* Xp, const X11ARIMA* iopts) {
  const X11FLOW& f = Xp->x11flow;
  WORK& w = Xp->work;
  const TSFORECAST* fc = iopts->forst;
  const long total = fc->multstep + fc->lead;
  const long lead = std::min(fc->lead, Xp->fake_array_size - f.real_end);
  std::copy(iopts->xfor + fc->multstep, iopts->xfor + fc->multstep + lead, w.b1 + f.real_end);
  fill_missing(w.a13, Xp->fake_array_size);
  const long n = std::min(f.nobs + Xp->x11acom.arima.fore, total);
  std::copy(iopts->xfor, iopts->xfor + n, w.a13 + f.real_begin);
}

void x11back(X11COM* Xp, X11ARIMA* iopts) {
  const X11FLOW& f = Xp->x11flow;
  WORK& w = Xp->work;
  X11ACOM& ac = Xp->x11acom;
  const long back = ac.arima.back;
  iopts->lead = back;
  // The series in reverse time order: its forecasts are the backcasts.
  const double* forward = iopts->x;
  double* reversed = w.work2;
  fill_missing(w.work2, Xp->fake_array_size);
  fill_missing(w.work3, Xp->fake_array_size);
  for (long j = 0; j < f.nobs; ++j) reversed[f.real_begin + j] = forward[f.nobs - 1 - j];
  if (iopts->tscon != nullptr) iopts->tscon->tsfor = nullptr;
  iopts->forst = nullptr;
  if (iopts->model != nullptr) iopts->model->variance = 0.0;
  iopts->x = reversed + f.real_begin;
  int rc = x11arie(iopts, ac.memcode, ac.itfun, ac.printit);
  report_engine_messages(Xp, iopts->tscon);
  if (rc != kTsOk) {
    estimation_failure(Xp, rc, false);
  } else {
    rc = x11arif(iopts);
    report_engine_messages(Xp, iopts->tscon);
    if (rc != kTsOk) forecast_failure(Xp, rc, false);
  }
  if (rc != kTsOk) {
    Xp->rc.rc2 = 1;
    return;
  }
  Xp->rc.rc2 = 0;
  const long multstep = iopts->forst->multstep;
  const long n = std::min(back, f.real_begin);
  for (long j = 0; j < n; ++j) w.b1[f.real_begin - 1 - j] = iopts->xfor[multstep + j];
}

void x11a14(X11COM* Xp, const X11ARIMA* iopts) {
  const X11FLOW& f = Xp->x11flow;
  double* a14 = Xp->work.a14;
  fill_missing(a14, Xp->fake_array_size);
  const long back = Xp->x11acom.arima.back;
  if (back <= 0 || iopts == nullptr || iopts->xfor == nullptr || iopts->forst == nullptr) return;
  const long n = std::min(back + f.nobs, iopts->forst->multstep + iopts->forst->lead);
  for (long i = 0; i < n; ++i) a14[f.fake_begin + i] = iopts->xfor[back + f.nobs - 1 - i];
}

void x11aprn(X11COM* Xp, X11ARIMA* iopts) {
  if (!ods_printing(Xp) || iopts->tscon == nullptr || iopts->model == nullptr) return;
  iopts->tscon->model = iopts->model;
  const TSACON* tscon = iopts->tscon;
  if (Xp->x11acom.arima.ar_prnt == 2) {
    ztspcnv(Xp, tscon);
    ztspmod(Xp, tscon);
    ztspmdp(Xp, tscon);
    ztsplb(Xp, tscon);
  } else if (Xp->x11acom.arima.ar_prnt == 1) {
    ztspmod(Xp, tscon);
  }
}

void report_engine_messages(X11COM* Xp, TSACON* tscon) {
  if (tscon == nullptr || tscon->messages.empty()) return;
  Host& host = *Xp->host;
  // Moved out first: an internal error ends the step from inside the loop.
  std::vector<EngineMessage> messages;
  messages.swap(tscon->messages);
  for (const EngineMessage& em : messages) {
    std::string arg;
    if (!em.args.empty())
      arg = std::visit([](const auto& v) { return fmt::format("{}", v); }, em.args.front());
    switch (em.set) {
      case 267:
        host.msg(em.number, arg);
        break;
      case 499: {
        const Message* m = find_message499(em.number);
        host.log().message(m != nullptr ? m->severity : Severity::Note, msgtext499(em.number, arg));
        break;
      }
      default:
        if (em.number == 1) {
          host.log().error(fmt::format("Not enough memory for the ARIMA model of variable {} ({} bytes short).",
                                       variable_name(Xp), arg));
        } else {
          xebug_exit(arg);
        }
        break;
    }
  }
}

void release_arima_engine(X11COM* Xp) {
  X11ACOM& ac = Xp->x11acom;
  for (X11ARIMA* m : {&ac.m1, &ac.m2, &ac.m3, &ac.m4, &ac.m5}) *m = X11ARIMA{};
  for (TSACON* c : {&ac.tsc1, &ac.tsc2, &ac.tsc3, &ac.tsc4, &ac.tsc5}) *c = TSACON{};
  std::fill(std::begin(ac.pm), std::end(ac.pm), nullptr);
  std::fill(std::begin(ac.ptsc), std::end(ac.ptsc), nullptr);
  ac.passed_ptr = nullptr;
}

}  // namespace x11sa
