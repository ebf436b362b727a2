#include "batch/BatchMode.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"
#include "batch/BatchSnapshot.h"
#include "batch/BatchThumbnail.h"
#include "formats/FileKind.h"
#include "formats/off/OffWriter.h"
#include "model/Mesh.h"
#include "model/ObjectInfo.h"
#include "model/SceneTime.h"
#include "model/TeldViewGLDoc.h"
#include "platform/DataExchange.h"
#include "platform/SafeFileWriter.h"

namespace
{
const char* const USAGE =
    "usage: teldviewgl [FILE...]\n"
    "       teldviewgl --info FILE... [--time SECONDS]\n"
    "       teldviewgl --convert OUT [--ascii] FILE...\n"
    "       teldviewgl --snapshot OUT [--size WxH] [--transparent] FILE...\n"
    "       teldviewgl --thumbnail SIZE FILE OUT\n"
    "       teldviewgl --help\n"
    "       teldviewgl --version\n"
    "\n"
    "  FILE...              open the files in the viewer (several as one scene)\n"
    "  --info FILE...       print the object information of every object loaded\n"
    "  --time SECONDS       with --info: pose the scene at that time first (0.01 s steps)\n"
    "  --convert OUT FILE...\n"
    "                       load the files and write them to OUT, by its extension:\n"
    "                       .off (one mesh as it is, several as one scene), .stl (binary),\n"
    "                       .pts (point cloud)\n"
    "  --ascii              with --convert to .stl: write ASCII STL\n"
    "  --snapshot OUT FILE...\n"
    "                       load the files and write the picture of the default view to OUT,\n"
    "                       drawn without a display, by its extension: .bmp, .jpg or .jpeg,\n"
    "                       .emf, .png\n"
    "  --size WxH           with --snapshot: the picture's size in pixels, 1 to 16384 a side\n"
    "                       (default 800x600)\n"
    "  --transparent        with --snapshot to .png: transparent wherever nothing was drawn\n"
    "  --thumbnail SIZE FILE OUT\n"
    "                       write a PNG picture of FILE to OUT for a file manager: SIZE x SIZE\n"
    "                       pixels (1 to 1024), the model fitted, the rest transparent\n"
    "  --help               show this text\n"
    "  --version            print the program's version\n"
    "\n"
    "Inputs are OFF files, binary or ASCII STL files and scene files (first input only), told\n"
    "apart by their content; - reads the standard input. Several inputs are loaded as one\n"
    "scene, in order.\n";

struct SOptions
{
    bool bHelp = false;
    bool bInfo = false;
    bool bConvert = false;
    bool bAscii = false;
    bool bTime = false;
    int32_t nTime = 0;
    bool bSnapshot = false;
    bool bSize = false;
    bool bTransparent = false;
    bool bThumbnail = false;
    int nThumbnailSize = 0;
    int nWidth = 800;
    int nHeight = 600;
    std::string strOut;
    std::vector<std::string> files;
};

int Usage(const std::string& strProblem)
{
    std::fprintf(stderr, "teldviewgl: %s\n%s", strProblem.c_str(), USAGE);
    return 2;
}

bool IsOption(const std::string& arg)
{
    return arg.size() > 1 && arg[0] == '-';
}

// "WxH" with both sides from 1 to MAX_SNAPSHOT_SIDE.
bool ParseSize(const std::string& strSize, int& nWidth, int& nHeight)
{
    const size_t nX = strSize.find_first_of("xX");
    if (nX == std::string::npos)
        return false;
    const auto side = [](const char* pFirst, const char* pLast, int& n)
    {
        const auto [pEnd, ec] = std::from_chars(pFirst, pLast, n);
        return ec == std::errc() && pEnd == pLast && n >= 1 && n <= MAX_SNAPSHOT_SIDE;
    };
    const char* p = strSize.data();
    return side(p, p + nX, nWidth) && side(p + nX + 1, p + strSize.size(), nHeight);
}

// Options may stand in any order before the files. Returns -1 when parsing succeeded.
int ParseOptions(const std::vector<std::string>& args, SOptions& options)
{
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h")
            options.bHelp = true;
        else if (arg == "--info")
            options.bInfo = true;
        else if (arg == "--ascii")
            options.bAscii = true;
        else if (arg == "--transparent")
            options.bTransparent = true;
        else if (arg == "--thumbnail")
        {
            // SIZE FILE OUT, as a thumbnailer's Exec line passes them: the names are taken as
            // they stand.
            int& n = options.nThumbnailSize;
            const std::string strSize = i + 1 < args.size() ? args[i + 1] : std::string();
            const auto [pEnd, ec] = std::from_chars(strSize.data(), strSize.data() + strSize.size(), n);
            if (i + 3 >= args.size() || ec != std::errc() || pEnd != strSize.data() + strSize.size() ||
                n < 1 || n > MAX_THUMBNAIL_SIZE)
                return Usage("--thumbnail needs SIZE (1 to " + std::to_string(MAX_THUMBNAIL_SIZE) +
                             "), an input file and an output file");
            // A file manager names files; a pipe could be read only once, and not in the time
            // a thumbnailer has.
            if (args[i + 2] == "-")
                return Usage("--thumbnail reads a file, not the standard input");
            options.bThumbnail = true;
            options.files.push_back(args[i + 2]);
            options.strOut = args[i + 3];
            i += 3;
        }
        else if (arg == "--time")
        {
            // Times of keyframe files are 32-bit counts of hundredths.
            const DataExchange::SRange range{0.0, SceneTime::MAX_TIME / 100.0};
            double dSeconds = 0.0;
            std::string strMessage;
            if (i + 1 >= args.size() ||
                !DataExchange::Parse(args[i + 1], FIELD_DOUBLE, &range, dSeconds, strMessage))
                return Usage("--time needs a time in seconds from 0 to 21474836.47");
            ++i;
            options.bTime = true;
            options.nTime = SceneTime::FromSeconds(dSeconds);
        }
        else if (arg == "--convert" || arg == "--snapshot")
        {
            // An option where the output belongs is misplaced, not a file name to write over.
            if (i + 1 >= args.size() || IsOption(args[i + 1]))
                return Usage(arg + " needs an output file");
            (arg == "--convert" ? options.bConvert : options.bSnapshot) = true;
            options.strOut = args[++i];
        }
        else if (arg == "--size")
        {
            if (i + 1 >= args.size() || !ParseSize(args[i + 1], options.nWidth, options.nHeight))
                return Usage("--size needs WIDTHxHEIGHT, each from 1 to " +
                             std::to_string(MAX_SNAPSHOT_SIDE));
            ++i;
            options.bSize = true;
        }
        else if (IsOption(arg) && options.files.empty())
            return Usage("unknown option " + arg);
        else
            options.files.push_back(arg);
    }
    return -1;
}

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

