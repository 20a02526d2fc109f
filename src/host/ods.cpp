#include "host/ods.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include <fmt/format.h>

#include "host/exit.h"
#include "host/host.h"
#include "host/recording.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

// Output objects built out of order are a fault of the report that builds
// them: the step ends as an internal error naming what went wrong.
[[noreturn]] void misuse(const std::string& what) { xebug_exit("output objects: " + what); }

}  // namespace

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

void OdsManager::open_group(std::string name, std::string label) {
  if (open_) misuse(fmt::format("group {} opened inside table {}", name, table_.name));
  path_.push_back(OdsGroup{std::move(name), std::move(label)});
  if (recording_ != nullptr) {
    recording_->open_group(path_.back().name, path_.back().label);
    return;
  }
  for (OdsSink* s : sinks_) s->open_group(path_);
}

void OdsManager::close_group() {
  if (open_) misuse(fmt::format("a group closed inside table {}", table_.name));
  if (path_.empty()) misuse("a group closed that was not open");
  if (recording_ != nullptr) {
    recording_->close_group();
  } else {
    for (OdsSink* s : sinks_) s->close_group(path_);
  }
  path_.pop_back();
}

void OdsManager::set_page_title(std::string title) {
  if (recording_ != nullptr) recording_->page_title(title);
  page_title_ = std::move(title);
}

void OdsManager::replay_table(OdsTable& table) {
  if (open_) misuse(fmt::format("table {} replayed inside table {}", table.name, table_.name));
  table.path = path_;
  table.page_title = page_title_;
  for (OdsSink* s : sinks_) s->table(table);
}

void OdsManager::open_table(std::string template_path, std::string name, std::string title) {
  if (open_) misuse(fmt::format("table {} opened inside table {}", name, table_.name));
  // Cleared member by member: the vectors keep their storage for this table.
  table_.template_path = std::move(template_path);
  table_.name = std::move(name);
  table_.title = std::move(title);
  table_.entries.clear();
  table_.columns.clear();
  table_.rows.clear();
  table_.notes.clear();
  table_.path = path_;
  table_.page_title = page_title_;
  open_ = true;
}

void OdsManager::set_entry(std::string key, std::string value) {
  if (!open_) misuse(fmt::format("entry {} set outside a table", key));
  table_.entries.emplace_back(std::move(key), std::move(value));
}

void OdsManager::add_column(OdsColumn column) {
  if (!open_) misuse(fmt::format("column {} added outside a table", column.name));
  if (!table_.rows.empty()) misuse(fmt::format("column {} added to table {} after its rows", column.name, table_.name));
  table_.columns.push_back(std::move(column));
}

void OdsManager::add_row(std::vector<OdsCell> cells) {
  if (!open_) misuse("a row added outside a table");
  if (cells.size() != table_.columns.size())
    misuse(
        fmt::format("a row of {} cells in table {} of {} columns", cells.size(), table_.name, table_.columns.size()));
  // A present cell's kind matches its column: a number, or a text.
  const OdsColumn* column = table_.columns.data();
  for (const OdsCell& cell : cells) {
    const std::size_t kind = cell.index();
    if (kind != 0 && (kind == 2) != (column->type == ColType::Char))
      misuse(fmt::format("a cell of the wrong kind in column {} of table {}", column->name, table_.name));
    ++column;
  }
  table_.rows.push_back(std::move(cells));
}

std::vector<OdsCell> OdsManager::new_row() {
  if (spare_rows_.empty()) return {};
  std::vector<OdsCell> row = std::move(spare_rows_.back());
  spare_rows_.pop_back();
  return row;
}

void OdsManager::add_note(std::string note) {
  if (!open_) misuse("a note added outside a table");
  table_.notes.push_back(std::move(note));
}

