// The zip side of 3MF packages, on libzip: the archive opened from memory, the model part found
// through the package relationships, parts read within limits.
#include "formats/3mf/ThreeMfPackage.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace
{
constexpr const char* RELATIONSHIPS_PART = "_rels/.rels";
constexpr const char* DEFAULT_MODEL_PART = "3D/3dmodel.model";
constexpr const char* MODEL_RELATIONSHIP = "http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel";
// The relationships are a few lines; anything much larger is no package of ours.
constexpr uint64_t MAX_RELATIONSHIPS_BYTES = uint64_t(1) << 20;
// A part is read in pieces of at least this size, each up to the size read so far.
constexpr uint64_t READ_PIECE = uint64_t(1) << 20;
// XML deflates to a tenth or so: room for that is taken at once, which saves copying as it grows.
constexpr uint64_t TYPICAL_RATIO = 32;

std::string ZipErrorText(int nCode)
{
    zip_error_t error;
    zip_error_init_with_code(&error, nCode);
    std::string strText = zip_error_strerror(&error);
    zip_error_fini(&error);
    return strText;
}

// The local part of an expat name "namespace|local", or the name as it is without a namespace.
std::string_view LocalName(const XML_Char* pszName)
{
    std::string_view name(pszName);
    const size_t nBar = name.rfind('|');
    return nBar == std::string_view::npos ? name : name.substr(nBar + 1);
}

// The target of the first 3D model relationship of _rels/.rels, read with expat.
struct SRelationshipScan
{
    XML_Parser pParser = nullptr;
    std::string strTarget;
    std::string strProblem;

    static void XMLCALL Start(void* pUser, const XML_Char* pszName, const XML_Char** ppAttributes)
    {
        auto& scan = *static_cast<SRelationshipScan*>(pUser);
        if (LocalName(pszName) != "Relationship" || !scan.strTarget.empty())
            return;
        const XML_Char* pszType = nullptr;
        const XML_Char* pszTarget = nullptr;
        for (const XML_Char** pp = ppAttributes; *pp != nullptr; pp += 2)
        {
            if (std::strcmp(pp[0], "Type") == 0)
                pszType = pp[1];
            else if (std::strcmp(pp[0], "Target") == 0)
                pszTarget = pp[1];
        }
        if (pszType != nullptr && pszTarget != nullptr && std::strcmp(pszType, MODEL_RELATIONSHIP) == 0)
            scan.strTarget = pszTarget;
    }

    // No package part declares a document type; refusing one keeps entity expansion out.
    static void XMLCALL Doctype(void* pUser, const XML_Char*, const XML_Char*, const XML_Char*, int)
    {
        auto& scan = *static_cast<SRelationshipScan*>(pUser);
        scan.strProblem = "a document type declaration, which no package part holds";
        XML_StopParser(scan.pParser, XML_FALSE);
    }
};

// "line 3: mismatched tag" for the parser's error, or the scan's own problem.
std::string XmlFailure(XML_Parser pParser, const std::string& strOwn)
{
    return "line " + std::to_string(XML_GetCurrentLineNumber(pParser)) + ": " +
           (strOwn.empty() ? std::string(XML_ErrorString(XML_GetErrorCode(pParser))) : strOwn);
}
} // namespace

CThreeMfPackage::~CThreeMfPackage()
{
    if (m_pArchive != nullptr)
        zip_discard(m_pArchive);
}

bool CThreeMfPackage::Open(std::string_view data, std::string& strProblem)
{
    m_nArchiveSize = data.size();
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* pSource = zip_source_buffer_create(data.data(), data.size(), 0, &error);
    if (pSource != nullptr)
    {
        m_pArchive = zip_open_from_source(pSource, ZIP_RDONLY, &error);
        if (m_pArchive == nullptr)
            zip_source_free(pSource);
    }
    if (m_pArchive == nullptr)
        strProblem = std::string("not a zip archive (") + zip_error_strerror(&error) + ")";
    zip_error_fini(&error);
    return m_pArchive != nullptr;
}

bool CThreeMfPackage::HasPart(const std::string& strName) const
{
    return zip_name_locate(m_pArchive, strName.c_str(), ZIP_FL_NOCASE) >= 0;
}

