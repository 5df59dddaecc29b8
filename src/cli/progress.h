#pragma once
// A progress bar on standard error, drawn only on a terminal and only once a run has lasted a
// second, so short runs and redirected output stay clean.

#include <chrono>
#include <cstddef>
#include <cstdio>

namespace morvelle::cli {

class ProgressBar {
 public:
  ProgressBar(std::FILE* out, long long total, bool enabled);
  ~ProgressBar();

  void Update(long long done);
  // Takes the bar off the line, before a message is written or at the end.
  void Clear();

 private:
  std::FILE* out_;
  long long total_;
  bool enabled_;
  std::size_t shown_ = 0;  // width of the bar on the line, 0 when none
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDrawn_;
};

}  // namespace morvelle::cli
