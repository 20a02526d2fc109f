// What the adjustment benchmarks share: their series and their main.
#pragma once

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <cstddef>
#include <vector>

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
