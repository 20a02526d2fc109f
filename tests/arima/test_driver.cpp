// The extension driver on real series: the user's model against the
// reference forecasts, backcasts and their placement, the automatic choice
// against criteria recomputed here, and the failures of the selection.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <boost/math/distributions/chi_squared.hpp>
#include <gtest/gtest.h>

#include "arima/driver.h"
#include "arima_support.h"
#include "host/host.h"

namespace x11sa {
namespace {

// Column `name` of a CSV file of the test data, from the rows whose column
// `filter_col` equals `filter_val` (all rows when filter_col is empty).
std::vector<double> csv_column(const std::string& file, const std::string& name, const std::string& filter_col = "",
                               const std::string& filter_val = "") {
  std::ifstream in(std::string(X11SA_TEST_DATA) + "/" + file);
  std::string line;
  std::getline(in, line);
  auto split = [](const std::string& s) {
    std::vector<std::string> cells;
    std::stringstream ss(s);
    std::string c;
    while (std::getline(ss, c, ',')) cells.push_back(c);
    return cells;
  };
  const std::vector<std::string> head = split(line);
  const auto col = static_cast<std::size_t>(std::find(head.begin(), head.end(), name) - head.begin());
  const auto fcol = static_cast<std::size_t>(std::find(head.begin(), head.end(), filter_col) - head.begin());
  std::vector<double> out;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> cells = split(line);
    if (!filter_col.empty() && cells.at(fcol) != filter_val) continue;
    out.push_back(std::stod(cells.at(col)));
  }
  return out;
}

// The run state of one variable with the arrays the extension touches.
class Extension {
 public:
  Extension(std::vector<double> series, bool monthly, int back_years, int fore_years, bool additive = false)
      : data_(std::move(series)) {
    host_ = std::make_unique<Host>(TextOut(&log_), TextOut(), TextOut(), HostSettings{});
    com_.host = host_.get();
    com_.op.month_f = monthly ? 1 : 0;
    com_.op.add_f = additive ? 1 : 0;
    com_.nper = monthly ? 12 : 4;
    X11ARIMAOPTS& a = com_.x11acom.arima;
    a.yrs_b = back_years;
    a.yrs_f = fore_years;
    a.back = back_years * com_.nper;
    a.fore = fore_years * com_.nper;
    a.ar_len = a.back + a.fore;
    a.nlag = monthly ? 36 : 12;
    a.op.a_f = 1;
    const auto n = static_cast<long>(data_.size());
    com_.obs = n;
    com_.array_size = n;
    com_.fake_array_size = n + a.ar_len;
    for (std::vector<double>* v : {&b1_, &a13_, &a14_, &work2_, &work3_})
      v->assign(static_cast<std::size_t>(com_.fake_array_size), kMissing);
    com_.work.b1 = b1_.data();
    com_.work.a13 = a13_.data();
    com_.work.a14 = a14_.data();
    com_.work.work2 = work2_.data();
    com_.work.work3 = work3_.data();
    X11FLOW& f = com_.x11flow;
    f.nobs = n;
    f.nmiss = 0;
    f.fake_begin = 0;
    f.real_begin = a.back;
    f.real_end = a.back + n;
    f.fake_end = f.real_end + a.fore;
    var_.v_vs = "series";
    f.vv = &var_;
  }

  X11COM* com() { return &com_; }
  X11ARIMAOPTS& opts() { return com_.x11acom.arima; }
  std::vector<double>& data() { return data_; }
  const std::vector<double>& b1() const { return b1_; }
  const std::vector<double>& a13() const { return a13_; }
  const std::vector<double>& a14() const { return a14_; }
  const X11FLOW& flow() const { return com_.x11flow; }
  bool logged(int number) const { return host_->logged(number); }
  const std::string& log() const { return log_; }
  void use_model(int p, int dif, int q, int sp, int sdif, int sq) {
    X11ARIMAOPTS& a = opts();
    a.op.u_f = 1;
    a.op.a_f = 0;
    a.user.p = p;
    a.user.dif = dif;
    a.user.q = q;
    a.user.sp = sp;
    a.user.sdif = sdif;
    a.user.sq = sq;
  }

