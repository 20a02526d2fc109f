#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>

#include <fmt/format.h>

#include "host/host.h"
#include "host/program.h"
#include "report/html.h"
#include "report/json.h"
#include "report/listing.h"
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

// A file written in full to a temporary name beside its place, then moved
// there: a failing run never leaves half a report.
class ReportFile {
 public:
  explicit ReportFile(std::string path) : path_(std::move(path)), tmp_(path_ + ".tmp") {}
  ~ReportFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (!done_) std::remove(tmp_.c_str());
  }
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;
  bool open() {
    file_ = std::fopen(tmp_.c_str(), "w");
    return file_ != nullptr;
  }
  [[nodiscard]] std::FILE* get() const { return file_; }
  bool commit() {
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok || std::rename(tmp_.c_str(), path_.c_str()) != 0) return false;
    done_ = true;
    return true;
  }
  [[nodiscard]] const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string tmp_;
  std::FILE* file_ = nullptr;
  bool done_ = false;
};

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
  X11ListingSink listing_sink(host.listing());
  host.ods().add_sink(&listing_sink);
  std::optional<ReportFile> json_file;
  std::optional<JsonSink> json_sink;
  if (!options.json_path.empty()) {
    json_file.emplace(options.json_path);
    if (!json_file->open()) {
      host.log().error(fmt::format("The JSON file '{}' cannot be written.", options.json_path));
      result.exit_status = 2;
      return result;
    }
    json_sink.emplace(json_file->get());
    host.ods().add_sink(&*json_sink);
  }
  std::optional<ReportFile> html_file;
  std::optional<HtmlSink> html_sink;
  if (!options.html_path.empty()) {
    html_file.emplace(options.html_path);
    if (!html_file->open()) {
      host.log().error(fmt::format("The HTML report '{}' cannot be written.", options.html_path));
      result.exit_status = 2;
      return result;
    }
    html_sink.emplace();
    host.ods().add_sink(&*html_sink);
  }

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
        host.ods().begin_step(step.name, sr.line);
        sr.exit_level = ornqx11(host, step);
        host.ods().end_step(sr.exit_level);
      }
      sr.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      host.log().note(fmt::format("The PROC {} step ended with exit level {} (real time {:.2f} "
                                  "seconds).",
                                  sr.proc, sr.exit_level, sr.seconds));
      result.steps.push_back(std::move(sr));
    }
  }
  host.listing().flush();
  if (json_sink && !(json_sink->finish() && json_file->commit())) {
    host.log().error(fmt::format("The JSON file '{}' could not be written.", options.json_path));
    failed = true;
  }
  if (html_sink && !(html_sink->write(html_file->get()) && html_file->commit())) {
    host.log().error(fmt::format("The HTML report '{}' could not be written.", options.html_path));
    failed = true;
  }
  const bool any_failed = std::any_of(result.steps.begin(), result.steps.end(),
                                      [](const StepResult& s) { return s.exit_level > 4; });
  result.exit_status = any_failed || failed ? 1 : 0;
  return result;
}

}  // namespace x11sa
