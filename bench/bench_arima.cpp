// The ARIMA engine on the airline model (0,1,1)(0,1,1)12 of the 144 log
// values of the classic airline series: estimation by conditional least
// squares and by maximum likelihood (set-up, starting values, iterations,
// statistics and residual checks, as the driver runs them), and 24 forecasts
// with their standard errors from an estimated model. The automatic choice
// among the five candidate models on a 20-year monthly series, with one year
// of forecasts and one of backcasts.
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "arima/extension.h"
#include "arima/model_fit.h"

namespace {

// The monthly airline passenger totals 1949-1960.
const std::vector<double>& airline() {
  static const std::vector<double> values = {
      112, 118, 132, 129, 121, 135, 148, 148, 136, 119, 104, 118, 115, 126, 141, 135, 125, 149, 170, 170,
      158, 133, 114, 140, 145, 150, 178, 163, 172, 178, 199, 199, 184, 162, 146, 166, 171, 180, 193, 181,
      183, 218, 230, 242, 209, 191, 172, 194, 196, 196, 236, 235, 229, 243, 264, 272, 237, 211, 180, 201,
      204, 188, 235, 227, 234, 264, 302, 293, 259, 229, 203, 229, 242, 233, 267, 269, 270, 315, 364, 347,
      312, 274, 237, 278, 284, 277, 317, 313, 318, 374, 413, 405, 355, 306, 271, 306, 315, 301, 356, 348,
      355, 422, 465, 467, 404, 347, 305, 336, 340, 318, 362, 348, 363, 435, 491, 505, 404, 359, 310, 337,
      360, 342, 406, 396, 420, 472, 548, 559, 463, 407, 362, 405, 417, 391, 419, 461, 472, 535, 622, 606,
      508, 461, 390, 432};
  return values;
}

void setup(x11sa::ModelFit* rec, std::vector<double>& y, char method) {
  *rec = x11sa::ModelFit{};
  rec->q = 1;
  rec->sq = 1;
  rec->dif = 1;
  rec->sdif = 1;
  rec->period = 12;
  rec->x = y.data();
  rec->n = static_cast<long>(y.size());
  rec->transform_kind = x11sa::kTrLog;
  rec->no_constant = 1;
  rec->estimation_method = method;
  rec->nlags = 36;
  rec->lead = 24;
}

void estimate(benchmark::State& state, char method) {
  std::vector<double> y = airline();
  x11sa::ModelFit rec;
  setup(&rec, y, method);
  for (auto _ : state) {
    rec.converge = 0.001;
    const int rc = x11sa::estimate_model(rec);
    if (rc != 0) state.SkipWithError("estimation failed");
    benchmark::DoNotOptimize(rec.model->params.estimates.data());
  }
  state.counters["iterations"] = rec.model->optimizer.iterations;
}

void BM_AirlineCls(benchmark::State& state) { estimate(state, x11sa::kTsCls); }
void BM_AirlineMl(benchmark::State& state) { estimate(state, x11sa::kTsMl); }

void BM_AirlineForecast(benchmark::State& state) {
  std::vector<double> y = airline();
  x11sa::ModelFit rec;
  setup(&rec, y, static_cast<char>(state.range(0)));
  if (x11sa::estimate_model(rec) != 0) {
    state.SkipWithError("estimation failed");
    return;
  }
  for (auto _ : state) {
    const int rc = x11sa::forecast_model(rec);
    if (rc != 0) state.SkipWithError("forecast failed");
    benchmark::DoNotOptimize(rec.forecasts);
  }
}

// A multiplicative monthly series of 20 years: trend, a seasonal pattern
// and irregular noise of about 2 percent.
std::vector<double> twenty_years() {
  static constexpr double kSeason[12] = {0.9, 0.92, 1.05, 1.0, 0.98, 1.07, 1.18, 1.17, 1.06, 0.92, 0.82, 0.93};
  std::mt19937 gen(20240601);
  std::normal_distribution<double> noise(0.0, 0.02);
  std::vector<double> y(240);
  for (int t = 0; t < 240; ++t) y[static_cast<std::size_t>(t)] = (200.0 + 1.5 * t) * kSeason[t % 12] * (1.0 + noise(gen));
  return y;
}

void BM_AutomaticChoice(benchmark::State& state) {
  const std::vector<double> y = twenty_years();
  x11sa::ArimaOptions options;
  options.backcast_years = 1;
  options.forecast_years = 1;
  int chosen = 0;
  for (auto _ : state) {
    const x11sa::ArimaOutcome out =
        x11sa::extend_by_arima(y, x11sa::Frequency::Monthly, x11sa::Mode::Multiplicative, options);
    if (!out.extended()) state.SkipWithError("no model chosen");
    chosen = out.chosen.value_or(-1);
    benchmark::DoNotOptimize(out.forecasts.data());
  }
  state.counters["model"] = chosen + 1;
}

}  // namespace

BENCHMARK(BM_AutomaticChoice)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AirlineCls)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AirlineMl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AirlineForecast)->Arg(x11sa::kTsCls)->Arg(x11sa::kTsMl)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
