#pragma once
// Splitting and naming of dropped paths. A path is split at the last separator only, so
// a folder part keeps every earlier separator and a name ending in one is empty. Dropped
// paths arrive as bytes and are decoded losslessly (services/file_names.h).

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

#include "services/file_names.h"

namespace morvelle {

// The text before the last `separator`, without it; "" when it does not occur.
QString FolderPart(const QString& path, const QString& separator);
// The text after the last `separator`; the whole path when it does not occur.
QString NamePart(const QString& path, const QString& separator);

// Every letter mapped to its lower-case form (full Unicode mapping), the rest unchanged; a
// name that is not UTF-8 as characters of its own code (LowerCaseFileName).
QString LowerCaseName(const QString& name);

// The platform's directory separator as a text ("/" here).
QString PathSeparator();

// Where the result for a source is written, for the window's list and the command line alike:
// beside it, under its lower-cased name with ".exp" added (a bare name stays bare).
QString OutputPathOf(const QString& sourcePath);

// The local path a file: URL names, decoded losslessly; nullopt for any other URL (another
// scheme, a remote host, a path that is not absolute or holds a NUL).
std::optional<QString> LocalPathOfUrl(const QUrl& url);

}  // namespace morvelle
