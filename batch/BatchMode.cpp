#include "batch/BatchMode.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "batch/BatchAnimate.h"
#include "batch/BatchInputs.h"
#include "batch/BatchOptions.h"
#include "batch/BatchSnapshot.h"
#include "batch/BatchThumbnail.h"
#include "formats/ModelFormats.h"
#include "model/Mesh.h"
#include "model/ObjectInfo.h"
#include "model/TeldViewGLDoc.h"

namespace
{
void PrintObject(const CSceneObject& object)
{
    std::string text;
    for (const auto& [strLabel, strValue] : DescribeObject(object))
        text += strLabel + " " + strValue + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// 1 with the reason when what went to the standard output did not all arrive (a full disk, a
// closed pipe), else 0.
int CheckStandardOutput()
{
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return 0;
    std::fprintf(stderr, "Error writing the standard output: %s\n", std::strerror(errno != 0 ? errno : EIO));
    return 1;
}

// One block per mesh; a scene shows its camera first, as the dialog's list does.
int RunInfo(const CTeldViewGLDoc& doc, bool bWithCamera)
{
    bool bFirst = true;
    for (const CSceneObject* pObject = doc.m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
    {
        if (pObject->GetType() != OBJECT_MESH && !(bWithCamera && pObject == doc.m_pObjectList))
            continue;
        if (!bFirst)
            std::fputs("\n", stdout);
        bFirst = false;
        PrintObject(*pObject);
    }
    return CheckStandardOutput();
}

// pFirstFormat: what the first input held.
int RunConvert(CTeldViewGLDoc& doc, const SBatchOptions& options, const SModelFormat* pFirstFormat)
{
    const std::string& strOut = options.strOut;
    const char* pszOption = options.bAscii ? "ascii" : nullptr;
    if (WriterFor(strOut, nullptr) == nullptr && !WriterOptionApplies(strOut, "ascii"))
        return BatchUsage("the output must end in " + WriterExtensionList() + ": " + strOut);
    const SModelWriter* pWriter = WriterFor(strOut, pszOption);
    if (pWriter == nullptr)
        return BatchUsage("--ascii applies only to " + WriterExtensionList("ascii") + " output");
    if (const std::string strInput = InputAtOutput(strOut, options.files, &doc); !strInput.empty())
    {
        std::fprintf(stderr, "Error exporting scene to file. %s: the same file as the input %s\n",
                     strOut.c_str(), strInput.c_str());
        return 1;
    }
    const bool bOneMesh = options.files.size() == 1 && pFirstFormat != nullptr && !pFirstFormat->bScene;
    std::string strProblem;
    if (!doc.ExportScene(strOut, *pWriter, bOneMesh, &strProblem))
    {
        // The problem names the output and the system's reason, or what the format cannot hold.
        if (strProblem.rfind(strOut + ": ", 0) != 0)
            strProblem = strOut + ": " + strProblem;
        std::fprintf(stderr, "Error exporting scene to file. %s\n", strProblem.c_str());
        return 1;
    }
    return 0;
}
} // namespace

int RunBatchMode(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version")
        return std::puts("TeldViewGL " TELDVIEW_VERSION) < 0 ? 1 : 0;
    SBatchOptions options;
    if (const int nParse = ParseBatchOptions(args, options); nParse >= 0)
        return nParse;
    if (options.bHelp)
    {
        std::fputs(BatchUsageText().c_str(), stdout);
        return CheckStandardOutput();
    }
    if (options.nOperations == BATCH_NONE)
        return -1; // no batch operation: the window opens the file
    if (options.nOperations == BATCH_THUMBNAIL)
    {
        if (options.files.size() > 1)
            return BatchUsage("--thumbnail takes one input file");
        return RunThumbnail(options.nThumbnailSize, options.files[0], options.strOut);
    }
    if (options.files.empty())
        return BatchUsage("no input file");
    if (options.nOperations == BATCH_SNAPSHOT)
    {
        if (SnapshotKind(options.strOut) == SNAPSHOT_NONE)
            return BatchUsage("the output must end in .bmp, .jpg, .jpeg, .emf or .png: " + options.strOut);
        return RunSnapshot(options.strOut, options.nWidth, options.nHeight, options.files,
                           options.bTransparent, options.look, options.nTime);
    }
    if (options.nOperations == BATCH_ANIMATE)
        return RunAnimate(options.strOut, options.nWidth, options.nHeight, options.files, options.look,
                          options.range);

    // Nothing is drawn here: the document has no drawing, so no display lists are compiled and no
    // GL is needed.
    CTeldViewGLDoc doc;
    const SModelFormat* pFirstFormat = nullptr;
    if (!LoadBatchInputs(doc, options.files, &pFirstFormat))
        return 1;
    if (options.bTime)
        doc.EvaluateScene(options.nTime);
    if (options.nOperations == BATCH_INFO)
        return RunInfo(doc, pFirstFormat != nullptr && pFirstFormat->bScene);
    return RunConvert(doc, options, pFirstFormat);
}
