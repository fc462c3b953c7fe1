// The archive types registered in the FileType section of Options.ini, as the
// file finder takes them.
#pragma once

#include <QString>

namespace quarrix {

// Each registered extension followed by "|", in key order: "hpi|ufo|" for two
// types, "" for none. Type_Count is read by the settings' number rule; a
// missing key gives an empty piece ("hpi||gp3|").
QString RegisteredExtensionList();

}  // namespace quarrix
