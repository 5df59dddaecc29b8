#pragma once
// The program's icon from the compiled-in resources, so the window icon does not depend on
// where the program is installed.

#include <QIcon>

namespace morvelle {

inline constexpr char kProgramIconResource[] = ":/morvelle/morvelle.svg";

// Registers the resources when they come from a static library and returns the icon.
// Drawing it needs Qt's SVG icon engine at run time; without it the icon is empty.
QIcon ProgramIcon();

}  // namespace morvelle
