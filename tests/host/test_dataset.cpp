#include "host/dataset.h"

#include <sys/resource.h>
#include <unistd.h>

#include <bit>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/dates.h"
#include "x11sa/missing.h"

namespace x11sa {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;

// The data sets as pointers, null with the reason in `error` on failure,
// which keeps the many expectations on failures short.
std::unique_ptr<InputDataSet> open_or_error(const std::string& path, const std::string& name, std::string& error,
                                            int threads = 1) {
  auto opened = InputDataSet::open(path, name, threads);
  if (!opened) {
    error = opened.error();
    return nullptr;
  }
  return std::move(opened).value();
}

std::unique_ptr<OutputDataSet> create_or_error(const std::string& folder, std::string_view member,
                                               std::vector<OutColumn> columns, std::string& error) {
  auto created = OutputDataSet::create(folder, member, std::move(columns));
  if (!created) {
    error = created.error();
    return nullptr;
  }
  return std::move(created).value();
}

bool commit_or_error(OutputDataSet& out, std::string& error) {
  const Status committed = out.commit();
  if (!committed) error = committed.error();
  return committed.ok();
}

// Every test gets a fresh folder, removed afterwards.
class DataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "x11sa-dataset-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::string write(const std::string& file, std::string_view bytes) const {
    const std::string path = (dir_ / file).string();
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  std::unique_ptr<InputDataSet> open_text(std::string_view bytes, std::string& error) const {
    return open_or_error(write("t.csv", bytes), "WORK.T", error);
  }

  // Opens text that must be valid.
  std::unique_ptr<InputDataSet> open_ok(std::string_view bytes) const {
    std::string error;
    auto ds = open_text(bytes, error);
    EXPECT_NE(ds, nullptr) << error;
    return ds;
  }

  // The open error of text that must be rejected.
  std::string open_error(std::string_view bytes) const {
    std::string error;
    auto ds = open_text(bytes, error);
    EXPECT_EQ(ds, nullptr);
    return error;
  }

  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
};

// All rows of the single group (no BY variables), each as its cell texts.
std::vector<std::vector<std::string>> all_rows(InputDataSet& ds) {
  std::vector<std::vector<std::string>> rows;
  ds.set_by({}, {}, false);
  if (!ds.next_group()) return rows;
  while (ds.next_row()) {
    std::vector<std::string> row;
    for (std::size_t v = 0; v < ds.vars().size(); ++v) row.emplace_back(ds.str(static_cast<int>(v)));
    rows.push_back(std::move(row));
  }
  return rows;
}

// Values of one numeric variable over the whole data set.
std::vector<double> column(InputDataSet& ds, int var) {
  std::vector<double> values;
  ds.set_by({}, {}, false);
  if (!ds.next_group()) return values;
  while (ds.next_row()) values.push_back(ds.num(var));
  return values;
}

// Each BY group as the texts of variable `var` of its rows.
std::vector<std::vector<std::string>> groups_of(InputDataSet& ds, int var) {
  std::vector<std::vector<std::string>> groups;
  while (ds.next_group()) {
    groups.emplace_back();
    while (ds.next_row()) groups.back().emplace_back(ds.str(var));
  }
  return groups;
}

using Groups = std::vector<std::vector<std::string>>;

// ---------------------------------------------------------------------------
// Opening and structure

TEST_F(DataSetTest, UnreadableOrEmptyFilesAreRejectedWithTheirName) {
  std::string error;
  EXPECT_EQ(open_or_error((dir_ / "none.csv").string(), "WORK.NONE", error), nullptr);
  EXPECT_THAT(error, AllOf(HasSubstr("WORK.NONE"), HasSubstr("none.csv"), HasSubstr("No such file")));

  EXPECT_EQ(open_or_error(dir_.string(), "WORK.DIR", error), nullptr);
  EXPECT_THAT(error, AllOf(HasSubstr("WORK.DIR"), HasSubstr("folder")));

  for (const std::string_view empty : {std::string_view(""), std::string_view("\n\n"),
                                       std::string_view("\r\n"), std::string_view("\xEF\xBB\xBF")}) {
    EXPECT_THAT(open_error(empty), AllOf(HasSubstr("WORK.T"), HasSubstr("empty"))) << "input: " << empty;
  }
}

