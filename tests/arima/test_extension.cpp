// The extension through its entry point, on real series: the user's model
// against the reference forecasts, backcasts as the forecasts of the series
// reversed, the automatic choice against criteria recomputed from the
// residuals, and each way the extension falls back.
#include <cmath>
#include <string>
#include <vector>

#include <boost/math/distributions/chi_squared.hpp>
#include <gtest/gtest.h>

#include "arima/auto_model.h"
#include "arima/extension.h"
#include "arima_support.h"

namespace x11sa {
namespace {

ArimaOptions airline_model(bool log, int back_years = 0) {
  ArimaOptions o;
  o.model = ArimaModel{0, 1, 1, 0, 1, 1, false, false};
  if (log) o.transform.kind = ArimaTransform::Kind::Log;
  o.backcast_years = back_years;
  return o;
}

// The numbers of the procedure's messages, in order.
std::vector<int> logged(const ArimaOutcome& out) {
  std::vector<int> numbers;
  for (const ArimaMessage& m : out.messages)
    if (m.source == ArimaMessageSource::Procedure) numbers.push_back(m.number);
  return numbers;
}

void expect_near_or_missing(double got, double expected, double tol, long at) {
  if (is_missing(expected)) {
    EXPECT_TRUE(is_missing(got)) << at;
  } else {
    EXPECT_NEAR(got, expected, tol * std::fabs(expected)) << at;
  }
}

// (0,1,1)(0,1,1) of the log airline series by maximum likelihood without a
// mean term: the forecasts are the reference's, bias-corrected for the log
// by half the squared standard error; A13 holds the fitted values from the
// 14th observation on, then the forecasts.
TEST(ArimaExtension, UserModelForecastsMatchTheReference) {
  const testing::RefFit* ref = nullptr;
  const auto fits = testing::load_reference();
  for (const auto& f : fits)
    if (f.file == "airline.csv" && f.log && f.ml && !f.mean && f.p == 0 && f.dif == 1 && f.q == 1) ref = &f;
  ASSERT_NE(ref, nullptr);
  const std::vector<double> y = testing::load_series("airline.csv");
  ArimaOptions o = airline_model(true);
  o.model->noint = true;
  o.method = ArimaMethod::Ml;
  o.converge = 1.053671212772351e-08;
  o.maxiter = 200;
  const ArimaOutcome out = extend_by_arima(y, Frequency::Monthly, Mode::Multiplicative, o);
  ASSERT_EQ(out.status, ArimaStatus::Extended);
  EXPECT_TRUE(out.messages.empty());
  ASSERT_EQ(out.forecasts.size(), 12u);
  ASSERT_EQ(out.a13.size(), 144u + 12u);
  for (std::size_t h = 0; h < 12; ++h) {
    const double se = ref->se[h];
    const double expected = std::exp(ref->forecast[h] + 0.5 * se * se);
    EXPECT_NEAR(out.forecasts[h], expected, 1e-4 * expected) << "h=" << h;
    EXPECT_EQ(out.a13[144 + h], out.forecasts[h]);
  }
  for (std::size_t t = 0; t < 144; ++t) EXPECT_EQ(is_missing(out.a13[t]), t < 13) << t;
  EXPECT_TRUE(out.backcasts.empty() && out.a14.empty());

  // Without forecast years only the fitted values.
  o.forecast_years = 0;
  const ArimaOutcome fitted = extend_by_arima(y, Frequency::Monthly, Mode::Multiplicative, o);
  ASSERT_EQ(fitted.status, ArimaStatus::Extended);
  EXPECT_TRUE(fitted.forecasts.empty());
  ASSERT_EQ(fitted.a13.size(), 144u);
  for (std::size_t t = 13; t < 144; ++t) EXPECT_NEAR(fitted.a13[t], out.a13[t], 1e-12 * out.a13[t]) << t;
}

// Backcasts are the forecasts of the series reversed, put back into time
// order; A14 holds them and the fitted values of the reversed series, also
// in time order. The forecasts do not depend on the backcasts.
TEST(ArimaExtension, BackcastsAreForecastsOfTheReversedSeries) {
  const std::vector<double> y = testing::load_series("usaccdeaths.csv", "deaths");
  const std::vector<double> reversed(y.rbegin(), y.rend());
  const long n = static_cast<long>(y.size());
  for (bool log : {false, true}) {
    SCOPED_TRACE(log ? "log" : "none");
    const ArimaOutcome both = extend_by_arima(y, Frequency::Monthly, Mode::Multiplicative, airline_model(log, 2));
    const ArimaOutcome ahead = extend_by_arima(y, Frequency::Monthly, Mode::Multiplicative, airline_model(log));
    ArimaOptions rev_options = airline_model(log);
    rev_options.forecast_years = 2;
    const ArimaOutcome back = extend_by_arima(reversed, Frequency::Monthly, Mode::Multiplicative, rev_options);
    ASSERT_EQ(both.status, ArimaStatus::Extended);
    ASSERT_EQ(back.status, ArimaStatus::Extended);
    ASSERT_EQ(both.backcasts.size(), 24u);
    for (long k = 0; k < 24; ++k)
      EXPECT_NEAR(both.backcasts[k], back.forecasts[23 - k], 1e-9 * back.forecasts[23 - k]) << k;
    ASSERT_EQ(both.a14.size(), static_cast<std::size_t>(24 + n));
    for (long k = 0; k < 24; ++k) EXPECT_EQ(both.a14[k], both.backcasts[k]);
    for (long t = 0; t < n; ++t) expect_near_or_missing(both.a14[24 + t], back.a13[n - 1 - t], 1e-9, t);
    EXPECT_EQ(both.forecasts, ahead.forecasts);
  }
}

// The criteria of one candidate, recomputed from its residuals.
struct Recomputed {
  bool estimated = false;
  double chi_prob = kMissing;
  double ma_sum = 0;
  double mape = kMissing;
};

Recomputed recompute(const std::vector<double>& y, int i, int period) {
  static constexpr int kOrders[5][3] = {{0, 1, 1}, {0, 1, 2}, {2, 1, 0}, {0, 2, 2}, {2, 1, 2}};
  ModelFit rec;
  rec.p = kOrders[i][0];
  rec.dif = kOrders[i][1];
  rec.q = kOrders[i][2];
  rec.sdif = rec.sq = 1;
  rec.period = period;
  rec.transform_kind = i < 4 ? kTrLog : kTrNone;
  rec.x = y.data();
  rec.n = static_cast<long>(y.size());
  rec.lead = period;
  rec.nlags = 3 * period;
  rec.max_iterations = 15;
  rec.converge = 0.001;
  Recomputed r;
  if (estimate_model(rec) != kTsOk || forecast_model(rec) != kTsOk) return r;
  r.estimated = true;
  // Ljung-Box at two years of lags from the autocorrelations of the residuals.
  std::vector<double> e;
  for (double v : rec.model->residuals)
    if (!is_missing(v)) e.push_back(v);
  double mean = 0, c0 = 0, q = 0;
  for (double v : e) mean += v / static_cast<double>(e.size());
  for (double v : e) c0 += (v - mean) * (v - mean);
  const int lag = 2 * period;
  const auto ne = static_cast<double>(e.size());
  for (int k = 1; k <= lag; ++k) {
    double ck = 0;
    for (std::size_t t = 0; t + static_cast<std::size_t>(k) < e.size(); ++t) ck += (e[t] - mean) * (e[t + k] - mean);
    q += (ck / c0) * (ck / c0) / (ne - k);
  }
  q *= ne * (ne + 2);
  const int arma = rec.p + rec.q + 1;  // with the seasonal MA coefficient
  r.chi_prob = boost::math::cdf(boost::math::complement(boost::math::chi_squared(lag - arma), q));
  const std::vector<LagPolynomial>& ma = rec.model->ma_factors;
  double sum = 0;
  for (double c : ma.front().coefficients) sum += c;
  r.ma_sum = ma.size() > 1 ? std::max(sum, ma[1].coefficients[0]) : sum;
  // One-step errors of the last three years, in percent of the observations.
  double ape = 0;
  for (long t = rec.n - 3 * period; t < rec.n; ++t) ape += std::fabs(rec.residuals[t]) / (std::fabs(y[t]) + 1e-8);
  r.mape = 100.0 * ape / (3.0 * period);
  return r;
}

// The automatic choice on the series of the test data: the chosen model
// meets the default criteria, recomputed here, with the smallest error of
// those that do. On the airline series that is model 2, as the listing of
// the example shows.
TEST(ArimaExtension, AutomaticChoiceMeetsTheCriteriaWithTheSmallestError) {
  struct Case {
    std::string label;
    std::vector<double> series;
    Frequency frequency;
  };
  std::vector<Case> cases = {
      {"airline", testing::load_series("airline.csv"), Frequency::Monthly},
      {"lungdeaths female", testing::load_series("lungdeaths_by_sex.csv", "deaths", "sex", "female"), Frequency::Monthly},
      {"nottingham", testing::load_series("nottingham.csv"), Frequency::Monthly},
      {"jj", testing::load_series("jj.csv"), Frequency::Quarterly},
      {"ukgas", testing::load_series("ukgas.csv"), Frequency::Quarterly},
  };
  for (const char* col : {"drivers", "front", "rear", "kms", "petrol"})
    cases.push_back({std::string("seatbelts ") + col, testing::load_series("seatbelts.csv", col), Frequency::Monthly});
  ArimaOptions o;
  o.backcast_years = 1;
  int chosen = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const int period = periods_per_year(c.frequency);
    const ArimaOutcome out = extend_by_arima(c.series, c.frequency, Mode::Multiplicative, o);
    ASSERT_EQ(out.candidates.size(), 5u);
    std::optional<int> expected;
    for (int i = 0; i < 5; ++i) {
      const ArimaCandidate& cand = out.candidates[static_cast<std::size_t>(i)];
      const Recomputed r = recompute(c.series, i, period);
      ASSERT_EQ(cand.result == CandidateResult::Estimated, r.estimated) << "model " << i + 1;
      if (!r.estimated) continue;
      EXPECT_NEAR(cand.criteria.chi_probability, r.chi_prob, 1e-9) << "model " << i + 1;
      EXPECT_NEAR(cand.criteria.overdifferencing, r.ma_sum, 1e-12) << "model " << i + 1;
      EXPECT_NEAR(cand.criteria.mape, r.mape, 1e-9 * r.mape) << "model " << i + 1;
      const bool accepted = r.chi_prob >= 0.05 && r.ma_sum <= 0.9 && r.mape <= 15.0;
      EXPECT_EQ(cand.accepted, accepted) << "model " << i + 1;
      if (accepted && (!expected || r.mape < out.candidates[static_cast<std::size_t>(*expected)].criteria.mape))
        expected = i;
    }
    EXPECT_EQ(out.chosen, expected);
    if (!expected) {
      EXPECT_EQ(out.status, ArimaStatus::NoModelAccepted);
      continue;
    }
    ++chosen;
    ASSERT_EQ(out.status, ArimaStatus::Extended);
    EXPECT_EQ(out.forecasts.size(), static_cast<std::size_t>(period));
    EXPECT_EQ(out.backcasts.size(), static_cast<std::size_t>(period));
    const ArimaModel& m = out.candidates[static_cast<std::size_t>(*expected)].model;
    EXPECT_TRUE(out.model.p == m.p && out.model.dif == m.dif && out.model.q == m.q);
    if (c.label == "airline") {
      EXPECT_EQ(out.chosen, 1);
    }
  }
  EXPECT_GE(chosen, 7);  // most of these series have an acceptable model
}

// Each way back to an adjustment without the extension, with the messages
// the log shows in order and the warning last.
TEST(ArimaExtension, FallsBackWithTheReason) {
  const std::vector<double> airline = testing::load_series("airline.csv");
  // Criteria no model meets.
  ArimaOptions strict;
  strict.mape_criterion = 1.0;
  ArimaOutcome out = extend_by_arima(airline, Frequency::Monthly, Mode::Multiplicative, strict);
  EXPECT_EQ(out.status, ArimaStatus::NoModelAccepted);
  EXPECT_EQ(logged(out), std::vector<int>{540});
  EXPECT_EQ(out.messages.back().severity, Severity::Warning);
  EXPECT_TRUE(out.messages.back().names_variable);
  EXPECT_TRUE(out.forecasts.empty() && out.a13.empty() && !out.chosen);

  // A trend with an exact seasonal pattern: every difference of the five
  // models is zero, so none can be estimated.
  std::vector<double> exact;
  const double season[12] = {-3, -2, 1, 0, 2, 4, 6, 5, 1, -2, -4, -8};
  for (int t = 0; t < 96; ++t) exact.push_back(50.0 + 0.5 * t + season[t % 12]);
  out = extend_by_arima(exact, Frequency::Monthly, Mode::Additive, ArimaOptions{});
  EXPECT_EQ(out.status, ArimaStatus::NotEstimated);
  EXPECT_EQ(logged(out), (std::vector<int>{574, 50, 575, 50, 576, 50, 577, 50, 578, 50, 541}));

  // Zeros defeat the log transform of the user's model, and of the first
  // four candidates; the fifth is never transformed and is still fitted.
  const std::vector<double> law = testing::load_series("seatbelts.csv", "law");
  out = extend_by_arima(law, Frequency::Monthly, Mode::Multiplicative, airline_model(true));
  EXPECT_EQ(out.status, ArimaStatus::NotEstimated);
  EXPECT_EQ(logged(out), (std::vector<int>{47, 541}));
  EXPECT_FALSE(out.estimates.has_value());
  out = extend_by_arima(law, Frequency::Monthly, Mode::Multiplicative, ArimaOptions{});
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out.candidates[static_cast<std::size_t>(i)].code, ArimaCode::CannotTransform);
  EXPECT_NE(out.candidates[4].code, ArimaCode::CannotTransform);
  const std::vector<int> numbers = logged(out);
  ASSERT_GE(numbers.size(), 8u);
  EXPECT_EQ(std::vector<int>(numbers.begin(), numbers.begin() + 8), (std::vector<int>{569, 47, 570, 47, 571, 47, 572, 47}));

