// The XML of a 3MF model part, read with expat into objects and build items.
#include "formats/3mf/ThreeMfModel.h"

#include <expat.h>

#include <cstring>
#include <limits>
#include <new>
#include <unordered_set>

#include "formats/TokenReader.h"

namespace
{
constexpr std::string_view CORE_NAMESPACE = "http://schemas.microsoft.com/3dmanufacturing/core/2015/02";
// A model part nests some six levels; extensions add a few.
constexpr size_t MAX_ELEMENT_DEPTH = 256;
constexpr size_t PARSE_PIECE = size_t(1) << 20;

enum EElement : uint8_t
{
    ELEMENT_SKIPPED,
    ELEMENT_MODEL,
    ELEMENT_RESOURCES,
    ELEMENT_OBJECT,
    ELEMENT_MESH,
    ELEMENT_VERTICES,
    ELEMENT_VERTEX,
    ELEMENT_TRIANGLES,
    ELEMENT_TRIANGLE,
    ELEMENT_COMPONENTS,
    ELEMENT_COMPONENT,
    ELEMENT_BUILD,
    ELEMENT_ITEM
};

// Each element the reader takes, and the element it must stand in; elsewhere it is skipped.
struct SElementRule
{
    std::string_view name;
    EElement eElement;
    EElement eParent;
};

constexpr SElementRule ELEMENT_RULES[] = {
    {"resources", ELEMENT_RESOURCES, ELEMENT_MODEL},
    {"object", ELEMENT_OBJECT, ELEMENT_RESOURCES},
    {"mesh", ELEMENT_MESH, ELEMENT_OBJECT},
    {"vertices", ELEMENT_VERTICES, ELEMENT_MESH},
    {"vertex", ELEMENT_VERTEX, ELEMENT_VERTICES},
    {"triangles", ELEMENT_TRIANGLES, ELEMENT_MESH},
    {"triangle", ELEMENT_TRIANGLE, ELEMENT_TRIANGLES},
    {"components", ELEMENT_COMPONENTS, ELEMENT_OBJECT},
    {"component", ELEMENT_COMPONENT, ELEMENT_COMPONENTS},
    {"build", ELEMENT_BUILD, ELEMENT_MODEL},
    {"item", ELEMENT_ITEM, ELEMENT_BUILD},
};

// The value of the attribute without a namespace of that name, or null.
const XML_Char* Attribute(const XML_Char** ppAttributes, const char* pszName)
{
    for (const XML_Char** pp = ppAttributes; *pp != nullptr; pp += 2)
        if (std::strcmp(pp[0], pszName) == 0)
            return pp[1];
    return nullptr;
}

bool ParseNumber(const XML_Char* pszValue, double& dValue)
{
    if (pszValue == nullptr)
        return false;
    CTokenReader in(pszValue);
    return in.NextDouble(dValue) && in.AtEnd();
}

bool ParseIndex(const XML_Char* pszValue, int32_t& nValue)
{
    if (pszValue == nullptr)
        return false;
    CTokenReader in(pszValue);
    return in.NextInt(nValue) && in.AtEnd() && nValue >= 0;
}

class CModelParser
{
public:
    CModelParser(SThreeMfModel& model) : m_model(model) {}

    bool Parse(std::string_view xml, std::string& strProblem)
    {
        m_pParser = XML_ParserCreateNS(nullptr, '|');
        if (m_pParser == nullptr)
            throw std::bad_alloc();
        XML_SetUserData(m_pParser, this);
        XML_SetElementHandler(m_pParser, StartElement, EndElement);
        XML_SetStartDoctypeDeclHandler(m_pParser, Doctype);
        // In pieces: given all at once, expat would first copy the whole text into a buffer of its own.
        bool bOk = true;
        for (size_t nPos = 0; bOk && (nPos < xml.size() || nPos == 0); nPos += PARSE_PIECE)
        {
            const std::string_view piece = xml.substr(nPos, PARSE_PIECE);
            const XML_Bool bFinal = nPos + PARSE_PIECE >= xml.size() ? XML_TRUE : XML_FALSE;
            bOk = XML_Parse(m_pParser, piece.data(), static_cast<int>(piece.size()), bFinal) == XML_STATUS_OK;
        }
        if (!bOk && !m_bFailed)
            m_strProblem = At(XML_ErrorString(XML_GetErrorCode(m_pParser)));
        else if (bOk && !m_bModelSeen)
        {
            bOk = false;
            m_strProblem = "no <model> element";
        }
        XML_ParserFree(m_pParser);
        strProblem = m_strProblem;
        return bOk;
    }

private:
    std::string At(const std::string& strWhat) const
    {
        return "line " + std::to_string(XML_GetCurrentLineNumber(m_pParser)) + ": " + strWhat;
    }

