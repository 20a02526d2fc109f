#include "host/utilfile.h"

#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>

namespace x11sa {

namespace {

// Direction of the last transfer on the temporary file. The C library needs
// a seek between a read and a write; tracking it saves seeks (and the buffer
// flushes they cause) on runs of same-direction transfers.
constexpr int kModeUnknown = 0;
constexpr int kModeRead = 1;
constexpr int kModeWrite = 2;
constexpr int kModeFailed = -1;  // an I/O error: the content can no longer be trusted

// An anonymous temporary file in $TMPDIR (default /tmp): unlinked at once, so
// it disappears when closed, however the process ends.
std::FILE* open_anonymous_file() {
  const char* dir = std::getenv("TMPDIR");
  std::string name = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/x11sa-util-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return nullptr;
  ::unlink(name.c_str());
  std::FILE* f = ::fdopen(fd, "w+b");
  if (f == nullptr) ::close(fd);
  return f;
}

}  // namespace

UtilFile::UtilFile(std::size_t memory_limit) : limit_(memory_limit) {}

UtilFile::~UtilFile() {
  if (file_ != nullptr) std::fclose(file_);
}

UtilFile::UtilFile(UtilFile&& other) noexcept
    : limit_(other.limit_),
      mem_(std::move(other.mem_)),
      file_(std::exchange(other.file_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      pos_(std::exchange(other.pos_, 0)),
      file_pos_(std::exchange(other.file_pos_, 0)),
      file_mode_(std::exchange(other.file_mode_, kModeUnknown)) {
  other.mem_.clear();
}

UtilFile& UtilFile::operator=(UtilFile&& other) noexcept {
  if (this == &other) return *this;
  if (file_ != nullptr) std::fclose(file_);
  limit_ = other.limit_;
  mem_ = std::move(other.mem_);
  other.mem_.clear();
  file_ = std::exchange(other.file_, nullptr);
  size_ = std::exchange(other.size_, 0);
  pos_ = std::exchange(other.pos_, 0);
  file_pos_ = std::exchange(other.file_pos_, 0);
  file_mode_ = std::exchange(other.file_mode_, kModeUnknown);
  return *this;
}

bool UtilFile::spill() {
  std::FILE* f = open_anonymous_file();
  if (f == nullptr) return false;
  if (size_ > 0 && std::fwrite(mem_.data(), 1, size_, f) != size_) {
    std::fclose(f);
    return false;
  }
  file_ = f;
  file_pos_ = size_;
  file_mode_ = kModeWrite;
  std::vector<unsigned char>().swap(mem_);  // the memory is what the limit protects
  return true;
}

bool UtilFile::seek_file(int mode) {
  if (file_mode_ == kModeFailed) return false;
  if (file_mode_ == mode && file_pos_ == pos_) return true;
  if (pos_ > static_cast<std::size_t>(std::numeric_limits<off_t>::max()) ||
      ::fseeko(file_, static_cast<off_t>(pos_), SEEK_SET) != 0) {
    file_mode_ = kModeFailed;  // a failed seek may have lost buffered writes
    return false;
  }
  file_mode_ = mode;
  file_pos_ = pos_;
  return true;
}

bool UtilFile::write(const void* data, std::size_t n) {
  if (n == 0) return true;
  if (n > std::numeric_limits<std::size_t>::max() - pos_) return false;
  const std::size_t end = pos_ + n;
  if (file_ == nullptr) {
    bool fits = end <= limit_;
    if (fits && end > mem_.size()) {
      try {
        mem_.resize(end);
      } catch (const std::bad_alloc&) {
        fits = false;  // out of memory: the disk can still take it
      }
    }
    if (fits) {
      std::memcpy(mem_.data() + pos_, data, n);
      pos_ = end;
      if (end > size_) size_ = end;
      return true;
    }
    if (!spill()) return false;
  }
  if (!seek_file(kModeWrite)) return false;
  if (std::fwrite(data, 1, n, file_) != n) {
    file_mode_ = kModeFailed;
    return false;
  }
  pos_ = end;
  file_pos_ = end;
  if (end > size_) size_ = end;
  return true;
}

bool UtilFile::read(void* data, std::size_t n) {
  if (n > size_ - pos_) return false;
  if (n == 0) return true;
  if (file_ == nullptr) {
    std::memcpy(data, mem_.data() + pos_, n);
    pos_ += n;
    return true;
  }
  if (!seek_file(kModeRead)) return false;
  if (std::fread(data, 1, n, file_) != n) {
    file_mode_ = kModeFailed;
    return false;
  }
  pos_ += n;
  file_pos_ = pos_;
  return true;
}

bool UtilFile::point(std::size_t pos) noexcept {
  if (pos > size_) return false;
  pos_ = pos;
  return true;
}

void UtilFile::clear() noexcept {
  // A spilled file starts over in memory; it spills again if it grows as large.
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  file_pos_ = 0;
  file_mode_ = kModeUnknown;
  mem_.clear();
  size_ = 0;
  pos_ = 0;
}

}  // namespace x11sa
