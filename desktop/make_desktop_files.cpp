// Writes the desktop files that name the file types the program reads, from the format table: the
// menu entry and the thumbnailer (their MimeType lines) and the MIME package that makes the types
// known to the desktop. Run at build time:
//
//   make_desktop_files SOURCE_DIR OUT_DIR
//
// SOURCE_DIR holds teldviewgl.desktop and teldviewgl.thumbnailer, whose other lines stay as they
// are.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "formats/ModelFormats.h"

namespace
{
bool Rewrite(const std::string& strFrom, const std::string& strTo)
{
    std::ifstream in(strFrom);
    if (!in)
        return false;
    std::ostringstream out;
    for (std::string strLine; std::getline(in, strLine);)
        out << (strLine.rfind("MimeType=", 0) == 0 ? "MimeType=" + MimeTypeList() : strLine) << '\n';
    std::ofstream file(strTo);
    file << out.str();
    return static_cast<bool>(file.flush());
}

std::string MimePackage()
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const SModelFormat& format : ModelFormats())
    {
        if (format.pszMimeType == nullptr || format.fnRead == nullptr)
            continue;
        text += std::string("  <mime-type type=\"") + format.pszMimeType + "\">\n";
        text += std::string("    <comment>") + format.pszMimeComment + "</comment>\n";
        if (format.pszAcronym != nullptr)
            text += std::string("    <acronym>") + format.pszAcronym + "</acronym>\n";
        if (format.pszExpandedAcronym != nullptr)
            text +=
                std::string("    <expanded-acronym>") + format.pszExpandedAcronym + "</expanded-acronym>\n";
        if (format.pszSubClassOf != nullptr)
            text += std::string("    <sub-class-of type=\"") + format.pszSubClassOf + "\"/>\n";
        if (!format.magicStrings.empty())
        {
            if (format.pszMagicNote != nullptr)
                text += std::string("    <!-- ") + format.pszMagicNote + " -->\n";
            text += "    <magic>\n";
            for (const char* pszMagic : format.magicStrings)
                text +=
                    std::string("      <match type=\"string\" value=\"") + pszMagic + "\" offset=\"0\"/>\n";
            text += "    </magic>\n";
        }
        std::string_view extensions = format.pszExtensions;
        while (!extensions.empty())
        {
            const size_t nSpace = extensions.find(' ');
            text += "    <glob pattern=\"*." + std::string(extensions.substr(0, nSpace)) + "\"/>\n";
            extensions.remove_prefix(nSpace == std::string_view::npos ? extensions.size() : nSpace + 1);
        }
        text += "  </mime-type>\n";
    }
    return text + "</mime-info>\n";
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fputs("usage: make_desktop_files SOURCE_DIR OUT_DIR\n", stderr);
        return 2;
    }
    const std::string strSource = argv[1], strOut = argv[2];
    std::ofstream package(strOut + "/teldviewgl.xml");
    package << MimePackage();
    if (!Rewrite(strSource + "/teldviewgl.desktop", strOut + "/teldviewgl.desktop") ||
        !Rewrite(strSource + "/teldviewgl.thumbnailer", strOut + "/teldviewgl.thumbnailer") ||
        !package.flush())
    {
        std::fprintf(stderr, "make_desktop_files: cannot write into %s\n", strOut.c_str());
        return 1;
    }
    return 0;
}
