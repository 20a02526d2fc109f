// The host of a run: log, listing, data library, output objects and the
// settings that every step shares.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/dataset.h"
#include "host/messages.h"
#include "host/ods.h"
#include "host/recording.h"

namespace x11sa {

// Where text goes: a C stream or a string (for the library call and tests).
// Copies share one failure state: after the first failed write to the stream
// every copy skips its writes, so a full disk or a closed pipe costs nothing
// more and is reported once at the end.
class TextOut {
 public:
  TextOut() = default;
  explicit TextOut(std::FILE* f) : file_(f), error_(std::make_shared<int>(0)) {}
  explicit TextOut(std::string* s) : str_(s) {}
  void write(std::string_view text);
  // Writes `text` and a newline.
  void write_line(std::string_view text);
  void flush();
  [[nodiscard]] bool is_terminal() const;
  [[nodiscard]] bool enabled() const noexcept { return file_ != nullptr || str_ != nullptr; }
  // True once a write or flush to the stream failed.
  [[nodiscard]] bool failed() const noexcept { return error_ != nullptr && *error_ != 0; }
  // errno of the first failure, 0 when none.
  [[nodiscard]] int error() const noexcept { return error_ != nullptr ? *error_ : 0; }

 private:
  void fail(int err) noexcept;
  std::FILE* file_ = nullptr;
  std::string* str_ = nullptr;
  std::shared_ptr<int> error_;
};

// The log: one line per numbered message, with its severity.
class Log {
 public:
  explicit Log(TextOut out) : out_(out) {}
  void line(std::string_view text);
  void message(Severity sev, std::string_view text);
  void note(std::string_view text) { message(Severity::Note, text); }
  void warning(std::string_view text) { message(Severity::Warning, text); }
  void error(std::string_view text) { message(Severity::Error, text); }
  [[nodiscard]] long errors() const noexcept { return errors_; }
  [[nodiscard]] long warnings() const noexcept { return warnings_; }
  // Lines and messages go to `recording` instead, uncounted.
  void record_to(HostRecording* recording) noexcept { recording_ = recording; }

  // The series the messages concern: in a step with BY variables, every
  // message names its BY group ("region=north: ...") and, while a variable
  // is adjusted, the variable ("region=north, variable sales: ..."). An
  // empty group names nothing.
  void set_group(std::string label);
  void set_variable(std::string name);
  // A message about the step as a whole (its data sets, its files), which
  // names no series even while one is adjusted.
  void step_message(Severity sev, std::string_view text) { emit(sev, {}, {}, text); }
  // Messages also go to the reports of `ods` (with their group and variable apart).
  void report_to(OdsManager* ods) noexcept { ods_ = ods; }

 private:
  friend class Host;
  // A message about `group` and `variable` as written, recorded or reported.
  void emit(Severity sev, std::string_view group, std::string_view variable, std::string_view text);

  TextOut out_;
  HostRecording* recording_ = nullptr;
  OdsManager* ods_ = nullptr;
  long errors_ = 0;
  long warnings_ = 0;
  std::string group_, variable_;
  std::string line_;  // the message as written
};

// The listing: fixed-width lines on pages of `pagesize` lines, each page
// opened by a form feed, the current title lines and the page number.
class Listing {
 public:
  Listing(TextOut out, int linesize, int pagesize) : out_(out), linesize_(linesize), pagesize_(pagesize) {}
  [[nodiscard]] int linesize() const noexcept { return linesize_; }
  [[nodiscard]] int pagesize() const noexcept { return pagesize_; }
  [[nodiscard]] bool enabled() const noexcept { return out_.enabled(); }
  void set_titles(std::vector<std::string> titles) { titles_ = std::move(titles); }
  [[nodiscard]] const std::vector<std::string>& titles() const noexcept { return titles_; }
  // Writes one line (cut to the line size), starting a page when needed.
  void line(std::string_view text);
  // Writes `text` as a paragraph: wrapped at blanks to the line size, the
  // lines after the first indented two columns more than its own leading
  // blanks.
  void paragraph(std::string_view text);
  // Lines paragraph(text) writes.
  [[nodiscard]] int paragraph_lines(std::string_view text) const;
  void skip(int lines = 1);
  // Starts a page: a form feed (but before the first), then the header:
  // the titles centred, the first line ending with the page number, and a
  // blank line.
  void new_page();
  // Lines left on the current page (0 before the first page).
  [[nodiscard]] int lines_left() const noexcept;
  // Starts a new page unless `lines` fit on this one; a block longer than a
  // page starts where it is.
  void keep_together(int lines);
  [[nodiscard]] long pages() const noexcept { return pages_; }
  void flush() { out_.flush(); }

 private:
  // Calls `emit(line)` for each line of the header of page `page`.
  template <class Emit>
  void header(long page, Emit&& emit) const;

