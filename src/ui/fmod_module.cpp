#include "fmod_module.h"

#include <iterator>

namespace quarrix::FMod {

namespace {

// Indexed by error code. The texts are the library's own, spelling and
// spacing included.
constexpr const char16_t* kErrorTexts[] = {
    u"No errors",
    u"Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    u"This command failed because FSOUND_Init was not called",
    u"Error initializing output device.",
    u"The output device is already in use and cannot be reused.",
    u"Playing the sound failed.",
    u"Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    u"Error setting cooperative level for hardware.",
    u"Error creating hardware sound buffer.",
    u"File not found",
    u"Unknown file format",
    u"Error loading file",
    u"Not enough memory ",
    u"The version number of this file format is not supported",
    u"An invalid parameter was passed to this function",
    u"Tried to use an EAX command on a non EAX enabled channel or output.",
    u"Tried to use an advanced EAX2 command on a non EAX2 enabled channel or output.",
    u"Failed to allocate a new channel",
    u"Recording is not supported on this machine",
    u"Required Mediaplayer codec is not installed",
};

}  // namespace

QString GetSoundErrorText(qint32 code)
{
    if (code < 0 || code >= static_cast<qint32>(std::size(kErrorTexts)))
        return QStringLiteral("Unknown error");
    return QString::fromUtf16(kErrorTexts[code]);
}

}  // namespace quarrix::FMod
