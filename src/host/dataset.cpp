#include "host/dataset.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <future>
#include <limits>
#include <system_error>
#include <unordered_map>

#include <fmt/format.h>

#include "host/atomic_file.h"
#include "host/dates.h"
#include "host/recording.h"
#include "host/text.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxNameLength = 32;

char ascii_upper(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
char ascii_lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
bool is_blank(char c) noexcept { return c == ' ' || c == '\t'; }

std::string to_upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ascii_upper(c);
  return out;
}

std::string to_lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

bool iequals(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_upper(a[i]) != ascii_upper(b[i])) return false;
  return true;
}

std::string_view trim_blanks(std::string_view s) noexcept {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// Text from the file as it appears in a one-line message: control characters
// escaped, and long texts cut (at a character boundary) with "...".
std::string printable(std::string_view s) { return visible_text(s, 64); }

// ---------------------------------------------------------------------------
// Cell syntax. Blanks around a number, a date or a missing mark are ignored
// (hand-edited files often have "1, 2, 3"); character values keep them.

bool is_missing_mark(std::string_view s) noexcept {
  return s.empty() || s == "." || s == "NA" || s == "NaN";
}

// Decimal numbers with optional sign, fraction and exponent, and infinities.
// Checked here because from_chars alone accepts "nan" and stops early.
bool is_number_text(std::string_view s) noexcept {
  std::size_t i = 0;
  const std::size_t n = s.size();
  if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
  const std::string_view body = s.substr(i);
  if (iequals(body, "inf") || iequals(body, "infinity")) return true;
  std::size_t digits = 0;
  while (i < n && is_digit(s[i])) ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && is_digit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exp_digits = 0;
    while (i < n && is_digit(s[i])) ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  return i == n;
}

// Value of a number too large or too small for a double: infinity or zero
// with its sign, decided from the decimal exponent of its leading digit.
double out_of_range_value(std::string_view s) noexcept {
  std::size_t i = 0;
  const bool negative = !s.empty() && s[0] == '-';
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) ++i;
  long magnitude = 0;
  bool found = false;
  long int_digits = 0;
  for (; i < s.size() && is_digit(s[i]); ++i) {
    if (found) ++int_digits;
    else if (s[i] != '0') found = true, int_digits = 1;
  }
  if (found) {
    magnitude = int_digits - 1;
  } else if (i < s.size() && s[i] == '.') {
    long zeros = 0;
    for (++i; i < s.size() && s[i] == '0'; ++i) ++zeros;
    magnitude = -(zeros + 1);
  }
  while (i < s.size() && s[i] != 'e' && s[i] != 'E') ++i;
  long exponent = 0;
  if (i < s.size()) {
    ++i;
    const bool exp_negative = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    for (; i < s.size() && is_digit(s[i]); ++i) exponent = std::min(exponent * 10 + (s[i] - '0'), 1'000'000'000L);
    if (exp_negative) exponent = -exponent;
  }
  const double v = magnitude + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -v : v;
}

// Number of a numeric cell (blanks already trimmed); missing for a missing mark.
double parse_number(std::string_view s) noexcept {
  if (is_missing_mark(s)) return kMissing;
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double v = 0.0;
  const char* end = s.data() + s.size();
  const auto [ptr, ec] = std::from_chars(s.data(), end, v);
  if (ec == std::errc::result_out_of_range) return out_of_range_value(s);
  if (ec != std::errc() || ptr != end) return kMissing;
  return v;
}

// Missing values sort lowest and are all equal; others compare by value.
int compare_numbers(double a, double b) noexcept {
  const bool ma = std::isnan(a);
  const bool mb = std::isnan(b);
  if (ma || mb) return ma == mb ? 0 : (ma ? -1 : 1);
  return a < b ? -1 : (b < a ? 1 : 0);
}

int compare_texts(std::string_view a, std::string_view b) noexcept {
  const int c = a.compare(b);  // bytewise, as unsigned bytes
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Byte classes for the scanners.

enum ByteClass : unsigned char { kPlain, kComma, kLineFeed, kReturn, kQuote, kHigh, kNul };

constexpr std::array<unsigned char, 256> make_byte_classes() {
  std::array<unsigned char, 256> t{};
  for (std::size_t c = 0x80; c < 256; ++c) t[c] = kHigh;
  t[0] = kNul;
  t[static_cast<unsigned char>(',')] = kComma;
  t[static_cast<unsigned char>('\n')] = kLineFeed;
  t[static_cast<unsigned char>('\r')] = kReturn;
  t[static_cast<unsigned char>('"')] = kQuote;
  return t;
}
constexpr std::array<unsigned char, 256> kByteClass = make_byte_classes();

// The first byte from `i` on that is not plain, or `n`. Opening a data set
// looks at every byte of it, mostly plain ones: eight at a time on a
// little-endian machine, where the first byte of a word is its lowest.
std::size_t skip_plain_bytes(const unsigned char* d, std::size_t i, std::size_t n) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101U;
    constexpr std::uint64_t kHighBits = 0x8080808080808080U;
    // The high bit of each zero byte of x. A byte above a zero byte may be
    // marked too, but the lowest mark is exact: the first zero byte.
    auto zero_bytes = [](std::uint64_t x) { return (x - kOnes) & ~x & kHighBits; };
    for (; i + 8 <= n; i += 8) {
      std::uint64_t x = 0;
      std::memcpy(&x, d + i, 8);
      const std::uint64_t special = zero_bytes(x) | zero_bytes(x ^ (kOnes * ',')) | zero_bytes(x ^ (kOnes * '\n')) |
                                    zero_bytes(x ^ (kOnes * '\r')) | zero_bytes(x ^ (kOnes * '"')) | (x & kHighBits);
      if (special != 0) return i + static_cast<std::size_t>(std::countr_zero(special)) / 8;
    }
  }
  while (i < n && kByteClass[d[i]] == kPlain) ++i;
  return i;
}

// Length of the well-formed UTF-8 sequence at p (p[0] >= 0x80), or 0. Rejects
// overlong forms, surrogates and code points above U+10FFFF.
std::size_t utf8_sequence_length(const unsigned char* p, std::size_t avail) noexcept {
  const unsigned c = p[0];
  std::size_t len = 0;
  unsigned lo = 0x80;
  unsigned hi = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) len = 2;
  else if (c == 0xE0) len = 3, lo = 0xA0;
  else if (c >= 0xE1 && c <= 0xEC) len = 3;
  else if (c == 0xED) len = 3, hi = 0x9F;
  else if (c >= 0xEE && c <= 0xEF) len = 3;
  else if (c == 0xF0) len = 4, lo = 0x90;
  else if (c >= 0xF1 && c <= 0xF3) len = 4;
  else if (c == 0xF4) len = 4, hi = 0x8F;
  else return 0;
  if (avail < len || p[1] < lo || p[1] > hi) return 0;
  for (std::size_t k = 2; k < len; ++k)
    if (p[k] < 0x80 || p[k] > 0xBF) return 0;
  return len;
}

