// x11sa adjust: adjusts the series of one CSV file without a program. It
// writes the program a user would write (quoted file paths, OUT= with D10 to
// D13, OUTSUM=), runs it, and prints where the files are, a line per series
// and the log's warnings and errors.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "x11sa/x11sa.h"

namespace x11sa::cli {

struct AdjustRequest {
  std::string file;
  std::string date;
  std::vector<std::string> vars;
  std::vector<std::string> by;
  bool quarterly = false;
  bool additive = false;
  std::string arima;  // "auto", a model such as "(0,1,1)(0,1,1) log", or empty for none
  std::string out;    // empty: FILE's name with _adjusted.csv, beside it
  std::string summary;  // empty: OUT's name with _summary.csv, beside it
  std::string program;  // where to save the program run, when asked
};

// The subcommand, its options filling `request`.
CLI::App* add_adjust_command(CLI::App& app, AdjustRequest& request);

// Runs the request with the listing, log, report and thread options of
// `options`; returns the command's exit status (2 when an option or a file
// cannot be used, else that of the program).
int run_adjust(AdjustRequest request, x11sa::RunOptions options);

}  // namespace x11sa::cli
