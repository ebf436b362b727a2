#include "formats/PipeInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "formats/FileHead.h"
#include "formats/InputFile.h"
#include "formats/ModelFormats.h"

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

} // namespace

bool ReadPipeInput(CInputFile& file, uint64_t nBudget, SPipeInput& input, std::string& strProblem)
{
    input.contents.clear();
    input.pFormat = nullptr;
    strProblem.clear();
    CPipeReader reader(file, nBudget, input.contents, strProblem);
    if (!reader.ReadTo(INPUT_HEAD_SIZE))
        return false;
    // What no format recognises is not read further: the first bytes are enough to refuse it.
    input.pFormat = FindModelFormat(input.contents, SIZE_UNKNOWN);
    if (input.pFormat == nullptr)
        return true;
    const SModelFormat& format = *input.pFormat;
    const auto readTo = [&](bool bNul)
    {
        const uint64_t nNeeded = format.fnPipeLength(input.contents, bNul);
        return nNeeded == SIZE_UNKNOWN || reader.ReadTo(nNeeded);
    };
    bool bNul = std::memchr(input.contents.data(), '\0', input.contents.size()) != nullptr;
    if (format.fnPipeLength != nullptr && format.fnPipeLength(input.contents, bNul) != SIZE_UNKNOWN)
        return readTo(bNul);
    // To the end, or to a NUL byte, where text ends or the length is judged anew.
    const bool bStopAtNul = format.bTextEndsAtNul || format.fnPipeLength != nullptr;
    if (!reader.ReadText(bStopAtNul, bNul))
        return false;
    return format.fnPipeLength == nullptr || !bNul || readTo(true);
}