// Each fault of the text names the data set and where it lies, on a single
// line whatever the file holds.
TEST_F(DataSetTest, MalformedTextIsRejectedSayingWhereAndWhy) {
  const struct {
    std::string text;
    std::vector<std::string> says;
  } cases[] = {
      {"a,b,c\n1,2,3\n4,5\n", {"WORK.T", "line 3 has 2 values", "3 variables"}},
      {"a,b\n1,2\n3,4,\n", {"line 3 has 3 values"}},
      {"a,b\n1,2\n\n3,4\n", {"line 3 is empty"}},
      {"a,b\n\"x\ny\nz\",1\n2\n", {"line 5 has 1 values"}},  // a quoted value spanning lines
      {"a,b\n1,2\n3,\"abc\n4,5\n", {"WORK.T", "starts on line 3", "never closed"}},
      {"a\n\"\"\"\n", {"starts on line 2"}},
      {"a,b\n\"x\"y,2\n", {"line 2", "closing quote"}},
      {std::string("a\nx\0y\n", 6), {"line 2", "NUL"}},
  };
  for (const auto& c : cases) {
    const std::string error = open_error(c.text);
    for (const std::string& part : c.says) EXPECT_THAT(error, HasSubstr(part)) << c.text;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

TEST_F(DataSetTest, HeaderNamesAndHeaderOnlyFiles) {
  // 32 characters is the longest name; blanks around names and quotes are not part of them.
  auto ds = open_ok(std::string(32, 'b') + ", _x1 ,\"Y\"\n1,2,3\n");
  ASSERT_NE(ds, nullptr);
  ASSERT_EQ(ds->vars().size(), 3u);
  EXPECT_EQ(ds->vars()[0].name, std::string(32, 'b'));
  EXPECT_EQ(ds->vars()[1].name, "_x1");
  EXPECT_EQ(ds->vars()[2].name, "Y");
  EXPECT_EQ(ds->find_var("_X1"), 1);
  EXPECT_EQ(ds->find_var("y"), 2);
  EXPECT_EQ(ds->find_var("z"), -1);

  for (const std::string_view text : {std::string_view("a,b"), std::string_view("a,b\n"),
                                      std::string_view("a,b\r\n\r\n")}) {
    ds = open_ok(text);
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(ds->nobs(), 0);
    ASSERT_EQ(ds->vars().size(), 2u);
    EXPECT_EQ(ds->vars()[1].name, "b");
    EXPECT_EQ(ds->vars()[1].type, VarType::Numeric);
    ds->set_by({}, {}, false);
    EXPECT_FALSE(ds->next_group());
    EXPECT_FALSE(ds->next_row());
  }
}

// Header cells that are not names name their variables all the same, and
// keep their text as the label; names that clash are found, not refused.
TEST_F(DataSetTest, HeadersThatAreNotNamesBecomeNames) {
  const struct {
    std::string header;  // as the file writes it
    std::string name;
    std::string label;  // the header, when it was changed
    bool renamed;
  } columns[] = {
      {"Wine Sales", "Wine_Sales", "Wine Sales", true},
      {"2019", "_2019", "2019", true},
      {"sales($)", "sales___", "sales($)", true},
      {"", "V4", "", true},
      {"caf\xC3\xA9", "caf_", "caf\xC3\xA9", true},  // one character, one underscore
      {" 1st quarter ", "_1st_quarter", "1st quarter", true},
      {"\"net, of \"\"tax\"\"\"", "net__of__tax_", "net, of \"tax\"", true},
      {"\"two\nlines\"", "two_lines", "two\nlines", true},
      {std::string(40, 'x'), std::string(32, 'x'), std::string(40, 'x'), true},
      {"_kept9", "_kept9", "", false},
      {"a", "a", "", false},
      {"A", "A", "", false},
  };
  std::string header;
  std::string row;
  for (const auto& c : columns) {
    header += (header.empty() ? "" : ",") + c.header;
    row += row.empty() ? "1" : ",1";
  }
  auto ds = open_ok(header + "\n" + row + "\n");
  ASSERT_NE(ds, nullptr);
  ASSERT_EQ(ds->vars().size(), std::size(columns));
  std::vector<RenamedColumn> renamed;
  for (std::size_t k = 0; k < std::size(columns); ++k) {
    EXPECT_EQ(ds->vars()[k].name, columns[k].name) << columns[k].header;
    EXPECT_EQ(ds->vars()[k].label, columns[k].label) << columns[k].header;
    EXPECT_EQ(ds->vars()[k].type, VarType::Numeric);
    if (columns[k].renamed) renamed.push_back({static_cast<int>(k) + 1, columns[k].label, columns[k].name});
  }
  ASSERT_EQ(ds->renamed_columns().size(), renamed.size());
  for (std::size_t k = 0; k < renamed.size(); ++k) {
    EXPECT_EQ(ds->renamed_columns()[k].column, renamed[k].column);
    EXPECT_EQ(ds->renamed_columns()[k].header, renamed[k].header);
    EXPECT_EQ(ds->renamed_columns()[k].name, renamed[k].name);
  }
  // "a" and "A" clash; every other name is its own.
  EXPECT_EQ(ds->name_clash(10), (std::vector<int>{10, 11}));
  EXPECT_EQ(ds->name_clash(11), (std::vector<int>{10, 11}));
  for (int k = 0; k < 10; ++k) EXPECT_TRUE(ds->name_clash(k).empty()) << k;

  // A name made from a header can clash with one as written.
  ds = open_ok("x y,x_y,X Y\n1,2,3\n");
  ASSERT_NE(ds, nullptr);
  EXPECT_EQ(ds->name_clash(1), (std::vector<int>{0, 1, 2}));
}

// A cell that keeps its column from being read as numbers (or dates) is
// named by the line of the file it is on, whatever lies before it: a byte
// order mark, CR LF line ends, quoted values over several lines.
TEST_F(DataSetTest, CellsThatCannotBeReadAreFoundByTheirLineInTheFile) {
  auto ds = open_ok(
      "\xEF\xBB\xBFwhen,v,note\r\n"
      "1990Q1,1,\"two\r\nlines\"\r\n"
      "1990Q2,#N/A,x\r\n"
      "1990Q5,3,\"three\nmore\nlines\"\r\n"
      "1990Q3, n/a ,y\r\n"
      "1990Q4,,z\r\n");
  ASSERT_NE(ds, nullptr);
  EXPECT_EQ(ds->cells_reading_as(1, CellReading::Numbers), 2);
  EXPECT_EQ(ds->cells_reading_as(0, CellReading::Dates), 4);
  EXPECT_EQ(ds->cells_reading_as(2, CellReading::Dates), 0);
  const Status v = ds->read_as(1, CellReading::Numbers);
  ASSERT_FALSE(v.ok());
  EXPECT_EQ(v.error(), fs::path(dir_ / "t.csv").string() +
                           " line 4, column v: '#N/A' is not a number; write a missing value as an empty cell, ., "
                           "NA or NaN. 1 more cell of v is not a number either.");
  const Status when = ds->read_as(0, CellReading::Dates);
  ASSERT_FALSE(when.ok());
  EXPECT_EQ(when.error(), fs::path(dir_ / "t.csv").string() +
                              " line 5, column when: '1990Q5' is not a date: there is no quarter 5.");
  EXPECT_EQ(ds->vars()[1].type, VarType::Character);  // a failed reading changes nothing

  // Far into a file, past its first blocks, after many quoted values over
  // several lines: the line counted as the file is written.
  std::string big = "id,note,v\n";
  long line = 2;
  long bad_line = 0;
  for (int r = 0; r < 100000; ++r) {
    const int breaks = r % 7 == 0 ? r % 3 + 1 : 0;
    if (r == 87654) bad_line = line + breaks;  // after the note's line breaks
    big += fmt::format("{},\"note{}\",{}{}", r, std::string(static_cast<std::size_t>(breaks), '\n'),
                       r == 87654 ? "1e" : "1.5", r % 2 == 0 ? "\r\n" : "\n");
    line += breaks + 1;
  }
  ASSERT_GT(big.size(), std::size_t{1} << 20);  // past the first block
  ds = open_ok(big);
  ASSERT_NE(ds, nullptr);
  const Status far = ds->read_as(2, CellReading::Numbers);
  ASSERT_FALSE(far.ok());
  EXPECT_NE(far.error().find(fmt::format(" line {}, column v: '1e' is not a number", bad_line)), std::string::npos)
      << far.error();

  // Every cell a date: the column reads as the days of its quarters.
  ds = open_ok("when,v\n1990Q1,1\n,2\n 1990-Q3 ,3\n");
  ASSERT_NE(ds, nullptr);
  ASSERT_EQ(ds->vars()[0].type, VarType::Character);
  ASSERT_TRUE(ds->read_as(0, CellReading::Dates).ok());
  EXPECT_TRUE(ds->vars()[0].is_date);
  const std::vector<double> days = column(*ds, 0);
  ASSERT_EQ(days.size(), 3u);
  EXPECT_EQ(days[0], parse_iso_date("1990-01-01"));
  EXPECT_TRUE(is_missing(days[1]));
  EXPECT_EQ(days[2], parse_iso_date("1990-07-01"));
}

TEST_F(DataSetTest, BytesThatAreNotUtf8AreReportedByLine) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"overlong two-byte slash", "\xC0\xAF"},
      {"overlong three-byte slash", "\xE0\x80\xAF"},
      {"overlong four-byte form", "\xF0\x80\x80\x80"},
      {"lone continuation byte", "\x80"},
      {"truncated sequence", "\xE2\x82"},
      {"surrogate half", "\xED\xA0\x80"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80"},
      {"byte never used", "\xFF"},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(open_error("a,b\n1,x\n2,y" + c.bytes + "z\n"), AllOf(HasSubstr("line 3"), HasSubstr("UTF-8")))
        << c.what;
    EXPECT_THAT(open_error("a,b\n1,\"x\ny" + c.bytes + "\"\n"), AllOf(HasSubstr("line 3"), HasSubstr("UTF-8")))
        << c.what << " in a quoted value";
    // At the very end of the file the sequence is cut short as well.
    EXPECT_THAT(open_error("a\n" + c.bytes), HasSubstr("UTF-8")) << c.what << " at the end";
  }

  // Well-formed sequences of every length pass, and lengths count bytes.
  auto ds = open_ok("name\ncaf\xC3\xA9\n\xE2\x82\xAC\n\xF0\x9D\x84\x9E!\n");
  ASSERT_NE(ds, nullptr);
  EXPECT_EQ(ds->vars()[0].type, VarType::Character);
  EXPECT_EQ(ds->vars()[0].length, 5);
  EXPECT_EQ(all_rows(*ds), (Groups{{"caf\xC3\xA9"}, {"\xE2\x82\xAC"}, {"\xF0\x9D\x84\x9E!"}}));
}