    void Fail(const std::string& strWhat)
    {
        if (m_bFailed)
            return;
        m_bFailed = true;
        m_strProblem = At(strWhat);
        XML_StopParser(m_pParser, XML_FALSE);
    }

    // The element as the reader sees it where it stands: one of the core elements in its place,
    // or skipped with all that is inside it.
    EElement Classify(const XML_Char* pszName) const
    {
        std::string_view name(pszName);
        const size_t nBar = name.rfind('|');
        if (nBar != std::string_view::npos)
        {
            if (name.substr(0, nBar) != CORE_NAMESPACE)
                return ELEMENT_SKIPPED;
            name.remove_prefix(nBar + 1);
        }
        if (m_stack.empty())
            return name == "model" ? ELEMENT_MODEL : ELEMENT_SKIPPED;
        for (const SElementRule& rule : ELEMENT_RULES)
            if (rule.name == name)
                return rule.eParent == m_stack.back() ? rule.eElement : ELEMENT_SKIPPED;
        return ELEMENT_SKIPPED;
    }

    static void XMLCALL StartElement(void* pUser, const XML_Char* pszName, const XML_Char** ppAttributes)
    {
        auto& parser = *static_cast<CModelParser*>(pUser);
        // Expat may still report an event or two after the parser was stopped.
        if (parser.m_bFailed)
            return;
        if (parser.m_stack.size() >= MAX_ELEMENT_DEPTH)
            return parser.Fail("elements nested deeper than " + std::to_string(MAX_ELEMENT_DEPTH) +
                               " levels");
        const EElement eElement = parser.m_stack.empty() || parser.m_stack.back() != ELEMENT_SKIPPED
                                      ? parser.Classify(pszName)
                                      : ELEMENT_SKIPPED;
        if (parser.m_stack.empty() && eElement != ELEMENT_MODEL)
            return parser.Fail("the root element is not a 3MF <model>");
        parser.m_stack.push_back(eElement);
        parser.Start(eElement, ppAttributes);
    }

    static void XMLCALL EndElement(void* pUser, const XML_Char*)
    {
        auto& parser = *static_cast<CModelParser*>(pUser);
        if (!parser.m_bFailed && !parser.m_stack.empty())
            parser.m_stack.pop_back();
    }

    // No model part declares a document type; refusing one keeps entity expansion out.
    static void XMLCALL Doctype(void* pUser, const XML_Char*, const XML_Char*, const XML_Char*, int)
    {
        static_cast<CModelParser*>(pUser)->Fail("a document type declaration, which no model part holds");
    }

    void Start(EElement eElement, const XML_Char** ppAttributes)
    {
        switch (eElement)
        {
        case ELEMENT_MODEL:
            m_bModelSeen = true;
            break;
        case ELEMENT_OBJECT:
            StartObject(ppAttributes);
            break;
        case ELEMENT_MESH:
            // Indices count from the mesh's first vertex.
            m_nMeshStart = m_model.objects.back().positions.size() / 3;
            break;
        case ELEMENT_VERTEX:
            AddVertex(ppAttributes);
            break;
        case ELEMENT_TRIANGLE:
            AddTriangle(ppAttributes);
            break;
        case ELEMENT_COMPONENT:
            if (SThreeMfPlacement placement; ReadPlacement(ppAttributes, "component", placement))
                m_model.objects.back().components.push_back(placement);
            break;
        case ELEMENT_ITEM:
            if (SThreeMfPlacement placement; ReadPlacement(ppAttributes, "build item", placement))
                m_model.items.push_back(placement);
            break;
        default:
            break;
        }
    }

