// Shared helpers of the ARIMA tests: series from the test data and the
// reference fits of an independent implementation.
#pragma once

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <fmt/format.h>

#include "arima/model_fit.h"

namespace x11sa::testing {

// Column `name` of a CSV file of the test data (the second column when
// empty), from the rows whose column `filter_col` equals `filter_val`.
inline std::vector<double> load_series(const std::string& file, const std::string& name = "",
                                       const std::string& filter_col = "", const std::string& filter_val = "") {
  std::ifstream in(std::string(X11SA_TEST_DATA) + "/" + file);
  if (!in) throw std::runtime_error("cannot open " + file);
  auto split = [](const std::string& s) {
    std::vector<std::string> cells;
    std::stringstream ss(s);
    for (std::string c; std::getline(ss, c, ',');) cells.push_back(c);
    return cells;
  };
  std::string line;
  std::getline(in, line);
  const std::vector<std::string> head = split(line);
  const auto at = [&](const std::string& c) { return static_cast<std::size_t>(std::find(head.begin(), head.end(), c) - head.begin()); };
  const std::size_t col = name.empty() ? 1 : at(name);
  const std::size_t fcol = at(filter_col);
  std::vector<double> out;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> cells = split(line);
    if (cells.size() <= col || (!filter_col.empty() && cells.at(fcol) != filter_val)) continue;
    out.push_back(std::stod(cells[col]));
  }
  return out;
}

struct RefFit {
  std::string file;
  int period = 12;
  bool log = false;
  int p = 0, dif = 0, q = 0, sp = 0, sdif = 0, sq = 0;
  bool ml = false;    // maximum likelihood; else conditional sum of squares
  bool mean = false;  // model with a mean term
  std::vector<double> ar, ma, sar, sma;
  double mu = 0, sigma2 = 0, loglik = 0;
  std::vector<double> forecast, se;  // transformed scale, models without mean
  bool stationary_invertible = false;

  [[nodiscard]] std::string label() const {
    return fmt::format("{} {} ({},{},{})({},{},{}) {}{}", file, log ? "log" : "none", p, dif, q, sp, sdif, sq,
                       ml ? "ML" : "CSS", mean ? " mean" : "");
  }
};

inline std::vector<RefFit> load_reference() {
  using boost::property_tree::ptree;
  const auto numbers = [](const ptree& node) {
    std::vector<double> out;
    if (node.empty()) {
      if (!node.data().empty() && node.data() != "null") out.push_back(std::stod(node.data()));
      return out;
    }
    for (const auto& child : node) out.push_back(std::stod(child.second.data()));
    return out;
  };
  ptree root;
  boost::property_tree::read_json(std::string(X11SA_TEST_DATA) + "/arima_reference.json", root);
  std::vector<RefFit> out;
  for (const auto& item : root) {
    const ptree& e = item.second;
    RefFit f;
    f.file = e.get<std::string>("file");
    f.period = e.get<int>("period");
    f.log = e.get<std::string>("transform") == "log";
    f.p = e.get<int>("p");
    f.dif = e.get<int>("dif");
    f.q = e.get<int>("q");
    f.sp = e.get<int>("sp");
    f.sdif = e.get<int>("sdif");
    f.sq = e.get<int>("sq");
    f.ml = e.get<std::string>("method") == "ML";
    f.mean = e.get<bool>("mean");
    f.ar = numbers(e.get_child("ar"));
    f.ma = numbers(e.get_child("ma_spec_sign"));
    f.sar = numbers(e.get_child("sar"));
    f.sma = numbers(e.get_child("sma_spec_sign"));
    if (f.mean) f.mu = e.get<double>("mu");
    f.sigma2 = e.get<double>("sigma2");
    const std::string ll = e.get<std::string>("loglik");
    if (ll != "null") f.loglik = std::stod(ll);
    if (auto fc = e.get_child_optional("forecast_transformed")) f.forecast = numbers(*fc);
    if (auto se = e.get_child_optional("se_transformed")) f.se = numbers(*se);
    f.stationary_invertible = e.get<bool>("stationary_invertible");
    out.push_back(std::move(f));
  }
  return out;
}

inline void set_record(ModelFit* rec, std::vector<double>& series, const RefFit& fit, char emethod, double converge) {
  *rec = ModelFit{};
  rec->p = fit.p;
  rec->dif = fit.dif;
  rec->q = fit.q;
  rec->sp = fit.sp;
  rec->sdif = fit.sdif;
  rec->sq = fit.sq;
  rec->period = fit.period;
  rec->x = series.data();
  rec->n = static_cast<long>(series.size());
  rec->transform_kind = fit.log ? kTrLog : kTrNone;
  rec->no_constant = fit.mean ? 0 : 1;
  rec->estimation_method = emethod;
  rec->converge = converge;
  rec->max_iterations = 500;
  rec->nlags = fit.period == 12 ? 36 : 12;
}

}  // namespace x11sa::testing
