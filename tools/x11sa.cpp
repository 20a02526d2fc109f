// x11sa: runs the PROC X11 steps of a program file.
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "adjust_command.h"
#include "x11sa/x11sa.h"

namespace {

// Programs are typed or generated text, far smaller than this; the limit
// stops a wrong file (a device, a data dump) from taking all memory.
constexpr std::size_t kMaxProgramBytes = std::size_t{64} << 20;

// Reads the program from a regular file, a pipe or a terminal ('-': standard
// input). False with the reason in `why`.
bool read_program_file(const std::string& path, std::string& text, std::string& why) {
  const bool from_stdin = path == "-";
  const int fd = from_stdin ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0) ::close(fd);
    }
  } closer{from_stdin ? -1 : fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    why = std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    why = "it is a folder";
    return false;
  }
  if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode) && !S_ISSOCK(st.st_mode) && ::isatty(fd) == 0) {
    why = "it is not a regular file, a pipe or a terminal";
    return false;
  }
  const std::string too_large = "it is larger than " + std::to_string(kMaxProgramBytes >> 20) + " MB";
  if (S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) > kMaxProgramBytes) {
    why = too_large;
    return false;
  }
  std::array<char, 1 << 16> buf{};
  for (;;) {
    const ssize_t n = ::read(fd, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = std::strerror(errno);
      return false;
    }
    if (n == 0) return true;
    text.append(buf.data(), static_cast<std::size_t>(n));
    if (text.size() > kMaxProgramBytes) {
      why = too_large;
      return false;
    }
  }
}

// Fails when the standard streams could not take everything written to
// them (a full disk, a closed pipe). The run has already reported a failure
// of the listing on standard output.
int check_standard_streams(int status, bool stdout_reported) {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    const int err = errno;
    if (!stdout_reported)
      std::fprintf(stderr, "x11sa: the standard output could not be written%s%s\n", err != 0 ? ": " : "",
                   err != 0 ? std::strerror(err) : "");
    status = std::max(status, 2);
  }
  if (std::fflush(stderr) != 0 || std::ferror(stderr) != 0) status = std::max(status, 2);
  return status;
}

// The options of the listing, the log, the reports and the threads, for
// programs and for the adjust command alike; the adjust command shows its
// listing and log only in the files named.
void add_run_options(CLI::App& app, x11sa::RunOptions& options, bool adjust) {
  // An empty name would otherwise read as "no file asked for".
  const CLI::Validator file_name(
      [](const std::string& name) { return name.empty() ? std::string("a file name is needed") : std::string(); },
      "");
  app.add_option("--print", options.listing_path,
                 adjust ? "write the listing of the tables to FILE" : "write the listing to FILE instead of standard output")
      ->type_name("FILE")
      ->check(file_name);
  app.add_option("--log", options.log_path,
                 adjust ? "write the whole log to FILE" : "write the log to FILE instead of standard error")
      ->type_name("FILE")
      ->check(file_name);
  app.add_option("--html", options.html_path, "also write the output as one HTML report")
      ->type_name("FILE")
      ->check(file_name);
  app.add_option("--json", options.json_path, "also write every output object as JSON")
      ->type_name("FILE")
      ->check(file_name);
  app.add_option("--linesize", options.linesize, "print line size")->check(CLI::Range(64, 256));
  app.add_option("--pagesize", options.pagesize, "print page size in lines")->check(CLI::Range(15, 32767));
  app.add_option("--jobs", options.jobs, "threads adjusting BY groups side by side (default: one per core)")
      ->check(CLI::Range(1, 1024));
}

int run_command(int argc, char** argv) {
  CLI::App app{"x11sa: seasonal adjustment of monthly and quarterly series (X-11 method).\n"
               "Runs every PROC X11 step of PROGRAM ('-' reads standard input)."};
  app.set_version_flag("--version", std::string("x11sa 0.1.0"));
  std::string program_path;
  std::vector<std::string> libs;
  x11sa::RunOptions options;
  options.jobs = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
  // Required unless the adjust command is used, which has no program.
  app.add_option("PROGRAM", program_path, "program file, or - for standard input");
  // One NAME=FOLDER per --lib, so that the program name is never taken for a second one.
  app.add_option("--lib", libs, "library NAME is FOLDER (repeatable)")
      ->type_name("NAME=FOLDER")
      ->allow_extra_args(false);
  add_run_options(app, options, false);
  x11sa::cli::AdjustRequest adjust;
  CLI::App* adjust_command = x11sa::cli::add_adjust_command(app, adjust);
  add_run_options(*adjust_command, options, true);
  app.footer(
      "Without a program, 'x11sa adjust FILE.csv --date COL --var COL' adjusts the series of one CSV file\n"
      "(x11sa adjust --help lists its options), for example:\n"
      "  x11sa adjust airline.csv --date date --var passengers --arima auto");
  try {
    app.parse(argc, argv);
    if (adjust_command->parsed() && !program_path.empty())
      throw CLI::ValidationError("PROGRAM", "give either a PROGRAM or the adjust command, not both");
    if (!adjust_command->parsed() && program_path.empty()) throw CLI::RequiredError("PROGRAM");
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return check_standard_streams(rc == 0 ? 0 : 2, false);
  }

  for (const auto& lib : libs) {
    const auto eq = lib.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == lib.size()) {
      std::cerr << "x11sa: --lib needs NAME=FOLDER, not '" << lib << "'\n";
      return check_standard_streams(2, false);
    }
    options.libs.emplace_back(lib.substr(0, eq), lib.substr(eq + 1));
  }
  if (adjust_command->parsed()) return check_standard_streams(x11sa::cli::run_adjust(adjust, options), false);
  std::string program;
  std::string why;
  if (!read_program_file(program_path, program, why)) {
    if (program_path == "-") std::cerr << "x11sa: cannot read the program from standard input: " << why << "\n";
    else std::cerr << "x11sa: cannot read the program file '" << program_path << "': " << why << "\n";
    return check_standard_streams(2, false);
  }
  // Standard input read from a file is that file.
  options.program_path = program_path == "-" ? "/dev/stdin" : program_path;
  const x11sa::RunResult result = x11sa::run_program(program, options);
  // With --log the log is in a file: say on the terminal why a file was not written.
  if (!options.log_path.empty())
    for (const std::string& e : result.file_errors) std::cerr << "x11sa: " << e << "\n";
  return check_standard_streams(result.exit_status, options.listing_path.empty());
}

}  // namespace

int main(int argc, char** argv) {
  // Every BY group frees and allocates its workspace again: keep freed memory
  // in the heap rather than returning it to the system each time.
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  // A reader that goes away (x11sa ... | head) is a write error to report,
  // not a signal that ends the run before its files are in place.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    return run_command(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "x11sa: internal error: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "x11sa: internal error of unknown type\n");
  }
  return 1;
}
