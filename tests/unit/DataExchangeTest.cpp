#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "model/SceneTime.h"
#include "platform/DataExchange.h"
#include "platform/PackedColor.h"
#include "unit/FileTestSupport.h"

namespace
{
// The value of a field's text, or nothing when it is refused (with a message, value untouched).
std::optional<double> Read(const std::string& text, int nKind, const DataExchange::SRange* pRange = nullptr)
{
    double d = -99.0;
    std::string strMessage;
    if (DataExchange::Parse(text, nKind, pRange, d, strMessage))
        return d;
    EXPECT_TRUE(d == -99.0 && !strMessage.empty()) << text;
    return std::nullopt;
}
} // namespace

TEST(DataExchange, FieldsAreShownAndReadInTheCLocale)
{
    const std::tuple<const char*, int, std::optional<double>> rows[] = {
        {" +1.5\t", FIELD_DOUBLE, 1.5}, {"-1e-3", FIELD_DOUBLE, -0.001}, {"+-1", FIELD_DOUBLE, std::nullopt},
        {"1.5 2", FIELD_DOUBLE, {}},    {"0x10", FIELD_DOUBLE, {}},      {"", FIELD_DOUBLE, {}},
        {"inf", FIELD_DOUBLE, {}},      {"-nan", FIELD_DOUBLE, {}},      {"1e400", FIELD_DOUBLE, {}},
        {"0.1", FIELD_FLOAT, 0.1f},     {"3.5e38", FIELD_FLOAT, {}},     {"-7", FIELD_INT, -7.0},
        {"2.5", FIELD_INT, {}},         {"2147483648", FIELD_INT, {}},
    };
    for (const auto& [pszText, nKind, expected] : rows)
        EXPECT_EQ(Read(pszText, nKind), expected) << '"' << pszText << "\" kind " << nKind;

    // Ranges include their ends; the message names them as the field shows numbers.
    const DataExchange::SRange angle{0.01, 179.0}, count{1, 128};
    EXPECT_EQ(Read("0.01", FIELD_DOUBLE, &angle), 0.01);
    double d = 0.0;
    std::string strMessage;
    EXPECT_FALSE(DataExchange::Parse("179.001", FIELD_DOUBLE, &angle, d, strMessage));
    EXPECT_EQ(strMessage, "Please enter a number between 0.01 and 179.");
    EXPECT_FALSE(DataExchange::Parse("0", FIELD_INT, &count, d, strMessage));
    EXPECT_EQ(strMessage, "Please enter an integer between 1 and 128.");

    // Presets are short, read back exactly, and ignore a locale with a decimal comma.
    FileTestSupport::CGermanLocale german;
    for (const double dValue : {0.1, 1.0 / 3.0, -1e-5, 1e20, 0.7071067811865476})
        EXPECT_EQ(Read(DataExchange::Format(dValue, FIELD_DOUBLE), FIELD_DOUBLE), dValue);
    EXPECT_EQ(DataExchange::Format(1.5, FIELD_DOUBLE), "1.5");
    EXPECT_EQ(DataExchange::Format(-0.0, FIELD_DOUBLE), "0");
    EXPECT_EQ(DataExchange::Format(0.29f, FIELD_FLOAT), "0.29");
    EXPECT_EQ(DataExchange::FloatAsDouble(30.1f), 30.1);
    EXPECT_EQ(Read("1,5", FIELD_DOUBLE), std::nullopt);
}

TEST(SceneTime, EveryDialogTimeSurvivesItsOwnPreset)
{
    const int32_t nLast = SceneTime::FromSeconds(SceneTime::MAX_DIALOG_SECONDS);
    ASSERT_EQ(nLast, 999900);
    int nFailures = 0;
    for (int32_t nTime = 0; nTime <= nLast && nFailures < 5; ++nTime)
    {
        const std::string text = DataExchange::Format(SceneTime::ToSeconds(nTime), FIELD_FLOAT);
        const std::optional<double> dSeconds = Read(text, FIELD_FLOAT);
        if (dSeconds && SceneTime::FromSeconds(*dSeconds) == nTime)
            continue;
        ++nFailures;
        ADD_FAILURE() << nTime << " shows as " << text;
    }
    EXPECT_EQ(SceneTime::FromSeconds(SceneTime::MAX_TIME / 100.0), std::numeric_limits<int32_t>::max());
}

// Every byte comes back from its float; a float truncates (0.7 gives 178).
TEST(PackedColor, BytesRoundTripAndFloatsTruncate)
{
    for (uint32_t n = 0; n < 256; ++n)
    {
        float fColor[3];
        PackedColor::ToFloats(n << 16 | (255 - n) << 8 | n, fColor);
        EXPECT_EQ(PackedColor::FromFloats(fColor), n << 16 | (255 - n) << 8 | n);
    }
    const float fSeven[3] = {0.7f, 0.7f, 0.7f};
    EXPECT_EQ(PackedColor::FromFloats(fSeven), 0xB2B2B2u);
}
