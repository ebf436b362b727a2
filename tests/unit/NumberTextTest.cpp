#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "formats/NumberFormat.h"
#include "formats/TokenReader.h"

TEST(NumberFormat, MatchesPrintfInTheCLocale)
{
    const double values[] = {0.0,  -0.0,   2.5, 0.0000004, -0.0000004, 1.0 / 3.0, -123456.7890125,
                             1e20, 5e-324, 1e-5};
    for (double d : values)
    {
        char buf[400];
        std::snprintf(buf, sizeof buf, "%f", d);
        EXPECT_EQ(NumberFormat::Fixed(d), buf) << d;
        std::snprintf(buf, sizeof buf, "%.3f", d);
        EXPECT_EQ(NumberFormat::Fixed(d, 3), buf) << d;
        std::snprintf(buf, sizeof buf, "%g", d);
        EXPECT_EQ(NumberFormat::General(d), buf) << d;
    }
    // More decimals than the usual buffer holds for the largest double.
    char buf[800];
    std::snprintf(buf, sizeof buf, "%.200f", -1.7976931348623157e308);
    EXPECT_EQ(NumberFormat::Fixed(-1.7976931348623157e308, 200), buf);
    EXPECT_EQ(NumberFormat::Fixed(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(NumberFormat::General(-std::numeric_limits<double>::infinity()), "-inf");
    std::string s = "n=";
    NumberFormat::AppendInt(s, -9223372036854775807 - 1);
    EXPECT_EQ(s, "n=-9223372036854775808");
}

TEST(TokenReader, IntegersAndDoublesWholeTokensOnly)
{
    struct
    {
        const char* pszText;
        bool bInt32;
        int32_t nValue;
        bool bDouble;
        double dValue;
    } const rows[] = {
        {"0", true, 0, true, 0.0},
        {"-0", true, 0, true, -0.0},
        {"+17", true, 17, true, 17.0},
        {"000000000000000000000000042", true, 42, true, 42.0},
        {"2147483647", true, 2147483647, true, 2147483647.0},
        {"-2147483648", true, -2147483647 - 1, true, -2147483648.0},
        {"2147483648", false, 0, true, 2147483648.0},
        {"-2147483649", false, 0, true, -2147483649.0},
        {"99999999999999999999", false, 0, true, 1e20},
        {"1e-400", false, 0, true, 0.0},
        {"-0.000000000000000000000000000000001e-300", false, 0, true, -0.0},
        {"1e400", false, 0, false, 0.0},
        {"+-1", false, 0, false, 0.0},
        {"+", false, 0, false, 0.0},
        {"-", false, 0, false, 0.0},
        {"12a", false, 0, false, 0.0},
        {"inf", false, 0, false, 0.0},
        {"nan", false, 0, false, 0.0},
        {"0x10", false, 0, false, 0.0},
        {"1,5", false, 0, false, 0.0},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.pszText);
        // Each number is followed by another token, which must be the next one read.
        const std::string text = std::string(" \t") + row.pszText + "\r\nnext";
        int32_t n = -99;
        CTokenReader ints(text);
        EXPECT_EQ(ints.NextInt(n), row.bInt32);
        if (row.bInt32)
            EXPECT_EQ(n, row.nValue);
        else
            EXPECT_EQ(n, -99);
        std::string_view token;
        EXPECT_TRUE(ints.NextToken(token));
        EXPECT_EQ(token, "next");

        double d = -99.0;
        CTokenReader doubles(text);
        EXPECT_EQ(doubles.NextDouble(d), row.bDouble);
        if (row.bDouble)
        {
            EXPECT_EQ(d, row.dValue);
            EXPECT_EQ(std::signbit(d), std::signbit(row.dValue));
        }
        EXPECT_TRUE(doubles.NextToken(token));
        EXPECT_EQ(token, "next");
    }
    int64_t n64 = 0;
    CTokenReader big("-9223372036854775808 9223372036854775808");
    EXPECT_TRUE(big.NextInt64(n64));
    EXPECT_EQ(n64, std::numeric_limits<int64_t>::min());
    EXPECT_FALSE(big.NextInt64(n64));
    EXPECT_TRUE(big.AtEnd());
}

TEST(TokenReader, DoublesAgreeWithTheCLibrary)
{
    // Random decimal texts of every shape, short and long, compared bit for bit with strtod in
    // the C locale (correctly rounded; too large is refused, too small reads as zero).
    uint64_t nState = 0x9E3779B97F4A7C15u;
    auto next = [&nState](unsigned nRange)
    {
        nState = nState * 6364136223846793005u + 1442695040888963407u;
        return static_cast<unsigned>((nState >> 33) % nRange);
    };
    int nMismatches = 0;
    for (int n = 0; n < 200000 && nMismatches < 10; ++n)
    {
        std::string text;
        if (next(3) == 0)
            text += '-';
        for (unsigned i = next(next(2) ? 8 : 24); i > 0; --i)
            text += static_cast<char>('0' + next(10));
        if (next(3) != 0)
        {
            text += '.';
            for (unsigned i = next(next(2) ? 8 : 24); i > 0; --i)
                text += static_cast<char>('0' + next(10));
        }
        if (next(4) == 0)
        {
            text += next(2) ? 'e' : 'E';
            const unsigned nSign = next(3);
            if (nSign != 0)
                text += nSign == 1 ? '-' : '+';
            for (unsigned i = 1 + next(3); i > 0; --i)
                text += static_cast<char>('0' + next(10));
        }
        char* pEnd = nullptr;
        errno = 0;
        const double dExpected = std::strtod(text.c_str(), &pEnd);
        const bool bAccepted =
            pEnd == text.c_str() + text.size() && !text.empty() && std::isfinite(dExpected);
        double d = -99.0;
        const std::string strBuffer = text + " ";
        CTokenReader in(strBuffer);
        const bool bRead = in.NextDouble(d);
        if (bRead != bAccepted || (bRead && std::memcmp(&d, &dExpected, sizeof d) != 0))
        {
            ++nMismatches;
            ADD_FAILURE() << "\"" << text << "\": read " << bRead << " " << d << ", strtod " << bAccepted
                          << " " << dExpected;
        }
    }
}

TEST(TokenReader, LinesAndEnds)
{
    CTokenReader in("a b c\r\nsecond line \nlast");
    std::string_view token;
    ASSERT_TRUE(in.NextToken(token));
    in.SkipRestOfLine();
    EXPECT_EQ(in.NextLine(), "second line ");
    EXPECT_FALSE(in.AtEnd());
    EXPECT_EQ(in.NextLine(), "last");
    EXPECT_TRUE(in.AtEnd());
    EXPECT_FALSE(in.NextToken(token));
    int32_t n = 5;
    EXPECT_FALSE(in.NextInt(n));
    EXPECT_EQ(n, 5);
    in.SkipRestOfLine();
    EXPECT_EQ(in.Remaining(), 0u);
}
