// Easy_Array's transfers into list controls: the program's list control, and
// any object with the control's Clear and AddItem.
#include "easy_array_lists.h"
#include "support/list_box.h"

#include <gtest/gtest.h>

namespace {

using namespace quarrix;
using testkit::listOf;

// A list-like object that only takes text and logs every call.
struct CallLog {
    QStringList calls;
    void Clear() { calls << QStringLiteral("Clear"); }
    void AddItem(const QString& item) { calls << item; }
};

TEST(EasyArray, TransfersAppendOrReplaceOneItemAtATime)
{
    ListBox box;
    box.AddItem(QStringLiteral("old"));
    listOf("s", {"x", "y"}).ADD_Transfer_ListBox(box);
    listOf("i", {"7"}).ADD_Transfer_ListBox(box);
    EXPECT_EQ(box.ListCount(), 4);
    EXPECT_EQ(box.List(3), QStringLiteral("7"));
    listOf("s", {"z"}).Transfer_ListBox(box);
    EXPECT_EQ(box.ListCount(), 1);
    EXPECT_EQ(box.List(0), QStringLiteral("z"));

    CallLog log;
    listOf("s", {"x", "y"}).Transfer_ListBox(log);
    listOf("x", {"a"}).Transfer_ListBox(log);  // an untyped list only clears
    listOf("x", {"a"}).ADD_Transfer_ListBox(log);
    EXPECT_EQ(log.calls, (QStringList{"Clear", "x", "y", "Clear"}));
}

}  // namespace
