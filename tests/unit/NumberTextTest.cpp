#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "formats/NumberFormat.h"
#include "formats/TokenReader.h"

TEST(NumberFormat, MatchesPrintfInTheCLocale)
{
    char buf[800];
    for (double d : {0.0, -0.0, 2.5, 0.0000004, -0.0000004, 1.0 / 3.0, -123456.7890125, 1e20, 5e-324, 1e-5})
    {
        std::snprintf(buf, sizeof buf, "%f", d);
        EXPECT_EQ(NumberFormat::Fixed(d), buf) << d;
        std::snprintf(buf, sizeof buf, "%.3f", d);
        EXPECT_EQ(NumberFormat::Fixed(d, 3), buf) << d;
        std::snprintf(buf, sizeof buf, "%g", d);
        EXPECT_EQ(NumberFormat::General(d), buf) << d;
    }
    // More decimals than the usual buffer holds for the largest double.
    std::snprintf(buf, sizeof buf, "%.200f", -1.7976931348623157e308);
    EXPECT_EQ(NumberFormat::Fixed(-1.7976931348623157e308, 200), buf);
    EXPECT_EQ(NumberFormat::Fixed(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(NumberFormat::General(-std::numeric_limits<double>::infinity()), "-inf");
    std::string s = "n=";
    NumberFormat::AppendInt(s, -9223372036854775807 - 1);
    EXPECT_EQ(s, "n=-9223372036854775808");
}

TEST(TokenReader, NumbersAreWholeTokensAndLinesEnd)
{
    // A failed read leaves the value alone, and the token after the number is read next.
    auto check = [](const char* pszText, std::optional<int32_t> nInt, std::optional<double> dDouble)
    {
        SCOPED_TRACE(pszText);
        const std::string text = std::string(" \t") + pszText + "\r\nnext";
        int32_t n = -99;
        double d = -99.0;
        std::string_view token;
        CTokenReader ints(text), doubles(text);
        EXPECT_EQ(ints.NextInt(n), nInt.has_value());
        EXPECT_EQ(n, nInt.value_or(-99));
        EXPECT_TRUE(ints.NextToken(token) && token == "next");
        EXPECT_EQ(doubles.NextDouble(d), dDouble.has_value());
        EXPECT_EQ(d, dDouble.value_or(-99.0));
        EXPECT_EQ(std::signbit(d), std::signbit(dDouble.value_or(-99.0)));
        EXPECT_TRUE(doubles.NextToken(token) && token == "next");
    };
    check("-0", 0, -0.0);
    check("+17", 17, 17.0);
    check("000000000000000000000000042", 42, 42.0);
    check("2147483647", 2147483647, 2147483647.0);
    check("-2147483648", -2147483647 - 1, -2147483648.0);
    check("2147483648", {}, 2147483648.0);
    check("-2147483649", {}, -2147483649.0);
    check("99999999999999999999", {}, 1e20);
    check("1e-400", {}, 0.0);
    check("-0.000000000000000000000000000000001e-300", {}, -0.0);
    for (const char* pszText : {"1e400", "+-1", "+", "-", "12a", "inf", "nan", "0x10", "1,5"})
        check(pszText, {}, {});
    int64_t n64 = 0;
    CTokenReader big("-9223372036854775808 9223372036854775808");
    EXPECT_TRUE(big.NextInt64(n64) && n64 == std::numeric_limits<int64_t>::min());
    EXPECT_FALSE(big.NextInt64(n64));
    EXPECT_TRUE(big.AtEnd());

    CTokenReader in("a b c\r\nsecond line \nlast");
    in.SkipRestOfLine();
    EXPECT_EQ(in.NextLine(), "second line ");
    EXPECT_EQ(in.NextLine(), "last");
    std::string_view token;
    int32_t n = 5;
    EXPECT_FALSE(in.NextToken(token) || in.NextInt(n) || !in.AtEnd());
    EXPECT_EQ(n, 5);
    in.SkipRestOfLine();
    EXPECT_EQ(in.Remaining(), 0u);
}

TEST(TokenReader, DoublesAgreeWithTheCLibrary)
{
    // Random decimal texts, short (the fast path) and long (from_chars), compared bit for bit
    // with strtod in the C locale: too large is refused, too small reads as zero.
    std::mt19937_64 random(1);
    auto digits = [&random](std::string& s, uint64_t nCount)
    {
        for (; nCount > 0; --nCount)
            s += static_cast<char>('0' + random() % 10);
    };
    const char* const SIGNS[] = {"", "-", "+"};
    int nMismatches = 0;
    for (int n = 0; n < 200000 && nMismatches < 10; ++n)
    {
        std::string text = SIGNS[random() % 2];
        digits(text, random() % 2 ? random() % 8 : random() % 24);
        if (random() % 3 != 0)
            digits(text += '.', random() % 2 ? random() % 8 : random() % 24);
        if (random() % 4 == 0)
            digits((text += random() % 2 ? 'e' : 'E') += SIGNS[random() % 3], 1 + random() % 3);
        char* pEnd = nullptr;
        const double dExpected = std::strtod(text.c_str(), &pEnd);
        const bool bAccepted =
            pEnd == text.c_str() + text.size() && !text.empty() && std::isfinite(dExpected);
        double d = -99.0;
        const std::string strBuffer = text + " ";
        CTokenReader in(strBuffer);
        const bool bRead = in.NextDouble(d);
        const bool bSame = bRead == bAccepted && (!bRead || std::memcmp(&d, &dExpected, sizeof d) == 0);
        EXPECT_TRUE(bSame) << "\"" << text << "\": read " << bRead << " " << d << ", strtod " << bAccepted;
        nMismatches += bSame ? 0 : 1;
    }
}
