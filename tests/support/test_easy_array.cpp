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
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.List(0), QVariant(QString()));

    list.AddItem(QStringLiteral("b"));                      // appended to an empty list
    list.AddItem(QStringLiteral("d"), -1);                  // appended
    list.AddItem(QStringLiteral("a"), 0);                   // in front
    list.AddItem(QStringLiteral("c"), 2);                   // in the middle
    list.AddItem(QStringLiteral("e"), list.ListCount());    // at ListCount: appended
    list.AddItem(QString());                                // an empty item counts
    EXPECT_EQ(itemsOf(list), (QStringList{"a", "b", "c", "d", "e", ""}));
    EXPECT_EQ(list.ListCount(), 6);
    EXPECT_EQ(list.List(6), QVariant(QString()));
    EXPECT_EQ(list.List(100), QVariant(QString()));
    EXPECT_EQ(list.List(-1), QVariant(QString()));
}

TEST(EasyArray, RemovalClosesTheGap)
{
    Easy_Array list = stringList({"a", "b", "c", "d", "e"});
    list.RemoveItem(2);
    EXPECT_EQ(itemsOf(list), (QStringList{"a", "b", "d", "e"}));
    list.RemoveItem(list.ListCount() - 1);
    EXPECT_EQ(itemsOf(list), (QStringList{"a", "b", "d"}));
    list.RemoveItem(0);
    EXPECT_EQ(itemsOf(list), (QStringList{"b", "d"}));
    EXPECT_FALSE(list.RemoveItem(0).isValid());
    list.RemoveItem(0);
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.List(0), QVariant(QString()));
}

TEST(EasyArray, TextIsStoredUpToItsFirstNul)
{
    Easy_Array list;
    list.New_Array(QStringLiteral("s"));
    list.AddItem(QString::fromUtf16(u"ab\0cd", 5));
    list.AddItem(QString::fromUtf16(u"\0xyz", 4));
    EXPECT_EQ(itemsOf(list), (QStringList{"ab", ""}));
}

TEST(EasyArray, IntegerListStoresTheLeadingNumber)
{
    Easy_Array list;
    list.New_Array(QStringLiteral("i"));
    EXPECT_EQ(list.List(0), QVariant(qint16(0)));
    list.AddItem(QStringLiteral("12abc"));
    list.AddItem(QStringLiteral("2.5"));
    list.AddItem(QStringLiteral("3.5"));
    list.AddItem(QStringLiteral("none"));
    list.AddItem(QStringLiteral("99999"));
    list.AddItem(-7, 0);
    list.AddItem(QString::fromUtf16(u"4\0" u"5", 3));  // no NUL cut: the number stops there anyway
    const QList<qint16> expected{-7, 12, 2, 4, 0, 32767, 4};
    ASSERT_EQ(list.ListCount(), expected.size());
    for (qint32 i = 0; i < list.ListCount(); ++i)
        EXPECT_EQ(list.List(i), QVariant(expected[i])) << "item " << i;
    EXPECT_EQ(list.List(list.ListCount()), QVariant(qint16(0)));

    ListBox box;
    list.Transfer_ListBox(box);
    EXPECT_EQ(rowsOf(box), (QStringList{"-7", "12", "2", "4", "0", "32767", "4"}));
}

TEST(EasyArray, NewArrayEmptiesAndRetypes)
{
    Easy_Array list = stringList({"a", "b"});
    list.New_Array(QStringLiteral("i"));
    EXPECT_EQ(list.ListCount(), 0);
    list.AddItem(QStringLiteral("5"));
    list.Clear();
    EXPECT_EQ(list.ListCount(), 0);
    list.AddItem(QStringLiteral("6"));
    EXPECT_EQ(list.List(0), QVariant(qint16(6)));  // Clear kept the kind
}

class BoundsCheck : public testing::Test {
protected:
    void expectBoundsFailure(const QString& firstText)
    {
        ASSERT_EQ(boxes.shown.size(), 2);
        EXPECT_EQ(boxes.shown[0].text, firstText);
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Quarrix"));
        EXPECT_EQ(boxes.shown[0].icon, platform::MsgBoxIcon::None);
        EXPECT_EQ(boxes.shown[0].buttons, platform::MsgBoxButtons::Ok);
        EXPECT_EQ(boxes.shown[1].text,
                  QStringLiteral("Out of bounds Arrays exception!\n\rThe application will now end."));
        EXPECT_EQ(boxes.shown[1].title, QStringLiteral("Array Error"));
        EXPECT_EQ(boxes.shown[1].icon, platform::MsgBoxIcon::Critical);
        EXPECT_EQ(boxes.shown[1].buttons, platform::MsgBoxButtons::Ok);
        EXPECT_EQ(end.exitCodes, QList<int>{EXIT_FAILURE});
    }

