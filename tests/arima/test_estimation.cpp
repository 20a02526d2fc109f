// Estimation through the driver's entry point: return codes of bad input
// and failures with consistent records, stages and options, statistics
// against closed forms, the Ljung-Box checks and the model tree.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "arima/engine.h"
#include "arima_support.h"
#include "host/exit.h"

namespace x11sa {
namespace {

void airline_model(ModelFit* rec, std::vector<double>& y, char method) {
  *rec = ModelFit{};
  rec->q = 1;
  rec->sq = 1;
  rec->dif = 1;
  rec->sdif = 1;
  rec->period = 12;
  rec->x = y.data();
  rec->n = static_cast<long>(y.size());
  rec->tranopt = kTrLog;
  rec->noconst = 1;
  rec->emethod = method;
  rec->nlags = 36;
}

bool all_missing(const std::vector<double>& v) {
  for (double x : v)
    if (!is_missing(x)) return false;
  return true;
}

bool has_message(const TSACON* con, int set, int number) {
  for (const EngineMessage& m : con->messages)
    if (m.set == set && m.number == number) return true;
  return false;
}

TEST(ArimaEstimation, InvalidArguments) {
  std::vector<double> y = testing::load_series("airline.csv");
  ModelFit rec;
  airline_model(&rec, y, kTsCls);
  rec.n = 0;
  EXPECT_EQ(estimate_model(rec), kTsFewData);
  airline_model(&rec, y, kTsCls);
  rec.period = 0;
  EXPECT_EQ(estimate_model(rec), kTsInvalid);
  // Without seasonal orders the period does not matter.
  rec.sq = 0;
  rec.sdif = 0;
  EXPECT_EQ(estimate_model(rec), kTsOk);
  ModelFit unestimated;
  EXPECT_EQ(forecast_model(unestimated), kTsInvalid);
}

TEST(ArimaEstimation, BadDataGiveTheirCodes) {
  std::vector<double> y = testing::load_series("airline.csv");
  ModelFit rec;
  // Too few observations: 15 months leave 2 differenced values for 2 parameters.
  std::vector<double> short_series(y.begin(), y.begin() + 15);
  airline_model(&rec, short_series, kTsMl);
  EXPECT_EQ(estimate_model(rec), kTsFewData);
  EXPECT_TRUE(all_missing(rec.model->res));
  EXPECT_EQ(rec.model->nchi, 0);
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
  rec.tranopt = kTrNone;
  EXPECT_EQ(estimate_model(rec), kTsZeroVar);
  // Ten values cannot inform a coefficient at lag 12: a singular system.
  std::vector<double> ten(y.begin(), y.begin() + 10);
  airline_model(&rec, ten, kTsCls);
  rec.dif = rec.sdif = 0;
  EXPECT_EQ(estimate_model(rec), kTsSingular);
}

TEST(ArimaEstimation, IterationLimitKeepsStatistics) {
  std::vector<double> y = testing::load_series("airline.csv");
  ModelFit rec;
  airline_model(&rec, y, kTsMl);
  rec.maxit = 1;
  rec.converge = 1.1e-8;
  EXPECT_EQ(estimate_model(rec), kTsMaxIter);
  const TSMODEL* m = rec.model;
  EXPECT_EQ(m->rc, kTsMaxIter);
  EXPECT_EQ(m->nonlopt.numiter, 1);
  EXPECT_GT(m->variance, 0.0);
  EXPECT_GT(m->parms.std[0], 0.0);
  EXPECT_EQ(m->nchi, 36);
}

TEST(ArimaEstimation, MemoryFailure) {
  std::vector<double> y = testing::load_series("airline.csv");
  ModelFit rec;
  airline_model(&rec, y, kTsMl);
  rec.tscon_own = std::make_shared<TSACON>();
  rec.tscon = rec.tscon_own.get();
  ASSERT_EQ(ztsinit(rec.tscon), kTsOk);
  rec.tscon->mempool->limit = 2000;
  EXPECT_EQ(estimate_model(rec), kTsMemory);
  EXPECT_EQ(rec.tscon->rc, kTsMemory);
  EXPECT_GT(rec.tscon->memdef, 0);
  EXPECT_TRUE(has_message(rec.tscon, 0, 1));
  rec.tscon->mempool->limit = 0;
  EXPECT_EQ(estimate_model(rec), kTsOk);
}

// The engine alone: parameters given, maxit 0, an invertibility failure.
TEST(ArimaEstimation, GivenParametersAndNonInvertibleStart) {
  std::vector<double> y = testing::load_series("airline.csv");
  ModelFit rec;
  airline_model(&rec, y, kTsMl);
  ASSERT_EQ(estimate_model(rec), kTsOk);
  TSACON* con = rec.tscon;
  TSMODEL* m = rec.model;
  *m->parms.value[0] = 0.3;
  *m->parms.value[1] = 0.5;
  m->nonlopt.maxit = 0;
  EXPECT_EQ(ztsest(con, nullptr, 0), kTsGiven);
  EXPECT_EQ(*m->parms.value[0], 0.3);
  EXPECT_EQ(*m->parms.value[1], 0.5);
  EXPECT_GT(m->variance, 0.0);

  // A seasonal MA coefficient of 1 fails the exact methods' invertibility
  // test; the records stay without residuals.
  *m->parms.value[1] = 1.0;
  m->nonlopt.maxit = 15;
  m->nonlopt.startup = 2;  // no conditional start-up stage
  EXPECT_EQ(ztsest(con, nullptr, 0), kTsUnstable);
  EXPECT_EQ(m->rc, kTsUnstable);
  EXPECT_TRUE(all_missing(m->res));
  double obj = 0;
  std::vector<double> r(static_cast<std::size_t>(m->tseries->tnobs));
  EXPECT_EQ(ztseres(con, m, r, &obj), kTsUnstable);
  m->nostable = 1;
  EXPECT_EQ(ztseres(con, m, r, &obj), kTsOk);
}

TEST(ArimaEstimation, ConvergenceOptionsAndMessages) {
  std::vector<double> y = testing::load_series("airline.csv");
  ModelFit rec;
  airline_model(&rec, y, kTsCls);
  rec.converge = 0.0;
  ASSERT_EQ(estimate_model(rec), kTsOk);
  EXPECT_EQ(rec.converge, 0.001);
  EXPECT_TRUE(has_message(rec.tscon, 267, 68));
  EXPECT_LE(rec.model->nonlopt.numiter, 15);

  TSMODEL* m = rec.model;
  m->nonlopt.converge = 1e-12;
  EXPECT_EQ(ztsest(rec.tscon, nullptr, 0), kTsOk);
  EXPECT_EQ(m->nonlopt.converge, 1.053671212772351e-08);
  EXPECT_TRUE(has_message(rec.tscon, 267, 69));
  m->nonlopt.converge = -1.0;
  EXPECT_EQ(ztsest(rec.tscon, nullptr, 0), kTsOk);
  EXPECT_EQ(m->nonlopt.converge, 0.001);
}

std::vector<int> stages_seen;
void record_stage(TSACON* con) { stages_seen.push_back(con->model->method); }

TEST(ArimaEstimation, ExactMethodsStartWithConditionalStage) {
  std::vector<double> y = testing::load_series("airline.csv");
  ModelFit rec;
  for (auto [method, nstartit, expected] :
       {std::tuple{kTsCls, 0, std::vector<int>{0}}, std::tuple{kTsMl, 0, std::vector<int>{0, 2}},
        std::tuple{kTsUls, -1, std::vector<int>{1}}}) {
    airline_model(&rec, y, method);
    rec.nstartit = nstartit;  // 0 means the default 4, negative none
    stages_seen.clear();
    ASSERT_EQ(estimate_model(rec, record_stage, 1), kTsOk);
    EXPECT_EQ(stages_seen, expected);
    EXPECT_EQ(rec.model->method, method);
  }
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
  for (long t = 1; t < rec.n; ++t) {
    const double e = w[t] - intercept - slope * w[t - 1];
    sse += e * e;
  }
  const TSMODEL* m = rec.model;
  ASSERT_EQ(m->parms.name[1], "AR1,1");
  EXPECT_NEAR(m->parms.parmest[1], slope, 1e-7);
  EXPECT_NEAR(m->parms.parmest[0], intercept / (1 - slope), 1e-6);
  EXPECT_NEAR(m->constant, intercept, 1e-6);
  EXPECT_EQ(m->numres, rec.n - 1);
  EXPECT_NEAR(m->sse, sse, 1e-9 * sse);
  const double s2 = sse / (n - 2);
  EXPECT_NEAR(m->variance, s2, 1e-9 * s2);
  EXPECT_NEAR(m->parms.std[1], std::sqrt(s2 / (sxx - sx * sx / n)), 1e-5 * m->parms.std[1]);
  EXPECT_NEAR(m->aic, -2 * m->loglik + 4, 1e-12);
}

// Ljung-Box statistics from the residuals, written out: autocorrelations
// about the mean, n (n + 2) sum r_k^2 / (n - k), degrees of freedom reduced
// by the ARMA parameters only.
TEST(ArimaEstimation, LjungBoxAgainstDirectComputation) {
  std::vector<double> y = testing::load_series("airline.csv");
  ModelFit rec;
  airline_model(&rec, y, kTsMl);
  rec.noconst = 0;
  ASSERT_EQ(estimate_model(rec), kTsOk);
  const TSMODEL* m = rec.model;
  std::vector<double> e;
  for (double v : m->res)
    if (!is_missing(v)) e.push_back(v);
  ASSERT_EQ(static_cast<long>(e.size()), m->numres);
  const double n = static_cast<double>(e.size());
  double mean = 0;
  for (double v : e) mean += v;
  mean /= n;
  double c0 = 0;
  for (double v : e) c0 += (v - mean) * (v - mean);
  double q = 0;
  ASSERT_EQ(m->nchi, 36);
  for (int k = 1; k <= 36; ++k) {
    double ck = 0;
    for (std::size_t t = 0; t + k < e.size(); ++t) ck += (e[t] - mean) * (e[t + k] - mean);
    q += (ck / c0) * (ck / c0) / (n - k);
    EXPECT_NEAR(m->chisq[k - 1], n * (n + 2) * q, 1e-9 * n * n * q) << k;
    EXPECT_EQ(m->chidf[k - 1], k - 2);
  }
}

TEST(ArimaEstimation, GapInsideTheSpan) {
  std::vector<double> y = testing::load_series("airline.csv");
  y[70] = kMissing;
  ModelFit rec;
  for (char method : {kTsCls, kTsUls, kTsMl}) {
    airline_model(&rec, y, method);
    ASSERT_EQ(estimate_model(rec), kTsOk) << int{method};
    // One gap in y spoils four differenced values.
    EXPECT_EQ(rec.model->numres, 131 - 4);
    EXPECT_NEAR(rec.model->parms.parmest[0], 0.40, 0.05);
  }
}

TEST(ArimaEstimation, ModelWithoutParameters) {
  std::vector<double> y = testing::load_series("airline.csv");
  ModelFit rec;
  airline_model(&rec, y, kTsMl);
  rec.q = rec.sq = 0;
  EXPECT_EQ(estimate_model(rec), kTsGiven);
  // The residuals are the differenced series, so the model can be forecast.
  EXPECT_EQ(rec.model->numres, 131);
  EXPECT_NEAR(rec.model->variance, rec.model->sse / 131, 1e-15);
  rec.lead = 12;
  EXPECT_EQ(forecast_model(rec), kTsOk);
}

TEST(ArimaEstimation, ModelTreeKeepsOneModelPerRecord) {
  std::vector<double> y = testing::load_series("airline.csv");
  ModelFit a, b;
  airline_model(&a, y, kTsCls);
  airline_model(&b, y, kTsCls);
  b.q = 2;
  ASSERT_EQ(estimate_model(a), kTsOk);
  b.tscon = a.tscon;
  b.tscon_own = a.tscon_own;
  ASSERT_EQ(estimate_model(b), kTsOk);
  EXPECT_NE(a.model, b.model);
  EXPECT_EQ(a.tscon->modtre->nodes.size(), 2u);
  EXPECT_EQ(b.model->parms.name, (std::vector<std::string>{"MA1,1", "MA1,2", "MA2,12"}));
  TSMODEL* first = a.model;
  ASSERT_EQ(estimate_model(a), kTsOk);
  EXPECT_EQ(a.model, first);
  EXPECT_EQ(a.tscon->model, first);
  // A copy of the context sees the same models.
  const TSACON saved = *a.tscon;
  EXPECT_EQ(ztrefnd(saved.modtre, &b), b.model);
}

// Largest modulus of the inverse roots of a factor 1 - c1 z or
// 1 - c1 z - c2 z^2 (z = B^lag), from the quadratic formula.
double largest_inverse_root(const FILTER& f) {
  if (f.df == 1) return std::fabs(f.vptr[0]);
  EXPECT_EQ(f.df, 2);
  EXPECT_EQ(f.dptr[1], 2 * f.dptr[0]);
  // Inverse roots solve x^2 - c1 x - c2 = 0.
  const double c1 = f.vptr[0], c2 = f.vptr[1];
  const double disc = c1 * c1 + 4.0 * c2;
  if (disc < 0.0) return std::sqrt(-c2);
  return std::max(std::fabs(c1 + std::sqrt(disc)), std::fabs(c1 - std::sqrt(disc))) / 2.0;
}

// A stage that ends on the boundary of the invertible region no longer seeds
// the next one there. The routine that moves the roots: a factor inside is
// left alone; roots on or outside the unit circle end at modulus 1/0.9 (the
// expected coefficients multiply the moved linear factors out by hand). Then
// maximum likelihood of (2,1,2)(0,1,1) on two real series whose conditional
// start-up stage ends with an MA root at B = -1: it used to end there with a
// singular covariance matrix, and now reaches an interior maximum.
TEST(ArimaEstimation, BoundaryStartsArePulledInside) {
  FILTER f;
  auto set = [&f](std::vector<int> lags, std::vector<double> coef) {
    f.df = static_cast<int>(lags.size());
    f.dptr = std::move(lags);
    f.vptr = std::move(coef);
  };
  set({1, 2}, {0.5, -0.3});  // complex pair of modulus sqrt(0.3)
  EXPECT_FALSE(pull_from_boundary(f));
  EXPECT_DOUBLE_EQ(f.vptr[0], 0.5);
  EXPECT_DOUBLE_EQ(f.vptr[1], -0.3);
  set({4}, {0.97});  // near the circle, but a start inside is kept as it is
  EXPECT_FALSE(pull_from_boundary(f));
  EXPECT_DOUBLE_EQ(f.vptr[0], 0.97);

  struct Case {
    std::vector<int> lags;
    std::vector<double> before, after;
  };
  const double w = 1.0;  // angle of a complex pair on the circle
  for (const Case& c : std::vector<Case>{
           {{1}, {1.0}, {0.9}},
           {{12}, {1.0}, {0.9}},  // judged and moved on the seasonal scale
           {{1}, {2.0}, {0.5}},   // an explosive root is reflected
           // (1 + B)(1 - 0.474 B) becomes (1 + 0.9 B)(1 - 0.474 B).
           {{1, 2}, {-0.526, 0.474}, {-0.426, 0.9 * 0.474}},
           {{1, 2}, {2.0 * std::cos(w), -1.0}, {1.8 * std::cos(w), -0.81}},
       }) {
    set(c.lags, c.before);
    EXPECT_TRUE(pull_from_boundary(f));
    for (int j = 0; j < f.df; ++j) EXPECT_NEAR(f.vptr[j], c.after[j], 1e-9) << c.before[0];
    EXPECT_LE(largest_inverse_root(f), 0.9 + 1e-9);
  }

  // Every factor clear of the unit circle, and standard errors such that two
  // of them are narrower than the whole stationary range of a coefficient
  // (|c| < 2): wider, the data would not determine it.
  auto interior = [](const TSMODEL* m) {
    for (const auto* side : {&m->arfac, &m->mafac})
      for (const FILTER& factor : *side) EXPECT_LT(largest_inverse_root(factor), 0.99) << factor.dptr[0];
    for (int i = m->noconst != 0 ? 0 : 1; i < m->nparm; ++i) {
      EXPECT_GT(m->parms.std[i], 0.0) << m->parms.name[i];
      EXPECT_LT(m->parms.std[i], 2.0) << m->parms.name[i];
    }
  };
  struct Series {
    const char* file;
    int period;
    int noconst;
  };
  for (const Series& s : {Series{"seatbelts.csv", 12, 0}, Series{"jj.csv", 4, 1}}) {
    SCOPED_TRACE(s.file);
    std::vector<double> y = testing::load_series(s.file);
    ModelFit rec;
    airline_model(&rec, y, kTsMl);
    rec.p = rec.q = 2;
    rec.period = s.period;
    rec.noconst = s.noconst;
    rec.converge = 1e-5;
    rec.maxit = 200;  // the ridge of nearly cancelling factors is climbed slowly
    const int rc = estimate_model(rec);
    EXPECT_EQ(rc, kTsOk);
    if (rc != kTsOk) continue;
    interior(rec.model);
    if (s.noconst != 0) continue;

    // Maximum likelihood alone from a start with the MA factor
    // 1 + 0.57 B - 0.4299 B^2, whose value at B = -1 is 1e-4, stops on the
    // boundary with a singular covariance matrix; the retry from the same
    // start pulled inside does not.
    TSMODEL* m = rec.model;
    const double start[] = {-0.00081, -0.57, 0.4299, 0.75505, -1.10429, -0.15377};
    ASSERT_EQ(m->parms.name[1], "MA1,1");
    for (int i = 0; i < m->nparm; ++i) *m->parms.value[i] = start[i];
    m->nonlopt.startup = 2;  // no conditional start-up stage
    ASSERT_EQ(ztsest(rec.tscon, nullptr, 0), kTsOk);
    interior(m);
  }
}

TEST(ArimaEstimation, LagFactors) {
  TSACON con;
  FILTER f;
  EXPECT_EQ(getord(nullptr, &f, 2), kTsInvalid);
  ASSERT_EQ(ztsinit(&con), kTsOk);
  ASSERT_EQ(getors(&con, &f, 2, 12), kTsOk);
  EXPECT_EQ(f.dptr, (std::vector<int>{12, 24}));
  ASSERT_EQ(getord(&con, &f, 3), kTsOk);
  EXPECT_EQ(f.dptr, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(getors(&con, &f, 1, 0), kTsInvalid);
  ASSERT_EQ(getord(&con, &f, 0), kTsOk);
  EXPECT_EQ(f.df, 0);
}

}  // namespace
}  // namespace x11sa
