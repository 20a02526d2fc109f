#include "render/html.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "host/text.h"
#include "records/exit_levels.h"
#include "render/svg.h"
#include "x11sa/missing.h"

namespace x11sa {

std::string html_escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '\n':
      case '\r':
      case '\t':
        out.push_back(c);  // blanks to HTML
        break;
      default:
        // Other control characters are not allowed in an HTML document: shown
        // as their escapes, as in the log.
        if (const auto u = static_cast<unsigned char>(c); u < 0x20 || u == 0x7F) {
          out += visible_text(std::string_view(&c, 1));
        } else {
          out.push_back(c);
        }
    }
  }
  return out;
}

namespace {

std::string entry(const OdsTable& t, std::string_view key) {
  for (const auto& [k, v] : t.entries)
    if (k == key) return v;
  return {};
}

bool starts_with(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

constexpr std::string_view kStyle = R"(
body { font-family: system-ui, sans-serif; margin: 0; color: #1b1b1b; background: #fff; }
header { background: #24476b; color: #fff; padding: 0.8em 1.5em; }
header h1 { margin: 0; font-size: 1.4em; }
nav { padding: 0.5em 1.5em; border-bottom: 1px solid #ccc; font-size: 0.9em; }
nav ul { margin: 0.2em 0; padding-left: 1.2em; }
main { padding: 0 1.5em 2em; }
section.step > h2 { border-bottom: 2px solid #24476b; padding-top: 1em; }
h3 { margin-top: 1.5em; }
figure { margin: 1.2em 0; overflow-x: auto; }
figcaption { font-weight: 600; margin-bottom: 0.4em; }
table { border-collapse: collapse; font-size: 0.85em; }
th, td { padding: 0.15em 0.6em; border-bottom: 1px solid #e3e3e3; }
th { background: #eef2f6; text-align: right; }
th.text, td.text { text-align: left; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
tr.summary td { border-top: 2px solid #999; font-weight: 600; }
p.note { font-size: 0.85em; color: #333; margin: 0.3em 0; }
pre.preface { background: #f7f7f7; padding: 0.8em; font-size: 0.85em; }
svg.chart, svg.legend { max-width: 100%; height: auto; }
.exit { font-size: 0.9em; color: #555; }
.log { font-family: monospace; font-size: 0.85em; margin: 0.2em 0; color: #555; }
.log.warning { color: #8a5a00; }
.log.error { color: #b00020; }
)";

}  // namespace

std::string HtmlSink::anchor() { return fmt::format("o{}", ++next_id_); }

void HtmlSink::begin_step(const std::string& proc, int line) {
  ++steps_;
  step_tables_ = 0;
  in_step_ = true;
  const std::string id = anchor();
  const std::string text = fmt::format("Step {}: PROC {} (line {})", steps_, proc, line);
  toc_.push_back({0, id, text});
  body_ += fmt::format("<section class=\"step\"><h2 id=\"{}\">{}</h2>\n", id, html_escape(text));
}

void HtmlSink::end_step(int exit_level) {
  // Groups skipped for a data error of their own leave the others adjusted.
  const char* outcome = exit_level <= 4 ? ""
                        : exit_level == exit_level::kGroupDataError && step_tables_ > 0
                            ? ": BY groups with a data error were skipped, the others adjusted (see the log)"
                            : ": the step failed (see the log)";
  body_ += fmt::format("<p class=\"exit\">Exit level {}{}</p></section>\n", exit_level, outcome);
  in_step_ = false;
}

void HtmlSink::log_message(const LogEntry& entry) {
  if (!in_step_) return;
  const char* severity = entry.severity == Severity::Error     ? "error"
                         : entry.severity == Severity::Warning ? "warning"
                                                               : "note";
  std::string subject;
  if (!entry.group.empty()) {
    subject = std::string(entry.group);
    if (!entry.variable.empty()) (subject += ", variable ") += entry.variable;
    subject += ": ";
  }
  body_ += fmt::format("<p class=\"log {}\">{}{}{}</p>\n", severity, severity_prefix(entry.severity),
                       html_escape(subject), html_escape(entry.text));
}

void HtmlSink::open_group(const std::vector<OdsGroup>& path) {
  const std::string id = anchor();
  const OdsGroup& g = path.back();
  const int depth = static_cast<int>(path.size());
  const std::string text = g.label.empty() ? g.name : g.label;
  toc_.push_back({depth, id, text});
  const int h = std::min(3 + depth - 1, 6);
  body_ += fmt::format("<section><h{} id=\"{}\">{}</h{}>\n", h, id, html_escape(text), h);
}

void HtmlSink::close_group(const std::vector<OdsGroup>& /*path*/) { body_ += "</section>\n"; }

void HtmlSink::table(const OdsTable& t) {
  ++step_tables_;
  if (t.template_path == "lum.x11.preface" || t.template_path == "lum.x11.weights") {
    if (!t.title.empty()) body_ += "<p><strong>" + html_escape(t.title) + "</strong></p>\n";
    body_ += "<pre class=\"preface\">";
    for (const auto& row : t.rows)
      if (!row.empty())
        if (const auto* s = std::get_if<std::string>(&row.front())) body_ += html_escape(*s) + "\n";
    body_ += "</pre>\n";
    return;
  }
  const std::string id = anchor();
  const std::string caption = t.name.empty() || t.name == "XXX" ? t.title : t.name + "  " + t.title;
  toc_.push_back({static_cast<int>(t.path.size()) + 1, id, caption.empty() ? t.template_path : caption});
  body_ += fmt::format("<figure id=\"{}\"><figcaption>{}</figcaption>\n", id, html_escape(caption));
  if (starts_with(t.template_path, "lum.x11.chart")) {
    chart(t);
  } else if (starts_with(t.template_path, "lum.x11.month.type") || starts_with(t.template_path, "lum.x11.qtr.type")) {
    month_by_year(t);
  } else {
    plain(t);
  }
  for (const auto& note : t.notes) body_ += "<p class=\"note\">" + html_escape(note) + "</p>\n";
  body_ += "</figure>\n";
}

void HtmlSink::month_by_year(const OdsTable& t) {
  const std::string summary_label = entry(t, "summary");
  const std::string sum_dec = entry(t, "summary_decimals");
  body_ += "<table><thead><tr>";
  std::vector<std::size_t> shown;
  for (std::size_t c = 0; c < t.columns.size(); ++c) {
    if (t.columns[c].name == "ControlVar") continue;
    if (t.columns[c].name == "Stat" && t.columns[c].label.empty()) continue;
    shown.push_back(c);
    body_ += "<th>" + html_escape(t.columns[c].label.empty() ? t.columns[c].name : t.columns[c].label) + "</th>";
  }
  body_ += "</tr></thead><tbody>\n";
  for (const auto& row : t.rows) {
    const auto* year = std::get_if<double>(&row.front());
    const bool summary = year != nullptr && *year < 0;
    body_ += summary ? "<tr class=\"summary\">" : "<tr>";
    for (std::size_t c : shown) {
      std::string text;
      if (c == 0) {
        text = summary ? summary_label : format_cell(row[c], 0);
      } else if (!(summary && t.columns[c].name == "Stat")) {
        text = format_cell(row[c], summary && !sum_dec.empty() ? std::stoi(sum_dec) : t.columns[c].decimals);
      }
      body_ += "<td class=\"num\">" + html_escape(text) + "</td>";
    }
    body_ += "</tr>\n";
  }
  body_ += "</tbody></table>\n";
}

void HtmlSink::plain(const OdsTable& t) {
  if (t.columns.empty()) return;
  body_ += "<table><thead><tr>";
  for (const auto& c : t.columns)
    body_ += fmt::format("<th class=\"{}\">{}</th>", c.type == ColType::Num ? "num" : "text",
                         html_escape(c.label.empty() ? c.name : c.label));
  body_ += "</tr></thead><tbody>\n";
  for (const auto& row : t.rows) {
    body_ += "<tr>";
    for (std::size_t c = 0; c < row.size(); ++c)
      body_ += fmt::format("<td class=\"{}\">{}</td>", t.columns[c].type == ColType::Num ? "num" : "text",
                           html_escape(format_cell(row[c], t.columns[c].decimals)));
    body_ += "</tr>\n";
  }
  body_ += "</tbody></table>\n";
}

void HtmlSink::chart(const OdsTable& t) { body_ += svg_chart(t); }

bool HtmlSink::write(std::FILE* out) const {
  std::string head = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                     "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                     "<title>x11sa report</title>\n<style>";
  head += kStyle;
  head += "</style>\n</head>\n<body>\n<header><h1>x11sa report</h1></header>\n<nav id=\"toc\"><h2>Contents</h2>\n";
  int depth = -1;
  for (const auto& e : toc_) {
    while (depth < e.depth) {
      head += "<ul>";
      ++depth;
    }
    while (depth > e.depth) {
      head += "</ul>";
      --depth;
    }
    head += fmt::format("<li><a href=\"#{}\">{}</a></li>\n", e.anchor, html_escape(e.text));
  }
  while (depth-- >= 0) head += "</ul>";
  head += "</nav>\n<main>\n";
  const std::string tail = "</main>\n</body>\n</html>\n";
  bool ok = std::fwrite(head.data(), 1, head.size(), out) == head.size();
  ok = ok && std::fwrite(body_.data(), 1, body_.size(), out) == body_.size();
  ok = ok && std::fwrite(tail.data(), 1, tail.size(), out) == tail.size();
  return ok && std::fflush(out) == 0;
}

}  // namespace x11sa
