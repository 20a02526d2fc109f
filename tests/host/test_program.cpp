// The program reader: tokens with their positions, statements, steps, and
// the faults of a program text.
#include <gtest/gtest.h>

#include "host/program.h"

namespace x11sa {
namespace {

std::vector<Token> lex(std::string_view text) {
  std::vector<ProgramError> errors;
  auto t = lex_statement_text(text, errors);
  EXPECT_TRUE(errors.empty()) << errors.front().text;
  return t;
}

TEST(ProgramLexer, BareWordsThatStartWithDigits) {
  const auto t = lex("jan=3X3 start=1990Q1 end=90q4 x=.5 y=5. z=2e-3 w=1E");
  std::vector<std::pair<TokKind, std::string>> want = {
      {TokKind::Word, "3X3"},  {TokKind::Word, "1990Q1"}, {TokKind::Word, "90q4"},
      {TokKind::Number, ".5"}, {TokKind::Number, "5."},   {TokKind::Number, "2e-3"},
      {TokKind::Word, "1E"}};
  std::size_t k = 0;
  for (std::size_t i = 2; i < t.size(); i += 3, ++k) {
    ASSERT_LT(k, want.size());
    EXPECT_EQ(t[i].kind, want[k].first) << t[i].text;
    EXPECT_EQ(t[i].text, want[k].second);
  }
  EXPECT_EQ(k, want.size());
}

TEST(ProgramLexer, StringsCommentsAndPunctuation) {
  const auto t = lex("libname a 'it''s /* here */'; /* note; */ x=\"q\"\"q\" (1 ** 0.5) -2 lib.member");
  ASSERT_GE(t.size(), 14u);
  EXPECT_EQ(t[2].kind, TokKind::String);
  EXPECT_EQ(t[2].text, "it's /* here */");
  EXPECT_TRUE(t[3].is_word("X"));
  EXPECT_EQ(t[5].text, "q\"q");
  EXPECT_TRUE(t[6].is_punct("("));
  EXPECT_TRUE(t[8].is_punct("**"));
  EXPECT_TRUE(t[10].is_punct(")"));
  EXPECT_TRUE(t[11].is_punct("-"));
  EXPECT_TRUE(t[13].is_word("LIB"));
  EXPECT_TRUE(t[14].is_punct("."));
}

TEST(ProgramLexer, ColumnsCountCharactersNotBytes) {
  const auto t = lex("x='é' y=1");
  ASSERT_EQ(t.size(), 6u);
  EXPECT_EQ(t[3].pos.col, 7);  // x = 'é' and a blank: six characters, seven bytes
}

TEST(ProgramReader, StepsStatementsAndLibnames) {
  const Program p = read_program(
      "libname d '/data';\n"
      "* a comment statement with = and 'quotes;\n"
      "proc x11 data=d.sales;\n  monthly date=date;\n  var a b;\nrun;\n"
      "proc x11 data=d.more; quarterly start=1990q1; run;\n"
      "proc x11; monthly start=jan90;\n");
  ASSERT_EQ(p.items.size(), 4u);
  ASSERT_TRUE(p.items[0].libname.has_value());
  EXPECT_EQ(p.items[0].libname->libref, "D");
  EXPECT_EQ(p.items[0].libname->folder, "/data");
  ASSERT_TRUE(p.items[1].step.has_value());
  const ProcStep& s1 = *p.items[1].step;
  EXPECT_EQ(s1.name, "X11");
  EXPECT_EQ(s1.proc.pos.line, 3);
  ASSERT_EQ(s1.body.size(), 2u);
  EXPECT_EQ(s1.body[0].keyword(), "MONTHLY");
  EXPECT_EQ(s1.body[1].keyword(), "VAR");
  EXPECT_TRUE(s1.errors.empty());
  ASSERT_TRUE(p.items[2].step.has_value());
  EXPECT_EQ(p.items[2].step->body.size(), 1u);
  // The last step ends at the end of the file without RUN.
  ASSERT_TRUE(p.items[3].step.has_value());
  EXPECT_EQ(p.items[3].step->body.size(), 1u);
  EXPECT_EQ(p.steps(), 3);
}

TEST(ProgramReader, StepEndsAtQuitAndAtTheNextProc) {
  const Program p = read_program("proc x11; var a; proc x11; var b; quit; var c;");
  ASSERT_EQ(p.steps(), 2);
  EXPECT_EQ(p.items[0].step->body.size(), 1u);
  EXPECT_EQ(p.items[1].step->body.size(), 1u);
  // A statement after QUIT belongs to no step.
  ASSERT_TRUE(p.items[2].error.has_value());
  EXPECT_NE(p.items[2].error->text.find("outside a PROC step"), std::string::npos);
}

TEST(ProgramReader, FaultsBelongToTheirStep) {
  // Unterminated comment, unterminated string, missing ';' and a stray
  // character: each is an error of the step it stands in, with its position.
  {
    const Program p = read_program("proc x11 data=a;\n var x; /* never closed\n run;");
    ASSERT_EQ(p.steps(), 1);
    const auto& e = p.items[0].step->errors;
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].pos.line, 2);
    EXPECT_EQ(e[0].pos.col, 9);
    EXPECT_NE(e[0].text.find("not closed"), std::string::npos);
  }
  {
    const Program p = read_program("proc x11 data=a;\n monthly start='jan90;\nrun;\n");
    const auto& e = p.items[0].step->errors;
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(e[0].pos.line, 2);
    EXPECT_EQ(e[0].pos.col, 16);
  }
  {
    const Program p = read_program("proc x11 data=a;\n var x");
    const auto& e = p.items[0].step->errors;
    ASSERT_EQ(e.size(), 1u);
    EXPECT_NE(e[0].text.find("not ended by ';'"), std::string::npos);
    EXPECT_EQ(p.items[0].step->body.size(), 1u);  // still read
  }
  {
    const Program p = read_program("proc x11 data=a;\n var x @ y;\nrun;");
    const auto& e = p.items[0].step->errors;
    EXPECT_TRUE(e.empty());  // '@' is punctuation; the grammar rejects it
    const Program q = read_program("proc x11 data=a;\n var x \x01 y;\nrun;");
    ASSERT_EQ(q.items[0].step->errors.size(), 1u);
    EXPECT_EQ(q.items[0].step->errors[0].pos.col, 8);
  }
}

