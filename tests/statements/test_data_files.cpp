// Data files as users bring them: quoted file paths for DATA= and the
// output data sets, header cells that are not names, cells that cannot be
// read, and dates written as period labels. Each runs a program in a
// scratch folder and checks what the user sees: the log, the exit level,
// the files written.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>

#include <fmt/format.h>

#include "support/run_support.h"

namespace x11sa::test {
namespace {

namespace fs = std::filesystem;

// 48 months from January 1990: the date column as `label(year, month)`
// writes it, then the values of a seasonal series.
std::string monthly_csv(const std::string& header, const std::function<std::string(int, int)>& label,
                        const std::function<std::string(int, double)>& cells = nullptr) {
  std::string csv = header + "\n";
  for (int i = 0; i < 48; ++i) {
    const double x = 100.0 + i + 10.0 * std::sin(0.5236 * i);
    csv += label(1990 + i / 12, i % 12 + 1) + "," + (cells ? cells(i, x) : fmt::format("{:.3f}", x)) + "\n";
  }
  return csv;
}

std::string iso_month(int y, int m) { return fmt::format("{}-{:02}-01", y, m); }

long errors(const std::string& log) {
  long n = 0;
  for (std::size_t at = log.find("ERROR:"); at != std::string::npos; at = log.find("ERROR:", at + 1)) ++n;
  return n;
}

std::string with_crlf(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

// The current folder changed for one test, and back afterwards.
class InFolder {
 public:
  explicit InFolder(const fs::path& folder) : before_(fs::current_path()) { fs::current_path(folder); }
  ~InFolder() {
    std::error_code ec;
    fs::current_path(before_, ec);
  }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  fs::path before_;
};

TEST(DataFiles, QuotedPathsReadAndWriteFilesAsNamed) {
  const ScratchDir dir;
  fs::create_directory(dir.path() / "exports");
  const std::string csv = monthly_csv("date,sales", iso_month);
  dir.write("exports/retail.sales.csv", csv);
  dir.write("retail.csv", csv);
  const InFolder here(dir.path());

  // The member the library finds, and the same file by a relative and by an
  // absolute path with dots in its names: the same output, written where
  // the paths say, with their case and without .csv added.
  const auto step = [](const std::string& out) {
    return " noprint; monthly date=date; var sales; output out=" + out + " d10=f d11=sa; run;\n";
  };
  const std::string absolute = (dir.path() / "exports" / "retail.sales.csv").string();
  const auto run = run_in(dir, "proc x11 data=retail" + step("member") +
                                   "proc x11 data='exports/retail.sales.csv'" +
                                   step("'exports/Retail.Sales.SA'") + "proc x11 data=\"" + absolute +
                                   "\"" + step("'" + (dir.path() / "v1.2.csv").string() + "'"));
  for (const auto& s : run.result.steps) EXPECT_EQ(s.exit_level, 0) << run.log;
  const std::string expected = read_file(dir.path() / "member.csv");
  ASSERT_FALSE(expected.empty()) << run.log;
  EXPECT_EQ(read_file(dir.path() / "exports" / "Retail.Sales.SA"), expected);
  EXPECT_EQ(read_file(dir.path() / "v1.2.csv"), expected);
  EXPECT_FALSE(dir.exists("exports/retail.sales.sa.csv"));
  EXPECT_TRUE(run.logged("NOTE: The data set exports/Retail.Sales.SA has 48 observations and 3 variables.")) << run.log;
  // The input file is as it was.
  EXPECT_EQ(read_file(dir.path() / "exports" / "retail.sales.csv"), csv);
}

TEST(DataFiles, NamesWithDotsAndPathsThatCannotBeRead) {
  const ScratchDir dir;
  fs::create_directory(dir.path() / "exports");
  dir.write("exports/retail.sales.csv", monthly_csv("date,sales", iso_month));
  const InFolder here(dir.path());
  const struct {
    std::string data;
    int level;
    std::string says;
  } cases[] = {
      // Without quotes a dot still separates library and member.
      {"retail.sales", 1012, "The library RETAIL of DATA=RETAIL.sales is not assigned"},
      {"retail.sales.csv", 3000,
       "Line 1, column 15 at 'retail.sales.csv': DATA= reads a name without quotes as library.member; write a file "
       "path in quotes: DATA='retail.sales.csv'."},
      {"exports/retail.sales.csv", 3000, "write a file path in quotes: DATA='exports/retail.sales.csv'."},
      {"'exports/retail.sales'", 1012,
       "The file 'exports/retail.sales' does not exist (a relative path is read from the current folder, " +
           fs::current_path().string() + "); did you mean 'exports/retail.sales.csv'?"},
      {"'exports'", 1012, "Data set 'exports': cannot read file \"exports\": it is a folder, not a file."},
      {"''", 3000, "DATA= needs a file path between the quotes."},
  };
  for (const auto& c : cases) {
    const auto run = run_in(dir, "proc x11 data=" + c.data + " noprint; monthly date=date; var sales; run;");
    EXPECT_EQ(run.level(), c.level) << c.data << "\n" << run.log;
    EXPECT_TRUE(run.logged(c.says)) << c.data << "\n" << run.log;
  }

  // A report file is never written over a data set read by its path.
  RunOptions options;
  std::string log;
  options.log_text = &log;
  options.progress = nullptr;
  options.listing_path = "exports/retail.sales.csv";
  const std::string before = read_file(dir.path() / "exports" / "retail.sales.csv");
  const RunResult result =
      run_program("proc x11 data='exports/retail.sales.csv'; monthly date=date; var sales; run;", options);
  EXPECT_FALSE(result.file_errors.empty()) << log;
  EXPECT_EQ(read_file(dir.path() / "exports" / "retail.sales.csv"), before);
}

TEST(DataFiles, HeaderCellsThatAreNotNamesAreRenamedWithANote) {
  const ScratchDir dir;
  dir.write("wine.csv", monthly_csv("month,Wine Sales,2019,sales($),", iso_month, [](int, double x) {
              return fmt::format("{0:.3f},{0:.3f},{0:.3f},", x);
            }));
  const auto run =
      run_in(dir, "proc x11 data=wine noprint; monthly date=month; var Wine_Sales _2019; output out=o d11=a b; run;");
  EXPECT_EQ(run.level(), 0) << run.log;
  EXPECT_TRUE(run.logged("NOTE: Data set WORK.wine: 4 header cells are not valid variable names, so their variables are "
                         "named from them: \"Wine Sales\" becomes Wine_Sales, \"2019\" becomes _2019, \"sales($)\" "
                         "becomes sales___, column 5 (no name) becomes V5.\n"))
      << run.log;
  EXPECT_EQ(read_table(dir.path() / "o.csv").names, (std::vector<std::string>{"month", "a", "b"}));

  // Names that clash once made valid: an error for a step that uses one of
  // them, a note for one that does not.
  dir.write("clash.csv", monthly_csv("month,x y,x_y,Sales", iso_month, [](int, double x) {
              return fmt::format("{0:.3f},{0:.3f},{0:.3f}", x);
            }));
  const auto used = run_in(dir, "proc x11 data=clash noprint; monthly date=month; var x_y; run;");
  EXPECT_EQ(used.level(), 1012) << used.log;
  EXPECT_TRUE(used.logged("ERROR: Data set WORK.clash: columns 2 (\"x y\") and 3 both have the name x_y, ignoring "
                          "case, so the step cannot tell which is meant; give them different names in the file.\n"))
      << used.log;
  const auto unused = run_in(dir, "proc x11 data=clash noprint; monthly date=month; var sales; run;");
  EXPECT_EQ(unused.level(), 0) << unused.log;
  EXPECT_TRUE(unused.logged("NOTE: Data set WORK.clash: 2 columns have the name x_y, ignoring case; the step does not "
                            "use them.\n"))
      << unused.log;
  // Without VAR every numeric column is adjusted: the clash is used.
  EXPECT_EQ(run_in(dir, "proc x11 data=clash noprint; monthly date=month; run;").level(), 1012);

  // A file separated by semicolons has one column, named from its header.
  dir.write("semi.csv", "month;sales\n1990-01;1\n");
  const auto semi = run_in(dir, "proc x11 data=semi noprint; monthly date=month; var sales; run;");
  EXPECT_EQ(semi.level(), 3000) << semi.log;
  EXPECT_TRUE(semi.logged("\"month;sales\" becomes month_sales.")) << semi.log;
  EXPECT_TRUE(semi.logged("Variable sales named in VAR is not on data set WORK.semi. Its values seem to be separated "
                          "by semicolons or tabs; data sets separate them by commas."))
      << semi.log;
}

// A cell that keeps a column from being read as the step needs is named by
// its file, its line there and its column; the step ends as a data error.
TEST(DataFiles, CellsThatCannotBeReadAreLocatedInTheFile) {
  const ScratchDir dir;
  // Row 3 has a note over three lines, so data row 40 is on line 43.
  dir.write("sales.csv", monthly_csv("date,v,note", iso_month, [](int i, double x) {
              if (i == 2) return fmt::format("{:.3f},\"first\nsecond\nthird\"", x);
              if (i == 39) return std::string("#N/A,x");
              if (i == 44) return std::string("n/a,x");
              return fmt::format("{:.3f},x", x);
            }));
  const std::string file = (dir.path() / "sales.csv").string();
  const std::string bad_number = "ERROR: " + file +
                                 " line 43, column v: '#N/A' is not a number; write a missing value as an empty "
                                 "cell, ., NA or NaN. 1 more cell of v is not a number either.\n";
  for (const std::string by : {"", " by note;"}) {
    const auto run = run_in(dir, "proc x11 data=sales; monthly date=date; var v;" + by + " output out=o d11=a; run;");
    EXPECT_EQ(run.level(), 1008) << run.log;
    EXPECT_TRUE(run.logged(bad_number)) << run.log;
    EXPECT_EQ(errors(run.log), 1) << run.log;
    EXPECT_FALSE(dir.exists("o.csv"));
  }
  // Without VAR the column is not adjusted, and the note says why.
  const auto all = run_in(dir, "proc x11 data=sales noprint; monthly date=date; run;");
  EXPECT_TRUE(all.logged("NOTE: Variable v is not adjusted, since not all of its cells are numbers: " + file +
                         " line 43, column v:"))
      << all.log;

  // A date that does not exist, on the line of a file with a byte order mark and CR LF line ends.
  dir.write("dates.csv", "\xEF\xBB\xBF" + with_crlf(monthly_csv("date,v", [](int y, int m) {
                           return y == 1991 && m == 2 ? std::string("1991-02-30") : iso_month(y, m);
                         })));
  const auto dates = run_in(dir, "proc x11 data=dates; monthly date=date; var v; run;");
  EXPECT_EQ(dates.level(), 1008) << dates.log;
  EXPECT_TRUE(dates.logged("ERROR: " + (dir.path() / "dates.csv").string() +
                           " line 15, column date: '1991-02-30' is not a date: February 1991 has no day 30.\n"))
      << dates.log;
  // A column of text is a character variable, as it always was.
  dir.write("text.csv", monthly_csv("date,region", iso_month, [](int, double) { return std::string("north"); }));
  const auto text = run_in(dir, "proc x11 data=text; monthly date=date; var region; run;");
  EXPECT_EQ(text.level(), 3000) << text.log;
  EXPECT_TRUE(text.logged("Variable region named in VAR is a character variable")) << text.log;
}

// A column of period labels, read as dates, dates the series as ISO dates do.
TEST(DataFiles, PeriodLabelsDateTheSeriesAsIsoDatesDo) {
  const ScratchDir dir;
  static constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::function<std::string(int, int)> monthly_labels[] = {
      iso_month,
      [](int y, int m) { return fmt::format("{}M{:02}", y, m); },
      [](int y, int m) { return fmt::format("\"{} {}\"", kMonths[m - 1], y); },
      [](int y, int m) { return fmt::format("{}-{:02}-01T00:00:00Z", y, m); },
  };
  std::string expected;
  for (const auto& label : monthly_labels) {
    dir.write("m.csv", monthly_csv("period,x", label));
    const auto run = run_in(dir, "proc x11 data=m noprint; monthly date=period; var x; output out=o d11=sa; run;");
    EXPECT_EQ(run.level(), 0) << label(1990, 1) << "\n" << run.log;
    if (expected.empty()) expected = read_file(dir.path() / "o.csv");
    EXPECT_EQ(read_file(dir.path() / "o.csv"), expected) << label(1990, 1);
  }

  const std::function<std::string(int)> quarterly_labels[] = {
      [](int q) { return fmt::format("{}-{:02}-01", 1990 + q / 4, 3 * (q % 4) + 1); },
      [](int q) { return fmt::format("{}Q{}", 1990 + q / 4, q % 4 + 1); },
  };
  expected.clear();
  for (const auto& label : quarterly_labels) {
    std::string csv = "quarter,x\n";
    for (int q = 0; q < 20; ++q) csv += fmt::format("{},{}\n", label(q), 100 + q + 7 * (q % 4 == 1));
    dir.write("q.csv", csv);
    const auto run = run_in(dir, "proc x11 data=q noprint; quarterly date=quarter; var x; output out=o d11=sa; run;");
    EXPECT_EQ(run.level(), 0) << label(0) << "\n" << run.log;
    if (expected.empty()) expected = read_file(dir.path() / "o.csv");
    EXPECT_EQ(read_file(dir.path() / "o.csv"), expected) << label(0);
  }
}

}  // namespace
}  // namespace x11sa::test
