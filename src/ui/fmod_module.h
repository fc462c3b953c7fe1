// FMod: the sound library's calls (see fsound/fsound.h) and the texts of its
// error codes, as the About window shows them.
#pragma once

#include "fsound/fsound.h"

#include <QString>

namespace quarrix::FMod {

// The text for an error code of FSOUND_GetError; "Unknown error" for a code
// the library does not have, negative ones included.
QString GetSoundErrorText(qint32 code);

}  // namespace quarrix::FMod
