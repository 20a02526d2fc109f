#include "host/ods.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "host/exit.h"
#include "host/host.h"
#include "x11sa/missing.h"

namespace x11sa {

void OdsManager::begin_step(const std::string& proc, int line) {
  path_.clear();
  open_ = false;
  for (OdsSink* s : sinks_) s->begin_step(proc, line);
}

void OdsManager::end_step(int exit_level) {
  // A step that ended early may leave groups open; close them in order.
  open_ = false;
  while (!path_.empty()) {
    for (OdsSink* s : sinks_) s->close_group(path_);
    path_.pop_back();
  }
  for (OdsSink* s : sinks_) s->end_step(exit_level);
}

int OdsManager::open_group(std::string name, std::string label) {
  if (open_) return -1;
  path_.push_back(OdsGroup{std::move(name), std::move(label)});
  for (OdsSink* s : sinks_) s->open_group(path_);
  return 0;
}

int OdsManager::close_group() {
  if (open_ || path_.empty()) return -2;
  for (OdsSink* s : sinks_) s->close_group(path_);
  path_.pop_back();
  return 0;
}

int OdsManager::open_table(std::string template_path, std::string name, std::string title) {
  if (open_) return -3;
  table_ = OdsTable{};
  table_.template_path = std::move(template_path);
  table_.name = std::move(name);
  table_.title = std::move(title);
  table_.path = path_;
  table_.page_title = page_title_;
  open_ = true;
  return 0;
}

int OdsManager::set_entry(std::string key, std::string value) {
  if (!open_) return -4;
  table_.entries.emplace_back(std::move(key), std::move(value));
  return 0;
}

int OdsManager::add_column(OdsColumn column) {
  if (!open_ || !table_.rows.empty()) return -5;
  table_.columns.push_back(std::move(column));
  return 0;
}

int OdsManager::add_row(std::vector<OdsCell> cells) {
  if (!open_) return -6;
  if (cells.size() != table_.columns.size()) return -7;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const bool is_text = std::holds_alternative<std::string>(cells[i]);
    if (is_text != (table_.columns[i].type == ColType::Char) &&
        !std::holds_alternative<std::monostate>(cells[i]))
      return -8;
  }
  table_.rows.push_back(std::move(cells));
  return 0;
}

int OdsManager::add_note(std::string note) {
  if (!open_) return -9;
  table_.notes.push_back(std::move(note));
  return 0;
}

int OdsManager::close_table() {
  if (!open_) return -10;
  open_ = false;
  for (OdsSink* s : sinks_) s->table(table_);
  return 0;
}

void ods_check(int status) {
  if (status < 0) xebug_exit(fmt::format("output-object service failed with status {}", status));
}

std::string format_cell(const OdsCell& cell, int decimals) {
  if (const auto* s = std::get_if<std::string>(&cell)) return *s;
  const auto* v = std::get_if<double>(&cell);
  if (v == nullptr || is_missing(*v)) return "";
  if (!std::isfinite(*v)) return *v > 0 ? "Infinity" : (*v < 0 ? "-Infinity" : "NaN");
  if (decimals >= 0) return fmt::format("{:.{}f}", *v, decimals);
  // Best format: integers plainly, others with up to 10 significant digits.
  if (std::fabs(*v) < 1e15 && std::nearbyint(*v) == *v) return fmt::format("{:.0f}", *v);
  return fmt::format("{:.10g}", *v);
}

void centred(Listing& listing, std::string_view text) {
  const int margin = std::max(0, (listing.linesize() - static_cast<int>(text.size())) / 2);
  listing.line(std::string(static_cast<std::size_t>(margin), ' ') + std::string(text));
}

void ListingSink::open_group(const std::vector<OdsGroup>& /*path*/) {}

void ListingSink::close_group(const std::vector<OdsGroup>& /*path*/) {}

void ListingSink::start_table(const OdsTable& table) {
  if (!table.page_title.empty() &&
      (listing_.titles().empty() || listing_.titles().front() != table.page_title)) {
    listing_.set_titles({table.page_title});
    listing_.new_page();
  }
}

void ListingSink::table(const OdsTable& table) {
  if (!listing_.enabled()) return;
  start_table(table);
  const std::size_t ncol = table.columns.size();
  if (ncol == 0) {
    listing_.skip(1);
    if (!table.title.empty()) centred(listing_, table.title);
    for (const auto& note : table.notes) listing_.line(note);
    return;
  }
  // Cell texts and column widths.
  std::vector<std::vector<std::string>> text(table.rows.size(), std::vector<std::string>(ncol));
  std::vector<std::size_t> width(ncol, 0);
  for (std::size_t c = 0; c < ncol; ++c) {
    const auto& col = table.columns[c];
    width[c] = (col.label.empty() ? col.name : col.label).size();
  }
  for (std::size_t r = 0; r < table.rows.size(); ++r)
    for (std::size_t c = 0; c < ncol; ++c) {
      text[r][c] = format_cell(table.rows[r][c], table.columns[c].decimals);
      width[c] = std::max(width[c], text[r][c].size());
    }
  // Lay the columns out in panels that fit the line; the first column
  // repeats in every panel as the row label.
  const std::size_t line = static_cast<std::size_t>(listing_.linesize());
  {
    std::size_t panels = 0;
    for (std::size_t c = ncol > 1 ? 1 : 0, used = 0; c < ncol; ++c) {
      if (used == 0 || used + 2 + width[c] > line) {
        ++panels;
        used = (ncol > 1 ? width[0] : 0);
      }
      used += 2 + width[c];
    }
    listing_.keep_together(static_cast<int>(2 + std::max<std::size_t>(panels, 1) * (2 + table.rows.size()) +
                                            table.notes.size()));
  }
  std::size_t start = ncol > 1 ? 1 : 0;
  bool first_panel = true;
  listing_.skip(1);
  if (!table.title.empty()) centred(listing_, table.title);
  while (first_panel || start < ncol) {
    std::vector<std::size_t> cols;
    std::size_t used = 0;
    if (ncol > 1) {
      cols.push_back(0);
      used = width[0];
    }
    while (start < ncol && (cols.size() <= 1 || used + 2 + width[start] <= line)) {
      used += 2 + width[start];
      cols.push_back(start++);
    }
    if (ncol <= 1) start = ncol;
    first_panel = false;
    listing_.skip(1);
    std::string head;
    for (std::size_t k = 0; k < cols.size(); ++k) {
      const auto& col = table.columns[cols[k]];
      const std::string& h = col.label.empty() ? col.name : col.label;
      if (k > 0) head += "  ";
      head += col.type == ColType::Num ? fmt::format("{:>{}}", h, width[cols[k]])
                                       : fmt::format("{:<{}}", h, width[cols[k]]);
    }
    listing_.line(head);
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
      std::string row;
      for (std::size_t k = 0; k < cols.size(); ++k) {
        const std::size_t c = cols[k];
        if (k > 0) row += "  ";
        row += table.columns[c].type == ColType::Num ? fmt::format("{:>{}}", text[r][c], width[c])
                                                     : fmt::format("{:<{}}", text[r][c], width[c]);
      }
      listing_.line(row);
    }
  }
  for (const auto& note : table.notes) listing_.line(note);
}

}  // namespace x11sa
