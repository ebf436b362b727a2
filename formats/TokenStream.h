#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/ByteWindow.h"
#include "formats/TokenReader.h"

// The white-space separated tokens of a file read block by block, or of a buffer, with the
// number rules of CTokenReader. Memory follows the longest token, not the size of the file: a
// token longer than MAX_TOKEN_LENGTH (no keyword, number or file name is that long) ends the
// reading as a failure, so a huge file of anything else costs a block or two.
class CTokenStream
{
public:
    static constexpr size_t MAX_TOKEN_LENGTH = size_t(1) << 16;

    explicit CTokenStream(std::string_view buffer) : m_bytes(buffer) {}
    // Reads the open file fd from where it stands; the caller keeps it open and closes it.
    explicit CTokenStream(int fd) : m_bytes(fd) {}
    CTokenStream(const CTokenStream&) = delete;
    CTokenStream& operator=(const CTokenStream&) = delete;

    // False at the end of the data, after a read error, and for a token that is too long; a token
    // stays valid until the next call.
    bool NextToken(std::string_view& token) { return HasToken() && m_reader.NextToken(token); }
    bool NextInt(int32_t& nValue) { return HasToken() && m_reader.NextInt(nValue); }
    bool NextDouble(double& dValue) { return HasToken() && m_reader.NextDouble(dValue); }

private:
    // True when the reader holds the next token whole: its view ends at white space, or at the
    // end of the data.
    bool HasToken();

    CByteWindow m_bytes;
    CTokenReader m_reader{std::string_view()};
    size_t m_nViewSize = 0;
};
