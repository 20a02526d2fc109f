// Every output object of a run as JSON, for programs that read results.
#pragma once

#include <cstdio>
#include <string>

#include "host/ods.h"

namespace x11sa {

// Streams {"steps": [{"proc", "line", "objects": [...], "log": [...],
// "exit_level"}]} to a file as the objects arrive. A step's "log" has the
// messages logged while it ran, each {"severity", "by", "variable", "text"}
// ("by" and "variable" empty when it concerns no BY group or variable); the
// run's own notes (libraries, each step's start and end with its time) are
// only in the log. finish() closes the document.
class JsonSink : public OdsSink {
 public:
  explicit JsonSink(std::FILE* out);
  void begin_step(const std::string& proc, int line) override;
  void end_step(int exit_level) override;
  void open_group(const std::vector<OdsGroup>& path) override;
  void close_group(const std::vector<OdsGroup>& path) override;
  void table(const OdsTable& table) override;
  void log_message(const LogEntry& entry) override;
  // Ends the document; true when everything was written.
  bool finish();

 private:
  void write(std::string_view text);
  std::FILE* out_;
  std::string buf_;
  std::string step_log_;  // the step's messages so far, as JSON list items
  bool first_step_ = true;
  bool first_object_ = true;
  bool in_step_ = false;
  bool ok_ = true;
};

// A JSON string literal of `text` (quotes included).
[[nodiscard]] std::string json_string(std::string_view text);

}  // namespace x11sa
