#include "formats/PipeInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "formats/FileKind.h"
#include "formats/InputFile.h"
#include "formats/LittleEndian.h"
#include "formats/stl/StlFormat.h"

namespace
{
constexpr size_t PIECE = size_t(1) << 20;

class CPipeReader
{
public:
    CPipeReader(CInputFile& file, uint64_t nBudget, std::string& contents, std::string& strProblem)
        : m_file(file), m_nBudget(nBudget), m_contents(contents), m_strProblem(strProblem)
    {
    }

    // Reads until the contents hold nSize bytes or the data ends; false on a read error or past
    // the budget.
    bool ReadTo(uint64_t nSize)
    {
        if (nSize > m_nBudget)
            return OverBudget();
        while (!m_bEnd && m_contents.size() < nSize)
            if (!ReadPiece(static_cast<size_t>(std::min<uint64_t>(PIECE, nSize - m_contents.size()))))
                return false;
        return true;
    }
    // Reads to the end of the data, or to the first NUL byte when bStopAtNul; true with bNul set
    // when one was found.
    bool ReadText(bool bStopAtNul, bool& bNul)
    {
        bNul = std::memchr(m_contents.data(), '\0', m_contents.size()) != nullptr;
        while (!m_bEnd && !(bNul && bStopAtNul))
        {
            const size_t nOld = m_contents.size();
            if (!ReadPiece(PIECE))
                return false;
            bNul = bNul || std::memchr(m_contents.data() + nOld, '\0', m_contents.size() - nOld) != nullptr;
        }
        return true;
    }

private:
    bool ReadPiece(size_t nBytes)
    {
        const size_t nOld = m_contents.size();
        if (nOld + nBytes > m_nBudget)
            nBytes = m_nBudget - nOld + 1;
        errno = 0;
        if (!m_file.ReadUpTo(m_contents, nBytes))
        {
            m_strProblem = std::strerror(errno != 0 ? errno : EIO);
            return false;
        }
        m_bEnd = m_contents.size() < nOld + nBytes;
        return m_contents.size() <= m_nBudget || OverBudget();
    }
    bool OverBudget()
    {
        m_strProblem = "the input needs more than the " + std::to_string(m_nBudget >> 20) +
                       " MiB of memory available for it";
        return false;
    }

    CInputFile& m_file;
    uint64_t m_nBudget;
    std::string& m_contents;
    std::string& m_strProblem;
    bool m_bEnd = false;
};

bool ReadBinarySTL(CPipeReader& reader, const std::string& contents)
{
    constexpr size_t HEADER = STL_HEADER_SIZE + 4;
    if (!reader.ReadTo(HEADER))
        return false;
    if (contents.size() < HEADER)
        return true;
    const uint64_t nFacets =
        LittleEndian::LoadUInt32(reinterpret_cast<const uint8_t*>(contents.data()) + STL_HEADER_SIZE);
    return reader.ReadTo(HEADER + STL_FACET_SIZE * nFacets + (nFacets == 0 ? 1 : 0));
}
} // namespace

bool ReadPipeInput(CInputFile& file, uint64_t nBudget, SPipeInput& input, std::string& strProblem)
{
    input.contents.clear();
    strProblem.clear();
    CPipeReader reader(file, nBudget, input.contents, strProblem);
    if (!reader.ReadTo(INPUT_HEAD_SIZE))
        return false;
    input.nKind = InputKindOfContent(input.contents, 0, std::string());
    bool bNul = false;
    switch (input.nKind)
    {
    case INPUT_STL:
        if (DetectSTLModeOfContent(input.contents, 0) == STL_ASCII)
        {
            if (!reader.ReadText(true, bNul))
                return false;
            if (!bNul)
                return true;
        }
        return ReadBinarySTL(reader, input.contents);
    case INPUT_SCENE:
        return reader.ReadText(false, bNul);
    default:
        // A first word that is no keyword is refused by the reader at once.
        if (HeadShowsFirstWord(input.contents) && !StartsWithOFFKeyword(input.contents))
            return true;
        return reader.ReadText(true, bNul);
    }
}
