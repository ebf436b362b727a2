#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

// Reads white-space separated tokens from a buffer. Numbers are parsed with from_chars, so the
// user's locale never matters; a token counts as a number only when all of it parses. A failed
// read leaves the position after the offending token.
//
// With a comment character, that character and the rest of its line are white space wherever a
// token may start, and it ends a token ("1.5# note" is the number 1.5). Skipping the rest of a
// line takes the comment with it.
class CTokenReader
{
public:
    static constexpr int NO_COMMENT = -1;
    // No number is written with more characters than this: a longer token is refused as a
    // number without being parsed.
    static constexpr size_t MAX_NUMBER_LENGTH = 4096;

    explicit CTokenReader(std::string_view buffer, int nComment = NO_COMMENT)
        : m_buffer(buffer), m_nComment(nComment)
    {
    }

    // Next token, or false at the end of the buffer.
    bool NextToken(std::string_view& token)
    {
        SkipSpace();
        const size_t nStart = m_nPos;
        m_bHitEnd = m_nPos >= m_buffer.size();
        while (m_nPos < m_buffer.size() && !EndsTokenAt(m_buffer[m_nPos]))
            ++m_nPos;
        token = m_buffer.substr(nStart, m_nPos - nStart);
        return m_nPos > nStart;
    }
    // Decimal integers with an optional sign; values outside the type's range are refused.
    bool NextInt(int32_t& nValue) { return NextInteger(nValue); }
    bool NextInt64(int64_t& nValue) { return NextInteger(nValue); }
    // Finite doubles only: "inf", "nan" and values too large for a double are refused. A value
    // too small for one reads as zero, as the C library's readers give it.
    bool NextDouble(double& dValue)
    {
        const char* p = NumberStart();
        if (p == nullptr)
            return false;
        double dParsed;
        if (const char* pFast = ParseShortDecimal(p, m_buffer.data() + m_buffer.size(), dParsed))
        {
            EndsToken(pFast);
            dValue = dParsed;
            return true;
        }
        if (IsOverlong(p))
            return false;
        const auto res = std::from_chars(p, m_buffer.data() + m_buffer.size(), dParsed);
        if (!EndsToken(res.ptr) || res.ptr == p)
            return false;
        if (res.ec == std::errc::result_out_of_range && IsUnderflow(p, res.ptr))
            dParsed = *p == '-' ? -0.0 : 0.0;
        else if (res.ec != std::errc() || !std::isfinite(dParsed))
            return false;
        dValue = dParsed;
        return true;
    }
    // Skips everything up to and including the next line feed.
    void SkipRestOfLine();
    // Reads the rest of the current line (without the line end) and moves past it.
    std::string_view NextLine();
    bool AtEnd();
    size_t Remaining() const { return m_buffer.size() - m_nPos; }
    size_t Position() const { return m_nPos; }
    // Back or forward to a position that an earlier Position() gave, or into a token read.
    void Seek(size_t nPos) { m_nPos = nPos < m_buffer.size() ? nPos : m_buffer.size(); }
    // True when the last token read found the end of the buffer instead.
    bool HitEnd() const { return m_bHitEnd; }
    // How many tokens the line of the next token holds from there on, comments left out; the
    // position does not move. *pbLineEnds (when given) says whether the line ends inside the
    // buffer, at a line feed or a comment, rather than at the buffer's end.
    int CountTokensOnLine(bool* pbLineEnds = nullptr);

    // The C locale's white space.
    static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
    // Where the whole tokens of a window of data that goes on end: after its last blank, looked
    // for no further back than nMaxToken + 1 bytes, so that a window of one long token is not
    // searched again each time it grows. 0 when the window holds no blank, npos when it ends in a
    // token longer than nMaxToken.
    static size_t WholeTokensEnd(std::string_view window, size_t nMaxToken)
    {
        const size_t nFloor = window.size() - std::min(window.size(), nMaxToken + 1);
        for (size_t n = window.size(); n > nFloor; --n)
            if (IsSpace(window[n - 1]))
                return n;
        return window.size() > nMaxToken ? std::string_view::npos : 0;
    }

private:
    // For a number from_chars found out of range: true when it is too small rather than too large.
    static bool IsUnderflow(const char* pBegin, const char* pEnd);

