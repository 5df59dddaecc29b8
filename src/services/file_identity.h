#pragma once
// Whether two paths of a run reach the same file. Paths are compared as the file system sees
// them, not as strings: "./a" and "a", a folder reached through a link, a name that differs only
// in letter case on a file system that ignores case, and hard links all name one file.

#include <QHash>
#include <QHashFunctions>
#include <QString>
#include <optional>

namespace morvelle {

struct FileId {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};

inline size_t qHash(const FileId& id, size_t seed = 0) {
  return qHashMulti(seed, id.device, id.inode);
}

struct PathIdentity {
  // The directory entry the path names: its folder's device and inode with the last component,
  // or the clean absolute path when the folder cannot be reached. Defined whether or not the
  // entry exists.
  QString entry;
  std::optional<FileId> self;    // the entry itself, a link not followed (lstat)
  std::optional<FileId> target;  // what reading the path reads, links followed (stat)
};

// Identifies paths, each folder's identity asked of the file system once: a run of many files
// in one folder costs one stat per path, not three.
class PathIdentifier {
 public:
  PathIdentity Identify(const QString& path);

 private:
  QHash<QString, QString> folders_;  // a folder's entry prefix ("device:inode/"), or empty
};

PathIdentity IdentifyPath(const QString& path);

// The size of the file `path` reads, links followed; 0 when there is none.
qint64 FileSize(const QString& path);

}  // namespace morvelle
