// Reads arbitrary bytes as a program, parses every step with the
// procedure's grammar and reads its options with their checks, checking what
// must hold for any input: no crash, no level outside those in use, and a log
// of whole, short lines that values from the program cannot forge. Shared by
// the fuzz target and the test that replays the inputs it once failed on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "host/host.h"
#include "host/program.h"
#include "host/text.h"
#include "statements/step_options.h"

namespace x11sa::fuzz {

// Returns an empty string, or what went wrong.
inline std::string read_program_everything(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!valid_utf8(text)) return {};
  const Program prog = read_program(text);
  std::string log;
  Host host{TextOut(&log), TextOut(), TextOut(), HostSettings{}};
  for (const auto& item : prog.items) {
    if (item.error && item.error->pos.line < 1) return "an error without a line";
    if (!item.step) continue;
    for (const auto& s : item.step->body)
      for (const auto& t : s.tokens)
        if (t.pos.line < 1 || t.pos.col < 1) return fmt::format("token '{}' without a position", t.text);
    const ParsedStep parsed = parse_step(*item.step, host);
    if (parsed.stmts.empty() || parsed.stmts.front().kind != StmtKind::Proc) return "no PROC record";
    if (parsed.level != 0 && parsed.level != 4 && parsed.level != 2000 && parsed.level != 3000)
      return fmt::format("unexpected statement level {}", parsed.level);
    // The option checks, on a series held in memory: no data set is opened.
    const int level = read_step_options(parsed, host, SeriesSource::Memory).exit_level;
    if (level != 0 && level != 4 && level != 1012 && level != 2000 && level != 3000)
      return fmt::format("unexpected option level {}", level);
  }
  // Every logged line stands on its own, and echoes of program text are cut.
  constexpr std::size_t kLongestLine = 800;
  std::size_t start = 0;
  while (start < log.size()) {
    const std::size_t end = log.find('\n', start);
    if (end == std::string::npos) return "log line without its end";
    const std::string_view line(log.data() + start, end - start);
    if (line.rfind("ERROR: ", 0) != 0 && line.rfind("WARNING: ", 0) != 0 && line.rfind("NOTE: ", 0) != 0)
      return fmt::format("log line without a severity: {}", line);
    if (has_control_chars(line)) return fmt::format("log line with a control character: {}", visible_text(line));
    if (line.size() > kLongestLine) return fmt::format("log line of {} bytes: {}", line.size(), line.substr(0, 200));
    start = end + 1;
  }
  return {};
}

}  // namespace x11sa::fuzz
