#include "registered_types.h"

#include "support/leading_number.h"
#include "settings/mod_ini_files.h"

namespace quarrix {

QString RegisteredExtensionList()
{
    const QString section = QStringLiteral("FileType");
    const qint16 count = Int16FromText(modIniFiles::ReadIni(section, QStringLiteral("Type_Count")));
    QString list;
    for (qint16 i = 0; i < count; ++i) {
        // The keys are asked for with a leading blank; the file's lookup
        // ignores blanks around names, so they find the written "0", "1", ...
        list += modIniFiles::ReadIni(section, u' ' + QString::number(i)) + u'|';
    }
    return list;
}

}  // namespace quarrix
