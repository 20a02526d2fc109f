// Every output object of a run as JSON, for programs that read results.
#pragma once

#include <cstdio>
#include <string>

#include "host/ods.h"

namespace x11sa {

// Streams {"steps": [{"proc", "line", "objects": [...], "exit_level"}]} to a
// file as the objects arrive; finish() closes the document.
class JsonSink : public OdsSink {
 public:
  explicit JsonSink(std::FILE* out);
  void begin_step(const std::string& proc, int line) override;
  void end_step(int exit_level) override;
  void open_group(const std::vector<OdsGroup>& path) override;
  void close_group(const std::vector<OdsGroup>& path) override;
  void table(const OdsTable& table) override;
  // Ends the document; true when everything was written.
  bool finish();

 private:
  void write(std::string_view text);
  std::FILE* out_;
  std::string buf_;
  bool first_step_ = true;
  bool first_object_ = true;
  bool in_step_ = false;
  bool ok_ = true;
};

// A JSON string literal of `text` (quotes included).
[[nodiscard]] std::string json_string(std::string_view text);

}  // namespace x11sa
