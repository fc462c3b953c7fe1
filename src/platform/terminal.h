// Whether the program talks to a person at a terminal: quarrix-cli draws its
// progress bar only then.
#pragma once

namespace quarrix::platform {

bool StandardErrorIsTerminal();

}  // namespace quarrix::platform
