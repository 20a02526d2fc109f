// Output objects: groups and tables with typed columns, handed to sinks
// (the listing, the HTML report, JSON) as each table closes.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "host/messages.h"

namespace x11sa {

class Listing;
class HostRecording;

enum class ColType { Num, Char };

struct OdsColumn {
  std::string name;
  std::string label;  // heading; the name when empty
  ColType type = ColType::Num;
  int decimals = -1;  // digits after the point; -1 chooses
};

// A cell: missing (monostate), a number or a text.
using OdsCell = std::variant<std::monostate, double, std::string>;

struct OdsGroup {
  std::string name;
  std::string label;
};

struct OdsTable {
  std::string template_path;
  std::string name;
  std::string title;
  std::vector<std::pair<std::string, std::string>> entries;  // e.g. "stat_type"
  std::vector<OdsColumn> columns;
  std::vector<std::vector<OdsCell>> rows;
  std::vector<std::string> notes;
  std::vector<OdsGroup> path;  // enclosing groups, outermost first
  std::string page_title;
};

// A message of the log as the reports receive it: its severity, the series
// it concerns (in a step with BY variables the group's "name=value, ..." and
// the variable; empty when none) and its text without either.
struct LogEntry {
  Severity severity = Severity::Note;
  std::string_view group;
  std::string_view variable;
  std::string_view text;
};

class OdsSink {
 public:
  virtual ~OdsSink() = default;
  // A message of the log, in its place among the output objects.
  virtual void log_message(const LogEntry& /*entry*/) {}
  // A procedure step starts (its name and the line of its PROC statement)
  // and ends (its exit level).
  virtual void begin_step(const std::string& /*proc*/, int /*line*/) {}
  virtual void end_step(int /*exit_level*/) {}
  virtual void open_group(const std::vector<OdsGroup>& path) = 0;
  virtual void close_group(const std::vector<OdsGroup>& path) = 0;
  virtual void table(const OdsTable& table) = 0;
};

// Builds output objects. A call out of order (no table open, a row of the
// wrong width, ...) is a fault of the caller and ends the step as an
// internal error.
class OdsManager {
 public:
  void add_sink(OdsSink* sink) { sinks_.push_back(sink); }
  void log_message(const LogEntry& entry) {
    for (OdsSink* s : sinks_) s->log_message(entry);
  }
  void clear_sinks() { sinks_.clear(); }
  [[nodiscard]] bool active() const noexcept { return !sinks_.empty() || recording_ != nullptr; }
  // Groups, page titles and finished tables go to `recording` instead of
  // the sinks, to be replayed later through another manager; the manager
  // is active as long as it records.
  void record_to(HostRecording* recording) noexcept { recording_ = recording; }
  // A recorded table, handed to the sinks as if built here now: in the
  // groups open and under the page title set.
  void replay_table(OdsTable& table);

  void begin_step(const std::string& proc, int line);
  void end_step(int exit_level);
  void open_group(std::string name, std::string label);
  void close_group();
  void open_table(std::string template_path, std::string name, std::string title);
  void set_entry(std::string key, std::string value);
  void add_column(OdsColumn column);
  void add_row(std::vector<OdsCell> cells);
  // An empty row to fill and hand to add_row: the storage of a row of an
  // earlier table, so that table after table builds without allocating.
  [[nodiscard]] std::vector<OdsCell> new_row();
  void add_note(std::string note);
  void close_table();
  void set_page_title(std::string title);
  [[nodiscard]] const std::string& page_title() const noexcept { return page_title_; }
  [[nodiscard]] const std::vector<OdsGroup>& path() const noexcept { return path_; }
  [[nodiscard]] bool table_open() const noexcept { return open_; }

 private:
  std::vector<OdsSink*> sinks_;
  HostRecording* recording_ = nullptr;
  std::vector<OdsGroup> path_;
  OdsTable table_;
  std::vector<std::vector<OdsCell>> spare_rows_;
  bool open_ = false;
  std::string page_title_;
};

// Plain-text rendering of output objects into the listing.
class ListingSink : public OdsSink {
 public:
  explicit ListingSink(Listing& listing) : listing_(listing) {}
  void open_group(const std::vector<OdsGroup>& path) override;
  void close_group(const std::vector<OdsGroup>& path) override;
  void table(const OdsTable& table) override;

