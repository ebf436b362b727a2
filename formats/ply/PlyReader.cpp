// Reading PLY files. The header is read first and every count checked against the bytes that
// follow it; then the elements are decoded in the file's order, each property by a plan made from
// the header (which slot of a vertex record it fills, where it lies in a binary item), and the
// mesh is handed over once the whole file has passed.
#include "formats/ply/PlyReader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <type_traits>

#include "formats/MeshBuilder.h"
#include "formats/TokenReader.h"
#include "formats/ply/PlyFormat.h"
#include "platform/HugePages.h"
#include "platform/ReadProgress.h"

namespace
{
// What a property is read into: a slot of the vertex record (or, on the face element, a component
// of the face's colour), the face's corners, or nothing.
constexpr int TARGET_NONE = -1;
constexpr int TARGET_CORNERS = -2;

enum
{
    KIND_VERTEX,
    KIND_FACE,
    KIND_OTHER
};

struct SField
{
    uint8_t nType;
    uint8_t nCountType;
    bool bList;
    int nTarget;
    double dScale;  // colours of integer types come as 0 to the type's largest value
    size_t nOffset; // in a binary item of fixed size
};

struct SElementPlan
{
    const SPlyElement* pElement;
    int nKind;
    std::vector<SField> fields;
    bool bFixed;        // no lists: every binary item the same size
    uint64_t nMinBytes; // the least a binary item takes (its size, when fixed)
    uint64_t nMinTokens;
};

struct SVertexName
{
    const char* pszName;
    int nSlot;
};

constexpr SVertexName VERTEX_NAMES[] = {
    {"x", SLOT_POSITION},         {"y", SLOT_POSITION + 1},         {"z", SLOT_POSITION + 2},
    {"nx", SLOT_NORMAL},          {"ny", SLOT_NORMAL + 1},          {"nz", SLOT_NORMAL + 2},
    {"s", SLOT_TEXCOORD},         {"t", SLOT_TEXCOORD + 1},         {"u", SLOT_TEXCOORD},
    {"v", SLOT_TEXCOORD + 1},     {"texture_u", SLOT_TEXCOORD},     {"texture_v", SLOT_TEXCOORD + 1},
    {"texture_s", SLOT_TEXCOORD}, {"texture_t", SLOT_TEXCOORD + 1}, {"red", SLOT_COLOR},
    {"green", SLOT_COLOR + 1},    {"blue", SLOT_COLOR + 2},
};

double ColorScale(uint8_t nType)
{
    switch (PLY_TYPE_SIZES[nType] * (IsPLYIntegerType(nType) ? 1 : 0))
    {
    case 1:
        return 1.0 / 255.0;
    case 2:
        return 1.0 / 65535.0;
    case 4:
        return 1.0 / 4294967295.0;
    default:
        return 1.0;
    }
}

// Values as the file stores them, turned to the host's byte order where they differ.
template <typename T, bool bSwap> T Load(const char* p)
{
    using U = std::conditional_t<
        sizeof(T) == 1, uint8_t,
        std::conditional_t<sizeof(T) == 2, uint16_t, std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;
    U n;
    std::memcpy(&n, p, sizeof n);
    if constexpr (bSwap && sizeof(T) == 2)
        n = __builtin_bswap16(n);
    else if constexpr (bSwap && sizeof(T) == 4)
        n = __builtin_bswap32(n);
    else if constexpr (bSwap && sizeof(T) == 8)
        n = __builtin_bswap64(n);
    return std::bit_cast<T>(n);
}

template <bool bSwap> double LoadValue(const char* p, uint8_t nType)
{
    switch (nType)
    {
    case PLY_INT8:
        return Load<int8_t, bSwap>(p);
    case PLY_UINT8:
        return Load<uint8_t, bSwap>(p);
    case PLY_INT16:
        return Load<int16_t, bSwap>(p);
    case PLY_UINT16:
        return Load<uint16_t, bSwap>(p);
    case PLY_INT32:
        return Load<int32_t, bSwap>(p);
    case PLY_UINT32:
        return Load<uint32_t, bSwap>(p);
    case PLY_FLOAT32:
        return Load<float, bSwap>(p);
    default:
        return Load<double, bSwap>(p);
    }
}

template <bool bSwap> int64_t LoadInteger(const char* p, uint8_t nType)
{
    switch (nType)
    {
    case PLY_INT8:
        return Load<int8_t, bSwap>(p);
    case PLY_UINT8:
        return Load<uint8_t, bSwap>(p);
    case PLY_INT16:
        return Load<int16_t, bSwap>(p);
    case PLY_UINT16:
        return Load<uint16_t, bSwap>(p);
    case PLY_INT32:
        return Load<int32_t, bSwap>(p);
    default:
        return Load<uint32_t, bSwap>(p);
    }
}

// Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "text" + string.
std::string ItemText(const SPlyElement& element, uint64_t nItem, const char* pszWhat)
{
    std::string strText(element.strName.substr(0, 40));
    return strText.append(" ").append(std::to_string(nItem)).append(": ").append(pszWhat);
}

std::string IndexText(int64_t nIndex, int32_t nVertices)
{
    std::string strText("vertex index ");
    strText.append(std::to_string(nIndex)).append(" is not in 0 to ").append(std::to_string(nVertices - 1));
    return strText;
}

// Parses a whole PLY file into SMeshParts. On failure Failure() says where and why.
class CPlyParser
{
public:
    CPlyParser(std::string_view data, CReadProgress* pProgress) : m_data(data), m_pProgress(pProgress) {}

