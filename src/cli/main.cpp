#include <iostream>

#include <QCoreApplication>

#include "commands.h"
#include "platform/terminal.h"

int main(int argc, char** argv)
{
    // Tells the program's own directory, from which it finds Options.ini; no
    // display is needed.
    QCoreApplication application(argc, argv);
    std::ios::sync_with_stdio(false);
    const int status =
        quarrix::cli::run(argc, argv, std::cout, std::cerr, quarrix::platform::StandardErrorIsTerminal());
    std::cout.flush();
    if (!std::cout && status == quarrix::cli::kSuccess) {
        std::cerr << "quarrix-cli: cannot write to standard output\n";
        return quarrix::cli::kFailure;
    }
    return status;
}
