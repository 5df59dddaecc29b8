#include "runs.h"

namespace morvelle::editbuffer {

Runs Runs::Whole(std::size_t units) {
  RunWriter writer;
  writer.keep(0, units);
  return writer.finish(units);
}

void RunWriter::Write() {
  packed::AppendVarints(runs_.bytes_, run_.inserted, run_.removed, run_.length);
  runs_.kept_ += run_.length;
  end_ = start_ + run_.length;
  open_ = false;
}

Runs RunWriter::finish(std::size_t originalUnits) {
  Flush();
  if (inserted_ > 0 || end_ < originalUnits) {
    packed::AppendVarints(runs_.bytes_, inserted_, originalUnits - end_, std::size_t{0});
  }
  runs_.bytes_.shrinkToFit();
  return std::move(runs_);
}

}  // namespace morvelle::editbuffer
