#include "original.h"

#include <algorithm>
#include <cerrno>

#include "file_buffer.h"
#include "translation/translate.h"

namespace morvelle::editbuffer {

namespace {

BufferError Changed(const std::string& name) {
  return BufferError(translation::Format(
      translation::translate("FileBuffer",
                             "読み込んだ後で元のファイルが変更されたので書き込めません: %1"),
      {name}));
}

}  // namespace

void Original::Hold(std::string bytes) {
  size_ = bytes.size();
  bytes_ = std::move(bytes);
}

void Original::Keep(detail::OpenedFile file, std::size_t dropFrom, std::size_t chunk) {
  Hold(std::move(file.bytes));
  if (size_ < dropFrom) return;  // the descriptor closes with `file`
  fd_ = std::move(file.fd);
  status_ = file.status;
  dropFrom_ = dropFrom;
  chunk_ = std::max<std::size_t>(chunk, 1);
}

void Original::Replace(std::string bytes) {
  Hold(std::move(bytes));
  fd_ = detail::Fd();
  dropFrom_ = SIZE_MAX;
  dropped_ = false;
}

void Original::Drop() {
  if (dropped_ || fd_.get() < 0 || size_ < dropFrom_) return;
  std::string().swap(bytes_);
  dropped_ = true;
}

Original::Reader::Reader(const Original& original, const std::string& name)
    : original_(original), name_(name) {
  if (!original.held()) Check();
}

void Original::Reader::Check() {
  struct stat now;
  if (::fstat(original_.fd_.get(), &now) != 0) {
    detail::ThrowErrno(MORVELLE_TRANSLATE_NOOP("FileBuffer", "ファイルを読み込めません"), name_,
                       errno);
  }
  const struct stat& then = original_.status_;
  if (now.st_size != then.st_size || now.st_mtim.tv_sec != then.st_mtim.tv_sec ||
      now.st_mtim.tv_nsec != then.st_mtim.tv_nsec) {
    throw Changed(name_);
  }
}

std::span<const unsigned char> Original::Reader::read(std::size_t from, std::size_t to) {
  const std::size_t size = original_.size_;
  from = std::min(from, size);
  to = std::min(std::max(to, from), size);
  if (original_.held()) return original_.bytes().subspan(from);
  if (from < start_ || to > start_ + window_.size()) {
    const std::size_t length = std::min(size - from, std::max(to - from, original_.chunk_));
    window_.resize(length);
    std::size_t filled = 0;
    while (filled < length) {
      const ssize_t n = ::pread(original_.fd_.get(), window_.data() + filled, length - filled,
                                static_cast<off_t>(from + filled));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0)
        detail::ThrowErrno(MORVELLE_TRANSLATE_NOOP("FileBuffer", "ファイルを読み込めません"), name_,
                           errno);
      if (n == 0) {
        throw Changed(name_);
      }
      filled += static_cast<std::size_t>(n);
    }
    start_ = from;
  }
  return std::span<const unsigned char>(reinterpret_cast<const unsigned char*>(window_.data()),
                                        window_.size())
      .subspan(from - start_);
}

void Original::Reader::Finish() {
  if (!original_.held()) Check();
}

}  // namespace morvelle::editbuffer
