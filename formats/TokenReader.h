#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Reads white-space separated tokens from a buffer. Numbers are parsed with from_chars, so the
// user's locale never matters; a token counts as a number only when all of it parses.
class CTokenReader
{
public:
    explicit CTokenReader(std::string_view buffer) : m_buffer(buffer) {}

    // Next token, or false at the end of the buffer.
    bool NextToken(std::string_view& token);
    bool NextInt(int32_t& nValue);
    bool NextInt64(int64_t& nValue);
    // Finite doubles only: "inf", "nan" and out-of-range values are refused.
    bool NextDouble(double& dValue);
    // Skips everything up to and including the next line feed.
    void SkipRestOfLine();
    // Reads the rest of the current line (without the line end) and moves past it.
    std::string_view NextLine();
    bool AtEnd();
    size_t Remaining() const { return m_buffer.size() - m_nPos; }
    size_t Position() const { return m_nPos; }

    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

private:
    void SkipSpace();

    std::string_view m_buffer;
    size_t m_nPos = 0;
};

// Reads a whole file in binary mode. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& strPath, std::string& contents);