// Byte order marks, line ends, trailing lines and quoted fields: the cells
// each text reads as.
TEST_F(DataSetTest, CellsReadFromEveryLineEndAndQuoting) {
  const struct {
    std::string text;
    Groups rows;
  } cases[] = {
      {"\xEF\xBB\xBFid,v\r\nab,1\r\ncd,2\r\n\r\n", {{"ab", "1"}, {"cd", "2"}}},
      {"id,v\nab,1\ncd,2", {{"ab", "1"}, {"cd", "2"}}},  // no line end after the last row
      {"id,v\na\rb,1\r", {{"a\rb", "1"}}},               // a carriage return that ends no line is data
      // With one column an empty line inside the data is a missing value;
      // only the empty lines that close the file are not rows.
      {"x\n1\n\n3\n\n\n", {{"1"}, {""}, {"3"}}},
      {"\"label\",n\n\"a,b\",1\n\"two\r\nlines\",\"2\"\n\"say \"\"hi\"\"\",3\n\"\"\"\",4\nplain \"inch\",5\n",
       {{"a,b", "1"}, {"two\r\nlines", "2"}, {"say \"hi\"", "3"}, {"\"", "4"}, {"plain \"inch\"", "5"}}},
  };
  for (const auto& c : cases) {
    auto ds = open_ok(c.text);
    ASSERT_NE(ds, nullptr) << c.text;
    EXPECT_EQ(ds->nobs(), static_cast<long>(c.rows.size())) << c.text;
    EXPECT_EQ(all_rows(*ds), c.rows) << c.text;
  }
  auto ds = open_ok(cases[0].text);
  EXPECT_EQ(ds->vars()[0].name, "id");
  EXPECT_EQ(ds->vars()[0].length, 2);
  ds = open_ok(cases[3].text);
  EXPECT_TRUE(is_missing(column(*ds, 0)[1]));
  ds = open_ok(cases[4].text);
  EXPECT_EQ(ds->vars()[0].length, 12);              // plain "inch"
  EXPECT_EQ(ds->vars()[1].type, VarType::Numeric);  // a quoted number is a number
  EXPECT_DOUBLE_EQ(column(*ds, 1)[1], 2.0);
}

