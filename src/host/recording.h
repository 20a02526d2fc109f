// What one BY group sent to the log, the output objects and the output data
// sets while it was adjusted away from the step's own host, in the order it
// sent them, so that the step can replay the groups in BY order and write
// what it would have written adjusting them one after the other.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "host/messages.h"
#include "host/ods.h"

namespace x11sa {

class HostRecording {
 public:
  enum class Kind { Message, LogLine, OpenGroup, CloseGroup, PageTitle, Table, Rows };
  // A message without a catalogue number.
  static constexpr int kNoNumber = -1;

  struct Event {
    Kind kind;
    Severity severity = Severity::Note;  // Message
    int number = kNoNumber;              // Message: its catalogue number; Rows: the data set
    // Texts: [text, label), [label, extra) and [extra, end) of the arena; a
    // message's are its text, its group and its variable.
    std::size_t text = 0, label = 0, extra = 0, end = 0;
    // Table: its place in tables(); Rows: the first of its rows' ends in
    // row_ends(), up to `rows_end`.
    std::size_t table = 0, rows_end = 0;
  };

  void message(int number, Severity severity, std::string_view text, std::string_view group = {},
               std::string_view variable = {});
  void log_line(std::string_view text);
  void open_group(std::string_view name, std::string_view label);
  void close_group();
  void page_title(std::string_view title);
  void table(OdsTable table);
  // One row of output data set `dataset` as written, line end included.
  // Rows of one data set in a row make one event, which keeps where each ends.
  void row(int dataset, std::string_view text);
  // Forgets every event, keeping the memory they took for the next ones.
  void clear() noexcept;

  [[nodiscard]] const std::vector<Event>& events() const noexcept { return events_; }
  [[nodiscard]] std::string_view text(const Event& e) const noexcept {
    return std::string_view(arena_).substr(e.text, e.label - e.text);
  }
  [[nodiscard]] std::string_view label(const Event& e) const noexcept {
    return std::string_view(arena_).substr(e.label, e.extra - e.label);
  }
  [[nodiscard]] std::string_view extra(const Event& e) const noexcept {
    return std::string_view(arena_).substr(e.extra, e.end - e.extra);
  }
  [[nodiscard]] OdsTable& table(const Event& e) noexcept { return tables_[e.table]; }
  // The rows of a Rows event, one after the other, each with its line end.
  template <class F>
  void for_each_row(const Event& e, F&& f) const {
    std::size_t from = e.text;
    for (std::size_t k = e.table; k < e.rows_end; ++k) {
      f(std::string_view(arena_).substr(from, row_ends_[k] - from));
      from = row_ends_[k];
    }
  }

 private:
  Event& add(Kind kind, std::string_view text, std::string_view label = {}, std::string_view extra = {});

  std::vector<Event> events_;
  std::string arena_;  // every text, one after the other
  std::vector<OdsTable> tables_;
  std::vector<std::size_t> row_ends_;  // in the arena
};

}  // namespace x11sa
