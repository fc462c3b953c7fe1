#include <iostream>

#include "commands.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const int status = quarrix::cli::run(argc, argv, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout && status == quarrix::cli::kSuccess) {
        std::cerr << "quarrix-cli: cannot write to standard output\n";
        return quarrix::cli::kFailure;
    }
    return status;
}