// Files are read in blocks of 1 MiB. A row holding every construct that needs
// a look ahead (CR LF, a doubled quote, a quoted line break, a multi-byte
// character, a closing quote) slides across the first block edge of the
// opening scan and of the reading pass (the header's length further on).
TEST_F(DataSetTest, RowsAcrossBlockEdgesReadTheSame) {
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  const std::string header = "id,text\r\n";
  const std::string special = "s,\"ab\"\"cd\r\nef\xE2\x82\xAC\xF0\x9D\x84\x9Eg\"\r\n";
  const std::string special_text = "ab\"cd\r\nef\xE2\x82\xAC\xF0\x9D\x84\x9Eg";
  const std::size_t first = kBlock - special.size() - 2;
  for (std::size_t start = first; start <= kBlock + header.size() + 2; ++start) {
    // Filler rows "f,xxx...\r\n" up to `start`, each at most 100 bytes.
    std::string text = header;
    long fillers = 0;
    while (text.size() < start) {
      const std::size_t left = start - text.size();
      const std::size_t len = left >= 110 ? 100 : (left >= 10 ? left : 0);
      if (len == 0) {
        text.insert(header.size(), start - text.size(), 'x');  // lengthen the first filler
        break;
      }
      text += "f," + std::string(len - 4, 'x') + "\r\n";
      ++fillers;
    }
    ASSERT_EQ(text.size(), start);
    text += special;
    text += "t,after\r\n";
    auto ds = open_ok(text);
    ASSERT_NE(ds, nullptr) << start;
    ASSERT_EQ(ds->nobs(), fillers + 2) << start;
    ds->set_by({}, {}, false);
    ASSERT_TRUE(ds->next_group());
    for (long i = 0; i < fillers; ++i) {
      ASSERT_TRUE(ds->next_row());
      ASSERT_EQ(ds->str(0), "f") << start;
    }
    ASSERT_TRUE(ds->next_row());
    ASSERT_EQ(ds->str(1), special_text) << start;
    ASSERT_TRUE(ds->next_row());
    ASSERT_EQ(ds->str(1), "after") << start;
    ASSERT_FALSE(ds->next_row());
  }
}

TEST_F(DataSetTest, FieldsLongerThanABlockAndLinesFarIn) {
  const std::string big(2'500'000, 'z');
  std::string text = "k,v\nfirst,1\n\"" + big + "\n" + big + "\",2\nlast,3\n";
  auto ds = open_ok(text);
  ASSERT_NE(ds, nullptr);
  EXPECT_EQ(ds->nobs(), 3);
  EXPECT_EQ(ds->vars()[0].length, 5'000'001);
  EXPECT_EQ(all_rows(*ds), (Groups{{"first", "1"}, {big + "\n" + big, "2"}, {"last", "3"}}));

  // Line numbers count on through the blocks, and past quoted line breaks.
  text = "k,v\n";
  for (int i = 0; i < 200'000; ++i) text += "row,1\n";  // lines 2 to 200001
  text += "\"a\nb\",2\n";                            // lines 200002 and 200003
  text += "short\n";
  EXPECT_THAT(open_error(text), HasSubstr("line 200004 has 1 values"));
}

TEST_F(DataSetTest, TwoThreadsCheckALargeFileAsOneDoes) {
  // Rows of about 3 MB, with `middle` at the middle of the file and `late`
  // three quarters in.
  auto file = [](std::size_t columns, const std::string& middle, const std::string& late) {
    constexpr std::size_t kSize = std::size_t{3} << 20;
    std::string text = columns == 1 ? "x\n" : "id,date,value\n";
    bool middle_placed = false;
    bool late_placed = false;
    for (int i = 0; text.size() < kSize; ++i) {
      text += columns == 1 ? fmt::format("{}.125\n", i)
                           : fmt::format("S{:06d},{}-{:02d}-01,{}.25\n", i, 1900 + i / 12 % 8000, i % 12 + 1, i);
      if (!middle_placed && text.size() + middle.size() / 2 >= kSize / 2) {
        text += middle;
        middle_placed = true;
      }
      if (!late_placed && text.size() >= kSize / 4 * 3) {
        text += late;
        late_placed = true;
      }
    }
    return text;
  };
  const std::string newlines(50'000, '\n');
  const std::string quoted_lines = "\"" + std::string(20'000, 'q') + newlines + "\",2000-01-01,1\n";
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"plain rows", file(3, "", "")},
      {"a longer name, and a value that is no number, in the second half", file(3, "", "S1234567890,2000-01-01,n/a\n")},
      {"a quoted value across the middle", file(3, quoted_lines, "")},
      {"a row too short at the middle", file(3, "S1,2000-01-01\n", "")},
      {"a row too short in the second half", file(3, "", "S1,2000-01-01\n")},
      {"empty lines across the middle", file(3, newlines, "")},
      {"empty lines as rows of the one variable", file(1, newlines, newlines)},
      {"empty lines in the second half as rows of the one variable", file(1, "", newlines)},
      {"empty lines at the end", file(3, "", "") + newlines},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = write("large.csv", c.text);
    std::string error_alone, error_shared;
    const auto alone = open_or_error(path, "WORK.LARGE", error_alone, 1);
    const auto shared = open_or_error(path, "WORK.LARGE", error_shared, 2);
    EXPECT_EQ(error_shared, error_alone);
    ASSERT_EQ(shared == nullptr, alone == nullptr);
    if (alone == nullptr) continue;
    EXPECT_EQ(shared->nobs(), alone->nobs());
    ASSERT_EQ(shared->vars().size(), alone->vars().size());
    for (std::size_t v = 0; v < alone->vars().size(); ++v) {
      EXPECT_EQ(shared->vars()[v].type, alone->vars()[v].type) << v;
      EXPECT_EQ(shared->vars()[v].is_date, alone->vars()[v].is_date) << v;
      EXPECT_EQ(shared->vars()[v].length, alone->vars()[v].length) << v;
    }
    EXPECT_TRUE(all_rows(*shared) == all_rows(*alone));
  }
}

// ---------------------------------------------------------------------------
// Types and values

TEST_F(DataSetTest, ColumnTypesFollowFromEveryCell) {
  auto ds = open_ok(
      "num,day,month,text,none,mixed,baddate,lowernan\n"
      "1,1960-01-01,1960-01,a,,1,2020-02-29,1\n"
      " -2.5e1 ,2000-01-01,2000-02,bcd,.,2000-01-01,2021-02-29,nan\n"
      "+.5,,NA,,NA,,,2\n"
      "NaN,1582-01-01,1959-12, x ,NaN,3,2020-01-01,3\n");
  ASSERT_NE(ds, nullptr);
  const auto& v = ds->vars();
  ASSERT_EQ(v.size(), 8u);
  EXPECT_EQ(v[0].type, VarType::Numeric);
  EXPECT_FALSE(v[0].is_date);
  EXPECT_EQ(v[0].length, 8);
  EXPECT_EQ(v[1].type, VarType::Numeric);
  EXPECT_TRUE(v[1].is_date);
  EXPECT_TRUE(v[2].is_date);
  EXPECT_EQ(v[3].type, VarType::Character);
  EXPECT_EQ(v[3].length, 3);
  EXPECT_EQ(v[4].type, VarType::Numeric);  // nothing but missing values
  EXPECT_FALSE(v[4].is_date);
  EXPECT_EQ(v[5].type, VarType::Character);  // dates and numbers mixed
  EXPECT_EQ(v[5].length, 10);
  EXPECT_EQ(v[6].type, VarType::Character);  // 2021-02-29 does not exist
  EXPECT_EQ(v[7].type, VarType::Character);  // only "NaN" spelt so marks a missing value

  const std::vector<double> num = column(*ds, 0);
  ASSERT_EQ(num.size(), 4u);
  EXPECT_DOUBLE_EQ(num[0], 1.0);
  EXPECT_DOUBLE_EQ(num[1], -25.0);
  EXPECT_DOUBLE_EQ(num[2], 0.5);
  EXPECT_TRUE(is_missing(num[3]));

  // A month reads as its first day (the days themselves are checked with the calendar).
  const std::vector<double> month = column(*ds, 2);
  ASSERT_EQ(month.size(), 4u);
  EXPECT_EQ(month[1], parse_iso_date("2000-02-01"));
  EXPECT_TRUE(is_missing(month[2]));

  for (const double x : column(*ds, 4)) EXPECT_TRUE(is_missing(x));
  for (const double x : column(*ds, 3)) EXPECT_TRUE(is_missing(x));  // text has no number

  // Character values keep their blanks; str() of a number is its cell text.
  ds->set_by({}, {}, false);
  ASSERT_TRUE(ds->next_group());
  ASSERT_TRUE(ds->next_row());
  ASSERT_TRUE(ds->next_row());
  EXPECT_EQ(ds->str(0), " -2.5e1 ");
  ASSERT_TRUE(ds->next_row());
  ASSERT_TRUE(ds->next_row());
  EXPECT_EQ(ds->str(3), " x ");
  EXPECT_TRUE(is_missing(ds->num(99)));
  EXPECT_EQ(ds->str(-1), "");
}

TEST_F(DataSetTest, NumbersParseExactlyAndBeyondTheRangeOfDoubles) {
  auto ds = open_ok("x\n0.1\n-0\n1e400\n-1E+400\n1e-400\n4.9e-324\n1.\n.25\n-inf\nInfinity\n12345678901234567890\n");
  ASSERT_NE(ds, nullptr);
  ASSERT_EQ(ds->vars()[0].type, VarType::Numeric);
  const std::vector<double> x = column(*ds, 0);
  ASSERT_EQ(x.size(), 11u);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(x[0]), std::bit_cast<std::uint64_t>(0.1));
  EXPECT_TRUE(std::signbit(x[1]));
  EXPECT_EQ(x[2], std::numeric_limits<double>::infinity());
  EXPECT_EQ(x[3], -std::numeric_limits<double>::infinity());
  EXPECT_EQ(x[4], 0.0);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(x[5]), std::uint64_t{1});  // the smallest subnormal
  EXPECT_EQ(x[6], 1.0);
  EXPECT_EQ(x[7], 0.25);
  EXPECT_EQ(x[8], -std::numeric_limits<double>::infinity());
  EXPECT_EQ(x[9], std::numeric_limits<double>::infinity());
  EXPECT_EQ(x[10], 12345678901234567890.0);

  for (const char* text : {"1e", "e5", "--1", "1.2.3", "0x10", "1,5", "1 2", "."}) {
    auto other = open_ok(std::string("x,y\n\"") + text + "\",1\n");
    ASSERT_NE(other, nullptr);
    const bool is_dot = std::string_view(text) == ".";
    EXPECT_EQ(other->vars()[0].type, is_dot ? VarType::Numeric : VarType::Character) << text;
  }
}

