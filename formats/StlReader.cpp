// Reading STL files into a mesh: CMesh::ReadSTL and its buffer form, and the ASCII counting pass.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>

#include "formats/FileKind.h"
#include "formats/StlFormat.h"
#include "formats/TokenReader.h"
#include "platform/FileName.h"
#include "platform/ReadProgress.h"
#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"

namespace
{
// Every facet becomes three vertices of its own, and the mesh counts vertices in 32 bits.
constexpr int64_t MAX_FACETS = std::numeric_limits<int32_t>::max() / 3;
// Tokens of an ASCII facet: 9 words, the normal and three vertices.
constexpr int ASCII_TOKENS_PER_FACET = 21;
// A regular binary file is read in blocks of this many facets (800 KB): the file's bytes never
// take memory of their own beside the mesh.
constexpr size_t FACETS_PER_BLOCK = 16384;

uint32_t LoadUInt32(const char* p)
{
    uint32_t nValue;
    std::memcpy(&nValue, p, 4);
    if constexpr (std::endian::native != std::endian::little)
        nValue =
            ((nValue & 0xFFu) << 24) | ((nValue & 0xFF00u) << 8) | ((nValue >> 8) & 0xFF00u) | (nValue >> 24);
    return nValue;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the lower-case copy of [p, pEnd) contains the lower-case word.
bool ContainsLower(const char* p, const char* pEnd, std::string_view word)
{
    const size_t n = word.size();
    for (; static_cast<size_t>(pEnd - p) >= n; ++p)
    {
        if (Lower(*p) != word[0])
            continue;
        size_t i = 1;
        while (i < n && Lower(p[i]) == word[i])
            ++i;
        if (i == n)
            return true;
    }
    return false;
}

const char* LineEnd(const char* p, const char* pEnd)
{
    if (p == pEnd)
        return pEnd;
    const void* pFound = std::memchr(p, '\n', static_cast<size_t>(pEnd - p));
    return pFound != nullptr ? static_cast<const char*>(pFound) : pEnd;
}

bool IsNormalAt(const char* p)
{
    static constexpr char WORD[] = "normal";
    for (int i = 0; i < 6; ++i)
        if (Lower(p[i]) != WORD[i])
            return false;
    return true;
}

// The next 'm' or 'M' at or after p, or pEnd. Eight bytes at a time: "m" is the rarest letter of
// "normal" in STL text (vertex lines have none), so most words hold no candidate.
const char* FindLetterM(const char* p, const char* pEnd)
{
    constexpr uint64_t ONES = 0x0101010101010101u;
    for (; pEnd - p >= 8; p += 8)
    {
        uint64_t nWord;
        std::memcpy(&nWord, p, 8);
        // Zero bytes where a byte is 'm' or 'M'; the mask may also flag a byte just after a true
        // match (a borrow), which the caller's check of the word sorts out.
        const uint64_t nDiff = (nWord | (ONES * 0x20)) ^ (ONES * 'm');
        const uint64_t nMask = (nDiff - ONES) & ~nDiff & (ONES * 0x80);
        if (nMask != 0)
            return p + (std::endian::native == std::endian::little ? std::countr_zero(nMask)
                                                                   : std::countl_zero(nMask)) /
                           8;
    }
    for (; p < pEnd; ++p)
        if (Lower(*p) == 'm')
            return p;
    return pEnd;
}

// Lines in [p, pEnd) whose lower-case copy contains "normal". The word holds no line feed, so a
// match is counted once and the search goes on at the next line.
int64_t CountNormalLines(const char* p, const char* pEnd)
{
    int64_t nLines = 0;
    const char* pLine = p;
    for (const char* pM = FindLetterM(p, pEnd); pM != pEnd; pM = FindLetterM(pM + 1, pEnd))
    {
        // 'm' is the fourth letter of the word.
        if (pM - pLine < 3 || pEnd - pM < 3 || !IsNormalAt(pM - 3))
            continue;
        ++nLines;
        pM = LineEnd(pM, pEnd);
        if (pM == pEnd)
            break;
        pLine = pM + 1;
    }
    return nLines;
}

// A facet normal is read and dropped, so anything from_chars takes for a number will do there,
// "nan" and out-of-range values included.
bool SkipNumber(CTokenReader& in)
{
    std::string_view token;
    if (!in.NextToken(token))
        return false;
    const char* pBegin = token.data();
    const char* pEnd = pBegin + token.size();
    if (*pBegin == '+' && token.size() > 1 && pBegin[1] != '-')
        ++pBegin;
    double dValue;
    const auto res = std::from_chars(pBegin, pEnd, dValue);
    return res.ptr == pEnd && (res.ec == std::errc() || res.ec == std::errc::result_out_of_range);
}

bool SkipWords(CTokenReader& in, int nWords)
{
    std::string_view token;
    for (int i = 0; i < nWords; ++i)
        if (!in.NextToken(token))
            return false;
    return true;
}

// Vertex coordinates must be finite numbers.
bool ReadVertex(CTokenReader& in, double* pOut)
{
    return in.NextDouble(pOut[0]) && in.NextDouble(pOut[1]) && in.NextDouble(pOut[2]);
}

// Whether a binary file's count fits the nBody bytes after its header: N facets must be there,
// 3N vertices must fit a 32-bit count, and a count of 0 before whole facets is a damaged count,
// not an empty model.
bool BinaryCountFits(uint64_t nFacets, uint64_t nBody)
{
    const uint64_t nRoom = nBody / STL_FACET_SIZE;
    return nFacets <= nRoom && nFacets <= static_cast<uint64_t>(MAX_FACETS) && !(nFacets == 0 && nRoom > 0);
}

// Widens the three vertices of each of nFacets binary facets at p into consecutive records of six
// doubles from pRecord on. The facet normals are skipped. False when a coordinate is not finite
// (NaN and the infinities are the floats whose exponent bits are all set); one flag for the whole
// block keeps the loop free of branches.
bool StoreBinaryFacets(const char* p, size_t nFacets, double* pRecord)
{
    constexpr uint32_t EXPONENT = 0x7F800000u;
    uint32_t nBad = 0;
    for (size_t k = 0; k < nFacets; ++k, p += STL_FACET_SIZE)
        for (int v = 0; v < 3; ++v, pRecord += 6)
            for (int i = 0; i < 3; ++i)
            {
                const uint32_t nBits = LoadUInt32(p + 12 + 12 * v + 4 * i);
                nBad |= static_cast<uint32_t>((nBits & EXPONENT) == EXPONENT);
                pRecord[i] = static_cast<double>(std::bit_cast<float>(nBits));
            }
    return nBad == 0;
}

// Reads up to nBytes, fewer only at the end of the file; the count read, or -1 on an error.
ssize_t ReadUpTo(int fd, char* p, size_t nBytes)
{
    size_t nRead = 0;
    while (nRead < nBytes)
    {
        const ssize_t n = ::read(fd, p + nRead, nBytes - nRead);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        nRead += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(nRead);
}

// Closes a file descriptor on every way out.
struct SFileCloser
{
    int fd;
    ~SFileCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};
} // namespace

int64_t CountAsciiSTLNormalLines(std::string_view buffer)
{
    const char* p = buffer.data();
    const char* pEnd = p + buffer.size();
    const char* pFirstEnd = LineEnd(p, pEnd);
    return pFirstEnd == pEnd ? 0 : CountNormalLines(pFirstEnd + 1, pEnd);
}

bool CMesh::ParseBinarySTL(std::string_view buffer)
{
    if (buffer.size() < STL_HEADER_SIZE + 4)
        return false;
    const uint64_t nFacets = LoadUInt32(buffer.data() + STL_HEADER_SIZE);
    if (!BinaryCountFits(nFacets, buffer.size() - STL_HEADER_SIZE - 4))
        return false;
    m_nRecordSize = 6;
    AllocateTriangles(static_cast<int32_t>(nFacets));
    return StoreBinaryFacets(buffer.data() + STL_HEADER_SIZE + 4, static_cast<size_t>(nFacets),
                             m_pVertexPool.get());
}

bool CMesh::ReadBinarySTLFile(const std::string& strPath, CReadProgress* pProgress)
{
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const SFileCloser closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const uint64_t nFileSize = static_cast<uint64_t>(st.st_size);
    char header[STL_HEADER_SIZE + 4];
    if (nFileSize < sizeof header ||
        ReadUpTo(fd, header, sizeof header) != static_cast<ssize_t>(sizeof header))
        return false;
    const uint64_t nFacets = LoadUInt32(header + STL_HEADER_SIZE);
    if (!BinaryCountFits(nFacets, nFileSize - sizeof header))
        return false;
    m_nRecordSize = 6;
    AllocateTriangles(static_cast<int32_t>(nFacets));
    const std::unique_ptr<char[]> pBlock(new char[FACETS_PER_BLOCK * STL_FACET_SIZE]);
    double* pRecord = m_pVertexPool.get();
    for (uint64_t nDone = 0; nDone < nFacets;)
    {
        const size_t nCount = static_cast<size_t>(std::min<uint64_t>(FACETS_PER_BLOCK, nFacets - nDone));
        // A file that shrank since its size was taken ends early: that is a short file too.
        const size_t nBytes = nCount * STL_FACET_SIZE;
        if (ReadUpTo(fd, pBlock.get(), nBytes) != static_cast<ssize_t>(nBytes) ||
            !StoreBinaryFacets(pBlock.get(), nCount, pRecord))
            return false;
        pRecord += nCount * 3 * 6;
        nDone += nCount;
        if (pProgress != nullptr)
            pProgress->SetDone(sizeof header + nDone * STL_FACET_SIZE);
    }
    return true;
}

bool CMesh::ParseAsciiSTL(std::string_view buffer, CReadProgress* pProgress)
{
    const char* p = buffer.data();
    const char* pEnd = p + buffer.size();
    const char* pFirstEnd = LineEnd(p, pEnd);
    if (!ContainsLower(p, pFirstEnd, "solid"))
        return false;
    // Text holds no NUL byte; a binary file whose header starts with "solid" does (its count, its
    // attribute words), and must not pass for an empty ASCII solid.
    if (std::memchr(p, '\0', buffer.size()) != nullptr)
        return false;
    const char* pBody = pFirstEnd == pEnd ? pEnd : pFirstEnd + 1;

    // The counting pass decides how many facets are read, whatever follows them.
    const int64_t nFacets = CountNormalLines(pBody, pEnd);
    // A facet takes at least 21 one-character tokens and their separators: refuse a count the
    // file cannot hold before allocating for it.
    const int64_t nBodySize = pEnd - pBody;
    if (nFacets > MAX_FACETS || nFacets * 2 * ASCII_TOKENS_PER_FACET > nBodySize + 1)
        return false;

    m_nRecordSize = 6;
    AllocateTriangles(static_cast<int32_t>(nFacets));
    double* pRecord = m_pVertexPool.get();
    CTokenReader in(std::string_view(pBody, static_cast<size_t>(nBodySize)));
    for (int64_t k = 0; k < nFacets; ++k, pRecord += 3 * 6)
    {
        if (pProgress != nullptr && (static_cast<uint64_t>(k) & (CReadProgress::REPORT_EVERY - 1)) == 0)
            pProgress->SetDone(static_cast<uint64_t>(pBody - p) + in.Position());
        // "facet normal" n n n "outer loop vertex" v v v "vertex" v v v "vertex" v v v
        // "endloop endfacet"; the words are not compared.
        if (!SkipWords(in, 2) || !SkipNumber(in) || !SkipNumber(in) || !SkipNumber(in) || !SkipWords(in, 3) ||
            !ReadVertex(in, pRecord) || !SkipWords(in, 1) || !ReadVertex(in, pRecord + 6) ||
            !SkipWords(in, 1) || !ReadVertex(in, pRecord + 12) || !SkipWords(in, 2))
            return false;
    }
    return true;
}

void CMesh::FinishSTLRead(const std::string& strPath)
{
    CompleteTriangleSoup();
    m_vPosition = CVector3();
    m_strPath = strPath;
    m_strName = FileNameOfPath(strPath);
    m_bLoaded = true;
}

bool CMesh::ReadSTLBuffer(std::string_view buffer, int nMode, const std::string& strPath)
{
    if (m_bLoaded || (nMode != STL_BINARY && nMode != STL_ASCII))
        return false;
    const int32_t nRecordSize = m_nRecordSize;
    try
    {
        if (nMode == STL_BINARY ? ParseBinarySTL(buffer) : ParseAsciiSTL(buffer, nullptr))
        {
            FinishSTLRead(strPath);
            return true;
        }
    }
    catch (const std::bad_alloc&)
    {
        // A file whose count is plausible for its size may still need more memory than there is.
    }
    DiscardRead(nRecordSize);
    return false;
}

bool CMesh::ReadSTL(const std::string& strPath, int nMode, CReadProgress* pProgress)
{
    if (m_bLoaded)
        return false;
    if (nMode == STL_BY_CONTENT)
    {
        // A binary header may start with "solid" too, so a file taken for text gets a second try.
        const int nFound = DetectSTLMode(strPath);
        return nFound >= 0 && (ReadSTL(strPath, nFound, pProgress) ||
                               (nFound == STL_ASCII && ReadSTL(strPath, STL_BINARY, pProgress)));
    }
    if (nMode != STL_BINARY && nMode != STL_ASCII)
        return false;
    struct stat st;
    if (::stat(strPath.c_str(), &st) != 0)
        return false;
    if (pProgress != nullptr)
        pProgress->SetTotal(S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0);
    const int32_t nRecordSize = m_nRecordSize;
    bool bRead = false;
    try
    {
        if (nMode == STL_BINARY && S_ISREG(st.st_mode))
            bRead = ReadBinarySTLFile(strPath, pProgress);
        else
        {
            // Text is counted before it is read, and a pipe has no size to check a count
            // against: both are read whole first.
            std::string contents;
            bRead = ReadWholeFile(strPath, contents) &&
                    (nMode == STL_BINARY ? ParseBinarySTL(contents) : ParseAsciiSTL(contents, pProgress));
        }
    }
    catch (const std::exception&)
    {
        // Memory ran out (the mesh, or a pipe that delivers more than memory holds).
        bRead = false;
    }
    if (!bRead)
    {
        DiscardRead(nRecordSize);
        return false;
    }
    FinishSTLRead(strPath);
    return true;
}