// Files are read through a window of big blocks: one read call per megabyte,
// and memory that does not grow with the file. The fuzz build makes blocks
// tiny so that small inputs reach every block-edge case.
#ifndef X11SA_CSV_BLOCK_BYTES
#define X11SA_CSV_BLOCK_BYTES (std::size_t{1} << 20)
#endif
constexpr std::size_t kBlockBytes = X11SA_CSV_BLOCK_BYTES;

class FileWindow {
 public:
  FileWindow() = default;
  FileWindow(const FileWindow&) = delete;
  FileWindow& operator=(const FileWindow&) = delete;
  ~FileWindow() {
    if (fd_ >= 0) ::close(fd_);
  }

  // Why the file cannot be read, if it cannot.
  Status open(const std::string& path) {
    // Not blocking: opening a FIFO would otherwise wait for a writer.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
      return Failure{errno == ELOOP ? "it is a symbolic link that loops" : errno_message(errno)};
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
      return Failure{errno_message(errno)};
    }
    if (!S_ISREG(st.st_mode)) {
      return Failure{S_ISDIR(st.st_mode)                               ? "it is a folder, not a file"
            : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)      ? "it is a device, not a file"
            : S_ISFIFO(st.st_mode)                            ? "it is a pipe (FIFO), not a file"
                                                              : "it is not a regular file"};
    }
    size_ = static_cast<std::size_t>(st.st_size);
    return {};
  }

  // Reads the same file as `other`, through a descriptor of its own, for
  // another thread; false when no descriptor is left.
  [[nodiscard]] bool share(const FileWindow& other) {
    fd_ = ::fcntl(other.fd_, F_DUPFD_CLOEXEC, 0);
    size_ = other.size_;
    return fd_ >= 0;
  }

  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  // errno of a failed read, 0 when none failed.
  [[nodiscard]] int read_error() const noexcept { return read_error_; }

  // The loaded bytes from `offset` on: at least `min_bytes` of them, or all
  // up to the end of the file. Earlier views become invalid.
  std::string_view at(std::size_t offset, std::size_t min_bytes) {
    if (offset >= size_) return {};
    const std::size_t need = std::min(min_bytes, size_ - offset);
    const bool loaded = offset >= base_ && offset < base_ + len_ && offset + need <= base_ + len_;
    if (!loaded && !load(offset, need)) return {};
    return {buf_.data() + (offset - base_), base_ + len_ - offset};
  }

 private:
  bool load(std::size_t offset, std::size_t need) {
    const std::size_t n = std::min(std::max(kBlockBytes, need), size_ - offset);
    if (buf_.size() < n) buf_.resize(n);
    std::size_t got = 0;
    while (got < n) {
      const ssize_t r = ::pread(fd_, buf_.data() + got, n - got, static_cast<off_t>(offset + got));
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) read_error_ = errno;
      if (r <= 0) break;
      got += static_cast<std::size_t>(r);
    }
    // A file that shrank since it was opened ends where reading stopped.
    if (got < n) size_ = offset + got;
    base_ = offset;
    len_ = got;
    return got > 0;
  }

  int fd_ = -1;
  std::size_t size_ = 0;
  int read_error_ = 0;
  std::vector<char> buf_;
  std::size_t base_ = 0;
  std::size_t len_ = 0;
};

// A field of a checked row, as offsets into the row's text.
struct ScannedField {
  std::size_t begin = 0;  // the content, without quotes
  std::size_t end = 0;
  std::size_t doubled_quotes = 0;
  bool quoted = false;
};

enum class Scan { Row, NeedMore, Error };

// Checks one row at open: UTF-8, quoting and fields, counting the lines it spans.
class RowChecker {
 public:
  explicit RowChecker(const std::string& name) : name_(name) {}

  // Scans the row at the start of `text`; `at_eof`: the text runs to the end
  // of the file. NeedMore when the row may go on past the end of `text`.
  Scan scan(std::string_view text, bool at_eof, long first_line);

  [[nodiscard]] const std::vector<ScannedField>& fields() const noexcept { return fields_; }
  [[nodiscard]] std::size_t consumed() const noexcept { return consumed_; }  // with the line end
  [[nodiscard]] long lines() const noexcept { return lines_; }              // line ends passed
  [[nodiscard]] const std::string& error() const noexcept { return error_; }
  [[nodiscard]] bool empty_line() const noexcept {
    return fields_.size() == 1 && !fields_[0].quoted && fields_[0].end == 0;
  }

 private:
  Scan fail(const std::string& what) {
    error_ = fmt::format("Data set {}: {}.", name_, what);
    return Scan::Error;
  }
  // A byte of class kHigh or kNul at d[i]: steps over a valid UTF-8 sequence.
  Scan check_special(const unsigned char* d, std::size_t n, std::size_t& i, bool at_eof, long line) {
    if (d[i] == 0) return fail(fmt::format("line {} holds a NUL byte; the file is not a text file", line));
    const std::size_t len = utf8_sequence_length(d + i, n - i);
    if (len == 0) {
      if (!at_eof && n - i < 4) return Scan::NeedMore;
      return fail(fmt::format("line {} holds bytes that are not valid UTF-8 (byte 0x{:02X}); save the file as UTF-8",
                              line, d[i]));
    }
    i += len;
    return Scan::Row;
  }

  const std::string& name_;
  std::vector<ScannedField> fields_;
  std::size_t consumed_ = 0;
  long lines_ = 0;
  std::string error_;
};

