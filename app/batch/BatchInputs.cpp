#include "app/batch/BatchInputs.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "formats/FileKind.h"
#include "formats/InputFile.h"
#include "formats/SceneFile.h"
#include "formats/TokenReader.h"
#include "platform/ArchiveException.h"
#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"

namespace
{
// One line: the message, the path as given, and why when there is a reason to give.
void Fail(const char* pszMessage, const std::string& strPath, const std::string& strWhy = std::string())
{
    std::fprintf(stderr, "%s %s%s%s\n", pszMessage, strPath.c_str(), strWhy.empty() ? "" : ": ",
                 strWhy.c_str());
}

// An input as it is found: what it holds, and its bytes when it had to be read whole.
struct SInput
{
    std::string strSource; // the path read; "-" is the standard input
    int nKind = INPUT_OFF;
    bool bInMemory = false;
    std::string contents;
};

// False with the system's reason when strPath cannot be read. A regular file is only judged by
// its first bytes, so that the readers keep their own faster paths; anything else (a pipe, the
// standard input) can be read only once, so it is read whole here.
bool OpenInput(const std::string& strPath, SInput& input, std::string& strReason)
{
    input.strSource = strPath == "-" ? "/dev/stdin" : strPath;
    struct stat st;
    errno = 0;
    if (::stat(input.strSource.c_str(), &st) != 0)
        strReason = std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        strReason = std::strerror(EISDIR);
    else if (S_ISREG(st.st_mode))
    {
        input.nKind = InputKind(input.strSource);
        if (input.nKind == INPUT_NONE)
            strReason = std::strerror(errno != 0 ? errno : EIO);
    }
    else
    {
        // Scripts feed inputs through pipes, which are read as pipes; the files a scene names are
        // never read that way.
        const CPipeInputPermit pipeAllowed(input.strSource);
        if (!ReadWholeFile(input.strSource, input.contents))
            strReason = std::strerror(errno != 0 ? errno : EIO);
        else
        {
            input.bInMemory = true;
            input.nKind = InputKindOfContent(input.contents, input.contents.size(), strPath);
        }
    }
    return strReason.empty();
}

// An OFF or STL input already in memory into the scene, as LoadMeshFile and ImportSTL put it
// there. strDetail: why an OFF text was refused.
bool AdoptMeshFromMemory(CTeldViewGLDoc& doc, const SInput& input, std::string& strDetail)
{
    auto pMesh = std::make_unique<CMesh>();
    bool bAdopted = false;
    if (input.nKind == INPUT_STL)
        bAdopted = ReadSTLBufferByContent(*pMesh, input.contents, input.strSource) &&
                   doc.AdoptImportedMesh(pMesh.get());
    else
        bAdopted = pMesh->ReadOFFBuffer(input.contents, input.strSource, nullptr, &strDetail) &&
                   doc.AdoptMesh(pMesh.get(), doc.m_bScene);
    if (bAdopted)
        pMesh.release(); // the document's now
    return bAdopted;
}

bool LoadMesh(CTeldViewGLDoc& doc, const SInput& input, std::string& strDetail)
{
    if (input.bInMemory)
        return AdoptMeshFromMemory(doc, input, strDetail);
    if (input.nKind == INPUT_STL)
        return ImportSTLFile(doc, input.strSource);
    try
    {
        return doc.LoadMeshFile(input.strSource, doc.m_bScene);
    }
    catch (const CArchiveException& e)
    {
        strDetail = e.m_strDetail;
        return false;
    }
}

bool LoadScene(CTeldViewGLDoc& doc, const SInput& input, const std::string& strPath)
{
    std::string strProblem;
    bool bRead = false;
    try
    {
        bRead = input.bInMemory ? ReadSceneBuffer(input.contents, doc, std::string(), &strProblem)
                                : doc.ReadSceneFile(input.strSource, &strProblem);
    }
    catch (const CArchiveException&)
    {
        bRead = false;
    }
    if (!bRead)
    {
        // The detail names a file the scene names; the scene file itself is named already.
        const bool bOwnFile = strProblem == CDocument::OpenFailedMessage(input.strSource);
        Fail("Error reading scene file.", strPath, bOwnFile ? std::string() : strProblem);
        return false;
    }
    // As after Load Scene: every object posed at time 0.
    doc.EvaluateScene(0);
    return true;
}
} // namespace

bool LoadBatchInputs(CTeldViewGLDoc& doc, const std::vector<std::string>& files, int* pnFirstKind)
{
    doc.m_bScene = files.size() > 1;
    for (size_t i = 0; i < files.size(); ++i)
    {
        const std::string& strPath = files[i];
        SInput input;
        std::string strReason;
        if (!OpenInput(strPath, input, strReason))
        {
            Fail("Cannot open file.", strPath, strReason);
            return false;
        }
        if (i == 0 && pnFirstKind != nullptr)
            *pnFirstKind = input.nKind;
        if (input.nKind != INPUT_SCENE)
        {
            std::string strDetail;
            if (!LoadMesh(doc, input, strDetail))
            {
                Fail(input.nKind == INPUT_STL ? "Error reading STL file." : "Error reading OFF file.",
                     strPath, strDetail);
                return false;
            }
        }
        // Loading a scene replaces what was loaded before it.
        else if (i > 0)
        {
            std::fprintf(stderr, "A scene file must be the first input: %s\n", strPath.c_str());
            return false;
        }
        else if (!LoadScene(doc, input, strPath))
            return false;
    }
    return true;
}