  TextOut out_;
  int linesize_;
  int pagesize_;
  int used_ = 0;
  long pages_ = 0;
  std::vector<std::string> titles_;
  std::string indented_;  // scratch of paragraph()
};

struct HostSettings {
  int linesize = 132;
  int pagesize = 60;
  std::size_t util_memory_limit = std::size_t{256} << 20;  // bytes before utility files spill to disk
  std::size_t pool_limit = 0;  // bytes a BY-group pool may hold (0: no cap)
  // Threads that adjust the BY groups of a step (1: the calling thread alone).
  int jobs = 1;
};

// Progress of long work on a terminal: BY groups done of all, and the rate.
class Progress {
 public:
  explicit Progress(TextOut out) : out_(out), on_(out.is_terminal()) {}
  // `what` names the units counted (e.g. "BY groups").
  void start(std::string_view what);
  // `done` units so far; `fraction` of all the work done (0..1, negative when unknown).
  void step(long done, double fraction);
  void finish();

 private:
  TextOut out_;
  bool on_;
  bool shown_ = false;
  std::string what_;
  std::chrono::steady_clock::time_point t0_{}, last_{};
};

class Host {
 public:
  Host(TextOut log, TextOut listing, TextOut progress, HostSettings settings)
      : log_(log), listing_(listing, settings.linesize, settings.pagesize), progress_(progress),
        settings_(settings) {
    log_.report_to(&ods_);
  }
  // The log reports to the host's own output objects: a host stays where it is.
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
  // A host with the settings of `settings` whose log and output objects go
  // to `recording`, for work done away from the step's host and replayed
  // there in order; it has no listing and shows no progress.
  Host(HostSettings settings, HostRecording& recording)
      : Host(TextOut(), TextOut(), TextOut(), settings) {
    log_.record_to(&recording);
    ods_.record_to(&recording);
  }

  // What `recording` holds of the log and the output objects, as if sent
  // here now; each row goes to `row` (the data set, the row's text).
  template <class RowSink>
  void replay(HostRecording& recording, RowSink&& row);

  Log& log() noexcept { return log_; }
  Listing& listing() noexcept { return listing_; }
  Library& library() noexcept { return library_; }
  OdsManager& ods() noexcept { return ods_; }
  Progress& progress() noexcept { return progress_; }
  [[nodiscard]] const HostSettings& settings() const noexcept { return settings_; }

  // A numbered message to the log, with its catalogue severity or the given one.
  template <class... Args>
  void msg(int number, const Args&... args) {
    log_message(number, nullptr, message_vtext(number, fmt::make_format_args(args...)));
  }
  template <class... Args>
  void msg_as(Severity sev, int number, const Args&... args) {
    log_message(number, &sev, message_vtext(number, fmt::make_format_args(args...)));
  }

  // Numbers of the catalogue messages logged so far, in order.
  [[nodiscard]] const std::vector<int>& logged_numbers() const noexcept { return logged_; }
  [[nodiscard]] bool logged(int number) const;

  // Data set most recently written by a step, for a step without DATA=.
  std::string last_dataset;

  // Files read as input data sets: no report file of the run may replace one.
  void note_input(std::string path) { inputs_.push_back(std::move(path)); }
  // The file the program was read from, when there is one: no data set of
  // the run may replace it.
  void set_program_file(std::string path) { program_file_ = std::move(path); }
  [[nodiscard]] const std::string& program_file() const noexcept { return program_file_; }
  [[nodiscard]] const std::vector<std::string>& inputs() const noexcept { return inputs_; }

 private:
  void log_message(int number, const Severity* sev, const std::string& text);

  void replay_message(int number, Severity sev, std::string_view text, std::string_view group,
                      std::string_view variable);

  Log log_;
  Listing listing_;
  Progress progress_;
  HostSettings settings_;
  Library library_;
  OdsManager ods_;
  std::vector<int> logged_;
  std::vector<std::string> inputs_;
  std::string program_file_;
};

template <class RowSink>
void Host::replay(HostRecording& recording, RowSink&& row) {
  using Kind = HostRecording::Kind;
  for (const HostRecording::Event& e : recording.events()) {
    switch (e.kind) {
      case Kind::Message:
        replay_message(e.number, e.severity, recording.text(e), recording.label(e), recording.extra(e));
        break;
      case Kind::LogLine: log_.line(recording.text(e)); break;
      case Kind::OpenGroup: ods_.open_group(std::string(recording.text(e)), std::string(recording.label(e))); break;
      case Kind::CloseGroup: ods_.close_group(); break;
      case Kind::PageTitle: ods_.set_page_title(std::string(recording.text(e))); break;
      case Kind::Table: ods_.replay_table(recording.table(e)); break;
      case Kind::Rows: recording.for_each_row(e, [&](std::string_view text) { row(e.number, text); }); break;
    }
  }
}

}  // namespace x11sa
