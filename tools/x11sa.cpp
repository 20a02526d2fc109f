// x11sa: runs the PROC X11 steps of a program file.
#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "x11sa/x11sa.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool read_all(const std::string& path, std::string& text) {
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return !std::cin.bad();
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  text = ss.str();
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  // Every BY group frees and allocates its workspace again: keep freed memory
  // in the heap rather than returning it to the system each time.
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  CLI::App app{"x11sa: seasonal adjustment of monthly and quarterly series (X-11 method).\n"
               "Runs every PROC X11 step of PROGRAM ('-' reads standard input)."};
  app.set_version_flag("--version", std::string("x11sa 0.1.0"));
  std::string program_path;
  std::vector<std::string> libs;
  std::string print_path;
  std::string log_path;
  std::string html_path;
  std::string json_path;
  int linesize = 132;
  int pagesize = 60;
  app.add_option("PROGRAM", program_path, "program file, or - for standard input")->required();
  // One NAME=FOLDER per --lib, so that the program name is never taken for a second one.
  app.add_option("--lib", libs, "library NAME is FOLDER (repeatable)")
      ->type_name("NAME=FOLDER")
      ->allow_extra_args(false);
  app.add_option("--print", print_path, "write the listing to FILE instead of standard output")
      ->type_name("FILE");
  app.add_option("--log", log_path, "write the log to FILE instead of standard error")->type_name("FILE");
  app.add_option("--html", html_path, "also write the output as one HTML report")->type_name("FILE");
  app.add_option("--json", json_path, "also write every output object as JSON")->type_name("FILE");
  app.add_option("--linesize", linesize, "print line size")->check(CLI::Range(64, 256));
  app.add_option("--pagesize", pagesize, "print page size in lines")->check(CLI::Range(15, 32767));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : 2;
  }

  x11sa::RunOptions options;
  options.linesize = linesize;
  options.pagesize = pagesize;
  for (const auto& lib : libs) {
    const auto eq = lib.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == lib.size()) {
      std::cerr << "x11sa: --lib needs NAME=FOLDER, not '" << lib << "'\n";
      return 2;
    }
    options.libs.emplace_back(lib.substr(0, eq), lib.substr(eq + 1));
  }
  FilePtr print_file;
  FilePtr log_file;
  if (!print_path.empty()) {
    print_file.reset(std::fopen(print_path.c_str(), "w"));
    if (!print_file) {
      std::cerr << "x11sa: cannot write the listing file '" << print_path << "'\n";
      return 2;
    }
    options.listing = print_file.get();
  }
  if (!log_path.empty()) {
    log_file.reset(std::fopen(log_path.c_str(), "w"));
    if (!log_file) {
      std::cerr << "x11sa: cannot write the log file '" << log_path << "'\n";
      return 2;
    }
    options.log = log_file.get();
  }
  options.html_path = html_path;
  options.json_path = json_path;
  std::string program;
  if (!read_all(program_path, program)) {
    std::cerr << "x11sa: cannot read the program file '" << program_path << "'\n";
    return 2;
  }
  const x11sa::RunResult result = x11sa::run_program(program, options);
  return result.exit_status;
}
