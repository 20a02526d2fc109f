#include "adjust_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <regex>
#include <sstream>
#include <string_view>

#include <fmt/format.h>

namespace x11sa::cli {

namespace {

namespace fs = std::filesystem;

// A wrong option or file: said on standard error, the command ends with status 2.
struct UsageError {
  std::string text;
};

// Variable names as the program reads them; anything else could end a
// statement early.
void check_name(const std::string& option, const std::string& name) {
  static const std::regex kName("[A-Za-z_][A-Za-z0-9_]{0,31}");
  if (!std::regex_match(name, kName))
    throw UsageError{fmt::format("{} '{}' is not a variable name: 1 to 32 letters, digits or underscores, not "
                                 "starting with a digit",
                                 option, name)};
}

// A path in a quoted string of the program: a quote inside is doubled; line
// breaks and other control characters cannot be written there.
std::string quoted(const std::string& what, const std::string& path) {
  if (path.empty()) throw UsageError{fmt::format("the {} needs a file name", what)};
  std::string text = "'";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f)
      throw UsageError{fmt::format("the {} '{}' has a line break or another control character; rename it", what,
                                   path)};
    text += c;
    if (c == '\'') text += '\'';
  }
  return text + "'";
}

// The name of `path` with its ".csv" (any case) replaced by `suffix`, in its folder.
std::string with_suffix(const std::string& path, const std::string& suffix) {
  fs::path p(path);
  std::string stem = p.filename().string();
  if (stem.size() > 4) {
    std::string ext = stem.substr(stem.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".csv") stem.resize(stem.size() - 4);
  }
  return (p.parent_path() / (stem + suffix)).string();
}

// The ARIMA statement for --arima: "auto", or a model as OUTSUM= writes it.
std::string arima_statement(const std::string& arima) {
  if (arima.empty()) return {};
  if (arima == "auto") return "   arima;\n";
  static const std::regex kModel(R"(\s*\((\d),(\d),(\d)\)\((\d),(\d),(\d)\)\s*(log)?\s*)");
  std::smatch m;
  if (!std::regex_match(arima, m, kModel))
    throw UsageError{fmt::format("--arima takes auto or a model such as '(0,1,1)(0,1,1)' or '(0,1,1)(0,1,1) log', "
                                 "not '{}'",
                                 arima)};
  return fmt::format("   arima model=(p={} dif={} q={} sp={} sdif={} sq={}){};\n", m[1].str(), m[2].str(), m[3].str(),
                     m[4].str(), m[5].str(), m[6].str(), m[7].matched ? " transform=log" : "");
}

// The column of a table for a variable: a readable suffix, or the table's
// name where the readable one would make too long a name.
std::string column(const std::string& variable, const char* word, const char* table) {
  std::string name = variable + "_" + word;
  return name.size() <= 32 ? name : variable + "_" + table;
}

std::string program_text(const AdjustRequest& r, bool prints) {
  std::string text = "/* Written by x11sa adjust. */\n";
  text += fmt::format("proc x11 data={} outsum={}{};\n", quoted("input file", r.file),
                      quoted("summary file", r.summary), prints ? "" : " noprint");
  text += fmt::format("   {} date={}{};\n", r.quarterly ? "quarterly" : "monthly", r.date, r.additive ? " additive" : "");
  text += arima_statement(r.arima);
  if (!r.by.empty()) {
    text += "   by";
    for (const std::string& b : r.by) text += " " + b;
    text += ";\n";
  }
  text += "   var";
  for (const std::string& v : r.vars) text += " " + v;
  text += ";\n";
  text += fmt::format("   output out={}", quoted("output file", r.out));
  const struct {
    const char* table;
    const char* word;
  } kTables[] = {{"d10", "seasonal"}, {"d11", "adjusted"}, {"d12", "trend"}, {"d13", "irregular"}};
  for (const auto& t : kTables) {
    text += fmt::format("\n      {}=", t.table);
    for (std::size_t k = 0; k < r.vars.size(); ++k) text += (k > 0 ? " " : "") + column(r.vars[k], t.word, t.table);
  }
  text += ";\nrun;\n";
  return text;
}

// Splits `values` given as repeated options or separated by commas.
std::vector<std::string> names(const std::vector<std::string>& values) {
  std::vector<std::string> out;
  for (const std::string& v : values) {
    std::stringstream in(v);
    for (std::string item; std::getline(in, item, ',');)
      if (!item.empty()) out.push_back(item);
  }
  return out;
}

