#include "host/program.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

#include <fmt/format.h>

#include "host/dataset.h"
#include "host/text.h"

namespace x11sa {

namespace {

bool is_alpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_alnum(char c) { return is_alpha(c) || is_digit(c); }

std::string upper_ascii(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

// Walks the text keeping line and column (columns count characters, not bytes).
class Cursor {
 public:
  explicit Cursor(std::string_view text) : s_(text) {}
  [[nodiscard]] bool done() const { return i_ >= s_.size(); }
  [[nodiscard]] char peek(std::size_t k = 0) const { return i_ + k < s_.size() ? s_[i_ + k] : '\0'; }
  [[nodiscard]] SourcePos pos() const { return {line_, col_}; }
  [[nodiscard]] std::size_t index() const { return i_; }
  [[nodiscard]] std::string_view slice(std::size_t from) const { return s_.substr(from, i_ - from); }
  void advance() {
    const char c = s_[i_++];
    if (c == '\n') {
      ++line_;
      col_ = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++col_;
    } else {
      // continuation byte of a multi-byte character: the column was counted at its lead byte
    }
  }

 private:
  std::string_view s_;
  std::size_t i_ = 0;
  int line_ = 1;
  int col_ = 1;
};

// Skips blanks and /* */ comments; false with an error when a comment is
// not closed.
bool skip_space(Cursor& c, std::vector<ProgramError>& errors) {
  for (;;) {
    while (!c.done() && std::isspace(static_cast<unsigned char>(c.peek())) != 0) c.advance();
    if (c.peek() == '/' && c.peek(1) == '*') {
      const SourcePos start = c.pos();
      c.advance();
      c.advance();
      while (!c.done() && !(c.peek() == '*' && c.peek(1) == '/')) c.advance();
      if (c.done()) {
        errors.push_back({start, "A comment starting here is not closed by */."});
        return false;
      }
      c.advance();
      c.advance();
      continue;
    }
    return true;
  }
}

Token lex_string(Cursor& c, std::vector<ProgramError>& errors) {
  Token t;
  t.kind = TokKind::String;
  t.pos = c.pos();
  const char q = c.peek();
  c.advance();
  // Where the string's first line ends: an unclosed string takes only the
  // rest of that line, and reading goes on after it, so the rest of the
  // program is still read as statements rather than echoed as one value.
  std::optional<Cursor> after_first_line;
  std::size_t first_line_length = 0;
  for (;;) {
    if (c.done()) {
      errors.push_back({t.pos, fmt::format("A quoted string starting here is not closed by {}.", q)});
      if (after_first_line) {
        c = *after_first_line;
        t.text.resize(first_line_length);
      }
      return t;
    }
    const char ch = c.peek();
    if (ch == '\n' && !after_first_line) {
      first_line_length = t.text.size();
      after_first_line = c;
      after_first_line->advance();
    }
    c.advance();
    if (ch == q) {
      if (c.peek() == q) {
        t.text.push_back(q);
        c.advance();
        continue;
      }
      return t;
    }
    t.text.push_back(ch);
  }
}

Token lex_number_or_word(Cursor& c, std::vector<ProgramError>& errors) {
  Token t;
  t.pos = c.pos();
  const std::size_t from = c.index();
  while (is_digit(c.peek())) c.advance();
  bool has_point = false;
  if (c.peek() == '.' && is_digit(c.peek(1))) {
    has_point = true;
    c.advance();
    while (is_digit(c.peek())) c.advance();
  } else if (c.peek() == '.' && !is_alpha(c.peek(1))) {
    has_point = true;  // "5." is a number
    c.advance();
  }
  const bool sign_digit = (c.peek(1) == '+' || c.peek(1) == '-') && is_digit(c.peek(2));
  if ((c.peek() == 'e' || c.peek() == 'E') && (is_digit(c.peek(1)) || sign_digit)) {
    std::size_t k = 1;
    if (c.peek(k) == '+' || c.peek(k) == '-') ++k;
    if (!is_alpha(c.peek(k)) || is_digit(c.peek(k))) {
      c.advance();
      if (c.peek() == '+' || c.peek() == '-') c.advance();
      while (is_digit(c.peek())) c.advance();
    }
  }
  if (!has_point && is_alpha(c.peek())) {
    // A bare word that starts with digits: 3X3, 1990Q1, 90Q1.
    while (is_alnum(c.peek())) c.advance();
    t.kind = TokKind::Word;
    t.text = std::string(c.slice(from));
    return t;
  }
  t.kind = TokKind::Number;
  t.text = std::string(c.slice(from));
  double v = 0;
  const auto res = std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
  if (res.ec == std::errc()) {
    t.number = v;
  } else {
    t.number = std::numeric_limits<double>::quiet_NaN();
    // Too large (or too close to zero) for a double: no value stands in for it.
    errors.push_back({t.pos, fmt::format("The number {} is outside the range of numbers (about 1e-308 to 1e308 "
                                         "in size).",
                                         shown_text(t.text))});
  }
  return t;
}

// Lexes up to and including the next ';' (or the end). Returns false at
// the end of the text with nothing read.
struct RawStatement {
  Statement stmt;
  std::vector<ProgramError> errors;
  bool any = false;
};

RawStatement next_statement(Cursor& c) {
  RawStatement r;
  if (!skip_space(c, r.errors)) {
    r.any = true;
    r.stmt.terminated = true;
    return r;
  }
  if (c.done()) return r;
  r.any = true;
  r.stmt.pos = c.pos();
  // A statement starting with '*' is a comment up to its ';'.
  if (c.peek() == '*') {
    while (!c.done() && c.peek() != ';') c.advance();
    r.stmt.end = c.pos();
    if (c.done()) {
      r.errors.push_back({r.stmt.pos, "A comment statement starting here is not ended by ';'."});
    } else {
      c.advance();
    }
    return r;  // no tokens: an empty statement
  }
  for (;;) {
    if (!skip_space(c, r.errors)) {
      r.stmt.end = c.pos();
      return r;
    }
    if (c.done()) {
      r.stmt.end = c.pos();
      r.stmt.terminated = false;
      return r;
    }
    const char ch = c.peek();
    if (ch == ';') {
      r.stmt.end = c.pos();
      c.advance();
      return r;
    }
    if (ch == '\'' || ch == '"') {
      r.stmt.tokens.push_back(lex_string(c, r.errors));
      if (c.done() && !r.errors.empty()) {
        r.stmt.end = c.pos();
        return r;
      }
      continue;
    }
    if (is_digit(ch) || (ch == '.' && is_digit(c.peek(1)))) {
      r.stmt.tokens.push_back(lex_number_or_word(c, r.errors));
      continue;
    }
    if (is_alpha(ch)) {
      Token t;
      t.kind = TokKind::Word;
      t.pos = c.pos();
      const std::size_t from = c.index();
      while (is_alnum(c.peek())) c.advance();
      t.text = std::string(c.slice(from));
      r.stmt.tokens.push_back(std::move(t));
      continue;
    }
    Token t;
    t.kind = TokKind::Punct;
    t.pos = c.pos();
    if (ch == '*' && c.peek(1) == '*') {
      t.text = "**";
      c.advance();
      c.advance();
    } else if (static_cast<unsigned char>(ch) < 0x80 && std::isprint(static_cast<unsigned char>(ch))) {
      t.text = std::string(1, ch);
      c.advance();
    } else {
      // A control or non-ASCII character outside a string: report it and
      // skip the whole character.
      const std::size_t from = c.index();
      c.advance();
      while (!c.done() && (static_cast<unsigned char>(c.peek()) & 0xC0) == 0x80) c.advance();
      r.errors.push_back(
          {t.pos, fmt::format("The character '{}' cannot be used outside a quoted string.",
                              static_cast<unsigned char>(ch) < 0x20 ? std::string("\\x") +
                                  fmt::format("{:02X}", static_cast<unsigned char>(ch))
                                                                   : std::string(c.slice(from)))});
      continue;
    }
    r.stmt.tokens.push_back(std::move(t));
  }
}

std::optional<LibnameStmt> parse_libname(const Statement& s, std::vector<ProgramError>& errors) {
  const auto& t = s.tokens;
  if (t.size() != 3 || t[1].kind != TokKind::Word ||
      (t[2].kind != TokKind::String && t[2].kind != TokKind::Word)) {
    errors.push_back({s.pos, "Write LIBNAME as: LIBNAME name 'folder';"});
    return std::nullopt;
  }
  if (!is_library_name(t[1].text)) {
    errors.push_back({t[1].pos, fmt::format("The library name {} is longer than 8 characters.", shown_text(t[1].text))});
    return std::nullopt;
  }
  return LibnameStmt{upper_ascii(t[1].text), t[2].text, s.pos};
}

}  // namespace

bool Token::is_word(std::string_view upper_kw) const {
  if (kind != TokKind::Word || text.size() != upper_kw.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[i])) != upper_kw[i]) return false;
  return true;
}