// ---------------------------------------------------------------------------
// BY groups

// The groups each BY order makes of a text, and where rows out of that
// order stop them: the message names both rows by their BY values, on one
// line. Reading again after set_by gives the same, error included.
TEST_F(DataSetTest, ByGroupsFollowTheirOrderAndStopAtRowsOutOfIt) {
  const std::string regions = "region,year,v\nEast,2001,1\nEast,2002,2\nWest,2001,3\nEast,2003,4\nWest,2004,5\n";
  const struct {
    std::string text;
    std::vector<int> by;
    std::vector<bool> descending;
    bool notsorted;
    int value;  // the variable listed in `groups`
    Groups groups;
    std::vector<std::string> error;  // empty when the order holds
  } cases[] = {
      // Numbers compare by value, missing lowest.
      {"g,k,v\n,a,1\n.,a,2\n1,a,3\n1.0,b,4\n1,b,5\n2,a,6\n10,a,7\n", {0}, {false}, false, 2,
       {{"1", "2"}, {"3", "4", "5"}, {"6"}, {"7"}}, {}},
      // Two BY variables, characters compared bytewise ("B" < "a").
      {"g,k,v\n1,B,1\n1,a,2\n1,a,3\n2,A,4\n", {0, 1}, {false, false}, false, 2, {{"1"}, {"2", "3"}, {"4"}}, {}},
      // Dates compare as day counts, and are named as dates.
      {"d,v\n1999-12,1\n2000-01-01,2\n2000-01,3\n", {0}, {}, false, 1, {{"1"}, {"2", "3"}}, {}},
      {"d\n2000-02\n2000-01-15\n", {0}, {}, false, 0, {{"2000-02"}}, {"d=2000-01-15", "d=2000-02-01"}},
      {regions, {0}, {false}, false, 2, {{"1", "2"}, {"3"}},
       {"WORK.T", "row 4 (region=\"East\")", "row 3 (region=\"West\")"}},
      {regions, {0, 1}, {false, true}, false, 2, {{"1"}},
       {"row 2 (region=\"East\", year=2002)", "row 1 (region=\"East\", year=2001)"}},
      {"g,v\n\"b\nb\",1\na,2\n", {0}, {}, false, 1, {{"1"}}, {"row 1 (g=\"b\\nb\")", "row 2 (g=\"a\")"}},
      {"g,v\n3,1\n3,2\n2,3\n,4\n", {0}, {true}, false, 1, {{"1", "2"}, {"3"}, {"4"}}, {}},
      {"g,v\n3,1\n3,2\n2,3\n,4\n", {0}, {false}, false, 1, {{"1", "2"}}, {"row 3 (g=2)", "row 2 (g=3)"}},
      {"g,v\na,1\na,2\nb,3\na,4\na,5\n", {0}, {}, true, 1, {{"1", "2"}, {"3"}, {"4", "5"}}, {}},
  };
  for (const auto& c : cases) {
    auto ds = open_ok(c.text);
    ASSERT_NE(ds, nullptr);
    for (int pass = 0; pass < 2; ++pass) {
      ds->set_by(c.by, c.descending, c.notsorted);
      EXPECT_EQ(groups_of(*ds, c.value), c.groups) << c.text;
      EXPECT_FALSE(ds->next_group());  // stays stopped
      ASSERT_EQ(static_cast<bool>(ds->sort_error()), !c.error.empty()) << c.text;
      if (!ds->sort_error()) continue;
      for (const std::string& part : c.error) EXPECT_THAT(*ds->sort_error(), HasSubstr(part));
      EXPECT_EQ(ds->sort_error()->find('\n'), std::string::npos);
    }
  }
}