    // The common case of mesh files, "-12.345678": at most 19 digits, a value below 2^53 once the
    // point is removed, and a power of ten up to 22. Both factors are then exact doubles and one
    // multiplication or division rounds correctly, giving exactly what from_chars gives. Returns
    // the end of the number, or null (leaving everything else to from_chars) when the token is
    // not of that form.
    static const char* ParseShortDecimal(const char* p, const char* pEnd, double& dValue)
    {
        static constexpr double POWERS_OF_TEN[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        const bool bNegative = *p == '-';
        if (bNegative)
            ++p;
        const char* pStart = p;
        uint64_t nMantissa = 0;
        // Past 19 digits the number is not of this form: the scan stops there, so that a run of
        // digits is not read twice.
        for (; p != pEnd && static_cast<unsigned>(*p - '0') < 10 && p - pStart < 20; ++p)
            nMantissa = nMantissa * 10 + static_cast<unsigned>(*p - '0');
        int64_t nDigits = p - pStart;
        int64_t nExponent = 0;
        if (p != pEnd && *p == '.')
        {
            const char* pFraction = ++p;
            for (; p != pEnd && static_cast<unsigned>(*p - '0') < 10 && p - pFraction < 20; ++p)
                nMantissa = nMantissa * 10 + static_cast<unsigned>(*p - '0');
            nDigits += p - pFraction;
            nExponent = -(p - pFraction);
        }
        if (nDigits == 0 || nDigits > 19)
            return nullptr;
        if (p != pEnd && (*p == 'e' || *p == 'E'))
        {
            ++p;
            const bool bNegativeExponent = p != pEnd && *p == '-';
            if (p != pEnd && (*p == '-' || *p == '+'))
                ++p;
            const char* pExponent = p;
            int64_t nPower = 0;
            for (; p != pEnd && static_cast<unsigned>(*p - '0') < 10 && p - pExponent < 4; ++p)
                nPower = nPower * 10 + (*p - '0');
            if (p == pExponent)
                return nullptr;
            nExponent += bNegativeExponent ? -nPower : nPower;
        }
        if ((p != pEnd && !IsSpace(*p)) || nMantissa > (uint64_t(1) << 53) || nExponent < -22 ||
            nExponent > 22)
            return nullptr;
        double d = static_cast<double>(nMantissa);
        d = nExponent < 0 ? d / POWERS_OF_TEN[-nExponent] : d * POWERS_OF_TEN[nExponent];
        dValue = bNegative ? -d : d;
        return p;
    }

    // True, with the token skipped, when the token at p is longer than any number.
    bool IsOverlong(const char* p)
    {
        const char* pEnd = m_buffer.data() + m_buffer.size();
        const char* pLimit =
            pEnd - p > static_cast<ptrdiff_t>(MAX_NUMBER_LENGTH) ? p + MAX_NUMBER_LENGTH : pEnd;
        while (p != pLimit && !EndsTokenAt(*p))
            ++p;
        if (p == pEnd || EndsTokenAt(*p))
            return false;
        m_nPos = static_cast<size_t>(p - m_buffer.data());
        SkipToken();
        return true;
    }
    bool IsComment(char c) const { return static_cast<unsigned char>(c) == m_nComment; }
    bool EndsTokenAt(char c) const { return IsSpace(c) || IsComment(c); }
    void SkipSpace()
    {
        for (;;)
        {
            while (m_nPos < m_buffer.size() && IsSpace(m_buffer[m_nPos]))
                ++m_nPos;
            if (m_nPos >= m_buffer.size() || !IsComment(m_buffer[m_nPos]))
                return;
            SkipRestOfLine();
        }
    }
    void SkipToken()
    {
        while (m_nPos < m_buffer.size() && !IsSpace(m_buffer[m_nPos]))
            ++m_nPos;
    }
    // Moves past the current token and reports whether the number parsed up to pParsedEnd was
    // all of it. A comment right after the number stays, to be skipped as one.
    bool EndsToken(const char* pParsedEnd)
    {
        m_nPos = static_cast<size_t>(pParsedEnd - m_buffer.data());
        const bool bWhole = m_nPos == m_buffer.size() || EndsTokenAt(m_buffer[m_nPos]);
        if (!bWhole)
            SkipToken();
        return bWhole;
    }
    // Where the number of the next token starts: past white space and a '+' (which from_chars
    // does not take). Null at the end of the buffer.
    const char* NumberStart()
    {
        SkipSpace();
        m_bHitEnd = m_nPos >= m_buffer.size();
        if (m_bHitEnd)
            return nullptr;
        const char* p = m_buffer.data() + m_nPos;
        // "+-1" is no number: the sign is given once.
        if (*p == '+' && m_nPos + 1 < m_buffer.size() && p[1] != '-')
            ++p;
        return p;
    }
    // Decimal digits by hand: the integers of a mesh file (face sizes and indices) are most of
    // its tokens, and this loop is about twice as fast as from_chars.
    template <typename T> bool NextInteger(T& value)
    {
        const char* p = NumberStart();
        if (p == nullptr)
            return false;
        const char* pEnd = m_buffer.data() + m_buffer.size();
        const bool bNegative = *p == '-';
        if (bNegative)
            ++p;
        const char* pDigits = p;
        while (p != pEnd && *p == '0')
            ++p;
        const char* pSignificant = p;
        uint64_t n = 0;
        for (; p != pEnd && static_cast<unsigned>(*p - '0') < 10; ++p)
            n = n * 10 + static_cast<unsigned>(*p - '0');
        // Up to 19 significant digits n holds the exact value; more are out of range anyway.
        if (!EndsToken(p) || p == pDigits || p - pSignificant > 19)
            return false;
        const uint64_t nLimit = static_cast<uint64_t>(std::numeric_limits<T>::max()) + (bNegative ? 1 : 0);
        if (n > nLimit)
            return false;
        value = static_cast<T>(bNegative ? 0 - n : n);
        return true;
    }

    std::string_view m_buffer;
    size_t m_nPos = 0;
    int m_nComment;
    bool m_bHitEnd = false;
};

class CInputFile;

// Limits on what ReadWholeFile reads, and what it met.
struct SReadLimits
{
    // Text: the data ends at its first NUL byte, which no text holds; nothing after it is read.
    bool bStopAtNul = false;
    // The most bytes taken (a pipe may deliver without end); more is a failure.
    uint64_t nMaxBytes = UINT64_MAX;
    // Set by the read.
    bool bStoppedAtNul = false;
    bool bOverLimit = false;
};

// Reads a whole file in binary mode, opened as CInputFile opens it: false at once for a folder, a
// device or a pipe (unless a CPipeInputPermit names it), and when the file cannot be opened or
// read or holds more than memory does, or than pLimits allows (then pLimits->bOverLimit is set).
bool ReadWholeFile(const std::string& strPath, std::string& contents, SReadLimits* pLimits = nullptr);
// The same for a file already open, appending what remains of it to contents.
bool ReadRestOfFile(const CInputFile& file, std::string& contents, SReadLimits* pLimits = nullptr);
