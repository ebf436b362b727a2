#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct zip;

// The zip archive of a 3MF package, opened on its bytes in memory (which must outlive it), and the
// parts read from it. A part is read only when the size the archive states for it fits the limit
// and a ratio to its compressed size that deflate can reach, and the reading stops at that size
// whatever the compressed data would give: a zip bomb costs no more than its stated size.
class CThreeMfPackage
{
public:
    // A part holds at most this many bytes per compressed byte (deflate reaches about 1032).
    static constexpr uint64_t MAX_COMPRESSION_RATIO = 1100;

    CThreeMfPackage() = default;
    ~CThreeMfPackage();
    CThreeMfPackage(const CThreeMfPackage&) = delete;
    CThreeMfPackage& operator=(const CThreeMfPackage&) = delete;

    // False, with strProblem saying why, when the data is no zip archive.
    bool Open(std::string_view data, std::string& strProblem);
    // The name of the model part: the target of the package's 3D model relationship in
    // _rels/.rels, else 3D/3dmodel.model. False, with strProblem, when the relationships cannot be
    // read or no such part is there.
    bool FindModelPart(std::string& strName, std::string& strProblem);
    // The whole part (names compare in any case, as the package's names do); false, with
    // strProblem, when it is not there, is larger than nMaxBytes or than its compressed size can
    // hold, claims more compressed bytes than the archive has, or cannot be read as its entry says.
    bool ReadPart(const std::string& strName, uint64_t nMaxBytes, std::string& contents,
                  std::string& strProblem);

private:
    bool HasPart(const std::string& strName) const;

    struct zip* m_pArchive = nullptr;
    uint64_t m_nArchiveSize = 0;
};
