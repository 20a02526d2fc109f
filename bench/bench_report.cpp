// Printing: the plain flow of a 20-year monthly series with the STANDARD
// listing (tables, tests, summary measures, charts G1 and G2) against the
// same flow without printing, and the HTML report of 100 series.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "render/html.h"
#include "render/listing_sink.h"
#include "report/preface.h"
#include "run/flow_output.h"

#include "bench_support.h"

namespace {

// The preface and the flow of the prepared variable, printed.
void print_variable(x11sa_bench::PreparedVariable& p) {
  const x11sa::SeriesLayout& l = p.layout;
  x11sa::print_preface(p.host.ods(), p.host.listing().linesize(), "series", "",
                       x11sa::SeriesCalendar{l.frequency, l.first_year, l.first_period, l.observations},
                       p.options.method, p.options.print);
  x11sa::FlowOutput out(*p.target, 0, "series", l, false);
  x11sa::VariableChain chain = p.chain(out);
  x11sa::run_flow(chain, x11sa::Flow::Plain);
}

void BM_FlowWithoutPrinting(benchmark::State& state) {
  x11sa_bench::PreparedVariable p(x11sa::TradingDayRegression::None);
  x11sa::NoChainOutput nothing;
  for (auto _ : state) {
    x11sa::VariableChain chain = p.chain(nothing);
    x11sa::run_flow(chain, x11sa::Flow::Plain);
  }
}

void BM_FlowWithStandardListing(benchmark::State& state) {
  x11sa_bench::PreparedVariable p(x11sa::TradingDayRegression::None);
  p.print_standard_listing();
  x11sa::X11ListingSink sink(p.host.listing());
  p.host.ods().add_sink(&sink);
  for (auto _ : state) {
    p.listing.clear();
    print_variable(p);
    benchmark::DoNotOptimize(p.listing.size());
  }
  state.counters["listing_bytes"] = static_cast<double>(p.listing.size());
}

// The HTML report of 100 such series, written out: the whole cost of the
// report beyond the adjustments.
void BM_HtmlReportOf100Series(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    x11sa_bench::PreparedVariable p(x11sa::TradingDayRegression::None);
    p.print_standard_listing();
    x11sa::HtmlSink html;
    p.host.ods().add_sink(&html);
    html.begin_step("X11", 1);
    for (int k = 0; k < 100; ++k) print_variable(p);
    html.end_step(0);
    std::FILE* out = std::tmpfile();
    if (out == nullptr || !html.write(out)) state.SkipWithError("the report could not be written");
    if (out != nullptr) {
      bytes = static_cast<std::size_t>(std::ftell(out));
      std::fclose(out);
    }
  }
  state.counters["report_bytes"] = static_cast<double>(bytes);
}

}  // namespace

BENCHMARK(BM_FlowWithoutPrinting)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_FlowWithStandardListing)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_HtmlReportOf100Series)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

int main(int argc, char** argv) { return x11sa_bench::run(argc, argv); }
