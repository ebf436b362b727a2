#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "animation/SceneTime.h"
#include "platform/DataExchange.h"
#include "unit/FileTestSupport.h"

namespace
{
using DataExchange::SRange;

std::optional<double> ParseOrNothing(const std::string& text, int nKind, const SRange* pRange = nullptr)
{
    double d = -99.0;
    std::string strMessage;
    if (!DataExchange::Parse(text, nKind, pRange, d, strMessage))
    {
        EXPECT_EQ(d, -99.0) << "a refused field leaves the value alone";
        EXPECT_FALSE(strMessage.empty());
        return std::nullopt;
    }
    return d;
}
} // namespace

TEST(DataExchange, OnlyWholeFiniteNumbersOfTheFieldsKindPass)
{
    const std::tuple<const char*, int, std::optional<double>> rows[] = {
        {" 1.5\t", FIELD_DOUBLE, 1.5},
        {"+2", FIELD_DOUBLE, 2.0},
        {"-1e-3", FIELD_DOUBLE, -0.001},
        {"1e308", FIELD_DOUBLE, 1e308},
        {"+-1", FIELD_DOUBLE, std::nullopt},
        {"1,5", FIELD_DOUBLE, std::nullopt},
        {"1.5 2", FIELD_DOUBLE, std::nullopt},
        {"12abc", FIELD_DOUBLE, std::nullopt},
        {"0x10", FIELD_DOUBLE, std::nullopt},
        {"", FIELD_DOUBLE, std::nullopt},
        {"inf", FIELD_DOUBLE, std::nullopt},
        {"-nan", FIELD_DOUBLE, std::nullopt},
        {"1e400", FIELD_DOUBLE, std::nullopt},
        {"0.1", FIELD_FLOAT, static_cast<double>(0.1f)},
        {"3.4e38", FIELD_FLOAT, static_cast<double>(3.4e38f)},
        {"3.5e38", FIELD_FLOAT, std::nullopt},
        {"-7", FIELD_INT, -7.0},
        {"2.5", FIELD_INT, std::nullopt},
        {"2147483648", FIELD_INT, std::nullopt},
    };
    for (const auto& [pszText, nKind, expected] : rows)
        EXPECT_EQ(ParseOrNothing(pszText, nKind), expected) << '"' << pszText << "\" kind " << nKind;

    // Ranges include their ends; the message names them as the field shows numbers.
    const SRange angle{0.01, 179.0};
    EXPECT_EQ(ParseOrNothing("179", FIELD_DOUBLE, &angle), 179.0);
    EXPECT_EQ(ParseOrNothing("0.01", FIELD_DOUBLE, &angle), 0.01);
    double d = 0.0;
    std::string strMessage;
    EXPECT_FALSE(DataExchange::Parse("0.005", FIELD_DOUBLE, &angle, d, strMessage));
    EXPECT_EQ(strMessage, "Please enter a number between 0.01 and 179.");
    const SRange count{1, 128};
    EXPECT_FALSE(DataExchange::Parse("0", FIELD_INT, &count, d, strMessage));
    EXPECT_EQ(strMessage, "Please enter an integer between 1 and 128.");
    EXPECT_FALSE(DataExchange::Parse("x", FIELD_INT, &count, d, strMessage));
    EXPECT_EQ(strMessage, "Please enter an integer.");
}

TEST(DataExchange, PresetsAreShortReadBackExactlyAndIgnoreTheLocale)
{
    FileTestSupport::CGermanLocale german;
    for (const double dValue : {0.1, 1.0 / 3.0, -1e-5, 1e20, 0.7071067811865476, -123456.789})
    {
        const std::string text = DataExchange::Format(dValue, FIELD_DOUBLE);
        EXPECT_EQ(ParseOrNothing(text, FIELD_DOUBLE), dValue) << text;
    }
    EXPECT_EQ(DataExchange::Format(1.5, FIELD_DOUBLE), "1.5");
    EXPECT_EQ(DataExchange::Format(-0.0, FIELD_DOUBLE), "0");
    EXPECT_EQ(DataExchange::Format(0.29f, FIELD_FLOAT), "0.29");
    EXPECT_EQ(DataExchange::Format(-42, FIELD_INT), "-42");
    EXPECT_EQ(DataExchange::FloatAsDouble(30.1f), 30.1);
    EXPECT_EQ(static_cast<float>(DataExchange::FloatAsDouble(30.1f)), 30.1f);
    EXPECT_EQ(ParseOrNothing("1,5", FIELD_DOUBLE), std::nullopt);
}

TEST(SceneTime, EveryDialogTimeSurvivesItsOwnPreset)
{
    const int32_t nLast = SceneTime::FromSeconds(SceneTime::MAX_DIALOG_SECONDS);
    ASSERT_EQ(nLast, 999900);
    int nFailures = 0;
    for (int32_t nTime = 0; nTime <= nLast && nFailures < 5; ++nTime)
    {
        const std::string text = DataExchange::Format(SceneTime::ToSeconds(nTime), FIELD_FLOAT);
        const std::optional<double> dSeconds = ParseOrNothing(text, FIELD_FLOAT);
        if (!dSeconds || SceneTime::FromSeconds(*dSeconds) != nTime)
        {
            ++nFailures;
            ADD_FAILURE() << nTime << " shows as " << text;
        }
    }
    // Typed seconds round to the nearest hundredth, also where the float lies just below it.
    EXPECT_EQ(SceneTime::FromSeconds(0.29f), 29);
    EXPECT_EQ(SceneTime::FromSeconds(1.23f), 123);
    EXPECT_EQ(SceneTime::FromSeconds(SceneTime::MAX_TIME / 100.0), std::numeric_limits<int32_t>::max());
}
