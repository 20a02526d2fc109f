// Shared helpers of the ARIMA engine tests: series from the test data and the
// reference fits of an independent implementation.
#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <fmt/format.h>

#include "arima/engine.h"
#include "run/x11com.h"

namespace x11sa::testing {

struct RefFit {
  std::string file;
  int period = 12;
  bool log = false;
  int p = 0, dif = 0, q = 0, sp = 0, sdif = 0, sq = 0;
  bool ml = false;    // maximum likelihood; else conditional sum of squares
  bool mean = false;  // model with a mean term
  std::vector<double> ar, ma, sar, sma;
  double mu = 0, sigma2 = 0, loglik = 0;
  bool has_loglik = false;
  std::vector<double> forecast, se;  // transformed scale, models without mean
  bool stationary_invertible = false;

  [[nodiscard]] std::string label() const;
};



inline std::vector<double> load_series(const std::string& file) {
  std::ifstream in(std::string(X11SA_TEST_DATA) + "/" + file);
  if (!in) throw std::runtime_error("cannot open " + file);
  std::string line;
  std::getline(in, line);
  std::vector<double> out;
  while (std::getline(in, line)) {
    const auto comma = line.find(',');
    if (comma == std::string::npos) continue;
    out.push_back(std::stod(line.substr(comma + 1)));
  }
  return out;
}

using boost::property_tree::ptree;

inline std::vector<double> numbers(const ptree& node) {
  std::vector<double> out;
  if (node.empty()) {
    const std::string text = node.data();
    if (!text.empty() && text != "null") out.push_back(std::stod(text));
    return out;
  }
  for (const auto& child : node) out.push_back(std::stod(child.second.data()));
  return out;
}

inline std::string RefFit::label() const {
  return fmt::format("{} {} ({},{},{})({},{},{}) {}{}", file, log ? "log" : "none", p, dif, q, sp, sdif, sq,
                     ml ? "ML" : "CSS", mean ? " mean" : "");
}

inline std::vector<RefFit> load_reference() {
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
    f.has_loglik = ll != "null";
    if (f.has_loglik) f.loglik = std::stod(ll);
    if (auto fc = e.get_child_optional("forecast_transformed")) f.forecast = numbers(*fc);
    if (auto se = e.get_child_optional("se_transformed")) f.se = numbers(*se);
    f.stationary_invertible = e.get<bool>("stationary_invertible");
    out.push_back(std::move(f));
  }
  return out;
}

inline void set_record(X11ARIMA* rec, std::vector<double>& series, const RefFit& fit, char emethod, double converge) {
  *rec = X11ARIMA{};
  rec->p = fit.p;
  rec->dif = fit.dif;
  rec->q = fit.q;
  rec->sp = fit.sp;
  rec->sdif = fit.sdif;
  rec->sq = fit.sq;
  rec->period = fit.period;
  rec->x = series.data();
  rec->n = static_cast<long>(series.size());
  rec->tranopt = fit.log ? kTrLog : kTrNone;
  rec->noconst = fit.mean ? 0 : 1;
  rec->emethod = emethod;
  rec->converge = converge;
  rec->maxit = 500;
  rec->nlags = fit.period == 12 ? 36 : 12;
  fmt::format_to_n(rec->name, sizeof rec->name - 1, "{}", fit.file.substr(0, fit.file.find('.')));
}

}  // namespace x11sa::testing