    bool Parse(SMeshParts& parts)
    {
        std::string strProblem;
        if (!ParsePLYHeader(m_data, m_header, strProblem))
            return FailHeader(strProblem);
        if (!Plan() || !CheckCounts())
            return false;
        Allocate();
        const bool bRead =
            m_header.nFormat == PLY_ASCII ? ReadText()
            : (m_header.nFormat == PLY_BINARY_BIG_ENDIAN) == (std::endian::native == std::endian::big)
                ? ReadBinary<false>()
                : ReadBinary<true>();
        if (!bRead)
            return false;
        Finish(parts);
        return true;
    }

    const std::string& Failure() const { return m_strFailure; }

private:
    bool FailHeader(std::string_view problem)
    {
        m_strFailure.assign("the header: ").append(problem);
        return false;
    }
    bool Fail(std::string strText)
    {
        m_strFailure = std::move(strText);
        return false;
    }
    bool FailItem(const SPlyElement& element, uint64_t nItem, const char* pszWhat)
    {
        return Fail(ItemText(element, nItem, pszWhat));
    }
    // Text: "line 14: expected a vertex coordinate", from where the token reader stopped.
    bool FailLine(const CTokenReader& in, std::string_view what)
    {
        size_t nPos = std::min(in.Position(), m_data.size());
        // At the end of the file, the last line with text on it.
        if (in.HitEnd())
            while (nPos > 0 && CTokenReader::IsSpace(m_data[nPos - 1]))
                --nPos;
        const auto nLine =
            1 + std::count(m_data.begin(), m_data.begin() + static_cast<ptrdiff_t>(nPos), '\n');
        m_strFailure.assign("line ").append(std::to_string(nLine)).append(": ").append(what);
        if (in.HitEnd())
            m_strFailure.append(", but the file ends");
        return false;
    }

