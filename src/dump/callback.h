// Callback: the packing progress callback handed to the archive library, and
// the text conversion it needs.
//
// The library's callback is a plain function without a context argument, so
// the one place its calls go to is set around the packing by
// PackProgressScope.
#pragma once

#include <cstdint>
#include <string>

namespace quarrix::Callback {

// The one-bar progress of packing: a caption, a text line and a bar.
class PackProgress {
public:
    virtual ~PackProgress() = default;
    virtual void Start(const std::string& strPart, const std::string& strWork) = 0;
    virtual void Update(std::int32_t Value, std::int32_t Max) = 0;
};

// Sends PackCallback's calls to `progress` while it lives; calls outside any
// scope go nowhere.
class PackProgressScope {
public:
    explicit PackProgressScope(PackProgress& progress);
    ~PackProgressScope();
    PackProgressScope(const PackProgressScope&) = delete;
    PackProgressScope& operator=(const PackProgressScope&) = delete;

private:
    PackProgress* previous_;
};

// The NUL-terminated text at `text`, read at most 256 bytes far; empty when
// those hold no NUL (or there is no text).
std::string BytesToString(const char* text);

// Called by the library while it packs: shows the name (second text) under
// the caption "Creating monolithic archive" and the two counts on the bar.
// Always returns 0.
std::int32_t PackCallback(const char* diskPath, const char* name, std::int32_t Value, std::int32_t Max,
                          std::int32_t, std::int32_t, std::int32_t, std::int32_t);

}  // namespace quarrix::Callback
