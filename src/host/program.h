// The program reader: tokens, statements and procedure steps of a program file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace x11sa {

struct SourcePos {
  int line = 0;  // 1-based
  int col = 0;   // 1-based, in characters
};

enum class TokKind {
  Word,    // a name, or a bare word such as 3X3, JAN90, 1990Q1
  Number,  // 12, 1.5, .5, 1e-3 (no sign; a sign is its own token)
  String,  // '...' or "..." with the quotes removed and doubled quotes undone
  Punct,   // = ( ) . , - + * ** / and other single characters
};

struct Token {
  TokKind kind = TokKind::Punct;
  std::string text;  // as written, except strings (their content)
  double number = 0;  // value of a Number token (NaN when it is beyond the range of doubles)
  SourcePos pos;
  [[nodiscard]] bool is_punct(std::string_view p) const { return kind == TokKind::Punct && text == p; }
  // Case-insensitive comparison of a Word token with an upper-case keyword.
  [[nodiscard]] bool is_word(std::string_view upper) const;
  [[nodiscard]] std::string upper() const;
};

struct ProgramError {
  SourcePos pos;
  std::string text;
};

// One statement: its tokens without the closing ';'.
struct Statement {
  std::vector<Token> tokens;
  SourcePos pos;      // of the first token
  SourcePos end;      // of the ';' (or of the end of the file)
  bool terminated = true;  // false when the file ended before its ';'
  [[nodiscard]] std::string keyword() const;  // first word, upper case; "" when none
};

// A procedure step: `PROC name options;` and the statements up to RUN;,
// QUIT;, the next PROC or the end of the file.
struct ProcStep {
  std::string name;  // upper case
  Statement proc;    // the PROC statement, its first two tokens being PROC and the name
  std::vector<Statement> body;
  // Faults of the text of this step (lexical faults, a missing ';'): the
  // step reports them and ends with a statement-error level.
  std::vector<ProgramError> errors;
};

struct LibnameStmt {
  std::string libref;
  std::string folder;
  SourcePos pos;
};

// The program in order: LIBNAME statements take effect where they stand.
struct ProgramItem {
  std::optional<LibnameStmt> libname;
  std::optional<ProcStep> step;
  std::optional<ProgramError> error;  // a statement that belongs nowhere
};

struct Program {
  std::vector<ProgramItem> items;
  [[nodiscard]] long steps() const;
};

// Reads a whole program text. Faults never stop the reading: each becomes
// an error of the step it belongs to, or an item of its own outside steps.
[[nodiscard]] Program read_program(std::string_view text);

// Lexes one stretch of text; exposed for tests and the fuzzer.
[[nodiscard]] std::vector<Token> lex_statement_text(std::string_view text,
                                                   std::vector<ProgramError>& errors);

// Text from a program as it shows in a one-line message: control characters
// as escapes, cut after `limit` bytes.
[[nodiscard]] std::string shown_text(std::string_view text, std::size_t limit = 40);

// True when the bytes are valid UTF-8.
[[nodiscard]] bool valid_utf8(std::string_view bytes) noexcept;

}  // namespace x11sa
