#pragma once

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
} // namespace NumberFormat