// nFirstKind: what the first input held (InputKindOfContent).
int RunConvert(CTeldViewGLDoc& doc, const SOptions& options, int nFirstKind)
{
    const std::string& strOut = options.strOut;
    const std::string strExt = strOut.size() >= 4 ? strOut.substr(strOut.size() - 4) : std::string();
    auto is = [&](const char* pszExt)
    {
        for (size_t i = 0; i < 4; ++i)
            if (std::tolower(static_cast<unsigned char>(strExt[i])) != pszExt[i])
                return false;
        return true;
    };
    if (strExt.size() != 4 || !(is(".off") || is(".stl") || is(".pts")))
        return Usage("the output must end in .off, .stl or .pts: " + strOut);
    if (options.bAscii && !is(".stl"))
        return Usage("--ascii applies only to .stl output");

    bool bWritten = false;
    std::string strProblem;
    if (const std::string strInput = InputAtOutput(strOut, options.files, &doc); !strInput.empty())
    {
        std::fprintf(stderr, "Error exporting scene to file. %s: the same file as the input %s\n",
                     strOut.c_str(), strInput.c_str());
        return 1;
    }
    const bool bOneMesh = options.files.size() == 1 && nFirstKind != INPUT_SCENE;
    if (is(".off") && bOneMesh)
    {
        const CMesh& mesh = *static_cast<const CMesh*>(doc.m_pCurrentObject);
        CSafeFileWriter file(strOut);
        bWritten = file.IsOpen() && WriteOFF(file.Stream(), mesh.View()) && file.Commit();
        if (!bWritten)
            strProblem = strOut + ": " + file.ErrorText();
    }
    else if (is(".off"))
        bWritten = doc.ExportSceneOFF(strOut, &strProblem);
    else if (is(".stl"))
        bWritten =
            doc.ExportScene(strOut, options.bAscii ? EXPORT_ASCII_STL : EXPORT_BINARY_STL, &strProblem);
    else
        bWritten = doc.ExportScene(strOut, EXPORT_POINT_CLOUD, &strProblem);
    if (!bWritten)
    {
        // The problem names the output and the system's reason, or what STL cannot hold.
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
    SOptions options;
    const int nParse = ParseOptions(args, options);
    if (nParse >= 0)
        return nParse;
    if (options.bHelp)
    {
        std::fputs(USAGE, stdout);
        return CheckStandardOutput();
    }
    const int nOperations =
        int(options.bInfo) + int(options.bConvert) + int(options.bSnapshot) + int(options.bThumbnail);
    if (options.bAscii && !options.bConvert)
        return Usage("--ascii applies only to --convert");
    if (options.bTime && !options.bInfo)
        return Usage("--time applies only to --info");
    if (options.bSize && !options.bSnapshot)
        return Usage("--size applies only to --snapshot");
    if (options.bTransparent && !(options.bSnapshot && SnapshotKind(options.strOut) == SNAPSHOT_PNG))
        return Usage("--transparent applies only to --snapshot to .png");
    if (nOperations == 0)
        return -1; // no batch operation: the window opens the file
    if (nOperations > 1)
        return Usage("--info, --convert, --snapshot and --thumbnail cannot be combined");
    if (options.bThumbnail)
    {
        if (options.files.size() > 1)
            return Usage("--thumbnail takes one input file");
        return RunThumbnail(options.nThumbnailSize, options.files[0], options.strOut);
    }
    if (options.files.empty())
        return Usage("no input file");
    if (options.bSnapshot)
    {
        if (SnapshotKind(options.strOut) == SNAPSHOT_NONE)
            return Usage("the output must end in .bmp, .jpg, .jpeg, .emf or .png: " + options.strOut);
        return RunSnapshot(options.strOut, options.nWidth, options.nHeight, options.files,
                           options.bTransparent);
    }

    // Nothing is drawn here: the document has no drawing, so no display lists are compiled and no
    // GL is needed.
    CTeldViewGLDoc doc;
    int nFirstKind = INPUT_OFF;
    if (!LoadBatchInputs(doc, options.files, &nFirstKind))
        return 1;
    if (options.bTime)
        doc.EvaluateScene(options.nTime);
    if (options.bInfo)
        return RunInfo(doc, nFirstKind == INPUT_SCENE);
    return RunConvert(doc, options, nFirstKind);
}
