// Printing: the plain flow of a 20-year monthly series with the STANDARD
// listing (tables, tests, summary measures, charts G1 and G2) against the
// same flow without printing, and the HTML report of 100 series.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "host/host.h"
#include "render/html.h"
#include "render/listing_sink.h"
#include "run/adjust_internal.h"
#include "run/flows.h"
#include "run/legacy_core.h"
#include "run/legacy_report.h"
#include "run/workspace.h"

#include "bench_support.h"

namespace {

// A prepared variable: workspace, index model and series loaded.
struct Prepared {
  std::string log, listing;
  x11sa::Host host;
  x11sa::X11ListingSink sink;
  x11sa::X11COM com;
  explicit Prepared(bool print, bool to_listing = true)
      : host(x11sa::TextOut(&log), x11sa::TextOut(&listing), x11sa::TextOut(), x11sa::HostSettings{}),
        sink(host.listing()) {
    com.host = &host;
    x11sa::SeriesOptions o;
    o.start_year = 1990;
    const auto values = x11sa_bench::series(240);
    x11sa::prepare_series(&com, values, o);
    com.XtrmFcntPtr = &x11sa::x11xtro;
    // The series options ask for no printing; the printed run asks for the
    // STANDARD listing with its charts, as a program without NOPRINT does.
    com.op.noprint2_f = print ? 0 : 1;
    com.op.noprint_f = print ? 0 : 1;
    com.printout = print ? 1 : 0;
    com.charts = print ? 1 : 0;
    if (print && to_listing) host.ods().add_sink(&sink);
    x11sa::alloc_memory(&com);
    x11sa::init_memory(&com);
    x11sa::set_values(&com, &com.vars[0]);
    x11sa::read_var(&com, 0);
    std::fill(std::begin(com.table_cnt), std::end(com.table_cnt), 0);
  }
};

void BM_FlowWithoutPrinting(benchmark::State& state) {
  Prepared p(false);
  for (auto _ : state) x11sa::x11flw1(&p.com);
}

void BM_FlowWithStandardListing(benchmark::State& state) {
  Prepared p(true);
  for (auto _ : state) {
    p.listing.clear();
    x11sa::x11prn0(&p.com, &p.com.vars[0]);
    x11sa::x11flw1(&p.com);
    benchmark::DoNotOptimize(p.listing.size());
  }
  state.counters["listing_bytes"] = static_cast<double>(p.listing.size());
}

// The HTML report of 100 such series, written out: the whole cost of the
// report beyond the adjustments.
void BM_HtmlReportOf100Series(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    Prepared p(true, false);
    x11sa::HtmlSink html;
    p.host.ods().add_sink(&html);
    html.begin_step("X11", 1);
    for (int k = 0; k < 100; ++k) {
      x11sa::x11prn0(&p.com, &p.com.vars[0]);
      x11sa::x11flw1(&p.com);
    }
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
