// The halves of bench/mount that need a program of their own:
//
//   quarrix-bench-collection view RUNS ARCHIVE...
//       builds the merged view of the archives RUNS times and prints the
//       median seconds, with what the view holds
//   quarrix-bench-collection tail FILE
//       reads the last 4 KiB of FILE with one read and prints the
//       milliseconds it took (the open not included)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "collection/merged_view.h"

namespace {

using Clock = std::chrono::steady_clock;

int view(int runs, const std::vector<std::string>& archives)
{
    std::vector<double> times;
    std::size_t files = 0, folders = 0, overridden = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        const auto merged = quarrix::collection::MergedView::build(archives);
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        files = folders = overridden = 0;
        for (const quarrix::collection::Node& node : merged.nodes()) {
            (node.is_folder ? folders : files)++;
            if (!node.overridden.empty())
                ++overridden;
        }
        for (const auto& member : merged.members())
            if (!member.archive) {
                std::fprintf(stderr, "%s: %s\n", member.path.c_str(), member.error.message.c_str());
                return 1;
            }
    }
    std::sort(times.begin(), times.end());
    std::printf("%.6f s median of %d: %zu archives, %zu files, %zu folders, %zu files overriding others\n",
                times[times.size() / 2], runs, archives.size(), files, folders - 1, overridden);
    return 0;
}

int tail(const char* file)
{
    const int fd = ::open(file, O_RDONLY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        std::perror(file);
        return 1;
    }
    char buffer[4096];
    const off_t from = std::max<off_t>(0, st.st_size - off_t(sizeof buffer));
    const auto start = Clock::now();
    const ssize_t got = ::pread(fd, buffer, sizeof buffer, from);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    ::close(fd);
    if (got != st.st_size - from) {
        std::fprintf(stderr, "%s: short read\n", file);
        return 1;
    }
    std::printf("%.3f ms\n", ms);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "view" && argc > 3 && std::atoi(argv[2]) > 0)
        return view(std::atoi(argv[2]), std::vector<std::string>(argv + 3, argv + argc));
    if (mode == "tail" && argc == 3)
        return tail(argv[2]);
    std::fprintf(stderr, "usage: quarrix-bench-collection view RUNS ARCHIVE... | tail FILE\n");
    return 2;
}
