// The three reference runs: every table of the adjustment agrees with the
// tables of an independent implementation of the method to 1e-9 relative.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "support/run_support.h"
#include "x11sa/missing.h"

namespace x11sa::test {
namespace {

struct Case {
  const char* reference;  // tests/data/reference/<reference>_tables.csv
  const char* data;
  const char* var;
  const char* statement;  // MONTHLY or QUARTERLY statement
  bool quarterly;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.reference; }

class ReferenceRun : public ::testing::TestWithParam<Case> {};

TEST_P(ReferenceRun, EveryTableAgrees) {
  const Case& c = GetParam();
  const Table ref = read_table(data_file(std::string("reference/") + c.reference + "_tables.csv"));
  ASSERT_GT(ref.rows, 0);
  // Tables a quarterly run does not write.
  const std::set<std::string> monthly_only = {"A1", "A2", "A3", "A4", "B14", "B16",
                                              "B18", "B19", "C14", "C16", "C18", "C19"};
  std::vector<std::string> tables;
  std::string out = "output out=result";
  for (const auto& name : ref.names) {
    if (name == "date" || (c.quarterly && monthly_only.count(name) != 0)) continue;
    tables.push_back(name);
    out += " " + name + "=t_" + name;
  }
  ASSERT_GE(tables.size(), 40u);
  ScratchDir dir;
  dir.copy_data(std::string(c.data) + ".csv");
  const RunOutput run = run_in(dir, std::string("proc x11 data=") + c.data + " noprint;\n" + c.statement +
                                  ";\nvar " + c.var + ";\n" + out + ";\nrun;\n");
  ASSERT_EQ(run.result.exit_status, 0) << run.log;
  const Table mine = read_table(dir.path() / "result.csv");
  ASSERT_EQ(mine.rows, ref.rows);
  for (const auto& t : tables) {
    const auto& want = ref.num.at(t);
    const auto& got = mine.num.at("t_" + t);
    int faults = 0;
    for (long i = 0; i < ref.rows && faults < 3; ++i) {
      const double x = want[static_cast<std::size_t>(i)];
      const double y = got[static_cast<std::size_t>(i)];
      if (is_missing(x) || is_missing(y)) {
        if (is_missing(x) != is_missing(y)) {
          ADD_FAILURE() << t << " row " << i << ": reference " << x << ", x11sa " << y;
          ++faults;
        }
        continue;
      }
      const double tol = 1e-9 * std::max(std::fabs(x), 1e-300);
      if (!(std::fabs(x - y) <= tol)) {
        ADD_FAILURE() << t << " row " << i << ": reference " << x << ", x11sa " << y;
        ++faults;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Series, ReferenceRun,
    ::testing::Values(Case{"airline", "airline", "passengers", "monthly date=date", false},
                      Case{"ukgas", "ukgas", "gas", "quarterly date=date", true},
                      Case{"nottingham_additive", "nottingham", "temp", "monthly date=date additive", false}),
    [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.reference); });

}  // namespace
}  // namespace x11sa::test
