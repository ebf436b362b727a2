// The video module: the FFmpeg encoder behind CVideoEncoder, and the two functions the program
// looks up in it. It links FFmpeg and nothing of the program's own libraries.
extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cerrno>

#include "export/AnimationOutput.h"
#include "export/VideoEncoder.h"

namespace
{
// The muxer's bytes go to the program's stream; MP4 seeks back to fill in its sizes.
int WritePacket(void* pOpaque, uint8_t* pData, int nSize)
{
    std::ostream& out = *static_cast<std::ostream*>(pOpaque);
    out.write(reinterpret_cast<const char*>(pData), nSize);
    return out.good() ? nSize : AVERROR(EIO);
}

int64_t SeekPacket(void* pOpaque, int64_t nOffset, int nWhence)
{
    std::ostream& out = *static_cast<std::ostream*>(pOpaque);
    if (nWhence == AVSEEK_SIZE)
    {
        const std::streampos nHere = out.tellp();
        out.seekp(0, std::ios_base::end);
        const std::streampos nEnd = out.tellp();
        out.seekp(nHere);
        return out.good() ? static_cast<int64_t>(nEnd) : AVERROR(EIO);
    }
    const std::ios_base::seekdir nDir = nWhence == SEEK_CUR   ? std::ios_base::cur
                                        : nWhence == SEEK_END ? std::ios_base::end
                                                              : std::ios_base::beg;
    out.seekp(nOffset, nDir);
    return out.good() ? static_cast<int64_t>(out.tellp()) : AVERROR(EIO);
}

std::string ErrorString(int nCode)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(nCode, text, sizeof text);
    return text;
}

const char* EncoderName(int nKind)
{
    return nKind == ANIMATION_WEBM ? "libvpx-vp9" : "libx264";
}

class CFfmpegEncoder : public CVideoEncoder
{
public:
    ~CFfmpegEncoder() override
    {
        if (m_pFormat != nullptr)
            avformat_free_context(m_pFormat);
        if (m_pIo != nullptr)
            av_freep(&m_pIo->buffer);
        avio_context_free(&m_pIo);
        avcodec_free_context(&m_pEncoder);
        sws_freeContext(m_pScale);
        av_frame_free(&m_pFrame);
        av_packet_free(&m_pPacket);
    }

    bool Open(std::ostream& out, int nKind, int nWidth, int nHeight, int nFps) override;
    bool Encode(const uint8_t* pTop, ptrdiff_t nStride) override;
    bool Finish() override;
    std::string GetError() const override { return m_strError; }

private:
    bool Fail(const std::string& strReason)
    {
        m_strError = strReason;
        return false;
    }
    bool FailCode(int nCode) { return Fail(ErrorString(nCode)); }
    // Sends a frame (null: the end) to the encoder and writes every packet it gives back.
    bool Send(bool bFrame);

    AVFormatContext* m_pFormat = nullptr;
    AVIOContext* m_pIo = nullptr;
    AVStream* m_pStream = nullptr;
    AVCodecContext* m_pEncoder = nullptr;
    SwsContext* m_pScale = nullptr;
    AVFrame* m_pFrame = nullptr;
    AVPacket* m_pPacket = nullptr;
    int64_t m_nFrames = 0;
    std::string m_strError;
};

