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

void centred(Listing& listing, std::string_view text) {
  const int margin = std::max(0, (listing.linesize() - static_cast<int>(text_width(text))) / 2);
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
  // Cell texts, formatted once into one buffer (cell k of the row-major
  // order spans [ends[k-1], ends[k])), and column widths.
  std::string& texts = cell_texts_;
  std::vector<std::size_t>& ends = cell_ends_;
  std::vector<std::size_t>& width = widths_;
  texts.clear();
  ends.clear();
  width.assign(ncol, 0);
  for (std::size_t c = 0; c < ncol; ++c) {
    const auto& col = table.columns[c];
    width[c] = text_width(col.label.empty() ? col.name : col.label);
  }
  for (const auto& row : table.rows)
    for (std::size_t c = 0; c < ncol; ++c) {
      const std::size_t from = texts.size();
      append_cell(texts, row[c], table.columns[c].decimals);
      ends.push_back(texts.size());
      // Numbers are ASCII: their width is their length.
      const std::string_view cell = std::string_view(texts).substr(from);
      width[c] = std::max(width[c], table.columns[c].type == ColType::Num ? cell.size() : text_width(cell));
    }
  auto cell_text = [&](std::size_t r, std::size_t c) {
    const std::size_t k = r * ncol + c;
    const std::size_t from = k == 0 ? 0 : ends[k - 1];
    return std::string_view(texts).substr(from, ends[k] - from);
  };
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
    std::vector<std::size_t>& cols = panel_;
    cols.clear();
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
    std::string& text = line_text_;
    text.clear();
    auto put = [&text](std::string_view s, std::size_t w, bool right, bool ascii = false) {
      const std::size_t shown = ascii ? s.size() : text_width(s);
      const std::size_t pad = w > shown ? w - shown : 0;
      if (right) text.append(pad, ' ');
      text += s;
      if (!right) text.append(pad, ' ');
    };
    for (std::size_t k = 0; k < cols.size(); ++k) {
      const auto& col = table.columns[cols[k]];
      if (k > 0) text += "  ";
      put(col.label.empty() ? col.name : col.label, width[cols[k]], col.type == ColType::Num);
    }
    listing_.line(text);
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
      text.clear();
      for (std::size_t k = 0; k < cols.size(); ++k) {
        const std::size_t c = cols[k];
        if (k > 0) text += "  ";
        const bool numeric = table.columns[c].type == ColType::Num;
        put(cell_text(r, c), width[c], numeric, numeric);
      }
      listing_.line(text);
    }
  }
  for (const auto& note : table.notes) listing_.line(note);
}

}  // namespace x11sa