Scan RowChecker::scan(std::string_view text, bool at_eof, long first_line) {
  const auto* d = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  fields_.clear();
  lines_ = 0;
  std::size_t i = 0;
  for (;;) {
    ScannedField f;
    if (i < n && d[i] == '"') {
      f.quoted = true;
      const long quote_line = first_line + lines_;
      f.begin = ++i;
      for (;;) {
        if (i >= n) {
          if (!at_eof) return Scan::NeedMore;
          return fail(fmt::format("the quoted value that starts on line {} is never closed", quote_line));
        }
        const unsigned char cls = kByteClass[d[i]];
        if (cls == kPlain || cls == kComma || cls == kReturn) {
          ++i;
        } else if (cls == kLineFeed) {
          ++lines_;
          ++i;
        } else if (cls == kQuote) {
          if (i + 1 >= n && !at_eof) return Scan::NeedMore;
          if (i + 1 >= n || d[i + 1] != '"') break;
          ++f.doubled_quotes;
          i += 2;
        } else if (const Scan s = check_special(d, n, i, at_eof, first_line + lines_); s != Scan::Row) {
          return s;
        }
      }
      f.end = i++;
    } else {
      f.begin = i;
      for (;;) {
        i = skip_plain_bytes(d, i, n);
        if (i >= n) {
          if (!at_eof) return Scan::NeedMore;
          break;
        }
        const unsigned char cls = kByteClass[d[i]];
        if (cls == kComma || cls == kLineFeed) break;
        if (cls == kReturn) {
          if (i + 1 >= n && !at_eof) return Scan::NeedMore;
          if (i + 1 >= n || d[i + 1] == '\n') break;
          ++i;  // a lone carriage return is data
        } else if (cls == kQuote) {
          ++i;  // a quote inside an unquoted value is data (5" for inches)
        } else if (const Scan s = check_special(d, n, i, at_eof, first_line + lines_); s != Scan::Row) {
          return s;
        }
      }
      f.end = i;
    }
    fields_.push_back(f);

    // The delimiter: a comma, a line end, or the end of the file.
    if (i >= n) {
      if (!at_eof) return Scan::NeedMore;
      consumed_ = i;
      return Scan::Row;
    }
    if (d[i] == ',') {
      ++i;
      continue;
    }
    if (d[i] == '\n') {
      ++lines_;
      consumed_ = i + 1;
      return Scan::Row;
    }
    if (d[i] == '\r') {
      if (i + 1 >= n && !at_eof) return Scan::NeedMore;
      if (i + 1 >= n) {
        consumed_ = i + 1;
        return Scan::Row;
      }
      if (d[i + 1] == '\n') {
        ++lines_;
        consumed_ = i + 2;
        return Scan::Row;
      }
    }
    return fail(fmt::format("line {} has text after the closing quote of a quoted value; a quoted value must be "
                            "followed by a comma or the end of the line",
                            first_line + lines_));
  }
}

// What the cells of a column seen so far allow it to be.
struct ColumnScan {
  bool numbers_only = true;  // every cell a number or missing
  bool dates_only = true;    // every cell an ISO date or missing
  long leading_numbers = 0;  // number cells before the first that is none
  std::size_t max_length = 0;

  void add(std::string_view content, std::size_t length, bool has_quotes) {
    max_length = std::max(max_length, length);
    if (!numbers_only && !dates_only) return;
    if (has_quotes) {
      numbers_only = dates_only = false;
      return;
    }
    const std::string_view s = trim_blanks(content);
    if (is_missing_mark(s)) return;
    if (numbers_only && is_number_text(s)) {
      ++leading_numbers;
      dates_only = false;
      return;
    }
    if (dates_only && parse_iso_date(s)) {
      numbers_only = false;
      return;
    }
    numbers_only = dates_only = false;
  }

  // Adds the cells that `other` saw: whatever their order, a column is what
  // each of its cells allows.
  void add(const ColumnScan& other) {
    // The other cells follow these: their leading numbers count while these were all numbers.
    if (numbers_only) leading_numbers += other.leading_numbers;
    numbers_only = numbers_only && other.numbers_only;
    dates_only = dates_only && other.dates_only;
    max_length = std::max(max_length, other.max_length);
  }
};

// A cell, as a message shows it: where it lies and what it holds.
struct CellFound {
  long line = 0;  // in the file
  std::string text;
};

// How the cells of a column read, whatever its type: what a step that needs
// numbers or dates from it finds. Missing cells count for nothing.
struct CellCounts {
  long numbers = 0;
  long dates = 0;  // of any form of parse_date_text()
  long not_numbers = 0;
  long not_dates = 0;
  std::optional<CellFound> first_not_number;
  std::optional<CellFound> first_not_date;

  // A cell's text (quotes undone) on file line `line`.
  void add(std::string_view text, long line) {
    const std::string_view s = trim_blanks(text);
    if (is_missing_mark(s)) return;
    // A number is never a date text, nor a date a number.
    const bool number = is_number_text(s);
    const bool date = !number && parse_date_text(s).has_value();
    auto found = [&](std::optional<CellFound>& first, long& count) {
      if (count++ == 0) first = CellFound{line, std::string(s)};
    };
    if (number) ++numbers;
    else found(first_not_number, not_numbers);
    if (date) ++dates;
    else found(first_not_date, not_dates);
  }
};

// Checks the row at `pos` (on line `line`) with `checker`; the row's text
// stays in `row_text` until the window moves.
Scan scan_row_at(FileWindow& file, RowChecker& checker, std::size_t pos, long line, std::string_view& row_text) {
  std::size_t want = 0;
  for (;;) {
    row_text = file.at(pos, want);
    const bool at_eof = pos + row_text.size() >= file.size();
    const Scan r = checker.scan(row_text, at_eof, line);
    if (r != Scan::NeedMore) return r;
    want = std::max(kBlockBytes, 2 * row_text.size());
  }
}

// The check of the data rows, as far as it has gone.
struct RowsScan {
  std::size_t pos = 0;  // the next row to check
  long line = 0;        // its line
  std::vector<ColumnScan> columns;
  long rows = 0;
  // Empty lines just before `pos`, not counted yet: rows only when data follows.
  std::size_t empty_run_start = 0;
  long empty_run_rows = 0;
  long empty_run_line = 0;
  std::string error;  // why the data set cannot be read; empty when it can
};

// Checks the data rows from `scan.pos` on, up to the end of the file, a
// fault, or the first row that starts at or past `stop`: equal widths, and
// what each column's cells allow it to be.
void scan_rows(FileWindow& file, const std::string& display_name, RowsScan& scan, std::size_t stop) {
  const std::size_t ncols = scan.columns.size();
  RowChecker checker(display_name);
  std::string_view row_text;
  for (; scan.pos < file.size() && scan.pos < stop; scan.pos += checker.consumed(), scan.line += checker.lines()) {
    if (scan_row_at(file, checker, scan.pos, scan.line, row_text) == Scan::Error) {
      scan.error = checker.error();
      return;
    }
    if (checker.empty_line()) {
      if (scan.empty_run_rows == 0) {
        scan.empty_run_start = scan.pos;
        scan.empty_run_line = scan.line;
      }
      ++scan.empty_run_rows;
      continue;
    }
    if (scan.empty_run_rows > 0) {
      if (ncols != 1) {
        scan.error = fmt::format("Data set {}: line {} is empty, but the header names {} variables.", display_name,
                                 scan.empty_run_line, ncols);
        return;
      }
      scan.rows += scan.empty_run_rows;  // missing values of the one variable
      scan.empty_run_rows = 0;
    }
    const std::vector<ScannedField>& fields = checker.fields();
    if (fields.size() != ncols) {
      scan.error = fmt::format("Data set {}: line {} has {} values, but the header names {} variables.",
                               display_name, scan.line, fields.size(), ncols);
      return;
    }
    for (std::size_t c = 0; c < ncols; ++c) {
      const ScannedField& f = fields[c];
      scan.columns[c].add(row_text.substr(f.begin, f.end - f.begin), f.end - f.begin - f.doubled_quotes,
                          f.doubled_quotes > 0);
    }
    ++scan.rows;
  }
}

