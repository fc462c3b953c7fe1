// Easy_Array: positions of insertion and removal, the NUL cut, the integer
// kind, transfers into list controls, and the bounds check that ends the
// program after its two messages.
#include "../platform/desktop_testkit.h"
#include "support/easy_array.h"
#include "support/list_box.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace quarrix;

QStringList itemsOf(const Easy_Array& list)
{
    QStringList items;
    for (qint32 i = 0; i < list.ListCount(); ++i)
        items << list.List(i).toString();
    return items;
}

Easy_Array stringList(const QStringList& items)
{
    Easy_Array list;
    list.New_Array(QStringLiteral("s"));
    for (const QString& item : items)
        list.AddItem(item);
    return list;
}

QStringList rowsOf(const ListBox& box)
{
    QStringList rows;
    for (int i = 0; i < box.ListCount(); ++i)
        rows << box.List(i);
    return rows;
}

// A list-like object that only takes text and logs every call.
struct CallLog {
    QStringList calls;
    void Clear() { calls << QStringLiteral("Clear"); }
    void AddItem(const QString& item) { calls << QStringLiteral("AddItem ") + item; }
};

TEST(EasyArray, UntypedListHoldsNothing)
{
    for (const QString& code : {QString(), QStringLiteral("S"), QStringLiteral("s "), QStringLiteral("x")}) {
        Easy_Array list;
        if (!code.isNull())
            list.New_Array(code);
        list.AddItem(QStringLiteral("a"));
        list.AddItem(QStringLiteral("b"), 0);
        EXPECT_EQ(list.ListCount(), 0) << code.toStdString();
        EXPECT_FALSE(list.List(0).isValid()) << code.toStdString();

        CallLog log;
        list.ADD_Transfer_ListBox(log);
        EXPECT_TRUE(log.calls.isEmpty());
        list.Transfer_ListBox(log);
        EXPECT_EQ(log.calls, QStringList{QStringLiteral("Clear")});
    }
}

TEST(EasyArray, InsertionLandsAtTheGivenPosition)
{
    Easy_Array list;
    list.New_Array(QStringLiteral("s"));
    list.AddItem(QStringLiteral("b"));                      // appended to an empty list
    list.AddItem(QStringLiteral("d"), -1);                  // appended
    list.AddItem(QStringLiteral("a"), 0);                   // in front
    list.AddItem(QStringLiteral("c"), 2);                   // in the middle
    list.AddItem(QStringLiteral("e"), list.ListCount());    // at ListCount: appended
    list.AddItem(QString());                                // an empty item counts
    EXPECT_EQ(itemsOf(list), (QStringList{"a", "b", "c", "d", "e", ""}));
    EXPECT_EQ(list.List(6), QVariant(QString()));
    EXPECT_EQ(list.List(-1), QVariant(QString()));
}

TEST(EasyArray, RemovalClosesTheGap)
{
    Easy_Array list = stringList({"a", "b", "c", "d", "e"});
    list.RemoveItem(2);
    list.RemoveItem(list.ListCount() - 1);
    list.RemoveItem(0);
    EXPECT_EQ(itemsOf(list), (QStringList{"b", "d"}));
    EXPECT_FALSE(list.RemoveItem(0).isValid());
    list.RemoveItem(0);
    EXPECT_EQ(list.ListCount(), 0);
}

TEST(EasyArray, TextIsStoredUpToItsFirstNul)
{
    Easy_Array list;
    list.New_Array(QStringLiteral("s"));
    list.AddItem(QString::fromUtf16(u"ab\0cd", 5));
    list.AddItem(QString::fromUtf16(u"\0xyz", 4));
    EXPECT_EQ(itemsOf(list), (QStringList{"ab", ""}));
}

// The number rule itself is the settings suite's; here the integer kind uses it.
TEST(EasyArray, IntegerListStoresTheLeadingNumber)
{
    Easy_Array list;
    list.New_Array(QStringLiteral("i"));
    EXPECT_EQ(list.List(0), QVariant(qint16(0)));
    for (const QString& text : {QStringLiteral("12abc"), QStringLiteral("2.5"), QStringLiteral("99999"),
                                QString::fromUtf16(u"4\0" u"5", 3)})  // no NUL cut: the number stops there
        list.AddItem(text);
    list.AddItem(-7, 0);
    const QList<qint16> expected{-7, 12, 2, 32767, 4};
    ASSERT_EQ(list.ListCount(), expected.size());
    for (qint32 i = 0; i < list.ListCount(); ++i)
        EXPECT_EQ(list.List(i), QVariant(expected[i])) << "item " << i;

    ListBox box;
    list.Transfer_ListBox(box);
    EXPECT_EQ(rowsOf(box), (QStringList{"-7", "12", "2", "32767", "4"}));
}