// The file at `path` as it stands: a new one is written by renaming into
// place, so its identity changes when a run writes it.
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

FileIdentity identity(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return FileIdentity{true, st.st_dev, st.st_ino};
}

// The cells of a CSV file as x11sa writes it, row by row.
std::vector<std::vector<std::string>> read_csv(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  std::vector<std::vector<std::string>> rows(1);
  std::string cell;
  bool quoted_cell = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted_cell) {
      if (c != '"') {
        cell += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else {
        quoted_cell = false;
      }
    } else if (c == '"') {
      quoted_cell = true;
    } else if (c == ',') {
      rows.back().push_back(std::move(cell));
      cell.clear();
    } else if (c == '\n') {
      rows.back().push_back(std::move(cell));
      cell.clear();
      rows.emplace_back();
    } else if (c != '\r') {
      cell += c;
    }
  }
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

// One line per OUTSUM= row: its BY values, the variable, how it ended.
void print_series(std::ostream& out, const std::string& summary) {
  const std::vector<std::vector<std::string>> rows = read_csv(summary);
  if (rows.empty()) return;
  const std::vector<std::string>& head = rows.front();
  auto index = [&](std::string_view name) {
    for (std::size_t k = 0; k < head.size(); ++k)
      if (head[k] == name) return k;
    return head.size();
  };
  const std::size_t name = index("_NAME_");
  const std::size_t level = index("EXITLEVEL");
  const std::size_t seasonality = index("SEASONALITY");
  const std::size_t arima = index("ARIMA");
  const std::size_t reason = index("REASON");
  if (reason >= head.size()) return;
  out << "Series:\n";
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const std::vector<std::string>& row = rows[r];
    if (row.size() != head.size()) continue;
    std::string line = "  ";
    for (std::size_t k = 0; k < name; ++k) line += head[k] + "=" + row[k] + ", ";
    line += row[name] + ": exit level " + row[level];
    if (row[reason].empty()) {
      line += ", seasonality " + row[seasonality] + ", ARIMA " + row[arima];
    } else {
      line += ", not adjusted: " + row[reason];
    }
    out << line << "\n";
  }
}

// The WARNING and ERROR lines of a log.
std::vector<std::string> warnings_and_errors(const std::string& log) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);)
    if (line.starts_with("WARNING: ") || line.starts_with("ERROR: ")) lines.push_back(line);
  return lines;
}

void check_input(const std::string& file) {
  std::error_code ec;
  if (fs::is_directory(file, ec)) throw UsageError{fmt::format("'{}' is a folder, not a CSV file", file)};
  if (::access(file.c_str(), R_OK) != 0)
    throw UsageError{fmt::format("cannot read '{}': {}", file, std::strerror(errno))};
}

// The same file, also when neither exists yet.
bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec) && !ec) return true;
  std::error_code ea, eb;
  const fs::path ca = fs::weakly_canonical(a, ea);
  const fs::path cb = fs::weakly_canonical(b, eb);
  return !ea && !eb && ca == cb;
}

}  // namespace

CLI::App* add_adjust_command(CLI::App& app, AdjustRequest& r) {
  CLI::App* cmd = app.add_subcommand("adjust", "adjust the series of one CSV file, without a program");
  cmd->add_option("FILE", r.file, "the CSV file")->required();
  cmd->add_option("--date", r.date, "the column of dates")->required()->type_name("COL");
  cmd->add_option("--var", r.vars, "a column to adjust (repeatable, or separated by commas)")
      ->required()
      ->type_name("COL")
      ->allow_extra_args(false);
  cmd->add_option("--by", r.by, "a BY column: its groups are adjusted one by one (repeatable, or separated by commas)")
      ->type_name("COL")
      ->allow_extra_args(false);
  cmd->add_flag("--quarterly", r.quarterly, "the series are quarterly (default: monthly)");
  cmd->add_flag("--additive", r.additive, "additive adjustment (default: multiplicative)");
  cmd->add_option("--arima", r.arima,
                  "extend the series by an ARIMA model before adjusting: auto (chosen among five), or a model "
                  "such as '(0,1,1)(0,1,1) log'")
      ->type_name("MODEL");
  cmd->add_option("--out", r.out, "the adjusted series (default: FILE's name with _adjusted.csv, beside it)")
      ->type_name("OUT");
  cmd->add_option("--summary", r.summary, "the summary (default: OUT's name with _summary.csv, beside it)")
      ->type_name("SUMMARY");
  cmd->add_option("--save-program", r.program, "also save the program that was run, to edit and run again")
      ->type_name("FILE");
  cmd->footer(
      "Writes the seasonal factors, the adjusted series, the trend-cycle and the irregular (D10 to D13) of\n"
      "each series to OUT and a summary row per series (OUTSUM=) to SUMMARY, then prints where they are, a\n"
      "line per series and the log's warnings and errors. The exit status is that of a program.\n"
      "\nExample:\n"
      "  x11sa adjust airline.csv --date date --var passengers --arima auto\n"
      "writes airline_adjusted.csv (date, passengers_seasonal, passengers_adjusted, passengers_trend,\n"
      "passengers_irregular) and airline_adjusted_summary.csv.");
  return cmd;
}

