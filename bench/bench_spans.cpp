// The sliding-spans analysis of one monthly series of 20 years (240 values),
// in process, against the plain flow on the same series: four reruns of
// tables A to D and the statistics should take at most five times the flow.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "run/sliding_spans.h"

#include "bench_support.h"

namespace {

// Printing on without any output sink, so that the statistics run and the
// reports are skipped; the flow's D8 tests run too, as the spans' do.
void prepare_spans(x11sa_bench::PreparedVariable& p) {
  p.options.prints_anything = true;
  p.options.outstb = x11sa::OutputDataSetRef{};
  if (!p.options.method.spans) p.options.method.spans.emplace();
}

void BM_PlainFlow(benchmark::State& state, x11sa::TradingDayRegression td) {
  x11sa_bench::PreparedVariable p(td);
  prepare_spans(p);
  x11sa::NoChainOutput nothing;
  for (auto _ : state) {
    x11sa::VariableChain chain = p.chain(nothing);
    x11sa::run_flow(chain, x11sa::Flow::Plain);
    benchmark::DoNotOptimize(p.work.tables[x11sa::Table::D11][100]);
  }
}

void BM_SlidingSpans(benchmark::State& state, x11sa::TradingDayRegression td) {
  x11sa_bench::PreparedVariable p(td);
  prepare_spans(p);
  x11sa::NoChainOutput nothing;
  x11sa::VariableChain chain = p.chain(nothing);
  x11sa::run_flow(chain, x11sa::Flow::Plain);
  int spans = 0;
  for (auto _ : state) {
    spans = x11sa::run_sliding_spans(*p.target, chain, "series", 1).spans;
    benchmark::DoNotOptimize(spans);
  }
  state.counters["spans"] = spans;
}

}  // namespace

BENCHMARK_CAPTURE(BM_PlainFlow, no_trading_day, x11sa::TradingDayRegression::None)
    ->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_SlidingSpans, no_trading_day, x11sa::TradingDayRegression::None)
    ->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_PlainFlow, trading_day, x11sa::TradingDayRegression::Adjust)
    ->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_SlidingSpans, trading_day, x11sa::TradingDayRegression::Adjust)
    ->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char** argv) { return x11sa_bench::run(argc, argv); }
