// The command line's progress: one line on standard error, redrawn at most
// ten times a second, with a bar, the bytes and files done, the rate and the
// name in hand. Silent when not enabled (not a terminal, or --quiet).
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace quarrix::cli {

class ProgressBar {
public:
    ProgressBar(std::ostream& err, bool enabled);

    void set_name(std::string name);
    // done of total for the bar; total 0 leaves the bar as it was.
    void set_fraction(double done, double total);
    void add_file(std::uint64_t bytes);
    void set_bytes(std::uint64_t bytes);
    // Clears the line so the next output starts on a clean one.
    void finish();

private:
    void draw();

    std::ostream& err_;
    bool enabled_;
    bool drawn_ = false;
    std::string name_;
    double fraction_ = 0;
    std::uint64_t bytes_ = 0;
    std::uint64_t files_ = 0;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point last_draw_;
};

// "1.5 MiB" and the like.
std::string human_bytes(double bytes);

}  // namespace quarrix::cli
