#include "adapters/termination.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "editbuffer/file_buffer.h"

namespace morvelle {

void RemoveTemporaryFilesOnTermination() {
  // These two would end the process in the middle of a write; ignored, the write fails with
  // EPIPE or EFBIG and is reported like any failed write.
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
  // Threads started later inherit the mask, so only the thread below ever takes them.
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread([signals] {
    int signal = 0;
    while (sigwait(&signals, &signal) != 0) {
    }
    editbuffer::RemoveTemporaryFiles();
    ::_exit(128 + signal);
  }).detach();  // lives as long as the process
}

}  // namespace morvelle
