// A PROC X11 step read from its statements over a CSV in a scratch folder:
// its options and its open input data set, and the log the reading writes.
#pragma once

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "host/host.h"
#include "host/program.h"
#include "statements/step_options.h"
#include "support/run_support.h"

namespace x11sa::test {

class StepUnderTest {
 public:
  // `statements` follow "proc x11 data=in"; a small utility limit makes
  // every group above a few rows spill to a temporary file.
  StepUnderTest(const std::string& csv, const std::string& statements, std::size_t util_limit = 1024)
      : host_(TextOut(&log_), TextOut(), TextOut(), HostSettings{132, 60, util_limit, 0}) {
    dir_.write("in.csv", csv);
    host_.library().assign("WORK", dir_.path().string());
    const Program program = read_program("proc x11 data=in " + statements + "\nrun;\n");
    for (const ProgramItem& item : program.items)
      if (item.step) read_ = read_step_options(parse_step(*item.step, host_), host_);
    EXPECT_LE(read_.exit_level, exit_level::kWarning) << log_;
  }

  [[nodiscard]] const StepOptions& options() const { return read_.options; }
  [[nodiscard]] InputDataSet& input() { return *read_.input; }
  [[nodiscard]] Host& host() { return host_; }
  [[nodiscard]] const ScratchDir& dir() const { return dir_; }
  [[nodiscard]] const std::string& log() const { return log_; }
  // How many times message `number` was logged.
  [[nodiscard]] long count(int number) const {
    const auto& n = host_.logged_numbers();
    return std::count(n.begin(), n.end(), number);
  }

 private:
  ScratchDir dir_;
  std::string log_;
  Host host_;
  StepOptionsRead read_;
};

}  // namespace x11sa::test
