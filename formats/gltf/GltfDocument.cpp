// Loading glTF documents through tinygltf, with its file access replaced and its input checked.
#include <sys/stat.h>

#include <cstring>
#include <exception>
#include <filesystem>
#include <limits>
#include <new>
#include <vector>

#define TINYGLTF_IMPLEMENTATION
#include "formats/gltf/GltfDocument.h"

#include "formats/InputFile.h"
#include "formats/LittleEndian.h"

namespace
{
namespace fs = std::filesystem;
using nlohmann::json;

constexpr uint32_t GLB_JSON_CHUNK = 0x4E4F534Au;
constexpr uint32_t GLB_BIN_CHUNK = 0x004E4942u;
constexpr size_t GLB_HEADER_SIZE = 12;
constexpr size_t GLB_CHUNK_HEADER_SIZE = 8;

// What the file callbacks may read: the external buffers in the order tinygltf asks for them,
// each with the length the JSON gives it, and what went wrong.
struct SFileAccess
{
    std::string strFolder; // canonical, without a trailing '/'; empty: no file may be read
    std::string strFolderPrefix;
    std::vector<size_t> bufferIndices;
    std::vector<uint64_t> bufferLengths;
    size_t nNext = 0;
    uint64_t nBytesRead = 0;
    std::string strError;
};

void SetError(SFileAccess& access, const std::string& strError)
{
    if (access.strError.empty())
        access.strError = strError;
}

// The name of the file inside the folder that path names, or "" (with the error set) when the
// path leaves it: an absolute URI, "..", or a symbolic link that leads out.
std::string NameInFolder(const std::string& strPath, SFileAccess& access)
{
    if (access.strFolder.empty())
    {
        SetError(access, "buffer URI \"" + strPath +
                             "\" names a file, but data without a file's folder may use only data URIs");
        return std::string();
    }
    // tinygltf tries the folder first, then the working folder: only the first is ours.
    if (strPath.compare(0, access.strFolderPrefix.size(), access.strFolderPrefix) != 0)
        return std::string();
    const std::string strName = strPath.substr(access.strFolderPrefix.size());
    if (strName.empty() || strName.front() == '/')
    {
        SetError(access, "buffer URI \"" + strName + "\" is an absolute path, which is not read");
        return std::string();
    }
    for (const fs::path& part : fs::path(strName))
        if (part == "..")
        {
            SetError(access, "buffer URI \"" + strName + "\" leads out of the file's folder");
            return std::string();
        }
    std::error_code ec;
    const fs::path real = fs::canonical(fs::path(strPath), ec);
    if (ec)
    {
        SetError(access, "buffer file " + strName + " cannot be opened");
        return std::string();
    }
    if (real.string().compare(0, access.strFolderPrefix.size(), access.strFolderPrefix) != 0)
    {
        SetError(access, "buffer URI \"" + strName + "\" leads out of the file's folder");
        return std::string();
    }
    struct stat st;
    if (::stat(real.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    {
        SetError(access, "buffer file " + strName + " is not a regular file");
        return std::string();
    }
    return strName;
}

bool FileExists(const std::string& strPath, void* pUser)
{
    return !NameInFolder(strPath, *static_cast<SFileAccess*>(pUser)).empty();
}

std::string ExpandFilePath(const std::string& strPath, void*)
{
    return strPath;
}

bool ReadBufferFile(std::vector<unsigned char>* pOut, std::string* pstrErr, const std::string& strPath,
                    void* pUser)
{
    SFileAccess& access = *static_cast<SFileAccess*>(pUser);
    const std::string strName = NameInFolder(strPath, access);
    if (strName.empty())
        return false;
    if (access.nNext >= access.bufferLengths.size())
    {
        SetError(access, "buffer file " + strName + " was not expected");
        return false;
    }
    const size_t nBuffer = access.bufferIndices[access.nNext];
    const uint64_t nLength = access.bufferLengths[access.nNext++];
    const std::string strBuffer = "buffer " + std::to_string(nBuffer);
    // The buffer's length is all that is read: a file may hold more than its buffer.
    CPipeInputRefusal noPipes;
    CInputFile file;
    if (!file.Open(strPath) || !file.IsRegular())
    {
        SetError(access, strBuffer + ": " + strName + " is not a regular file");
        return false;
    }
    if (file.Size() < nLength)
    {
        SetError(access, strBuffer + " is larger than its file " + strName + " (" + std::to_string(nLength) +
                             " of " + std::to_string(file.Size()) + " bytes)");
        return false;
    }
    if (nLength > GLTF_MAX_BUFFER_BYTES || access.nBytesRead + nLength > GLTF_MAX_EXTERNAL_BYTES)
    {
        SetError(access,
                 strBuffer + " is larger than the buffers read (" + std::to_string(nLength) + " bytes)");
        return false;
    }
    std::string contents;
    if (!file.ReadUpTo(contents, static_cast<size_t>(nLength)) || contents.size() != nLength)
    {
        SetError(access, strBuffer + ": " + strName + " cannot be read");
        return false;
    }
    access.nBytesRead += nLength;
    pOut->assign(contents.begin(), contents.end());
    if (pstrErr != nullptr)
        pstrErr->clear();
    return true;
}

bool WriteNothing(std::string*, const std::string&, const std::vector<unsigned char>&, void*)
{
    return false;
}

// Images are never decoded.
bool SkipImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int,
               void*)
{
    return true;
}

// Whether arrays and objects in the JSON text nest no deeper than GLTF_MAX_JSON_DEPTH, and it
// holds no more than GLTF_MAX_JSON_VALUES values (counted by their separators; strings skipped):
// tinygltf keeps a copy of each value of some hundred bytes. Sets strDetail when not.
bool ShapeWithin(std::string_view text, std::string& strDetail)
{
    int nDepth = 0;
    size_t nValues = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const char c = text[i];
        if (c == '"')
        {
            for (++i; i < text.size() && text[i] != '"'; ++i)
                if (text[i] == '\\')
                    ++i;
        }
        else if (c == '[' || c == '{')
        {
            if (++nDepth > GLTF_MAX_JSON_DEPTH)
            {
                strDetail =
                    "the JSON text nests deeper than " + std::to_string(GLTF_MAX_JSON_DEPTH) + " levels";
                return false;
            }
            ++nValues;
        }
        else if (c == ']' || c == '}')
            --nDepth;
        else if (c == ',' && ++nValues > GLTF_MAX_JSON_VALUES)
        {
            strDetail = "the JSON text holds more than " + std::to_string(GLTF_MAX_JSON_VALUES) + " values";
            return false;
        }
    }
    return true;
}

// A count or offset: a whole number from 0 on, written as an integer or as a float without a
// fraction.
bool GetCount(const json& value, uint64_t& nValue)
{
    if (value.is_number_unsigned())
    {
        nValue = value.get<uint64_t>();
        return true;
    }
    if (value.is_number_integer())
        return false; // negative
    if (!value.is_number_float())
        return false;
    const double d = value.get<double>();
    if (!(d >= 0 && d < 9.0e15) || d != static_cast<double>(static_cast<uint64_t>(d)))
        return false;
    nValue = static_cast<uint64_t>(d);
    return true;
}

bool GetOptionalCount(const json& object, const char* pszKey, uint64_t& nValue, bool& bPresent)
{
    const auto it = object.find(pszKey);
    bPresent = it != object.end();
    nValue = 0;
    return !bPresent || GetCount(*it, nValue);
}

// The checks made before tinygltf sees the JSON: what it would take on trust. Fills the external
// buffers' lengths, in the order tinygltf reads them.
bool CheckJson(const json& root, bool bBinary, SFileAccess& access, std::string& strDetail)
{
    if (!root.is_object())
    {
        strDetail = "the JSON text is not an object";
        return false;
    }
    const auto itAsset = root.find("asset");
    if (itAsset == root.end() || !itAsset->is_object())
    {
        strDetail = "the file has no \"asset\" object";
        return false;
    }
    const auto itVersion = itAsset->find("version");
    if (itVersion == itAsset->end() || !itVersion->is_string() ||
        itVersion->get_ref<const std::string&>().compare(0, 2, "2.") != 0)
    {
        strDetail = "the asset is not of glTF version 2";
        return false;
    }
    const auto itRequired = root.find("extensionsRequired");
    if (itRequired != root.end() && itRequired->is_array())
        for (const json& name : *itRequired)
            if (name.is_string() && (name == "KHR_draco_mesh_compression" || name == "KHR_mesh_quantization"))
            {
                strDetail = "the file requires " + name.get<std::string>() + ", which is not read";
                return false;
            }

    std::vector<uint64_t> bufferLengths;
    const auto itBuffers = root.find("buffers");
    if (itBuffers != root.end() && itBuffers->is_array())
        for (size_t i = 0; i < itBuffers->size(); ++i)
        {
            const json& buffer = (*itBuffers)[i];
            const std::string strBuffer = "buffer " + std::to_string(i);
            uint64_t nLength = 0;
            const auto itLength = buffer.is_object() ? buffer.find("byteLength") : buffer.end();
            if (!buffer.is_object() || itLength == buffer.end() || !GetCount(*itLength, nLength))
            {
                strDetail = strBuffer + " has no valid byteLength";
                return false;
            }
            if (nLength == 0)
            {
                strDetail = strBuffer + " is empty";
                return false;
            }
            bufferLengths.push_back(nLength);
            const auto itUri = buffer.find("uri");
            const std::string strUri =
                itUri != buffer.end() && itUri->is_string() ? itUri->get<std::string>() : std::string();
            // tinygltf copies the BIN chunk into every buffer without a URI: only the first may
            // have none.
            if (strUri.empty() && (!bBinary || i > 0))
            {
                strDetail = strBuffer + " has no URI";
                return false;
            }
            else if (!tinygltf::IsDataURI(strUri))
            {
                access.bufferIndices.push_back(i);
                access.bufferLengths.push_back(nLength);
            }
        }

    // tinygltf takes an image's place in its buffer view on trust.
    const auto itViews = root.find("bufferViews");
    if (itViews != root.end() && itViews->is_array())
        for (size_t i = 0; i < itViews->size(); ++i)
        {
            const json& view = (*itViews)[i];
            const std::string strView = "buffer view " + std::to_string(i);
            uint64_t nBuffer = 0, nOffset = 0, nLength = 0;
            bool bPresent = false;
            const auto itBuffer = view.is_object() ? view.find("buffer") : view.end();
            if (!view.is_object() || itBuffer == view.end() || !GetCount(*itBuffer, nBuffer) ||
                nBuffer >= bufferLengths.size())
            {
                strDetail = strView + " names no buffer of the file";
                return false;
            }
            if (!GetOptionalCount(view, "byteOffset", nOffset, bPresent) ||
                !GetOptionalCount(view, "byteLength", nLength, bPresent) || !bPresent)
            {
                strDetail = strView + " has no valid byteOffset and byteLength";
                return false;
            }
            if (nOffset > bufferLengths[nBuffer] || nLength > bufferLengths[nBuffer] - nOffset)
            {
                strDetail = strView + " runs past buffer " + std::to_string(nBuffer);
                return false;
            }
        }
    return true;
}

uint32_t UInt32At(std::string_view data, size_t n)
{
    return LittleEndian::LoadUInt32(reinterpret_cast<const uint8_t*>(data.data() + n));
}

// The JSON chunk of a binary container, checked as tinygltf does not: every chunk must lie
// inside the length the header gives, and that inside the data. nLength is set to that length.
bool SplitContainer(std::string_view data, std::string_view& jsonText, size_t& nLength,
                    std::string& strDetail)
{
    if (data.size() < GLB_HEADER_SIZE + GLB_CHUNK_HEADER_SIZE)
    {
        strDetail = "the binary container is shorter than its header";
        return false;
    }
    if (UInt32At(data, 4) != 2)
    {
        strDetail = "the binary container is of version " + std::to_string(UInt32At(data, 4)) + ", not 2";
        return false;
    }
    const uint64_t nTotal = UInt32At(data, 8);
    if (nTotal > data.size() || nTotal < GLB_HEADER_SIZE + GLB_CHUNK_HEADER_SIZE)
    {
        strDetail = "the binary container claims " + std::to_string(nTotal) + " bytes, but the data holds " +
                    std::to_string(data.size());
        return false;
    }
    const uint64_t nJson = UInt32At(data, 12);
    if (UInt32At(data, 16) != GLB_JSON_CHUNK || nJson == 0 || nJson > nTotal - 20)
    {
        strDetail = "the binary container's first chunk is no JSON chunk inside it";
        return false;
    }
    const uint64_t nJsonEnd = 20 + nJson;
    if (nJsonEnd < nTotal)
    {
        if (nTotal - nJsonEnd < GLB_CHUNK_HEADER_SIZE)
        {
            strDetail = "the binary container ends inside the header of its second chunk";
            return false;
        }
        const uint64_t nBin = UInt32At(data, nJsonEnd);
        if (UInt32At(data, nJsonEnd + 4) != GLB_BIN_CHUNK || nBin < 4 || nBin % 4 != 0 ||
            nBin > nTotal - nJsonEnd - GLB_CHUNK_HEADER_SIZE)
        {
            strDetail = "the binary container's second chunk is no BIN chunk inside it";
            return false;
        }
    }
    jsonText = data.substr(20, nJson);
    nLength = nTotal;
    return true;
}

// The first line of tinygltf's error text.
std::string FirstLine(const std::string& strText)
{
    const size_t nEnd = strText.find('\n');
    std::string strLine = strText.substr(0, nEnd);
    return strLine.empty() ? std::string("tinygltf refused the file") : strLine;
}
} // namespace

