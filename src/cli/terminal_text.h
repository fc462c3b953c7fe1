// Texts from archives and disks on their way to a terminal.
#pragma once

#include <string>
#include <string_view>

namespace quarrix::cli {

// An entry name may hold any byte but "\\", "/" and NUL, and messages quote
// names. Control characters, C1 ones included (the five bytes that
// Windows-1252 leaves undefined become those), are shown as "?": a hostile
// name must not split a line or send commands to the terminal.
std::string without_controls(std::string_view utf8);

}  // namespace quarrix::cli
