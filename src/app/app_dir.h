#pragma once

#include <QString>

namespace morvelle {

// The application folder with exactly one trailing separator: "/opt/tools" → "/opt/tools/",
// while "/" stays "/". Only the last character is looked at; nothing else is normalised.
QString AppDirFrom(const QString& reportedFolder, QChar separator = u'/');

}  // namespace morvelle
