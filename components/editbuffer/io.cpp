#include "io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <set>

#include "file_buffer.h"
#include "translation/translate.h"

namespace morvelle::editbuffer {

using translation::Format;
using translation::translate;

std::string ErrnoText(int error) {
  switch (error) {
    case ENOENT:
      return translate("FileBuffer", "ファイルまたはフォルダーが見つかりません");
    case EACCES:
    case EPERM:
      return translate("FileBuffer", "アクセスが拒否されました");
    case ENOSPC:
      return translate("FileBuffer", "ディスクの空き領域が足りません");
    case EDQUOT:
      return translate("FileBuffer", "ディスクの使用量の上限を超えました");
    case EISDIR:
      return translate("FileBuffer", "フォルダーです");
    case ENOTDIR:
      return translate("FileBuffer", "パスの途中にフォルダーでないものがあります");
    case EROFS:
      return translate("FileBuffer", "読み取り専用のファイルシステムです");
    case ENAMETOOLONG:
      return translate("FileBuffer", "名前が長すぎます");
    case ELOOP:
      return translate("FileBuffer", "シンボリックリンクの参照が多すぎます");
    case EMFILE:
    case ENFILE:
      return translate("FileBuffer", "開いているファイルが多すぎます");
    case EIO:
      return translate("FileBuffer", "入出力エラーが発生しました");
    case EFBIG:
      return translate("FileBuffer", "ファイルが大きすぎます");
    case ENOMEM:
      return translate("FileBuffer", "メモリが足りません");
    case EBUSY:
    case ETXTBSY:
      return translate("FileBuffer", "ファイルが使用中です");
    case EEXIST:
      return translate("FileBuffer", "同じ名前のファイルがあります");
    case EXDEV:
      return translate("FileBuffer", "別のファイルシステムへは移せません");
    case EINVAL:
      return translate("FileBuffer", "引数が正しくありません");
    case ENXIO:
      return translate("FileBuffer", "デバイスまたはアドレスがありません");
    case EPIPE:
      return translate("FileBuffer", "パイプの読み手がいません");
    case EBADF:
      return translate("FileBuffer", "ファイル記述子が開いていません");
    default:
      return Format(translate("FileBuffer", "エラー番号 %1"), {std::to_string(error)});
  }
}

namespace detail {

void ThrowErrno(const char* what, const std::string& path, int error) {
  throw BufferError(translate("FileBuffer", what) + ": " + path + " (" + ErrnoText(error) + ")");
}

}  // namespace detail

namespace {

using detail::Fd;

mode_t Umask() {
  // umask can only be read by setting it; the lock keeps two saves from racing on it.
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

namespace detail {

OpenedFile OpenForReading(const std::string& path) {
  OpenedFile file;
  // O_NONBLOCK so that a FIFO cannot hang the open; it is refused below anyway.
  file.fd = Fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  const int fd = file.fd.get();
  auto notRegular = [&] {
    return BufferError(
        Format(translate("FileBuffer", "通常のファイルではないので読み込めません: %1"), {path}));
  };
  if (fd < 0) {
    const int error = errno;
    // A socket cannot be opened at all (ENXIO): say what it is, as for a FIFO or a device.
    struct stat st;
    if (error == ENXIO && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      throw notRegular();
    }
    ThrowErrno(MORVELLE_TRANSLATE_NOOP("FileBuffer", "ファイルを開けません"), path, error);
  }
  struct stat& st = file.status;
  if (::fstat(fd, &st) != 0)
    ThrowErrno(MORVELLE_TRANSLATE_NOOP("FileBuffer", "ファイルを読み込めません"), path, errno);
  if (S_ISDIR(st.st_mode)) {
    throw BufferError(Format(translate("FileBuffer", "フォルダーは読み込めません: %1"), {path}));
  }
  if (!S_ISREG(st.st_mode)) throw notRegular();
  return file;
}

namespace {

// Asks that the whole 2 MB pages inside [block, block + bytes) be huge pages when first touched:
// the first touch of a 4 KB page is a fault, and a file of a few hundred megabytes read into
// fresh memory takes tens of thousands of them (on a virtual machine most of the read's time).
// Only advice: where the kernel gives none, nothing changes. Blocks under 4 MB are left alone.
void AdviseHugePages(void* block, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (bytes < 2 * kHuge) return;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t begin = (start + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t end = (start + bytes) & ~(kHuge - 1);
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the address is the block's own, rounded
  if (end > begin) (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block, (void)bytes;
#endif
}

}  // namespace

OpenedFile ReadWholeFileKeepingIt(const std::string& path, std::size_t statusFrom) {
  OpenedFile file = OpenForReading(path);
  const int fd = file.fd.get();
  struct stat& st = file.status;
  std::string& bytes = file.bytes;
  bytes.reserve(static_cast<std::size_t>(st.st_size) + 1);
  AdviseHugePages(bytes.data(), bytes.capacity());
  bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t filled = 0;
  // Until read says the end: one call returns at most about 2 GB, whatever it is asked for.
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2 + 4096);  // the file grew
    ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(MORVELLE_TRANSLATE_NOOP("FileBuffer", "ファイルを読み込めません"), path, errno);
    }
    if (n == 0) break;
    filled += static_cast<std::size_t>(n);
  }
  bytes.resize(filled);
  // What was read, as a later reading compares it: a file that grew while it was read counts as
  // changed then.
  if (filled >= statusFrom && ::fstat(fd, &st) != 0) {
    ThrowErrno(MORVELLE_TRANSLATE_NOOP("FileBuffer", "ファイルを読み込めません"), path, errno);
  }
  return file;
}

}  // namespace detail

std::string ReadWholeFile(const std::string& path, mode_t* mode) {
  detail::OpenedFile file = detail::ReadWholeFileKeepingIt(path, SIZE_MAX);
  if (mode) *mode = file.status.st_mode & 07777;
  return std::move(file.bytes);
}

namespace {

// The temporary files this process has made and not yet renamed or removed, so that a signal
// that ends the process can remove them. A name is added under the same lock that creates the
// file, so no temporary file exists unlisted.
class TemporaryFiles {
 public:
  // Creates the file from the mkstemp template `name` and lists it; returns the descriptor.
  int Create(std::string& name) {
    std::lock_guard lock(mutex_);
    const int fd = ::mkstemp(name.data());
    if (fd >= 0) names_.insert(name);
    return fd;
  }
  void Forget(const std::string& name) {
    std::lock_guard lock(mutex_);
    names_.erase(name);
  }
  // Keeps the lock: the process is ending, and no new temporary file may appear after this.
  void RemoveAllAndHold() {
    mutex_.lock();
    for (const std::string& name : names_) ::unlink(name.c_str());
  }

