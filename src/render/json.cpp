#include "render/json.h"

#include <cmath>

#include <fmt/format.h>

#include "host/dataset.h"
#include "x11sa/missing.h"

namespace x11sa {

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += fmt::format("\\u{:04x}", static_cast<unsigned>(static_cast<unsigned char>(c)));
        } else {
          out.push_back(c);
        }
    }
  }
  out += '"';
  return out;
}

namespace {

void append_cell(std::string& out, const OdsCell& cell) {
  if (const auto* s = std::get_if<std::string>(&cell)) {
    out += json_string(*s);
    return;
  }
  const auto* v = std::get_if<double>(&cell);
  if (v == nullptr || is_missing(*v) || !std::isfinite(*v)) {
    out += "null";
    return;
  }
  append_number(out, *v);
}

}  // namespace

JsonSink::JsonSink(std::FILE* out) : out_(out) { write("{\"steps\": ["); }

void JsonSink::write(std::string_view text) {
  if (out_ == nullptr) return;
  if (std::fwrite(text.data(), 1, text.size(), out_) != text.size()) ok_ = false;
}

void JsonSink::begin_step(const std::string& proc, int line) {
  write(fmt::format("{}\n {{\"proc\": {}, \"line\": {}, \"objects\": [", first_step_ ? "" : ",", json_string(proc), line));
  first_step_ = false;
  first_object_ = true;
  in_step_ = true;
}

void JsonSink::end_step(int exit_level) {
  write(fmt::format("], \"log\": [{}], \"exit_level\": {}}}", step_log_, exit_level));
  step_log_.clear();
  in_step_ = false;
}

void JsonSink::log_message(const LogEntry& entry) {
  if (!in_step_) return;
  std::string& log = step_log_;
  const std::string_view severity = severity_prefix(entry.severity);
  log += fmt::format("{}\n  {{\"severity\": {}, \"by\": {}, \"variable\": {}, \"text\": {}}}", log.empty() ? "" : ",",
                     json_string(severity.substr(0, severity.find(':'))), json_string(entry.group),
                     json_string(entry.variable), json_string(entry.text));
}

void JsonSink::open_group(const std::vector<OdsGroup>& /*path*/) {}

void JsonSink::close_group(const std::vector<OdsGroup>& /*path*/) {}

void JsonSink::table(const OdsTable& t) {
  if (!in_step_) return;
  buf_.clear();
  buf_ += first_object_ ? "\n  {" : ",\n  {";
  first_object_ = false;
  buf_ += "\"path\": [";
  for (std::size_t i = 0; i < t.path.size(); ++i)
    buf_ += fmt::format("{}{{\"name\": {}, \"label\": {}}}", i == 0 ? "" : ", ", json_string(t.path[i].name),
                        json_string(t.path[i].label));
  buf_ += fmt::format("], \"template\": {}, \"name\": {}, \"title\": {}, \"page_title\": {}, \"entries\": {{",
                      json_string(t.template_path), json_string(t.name), json_string(t.title),
                      json_string(t.page_title));
  for (std::size_t i = 0; i < t.entries.size(); ++i)
    buf_ += fmt::format("{}{}: {}", i == 0 ? "" : ", ", json_string(t.entries[i].first), json_string(t.entries[i].second));
  buf_ += "}, \"columns\": [";
  for (std::size_t i = 0; i < t.columns.size(); ++i) {
    const auto& c = t.columns[i];
    buf_ += fmt::format("{}{{\"name\": {}, \"label\": {}, \"type\": \"{}\"}}", i == 0 ? "" : ", ", json_string(c.name),
                        json_string(c.label), c.type == ColType::Num ? "number" : "text");
  }
  buf_ += "], \"rows\": [";
  for (std::size_t r = 0; r < t.rows.size(); ++r) {
    buf_ += r == 0 ? "[" : ", [";
    for (std::size_t c = 0; c < t.rows[r].size(); ++c) {
      if (c > 0) buf_ += ", ";
      append_cell(buf_, t.rows[r][c]);
    }
    buf_ += "]";
  }
  buf_ += "], \"notes\": [";
  for (std::size_t i = 0; i < t.notes.size(); ++i) buf_ += (i == 0 ? "" : ", ") + json_string(t.notes[i]);
  buf_ += "]}";
  write(buf_);
}

bool JsonSink::finish() {
  if (in_step_) end_step(-1);
  write("\n]}\n");
  if (out_ != nullptr && std::fflush(out_) != 0) ok_ = false;
  return ok_;
}

}  // namespace x11sa
