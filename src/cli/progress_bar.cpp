#include "progress_bar.h"
#include "terminal_text.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace quarrix::cli {

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 20;
constexpr std::size_t kNameWidth = 24;

}  // namespace

std::string human_bytes(double bytes)
{
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

ProgressBar::ProgressBar(std::ostream& err, bool enabled)
    : err_(err), enabled_(enabled), started_(std::chrono::steady_clock::now())
{
}

void ProgressBar::set_name(std::string name)
{
    name_ = without_controls(name);
}

void ProgressBar::set_fraction(double done, double total)
{
    if (total > 0)
        fraction_ = std::clamp(done / total, 0.0, 1.0);
    draw();
}

void ProgressBar::add_file(std::uint64_t bytes)
{
    bytes_ += bytes;
    ++files_;
    draw();
}

void ProgressBar::set_bytes(std::uint64_t bytes)
{
    bytes_ = bytes;
    draw();
}

void ProgressBar::draw()
{
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_draw_ < kRedrawEvery)
        return;
    last_draw_ = now;
    drawn_ = true;
    const double seconds = std::chrono::duration<double>(now - started_).count();
    const int filled = int(fraction_ * kBarWidth);
    std::string name = name_;
    if (name.size() > kNameWidth)
        name = "..." + name.substr(name.size() - (kNameWidth - 3));
    err_ << "\r[" << std::string(std::size_t(filled), '#')
         << std::string(std::size_t(kBarWidth - filled), '-') << "] " << int(fraction_ * 100) << "%  "
         << human_bytes(double(bytes_)) << "  " << files_ << (files_ == 1 ? " file  " : " files  ")
         << human_bytes(seconds > 0 ? double(bytes_) / seconds : 0) << "/s  " << name << "\x1b[K"
         << std::flush;
}

void ProgressBar::finish()
{
    if (enabled_ && drawn_)
        err_ << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

}  // namespace quarrix::cli
