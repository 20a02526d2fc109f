// The plain flow on one monthly series of 20 years (240 values), in process:
// the flow alone on a prepared variable, and the whole library call.
#include <benchmark/benchmark.h>

#include "bench_support.h"

namespace {

void flow(benchmark::State& state, x11sa::TradingDayRegression td, bool diagnostics = false) {
  x11sa_bench::PreparedVariable p(td);
  // OUTSTB= requested without a data set to write to: the D8 tests run
  // silently, as they do for OUTSTB= with printing off.
  if (diagnostics) p.options.outstb = x11sa::OutputDataSetRef{};
  x11sa::NoChainOutput nothing;
  for (auto _ : state) {
    x11sa::VariableChain chain = p.chain(nothing);
    x11sa::run_flow(chain, x11sa::Flow::Plain);
    benchmark::DoNotOptimize(p.work.tables[x11sa::Table::D11][100]);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_PlainFlow(benchmark::State& state) { flow(state, x11sa::TradingDayRegression::None); }
void BM_PlainFlowTradingDay(benchmark::State& state) { flow(state, x11sa::TradingDayRegression::Adjust); }
void BM_PlainFlowSeasonalityTests(benchmark::State& state) { flow(state, x11sa::TradingDayRegression::None, true); }

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
