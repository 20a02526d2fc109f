#include "host/host.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include <fmt/format.h>

#include "host/ods.h"
#include "host/text.h"

namespace x11sa {

void TextOut::fail(int err) noexcept {
  if (*error_ == 0) *error_ = err != 0 ? err : EIO;
}

void TextOut::write(std::string_view text) {
  if (file_ != nullptr) {
    if (*error_ != 0) return;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) fail(errno);
  } else if (str_ != nullptr) {
    str_->append(text);
  }
}

void TextOut::write_line(std::string_view text) {
  if (file_ != nullptr) {
    if (*error_ != 0) return;
    // One lock for the line rather than one per call.
    ::flockfile(file_);
    const bool ok = ::fwrite_unlocked(text.data(), 1, text.size(), file_) == text.size() &&
                    ::putc_unlocked('\n', file_) != EOF;
    const int err = errno;
    ::funlockfile(file_);
    if (!ok) fail(err);
  } else if (str_ != nullptr) {
    str_->append(text);
    str_->push_back('\n');
  }
}

void TextOut::flush() {
  if (file_ == nullptr || *error_ != 0) return;
  if (std::fflush(file_) != 0) fail(errno);
}

bool TextOut::is_terminal() const {
  return file_ != nullptr && ::isatty(::fileno(file_)) != 0;
}

void Log::line(std::string_view text) {
  if (recording_ != nullptr) {
    recording_->log_line(text);
    return;
  }
  // Every log line is one line: a value echoed from a program or a data set
  // cannot add a line that looks like a message of its own.
  if (has_control_chars(text)) {
    out_.write_line(visible_text(text));
  } else {
    out_.write_line(text);
  }
}

void Log::message(Severity sev, std::string_view text) { emit(sev, group_, variable_, text); }

void Log::emit(Severity sev, std::string_view group, std::string_view variable, std::string_view text) {
  if (recording_ != nullptr) {
    recording_->message(HostRecording::kNoNumber, sev, text, group, variable);
    return;
  }
  if (sev == Severity::Error) ++errors_;
  if (sev == Severity::Warning) ++warnings_;
  // In a step with BY variables the message names its group, and its variable while one is adjusted.
  line_.assign(severity_prefix(sev));
  if (!group.empty()) {
    line_ += group;
    if (!variable.empty()) (line_ += ", variable ") += variable;
    line_ += ": ";
  }
  line_ += text;
  line(line_);
  if (ods_ != nullptr) ods_->log_message(LogEntry{sev, group, variable, text});
}

void Log::set_group(std::string label) { group_ = std::move(label); }

void Log::set_variable(std::string name) { variable_ = std::move(name); }

void Listing::line(std::string_view text) {
  if (!out_.enabled()) return;
  if (pages_ == 0 || used_ >= pagesize_) new_page();
  // Cut to the line size in characters: a cut inside a character would
  // leave the listing with invalid text.
  std::string escaped;
  if (has_control_chars(text)) {
    // A line break or form feed from user text would upset the paging.
    escaped = visible_text(text);
    text = escaped;
  }
  const std::string_view shown = first_columns(text, static_cast<std::size_t>(linesize_));
  const std::size_t last = shown.find_last_not_of(' ');
  out_.write_line(shown.substr(0, last == std::string_view::npos ? 0 : last + 1));
  ++used_;
}

void Listing::paragraph(std::string_view text) {
  if (!out_.enabled()) return;
  // Escaped first: the escapes take columns too.
  const std::string escaped = has_control_chars(text) ? visible_text(text) : std::string();
  if (!escaped.empty()) text = escaped;
  std::string& indented = indented_;
  wrap_paragraph(text, static_cast<std::size_t>(linesize_), 2, [&](std::size_t indent, std::string_view part) {
    if (indent == 0) {
      line(part);
      return;
    }
    indented.assign(indent, ' ');
    indented += part;
    line(indented);
  });
}

int Listing::paragraph_lines(std::string_view text) const {
  const std::string escaped = has_control_chars(text) ? visible_text(text) : std::string();
  if (!escaped.empty()) text = escaped;
  int lines = 0;
  wrap_paragraph(text, static_cast<std::size_t>(linesize_), 2, [&](std::size_t, std::string_view) { ++lines; });
  return lines;
}