bool CThreeMfPackage::FindModelPart(std::string& strName, std::string& strProblem)
{
    strName = DEFAULT_MODEL_PART;
    if (HasPart(RELATIONSHIPS_PART))
    {
        std::string text;
        if (!ReadPart(RELATIONSHIPS_PART, MAX_RELATIONSHIPS_BYTES, text, strProblem))
            return false;
        SRelationshipScan scan;
        scan.pParser = XML_ParserCreateNS(nullptr, '|');
        if (scan.pParser == nullptr)
            throw std::bad_alloc();
        XML_SetUserData(scan.pParser, &scan);
        XML_SetStartElementHandler(scan.pParser, SRelationshipScan::Start);
        XML_SetStartDoctypeDeclHandler(scan.pParser, SRelationshipScan::Doctype);
        const bool bParsed =
            XML_Parse(scan.pParser, text.data(), static_cast<int>(text.size()), XML_TRUE) == XML_STATUS_OK;
        if (!bParsed)
            strProblem = std::string(RELATIONSHIPS_PART) + ": " + XmlFailure(scan.pParser, scan.strProblem);
        XML_ParserFree(scan.pParser);
        if (!bParsed)
            return false;
        // Targets are absolute part names ("/3D/3dmodel.model") or relative to the package root.
        if (!scan.strTarget.empty())
            strName = scan.strTarget.substr(scan.strTarget[0] == '/' ? 1 : 0);
    }
    if (HasPart(strName))
        return true;
    strProblem = "the package has no model part " + strName;
    return false;
}

bool CThreeMfPackage::ReadPart(const std::string& strName, uint64_t nMaxBytes, std::string& contents,
                               std::string& strProblem)
{
    const zip_int64_t nIndex = zip_name_locate(m_pArchive, strName.c_str(), ZIP_FL_NOCASE);
    zip_stat_t st;
    zip_stat_init(&st);
    if (nIndex < 0 || zip_stat_index(m_pArchive, static_cast<zip_uint64_t>(nIndex), 0, &st) != 0)
    {
        strProblem = "the package has no part " + strName;
        return false;
    }
    const uint64_t nSize = (st.valid & ZIP_STAT_SIZE) != 0 ? st.size : UINT64_MAX;
    const uint64_t nCompressed = (st.valid & ZIP_STAT_COMP_SIZE) != 0 ? st.comp_size : 0;
    if (nCompressed > m_nArchiveSize)
    {
        strProblem =
            strName + ": " + std::to_string(nCompressed) + " compressed bytes, more than the file holds";
        return false;
    }
    if (nSize > nMaxBytes)
    {
        strProblem = strName + ": " + std::to_string(nSize) + " bytes, more than the " +
                     std::to_string(nMaxBytes) + " a part may have";
        return false;
    }
    if (nCompressed < UINT64_MAX / MAX_COMPRESSION_RATIO && nSize > nCompressed * MAX_COMPRESSION_RATIO)
    {
        strProblem = strName + ": " + std::to_string(nSize) + " bytes from " + std::to_string(nCompressed) +
                     " compressed, more than compression gives (a zip bomb)";
        return false;
    }
    zip_file_t* pFile = zip_fopen_index(m_pArchive, static_cast<zip_uint64_t>(nIndex), 0);
    if (pFile == nullptr)
    {
        strProblem = strName + ": " + zip_strerror(m_pArchive);
        return false;
    }
    // The string grows with what the data gives, not with what the entry claims: a size stated
    // falsely costs no memory beyond the bytes that are really there and a first reservation.
    contents.clear();
    contents.reserve(static_cast<size_t>(std::min(nSize, TYPICAL_RATIO * nCompressed + READ_PIECE)));
    zip_int64_t nRead = 1;
    while (contents.size() < nSize && nRead > 0)
    {
        const size_t nDone = contents.size();
        const uint64_t nWant = std::min(nSize - nDone, std::max<uint64_t>(nDone, READ_PIECE));
        contents.resize(nDone + static_cast<size_t>(nWant));
        nRead = zip_fread(pFile, contents.data() + nDone, nWant);
        contents.resize(nDone + (nRead > 0 ? static_cast<size_t>(nRead) : 0));
    }
    // One byte more shows whether the data goes on past its stated size, and makes libzip check
    // the data's checksum at its end.
    char cExtra;
    const zip_int64_t nBeyond = nRead < 0 ? -1 : zip_fread(pFile, &cExtra, 1);
    std::string strFailure;
    if (nRead < 0 || nBeyond < 0)
        strFailure = zip_file_strerror(pFile);
    else if (contents.size() < nSize)
        strFailure = "the data ends before its stated size";
    else if (nBeyond > 0)
        strFailure = "the data goes on past its stated size";
    const int nClose = zip_fclose(pFile);
    if (strFailure.empty() && nClose != 0)
        strFailure = ZipErrorText(nClose);
    if (!strFailure.empty())
    {
        contents.clear();
        strProblem = strName + ": " + strFailure;
        return false;
    }
    return true;
}
