// Runs a program of PROC X11 steps, as the x11sa command does: the listing
// goes to standard output, the log to standard error, data sets to the
// current folder (WORK).
//   run_program PROGRAM [NAME=FOLDER]...
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <x11sa/x11sa.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: run_program PROGRAM [NAME=FOLDER]...\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "run_program: cannot read " << argv[1] << "\n";
    return 2;
  }
  std::ostringstream program;
  program << in.rdbuf();

  x11sa::RunOptions options;
  options.program_path = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string lib = argv[i];
    const std::size_t eq = lib.find('=');
    if (eq == std::string::npos) {
      std::cerr << "run_program: expected NAME=FOLDER, got " << lib << "\n";
      return 2;
    }
    options.libs.emplace_back(lib.substr(0, eq), lib.substr(eq + 1));
  }

  const x11sa::RunResult result = x11sa::run_program(program.str(), options);
  for (const x11sa::StepResult& step : result.steps)
    std::cerr << "PROC " << step.proc << " (line " << step.line << "): exit level " << step.exit_level << "\n";
  return result.exit_status;
}
