#include "render/listing_sink.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <fmt/format.h>

#include "host/host.h"
#include "render/line_printer_chart.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

bool starts_with(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

std::string entry(const OdsTable& t, std::string_view key) {
  for (const auto& [k, v] : t.entries)
    if (k == key) return v;
  return {};
}

// Index of the column of a month-by-year table, or -1.
int column_index(const OdsTable& t, std::string_view name) {
  for (std::size_t i = 0; i < t.columns.size(); ++i)
    if (t.columns[i].name == name) return static_cast<int>(i);
  return -1;
}

}  // namespace

void X11ListingSink::begin_step(const std::string& proc, int line) {
  release_held();
  ListingSink::begin_step(proc, line);
}

void X11ListingSink::end_step(int exit_level) {
  release_held();
  ListingSink::end_step(exit_level);
}

void X11ListingSink::open_group(const std::vector<OdsGroup>& path) {
  release_held();
  ListingSink::open_group(path);
}

void X11ListingSink::close_group(const std::vector<OdsGroup>& path) {
  release_held();
  ListingSink::close_group(path);
}

void X11ListingSink::release_held(const OdsTable* next) {
  if (!held_) return;
  const OdsTable held = std::move(*held_);
  held_.reset();
  start_table(held);
  if (next != nullptr && next->page_title == held.page_title)
    listing_.keep_together(static_cast<int>(plain_lines(held) + plain_lines(*next)));
  ListingSink::table(held);
}

void X11ListingSink::table(const OdsTable& table) {
  if (!listing_.enabled()) return;
  const std::string_view tp = table.template_path;
  enum class Layout { MonthByYear, Preface, Weights, Chart, Plain };
  const Layout layout = starts_with(tp, "lum.x11.month.type") || starts_with(tp, "lum.x11.qtr.type") ? Layout::MonthByYear
                        : tp == "lum.x11.preface"                                                    ? Layout::Preface
                        : tp == "lum.x11.weights"                                                    ? Layout::Weights
                        : starts_with(tp, "lum.x11.chart")                                           ? Layout::Chart
                                                                                                     : Layout::Plain;
  // A convergence summary and the model report after it read as one: the
  // summary never ends a page that the estimates it describes do not share.
  release_held(layout == Layout::Plain ? &table : nullptr);
  if (tp == "lum.x11.ArimaConvergeSum") {
    held_ = table;
    return;
  }
  switch (layout) {
    case Layout::MonthByYear: month_by_year(table); break;
    case Layout::Preface: preface(table); break;
    case Layout::Weights: weight_list(table); break;
    case Layout::Chart: chart(table); break;
    case Layout::Plain: ListingSink::table(table); break;
  }
}

