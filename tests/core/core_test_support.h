// What the core tests share: a run state of a given length, and the
// reference tables with a check of a routine's result against a column.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "run/x11com.h"
#include "x11sa/missing.h"

namespace x11sa::test {

// A value no routine produces, to see which positions a routine wrote.
inline constexpr double kSentinel = -12345.0;

// A run state whose arrays are all n long.
inline void prepare(X11COM& com, long n, bool additive = false) {
  com.obs = n;
  com.array_size = n;
  com.fake_array_size = n;
  com.op.add_f = additive ? 1 : 0;
}

inline std::map<std::string, std::vector<double>> read_tables(const std::string& file) {
  std::ifstream in(std::string(X11SA_TEST_DATA) + "/reference/" + file);
  std::map<std::string, std::vector<double>> cols;
  std::string line;
  const auto next_line = [&] {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // CRLF files
    return true;
  };
  next_line();
  std::vector<std::string> names;
  std::stringstream header(line);
  for (std::string cell; std::getline(header, cell, ',');) names.push_back(cell);
  while (next_line()) {
    std::stringstream row(line);
    std::string cell;
    for (std::size_t c = 0; c < names.size(); ++c) {
      if (!std::getline(row, cell, ',')) cell.clear();
      if (c == 0) continue;
      cols[names[c]].push_back(cell.empty() ? kMissing : std::stod(cell));
    }
  }
  return cols;
}

// Same values to 1e-9 on [first, last); with `same_missing`, missing exactly
// where the reference is, else the reference must have a value there.
inline void expect_matches(const std::vector<double>& got, const std::vector<double>& want, long first, long last,
                           const char* what, bool same_missing = false) {
  for (long p = first; p < last; ++p) {
    if (same_missing) {
      ASSERT_EQ(is_missing(got[p]), is_missing(want[p])) << what << " at " << p;
      if (is_missing(want[p])) continue;
    } else {
      ASSERT_FALSE(is_missing(want[p])) << what << " reference missing at " << p;
    }
    EXPECT_NEAR(got[p], want[p], 1e-9 * std::fabs(want[p]) + 1e-9) << what << " at " << p;
  }
}

}  // namespace x11sa::test
