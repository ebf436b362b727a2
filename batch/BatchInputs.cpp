#include "batch/BatchInputs.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "formats/InputFile.h"
#include "formats/ModelFormats.h"
#include "formats/PipeInput.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"
#include "platform/ArchiveException.h"
#include "platform/AvailableMemory.h"

namespace
{
// One line: the message, the path as given, and why when there is a reason to give.
void Fail(const char* pszMessage, const std::string& strPath, const std::string& strWhy = std::string())
{
    std::fprintf(stderr, "%s %s%s%s\n", pszMessage, strPath.c_str(), strWhy.empty() ? "" : ": ",
                 strWhy.c_str());
}

// An input as it is found: what it holds, and its bytes when it had to be read here.
struct SInput
{
    std::string strSource;                 // the path read; "-" is the standard input
    const SModelFormat* pFormat = nullptr; // null: no format recognises it
    bool bInMemory = false;
    std::string contents;
    std::string strReadProblem; // why a pipe could not be read as far as its content needs
};

// False with the system's reason when strPath cannot be read. A regular file is only judged by
// its first bytes, so that the readers keep their own faster paths; a pipe (the standard input,
// a FIFO) can be read only once, so it is read here, as far as its content needs; a device is
// refused.
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
        bool bReadable = false;
        input.pFormat = FindModelFormatOfFile(input.strSource, bReadable);
        if (!bReadable)
            strReason = std::strerror(errno != 0 ? errno : EIO);
    }
    else if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
    {
        // Scripts feed inputs through pipes, which are read as pipes; the files a scene names are
        // never read that way.
        const CPipeInputPermit pipeAllowed(input.strSource);
        CInputFile file;
        SPipeInput piped;
        if (!file.Open(input.strSource))
            strReason = std::strerror(errno != 0 ? errno : EIO);
        else
        {
            ReadPipeInput(file, AvailableMemory() / 2, piped, input.strReadProblem);
            input.bInMemory = true;
            input.pFormat = piped.pFormat;
            input.contents = std::move(piped.contents);
        }
    }
    else
        strReason = "not a regular file";
    return strReason.empty();
}

// A mesh input into the scene: a document file (OFF) as LoadMeshFile puts it there, any other as
// the imports put it. strDetail: why the reader refused it, when it says.
bool LoadMesh(CTeldViewGLDoc& doc, const SInput& input, std::string& strDetail)
{
    if (!input.strReadProblem.empty())
    {
        strDetail = input.strReadProblem;
        return false;
    }
    const SModelFormat& format = *input.pFormat;
    std::vector<std::unique_ptr<CMesh>> meshes;
    const bool bRead =
        input.bInMemory
            ? CMesh::ReadModelSetBuffer(format, input.contents, input.strSource, meshes, &strDetail)
            : CMesh::ReadModelSet(format, input.strSource, meshes, nullptr, &strDetail);
    if (!bRead)
        return false;
    // A file of several objects is a scene of them.
    if (meshes.size() > 1)
        doc.m_bScene = true;
    for (std::unique_ptr<CMesh>& pMesh : meshes)
    {
        if (!(format.bDocumentFile ? doc.AdoptMesh(pMesh.get(), doc.m_bScene)
                                   : doc.AdoptImportedMesh(pMesh.get())))
            return false;
        pMesh.release(); // the document's now
    }
    return true;
}

bool LoadScene(CTeldViewGLDoc& doc, const SInput& input, const std::string& strPath)
{
    std::string strProblem;
    bool bRead = false;
    try
    {
        if (!input.strReadProblem.empty())
            strProblem = input.strReadProblem;
        else
            bRead = input.bInMemory ? doc.ReadSceneBuffer(input.contents, std::string(), &strProblem)
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

bool LoadBatchInputs(CTeldViewGLDoc& doc, const std::vector<std::string>& files,
                     const SModelFormat** ppFirstFormat)
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
        if (i == 0 && ppFirstFormat != nullptr)
            *ppFirstFormat = input.pFormat;
        if (input.pFormat == nullptr || (!input.pFormat->bScene && input.pFormat->fnRead == nullptr))
        {
            std::fprintf(stderr, "Unable to read %s: unexpected file format.\n", strPath.c_str());
            return false;
        }
        if (!input.pFormat->bScene)
        {
            std::string strDetail;
            if (!LoadMesh(doc, input, strDetail))
            {
                Fail(ReadFailureMessage(*input.pFormat).c_str(), strPath, strDetail);
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

std::string InputAtOutput(const std::string& strOut, const std::vector<std::string>& files,
                          const CTeldViewGLDoc* pDoc)
{
    struct stat out;
    if (::stat(strOut.c_str(), &out) != 0)
        return std::string();
    const auto same = [&](const std::string& strPath)
    {
        struct stat in;
        return ::stat(strPath == "-" ? "/dev/stdin" : strPath.c_str(), &in) == 0 && in.st_dev == out.st_dev &&
               in.st_ino == out.st_ino;
    };
    for (const std::string& strPath : files)
        if (same(strPath))
            return strPath;
    for (const CSceneObject* pObject = pDoc != nullptr ? pDoc->m_pObjectList : nullptr; pObject != nullptr;
         pObject = pObject->m_pNext)
        if (pObject->GetType() == OBJECT_MESH && same(static_cast<const CMesh*>(pObject)->m_strPath))
            return static_cast<const CMesh*>(pObject)->m_strPath;
    return std::string();
}

std::string ReadFailureMessage(const SModelFormat& format)
{
    return "Error reading " + std::string(format.pszName) + " file.";
}
