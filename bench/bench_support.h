// What the adjustment benchmarks share: their series and their main.
#pragma once

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/host.h"
#include "pipeline/flows.h"
#include "run/series_step.h"
#include "run/variable_loop.h"
#include "x11sa/adjust.h"

namespace x11sa_bench {

// A monthly series: a trend with a slow cycle, a fixed seasonal pattern and
// a small irregular.
inline std::vector<double> series(int n) {
  const double season[12] = {0.90, 0.92, 1.05, 1.00, 0.98, 1.07, 1.18, 1.17, 1.06, 0.92, 0.82, 0.93};
  std::vector<double> v(static_cast<std::size_t>(n));
  for (int t = 0; t < n; ++t)
    v[static_cast<std::size_t>(t)] =
        (300.0 + 1.5 * t + 20.0 * std::sin(t / 17.0)) * season[t % 12] * (1.0 + 0.02 * std::sin(1.7 * t * t));
  return v;
}

// A 20-year monthly series (240 values) set up for its flow as the variable
// loop sets it up: the step's options, the group's series, the variable's
// layout and tables. Nothing is written to OUT=.
struct PreparedVariable {
  std::string log, listing;
  x11sa::Host host{x11sa::TextOut(&log), x11sa::TextOut(&listing), x11sa::TextOut(), x11sa::HostSettings{}};
  x11sa::StepOptions options;
  x11sa::GroupData group;
  x11sa::SeriesLayout layout;
  x11sa::ChainWorkspace work;
  std::unique_ptr<x11sa::OutputDataSets> no_datasets;
  std::unique_ptr<x11sa::GroupTarget> target;

  explicit PreparedVariable(x11sa::TradingDayRegression td) {
    x11sa::SeriesOptions o;
    o.start_year = 1990;
    o.method.tdregr = td;
    const std::vector<double> values = series(240);
    options = x11sa::series_step(values.size(), o, host).options;
    for (auto& names : options.out_names) names.clear();
    group = x11sa::read_series(options, "series", values, {}, host);
    no_datasets = std::make_unique<x11sa::OutputDataSets>(options, std::span<const x11sa::VarInfo>(), host);
    target = std::make_unique<x11sa::GroupTarget>(x11sa::GroupTarget{options, host, *no_datasets, {}, nullptr});
    x11sa::set_group_series(options, group, work.group);
    layout = x11sa::layout_of(options, group, group.variables[0]);
    work.tables.reset(layout.length);
    group.values.read_series(0, work.tables[x11sa::Table::A1].subspan(static_cast<std::size_t>(layout.backcasts),
                                                                       static_cast<std::size_t>(group.calendar.rows)));
  }
  // The STANDARD listing with its charts, as a program without NOPRINT asks.
  void print_standard_listing() {
    options.prints_anything = true;
    options.print.noprint = false;
    options.print.printout = x11sa::PrintLevel::Standard;
    options.print.charts = x11sa::ChartLevel::Standard;
  }
  [[nodiscard]] x11sa::VariableChain chain(x11sa::ChainOutput& out) {
    return {options, options.method, layout, work.tables, work.group, out, host, work.last_trend};
  }
};

// Runs the registered benchmarks as the command runs: freed memory stays in
// the heap, so that a loop measures the work rather than the system's trimming.
inline int run(int argc, char** argv) {
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace x11sa_bench
