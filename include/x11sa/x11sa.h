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
  // The listing and the log go to these streams, or into these files when
  // the paths are set, or, when the string pointers are set, into those
  // strings.
  std::FILE* listing = stdout;
  std::FILE* log = stderr;
  std::string listing_path;
  std::string log_path;
  std::string* listing_text = nullptr;
  std::string* log_text = nullptr;
  // Progress of long steps on this stream when it is a terminal (nullptr: none).
  std::FILE* progress = stderr;
  // When set, the whole output also goes to a self-contained HTML report
  // and to a JSON document at these paths.
  std::string html_path;
  std::string json_path;
  // Threads that adjust the BY groups of a step; 0: one per core. With more
  // than one, the groups are adjusted side by side and every output is
  // still written in BY order, the same byte for byte as with one.
  int jobs = 1;
  // The file the program was read from, when there is one: no file of the
  // run may replace it.
  std::string program_path;
  // The files of listing_path, log_path, html_path and json_path are each
  // written to a temporary file beside them that replaces them at the end of
  // the run: a symbolic link is followed (the file it points to is
  // replaced), a device or a FIFO is written directly, and a folder, the
  // program file or an input data set of the run is never replaced.
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
  // or a statement outside the steps was in error; 2: the program, a
  // library, or the listing, log or a report could not be used or written.
  int exit_status = 0;
  // Why the listing, the log or a report could not be written or was
  // refused, one sentence each. The log has them too, but for those about
  // the log itself.
  std::vector<std::string> file_errors;
};

// Runs every step of a program text.
RunResult run_program(std::string_view program, const RunOptions& options);

}  // namespace x11sa
