#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "host/atomic_file.h"
#include "host/host.h"
#include "host/program.h"
#include "records/exit_levels.h"
#include "render/html.h"
#include "render/json.h"
#include "render/listing_sink.h"
#include "run/step.h"
#include "x11sa/x11sa.h"

namespace x11sa {

namespace {

namespace fs = std::filesystem;

void assign_library(Host& host, const std::string& libref, const std::string& folder, bool& failed) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    host.log().error(fmt::format("LIBNAME {}: the folder '{}' does not exist.", libref, folder));
    failed = true;
    return;
  }
  host.library().assign(libref, folder);
  host.log().note(fmt::format("Library {} is the folder '{}'.", libref, folder));
}

// Library names follow the LIBNAME statement: a word of ASCII letters,
// digits and underscores, not starting with a digit, at most 8 long.
bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return !a.empty() && !b.empty() && fs::equivalent(a, b, ec) && !ec;
}

// A name of the file `path` resolves to, also when it does not exist yet.
std::string canonical_name(const std::string& path) {
  std::error_code ec;
  const fs::path name = fs::weakly_canonical(path, ec);
  return ec ? path : name.string();
}

// A listing, log or report file of the run.
struct OutputFile {
  const char* what;  // as messages name it
  std::string path;  // empty: not asked for
  AtomicFile file;
};

enum { kListingFile, kLogFile, kJsonFile, kHtmlFile, kOutputFiles };

// Opens the files asked for; nothing is written yet. Refuses the program
// file, a folder, and two files that would replace one another.
std::vector<std::string> open_output_files(std::array<OutputFile, kOutputFiles>& files,
                                           const std::string& program_path) {
  std::vector<std::string> errors;
  std::error_code ec;
  const bool program_is_file = !program_path.empty() && fs::is_regular_file(program_path, ec);
  for (OutputFile& f : files) {
    if (f.path.empty()) continue;
    if (program_is_file && same_file(f.path, program_path))
      errors.push_back(fmt::format("The {} '{}' is the program file: nothing was written.", f.what, f.path));
  }
  if (!errors.empty()) return errors;
  for (OutputFile& f : files) {
    if (f.path.empty()) continue;
    if (const Status opened = f.file.open(f.path); !opened)
      errors.push_back(fmt::format("The {} '{}' cannot be written: {}.", f.what, f.path, opened.error()));
    else if (f.file.stream() == nullptr)
      errors.push_back(fmt::format("The {} '{}' cannot be written: {}.", f.what, f.path, errno_message(errno)));
  }
  if (!errors.empty()) return errors;
  for (std::size_t i = 0; i < files.size(); ++i)
    for (std::size_t j = i + 1; j < files.size(); ++j) {
      const OutputFile& a = files[i];
      const OutputFile& b = files[j];
      if (!a.file.is_open() || !b.file.is_open() || !a.file.replaces_target() || !b.file.replaces_target()) continue;
      if (canonical_name(a.file.target()) == canonical_name(b.file.target()))
        errors.push_back(fmt::format("The {} '{}' and the {} '{}' are the same file: nothing was written.", a.what,
                                     a.path, b.what, b.path));
    }
  return errors;
}

// Moves a finished file into place; the reason when it cannot be written,
// `stream_error` (an errno) is already known, or it would replace an input.
std::optional<std::string> commit_output_file(OutputFile& f, int stream_error, const std::vector<std::string>& inputs) {
  if (!f.file.is_open()) return std::nullopt;
  if (stream_error != 0) {
    f.file.discard();
    return fmt::format("The {} '{}' could not be written: {}.", f.what, f.path, errno_message(stream_error));
  }
  if (f.file.replaces_target())
    for (const std::string& input : inputs)
      if (same_file(f.file.target(), input)) {
        f.file.discard();
        return fmt::format("The {} '{}' is the input data set '{}': it was not written.", f.what, f.path, input);
      }
  // A writer that failed left the stream's error flag set, which commit() refuses.
  if (const Status committed = f.file.commit(); !committed)
    return fmt::format("The {} '{}' could not be written: {}.", f.what, f.path, committed.error());
  return std::nullopt;
}

