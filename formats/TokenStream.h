#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/ByteWindow.h"
#include "formats/TokenReader.h"

// The white-space separated tokens of a file read block by block, or of a buffer, with the
// number rules of CTokenReader, and with its comments when a comment character is given. Memory
// follows the longest token, not the size of the file: a token longer than MAX_TOKEN_LENGTH (no
// keyword, number or file name is that long) ends the reading as a failure, so a huge file of
// anything else costs a block or two. Every byte is scanned a bounded number of times, so the
// time follows the size of the file whatever it holds.
class CTokenStream
{
public:
    static constexpr size_t MAX_TOKEN_LENGTH = size_t(1) << 16;

    explicit CTokenStream(std::string_view buffer, int nComment = CTokenReader::NO_COMMENT)
        : m_ownBytes(buffer), m_bytes(m_ownBytes), m_nComment(nComment)
    {
    }
    // Reads the open file fd from where it stands; the caller keeps it open and closes it.
    explicit CTokenStream(int fd, int nComment = CTokenReader::NO_COMMENT)
        : m_ownBytes(fd), m_bytes(m_ownBytes), m_nComment(nComment)
    {
    }
    // Reads the caller's bytes from where their window stands.
    explicit CTokenStream(CByteWindow& bytes, int nComment = CTokenReader::NO_COMMENT)
        : m_ownBytes(std::string_view()), m_bytes(bytes), m_nComment(nComment)
    {
    }
    CTokenStream(const CTokenStream&) = delete;
    CTokenStream& operator=(const CTokenStream&) = delete;

    // False at the end of the data, after a read error, and for a token that is too long; a token
    // stays valid until the next call.
    bool NextToken(std::string_view& token) { return HasToken() && m_reader.NextToken(token); }
    bool NextInt(int32_t& nValue) { return HasToken() && m_reader.NextInt(nValue); }
    bool NextDouble(double& dValue) { return HasToken() && m_reader.NextDouble(dValue); }
    // Skips everything up to and including the next line feed.
    void SkipRestOfLine();
    // How many tokens the line of the next token holds from there on, comments left out, without
    // moving: 0 at the end of the data, -1 when the line runs on for more than MAX_TOKEN_LENGTH
    // bytes.
    int CountTokensOnLine();
    // Back to the start of the data; false when a file cannot seek.
    bool Rewind();

private:
    // True when the reader holds the next token whole.
    bool HasToken() { return !m_reader.AtEnd() || NextView(); }
    // Consumes what the reader has gone through and gives it the next view: the window up to a
    // place where no token and no comment is cut.
    bool NextView();
    // Where the view of the window may end: after its last blank, but before a comment that
    // starts on the last line. Npos when the window ends in a token that is too long.
    size_t WholePart(std::string_view window) const;
    // More bytes into the window; false after a read error.
    bool More();

    CByteWindow m_ownBytes;
    CByteWindow& m_bytes;
    int m_nComment;
    std::string_view m_view;
    CTokenReader m_reader{std::string_view()};
    bool m_bEnd = false;      // the window holds the rest of the data
    bool m_bSkipLine = false; // the window starts inside a line being skipped
};
