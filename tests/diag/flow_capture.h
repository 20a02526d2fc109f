// The plain flow of one series run in process with printing on, its output
// objects captured as they close, and the reference figures of the three
// reference runs.
#pragma once

#include <gtest/gtest.h>

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/exit.h"
#include "host/host.h"
#include "run/adjust_internal.h"
#include "run/flows.h"
#include "run/legacy_core.h"
#include "run/workspace.h"
#include "support/run_support.h"
#include "x11sa/adjust.h"

namespace x11sa::test {

// Keeps every output table.
class CaptureSink : public OdsSink {
 public:
  void open_group(const std::vector<OdsGroup>& /*path*/) override {}
  void close_group(const std::vector<OdsGroup>& /*path*/) override {}
  void table(const OdsTable& t) override { tables.push_back(t); }
  // The last table of this name, or nullptr.
  [[nodiscard]] const OdsTable* find(const std::string& name) const {
    for (auto it = tables.rbegin(); it != tables.rend(); ++it)
      if (it->name == name) return &*it;
    return nullptr;
  }
  [[nodiscard]] int count(const std::string& name) const {
    int n = 0;
    for (const auto& t : tables) n += t.name == name ? 1 : 0;
    return n;
  }
  std::vector<OdsTable> tables;
};

// A number of a captured cell; missing for an empty cell.
inline double num(const OdsTable& t, std::size_t row, std::size_t col) {
  if (row >= t.rows.size() || col >= t.rows[row].size()) {
    ADD_FAILURE() << t.name << ": no cell " << row << "," << col;
    return kMissing;
  }
  const auto* v = std::get_if<double>(&t.rows[row][col]);
  return v != nullptr ? *v : kMissing;
}

inline std::string text(const OdsTable& t, std::size_t row, std::size_t col) {
  if (row >= t.rows.size() || col >= t.rows[row].size()) return {};
  const auto* v = std::get_if<std::string>(&t.rows[row][col]);
  return v != nullptr ? *v : std::string();
}

// One series through the plain flow, as the variable loop runs it.
struct FlowRun {
  std::string log;
  std::unique_ptr<Host> host;
  std::unique_ptr<X11COM> com;
  CaptureSink capture;
};

// Runs the plain flow on `values`; `printout` is the PRINTOUT= level (0 for
// none) and `setup` may change options after they are read.
template <class Setup>
std::unique_ptr<FlowRun> run_flow(std::span<const double> values, const SeriesOptions& options, int printout,
                                  Setup setup) {
  auto run = std::make_unique<FlowRun>();
  run->host = std::make_unique<Host>(TextOut(&run->log), TextOut(), TextOut(), HostSettings{});
  run->com = std::make_unique<X11COM>();
  X11COM* Xp = run->com.get();
  Xp->host = run->host.get();
  run->host->ods().add_sink(&run->capture);
  try {
    prepare_series(Xp, values, options);
    Xp->op.noprint_f = printout > 0 ? 0 : 1;
    Xp->printout = printout;
    setup(Xp);
    Xp->XtrmFcntPtr = Xp->extreme == 0 ? &x11xtro : &x11xtrm;
    alloc_memory(Xp);
    init_memory(Xp);
    if (Xp->vn_pmf >= 0) fillup_pmf(Xp);
    if (Xp->tdregr != 0 && Xp->op.month_f != 0) x11tdt(Xp, Xp->work.mon_type, Xp->fake_array_size + 12);
    set_values(Xp, &Xp->vars[0]);
    read_var(Xp, 0);
    x11flw1(Xp);
  } catch (const StepExit& e) {
    ADD_FAILURE() << "the flow ended with level " << e.level() << " " << e.text() << "\n" << run->log;
  }
  return run;
}

inline std::unique_ptr<FlowRun> run_flow(std::span<const double> values, const SeriesOptions& options,
                                         int printout = 1) {
  return run_flow(values, options, printout, [](X11COM*) {});
}

// The reference figures of one reference run.
inline boost::property_tree::ptree reference_stats(const std::string& name) {
  boost::property_tree::ptree tree;
  boost::property_tree::read_json(data_file("reference/" + name + "_stats.json").string(), tree);
  return tree;
}

// A number of the reference ("null" is missing).
inline double ref_num(const boost::property_tree::ptree& tree, const std::string& path) {
  const std::string s = tree.get<std::string>(boost::property_tree::ptree::path_type(path, '/'));
  return s == "null" ? kMissing : std::stod(s);
}

// A subtree of the reference ('/' separates the keys).
inline const boost::property_tree::ptree& ref_child(const boost::property_tree::ptree& tree,
                                                    const std::string& path) {
  return tree.get_child(boost::property_tree::ptree::path_type(path, '/'));
}

// The numbers of an array of the reference.
inline std::vector<double> ref_array(const boost::property_tree::ptree& tree, const std::string& path) {
  std::vector<double> v;
  for (const auto& [key, child] : ref_child(tree, path)) {
    const std::string s = child.get_value<std::string>();
    v.push_back(s == "null" ? kMissing : std::stod(s));
  }
  return v;
}

// The series of a data file column.
inline std::vector<double> data_column(const std::string& file, const std::string& column) {
  return read_table(data_file(file)).num.at(column);
}

}  // namespace x11sa::test
