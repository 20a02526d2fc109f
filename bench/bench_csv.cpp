// Reading CSV data sets: open (one scan of the file) and a full BY-group read
// with every value parsed, as the procedure reads its input.
//
// The data file is $X11SA_BENCH_CSV when set; otherwise bench_series.csv in
// the build folder, generated on first use by gen_series.py (10,000 monthly
// series of 20 years, 2.4 million rows).
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "host/dataset.h"
#include "x11sa/missing.h"

namespace {

namespace fs = std::filesystem;

std::string data_file(std::string& error) {
  if (const char* env = std::getenv("X11SA_BENCH_CSV"); env != nullptr && *env != '\0') return env;
  const std::string path = X11SA_BENCH_DIR "/bench_series.csv";
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    const std::string command = "python3 '" X11SA_BENCH_GENERATOR "' '" + path + "'";
    if (std::system(command.c_str()) != 0) {
      error = "could not generate " + path;
      return {};
    }
  }
  return path;
}

void BM_OpenCsv(benchmark::State& state) {
  std::string error;
  const std::string path = data_file(error);
  if (path.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : state) {
    auto opened = x11sa::InputDataSet::open(path, "WORK.BENCH");
    if (!opened) {
      state.SkipWithError(opened.error().c_str());
      return;
    }
    const auto ds = std::move(opened).value();
    benchmark::DoNotOptimize(ds->nobs());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(fs::file_size(path)));
}

void BM_ReadCsvByGroups(benchmark::State& state) {
  std::string error;
  const std::string path = data_file(error);
  if (path.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  long rows = 0;
  long groups = 0;
  for (auto _ : state) {
    auto opened = x11sa::InputDataSet::open(path, "WORK.BENCH");
    if (!opened) {
      state.SkipWithError(opened.error().c_str());
      return;
    }
    const auto ds = std::move(opened).value();
    const int series = ds->find_var("series");
    const int date = ds->find_var("date");
    const int value = ds->find_var("value");
    ds->set_by({series}, {false}, false);
    rows = 0;
    groups = 0;
    double sum = 0.0;
    while (ds->next_group()) {
      ++groups;
      while (ds->next_row()) {
        const double d = ds->num(date);
        const double v = ds->num(value);
        if (!x11sa::is_missing(d) && !x11sa::is_missing(v)) sum += v;
        ++rows;
      }
    }
    if (ds->sort_error()) {
      state.SkipWithError(ds->sort_error()->c_str());
      return;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(fs::file_size(path)));
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["groups"] = static_cast<double>(groups);
}

BENCHMARK(BM_OpenCsv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadCsvByGroups)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
