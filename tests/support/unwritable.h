#pragma once
// Folders that refuse new files, and a file-size limit that acts as a full disk. Tests run as
// root here, where permissions stop nothing, so a folder is also marked immutable when root.

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <csignal>
#include <cstdlib>

namespace morvelle::testing {

class UnwritableFolder {
 public:
  explicit UnwritableFolder(const QString& path) : path_(QFile::encodeName(path)) {
    ::chmod(path_.constData(), 0555);
    if (::geteuid() != 0) {
      ok_ = true;
      return;
    }
    ok_ = std::system(("chattr +i '" + path_ + "' 2>/dev/null").constData()) == 0;
  }
  ~UnwritableFolder() {
    if (::geteuid() == 0) std::system(("chattr -i '" + path_ + "' 2>/dev/null").constData());
    ::chmod(path_.constData(), 0755);
  }
  // False where neither works; the test then skips and says why.
  bool ok() const { return ok_; }

 private:
  QByteArray path_;
  bool ok_ = false;
};

// Writes beyond `bytes` fail with EFBIG, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

}  // namespace morvelle::testing
