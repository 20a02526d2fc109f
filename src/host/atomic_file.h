// Files written whole: data sets and report files go to a temporary file
// beside their target and replace it only when complete, so a failed run
// never leaves half a file and a reader sees either the old file or the new.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "host/result.h"

namespace x11sa {

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile() { discard(); }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Opens `path` for writing. A regular file, or a name not taken yet, gets
  // a temporary file with a fresh random name in its folder, created
  // exclusively; a symbolic link is followed, so that commit() replaces the
  // file it points to and the link stays. A device or a FIFO cannot be
  // replaced and is written directly. A folder is refused.
  [[nodiscard]] Status open(const std::string& path);
  [[nodiscard]] bool is_open() const noexcept { return fd_ >= 0; }
  // A stdio stream on the descriptor, made on first use and closed here;
  // nullptr when not open or out of memory. Its failed writes keep their
  // errno for commit() to report.
  [[nodiscard]] std::FILE* stream();
  // Writes all of `data` to the descriptor.
  [[nodiscard]] Status write(std::string_view data);
  // The file commit() replaces: the target with its symbolic links followed.
  [[nodiscard]] const std::string& target() const noexcept { return target_; }
  // False when the target is written directly (a device or a FIFO).
  [[nodiscard]] bool replaces_target() const noexcept { return !through_; }
  // Flushes, syncs and closes, then moves the temporary file over the
  // target. On failure the temporary file is removed and the target is as
  // it was.
  [[nodiscard]] Status commit();
  // Closes and removes the temporary file; the target stays as it was.
  void discard() noexcept;

 private:
  // 0, or the errno of a failed write.
  [[nodiscard]] int write_all(std::string_view data) noexcept;
  std::string target_;
  std::string temp_;  // empty when writing through
  int fd_ = -1;
  std::size_t written_ = 0;      // bytes written to the descriptor
  std::size_t written_back_ = 0;  // of which the disk was asked to take
  std::FILE* stream_ = nullptr;
  int stream_error_ = 0;  // errno of the stream's first failed write
  bool through_ = false;
};

// Text of an errno value, as messages show it.
[[nodiscard]] std::string errno_message(int err);

}  // namespace x11sa