std::string Token::upper() const { return upper_ascii(text); }

std::string Statement::keyword() const {
  if (tokens.empty() || tokens.front().kind != TokKind::Word) return {};
  return upper_ascii(tokens.front().text);
}

long Program::steps() const {
  long n = 0;
  for (const auto& it : items) n += it.step ? 1 : 0;
  return n;
}

std::string shown_text(std::string_view text, std::size_t limit) { return visible_text(text, limit); }

bool valid_utf8(std::string_view s) noexcept {
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len = 0;
    std::uint32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07u;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3Fu);
    }
    const std::uint32_t min_cp = len == 2 ? 0x80u : len == 3 ? 0x800u : 0x10000u;
    if (cp < min_cp || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

std::vector<Token> lex_statement_text(std::string_view text, std::vector<ProgramError>& errors) {
  Cursor c(text);
  std::vector<Token> all;
  while (!c.done()) {
    RawStatement r = next_statement(c);
    if (!r.any) break;
    for (auto& e : r.errors) errors.push_back(std::move(e));
    for (auto& t : r.stmt.tokens) all.push_back(std::move(t));
  }
  return all;
}

Program read_program(std::string_view text) {
  Program prog;
  // A byte-order mark is not part of the program.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Cursor c(text);
  std::optional<ProcStep> open;
  auto close_step = [&] {
    if (open) {
      prog.items.push_back(ProgramItem{std::nullopt, std::move(open), std::nullopt});
      open.reset();
    }
  };
  auto outside_error = [&](ProgramError e) {
    prog.items.push_back(ProgramItem{std::nullopt, std::nullopt, std::move(e)});
  };
  for (;;) {
    RawStatement r = next_statement(c);
    if (!r.any) break;
    Statement& s = r.stmt;
    if (!s.terminated && !s.tokens.empty())
      r.errors.push_back({s.end, fmt::format("The {} statement starting at line {} is not ended by ';' "
                                             "before the end of the file.",
                                             shown_text(s.keyword().empty() ? s.tokens.front().text : s.keyword()),
                                             s.pos.line)});
    const std::string kw = s.keyword();
    if (kw == "PROC") {
      close_step();
      ProcStep step;
      if (s.tokens.size() < 2 || s.tokens[1].kind != TokKind::Word) {
        r.errors.push_back({s.pos, "PROC must be followed by the name of a procedure."});
        step.name = "";
      } else {
        step.name = s.tokens[1].upper();
      }
      step.proc = std::move(s);
      step.errors = std::move(r.errors);
      open = std::move(step);
      continue;
    }
    if (kw == "LIBNAME") {
      std::vector<ProgramError> errs = std::move(r.errors);
      auto lib = parse_libname(s, errs);
      if (lib) prog.items.push_back(ProgramItem{std::move(lib), std::nullopt, std::nullopt});
      for (auto& e : errs) {
        if (open) {
          open->errors.push_back(std::move(e));
        } else {
          outside_error(std::move(e));
        }
      }
      continue;
    }
    if (kw == "RUN" || kw == "QUIT") {
      if (open) {
        for (auto& e : r.errors) open->errors.push_back(std::move(e));
        if (s.tokens.size() > 1)
          open->errors.push_back({s.tokens[1].pos, fmt::format("{} takes no options here.", kw)});
      } else {
        for (auto& e : r.errors) outside_error(std::move(e));
      }
      close_step();
      continue;
    }
    if (open) {
      for (auto& e : r.errors) open->errors.push_back(std::move(e));
      if (!s.tokens.empty()) open->body.push_back(std::move(s));
      continue;
    }
    for (auto& e : r.errors) outside_error(std::move(e));
    if (!s.tokens.empty())
      outside_error({s.pos, fmt::format("The statement {} is not valid outside a PROC step; start the "
                                        "step with PROC X11.",
                                        shown_text(kw.empty() ? s.tokens.front().text : kw))});
  }
  close_step();
  return prog;
}

}  // namespace x11sa