    testkit::RecordingMessageBoxes boxes;
    testkit::EndRecorder end;
};

TEST_F(BoundsCheck, InsertPastTheEndShowsTheCountBeforeTheCall)
{
    Easy_Array list = stringList({"a", "b", "c"});
    list.AddItem(QStringLiteral("x"), 4);
    expectBoundsFailure(QStringLiteral("3"));
    EXPECT_EQ(itemsOf(list), (QStringList{"a", "b", "c"}));
}

TEST_F(BoundsCheck, InsertAtANegativePositionOtherThanMinusOneFails)
{
    Easy_Array list = stringList({"a", "b", "c"});
    list.AddItem(QStringLiteral("x"), -2);
    expectBoundsFailure(QStringLiteral("3"));
    EXPECT_EQ(list.ListCount(), 3);
}

TEST_F(BoundsCheck, RemoveFromAnEmptyListShowsMinusOne)
{
    Easy_Array list;
    list.New_Array(QStringLiteral("s"));
    list.RemoveItem(0);
    expectBoundsFailure(QStringLiteral("-1"));
}

TEST_F(BoundsCheck, RemoveAtListCountFails)
{
    Easy_Array list = stringList({"a", "b", "c"});
    list.RemoveItem(3);
    expectBoundsFailure(QStringLiteral("2"));
    EXPECT_EQ(list.ListCount(), 3);
}

TEST_F(BoundsCheck, RemoveFromAnUntypedListAlwaysFails)
{
    Easy_Array list;
    list.RemoveItem(0);
    expectBoundsFailure(QStringLiteral("-1"));
}

TEST_F(BoundsCheck, GoodPositionsShowNothing)
{
    Easy_Array list = stringList({"a"});
    list.AddItem(QStringLiteral("b"), 1);
    list.RemoveItem(0);
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_FALSE(end.ended());
}

TEST(EasyArrayTransfer, AddTransferAppendsAndTransferReplaces)
{
    const Easy_Array list = stringList({"x", "y", "z"});
    ListBox box;
    box.AddItem(QStringLiteral("old1"));
    box.AddItem(QStringLiteral("old2"));
    list.ADD_Transfer_ListBox(box);
    EXPECT_EQ(rowsOf(box), (QStringList{"old1", "old2", "x", "y", "z"}));
    list.Transfer_ListBox(box);
    EXPECT_EQ(rowsOf(box), (QStringList{"x", "y", "z"}));

    Easy_Array empty;
    empty.New_Array(QStringLiteral("s"));
    empty.Transfer_ListBox(box);
    EXPECT_EQ(box.ListCount(), 0);
}

TEST(EasyArrayTransfer, ListLikeObjectsSeeOneCallPerItem)
{
    Easy_Array numbers;
    numbers.New_Array(QStringLiteral("i"));
    numbers.AddItem(QStringLiteral("5"));
    numbers.AddItem(QStringLiteral("-2"));
    CallLog log;
    numbers.Transfer_ListBox(log);
    EXPECT_EQ(log.calls, (QStringList{"Clear", "AddItem 5", "AddItem -2"}));
}

TEST(EasyArrayAssign, CopiesItemsAsText)
{
    Easy_Array numbers;
    numbers.New_Array(QStringLiteral("i"));
    numbers.AddItem(QStringLiteral("5"));
    numbers.AddItem(QStringLiteral("-2"));

    Easy_Array copy = stringList({"old"});
    copy.Assign(numbers);
    EXPECT_EQ(itemsOf(copy), (QStringList{"5", "-2"}));

    Easy_Array untyped;
    copy.Assign(untyped);
    EXPECT_EQ(copy.ListCount(), 0);

    copy.Assign(stringList({"p", "q"}));
    EXPECT_EQ(itemsOf(copy), (QStringList{"p", "q"}));

    numbers.Assign(copy);  // only a string list takes a copy
    EXPECT_EQ(numbers.ListCount(), 2);
    EXPECT_EQ(numbers.List(0), QVariant(qint16(5)));
}

TEST(EasyArrayCapacity, HoldsMoreThan32767Items)
{
    Easy_Array list;
    list.New_Array(QStringLiteral("s"));
    constexpr qint32 count = 40000;
    for (qint32 i = 0; i < count; ++i)
        list.AddItem(QString::number(i));
    EXPECT_EQ(list.ListCount(), count);
    list.AddItem(QStringLiteral("inserted"), 35000);
    EXPECT_EQ(list.List(35000), QVariant(QStringLiteral("inserted")));
    EXPECT_EQ(list.List(35001), QVariant(QStringLiteral("35000")));
    list.RemoveItem(39000);
    EXPECT_EQ(list.ListCount(), count);
    EXPECT_EQ(list.List(count - 1), QVariant(QString::number(count - 1)));
}

}  // namespace
