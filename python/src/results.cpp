#include "results.h"

#include <limits>
#include <string>

#include <fmt/format.h>

#include "x11sa/missing.h"

namespace x11sa::python {
namespace {

namespace py = pybind11;

// A figure as Python sees it: the library's missing value becomes an
// ordinary NaN, which pandas and numpy take for missing.
double figure(double x) { return is_missing(x) ? std::numeric_limits<double>::quiet_NaN() : x; }

template <std::size_t N>
py::list figures(const std::array<double, N>& a, std::size_t count) {
  py::list out;
  for (std::size_t i = 0; i < count && i < N; ++i) out.append(figure(a[i]));
  return out;
}

py::list figures(const std::vector<double>& v) {
  py::list out;
  for (double x : v) out.append(figure(x));
  return out;
}

const char* verdict_text(IdentifiableSeasonality v) {
  switch (v) {
    case IdentifiableSeasonality::Present: return "present";
    case IdentifiableSeasonality::ProbablyNotPresent: return "probably not present";
    case IdentifiableSeasonality::NotPresent: break;
  }
  return "not present";
}

const char* status_text(ArimaStatus s) {
  switch (s) {
    case ArimaStatus::Extended: return "extended";
    case ArimaStatus::NoModelAccepted: return "no model met the criteria";
    case ArimaStatus::NotEstimated: return "estimation failed";
    case ArimaStatus::BackcastFailed: return "backcasts failed";
    case ArimaStatus::InternalError: return "internal error";
    case ArimaStatus::SeriesTooShort: break;
  }
  return "series too short";
}

const char* method_text(ArimaMethod m) {
  switch (m) {
    case ArimaMethod::Cls: return "cls";
    case ArimaMethod::Uls: return "uls";
    case ArimaMethod::Ml: break;
  }
  return "ml";
}

py::object transform_value(const ArimaTransform& t) {
  switch (t.kind) {
    case ArimaTransform::Kind::None: return py::none();
    case ArimaTransform::Kind::Log: return py::str("log");
    case ArimaTransform::Kind::Power: break;
  }
  return py::make_tuple(t.shift, t.power);
}

py::dict arima_dict(const ArimaSummary& a) {
  py::dict d;
  d["status"] = status_text(a.status);
  const ArimaModel& m = a.model;
  d["model"] = fmt::format("({},{},{})({},{},{}){}", m.p, m.dif, m.q, m.sp, m.sdif, m.sq, m.noint ? " noint" : "");
  d["transform"] = transform_value(a.transform);
  if (a.estimates) {
    const ArimaEstimates& e = *a.estimates;
    d["method"] = method_text(e.method);
    d["iterations"] = e.iterations;
    d["converged"] = e.code == ArimaCode::Ok;
    d["objective"] = figure(e.objective);
    d["variance"] = figure(e.variance);
    d["aic"] = figure(e.aic);
    d["sbc"] = figure(e.sbc);
    py::list parameters;
    for (const ArimaParameter& p : e.parameters) {
      py::dict q;
      q["name"] = p.name;
      q["lag"] = p.lag;
      q["estimate"] = figure(p.estimate);
      q["std_error"] = figure(p.std_error);
      q["t"] = figure(p.t_value);
      q["p"] = figure(p.probability);
      parameters.append(q);
    }
    d["parameters"] = parameters;
  }
  if (a.criteria) {
    d["mape"] = figure(a.criteria->mape);
    d["chi_square"] = figure(a.criteria->chi_square);
    d["chi_probability"] = figure(a.criteria->chi_probability);
    d["overdifferencing"] = figure(a.criteria->overdifferencing);
  }
  d["forecasts"] = figures(a.forecasts);
  d["backcasts"] = figures(a.backcasts);
  return d;
}

py::dict comparison_dict(const SpansComparison& c) {
  py::dict d;
  d["tested"] = c.tested;
  d["exceeding"] = c.exceeding;
  d["percent"] = c.percent_exceeding();
  d["sign_changes"] = c.sign_changes;
  d["turning_points"] = c.turning_points;
  return d;
}

py::dict spans_dict(const SpansSummary& s) {
  py::dict d;
  d["spans"] = s.spans;
  d["span_length"] = s.span_length;
  const std::pair<const char*, const SpansComparison*> parts[] = {
      {"seasonal_factors", &s.seasonal_factors}, {"trading_day_factors", &s.trading_day_factors},
      {"adjusted_series", &s.adjusted_series},   {"period_changes", &s.period_changes},
      {"year_changes", &s.year_changes}};
  for (const auto& [name, c] : parts)
    if (c->compared) d[name] = comparison_dict(*c);
  return d;
}

}  // namespace

py::dict tests_dict(const AdjustedSeries& r) {
  py::dict d;
  if (!r.seasonality) return d;
  const D8Tests& t = *r.seasonality;
  d["stable_f"] = figure(t.stable.f);
  d["stable_p"] = figure(t.stable.probability);
  d["moving_f"] = figure(t.moving.f);
  d["moving_p"] = figure(t.moving.probability);
  d["kruskal_wallis"] = figure(t.kruskal_wallis.statistic);
  d["kruskal_wallis_df"] = t.kruskal_wallis.df;
  d["kruskal_wallis_p"] = figure(t.kruskal_wallis.probability);
  d["t1"] = figure(t.combined.t1);
  d["t2"] = figure(t.combined.t2);
  d["t"] = figure(t.combined.t);
  d["seasonality"] = verdict_text(t.combined.verdict);
  return d;
}

py::dict summary_dict(const AdjustedSeries& r, bool years) {
  py::dict d;
  if (r.henderson > 0) {
    d["henderson"] = r.henderson;
    d["ic_ratio"] = figure(r.ic_ratio);
  }
  if (r.f2) {
    const F2Summary& f = *r.f2;
    const auto spans = static_cast<std::size_t>(f.spans);
    d["mcd"] = f.mcd;
    d["f2_ic_ratio"] = figures(f.ic_ratio, spans);
    d["adr_irregular"] = figure(f.run_irregular);
    d["adr_adjusted"] = figure(f.run_adjusted);
    d["adr_trend_cycle"] = figure(f.run_trend_cycle);
  }
  if (r.d9a) {
    py::list ratios;
    for (int i = 0; i < r.d9a->periods; ++i) {
      const D9aPeriod& p = r.d9a->by_period[static_cast<std::size_t>(i)];
      ratios.append(p.computed() ? figure(p.ratio) : std::numeric_limits<double>::quiet_NaN());
    }
    d["d9a"] = ratios;
  }
  if (r.e4 && years) {
    py::dict by_year;
    for (const E4Year& y : r.e4->years)
      by_year[py::int_(y.year)] = py::make_tuple(figure(y.unmodified), figure(y.modified));
    d["e4"] = by_year;
  }
  if (r.arima) d["arima"] = arima_dict(*r.arima);
  if (r.spans) d["spans"] = spans_dict(*r.spans);
  return d;
}

py::list messages_list(const std::vector<LogMessage>& messages) {
  py::list out;
  for (const LogMessage& m : messages) {
    const char* severity = m.severity == MessageSeverity::Error     ? "ERROR"
                           : m.severity == MessageSeverity::Warning ? "WARNING"
                                                                    : "NOTE";
    out.append(py::make_tuple(severity, m.text));
  }
  return out;
}

}  // namespace x11sa::python
