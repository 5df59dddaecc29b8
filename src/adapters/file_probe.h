#pragma once
// What the command line asks of a file without editing it, answered as the buffer would read it.

#include <QString>
#include <optional>

#include "services/file_code.h"

namespace morvelle {

// The name of the code the buffer reads the file as: ASCII, SHIFT_JIS, EUC-JP, ISO-2022-JP,
// UTF-8, UTF-8-BOM, UTF-16LE, UTF-16BE, UTF-32LE, UTF-32BE or BINARY. Recognised from the whole
// file's bytes, or `given` when the bytes are text of it. Throws ServiceError naming the file
// when it cannot be read or `given` cannot decode a byte of it.
QString CodeNameOf(const QString& path, std::optional<FileCode> given = std::nullopt);

// Whether the buffer would keep the file's bytes as binary data. A file that cannot be read is
// not: whoever opens it next reports why.
bool IsBinaryFile(const QString& path);

// The cause of a failed system call as the user reads it (「アクセスが拒否されました」).
QString SystemErrorText(int error);

}  // namespace morvelle
