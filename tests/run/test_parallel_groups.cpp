// BY groups adjusted by several threads: every file a step writes, and how
// it ends, are those of the same step adjusting its groups one at a time.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstddef>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "support/run_support.h"

namespace x11sa::test {
namespace {

// The values of a column of a test data set, by row.
std::vector<std::string> column(const std::string& file, std::size_t index) {
  std::istringstream in(read_file(data_file(file)));
  std::vector<std::string> values;
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    std::size_t from = 0;
    for (std::size_t k = 0; k < index; ++k) from = line.find(',', from) + 1;
    values.push_back(line.substr(from, line.find(',', from) - from));
  }
  return values;
}

// A panel of 40 BY groups made of real series, each group scaled and
// shifted its own way, of two lengths and starts. Group 7 has a row
// without a date (a data error: skipped), group 13 too few rows to be
// adjusted, group 21 a value that the multiplicative adjustment refuses in
// one of its two variables. With `misplaced` > 0 that group comes out of
// BY order, which ends the step there.
std::string panel(int misplaced = 0) {
  const std::vector<std::string> seatbelts_dates = column("seatbelts.csv", 0);
  const std::vector<std::string> drivers = column("seatbelts.csv", 1);
  const std::vector<std::string> front = column("seatbelts.csv", 2);
  const std::vector<std::string> airline_dates = column("airline.csv", 0);
  const std::vector<std::string> passengers = column("airline.csv", 1);
  std::string csv = "region,code,date,drivers,front\n";
  for (int g = 1; g <= 40; ++g) {
    const bool airline = g % 3 == 0;
    const std::vector<std::string>& dates = airline ? airline_dates : seatbelts_dates;
    const std::vector<std::string>& x = airline ? passengers : drivers;
    const std::vector<std::string>& y = airline ? passengers : front;
    const std::size_t first = g == 30 ? 24 : 0;
    const std::size_t end = g == 13 ? 30 : dates.size();
    const std::string region = g == misplaced ? "R00" : fmt::format("R{:02d}", g);
    for (std::size_t t = first; t < end; ++t) {
      const double scale = 1.0 + 0.013 * g;
      const double shift = static_cast<double>((t * static_cast<std::size_t>(g)) % 11);
      const double b = g == 21 && t == 10 ? -5.0 : std::stod(y[t]) * (2.0 - scale) + shift;
      csv += fmt::format("{},{},{},{},{}\n", region, 1000 * g + static_cast<int>(t),
                         g == 7 && t == 50 ? std::string() : dates[t], std::stod(x[t]) * scale + shift, b);
    }
  }
  return csv;
}

const char* const kProgram =
    "proc x11 data=panel outstb=stb outtdr=tdr outspan=spans outsum=sum;\n"
    "   monthly date=date printout=standard charts=standard tdregr=adjust;\n"
    "   sspan;\n"
    "   var drivers front;\n"
    "   by region;\n"
    "   id code;\n"
    "   output out=sa b1=b1 c16=c16 d10=d10 d11=d11 d12=d12 d13=d13;\n"
    "run;\n";

// Everything a run wrote, its times masked.
struct RunFiles {
  int exit_status = -1;
  std::vector<int> levels;
  std::string log, listing, html, json, sa, stb, tdr, spans, sum;
};

RunFiles run(const ScratchDir& dir, int jobs, bool reports = true) {
  for (const char* f : {"report.html", "report.json", "sa.csv", "stb.csv", "tdr.csv", "spans.csv", "sum.csv"})
    std::filesystem::remove(dir.path() / f);
  RunFiles files;
  RunOptions opt;
  opt.libs.emplace_back("WORK", dir.path().string());
  opt.log_text = &files.log;
  opt.listing_text = &files.listing;
  opt.progress = nullptr;
  if (reports) {
    opt.html_path = (dir.path() / "report.html").string();
    opt.json_path = (dir.path() / "report.json").string();
  }
  opt.jobs = jobs;
  const RunResult result = run_program(kProgram, opt);
  files.exit_status = result.exit_status;
  for (const StepResult& s : result.steps) files.levels.push_back(s.exit_level);
  files.log = std::regex_replace(files.log, std::regex(R"(real time [0-9.]+ seconds)"), "real time");
  files.html = read_file(dir.path() / "report.html");
  files.json = read_file(dir.path() / "report.json");
  files.sa = read_file(dir.path() / "sa.csv");
  files.stb = read_file(dir.path() / "stb.csv");
  files.tdr = read_file(dir.path() / "tdr.csv");
  files.spans = read_file(dir.path() / "spans.csv");
  files.sum = read_file(dir.path() / "sum.csv");
  return files;
}

void expect_same(const RunFiles& serial, const RunFiles& parallel, int jobs) {
  SCOPED_TRACE(fmt::format("--jobs {}", jobs));
  EXPECT_EQ(parallel.exit_status, serial.exit_status);
  EXPECT_EQ(parallel.levels, serial.levels);
  // Whole files compared as booleans: a failure would otherwise print them.
  EXPECT_TRUE(parallel.log == serial.log) << parallel.log;
  EXPECT_TRUE(parallel.listing == serial.listing);
  EXPECT_TRUE(parallel.html == serial.html);
  EXPECT_TRUE(parallel.json == serial.json);
  EXPECT_TRUE(parallel.sa == serial.sa);
  EXPECT_TRUE(parallel.stb == serial.stb);
  EXPECT_TRUE(parallel.tdr == serial.tdr);
  EXPECT_TRUE(parallel.spans == serial.spans);
  EXPECT_TRUE(parallel.sum == serial.sum);
}

TEST(ParallelGroups, EveryFileIsTheSameWhateverTheThreads) {
  ScratchDir dir;
  dir.write("panel.csv", panel());
  const RunFiles serial = run(dir, 1);
  // The panel exercises what it should: a skipped group, a group too short,
  // a variable refused, and the other groups adjusted into every data set.
  ASSERT_EQ(serial.levels, std::vector<int>{108});
  ASSERT_NE(serial.log.find("BY group 7 is skipped."), std::string::npos) << serial.log;
  ASSERT_NE(serial.sa.find("R40,40191,"), std::string::npos);
  for (const std::string* file : {&serial.stb, &serial.tdr, &serial.spans, &serial.html, &serial.json, &serial.sum})
    ASSERT_NE(file->find("R39"), std::string::npos);
  // OUTSUM= has a row for every group and variable, the skipped group's too.
  ASSERT_NE(serial.sum.find("R07,front,108,"), std::string::npos);
  for (int jobs : {2, 3}) expect_same(serial, run(dir, jobs), jobs);
}

TEST(ParallelGroups, AStepEndedByAGroupEndsThereAsItWouldInOrder) {
  ScratchDir dir;
  // A group out of BY order: the groups before it are adjusted and printed,
  // nothing after it is read, and no data set is written.
  dir.write("panel.csv", panel(24));
  const RunFiles serial = run(dir, 1);
  ASSERT_EQ(serial.levels, std::vector<int>{1012});
  ASSERT_NE(serial.listing.find("R23"), std::string::npos);
  ASSERT_EQ(serial.listing.find("R25"), std::string::npos);
  for (int jobs : {2, 3}) expect_same(serial, run(dir, jobs), jobs);
}

TEST(ParallelGroups, ADataSetThatCannotBeWrittenEndsTheStepAtTheSameRow) {
  ScratchDir dir;
  dir.write("panel.csv", panel());
  // Files of the process may not grow past 1 MB: OUTSPAN= fails part way
  // through the groups, on the first buffer it cannot write.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit capped = saved;
  capped.rlim_cur = 1024 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &capped), 0);
  const RunFiles serial = run(dir, 1, false);
  const RunFiles parallel2 = run(dir, 2, false);
  const RunFiles parallel3 = run(dir, 3, false);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  ASSERT_EQ(serial.levels, std::vector<int>{1012});
  ASSERT_NE(serial.log.find("could not be written (disk full?)"), std::string::npos) << serial.log;
  ASSERT_NE(serial.listing.find("R05"), std::string::npos) << serial.log;
  ASSERT_EQ(serial.listing.find("R40"), std::string::npos);
  expect_same(serial, parallel2, 2);
  expect_same(serial, parallel3, 3);
}

}  // namespace
}  // namespace x11sa::test
