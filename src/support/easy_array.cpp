#include "easy_array.h"

#include "platform/desktop.h"
#include "platform/message_box.h"
#include "support/leading_number.h"

#include <cstdlib>

namespace quarrix {

namespace {

QString beforeFirstNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

}  // namespace

bool Easy_Array::isStringList() const
{
    return sArrayType == u"s";
}

bool Easy_Array::isIntegerList() const
{
    return sArrayType == u"i";
}

void Easy_Array::New_Array(const QString& sType)
{
    sArrayType = sType;
    Clear();
}

void Easy_Array::Clear()
{
    intArray.clear();
    strArray.clear();
}

void Easy_Array::AddItem(const QString& strItem, qint32 Index)
{
    if (!isStringList() && !isIntegerList())
        return;
    const qint32 count = ListCount();
    if (Index == -1)
        Index = count;
    // The position is checked as if the list had already grown by one, so the
    // valid positions are 0..count and the message for a position too large
    // shows the count before the call.
    if (!Check_Bounds(Index, count + 1))
        return;
    if (isStringList())
        strArray.insert(Index, beforeFirstNul(strItem));
    else
        intArray.insert(Index, Int16FromText(strItem));
}

QVariant Easy_Array::List(qint32 Index) const
{
    const bool outside = Index < 0 || Index >= ListCount();
    if (isStringList())
        return outside ? QString() : strArray.at(Index);
    if (isIntegerList())
        return outside ? qint16(0) : intArray.at(Index);
    return QVariant();
}

qint32 Easy_Array::ListCount() const
{
    if (isStringList())
        return static_cast<qint32>(strArray.size());
    if (isIntegerList())
        return static_cast<qint32>(intArray.size());
    return 0;
}

QVariant Easy_Array::RemoveItem(qint32 Index)
{
    if (!Check_Bounds(Index, ListCount()))
        return QVariant();
    if (isStringList())
        strArray.removeAt(Index);
    else if (isIntegerList())
        intArray.removeAt(Index);
    return QVariant();
}

void Easy_Array::Assign(const Easy_Array& Original)
{
    if (!isStringList())
        return;
    const qint32 count = Original.ListCount();
    QList<QString> copy;
    copy.reserve(count);
    for (qint32 i = 0; i < count; ++i)
        copy.append(Original.List(i).toString());
    strArray = std::move(copy);
}

bool Easy_Array::Check_Bounds(qint32 Index, qint32 listCount) const
{
    if (Index >= 0 && Index <= listCount - 1)
        return true;
    platform::MsgBox(QString::number(listCount - 1));
    platform::MsgBox(QStringLiteral("Out of bounds Arrays exception!\n\rThe application will now end."),
                     platform::MsgBoxButtons::Ok, platform::MsgBoxIcon::Critical,
                     QStringLiteral("Array Error"));
    platform::EndApplication(EXIT_FAILURE);
    return false;
}

}  // namespace quarrix
