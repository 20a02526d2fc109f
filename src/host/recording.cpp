#include "host/recording.h"

#include <utility>

namespace x11sa {

HostRecording::Event& HostRecording::add(Kind kind, std::string_view text, std::string_view label,
                                         std::string_view extra) {
  Event e{kind};
  e.text = arena_.size();
  arena_ += text;
  e.label = arena_.size();
  arena_ += label;
  e.extra = arena_.size();
  arena_ += extra;
  e.end = arena_.size();
  return events_.emplace_back(e);
}

void HostRecording::message(int number, Severity severity, std::string_view text, std::string_view group,
                            std::string_view variable) {
  Event& e = add(Kind::Message, text, group, variable);
  e.number = number;
  e.severity = severity;
}

void HostRecording::log_line(std::string_view text) { add(Kind::LogLine, text); }

void HostRecording::open_group(std::string_view name, std::string_view label) { add(Kind::OpenGroup, name, label); }

void HostRecording::close_group() { add(Kind::CloseGroup, {}); }

void HostRecording::page_title(std::string_view title) { add(Kind::PageTitle, title); }

void HostRecording::table(OdsTable table) {
  add(Kind::Table, {}).table = tables_.size();
  tables_.push_back(std::move(table));
}

void HostRecording::row(int dataset, std::string_view text) {
  if (events_.empty() || events_.back().kind != Kind::Rows || events_.back().number != dataset) {
    Event& e = add(Kind::Rows, {});
    e.number = dataset;
    e.table = e.rows_end = row_ends_.size();
  }
  Event& e = events_.back();
  arena_ += text;
  e.label = e.extra = e.end = arena_.size();
  row_ends_.push_back(arena_.size());
  e.rows_end = row_ends_.size();
}

void HostRecording::clear() noexcept {
  events_.clear();
  arena_.clear();
  tables_.clear();
  row_ends_.clear();
}

}  // namespace x11sa
