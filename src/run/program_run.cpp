#include <algorithm>
#include <chrono>
#include <filesystem>

#include <fmt/format.h>

#include "host/host.h"
#include "host/program.h"
#include "run/ornqx11.h"
#include "x11sa/x11sa.h"

namespace x11sa {

namespace {

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

}  // namespace

RunResult run_program(std::string_view program, const RunOptions& options) {
  RunResult result;
  TextOut log_out = options.log_text != nullptr ? TextOut(options.log_text) : TextOut(options.log);
  TextOut listing_out =
      options.listing_text != nullptr ? TextOut(options.listing_text) : TextOut(options.listing);
  HostSettings settings;
  settings.linesize = std::clamp(options.linesize, 64, 256);
  settings.pagesize = std::clamp(options.pagesize, 15, 32767);
  Host host(log_out, listing_out, TextOut(options.progress), settings);
  ListingSink listing_sink(host.listing());
  host.ods().add_sink(&listing_sink);

  bool failed = false;
  for (const auto& [name, folder] : options.libs) assign_library(host, name, folder, failed);
  if (failed) {
    result.exit_status = 2;
    return result;
  }
  if (!valid_utf8(program)) {
    host.log().error("The program file is not UTF-8 text.");
    result.exit_status = 2;
    return result;
  }
  const Program prog = read_program(program);
  if (prog.steps() == 0) {
    for (const auto& item : prog.items)
      if (item.error) host.log().error(fmt::format("Line {}, column {}: {}", item.error->pos.line,
                                                   item.error->pos.col, item.error->text));
    host.log().error("The program has no PROC step: write PROC X11 ...; RUN;");
    result.exit_status = 2;
    return result;
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
        sr.exit_level = 3000;
      } else {
        sr.exit_level = ornqx11(host, step);
      }
      sr.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      host.log().note(fmt::format("The PROC {} step ended with exit level {} (real time {:.2f} "
                                  "seconds).",
                                  sr.proc, sr.exit_level, sr.seconds));
      result.steps.push_back(std::move(sr));
    }
  }
  host.listing().flush();
  const bool any_failed = std::any_of(result.steps.begin(), result.steps.end(),
                                      [](const StepResult& s) { return s.exit_level > 4; });
  result.exit_status = any_failed || failed ? 1 : 0;
  return result;
}

}  // namespace x11sa
