// The plain flow on one monthly series of 20 years (240 values), in process:
// the drivers alone on a prepared workspace, and the whole library call.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/host.h"
#include "run/adjust_internal.h"
#include "run/flows.h"
#include "run/legacy_core.h"
#include "run/workspace.h"
#include "x11sa/adjust.h"

#include "bench_support.h"

namespace {

void flow_drivers(benchmark::State& state, x11sa::TradingDayRegression td, bool diagnostics = false) {
  std::string log;
  x11sa::Host host(x11sa::TextOut(&log), x11sa::TextOut(), x11sa::TextOut(), x11sa::HostSettings{});
  x11sa::X11COM com;
  com.host = &host;
  x11sa::SeriesOptions o;
  o.start_year = 1990;
  o.method.tdregr = td;
  const auto values = x11sa_bench::series(240);
  x11sa::prepare_series(&com, values, o);
  com.XtrmFcntPtr = &x11sa::x11xtro;
  x11sa::alloc_memory(&com);
  x11sa::init_memory(&com);
  if (td != x11sa::TradingDayRegression::None) x11sa::x11tdt(&com, com.work.mon_type, com.fake_array_size + 12);
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

void BM_PlainFlow(benchmark::State& state) { flow_drivers(state, x11sa::TradingDayRegression::None); }
void BM_PlainFlowTradingDay(benchmark::State& state) { flow_drivers(state, x11sa::TradingDayRegression::Adjust); }
void BM_PlainFlowSeasonalityTests(benchmark::State& state) { flow_drivers(state, x11sa::TradingDayRegression::None, true); }

void BM_AdjustSeries(benchmark::State& state) {
  x11sa::SeriesOptions o;
  o.start_year = 1990;
  const auto values = x11sa_bench::series(240);
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

int main(int argc, char** argv) { return x11sa_bench::run(argc, argv); }