int run_adjust(AdjustRequest r, RunOptions options) {
  try {
    r.vars = names(r.vars);
    r.by = names(r.by);
    check_name("--date", r.date);
    for (const std::string& v : r.vars) check_name("--var", v);
    for (const std::string& b : r.by) check_name("--by", b);
    if (r.out.empty()) r.out = with_suffix(r.file, "_adjusted.csv");
    if (r.summary.empty()) r.summary = with_suffix(r.out, "_summary.csv");
    // Every name is checked before anything runs.
    (void)program_text(r, false);
    check_input(r.file);
    if (same_file(r.out, r.file) || same_file(r.summary, r.file))
      throw UsageError{fmt::format("'{}' would replace the input file; give --out and --summary other names",
                                   same_file(r.out, r.file) ? r.out : r.summary)};
    if (same_file(r.out, r.summary))
      throw UsageError{fmt::format("--out and --summary name the same file '{}'", r.out)};
  } catch (const UsageError& e) {
    std::cerr << "x11sa adjust: " << e.text << "\n";
    return 2;
  }
  // Tables are printed only where a listing or a report is asked for.
  const bool prints = !options.listing_path.empty() || !options.html_path.empty() || !options.json_path.empty();
  const std::string program = program_text(r, prints);
  if (!r.program.empty()) {
    std::ofstream saved(r.program, std::ios::binary);
    saved << program;
    saved.close();
    if (!saved) {
      std::cerr << "x11sa adjust: cannot write the program to '" << r.program << "'\n";
      return 2;
    }
    options.program_path = r.program;
  }
  if (options.listing_path.empty()) options.listing = nullptr;
  std::string log;
  if (options.log_path.empty()) options.log_text = &log;

  const FileIdentity out_before = identity(r.out);
  const FileIdentity summary_before = identity(r.summary);
  const RunResult result = run_program(program, options);
  const bool out_written = identity(r.out).exists && !(identity(r.out) == out_before);
  const bool summary_written = identity(r.summary).exists && !(identity(r.summary) == summary_before);

  std::ostream& out = std::cout;
  out << "x11sa adjust " << r.file;
  if (!result.steps.empty()) out << ": exit level " << result.steps.front().exit_level;
  out << "\n";
  if (out_written) out << "  adjusted series: " << r.out << "\n";
  if (summary_written) out << "  summary:         " << r.summary << "\n";
  if (!options.listing_path.empty()) out << "  listing:         " << options.listing_path << "\n";
  if (!options.log_path.empty()) out << "  log:             " << options.log_path << "\n";
  if (!options.html_path.empty()) out << "  HTML report:     " << options.html_path << "\n";
  if (!options.json_path.empty()) out << "  JSON:            " << options.json_path << "\n";
  if (!r.program.empty()) out << "  program:         " << r.program << "\n";
  if (!out_written && !summary_written) out << "  No data set was written.\n";
  if (summary_written) print_series(out, r.summary);
  // The log's warnings and errors; a log file is read back when it is a
  // regular file (a device or a pipe cannot be read again).
  std::error_code ec;
  if (!options.log_path.empty() && fs::is_regular_file(options.log_path, ec)) {
    std::ifstream in(options.log_path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    log = text.str();
  }
  const std::vector<std::string> lines = warnings_and_errors(log);
  if (!lines.empty()) {
    out << "Warnings and errors of the log:\n";
    for (const std::string& line : lines) out << "  " << line << "\n";
  }
  if (!options.log_path.empty())
    for (const std::string& e : result.file_errors) std::cerr << "x11sa: " << e << "\n";
  return result.exit_status;
}

}  // namespace x11sa::cli
