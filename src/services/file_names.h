#pragma once
// File names as the file system holds them: bytes. Names that are not valid UTF-8 are kept
// exactly: each byte that is not part of a valid UTF-8 sequence becomes U+DC80 + (byte - 0x80),
// a lone surrogate that valid UTF-8 can never produce, so EncodeFileName gives back the original
// bytes. QFile::decodeName would replace such bytes and lose the file.

#include <QByteArray>
#include <QString>

namespace morvelle {

QString DecodeFileName(const QByteArray& bytes);
QByteArray EncodeFileName(const QString& path);

// Names unpacked from Windows archives carry Shift_JIS bytes (old Unix ones, EUC-JP). A name
// that is not UTF-8 is taken as characters of the first of those codes it is valid in:
// lower-cased as such, so that a byte inside a two-byte character never changes (ス is 83 58,
// whose 58 is an "X"), and shown as such. Failing both, only ASCII letters that cannot be the
// second byte of a Shift_JIS character change.
QString LowerCaseFileName(const QString& name);
// The name readably: decoded in its code; a byte no code reads shows as U+FFFD. Paths are
// taken a component at a time.
QString DisplayFileName(const QString& path);

}  // namespace morvelle
