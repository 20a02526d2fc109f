// The tables of a seasonal adjustment by the X-11 method, by name: the A to
// F tables, the charts G1 to G8 and the sliding-spans reports S0 to S7.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace x11sa {

// In the order of the TABLES statement's list.
enum class Table : std::uint8_t {
  A1, A2, A3, A4, A5, A6, A13, A14, A15,
  B1, B2, B3, B4, B5, B6, B7, B8, B9, B10, B11, B13, B14, B15, B16, B17, B18, B19,
  C1, C2, C4, C5, C6, C7, C9, C10, C11, C13, C14, C15, C16, C17, C18, C19,
  D1, D2, D4, D5, D6, D7, D8, D9, D10, D11, D12, D13,
  E1, E2, E3, E4, E5, E6, F1, F2,
  G1, G2, G3, G4, G5, G6, G7, G8,
  S0, S1, S2, S3, S4, S5, S6, S7,
};

inline constexpr int kTableCount = static_cast<int>(Table::S7) + 1;

// "D11" for Table::D11.
[[nodiscard]] std::string_view table_name(Table t) noexcept;
// The table of a name, in any case ("d11"); nullopt for none.
[[nodiscard]] std::optional<Table> table_named(std::string_view name) noexcept;

}  // namespace x11sa
