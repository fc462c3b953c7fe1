#include "callback.h"

namespace quarrix::Callback {

namespace {

PackProgress*& current()
{
    static PackProgress* progress = nullptr;
    return progress;
}

}  // namespace

PackProgressScope::PackProgressScope(PackProgress& progress) : previous_(current())
{
    current() = &progress;
}

PackProgressScope::~PackProgressScope()
{
    current() = previous_;
}

std::string BytesToString(const char* text)
{
    if (!text)
        return {};
    for (std::size_t length = 0; length < 256; ++length) {
        if (text[length] == '\0')
            return std::string(text, length);
    }
    return {};
}

std::int32_t PackCallback(const char*, const char* name, std::int32_t Value, std::int32_t Max, std::int32_t,
                          std::int32_t, std::int32_t, std::int32_t)
{
    if (PackProgress* progress = current()) {
        progress->Start(BytesToString(name), "Creating monolithic archive");
        progress->Update(Value, Max);
    }
    return 0;
}

}  // namespace quarrix::Callback
