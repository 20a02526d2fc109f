// The compiled part of the Python package: the library's calls with the
// interpreter's lock released while they run. The package's Python code
// turns pandas objects into the arrays these take.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "options.h"
#include "results.h"
#include "x11sa/adjust.h"
#include "x11sa/missing.h"
#include "x11sa/x11sa.h"

namespace x11sa::python {
namespace {

namespace py = pybind11;
using Values = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Offsets = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;

// Python's NaN (and any other NaN) is the library's missing value.
void copy_values(std::span<const double> from, std::vector<double>& to) {
  to.resize(from.size());
  std::transform(from.begin(), from.end(), to.begin(), [](double x) { return std::isnan(x) ? kMissing : x; });
}

std::span<const double> values_of(const Values& a) {
  if (a.ndim() != 1) throw py::value_error(fmt::format("the values must be one-dimensional, not {}-dimensional.", a.ndim()));
  return {a.data(), static_cast<std::size_t>(a.shape(0))};
}

int thread_count(int threads, std::size_t work) {
  if (threads <= 0) threads = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
  return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(threads), std::max<std::size_t>(work, 1)));
}

// Runs job(i) for i in [0, count) on `threads` threads, the calling one
// among them, which is called without the interpreter's lock. The first
// exception a job throws is rethrown here; so is KeyboardInterrupt, which
// the calling thread looks for between its jobs.
template <class Job>
void parallel_for(std::size_t count, int threads, Job&& job) {
  std::atomic<std::size_t> next{0};
  std::exception_ptr fault;
  std::atomic<bool> failed{false};
  auto fail = [&](std::exception_ptr e) {
    if (!failed.exchange(true)) fault = std::move(e);
  };
  auto work = [&](bool calling_thread) {
    for (std::size_t i = next++; i < count && !failed; i = next++) {
      try {
        job(i);
      } catch (...) {
        fail(std::current_exception());
      }
      if (calling_thread && i % 64 == 63) {
        const py::gil_scoped_acquire locked;
        if (PyErr_CheckSignals() != 0) fail(std::make_exception_ptr(py::error_already_set()));
      }
    }
  };
  std::vector<std::jthread> helpers;
  for (int t = 1; t < threads; ++t) helpers.emplace_back(work, false);
  work(true);
  helpers.clear();
  if (fault) std::rethrow_exception(fault);
}

py::dict adjust(const Values& values, int start_year, int start_period, const py::dict& options, const std::string& name,
                const std::optional<Values>& prior_factors, const py::object& listing) {
  SeriesOptions o;
  o.method = adjustment_options(options);
  o.start_year = start_year;
  o.start_period = start_period;
  o.name = name;
  if (prior_factors) copy_values(values_of(*prior_factors), o.prior_factors);
  if (!listing.is_none() && !(py::isinstance<py::bool_>(listing) && !listing.cast<bool>()))
    o.listing = listing_options(listing);
  std::vector<double> series;
  copy_values(values_of(values), series);
  AdjustedSeries r;
  {
    py::gil_scoped_release unlocked;
    r = adjust_series(series, o);
  }
  py::dict d;
  d["names"] = r.names;
  Values tables({r.names.size(), r.length});
  std::copy(r.values.begin(), r.values.end(), tables.mutable_data());
  d["tables"] = tables;
  d["exit_level"] = r.exit_level;
  d["messages"] = messages_list(r.messages);
  d["listing"] = r.listing;
  d["tests"] = tests_dict(r);
  d["summary"] = summary_dict(r);
  return d;
}

