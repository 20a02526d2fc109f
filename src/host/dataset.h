// The data library: data sets are CSV files in folders named by librefs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/result.h"

namespace x11sa {

class HostRecording;

enum class VarType { Numeric = 1, Character = 2 };

struct VarInfo {
  std::string name;
  VarType type = VarType::Numeric;
  bool is_date = false;  // numeric column read from ISO dates
  int length = 8;        // bytes: 8 for numeric, the longest value for character (at least 1)
  std::string label;
};

// A name of a variable or data set: letters, digits and underscores (ASCII),
// not starting with a digit, 1 to 32 long.
[[nodiscard]] bool is_valid_name(std::string_view s) noexcept;
// A library name: a valid name of at most 8 characters.
[[nodiscard]] bool is_library_name(std::string_view s) noexcept;

// A data set: a two-level name (a one-level name belongs to WORK), or a
// file given by its path.
struct DataSetName {
  std::string libref;  // upper case; empty for a file
  std::string member;  // as written; empty for a file
  std::string path;    // a file, as written: relative to the current folder or absolute
  [[nodiscard]] bool is_file() const noexcept { return !path.empty(); }
  [[nodiscard]] std::string display() const;  // "LIB.member", or the path in quotes
  // Parses "member" or "lib.member": letters, digits and underscores, not
  // starting with a digit, at most 32 characters each.
  [[nodiscard]] static std::optional<DataSetName> parse(std::string_view text);
  // The file at `path`, taken as written (no extension added).
  [[nodiscard]] static DataSetName file(std::string path);
};

// A header cell that is not a valid name, and the name its column gets:
// letters, digits and underscores kept, every other character an
// underscore, an underscore before a leading digit, at most 32 characters;
// an empty header names column n "Vn".
struct RenamedColumn {
  int column = 0;  // 1-based
  std::string header;
  std::string name;
};
[[nodiscard]] std::string valid_name_of(std::string_view header, int column);

// How the cells of a column can be read, whatever its type: a character
// column can still be read as numbers or dates (InputDataSet::read_as).
enum class CellReading { Numbers, Dates };

// Librefs to folders. WORK is the current directory unless mapped.
class Library {
 public:
  void assign(std::string_view libref, std::string folder);
  // Folder of a libref (case-insensitive); nullopt when not assigned.
  [[nodiscard]] std::optional<std::string> folder(std::string_view libref) const;

 private:
  std::map<std::string, std::string> folders_;  // upper-case libref -> folder
};

// Position of a row, to come back to it (note/point).
struct RowPos {
  std::size_t offset = 0;
  long row = 0;  // 1-based data row number of the row at `offset`
};

// A CSV data set opened for reading. Opening scans the whole file once: it
// checks the structure (UTF-8, quotes, equal row widths, distinct names) and
// infers each column's type, so later reads cannot fail on structure.
class InputDataSet {
 public:
  ~InputDataSet();
  InputDataSet(const InputDataSet&) = delete;
  InputDataSet& operator=(const InputDataSet&) = delete;

  // Opens `path`; a failure's message names `display_name`, and the line
  // for structural faults. Every row is checked first, by up to `threads`
  // threads (two at most, on a large file).
  [[nodiscard]] static Result<std::unique_ptr<InputDataSet>> open(const std::string& path,
                                                                 const std::string& display_name, int threads = 1);
  // Finds member.csv in `folder`: exact name first, then ignoring case.
  [[nodiscard]] static std::optional<std::string> locate(const std::string& folder,
                                                        std::string_view member);

  [[nodiscard]] const std::string& name() const noexcept;
  [[nodiscard]] const std::vector<VarInfo>& vars() const noexcept;
  // Index of a variable by name, ignoring case; -1 when absent. Of columns
  // whose names clash, the first.
  [[nodiscard]] int find_var(std::string_view name) const noexcept;
  [[nodiscard]] long nobs() const noexcept;

  // The header cells that were not valid names, in column order; the
  // original header is the variable's label.
  [[nodiscard]] const std::vector<RenamedColumn>& renamed_columns() const noexcept;
  // The columns (0-based) whose names equal that of `var` ignoring case,
  // `var` included; empty when its name is its own.
  [[nodiscard]] std::vector<int> name_clash(int var) const;

  // How many cells of `var` read as numbers, or as dates of any form of
  // parse_date_text(); missing cells count for neither. The first call for
  // a variable reads its cells again.
  [[nodiscard]] long cells_reading_as(int var, CellReading how);
  // The cells of `var` that are numbers before the first that is not one
  // (all of them, in a numeric variable): many in a column of numbers
  // spoilt by a few cells, none in a column of text. Known from opening.
  [[nodiscard]] long leading_numbers(int var) const noexcept;
  // Reads character variable `var` as numbers, or as dates, from now on,
  // when every cell that is not missing reads so; a numeric variable is
  // left as it is. The failure names the first cell that does not: the
  // file, the line in the file, the column and the text.
  [[nodiscard]] Status read_as(int var, CellReading how);

