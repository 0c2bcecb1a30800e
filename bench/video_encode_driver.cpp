// A small command-line driver of the video encoder library for the comparison benchmark
// (video_compare.sh): encodes a YUV4MPEG2 file into an MPEG-1 or MPEG-2 video elementary stream
// with a DVD-like configuration and prints the encoding speed.
//
//   video_encode_driver INPUT.y4m OUTPUT [--mpeg1] [--rate BITS] [--interlaced] [--gop I P B]
//                       [--closed] [--cq QUALITY] [--speed N] [--log FILE]
//                       [--vbr2pass MAX | --vbrcq MAX] [--threads] [--motion-cache BYTES]
//
// --vbr2pass and --vbrcq code multipass variable bit rate (the two-pass and the constant-quality
// algorithm) to the --rate average within MAX, with the analysis pass first; --threads runs the
// pipeline threads (two analysis workers and the encoding thread); --motion-cache keeps the
// analysis pass's motion in temporary files of at most BYTES for the final pass. A second line
// gives the time of each pass and the pictures whose motion came from the cache.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "encoder/kernels/kernel_sets.h"
#include "encoder/video/video_encoder.h"
#include "source/y4m_reader.h"
#include "stream/file_stream.h"

using namespace quillset;

namespace {

// frame_rate_code of a rate (ISO/IEC 13818-2, Table 6-4), 0 when none fits.
int32_t FrameRateCode(double rate) {
    const double rates[] = {24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50, 60000.0 / 1001, 60};
    for (int32_t i = 0; i < 8; ++i)
        if (std::abs(rates[i] - rate) < 0.01)
            return i + 1;
    return 0;
}

TMPEGVideoEncoder_EncodeConfig BaseConfig(const TY4MHeader& h) {
    static const uint8_t intra[64] = {8,  16, 19, 22, 26, 27, 29, 34, 16, 16, 22, 24, 27, 29, 34, 37,
                                      19, 22, 26, 27, 29, 34, 34, 38, 22, 22, 26, 27, 29, 34, 37, 40,
                                      22, 26, 27, 29, 32, 35, 40, 48, 26, 27, 29, 32, 35, 40, 48, 58,
                                      26, 27, 29, 34, 38, 46, 56, 69, 27, 29, 35, 38, 46, 56, 69, 83};
    TMPEGVideoEncoder_EncodeConfig c;
    c.StreamType = MPEGVideoEncoder_StreamType_MPEG2;
    c.Width = h.Width;
    c.Height = h.Height;
    c.YUVFormat = 1;
    c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Progressive;
    c.TopFieldFirst = 1;
    c.FrameRate = FrameRateCode(h.FrameRate());
    c.AspectRatio = 2;
    c.RateControlMode = MPEGVideoEncoder_RateControlMode_CBR;
    c.AvgBitRate = c.MaxBitRate = 4000000;
    c.VBVBufferSize = 229376; // 224 KB, as the DVD templates
    c.Quality = 60;
    c.QualityFactorP = 1 / 1.1;
    c.QualityFactorB = 1 / 1.2;
    c.AnalysisScale = 1.0;
    c.GOP_SeqHeaderInterval = 1;
    c.GOP_I_FrameCount = 1;
    c.GOP_P_FrameCount = 5;
    c.GOP_B_FrameCount = 2;
    for (int i = 0; i < 64; ++i) {
        c.QuantizeMatrix_Intra[static_cast<size_t>(i)] = intra[i];
        c.QuantizeMatrix_NonIntra[static_cast<size_t>(i)] = 16;
    }
    c.Profile = 4;
    c.Level = 8;
    c.VideoFormat = 2;
    c.ColorConversion = {16, 0.255785, 0.50216, 0.097523, -0.147644, -0.289856, 0.4375, 0.4375, -0.366352, -0.071148,
                         1.16895, 1.602514, -0.393303, -0.81616, 2.025143};
    c.ModeDecisionWeights = {1.0, 1.0, 2.0, 2.0};
    c.TuningValues = {50.0, 1.0, 1.0};
    return c;
}

// The processor's kernel set, or the reference kernels with the processor's own kernels when an
// outside library of the set is not there.
TKernelTable Kernels() {
    TKernelTable table;
    try {
        FillKernelTable(table);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "note: %s; using the built-in kernels\n", e.what());
        MPEGEncoder_FuncSet_Normal(table);
        FillProcessorKernels(table, ActiveFeatures());
    }
    return table;
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s INPUT.y4m OUTPUT [--mpeg1] [--rate BITS] [--interlaced] [--gop I P B] "
                             "[--closed] [--cq QUALITY] [--speed N] [--log FILE] [--vbr2pass MAX | --vbrcq MAX] "
                             "[--threads]\n",
                     argv[0]);
        return 2;
    }
    try {
        TMPEGVideoEncoder_EncodeConfig c;
        {
            TLargeFileStream input(argv[1], FILE_ATTRIBUTE_NORMAL, fmOpenRead | fmShareDenyNone);
            TY4MReader reader(input);
            c = BaseConfig(reader.Header());
        }
        std::string logName;
        for (int i = 3; i < argc; ++i) {
            const std::string a = argv[i];
            const auto next = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
            if (a == "--mpeg1") {
                c.StreamType = MPEGVideoEncoder_StreamType_MPEG1;
                c.AspectRatio = 1;
            } else if (a == "--rate") {
                c.AvgBitRate = c.MaxBitRate = std::atoi(next().c_str());
            } else if (a == "--interlaced") {
                c.VideoEncodeMode = MPEGVideoEncoder_VideoEncodeMode_Interlace;
            } else if (a == "--gop") {
                c.GOP_I_FrameCount = std::atoi(next().c_str());
                c.GOP_P_FrameCount = std::atoi(next().c_str());
                c.GOP_B_FrameCount = std::atoi(next().c_str());
            } else if (a == "--closed") {
                c.GOP_BitStreamForEdit = 1;
            } else if (a == "--cq") {
                c.RateControlMode = MPEGVideoEncoder_RateControlMode_CQ;
                c.Quality = std::atof(next().c_str());
            } else if (a == "--speed") {
                c.MotionSearchSpeed = static_cast<uint8_t>(std::atoi(next().c_str()));
            } else if (a == "--log") {
                logName = next();
            } else if (a == "--vbr2pass" || a == "--vbrcq") {
                c.RateControlMode = MPEGVideoEncoder_RateControlMode_VBR_2PASS;
                c.MultipassVBRAlgorithm = a == "--vbrcq" ? MPEGVideoEncoder_MultipassVBRAlgorithm_MultipassCQ
                                                         : MPEGVideoEncoder_MultipassVBRAlgorithm_2PASS;
                c.MaxBitRate = std::atoi(next().c_str());
                c.VBVBufferSize = 0;
            } else if (a == "--motion-cache") {
                c.MotionCacheLimit = std::atoll(next().c_str());
            } else if (a == "--threads") {
                c.UseEncodeThread = 1;
                c.AnalyzeThreadCount = 2;
            } else {
                std::fprintf(stderr, "unknown option %s\n", a.c_str());
                return 2;
            }
        }
        TLargeFileStream output(argv[2], FILE_ATTRIBUTE_NORMAL, fmCreate);
        TMPEGVideoEncoder encoder(&output, c, Kernels());
        std::ofstream log;
        if (!logName.empty()) {
            log.open(logName);
            encoder.OnLog = [&](TMPEGBaseEncoder*, const std::string& line) { log << line << "\n"; };
        }
        encoder.SetPreviewInterval(10);
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        int64_t frames = 0;
        // One pass over the input: an analysis pass or the encoding pass.
        const auto pass = [&](bool analysis) {
            TLargeFileStream input(argv[1], FILE_ATTRIBUTE_NORMAL, fmOpenRead | fmShareDenyNone);
            TY4MReader reader(input);
            analysis ? encoder.BeginAnalysisPass() : encoder.BeginEncode();
            for (;;) {
                std::unique_ptr<TMPEGVideo_YUVImage> image = encoder.NewImage();
                if (!reader.ReadFrame(*image))
                    break;
                TMPEGVideoEncoder_Image record;
                record.Tag = kMPEGVideoEncoder_YUVImageTag;
                record.YUVImage = image.get();
                analysis ? encoder.AnalyzePicture(record) : encoder.EncodePicture(record);
                frames += analysis ? 0 : 1;
            }
            analysis ? encoder.EndAnalysisPass() : encoder.EndEncode();
        };
        if (encoder.NeedsAnalysisPass())
            for (int32_t i = 0; i < encoder.GetAnalysisPassCount(); ++i)
                pass(true);
        const auto finalStart = std::chrono::steady_clock::now();
        pass(false);
        const auto end = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(end - start).count();
        const double finalSeconds = std::chrono::duration<double>(end - finalStart).count();
        std::printf("%lld frames in %.2f s: %.2f fps (CPU %.2f s)\n", static_cast<long long>(frames), seconds,
                    frames / seconds, CpuSeconds() - cpuStart);
        std::printf("passes: analysis %.2f s, final %.2f s; motion from the cache: %lld pictures\n",
                    seconds - finalSeconds, finalSeconds, static_cast<long long>(encoder.GetMotionCachePictureCount()));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
