// x11sa: seasonal adjustment of monthly and quarterly series by the X-11
// method. The library runs programs of PROC X11 steps against a data
// library of CSV files.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace x11sa {

struct RunOptions {
  // Librefs to folders (as --lib NAME=FOLDER); WORK is the current directory.
  std::vector<std::pair<std::string, std::string>> libs;
  int linesize = 132;  // 64 .. 256
  int pagesize = 60;   // 15 .. 32767
  // The listing and the log go to these streams, or, when the string
  // pointers are set, into those strings.
  std::FILE* listing = stdout;
  std::FILE* log = stderr;
  std::string* listing_text = nullptr;
  std::string* log_text = nullptr;
  // Progress of long steps on this stream when it is a terminal (nullptr: none).
  std::FILE* progress = stderr;
  // When set, the whole output also goes to a self-contained HTML report
  // and to a JSON document at these paths.
  std::string html_path;
  std::string json_path;
};

struct StepResult {
  std::string proc;   // procedure name
  int line = 0;       // line of the PROC statement
  int exit_level = 0;
  double seconds = 0;
};

struct RunResult {
  std::vector<StepResult> steps;
  // 0: every step ended at exit level 4 or below; 1: a step ended above 4
  // or a statement outside the steps was in error; 2: the program could
  // not be used.
  int exit_status = 0;
};

// Runs every step of a program text.
RunResult run_program(std::string_view program, const RunOptions& options);

}  // namespace x11sa