TEST(EasyArray, NewArrayEmptiesAndRetypes)
{
    Easy_Array list = stringList({"a", "b"});
    list.New_Array(QStringLiteral("i"));
    list.AddItem(QStringLiteral("5"));
    list.Clear();
    EXPECT_EQ(list.ListCount(), 0);
    list.AddItem(QStringLiteral("6"));
    EXPECT_EQ(list.List(0), QVariant(qint16(6)));  // Clear kept the kind
}

// A bad position shows the count (minus one for a removal) and the error,
// ends the program with a failure code, and leaves the list as it was.
TEST(EasyArrayBounds, BadPositionsShowBothMessagesAndEndTheProgram)
{
    const struct {
        const char* what;
        bool typed;
        bool insert;
        qint32 position;
        const char* firstText;
    } cases[] = {
        {"insert past the end", true, true, 4, "3"},
        {"insert at -2", true, true, -2, "3"},
        {"remove at ListCount", true, false, 3, "2"},
        {"remove from an untyped list", false, false, 0, "-1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testkit::RecordingMessageBoxes boxes;
        testkit::EndRecorder end;
        Easy_Array list = c.typed ? stringList({"a", "b", "c"}) : Easy_Array();
        if (c.insert)
            list.AddItem(QStringLiteral("x"), c.position);
        else
            list.RemoveItem(c.position);
        ASSERT_EQ(boxes.shown.size(), 2);
        EXPECT_EQ(boxes.shown[0].text, QString::fromLatin1(c.firstText));
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Quarrix"));
        EXPECT_EQ(boxes.shown[0].icon, platform::MsgBoxIcon::None);
        EXPECT_EQ(boxes.shown[1].text,
                  QStringLiteral("Out of bounds Arrays exception!\n\rThe application will now end."));
        EXPECT_EQ(boxes.shown[1].title, QStringLiteral("Array Error"));
        EXPECT_EQ(boxes.shown[1].icon, platform::MsgBoxIcon::Critical);
        EXPECT_EQ(boxes.shown[1].buttons, platform::MsgBoxButtons::Ok);
        EXPECT_EQ(end.exitCodes, QList<int>{EXIT_FAILURE});
        if (c.typed) {
            EXPECT_EQ(itemsOf(list), (QStringList{"a", "b", "c"}));
        }
    }
    testkit::RecordingMessageBoxes boxes;
    Easy_Array list = stringList({"a"});
    list.AddItem(QStringLiteral("b"), 1);
    list.RemoveItem(0);
    EXPECT_TRUE(boxes.shown.isEmpty()) << "good positions show nothing";
}

TEST(EasyArrayTransfer, AddTransferAppendsAndTransferReplaces)
{
    const Easy_Array list = stringList({"x", "y", "z"});
    ListBox box;
    box.AddItem(QStringLiteral("old1"));
    list.ADD_Transfer_ListBox(box);
    EXPECT_EQ(rowsOf(box), (QStringList{"old1", "x", "y", "z"}));
    list.Transfer_ListBox(box);
    EXPECT_EQ(rowsOf(box), (QStringList{"x", "y", "z"}));

    CallLog log;  // list-like objects see one call per item
    list.Transfer_ListBox(log);
    EXPECT_EQ(log.calls, (QStringList{"Clear", "AddItem x", "AddItem y", "AddItem z"}));
}

TEST(EasyArrayAssign, CopiesItemsAsTextIntoAStringListOnly)
{
    Easy_Array numbers;
    numbers.New_Array(QStringLiteral("i"));
    numbers.AddItem(QStringLiteral("5"));
    Easy_Array copy = stringList({"old"});
    copy.Assign(numbers);
    EXPECT_EQ(itemsOf(copy), (QStringList{"5"}));
    copy.Assign(Easy_Array());
    EXPECT_EQ(copy.ListCount(), 0);

    numbers.Assign(stringList({"p", "q"}));
    EXPECT_EQ(numbers.ListCount(), 1) << "only a string list takes a copy";
}

TEST(EasyArrayCapacity, HoldsMoreThan32767Items)
{
    Easy_Array list;
    list.New_Array(QStringLiteral("s"));
    constexpr qint32 count = 40000;
    for (qint32 i = 0; i < count; ++i)
        list.AddItem(QString::number(i));
    list.AddItem(QStringLiteral("inserted"), 35000);
    list.RemoveItem(39000);
    EXPECT_EQ(list.ListCount(), count);
    EXPECT_EQ(list.List(35001), QVariant(QStringLiteral("35000")));
    EXPECT_EQ(list.List(count - 1), QVariant(QString::number(count - 1)));
}

}  // namespace