// Many series one after the other in `values`, series i from offsets[i] to
// offsets[i + 1], each with its first period; the tables named come back one
// row per period in one array, series after series (rows[i] to rows[i + 1]),
// with each series' exit level, messages and summary. A series not adjusted
// has its rows, all missing.
py::tuple adjust_many(const Values& values, const Offsets& offsets, const Offsets& start_years,
                      const Offsets& start_periods, const py::dict& options, const std::vector<std::string>& tables,
                      bool diagnostics, int threads) {
  const std::span<const double> all = values_of(values);
  const std::size_t count = offsets.size() > 0 ? static_cast<std::size_t>(offsets.size() - 1) : 0;
  if (start_years.size() != static_cast<py::ssize_t>(count) || start_periods.size() != static_cast<py::ssize_t>(count))
    throw py::value_error("adjust_many: one start year and period per series.");
  const std::int64_t* bounds = offsets.data();
  for (std::size_t i = 0; i < count; ++i)
    if (bounds[i] < 0 || bounds[i] > bounds[i + 1] || static_cast<std::size_t>(bounds[i + 1]) > all.size())
      throw py::value_error("adjust_many: the offsets do not divide the values.");
  SeriesOptions base;
  for (const std::string& name : tables) {
    const std::optional<Table> t = table_named(name);
    if (!t) throw py::value_error(fmt::format("tables: '{}' is not a table of x11sa.", name));
    base.tables.push_back(*t);
  }
  base.method = adjustment_options(options);
  base.diagnostics = diagnostics;

  struct Outcome {
    AdjustedSeries result;
    std::size_t rows = 0;
  };
  std::vector<Outcome> outcomes(count);
  {
    py::gil_scoped_release unlocked;
    parallel_for(count, thread_count(threads, count), [&](std::size_t i) {
      thread_local std::vector<double> series;
      const auto first = static_cast<std::size_t>(bounds[i]);
      copy_values(all.subspan(first, static_cast<std::size_t>(bounds[i + 1]) - first), series);
      SeriesOptions o = base;
      o.start_year = static_cast<int>(start_years.data()[i]);
      o.start_period = static_cast<int>(start_periods.data()[i]);
      Outcome& out = outcomes[i];
      out.result = adjust_series(series, o);
      out.rows = out.result.length > 0 ? out.result.length : series.size();
    });
  }
  std::vector<std::int64_t> rows(count + 1, 0);
  for (std::size_t i = 0; i < count; ++i) rows[i + 1] = rows[i] + static_cast<std::int64_t>(outcomes[i].rows);
  Values out({static_cast<std::size_t>(rows[count]), tables.size()});
  double* cells = out.mutable_data();
  std::fill(cells, cells + out.size(), std::numeric_limits<double>::quiet_NaN());
  py::list levels, messages, summaries;
  for (std::size_t i = 0; i < count; ++i) {
    const AdjustedSeries& r = outcomes[i].result;
    for (std::size_t k = 0; k < tables.size(); ++k) {
      const std::span<const double> column = r.table(tables[k]);
      double* to = cells + static_cast<std::size_t>(rows[i]) * tables.size() + k;
      for (std::size_t j = 0; j < column.size(); ++j, to += tables.size())
        *to = is_missing(column[j]) ? std::numeric_limits<double>::quiet_NaN() : column[j];
    }
    levels.append(r.exit_level);
    messages.append(messages_list(r.messages));
    py::dict summary = summary_dict(r, false);
    summary["tests"] = tests_dict(r);
    summaries.append(summary);
  }
  return py::make_tuple(out, py::cast(rows), levels, messages, summaries);
}

py::dict run(const std::string& program, const std::vector<std::pair<std::string, std::string>>& libs, int linesize,
             int pagesize, int jobs, const std::string& html, const std::string& json) {
  RunOptions o;
  o.libs = libs;
  o.linesize = linesize;
  o.pagesize = pagesize;
  o.jobs = jobs;
  o.html_path = html;
  o.json_path = json;
  std::string listing, log;
  o.listing_text = &listing;
  o.log_text = &log;
  o.progress = nullptr;
  RunResult r;
  {
    py::gil_scoped_release unlocked;
    r = run_program(program, o);
  }
  py::dict d;
  d["exit_status"] = r.exit_status;
  d["listing"] = listing;
  d["log"] = log;
  py::list steps;
  for (const StepResult& s : r.steps) {
    py::dict step;
    step["proc"] = s.proc;
    step["line"] = s.line;
    step["exit_level"] = s.exit_level;
    step["seconds"] = s.seconds;
    steps.append(step);
  }
  d["steps"] = steps;
  d["file_errors"] = r.file_errors;
  return d;
}

}  // namespace
}  // namespace x11sa::python

PYBIND11_MODULE(_x11sa, m) {
  namespace py = pybind11;
  using namespace x11sa::python;
  m.doc() = "The compiled calls of the x11sa package; use the functions of x11sa instead.";
  m.def("adjust", &adjust, py::arg("values"), py::arg("start_year"), py::arg("start_period"), py::arg("options"),
        py::arg("name"), py::arg("prior_factors"), py::arg("listing"));
  m.def("adjust_many", &adjust_many, py::arg("values"), py::arg("offsets"), py::arg("start_years"),
        py::arg("start_periods"), py::arg("options"), py::arg("tables"), py::arg("diagnostics"), py::arg("threads"));
  m.def("run_program", &run, py::arg("program"), py::arg("libs"), py::arg("linesize"), py::arg("pagesize"),
        py::arg("jobs"), py::arg("html"), py::arg("json"));
  m.attr("missing") = x11sa::kMissing;
}
