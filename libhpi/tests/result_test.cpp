// A Result hands out its value only when it has one: reaching past an error
// is a clear failure naming that error, not a read of memory holding nothing.
#include "hpi/hpi.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace hpi {
namespace {

Result<std::string> found()
{
    return std::string("units");
}
Result<std::string> refused()
{
    return Error{ErrorKind::BadName, "name '..' is not a single path level"};
}

TEST(Result, GivesItsValueAndRefusesToInventOne)
{
    Result<std::string> good = found();
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(good.value(), "units");
    EXPECT_EQ(*good, "units");
    EXPECT_EQ(good->size(), 5u);
    const Result<std::string>& constant = good;
    EXPECT_EQ(constant->front(), 'u');

    Result<std::string> bad = refused();
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().kind, ErrorKind::BadName);
    try {
        static_cast<void>(bad.value());
        FAIL() << "value() of an error returned";
    } catch (const BadResultAccess& failure) {
        EXPECT_EQ(failure.error().kind, ErrorKind::BadName);
        EXPECT_NE(std::string(failure.what()).find("name '..' is not a single path level"), std::string::npos)
            << failure.what();
    }
    EXPECT_THROW(static_cast<void>(*bad), BadResultAccess);
    EXPECT_THROW(static_cast<void>(bad->size()), BadResultAccess);
    const Result<std::string>& constant_bad = bad;
    EXPECT_THROW(static_cast<void>(constant_bad.value()), BadResultAccess);
}

TEST(Result, AnEmptyErrorIsNoValueEither)
{
    // A function that returns Error{} where it meant to return a value says
    // ok() but has nothing to give.
    Result<std::unique_ptr<int>> empty = Error{};
    EXPECT_TRUE(empty.ok());
    EXPECT_THROW(static_cast<void>(empty.value()), BadResultAccess);
}

}  // namespace
}  // namespace hpi
