#include "export/VideoModule.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace
{
// The module target's file name (see CMakeLists.txt).
const char MODULE_NAME[] = "libteldview_video.so";

// dlerror's text, without the path it often starts with: the message names the module already.
std::string LoadError(const std::string& strPath)
{
    const char* pszError = dlerror();
    std::string strError = pszError != nullptr ? pszError : "unknown error";
    if (strError.compare(0, strPath.size() + 2, strPath + ": ") == 0)
        strError.erase(0, strPath.size() + 2);
    return strError;
}

// Where the module is looked for, in order, by a program in strProgramFolder.
std::vector<std::string> Candidates(const std::string& strProgramFolder)
{
    // The program's folder is a real one (from /proc/self/exe): its ".." may be taken literally.
    const std::filesystem::path folder(strProgramFolder);
    const std::filesystem::path installed = folder / TELDVIEW_VIDEO_MODULE_DIR / MODULE_NAME;
    return {(folder / MODULE_NAME).string(), installed.lexically_normal().string()};
}
} // namespace

const CVideoModule& CVideoModule::Get()
{
    static const CVideoModule s_module;
    return s_module;
}

CVideoModule::CVideoModule()
{
    char program[PATH_MAX];
    const ssize_t nLength = readlink("/proc/self/exe", program, sizeof program);
    if (nLength <= 0 || nLength >= static_cast<ssize_t>(sizeof program))
    {
        m_strError = std::string("the video module ") + MODULE_NAME +
                     " cannot be loaded: the program's folder is unknown (/proc/self/exe: " +
                     (nLength < 0 ? std::strerror(errno) : "too long") + ")";
        return;
    }
    const std::string strProgram(program, static_cast<size_t>(nLength));
    const std::vector<std::string> candidates = Candidates(strProgram.substr(0, strProgram.rfind('/')));
    // The first that is there; when none is, the installed one's error says so.
    std::string strPath = candidates.back();
    for (const std::string& strCandidate : candidates)
        if (access(strCandidate.c_str(), F_OK) == 0)
        {
            strPath = strCandidate;
            break;
        }
    // Local: FFmpeg's symbols stay out of the program's and other libraries' way. The module is
    // never closed: FFmpeg's libraries are not made to be unloaded.
    void* pModule = dlopen(strPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (pModule == nullptr)
    {
        m_strError = "the video module " + strPath + " cannot be loaded: " + LoadError(strPath);
        return;
    }
    auto pfnCreate = reinterpret_cast<PFN_CREATE_VIDEO_ENCODER>(dlsym(pModule, CREATE_VIDEO_ENCODER_SYMBOL));
    auto pfnHasEncoder = reinterpret_cast<PFN_HAS_VIDEO_ENCODER>(dlsym(pModule, HAS_VIDEO_ENCODER_SYMBOL));
    if (pfnCreate == nullptr || pfnHasEncoder == nullptr)
    {
        m_strError = "the video module " + strPath + " cannot be loaded: " + LoadError(strPath);
        return;
    }
    // A module of another build would be called through another layout.
    if (const std::unique_ptr<CVideoEncoder> pProbe(pfnCreate(VIDEO_ENCODER_INTERFACE)); !pProbe)
    {
        m_strError = "the video module " + strPath + " cannot be loaded: it belongs to another version";
        return;
    }
    m_pfnCreate = pfnCreate;
    m_pfnHasEncoder = pfnHasEncoder;
}

bool CVideoModule::HasEncoder(const char* pszName) const
{
    return m_pfnHasEncoder != nullptr && m_pfnHasEncoder(pszName) != 0;
}

std::unique_ptr<CVideoEncoder> CVideoModule::CreateEncoder() const
{
    return std::unique_ptr<CVideoEncoder>(m_pfnCreate != nullptr ? m_pfnCreate(VIDEO_ENCODER_INTERFACE)
                                                                 : nullptr);
}