    // Which property fills what, from the names of the vertex and face elements.
    bool Plan()
    {
        const SElementPlan* pVertex = nullptr;
        SElementPlan* pFace = nullptr;
        // The plans are pointed at while the list grows.
        m_plans.reserve(m_header.elements.size());
        for (const SPlyElement& element : m_header.elements)
        {
            SElementPlan& plan = m_plans.emplace_back();
            plan.pElement = &element;
            plan.nKind = element.strName == "vertex" ? KIND_VERTEX
                         : element.strName == "face" ? KIND_FACE
                                                     : KIND_OTHER;
            if ((plan.nKind == KIND_VERTEX && pVertex != nullptr) ||
                (plan.nKind == KIND_FACE && pFace != nullptr))
                return FailHeader(plan.nKind == KIND_VERTEX ? "a second vertex element"
                                                            : "a second face element");
            plan.bFixed = true;
            plan.nMinBytes = 0;
            plan.nMinTokens = element.properties.size();
            for (const SPlyProperty& property : element.properties)
            {
                plan.fields.push_back({property.nType, property.nCountType, property.bList, TARGET_NONE, 1.0,
                                       static_cast<size_t>(plan.nMinBytes)});
                plan.nMinBytes += PLY_TYPE_SIZES[property.bList ? property.nCountType : property.nType];
                plan.bFixed = plan.bFixed && !property.bList;
            }
            if (plan.nKind == KIND_VERTEX)
            {
                pVertex = &plan;
                if (!PlanVertex(plan))
                    return false;
            }
            else if (plan.nKind == KIND_FACE)
            {
                pFace = &plan;
                if (!PlanFace(plan))
                    return false;
            }
        }
        if (pVertex == nullptr)
            return FailHeader("no vertex element");
        m_nVertices = static_cast<int32_t>(pVertex->pElement->nCount);
        m_nFaces = pFace != nullptr ? static_cast<int32_t>(pFace->pElement->nCount) : 0;
        // Face colours serve only where the vertices have none, and only faces.
        m_bFaceColors = m_bFaceColors && !m_bColors && m_nFaces > 0;
        if (pFace != nullptr && !m_bFaceColors)
            for (SField& field : pFace->fields)
                if (field.nTarget >= 0)
                    field.nTarget = TARGET_NONE;
        m_nRecordSize = m_bColors || m_bFaceColors ? 11 : m_bTexCoords ? 8 : 6;
        for (const SField& field : pVertex->fields)
            if (field.nTarget >= 0)
                m_nSlotsFilled |= 1u << field.nTarget;
        for (int s = 0; s < m_nRecordSize; ++s)
            if ((m_nSlotsFilled & (1u << s)) == 0)
                m_zeroSlots.push_back(s);
        return true;
    }

