// The exit service: a fatal condition ends the running step with an exit level.
#pragma once

#include <exception>
#include <string>

namespace x11sa {

namespace exit_level {
// An internal error; the other levels are in records/exit_levels.h.
inline constexpr int kInternal = 9999;
}  // namespace exit_level

// Thrown to end a step; caught only at the step boundary, which reports the
// level. Levels: 0 normal, up to 4 warning, above 4 the step failed.
class StepExit : public std::exception {
 public:
  StepExit(int level, int code, std::string text = {})
      : level_(level), code_(code), text_(std::move(text)) {}
  [[nodiscard]] int level() const noexcept { return level_; }
  [[nodiscard]] int code() const noexcept { return code_; }
  // Internal-error text, empty for ordinary exits.
  [[nodiscard]] const std::string& text() const noexcept { return text_; }
  [[nodiscard]] const char* what() const noexcept override { return "x11sa step exit"; }

 private:
  int level_;
  int code_;
  std::string text_;
};

// Ends the step with `level`; never returns.
[[noreturn]] inline void xexit(int level, int code = 0) { throw StepExit(level, code); }

// Ends the step as an internal error with a diagnostic text.
[[noreturn]] inline void xebug_exit(std::string text) { throw StepExit(exit_level::kInternal, 9, std::move(text)); }

}  // namespace x11sa
