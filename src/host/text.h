// Text from programs and data shown in the log, the listing and the reports.
#pragma once

#include <string>
#include <string_view>

namespace x11sa {

// True when the text holds a control character (below 0x20, or 0x7F).
[[nodiscard]] bool has_control_chars(std::string_view text) noexcept;

// The text with each control character written as an escape (\n, \r, \t,
// \xHH): a value from a program or a data set never starts a line of its
// own, so it cannot pass for a message, nor move the cursor of a terminal.
// Text beyond `limit` bytes is cut where a character starts and "..." added.
[[nodiscard]] std::string visible_text(std::string_view text,
                                       std::size_t limit = std::string_view::npos);

}  // namespace x11sa
