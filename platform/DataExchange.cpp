#include "platform/DataExchange.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace DataExchange
{
namespace
{
bool IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string RangeMessage(int nKind, const SRange& range)
{
    const char* pszWhat = nKind == FIELD_INT ? "an integer" : "a number";
    return std::string("Please enter ") + pszWhat + " between " + Format(range.dMin, nKind) + " and " +
           Format(range.dMax, nKind) + ".";
}

// The whole text as one number of the kind, or false.
bool ReadNumber(std::string_view text, int nKind, double& dValue)
{
    // from_chars takes no '+'; it is dropped unless another sign follows ("+-1" stays refused).
    if (!text.empty() && text.front() == '+' && text.size() > 1 && text[1] != '-')
        text.remove_prefix(1);
    const char* pBegin = text.data();
    const char* pEnd = pBegin + text.size();
    if (nKind == FIELD_INT)
    {
        int32_t n = 0;
        const auto res = std::from_chars(pBegin, pEnd, n);
        if (res.ec != std::errc() || res.ptr != pEnd)
            return false;
        dValue = n;
        return true;
    }
    double d = 0.0;
    const auto res = std::from_chars(pBegin, pEnd, d, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != pEnd || !std::isfinite(d))
        return false;
    if (nKind == FIELD_FLOAT)
    {
        if (std::fabs(d) > FLT_MAX)
            return false;
        d = static_cast<float>(d);
    }
    dValue = d;
    return true;
}
} // namespace

std::string Format(double dValue, int nKind)
{
    if (dValue == 0.0)
        dValue = 0.0; // no "-0"
    char buf[64];
    std::to_chars_result res{};
    if (nKind == FIELD_INT && std::fabs(dValue) < 9.0e18)
        res = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(dValue));
    else if (nKind == FIELD_FLOAT)
        res = std::to_chars(buf, buf + sizeof buf, static_cast<float>(dValue));
    else
        res = std::to_chars(buf, buf + sizeof buf, dValue);
    return std::string(buf, res.ptr);
}

double FloatAsDouble(float fValue)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, fValue);
    double d = fValue;
    std::from_chars(buf, res.ptr, d);
    return d;
}

bool Parse(std::string_view text, int nKind, const SRange* pRange, double& dValue, std::string& strMessage)
{
    double d = 0.0;
    if (!ReadNumber(Trim(text), nKind, d))
    {
        strMessage = nKind == FIELD_INT ? "Please enter an integer." : "Please enter a number.";
        return false;
    }
    if (pRange != nullptr && (d < pRange->dMin || d > pRange->dMax))
    {
        strMessage = RangeMessage(nKind, *pRange);
        return false;
    }
    dValue = d;
    return true;
}
} // namespace DataExchange