void Listing::skip(int lines) {
  for (int i = 0; i < lines && used_ < pagesize_; ++i) line("");
}

template <class Emit>
void Listing::header(long page, Emit&& emit) const {
  // The page number ends the first line; the first title keeps its centred
  // place where the number fits beside it, else moves left as far as needed.
  const std::string number = fmt::format("Page {}", page);
  const std::size_t line = static_cast<std::size_t>(linesize_);
  const std::size_t room = line - std::min(line, number.size() + 2);
  std::string text;
  bool first = true;
  for (const auto& title : titles_) {
    const std::string escaped = has_control_chars(title) ? visible_text(title) : std::string();
    const std::string_view t = escaped.empty() ? std::string_view(title) : std::string_view(escaped);
    wrap_paragraph(t, first ? room : line, 0, [&](std::size_t /*indent*/, std::string_view part) {
      const std::size_t width = text_width(part);
      const std::size_t centred = (line - std::min(line, width)) / 2;
      text.assign(first ? std::min(centred, room - std::min(room, width)) : centred, ' ');
      text += part;
      if (first) text.append(line - std::min(line, text_width(text) + number.size()), ' ') += number;
      emit(std::string_view(text));
      first = false;
    });
  }
  if (first) emit(std::string(line - std::min(line, number.size()), ' ') + number);
  emit(std::string_view());
}

void Listing::new_page() {
  if (!out_.enabled()) return;
  if (pages_ > 0) out_.write("\f");
  ++pages_;
  used_ = 0;
  header(pages_, [&](std::string_view text) {
    out_.write_line(text);
    ++used_;
  });
}

void Listing::keep_together(int lines) {
  if (!out_.enabled() || pages_ == 0) return;
  int header_lines = 0;
  header(pages_ + 1, [&](std::string_view) { ++header_lines; });
  if (lines > lines_left() && lines <= pagesize_ - header_lines) new_page();
}

int Listing::lines_left() const noexcept { return pages_ == 0 ? 0 : std::max(0, pagesize_ - used_); }

void Progress::start(std::string_view what) {
  what_ = what;
  t0_ = last_ = std::chrono::steady_clock::now();
  shown_ = false;
}

void Progress::step(long done, double fraction) {
  if (!on_) return;
  const auto now = std::chrono::steady_clock::now();
  // Only work that lasts shows progress, and at most a few updates a second.
  if (now - t0_ < std::chrono::seconds(2) || now - last_ < std::chrono::milliseconds(250)) return;
  last_ = now;
  const double secs = std::chrono::duration<double>(now - t0_).count();
  const double rate = secs > 0 ? static_cast<double>(done) / secs : 0.0;
  std::string text = fmt::format("\r{} done: {} ({:.0f}/s)", what_, done, rate);
  if (fraction > 0.0 && fraction <= 1.0) {
    const double left = secs * (1.0 - fraction) / fraction;
    text += fmt::format(", {:.0f}% of the data, about {:.0f} s left", 100.0 * fraction, left);
  }
  text += "   ";
  out_.write(text);
  out_.flush();
  shown_ = true;
}

void Progress::finish() {
  if (shown_) {
    out_.write("\r\033[K");
    out_.flush();
  }
  shown_ = false;
}

bool Host::logged(int number) const {
  return std::find(logged_.begin(), logged_.end(), number) != logged_.end();
}

void Host::log_message(int number, const Severity* sev, const std::string& text) {
  const Message* m = find_message(number);
  Severity s = sev != nullptr ? *sev : (m != nullptr ? m->severity : Severity::Note);
  if (s == Severity::Text) s = Severity::Note;
  if (log_.recording_ != nullptr) {
    log_.recording_->message(number, s, text, log_.group_, log_.variable_);
    return;
  }
  replay_message(number, s, text, log_.group_, log_.variable_);
}

void Host::replay_message(int number, Severity sev, std::string_view text, std::string_view group,
                          std::string_view variable) {
  if (number != HostRecording::kNoNumber) logged_.push_back(number);
  log_.emit(sev, group, variable, text);
}

}  // namespace x11sa
