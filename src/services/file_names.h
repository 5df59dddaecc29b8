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

}  // namespace morvelle
