// The library's cost per series, for comparison with the Python package's:
// adjusts every series of a panel written by gen_series.py (series, date,
// value; consecutive months from January 2000) with adjust_series on one
// thread, returning D10 to D13 and the diagnostics as x11sa.adjust_frame
// asks for them by default, and prints the seconds per series.
//   usage: adjust_panel PANEL.csv
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "x11sa/adjust.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: adjust_panel PANEL.csv\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  std::string line, current;
  std::vector<std::vector<double>> panel;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    const std::size_t a = line.find(','), b = line.rfind(',');
    if (a == std::string::npos || b == a) continue;
    const std::string id = line.substr(0, a);
    if (panel.empty() || id != current) {
      panel.emplace_back();
      current = id;
    }
    panel.back().push_back(std::stod(line.substr(b + 1)));
  }
  if (panel.empty()) {
    std::fprintf(stderr, "adjust_panel: no series in %s\n", argv[1]);
    return 1;
  }
  x11sa::SeriesOptions options;
  options.start_year = 2000;
  options.tables = {x11sa::Table::D10, x11sa::Table::D11, x11sa::Table::D12, x11sa::Table::D13};
  double checksum = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (const std::vector<double>& values : panel) {
    const x11sa::AdjustedSeries r = x11sa::adjust_series(values, options);
    if (r.exit_level > 4) {
      std::fprintf(stderr, "adjust_panel: a series was not adjusted\n%s", r.log.c_str());
      return 1;
    }
    checksum += r.table("D11").back();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("%zu series, %.6f s, %.3f ms per series (checksum %.6g)\n", panel.size(), seconds,
              1000.0 * seconds / static_cast<double>(panel.size()), checksum);
  return 0;
}
