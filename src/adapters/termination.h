#pragma once
// A process ended by SIGINT, SIGTERM or SIGHUP (Ctrl+C, kill, a closed terminal or session)
// leaves no temporary file behind: the temporary files of writes in progress are removed and the
// process exits with 128 + the signal's number. Outputs already renamed into place stay whole.
// SIGPIPE and SIGXFSZ (a closed pipe, a file-size limit) no longer end the process: the write
// that met them fails with a message.

namespace morvelle {

// Call first thing in main, before any thread starts: the three signals are blocked in every
// thread and taken by one thread of their own, which may then safely take locks.
void RemoveTemporaryFilesOnTermination();

}  // namespace morvelle
