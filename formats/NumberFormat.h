#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

// Locale-independent number text for files and batch output. The user's locale (which
// QApplication installs) never changes what is written.
namespace NumberFormat
{
// printf "%.Nf": fixed notation with the given decimals (6 for OFF and ASCII STL).
void AppendFixed(std::string& out, double dValue, int nDecimals = 6);
// printf "%g" with six significant digits, as keyframe records are written.
void AppendGeneral(std::string& out, double dValue);
void AppendInt(std::string& out, int64_t nValue);

std::string Fixed(double dValue, int nDecimals = 6);
std::string General(double dValue);

// Writers check their numbers with this: infinity and NaN would be written as text or bits that
// no reader takes back, so a writer refuses them rather than write such a file.
template <typename T> bool AllFinite(const T* pValues, int nCount)
{
    return std::all_of(pValues, pValues + nCount, [](T value) { return std::isfinite(value); });
}
} // namespace NumberFormat
