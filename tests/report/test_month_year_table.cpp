// The month-by-year table: cells by year and period with the statistics of
// each layout, the footnote, the fuzz rule; in the listing, cells right
// under their headings whatever their width.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/host.h"
#include "render/listing_sink.h"
#include "report/capture_sink.h"
#include "report/month_year_table.h"
#include "x11sa/missing.h"

namespace x11sa {
namespace {

struct MonthYearTable : ::testing::Test {
  OdsManager ods;
  CaptureSink capture;
  MonthYearTableOptions options;
  MonthYearTable() { ods.add_sink(&capture); }
  OdsTable print(Table t, const std::vector<double>& x, int first_period = 0) {
    print_month_year_table(ods, t, x, {Frequency::Monthly, 1990, first_period, 0}, options);
    return capture.tables.back();
  }
};

double value(const OdsTable& t, std::size_t row, std::size_t col) {
  const auto* v = std::get_if<double>(&t.rows.at(row).at(col));
  return v == nullptr ? kMissing : *v;
}

// `low` and `high` by turns.
std::vector<double> alternating(std::size_t n, double low, double high) {
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = i % 2 == 0 ? low : high;
  return x;
}

TEST_F(MonthYearTable, ValuesFallUnderTheirYearAndMonthWithYearTotals) {
  std::vector<double> x(25);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<double>(i + 1);
  const OdsTable t = print(Table::D11, x, 2);  // from March 1990
  ASSERT_EQ(t.rows.size(), 4u);               // 1990, 1991, 1992 and the summary row
  EXPECT_EQ(value(t, 0, 0), 1990.0);
  EXPECT_TRUE(is_missing(value(t, 0, 2)));  // February 1990
  EXPECT_EQ(value(t, 0, 3), 1.0);           // March 1990
  EXPECT_EQ(value(t, 2, 3), 25.0);          // March 1992, the last value
  EXPECT_TRUE(is_missing(value(t, 2, 4)));
  EXPECT_EQ(value(t, 0, 14), 55.0);  // 1 + ... + 10
  EXPECT_EQ(value(t, 3, 0), -1.0);   // the summary row: period means
  EXPECT_EQ(value(t, 3, 1), (11.0 + 23.0) / 2);
  EXPECT_EQ(t.notes.at(0).rfind("Total: 325.000  Mean: 13.000  RMS dev. from 100: ", 0), 0u) << t.notes[0];
}

TEST_F(MonthYearTable, RowStatisticsAndFootnoteOfEachLayout) {
  // Irregulars deviate from 100 (or 0 additive), factors average and sum
  // only their total, and the footnote names only the statistics there
  // are; statistics within the fuzz of 0 are 0, not "-0.000".
  const struct {
    Table table;
    Mode mode;
    std::vector<double> x;
    double stat, january;  // of the first year, and of the Januaries in the summary row
    std::string note;
  } cases[] = {
      {Table::D13, Mode::Multiplicative, alternating(24, 98, 102), 2.0, 2.0,
       "Total: 2400.000  Mean: 100.000  RMS dev. from 100: 2.000"},
      {Table::D13, Mode::Additive, alternating(24, -2, 2), 2.0, 2.0,
       "Total: 0.000  Mean: 0.000  RMS dev. from 0: 2.000"},
      {Table::D10, Mode::Multiplicative, alternating(24, 98, 102), 100.0, 98.0, "Total: 2400.000"},
      {Table::D13, Mode::Additive, std::vector<double>(12, -1e-10), 0.0, 0.0,
       "Total: 0.000  Mean: 0.000  RMS dev. from 0: 0.000"}};
  for (const auto& c : cases) {
    options.mode = c.mode;
    const OdsTable t = print(c.table, c.x);
    EXPECT_EQ(value(t, 0, 1), c.x[0]);  // the values themselves stay
    EXPECT_EQ(value(t, 0, 14), c.stat) << c.note;
    EXPECT_EQ(value(t, t.rows.size() - 1, 1), c.january) << c.note;
    EXPECT_EQ(t.notes, std::vector<std::string>{c.note});
  }
  EXPECT_EQ(print(Table::D13, alternating(24, -2, 2)).rows.back()[0], OdsCell{-2.0});  // marks deviations
  ASSERT_EQ(options.mode, Mode::Additive);
  EXPECT_DOUBLE_EQ(value(print(Table::D13, std::vector<double>(12, 2e-8)), 0, 14), 2e-8);
  std::vector<double> gap = alternating(36, 98, 102);
  std::fill(gap.begin() + 12, gap.begin() + 24, kMissing);
  EXPECT_TRUE(is_missing(value(print(Table::D10, gap), 1, 14)));  // a year without values
  // Without a value there is no statistic to name, and no footnote.
  for (const Table table : {Table::D10, Table::D11, Table::D13})
    EXPECT_TRUE(print(table, std::vector<double>(24, kMissing)).notes.empty()) << table_name(table);
}

// End columns of the blank-separated words of a line.
std::vector<std::size_t> word_ends(const std::string& line) {
  std::vector<std::size_t> ends;
  for (std::size_t i = 0; i < line.size(); ++i)
    if (line[i] != ' ' && (i + 1 == line.size() || line[i + 1] == ' ')) ends.push_back(i + 1);
  return ends;
}

bool starts(const std::string& l, std::string_view word) {
  const std::size_t first = l.find_first_not_of(' ');
  return first != std::string::npos && l.compare(first, word.size(), word) == 0;
}

TEST_F(MonthYearTable, ListedCellsStayRightAlignedUnderTheirHeadingsWhateverTheirWidth) {
  // Negative, missing and very wide values among ordinary ones: one value
  // too wide for the usual cell layout widens every column. A narrow line
  // splits the months into panels.
  for (const auto& [linesize, wide] : {std::pair{132, 1234.5}, std::pair{132, 1e30}, std::pair{64, 1234.5}}) {
    std::string text;
    Listing listing(TextOut(&text), linesize, 60);
    X11ListingSink sink(listing);
    ods.clear_sinks();
    ods.add_sink(&sink);
    std::vector<double> x(24);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = 95.0 + 0.125 * static_cast<double>(i);
    x[1] = -3.25;
    x[2] = kMissing;
    x[3] = wide;
    print_month_year_table(ods, Table::D10, x, {Frequency::Monthly, 1990, 0, 24}, options);
    std::vector<std::string> lines;
    for (std::size_t at = 0, nl = 0; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
      lines.push_back(text.substr(at, nl - at));
    // Per panel: its heading, then the rows of 1990 and 1991.
    std::size_t panels = 0;
    std::size_t blank_cells = 0;
    std::vector<std::size_t> first_heads;
    for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
      if (!starts(lines[i], "Year")) continue;
      ASSERT_TRUE(starts(lines[i + 1], "1990") && starts(lines[i + 2], "1991")) << text;
      const auto heads = word_ends(lines[i]);
      if (panels++ == 0) first_heads = heads;
      // 1991 has every month: its words end where the headings do.
      EXPECT_EQ(word_ends(lines[i + 2]), heads) << lines[i] << '\n' << lines[i + 2];
      // 1990 lacks March: each of its words still ends under a heading.
      const auto cells = word_ends(lines[i + 1]);
      for (const std::size_t end : cells)
        EXPECT_NE(std::find(heads.begin(), heads.end(), end), heads.end()) << lines[i] << '\n' << lines[i + 1];
      blank_cells += heads.size() - cells.size();
    }
    EXPECT_GE(panels, linesize == 64 ? 2u : 1u);
    EXPECT_EQ(blank_cells, 1u) << text;
    // The numbers themselves, whole: the words of the rows of the panels.
    std::vector<std::string> words;
    std::size_t longest = 0;
    for (const auto& l : lines) {
      EXPECT_LE(l.size(), static_cast<std::size_t>(linesize)) << l;
      if (!starts(l, "1990") && !starts(l, "1991") && !starts(l, "Avg")) continue;
      for (std::size_t at = l.find_first_not_of(' ', l.find_first_not_of(' ') + 4); at < l.size();) {
        const std::size_t end = std::min(l.find(' ', at), l.size());
        words.push_back(l.substr(at, end - at));
        longest = std::max(longest, end - at);
        at = l.find_first_not_of(' ', end);
      }
    }
    const int decimals = wide < 1e4 ? 3 : 0;
    for (const double v : {-3.25, wide})
      EXPECT_NE(std::find(words.begin(), words.end(), fmt::format("{:.{}f}", v, decimals)), words.end()) << text;
    // Every column is one wider than the widest number, and at least nine.
    ASSERT_GE(first_heads.size(), 3u);
    EXPECT_EQ(first_heads[2] - first_heads[1], std::max<std::size_t>(8, longest) + 1) << text;
  }
}

}  // namespace
}  // namespace x11sa