bool CFfmpegEncoder::Open(std::ostream& out, int nKind, int nWidth, int nHeight, int nFps)
{
    // The libraries' notes and statistics stay off the standard error; their errors come through.
    av_log_set_level(AV_LOG_ERROR);
    const AVCodec* pCodec = avcodec_find_encoder_by_name(EncoderName(nKind));
    if (pCodec == nullptr)
        return Fail(std::string("the installed FFmpeg has no ") + EncoderName(nKind) + " encoder");
    int nCode = avformat_alloc_output_context2(&m_pFormat, nullptr, nKind == ANIMATION_WEBM ? "webm" : "mp4",
                                               nullptr);
    if (nCode < 0)
        return FailCode(nCode);
    constexpr int IO_BUFFER = 1 << 16;
    auto* pBuffer = static_cast<unsigned char*>(av_malloc(IO_BUFFER));
    m_pIo = pBuffer != nullptr
                ? avio_alloc_context(pBuffer, IO_BUFFER, 1, &out, nullptr, &WritePacket, &SeekPacket)
                : nullptr;
    if (m_pIo == nullptr)
    {
        av_free(pBuffer);
        return FailCode(AVERROR(ENOMEM));
    }
    m_pFormat->pb = m_pIo;
    m_pFormat->flags |= AVFMT_FLAG_CUSTOM_IO;

    m_pStream = avformat_new_stream(m_pFormat, nullptr);
    m_pEncoder = avcodec_alloc_context3(pCodec);
    m_pFrame = av_frame_alloc();
    m_pPacket = av_packet_alloc();
    if (m_pStream == nullptr || m_pEncoder == nullptr || m_pFrame == nullptr || m_pPacket == nullptr)
        return FailCode(AVERROR(ENOMEM));
    AVCodecContext& e = *m_pEncoder;
    e.width = nWidth;
    e.height = nHeight;
    e.time_base = AVRational{1, nFps};
    e.framerate = AVRational{nFps, 1};
    e.pix_fmt = AV_PIX_FMT_YUV420P;
    // What swscale's conversion below produces: BT.601 colours in the limited range.
    e.color_range = AVCOL_RANGE_MPEG;
    e.colorspace = AVCOL_SPC_SMPTE170M;
    e.gop_size = 2 * nFps;
    if ((m_pFormat->oformat->flags & AVFMT_GLOBALHEADER) != 0)
        e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* pOptions = nullptr;
    if (nKind == ANIMATION_WEBM)
    {
        // Constant quality; speed 5 with row threads keeps VP9 near the drawing's pace.
        av_dict_set(&pOptions, "crf", "32", 0);
        av_dict_set(&pOptions, "b", "0", 0);
        av_dict_set(&pOptions, "deadline", "good", 0);
        av_dict_set(&pOptions, "cpu-used", "5", 0);
        av_dict_set(&pOptions, "row-mt", "1", 0);
    }
    else
    {
        av_dict_set(&pOptions, "preset", "veryfast", 0);
        av_dict_set(&pOptions, "crf", "20", 0);
    }
    nCode = avcodec_open2(m_pEncoder, pCodec, &pOptions);
    av_dict_free(&pOptions);
    if (nCode < 0)
        return Fail(std::string("the ") + EncoderName(nKind) +
                    " encoder cannot start: " + ErrorString(nCode));
    if ((nCode = avcodec_parameters_from_context(m_pStream->codecpar, m_pEncoder)) < 0)
        return FailCode(nCode);
    m_pStream->time_base = e.time_base;
    if ((nCode = avformat_write_header(m_pFormat, nullptr)) < 0)
        return FailCode(nCode);

    m_pFrame->format = e.pix_fmt;
    m_pFrame->width = nWidth;
    m_pFrame->height = nHeight;
    if ((nCode = av_frame_get_buffer(m_pFrame, 0)) < 0)
        return FailCode(nCode);
    m_pScale = sws_getContext(nWidth, nHeight, AV_PIX_FMT_BGR24, nWidth, nHeight, AV_PIX_FMT_YUV420P,
                              SWS_POINT, nullptr, nullptr, nullptr);
    if (m_pScale == nullptr)
        return Fail("the colour conversion cannot start");
    return true;
}

bool CFfmpegEncoder::Send(bool bFrame)
{
    int nCode = avcodec_send_frame(m_pEncoder, bFrame ? m_pFrame : nullptr);
    if (nCode < 0)
        return FailCode(nCode);
    for (;;)
    {
        nCode = avcodec_receive_packet(m_pEncoder, m_pPacket);
        if (nCode == AVERROR(EAGAIN) || nCode == AVERROR_EOF)
            return true;
        if (nCode < 0)
            return FailCode(nCode);
        // Every frame lasts one tick; without a duration MP4's edit list cuts the last frame off.
        if (m_pPacket->duration == 0)
            m_pPacket->duration = 1;
        av_packet_rescale_ts(m_pPacket, m_pEncoder->time_base, m_pStream->time_base);
        m_pPacket->stream_index = m_pStream->index;
        // Takes the packet's data and leaves it blank for the next one.
        if ((nCode = av_interleaved_write_frame(m_pFormat, m_pPacket)) < 0)
            return FailCode(nCode);
    }
}

bool CFfmpegEncoder::Encode(const uint8_t* pTop, ptrdiff_t nStride)
{
    if (m_pScale == nullptr)
        return Fail("the encoder is not open");
    // The encoder may still hold the last frame's buffer.
    if (const int nCode = av_frame_make_writable(m_pFrame); nCode < 0)
        return FailCode(nCode);
    const uint8_t* const source[] = {pTop};
    const int sourceStrides[] = {static_cast<int>(nStride)};
    sws_scale(m_pScale, source, sourceStrides, 0, m_pEncoder->height, m_pFrame->data, m_pFrame->linesize);
    m_pFrame->pts = m_nFrames++;
    return Send(true);
}

bool CFfmpegEncoder::Finish()
{
    if (m_pScale == nullptr)
        return Fail("the encoder is not open");
    if (!Send(false))
        return false;
    if (const int nCode = av_write_trailer(m_pFormat); nCode < 0)
        return FailCode(nCode);
    avio_flush(m_pIo);
    return m_pIo->error < 0 ? FailCode(m_pIo->error) : true;
}
} // namespace

extern "C" __attribute__((visibility("default"))) CVideoEncoder* TeldViewCreateVideoEncoder(int nInterface)
{
    return nInterface == VIDEO_ENCODER_INTERFACE ? new CFfmpegEncoder : nullptr;
}

extern "C" __attribute__((visibility("default"))) int TeldViewHasVideoEncoder(const char* pszName)
{
    return avcodec_find_encoder_by_name(pszName) != nullptr ? 1 : 0;
}
