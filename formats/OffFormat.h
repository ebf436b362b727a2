#pragma once

#include <string>

// The keywords an OFF file may begin with, and the optional vertex fields each announces.
struct SOffKeyword
{
    const char* pszText;
    bool bNormals, bColors, bTexCoords;
};

inline constexpr SOffKeyword OFF_KEYWORDS[] = {
    {"OFF", false, false, false},  {"STOFF", false, false, true}, {"COFF", false, true, false},
    {"NOFF", true, false, false},  {"STCOFF", false, true, true}, {"STNOFF", true, false, true},
    {"STCNOFF", true, true, true},
};

// The OFF keyword for a set of optional vertex fields: "ST", then "C", then "N", then "OFF".
std::string ComposeOFFKeyword(bool bTexCoords, bool bColors, bool bNormals);