TEST_F(DataSetTest, GroupsCanBeSkippedAndTheWholeDataSetIsOneGroupWithoutBy) {
  auto ds = open_ok("g,v\na,1\na,2\nb,3\nc,4\nc,5\n");
  ASSERT_NE(ds, nullptr);
  ds->set_by({0}, {}, false);
  ASSERT_TRUE(ds->next_group());
  EXPECT_EQ(ds->str(0), "a");  // the group's values are there before its first row
  ASSERT_TRUE(ds->next_group());  // group a never read
  ASSERT_TRUE(ds->next_row());
  EXPECT_EQ(ds->str(1), "3");
  EXPECT_EQ(ds->row_number(), 3);
  ASSERT_TRUE(ds->next_group());
  ASSERT_TRUE(ds->next_row());  // group c half read
  EXPECT_EQ(ds->str(1), "4");
  EXPECT_FALSE(ds->next_group());
  EXPECT_FALSE(ds->next_row());

  ds->set_by({}, {}, false);
  EXPECT_EQ(groups_of(*ds, 1), (Groups{{"1", "2", "3", "4", "5"}}));
  ds->set_by({7, -1}, {true}, false);  // indexes that name no variable are ignored
  EXPECT_EQ(groups_of(*ds, 1).size(), 1u);
}

TEST_F(DataSetTest, RewindAndNotedPositionsRereadTheGroup) {
  auto ds = open_ok("g,v\na,1\nb,2\nb,\"x\"\"y\"\nb,4\nc,5\n");
  ASSERT_NE(ds, nullptr);
  ds->set_by({0}, {}, false);
  ASSERT_TRUE(ds->next_group());
  ASSERT_TRUE(ds->next_group());
  ASSERT_TRUE(ds->next_row());
  const RowPos first = ds->note();
  EXPECT_EQ(first.row, 2);
  ASSERT_TRUE(ds->next_row());
  const RowPos second = ds->note();
  EXPECT_EQ(second.row, 3);
  EXPECT_EQ(ds->str(1), "x\"y");
  ASSERT_TRUE(ds->next_row());
  EXPECT_FALSE(ds->next_row());
  EXPECT_FALSE(ds->next_row());

  ds->point(second);
  ASSERT_TRUE(ds->next_row());
  EXPECT_EQ(ds->row_number(), 3);
  EXPECT_EQ(ds->str(1), "x\"y");
  ASSERT_TRUE(ds->next_row());
  EXPECT_EQ(ds->str(1), "4");
  EXPECT_FALSE(ds->next_row());

  ds->rewind_group();
  std::vector<std::string> again;
  while (ds->next_row()) again.emplace_back(ds->str(1));
  EXPECT_EQ(again, (std::vector<std::string>{"2", "x\"y", "4"}));

  // A position before the group goes back to the group's start, not into group a.
  ds->point(RowPos{0, 1});
  ASSERT_TRUE(ds->next_row());
  EXPECT_EQ(ds->row_number(), 2);

  ds->point(first);
  ASSERT_TRUE(ds->next_group());
  ASSERT_TRUE(ds->next_row());
  EXPECT_EQ(ds->str(0), "c");
  EXPECT_FALSE(ds->next_group());
}

// ---------------------------------------------------------------------------
// Names, libraries, locating files

TEST(DataSetName, ParsesOneAndTwoLevelNames) {
  const auto one = DataSetName::parse("Sales");
  ASSERT_TRUE(one);
  EXPECT_EQ(one->libref, "WORK");
  EXPECT_EQ(one->member, "Sales");
  EXPECT_EQ(one->display(), "WORK.Sales");
  const auto two = DataSetName::parse("mylib.out_2");
  ASSERT_TRUE(two);
  EXPECT_EQ(two->display(), "MYLIB.out_2");
  for (const char* bad : {"", ".", "a.", ".b", "a.b.c", "2x", "a b", "lib.x-y", "abcdefghijabcdefghijabcdefghijabc"})
    EXPECT_FALSE(DataSetName::parse(bad)) << bad;
  EXPECT_TRUE(DataSetName::parse("abcdefghijabcdefghijabcdefghijab"));
}

