// The plain flow on one monthly series of 20 years (240 values), in process:
// the drivers alone on a prepared workspace, and the whole library call.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/host.h"
#include "run/adjust_internal.h"
#include "run/flows.h"
#include "run/workspace.h"
#include "core/extremes.h"
#include "core/tradingday.h"
#include "x11sa/adjust.h"

namespace {

std::vector<double> series(int n) {
  const double season[12] = {0.90, 0.92, 1.05, 1.00, 0.98, 1.07, 1.18, 1.17, 1.06, 0.92, 0.82, 0.93};
  std::vector<double> v(static_cast<std::size_t>(n));
  for (int t = 0; t < n; ++t)
    v[static_cast<std::size_t>(t)] =
        (300.0 + 1.5 * t + 20.0 * std::sin(t / 17.0)) * season[t % 12] * (1.0 + 0.02 * std::sin(1.7 * t * t));
  return v;
}

void flow_drivers(benchmark::State& state, x11sa::TradingDay td, bool diagnostics = false) {
  std::string log;
  x11sa::Host host(x11sa::TextOut(&log), x11sa::TextOut(), x11sa::TextOut(), x11sa::HostSettings{});
  x11sa::X11COM com;
  com.host = &host;
  x11sa::SeriesOptions o;
  o.start_year = 1990;
  o.tdregr = td;
  const auto values = series(240);
  x11sa::prepare_series(&com, values, o);
  com.XtrmFcntPtr = &x11sa::x11xtro;
  x11sa::alloc_memory(&com);
  x11sa::init_memory(&com);
  if (td != x11sa::TradingDay::None) x11sa::x11tdt(&com, com.work.mon_type, com.fake_array_size + 12);
  x11sa::set_values(&com, &com.vars[0]);
  x11sa::read_var(&com, 0);
  // Nothing is written: the flow's own work only.
  std::fill(std::begin(com.table_cnt), std::end(com.table_cnt), 0);
  // OUTSTB= requested without a data set to write to: the D8 tests run
  // silently, as they do for OUTSTB= with printing off.
  if (diagnostics) com.op.outstb_f = 1;
  for (auto _ : state) {
    x11sa::x11flw1(&com);
    benchmark::DoNotOptimize(com.work.d11[100]);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_PlainFlow(benchmark::State& state) { flow_drivers(state, x11sa::TradingDay::None); }
void BM_PlainFlowTradingDay(benchmark::State& state) { flow_drivers(state, x11sa::TradingDay::Adjust); }
void BM_PlainFlowSeasonalityTests(benchmark::State& state) { flow_drivers(state, x11sa::TradingDay::None, true); }

void BM_AdjustSeries(benchmark::State& state) {
  x11sa::SeriesOptions o;
  o.start_year = 1990;
  const auto values = series(240);
  for (auto _ : state) {
    auto r = x11sa::adjust_series(values, o);
    benchmark::DoNotOptimize(r.values.size());
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_PlainFlow)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PlainFlowSeasonalityTests)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PlainFlowTradingDay)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_AdjustSeries)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
// As the command does: freed memory stays in the heap, so that a loop of
// library calls measures the adjustment rather than the system's trimming.
int main(int argc, char** argv) {
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
