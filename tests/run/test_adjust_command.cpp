// x11sa adjust: the files it writes are those of the program it stands for,
// and a wrong option or file stops it with status 2 and a clear message.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/run_support.h"
#include "x11sa/x11sa.h"

namespace x11sa::test {
namespace {

namespace fs = std::filesystem;

struct Command {
  int status = -1;
  std::string out, err;
};

// Runs the command line `args` (shell words) in `dir`.
Command x11sa_command(const ScratchDir& dir, const std::string& args) {
  const fs::path cli = X11SA_CLI;
  const std::string line = "cd '" + dir.path().string() + "' && '" + cli.string() + "' " + args +
                           " >stdout.txt 2>stderr.txt";
  Command c;
  const int status = std::system(line.c_str());
  if (WIFEXITED(status)) c.status = WEXITSTATUS(status);
  c.out = read_file(dir.path() / "stdout.txt");
  c.err = read_file(dir.path() / "stderr.txt");
  return c;
}

// A path in a quoted string of a program.
std::string quoted(const fs::path& path) {
  std::string text = "'";
  for (const char c : path.string()) text += c == '\'' ? std::string("''") : std::string(1, c);
  return text + "'";
}

// The program a user would write for the same request, run by the library.
void run_program_writing(const ScratchDir& dir, const std::string& program) {
  RunOptions opt;
  std::string log, listing;
  opt.log_text = &log;
  opt.listing_text = &listing;
  opt.progress = nullptr;
  opt.libs.emplace_back("WORK", dir.path().string());
  ASSERT_EQ(run_program(program, opt).exit_status, 0) << log;
}

TEST(AdjustCommand, WritesTheFilesOfTheProgramItStandsFor) {
  ScratchDir dir;
  // A folder whose name has a quote and a semicolon: quoted safely.
  const fs::path data = dir.path() / "it's; data";
  fs::create_directory(data);
  fs::copy_file(data_file("seatbelts.csv"), data / "seatbelts.csv");
  fs::copy_file(data_file("lungdeaths_by_sex.csv"), data / "lungdeaths_by_sex.csv");
  fs::create_directory(dir.path() / "ref");

  // Variables repeated and separated by commas; the default output names.
  const Command belts = x11sa_command(dir, "adjust \"it's; data/seatbelts.csv\" --date date --var drivers,front "
                                           "--var rear --arima auto");
  ASSERT_EQ(belts.status, 0) << belts.out << belts.err;
  run_program_writing(dir, "proc x11 data=" + quoted(data / "seatbelts.csv") +
                               " noprint outsum=" + quoted(dir.path() / "ref/belts_summary.csv") + ";\n"
                               "   monthly date=date;\n   arima;\n   var drivers front rear;\n"
                               "   output out=" + quoted(dir.path() / "ref/belts.csv") +
                               " d10=drivers_seasonal front_seasonal rear_seasonal"
                               " d11=drivers_adjusted front_adjusted rear_adjusted"
                               " d12=drivers_trend front_trend rear_trend"
                               " d13=drivers_irregular front_irregular rear_irregular;\nrun;\n");
  ASSERT_TRUE(read_file(dir.path() / "ref/belts.csv").starts_with("date,drivers_seasonal,drivers_adjusted,"));
  EXPECT_EQ(read_file(data / "seatbelts_adjusted.csv"), read_file(dir.path() / "ref/belts.csv"));
  EXPECT_EQ(read_file(data / "seatbelts_adjusted_summary.csv"), read_file(dir.path() / "ref/belts_summary.csv"));
  // Where the files are, and a line per series from the summary.
  EXPECT_NE(belts.out.find("adjusted series: it's; data/seatbelts_adjusted.csv"), std::string::npos) << belts.out;
  EXPECT_NE(belts.out.find("summary:         it's; data/seatbelts_adjusted_summary.csv"), std::string::npos);
  for (const char* v : {"drivers", "front", "rear"})
    EXPECT_NE(belts.out.find(std::string("  ") + v + ": exit level "), std::string::npos) << belts.out;

  // BY groups, an additive run, names given, a listing: the tables are printed.
  const Command lung = x11sa_command(
      dir, "adjust \"it's; data/lungdeaths_by_sex.csv\" --date date --var deaths --by sex --additive "
           "--out lung.csv --summary lung_sum.csv --print lung.lst");
  ASSERT_EQ(lung.status, 0) << lung.out << lung.err;
  run_program_writing(dir, "proc x11 data=" + quoted(data / "lungdeaths_by_sex.csv") +
                               " outsum=" + quoted(dir.path() / "ref/lung_sum.csv") + ";\n"
                               "   monthly date=date additive;\n   by sex;\n   var deaths;\n"
                               "   output out=" + quoted(dir.path() / "ref/lung.csv") +
                               " d10=deaths_seasonal d11=deaths_adjusted d12=deaths_trend d13=deaths_irregular;\n"
                               "run;\n");
  ASSERT_TRUE(read_file(dir.path() / "ref/lung.csv").starts_with("sex,date,deaths_seasonal,"));
  EXPECT_EQ(read_file(dir.path() / "lung.csv"), read_file(dir.path() / "ref/lung.csv"));
  EXPECT_EQ(read_file(dir.path() / "lung_sum.csv"), read_file(dir.path() / "ref/lung_sum.csv"));
  EXPECT_NE(read_file(dir.path() / "lung.lst").find("D11   Final Seasonally Adjusted Series"), std::string::npos);
  EXPECT_NE(lung.out.find("  sex=female, deaths: exit level 0, seasonality present, ARIMA none: not requested"),
            std::string::npos)
      << lung.out;
  EXPECT_NE(lung.out.find("  sex=male, deaths: "), std::string::npos);
}

TEST(AdjustCommand, AWrongOptionOrFileStopsItWithStatusTwo) {
  ScratchDir dir;
  dir.copy_data("airline.csv");
  const std::string airline = read_file(dir.path() / "airline.csv");
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {"adjust airline.csv --date date --var passengers --bogus", "--bogus"},
      {"adjust airline.csv --var passengers", "--date is required"},
      {"adjust nosuch.csv --date date --var passengers", "x11sa adjust: cannot read 'nosuch.csv'"},
      {"adjust airline.csv --date date --var 'passengers;run'", "'passengers;run' is not a variable name"},
      {"adjust airline.csv --date date --var passengers --arima '(0,1,1)'", "--arima takes auto or a model"},
      {"adjust airline.csv --date date --var passengers --out airline.csv", "would replace the input file"},
      {"", "PROGRAM is required"},
  };
  for (const auto& c : cases) {
    const Command r = x11sa_command(dir, c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.out << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
  }
  EXPECT_EQ(read_file(dir.path() / "airline.csv"), airline);
  EXPECT_FALSE(dir.exists("airline_adjusted.csv"));

  // The help shows the command with an example, and its own options.
  const Command help = x11sa_command(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("x11sa adjust airline.csv --date date --var passengers"), std::string::npos) << help.out;
  const Command adjust_help = x11sa_command(dir, "adjust --help");
  EXPECT_EQ(adjust_help.status, 0);
  for (const char* option : {"--date", "--var", "--by", "--quarterly", "--additive", "--arima", "--out", "--summary"})
    EXPECT_NE(adjust_help.out.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace x11sa::test
