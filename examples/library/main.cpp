// Seasonally adjusts a monthly series held in memory and prints the adjusted
// series (D11) of its first and last year.
//   adjust_csv FILE.csv
// FILE.csv has a header line and rows "YYYY-MM-DD,value", one per month in
// order (examples/data/airline.csv, for one); an empty value is missing.
#include <charconv>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <x11sa/adjust.h>
#include <x11sa/missing.h>

namespace {

struct MonthlySeries {
  int start_year = 0;
  int start_month = 0;
  std::vector<double> values;
};

bool read_series(const char* path, MonthlySeries& series) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return false;  // the header
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos || comma < 7) return false;
    if (series.values.empty()) {
      series.start_year = std::stoi(line.substr(0, 4));
      series.start_month = std::stoi(line.substr(5, 2));
    }
    const std::string field = line.substr(comma + 1);
    double value = x11sa::kMissing;
    if (!field.empty() && std::from_chars(field.data(), field.data() + field.size(), value).ec != std::errc{})
      return false;
    series.values.push_back(value);
  }
  return !series.values.empty();
}

// "1949-01": the month `offset` months after the start of the series.
std::string month_name(const MonthlySeries& series, std::size_t offset) {
  const int months = series.start_month - 1 + static_cast<int>(offset);
  const int month = months % 12 + 1;
  return std::to_string(series.start_year + months / 12) + (month < 10 ? "-0" : "-") + std::to_string(month);
}

// The shortest text that reads back as the same double.
std::string number(double x) {
  if (x11sa::is_missing(x)) return ".";
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, r.ptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: adjust_csv FILE.csv\n";
    return 2;
  }
  MonthlySeries series;
  if (!read_series(argv[1], series)) {
    std::cerr << "adjust_csv: cannot read a monthly series from " << argv[1] << "\n";
    return 2;
  }

  x11sa::SeriesOptions options;  // multiplicative monthly adjustment, the defaults of PROC X11
  options.start_year = series.start_year;
  options.start_period = series.start_month;
  const x11sa::AdjustedSeries result = x11sa::adjust_series(series.values, options);
  std::cout << "# " << series.values.size() << " months from " << month_name(series, 0) << ": exit level " << result.exit_level << ", Henderson " << result.henderson << "\n";
  if (result.exit_level > 4) {
    std::cerr << result.log;
    return 1;
  }

  const auto d11 = result.table("D11");
  for (std::size_t i = 0; i < d11.size(); ++i) {
    if (i >= 12 && i + 12 < d11.size()) continue;
    std::cout << month_name(series, i) << " " << number(d11[i]) << "\n";
  }
  return 0;
}
