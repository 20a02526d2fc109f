// The listings of the example and golden programs at the narrowest and the
// usual line size: every line fits, every page is numbered, and every word
// the output objects hold is printed whole, never cut at the line's end nor
// split across two lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/message_ids.h"
#include "host/messages.h"
#include "host/program.h"
#include "render/listing_sink.h"
#include "report/capture_sink.h"
#include "run/step.h"
#include "support/run_support.h"

namespace x11sa::test {
namespace {

namespace fs = std::filesystem;

struct ProgramOutput {
  std::string listing;
  std::vector<OdsTable> tables;
};

// Runs the program file with library EX the examples' data and WORK a
// scratch folder, keeping the listing and every output object.
ProgramOutput run_file(const fs::path& file, int linesize) {
  const ScratchDir work;
  ProgramOutput out;
  std::string log;
  HostSettings settings;
  settings.linesize = linesize;
  Host host(TextOut(&log), TextOut(&out.listing), TextOut(), settings);
  X11ListingSink listing(host.listing());
  CaptureSink capture;
  host.ods().add_sink(&listing);
  host.ods().add_sink(&capture);
  host.library().assign("EX", X11SA_SOURCE_ROOT "/examples/data");
  host.library().assign("WORK", work.path().string());
  for (const ProgramItem& item : read_program(read_file(file)).items) {
    if (item.libname) host.library().assign(item.libname->libref, item.libname->folder);
    if (!item.step) continue;
    host.ods().begin_step(item.step->name, item.step->proc.pos.line);
    try {
      run_step(host, *item.step);
    } catch (...) {
      ADD_FAILURE() << file << ": a step threw";
    }
    host.ods().end_step(0);
  }
  out.tables = std::move(capture.tables);
  return out;
}

std::vector<fs::path> golden_programs() {
  std::vector<fs::path> files;
  for (const char* folder : {X11SA_SOURCE_ROOT "/examples", X11SA_SOURCE_ROOT "/tests/golden/programs"})
    for (const auto& entry : fs::directory_iterator(folder))
      if (entry.path().extension() == ".x11sa") files.push_back(entry.path());
  EXPECT_GE(files.size(), 10u);
  return files;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, nl = 0; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
    lines.push_back(text.substr(at, nl - at));
  return lines;
}

void count_words(std::string_view text, std::map<std::string, long>& words) {
  for (std::size_t at = text.find_first_not_of(' '); at != std::string_view::npos;
       at = text.find_first_not_of(' ', at)) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    ++words[std::string(text.substr(at, end - at))];
    at = end;
  }
}

bool starts_with(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The words each object puts in the listing: its title (named, for the
// month-by-year tables), notes and text rows; the headings and cells of
// the plain tables, numbers as the listing formats them; the headings of
// the charts. The months' numbers and the chart plots have layouts of their
// own, tested with them.
std::map<std::string, long> object_words(const std::vector<OdsTable>& tables) {
  std::map<std::string, long> words;
  for (const OdsTable& t : tables) {
    const std::string& tp = t.template_path;
    const bool months = starts_with(tp, "lum.x11.month.type") || starts_with(tp, "lum.x11.qtr.type");
    if (months && t.name != "XXX") count_words(t.name, words);
    count_words(t.title, words);
    for (const std::string& note : t.notes) count_words(note, words);
    if (starts_with(tp, "lum.x11.chart")) {
      for (const auto& [key, value] : t.entries)
        if (key == "headings")
          for (const std::string& line : lines_of(value + "\n")) count_words(line, words);
    } else if (tp == "lum.x11.preface" || tp == "lum.x11.weights") {
      for (const auto& row : t.rows) count_words(std::get<std::string>(row.front()), words);
    } else if (!months) {
      for (const OdsColumn& c : t.columns) count_words(c.label.empty() ? c.name : c.label, words);
      for (const auto& row : t.rows)
        for (std::size_t c = 0; c < row.size(); ++c) count_words(format_cell(row[c], t.columns[c].decimals), words);
    }
  }
  return words;
}

TEST(ListingLayout, GoldenListingsFitTheLineNumberEveryPageAndPrintEveryWordWhole) {
  for (const fs::path& file : golden_programs())
    for (const int linesize : {64, 132}) {
      const ProgramOutput out = run_file(file, linesize);
      const std::string where = file.filename().string() + " at " + std::to_string(linesize);
      // The listing's words, but for the page headers: the lines of each
      // page up to its first blank line, the first ending with the page's
      // number at the end of the line.
      std::map<std::string, long> printed;
      bool header = true;
      bool page_starts = true;
      long page = 0;
      for (std::string line : lines_of(out.listing)) {
        if (!line.empty() && line[0] == '\f') {
          line.erase(0, 1);
          header = page_starts = true;
        }
        if (page_starts) {
          const std::string number = " Page " + std::to_string(++page);
          EXPECT_TRUE(line.size() > number.size() && line.substr(line.size() - number.size()) == number &&
                      text_width(line) == static_cast<std::size_t>(linesize))
              << where << ": " << line;
          page_starts = false;
        }
        EXPECT_LE(text_width(line), static_cast<std::size_t>(linesize)) << where << ": " << line;
        if (header) {
          header = !line.empty();
          continue;
        }
        count_words(line, printed);
      }
      ASSERT_FALSE(out.tables.empty()) << where;
      for (const auto& [word, count] : object_words(out.tables))
        EXPECT_GE(printed[word], count) << where << ": '" << word << "' is cut or split";
    }
}

// With every report of the automatic choice: each candidate's convergence
// summary comes first, then the estimates it describes, in the objects all
// outputs share and on one page of the listing.
TEST(ListingLayout, EachConvergenceSummaryPrecedesTheEstimatesItDescribesOnTheirPage) {
  const std::string summary = msgtext(text_id::kConvergenceSummary);
  const std::string model = msgtext(text_id::kArimaModel);
  for (const int linesize : {64, 132}) {
    const ProgramOutput out = run_file(X11SA_SOURCE_ROOT "/tests/golden/programs/arima_auto.x11sa", linesize);
    std::vector<std::string> names;
    for (const OdsTable& t : out.tables) names.push_back(t.name);
    const std::vector<std::string> estimation = {"ConvergenceSummary", "ModelDescription", "ParameterEstimates",
                                                 "FitStatistics",      "ChiSqAuto",        "CriteriaSummary"};
    int candidates = 0;
    for (std::size_t i = 0; i < names.size(); ++i)
      if (names[i] == estimation[0]) {
        ++candidates;
        ASSERT_LE(i + estimation.size(), names.size());
        EXPECT_EQ(std::vector<std::string>(names.begin() + static_cast<long>(i),
                                           names.begin() + static_cast<long>(i + estimation.size())),
                  estimation);
      }
    EXPECT_EQ(candidates, 5);
    // Page by page: a summary's title is followed on its page by the model's.
    int summaries = 0;
    bool waiting = false;
    for (const std::string& line : lines_of(out.listing)) {
      if (!line.empty() && line[0] == '\f') {
        EXPECT_FALSE(waiting) << "a page ends between a summary and its model at " << linesize;
      }
      const std::size_t first = line.find_first_not_of(" \f");
      const std::string_view text = first == std::string::npos ? std::string_view() : std::string_view(line).substr(first);
      if (text == summary) {
        ++summaries;
        waiting = true;
      }
      if (text == model) waiting = false;
    }
    EXPECT_EQ(summaries, 5) << linesize;
  }
}

}  // namespace
}  // namespace x11sa::test
