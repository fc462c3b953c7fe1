#include "mod_ini_files.h"

#include "platform/desktop.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace quarrix::modIniFiles {

namespace {

// The file is UTF-8, so the limit counts characters, never splitting one.
QString firstCharacters(const QString& text, int limit)
{
    qsizetype end = 0;
    for (int count = 0; count < limit && end < text.size(); ++count)
        end += (text[end].isHighSurrogate() && end + 1 < text.size()) ? 2 : 1;
    return text.left(end);
}

}  // namespace

QString OptionsFilePath()
{
    return platform::JoinPath(platform::SettingsDirectory(), u"Options.ini");
}

QString ReadIni(const QString& section, const QString& key)
{
    const std::string value = platform::GetPrivateProfileString(section.toStdString(), key.toStdString(), "",
                                                                platform::ToFsPath(OptionsFilePath()));
    return firstCharacters(QString::fromStdString(value), kReadLimit);
}

void WriteIni(const QString& section, const QString& key, const QString& value)
{
    if (!platform::WritePrivateProfileString(section.toStdString(), key.toStdString(), value.toStdString(),
                                             platform::ToFsPath(OptionsFilePath())))
        platform::Beep();
}

}  // namespace quarrix::modIniFiles
