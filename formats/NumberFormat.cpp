#include "formats/NumberFormat.h"

#include <charconv>
#include <cmath>

namespace NumberFormat
{
namespace
{
// Non-finite values get printf's spelling; to_chars would write "inf" too, but keep it explicit.
bool AppendNonFinite(std::string& out, double dValue)
{
    if (std::isnan(dValue))
    {
        out += std::signbit(dValue) ? "-nan" : "nan";
        return true;
    }
    if (std::isinf(dValue))
    {
        out += dValue < 0 ? "-inf" : "inf";
        return true;
    }
    return false;
}
} // namespace

void AppendFixed(std::string& out, double dValue, int nDecimals)
{
    if (AppendNonFinite(out, dValue))
        return;
    if (nDecimals < 0)
        nDecimals = 6; // as printf treats a negative precision
    // The largest double in fixed notation has 309 integer digits.
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, dValue, std::chars_format::fixed, nDecimals);
    if (res.ec == std::errc())
    {
        out.append(buf, res.ptr);
        return;
    }
    std::string big(320 + static_cast<size_t>(nDecimals), '\0');
    res = std::to_chars(big.data(), big.data() + big.size(), dValue, std::chars_format::fixed, nDecimals);
    out.append(big.data(), res.ptr);
}

void AppendGeneral(std::string& out, double dValue)
{
    if (AppendNonFinite(out, dValue))
        return;
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, dValue, std::chars_format::general, 6);
    out.append(buf, res.ptr);
}

void AppendInt(std::string& out, int64_t nValue)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, nValue);
    out.append(buf, res.ptr);
}

std::string Fixed(double dValue, int nDecimals)
{
    std::string s;
    AppendFixed(s, dValue, nDecimals);
    return s;
}

std::string General(double dValue)
{
    std::string s;
    AppendGeneral(s, dValue);
    return s;
}
} // namespace NumberFormat