TEST(Library, LibrefsIgnoreCaseAndWorkDefaultsToTheCurrentFolder) {
  Library lib;
  EXPECT_EQ(lib.folder("work"), std::optional<std::string>("."));
  EXPECT_FALSE(lib.folder("data"));
  lib.assign("Data", "/srv/data");
  lib.assign("work", "/tmp/w");
  EXPECT_EQ(lib.folder("DATA"), std::optional<std::string>("/srv/data"));
  EXPECT_EQ(lib.folder("Work"), std::optional<std::string>("/tmp/w"));
  lib.assign("DATA", "/other");
  EXPECT_EQ(lib.folder("data"), std::optional<std::string>("/other"));
}

TEST_F(DataSetTest, LocateFindsTheExactNameFirstThenIgnoresCase) {
  const std::string folder = dir_.string();
  EXPECT_FALSE(InputDataSet::locate(folder, "sales"));
  write("SALES.CSV", "x\n1\n");
  EXPECT_EQ(InputDataSet::locate(folder, "sales"), (dir_ / "SALES.CSV").string());
  write("sales.csv", "x\n2\n");
  EXPECT_EQ(InputDataSet::locate(folder, "sales"), (dir_ / "sales.csv").string());
  EXPECT_EQ(InputDataSet::locate(folder, "Sales"), (dir_ / "SALES.CSV").string());  // smallest in byte order
  // Whatever stands at the exact name is found, so that opening it says what it is.
  fs::create_directory(dir_ / "other.csv");
  EXPECT_EQ(InputDataSet::locate(folder, "other"), (dir_ / "other.csv").string());
  EXPECT_FALSE(InputDataSet::locate(folder, "../sales"));
  EXPECT_FALSE(InputDataSet::locate((dir_ / "missing").string(), "sales"));
}

// ---------------------------------------------------------------------------
// Output data sets

TEST(AppendNumber, ShortestFormReadsBackBitIdentical) {
  auto text = [](double x) {
    std::string s;
    append_number(s, x);
    return s;
  };
  EXPECT_EQ(text(0.1), "0.1");
  EXPECT_EQ(text(100.0), "100");
  EXPECT_EQ(text(-2.5), "-2.5");
  EXPECT_EQ(text(1e21), "1e+21");
  EXPECT_EQ(text(-0.0), "-0");
  EXPECT_EQ(text(123456789012345680.0), "123456789012345680");  // 17 significant digits
  EXPECT_EQ(text(std::ldexp(1.0, 70)), "1.1805916207174113e+21");  // not 1180591620717411303424
  EXPECT_EQ(text(kMissing), "");
  EXPECT_EQ(text(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(text(-std::numeric_limits<double>::infinity()), "-inf");

  std::mt19937_64 gen(20240601);
  for (int i = 0; i < 20000; ++i) {
    double x = std::bit_cast<double>(gen());
    if (!std::isfinite(x)) continue;
    if (i % 2 == 0) x = std::ldexp(static_cast<double>(gen() >> 11), -30);  // ordinary magnitudes too
    const std::string s = text(x);
    double back = 0.0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), back);
    ASSERT_EQ(r.ec, std::errc()) << s;
    ASSERT_EQ(r.ptr, s.data() + s.size()) << s;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(x)) << s;
    std::string digits;  // the mantissa's digits, from the first to the last nonzero one
    for (const char c : s.substr(0, s.find('e')))
      if (c >= '0' && c <= '9') digits += c;
    const auto first = digits.find_first_not_of('0');
    const auto significant = first == std::string::npos ? 0 : digits.find_last_not_of('0') - first + 1;
    ASSERT_LE(significant, 17u) << s;
  }
}

TEST_F(DataSetTest, OutputRoundTripsThroughInput) {
  std::string error;
  auto out = create_or_error(dir_.string(), "Result",
                                   {{"id", VarType::Character, false, "Series"},
                                    {"date", VarType::Numeric, true, ""},
                                    {"value", VarType::Numeric, false, ""}},
                                   error);
  ASSERT_NE(out, nullptr) << error;
  EXPECT_EQ(out->path(), (dir_ / "result.csv").string());
  EXPECT_EQ(out->columns().size(), 3u);

  const std::vector<std::string> ids = {"plain", "a,b", "say \"hi\"", "two\nlines", "cr\r\nlf", " padded "};
  std::mt19937_64 gen(7);
  std::vector<double> values;
  constexpr int kRows = 6000;  // more than one write buffer
  for (int i = 0; i < kRows; ++i) {
    out->set_str(0, ids[static_cast<std::size_t>(i) % ids.size()]);
    out->set_num(1, i % 7 == 3 ? kMissing : static_cast<double>(i - 3000));
    const double v = i % 5 == 0 ? kMissing : std::ldexp(static_cast<double>(gen() >> 11), -40) - 4000.0;
    values.push_back(v);
    out->set_num(2, v);
    ASSERT_TRUE(out->write_row());
  }
  out->set_str(0, "only id");  // the other cells of a row left unset are missing
  ASSERT_TRUE(out->write_row());
  EXPECT_EQ(out->rows_written(), kRows + 1);
  EXPECT_FALSE(fs::exists(dir_ / "result.csv"));
  ASSERT_TRUE(commit_or_error(*out, error)) << error;
  EXPECT_EQ(files(), std::vector<std::string>{"result.csv"});

  const std::string text = slurp((dir_ / "result.csv").string());
  const std::string head = "id,date,value\nplain,1951-10-15,\n\"a,b\",1951-10-16,";
  EXPECT_EQ(text.substr(0, head.size()), head);

  auto in = open_or_error((dir_ / "result.csv").string(), "WORK.RESULT", error);
  ASSERT_NE(in, nullptr) << error;
  ASSERT_EQ(in->nobs(), kRows + 1);
  EXPECT_EQ(in->vars()[0].type, VarType::Character);
  EXPECT_TRUE(in->vars()[1].is_date);
  EXPECT_FALSE(in->vars()[2].is_date);
  in->set_by({}, {}, false);
  ASSERT_TRUE(in->next_group());
  for (int i = 0; i < kRows; ++i) {
    ASSERT_TRUE(in->next_row());
    ASSERT_EQ(in->str(0), ids[static_cast<std::size_t>(i) % ids.size()]) << i;
    const double date = in->num(1);
    if (i % 7 == 3) ASSERT_TRUE(is_missing(date)) << i;
    else ASSERT_EQ(date, static_cast<double>(i - 3000)) << i;
    const double v = in->num(2);
    if (is_missing(values[static_cast<std::size_t>(i)])) ASSERT_TRUE(is_missing(v)) << i;
    else ASSERT_EQ(std::bit_cast<std::uint64_t>(v), std::bit_cast<std::uint64_t>(values[static_cast<std::size_t>(i)])) << i;
  }
  ASSERT_TRUE(in->next_row());
  EXPECT_EQ(in->str(0), "only id");
  EXPECT_TRUE(is_missing(in->num(2)));
  EXPECT_FALSE(in->next_row());

  EXPECT_FALSE(commit_or_error(*out, error));  // only once
  EXPECT_FALSE(out->write_row());
}