 private:
  std::string log_;
  std::unique_ptr<Host> host_;
  X11COM com_;
  VAR var_;
  std::vector<double> data_;
  std::vector<double> b1_, a13_, a14_, work2_, work3_;
};

// (0,1,1)(0,1,1) of the log airline series by maximum likelihood without a
// mean term: the forecasts in A13 and B1 are the reference's, bias-corrected
// for the log by half the squared standard error.
TEST(ArimaDriver, UserModelForecastsMatchTheReference) {
  const testing::RefFit* ref = nullptr;
  const auto fits = testing::load_reference();
  for (const auto& f : fits)
    if (f.file == "airline.csv" && f.log && f.ml && !f.mean && f.p == 0 && f.dif == 1 && f.q == 1) ref = &f;
  ASSERT_NE(ref, nullptr);
  Extension ext(testing::load_series("airline.csv"), true, 0, 1);
  ext.use_model(0, 1, 1, 0, 1, 1);
  X11ARIMAOPTS& a = ext.opts();
  a.trans_code = 1;
  a.method = kTsMl;
  a.user.noint = 1;
  a.converge = 1.053671212772351e-08;
  a.maxit = 200;
  ASSERT_EQ(x11a15(ext.com(), ext.data().data()), 0) << ext.log();
  const X11FLOW& f = ext.flow();
  for (long h = 0; h < 12; ++h) {
    const double fc = ref->forecast[static_cast<std::size_t>(h)];
    const double se = ref->se[static_cast<std::size_t>(h)];
    const double expected = std::exp(fc + 0.5 * se * se);
    const auto at = static_cast<std::size_t>(f.real_end + h);
    EXPECT_NEAR(ext.a13()[at], expected, 1e-4 * expected) << "h=" << h;
    EXPECT_EQ(ext.b1()[at], ext.a13()[at]);
  }
  // Fitted values start after the 13 values the differencing takes; B1
  // keeps the observations.
  for (long t = 0; t < f.nobs; ++t) {
    const auto at = static_cast<std::size_t>(f.real_begin + t);
    EXPECT_EQ(is_missing(ext.a13()[at]), t < 13) << t;
    EXPECT_EQ(ext.b1()[at], ext.data()[static_cast<std::size_t>(t)]);
  }
  EXPECT_EQ(a.op.u_f, 1);
  EXPECT_EQ(ext.com()->x11acom.passed_ptr, &ext.com()->x11acom.m1);
}

// Backcasts are the forecasts of the reversed series, placed before the
// first observation in reverse order; A14 holds them and the reversed
// series' fitted values, turned back into time order.
TEST(ArimaDriver, BackcastsAreForecastsOfTheReversedSeries) {
  Extension ext(testing::load_series("airline.csv"), true, 1, 1);
  ext.use_model(0, 1, 1, 0, 1, 1);
  ext.opts().trans_code = 1;
  ASSERT_EQ(x11a15(ext.com(), ext.data().data()), 0) << ext.log();
  x11a14(ext.com(), ext.com()->x11acom.passed_ptr);

  std::vector<double> reversed(ext.data().rbegin(), ext.data().rend());
  X11ARIMA rec;
  rec.dif = 1;
  rec.q = 1;
  rec.sdif = 1;
  rec.sq = 1;
  rec.period = 12;
  rec.tranopt = kTrLog;
  rec.x = reversed.data();
  rec.n = static_cast<long>(reversed.size());
  rec.lead = 12;
  rec.maxit = 15;
  rec.converge = 0.001;
  rec.nlags = 36;
  rec.name[0] = 'R';
  ASSERT_EQ(x11arie(&rec, 0, nullptr, 0), kTsOk);
  ASSERT_EQ(x11arif(&rec), kTsOk);
  const X11FLOW& f = ext.flow();
  const long n = f.nobs;
  for (long j = 0; j < 12; ++j) {
    const double expected = rec.xfor[n + j];
    const auto at = static_cast<std::size_t>(f.real_begin - 1 - j);
    EXPECT_NEAR(ext.b1()[at], expected, 1e-9 * expected) << j;
    EXPECT_EQ(ext.a14()[at], ext.b1()[at]);
  }
  for (long t = 0; t < n; ++t) {
    const double fitted = rec.xfor[n - 1 - t];
    const double got = ext.a14()[static_cast<std::size_t>(f.real_begin + t)];
    if (is_missing(fitted)) {
      EXPECT_TRUE(is_missing(got)) << t;
    } else {
      EXPECT_NEAR(got, fitted, 1e-9 * std::fabs(fitted)) << t;
    }
  }
  // The forecasts follow the observations.
  for (long h = 0; h < 12; ++h) EXPECT_FALSE(is_missing(ext.b1()[static_cast<std::size_t>(f.real_end + h)]));
}

TEST(ArimaDriver, WithoutForecastYearsOnlyFittedValues) {
  Extension ext(testing::load_series("usaccdeaths.csv"), true, 0, 0);
  ext.use_model(0, 1, 1, 0, 1, 1);
  ASSERT_EQ(x11a15(ext.com(), ext.data().data()), 0) << ext.log();
  const X11FLOW& f = ext.flow();
  EXPECT_EQ(f.fake_end, f.real_end);
  long fitted = 0;
  for (long t = 0; t < f.nobs; ++t) fitted += is_missing(ext.a13()[static_cast<std::size_t>(t)]) ? 0 : 1;
  EXPECT_EQ(fitted, f.nobs - 13);
  x11a14(ext.com(), ext.com()->x11acom.passed_ptr);
  EXPECT_TRUE(std::all_of(ext.a14().begin(), ext.a14().end(), [](double v) { return is_missing(v); }));
}

// The criteria of one candidate, recomputed from an independent fit.
struct Recomputed {
  bool estimated = false;
  double chi_prob = kMissing;
  double ma_sum = 0;
  double mape = kMissing;
};

Recomputed recompute(std::vector<double>& y, int i, bool monthly, bool additive) {
  static constexpr int kOrders[5][3] = {{0, 1, 1}, {0, 1, 2}, {2, 1, 0}, {0, 2, 2}, {2, 1, 2}};
  const int P = monthly ? 12 : 4;
  X11ARIMA rec;
  rec.p = kOrders[i][0];
  rec.dif = kOrders[i][1];
  rec.q = kOrders[i][2];
  rec.sdif = 1;
  rec.sq = 1;
  rec.period = P;
  rec.tranopt = i < 4 && !additive ? kTrLog : kTrNone;
  rec.x = y.data();
  rec.n = static_cast<long>(y.size());
  rec.lead = P;
  rec.nlags = monthly ? 36 : 12;
  rec.maxit = 15;
  rec.converge = 0.001;
  rec.name[0] = 'Y';
  Recomputed r;
  if (x11arie(&rec, 0, nullptr, 0) != kTsOk || x11arif(&rec) != kTsOk) return r;
  r.estimated = true;
  // Ljung-Box at lag 24 (8 quarterly) of the model residuals.
  const TSMODEL* m = rec.model;
  std::vector<double> e;
  for (double v : m->res)
    if (!is_missing(v)) e.push_back(v);
  double mean = 0;
  for (double v : e) mean += v;
  mean /= static_cast<double>(e.size());
  double c0 = 0;
  for (double v : e) c0 += (v - mean) * (v - mean);
  const int lag = monthly ? 24 : 8;
  const auto n = static_cast<double>(e.size());
  double q = 0;
  for (int k = 1; k <= lag; ++k) {
    double ck = 0;
    for (std::size_t t = 0; t + static_cast<std::size_t>(k) < e.size(); ++t)
      ck += (e[t] - mean) * (e[t + static_cast<std::size_t>(k)] - mean);
    const double r_k = ck / c0;
    q += r_k * r_k / (n - k);
  }
  q *= n * (n + 2);
  const int arma = rec.p + rec.q + 1;  // the seasonal MA coefficient
  r.chi_prob = boost::math::cdf(boost::math::complement(boost::math::chi_squared(lag - arma), q));
  // Over-differencing: the first MA factor's sum, or the seasonal
  // coefficient when it is larger.
  const FILTER& first = m->mafac.front();
  double sum = 0;
  for (double c : first.vptr) sum += c;
  r.ma_sum = m->mafac.size() > 1 ? std::max(sum, m->mafac[1].vptr[0]) : sum;
  // One-step errors of the last three years, in percent of the observations.
  const long L = 3 * P;
  double ape = 0;
  for (long t = rec.n - L; t < rec.n; ++t) ape += std::fabs(rec.res[t]) / (std::fabs(y[static_cast<std::size_t>(t)]) + 1e-8);
  r.mape = 100.0 * ape / static_cast<double>(L);
  return r;
}

struct Case {
  std::string label;
  std::vector<double> series;
  bool monthly;
};

// The automatic choice on every series of the test data: the chosen model
// meets the three default criteria and has the smallest error of those
// that do, with the criteria recomputed here from independent fits.
TEST(ArimaDriver, AutomaticChoiceMeetsTheCriteriaWithTheSmallestError) {
  std::vector<Case> cases = {
      {"airline", testing::load_series("airline.csv"), true},
      {"lungdeaths female", csv_column("lungdeaths_by_sex.csv", "deaths", "sex", "female"), true},
      {"lungdeaths male", csv_column("lungdeaths_by_sex.csv", "deaths", "sex", "male"), true},
      {"nottingham", csv_column("nottingham.csv", "temp"), true},
      {"usaccdeaths", csv_column("usaccdeaths.csv", "deaths"), true},
      {"jj", csv_column("jj.csv", "earnings"), false},
      {"ukgas", csv_column("ukgas.csv", "gas"), false},
  };
  for (const char* col : {"drivers", "front", "rear", "kms", "petrol"})
    cases.push_back({std::string("seatbelts ") + col, csv_column("seatbelts.csv", col), true});
  int chosen = 0;
  for (Case& c : cases) {
    SCOPED_TRACE(c.label);
    Extension ext(c.series, c.monthly, 1, 1);
    const int rc = x11auto(ext.com(), ext.data().data());
    const X11ARIMAOPTS& a = ext.opts();
    int expected = -1;
    for (int i = 0; i < 5; ++i) {
      const Recomputed r = recompute(c.series, i, c.monthly, false);
      ASSERT_EQ(a.est_succeed[i], r.estimated ? 1 : 0) << "model " << i + 1;
      if (!r.estimated) continue;
      EXPECT_NEAR(a.chi_prob[i], r.chi_prob, 1e-9) << "model " << i + 1;
      EXPECT_NEAR(a.ma_sum[i], r.ma_sum, 1e-12) << "model " << i + 1;
      EXPECT_NEAR(a.mape[i][3], r.mape, 1e-9 * r.mape) << "model " << i + 1;
      const bool accepted = r.chi_prob >= 0.05 && r.ma_sum <= 0.9 && r.mape <= 15.0;
      if (accepted && (expected < 0 || r.mape < a.mape[expected][3])) expected = i;
    }
    if (expected < 0) {
      EXPECT_EQ(rc, 2);
      continue;
    }
    ++chosen;
    EXPECT_EQ(rc, 0) << ext.log();
    EXPECT_EQ(a.best, expected);
    EXPECT_EQ(ext.com()->x11acom.passed_ptr, ext.com()->x11acom.pm[expected]);
    // The series is extended both ways.
    const X11FLOW& f = ext.flow();
    EXPECT_FALSE(is_missing(ext.b1()[static_cast<std::size_t>(f.fake_begin)]));
    EXPECT_FALSE(is_missing(ext.b1()[static_cast<std::size_t>(f.fake_end - 1)]));
  }
  // Most of these series have an acceptable model; the test is not vacuous.
  EXPECT_GE(chosen, 8);
}

// Zeros defeat the log transform of models 1 to 4 (message 47); model 5 is
// never transformed and is still tried.
TEST(ArimaDriver, LogModelsOfASeriesWithZerosFailToTransform) {
  Extension ext(csv_column("seatbelts.csv", "law"), true, 0, 1);
  x11auto(ext.com(), ext.data().data());
  const X11ARIMAOPTS& a = ext.opts();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a.est_succeed[i], 0) << i;
  EXPECT_TRUE(ext.logged(47));
  for (int m = 569; m <= 572; ++m) EXPECT_TRUE(ext.logged(m)) << m;
  EXPECT_FALSE(ext.logged(573));
}

