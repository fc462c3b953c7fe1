#include "platform/terminal.h"

#include <unistd.h>

namespace quarrix::platform {

bool StandardErrorIsTerminal()
{
    return ::isatty(STDERR_FILENO) != 0;
}

}  // namespace quarrix::platform
