// A chart object drawn in characters for the listing, as line printers did.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/ods.h"

namespace x11sa {

// Lines of text in one buffer: line k spans [ends[k-1], ends[k]).
struct TextLines {
  std::string text;
  std::vector<std::size_t> ends;

  void clear() {
    text.clear();
    ends.clear();
  }
  [[nodiscard]] std::size_t size() const noexcept { return ends.size(); }
  [[nodiscard]] std::string_view operator[](std::size_t k) const noexcept {
    const std::size_t from = k == 0 ? 0 : ends[k - 1];
    return std::string_view(text).substr(from, ends[k] - from);
  }
  // Ends the line being written, without its trailing blanks.
  void end_line() {
    const std::size_t from = ends.empty() ? 0 : ends.back();
    while (text.size() > from && text.back() == ' ') text.pop_back();
    ends.push_back(text.size());
  }
};

// The line-printer form of a chart object, within `linesize` columns: the
// value axis on top and at the bottom, one line per row, each series drawn
// with its character of the "symbols" entry (series beyond it are left out;
// without the entry all are drawn, as '*'). Replaces `out`.
void line_printer_chart(const OdsTable& chart, int linesize, TextLines& out);
[[nodiscard]] std::vector<std::string> line_printer_chart(const OdsTable& chart, int linesize);

}  // namespace x11sa
