// Estimation: the codes of data the model cannot be fitted to (each becomes
// a message in the log), a closed form with its standard errors, and starts
// on the boundary of the invertible region. (The Ljung-Box checks are
// recomputed in the tests of the automatic choice.)
#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "arima_support.h"

namespace x11sa {
namespace {

void airline_model(ModelFit* rec, std::vector<double>& y, char method) {
  *rec = ModelFit{};
  rec->q = rec->sq = rec->dif = rec->sdif = 1;
  rec->period = 12;
  rec->x = y.data();
  rec->n = static_cast<long>(y.size());
  rec->transform_kind = kTrLog;
  rec->no_constant = 1;
  rec->estimation_method = method;
  rec->nlags = 36;
}

bool has_message(const EngineContext* con, int set, int number) {
  return std::any_of(con->messages.begin(), con->messages.end(),
                     [&](const EngineMessage& m) { return m.set == set && m.number == number; });
}

TEST(ArimaEstimation, FailuresGiveTheirCodes) {
  std::vector<double> y = testing::load_series("airline.csv");
  ModelFit rec;
  // 15 months leave 2 differenced values for 2 parameters.
  std::vector<double> short_series(y.begin(), y.begin() + 15);
  airline_model(&rec, short_series, kTsMl);
  EXPECT_EQ(estimate_model(rec), kTsFewData);
  // The log of a value that is not positive.
  std::vector<double> with_zero = y;
  with_zero[50] = 0.0;
  airline_model(&rec, with_zero, kTsMl);
  EXPECT_EQ(estimate_model(rec), kTsTransform);
  // A linear trend differenced once does not vary.
  std::vector<double> line(60);
  for (int t = 0; t < 60; ++t) line[t] = 10.0 + 0.5 * t;
  airline_model(&rec, line, kTsCls);
  rec.sdif = rec.sq = 0;
  rec.transform_kind = kTrNone;
  EXPECT_EQ(estimate_model(rec), kTsZeroVar);
  // Ten values cannot inform a coefficient at lag 12.
  std::vector<double> ten(y.begin(), y.begin() + 10);
  airline_model(&rec, ten, kTsCls);
  rec.dif = rec.sdif = 0;
  EXPECT_EQ(estimate_model(rec), kTsSingular);

  // At the iteration limit the statistics are still there for the reports.
  airline_model(&rec, y, kTsMl);
  rec.max_iterations = 1;
  rec.converge = 1.1e-8;
  EXPECT_EQ(estimate_model(rec), kTsMaxIter);
  EXPECT_EQ(rec.model->optimizer.iterations, 1);
  EXPECT_GT(rec.model->params.std_errors[0], 0.0);
  EXPECT_EQ(rec.model->ljung_box_lags, 36);

  // Memory refused: code 4 with the message, and the same fit succeeds
  // once the memory is there.
  airline_model(&rec, y, kTsMl);
  rec.context_owner = std::make_shared<EngineContext>();
  rec.context = rec.context_owner.get();
  ASSERT_EQ(init_engine_context(rec.context), kTsOk);
  rec.context->store->limit = 2000;
  EXPECT_EQ(estimate_model(rec), kTsMemory);
  EXPECT_TRUE(has_message(rec.context, 0, 1));
  rec.context->store->limit = 0;
  EXPECT_EQ(estimate_model(rec), kTsOk);

  // CONVERGE= of 0 becomes the default, with a note.
  airline_model(&rec, y, kTsCls);
  ASSERT_EQ(estimate_model(rec), kTsOk);
  EXPECT_EQ(rec.converge, 0.001);
  EXPECT_TRUE(has_message(rec.context, 267, 68));
}

// Conditional least squares of an AR(1) with a mean term is ordinary least
// squares of w_t on w_{t-1} with an intercept c = mu (1 - phi).
TEST(ArimaEstimation, ConditionalArOneIsLeastSquares) {
  std::vector<double> w = {3.1, 2.4, 2.9, 3.8, 3.3, 2.2, 2.6, 3.5, 4.1, 3.0, 2.7, 2.5, 3.2, 3.9, 3.6,
                           2.8, 2.1, 2.6, 3.4, 3.7, 3.1, 2.9, 3.3, 2.4, 2.0, 2.7, 3.6, 4.0, 3.5, 3.0};
  ModelFit rec;
  rec.p = 1;
  rec.x = w.data();
  rec.n = static_cast<long>(w.size());
  rec.converge = 1.1e-8;
  ASSERT_EQ(estimate_model(rec), kTsOk);
  const double n = static_cast<double>(rec.n - 1);
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (long t = 1; t < rec.n; ++t) {
    sx += w[t - 1];
    sy += w[t];
    sxx += w[t - 1] * w[t - 1];
    sxy += w[t - 1] * w[t];
  }
  const double slope = (sxy - sx * sy / n) / (sxx - sx * sx / n);
  const double intercept = (sy - slope * sx) / n;
  double sse = 0;
  for (long t = 1; t < rec.n; ++t) sse += std::pow(w[t] - intercept - slope * w[t - 1], 2);
  const ModelRecord* m = rec.model;
  ASSERT_EQ(m->params.names[1], "AR1,1");
  EXPECT_NEAR(m->params.estimates[1], slope, 1e-7);
  EXPECT_NEAR(m->params.estimates[0], intercept / (1 - slope), 1e-6);
  EXPECT_NEAR(m->constant, intercept, 1e-6);
  EXPECT_EQ(m->residual_count, rec.n - 1);
  EXPECT_NEAR(m->sse, sse, 1e-9 * sse);
  const double s2 = sse / (n - 2);
  EXPECT_NEAR(m->variance, s2, 1e-9 * s2);
  EXPECT_NEAR(m->params.std_errors[1], std::sqrt(s2 / (sxx - sx * sx / n)), 1e-5 * m->params.std_errors[1]);
  EXPECT_NEAR(m->aic, -2 * m->loglik + 4, 1e-12);
}

// Largest modulus of the inverse roots of 1 - c1 z or 1 - c1 z - c2 z^2.
double largest_inverse_root(const LagPolynomial& f) {
  if (f.terms == 1) return std::fabs(f.coefficients[0]);
  const double c1 = f.coefficients[0], c2 = f.coefficients[1];
  const double disc = c1 * c1 + 4.0 * c2;
  if (disc < 0.0) return std::sqrt(-c2);
  return std::max(std::fabs(c1 + std::sqrt(disc)), std::fabs(c1 - std::sqrt(disc))) / 2.0;
}

// A stage that ends on the boundary of the invertible region no longer
// seeds the next one there: roots on or outside the unit circle move to
// modulus 1/0.9, and maximum likelihood of (2,1,2)(0,1,1) on two series
// whose conditional stage ends with an MA root at B = -1 reaches an
// interior maximum instead of a singular covariance matrix.
TEST(ArimaEstimation, BoundaryStartsArePulledInside) {
  LagPolynomial inside{2, {1, 2}, {0.5, -0.3}};
  EXPECT_FALSE(pull_from_boundary(inside));
  EXPECT_DOUBLE_EQ(inside.coefficients[1], -0.3);
  // (1 + B)(1 - 0.474 B) becomes (1 + 0.9 B)(1 - 0.474 B); an explosive root is reflected.
  LagPolynomial on{2, {1, 2}, {-0.526, 0.474}}, explosive{1, {12}, {2.0}};
  ASSERT_TRUE(pull_from_boundary(on) && pull_from_boundary(explosive));
  EXPECT_NEAR(on.coefficients[0], -0.426, 1e-9);
  EXPECT_NEAR(on.coefficients[1], 0.9 * 0.474, 1e-9);
  EXPECT_NEAR(explosive.coefficients[0], 0.5, 1e-9);

  for (auto [file, period, noconst] : {std::tuple{"seatbelts.csv", 12, 0}, std::tuple{"jj.csv", 4, 1}}) {
    SCOPED_TRACE(file);
    std::vector<double> y = testing::load_series(file);
    ModelFit rec;
    airline_model(&rec, y, kTsMl);
    rec.p = rec.q = 2;
    rec.period = period;
    rec.no_constant = noconst;
    rec.converge = 1e-5;
    rec.max_iterations = 200;  // the ridge of nearly cancelling factors is climbed slowly
    ASSERT_EQ(estimate_model(rec), kTsOk);
    const ModelRecord* m = rec.model;
    for (const auto* side : {&m->ar_factors, &m->ma_factors})
      for (const LagPolynomial& factor : *side) EXPECT_LT(largest_inverse_root(factor), 0.99) << factor.lags[0];
    // Standard errors narrower than the whole range of a coefficient.
    for (int i = noconst != 0 ? 0 : 1; i < m->parameter_count; ++i) {
      EXPECT_GT(m->params.std_errors[i], 0.0) << m->params.names[i];
      EXPECT_LT(m->params.std_errors[i], 2.0) << m->params.names[i];
    }
  }
}

}  // namespace
}  // namespace x11sa