// Data sets from this size on are checked by two threads when the step may
// use them: nothing else can run during the check, and a smaller file takes
// too little time for a thread to pay.
constexpr std::size_t kHalvedScanBytes = 2 * kBlockBytes;

// The same as scan_rows() to the end of the file, the rows past the middle
// checked side by side, on a thread of their own, from the first line start
// there. That check stands when this thread's ends right at that line start
// (no quoted value runs across it), with no empty lines before it; else it
// is dropped and this thread goes on in order, so that the result, and the
// line a fault names, are those of one thread.
void scan_rows_in_halves(FileWindow& file, const std::string& display_name, RowsScan& scan) {
  const std::size_t size = file.size();
  const std::size_t middle = scan.pos + (size - scan.pos) / 2;
  const std::size_t line_end = file.at(middle, kBlockBytes).find('\n');
  FileWindow second_file;
  if (line_end == std::string_view::npos || middle + line_end + 1 >= size || !second_file.share(file)) {
    scan_rows(file, display_name, scan, size);
    return;
  }
  const std::size_t split = middle + line_end + 1;
  RowsScan second;
  second.pos = split;
  second.columns.resize(scan.columns.size());
  std::future<void> second_done;
  try {
    second_done = std::async(std::launch::async, [&] { scan_rows(second_file, display_name, second, size); });
  } catch (const std::system_error&) {
    scan_rows(file, display_name, scan, size);  // no thread to be had
    return;
  }
  scan_rows(file, display_name, scan, split);
  second_done.get();
  if (!scan.error.empty()) return;  // the first fault of the file
  if (scan.pos != split || scan.empty_run_rows > 0 || !second.error.empty() || second_file.read_error() != 0 ||
      second_file.size() != size) {
    scan_rows(file, display_name, scan, size);
    return;
  }
  // The second check counted its lines from 0.
  for (std::size_t c = 0; c < scan.columns.size(); ++c) scan.columns[c].add(second.columns[c]);
  scan.rows += second.rows;
  scan.pos = second.pos;
  scan.empty_run_start = second.empty_run_start;
  scan.empty_run_rows = second.empty_run_rows;
  scan.empty_run_line = scan.line + second.empty_run_line;
  scan.line += second.line;
}

std::string unescape_quotes(std::string_view content) {
  std::string out;
  out.reserve(content.size());
  for (std::size_t i = 0; i < content.size(); ++i) {
    out += content[i];
    if (content[i] == '"' && i + 1 < content.size() && content[i + 1] == '"') ++i;
  }
  return out;
}

}  // namespace

