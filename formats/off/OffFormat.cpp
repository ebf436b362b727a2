#include "formats/off/OffFormat.h"

std::string ComposeOFFKeyword(bool bTexCoords, bool bColors, bool bNormals)
{
    std::string s;
    if (bTexCoords)
        s += "ST";
    if (bColors)
        s += "C";
    if (bNormals)
        s += "N";
    return s + "OFF";
}

const SOffKeyword* MatchOFFKeyword(std::string_view token, std::string_view& joined)
{
    joined = std::string_view();
    for (const SOffKeyword& k : OFF_KEYWORDS)
    {
        const std::string_view text = k.pszText;
        if (token == text)
            return &k;
        // Joined to the vertex count: the count is read from where the keyword ends.
        if (token.size() > text.size() && token.substr(0, text.size()) == text && token[text.size()] >= '0' &&
            token[text.size()] <= '9')
        {
            joined = token.substr(text.size());
            return &k;
        }
    }
    return nullptr;
}