void OdsManager::close_table() {
  if (!open_) misuse("a table closed that was not open");
  open_ = false;
  if (recording_ != nullptr) {
    // The recording keeps the table; its rows leave no spares behind.
    recording_->table(std::move(table_));
    table_ = OdsTable{};
    return;
  }
  for (OdsSink* s : sinks_) s->table(table_);
  // The rows go back to the spares, up to a bound that keeps a long table
  // from holding its memory for the rest of the run.
  constexpr std::size_t kMaxSpareRows = 1024;
  for (auto& row : table_.rows) {
    if (spare_rows_.size() >= kMaxSpareRows) break;
    row.clear();
    spare_rows_.push_back(std::move(row));
  }
  table_.rows.clear();
}

namespace {

// "00" to "99": digits are written two at a time.
constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Writes the digits of `n` ending at `end`, with a point before the last
// `decimals` of them and at least one digit before the point; returns the first.
char* write_fixed_digits(char* end, std::uint64_t n, int decimals) {
  char* p = end;
  int left = decimals;
  for (; left >= 2; left -= 2, n /= 100) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[static_cast<std::size_t>(2 * (n % 100))], 2);
  }
  if (left == 1) {
    *--p = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  if (decimals > 0) *--p = '.';
  for (; n >= 100; n /= 100) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[static_cast<std::size_t>(2 * (n % 100))], 2);
  }
  if (n >= 10) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[static_cast<std::size_t>(2 * n)], 2);
  } else {
    *--p = static_cast<char>('0' + n);
  }
  return p;
}

std::uint64_t digit_pair(std::uint32_t k) {
  std::uint16_t pair;
  std::memcpy(&pair, &kDigitPairs[2 * k], 2);
  return pair;
}

// Below 10^8, the common case: the eight digits of n (with leading zeros)
// come from two independent halves into one machine word, and two 8-byte
// stores place them around the point. The word is built in a register, not
// in memory, so that no load waits on narrower stores. Writes the text and
// blanks before it, 17 characters at most, ending at `end`; returns the
// first character of the text.
char* write_small_fixed(char* end, std::uint32_t n, int decimals) {
  static constexpr std::uint32_t kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
  static_assert(std::endian::native == std::endian::little, "digit words are laid out little-endian");
  const std::uint32_t high = n / 10000;
  const std::uint32_t low = n - high * 10000;
  // Byte i of the word is the i-th of the eight digits.
  const std::uint64_t digits = digit_pair(high / 100) | digit_pair(high % 100) << 16 | digit_pair(low / 100) << 32 |
                               digit_pair(low % 100) << 48;
  // Digits of n, at least one: those of the smallest number with as many
  // bits, plus one when n reaches the next power of ten.
  static constexpr auto kDigitsOfBits = [] {
    std::array<std::uint8_t, 33> table{};
    for (int b = 1; b <= 32; ++b) {
      std::uint64_t v = std::uint64_t{1} << (b - 1);
      int d = 1;
      for (; v >= 10; v /= 10) ++d;
      table[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(d);
    }
    return table;
  }();
  const int guess = kDigitsOfBits[static_cast<std::size_t>(std::bit_width(n | 1U))];
  const int count = guess + (guess < 8 && n >= kPow10[guess] ? 1 : 0);
  const int whole = std::max(1, count - decimals);
  // Bytes before the last `shown` of a word become blanks: the text is
  // right-aligned in blanks, whatever the caller's buffer held.
  const auto blank_lead = [](std::uint64_t word, int shown) {
    if (shown >= 8) return word;
    const std::uint64_t keep = ~std::uint64_t{0} << (8U * static_cast<unsigned>(8 - shown));
    return (word & keep) | (0x2020202020202020U & ~keep);
  };
  if (decimals == 0) {
    const std::uint64_t text = blank_lead(digits, whole);
    std::memcpy(end - 8, &text, 8);
    return end - whole;
  }
  std::memcpy(end - 8, &digits, 8);  // the decimals are the last of these
  end[-decimals - 1] = '.';
  // The digits before the last `decimals`, preceded by zeros, end at the point.
  constexpr std::uint64_t kZeros = 0x3030303030303030U;
  const unsigned shift = 8U * static_cast<unsigned>(decimals);
  const std::uint64_t before_point = decimals >= 8 ? kZeros : (digits << shift) | (kZeros >> (64U - shift));
  const std::uint64_t text = blank_lead(before_point, whole);
  std::memcpy(end - decimals - 9, &text, 8);
  return end - decimals - 1 - whole;
}

}  // namespace

