// String lists made from, and read back as, text lists in one call: for the
// string list's suites.
#pragma once

#include "support/easy_array.h"

#include <QStringList>

namespace quarrix::testkit {

inline QStringList itemsOf(const Easy_Array& list)
{
    QStringList items;
    for (qint32 i = 0; i < list.ListCount(); ++i)
        items << list.List(i).toString();
    return items;
}

inline Easy_Array listOf(const QString& type, const QStringList& items = {})
{
    Easy_Array list;
    list.New_Array(type);
    for (const QString& item : items)
        list.AddItem(item);
    return list;
}

}  // namespace quarrix::testkit