bool IsGlbContainer(std::string_view data)
{
    return data.size() >= 4 && data.substr(0, 4) == "glTF";
}

bool LoadGltfDocument(std::string_view data, const std::string& strPath, tinygltf::Model& model,
                      std::string& strDetail)
{
    const bool bBinary = IsGlbContainer(data);
    std::string_view jsonText = data;
    size_t nLength = data.size();
    if (data.size() > std::numeric_limits<uint32_t>::max())
    {
        strDetail = "the file is larger than 4 GiB";
        return false;
    }
    if (bBinary && !SplitContainer(data, jsonText, nLength, strDetail))
        return false;
    if (jsonText.size() > GLTF_MAX_JSON_BYTES)
    {
        strDetail = "the JSON text is larger than " + std::to_string(GLTF_MAX_JSON_BYTES >> 20) + " MiB";
        return false;
    }
    if (!ShapeWithin(jsonText, strDetail))
        return false;

    SFileAccess access;
    try
    {
        {
            const json root = json::parse(jsonText.begin(), jsonText.end(), nullptr, false);
            if (root.is_discarded())
            {
                strDetail = "the JSON text is not valid";
                return false;
            }
            if (!CheckJson(root, bBinary, access, strDetail))
                return false;
        }
        if (!strPath.empty())
        {
            std::error_code ec;
            const fs::path folder = fs::canonical(fs::absolute(fs::path(strPath), ec).parent_path(), ec);
            if (!ec)
            {
                access.strFolder = folder.string();
                access.strFolderPrefix = access.strFolder == "/" ? "/" : access.strFolder + "/";
            }
        }

        tinygltf::TinyGLTF loader;
        loader.SetFsCallbacks({&FileExists, &ExpandFilePath, &ReadBufferFile, &WriteNothing, &access});
        loader.SetImageLoader(&SkipImage, nullptr);
        std::string strErr, strWarn;
        bool bOk;
        if (bBinary)
            bOk = loader.LoadBinaryFromMemory(&model, &strErr, &strWarn,
                                              reinterpret_cast<const unsigned char*>(data.data()),
                                              static_cast<unsigned int>(nLength), access.strFolder);
        else
            bOk = loader.LoadASCIIFromString(&model, &strErr, &strWarn, jsonText.data(),
                                             static_cast<unsigned int>(jsonText.size()), access.strFolder);
        if (!access.strError.empty())
        {
            strDetail = access.strError;
            return false;
        }
        if (!bOk)
        {
            strDetail = FirstLine(strErr);
            return false;
        }
    }
    catch (const std::bad_alloc&)
    {
        strDetail = "not enough memory";
        return false;
    }
    catch (const std::exception& e)
    {
        strDetail = std::string("tinygltf failed: ") + e.what();
        return false;
    }
    return true;
}
