// Helpers of the end-to-end tests: a scratch folder, running a program, and
// reading a data set back.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "x11sa/x11sa.h"

namespace x11sa::test {

// A fresh folder under the system's temporary directory, removed afterwards.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  // Copies a file of the test data folder into the scratch folder.
  void copy_data(const std::string& name) const;
  void write(const std::string& name, const std::string& text) const;
  [[nodiscard]] bool exists(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

struct RunOutput {
  RunResult result;
  std::string log;
  std::string listing;
  [[nodiscard]] int level() const { return result.steps.empty() ? -1 : result.steps.front().exit_level; }
  [[nodiscard]] bool logged(const std::string& text) const { return log.find(text) != std::string::npos; }
};

// Runs `program` with WORK mapped to `dir`; with `reports`, also writes
// report.json and report.html there.
RunOutput run_in(const ScratchDir& dir, const std::string& program, bool reports = false);

// A data set read back: column name -> values (numbers; missing as NaN
// pattern), and the text of character columns.
struct Table {
  std::vector<std::string> names;
  std::map<std::string, std::vector<double>> num;
  std::map<std::string, std::vector<std::string>> text;
  long rows = 0;
};
Table read_table(const std::filesystem::path& file);

// The whole content of a file ("" when it cannot be read).
std::string read_file(const std::filesystem::path& path);

// Path of a file in the test data folder.
std::filesystem::path data_file(const std::string& name);

}  // namespace x11sa::test
