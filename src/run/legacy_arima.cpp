#include "run/legacy_arima.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>

#include <fmt/format.h>

#include "arima/extension.h"
#include "host/exit.h"
#include "host/host.h"
#include "report/arima_reports.h"

namespace x11sa {

namespace {

const std::string& variable_name(const X11COM* Xp) {
  static const std::string unnamed = "(unnamed)";
  const VAR* v = Xp->x11flow.vv;
  return v != nullptr && !v->v_vs.empty() ? v->v_vs : unnamed;
}

Mode mode_of(const X11COM* Xp) { return Xp->op.add_f != 0 ? Mode::Additive : Mode::Multiplicative; }
Frequency frequency_of(const X11COM* Xp) { return Xp->op.month_f != 0 ? Frequency::Monthly : Frequency::Quarterly; }

// The messages in order; the text of an engine fault, which ends the step
// once the reports are out, is returned rather than logged.
std::optional<std::string> log_messages(X11COM* Xp, const ArimaOutcome& outcome, const std::string& name) {
  Host& host = *Xp->host;
  for (const ArimaMessage& m : outcome.messages) {
    const std::string& arg = m.names_variable ? name : m.argument;
    switch (m.source) {
      case ArimaMessageSource::Procedure:
        host.msg_as(m.severity, m.number, arg);
        break;
      case ArimaMessageSource::Engine:
        host.log().message(m.severity, msgtext499(m.number, arg));
        break;
      case ArimaMessageSource::MemoryShort:
        host.log().message(m.severity, fmt::format("Not enough memory for the ARIMA model of variable {} ({} bytes short).",
                                                   name, m.argument));
        break;
      case ArimaMessageSource::Internal:
        return m.argument;
    }
  }
  return std::nullopt;
}

}  // namespace

ArimaOptions arima_options(const X11COM* Xp) {
  const X11ARIMAOPTS& a = Xp->x11acom.arima;
  ArimaOptions o;
  if (a.op.u_f != 0) {
    const auto& u = a.user;
    o.model = ArimaModel{u.p, u.dif, u.q, u.sp, u.sdif, u.sq, u.noint != 0, u.center != 0};
  }
  if (a.trans_code == 1) {
    o.transform.kind = ArimaTransform::Kind::Log;
  } else if (a.trans_code == 3) {
    o.transform = ArimaTransform{ArimaTransform::Kind::Power, a.addcon, a.lambda};
  }
  o.backcast_years = a.yrs_b;
  o.forecast_years = a.yrs_f;
  o.method = a.method == 1 ? ArimaMethod::Uls : a.method == 2 ? ArimaMethod::Ml : ArimaMethod::Cls;
  o.maxiter = a.maxit;
  if (a.nlag >= 0) o.nlag = a.nlag;
  o.converge = a.converge;
  o.mape_criterion = a.crit_val.mape_crit;
  o.chi_criterion = a.crit_val.chi_crit;
  o.overdiff_criterion = a.crit_val.ovdif_crit;
  return o;
}

// The print level of the ARIMA reports.
ReportLevel a_print_level(const X11COM* Xp) {
  const int p = Xp->x11acom.arima.ar_prnt;
  return p == 2 ? ReportLevel::All : p == 1 ? ReportLevel::Standard : ReportLevel::None;
}

int x11a15(X11COM* Xp, double* series) {
  X11ACOM& ac = Xp->x11acom;
  const X11FLOW& f = Xp->x11flow;
  WORK& w = Xp->work;
  const ArimaOptions options = arima_options(Xp);
  const Mode mode = mode_of(Xp);
  ac.passed_ptr = nullptr;
  const ReportLevel level = a_print_level(Xp);
  ac.outcome = extend_by_arima(std::span<const double>(series, static_cast<std::size_t>(f.nobs)), frequency_of(Xp),
                               mode, options, level == ReportLevel::All);
  const ArimaOutcome& out = *ac.outcome;
  const std::string& name = variable_name(Xp);
  const std::optional<std::string> fault = log_messages(Xp, out, name);
  if (Xp->op.noprint_f == 0) print_arima_reports(Xp->host->ods(), out, options, level, mode, name);
  if (fault) xebug_exit(*fault);

  fill_missing(w.b1, Xp->fake_array_size);
  std::copy(series, series + f.nobs, w.b1 + f.real_begin);
  if (out.status == ArimaStatus::Extended || out.status == ArimaStatus::BackcastFailed) {
    const long lead = std::min(static_cast<long>(out.forecasts.size()), Xp->fake_array_size - f.real_end);
    std::copy(out.forecasts.begin(), out.forecasts.begin() + lead, w.b1 + f.real_end);
    fill_missing(w.a13, Xp->fake_array_size);
    std::copy(out.a13.begin(), out.a13.end(), w.a13 + f.real_begin);
  }
  if (out.status == ArimaStatus::Extended) {
    const long back = static_cast<long>(out.backcasts.size());
    for (long j = 0; j < std::min(back, f.real_begin); ++j)
      w.b1[f.real_begin - 1 - j] = out.backcasts[static_cast<std::size_t>(back - 1 - j)];
  }
  Xp->rc.rc2 = out.status == ArimaStatus::BackcastFailed ? 1 : 0;
  if (!out.extended()) return 1;
  ac.passed_ptr = &out;
  return 0;
}

void x11a14(X11COM* Xp, const ArimaOutcome* outcome) {
  double* a14 = Xp->work.a14;
  fill_missing(a14, Xp->fake_array_size);
  if (Xp->x11acom.arima.back <= 0 || outcome == nullptr) return;
  std::copy(outcome->a14.begin(), outcome->a14.end(), a14 + Xp->x11flow.fake_begin);
}

void release_arima_engine(X11COM* Xp) {
  Xp->x11acom.outcome.reset();
  Xp->x11acom.passed_ptr = nullptr;
}

}  // namespace x11sa