// A trend with an exact seasonal pattern: every difference of the five
// models is zero, so none can be estimated (zero variance) and the
// extension fails with message 541, leaving B1 without forecasts.
TEST(ArimaDriver, NoCandidateEstimatedGivesMessage541) {
  std::vector<double> y;
  const double season[12] = {-3, -2, 1, 0, 2, 4, 6, 5, 1, -2, -4, -8};
  for (int t = 0; t < 96; ++t) y.push_back(50.0 + 0.5 * t + season[t % 12]);
  Extension ext(y, true, 0, 1, true);
  EXPECT_EQ(x11auto(ext.com(), ext.data().data()), 1);
  const X11ARIMAOPTS& a = ext.opts();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(a.est_succeed[i], 0) << i;
  EXPECT_TRUE(ext.logged(50));  // zero variance: code 5 + 45
  for (int m = 574; m <= 578; ++m) EXPECT_TRUE(ext.logged(m)) << m;  // additive descriptions
  const X11FLOW& f = ext.flow();
  for (long h = 0; h < 12; ++h) EXPECT_TRUE(is_missing(ext.b1()[static_cast<std::size_t>(f.real_end + h)]));
  EXPECT_EQ(ext.b1()[static_cast<std::size_t>(f.real_begin + 5)], y[5]);

  Extension again(y, true, 0, 1, true);
  EXPECT_EQ(x11a15(again.com(), again.data().data()), 1);
  EXPECT_TRUE(again.logged(541));
  EXPECT_FALSE(again.logged(540));
}

