// The 3MF reader on arbitrary bytes, taken as a package. Data that is no zip archive is also
// packed as the model part of one, stored, so that the XML side sees mutations that a checksum
// would otherwise stop. Whatever is accepted must be a sound mesh set; a refusal leaves the set
// as it was and says why.
#include <zip.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/3mf/ThreeMfReader.h"
#include "formats/MeshSet.h"

namespace
{
void Check(bool bCondition, const char* pszWhat)
{
    if (!bCondition)
    {
        std::fprintf(stderr, "fuzz_3mf: %s\n", pszWhat);
        std::abort();
    }
}

void CheckRead(std::string_view data)
{
    SMeshSet set;
    set.names.push_back("before");
    std::string strDetail;
    if (!Read3MF(data, set, &strDetail))
    {
        Check(!strDetail.empty(), "refusal without a detail");
        Check(set.names.size() == 1 && set.names[0] == "before" && set.meshes.empty(),
              "refusal changed the set");
        return;
    }
    Check(strDetail.empty(), "success with a detail");
    Check(!set.meshes.empty() && set.meshes.size() == set.names.size(), "meshes and names differ");
    for (const SMeshParts& mesh : set.meshes)
    {
        Check(mesh.nRecordSize == 6 && !mesh.bNormals && !mesh.bColors && !mesh.bTexCoords, "fields");
        Check(mesh.nVertices > 0 && mesh.nFaces >= 0 && mesh.nEdges == 3 * int64_t(mesh.nFaces) &&
                  mesh.indices.size() == static_cast<size_t>(mesh.nEdges),
              "counts");
        for (int32_t f = 0; f < mesh.nFaces; ++f)
            Check(mesh.pFaceSizes[f] == 3, "face size");
        for (const int32_t n : mesh.indices)
            Check(n >= 0 && n < mesh.nVertices, "index out of range");
        for (int64_t i = 0; i < 6 * int64_t(mesh.nVertices); ++i)
            Check(std::isfinite(mesh.pRecords[i]), "coordinate not finite");
    }
}

// A zip archive in memory holding the data as 3D/3dmodel.model, stored; empty on failure.
std::string StoredPackage(std::string_view data)
{
    std::string out;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* pBuffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_error_fini(&error);
    if (pBuffer == nullptr)
        return out;
    zip_source_keep(pBuffer);
    zip_t* pZip = zip_open_from_source(pBuffer, ZIP_TRUNCATE, nullptr);
    if (pZip != nullptr)
    {
        zip_source_t* pPart = zip_source_buffer(pZip, data.data(), data.size(), 0);
        const zip_int64_t nIndex = pPart != nullptr ? zip_file_add(pZip, "3D/3dmodel.model", pPart, 0) : -1;
        if (nIndex < 0)
            zip_source_free(pPart);
        else
            zip_set_file_compression(pZip, static_cast<zip_uint64_t>(nIndex), ZIP_CM_STORE, 0);
        if (zip_close(pZip) != 0)
            zip_discard(pZip);
        zip_stat_t st;
        if (zip_source_stat(pBuffer, &st) == 0 && zip_source_open(pBuffer) == 0)
        {
            out.resize(static_cast<size_t>(st.size));
            const zip_int64_t nRead = zip_source_read(pBuffer, out.data(), out.size());
            out.resize(nRead > 0 ? static_cast<size_t>(nRead) : 0);
            zip_source_close(pBuffer);
        }
    }
    else
        zip_source_free(pBuffer); // the archive did not take its reference
    zip_source_free(pBuffer);
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string_view data(reinterpret_cast<const char*>(pData), nSize);
    CheckRead(data);
    if (data.substr(0, 2) != "PK")
        if (const std::string package = StoredPackage(data); !package.empty())
            CheckRead(package);
    return 0;
}