    bool PlanVertex(SElementPlan& plan)
    {
        if (plan.pElement->nCount == 0)
            return FailHeader("no vertices");
        if (plan.pElement->nCount > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
            return FailHeader("more vertices than a mesh holds");
        for (size_t i = 0; i < plan.fields.size(); ++i)
        {
            const std::string& strName = plan.pElement->properties[i].strName;
            if (plan.fields[i].bList)
                continue;
            for (const SVertexName& name : VERTEX_NAMES)
                if (strName == name.pszName)
                {
                    // The first property of a name counts; a second is stepped over.
                    const bool bTaken =
                        std::any_of(plan.fields.begin(), plan.fields.begin() + static_cast<ptrdiff_t>(i),
                                    [&](const SField& f) { return f.nTarget == name.nSlot; });
                    if (!bTaken)
                        plan.fields[i].nTarget = name.nSlot;
                }
        }
        // A field counts when all of its components are there.
        auto bHas = [&](int nSlot, int nCount)
        {
            int nFound = 0;
            for (const SField& f : plan.fields)
                nFound += f.nTarget >= nSlot && f.nTarget < nSlot + nCount ? 1 : 0;
            if (nFound == nCount)
                return true;
            for (SField& f : plan.fields)
                if (f.nTarget >= nSlot && f.nTarget < nSlot + nCount)
                    f.nTarget = TARGET_NONE;
            return false;
        };
        if (!bHas(SLOT_POSITION, 3))
            return FailHeader("the vertex element has no x, y and z");
        m_bNormals = bHas(SLOT_NORMAL, 3);
        m_bTexCoords = bHas(SLOT_TEXCOORD, 2);
        m_bColors = bHas(SLOT_COLOR, 3);
        for (SField& f : plan.fields)
            if (f.nTarget >= SLOT_COLOR)
                f.dScale = ColorScale(f.nType);
        return true;
    }

    bool PlanFace(SElementPlan& plan)
    {
        if (plan.pElement->nCount > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
            return FailHeader("more faces than a mesh holds");
        int nColors = 0;
        for (size_t i = 0; i < plan.fields.size(); ++i)
        {
            const std::string& strName = plan.pElement->properties[i].strName;
            SField& field = plan.fields[i];
            if (field.bList && m_nCornersField < 0 &&
                (strName == "vertex_indices" || strName == "vertex_index"))
            {
                if (!IsPLYIntegerType(field.nType))
                    return FailHeader("vertex indices that are not of an integer type");
                field.nTarget = TARGET_CORNERS;
                m_nCornersField = static_cast<int>(i);
            }
            const int nComponent = strName == "red" ? 0 : strName == "green" ? 1 : strName == "blue" ? 2 : -1;
            if (!field.bList && nComponent >= 0 &&
                std::none_of(plan.fields.begin(), plan.fields.end(),
                             [&](const SField& f) { return f.nTarget == nComponent; }))
            {
                field.nTarget = nComponent;
                field.dScale = ColorScale(field.nType);
                ++nColors;
            }
        }
        if (m_nCornersField < 0)
            return FailHeader("the face element has no vertex_indices list");
        m_bFaceColors = nColors == 3;
        return true;
    }

    // Every count against what the file holds before anything is allocated for it: a binary item
    // takes at least its scalars' and list counts' bytes, a text item two bytes a value (a digit
    // and a separator).
    bool CheckCounts()
    {
        const bool bText = m_header.nFormat == PLY_ASCII;
        uint64_t nLeft = m_data.size() - m_header.nBodyStart + (bText ? 1 : 0);
        for (const SElementPlan& plan : m_plans)
        {
            const uint64_t nItem = bText ? 2 * plan.nMinTokens : plan.nMinBytes;
            if (nItem != 0 && plan.pElement->nCount > nLeft / nItem)
            {
                std::string strText(std::to_string(plan.pElement->nCount));
                return FailHeader(strText.append(" ")
                                      .append(plan.pElement->strName.substr(0, 40))
                                      .append(" items ask for more than the file holds"));
            }
            nLeft -= plan.pElement->nCount * nItem;
        }
        return true;
    }

    void Allocate()
    {
        m_pRecords.reset(
            NewHugeArray<double>(static_cast<size_t>(m_nVertices) * static_cast<size_t>(m_nRecordSize)));
        m_pFaceSizes.reset(NewHugeArray<int32_t>(static_cast<size_t>(m_nFaces)));
        if (m_bFaceColors)
            m_pFaceColors.reset(new double[static_cast<size_t>(m_nFaces) * 3]);
        // Triangles are the common case; each corner takes a byte or two of the file at least.
        const size_t nBody = m_data.size() - m_header.nBodyStart;
        ReserveHuge(m_indices, std::min<size_t>(static_cast<size_t>(m_nFaces) * 3, nBody / 2 + 1));
    }

    void Report(uint64_t nItem, size_t nPosition)
    {
        if (m_pProgress != nullptr && (nItem & (CReadProgress::REPORT_EVERY - 1)) == 0)
            m_pProgress->SetDone(nPosition);
    }

    double* Record(uint64_t nItem) const
    {
        return m_pRecords.get() + static_cast<size_t>(nItem) * static_cast<size_t>(m_nRecordSize);
    }

    void ZeroUnfilled(double* pRecord) const
    {
        for (const int s : m_zeroSlots)
            pRecord[s] = 0.0;
    }

    bool CheckFinite(const SElementPlan& plan, const double* pValues, uint64_t nItem)
    {
        for (const SField& field : plan.fields)
            if (field.nTarget >= 0 && !std::isfinite(pValues[field.nTarget]))
                return FailItem(*plan.pElement, nItem, "a number that is not finite");
        return true;
    }

    bool AddCorner(int64_t nIndex)
    {
        if (nIndex < 0 || nIndex >= m_nVertices)
            return false;
        m_indices.push_back(static_cast<int32_t>(nIndex));
        return true;
    }

    bool AddFace(const SPlyElement& element, uint64_t nFace, int64_t nCorners)
    {
        m_pFaceSizes[static_cast<size_t>(nFace)] = static_cast<int32_t>(nCorners);
        m_nEdges += nCorners;
        if (m_nEdges > std::numeric_limits<int32_t>::max())
            return FailItem(element, nFace, "more face corners than a mesh holds");
        return true;
    }

    // Binary.

    // One item property by property, its values (for the vertex element the record's slots, for
    // the face element the face's colour) into pValues.
    template <bool bSwap>
    bool ReadItem(const SElementPlan& plan, uint64_t nItem, const char*& p, double* pValues)
    {
        const char* const pEnd = m_data.data() + m_data.size();
        for (const SField& field : plan.fields)
        {
            if (!field.bList)
            {
                const size_t nSize = PLY_TYPE_SIZES[field.nType];
                if (static_cast<size_t>(pEnd - p) < nSize)
                    return FailItem(*plan.pElement, nItem, "the file ends");
                if (field.nTarget >= 0)
                    pValues[field.nTarget] = LoadValue<bSwap>(p, field.nType) * field.dScale;
                p += nSize;
                continue;
            }
            const size_t nCountSize = PLY_TYPE_SIZES[field.nCountType];
            if (static_cast<size_t>(pEnd - p) < nCountSize)
                return FailItem(*plan.pElement, nItem, "the file ends");
            const int64_t nCount = LoadInteger<bSwap>(p, field.nCountType);
            p += nCountSize;
            const size_t nItemSize = PLY_TYPE_SIZES[field.nType];
            if (nCount < 0)
                return FailItem(*plan.pElement, nItem, "a list count below 0");
            if (static_cast<uint64_t>(nCount) > static_cast<size_t>(pEnd - p) / nItemSize)
                return FailItem(*plan.pElement, nItem, "a list longer than the rest of the file");
            if (field.nTarget != TARGET_CORNERS)
            {
                p += static_cast<size_t>(nCount) * nItemSize;
                continue;
            }
            if (nCount < 1)
                return FailItem(*plan.pElement, nItem, "a face of no corners");
            for (int64_t k = 0; k < nCount; ++k, p += nItemSize)
                if (!AddCorner(LoadInteger<bSwap>(p, field.nType)))
                    return Fail(ItemText(*plan.pElement, nItem, "")
                                    .append(IndexText(LoadInteger<bSwap>(p, field.nType), m_nVertices)));
            if (!AddFace(*plan.pElement, nItem, nCount))
                return false;
        }
        return true;
    }

    // The items of a fixed size, read from p on, are all there: the header's counts were checked
    // against the least that every item takes, but a list before them may have taken more.
    bool FixedItemsFit(const SElementPlan& plan, const char* p)
    {
        const auto nLeft = static_cast<uint64_t>(m_data.data() + m_data.size() - p);
        if (plan.nMinBytes == 0 || plan.pElement->nCount <= nLeft / plan.nMinBytes)
            return true;
        return FailItem(*plan.pElement, nLeft / plan.nMinBytes, "the file ends");
    }

    template <bool bSwap> bool ReadBinaryVertices(const SElementPlan& plan, const char*& p)
    {
        const uint64_t nCount = plan.pElement->nCount;
        if (!plan.bFixed)
        {
            for (uint64_t i = 0; i < nCount; ++i)
            {
                Report(i, static_cast<size_t>(p - m_data.data()));
                double* pRecord = Record(i);
                ZeroUnfilled(pRecord);
                if (!ReadItem<bSwap>(plan, i, p, pRecord) || !CheckFinite(plan, pRecord, i))
                    return false;
            }
            return true;
        }
        if (!FixedItemsFit(plan, p))
            return false;
        std::vector<SField> used;
        for (const SField& field : plan.fields)
            if (field.nTarget >= 0)
                used.push_back(field);
        const size_t nItem = static_cast<size_t>(plan.nMinBytes);
        for (uint64_t i = 0; i < nCount; ++i, p += nItem)
        {
            Report(i, static_cast<size_t>(p - m_data.data()));
            double* pRecord = Record(i);
            ZeroUnfilled(pRecord);
            bool bFinite = true;
            for (const SField& field : used)
            {
                const double d = LoadValue<bSwap>(p + field.nOffset, field.nType) * field.dScale;
                pRecord[field.nTarget] = d;
                bFinite = bFinite && std::isfinite(d);
            }
            if (!bFinite)
                return FailItem(*plan.pElement, i, "a number that is not finite");
        }
        return true;
    }

    // The common face layout, a list of corners and nothing else, with its types known at compile
    // time.
    template <typename TCount, typename TIndex, bool bSwap>
    bool ReadCornerLists(const SElementPlan& plan, const char*& p)
    {
        const char* const pEnd = m_data.data() + m_data.size();
        for (uint64_t f = 0; f < plan.pElement->nCount; ++f)
        {
            Report(f, static_cast<size_t>(p - m_data.data()));
            if (static_cast<size_t>(pEnd - p) < sizeof(TCount))
                return FailItem(*plan.pElement, f, "the file ends");
            const int64_t nCorners = Load<TCount, bSwap>(p);
            p += sizeof(TCount);
            if (nCorners < 1)
                return FailItem(*plan.pElement, f,
                                nCorners < 0 ? "a list count below 0" : "a face of no corners");
            if (static_cast<uint64_t>(nCorners) > static_cast<size_t>(pEnd - p) / sizeof(TIndex))
                return FailItem(*plan.pElement, f, "a list longer than the rest of the file");
            for (int64_t k = 0; k < nCorners; ++k, p += sizeof(TIndex))
            {
                const int64_t nIndex = Load<TIndex, bSwap>(p);
                if (!AddCorner(nIndex))
                    return Fail(ItemText(*plan.pElement, f, "").append(IndexText(nIndex, m_nVertices)));
            }
            if (!AddFace(*plan.pElement, f, nCorners))
                return false;
        }
        return true;
    }

    template <bool bSwap> bool ReadBinaryFaces(const SElementPlan& plan, const char*& p)
    {
        if (plan.fields.size() == 1)
        {
            const SField& field = plan.fields[0];
            const bool bInt = field.nType == PLY_INT32, bUInt = field.nType == PLY_UINT32;
            if (field.nCountType == PLY_UINT8 && bInt)
                return ReadCornerLists<uint8_t, int32_t, bSwap>(plan, p);
            if (field.nCountType == PLY_UINT8 && bUInt)
                return ReadCornerLists<uint8_t, uint32_t, bSwap>(plan, p);
            if (field.nCountType == PLY_INT32 && bInt)
                return ReadCornerLists<int32_t, int32_t, bSwap>(plan, p);
            if (field.nCountType == PLY_UINT32 && bUInt)
                return ReadCornerLists<uint32_t, uint32_t, bSwap>(plan, p);
        }
        double dUnused[3];
        for (uint64_t f = 0; f < plan.pElement->nCount; ++f)
        {
            Report(f, static_cast<size_t>(p - m_data.data()));
            double* pColor = m_bFaceColors ? m_pFaceColors.get() + 3 * f : dUnused;
            if (!ReadItem<bSwap>(plan, f, p, pColor) || !CheckFinite(plan, pColor, f))
                return false;
        }
        return true;
    }

    template <bool bSwap> bool ReadBinary()
    {
        const char* p = m_data.data() + m_header.nBodyStart;
        for (const SElementPlan& plan : m_plans)
        {
            if (plan.nKind == KIND_VERTEX && !ReadBinaryVertices<bSwap>(plan, p))
                return false;
            if (plan.nKind == KIND_FACE && !ReadBinaryFaces<bSwap>(plan, p))
                return false;
            if (plan.nKind != KIND_OTHER)
                continue;
            if (plan.bFixed)
            {
                if (!FixedItemsFit(plan, p))
                    return false;
                p += plan.pElement->nCount * plan.nMinBytes;
                continue;
            }
            for (uint64_t i = 0; i < plan.pElement->nCount; ++i)
                if (!ReadItem<bSwap>(plan, i, p, nullptr))
                    return false;
        }
        return true;
    }

    // Text.

    static const char* Expected(int nKind, int nTarget)
    {
        if (nKind == KIND_FACE)
            return "expected a face colour";
        if (nTarget >= SLOT_COLOR)
            return "expected a vertex colour";
        if (nTarget >= SLOT_TEXCOORD)
            return "expected a texture coordinate";
        return nTarget >= SLOT_NORMAL ? "expected a vertex normal" : "expected a vertex coordinate";
    }

    bool ReadTextItem(CTokenReader& in, const SElementPlan& plan, double* pValues, uint64_t nItem)
    {
        std::string_view token;
        for (const SField& field : plan.fields)
        {
            if (!field.bList)
            {
                if (field.nTarget < 0)
                {
                    if (!in.NextToken(token))
                        return FailLine(in, "expected a value");
                    continue;
                }
                if (!in.NextDouble(pValues[field.nTarget]))
                    return FailLine(in, Expected(plan.nKind, field.nTarget));
                pValues[field.nTarget] *= field.dScale;
                continue;
            }
            int64_t nCount = 0;
            if (!in.NextInt64(nCount))
                return FailLine(in, field.nTarget == TARGET_CORNERS ? "expected a face size"
                                                                    : "expected a list count");
            if (nCount < 0 || (field.nTarget == TARGET_CORNERS && nCount < 1))
                return FailLine(in, field.nTarget == TARGET_CORNERS ? "expected a face size of at least 1"
                                                                    : "expected a list count of at least 0");
            // Each item needs two bytes too; this also bounds the corner count.
            if (static_cast<uint64_t>(nCount) > (in.Remaining() + 1) / 2)
                return FailLine(in, "the list count asks for more than the file holds");
            for (int64_t k = 0; k < nCount; ++k)
            {
                if (field.nTarget != TARGET_CORNERS)
                {
                    if (!in.NextToken(token))
                        return FailLine(in, "expected a list item");
                    continue;
                }
                int64_t nIndex = 0;
                if (!in.NextInt64(nIndex))
                    return FailLine(in, "expected a vertex index");
                if (!AddCorner(nIndex))
                    return FailLine(in, IndexText(nIndex, m_nVertices));
            }
            if (field.nTarget == TARGET_CORNERS && !AddFace(*plan.pElement, nItem, nCount))
                return FailLine(in, "more face corners than a mesh holds");
        }
        return true;
    }

    bool ReadText()
    {
        // Line numbers count from the start of the file.
        CTokenReader in(m_data);
        in.Seek(m_header.nBodyStart);
        double dUnused[3];
        for (const SElementPlan& plan : m_plans)
        {
            // An item of no properties holds no text.
            if (plan.fields.empty())
                continue;
            for (uint64_t i = 0; i < plan.pElement->nCount; ++i)
            {
                Report(i, in.Position());
                double* pValues = dUnused;
                if (plan.nKind == KIND_VERTEX)
                {
                    pValues = Record(i);
                    ZeroUnfilled(pValues);
                }
                else if (plan.nKind == KIND_FACE && m_bFaceColors)
                    pValues = m_pFaceColors.get() + 3 * i;
                if (!ReadTextItem(in, plan, pValues, i))
                    return false;
            }
        }
        return true;
    }

    // The mesh into parts; with face colours each face's corners become vertices of their own.
    void Finish(SMeshParts& parts)
    {
        parts.bNormals = m_bNormals;
        parts.bSmoothSoup = true;
        parts.bColors = m_bColors || m_bFaceColors;
        parts.bTexCoords = m_bTexCoords;
        parts.nRecordSize = m_nRecordSize;
        parts.nFaces = m_nFaces;
        parts.nEdges = m_nEdges;
        parts.pFaceSizes = std::move(m_pFaceSizes);
        if (!m_bFaceColors)
        {
            parts.nVertices = m_nVertices;
            parts.pRecords = std::move(m_pRecords);
            parts.indices = std::move(m_indices);
            return;
        }
        const size_t nRecord = static_cast<size_t>(m_nRecordSize);
        std::unique_ptr<double[]> pRecords(NewHugeArray<double>(static_cast<size_t>(m_nEdges) * nRecord));
        size_t nCorner = 0;
        for (int32_t f = 0; f < m_nFaces; ++f)
            for (int32_t k = 0; k < parts.pFaceSizes[static_cast<size_t>(f)]; ++k, ++nCorner)
            {
                double* pRecord = pRecords.get() + nCorner * nRecord;
                std::copy_n(Record(static_cast<uint64_t>(m_indices[nCorner])), SLOT_COLOR, pRecord);
                std::copy_n(m_pFaceColors.get() + 3 * static_cast<size_t>(f), 3, pRecord + SLOT_COLOR);
                m_indices[nCorner] = static_cast<int32_t>(nCorner);
            }
        parts.nVertices = static_cast<int32_t>(m_nEdges);
        parts.pRecords = std::move(pRecords);
        parts.indices = std::move(m_indices);
    }

    std::string_view m_data;
    CReadProgress* m_pProgress;
    SPlyHeader m_header;
    std::vector<SElementPlan> m_plans;
    std::string m_strFailure;

    int32_t m_nVertices = 0;
    int32_t m_nFaces = 0;
    int64_t m_nEdges = 0;
    int32_t m_nRecordSize = 6;
    bool m_bNormals = false;
    bool m_bColors = false;
    bool m_bTexCoords = false;
    bool m_bFaceColors = false;
    int m_nCornersField = -1;
    uint32_t m_nSlotsFilled = 0;
    std::vector<int> m_zeroSlots;

    std::unique_ptr<double[]> m_pRecords;
    std::unique_ptr<int32_t[]> m_pFaceSizes;
    std::unique_ptr<double[]> m_pFaceColors;
    std::vector<int32_t> m_indices;
};

void SetDetail(std::string* pstrDetail, std::string strText)
{
    if (pstrDetail != nullptr)
        *pstrDetail = std::move(strText);
}

// The file in data (*pContents, when given, holds it and is freed once it is parsed).
bool ReadPLYData(std::string_view data, CMeshBuilder& builder, CReadProgress* pProgress,
                 std::string* pstrDetail, std::string* pContents)
{
    try
    {
        if (pProgress != nullptr)
            pProgress->SetTotal(data.size());
        SMeshParts parts;
        {
            CPlyParser parser(data, pProgress);
            if (!parser.Parse(parts))
            {
                SetDetail(pstrDetail, parser.Failure());
                return false;
            }
        }
        // A big file's bytes and its mesh need not be in memory at once.
        if (pContents != nullptr)
            std::string().swap(*pContents);
        builder.AdoptPolygons(parts);
        if (pProgress != nullptr)
            pProgress->Finish();
        SetDetail(pstrDetail, std::string());
        return true;
    }
    catch (const std::bad_alloc&)
    {
        // A file whose counts are plausible for its size may still need more memory than there is.
        SetDetail(pstrDetail, "not enough memory");
        return false;
    }
}
} // namespace

bool ReadPLY(const std::string& strPath, CMeshBuilder& builder, CReadProgress* pProgress,
             std::string* pstrDetail)
{
    std::string contents;
    if (!ReadWholeFile(strPath, contents))
    {
        // The caller names the system's reason for a file that cannot be read at all.
        SetDetail(pstrDetail, std::string());
        return false;
    }
    return ReadPLYData(contents, builder, pProgress, pstrDetail, &contents);
}

bool ReadPLYBuffer(std::string_view buffer, CMeshBuilder& builder, std::string* pstrDetail)
{
    return ReadPLYData(buffer, builder, nullptr, pstrDetail, nullptr);
}