  // BY processing. `by` are variable indexes; `descending` marks those in
  // descending order; with `notsorted` groups are runs of equal values and
  // no order is checked. Without BY variables the whole data set is one group.
  // Resets reading to the start.
  void set_by(std::vector<int> by, std::vector<bool> descending, bool notsorted);

  // Starts the next BY group (xbynext). False at the end of the data, or
  // when the group's first row breaks the sort order (see sort_error()).
  [[nodiscard]] bool next_group();
  // Next row of the current group; false at its end.
  [[nodiscard]] bool next_row();
  // Back to the first row of the current group (xbyrwnd).
  void rewind_group();
  // Position of the current row, and back to a noted position within the
  // current group (xonote / xopnt); the next next_row() reads that row.
  [[nodiscard]] RowPos note() const noexcept;
  void point(const RowPos& pos);

  // Values of the current row. num(): numeric and date variables, missing for
  // an empty, ".", "NA" or "NaN" cell. str(): the text of any cell, unquoted.
  [[nodiscard]] double num(int var) const;
  [[nodiscard]] std::string_view str(int var) const;
  [[nodiscard]] long row_number() const noexcept;  // 1-based, the header not counted

  // Set when next_group() stopped at a row out of BY order: names the data
  // set, the row number and the values.
  [[nodiscard]] const std::optional<std::string>& sort_error() const noexcept;

  struct Impl;
  // Only open() can make the key, so only open() constructs.
  class Key {
    friend class InputDataSet;
    Key() = default;
  };
  InputDataSet(Key, std::unique_ptr<Impl> impl);

 private:
  std::unique_ptr<Impl> impl_;
};

struct OutColumn {
  std::string name;
  VarType type = VarType::Numeric;
  bool is_date = false;  // written as YYYY-MM-DD
  std::string label;     // kept for the caller; CSV carries only names
};

// An output data set, written to a temporary file in the target folder and
// renamed into place by commit(); destroyed uncommitted, it leaves nothing.
class OutputDataSet {
 public:
  ~OutputDataSet();
  OutputDataSet(const OutputDataSet&) = delete;
  OutputDataSet& operator=(const OutputDataSet&) = delete;

  // Creates the temporary file and writes the header; fails when the folder
  // cannot be written or a column name repeats.
  [[nodiscard]] static Result<std::unique_ptr<OutputDataSet>> create(const std::string& folder,
                                                                    std::string_view member,
                                                                    std::vector<OutColumn> columns);
  // The same for a data set by name: a member of `folder`, or a file at its
  // path as written.
  [[nodiscard]] static Result<std::unique_ptr<OutputDataSet>> create(const std::string& folder,
                                                                    const DataSetName& name,
                                                                    std::vector<OutColumn> columns);
  // A data set with the columns of `like` whose rows go, as written, to
  // `recording` as rows of data set `dataset`, never to a file: written
  // later, in order, through write_row_text() of `like`.
  [[nodiscard]] static std::unique_ptr<OutputDataSet> recorder(const OutputDataSet& like, HostRecording& recording,
                                                              int dataset);
  [[nodiscard]] const std::vector<OutColumn>& columns() const noexcept;
  // Stage one cell of the next row (missing numbers become empty cells).
  void set_num(int col, double value);
  void set_str(int col, std::string_view value);
  // Writes the staged row and clears it; false when the write failed.
  [[nodiscard]] bool write_row();
  // Writes a row a recorder made (line end included), as write_row() would
  // have written it; false when the write failed.
  [[nodiscard]] bool write_row_text(std::string_view text);
  [[nodiscard]] long rows_written() const noexcept;
  // Flushes, closes and renames into place.
  [[nodiscard]] Status commit();
  // Final path (folder/member.csv, member in lower case; or the file's path).
  [[nodiscard]] const std::string& path() const noexcept;

  struct Impl;
  // Only create() can make the key, so only create() constructs.
  class Key {
    friend class OutputDataSet;
    Key() = default;
  };
  OutputDataSet(Key, std::unique_ptr<Impl> impl);

 private:
  // The data set whose file is `final_path`.
  [[nodiscard]] static Result<std::unique_ptr<OutputDataSet>> create_at(const std::string& final_path,
                                                                       std::vector<OutColumn> columns);
  std::unique_ptr<Impl> impl_;
};

// Shortest decimal form that reads back to the same double (at most 17
// significant digits); empty for missing.
void append_number(std::string& out, double value);

}  // namespace x11sa
