#include "e2e/BatchTestSupport.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <set>
#include <tuple>

#include "formats/bmp/BitmapFile.h"

namespace
{
using namespace BatchTestSupport;

// Frames, width and height of a video, decoded frame by frame as a player would; -1 frames when
// it cannot be read.
std::tuple<int, int, int> DecodeVideo(const std::string& strPath)
{
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, strPath.c_str(), nullptr, nullptr) < 0)
        return {-1, 0, 0};
    const AVCodec* pCodec = nullptr;
    const int nStream = avformat_find_stream_info(pFormat, nullptr) >= 0
                            ? av_find_best_stream(pFormat, AVMEDIA_TYPE_VIDEO, -1, -1, &pCodec, 0)
                            : -1;
    AVCodecContext* pDecoder = nStream >= 0 ? avcodec_alloc_context3(pCodec) : nullptr;
    AVPacket* pPacket = av_packet_alloc();
    AVFrame* pFrame = av_frame_alloc();
    int nFrames = -1, nWidth = 0, nHeight = 0;
    if (pDecoder != nullptr &&
        avcodec_parameters_to_context(pDecoder, pFormat->streams[nStream]->codecpar) >= 0 &&
        avcodec_open2(pDecoder, pCodec, nullptr) >= 0)
    {
        nFrames = 0;
        const auto drain = [&]
        {
            while (avcodec_receive_frame(pDecoder, pFrame) >= 0)
            {
                ++nFrames;
                nWidth = pFrame->width;
                nHeight = pFrame->height;
            }
        };
        while (av_read_frame(pFormat, pPacket) >= 0)
        {
            if (pPacket->stream_index == nStream && avcodec_send_packet(pDecoder, pPacket) >= 0)
                drain();
            av_packet_unref(pPacket);
        }
        avcodec_send_packet(pDecoder, nullptr);
        drain();
    }
    av_frame_free(&pFrame);
    av_packet_free(&pPacket);
    avcodec_free_context(&pDecoder);
    avformat_close_input(&pFormat);
    return {nFrames, nWidth, nHeight};
}

class BatchAnimateTest : public BatchTest
{
protected:
    std::set<std::string> Names() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::vector<uint8_t> Pixels(const std::string& strName)
    {
        CBitmapFile bmp;
        EXPECT_TRUE(bmp.Read(Path(strName))) << strName;
        EXPECT_EQ(std::tuple(bmp.m_nWidth, bmp.m_nHeight), std::tuple(64, 48)) << strName;
        return bmp.m_pixels;
    }
    const std::string m_strScene = EXAMPLES + "/scene.scn";
};
} // namespace

// Frame k shows the time from + k / fps, drawn exactly as the snapshot at that time.
TEST_F(BatchAnimateTest, EachFrameIsTheSnapshotAtItsTime)
{
    const SRun run = Run({"--animate", Path("f%04d.bmp"), "--size", "64x48", "--fps", "10", "--from", "1",
                          "--to", "1.55", m_strScene});
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_NE(run.strErr.find("frame 6 of 6"), std::string::npos) << run.strErr;
    EXPECT_FALSE(fs::exists(Path("f0006.bmp")));
    ASSERT_EQ(Run({"--snapshot", Path("at.bmp"), "--size", "64x48", "--time", "1.3", m_strScene}).nStatus, 0);
    EXPECT_EQ(Pixels("f0003.bmp"), Pixels("at.bmp"));
    EXPECT_NE(Pixels("f0000.bmp"), Pixels("f0005.bmp"));

    // The default range ends at the last keyframe (4 s); %d numbers without zeros.
    ASSERT_EQ(Run({"--animate", Path("d%d.jpg"), "--size", "64x48", "--fps", "1", m_strScene}).nStatus, 0);
    EXPECT_TRUE(fs::exists(Path("d4.jpg")));
    EXPECT_FALSE(fs::exists(Path("d5.jpg")));
}

// Read back with the libraries that wrote them, frame by frame.
TEST_F(BatchAnimateTest, VideosHoldEveryFrameAtTheirSize)
{
    for (const char* pszName : {"clip.mp4", "clip.WEBM"})
    {
        SCOPED_TRACE(pszName);
        const SRun run = Run({"--animate", Path(pszName), "--size", "96x64", "--to", "0.4", m_strScene});
        ASSERT_EQ(run.nStatus, 0) << run.strErr;
        EXPECT_EQ(DecodeVideo(Path(pszName)), std::tuple(11, 96, 64));
    }
    // The temporary files are gone.
    EXPECT_EQ(Names(), (std::set<std::string>{"clip.WEBM", "clip.mp4", "stderr", "stdout"}));
}