char* write_fixed_backward(char* end, double v, int decimals) noexcept {
  static constexpr double kScale[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  if (decimals < 0 || decimals > 9) return nullptr;
  // Scaling by an exact power of ten rounds once, by at most 2^-17 below
  // 1e11; a value more than 1e-4 from a rounding half rounds as the exact
  // value does.
  const double scaled = std::fabs(v) * kScale[decimals];
  if (!(scaled < 1e11)) return nullptr;
  // Adding 2^52 leaves no bits below the units: the sum is `scaled` rounded
  // to an integer, and its mantissa holds that integer.
  constexpr double kTwo52 = 4503599627370496.0;
  const double rounded = scaled + kTwo52;
  if (!(std::fabs(scaled - (rounded - kTwo52)) < 0.5 - 1e-4)) return nullptr;
  std::uint64_t bits;
  std::memcpy(&bits, &rounded, sizeof bits);
  const std::uint64_t n = bits & ((std::uint64_t{1} << 52) - 1);
  char* p = n < 100000000 && decimals <= 8 ? write_small_fixed(end, static_cast<std::uint32_t>(n), decimals)
                                           : write_fixed_digits(end, n, decimals);
  if (std::signbit(v)) *--p = '-';
  return p;
}

void append_fixed(std::string& out, double v, int decimals) {
  char digits[kFixedFastWrite + 8];
  char* end = digits + sizeof digits;
  if (const char* p = write_fixed_backward(end, v, decimals)) {
    out.append(p, static_cast<std::size_t>(end - p));
    return;
  }
  fmt::format_to(std::back_inserter(out), "{:.{}f}", v, decimals);
}

void append_cell(std::string& out, const OdsCell& cell, int decimals) {
  if (const auto* s = std::get_if<std::string>(&cell)) {
    out += *s;
    return;
  }
  const auto* v = std::get_if<double>(&cell);
  if (v == nullptr || is_missing(*v)) return;
  if (!std::isfinite(*v)) {
    out += *v > 0 ? "Infinity" : (*v < 0 ? "-Infinity" : "NaN");
  } else if (decimals >= 0) {
    append_fixed(out, *v, decimals);
  } else if (std::fabs(*v) < 1e15 && std::nearbyint(*v) == *v) {
    // Best format: integers plainly, others with up to 10 significant digits.
    append_fixed(out, *v, 0);
  } else {
    fmt::format_to(std::back_inserter(out), "{:.10g}", *v);
  }
}

std::string format_cell(const OdsCell& cell, int decimals) {
  std::string text;
  append_cell(text, cell, decimals);
  return text;
}

std::size_t text_width(std::string_view text) noexcept {
  // Characters, not bytes: continuation bytes of UTF-8 take no column.
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char ch) {
    return (static_cast<unsigned char>(ch) & 0xC0U) != 0x80U;
  }));
}

std::string_view first_columns(std::string_view text, std::size_t columns) noexcept {
  if (text.size() <= columns) return text;  // bytes are never fewer than characters
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0U) == 0x80U) continue;  // continues a character
    if (seen == columns) return text.substr(0, i);
    ++seen;
  }
  return text;
}