  // Logarithms near the top of the doubles falling over time: the forecasts
  // fall, but the backcasts rise beyond what the inverse of the log can give.
  std::vector<double> falling;
  for (int t = 0; t < 96; ++t) falling.push_back(std::exp(707.0 - 0.4 * t + 0.02 * season[t % 12] + 0.01 * std::sin(1.7 * t)));
  out = extend_by_arima(falling, Frequency::Monthly, Mode::Multiplicative, airline_model(true, 1));
  EXPECT_EQ(out.status, ArimaStatus::BackcastFailed);
  EXPECT_EQ(logged(out), (std::vector<int>{218, 545}));
  EXPECT_EQ(out.forecasts.size(), 12u);
  EXPECT_EQ(out.a13.size(), 96u + 12u);
  EXPECT_TRUE(out.backcasts.empty() && out.a14.empty());
}

// Acceptance at the bounds of the criteria, a missing figure, a model not
// estimated, ties; the yearly errors from the oldest year to the latest.
TEST(ArimaExtension, ChoiceRules) {
  ArimaOptions o;
  const auto candidate = [](bool estimated, double prob, double overdiff, double mape) {
    ArimaCandidate c;
    c.result = estimated ? CandidateResult::Estimated : CandidateResult::EstimationFailed;
    c.criteria.chi_probability = prob;
    c.criteria.overdifferencing = overdiff;
    c.criteria.mape = mape;
    return c;
  };
  std::vector<ArimaCandidate> cs = {
      candidate(true, 0.05, 0.9, 15.0),     // every criterion at its bound
      candidate(true, kMissing, 0.1, 1.0),  // no test probability
      candidate(false, 0.5, 0.1, 0.5),      // not estimated
      candidate(true, 0.5, 0.1, 4.0),
      candidate(true, 0.5, 0.1, 4.0),  // ties with the one before
  };
  const std::vector<bool> accepted = {true, false, false, true, true};
  for (std::size_t i = 0; i < cs.size(); ++i) {
    cs[i].accepted = meets_criteria(cs[i], o);
    EXPECT_EQ(cs[i].accepted, accepted[i]) << i;
  }
  EXPECT_EQ(choose_candidate(cs), 3);
  for (auto [i, prob, overdiff, mape] : {std::tuple{0, 0.049, 0.9, 15.0}, std::tuple{0, 0.05, 0.91, 15.0},
                                          std::tuple{0, 0.05, 0.9, 15.01}})
    EXPECT_FALSE(meets_criteria(candidate(true, prob, overdiff, mape), o)) << i;
  EXPECT_FALSE(choose_candidate(std::vector<ArimaCandidate>(2)).has_value());

  // Errors in the latest year only, one period without an error.
  std::vector<double> y(36, 200.0), e(36, 0.0);
  for (int t = 24; t < 36; ++t) e[t] = 4.0;
  e[30] = kMissing;
  const ForecastErrors fe = three_year_forecast_errors(y, e, 12);
  EXPECT_EQ(fe.by_year[0], 0.0);
  EXPECT_EQ(fe.by_year[1], 0.0);
  EXPECT_NEAR(fe.by_year[2], 2.0, 1e-9);
  EXPECT_NEAR(fe.three_years, 100.0 * 11 * 0.02 / 35, 1e-9);
}

}  // namespace
}  // namespace x11sa