bool is_valid_name(std::string_view s) noexcept {
  if (s.empty() || s.size() > kMaxNameLength || is_digit(s.front())) return false;
  return std::all_of(s.begin(), s.end(), [](char c) {
    return is_digit(c) || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
}

bool is_library_name(std::string_view s) noexcept { return s.size() <= 8 && is_valid_name(s); }

// ===========================================================================
// Names and libraries

std::string DataSetName::display() const {
  if (is_file()) return "'" + visible_text(path, 400) + "'";
  return (libref.empty() ? std::string("WORK") : libref) + "." + member;
}

DataSetName DataSetName::file(std::string path) {
  DataSetName name;
  name.path = std::move(path);
  return name;
}

std::string valid_name_of(std::string_view header, int column) {
  if (header.empty()) return fmt::format("V{}", column);
  std::string name;
  if (is_digit(header.front())) name += '_';
  const auto* p = reinterpret_cast<const unsigned char*>(header.data());
  for (std::size_t i = 0; i < header.size() && name.size() < kMaxNameLength;) {
    const char c = header[i];
    const bool kept = is_digit(c) || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    name += kept ? c : '_';
    // A character of several bytes becomes one underscore.
    const std::size_t len = p[i] < 0x80 ? 1 : utf8_sequence_length(p + i, header.size() - i);
    i += len == 0 ? 1 : len;
  }
  return name;
}

std::optional<DataSetName> DataSetName::parse(std::string_view text) {
  DataSetName name;
  const std::size_t dot = text.find('.');
  std::string_view lib = "WORK";
  std::string_view member = text;
  if (dot != std::string_view::npos) {
    lib = text.substr(0, dot);
    member = text.substr(dot + 1);
  }
  if (!is_valid_name(lib) || !is_valid_name(member)) return std::nullopt;
  name.libref = to_upper(lib);
  name.member = std::string(member);
  return name;
}

void Library::assign(std::string_view libref, std::string folder) { folders_[to_upper(libref)] = std::move(folder); }

std::optional<std::string> Library::folder(std::string_view libref) const {
  const std::string key = to_upper(libref);
  if (const auto it = folders_.find(key); it != folders_.end()) return it->second;
  if (key == "WORK") return std::string(".");
  return std::nullopt;
}

// ===========================================================================
// Input data sets

namespace {

// One cell of a row: a range of the row's own copy of its texts, so that a
// row stays readable however the file window moves.
struct Cell {
  std::size_t offset = 0;
  std::size_t length = 0;
};

struct RowBuffer {
  std::vector<Cell> cells;
  std::string texts;
};

struct KeyPart {
  double number = 0.0;
  std::string text;
};

// Splits the row at the start of `text` into cells, copying their unquoted
// texts into `row`. Returns the bytes the row takes with its line end, or 0
// when it may go on past the end of `text` (or `text` is empty). The structure
// was checked at open, but the loop stays safe on any input.
std::size_t split_row(std::string_view text, bool at_eof, RowBuffer& row) {
  const char* d = text.data();
  const std::size_t n = text.size();
  const std::size_t ncols = row.cells.size();
  row.texts.clear();
  std::size_t col = 0;
  std::size_t i = 0;
  for (;;) {
    const std::size_t start = row.texts.size();
    if (i < n && d[i] == '"') {
      ++i;
      for (;;) {
        const void* q = i < n ? std::memchr(d + i, '"', n - i) : nullptr;
        if (q == nullptr) {
          if (!at_eof) return 0;
          row.texts.append(d + i, n - i);
          i = n;
          break;
        }
        const auto at = static_cast<std::size_t>(static_cast<const char*>(q) - d);
        row.texts.append(d + i, at - i);
        if (at + 1 >= n && !at_eof) return 0;
        if (at + 1 < n && d[at + 1] == '"') {
          row.texts += '"';
          i = at + 2;
          continue;
        }
        i = at + 1;
        break;
      }
    } else {
      const std::size_t begin = i;
      for (;; ++i) {
        if (i >= n) {
          if (!at_eof) return 0;
          break;
        }
        const char c = d[i];
        if (c == ',' || c == '\n') break;
        if (c == '\r') {
          if (i + 1 >= n && !at_eof) return 0;
          if (i + 1 >= n || d[i + 1] == '\n') break;
        }
      }
      row.texts.append(d + begin, i - begin);
    }
    if (col < ncols) row.cells[col] = Cell{start, row.texts.size() - start};
    ++col;
    // Text between a closing quote and the delimiter was rejected at open.
    while (i < n && d[i] != ',' && d[i] != '\n' && d[i] != '\r') ++i;
    if (i >= n) {
      if (!at_eof) return 0;
      break;
    }
    if (d[i] == ',') {
      ++i;
      continue;
    }
    if (d[i] == '\r' && i + 1 >= n && !at_eof) return 0;
    i += d[i] == '\r' && i + 1 < n && d[i + 1] == '\n' ? 2 : 1;
    break;
  }
  for (; col < ncols; ++col) row.cells[col] = Cell{row.texts.size(), 0};
  return i;
}

}  // namespace

struct InputDataSet::Impl {
  std::string name;
  std::string file_name;  // the path as messages about cells show it
  FileWindow file;
  std::size_t data_start = 0;  // first data row
  long data_start_line = 0;    // its line in the file
  std::size_t data_end = 0;    // end of the last row; only empty lines follow
  std::vector<VarInfo> vars;
  std::vector<long> leading_numbers;  // per variable, as ColumnScan counts them
  // Per variable, once asked for: a second look at its cells, which the
  // opening scan leaves alone once a column is text, to keep opening fast.
  std::vector<std::optional<CellCounts>> cells;
  std::vector<RenamedColumn> renamed;
  std::vector<std::string> upper_names;  // of the variables, to find clashes
  long nobs = 0;

  std::vector<int> by;
  std::vector<bool> descending;
  bool notsorted = false;

  RowBuffer current;  // the row num() and str() read
  RowBuffer probe;    // a row being looked at before it is accepted
  RowPos current_pos;
  RowPos cursor;  // the row next_row() reads next
  RowPos group_start;
  std::optional<RowPos> group_end;  // first row of the next group, once seen
  bool in_group = false;
  bool have_key = false;
  std::vector<KeyPart> key;  // BY values of the current group
  std::optional<std::string> sort_error;

  [[nodiscard]] std::string_view text(const RowBuffer& row, std::size_t col) const noexcept {
    const Cell& c = row.cells[col];
    return std::string_view(row.texts).substr(c.offset, c.length);
  }

  [[nodiscard]] double number(const RowBuffer& row, std::size_t col) const noexcept {
    const VarInfo& v = vars[col];
    if (v.type != VarType::Numeric) return kMissing;
    const std::string_view s = trim_blanks(text(row, col));
    if (v.is_date) {
      if (is_missing_mark(s)) return kMissing;
      const auto d = parse_date_text(s);
      return d ? *d : kMissing;
    }
    return parse_number(s);
  }

  // Reads the row at `pos` into `row`; false when there is none (the end of
  // the data, or of a file that shrank since it was opened).
  bool read_row(std::size_t pos, RowBuffer& row, std::size_t& next);
  [[nodiscard]] const CellCounts& cells_of(std::size_t col);
  [[nodiscard]] bool same_key(const RowBuffer& row) const;
  [[nodiscard]] int order_against_key(const RowBuffer& row) const;
  void take_key(const RowBuffer& row);
  [[nodiscard]] std::string describe(const RowBuffer* row) const;
  void reset_reading();
};

bool InputDataSet::Impl::read_row(std::size_t pos, RowBuffer& row, std::size_t& next) {
  if (pos >= data_end) return false;
  std::size_t want = 0;
  for (;;) {
    const std::string_view v = file.at(pos, want);
    const bool at_eof = pos + v.size() >= file.size();
    const std::size_t used = split_row(v, at_eof, row);
    if (used > 0) {
      next = pos + used;
      return true;
    }
    if (at_eof) return false;
    want = std::max(kBlockBytes, 2 * v.size());
  }
}

const CellCounts& InputDataSet::Impl::cells_of(std::size_t col) {
  if (cells[col]) return *cells[col];
  CellCounts& counts = cells[col].emplace();
  RowBuffer row;
  row.cells.resize(vars.size());
  std::size_t pos = data_start;
  long line = data_start_line;
  auto line_ends = [](std::string_view text) { return static_cast<long>(std::count(text.begin(), text.end(), '\n')); };
  for (std::size_t next = 0; read_row(pos, row, next); pos = next) {
    // Line breaks inside quoted values count as lines of the file.
    long cell_line = line;
    for (std::size_t c = 0; c < col; ++c) cell_line += line_ends(text(row, c));
    counts.add(text(row, col), cell_line);
    line = cell_line;
    for (std::size_t c = col; c < vars.size(); ++c) line += line_ends(text(row, c));
    const std::string_view end = file.at(next - 1, 1);
    if (!end.empty() && end.front() == '\n') ++line;
  }
  return counts;
}

bool InputDataSet::Impl::same_key(const RowBuffer& row) const {
  for (std::size_t k = 0; k < by.size(); ++k) {
    const auto col = static_cast<std::size_t>(by[k]);
    if (vars[col].type == VarType::Numeric) {
      if (compare_numbers(number(row, col), key[k].number) != 0) return false;
    } else if (text(row, col) != key[k].text) {
      return false;
    }
  }
  return true;
}

// Sign of the row's BY values against the current key in the requested order:
// negative when the row should have come before the group.
int InputDataSet::Impl::order_against_key(const RowBuffer& row) const {
  for (std::size_t k = 0; k < by.size(); ++k) {
    const auto col = static_cast<std::size_t>(by[k]);
    const int c = vars[col].type == VarType::Numeric ? compare_numbers(number(row, col), key[k].number)
                                                      : compare_texts(text(row, col), key[k].text);
    if (c != 0) return descending[k] ? -c : c;
  }
  return 0;
}

void InputDataSet::Impl::take_key(const RowBuffer& row) {
  for (std::size_t k = 0; k < by.size(); ++k) {
    const auto col = static_cast<std::size_t>(by[k]);
    if (vars[col].type == VarType::Numeric) key[k].number = number(row, col);
    else key[k].text.assign(text(row, col));
  }
  have_key = true;
}

// "a=1, b="x"" for a row, or for the current key when `row` is null.
std::string InputDataSet::Impl::describe(const RowBuffer* row) const {
  std::string out;
  for (std::size_t k = 0; k < by.size(); ++k) {
    const auto col = static_cast<std::size_t>(by[k]);
    const VarInfo& v = vars[col];
    if (k > 0) out += ", ";
    out += v.name;
    out += '=';
    if (v.type == VarType::Numeric) {
      const double x = row != nullptr ? number(*row, col) : key[k].number;
      if (is_missing(x)) out += '.';
      else if (v.is_date) out += format_iso_date(x);
      else append_number(out, x);
    } else {
      out += '"';
      out += printable(row != nullptr ? text(*row, col) : std::string_view(key[k].text));
      out += '"';
    }
  }
  return out;
}

void InputDataSet::Impl::reset_reading() {
  cursor = RowPos{data_start, 1};
  current_pos = RowPos{data_start, 0};
  group_start = cursor;
  group_end.reset();
  in_group = false;
  have_key = false;
  sort_error.reset();
  std::fill(current.cells.begin(), current.cells.end(), Cell{});
  current.texts.clear();
}

InputDataSet::InputDataSet(Key /*key*/, std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
InputDataSet::~InputDataSet() = default;

Result<std::unique_ptr<InputDataSet>> InputDataSet::open(const std::string& path, const std::string& display_name,
                                                         int threads) {
  auto impl = std::make_unique<Impl>();
  impl->name = display_name;
  if (const Status opened = impl->file.open(path); !opened)
    return Failure{fmt::format("Data set {}: cannot read file \"{}\": {}.", display_name, path, opened.error())};
  FileWindow& file = impl->file;
  RowChecker checker(display_name);
  std::size_t pos = 0;
  long line = 1;
  if (const std::string_view head = file.at(0, 3); head.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;

  // Checks the row at `pos`; its text stays in `row_text` until the next scan.
  std::string_view row_text;
  auto scan_row = [&] { return scan_row_at(file, checker, pos, line, row_text); };
  auto advance = [&] {
    pos += checker.consumed();
    line += checker.lines();
  };
  auto fail = [](std::string text) -> Result<std::unique_ptr<InputDataSet>> { return Failure{std::move(text)}; };

  // The header: the first line, unless the file holds nothing but line ends.
  bool header_found = false;
  while (pos < file.size()) {
    if (scan_row() == Scan::Error) return fail(checker.error());
    if (!checker.empty_line()) {
      header_found = true;
      break;
    }
    advance();
  }
  if (file.read_error() != 0)
    return fail(fmt::format("Data set {}: cannot read file \"{}\": {}.", display_name, path,
                            errno_message(file.read_error())));
  if (!header_found)
    return fail(fmt::format("Data set {}: file \"{}\" is empty; it needs a header row of variable names.",
                            display_name, path));
  if (line > 1)
    return fail(fmt::format("Data set {}: line 1 is empty; the first line must hold the variable names.",
                            display_name));

  std::vector<std::string> names;
  for (const ScannedField& f : checker.fields()) {
    const std::string_view raw = row_text.substr(f.begin, f.end - f.begin);
    const std::string unescaped = f.doubled_quotes > 0 ? unescape_quotes(raw) : std::string(raw);
    names.emplace_back(trim_blanks(unescaped));
  }
  advance();

  // Headers that are not names become names; a clash of names matters only
  // to a step that uses one of the columns (name_clash()).
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string& n = names[i];
    if (is_valid_name(n)) continue;
    const int column = static_cast<int>(i) + 1;
    std::string name = valid_name_of(n, column);
    impl->renamed.push_back(RenamedColumn{column, std::move(n), name});
    n = std::move(name);
  }

  const std::size_t ncols = names.size();
  impl->data_start = pos;
  impl->data_start_line = line;
  RowsScan rows;
  rows.pos = pos;
  rows.line = line;
  rows.columns.resize(ncols);
  if (threads > 1 && file.size() - pos >= kHalvedScanBytes) {
    scan_rows_in_halves(file, display_name, rows);
  } else {
    scan_rows(file, display_name, rows, file.size());
  }
  if (!rows.error.empty()) return fail(rows.error);
  if (file.read_error() != 0)
    return fail(fmt::format("Data set {}: cannot read file \"{}\": {}.", display_name, path,
                            errno_message(file.read_error())));
  impl->nobs = rows.rows;
  impl->data_end = rows.empty_run_rows > 0 ? rows.empty_run_start : rows.pos;
  const std::vector<ColumnScan>& columns = rows.columns;

  impl->vars.resize(ncols);
  for (std::size_t i = 0; i < ncols; ++i) {
    VarInfo& v = impl->vars[i];
    v.name = std::move(names[i]);
    impl->upper_names.push_back(to_upper(v.name));
    const ColumnScan& c = columns[i];
    impl->leading_numbers.push_back(c.leading_numbers);
    if (c.numbers_only || c.dates_only) {
      v.type = VarType::Numeric;
      v.is_date = !c.numbers_only;
      v.length = 8;
    } else {
      v.type = VarType::Character;
      v.length = static_cast<int>(std::clamp<std::size_t>(c.max_length, 1, INT_MAX));
    }
  }
  for (const RenamedColumn& r : impl->renamed) impl->vars[static_cast<std::size_t>(r.column - 1)].label = r.header;
  impl->file_name = visible_text(path.rfind("./", 0) == 0 ? std::string_view(path).substr(2) : path, 400);
  impl->cells.resize(ncols);
  impl->current.cells.resize(ncols);
  impl->probe.cells.resize(ncols);
  impl->reset_reading();
  return std::make_unique<InputDataSet>(Key{}, std::move(impl));
}

std::optional<std::string> InputDataSet::locate(const std::string& folder, std::string_view member) {
  if (!is_valid_name(member)) return std::nullopt;
  const std::string file = std::string(member) + ".csv";
  const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
  std::error_code ec;
  // Whatever stands at the exact name is the data set: a folder, a device or
  // a looping link there is reported as such when it is opened, not as a
  // data set that does not exist.
  if (fs::symlink_status(dir / file, ec).type() != fs::file_type::not_found && !ec) return (dir / file).string();
  // Ignoring case; of several matches the first in byte order, so the choice
  // does not depend on the order the directory lists them.
  std::optional<std::string> found;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string candidate = it->path().filename().string();
    std::error_code type_ec;
    if (!iequals(candidate, file) || !fs::is_regular_file(it->path(), type_ec)) continue;
    if (!found || candidate < fs::path(*found).filename().string()) found = it->path().string();
  }
  return found;
}

const std::string& InputDataSet::name() const noexcept { return impl_->name; }
const std::vector<VarInfo>& InputDataSet::vars() const noexcept { return impl_->vars; }
long InputDataSet::nobs() const noexcept { return impl_->nobs; }

const std::vector<RenamedColumn>& InputDataSet::renamed_columns() const noexcept { return impl_->renamed; }

std::vector<int> InputDataSet::name_clash(int var) const {
  const Impl& s = *impl_;
  std::vector<int> columns;
  if (var < 0 || static_cast<std::size_t>(var) >= s.vars.size()) return columns;
  const std::string& name = s.upper_names[static_cast<std::size_t>(var)];
  for (std::size_t k = 0; k < s.upper_names.size(); ++k)
    if (s.upper_names[k] == name) columns.push_back(static_cast<int>(k));
  if (columns.size() < 2) columns.clear();
  return columns;
}

long InputDataSet::leading_numbers(int var) const noexcept {
  const Impl& s = *impl_;
  if (var < 0 || static_cast<std::size_t>(var) >= s.vars.size()) return 0;
  return s.leading_numbers[static_cast<std::size_t>(var)];
}

long InputDataSet::cells_reading_as(int var, CellReading how) {
  Impl& s = *impl_;
  if (var < 0 || static_cast<std::size_t>(var) >= s.vars.size()) return 0;
  const CellCounts& c = s.cells_of(static_cast<std::size_t>(var));
  return how == CellReading::Numbers ? c.numbers : c.dates;
}

Status InputDataSet::read_as(int var, CellReading how) {
  Impl& s = *impl_;
  if (var < 0 || static_cast<std::size_t>(var) >= s.vars.size()) return Failure{"no such variable"};
  VarInfo& v = s.vars[static_cast<std::size_t>(var)];
  if (v.type == VarType::Numeric) return {};
  const CellCounts& c = s.cells_of(static_cast<std::size_t>(var));
  const bool numbers = how == CellReading::Numbers;
  const long bad = numbers ? c.not_numbers : c.not_dates;
  const std::optional<CellFound>& first = numbers ? c.first_not_number : c.first_not_date;
  if (bad > 0 && first) {
    std::string text = fmt::format("{} line {}, column {}: '{}' is ", s.file_name, first->line, v.name,
                                   printable(first->text));
    if (numbers) {
      text += "not a number; write a missing value as an empty cell, ., NA or NaN.";
    } else {
      text += fmt::format("not a date: {}.", date_text_problem(first->text));
    }
    if (bad == 2)
      text += fmt::format(" 1 more cell of {} is not a {} either.", v.name, numbers ? "number" : "date");
    else if (bad > 2)
      text += fmt::format(" {} more cells of {} are not {} either.", bad - 1, v.name, numbers ? "numbers" : "dates");
    return Failure{std::move(text)};
  }
  v.type = VarType::Numeric;
  v.is_date = !numbers;
  v.length = 8;
  return {};
}

int InputDataSet::find_var(std::string_view name) const noexcept {
  const auto& vars = impl_->vars;
  for (std::size_t i = 0; i < vars.size(); ++i)
    if (iequals(vars[i].name, name)) return static_cast<int>(i);
  return -1;
}

void InputDataSet::set_by(std::vector<int> by, std::vector<bool> descending, bool notsorted) {
  Impl& s = *impl_;
  s.by.clear();
  s.descending.clear();
  for (std::size_t k = 0; k < by.size(); ++k) {
    if (by[k] < 0 || static_cast<std::size_t>(by[k]) >= s.vars.size()) continue;
    s.by.push_back(by[k]);
    s.descending.push_back(k < descending.size() && descending[k]);
  }
  s.notsorted = notsorted;
  s.key.resize(s.by.size());
  s.reset_reading();
}

bool InputDataSet::next_group() {
  Impl& s = *impl_;
  if (s.sort_error) return false;
  std::size_t next = 0;
  if (s.in_group) {
    // Skip what the caller left of the current group.
    if (s.group_end) {
      s.cursor = *s.group_end;
    } else {
      while (s.read_row(s.cursor.offset, s.probe, next) && s.same_key(s.probe))
        s.cursor = RowPos{next, s.cursor.row + 1};
    }
  }
  s.in_group = false;
  s.group_end.reset();
  if (!s.read_row(s.cursor.offset, s.probe, next)) return false;
  if (s.have_key && !s.notsorted && s.order_against_key(s.probe) < 0) {
    s.sort_error = fmt::format(
        "Data set {} is not in BY order: row {} ({}) follows row {} ({}). Sort the data set by the BY "
        "variables, or add NOTSORTED to the BY statement.",
        s.name, s.cursor.row, s.describe(&s.probe), s.cursor.row - 1, s.describe(nullptr));
    return false;
  }
  s.take_key(s.probe);
  std::swap(s.current, s.probe);
  s.current_pos = s.cursor;
  s.group_start = s.cursor;
  s.in_group = true;
  return true;
}

bool InputDataSet::next_row() {
  Impl& s = *impl_;
  if (!s.in_group) return false;
  if (s.group_end && s.cursor.offset >= s.group_end->offset) return false;
  std::size_t next = 0;
  if (!s.read_row(s.cursor.offset, s.probe, next)) return false;
  if (s.cursor.offset != s.group_start.offset && !s.same_key(s.probe)) {
    s.group_end = s.cursor;
    return false;
  }
  std::swap(s.current, s.probe);
  s.current_pos = s.cursor;
  s.cursor = RowPos{next, s.cursor.row + 1};
  return true;
}

void InputDataSet::rewind_group() {
  Impl& s = *impl_;
  if (s.in_group) s.cursor = s.group_start;
}

RowPos InputDataSet::note() const noexcept { return impl_->current_pos; }

void InputDataSet::point(const RowPos& pos) {
  Impl& s = *impl_;
  if (!s.in_group) return;
  // Only rows of the current group can be pointed to; an earlier position
  // would read rows of another group as this one's.
  if (pos.offset < s.group_start.offset || pos.row < s.group_start.row) {
    s.cursor = s.group_start;
  } else {
    s.cursor = RowPos{std::min(pos.offset, s.data_end), pos.row};
  }
}

double InputDataSet::num(int var) const {
  const Impl& s = *impl_;
  if (var < 0 || static_cast<std::size_t>(var) >= s.vars.size()) return kMissing;
  return s.number(s.current, static_cast<std::size_t>(var));
}

std::string_view InputDataSet::str(int var) const {
  const Impl& s = *impl_;
  if (var < 0 || static_cast<std::size_t>(var) >= s.vars.size()) return {};
  return s.text(s.current, static_cast<std::size_t>(var));
}

long InputDataSet::row_number() const noexcept { return impl_->current_pos.row; }

const std::optional<std::string>& InputDataSet::sort_error() const noexcept { return impl_->sort_error; }

// ===========================================================================
// Output data sets

namespace {

enum class Staged : unsigned char { Empty, Number, Text };

struct StagedCell {
  Staged kind = Staged::Empty;
  double number = 0.0;
  std::string text;
};

void append_csv_text(std::string& out, std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += s;
    return;
  }
  out += '"';
  for (const char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

constexpr std::size_t kFlushBytes = std::size_t{1} << 16;

}  // namespace

struct OutputDataSet::Impl {
  std::string final_path;
  AtomicFile file;
  std::vector<OutColumn> columns;
  std::vector<StagedCell> staged;
  std::string buffer;
  long rows = 0;
  bool committed = false;
  std::optional<std::string> failure;
  HostRecording* recording = nullptr;  // a recorder's rows go there
  int dataset = 0;

  bool flush() {
    if (const Status written = file.write(buffer); !written) {
      failure = fmt::format("Cannot write data set \"{}\": {}.", final_path, written.error());
      return false;
    }
    buffer.clear();
    return true;
  }
};

OutputDataSet::OutputDataSet(Key /*key*/, std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
OutputDataSet::~OutputDataSet() = default;

Result<std::unique_ptr<OutputDataSet>> OutputDataSet::create(const std::string& folder, std::string_view member,
                                                             std::vector<OutColumn> columns) {
  const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
  const std::string file = to_lower(member) + ".csv";
  const std::string final_path = (dir / file).string();
  if (!is_valid_name(member)) {
    return Failure{fmt::format("Cannot write data set \"{}\": \"{}\" is not a valid data set name.", final_path, member)};
  }
  return create_at(final_path, std::move(columns));
}

Result<std::unique_ptr<OutputDataSet>> OutputDataSet::create_at(const std::string& final_path,
                                                                std::vector<OutColumn> columns) {
  if (columns.empty()) {
    return Failure{fmt::format("Cannot write data set \"{}\": it has no variables.", final_path)};
  }
  std::unordered_map<std::string, std::size_t> seen;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string& n = columns[i].name;
    if (!is_valid_name(n)) {
      return Failure{fmt::format("Cannot write data set \"{}\": \"{}\" is not a valid variable name.", final_path, n)};
    }
    if (!seen.emplace(to_upper(n), i).second) {
      return Failure{fmt::format("Cannot write data set \"{}\": the variable name \"{}\" is used twice.", final_path, n)};
    }
  }

  auto impl = std::make_unique<Impl>();
  impl->final_path = final_path;
  if (const Status opened = impl->file.open(final_path); !opened)
    return Failure{fmt::format("Cannot write data set \"{}\": {}.", final_path, opened.error())};

  impl->columns = std::move(columns);
  impl->staged.resize(impl->columns.size());
  for (std::size_t i = 0; i < impl->columns.size(); ++i) {
    if (i > 0) impl->buffer += ',';
    append_csv_text(impl->buffer, impl->columns[i].name);
  }
  impl->buffer += '\n';
  return std::make_unique<OutputDataSet>(Key{}, std::move(impl));
}

Result<std::unique_ptr<OutputDataSet>> OutputDataSet::create(const std::string& folder, const DataSetName& name,
                                                             std::vector<OutColumn> columns) {
  if (!name.is_file()) return create(folder, name.member, std::move(columns));
  return create_at(name.path, std::move(columns));
}

std::unique_ptr<OutputDataSet> OutputDataSet::recorder(const OutputDataSet& like, HostRecording& recording,
                                                      int dataset) {
  auto impl = std::make_unique<Impl>();
  impl->final_path = like.impl_->final_path;
  impl->columns = like.impl_->columns;
  impl->staged.resize(impl->columns.size());
  impl->recording = &recording;
  impl->dataset = dataset;
  return std::make_unique<OutputDataSet>(Key{}, std::move(impl));
}

const std::vector<OutColumn>& OutputDataSet::columns() const noexcept { return impl_->columns; }

void OutputDataSet::set_num(int col, double value) {
  if (col < 0 || static_cast<std::size_t>(col) >= impl_->staged.size()) return;
  StagedCell& c = impl_->staged[static_cast<std::size_t>(col)];
  c.kind = Staged::Number;
  c.number = value;
}

void OutputDataSet::set_str(int col, std::string_view value) {
  if (col < 0 || static_cast<std::size_t>(col) >= impl_->staged.size()) return;
  StagedCell& c = impl_->staged[static_cast<std::size_t>(col)];
  c.kind = Staged::Text;
  c.text.assign(value);
}

bool OutputDataSet::write_row() {
  Impl& s = *impl_;
  if (s.failure || s.committed) return false;
  for (std::size_t i = 0; i < s.staged.size(); ++i) {
    if (i > 0) s.buffer += ',';
    StagedCell& c = s.staged[i];
    if (c.kind == Staged::Number) {
      if (!s.columns[i].is_date) append_number(s.buffer, c.number);
      else if (date_in_range(c.number)) append_iso_date(s.buffer, c.number);
      // A date outside the valid range has no calendar form: written as missing.
    } else if (c.kind == Staged::Text) {
      append_csv_text(s.buffer, c.text);
    }
    c.kind = Staged::Empty;
  }
  s.buffer += '\n';
  ++s.rows;
  if (s.recording != nullptr) {
    s.recording->row(s.dataset, s.buffer);
    s.buffer.clear();
    return true;
  }
  return s.buffer.size() < kFlushBytes || s.flush();
}

bool OutputDataSet::write_row_text(std::string_view text) {
  Impl& s = *impl_;
  if (s.failure || s.committed || s.recording != nullptr) return false;
  s.buffer += text;
  ++s.rows;
  return s.buffer.size() < kFlushBytes || s.flush();
}

long OutputDataSet::rows_written() const noexcept { return impl_->rows; }

Status OutputDataSet::commit() {
  Impl& s = *impl_;
  if (s.committed) return Failure{fmt::format("Data set \"{}\" was already written.", s.final_path)};
  auto fail = [&](const std::string& text) -> Status {
    s.file.discard();
    if (!s.failure) s.failure = text;
    return Failure{text};
  };
  if (s.failure) return fail(*s.failure);
  if (!s.flush()) return fail(*s.failure);
  if (const Status committed = s.file.commit(); !committed)
    return fail(fmt::format("Cannot write data set \"{}\": {}.", s.final_path, committed.error()));
  s.committed = true;
  return {};
}

const std::string& OutputDataSet::path() const noexcept { return impl_->final_path; }

void append_number(std::string& out, double value) {
  if (std::isnan(value)) return;  // missing, or no number at all
  if (std::isinf(value)) {
    out += value < 0 ? "-inf" : "inf";
    return;
  }
  std::array<char, 32> buf{};
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  const std::string_view shortest(buf.data(), static_cast<std::size_t>(r.ptr - buf.data()));
  // Fixed notation wins ties on length, but spells large numbers out in full
  // ("106488404623935897600"); beyond 17 significant digits use the exponent form.
  if (shortest.find('e') == std::string_view::npos) {
    const std::size_t first = shortest.find_first_not_of("-0.");
    const std::size_t last = shortest.find_last_not_of("0.");
    std::size_t significant = 0;
    if (first != std::string_view::npos && last >= first)
      for (std::size_t i = first; i <= last; ++i) significant += shortest[i] != '.';
    if (significant > 17) {
      const auto e = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::scientific);
      out.append(buf.data(), e.ptr);
      return;
    }
  }
  out += shortest;
}

}  // namespace x11sa
