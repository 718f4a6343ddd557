#pragma once

// File names as the windows take them from the user and hand them on.

#include <QString>
#include <string>

namespace sonabank {

// The text itself when it names an existing file; otherwise its first item,
// items being separated by blanks and a double-quoted item counting as one
// (without its quotes). Empty for a text of blanks only.
QString NameFileToPath(const QString& text);

// A path as the core's file layer takes it (the file system's encoding).
std::string PathForCore(const QString& path);

}  // namespace sonabank