WrappedLine wrap_line(std::string_view text, std::size_t columns) noexcept {
  auto after_blanks = [&](std::size_t at) {
    const std::size_t next = text.find_first_not_of(' ', at);
    return next == std::string_view::npos ? std::string_view() : text.substr(next);
  };
  if (text.size() <= columns || text_width(text) <= columns) return {text, {}};
  const std::size_t lead = text.find_first_not_of(' ');
  if (lead == std::string_view::npos) return {first_columns(text, columns), {}};
  // The break: the first blank of the last run of blanks that starts within
  // the line after a word, or a blank just past its end.
  std::size_t at = std::string_view::npos;
  std::size_t seen = 0;
  for (std::size_t i = lead; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0U) == 0x80U) continue;  // continues a character
    const bool starts_blanks = text[i] == ' ' && text[i - 1] != ' ';
    if (lead + seen == columns) {
      if (starts_blanks || text[i] == ' ') at = i;
      break;
    }
    if (starts_blanks) at = i;
    ++seen;
  }
  if (at == std::string_view::npos) {
    // A word wider than the line: broken where the line is full, and at
    // least one character taken.
    std::string_view head = first_columns(text, columns);
    if (head.empty()) head = first_columns(text, 1);
    return {head, after_blanks(head.size())};
  }
  std::string_view head = text.substr(0, at);
  head = head.substr(0, head.find_last_not_of(' ') + 1);
  return {head, after_blanks(at)};
}

void centred(Listing& listing, std::string_view text) {
  const std::size_t line = static_cast<std::size_t>(listing.linesize());
  wrap_paragraph(text, line, 0, [&](std::size_t /*indent*/, std::string_view part) {
    const std::size_t margin = (line - std::min(line, text_width(part))) / 2;
    listing.line(std::string(margin, ' ') + std::string(part));
  });
}

std::size_t centred_lines(const Listing& listing, std::string_view text) {
  std::size_t lines = 0;
  wrap_paragraph(text, static_cast<std::size_t>(listing.linesize()), 0, [&](std::size_t, std::string_view) { ++lines; });
  return lines;
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

namespace {

// Columns of the widest blank-separated word of `text`.
std::size_t longest_word(std::string_view text) {
  std::size_t longest = 0;
  for (std::size_t at = text.find_first_not_of(' '); at != std::string_view::npos;
       at = text.find_first_not_of(' ', at)) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    longest = std::max(longest, text_width(text.substr(at, end - at)));
    at = end;
  }
  return longest;
}

}  // namespace

std::string_view ListingSink::heading(const OdsTable& table, std::size_t c) {
  const auto& col = table.columns[c];
  return col.label.empty() ? col.name : col.label;
}

std::string_view ListingSink::cell_text(std::size_t r, std::size_t c) const {
  const std::size_t k = r * widths_.size() + c;
  const std::size_t from = k == 0 ? 0 : cell_ends_[k - 1];
  return std::string_view(cell_texts_).substr(from, cell_ends_[k] - from);
}

void ListingSink::wrapped(const OdsTable& table, std::string_view text, std::size_t c, bool is_heading,
                          std::vector<std::string>& out) const {
  out.clear();
  if (widths_[c] >= natural_widths_[c]) {
    out.emplace_back(text);
    return;
  }
  // Texts wrap as paragraphs; headings and numbers plainly.
  const bool paragraph = !is_heading && table.columns[c].type == ColType::Char;
  wrap_paragraph(text, widths_[c], paragraph ? 2 : 0, [&](std::size_t indent, std::string_view part) {
    out.push_back(std::string(indent, ' ') + std::string(part));
  });
}