void X11ListingSink::month_by_year(const OdsTable& t) {
  start_table(t);
  const int year_col = column_index(t, "Year");
  const int stat_col = column_index(t, "Stat");
  const int control_col = column_index(t, "ControlVar");
  std::vector<std::size_t> periods;
  for (int c = 0; c < static_cast<int>(t.columns.size()); ++c)
    if (c != year_col && c != stat_col && c != control_col) periods.push_back(static_cast<std::size_t>(c));
  const int dec = t.columns.size() > 1 ? t.columns[1].decimals : -1;
  const std::string sum_dec = entry(t, "summary_decimals");
  const int summary_dec = sum_dec.empty() ? dec : std::stoi(sum_dec);
  const int stat_dec = stat_col >= 0 ? t.columns[static_cast<std::size_t>(stat_col)].decimals : dec;
  const std::string stat_label = entry(t, "stat_type");
  const std::string summary_label = entry(t, "summary");
  const bool has_stat = !stat_label.empty();
  auto summary_row = [&](const std::vector<OdsCell>& row) {
    const auto* y = std::get_if<double>(&row[static_cast<std::size_t>(year_col)]);
    return y != nullptr && *y < 0;
  };

  // Every number is formatted once, right-aligned at the end of a slot of
  // `slot` blanks: the periods of a row, then its statistic. A line then
  // takes each cell as one fixed-size copy of its slot, right to left, so
  // that the blanks a copy spills to the left are overwritten by the cell
  // (or the row label) written after it. Slots are wider than any text.
  const std::size_t per_row = periods.size() + (has_stat ? 1 : 0);
  const std::size_t ncells = t.rows.size() * per_row;
  std::size_t slot = 32;
  static_assert(kFixedFastWrite <= 32, "the fast writer works within one slot, writing blanks before its text");
  std::size_t longest = 0;
  for (;;) {
    slots_.assign(ncells * slot, ' ');
    longest = 0;
    auto put = [&](const OdsCell& cell, int d, std::size_t k) {
      const auto* v = std::get_if<double>(&cell);
      if (v == nullptr || is_missing(*v)) return;
      char* end = slots_.data() + (k + 1) * slot;
      std::size_t len = 0;
      if (char* p = std::isfinite(*v) ? write_fixed_backward(end, *v, d) : nullptr) {
        len = static_cast<std::size_t>(end - p);
      } else {
        year_.clear();
        append_cell(year_, cell, d);
        len = year_.size();
        if (len < slot) std::memcpy(end - len, year_.data(), len);
      }
      longest = std::max(longest, len);
    };
    std::size_t k = 0;
    for (const auto& row : t.rows) {
      const int d = summary_row(row) ? summary_dec : dec;
      for (const std::size_t c : periods) put(row[c], d, k++);
      if (has_stat) put(row[static_cast<std::size_t>(stat_col)], stat_dec, k++);
    }
    if (longest < slot) break;
    slot = (longest / 16 + 1) * 16;  // a text too long for its slot: wider slots, once
  }
  // Column width: the widest number, and at least 8.
  const std::size_t width = std::max<std::size_t>(8, longest) + 1;
  const std::size_t label_width = std::max<std::size_t>(6, summary_label.size() + 1);
  // Periods per panel: as many as fit the line with the statistic column.
  const std::size_t line = static_cast<std::size_t>(listing_.linesize());
  const std::size_t room = line > label_width + (has_stat ? width : 0) ? line - label_width - (has_stat ? width : 0) : 0;
  const std::size_t per_panel = std::max<std::size_t>(1, room / width);

  const std::size_t panels = (periods.size() + per_panel - 1) / per_panel;
  const bool has_summary = std::any_of(t.rows.begin(), t.rows.end(), summary_row);
  const std::string name = t.name == "XXX" ? std::string() : t.name;
  const std::string title = name.empty() ? t.title : fmt::format("{}   {}", name, t.title);
  // A table starts on a new page rather than break across two.
  int note_lines = 0;
  for (const auto& note : t.notes) note_lines += listing_.paragraph_lines(note);
  const int title_lines = static_cast<int>(centred_lines(listing_, title));
  listing_.keep_together(1 + title_lines + static_cast<int>(panels * (2 + t.rows.size() + (has_summary ? 1 : 0))) +
                         (t.notes.empty() ? 0 : 1 + note_lines));
  // One longer than a page keeps at least its title with its first row.
  listing_.keep_together(1 + title_lines + 3);
  listing_.skip(1);
  centred(listing_, title);

  std::string& text = line_;
  auto right = [&text](std::string_view s, std::size_t w) {
    if (s.size() < w) text.append(w - s.size(), ' ');
    text += s;
  };
  // The cells of row r from period `from` to `to` (and the statistic when
  // `stat`), after the row label now in `text`, as one line.
  auto put_cells = [&](std::size_t r, std::size_t from, std::size_t to, bool stat) {
    const std::size_t label = text.size();
    const std::size_t count = to - from + (stat ? 1 : 0);
    row_.resize(slot + label + count * width);
    char* cells = row_.data() + slot + label;
    const char* row_slots = slots_.data() + r * per_row * slot;
    for (std::size_t j = count; j-- > 0;) {
      const std::size_t k = stat && j == count - 1 ? periods.size() : from + j;
      char* cell_end = cells + (j + 1) * width;
      const char* slot_end = row_slots + (k + 1) * slot;
      if (slot == 32) {
        std::memcpy(cell_end - 32, slot_end - 32, 32);
      } else {
        std::memcpy(cell_end - slot, slot_end - slot, slot);
      }
    }
    std::memcpy(row_.data() + slot, text.data(), label);
    listing_.line(std::string_view(row_.data() + slot, label + count * width));
  };
  for (std::size_t first = 0; first < periods.size(); first += per_panel) {
    const std::size_t last = std::min(periods.size(), first + per_panel);
    const bool stat_here = has_stat && last == periods.size();
    listing_.skip(1);
    text.clear();
    right(t.columns[static_cast<std::size_t>(year_col)].label, label_width - 2);
    text += "  ";
    for (std::size_t k = first; k < last; ++k) right(t.columns[periods[k]].label, width);
    if (stat_here) right(stat_label, width);
    listing_.line(text);
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
      const auto& row = t.rows[r];
      const bool summary = summary_row(row);
      if (summary) listing_.line(std::string(label_width - 2, '-'));
      text.clear();
      if (summary) {
        right(summary_label, label_width - 2);
      } else {
        const auto* year = std::get_if<double>(&row[static_cast<std::size_t>(year_col)]);
        year_.clear();
        if (year != nullptr) append_fixed(year_, *year, 0);
        right(year_, label_width - 2);
      }
      text += "  ";
      put_cells(r, first, last, stat_here && !summary);
    }
  }
  if (!t.notes.empty()) listing_.skip(1);
  for (const auto& note : t.notes) listing_.paragraph(note);
}

void X11ListingSink::chart(const OdsTable& t) {
  start_table(t);
  listing_.skip(1);
  centred(listing_, t.title);
  for (const auto& [k, v] : t.entries)
    if (k == "headings") {
      std::size_t from = 0;
      while (from <= v.size()) {
        const std::size_t nl = std::min(v.find('\n', from), v.size());
        if (nl > from) centred(listing_, v.substr(from, nl - from));
        from = nl + 1;
      }
    }
  listing_.skip(1);
  TextLines& lines = chart_;
  line_printer_chart(t, listing_.linesize(), lines);
  // The axis repeats at the top of a page the chart runs onto.
  const std::size_t head = std::min<std::size_t>(2, lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i >= 2 && listing_.lines_left() < 4 && i + 2 < lines.size()) {
      listing_.new_page();
      for (std::size_t h = 0; h < head; ++h) listing_.line(lines[h]);
    }
    listing_.line(lines[i]);
  }
}

void X11ListingSink::weight_list(const OdsTable& t) {
  start_table(t);
  // A new page when fewer than 12 lines are left, else one blank line.
  if (listing_.lines_left() < 12) {
    listing_.new_page();
  } else {
    listing_.skip(1);
  }
  listing_.paragraph(t.title);
  for (const auto& row : t.rows)
    if (!row.empty())
      if (const auto* s = std::get_if<std::string>(&row.front())) listing_.paragraph(*s);
}

void X11ListingSink::preface(const OdsTable& t) {
  listing_.set_titles(t.page_title.empty() ? std::vector<std::string>{} : std::vector<std::string>{t.page_title});
  listing_.new_page();
  for (const auto& row : t.rows)
    if (!row.empty())
      if (const auto* s = std::get_if<std::string>(&row.front())) listing_.paragraph(*s);
}

}  // namespace x11sa
