// Easy_Array: where edits land, what each kind stores, and the bounds check
// that ends the program after its two messages. Its transfers into list
// controls are the widget suite's (list_transfer_test.cpp).
#include "../platform/desktop_testkit.h"
#include "easy_array_lists.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

using namespace quarrix;
using testkit::itemsOf;
using testkit::listOf;
using Edit = std::function<void(Easy_Array&)>;

TEST(EasyArray, EditsLandWhereAskedAndEachKindStoresItsOwnForm)
{
    const QString nulInside = QString::fromUtf16(u"ab\0cd", 5);
    const struct {
        const char* what;
        QString type;  // null: New_Array never called
        Edit edit;
        QStringList expected;
    } cases[] = {
        {"positions",
         "s",
         [](Easy_Array& l) {
             l.AddItem("b");
             l.AddItem("d", -1);
             l.AddItem("a", 0);
             l.AddItem("c", 2);
             l.AddItem("e", l.ListCount());
             l.AddItem(QString());
         },
         {"a", "b", "c", "d", "e", ""}},
        {"removal closes the gap",
         "s",
         [](Easy_Array& l) {
             for (const char* item : {"a", "b", "c", "d", "e"})
                 l.AddItem(item);
             l.RemoveItem(2);
             l.RemoveItem(l.ListCount() - 1);
             l.RemoveItem(0);
         },
         {"b", "d"}},
        {"text up to its first NUL",
         "s",
         [&](Easy_Array& l) {
             l.AddItem(nulInside);
             l.AddItem(nulInside.mid(2));
         },
         {"ab", ""}},
        // The number rule itself has its own suite; no NUL cut here.
        {"integers: the leading number",
         "i",
         [&](Easy_Array& l) {
             for (const char* text : {"12abc", "2.5", "99999"})
                 l.AddItem(text);
             l.AddItem(
                 QString::fromUtf16(u"4\0"
                                    u"5",
                                    3));
             l.AddItem(-7, 0);
         },
         {"-7", "12", "2", "32767", "4"}},
        {"New_Array empties",
         "s",
         [](Easy_Array& l) {
             l.AddItem("a");
             l.New_Array("s");
             l.AddItem("b");
         },
         {"b"}},
        {"Clear keeps the kind",
         "i",
         [](Easy_Array& l) {
             l.AddItem("1");
             l.Clear();
             l.AddItem("6x");
         },
         {"6"}},
        {"Assign copies items as text",
         "s",
         [](Easy_Array& l) {
             l.AddItem("old");
             l.Assign(listOf("i", {"5", "7"}));
         },
         {"5", "7"}},
        {"never typed",
         QString(),
         [](Easy_Array& l) {
             l.AddItem("a");
             l.AddItem("b", 0);
         },
         {}},
        {"type codes are exact", "S", [](Easy_Array& l) { l.AddItem("a"); }, {}},
        {"type codes are not trimmed", "s ", [](Easy_Array& l) { l.AddItem("a"); }, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testkit::RecordingMessageBoxes boxes;
        Easy_Array list;
        if (!c.type.isNull())
            list.New_Array(c.type);
        c.edit(list);
        EXPECT_EQ(itemsOf(list), c.expected);
        EXPECT_TRUE(boxes.shown.isEmpty()) << "good positions show nothing";
    }
}

TEST(EasyArray, PositionsOutsideTheListReadAsTheEmptyItemOfTheKind)
{
    EXPECT_EQ(listOf("s", {"a"}).List(1), QVariant(QString()));
    EXPECT_EQ(listOf("s", {"a"}).List(-1), QVariant(QString()));
    EXPECT_EQ(listOf("i").List(0), QVariant(qint16(0)));
    EXPECT_FALSE(listOf("x").List(0).isValid());
}

// A bad position shows the count (minus one for a removal), then the error,
// ends the program with a failure code, and leaves the list as it was.
TEST(EasyArray, BadPositionsShowTheCountAndTheErrorAndEndTheProgram)
{
    const struct {
        const char* what;
        QString type;
        Edit edit;
        const char* count;
    } cases[] = {
        {"insert past the end", "s", [](Easy_Array& l) { l.AddItem("x", 4); }, "3"},
        {"insert at -2", "i", [](Easy_Array& l) { l.AddItem("x", -2); }, "3"},
        {"remove at ListCount", "s", [](Easy_Array& l) { l.RemoveItem(3); }, "2"},
        {"remove from an untyped list", "x", [](Easy_Array& l) { l.RemoveItem(0); }, "-1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testkit::RecordingMessageBoxes boxes;
        testkit::EndRecorder end;
        Easy_Array list = listOf(c.type, {"1", "2", "3"});
        const QStringList before = itemsOf(list);
        c.edit(list);
        ASSERT_EQ(boxes.shown.size(), 2);
        EXPECT_EQ(boxes.shown[0].text, QString::fromLatin1(c.count));
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Quarrix"));
        EXPECT_EQ(boxes.shown[0].icon, platform::MsgBoxIcon::None);
        EXPECT_EQ(boxes.shown[1].text,
                  QStringLiteral("Out of bounds Arrays exception!\n\rThe application will now end."));
        EXPECT_EQ(boxes.shown[1].title, QStringLiteral("Array Error"));
        EXPECT_EQ(boxes.shown[1].icon, platform::MsgBoxIcon::Critical);
        EXPECT_EQ(end.exitCodes, QList<int>{EXIT_FAILURE});
        EXPECT_EQ(itemsOf(list), before);
    }
}

TEST(EasyArray, HoldsMoreThan32767Items)
{
    Easy_Array list = listOf("s");
    for (qint32 i = 0; i < 40000; ++i)
        list.AddItem(QString::number(i));
    list.AddItem(QStringLiteral("inserted"), 35000);
    list.RemoveItem(39000);
    EXPECT_EQ(list.ListCount(), 40000);
    EXPECT_EQ(list.List(35001), QVariant(QStringLiteral("35000")));
    EXPECT_EQ(list.List(39999), QVariant(QStringLiteral("39999")));
}

}  // namespace
