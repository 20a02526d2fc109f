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
#include "x11sa/tables.h"

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

enum class StmtKind {
  Proc,  // PROC X11, with BY, VAR and ID folded in
  Freq,  // MONTHLY or QUARTERLY
  Tables,
  Macurves,
  Arima,
  Sspan,
  Output,
  Pdweights,
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
  // TABLES: the named tables, in the order written.
  std::vector<Table> tables;
  // OUTPUT: (table, names), in the order written.
  std::vector<std::pair<Table, std::vector<std::string>>> out_names;

  [[nodiscard]] bool has(const std::string& opt) const { return opts.count(opt) != 0; }
  [[nodiscard]] const OptValue* get(const std::string& opt) const {
    const auto it = opts.find(opt);
    return it == opts.end() ? nullptr : &it->second;
  }
};

struct ParsedStep {
  std::vector<ParsedStatement> stmts;  // the PROC record first, then in program order
  int level = 0;  // exit_level::kStatement when anything could not be read
};

// Parses the statements of a PROC X11 step; every fault is logged as an
// ERROR naming its line, column and word.
[[nodiscard]] ParsedStep parse_step(const ProcStep& step, Host& host);

}  // namespace x11sa
