// The listing: lines cut to the line size in characters, paragraphs and
// titles wrapped at blanks, titles centred on every page, pages of the page
// size, and output to a FILE as to a string.
#include <gtest/gtest.h>

#include <algorithm>
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

// The lines of a one-page listing without titles, after its header: the
// page number and a blank line.
std::vector<std::string> body_lines(const std::string& text) {
  auto lines = lines_of(text);
  EXPECT_EQ(lines.at(0), std::string(58, ' ') + "Page 1");
  EXPECT_EQ(lines.at(1), "");
  lines.erase(lines.begin(), lines.begin() + 2);
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
  const auto lines = body_lines(out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].size(), 128u);  // 64 characters of two bytes
  EXPECT_EQ(text_width(lines[0]), 64u);
  EXPECT_EQ(lines[1], std::string(64, 'x'));
  EXPECT_EQ(lines[2], "value");
}

// The words of the lines, in order.
std::vector<std::string> words_of(const std::vector<std::string>& lines) {
  std::vector<std::string> words;
  for (const auto& l : lines)
    for (std::size_t at = l.find_first_not_of(' '); at != std::string::npos; at = l.find_first_not_of(' ', at)) {
      const std::size_t end = std::min(l.find(' ', at), l.size());
      words.push_back(l.substr(at, end - at));
      at = end;
    }
  return words;
}

TEST(Listing, ParagraphsWrapAtBlanksAndContinueIndented) {
  std::string out;
  Listing listing(TextOut(&out), 64, 100);
  const std::string text =
      "  Irregular values outside of 2.5-sigma limits are excluded from trading day regression, "
      "and the months left out are listed in B14 and C14 with their irregular values.";
  listing.paragraph(text);
  const auto lines = body_lines(out);
  EXPECT_EQ(static_cast<int>(lines.size()), listing.paragraph_lines(text));
  ASSERT_EQ(lines.size(), 3u) << out;
  EXPECT_EQ(words_of(lines), words_of({text}));
  EXPECT_EQ(lines[0].rfind("  Irregular", 0), 0u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), 64u) << lines[i];
    if (i > 0) {
      EXPECT_EQ(lines[i].find_first_not_of(' '), 4u) << lines[i];  // two more than the first
    }
    // Each line ends where the next word would not have fitted.
    if (i + 1 < lines.size()) {
      EXPECT_GT(lines[i].size() + 1 + words_of({lines[i + 1]})[0].size(), 64u) << lines[i];
    }
  }
}

TEST(Listing, AWordWiderThanTheLineBreaksBetweenCharactersAndGoesOn) {
  std::string out;
  Listing listing(TextOut(&out), 64, 100);
  std::string accented;
  for (int i = 0; i < 70; ++i) accented += "\xC3\xA9";  // e acute, two bytes
  listing.paragraph(accented + " end\tof\ntext");
  const auto lines = body_lines(out);
  ASSERT_EQ(lines.size(), 2u) << out;
  EXPECT_EQ(lines[0], accented.substr(0, 128));
  // The rest of the word, then the text with its control characters shown.
  EXPECT_EQ(lines[1], "  " + accented.substr(128) + " end\\tof\\ntext");
}

TEST(Listing, TitlesWiderThanTheLineWrapAndEachLineIsCentred) {
  std::string out;
  Listing listing(TextOut(&out), 64, 100);
  const std::string title = "D12   Final Trend Cycle - Henderson Curve: 13-Term Moving Average, I/C Ratio 1.092";
  centred(listing, title);
  const auto lines = body_lines(out);
  ASSERT_EQ(lines.size(), centred_lines(listing, title));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(words_of(lines), words_of({title}));
  for (const auto& l : lines) {
    const std::size_t lead = l.find_first_not_of(' ');
    EXPECT_EQ(lead, (64 - (l.size() - lead)) / 2) << l;
  }
}

TEST(Listing, FirstColumnsCountsCharactersNotBytes) {
  EXPECT_EQ(first_columns("abc", 5), "abc");
  EXPECT_EQ(first_columns("abcdef", 4), "abcd");
  EXPECT_EQ(first_columns("a\xC3\xA9" "bc", 2), "a\xC3\xA9");
  EXPECT_EQ(first_columns("\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", 2), "\xE2\x82\xAC\xE2\x82\xAC");  // euro signs
  EXPECT_EQ(first_columns("abc", 0), "");
}

TEST(Listing, PagesRepeatTheCentredTitlesAndEndTheFirstLineWithThePageNumber) {
  // 53 characters: centred at 64 columns they would end two columns too
  // late for the number, so they move left as far as they must; at 132
  // they stay centred.
  const std::string title = "The X11 Procedure - Seasonal Adjustment of passengers";
  for (const int linesize : {64, 132}) {
    std::string out;
    Listing listing(TextOut(&out), linesize, 6);
    listing.set_titles({title});
    for (int i = 0; i < 8; ++i) listing.line("row " + std::to_string(i));
    // Each page: the title, a blank line, then four rows.
    const auto lines = lines_of(out);
    ASSERT_EQ(lines.size(), 12u) << out;
    const std::size_t margin = linesize == 64 ? 3 : (132 - 53) / 2;
    const std::string head = std::string(margin, ' ') + title + std::string(linesize - margin - 53 - 6, ' ') + "Page ";
    EXPECT_EQ(lines[0], head + "1");
    EXPECT_EQ(lines[5], "row 3");
    EXPECT_EQ(lines[6], "\f" + head + "2");
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[11], "row 7");
  }
  // A title too wide for the line beside the number wraps, each of its
  // lines centred, the number on the first; a page without titles has the
  // number alone.
  std::string out;
  Listing listing(TextOut(&out), 64, 20);
  listing.set_titles({title + " (r\xC3\xA9gion=north west)"});  // 19 characters in the second line
  listing.line("row");
  listing.set_titles({});
  listing.new_page();
  const auto lines = lines_of(out);
  ASSERT_EQ(lines.size(), 6u) << out;
  EXPECT_EQ(lines[0], "   " + title + "  Page 1");
  EXPECT_EQ(lines[1], std::string(22, ' ') + "(r\xC3\xA9gion=north west)");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[4], std::string("\f").append(58, ' ').append("Page 2"));
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
  EXPECT_EQ(text.substr(text.find("first")), "first\n\n\n" + std::string(64, 'y') + "\n");
}

}  // namespace
}  // namespace x11sa