 private:
  std::mutex mutex_;
  std::set<std::string> names_;
};

TemporaryFiles& Temporaries() {
  // Never destroyed: the thread that takes a terminating signal may still use it while the
  // process exits.
  static TemporaryFiles* files = new TemporaryFiles;  // NOLINT(cppcoreguidelines-owning-memory)
  return *files;
}

struct Target {
  std::string folder;  // with its trailing '/', or empty for the current folder
  std::string name;
  bool regular = false;  // a regular file is there now
  mode_t mode = 0;       // its permissions
};

// What rename() into `path` and mkstemp() beside it would refuse, found before writing
// anything: the same messages as a failed write. A write leaves the folder to mkstemp, which
// refuses it with the same message.
Target CheckedTarget(const std::string& path, bool checkFolder = true) {
  const char* what = MORVELLE_TRANSLATE_NOOP("FileBuffer", "ファイルを書き込めません");
  if (path.empty()) detail::ThrowErrno(what, path, ENOENT);
  if (path.back() == '/') detail::ThrowErrno(what, path, EISDIR);
  const std::size_t slash = path.rfind('/');
  Target target{slash == std::string::npos ? std::string() : path.substr(0, slash + 1),
                slash == std::string::npos ? path : path.substr(slash + 1)};

  struct stat existing;
  if (::lstat(path.c_str(), &existing) != 0) {
    // A name too long for the file system (a component over NAME_MAX, which lower-casing can
    // make of a shorter source name), a path through a file: the rename would fail the same way.
    if (errno != ENOENT) detail::ThrowErrno(what, path, errno);
  } else {
    if (S_ISDIR(existing.st_mode)) detail::ThrowErrno(what, path, EISDIR);
    // The rename would replace a file the user may not write (a read-only output, kept so on
    // purpose) as if it were writable; refuse it as opening it for writing would.
    if (S_ISREG(existing.st_mode) && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
      detail::ThrowErrno(what, path, errno);
    }
    target.regular = S_ISREG(existing.st_mode);
    target.mode = existing.st_mode & 07777;
  }
  if (!checkFolder) return target;
  const std::string folder = target.folder.empty() ? std::string(".") : target.folder;
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    detail::ThrowErrno(what, path, errno);
  }
  return target;
}

}  // namespace

void CheckWritable(const std::string& path) { CheckedTarget(path); }

void RemoveTemporaryFiles() { Temporaries().RemoveAllAndHold(); }

void WriteFileAtomically(const std::string& path, std::span<const char> bytes,
                         SaveOptions options) {
  if (options.sizeHint == 0) options.sizeHint = bytes.size();
  WriteFileAtomically(
      path, [bytes](ByteSink& sink) { sink.write(bytes); }, options);
}

namespace {

// Writes to the temporary file; a failure names the output, as the whole write's would. Pieces
// are gathered into writes of a quarter of a megabyte at offsets that are its multiples, which
// the page cache takes in large pages: 50 MB written in 8 ms instead of 10.7 here by pieces of
// 190 KB.
class FileSink : public ByteSink {
 public:
  FileSink(int fd, const std::string& path) : fd_(fd), path_(path) {}
  void write(std::span<const char> bytes) override {
    while (!bytes.empty()) {
      if (pending_.empty() && bytes.size() >= kChunk) {
        const std::size_t whole = bytes.size() / kChunk * kChunk;
        WriteAll(bytes.first(whole));
        bytes = bytes.subspan(whole);
        continue;
      }
      const std::size_t take = std::min(kChunk - pending_.size(), bytes.size());
      pending_.append(bytes.data(), take);
      bytes = bytes.subspan(take);
      if (pending_.size() == kChunk) Flush();
    }
  }
  // What is gathered and not yet written.
  void Flush() {
    WriteAll(pending_);
    pending_.clear();
  }

