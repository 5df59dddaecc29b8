#pragma once
// What both batches read from the target list: each row's source and output path, in list
// order. The source is the file as dropped (its name's letter case kept, so the dropped file
// is the one read on a case-sensitive file system); the output uses the lower-cased name.

#include <QString>

namespace morvelle {

struct BatchTarget {
  QString sourcePath;  // folder, separator, name as dropped
  QString outputPath;  // folder, separator, lower-cased name, ".exp"
};

class TargetSource {
 public:
  virtual ~TargetSource() = default;
  virtual qsizetype TargetCount() const = 0;
  virtual BatchTarget TargetAt(qsizetype index) const = 0;
};

}  // namespace morvelle
