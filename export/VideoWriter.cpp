#include "export/VideoWriter.h"

#include "export/AnimationOutput.h"
#include "export/Dib.h"
#include "export/VideoModule.h"
#include "platform/SafeFileWriter.h"

CVideoWriter::CVideoWriter() = default;

CVideoWriter::~CVideoWriter()
{
    // The encoder goes first: it writes into the file, which then discards what it has.
    m_pEncoder.reset();
    m_pFile.reset();
}

const char* CVideoWriter::EncoderName(int nKind)
{
    return nKind == ANIMATION_WEBM ? "libvpx-vp9" : "libx264";
}

bool CVideoWriter::HasEncoder(int nKind)
{
    return CVideoModule::Get().HasEncoder(EncoderName(nKind));
}

bool CVideoWriter::Fail(const std::string& strReason)
{
    if (!m_bFailed)
        m_strError = "Error writing file.\n" + m_strPath + ": " + strReason;
    m_bFailed = true;
    return false;
}

bool CVideoWriter::FailEncoder()
{
    if (m_pFile && !m_pFile->Stream().good())
        return Fail(m_pFile->ErrorText());
    return Fail(m_pEncoder->GetError());
}

bool CVideoWriter::Open(const std::string& strPath, int nKind, int nWidth, int nHeight, int nFps)
{
    m_strPath = strPath;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    const CVideoModule& module = CVideoModule::Get();
    if (!module.IsLoaded())
        return Fail(module.GetError());
    if (!module.HasEncoder(EncoderName(nKind)))
        return Fail(std::string("the installed FFmpeg has no ") + EncoderName(nKind) + " encoder");
    m_pEncoder = module.CreateEncoder();
    if (!m_pEncoder)
        return Fail(module.GetError());
    m_pFile = std::make_unique<CSafeFileWriter>(strPath);
    if (!m_pFile->IsOpen())
        return Fail(m_pFile->ErrorText());
    if (!m_pEncoder->Open(m_pFile->Stream(), nKind, nWidth, nHeight, nFps))
        return FailEncoder();
    m_bOpen = true;
    return true;
}

std::string CVideoWriter::FileOfFrame(int64_t) const
{
    return m_strPath;
}

bool CVideoWriter::WriteFrame(const CDib& dib)
{
    if (m_bFailed || !m_bOpen)
        return false;
    if (dib.GetBitCount() != 24 || dib.GetWidth() != m_nWidth || dib.GetHeight() != m_nHeight)
        return Fail("a frame of another size or depth");
    // The DIB's rows go bottom-up: read from the last row with a negative stride.
    const auto nStride = static_cast<ptrdiff_t>(dib.GetStride());
    const uint8_t* pTop = dib.GetPixels() + static_cast<size_t>(dib.GetHeight() - 1) * dib.GetStride();
    return m_pEncoder->Encode(pTop, -nStride) || FailEncoder();
}

bool CVideoWriter::Finish()
{
    if (m_bFailed || !m_bOpen)
        return false;
    if (!m_pEncoder->Finish())
        return FailEncoder();
    if (!m_pFile->Commit())
        return Fail(m_pFile->ErrorText());
    return true;
}