// Acceptance at the bounds, a missing test probability, and ties.
TEST(ArimaDriver, ChoiceRules) {
  Extension ext(std::vector<double>(60, 1.0), true, 0, 1);
  X11COM* Xp = ext.com();
  init_structs(Xp);
  X11ARIMAOPTS& a = ext.opts();
  const auto set = [&](int i, int ok, double prob, double ma, double mape) {
    a.est_succeed[i] = ok;
    a.chi_prob[i] = prob;
    a.ma_sum[i] = ma;
    a.mape[i][3] = mape;
  };
  set(0, 1, 0.05, 0.9, 15.0);      // every criterion at its bound: accepted
  set(1, 1, kMissing, 0.1, 1.0);   // no test probability: rejected
  set(2, 0, 0.5, 0.1, 0.5);        // not estimated: rejected
  set(3, 1, 0.5, 0.1, 4.0);        // accepted
  set(4, 1, 0.5, 0.1, 4.0);        // ties with model 4: the earlier stays
  EXPECT_EQ(x11ctst(Xp), Xp->x11acom.pm[3]);
  EXPECT_EQ(a.best, 3);
  EXPECT_EQ(a.passed[0], 0);
  EXPECT_EQ(a.passed[1], 3);
  EXPECT_EQ(a.passed[2], 4);
  EXPECT_EQ(a.passed[3], -1);

  set(0, 1, 0.049, 0.9, 15.0);
  set(3, 1, 0.5, 0.91, 4.0);
  set(4, 1, 0.5, 0.1, 15.01);
  EXPECT_EQ(x11ctst(Xp), nullptr);
}