std::size_t ListingSink::lay_out(const OdsTable& table) {
  std::size_t note_lines = 0;
  for (const auto& note : table.notes) note_lines += static_cast<std::size_t>(listing_.paragraph_lines(note));
  const std::size_t title_lines = table.title.empty() ? 1 : centred_lines(listing_, table.title);
  const std::size_t ncol = table.columns.size();
  if (ncol == 0) return 1 + (table.title.empty() ? 0 : title_lines) + note_lines;
  // Cell texts, formatted once into one buffer (cell k of the row-major
  // order spans [ends[k-1], ends[k])), and column widths.
  std::string& texts = cell_texts_;
  std::vector<std::size_t>& ends = cell_ends_;
  std::vector<std::size_t>& width = widths_;
  texts.clear();
  ends.clear();
  width.assign(ncol, 0);
  for (std::size_t c = 0; c < ncol; ++c) width[c] = text_width(heading(table, c));
  for (const auto& row : table.rows)
    for (std::size_t c = 0; c < ncol; ++c) {
      const std::size_t from = texts.size();
      append_cell(texts, row[c], table.columns[c].decimals);
      ends.push_back(texts.size());
      // Numbers are ASCII: their width is their length.
      const std::string_view cell = std::string_view(texts).substr(from);
      width[c] = std::max(width[c], table.columns[c].type == ColType::Num ? cell.size() : text_width(cell));
    }
  const std::size_t line = static_cast<std::size_t>(listing_.linesize());

  // Columns too wide for the line are narrowed, their headings and texts
  // wrapped at blanks within them. The row label column (the first, which
  // every panel repeats) gives way first, down to its longest word, so that
  // the others fit beside it whole; then each other column takes the room
  // left beside it.
  std::vector<std::size_t>& natural = natural_widths_;
  natural = width;
  if (ncol == 1) {
    width[0] = std::min(width[0], line);
  } else {
    auto least = [&](std::size_t c) {
      std::size_t w = longest_word(heading(table, c));
      for (std::size_t r = 0; r < table.rows.size(); ++r) w = std::max(w, longest_word(cell_text(r, c)));
      return w;
    };
    std::size_t widest = 0;
    for (std::size_t c = 1; c < ncol; ++c)
      if (width[0] + 2 + width[c] > line) widest = std::max(widest, least(c));
    const std::size_t target = line > widest + 2 ? line - 2 - widest : 0;
    if (widest > 0 && width[0] > target) width[0] = std::max(target, std::min(least(0), line / 2));
    for (std::size_t c = 1; c < ncol; ++c)
      if (width[0] + 2 + width[c] > line) width[c] = std::max<std::size_t>(1, line - std::min(line, width[0] + 2));
  }
  bool any_narrowed = false;
  for (std::size_t c = 0; c < ncol; ++c) any_narrowed = any_narrowed || width[c] < natural[c];

  // Panels that fit the line; the first column repeats in every panel as
  // the row label.
  std::vector<std::size_t>& panel_ends = panel_ends_;
  panel_ends.clear();
  for (std::size_t c = ncol > 1 ? 1 : 0, used = 0; c < ncol; ++c) {
    if (used == 0 || used + 2 + width[c] > line) {
      if (used != 0) panel_ends.push_back(c);
      used = (ncol > 1 ? width[0] : 0);
    }
    used += 2 + width[c];
  }
  panel_ends.push_back(ncol);
  // Lines of each panel: a blank, its heading and its rows, each as tall as
  // its tallest cell.
  std::size_t lines = 1 + title_lines + note_lines;
  for (std::size_t p = 0, from = ncol > 1 ? 1 : 0; p < panel_ends.size(); from = panel_ends[p++]) {
    if (!any_narrowed) {
      lines += 2 + table.rows.size();
      continue;
    }
    auto tallest = [&](auto&& text_of, bool is_heading) {
      auto count = [&](std::size_t c) {
        wrapped(table, text_of(c), c, is_heading, pieces_);
        return pieces_.size();
      };
      std::size_t most = ncol > 1 ? count(0) : 1;
      for (std::size_t c = from; c < panel_ends[p]; ++c) most = std::max(most, count(c));
      return most;
    };
    lines += 1 + tallest([&](std::size_t c) { return heading(table, c); }, true);
    for (std::size_t r = 0; r < table.rows.size(); ++r)
      lines += tallest([&](std::size_t c) { return cell_text(r, c); }, false);
  }
  return lines;
}

