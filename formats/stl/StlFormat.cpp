// What tells STL data apart: its binary layout or the word "solid" on its first line.
#include "formats/stl/StlFormat.h"

#include "formats/FileHead.h"
#include "formats/LittleEndian.h"

namespace
{
// The facet count of binary data, or -1 when head is too short to hold it.
int64_t BinaryCount(std::string_view head)
{
    if (head.size() < STL_HEADER_SIZE + 4)
        return -1;
    return LittleEndian::LoadUInt32(reinterpret_cast<const uint8_t*>(head.data()) + STL_HEADER_SIZE);
}

bool IsBinarySTLBySize(std::string_view head, uint64_t nSize)
{
    const int64_t nCount = BinaryCount(head);
    return nCount >= 0 && nSize == STL_HEADER_SIZE + 4 + STL_FACET_SIZE * static_cast<uint64_t>(nCount);
}

// The count fits the data: its facets are there (more bytes may follow), and a count of 0 has
// nothing after it. Data of unknown size may fit.
bool CountFits(std::string_view head, uint64_t nSize)
{
    const int64_t nCount = BinaryCount(head);
    if (nCount < 0)
        return nSize == SIZE_UNKNOWN;
    if (nSize == SIZE_UNKNOWN)
        return true;
    const uint64_t nNeeded = STL_HEADER_SIZE + 4 + STL_FACET_SIZE * static_cast<uint64_t>(nCount);
    return nNeeded <= nSize && !(nCount == 0 && nSize > STL_HEADER_SIZE + 4);
}
} // namespace

int DetectSTLModeOfContent(std::string_view head, uint64_t nSize)
{
    if (IsBinarySTLBySize(head, nSize) || HeadHasNulByte(head))
        return STL_BINARY;
    return FirstLineContains(head, "solid") ? STL_ASCII : STL_BINARY;
}

int DetectSTLMode(const std::string& strPath)
{
    std::string head;
    uint64_t nSize = 0;
    return ReadFileHead(strPath, head, nSize) ? DetectSTLModeOfContent(head, nSize) : -1;
}

int RecogniseSTL(std::string_view head, uint64_t nSize)
{
    // Binary data comes first: its header may hold any text, "OFF" and "solid" included.
    if (IsBinarySTLBySize(head, nSize) || (HeadHasNulByte(head) && CountFits(head, nSize)))
        return 3;
    return FirstLineContains(head, "solid") ? 1 : 0;
}

uint64_t STLPipeLength(std::string_view data, bool bNulSeen)
{
    if (!bNulSeen && DetectSTLModeOfContent(data, SIZE_UNKNOWN) == STL_ASCII)
        return SIZE_UNKNOWN;
    const int64_t nCount = BinaryCount(data);
    if (nCount < 0)
        return STL_HEADER_SIZE + 4;
    // A count of 0 followed by data is refused: one byte more shows whether there is any.
    return STL_HEADER_SIZE + 4 + STL_FACET_SIZE * static_cast<uint64_t>(nCount) + (nCount == 0 ? 1 : 0);
}
