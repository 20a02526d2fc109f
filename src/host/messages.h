// The message catalogue of the procedure: numbered texts for the log, titles
// and labels. Callers pass a number and its arguments; the texts live here.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

namespace x11sa {

enum class Severity { Text, Note, Warning, Error };

struct Message {
  int number;
  Severity severity;  // how the log shows it; Text for titles and labels
  std::string_view text;  // {fmt} format string; arguments in the caller's order
};

// Every message of the procedure's set, ordered by number.
[[nodiscard]] std::vector<Message> message_catalogue();

// The parts of the set kept with the subsystems that use them (each ordered
// by number; numbers are unique across the parts).
[[nodiscard]] std::span<const Message> report_messages() noexcept;
[[nodiscard]] std::span<const Message> arima_messages() noexcept;
[[nodiscard]] std::span<const Message> spans_messages() noexcept;
// The message with this number, or nullptr.
[[nodiscard]] const Message* find_message(int number) noexcept;

// Formats a message. An unknown number or a mismatch between the text and
// the arguments yields a visible placeholder instead of throwing.
[[nodiscard]] std::string message_vtext(int number, fmt::format_args args);

template <class... Args>
[[nodiscard]] std::string msgtext(int number, const Args&... args) {
  return message_vtext(number, fmt::make_format_args(args...));
}

// The second message set, 881: the texts of the combined seasonality test.
[[nodiscard]] std::span<const Message> message_catalogue881() noexcept;
[[nodiscard]] const Message* find_message881(int number) noexcept;
[[nodiscard]] std::string message881_vtext(int number, fmt::format_args args);

template <class... Args>
[[nodiscard]] std::string msgtext881(int number, const Args&... args) {
  return message881_vtext(number, fmt::make_format_args(args...));
}

// The ARIMA engine's own set, 499.
[[nodiscard]] std::span<const Message> message_catalogue499() noexcept;
[[nodiscard]] const Message* find_message499(int number) noexcept;
[[nodiscard]] std::string message499_vtext(int number, fmt::format_args args);

template <class... Args>
[[nodiscard]] std::string msgtext499(int number, const Args&... args) {
  return message499_vtext(number, fmt::make_format_args(args...));
}

// "NOTE: ", "WARNING: ", "ERROR: " or "".
[[nodiscard]] std::string_view severity_prefix(Severity s) noexcept;

}  // namespace x11sa
