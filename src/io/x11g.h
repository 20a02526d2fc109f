// The grammar of the procedure's statements: turns the statements of a
// step into parsed records with typed option values, reporting every
// statement it cannot read.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/dataset.h"
#include "host/program.h"

namespace x11sa {

class Host;

// A parsed option value; which members are set depends on the option.
struct OptValue {
  SourcePos pos;
  double num = 0;                  // numbers and integers
  std::string text;                // keywords (upper case), texts as written
  bool quoted = false;             // text came from a quoted string
  std::vector<std::string> names;  // variable names
  std::optional<DataSetName> ds;   // data set names
  std::map<std::string, OptValue> sub;  // MODEL=( ... ) and TRANSFORM=( a ** b )
};

// Statement kinds, as one-character codes.
enum class StmtKind : char {
  Proc = '1',     // PROC X11, with BY, VAR and ID folded in
  Freq = 'A',     // MONTHLY or QUARTERLY
  Tables = 'B',
  Macurves = 'C',
  Arima = 'I',
  Sspan = 'P',
  Output = 'T',
  Pdweights = 'W',
};

struct ParsedStatement {
  StmtKind kind = StmtKind::Proc;
  std::string word;  // the statement keyword, upper case (MONTHLY, QUARTERLY, ...)
  SourcePos pos;
  // Options by canonical name (switches carry an empty value). A repeated
  // option keeps its last value.
  std::map<std::string, OptValue> opts;
  // PROC record: the BY, VAR and ID lists.
  std::vector<std::string> by, var, id;
  std::vector<SourcePos> by_pos, var_pos, id_pos;  // where each name stands
  std::vector<bool> by_descending;
  bool notsorted = false;
  bool has_by = false, has_var = false, has_id = false;
  // TABLES: the bit positions of the named tables, in the order written.
  std::vector<int> table_bits;
  // OUTPUT: (output-table index, names), in the order written.
  std::vector<std::pair<int, std::vector<std::string>>> out_names;

  [[nodiscard]] bool has(const std::string& opt) const { return opts.count(opt) != 0; }
  [[nodiscard]] const OptValue* get(const std::string& opt) const {
    const auto it = opts.find(opt);
    return it == opts.end() ? nullptr : &it->second;
  }
};

struct ParsedStep {
  std::vector<ParsedStatement> stmts;  // the PROC record first, then in program order
  int level = 0;  // statement-error level (3000) when anything could not be read
};

// Parses the statements of a PROC X11 step; every fault is logged as an
// ERROR naming its line, column and word.
[[nodiscard]] ParsedStep xsparse(const ProcStep& step, Host& host);

// The printable-table list of the TABLES statement (A1 ... F2, G1 ... G8,
// S0 ... S7): bit position of a name, or -1.
[[nodiscard]] int table_bit_of(std::string_view name);
[[nodiscard]] std::string_view table_name_of_bit(int bit);
// The 59 tables that can go to OUT=, in their fixed order: index of a name, or -1.
[[nodiscard]] int out_table_index(std::string_view name);
[[nodiscard]] std::string_view out_table_name(int index);

}  // namespace x11sa
