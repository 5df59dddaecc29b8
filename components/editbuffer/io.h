#pragma once
// File-system helpers of the buffer: errno in Japanese words, whole-file reading, atomic writing.

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace morvelle::editbuffer::detail {

// "<what>: <path> (<cause>)" as a BufferError.
[[noreturn]] void ThrowErrno(const char* what, const std::string& path, int error);

// A descriptor closed on every path out.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now and reports close's own failure (a delayed write error shows up here).
  int release() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_ = -1;
};

// A regular file read whole, still open, with what fstat said of it once read.
struct OpenedFile {
  std::string bytes;
  Fd fd;
  struct stat status {};
};

// A regular file opened for reading, with what fstat said of it then (bytes empty). Throws
// BufferError as ReadWholeFile does (a folder, a FIFO, a file that cannot be opened).
OpenedFile OpenForReading(const std::string& path);

// As ReadWholeFile, keeping the descriptor; `status` is what fstat says once the file is read
// when it holds at least `statusFrom` bytes (else only its type and size when opened).
OpenedFile ReadWholeFileKeepingIt(const std::string& path, std::size_t statusFrom = 0);

}  // namespace morvelle::editbuffer::detail
