// The whole output of a run as one self-contained HTML5 report: contents,
// tables, and the charts as inline SVG.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "host/ods.h"

namespace x11sa {

class HtmlSink : public OdsSink {
 public:
  void begin_step(const std::string& proc, int line) override;
  void end_step(int exit_level) override;
  void open_group(const std::vector<OdsGroup>& path) override;
  void close_group(const std::vector<OdsGroup>& path) override;
  void table(const OdsTable& table) override;
  // A message of a step, where it came among the step's tables.
  void log_message(const LogEntry& entry) override;
  // Writes the report; true when everything was written.
  bool write(std::FILE* out) const;

 private:
  struct TocEntry {
    int depth;
    std::string anchor;
    std::string text;
  };
  std::string anchor();
  void month_by_year(const OdsTable& t);
  void plain(const OdsTable& t);
  void chart(const OdsTable& t);

  std::string body_;
  std::vector<TocEntry> toc_;
  int next_id_ = 0;
  int steps_ = 0;
  long step_tables_ = 0;  // tables of the current step
  bool in_step_ = false;
};

// Text escaped for HTML content and attribute values.
[[nodiscard]] std::string html_escape(std::string_view text);

}  // namespace x11sa
