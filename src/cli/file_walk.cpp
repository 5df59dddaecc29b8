#include "cli/file_walk.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <algorithm>
#include <vector>

#include "adapters/file_probe.h"
#include "services/file_names.h"

namespace morvelle::cli {

namespace {

bool Matches(const QStringList& globs, const QByteArray& name) {
  return std::any_of(globs.begin(), globs.end(), [&](const QString& glob) {
    return ::fnmatch(EncodeFileName(glob).constData(), name.constData(), 0) == 0;
  });
}

class Walk {
 public:
  Walk(const Invocation& inv, WalkedFiles& out) : inv_(inv), out_(out) {}

  void Folder(const QByteArray& folder) {
    std::vector<QByteArray> names;
    if (DIR* dir = ::opendir(folder.constData())) {
      while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") names.push_back(name);
      }
      ::closedir(dir);
    } else {
      // An unreadable folder is listed as it is, so the run names it and its cause.
      out_.files << DecodeFileName(folder);
      return;
    }
    std::sort(names.begin(), names.end());  // by bytes
    const QByteArray prefix = folder.endsWith('/') ? folder : folder + '/';
    for (const QByteArray& name : names) {
      const QByteArray path = prefix + name;
      if (name.startsWith('.') && !inv_.hidden) {
        ++out_.hidden;
        continue;
      }
      struct stat link;
      if (::lstat(path.constData(), &link) != 0) continue;  // gone since it was listed
      if (S_ISDIR(link.st_mode)) {
        Folder(path);
        continue;
      }
      File(path, name);
    }
  }

 private:
  void File(const QByteArray& path, const QByteArray& name) {
    struct stat target;
    if (::stat(path.constData(), &target) != 0 || !S_ISREG(target.st_mode)) {
      ++out_.special;
      return;
    }
    if (Matches(inv_.excludes, name)) {
      ++out_.excluded;
      return;
    }
    const bool named = Matches(inv_.includes, name);
    if (!inv_.includes.isEmpty() && !named) {
      ++out_.notIncluded;
      return;
    }
    if (!named && name.endsWith(".exp")) {
      ++out_.outputs;
      return;
    }
    if (!named && IsBinaryFile(DecodeFileName(path))) {
      ++out_.binary;
      return;
    }
    out_.files << DecodeFileName(path);
  }

  const Invocation& inv_;
  WalkedFiles& out_;
};

}  // namespace

QString WalkedFiles::SkippedSummary() const {
  const std::pair<const char*, qsizetype> counts[] = {
      {QT_TRANSLATE_NOOP("BatchCli", "隠しファイル"), hidden},
      {QT_TRANSLATE_NOOP("BatchCli", "--exclude に合うもの"), excluded},
      {QT_TRANSLATE_NOOP("BatchCli", "--include に合わないもの"), notIncluded},
      {QT_TRANSLATE_NOOP("BatchCli", "出力 (.exp)"), outputs},
      {QT_TRANSLATE_NOOP("BatchCli", "バイナリ"), binary},
      {QT_TRANSLATE_NOOP("BatchCli", "通常のファイルでないもの"), special},
  };
  QStringList parts;
  for (const auto& [what, count] : counts) {
    if (count > 0) {
      parts << QCoreApplication::translate("BatchCli", what) + u' ' + QString::number(count);
    }
  }
  return parts.join(QStringLiteral(", "));
}

WalkedFiles FilesOf(const Invocation& inv) {
  WalkedFiles out;
  Walk walk(inv, out);
  for (const QString& argument : inv.files) {
    const QByteArray path = EncodeFileName(argument);
    struct stat st;
    // A folder named on the command line is walked even through a link.
    if (inv.recursive && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
      walk.Folder(path);
    } else {
      out.files << argument;
    }
  }
  return out;
}

}  // namespace morvelle::cli