TEST_F(BatchAnimateTest, BadOutputsAndRangesWriteNothing)
{
    const std::string strInput = WriteFile("in.mp4", TRIANGLE_OFF);
    // A device is written where it stands: here one that is always full.
    fs::create_symlink("/dev/full", m_dir / "full.mp4");
    // {arguments, exit status, what stderr says}
    const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
        {{"--animate", Path("out.gif"), m_strScene}, 1, "must end in .mp4 or .webm"},
        {{"--animate", Path("f%d.emf"), m_strScene}, 1, "must end in .mp4 or .webm"},
        {{"--animate", Path("f%5d.png"), m_strScene}, 1, "must end in .mp4 or .webm"},
        {{"--animate", Path("f%d_%d.png"), m_strScene}, 1, "must end in .mp4 or .webm"},
        {{"--animate", Path("f%d.mp4"), m_strScene}, 1, "must end in .mp4 or .webm"},
        {{"--animate", Path("out.mp4"), "--fps", "0", m_strScene}, 1, "--fps needs a whole number"},
        {{"--animate", Path("out.mp4"), "--fps", "241", m_strScene}, 1, "from 1 to 240"},
        {{"--animate", Path("out.mp4"), "--fps", "2.5", m_strScene}, 1, "--fps needs"},
        {{"--animate", Path("out.mp4"), "--from", "-1", m_strScene}, 1, "--from needs a time in seconds"},
        {{"--animate", Path("out.mp4"), "--to", "x", m_strScene}, 1, "--to needs a time"},
        {{"--animate", Path("out.mp4"), "--from", "3", "--to", "2.99", m_strScene},
         1,
         "the range from 3 s to 2.99 s holds no frame"},
        {{"--animate", Path("out.mp4"), "--from", "4.01", m_strScene}, 1, "to 4 s holds no frame"},
        {{"--animate", Path("out.mp4"), "--size", "65x48", m_strScene}, 1, "even width and height"},
        {{"--animate", Path("missing/out.mp4"), m_strScene},
         1,
         "Error writing file.\n" + Path("missing/out.mp4")},
        {{"--animate", strInput, strInput}, 1, "the same file as the input"},
        {{"--animate", Path("full.mp4"), "--size", "64x48", m_strScene}, 1, "No space left on device"},
        {{"--animate", Path("out.mp4"), "--time", "1", m_strScene}, 2, "--time applies only to --info or"},
        {{"--snapshot", Path("out.bmp"), "--fps", "5", m_strScene}, 2, "--fps applies only to --animate"},
    };
    const std::set<std::string> before = Names();
    for (const auto& [args, nStatus, strMessage] : rows)
    {
        SCOPED_TRACE(args[1] + " " + args[args.size() - 2]);
        const SRun run = Run(args);
        EXPECT_EQ(run.nStatus, nStatus);
        EXPECT_NE(run.strErr.find(strMessage), std::string::npos) << run.strErr;
        std::set<std::string> after = Names();
        after.erase("stdout");
        after.erase("stderr");
        EXPECT_EQ(after, before);
    }
    EXPECT_EQ(Slurp(strInput), TRIANGLE_OFF);
}

// FFmpeg's libraries are loaded, with the video module, only when a video is written: the
// program does not link them, and its other starts do not load them.
TEST_F(BatchAnimateTest, OnlyVideosLoadFFmpeg)
{
    const SRun ldd = RunCommand("ldd", {TELDVIEW_EXE});
    ASSERT_EQ(ldd.nStatus, 0) << ldd.strErr;
    for (const char* pszLibrary :
         {"libavcodec", "libavformat", "libswscale", "libavutil", "libteldview_video"})
        EXPECT_EQ(ldd.strOut.find(pszLibrary), std::string::npos) << pszLibrary << " in\n" << ldd.strOut;
    // The dynamic loader names every file it opens.
    const std::vector<std::string> runs[] = {
        {"--version"},
        {"--animate", Path("f%d.png"), "--size", "64x48", "--to", "0.1", m_strScene},
        {"--animate", Path("clip.mp4"), "--size", "64x48", "--to", "0.1", m_strScene},
    };
    for (const auto& args : runs)
    {
        const SRun run = RunCommand(TELDVIEW_EXE, args, "LD_DEBUG=files ");
        ASSERT_EQ(run.nStatus, 0) << run.strErr;
        const bool bVideo = args[0] == "--animate" && args[1].ends_with(".mp4");
        for (const char* pszLibrary : {"libteldview_video.so", "libavcodec.so"})
            EXPECT_EQ(run.strErr.find(pszLibrary) != std::string::npos, bVideo)
                << args[0] << " " << pszLibrary;
    }
}
