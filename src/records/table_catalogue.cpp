#include "records/table_catalogue.h"

#include <algorithm>
#include <cctype>

namespace x11sa {

namespace {

constexpr std::array<TableInfo, kTableCount> kCatalogue = {{
    {Table::A1, "A1", TableGroup::A, 0, 1, 100, 100, TableLayout::Series, false},
    {Table::A2, "A2", TableGroup::A, 1, 1, 101, 101, TableLayout::Ratio, false},
    {Table::A3, "A3", TableGroup::A, 2, 1, 102, 102, TableLayout::Ratio, false},
    {Table::A4, "A4", TableGroup::A, 3, 1, 166, 166, TableLayout::Ratio, true},
    {Table::A5, "A5", TableGroup::A, 4, 1, 163, 163, TableLayout::Ratio, false},
    {Table::A6, "A6", TableGroup::A, 5, 9, 0, 0, TableLayout::Ratio, false},
    {Table::A13, "A13", TableGroup::Arima, 6, 3, 175, 175, TableLayout::Ratio, false},
    {Table::A14, "A14", TableGroup::Arima, 7, 3, 176, 176, TableLayout::Ratio, false},
    {Table::A15, "A15", TableGroup::Arima, 8, 1, 177, 177, TableLayout::Ratio, false},
    {Table::B1, "B1", TableGroup::B, 9, 1, 104, 104, TableLayout::Series, false},
    {Table::B2, "B2", TableGroup::B, 10, 2, 105, 105, TableLayout::Series, false},
    {Table::B3, "B3", TableGroup::B, 11, 3, 106, 106, TableLayout::Ratio, false},
    {Table::B4, "B4", TableGroup::B, 12, 3, 107, 107, TableLayout::Weights, false},
    {Table::B5, "B5", TableGroup::B, 13, 3, 108, 108, TableLayout::Ratio, false},
    {Table::B6, "B6", TableGroup::B, 14, 3, 109, 109, TableLayout::Series, false},
    {Table::B7, "B7", TableGroup::B, 15, 2, 110, 180, TableLayout::Series, false},
    {Table::B8, "B8", TableGroup::B, 16, 3, 111, 111, TableLayout::Ratio, false},
    {Table::B9, "B9", TableGroup::B, 17, 3, 112, 112, TableLayout::Weights, false},
    {Table::B10, "B10", TableGroup::B, 18, 2, 113, 113, TableLayout::Ratio, false},
    {Table::B11, "B11", TableGroup::B, 19, 3, 114, 114, TableLayout::Series, false},
    {Table::B13, "B13", TableGroup::B, 20, 2, 115, 115, TableLayout::Irregular, false},
    {Table::B14, "B14", TableGroup::B, 21, 2, 116, 116, TableLayout::Plain, false},
    {Table::B15, "B15", TableGroup::B},
    {Table::B16, "B16", TableGroup::B, 22, 3, 118, 118, TableLayout::Ratio, false},
    {Table::B17, "B17", TableGroup::B, 23, 3, 119, 119, TableLayout::Weights, false},
    {Table::B18, "B18", TableGroup::B, 24, 3, 120, 120, TableLayout::Ratio, false},
    {Table::B19, "B19", TableGroup::B, 25, 3, 121, 121, TableLayout::Series, false},
    {Table::C1, "C1", TableGroup::C, 26, 2, 122, 122, TableLayout::Series, false},
    {Table::C2, "C2", TableGroup::C, 27, 3, 123, 123, TableLayout::Series, false},
    {Table::C4, "C4", TableGroup::C, 28, 3, 124, 124, TableLayout::Ratio, false},
    {Table::C5, "C5", TableGroup::C, 29, 3, 125, 125, TableLayout::Ratio, false},
    {Table::C6, "C6", TableGroup::C, 30, 3, 126, 126, TableLayout::Series, false},
    {Table::C7, "C7", TableGroup::C, 31, 2, 127, 181, TableLayout::Series, false},
    {Table::C9, "C9", TableGroup::C, 32, 3, 128, 128, TableLayout::Ratio, false},
    {Table::C10, "C10", TableGroup::C, 33, 2, 129, 129, TableLayout::Ratio, false},
    {Table::C11, "C11", TableGroup::C, 34, 3, 130, 130, TableLayout::Series, false},
    {Table::C13, "C13", TableGroup::C, 35, 1, 131, 131, TableLayout::Irregular, false},
    {Table::C14, "C14", TableGroup::C, 36, 1, 132, 132, TableLayout::Plain, false},
    {Table::C15, "C15", TableGroup::C},
    {Table::C16, "C16", TableGroup::C, 37, 1, 134, 134, TableLayout::Ratio, true},
    {Table::C17, "C17", TableGroup::C, 38, 1, 135, 135, TableLayout::Weights, false},
    {Table::C18, "C18", TableGroup::C, 39, 1, 136, 136, TableLayout::Ratio, true},
    {Table::C19, "C19", TableGroup::C, 40, 1, 137, 137, TableLayout::Series, false},
    {Table::D1, "D1", TableGroup::D, 41, 2, 138, 138, TableLayout::Series, false},
    {Table::D2, "D2", TableGroup::D, 42, 3, 139, 139, TableLayout::Series, false},
    {Table::D4, "D4", TableGroup::D, 43, 3, 140, 140, TableLayout::Ratio, false},
    {Table::D5, "D5", TableGroup::D, 44, 3, 141, 141, TableLayout::Ratio, false},
    {Table::D6, "D6", TableGroup::D, 45, 3, 142, 142, TableLayout::Series, false},
    {Table::D7, "D7", TableGroup::D, 46, 2, 143, 182, TableLayout::Series, false},
    {Table::D8, "D8", TableGroup::D, 47, 1, 144, 144, TableLayout::Ratio, false},
    {Table::D9, "D9", TableGroup::D, 48, 1, 145, 145, TableLayout::Plain, false},
    {Table::D10, "D10", TableGroup::D, 49, 1, 146, 146, TableLayout::Ratio, true},
    {Table::D11, "D11", TableGroup::D, 50, 1, 147, 147, TableLayout::Series, false},
    {Table::D12, "D12", TableGroup::D, 51, 1, 148, 183, TableLayout::Series, false},
    {Table::D13, "D13", TableGroup::D, 52, 1, 149, 149, TableLayout::Irregular, false},
    {Table::E1, "E1", TableGroup::E, 53, 1, 150, 150, TableLayout::Series, false},
    {Table::E2, "E2", TableGroup::E, 54, 1, 151, 151, TableLayout::Series, false},
    {Table::E3, "E3", TableGroup::E, 55, 1, 152, 152, TableLayout::Irregular, false},
    {Table::E4, "E4", TableGroup::E},
    {Table::E5, "E5", TableGroup::E, 56, 1, 154, 161, TableLayout::Ratio, false},
    {Table::E6, "E6", TableGroup::E, 57, 1, 155, 162, TableLayout::Ratio, false},
    {Table::F1, "F1", TableGroup::F, 58, 1, 156, 226, TableLayout::Series, false},
    {Table::F2, "F2", TableGroup::F},
    {Table::G1, "G1", TableGroup::Charts},
    {Table::G2, "G2", TableGroup::Charts},
    {Table::G3, "G3", TableGroup::Charts},
    {Table::G4, "G4", TableGroup::Charts},
    {Table::G5, "G5", TableGroup::Charts},
    {Table::G6, "G6", TableGroup::Charts},
    {Table::G7, "G7", TableGroup::Charts},
    {Table::G8, "G8", TableGroup::Charts},
    {Table::S0, "S0", TableGroup::Spans},
    {Table::S1, "S1", TableGroup::Spans},
    {Table::S2, "S2", TableGroup::Spans},
    {Table::S3, "S3", TableGroup::Spans},
    {Table::S4, "S4", TableGroup::Spans},
    {Table::S5, "S5", TableGroup::Spans},
    {Table::S6, "S6", TableGroup::Spans},
    {Table::S7, "S7", TableGroup::Spans},
}};

constexpr bool in_table_order() {
  for (int i = 0; i < kTableCount; ++i)
    if (static_cast<int>(kCatalogue[static_cast<std::size_t>(i)].table) != i) return false;
  return true;
}
static_assert(in_table_order(), "the catalogue lists the tables in their order");

constexpr std::array<Table, kOutTableCount> kOutTables = {Table::A1, Table::A2, Table::A3, Table::A4, Table::A5, Table::A6, Table::A13, Table::A14, Table::A15, Table::B1, Table::B2, Table::B3, Table::B4, Table::B5, Table::B6, Table::B7, Table::B8, Table::B9, Table::B10, Table::B11, Table::B13, Table::B14, Table::B16, Table::B17, Table::B18, Table::B19, Table::C1, Table::C2, Table::C4, Table::C5, Table::C6, Table::C7, Table::C9, Table::C10, Table::C11, Table::C13, Table::C14, Table::C16, Table::C17, Table::C18, Table::C19, Table::D1, Table::D2, Table::D4, Table::D5, Table::D6, Table::D7, Table::D8, Table::D9, Table::D10, Table::D11, Table::D12, Table::D13, Table::E1, Table::E2, Table::E3, Table::E5, Table::E6, Table::F1};

constexpr bool out_indexes_agree() {
  for (int i = 0; i < kOutTableCount; ++i)
    if (kCatalogue[static_cast<std::size_t>(kOutTables[static_cast<std::size_t>(i)])].out_index != i) return false;
  return true;
}
static_assert(out_indexes_agree(), "the OUT= order and the catalogue's indexes agree");

bool same_name(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

const TableInfo& table_info(Table t) noexcept { return kCatalogue[static_cast<std::size_t>(t)]; }

std::string_view table_name(Table t) noexcept { return table_info(t).name; }

std::optional<Table> table_named(std::string_view name) noexcept {
  for (const TableInfo& i : kCatalogue)
    if (same_name(i.name, name)) return i.table;
  return std::nullopt;
}

Table out_table(int index) noexcept { return kOutTables[static_cast<std::size_t>(index)]; }

std::optional<Table> out_table_named(std::string_view name) noexcept {
  const auto t = table_named(name);
  if (!t || table_info(*t).out_index < 0) return std::nullopt;
  return t;
}

}  // namespace x11sa
