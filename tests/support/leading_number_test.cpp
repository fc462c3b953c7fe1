// The number rule that turns a setting's text, or an integer list item, into
// a count.
#include "support/leading_number.h"

#include <QString>

#include <gtest/gtest.h>

namespace {

using namespace quarrix;

TEST(NumberRule, LeadingNumberRoundedHalfToEvenAndClampedTo16Bits)
{
    const struct {
        const char16_t* text;
        qint16 expected;
    } cases[] = {
        {u"4", 4},           {u"2abc", 2},        {u"abc", 0},         {u"", 0},
        {u"-1", -1},         {u" 3 ", 3},         {u"\t+7x", 7},       {u"1 2", 12},
        {u"- 5", -5},        {u"2.5", 2},         {u"3.5", 4},         {u"-2.5", -2},
        {u"0.5", 0},         {u"1.5", 2},         {u".5", 0},          {u"3.7.1", 4},
        {u"1e3", 1000},      {u"2e", 2},          {u"2e+", 2},         {u"1E-1", 0},
        {u"--1", 0},         {u"&H10", 0},        {u"32767", 32767},   {u"32767.5", 32767},
        {u"99999", 32767},   {u"-32768", -32768}, {u"-40000", -32768}, {u"1e999", 32767},
        {u"-1e999", -32768}, {u"1e-999", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Int16FromText(QStringView(c.text)), c.expected)
            << "text \"" << QString::fromUtf16(c.text).toStdString() << "\"";
}

}  // namespace