TEST_F(DataSetTest, DatesWithoutACalendarFormAreWrittenMissing) {
  std::string error;
  auto out = create_or_error(dir_.string(), "d", {{"d", VarType::Numeric, true, ""}}, error);
  ASSERT_NE(out, nullptr) << error;
  for (const double d : {-138061.0, -138062.0, 0.0, std::numeric_limits<double>::quiet_NaN()}) {
    out->set_num(0, d);
    ASSERT_TRUE(out->write_row());
  }
  ASSERT_TRUE(commit_or_error(*out, error)) << error;
  EXPECT_EQ(slurp(out->path()), "d\n1582-01-01\n\n1960-01-01\n\n");
}

TEST_F(DataSetTest, UncommittedOutputLeavesNothingAndOldFilesSurvive) {
  const std::string old_text = "x\n1\n";
  write("keep.csv", old_text);
  std::string error;
  {
    auto out = create_or_error(dir_.string(), "KEEP", {{"y", VarType::Numeric, false, ""}}, error);
    ASSERT_NE(out, nullptr) << error;
    for (int i = 0; i < 20000; ++i) {  // enough to reach the disk before the end
      out->set_num(0, i);
      ASSERT_TRUE(out->write_row());
    }
    EXPECT_EQ(slurp((dir_ / "keep.csv").string()), old_text);
    EXPECT_EQ(files().size(), 2u);  // the target and the growing temporary file
  }
  EXPECT_EQ(files(), std::vector<std::string>{"keep.csv"});
  EXPECT_EQ(slurp((dir_ / "keep.csv").string()), old_text);

  auto out = create_or_error(dir_.string(), "keep", {{"y", VarType::Numeric, false, ""}}, error);
  ASSERT_NE(out, nullptr) << error;
  out->set_num(0, 2.5);
  ASSERT_TRUE(out->write_row());
  ASSERT_TRUE(commit_or_error(*out, error)) << error;
  EXPECT_EQ(slurp((dir_ / "keep.csv").string()), "y\n2.5\n");
  EXPECT_EQ(files(), std::vector<std::string>{"keep.csv"});
}

TEST_F(DataSetTest, OutputThatCannotBeCreatedSaysWhy) {
  std::string error;
  const std::vector<OutColumn> cols = {{"y", VarType::Numeric, false, ""}};
  EXPECT_EQ(create_or_error((dir_ / "nowhere").string(), "o", cols, error), nullptr);
  EXPECT_THAT(error, AllOf(HasSubstr("o.csv"), HasSubstr("No such file")));

  write("plainfile", "x");
  EXPECT_EQ(create_or_error((dir_ / "plainfile").string(), "o", cols, error), nullptr);
  EXPECT_THAT(error, HasSubstr("Not a directory"));

  if (::geteuid() != 0) {  // permissions do not bind the superuser
    fs::create_directory(dir_ / "ro");
    fs::permissions(dir_ / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(create_or_error((dir_ / "ro").string(), "o", cols, error), nullptr);
    EXPECT_THAT(error, HasSubstr("Permission denied"));
    fs::permissions(dir_ / "ro", fs::perms::owner_all);
  }

  EXPECT_EQ(create_or_error(dir_.string(), "o", {{"a", VarType::Numeric, false, ""}, {"A", VarType::Character, false, ""}},
                                  error),
            nullptr);
  EXPECT_THAT(error, HasSubstr("\"A\" is used twice"));
  EXPECT_EQ(create_or_error(dir_.string(), "o", {{"bad name", VarType::Numeric, false, ""}}, error), nullptr);
  EXPECT_THAT(error, HasSubstr("not a valid variable name"));
  EXPECT_EQ(create_or_error(dir_.string(), "o", {}, error), nullptr);
  EXPECT_EQ(create_or_error(dir_.string(), "../o", cols, error), nullptr);
  EXPECT_EQ(files(), std::vector<std::string>{"plainfile"});
}

// A full disk, played by a file-size limit: the failure reaches the caller and
// the existing data set stays as it was.
TEST_F(DataSetTest, WriteFailuresAreReportedAndReplaceNothing) {
  write("full.csv", "old\n1\n");
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 100000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

  std::string error;
  bool wrote_all = true;
  bool committed = false;
  {
    auto out = create_or_error(dir_.string(), "full", {{"y", VarType::Numeric, false, ""}}, error);
    if (out != nullptr) {
      for (int i = 0; i < 50000 && wrote_all; ++i) {
        out->set_num(0, 1000000.0 + i);
        wrote_all = out->write_row();
      }
      committed = commit_or_error(*out, error);
    }
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(wrote_all);
  EXPECT_FALSE(committed);
  EXPECT_THAT(error, AllOf(HasSubstr("full.csv"), HasSubstr("large")));
  EXPECT_EQ(slurp((dir_ / "full.csv").string()), "old\n1\n");
  EXPECT_EQ(files(), std::vector<std::string>{"full.csv"});
}

}  // namespace
}  // namespace x11sa
