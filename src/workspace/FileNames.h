#pragma once

#include <string>
#include <string_view>

namespace brenzo::workspace {

// A list name made into a file name that every system accepts and that stays inside the
// folder it is joined to: path separators, "..", characters Windows forbids (: * ? " < > |
// and controls), trailing dots and blanks and reserved device names (CON, NUL, COM1, ...) are
// replaced or prefixed, and over-long names are cut on a character boundary. The same on
// every system, so that an export writes the same names on Linux and Windows.
std::string SafeFileName(std::string_view name);

// Case-insensitive (ASCII) key under which two file names collide on Windows.
std::string FileNameKey(std::string_view name);

}  // namespace brenzo::workspace
