// The month-by-year table: rows by year, cells by period, row statistics,
// summary row, footnote and the fuzz rule; and its listing layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "host/host.h"
#include "render/listing_sink.h"
#include "report/prn1.h"
#include "x11sa/missing.h"

namespace x11sa {
namespace {

// Keeps every table handed to it.
struct Capture : OdsSink {
  std::vector<OdsTable> tables;
  void open_group(const std::vector<OdsGroup>&) override {}
  void close_group(const std::vector<OdsGroup>&) override {}
  void table(const OdsTable& t) override { tables.push_back(t); }
};

struct Prn1 : ::testing::Test {
  std::string log, listing;
  Host host{TextOut(&log), TextOut(&listing), TextOut(), HostSettings{}};
  Capture capture;
  X11COM com;
  Prn1() {
    com.host = &host;
    host.ods().add_sink(&capture);
  }
  double cell(const OdsTable& t, std::size_t row, std::size_t col) {
    const auto* v = std::get_if<double>(&t.rows[row][col]);
    return v == nullptr ? kMissing : *v;
  }
};

TEST_F(Prn1, SeriesStartingInMarchFillsThreeYearRows) {
  std::vector<double> x(25);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<double>(i + 1);
  x11prn1(&com, 147, 1, 2, 2, 1990, 2, 25, x.data(), 0, 0.0, 0);
  ASSERT_EQ(capture.tables.size(), 1u);
  const OdsTable& t = capture.tables[0];
  EXPECT_EQ(t.name, "D11");
  EXPECT_EQ(t.template_path, "lum.x11.month.type1");
  ASSERT_EQ(t.rows.size(), 4u);  // 1990, 1991, 1992 and the summary row
  EXPECT_DOUBLE_EQ(cell(t, 0, 0), 1990.0);
  EXPECT_TRUE(is_missing(cell(t, 0, 1)));  // January 1990
  EXPECT_TRUE(is_missing(cell(t, 0, 2)));  // February 1990
  EXPECT_DOUBLE_EQ(cell(t, 0, 3), 1.0);    // March 1990
  EXPECT_DOUBLE_EQ(cell(t, 2, 0), 1992.0);
  EXPECT_DOUBLE_EQ(cell(t, 2, 3), 25.0);   // March 1992, the last value
  EXPECT_TRUE(is_missing(cell(t, 2, 4)));
  // Row totals (totcol 1) and column means (totrow 2).
  EXPECT_DOUBLE_EQ(cell(t, 0, 14), 55.0);  // 1 + ... + 10
  EXPECT_DOUBLE_EQ(cell(t, 3, 1), (11.0 + 23.0) / 2.0);
  EXPECT_DOUBLE_EQ(cell(t, 3, 0), -1.0);
  // Footnote: total, mean and the root mean square deviation from 100.
  ASSERT_EQ(t.notes.size(), 1u);
  const double mean = 13.0;
  const double sumsq = 25.0 * 26.0 * 51.0 / 6.0;
  const double rms = std::sqrt(sumsq / 25.0 + 10000.0 - 200.0 * mean);
  EXPECT_NE(t.notes[0].find("325"), std::string::npos) << t.notes[0];
  EXPECT_NE(t.notes[0].find(fmt::format("{:.3f}", rms)), std::string::npos) << t.notes[0];
}

TEST_F(Prn1, AYearWithoutValuesHasAMissingTotal) {
  std::vector<double> x(36, 100.0);
  for (int i = 12; i < 24; ++i) x[static_cast<std::size_t>(i)] = kMissing;
  x11prn1(&com, 146, 2, 2, 1, 1990, 0, 36, x.data(), 0, 0.0, 1);
  const OdsTable& t = capture.tables.at(0);
  EXPECT_TRUE(is_missing(cell(t, 1, 14)));
  EXPECT_DOUBLE_EQ(cell(t, 0, 14), 100.0);  // a mean
}

TEST_F(Prn1, LayoutsWithoutSummaryAndFootnote) {
  std::vector<double> x(24, 100.0);
  x11prn1(&com, 107, 4, 0, 0, 1990, 0, 24, x.data(), 0, 0.0, 2);  // weights: no summary
  x11prn1(&com, 145, 0, 0, 0, 1990, 0, 24, x.data(), 0, 0.0, 4);  // plain
  ASSERT_EQ(capture.tables.size(), 2u);
  EXPECT_EQ(capture.tables[0].rows.size(), 2u);
  EXPECT_TRUE(capture.tables[0].notes.empty());
  EXPECT_EQ(capture.tables[1].template_path, "lum.x11.month.type5");
  EXPECT_EQ(capture.tables[1].rows.size(), 2u);
}

TEST_F(Prn1, FuzzTurnsTinyStatisticsIntoZero) {
  com.fuzz = 1e-10;
  com.op.add_f = 1;
  std::vector<double> x(12, 1e-12);
  x11prn1(&com, 149, 2, 2, 2, 1990, 0, 12, x.data(), 0, 0.0, 0);
  const OdsTable& t = capture.tables.at(0);
  EXPECT_EQ(cell(t, 0, 14), 0.0);  // row mean 1e-12 prints as 0
  EXPECT_EQ(cell(t, 1, 1), 0.0);   // column mean too
  EXPECT_EQ(cell(t, 0, 1), 1e-12);  // the values themselves stay
}

TEST_F(Prn1, QuarterlyAndUnknownTitles) {
  com.op.month_f = 0;
  std::vector<double> x(8, 50.0);
  x11prn1(&com, 999, 1, 2, 2, 2000, 1, 8, x.data(), 0, 0.0, 0);
  const OdsTable& t = capture.tables.at(0);
  EXPECT_EQ(t.name, "XXX");
  EXPECT_EQ(t.template_path, "lum.x11.qtr.type1");
  EXPECT_EQ(t.columns.size(), 7u);  // Year, Q1..Q4, ControlVar, Stat
  EXPECT_EQ(t.rows.size(), 4u);     // 2000, 2001, 2002 and the summary
  EXPECT_EQ(NameMsg(159), "B1 ");
  EXPECT_EQ(NameMsg(183), "D12");
  EXPECT_EQ(NameMsg(226), "F1 ");
  EXPECT_EQ(NameMsg(103), "XXX");
}

TEST_F(Prn1, ListingShowsYearRowsPeriodColumnsAndTheSummary) {
  X11ListingSink sink(host.listing());
  host.ods().add_sink(&sink);
  std::vector<double> x(24);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = 95.0 + static_cast<double>(i % 12);
  x11prn1(&com, 146, 2, 2, 1, 1990, 0, 24, x.data(), 0, 0.0, 1);
  EXPECT_NE(listing.find("D10   Final Seasonal Factors"), std::string::npos) << listing;
  EXPECT_NE(listing.find("Jan"), std::string::npos);
  EXPECT_NE(listing.find("1991"), std::string::npos);
  EXPECT_NE(listing.find("95.000"), std::string::npos) << listing;
  EXPECT_NE(listing.find("Avg"), std::string::npos);
  for (std::size_t at = 0, nl = 0; (nl = listing.find('\n', at)) != std::string::npos; at = nl + 1)
    EXPECT_LE(nl - at, 132u);
  // A narrow line size splits the periods into panels.
  std::string narrow;
  Host host2{TextOut(&log), TextOut(&narrow), TextOut(), HostSettings{64, 60}};
  X11ListingSink sink2(host2.listing());
  host2.ods().add_sink(&sink2);
  com.host = &host2;
  x11prn1(&com, 146, 2, 2, 1, 1990, 0, 24, x.data(), 0, 0.0, 1);
  for (std::size_t at = 0, nl = 0; (nl = narrow.find('\n', at)) != std::string::npos; at = nl + 1)
    EXPECT_LE(nl - at, 64u) << narrow.substr(at, nl - at);
  EXPECT_NE(narrow.find("Dec"), std::string::npos);
}

// End columns of the blank-separated words of a line.
std::vector<std::size_t> word_ends(const std::string& line) {
  std::vector<std::size_t> ends;
  for (std::size_t i = 0; i < line.size(); ++i)
    if (line[i] != ' ' && (i + 1 == line.size() || line[i + 1] == ' ')) ends.push_back(i + 1);
  return ends;
}

TEST_F(Prn1, CellsStayRightAlignedUnderTheirHeadingsWhateverTheirWidth) {
  X11ListingSink sink(host.listing());
  host.ods().add_sink(&sink);
  // Negative, missing and very wide values among ordinary ones: one value
  // too wide for the usual cell layout widens every column.
  for (const double wide : {1234.5, 1e30}) {
    listing.clear();
    std::vector<double> x(24);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = 95.0 + 0.125 * static_cast<double>(i);
    x[1] = -3.25;
    x[2] = kMissing;
    x[3] = wide;
    x11prn1(&com, 146, 2, 2, 1, 1990, 0, 24, x.data(), 0, 0.0, 1);
    std::vector<std::string> lines;
    for (std::size_t at = 0, nl = 0; (nl = listing.find('\n', at)) != std::string::npos; at = nl + 1)
      lines.push_back(listing.substr(at, nl - at));
    auto starts = [](const std::string& l, std::string_view word) {
      const std::size_t first = l.find_first_not_of(' ');
      return first != std::string::npos && l.compare(first, word.size(), word) == 0;
    };
    // Per panel: its heading, then the rows of 1990 and 1991.
    std::size_t panels = 0;
    std::size_t blank_cells = 0;
    std::vector<std::size_t> first_heads;
    for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
      if (!starts(lines[i], "Year")) continue;
      ASSERT_TRUE(starts(lines[i + 1], "1990") && starts(lines[i + 2], "1991")) << listing;
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
    EXPECT_GE(panels, 1u);
    EXPECT_EQ(blank_cells, 1u) << listing;
    // The numbers themselves, whole: the words of the rows of the panels.
    std::vector<std::string> words;
    std::size_t longest = 0;
    for (const auto& l : lines) {
      if (!starts(l, "1990") && !starts(l, "1991") && !starts(l, "Avg")) continue;
      for (std::size_t at = l.find_first_not_of(' ', l.find_first_not_of(' ') + 4); at < l.size();) {
        const std::size_t end = std::min(l.find(' ', at), l.size());
        words.push_back(l.substr(at, end - at));
        longest = std::max(longest, end - at);
        at = l.find_first_not_of(' ', end);
      }
    }
    const int decimals = wide < 1e4 ? 3 : 0;
    EXPECT_NE(std::find(words.begin(), words.end(), fmt::format("{:.{}f}", -3.25, decimals)), words.end()) << listing;
    EXPECT_NE(std::find(words.begin(), words.end(), fmt::format("{:.{}f}", wide, decimals)), words.end()) << listing;
    // Every column is one wider than the widest number, and at least nine.
    ASSERT_GE(first_heads.size(), 3u);
    EXPECT_EQ(first_heads[2] - first_heads[1], std::max<std::size_t>(8, longest) + 1) << listing;
  }
}

}  // namespace
}  // namespace x11sa
