#pragma once

#include <string>
#include <string_view>

namespace brenzo::workspace {

// A list name made into a file name that every system accepts and that stays inside the
// folder it is joined to: path separators, "..", characters Windows forbids (: * ? " < > |
// and controls), trailing dots and blanks and reserved device names (CON, NUL, COM1, ...) are
// replaced or prefixed, bytes that are not UTF-8 are replaced, and over-long names are cut on
// a character boundary. The same on every system, so that an export writes the same names on
// Linux and Windows.
std::string SafeFileName(std::string_view name);

// The key under which two file names collide on Windows, which ignores case: letters of
// Latin, Greek and Cyrillic scripts compare as capitals ("É.wav" is "é.wav" there).
std::string FileNameKey(std::string_view name);

}  // namespace brenzo::workspace
