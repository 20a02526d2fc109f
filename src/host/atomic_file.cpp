#include "host/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <stdio_ext.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

#include <fmt/format.h>

namespace x11sa {

namespace {

namespace fs = std::filesystem;

// The file a chain of symbolic links ends at, also when it does not exist
// yet. The caller has already seen stat() succeed or fail with ENOENT, so
// the chain has no loop.
fs::path follow_links(const fs::path& path) {
  fs::path p = path;
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) break;
    const fs::path link = fs::read_symlink(p, ec);
    if (ec) break;
    p = link.is_absolute() ? link : p.parent_path() / link;
  }
  return p;
}

fs::path folder_of(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

}  // namespace

std::string errno_message(int err) { return std::error_code(err, std::generic_category()).message(); }

Status AtomicFile::open(const std::string& path) {
  discard();
  through_ = false;
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) {
    return Failure{errno_message(errno)};
  }
  if (exists && S_ISDIR(st.st_mode)) {
    return Failure{"it is a folder"};
  }
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a FIFO: replacing it by a regular file would break
    // whatever reads it (`/dev/stdout`, a pipe to another program).
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
      return Failure{errno_message(errno)};
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || S_ISREG(opened.st_mode) || S_ISDIR(opened.st_mode)) {
      // Replaced by a file since stat(): writing it in place would leave old bytes behind.
      ::close(fd);
      return Failure{"it changed while it was being opened"};
    }
    fd_ = fd;
    target_ = path;
    through_ = true;
    return {};
  }

  const fs::path target = follow_links(path);
  const fs::path dir = folder_of(target);
  target_ = target.string();
  // A hidden name in the target's folder keeps the final rename within one
  // file system; O_EXCL never opens a file (or a link) someone else made.
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path temp = dir / fmt::format(".{}.{:08x}.tmp", target.filename().string(), entropy());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      // A replaced file keeps its permissions, as after an editor's save.
      if (exists) (void)::fchmod(fd, st.st_mode & 07777);
      fd_ = fd;
      temp_ = temp.string();
      return {};
    }
    if (errno != EEXIST) {
      return Failure{fmt::format("cannot create a file in folder \"{}\": {}", dir.string(), errno_message(errno))};
    }
  }
  return Failure{fmt::format("no free temporary name in folder \"{}\"", dir.string())};
}

std::FILE* AtomicFile::stream() {
  if (stream_ != nullptr || fd_ < 0) return stream_;
  // A stream of our own rather than fdopen(): the descriptor stays ours to
  // sync and close, and a failed write keeps its errno ("No space left on
  // device"), which stdio would lose by the time commit() asks.
  cookie_io_functions_t io{};
  io.write = [](void* cookie, const char* data, std::size_t size) -> ssize_t {
    auto& self = *static_cast<AtomicFile*>(cookie);
    const int err = self.write_all({data, size});
    if (err == 0) return static_cast<ssize_t>(size);
    if (self.stream_error_ == 0) self.stream_error_ = err;
    return -1;
  };
  stream_ = ::fopencookie(this, "w", io);
  if (stream_ != nullptr) std::setvbuf(stream_, nullptr, _IOFBF, std::size_t{1} << 16);
  return stream_;
}

int AtomicFile::write_all(std::string_view data) noexcept {
  while (!data.empty()) {
    const ssize_t w = ::write(fd_, data.data(), data.size());
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return errno;
    data.remove_prefix(static_cast<std::size_t>(w));
    written_ += static_cast<std::size_t>(w);
  }
#ifdef SYNC_FILE_RANGE_WRITE
  // A large file goes to the disk while it is written, a few megabytes at a
  // time, rather than all in commit()'s fsync() once the run is done. Only
  // a start: the call does not wait for the disk, and fsync() still does.
  constexpr std::size_t kWritebackBytes = std::size_t{8} << 20;
  if (!through_ && written_ - written_back_ >= kWritebackBytes) {
    (void)::sync_file_range(fd_, static_cast<off_t>(written_back_), static_cast<off_t>(written_ - written_back_),
                            SYNC_FILE_RANGE_WRITE);
    written_back_ = written_;
  }
#endif
  return 0;
}

Status AtomicFile::write(std::string_view data) {
  const int err = write_all(data);
  if (err != 0) return Failure{errno_message(err)};
  return {};
}

Status AtomicFile::commit() {
  if (fd_ < 0) {
    return Failure{"it is not open"};
  }
  int err = 0;
  if (stream_ != nullptr) {
    const bool flushed = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    if (!flushed) {
      err = stream_error_ != 0 ? stream_error_ : EIO;
      ::__fpurge(stream_);  // not to try the same write again in fclose()
    }
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (err == 0 && !through_ && ::fsync(fd_) != 0) err = errno;
  if (::close(fd_) != 0 && err == 0) err = errno;
  fd_ = -1;
  if (err != 0) {
    discard();
    return Failure{errno_message(err)};
  }
  if (through_) return {};
  if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
    const int rename_error = errno;
    discard();
    return Failure{"cannot replace the file: " + errno_message(rename_error)};
  }
  temp_.clear();
  // Make the rename itself durable; a failure here loses nothing already written.
  const int dfd = ::open(folder_of(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    (void)::fsync(dfd);
    ::close(dfd);
  }
  return {};
}

void AtomicFile::discard() noexcept {
  if (stream_ != nullptr) {
    // Unwritten data stays unwritten: drop the buffer, then close.
    std::FILE* stream = stream_;
    stream_ = nullptr;
    ::__fpurge(stream);
    std::fclose(stream);
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  stream_error_ = 0;
  written_ = written_back_ = 0;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

}  // namespace x11sa
