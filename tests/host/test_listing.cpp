// The listing: lines cut to the line size in characters, titles centred on
// every page, pages of the page size, and output to a FILE as to a string.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/ods.h"

namespace x11sa {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, nl = 0; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
    lines.push_back(text.substr(at, nl - at));
  return lines;
}

TEST(Listing, CutsLongLinesBetweenCharactersAndDropsTrailingBlanks) {
  std::string out;
  Listing listing(TextOut(&out), 64, 100);
  // 70 characters, each of two bytes: a cut by bytes would split one.
  std::string accented;
  for (int i = 0; i < 70; ++i) accented += "\xC3\xA9";  // e acute
  listing.line(accented);
  listing.line(std::string(80, 'x'));
  listing.line("value   ");
  const auto lines = lines_of(out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].size(), 128u);  // 64 characters of two bytes
  EXPECT_EQ(text_width(lines[0]), 64u);
  EXPECT_EQ(lines[1], std::string(64, 'x'));
  EXPECT_EQ(lines[2], "value");
}

TEST(Listing, FirstColumnsCountsCharactersNotBytes) {
  EXPECT_EQ(first_columns("abc", 5), "abc");
  EXPECT_EQ(first_columns("abcdef", 4), "abcd");
  EXPECT_EQ(first_columns("a\xC3\xA9" "bc", 2), "a\xC3\xA9");
  EXPECT_EQ(first_columns("\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", 2), "\xE2\x82\xAC\xE2\x82\xAC");  // euro signs
  EXPECT_EQ(first_columns("abc", 0), "");
}

TEST(Listing, PagesRepeatTheCentredTitles) {
  std::string out;
  Listing listing(TextOut(&out), 64, 6);
  listing.set_titles({"R\xC3\xA9sum\xC3\xA9"});  // 6 characters, 8 bytes
  for (int i = 0; i < 8; ++i) listing.line("row " + std::to_string(i));
  // Each page: the title, a blank line, then four rows.
  EXPECT_EQ(listing.pages(), 2);
  const auto pages_text = out.substr(out.find('\f') + 1);
  const auto first = lines_of(out.substr(0, out.find('\f')));
  ASSERT_EQ(first.size(), 6u);
  EXPECT_EQ(first[0], std::string(29, ' ') + "R\xC3\xA9sum\xC3\xA9");  // (64 - 6) / 2 blanks
  EXPECT_EQ(first[1], "");
  EXPECT_EQ(first[2], "row 0");
  EXPECT_EQ(first[5], "row 3");
  const auto second = lines_of(pages_text);
  ASSERT_EQ(second.size(), 6u);
  EXPECT_EQ(second[0], first[0]);
  EXPECT_EQ(second[5], "row 7");
}

TEST(Listing, WritesToAFileAsToAString) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::string text;
  Listing to_file(TextOut(f), 64, 100);
  Listing to_text(TextOut(&text), 64, 100);
  for (Listing* l : {&to_file, &to_text}) {
    l->line("first");
    l->skip(2);
    l->line(std::string(70, 'y'));
  }
  std::fflush(f);
  std::rewind(f);
  std::string from_file;
  for (int c = 0; (c = std::fgetc(f)) != EOF;) from_file.push_back(static_cast<char>(c));
  std::fclose(f);
  EXPECT_EQ(from_file, text);
  EXPECT_EQ(text, "first\n\n\n" + std::string(64, 'y') + "\n");
}

}  // namespace
}  // namespace x11sa
