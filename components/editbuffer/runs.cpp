#include "runs.h"

#include <algorithm>

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

void PutRecord(std::vector<unsigned char>& out, const Run& run) {
  unsigned char packed[3 * 10];
  unsigned char* at = Put(packed, run.inserted);
  at = Put(at, run.removed);
  at = Put(at, run.length);
  const std::size_t size = out.size();
  out.resize(size + static_cast<std::size_t>(at - packed));
  // A few bytes: a loop, not a call to memmove.
  for (unsigned char *from = packed, *to = out.data() + size; from < at;) *to++ = *from++;
}

std::size_t Get(const unsigned char*& at) {
  std::size_t value = 0;
  for (unsigned shift = 0;; shift += 7) {
    const unsigned char b = *at++;
    value |= static_cast<std::size_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) return value;
  }
}

}  // namespace

Runs Runs::Whole(std::size_t units) {
  RunWriter writer;
  writer.keep(0, units);
  return writer.finish(units);
}

bool Runs::Reader::next(Run& run) {
  if (at_ == end_) return false;
  run.inserted = Get(at_);
  run.removed = Get(at_);
  run.length = Get(at_);
  return true;
}

void RunWriter::Flush() {
  if (!open_) return;
  PutRecord(runs_.bytes_, run_);
  runs_.kept_ += run_.length;
  end_ = start_ + run_.length;
  open_ = false;
}

void RunWriter::insert(std::size_t units) {
  if (units == 0) return;
  Flush();
  inserted_ += units;
}

void RunWriter::keep(std::size_t originalStart, std::size_t units) {
  if (units == 0) return;
  if (open_ && originalStart == start_ + run_.length) {
    run_.length += units;
    return;
  }
  Flush();
  run_ = {inserted_, originalStart - end_, units};
  start_ = originalStart;
  inserted_ = 0;
  open_ = true;
}

Runs RunWriter::finish(std::size_t originalUnits) {
  Flush();
  if (inserted_ > 0 || end_ < originalUnits) {
    PutRecord(runs_.bytes_, {inserted_, originalUnits - end_, 0});
  }
  runs_.bytes_.shrink_to_fit();
  return std::move(runs_);
}

void RunWalk::take(std::size_t units, RunWriter* keepIn) {
  while (units > 0) {
    if (inserted_ == 0 && length_ == 0) {
      Run run;
      if (!reader_.next(run)) return;  // not reached: edits are checked against the text
      inserted_ = run.inserted;
      original_ += run.removed;
      length_ = run.length;
      continue;
    }
    if (inserted_ > 0) {
      const std::size_t k = std::min(inserted_, units);
      if (keepIn) keepIn->insert(k);
      inserted_ -= k;
      units -= k;
      continue;
    }
    const std::size_t k = std::min(length_, units);
    if (keepIn) keepIn->keep(original_, k);
    original_ += k;
    length_ -= k;
    units -= k;
  }
}

}  // namespace morvelle::editbuffer
