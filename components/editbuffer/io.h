#pragma once
// File-system helpers of the buffer: errno in Japanese words, whole-file reading, atomic writing.

#include <string>

namespace morvelle::editbuffer::detail {

// The cause of a failed system call as the user reads it ("アクセスが拒否されました").
std::string ErrnoText(int error);

// "<what>: <path> (<cause>)" as a BufferError.
[[noreturn]] void ThrowErrno(const char* what, const std::string& path, int error);

}  // namespace morvelle::editbuffer::detail