    void StartObject(const XML_Char** ppAttributes)
    {
        SThreeMfObject object;
        if (!ParseIndex(Attribute(ppAttributes, "id"), object.nId))
            return Fail("an object needs an id, a number from 0 on");
        if (!m_ids.insert(object.nId).second)
            return Fail("object id " + std::to_string(object.nId) + " is given twice");
        const XML_Char* pszType = Attribute(ppAttributes, "type");
        object.bSkipped = pszType != nullptr &&
                          (std::strcmp(pszType, "support") == 0 || std::strcmp(pszType, "other") == 0);
        if (const XML_Char* pszName = Attribute(ppAttributes, "name"))
            object.strName = pszName;
        object.nLine = static_cast<int64_t>(XML_GetCurrentLineNumber(m_pParser));
        m_model.objects.push_back(std::move(object));
    }

    void AddVertex(const XML_Char** ppAttributes)
    {
        double p[3];
        if (!ParseNumber(Attribute(ppAttributes, "x"), p[0]) ||
            !ParseNumber(Attribute(ppAttributes, "y"), p[1]) ||
            !ParseNumber(Attribute(ppAttributes, "z"), p[2]))
            return Fail("a vertex needs finite numbers x, y and z");
        std::vector<double>& positions = m_model.objects.back().positions;
        if (positions.size() / 3 >= static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            return Fail("more vertices than a mesh holds");
        positions.insert(positions.end(), p, p + 3);
    }

    void AddTriangle(const XML_Char** ppAttributes)
    {
        SThreeMfObject& object = m_model.objects.back();
        const int64_t nVertices = static_cast<int64_t>(object.positions.size() / 3 - m_nMeshStart);
        int32_t v[3];
        static constexpr const char* NAMES[] = {"v1", "v2", "v3"};
        for (int i = 0; i < 3; ++i)
        {
            if (!ParseIndex(Attribute(ppAttributes, NAMES[i]), v[i]))
                return Fail("a triangle needs vertex indices v1, v2 and v3 from 0 on");
            if (v[i] >= nVertices)
                return Fail(nVertices == 0 ? "vertex index " + std::to_string(v[i]) + " before any vertex"
                                           : "vertex index " + std::to_string(v[i]) + " is not in 0 to " +
                                                 std::to_string(nVertices - 1));
        }
        if (object.triangles.size() / 3 >= static_cast<size_t>(std::numeric_limits<int32_t>::max() / 3))
            return Fail("more triangles than a mesh holds");
        for (const int32_t n : v)
            object.triangles.push_back(static_cast<int32_t>(n + static_cast<int64_t>(m_nMeshStart)));
    }

    bool ReadPlacement(const XML_Char** ppAttributes, const char* pszWhat, SThreeMfPlacement& placement)
    {
        // The production extension places objects of other model parts, which are not read.
        for (const XML_Char** pp = ppAttributes; *pp != nullptr; pp += 2)
        {
            const std::string_view name(pp[0]);
            if (name.size() > 5 && name.substr(name.size() - 5) == "|path")
            {
                Fail(std::string("the ") + pszWhat + " places an object of the part " + pp[1] +
                     ", which is not read");
                return false;
            }
        }
        if (!ParseIndex(Attribute(ppAttributes, "objectid"), placement.nObjectId))
        {
            Fail(std::string("a ") + pszWhat + " needs the objectid of an object");
            return false;
        }
        if (const XML_Char* pszTransform = Attribute(ppAttributes, "transform"))
        {
            CTokenReader in(pszTransform);
            for (double& d : placement.transform)
                if (!in.NextDouble(d))
                {
                    Fail("the transform needs 12 finite numbers");
                    return false;
                }
            if (!in.AtEnd())
            {
                Fail("the transform needs 12 finite numbers");
                return false;
            }
        }
        placement.nLine = static_cast<int64_t>(XML_GetCurrentLineNumber(m_pParser));
        return true;
    }

    SThreeMfModel& m_model;
    XML_Parser m_pParser = nullptr;
    std::vector<EElement> m_stack;
    std::unordered_set<int32_t> m_ids;
    size_t m_nMeshStart = 0;
    bool m_bModelSeen = false;
    bool m_bFailed = false;
    std::string m_strProblem;
};
} // namespace

bool ParseThreeMfModel(std::string_view xml, SThreeMfModel& model, std::string& strProblem)
{
    CModelParser parser(model);
    return parser.Parse(xml, strProblem);
}
