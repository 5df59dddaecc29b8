#pragma once
// A target list given as paths: each source's output is the same path with ".exp".

#include <QStringList>

#include "services/target_source.h"

namespace morvelle::testing {

class VectorTargets : public TargetSource {
 public:
  QStringList sources;

  qsizetype TargetCount() const override { return sources.size(); }
  BatchTarget TargetAt(qsizetype index) const override {
    return {sources[index], sources[index] + QStringLiteral(".exp")};
  }
};

}  // namespace morvelle::testing
