// The user guide's examples run as printed: every program block of
// docs/user-guide.md is run against the example data, and the log, listing
// and data-set excerpts quoted after it must be what the run produced.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "records/table_catalogue.h"
#include "support/run_support.h"
#include "x11sa/x11sa.h"

namespace x11sa::test {
namespace {

namespace fs = std::filesystem;

const fs::path kRoot = X11SA_SOURCE_ROOT;

// A fenced block of the guide: ```kind info ... ```.
struct Block {
  int line = 0;  // line of the opening fence
  std::string kind;
  std::string info;
  std::string text;
};

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string trim_right(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

std::vector<Block> fenced_blocks(const std::string& markdown) {
  std::vector<Block> blocks;
  const std::vector<std::string> lines = split_lines(markdown);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("```", 0) != 0) continue;
    Block b;
    b.line = static_cast<int>(i) + 1;
    std::istringstream head(lines[i].substr(3));
    head >> b.kind;
    std::getline(head >> std::ws, b.info);
    std::size_t j = i + 1;
    for (; j < lines.size() && lines[j].rfind("```", 0) != 0; ++j) b.text += lines[j] + "\n";
    EXPECT_LT(j, lines.size()) << "the block at line " << b.line << " of the guide is not closed";
    blocks.push_back(std::move(b));
    i = j;
  }
  return blocks;
}

// The value of `key=` in a block's info string, or "".
std::string info_value(const Block& b, const std::string& key) {
  std::istringstream in(b.info);
  for (std::string word; in >> word;)
    if (word.rfind(key + "=", 0) == 0) return word.substr(key.size() + 1);
  return {};
}

// A program example with the excerpts quoted after it.
struct Example {
  Block program;
  std::vector<Block> excerpts;             // log, listing and csv output= blocks
  std::vector<Block> inputs;               // csv file= blocks earlier in the guide
  [[nodiscard]] bool expects_error() const {
    return program.text.rfind("/* expect: error */", 0) == 0;
  }
};

struct Guide {
  std::vector<Block> blocks;
  std::vector<Example> examples;
};

Guide load_guide() {
  Guide g;
  g.blocks = fenced_blocks(read_file(kRoot / "docs" / "user-guide.md"));
  std::vector<Block> inputs;
  for (const Block& b : g.blocks) {
    const bool input = b.kind == "csv" && !info_value(b, "file").empty();
    const bool excerpt = b.kind == "log" || b.kind == "listing" || (b.kind == "csv" && !info_value(b, "output").empty());
    if (input) {
      inputs.push_back(b);
    } else if (b.kind == "x11sa") {
      g.examples.push_back(Example{b, {}, inputs});
    } else if (excerpt) {
      if (g.examples.empty()) {
        ADD_FAILURE() << "the " << b.kind << " excerpt at line " << b.line << " follows no program";
        continue;
      }
      g.examples.back().excerpts.push_back(b);
    }
  }
  return g;
}

void replace_all(std::string& s, const std::string& from, const std::string& to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
}

// The log as a run from the scratch folder with --lib ex=data would show it;
// the step times vary from run to run.
std::string comparable_log(std::string log, const fs::path& scratch) {
  replace_all(log, (scratch / "data").string(), "data");
  replace_all(log, scratch.string(), ".");
  static const std::regex time(R"(real time [0-9.]+ seconds)");
  return std::regex_replace(log, time, "real time N seconds");
}

// The same line, but for numbers that differ only in the last digits of a
// full-precision value (a different but equally exact rounding).
bool same_line(const std::string& a, const std::string& b) {
  if (a == b) return true;
  static const std::regex number(R"([-+]?[0-9]*\.?[0-9]+(?:[eE][-+]?[0-9]+)?)");
  const std::string sa = std::regex_replace(a, number, "#");
  const std::string sb = std::regex_replace(b, number, "#");
  if (sa != sb) return false;
  auto values = [&](const std::string& s) {
    std::vector<double> v;
    for (std::sregex_iterator it(s.begin(), s.end(), number), end; it != end; ++it) v.push_back(std::stod(it->str()));
    return v;
  };
  const auto va = values(a);
  const auto vb = values(b);
  if (va.size() != vb.size()) return false;
  for (std::size_t i = 0; i < va.size(); ++i)
    if (std::fabs(va[i] - vb[i]) > 1e-12 * std::max(std::fabs(va[i]), 1e-300)) return false;
  return true;
}

// Every line of the excerpt (blank lines and "..." aside) is a line of
// `actual`, in the excerpt's order.
void expect_excerpt(const std::string& excerpt, const std::string& actual, const std::string& what) {
  std::vector<std::string> have;
  for (std::string line : split_lines(actual)) {
    line.erase(std::remove(line.begin(), line.end(), '\f'), line.end());
    have.push_back(trim_right(line));
  }
  std::size_t pos = 0;
  for (const std::string& raw : split_lines(excerpt)) {
    const std::string want = trim_right(raw);
    if (want.empty() || want.find_first_not_of(". ") == std::string::npos) continue;
    const auto it = std::find_if(have.begin() + static_cast<long>(pos), have.end(),
                                 [&](const std::string& line) { return same_line(line, want); });
    if (it == have.end()) {
      constexpr std::size_t kShown = 4000;
      ADD_FAILURE() << what << ": the quoted line\n  " << want << "\nis not in the output (after line " << pos
                    << "):\n" << actual.substr(0, kShown) << (actual.size() > kShown ? "\n..." : "");
      return;
    }
    pos = static_cast<std::size_t>(it - have.begin()) + 1;
  }
}

// Copies the example data into `dir`/data, as the guide tells its readers to.
void copy_example_data(const fs::path& dir) {
  fs::create_directory(dir / "data");
  for (const auto& entry : fs::directory_iterator(kRoot / "examples" / "data"))
    if (entry.path().extension() == ".csv") fs::copy_file(entry.path(), dir / "data" / entry.path().filename());
}

struct ExampleRun {
  RunResult result;
  std::string log;
  std::string listing;
};

ExampleRun run_example(const Example& ex, const ScratchDir& dir) {
  copy_example_data(dir.path());
  for (const Block& in : ex.inputs) dir.write(info_value(in, "file"), in.text);
  ExampleRun r;
  RunOptions opt;
  opt.libs.emplace_back("WORK", dir.path().string());
  opt.libs.emplace_back("ex", (dir.path() / "data").string());
  opt.log_text = &r.log;
  opt.listing_text = &r.listing;
  opt.progress = nullptr;
  r.result = run_program(ex.program.text, opt);
  r.log = comparable_log(r.log, dir.path());
  return r;
}

TEST(UserGuide, HasExamplesOfSuccessAndOfFailure) {
  const Guide g = load_guide();
  const auto errors = std::count_if(g.examples.begin(), g.examples.end(), [](const Example& e) { return e.expects_error(); });
  EXPECT_GE(g.examples.size(), 15u);
  EXPECT_GE(errors, 3);
  EXPECT_GE(static_cast<long>(g.examples.size()) - errors, 12);
}

TEST(UserGuide, EveryExampleRunsAsDescribedAndShowsTheQuotedOutput) {
  const Guide g = load_guide();
  for (const Example& ex : g.examples) {
    SCOPED_TRACE("the example at line " + std::to_string(ex.program.line) + " of docs/user-guide.md");
    const ScratchDir dir;
    const ExampleRun r = run_example(ex, dir);
    ASSERT_FALSE(r.result.steps.empty()) << r.log;
    const int worst = std::max_element(r.result.steps.begin(), r.result.steps.end(), [](const auto& a, const auto& b) {
                        return a.exit_level < b.exit_level;
                      })->exit_level;
    if (ex.expects_error()) {
      EXPECT_EQ(r.result.exit_status, 1) << r.log;
      EXPECT_GT(worst, 4) << r.log;
      EXPECT_NE(r.log.find("ERROR: "), std::string::npos) << r.log;
    } else {
      EXPECT_EQ(r.result.exit_status, 0) << r.log;
      EXPECT_LE(worst, 4) << r.log;
      EXPECT_EQ(r.log.find("ERROR: "), std::string::npos) << r.log;
    }
    for (const Block& b : ex.excerpts) {
      const std::string what = b.kind + " excerpt at line " + std::to_string(b.line);
      if (b.kind == "log") {
        expect_excerpt(comparable_log(b.text, dir.path()), r.log, what);
      } else if (b.kind == "listing") {
        expect_excerpt(b.text, r.listing, what);
      } else {
        const std::string name = info_value(b, "output");
        ASSERT_TRUE(dir.exists(name)) << what << ": the run wrote no " << name << "\n" << r.log;
        expect_excerpt(b.text, read_file(dir.path() / name), what);
      }
    }
  }
}

TEST(UserGuide, ListsTheTablesOutputCanWriteInTheirOrder) {
  const Guide g = load_guide();
  const auto it = std::find_if(g.blocks.begin(), g.blocks.end(),
                               [](const Block& b) { return b.kind == "text" && b.info == "out-tables"; });
  ASSERT_NE(it, g.blocks.end()) << "the guide lists no OUTPUT tables";
  std::istringstream in(it->text);
  std::vector<std::string> listed{std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
  std::vector<std::string> real;
  for (int k = 0; k < kOutTableCount; ++k) real.emplace_back(table_name(out_table(k)));
  EXPECT_EQ(listed, real);
  EXPECT_EQ(real.size(), 59u);
}

// The first command of the guide, as a reader types it in the examples folder.
TEST(UserGuide, TheFirstCommandRunsTheAirlineExample) {
  const fs::path cli = X11SA_CLI;
  ASSERT_TRUE(fs::exists(cli)) << "build the x11sa_cli target first: " << cli;
  const ScratchDir dir;
  copy_example_data(dir.path());
  fs::copy_file(kRoot / "examples" / "airline.x11sa", dir.path() / "airline.x11sa");
  const std::string command = "cd '" + dir.path().string() + "' && '" + cli.string() +
                              "' --lib ex=data airline.x11sa >listing.lst 2>log.txt";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << read_file(dir.path() / "log.txt");
  EXPECT_TRUE(dir.exists("airline_sa.csv")) << read_file(dir.path() / "log.txt");
  EXPECT_NE(read_file(dir.path() / "listing.lst").find("D11   Final Seasonally Adjusted Series"), std::string::npos);
}

}  // namespace
}  // namespace x11sa::test
