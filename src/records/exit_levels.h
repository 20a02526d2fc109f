// Exit levels of a step. Each condition raises the level to the highest
// met so far; above kWarning the step (or, with BY groups, the group) ends.
#pragma once

#include "host/exit.h"  // kInternal, raised by the exit service itself

namespace x11sa::exit_level {

inline constexpr int kNormal = 0;
inline constexpr int kWarning = 4;
// An error in the data of a BY group: that group is skipped.
inline constexpr int kGroupDataError = 108;
// The same without BY groups: the step ends.
inline constexpr int kDataError = 1008;
// A data set, an option value or memory that cannot be had.
inline constexpr int kResource = 1012;
// The step's temporary storage could not be written.
inline constexpr int kUtilityWrite = 1020;
// An option value that the checks refuse.
inline constexpr int kOptionValue = 2000;
// A statement that cannot be read.
inline constexpr int kStatement = 3000;

// The data error of the current group: skipped with BY groups, the end of
// the step without.
[[nodiscard]] constexpr int data_error(bool by_groups) noexcept { return by_groups ? kGroupDataError : kDataError; }

}  // namespace x11sa::exit_level