// Runs the program's items; the exit status they give (2: the program or a
// library cannot be used, and nothing ran).
int run_items(Host& host, std::string_view program, const RunOptions& options, RunResult& result) {
  bool failed = false;
  for (const auto& [name, folder] : options.libs) {
    if (!is_library_name(name)) {
      host.log().error(fmt::format("The library name '{}' is not valid: a library name is 1 to 8 letters, digits "
                                   "or underscores, not starting with a digit.",
                                   name));
      failed = true;
      continue;
    }
    assign_library(host, name, folder, failed);
  }
  if (failed) return 2;
  if (!valid_utf8(program)) {
    host.log().error("The program file is not UTF-8 text.");
    return 2;
  }
  const Program prog = read_program(program);
  if (prog.steps() == 0) {
    for (const auto& item : prog.items)
      if (item.error) host.log().error(fmt::format("Line {}, column {}: {}", item.error->pos.line,
                                                   item.error->pos.col, item.error->text));
    host.log().error("The program has no PROC step: write PROC X11 ...; RUN;");
    return 2;
  }
  for (const auto& item : prog.items) {
    if (item.error) {
      host.log().error(fmt::format("Line {}, column {}: {}", item.error->pos.line, item.error->pos.col,
                                   item.error->text));
      failed = true;
    } else if (item.libname) {
      assign_library(host, item.libname->libref, item.libname->folder, failed);
    } else if (item.step) {
      const ProcStep& step = *item.step;
      const auto t0 = std::chrono::steady_clock::now();
      StepResult sr;
      sr.proc = step.name;
      sr.line = step.proc.pos.line;
      host.log().note(fmt::format("PROC {} step at line {}.", step.name, sr.line));
      if (step.name != "X11") {
        for (const auto& e : step.errors)
          host.log().error(fmt::format("Line {}, column {}: {}", e.pos.line, e.pos.col, e.text));
        host.log().error(fmt::format("Line {}, column {}: The procedure {} is not available; x11sa "
                                     "runs PROC X11.",
                                     step.proc.pos.line, step.proc.pos.col,
                                     step.name.empty() ? "(none)" : step.name));
        sr.exit_level = exit_level::kStatement;
      } else {
        host.ods().begin_step(step.name, sr.line);
        // Steps end through StepExit; anything else that escapes one is a
        // fault of x11sa, which ends that step and not the whole run.
        std::string fault;
        try {
          sr.exit_level = run_step(host, step);
        } catch (const std::exception& e) {
          fault = e.what();
        } catch (...) {
          fault = "an exception of unknown type";
        }
        if (!fault.empty()) {
          host.log().error(fmt::format("Internal error in the PROC {} step at line {}: {}", step.name, sr.line, fault));
          sr.exit_level = exit_level::kInternal;
        }
        host.ods().end_step(sr.exit_level);
      }
      sr.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      host.log().note(fmt::format("The PROC {} step ended with exit level {} (real time {:.2f} "
                                  "seconds).",
                                  sr.proc, sr.exit_level, sr.seconds));
      result.steps.push_back(std::move(sr));
    }
  }
  const bool step_failed = std::any_of(result.steps.begin(), result.steps.end(),
                                       [](const StepResult& s) { return s.exit_level > 4; });
  return step_failed || failed ? 1 : 0;
}

}  // namespace

RunResult run_program(std::string_view program, const RunOptions& options) {
  RunResult result;
  std::array<OutputFile, kOutputFiles> files{{
      {"listing file", options.listing_text == nullptr ? options.listing_path : std::string(), {}},
      {"log file", options.log_text == nullptr ? options.log_path : std::string(), {}},
      {"JSON file", options.json_path, {}},
      {"HTML report", options.html_path, {}},
  }};
  TextOut log_out = options.log_text != nullptr ? TextOut(options.log_text) : TextOut(options.log);
  const bool log_to_file = !files[kLogFile].path.empty();
  std::vector<std::string> refused = open_output_files(files, options.program_path);
  if (!refused.empty()) {
    // Every file is left as it was, the log file too: the messages go to
    // the log stream, and to the caller.
    if (!log_to_file)
      for (const std::string& e : refused) Log(log_out).error(e);
    result.file_errors = std::move(refused);
    result.exit_status = 2;
    return result;
  }
  if (log_to_file) log_out = TextOut(files[kLogFile].file.stream());
  TextOut listing_out = options.listing_text != nullptr      ? TextOut(options.listing_text)
                        : files[kListingFile].file.is_open() ? TextOut(files[kListingFile].file.stream())
                                                             : TextOut(options.listing);
  HostSettings settings;
  settings.linesize = std::clamp(options.linesize, 64, 256);
  settings.pagesize = std::clamp(options.pagesize, 15, 32767);
  settings.jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
  Host host(log_out, listing_out, TextOut(options.progress), settings);
  host.set_program_file(options.program_path);
  X11ListingSink listing_sink(host.listing());
  host.ods().add_sink(&listing_sink);
  std::optional<JsonSink> json_sink;
  if (files[kJsonFile].file.is_open()) {
    json_sink.emplace(files[kJsonFile].file.stream());
    host.ods().add_sink(&*json_sink);
  }
  std::optional<HtmlSink> html_sink;
  if (files[kHtmlFile].file.is_open()) {
    html_sink.emplace();
    host.ods().add_sink(&*html_sink);
  }

  result.exit_status = run_items(host, program, options, result);

  // The listing first and the log last, so that the log tells how the
  // others fared. The reports of a program that could not run are not
  // written: the files keep what an earlier run left.
  auto note = [&](std::optional<std::string> error, bool to_log) {
    if (!error) return;
    if (to_log) host.log().error(*error);
    result.file_errors.push_back(std::move(*error));
  };
  listing_out.flush();
  if (files[kListingFile].file.is_open())
    note(commit_output_file(files[kListingFile], listing_out.error(), host.inputs()), true);
  else if (listing_out.failed())
    note(fmt::format("The listing could not be written: {}.", errno_message(listing_out.error())), true);
  const bool program_ran = result.exit_status != 2;
  if (json_sink && program_ran) {
    (void)json_sink->finish();
    note(commit_output_file(files[kJsonFile], 0, host.inputs()), true);
  }
  if (html_sink && program_ran) {
    (void)html_sink->write(files[kHtmlFile].file.stream());
    note(commit_output_file(files[kHtmlFile], 0, host.inputs()), true);
  }
  log_out.flush();
  if (log_to_file)
    note(commit_output_file(files[kLogFile], log_out.error(), host.inputs()), false);
  else if (log_out.failed())
    note(fmt::format("The log could not be written: {}.", errno_message(log_out.error())), false);
  if (!result.file_errors.empty()) result.exit_status = 2;
  return result;
}

}  // namespace x11sa
