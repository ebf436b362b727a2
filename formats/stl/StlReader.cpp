// Reading STL files into a builder, and the ASCII counting pass.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <thread>

#include "formats/stl/StlReader.h"

#include "formats/ByteWindow.h"
#include "formats/FileHead.h"
#include "formats/MeshBuilder.h"
#include "formats/TokenReader.h"
#include "formats/stl/StlFormat.h"
#include "platform/ReadProgress.h"

namespace
{
// Every facet becomes three vertices of its own, and the mesh counts vertices in 32 bits.
constexpr int64_t MAX_FACETS = std::numeric_limits<int32_t>::max() / 3;
// Tokens of an ASCII facet: 9 words, the normal and three vertices.
constexpr int ASCII_TOKENS_PER_FACET = 21;

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

// "facet normal" n n n "outer loop vertex" v v v "vertex" v v v "vertex" v v v "endloop
// endfacet": 21 tokens whose words are not compared; the vertices go to three records of six
// doubles from pRecord on.
bool ReadAsciiFacet(CTokenReader& in, double* pRecord)
{
    return SkipWords(in, 2) && SkipNumber(in) && SkipNumber(in) && SkipNumber(in) && SkipWords(in, 3) &&
           ReadVertex(in, pRecord) && SkipWords(in, 1) && ReadVertex(in, pRecord + 6) && SkipWords(in, 1) &&
           ReadVertex(in, pRecord + 12) && SkipWords(in, 2);
}

// Extends the window until it holds a line feed, or all the data.
void ExtendToLineEnd(CByteWindow& bytes)
{
    // Each block is searched once: a first line of any length costs its length.
    for (size_t nSearched = 0; bytes.Window().find('\n', nSearched) == std::string_view::npos;)
    {
        nSearched = bytes.Window().size();
        if (!bytes.More())
            return;
    }
}

// The checks of an ASCII file before anything is allocated for it: its first line contains
// "solid" in any case, no byte anywhere is NUL (text holds none; a binary file whose header
// starts with "solid" does, in its count or its attribute words, and must not pass for an empty
// ASCII solid), and the count of the counting pass fits the body: a facet takes at least 21
// one-character tokens and their separators. The window is left at the end of the data. The
// pass reports the first half of the progress.
bool ScanAsciiSTL(CByteWindow& bytes, int64_t& nFacets, CReadProgress* pProgress)
{
    ExtendToLineEnd(bytes);
    std::string_view window = bytes.Window();
    const size_t nFirstEnd = std::min(window.find('\n'), window.size());
    if (bytes.Failed() || !ContainsLower(window.data(), window.data() + nFirstEnd, "solid"))
        return false;
    // The body starts after the first line's line feed.
    const size_t nHeader = std::min(nFirstEnd + 1, window.size());
    size_t nSkip = nHeader;
    // What is left in the window after each block is a line not yet ended, already searched for
    // NUL bytes and line feeds: only the bytes that come after it are searched, so that a line of
    // any length costs its length once.
    size_t nSearched = 0;
    // A line that runs on for more than a block is searched for the word as it comes and let go
    // of, but for its last bytes, which may start the word; bLineCounted: it has the word.
    constexpr size_t LONG_LINE = size_t(1) << 16;
    bool bLineCounted = false;
    nFacets = 0;
    do
    {
        // Whole lines only: the rest of a line waits for the next block.
        window = bytes.Window();
        const std::string_view fresh = window.substr(std::min(nSearched, window.size()));
        if (std::memchr(fresh.data(), '\0', fresh.size()) != nullptr)
            return false;
        const size_t nLastFeed = fresh.rfind('\n');
        const size_t nLinesEnd =
            nLastFeed == std::string_view::npos ? 0 : window.size() - fresh.size() + nLastFeed + 1;
        const char* const pEnd = window.data() + window.size();
        if (nLinesEnd > nSkip)
        {
            const char* pLines = window.data() + nSkip;
            if (bLineCounted)
                pLines = LineEnd(pLines, pEnd) + 1;
            bLineCounted = false;
            nFacets += CountNormalLines(pLines, window.data() + nLinesEnd);
        }
        size_t nConsumed = std::max(nLinesEnd, nSkip);
        if (window.size() - nConsumed > LONG_LINE)
        {
            bLineCounted = bLineCounted || ContainsLower(window.data() + nConsumed, pEnd, "normal");
            nConsumed = window.size() - 5;
        }
        bytes.Consume(nConsumed);
        nSearched = window.size() - nConsumed;
        nSkip = 0;
        if (pProgress != nullptr)
            pProgress->SetDone(bytes.Offset() / 2);
    } while (bytes.More());
    if (bytes.Failed())
        return false;
    // The last line, without a line feed.
    window = bytes.Window();
    if (!bLineCounted)
        nFacets += CountNormalLines(window.data(), window.data() + window.size());
    const int64_t nBody = static_cast<int64_t>(bytes.Offset() + window.size() - nHeader);
    return nFacets <= MAX_FACETS && nFacets * 2 * ASCII_TOKENS_PER_FACET <= nBody + 1;
}

// Below this many facets a helper thread would cost more than it saves.
constexpr int32_t HELPER_MIN_FACETS = 1 << 16;

// Runs the builder's PrepareSoup on a thread of its own while the caller reads, and waits for it
// on every way out; a way out before the whole soup is read first tells it that the read stopped.
// For a small soup, or when no thread can start, PrepareSoup runs at once instead.
class CHelperThread
{
public:
    CHelperThread(bool bWorthAThread, CMeshBuilder& builder, std::atomic<int32_t>& nReached)
        : m_nReached(nReached)
    {
        try
        {
            if (bWorthAThread)
            {
                m_thread = std::thread([&builder, &nReached] { builder.PrepareSoup(nReached, true); });
                return;
            }
        }
        catch (const std::exception&)
        {
        }
        builder.PrepareSoup(nReached, false);
    }
    ~CHelperThread()
    {
        if (m_thread.joinable())
        {
            m_nReached.store(CMeshBuilder::READ_STOPPED, std::memory_order_release);
            m_thread.join();
        }
    }
    CHelperThread(const CHelperThread&) = delete;
    CHelperThread& operator=(const CHelperThread&) = delete;
    // After the whole soup is read: waits for what the helper does behind the read.
    void Finish()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::atomic<int32_t>& m_nReached;
    std::thread m_thread;
};

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

namespace
{
bool ReadBinarySTL(CByteWindow& bytes, uint64_t nSize, CMeshBuilder& builder, CReadProgress* pProgress,
                   CVector3& vMin, CVector3& vMax)
{
    constexpr size_t HEADER = STL_HEADER_SIZE + 4;
    while (bytes.Window().size() < HEADER && bytes.More())
        ;
    if (bytes.Window().size() < HEADER || nSize < HEADER)
        return false;
    const uint64_t nFacets = LoadUInt32(bytes.Window().data() + STL_HEADER_SIZE);
    if (!BinaryCountFits(nFacets, nSize - HEADER))
        return false;
    bytes.Consume(HEADER);
    const int32_t nTriangles = static_cast<int32_t>(nFacets);
    double* pRecord = builder.AllocateSoup(nTriangles);
    // Most of a big read is the first touch of fresh memory. This thread reads and completes each
    // block (normals, box) while it is in the cache; a second one keeps ahead of it. For a
    // smoothed soup that one faults in the records a step or two ahead and numbers the positions
    // behind the read, the longer task, and the face arrays are made at the end, in the memory
    // the numbering gives back; otherwise it fills those arrays and faults in the records from
    // the far end, to meet this thread half way.
    std::atomic<int32_t> nReached{0};
    CHelperThread helper(nTriangles >= HELPER_MIN_FACETS, builder, nReached);
    for (uint64_t nDone = 0; nDone < nFacets;)
    {
        // A file that shrank since its size was taken ends early: that is a short file too.
        const std::string_view window = bytes.Window();
        const size_t nWhole = static_cast<size_t>(std::min<uint64_t>(
            {window.size() / STL_FACET_SIZE, nFacets - nDone, CMeshBuilder::MOST_TRIANGLES_A_STEP}));
        if (nWhole == 0)
        {
            if (!bytes.More())
                return false;
            continue;
        }
        if (!StoreBinaryFacets(window.data(), nWhole, pRecord))
            return false;
        bytes.Consume(nWhole * STL_FACET_SIZE);
        pRecord += nWhole * 3 * 6;
        builder.CompleteSoup(static_cast<int32_t>(nDone), static_cast<int32_t>(nDone + nWhole), vMin, vMax);
        nDone += nWhole;
        nReached.store(static_cast<int32_t>(nDone), std::memory_order_release);
        if (pProgress != nullptr)
            pProgress->SetDone(bytes.Offset());
    }
    helper.Finish();
    return true;
}

bool ReadAsciiSTL(CByteWindow& bytes, CMeshBuilder& builder, CReadProgress* pProgress, CVector3& vMin,
                  CVector3& vMax)
{
    // Two passes: the counting pass decides how many facets are read, whatever follows them.
    // Each pass is half of the progress.
    int64_t nFacets = 0;
    if (!ScanAsciiSTL(bytes, nFacets, pProgress))
        return false;
    const uint64_t nSize = bytes.Offset() + bytes.Window().size();
    if (!bytes.Rewind())
        return false;
    ExtendToLineEnd(bytes);
    bytes.Consume(bytes.Window().find('\n') + 1);
    const int32_t nTriangles = static_cast<int32_t>(nFacets);
    double* pRecord = builder.AllocateSoup(nTriangles);
    // As in the binary reader, though text takes longer to parse than memory to fault in.
    std::atomic<int32_t> nReached{0};
    CHelperThread helper(nTriangles >= HELPER_MIN_FACETS, builder, nReached);
    bool bAll = false; // the window holds the rest of the data
    for (int64_t k = 0; k < nFacets;)
    {
        // Tokens are read only up to the window's last white space, so none is cut at the end of
        // a block; a facet that runs out of tokens there is read again once more bytes are in.
        const std::string_view window = bytes.Window();
        const size_t nCut =
            bAll ? window.size() : CTokenReader::WholeTokensEnd(window, CTokenReader::MAX_NUMBER_LENGTH);
        if (nCut == std::string_view::npos)
            return false;
        CTokenReader in(window.substr(0, nCut));
        size_t nRead = 0;
        const int64_t nFirst = k;
        const int64_t nStepEnd = std::min<int64_t>(nFacets, nFirst + CMeshBuilder::MOST_TRIANGLES_A_STEP);
        for (; k < nStepEnd; ++k, pRecord += 3 * 6)
        {
            if (pProgress != nullptr && (static_cast<uint64_t>(k) & (CReadProgress::REPORT_EVERY - 1)) == 0)
                pProgress->SetDone((nSize + bytes.Offset() + nRead) / 2);
            if (!ReadAsciiFacet(in, pRecord))
            {
                // A token that is not what it must be fails at once; only a facet cut short by
                // the end of the window waits for more.
                if (bAll || !in.AtEnd())
                    return false;
                break;
            }
            nRead = in.Position();
        }
        bytes.Consume(nRead);
        builder.CompleteSoup(static_cast<int32_t>(nFirst), static_cast<int32_t>(k), vMin, vMax);
        nReached.store(static_cast<int32_t>(k), std::memory_order_release);
        if (k < nFacets && !bytes.More())
        {
            if (bytes.Failed())
                return false;
            bAll = true;
        }
    }
    helper.Finish();
    return true;
}

bool ReadSTLBytes(CByteWindow& bytes, uint64_t nSize, int nMode, CMeshBuilder& builder,
                  CReadProgress* pProgress)
{
    CVector3 vMin(DBL_MAX, DBL_MAX, DBL_MAX);
    CVector3 vMax(-DBL_MAX, -DBL_MAX, -DBL_MAX);
    try
    {
        if (!(nMode == STL_BINARY ? ReadBinarySTL(bytes, nSize, builder, pProgress, vMin, vMax)
                                  : ReadAsciiSTL(bytes, builder, pProgress, vMin, vMax)))
            return false;
        builder.FinishSoup(vMin, vMax);
    }
    catch (const std::bad_alloc&)
    {
        // A file whose count is plausible for its size may still need more memory than there is.
        return false;
    }
    if (pProgress != nullptr)
        pProgress->Finish();
    return true;
}
} // namespace

bool ReadSTLBuffer(std::string_view buffer, int nMode, CMeshBuilder& builder)
{
    if (nMode == STL_BY_CONTENT)
    {
        const int nFound = DetectSTLModeOfContent(buffer, buffer.size());
        return ReadSTLBuffer(buffer, nFound, builder) ||
               (nFound == STL_ASCII && ReadSTLBuffer(buffer, STL_BINARY, builder));
    }
    if (nMode != STL_BINARY && nMode != STL_ASCII)
        return false;
    CByteWindow bytes(buffer);
    return ReadSTLBytes(bytes, buffer.size(), nMode, builder, nullptr);
}

bool ReadSTL(const std::string& strPath, int nMode, CMeshBuilder& builder, CReadProgress* pProgress)
{
    if (nMode == STL_BY_CONTENT)
    {
        // A binary header may start with "solid" too, so a file taken for text gets a second try.
        const int nFound = DetectSTLMode(strPath);
        return nFound >= 0 && (ReadSTL(strPath, nFound, builder, pProgress) ||
                               (nFound == STL_ASCII && ReadSTL(strPath, STL_BINARY, builder, pProgress)));
    }
    if (nMode != STL_BINARY && nMode != STL_ASCII)
        return false;
    struct stat st;
    if (::stat(strPath.c_str(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode))
    {
        // A pipe has no size to check a count against, and text is read twice: it is read whole.
        std::string contents;
        if (!ReadWholeFile(strPath, contents))
            return false;
        CByteWindow bytes(contents);
        return ReadSTLBytes(bytes, contents.size(), nMode, builder, pProgress);
    }
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const SFileCloser closer{fd};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (pProgress != nullptr)
        pProgress->SetTotal(static_cast<uint64_t>(st.st_size));
    CByteWindow bytes(fd);
    return ReadSTLBytes(bytes, static_cast<uint64_t>(st.st_size), nMode, builder, pProgress);
}
