// quarrix-cli run in the test's own process, with its two streams captured.
#pragma once

#include "commands.h"

#include <sstream>
#include <string>
#include <vector>

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// on_terminal: standard error is a terminal, where the progress bar is drawn.
inline Outcome run_cli(std::vector<std::string> args, bool on_terminal = false)
{
    args.insert(args.begin(), "quarrix-cli");
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    std::ostringstream out, err;
    const int status = quarrix::cli::run(int(argv.size()), argv.data(), out, err, on_terminal);
    return {status, out.str(), err.str()};
}