 protected:
  // Starts a page when the table's page title differs from the current one.
  void start_table(const OdsTable& table);
  // Lines table() takes for `table` in the plain layout, from the blank line
  // before its title to its last note.
  [[nodiscard]] std::size_t plain_lines(const OdsTable& table);
  Listing& listing_;

 private:
  // Formats the cells, sets the column widths and the panels in the
  // scratch members below; returns the lines the table takes.
  std::size_t lay_out(const OdsTable& table);
  static std::string_view heading(const OdsTable& table, std::size_t c);
  // Text of cell (r, c) as lay_out formatted it.
  [[nodiscard]] std::string_view cell_text(std::size_t r, std::size_t c) const;
  // The lines of a text of column c: itself, or its lines wrapped to the
  // column's width when lay_out narrowed the column.
  void wrapped(const OdsTable& table, std::string_view text, std::size_t c, bool is_heading,
               std::vector<std::string>& out) const;

  // Scratch of table(), kept to spare allocations table after table.
  std::string cell_texts_;
  std::vector<std::size_t> cell_ends_;
  std::vector<std::size_t> widths_;
  std::vector<std::size_t> natural_widths_;
  std::vector<std::size_t> panel_;
  std::vector<std::size_t> panel_ends_;
  std::vector<std::string> pieces_;
  std::vector<std::vector<std::string>> cell_lines_;
  std::string line_text_;
};

// Columns `text` takes in the listing: one per character of its UTF-8.
[[nodiscard]] std::size_t text_width(std::string_view text) noexcept;
// The longest start of `text` that takes at most `columns` columns, cut
// between characters, never inside one.
[[nodiscard]] std::string_view first_columns(std::string_view text, std::size_t columns) noexcept;

// The first line of `text` wrapped to `columns` columns, and the rest. The
// line ends after the last word that fits; the blanks at the break belong
// to neither part. Leading blanks are the line's indentation, never a
// break. A first word wider than the line is broken where the line is
// full, between characters.
struct WrappedLine {
  std::string_view line;
  std::string_view rest;
};
[[nodiscard]] WrappedLine wrap_line(std::string_view text, std::size_t columns) noexcept;

// Calls `emit(indent, line)` for each line of `text` wrapped to `columns`
// columns, as a paragraph: the first line as the text starts, the others
// indented by the text's leading blanks plus `hanging` (at most half the
// width), so that they read as its continuation. An empty text is one
// empty line.
template <class Emit>
void wrap_paragraph(std::string_view text, std::size_t columns, std::size_t hanging, Emit&& emit) {
  const std::size_t lead = std::min(text.find_first_not_of(' '), text.size());
  const std::size_t indent = std::min(lead + hanging, columns / 2);
  WrappedLine w = wrap_line(text, columns);
  emit(std::size_t{0}, w.line);
  while (!w.rest.empty()) {
    w = wrap_line(w.rest, columns - indent);
    emit(indent, w.line);
  }
}

// Writes `text` centred within the listing's line size; a text wider than
// the line is wrapped and each of its lines centred.
void centred(Listing& listing, std::string_view text);
// Lines centred(listing, text) writes.
[[nodiscard]] std::size_t centred_lines(const Listing& listing, std::string_view text);

// Text of a numeric cell: fixed decimals when given, else up to 10
// significant digits; "" for missing.
[[nodiscard]] std::string format_cell(const OdsCell& cell, int decimals);
// Appends the text format_cell gives, without a string of its own.
void append_cell(std::string& out, const OdsCell& cell, int decimals);
// Appends `v` (finite) with `decimals` digits after the point, rounded as
// the exact binary value dictates, the same text as "{:.{}f}".
void append_fixed(std::string& out, double v, int decimals);
// The fast method of append_fixed: writes the text so that it ends just
// before `end` and returns its first character, or nullptr (writing
// nothing) when the value needs the general formatter: decimals outside
// 0..9, |v| * 10^decimals from 1e11 up, or a value within 1e-4 of a
// rounding half. The text takes at most kFixedFastMax characters; before
// it, the writer may put blanks, and nothing else, as far back as
// kFixedFastWrite characters before `end`.
inline constexpr std::size_t kFixedFastMax = 13;
inline constexpr std::size_t kFixedFastWrite = 24;
[[nodiscard]] char* write_fixed_backward(char* end, double v, int decimals) noexcept;

}  // namespace x11sa
