// Easy_Array: a zero-based, growable list of strings ("s") or signed 16-bit
// integers ("i"), with insertion anywhere, removal that closes the gap, a
// position check that ends the program on a bad position, and the copying of
// its items into any list-like object that offers Clear() and AddItem(item).
//
// Counts and positions are 32-bit, so a list is not limited to 32767 items.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <concepts>
#include <type_traits>

namespace quarrix {

// Anything with Clear() and AddItem(text): the main window's list control,
// another list, a test recorder.
template <typename L>
concept ListLike = requires(L& list, const QString& text)
{
    list.Clear();
    list.AddItem(text);
};

class Easy_Array {
public:
    // Sets the type code ("s" or "i", compared exactly) and empties the list.
    // Any other code leaves the list untyped: it never holds items.
    void New_Array(const QString& sType);

    // Empties the list; the type code stays.
    void Clear();

    // Inserts the item so that it ends up at `Index`; -1 appends. A string
    // item is cut before its first NUL; an integer list stores the number the
    // text begins with, rounded (half to even) and clamped to 16 bits. A
    // position outside 0..ListCount() shows the bounds messages and ends the
    // program. Does nothing on an untyped list.
    void AddItem(const QString& strItem, qint32 Index = -1);
    template <typename Number>
    requires std::is_arithmetic_v<Number>
    void AddItem(Number item, qint32 Index = -1) { AddItem(QString::number(item), Index); }

    // The item at `Index`: a QString, a qint16, or an empty QVariant for an
    // untyped list. Past the end (and before the start) it is the empty string
    // or 0, without any message.
    QVariant List(qint32 Index) const;

    // The number of items; 0 for an untyped list.
    qint32 ListCount() const;

    // Removes the item at `Index` and closes the gap. A position outside
    // 0..ListCount()-1 (always, on an untyped list) shows the bounds messages
    // and ends the program. Returns the empty value.
    QVariant RemoveItem(qint32 Index);

    // Clears `lst`, then adds every item to it in order.
    template <ListLike L>
    void Transfer_ListBox(L& lst) const
    {
        lst.Clear();
        ADD_Transfer_ListBox(lst);
    }

    // Adds every item to `lst` in order, after what it already holds.
    template <ListLike L>
    void ADD_Transfer_ListBox(L& lst) const
    {
        if (isStringList()) {
            for (const QString& item : strArray)
                lst.AddItem(item);
        } else if (isIntegerList()) {
            for (qint16 item : intArray) {
                if constexpr (requires { lst.AddItem(item); })
                    lst.AddItem(item);
                else
                    lst.AddItem(QString::number(item));
            }
        }
    }

    // Makes this string list a copy of the items of `Original`, as text
    // (integers arrive as decimal text). Does nothing unless this list is "s".
    void Assign(const Easy_Array& Original);

private:
    bool isStringList() const;
    bool isIntegerList() const;

    // True for a position inside 0..listCount-1. Otherwise shows the two
    // messages, ends the program and returns false, so that the caller
    // changes nothing should the end be intercepted.
    bool Check_Bounds(qint32 Index, qint32 listCount) const;

    // Items in list order. The storage holds exactly the items; a position
    // past the end reads as the empty item.
    QList<qint16> intArray;
    QList<QString> strArray;
    QString sArrayType;
};

}  // namespace quarrix