TEST(ArimaDriver, ErrorMeasuresByYear) {
  Extension ext(std::vector<double>(60, 1.0), true, 0, 1);
  std::vector<double> y(36), e(36);
  for (int t = 0; t < 36; ++t) {
    y[static_cast<std::size_t>(t)] = 100.0 + t;
    e[static_cast<std::size_t>(t)] = (t % 2 == 0 ? 1.0 : -2.0) * (1 + t / 12);
  }
  x11mape(ext.com(), y.data(), e.data(), 36, 2);
  const double* mape = ext.opts().mape[2];
  double all = 0;
  for (int b = 0; b < 3; ++b) {
    double s = 0;
    for (int t = 12 * b; t < 12 * b + 12; ++t) s += std::fabs(e[static_cast<std::size_t>(t)]) / (100.0 + t + 1e-8);
    EXPECT_NEAR(mape[b], 100.0 * s / 12.0, 1e-12) << b;
    all += s;
  }
  EXPECT_NEAR(mape[3], 100.0 * all / 36.0, 1e-12);
}

TEST(ArimaDriver, OverDifferencingMeasure) {
  TSMODEL m;
  X11ARIMA rec;
  rec.model = &m;
  EXPECT_DOUBLE_EQ(over_dif(&rec), 0.0);  // no MA factor
  m.mafac.push_back(FILTER{2, {1, 2}, {0.5, 0.3}});
  EXPECT_DOUBLE_EQ(over_dif(&rec), 0.8);
  m.mafac.push_back(FILTER{1, {12}, {0.95}});
  EXPECT_DOUBLE_EQ(over_dif(&rec), 0.95);
  m.mafac[1].vptr[0] = -0.4;
  EXPECT_DOUBLE_EQ(over_dif(&rec), 0.8);
}

}  // namespace
}  // namespace x11sa
