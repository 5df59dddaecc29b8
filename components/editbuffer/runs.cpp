#include "runs.h"

namespace morvelle::editbuffer {
namespace {

// Seven bits a byte, the high bit set on all but the last.
unsigned char* Put(unsigned char* at, std::size_t value) {
  while (value >= 0x80) {
    *at++ = static_cast<unsigned char>(value | 0x80);
    value >>= 7;
  }
  *at++ = static_cast<unsigned char>(value);
  return at;
}

void PutRecord(text::ReallocBuffer<unsigned char>& out, const Run& run) {
  constexpr std::size_t kMost = 3 * 10;
  const std::size_t size = out.size();
  if (out.capacity() - size < kMost) out.reserve(2 * out.capacity() + 256);
  unsigned char* at = out.data() + size;
  at = Put(at, run.inserted);
  at = Put(at, run.removed);
  at = Put(at, run.length);
  out.resize(static_cast<std::size_t>(at - out.data()));
}

}  // namespace

Runs Runs::Whole(std::size_t units) {
  RunWriter writer;
  writer.keep(0, units);
  return writer.finish(units);
}

void RunWriter::Write() {
  PutRecord(runs_.bytes_, run_);
  runs_.kept_ += run_.length;
  end_ = start_ + run_.length;
  open_ = false;
}

Runs RunWriter::finish(std::size_t originalUnits) {
  Flush();
  if (inserted_ > 0 || end_ < originalUnits) {
    PutRecord(runs_.bytes_, {inserted_, originalUnits - end_, 0});
  }
  runs_.bytes_.shrinkToFit();
  return std::move(runs_);
}

}  // namespace morvelle::editbuffer
