// Opens arbitrary bytes as a CSV data set and reads all of it in every way the
// procedure does, checking what must hold for any input. Shared by the fuzz
// target and the test that replays the inputs the fuzzer once failed on.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "host/dataset.h"
#include "x11sa/missing.h"

namespace x11sa::fuzz {

namespace detail {

// A temporary file holding the input, removed when done.
class TempCsv {
 public:
  TempCsv(const std::uint8_t* data, std::size_t size) {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/x11sa-fuzz-XXXXXX";
    const int fd = ::mkstemp(path_.data());
    if (fd < 0) {
      path_.clear();
      return;
    }
    std::size_t done = 0;
    while (done < size) {
      const ssize_t w = ::write(fd, data + done, size - done);
      if (w <= 0) break;
      done += static_cast<std::size_t>(w);
    }
    ::close(fd);
    ok_ = done == size;
  }
  ~TempCsv() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempCsv(const TempCsv&) = delete;
  TempCsv& operator=(const TempCsv&) = delete;
  [[nodiscard]] bool ok() const noexcept { return ok_; }
  [[nodiscard]] const std::string& path() const noexcept { return path_; }

 private:
  std::string path_;
  bool ok_ = false;
};

// Touches every cell of the current row; a problem text when a value breaks
// what its variable's type promises.
inline std::string check_row(const InputDataSet& ds) {
  const auto& vars = ds.vars();
  for (std::size_t v = 0; v < vars.size(); ++v) {
    const int var = static_cast<int>(v);
    const double x = ds.num(var);
    const std::string_view s = ds.str(var);
    if (vars[v].type == VarType::Character) {
      if (!is_missing(x)) return fmt::format("character variable {} gave a number", vars[v].name);
      if (s.size() > static_cast<std::size_t>(vars[v].length))
        return fmt::format("value of {} at row {} is longer than its length {}", vars[v].name, ds.row_number(),
                           vars[v].length);
    } else if (std::isnan(x) && !is_missing(x)) {
      return fmt::format("numeric variable {} gave a NaN that is not the missing value", vars[v].name);
    }
  }
  return {};
}

// Reads every group with the given BY setting; counts rows and checks that
// the rows of a group share their BY values.
inline std::string read_groups(InputDataSet& ds, std::vector<int> by, std::vector<bool> descending,
                               bool notsorted, long& rows, long& groups) {
  ds.set_by(by, std::move(descending), notsorted);
  rows = 0;
  groups = 0;
  long expected_row = 1;
  while (ds.next_group()) {
    ++groups;
    std::vector<std::string> key;
    std::vector<double> key_number;
    for (const int b : by) {
      key.emplace_back(ds.str(b));
      key_number.push_back(ds.num(b));
    }
    long in_group = 0;
    RowPos second{};
    while (ds.next_row()) {
      if (ds.row_number() != expected_row)
        return fmt::format("row {} read where row {} was due", ds.row_number(), expected_row);
      ++expected_row;
      ++in_group;
      if (in_group == 2) second = ds.note();
      if (std::string problem = check_row(ds); !problem.empty()) return problem;
      for (std::size_t k = 0; k < by.size(); ++k) {
        const auto& var = ds.vars()[static_cast<std::size_t>(by[k])];
        // Numbers group by value ("1" and "1.0" together), texts by their bytes.
        const double x = ds.num(by[k]);
        const bool same = var.type == VarType::Character
                              ? ds.str(by[k]) == key[k]
                              : (is_missing(x) ? is_missing(key_number[k])
                                               : !is_missing(key_number[k]) && !(x < key_number[k]) &&
                                                     !(key_number[k] < x));
        if (!same) return fmt::format("row {} joined a group with other BY values", ds.row_number());
      }
    }
    rows += in_group;
    // Re-reading the group gives the same rows.
    ds.rewind_group();
    long again = 0;
    while (ds.next_row()) ++again;
    if (again != in_group) return fmt::format("rewind read {} rows of a group of {}", again, in_group);
    if (in_group >= 2) {
      ds.point(second);
      if (!ds.next_row() || ds.row_number() != second.row)
        return fmt::format("pointing back to row {} did not read it", second.row);
    }
  }
  if (notsorted && ds.sort_error()) return "a sort error with NOTSORTED";
  if (ds.sort_error() && ds.sort_error()->find(ds.name()) == std::string::npos)
    return "a sort error that does not name the data set";
  if (ds.sort_error() && ds.sort_error()->find_first_of("\r\n") != std::string::npos)
    return "a sort error of more than one line: " + *ds.sort_error();
  return {};
}

}  // namespace detail

// Empty when every check held; otherwise what went wrong.
inline std::string read_csv_everything(const std::uint8_t* data, std::size_t size) {
  const detail::TempCsv file(data, size);
  if (!file.ok()) return {};  // no room for the file: nothing to test
  auto opened = InputDataSet::open(file.path(), "WORK.FUZZ");
  if (!opened) {
    const std::string& error = opened.error();
    if (error.find("WORK.FUZZ") == std::string::npos) return "an open error that does not name the data set: " + error;
    if (error.find_first_of("\r\n") != std::string::npos) return "an open error of more than one line: " + error;
    return {};
  }
  const std::unique_ptr<InputDataSet> ds = std::move(opened).value();
  const int nvars = static_cast<int>(ds->vars().size());
  if (nvars == 0) return "a data set without variables";

  long rows = 0;
  long groups = 0;
  if (std::string p = detail::read_groups(*ds, {}, {}, false, rows, groups); !p.empty()) return p;
  if (rows != ds->nobs()) return fmt::format("read {} rows of {} without BY", rows, ds->nobs());
  if (groups != (ds->nobs() > 0 ? 1 : 0)) return fmt::format("{} groups without BY", groups);

  if (std::string p = detail::read_groups(*ds, {0}, {false}, false, rows, groups); !p.empty()) return p;
  if (!ds->sort_error() && rows != ds->nobs()) return fmt::format("read {} rows of {} by the first variable", rows, ds->nobs());
  if (rows > ds->nobs()) return "more rows than the data set has";

  if (std::string p = detail::read_groups(*ds, {nvars - 1, 0}, {true, false}, false, rows, groups); !p.empty()) return p;
  if (!ds->sort_error() && rows != ds->nobs()) return "rows lost with a descending BY variable";

  if (std::string p = detail::read_groups(*ds, {0}, {}, true, rows, groups); !p.empty()) return p;
  if (rows != ds->nobs()) return fmt::format("read {} rows of {} with NOTSORTED", rows, ds->nobs());

  // Columns read as numbers or dates, as a step that needs them reads them:
  // a cell that stops it is named on one line; what reads is read again.
  for (int v = 0; v < nvars; ++v) {
    const CellReading how = v % 2 == 0 ? CellReading::Numbers : CellReading::Dates;
    if (ds->cells_reading_as(v, how) > ds->nobs()) return "more cells read than there are rows";
    const Status read = ds->read_as(v, how);
    if (!read && read.error().find_first_of("\r\n") != std::string::npos)
      return "a cell error of more than one line: " + read.error();
    if (!read && read.error().find(" line ") == std::string::npos) return "a cell error without its line: " + read.error();
  }
  if (std::string p = detail::read_groups(*ds, {}, {}, false, rows, groups); !p.empty()) return p;
  return {};
}

}  // namespace x11sa::fuzz
