// The working series: transforms, differences, centring, their inverses, and
// the autocorrelations of the result.
#include <algorithm>
#include <cmath>
#include <string>

#include <fmt/format.h>

#include "arima/engine.h"

namespace x11sa {

namespace {

// Exponents beyond these under- or overflow a double.
constexpr double kExpUnder = -708.3964185;
constexpr double kExpOver = 709.782712893384;

}  // namespace

int apply_transform(const double* x, double* y, long n, double lambda, double addcon, int flag) {
  if (flag < kTrNone || flag > kTrPower) return kTsInvalid;
  int rc = kTsOk;
  for (long t = 0; t < n; ++t) {
    if (is_missing(x[t])) {
      y[t] = kMissing;
      continue;
    }
    const double v = x[t] + addcon;
    double out = kMissing;
    switch (flag) {
      case kTrNone: out = x[t]; break;
      case kTrLog:
        if (v > 0.0) out = std::log(v);
        break;
      case kTrBoxCox:
        if (v >= 0.0 && lambda > 0.0) out = (std::pow(v, lambda) - 1.0) / lambda;
        break;
      case kTrPower:
        if (v >= 0.0 && lambda > 0.0) out = std::pow(v, lambda);
        break;
      default: break;
    }
    if (is_missing(out) || !std::isfinite(out)) {
      out = kMissing;
      rc = kTsTransform;
    }
    y[t] = out;
  }
  return rc;
}

void centre_and_scale(const double* x, double* y, long n, double mu, double sigma) {
  for (long t = 0; t < n; ++t) y[t] = is_missing(x[t]) ? kMissing : (x[t] - mu) / sigma;
}

long difference_in_place(double* x, long n, std::span<const int> lags) {
  for (const int lag : lags) {
    const long len = n - lag;
    for (long t = 0; t < len; ++t)
      x[t] = is_missing(x[t + lag]) || is_missing(x[t]) ? kMissing : x[t + lag] - x[t];
    n = std::max(0L, len);
  }
  return n;
}

int invert_transform(double* x, double* y, double* std, long n, double lambda, double addcon, int flag) {
  if (flag < kTrNone || flag > kTrPower) return kTsInvalid;
  int rc = kTsOk;
  for (long t = 0; t < n; ++t) {
    const double f = x[t];
    const double s = std == nullptr || is_missing(std[t]) ? 0.0 : std[t];
    if (is_missing(f)) {
      y[t] = kMissing;
      if (std != nullptr) std[t] = kMissing;
      continue;
    }
    double out = f, sd = s;
    switch (flag) {
      case kTrNone: break;
      case kTrLog: {
        // Mean of a lognormal variable: the median exp(f) times exp(s^2 / 2).
        const double e = f + 0.5 * s * s;
        if (e >= kExpOver || s * s >= kExpOver) {
          out = sd = kMissing;
        } else if (e <= kExpUnder) {
          out = -addcon;
          sd = 0.0;
        } else {
          out = std::exp(e) - addcon;
          sd = std::exp(e) * std::sqrt(std::expm1(s * s));
        }
        break;
      }
      case kTrBoxCox: {
        const double base = lambda * f + 1.0;
        if (base < 0.0) {
          out = sd = kMissing;
        } else {
          out = std::pow(base, 1.0 / lambda) - addcon;
          sd = s == 0.0 ? 0.0 : std::pow(base, 1.0 / lambda - 1.0) * s;
        }
        break;
      }
      case kTrPower:
        if (f < 0.0) {
          out = sd = kMissing;
        } else {
          out = std::pow(f, 1.0 / lambda) - addcon;
          sd = s == 0.0 ? 0.0 : std::pow(f, 1.0 / lambda - 1.0) * s / lambda;
        }
        break;
      default: break;
    }
    if (is_missing(out) || !std::isfinite(out) || (!is_missing(sd) && !std::isfinite(sd))) {
      out = sd = kMissing;
    }
    if (is_missing(out)) rc = kTsCapability;
    y[t] = out;
    if (std != nullptr) std[t] = sd;
  }
  return rc;
}

ObservedSpan find_observed_span(std::span<const double> x) {
  const auto n = static_cast<long>(x.size());
  long first = 0;
  while (first < n && is_missing(x[static_cast<std::size_t>(first)])) ++first;
  long last = n - 1;
  while (last >= first && is_missing(x[static_cast<std::size_t>(last)])) --last;
  ObservedSpan span;
  span.start = first;
  span.length = last >= first ? last - first + 1 : 0;
  for (long t = first; t <= last; ++t)
    if (!is_missing(x[static_cast<std::size_t>(t)])) ++span.present;
  return span;
}

namespace {

struct Moments {
  double mean = 0, variance = 0;
  long count = 0;
};

Moments moments(std::span<const double> x) {
  Moments m;
  double sum = 0;
  for (double v : x)
    if (!is_missing(v)) {
      sum += v;
      ++m.count;
    }
  if (m.count == 0) return m;
  m.mean = sum / static_cast<double>(m.count);
  double ss = 0;
  for (double v : x)
    if (!is_missing(v)) ss += (v - m.mean) * (v - m.mean);
  m.variance = m.count > 1 ? ss / static_cast<double>(m.count - 1) : 0.0;
  return m;
}

}  // namespace

void autocorrelation_functions(std::span<const double> x, int nlags, std::vector<double>& corr,
                               std::vector<long>& dfcorr, std::vector<double>& pcorr, std::vector<double>& icorr) {
  const auto k = static_cast<std::size_t>(std::max(0, nlags));
  corr.assign(k, kMissing);
  pcorr.assign(k, kMissing);
  icorr.assign(k, kMissing);
  dfcorr.assign(k, 0);
  const Moments m = moments(x);
  if (m.count == 0 || k == 0) return;
  const auto n = static_cast<long>(x.size());
  double c0 = 0;
  for (double v : x)
    if (!is_missing(v)) c0 += (v - m.mean) * (v - m.mean);
  if (!(c0 > 0.0)) return;
  for (std::size_t lag = 1; lag <= k; ++lag) {
    double c = 0;
    long pairs = 0;
    for (long t = 0; t + static_cast<long>(lag) < n; ++t) {
      const double a = x[t], b = x[t + static_cast<long>(lag)];
      if (is_missing(a) || is_missing(b)) continue;
      c += (a - m.mean) * (b - m.mean);
      ++pairs;
    }
    corr[lag - 1] = c / c0;
    dfcorr[lag - 1] = pairs;
  }
  // Durbin-Levinson: partial autocorrelations, and the AR fit of order k
  // whose dual moving average gives the inverse autocorrelations.
  std::vector<double> phi(k + 1, 0.0), prev(k + 1, 0.0);
  double v = 1.0;
  std::size_t order = 0;
  for (std::size_t j = 1; j <= k; ++j) {
    double num = corr[j - 1];
    for (std::size_t i = 1; i < j; ++i) num -= prev[i] * corr[j - i - 1];
    const double kappa = num / v;
    if (!(std::fabs(kappa) < 1.0)) break;
    phi[j] = kappa;
    for (std::size_t i = 1; i < j; ++i) phi[i] = prev[i] - kappa * prev[j - i];
    v *= 1.0 - kappa * kappa;
    pcorr[j - 1] = kappa;
    prev = phi;
    order = j;
  }
  double norm = 1.0;
  for (std::size_t j = 1; j <= order; ++j) norm += prev[j] * prev[j];
  for (std::size_t lag = 1; lag <= k; ++lag) {
    double s = lag <= order ? -prev[lag] : 0.0;
    for (std::size_t j = 1; j + lag <= order; ++j) s += prev[j] * prev[j + lag];
    icorr[lag - 1] = s / norm;
  }
}

namespace {

void internal_error(EngineContext* context, std::string text) { engine_message(context, 0, 2, {std::move(text)}); }

}  // namespace

int build_working_series(EngineContext* context, SeriesRecord* ts) {
  if (context == nullptr || ts == nullptr || ts->data == nullptr) return kTsInvalid;
  if (ts->span_start < 0 || ts->span_length < 0 || ts->span_start + ts->span_length > ts->n)
    return report_invalid_argument(context, kTsInvalid, "ZTSGTR");
  const auto nobs = static_cast<std::size_t>(ts->span_length);
  if (int rc = resize_tracked(context, ts->transformed, nobs); rc != kTsOk) return rc;
  if (int rc = resize_tracked(context, ts->working, nobs); rc != kTsOk) return rc;
  const double* span = ts->data + ts->span_start;
  const Moments raw = moments(std::span<const double>(span, nobs));
  ts->mean = raw.mean;
  ts->variance = raw.variance;
  ts->std = std::sqrt(raw.variance);
  ts->mu = 0.0;  // set again by a centre step

  std::copy(span, span + ts->span_length, ts->transformed.begin());
  long len = ts->span_length;
  long lag = 0;
  int rc = kTsOk;
  bool transformed = false, differenced = false;
  for (int step : ts->steps) {
    if (step == 0) break;
    if (step == kStepTransform && !transformed) {
      transformed = true;
      if ((ts->transform_kind == kTrBoxCox || ts->transform_kind == kTrPower) && !(ts->power > 0.0)) {
        internal_error(context, fmt::format("Building the working series: non-positive power transformation, "
                                            "LAMBDA={:g}",
                                            ts->power));
        return kTsTransform;
      }
      const int trc =
          apply_transform(span, ts->transformed.data(), ts->span_length, ts->power, ts->shift, ts->transform_kind);
      if (trc == kTsInvalid) {
        internal_error(context, "Building the working series: unknown transformation type.");
        return kTsInvalid;
      }
      if (trc != kTsOk) rc = trc;
      std::copy(ts->transformed.begin(), ts->transformed.end(), ts->working.begin());
    } else if (step == kStepDifference && !differenced) {
      differenced = true;
      if (!transformed) std::copy(ts->transformed.begin(), ts->transformed.end(), ts->working.begin());
      if (ts->difference_count > 0) {
        lag = ts->differences[0];
        const std::span<const int> lags(ts->differences.data() + 1, static_cast<std::size_t>(ts->difference_count));
        len = difference_in_place(ts->working.data(), len, lags);
      }
    } else if (step == kStepCentre) {
      if (!transformed && !differenced) std::copy(ts->transformed.begin(), ts->transformed.end(), ts->working.begin());
      // The shift is the working series' own mean; it is kept in mu so that
      // forecasts can add it back.
      const Moments c = moments(std::span<const double>(ts->working.data(), static_cast<std::size_t>(len)));
      ts->mu = c.mean;
      if (!(ts->sigma > 0.0)) ts->sigma = 1.0;
      centre_and_scale(ts->working.data(), ts->working.data(), len, ts->mu, ts->sigma);
    } else {
      internal_error(context, "Building the working series: filter transformation not supported.");
      return kTsInvalid;
    }
  }
  if (!transformed && !differenced) std::copy(ts->transformed.begin(), ts->transformed.end(), ts->working.begin());
  ts->working.resize(static_cast<std::size_t>(std::max(0L, len)));
  ts->working_start = ts->span_start + lag;
  ts->working_length = std::max(0L, len);
  const Moments w = moments(ts->working);
  ts->working_present = w.count;
  ts->working_mean = w.mean;
  ts->working_variance = w.variance;
  ts->working_std = std::sqrt(w.variance);
  const int lags = static_cast<int>(std::min<long>(std::max(0, ts->nlags), std::max(0L, w.count - 1)));
  autocorrelation_functions(ts->working, lags, ts->autocorr, ts->autocorr_pairs, ts->partial_autocorr,
                            ts->inverse_autocorr);
  if (rc == kTsOk && ts->working_present == 0) rc = kTsFewData;
  return rc;
}

}  // namespace x11sa