TEST(ProgramReader, EmptyAndCommentOnlyProgramsHaveNoStep) {
  EXPECT_EQ(read_program("").steps(), 0);
  EXPECT_EQ(read_program("/* nothing */ * still nothing;\n\n").steps(), 0);
  EXPECT_EQ(read_program("\xEF\xBB\xBFproc x11; run;").steps(), 1);  // a BOM is skipped
}

TEST(ProgramReader, LibnameNeedsANameAndAFolder) {
  const Program p = read_program("libname toolongname '/x'; libname a; libname b \"/y\";");
  ASSERT_EQ(p.items.size(), 3u);
  EXPECT_TRUE(p.items[0].error.has_value());
  EXPECT_TRUE(p.items[1].error.has_value());
  ASSERT_TRUE(p.items[2].libname.has_value());
  EXPECT_EQ(p.items[2].libname->folder, "/y");
}

TEST(Utf8, AcceptsValidTextAndRejectsMalformedSequences) {
  EXPECT_TRUE(valid_utf8("plain ascii"));
  EXPECT_TRUE(valid_utf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_FALSE(valid_utf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(valid_utf8("\x80"));              // lone continuation
  EXPECT_FALSE(valid_utf8("\xE2\x82"));          // truncated
  EXPECT_FALSE(valid_utf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(valid_utf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

}  // namespace
}  // namespace x11sa
