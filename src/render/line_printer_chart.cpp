#include "render/line_printer_chart.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "numeric/axis_scale.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

// The value axis: a line of tick values over a line of tick marks (the
// other way round at the bottom), each line trimmed of trailing blanks.
void axis(const AxisScale& sc, int width, bool top, TextLines& out) {
  std::string values(static_cast<std::size_t>(width), ' ');
  std::string ticks(static_cast<std::size_t>(width), ' ');
  for (int k = 0; k <= sc.ticks; ++k) {
    const int col = 7 + k * sc.tick_spacing;
    if (col < width) ticks[static_cast<std::size_t>(col)] = '.';
    std::string label = fmt::format("{:.6g}", sc.low + k * sc.increment);
    if (label.size() > 6) label = fmt::format("{:.2g}", sc.low + k * sc.increment);
    const int at = 2 + k * sc.tick_spacing;
    for (std::size_t c = 0; c < label.size() && at + static_cast<int>(c) < width; ++c)
      values[static_cast<std::size_t>(at) + c] = label[c];
  }
  out.text += top ? values : ticks;
  out.end_line();
  out.text += top ? ticks : values;
  out.end_line();
}

// Appends every line of `lines` to `out`.
void append_lines(const TextLines& lines, TextLines& out) {
  for (std::size_t k = 0; k < lines.size(); ++k) {
    out.text += lines[k];
    out.ends.push_back(out.text.size());
  }
}

}  // namespace

void line_printer_chart(const OdsTable& t, int linesize, TextLines& out) {
  out.clear();
  int panel_col = -1;
  std::vector<std::size_t> series;
  for (std::size_t c = 1; c < t.columns.size(); ++c) {
    if (t.columns[c].name == "Panel") {
      panel_col = static_cast<int>(c);
    } else if (t.columns[c].type == ColType::Num) {
      series.push_back(c);
    }
  }
  std::string_view symbols;
  for (const auto& [k, v] : t.entries)
    if (k == "symbols") symbols = v;
  // The series with a symbol, when the chart names them; the others are
  // for the graphic charts only.
  const std::size_t nseries = symbols.empty() ? series.size() : std::min(series.size(), symbols.size());
  // The range of every value of the chart, kept in locals while it runs
  // (through memory, each step would wait on the store of the last).
  bool any = false;
  double low = 0.0;
  double high = 0.0;
  for (const auto& row : t.rows)
    for (std::size_t k = 0; k < nseries; ++k) {
      const auto* v = std::get_if<double>(&row[series[k]]);
      if (v == nullptr) continue;
      low = any ? std::min(low, *v) : *v;
      high = any ? std::max(high, *v) : *v;
      any = true;
    }
  if (!any) return;
  const auto scale = choose_axis_scale(low, high, linesize - 8, 8);
  if (!scale) return;
  const AxisScale& sc = *scale;
  const int width = std::min(linesize, 7 + sc.ticks * sc.tick_spacing + 1);
  // The axes are the same on every panel.
  TextLines top_axis;
  TextLines bottom_axis;
  axis(sc, width, true, top_axis);
  axis(sc, width, false, bottom_axis);
  std::string_view panel;
  std::string label;
  for (const auto& row : t.rows) {
    if (panel_col >= 0) {
      const auto* name = std::get_if<std::string>(&row[static_cast<std::size_t>(panel_col)]);
      const std::string_view this_panel = name != nullptr ? std::string_view(*name) : std::string_view();
      if (this_panel != panel) {
        if (!panel.empty()) {
          append_lines(bottom_axis, out);
          for (int k = 0; k < 3; ++k) out.ends.push_back(out.text.size());
        }
        panel = this_panel;
        out.text += "  ";
        out.text += panel;
        out.ends.push_back(out.text.size());
        append_lines(top_axis, out);
      }
      // A period's line is plotted only when all its values are there.
      bool complete = true;
      for (std::size_t k = 0; k < nseries; ++k) complete = complete && std::holds_alternative<double>(row[series[k]]);
      if (!complete) continue;
    } else if (out.size() == 0) {
      append_lines(top_axis, out);
    }
    const std::size_t begin = out.text.size();
    out.text.append(static_cast<std::size_t>(width), ' ');
    char* line = out.text.data() + begin;
    std::string_view label_text;
    if (const auto* text = std::get_if<std::string>(&row[0])) {
      label_text = *text;
    } else {
      label.clear();
      append_cell(label, row[0], 0);
      label_text = label;
    }
    std::size_t used = std::min<std::size_t>({label_text.size(), 6, static_cast<std::size_t>(width)});
    std::copy_n(label_text.data(), used, line);
    for (std::size_t k = 0; k < nseries; ++k) {
      const auto* v = std::get_if<double>(&row[series[k]]);
      if (v == nullptr) continue;
      const long col = std::lround((*v - sc.low) / sc.unit) + 7;
      if (col < 7 || col >= width) continue;
      char& cell = line[col];
      const char sym = k < symbols.size() ? symbols[k] : '*';
      cell = cell == ' ' ? sym : '*';
      used = std::max(used, static_cast<std::size_t>(col) + 1);
    }
    // Nothing is drawn past `used`: the blanks after it go at once.
    out.text.resize(begin + used);
    out.end_line();
  }
  append_lines(bottom_axis, out);
}

std::vector<std::string> line_printer_chart(const OdsTable& t, int linesize) {
  TextLines lines;
  line_printer_chart(t, linesize, lines);
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (std::size_t k = 0; k < lines.size(); ++k) out.emplace_back(lines[k]);
  return out;
}

}  // namespace x11sa
