#include "batch/BatchOptions.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <span>
#include <string_view>

#include "batch/BatchSnapshot.h"
#include "batch/BatchThumbnail.h"
#include "batch/BatchTimeOptions.h"
#include "drawing/SceneRenderer.h"
#include "formats/ModelFormats.h"
#include "model/Mesh.h"

namespace
{
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

// Each parser takes the option at args[i] and what follows it, moving i past its arguments;
// returns -1, or the exit status of a usage error.
using FnParse = int (*)(const std::vector<std::string>& args, size_t& i, SBatchOptions& options);

int ParseHelp(const std::vector<std::string>&, size_t&, SBatchOptions& options)
{
    options.bHelp = true;
    return -1;
}

int ParseInfo(const std::vector<std::string>&, size_t&, SBatchOptions& options)
{
    options.nOperations |= BATCH_INFO;
    return -1;
}

int ParseAscii(const std::vector<std::string>&, size_t&, SBatchOptions& options)
{
    options.bAscii = true;
    return -1;
}

int ParseTransparent(const std::vector<std::string>&, size_t&, SBatchOptions& options)
{
    options.bTransparent = true;
    return -1;
}

int ParseThumbnail(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    // SIZE FILE OUT, as a thumbnailer's Exec line passes them: the names are taken as they stand.
    int& n = options.nThumbnailSize;
    const std::string strSize = i + 1 < args.size() ? args[i + 1] : std::string();
    const auto [pEnd, ec] = std::from_chars(strSize.data(), strSize.data() + strSize.size(), n);
    if (i + 3 >= args.size() || ec != std::errc() || pEnd != strSize.data() + strSize.size() || n < 1 ||
        n > MAX_THUMBNAIL_SIZE)
        return BatchUsage("--thumbnail needs SIZE (1 to " + std::to_string(MAX_THUMBNAIL_SIZE) +
                          "), an input file and an output file");
    // A file manager names files; a pipe could be read only once, and not in the time a
    // thumbnailer has.
    if (args[i + 2] == "-")
        return BatchUsage("--thumbnail reads a file, not the standard input");
    options.nOperations |= BATCH_THUMBNAIL;
    options.files.push_back(args[i + 2]);
    options.strOut = args[i + 3];
    i += 3;
    return -1;
}

// --convert, --snapshot and --animate: an option where the output belongs is misplaced, not a
// file name to write over.
int ParseOutput(const std::vector<std::string>& args, size_t& i, SBatchOptions& options, int nOperation)
{
    if (i + 1 >= args.size() || IsOption(args[i + 1]))
        return BatchUsage(args[i] + " needs an output file");
    options.nOperations |= nOperation;
    options.strOut = args[++i];
    return -1;
}

int ParseConvert(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    return ParseOutput(args, i, options, BATCH_CONVERT);
}

int ParseSnapshot(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    return ParseOutput(args, i, options, BATCH_SNAPSHOT);
}

int ParseAnimate(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    return ParseOutput(args, i, options, BATCH_ANIMATE);
}

int ParseSizeOption(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    if (i + 1 >= args.size() || !ParseSize(args[i + 1], options.nWidth, options.nHeight))
        return BatchUsage("--size needs WIDTHxHEIGHT, each from 1 to " + std::to_string(MAX_SNAPSHOT_SIDE));
    ++i;
    options.bSize = true;
    return -1;
}

// An option's word from a fixed list, as the index of its value; -1, after the usage message
// that lists the words, when it is missing or not one of them.
int ParseWord(const std::vector<std::string>& args, size_t& i, std::span<const char* const> words,
              int& nIndex)
{
    for (size_t n = 0; i + 1 < args.size() && n < words.size(); ++n)
        if (args[i + 1] == words[n])
        {
            nIndex = static_cast<int>(n);
            ++i;
            return -1;
        }
    std::string strWords;
    for (size_t n = 0; n < words.size(); ++n)
        strWords += (n == 0 ? "" : n + 1 == words.size() ? " or " : ", ") + std::string(words[n]);
    return BatchUsage(args[i] + " needs " + strWords);
}

// In the order of the sides.
constexpr const char* VIEW_WORDS[] = {"front", "back", "left", "right", "top", "bottom", "iso"};
static_assert(std::size(VIEW_WORDS) == SceneRenderer::VIEW_SIDE_COUNT);

int ParseView(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    options.bView = true;
    return ParseWord(args, i, VIEW_WORDS, options.look.nSide);
}

int ParseOrtho(const std::vector<std::string>&, size_t&, SBatchOptions& options)
{
    options.look.bOrthographic = true;
    return -1;
}

int ParseMode(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    constexpr const char* MODE_WORDS[] = {"points", "wireframe", "hidden", "shaded"};
    constexpr int32_t MODES[] = {RENDER_POINTS, RENDER_WIREFRAME, RENDER_HIDDEN_LINE, RENDER_SHADED};
    int nIndex = 0;
    if (const int nStatus = ParseWord(args, i, MODE_WORDS, nIndex); nStatus >= 0)
        return nStatus;
    options.look.nRenderMode = MODES[nIndex];
    return -1;
}

int ParseFlat(const std::vector<std::string>&, size_t&, SBatchOptions& options)
{
    options.look.bFlat = true;
    return -1;
}

// RRGGBB in hexadecimal digits, as colour pickers write it; a leading # is taken too.
int ParseBackground(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    std::string_view strColor = i + 1 < args.size() ? std::string_view(args[i + 1]) : std::string_view();
    if (strColor.starts_with('#'))
        strColor.remove_prefix(1);
    uint32_t nRgb = 0;
    const auto [pEnd, ec] = std::from_chars(strColor.data(), strColor.data() + strColor.size(), nRgb, 16);
    if (strColor.size() != 6 || ec != std::errc() || pEnd != strColor.data() + strColor.size())
        return BatchUsage("--background needs a colour RRGGBB in hexadecimal, such as 3366cc");
    ++i;
    options.look.bBackground = true;
    options.look.crBackground = ((nRgb >> 16) & 0xFF) | (nRgb & 0xFF00) | ((nRgb & 0xFF) << 16);
    return -1;
}

// The help texts that follow the format table.
std::string ConvertHelp()
{
    std::string text = "load the files and write them to OUT, by its extension:";
    for (const SModelFormat& format : ModelFormats())
        for (const SModelWriter& writer : format.writers)
            if (writer.pszOption == nullptr)
                text += std::string(" .") + writer.pszExtension + " (" + writer.pszDescription + "),";
    text.pop_back();
    return text;
}

std::string AsciiHelp()
{
    std::string text;
    for (const SModelFormat& format : ModelFormats())
        for (const SModelWriter& writer : format.writers)
            if (writer.pszOption != nullptr && std::string_view(writer.pszOption) == "ascii")
                text += std::string("with --convert to .") + writer.pszExtension + ": write " +
                        writer.pszDescription + " " + format.pszName;
    return text;
}

std::string InputsHelp()
{
    std::string text = "Inputs are";
    std::vector<std::string> names;
    for (const SModelFormat& format : ModelFormats())
        if (format.fnRead != nullptr)
            names.push_back(format.pszName);
    for (size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? " " : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text + " files, and scene files (first input only), told apart by their content; - reads the "
                  "standard input. Several inputs are loaded as one scene, in order.";
}

bool IsPngOutput(const SBatchOptions& options)
{
    return SnapshotKind(options.strOut) == SNAPSHOT_PNG;
}

struct SOptionSpec
{
    const char* pszName;
    const char* pszArguments; // as the help shows them, after the name
    int nOperation;           // the operation it asks for, or 0 for a modifier
    int nModifies;            // the operations a modifier applies to
    // A further condition on a modifier, and how the message names where it applies.
    bool (*fnApplies)(const SBatchOptions& options);
    const char* pszAppliesTo;
    bool (*fnGiven)(const SBatchOptions& options);
    std::string (*fnHelp)();
    const char* pszHelp;
    FnParse fnParse;
};

bool AsciiGiven(const SBatchOptions& o)
{
    return o.bAscii;
}
bool TimeGiven(const SBatchOptions& o)
{
    return o.bTime;
}
bool SizeGiven(const SBatchOptions& o)
{
    return o.bSize;
}
bool FpsGiven(const SBatchOptions& o)
{
    return o.bFps;
}
bool FromGiven(const SBatchOptions& o)
{
    return o.bFrom;
}
bool ToGiven(const SBatchOptions& o)
{
    return o.range.bTo;
}
bool TransparentGiven(const SBatchOptions& o)
{
    return o.bTransparent;
}
bool ViewGiven(const SBatchOptions& o)
{
    return o.bView;
}
bool OrthoGiven(const SBatchOptions& o)
{
    return o.look.bOrthographic;
}
bool ModeGiven(const SBatchOptions& o)
{
    return o.look.nRenderMode >= 0;
}
bool FlatGiven(const SBatchOptions& o)
{
    return o.look.bFlat;
}
bool BackgroundGiven(const SBatchOptions& o)
{
    return o.look.bBackground;
}

// The options of how the scene is drawn.
constexpr int LOOKS = BATCH_SNAPSHOT | BATCH_ANIMATE;

// In the order of the help, which is the order of the checks.
const SOptionSpec OPTIONS[] = {
    {"--info", "FILE...", BATCH_INFO, 0, nullptr, nullptr, nullptr, nullptr,
     "print the object information of every object loaded", ParseInfo},
    {"--time", "SECONDS", 0, BATCH_INFO | BATCH_SNAPSHOT, nullptr, "--info or --snapshot", TimeGiven, nullptr,
     "with --info or --snapshot: pose the scene at that time first (0.01 s steps)", ParseTime},
    {"--convert", "OUT FILE...", BATCH_CONVERT, 0, nullptr, nullptr, nullptr, ConvertHelp, nullptr,
     ParseConvert},
    {"--ascii", "", 0, BATCH_CONVERT, nullptr, "--convert", AsciiGiven, AsciiHelp, nullptr, ParseAscii},
    {"--snapshot", "OUT FILE...", BATCH_SNAPSHOT, 0, nullptr, nullptr, nullptr, nullptr,
     "load the files and write the picture of the default view to OUT, drawn without a display, by its "
     "extension: .bmp, .jpg or .jpeg, .emf, .png",
     ParseSnapshot},
    {"--size", "WxH", 0, LOOKS, nullptr, "--snapshot or --animate", SizeGiven, nullptr,
     "with --snapshot or --animate: the picture's size in pixels, 1 to 16384 a side (default 800x600)",
     ParseSizeOption},
    {"--transparent", "", 0, BATCH_SNAPSHOT, IsPngOutput, "--snapshot to .png", TransparentGiven, nullptr,
     "with --snapshot to .png: transparent wherever nothing was drawn", ParseTransparent},
    {"--view", "SIDE", 0, LOOKS, nullptr, "--snapshot or --animate", ViewGiven, nullptr,
     "with --snapshot or --animate: look from front (the default), back, left, right, top, bottom or iso",
     ParseView},
    {"--ortho", "", 0, LOOKS, nullptr, "--snapshot or --animate", OrthoGiven, nullptr,
     "with --snapshot or --animate: a parallel projection instead of the perspective", ParseOrtho},
    {"--mode", "MODE", 0, LOOKS, nullptr, "--snapshot or --animate", ModeGiven, nullptr,
     "with --snapshot or --animate: draw every mesh as points, wireframe, hidden (wireframe without hidden "
     "lines) or shaded",
     ParseMode},
    {"--flat", "", 0, LOOKS, nullptr, "--snapshot or --animate", FlatGiven, nullptr,
     "with --snapshot or --animate: flat shading", ParseFlat},
    {"--background", "RRGGBB", 0, LOOKS, nullptr, "--snapshot or --animate", BackgroundGiven, nullptr,
     "with --snapshot or --animate: the background colour in hexadecimal (default 000000, black)",
     ParseBackground},
    {"--animate", "OUT FILE...", BATCH_ANIMATE, 0, nullptr, nullptr, nullptr, nullptr,
     "load the files and draw the playback without a display, frame k at the time FROM + k / FPS, to OUT: "
     "a name holding %d or %04d writes numbered pictures from 0 (.png, .bmp, .jpg or .jpeg), .mp4 writes "
     "H.264 video, .webm VP9 video",
     ParseAnimate},
    {"--fps", "N", 0, BATCH_ANIMATE, nullptr, "--animate", FpsGiven, nullptr,
     "with --animate: frames a second, 1 to 240 (default 25)", ParseFps},
    {"--from", "SECONDS", 0, BATCH_ANIMATE, nullptr, "--animate", FromGiven, nullptr,
     "with --animate: the time of the first frame (default 0)", ParseFrom},
    {"--to", "SECONDS", 0, BATCH_ANIMATE, nullptr, "--animate", ToGiven, nullptr,
     "with --animate: the latest time a frame shows (default the last keyframe)", ParseTo},
    {"--thumbnail", "SIZE FILE OUT", BATCH_THUMBNAIL, 0, nullptr, nullptr, nullptr, nullptr,
     "write a PNG picture of FILE to OUT for a file manager: SIZE x SIZE pixels (1 to 1024), the model "
     "fitted, the rest transparent",
     ParseThumbnail},
    {"--help", "", 0, 0, nullptr, nullptr, nullptr, nullptr, "show this text", ParseHelp},
    {"--version", "", 0, 0, nullptr, nullptr, nullptr, nullptr, "print the program's version", nullptr},
};

const SOptionSpec* FindOption(const std::string& arg)
{
    const std::string_view strName = arg == "-h" ? std::string_view("--help") : std::string_view(arg);
    for (const SOptionSpec& spec : OPTIONS)
        if (strName == spec.pszName)
            return &spec;
    return nullptr;
}

// The words of text in lines of at most 90 characters: the first after strFirst, the others
// after strIndent.
std::string Wrap(const std::string& text, const std::string& strFirst, const std::string& strIndent)
{
    constexpr size_t WIDTH = 90;
    std::string out, line = strFirst;
    bool bEmpty = true;
    for (size_t nPos = 0; nPos < text.size();)
    {
        const size_t nEnd = std::min(text.find(' ', nPos), text.size());
        const std::string word = text.substr(nPos, nEnd - nPos);
        nPos = nEnd + 1;
        if (!bEmpty && line.size() + 1 + word.size() > WIDTH)
        {
            out += line + "\n";
            line = strIndent;
            bEmpty = true;
        }
        line += (bEmpty ? "" : " ") + word;
        bEmpty = false;
    }
    return out + line + "\n";
}

// An option's help: its name and arguments, its text from the 24th column on.
std::string OptionHelp(const std::string& strName, const std::string& strHelp)
{
    const std::string strIndent(23, ' ');
    if (strName.size() > 21)
        return strName + "\n" + Wrap(strHelp, strIndent, strIndent);
    return Wrap(strHelp, strName + std::string(23 - strName.size(), ' '), strIndent);
}
} // namespace

int BatchRefusal(const std::string& strProblem)
{
    std::fprintf(stderr, "teldviewgl: %s\n", strProblem.c_str());
    return 1;
}

int BatchUsage(const std::string& strProblem)
{
    std::fprintf(stderr, "teldviewgl: %s\n%s", strProblem.c_str(), BatchUsageText().c_str());
    return 2;
}

std::string BatchUsageText()
{
    std::string text = "usage: teldviewgl [FILE...]\n";
    for (const SOptionSpec& spec : OPTIONS)
    {
        if (spec.nOperation == 0 && spec.nModifies != 0)
            continue;
        std::string line = std::string("       teldviewgl ") + spec.pszName;
        std::string strArguments = spec.pszArguments;
        // The modifiers go before the files they apply to.
        const size_t nFiles = strArguments.rfind("FILE...");
        std::string strModifiers;
        for (const SOptionSpec& modifier : OPTIONS)
            if (spec.nOperation != 0 && (modifier.nModifies & spec.nOperation) != 0)
                strModifiers +=
                    std::string(" [") + modifier.pszName +
                    (*modifier.pszArguments != 0 ? std::string(" ") + modifier.pszArguments : "") + "]";
        if (spec.nOperation == BATCH_INFO)
            line += " " + strArguments + strModifiers;
        else if (nFiles != std::string::npos)
            line += " " + strArguments.substr(0, nFiles - 1) + strModifiers + " FILE...";
        else
            line += (strArguments.empty() ? "" : " " + strArguments) + strModifiers;
        text += line + "\n";
    }
    text += "\n" + OptionHelp("  FILE...", "open the files in the viewer (several as one scene)");
    for (const SOptionSpec& spec : OPTIONS)
    {
        std::string strName = std::string("  ") + spec.pszName;
        if (*spec.pszArguments != 0)
            strName += std::string(" ") + spec.pszArguments;
        text += OptionHelp(strName, spec.fnHelp != nullptr ? spec.fnHelp() : spec.pszHelp);
    }
    return text + "\n" + Wrap(InputsHelp(), "", "");
}

int ParseBatchOptions(const std::vector<std::string>& args, SBatchOptions& options)
{
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        const SOptionSpec* pSpec = FindOption(arg);
        if (pSpec != nullptr && pSpec->fnParse != nullptr)
        {
            if (const int nStatus = pSpec->fnParse(args, i, options); nStatus >= 0)
                return nStatus;
        }
        else if (IsOption(arg) && options.files.empty())
            return BatchUsage("unknown option " + arg);
        else
            options.files.push_back(arg);
    }
    if (options.bHelp)
        return -1;
    // Each modifier only where it applies.
    for (const SOptionSpec& spec : OPTIONS)
        if (spec.fnGiven != nullptr && spec.fnGiven(options) &&
            ((options.nOperations & spec.nModifies) == 0 ||
             (spec.fnApplies != nullptr && !spec.fnApplies(options))))
            return BatchUsage(std::string(spec.pszName) + " applies only to " + spec.pszAppliesTo);
    int nCount = 0;
    for (int nOperation = options.nOperations; nOperation != 0; nOperation &= nOperation - 1)
        ++nCount;
    if (nCount > 1)
        return BatchUsage("--info, --convert, --snapshot, --animate and --thumbnail cannot be combined");
    return -1;
}
