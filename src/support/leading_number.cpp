#include "support/leading_number.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace quarrix {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isSign(QChar c)
{
    return c == u'+' || c == u'-';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Collects the characters of the leading number, blanks left out, as plain
// ASCII ready for from_chars (which takes no leading "+").
class NumberScanner {
public:
    explicit NumberScanner(QStringView text) : text_(text) {}

    std::string scan()
    {
        takeIf(isSign);
        const bool integerDigits = takeDigits();
        bool fractionDigits = false;
        if (takeIf([](QChar c) { return c == u'.'; }))
            fractionDigits = takeDigits();
        if (!integerDigits && !fractionDigits)
            return {};
        takeExponent();
        return number_;
    }

private:
    template <typename Predicate>
    bool takeIf(Predicate accepts)
    {
        skipBlanks();
        if (pos_ < text_.size() && accepts(text_[pos_])) {
            if (text_[pos_] != u'+')
                number_ += static_cast<char>(text_[pos_].unicode());
            ++pos_;
            return true;
        }
        return false;
    }

    bool takeDigits()
    {
        bool any = false;
        while (takeIf(isDigit))
            any = true;
        return any;
    }

    // An exponent counts only when digits follow it; "2e" reads as 2.
    void takeExponent()
    {
        const qsizetype start = pos_;
        const std::string before = number_;
        if (!takeIf([](QChar c) { return c == u'e' || c == u'E'; }))
            return;
        takeIf(isSign);
        if (!takeDigits()) {
            pos_ = start;
            number_ = before;
        }
    }

    void skipBlanks()
    {
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
    }

    QStringView text_;
    qsizetype pos_ = 0;
    std::string number_;
};

}  // namespace

double LeadingNumber(QStringView text)
{
    const std::string number = NumberScanner(text).scan();
    if (number.empty())
        return 0.0;
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a double: the sign and the exponent tell which.
        const bool negative = number.front() == '-';
        const bool tiny = number.find("e-") != std::string::npos;
        if (tiny)
            return 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    return error == std::errc() ? value : 0.0;
}

qint16 RoundToInt16(double value)
{
    constexpr double lowest = std::numeric_limits<qint16>::min();
    constexpr double highest = std::numeric_limits<qint16>::max();
    if (std::isnan(value))
        return 0;
    // The default floating-point rounding mode rounds halves to even.
    const double rounded = std::nearbyint(value);
    if (rounded <= lowest)
        return std::numeric_limits<qint16>::min();
    if (rounded >= highest)
        return std::numeric_limits<qint16>::max();
    return static_cast<qint16>(rounded);
}

qint16 Int16FromText(QStringView text)
{
    return RoundToInt16(LeadingNumber(text));
}

}  // namespace quarrix