 private:
  static constexpr std::size_t kChunk = std::size_t{1} << 18;

  void WriteAll(std::span<const char> bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
      ssize_t n = ::write(fd_, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        detail::ThrowErrno(MORVELLE_TRANSLATE_NOOP("FileBuffer", "ファイルを書き込めません"), path_,
                           errno);
      }
      p += n;
      left -= static_cast<std::size_t>(n);
    }
  }

  int fd_;
  const std::string& path_;
  std::string pending_;
};

}  // namespace

void WriteFileAtomically(const std::string& path, const std::function<void(ByteSink&)>& produce,
                         SaveOptions options) {
  const char* what = MORVELLE_TRANSLATE_NOOP("FileBuffer", "ファイルを書き込めません");
  Target target = CheckedTarget(path, false);
  // The temporary name must stay within NAME_MAX however long the target's name is.
  if (target.name.size() > 200) target.name.resize(200);
  std::string temp = target.folder + "." + target.name + ".XXXXXX";

  // mkstemp opens with O_EXCL: a name planted in the folder is never reused or followed.
  Fd fd(Temporaries().Create(temp));
  if (fd.get() < 0) detail::ThrowErrno(what, path, errno);
  auto fail = [&](int error) {
    ::unlink(temp.c_str());
    Temporaries().Forget(temp);
    detail::ThrowErrno(what, path, error);
  };

  // A copy gets its source's rwx bits less the umask, as cp makes one. Otherwise an existing
  // regular file keeps its permissions; a symbolic link there is replaced by the rename, so its
  // target's mode does not matter. The mode is final before the first byte is written: access is
  // checked when a file is opened, so a descriptor opened while the file allowed more would go
  // on reading what is written later. mkstemp's 0600 lets no one but the owner in until then.
  const mode_t mode = options.sourceMode ? (*options.sourceMode & 0777 & ~Umask())
                      : target.regular   ? target.mode
                                         : 0666 & ~Umask();
  if (::fchmod(fd.get(), mode) != 0) fail(errno);

  // A large output's room taken at once spares the file system reserving it a page at a time as
  // the writes come: 50 MB are written in 7.5 ms instead of 10.5 here. Where no room can be
  // taken (a file system without it, a disk too full for the guess) the writes take it as before.
  constexpr std::size_t kReserveFrom = std::size_t{1} << 20;
  const bool reserved =
      options.sizeHint >= kReserveFrom &&
      ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(options.sizeHint)) == 0;

  try {
    FileSink sink(fd.get(), path);
    produce(sink);
    sink.Flush();
  } catch (...) {
    // What the output could not hold, or a write that failed: no trace of the file is left.
    ::unlink(temp.c_str());
    Temporaries().Forget(temp);
    throw;
  }
  if (reserved) {
    // The room beyond what was written is given back: truncating at the end frees it.
    const off_t end = ::lseek(fd.get(), 0, SEEK_CUR);
    if (end < 0 || ::ftruncate(fd.get(), end) != 0) fail(errno);
  }
  if (options.sync && ::fsync(fd.get()) != 0) fail(errno);
  if (fd.release() != 0) fail(errno);
  // rename replaces whatever the name holds (file or link) without following it.
  if (::rename(temp.c_str(), path.c_str()) != 0) fail(errno);
  Temporaries().Forget(temp);
}

}  // namespace morvelle::editbuffer
