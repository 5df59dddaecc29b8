#pragma once
// Which units of an edited text still come from the file. Edits never reorder text, so the
// kept units of the original form runs in order; each run is written as three numbers (the
// units edits put in before it, the original units they took out before it, its length) of a
// byte or two each, so that millions of edits cost megabytes, not a piece table's gigabyte.

#include <cstddef>

#include "packed/realloc_buffer.h"
#include "packed/varint.h"

namespace morvelle::editbuffer {

struct Run {
  std::size_t inserted = 0;  // units before the run that edits put in
  std::size_t removed = 0;   // original units before the run that edits took out
  std::size_t length = 0;    // original units kept; 0 only in the last record
};

class Runs {
 public:
  // The original text of `units` units, unedited.
  static Runs Whole(std::size_t units);

  // Original units the text keeps.
  std::size_t kept() const { return kept_; }

  class Reader {
   public:
    explicit Reader(const Runs& runs) : at_(runs.bytes_.data()), end_(at_ + runs.bytes_.size()) {}
    bool next(Run& run) {
      if (at_ == end_) return false;
      run.inserted = Get();
      run.removed = Get();
      run.length = Get();
      return true;
    }

   private:
    std::size_t Get() { return static_cast<std::size_t>(packed::GetVarint(at_)); }

    const unsigned char* at_;
    const unsigned char* end_;
  };

 private:
  friend class RunWriter;
  packed::ReallocBuffer<unsigned char> bytes_;
  std::size_t kept_ = 0;
};

// Builds runs from left to right, joining a kept span to the run it continues.
class RunWriter {
 public:
  void insert(std::size_t units) {
    if (units == 0) return;
    Flush();
    inserted_ += units;
  }
  void keep(std::size_t originalStart, std::size_t units) {
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
  Runs finish(std::size_t originalUnits);

 private:
  void Flush() {
    if (open_) Write();
  }
  void Write();

  Runs runs_;
  std::size_t inserted_ = 0;  // since the last run
  std::size_t end_ = 0;       // of the last run written, in the original
  bool open_ = false;         // a run not yet written, which the next kept span may continue
  Run run_;
  std::size_t start_ = 0;  // of the open run, in the original
};

// Walks the old text's runs while an edit list is applied: the units it takes are kept (passed
// to a writer) or dropped.
class RunWalk {
 public:
  explicit RunWalk(const Runs& runs) : reader_(runs) {}
  void take(std::size_t units, RunWriter* keepIn) {
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
        const std::size_t k = inserted_ < units ? inserted_ : units;
        if (keepIn) keepIn->insert(k);
        inserted_ -= k;
        units -= k;
        continue;
      }
      const std::size_t k = length_ < units ? length_ : units;
      if (keepIn) keepIn->keep(original_, k);
      original_ += k;
      length_ -= k;
      units -= k;
    }
  }

 private:
  Runs::Reader reader_;
  std::size_t inserted_ = 0;  // left of the current record's inserted units
  std::size_t length_ = 0;    // left of its run
  std::size_t original_ = 0;  // where the run's next unit is in the original
};

}  // namespace morvelle::editbuffer
