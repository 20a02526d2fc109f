// The sliding-spans analysis of one monthly series of 20 years (240 values),
// in process, against the plain flow on the same series: four reruns of
// tables A to D and the statistics should take at most five times the flow.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "host/host.h"
#include "run/adjust_internal.h"
#include "run/flows.h"
#include "run/legacy_core.h"
#include "run/legacy_spans.h"
#include "run/workspace.h"
#include "x11sa/adjust.h"

#include "bench_support.h"

namespace {

// A prepared workspace holding the series, as the variable loop leaves it
// before the flow; printing on without any output sink, so that the
// statistics run and the reports are skipped.
struct Prepared {
  std::string log;
  x11sa::Host host{x11sa::TextOut(&log), x11sa::TextOut(), x11sa::TextOut(), x11sa::HostSettings{}};
  x11sa::X11COM com;

  explicit Prepared(x11sa::TradingDayRegression td) {
    x11sa::X11COM* Xp = &com;
    Xp->host = &host;
    x11sa::SeriesOptions o;
    o.start_year = 1990;
    o.method.tdregr = td;
    const auto values = x11sa_bench::series(240);
    x11sa::prepare_series(Xp, values, o);
    Xp->XtrmFcntPtr = &x11sa::x11xtro;
    x11sa::alloc_memory(Xp);
    x11sa::sp_alloc_memory(Xp);
    x11sa::init_memory(Xp);
    if (td != x11sa::TradingDayRegression::None) x11sa::x11tdt(Xp, Xp->work.mon_type, Xp->fake_array_size + 12);
    x11sa::set_values(Xp, &Xp->vars[0]);
    x11sa::read_var(Xp, 0);
    std::copy(Xp->work.original_in, Xp->work.original_in + Xp->fake_array_size, Xp->x11ssp.sp_orig);
    std::fill(std::begin(Xp->table_cnt), std::end(Xp->table_cnt), 0);
    Xp->op.noprint_f = 0;
    Xp->printout = 0;
    Xp->charts = 0;
    Xp->op.outstb_f = 1;  // the flow's D8 tests run too, as the spans' do
  }
};

void BM_PlainFlow(benchmark::State& state, x11sa::TradingDayRegression td) {
  Prepared p(td);
  for (auto _ : state) {
    x11sa::x11flw1(&p.com);
    benchmark::DoNotOptimize(p.com.work.d11[100]);
  }
}

void BM_SlidingSpans(benchmark::State& state, x11sa::TradingDayRegression td) {
  Prepared p(td);
  x11sa::x11flw1(&p.com);
  int spans = 0;
  for (auto _ : state) {
    spans = x11sa::run_sliding_spans(&p.com, &p.com.x11flow);
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