std::size_t ListingSink::plain_lines(const OdsTable& table) { return lay_out(table); }

void ListingSink::table(const OdsTable& table) {
  if (!listing_.enabled()) return;
  start_table(table);
  const std::size_t lines = lay_out(table);
  const std::size_t ncol = table.columns.size();
  if (ncol == 0) {
    listing_.skip(1);
    if (!table.title.empty()) centred(listing_, table.title);
    for (const auto& note : table.notes) listing_.paragraph(note);
    return;
  }
  const std::size_t title_lines = table.title.empty() ? 1 : centred_lines(listing_, table.title);
  listing_.keep_together(static_cast<int>(lines));
  // One longer than a page keeps at least its title with its first row.
  listing_.keep_together(static_cast<int>(1 + title_lines + 3));
  listing_.skip(1);
  if (!table.title.empty()) centred(listing_, table.title);
  const std::vector<std::size_t>& width = widths_;
  const std::vector<std::size_t>& natural = natural_widths_;
  std::vector<std::size_t>& cols = panel_;
  std::vector<std::vector<std::string>>& cell_lines = cell_lines_;
  std::string& text = line_text_;
  auto put = [&text](std::string_view s, std::size_t w, bool right, bool ascii = false) {
    const std::size_t shown = ascii ? s.size() : text_width(s);
    const std::size_t pad = w > shown ? w - shown : 0;
    if (right) text.append(pad, ' ');
    text += s;
    if (!right) text.append(pad, ' ');
  };
  // One line, or as many as the tallest cell, of the panel's columns:
  // `cell(c)` gives each column's text.
  auto write_row = [&](auto&& cell, bool is_heading) {
    bool single = true;
    for (const std::size_t c : cols) single = single && width[c] >= natural[c];
    if (single) {
      text.clear();
      for (std::size_t k = 0; k < cols.size(); ++k) {
        const std::size_t c = cols[k];
        if (k > 0) text += "  ";
        const bool numeric = table.columns[c].type == ColType::Num;
        put(cell(c), width[c], numeric, numeric && !is_heading);
      }
      listing_.line(text);
      return;
    }
    if (cell_lines.size() < cols.size()) cell_lines.resize(cols.size());
    std::size_t height = 0;
    for (std::size_t k = 0; k < cols.size(); ++k) {
      wrapped(table, cell(cols[k]), cols[k], is_heading, cell_lines[k]);
      height = std::max(height, cell_lines[k].size());
    }
    // Headings sit on their column, their first lines above; the lines of
    // a row start together.
    for (std::size_t i = 0; i < height; ++i) {
      text.clear();
      for (std::size_t k = 0; k < cols.size(); ++k) {
        const std::size_t c = cols[k];
        const std::vector<std::string>& parts = cell_lines[k];
        const std::size_t skip = is_heading ? height - parts.size() : 0;
        const std::string_view part = i >= skip && i - skip < parts.size() ? parts[i - skip] : std::string_view();
        if (k > 0) text += "  ";
        put(part, width[c], table.columns[c].type == ColType::Num);
      }
      listing_.line(text);
    }
  };
  for (std::size_t p = 0, from = ncol > 1 ? 1 : 0; p < panel_ends_.size(); from = panel_ends_[p++]) {
    cols.clear();
    if (ncol > 1) cols.push_back(0);
    for (std::size_t c = from; c < panel_ends_[p]; ++c) cols.push_back(c);
    listing_.skip(1);
    write_row([&](std::size_t c) { return heading(table, c); }, true);
    for (std::size_t r = 0; r < table.rows.size(); ++r)
      write_row([&](std::size_t c) { return cell_text(r, c); }, false);
  }
  for (const auto& note : table.notes) listing_.paragraph(note);
}

}  // namespace x11sa
