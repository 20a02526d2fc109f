// Random-access utility files: a byte store with a current position, held in
// memory and moved to an anonymous temporary file when it grows past a limit.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

namespace x11sa {

class UtilFile {
 public:
  // `memory_limit`: bytes kept in memory before the content moves to a
  // temporary file (in $TMPDIR, removed when closed).
  explicit UtilFile(std::size_t memory_limit = std::size_t{256} << 20);
  ~UtilFile();
  UtilFile(const UtilFile&) = delete;
  UtilFile& operator=(const UtilFile&) = delete;
  UtilFile(UtilFile&&) noexcept;
  UtilFile& operator=(UtilFile&&) noexcept;

  // Writes `n` bytes at the current position (overwriting, or extending the
  // file), advancing the position. False when the bytes could not be stored.
  [[nodiscard]] bool write(const void* data, std::size_t n);
  // Reads `n` bytes at the current position, advancing it. False, with the
  // position unchanged, when fewer than `n` bytes lie ahead.
  [[nodiscard]] bool read(void* data, std::size_t n);
  // Current position (xcnote).
  [[nodiscard]] std::size_t note() const noexcept { return pos_; }
  // Sets the position (xcpoint); false when beyond the end of the content.
  [[nodiscard]] bool point(std::size_t pos) noexcept;
  // Empties the file and rewinds it, keeping its memory for reuse.
  void clear() noexcept;
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool on_disk() const noexcept { return file_ != nullptr; }

 private:
  bool spill();
  bool seek_file(int mode);

  std::size_t limit_;
  std::vector<unsigned char> mem_;
  std::FILE* file_ = nullptr;
  std::size_t size_ = 0;
  std::size_t pos_ = 0;
  // Position and direction of the temporary file's last transfer, so that it
  // is repositioned only when needed.
  std::size_t file_pos_ = 0;
  int file_mode_ = 0;
};

}  // namespace x11sa
