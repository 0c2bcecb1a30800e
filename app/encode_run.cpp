#include "app/encode_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "app/encoder_factory.h"
#include "app/output_planning.h"
#include "config/model/mpeg_tables.h"
#include "encoder/audio/lpcm/lpcm_encoder.h"
#include "encoder/framework/base_encoder.h"
#include "encoder/kernels/processor.h"
#include "encoder/mux/stream_kinds.h"
#include "encoder/mux/system_encoder.h"
#include "encoder/video/video_encoder.h"
#include "source/audio_resampler.h"
#include "source/wave_audio_source.h"
#include "source/y4m_reader.h"
#include "stream/file_stream.h"
#include "stream/safe_disk_capacity_stream.h"
#include "stream/temp_file.h"

namespace quillset {

std::atomic<bool> TEncodeRun::AbortRequested{false};

namespace {

constexpr int64_t kMotionCacheSlack = 1048576; // reserved beyond the motion cache's limit
constexpr int32_t kAudioLeadFrames = 10;   // the sound runs this many frames ahead of the pictures
constexpr int32_t kMaxAudioBlockBytes = 16384;

int64_t NowMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// True when both names lead to one existing file.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat first{};
    struct stat second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

std::unique_ptr<TLargeStream> OpenVideoStream(const std::string& fileName) {
    if (fileName == "-")
        return std::make_unique<TLargeHandleStream>(STDIN_FILENO);
    return std::make_unique<TLargeFileStream>(fileName, 0, fmOpenRead | fmShareDenyWrite);
}

// The next picture of the source; false at its end. A source cut short inside a picture ends
// with the last whole one (noted once), so that the streams written so far are finished properly.
bool ReadSourcePicture(TY4MReader& reader, TMPEGVideo_YUVImage& picture, std::vector<std::string>& notes) {
    try {
        return reader.ReadFrame(picture);
    } catch (const EY4MTruncatedError& error) {
        const std::string note = std::string(error.what()) + ": the encode ends with the last whole picture.";
        if (std::find(notes.begin(), notes.end(), note) == notes.end())
            notes.push_back(note);
        return false;
    }
}

// Creates (or replaces) a file and reserves `size` bytes for it.
std::unique_ptr<TLargeSafeDiskCapacitySizeStream> CreateReservedFile(const std::string& fileName, int64_t size) {
    std::unique_ptr<TLargeStream> file = GetLargeFileStreamClass()(fileName, 0, fmCreate);
    return std::make_unique<TLargeSafeDiskCapacitySizeStream>(std::move(file), std::max<int64_t>(size, 0));
}

} // namespace

struct TLogFile {
    std::mutex Lock;
    std::ofstream Out;
};

struct TEncodeRun::TTimeline {
    double FrameRate = 0;     // movie frames per second
    double SourceRate = 0;    // the picture source's rate handed to the encoder (0: the coded rate)
    int64_t Frames = -1;      // -1: not known before the pictures end
    int64_t SampleCount = -1; // sample times of the movie's sound, -1 when Frames is unknown
    int32_t SamplingFrequency = 0;
    bool Video = false;       // pictures are encoded
    bool Audio = false;       // sound is encoded (perhaps silence)
    double Seconds = 0;
};

struct TEncodeRun::TOutput {
    TOutputFileInfo Files;
    std::vector<TRequestDiskCapacitySizeItem> Requests;
    std::unique_ptr<TLargeSafeDiskCapacitySizeStream> Main, Second, Wave;
    // The video encoder's motion cache between the passes of two-pass VBR (a temporary file).
    std::unique_ptr<TLargeSafeDiskCapacitySizeStream> MotionCache;
    int64_t MotionCacheLimit = 0;
    // A system stream output: the multiplexer owns the encoders that write into it.
    std::unique_ptr<TMPEGSystemEncoder> System;
    std::unique_ptr<TMPEGBaseVideoEncoder> OwnedVideo;
    std::unique_ptr<TMPEGBaseAudioEncoder> OwnedAudio;
    TMPEGBaseVideoEncoder* Video = nullptr;
    TMPEGBaseAudioEncoder* Audio = nullptr; // the audio encoder or the Linear PCM wrapper
    std::unique_ptr<TMPEGBaseAudioEncoder> WaveWriter;
    // The sound in the output's format, delivered up to (not including) AudioDelivered.
    std::unique_ptr<TAudioResampler> Resampler;
    std::vector<int16_t> AudioBlock;
    int64_t AudioDelivered = 0;
    int64_t AudioMark = 0;

    void ReleaseEncoders() {
        Video = nullptr;
        Audio = nullptr;
        System.reset();
        OwnedVideo.reset();
        OwnedAudio.reset();
        WaveWriter.reset();
    }
    void CloseFiles() {
        Main.reset();
        Second.reset();
        Wave.reset();
        MotionCache.reset();
    }
    std::vector<std::string> FileNames() const {
        std::vector<std::string> names{Files.MainFileName};
        if (Files.SecondFileName != Files.MainFileName)
            names.push_back(Files.SecondFileName);
        if (!Files.WaveFileName.empty())
            names.push_back(Files.WaveFileName);
        return names;
    }
};

TEncodeRun::TEncodeRun(const TMPEGConfig& config, const TEncodeRunOptions& options) : Options(options) {
    Config.Assign(config);
    if (Options.DVDVideo) {
        if (Config.System.StreamType != MPEGSystemEncoder_StreamType_MPEG2_Program)
            throw Exception("The DVD-Video form needs a template with MPEG-2 program stream output (a DVD template).");
        switch (Config.OutputStreamType) {
        case MPEG_OutputStreamType_VideoOnly:
            Config.OutputStreamType = MPEG_OutputStreamType_System_VideoOnly;
            break;
        case MPEG_OutputStreamType_AudioOnly:
            Config.OutputStreamType = MPEG_OutputStreamType_System_AudioOnly;
            break;
        case MPEG_OutputStreamType_VideoAudio:
            Config.OutputStreamType = MPEG_OutputStreamType_System_VideoAudio;
            break;
        default:
            break;
        }
    }
}

TEncodeRun::~TEncodeRun() = default;

void TEncodeRun::RequestAbort() {
    AbortRequested.store(true);
}

void TEncodeRun::ClearAbort() {
    AbortRequested.store(false);
}

void TEncodeRun::Log(const std::string& line) {
    if (!LogFile)
        return;
    std::lock_guard lock(LogFile->Lock);
    LogFile->Out << line << '\n';
    LogFile->Out.flush();
}

void TEncodeRun::Report(const char* pass, int64_t done, int64_t total) {
    const int64_t now = NowMilliseconds();
    TEncodeProgress progress;
    progress.Pass = pass;
    progress.Done = done;
    progress.Total = total;
    progress.Elapsed = static_cast<double>(now - StartTick) / 1000.0;
    // Remaining time over all passes, refreshed at most once a second after the first ten.
    const int64_t position = ProgressOffset + done;
    const int64_t maximum = total >= 0 ? total * Passes : -1;
    if (position > ProgressPosition) {
        ProgressPosition = position;
        if (position > 0 && maximum >= 0 &&
            (now - LastRemainingUpdate > 1000 || LastRemainingUpdate - TimingBase < 10000)) {
            LastRemainingUpdate = now;
            LastRemaining = std::ceil(static_cast<double>(now - TimingBase) / 1000.0 / static_cast<double>(position) *
                                      static_cast<double>(std::max<int64_t>(0, maximum - position)));
        }
    }
    progress.Remaining = LastRemaining;
    const double passSeconds = static_cast<double>(now - TimingBase) / 1000.0;
    progress.PicturesPerSecond = passSeconds > 0 ? static_cast<double>(position) / passSeconds : 0;
    if (OnProgress)
        OnProgress(progress);
}

TEncodeRun::TTimeline TEncodeRun::PlanTimeline(const TVideoInput* video, TWaveAudioSource* audio,
                                               std::unique_ptr<TY4MReader>& reader,
                                               std::unique_ptr<TLargeStream>& readerStream) {
    TTimeline timeline;
    const bool wantsVideo = OutputHasVideo(Config.OutputStreamType);
    const bool wantsAudio = OutputHasAudio(Config.OutputStreamType);
    if (wantsVideo && video == nullptr)
        throw Exception("The template's output has video: give a YUV4MPEG2 (.y4m) picture source.");
    if (!wantsAudio && video == nullptr)
        throw Exception("The template's output has no audio and no pictures were given.");
    if (wantsAudio && audio == nullptr && video == nullptr)
        throw Exception("The template's output is audio: give a WAVE (.wav) sound source.");
    if (!wantsVideo && video != nullptr)
        Summary.Notes.push_back("The template's output has no video: the pictures are not used.");
    if (!wantsAudio && audio != nullptr)
        Summary.Notes.push_back("The template's output has no audio: the sound is not used.");
    timeline.Video = wantsVideo;
    timeline.Audio = wantsAudio;
    if (wantsAudio && audio == nullptr && wantsVideo)
        Summary.Notes.push_back("No sound was given: the audio stream is silent.");

    const double codedRate = GetFrameRateValue(Config.Video.FrameRate);
    if (wantsVideo) {
        readerStream = OpenVideoStream(video->FileName);
        reader = std::make_unique<TY4MReader>(*readerStream);
        const TY4MHeader& h = reader->Header();
        const TMPEGVideoEncoder_EncodeConfig record = Config.GetVideoEncodeConfig();
        if (h.Width != record.Width || h.Height != record.Height)
            throw Exception(FormatText("The pictures of \"%s\" are %dx%d; the template encodes %dx%d. Scale them "
                                       "first (for example with ffmpeg -vf scale=%d:%d).",
                                       video->FileName.c_str(), h.Width, h.Height, record.Width, record.Height,
                                       record.Width, record.Height));
        timeline.SourceRate = h.FrameRate();
        timeline.FrameRate = timeline.SourceRate > 0 ? timeline.SourceRate : codedRate;
        timeline.Frames = reader->FrameCountHint();
    } else {
        timeline.FrameRate = codedRate > 0 ? codedRate : 25.0;
        timeline.Frames = static_cast<int64_t>(std::ceil(audio->GetDuration() * timeline.FrameRate));
    }
    timeline.SamplingFrequency = Config.Audio.SamplingFrequency;
    if (timeline.Frames >= 0) {
        timeline.Seconds = static_cast<double>(timeline.Frames) / timeline.FrameRate;
        timeline.SampleCount = static_cast<int64_t>(timeline.Seconds * Config.Audio.SamplingFrequency);
    } else if (audio != nullptr) {
        timeline.Seconds = audio->GetDuration(); // the best guess for the space to reserve
    }
    return timeline;
}

int64_t TEncodeRun::MotionCacheLimit(const TTimeline& timeline) const {
    const TMPEGVideoEncoder_EncodeConfig video = Config.GetVideoEncodeConfig();
    if (!Options.MotionCache || !timeline.Video || timeline.Frames <= 0 ||
        video.RateControlMode != MPEGVideoEncoder_RateControlMode_VBR_2PASS)
        return 0;
    int64_t limit = Options.MaxMotionCacheSize;
    if (Options.MotionCacheAutomaticSize) {
        // Bytes per pixel of a picture's motion: field vectors take about twice as many.
        const bool fields =
            video.StreamType == MPEGVideoEncoder_StreamType_MPEG2 && IsInterlacedCodingMode(video.VideoEncodeMode);
        const double need = std::ceil(static_cast<double>(timeline.Frames) * video.Width * video.Height *
                                      (fields ? 0.105 : 0.0525));
        limit = std::min(limit, static_cast<int64_t>(need));
    }
    return std::max<int64_t>(limit, 0);
}

void TEncodeRun::CreateFiles(TOutput& output, const TTimeline& timeline) {
    output.Files = PlanOutputFiles(Config, Options.OutputName, timeline.Seconds, Options.WaveFile, output.Requests);
    std::string cacheName;
    output.MotionCacheLimit = MotionCacheLimit(timeline);
    if (output.MotionCacheLimit > 0) {
        cacheName = MakeTempFileName(GetSystemTempFolder(), "vbr", "tmp");
        if (cacheName.empty())
            output.MotionCacheLimit = 0;
        else
            output.Requests.push_back({cacheName, output.MotionCacheLimit + kMotionCacheSlack});
    }
    for (const std::string& name : output.FileNames())
        for (const std::string& input : InputFiles)
            if (SameFile(name, input))
                throw Exception("The output \"" + name + "\" would overwrite the input \"" + input +
                                "\": choose another output name with -o.");
    try {
        if (output.MotionCacheLimit > 0)
            output.MotionCache = std::make_unique<TLargeSafeDiskCapacitySizeStream>(
                GetLargeFileStreamClass()(cacheName, FILE_FLAG_DELETE_ON_CLOSE, fmCreate),
                output.MotionCacheLimit + kMotionCacheSlack);
        output.Main = CreateReservedFile(output.Files.MainFileName, output.Files.MainFileSize);
        if (output.Files.SecondFileName != output.Files.MainFileName)
            output.Second = CreateReservedFile(output.Files.SecondFileName, output.Files.SecondFileSize);
        if (!output.Files.WaveFileName.empty())
            output.Wave = CreateReservedFile(output.Files.WaveFileName, output.Files.WaveFileSize);
    } catch (const EDiskFullError&) {
        throw Exception(BuildDiskCapacityMessage(output.Requests));
    }
}

TMPEGSystemEncoder_EncodeConfig TEncodeRun::SystemRecord() const {
    TMPEGSystemEncoder_EncodeConfig record = Config.GetSystemEncodeConfig();
    if (Options.DVDVideo && record.StreamType == MPEGSystemEncoder_StreamType_MPEG2_Program)
        record.StreamType = MPEGSystemEncoder_StreamType_MPEG2_DVD_VOB;
    return record;
}

void TEncodeRun::CreateEncoders(TOutput& output, const TTimeline& timeline, TWaveAudioSource* audio) {
    auto installLog = [this](TMPEGBaseEncoder& encoder) {
        encoder.OnLog = [this](TMPEGBaseEncoder*, const std::string& line) { Log(line); };
    };
    if (IsSystemOutput(Config.OutputStreamType)) {
        output.System = std::make_unique<TMPEGSystemEncoder>(output.Main.get(), SystemRecord());
        output.System->TempDirectory = GetSystemTempFolder();
        installLog(*output.System);
    }
    if (timeline.Video) {
        TMPEGVideoEncoder_EncodeConfig record = Config.GetVideoEncodeConfig();
        if (!record.CommentText.empty())
            record.CommentText += "\r\n\r\n";
        record.CommentText += FormatText("encoded by Quillset (ver. %s)", QUILLSET_VERSION);
        record.RateControlAlgorithm = 0;
        record.DetectSceneChange = 1;
        record.SceneChangeRateReset = 0;
        const int32_t threads = Options.Threads >= 0 ? std::min(Options.Threads, 2)
                                                     : (ProcessorCount() > 1 ? 2 : 0);
        record.AnalyzeThreadCount = threads;
        record.UseEncodeThread = threads > 0 ? 1 : 0;
        record.MotionCacheLimit = output.MotionCacheLimit;
        TLargeStream* stream = output.Main.get();
        if (output.System)
            stream = output.System->AddStream({MPEGSystemEncoder_StreamKind_MPEGVideo, 0, 0});
        output.OwnedVideo = CreateVideoEncoder(*stream, record);
        output.Video = output.OwnedVideo.get();
        output.Video->SetTempDirectory(GetSystemTempFolder()); // the statistics of the analysis pass
        if (output.MotionCache)
            if (auto* encoder = dynamic_cast<TMPEGVideoEncoder*>(output.Video))
                encoder->SetMotionCacheStream(output.MotionCache.get());
        installLog(*output.Video);
        output.Video->SetPreviewInterval(10);
        output.Video->SetPreviewsPerBatch(1);
        output.Video->PreviewAllPasses = true;
    }
    if (timeline.Audio) {
        const TMPEGAudioEncoder_EncodeConfig record = Config.GetAudioEncodeConfig();
        TLargeSafeDiskCapacitySizeStream& file = output.Second ? *output.Second : *output.Main;
        // Linear PCM alone is written as a WAVE file; in a system stream it is the bare samples.
        if (output.System)
            output.OwnedAudio = CreateAudioEncoder(
                *output.System->AddStream({GetStreamKindOfAudioType(record.StreamType), 0, 0}), record);
        else if (record.StreamType == MPEGAudioEncoder_StreamType_LinearPCM)
            output.OwnedAudio = std::make_unique<TLinearPCMAudioEncoder_WaveFileWriterWrapper>(file, record);
        else
            output.OwnedAudio = CreateAudioEncoder(file, record);
        output.Audio = output.OwnedAudio.get();
        installLog(*output.Audio);
    }
    if (output.System) {
        if (output.OwnedVideo)
            output.System->AddEncoder(std::move(output.OwnedVideo));
        if (output.OwnedAudio)
            output.System->AddEncoder(std::move(output.OwnedAudio));
    }
    if (output.Wave) {
        TMPEGAudioEncoder_EncodeConfig record = Config.GetAudioEncodeConfig();
        record.StreamType = MPEGAudioEncoder_StreamType_LinearPCM;
        record.BitRate = ChannelsOfMode(record.ChannelMode) * record.SamplingFrequency * 16;
        output.WaveWriter = std::make_unique<TLinearPCMAudioEncoder_WaveFileWriterWrapper>(*output.Wave, record);
    }
    if (output.Audio || output.WaveWriter)
        output.Resampler = std::make_unique<TAudioResampler>(audio, Config.Audio.SamplingFrequency,
                                                              ChannelsOfMode(Config.Audio.ChannelMode));
}

void TEncodeRun::DeliverAudio(TOutput& output, int64_t upTo) {
    if (!output.Resampler)
        return;
    const int32_t channels = output.Resampler->GetChannels();
    const int32_t blockTimes = kMaxAudioBlockBytes / (2 * channels);
    while (output.AudioDelivered <= upTo) {
        const auto count = static_cast<int32_t>(std::min<int64_t>(blockTimes, upTo - output.AudioDelivered + 1));
        output.AudioBlock.resize(static_cast<size_t>(count) * channels);
        output.Resampler->Read(output.AudioBlock.data(), count);
        const TMPEGAudioEncoder_Samples block{AudioSampleFormat_16Bit, output.Resampler->GetFrequency(), channels,
                                              output.AudioBlock.data(), count};
        if (output.Audio)
            output.Audio->PutSamples(block);
        if (output.WaveWriter)
            output.WaveWriter->PutSamples(block);
        output.AudioDelivered += count;
    }
}

void TEncodeRun::AnalysisPasses(TOutput& output, const TTimeline& timeline, const TVideoInput* video) {
    if (!output.Video || !output.Video->NeedsAnalysisPass())
        return;
    if (video->FileName == "-")
        throw Exception("This rate control reads the pictures twice: give the pictures as a file, not on "
                        "standard input.");
    const int32_t count = output.Video->GetAnalysisPassCount();
    for (int32_t pass = 0; pass < count && output.Video->NeedsAnalysisPass(); ++pass) {
        std::unique_ptr<TLargeStream> stream = OpenVideoStream(video->FileName);
        TY4MReader reader(*stream);
        output.Video->BeginAnalysisPass();
        int64_t f = 0;
        for (;;) {
            std::unique_ptr<TMPEGVideo_YUVImage> picture = output.Video->NewImage();
            if (!ReadSourcePicture(reader, *picture, Summary.Notes))
                break;
            PushVideoPicture(*output.Video, *picture, timeline.SourceRate, true);
            Report("Analyzing", ++f, timeline.Frames);
            if (AbortRequested.load())
                throw Exception("Encoding was stopped during the analysis pass.");
        }
        output.Video->EndAnalysisPass();
        ProgressOffset += f;
    }
}

void TEncodeRun::EncodingPass(TOutput& output, const TTimeline& timeline, TY4MReader* reader) {
    if (output.System) {
        output.System->BeginEncode();
    } else {
        if (output.Video)
            output.Video->BeginEncode();
        if (output.Audio)
            output.Audio->BeginEncode();
    }
    if (output.WaveWriter)
        output.WaveWriter->BeginEncode();
    const bool hasAudio = output.Resampler != nullptr;
    const double frequency = Config.Audio.SamplingFrequency;
    int64_t f = 0;
    for (;; ++f) {
        std::unique_ptr<TMPEGVideo_YUVImage> picture;
        if (output.Video) {
            picture = output.Video->NewImage();
            if (!ReadSourcePicture(*reader, *picture, Summary.Notes))
                break;
        } else if (f >= timeline.Frames) {
            break;
        }
        // The sound of the next ten frames goes first, and all of it with the last frame.
        const bool lastFrame = timeline.Frames >= 0 && f == timeline.Frames - 1;
        if (hasAudio && (f % kAudioLeadFrames == 0 || lastFrame)) {
            output.AudioMark = f + kAudioLeadFrames;
            int64_t n = static_cast<int64_t>(static_cast<double>(output.AudioMark + 1) / timeline.FrameRate *
                                             frequency) - 1;
            const int64_t end = output.Video ? timeline.SampleCount : output.Resampler->GetSampleCount();
            if (end >= 0)
                n = std::min(n, end - 1);
            DeliverAudio(output, n);
        }
        if (picture)
            PushVideoPicture(*output.Video, *picture, timeline.SourceRate, false);
        Report("Encoding", f + 1, timeline.Frames);
        if (AbortRequested.load() && (!output.Video || !hasAudio || f >= output.AudioMark)) {
            Summary.Aborted = true;
            ++f;
            break;
        }
    }
    Summary.Frames = f;
    // The sound ends with the last picture; without pictures it keeps its own length.
    if (hasAudio && !Summary.Aborted) {
        const int64_t total = output.Video ? static_cast<int64_t>(static_cast<double>(f) / timeline.FrameRate * frequency)
                                           : output.Resampler->GetSampleCount();
        DeliverAudio(output, total - 1);
    }
    if (output.System) {
        output.System->EndEncode(); // the encoders' ends, then the multiplexer completes the file
    } else {
        if (output.Video)
            output.Video->EndEncode();
        if (output.Audio)
            output.Audio->EndEncode();
    }
    if (output.WaveWriter)
        output.WaveWriter->EndEncode();
    if (output.Video)
        Summary.VBVErrors = output.Video->GetVBVErrorCount();
    Summary.Seconds = output.Video || !output.Resampler
                          ? static_cast<double>(f) / timeline.FrameRate
                          : static_cast<double>(output.AudioDelivered) / frequency;
}

TEncodeSummary TEncodeRun::Finish(TOutput& output, const TTimeline&) {
    output.ReleaseEncoders();
    output.CloseFiles();
    for (const std::string& name : output.FileNames()) {
        struct stat info{};
        if (::stat(name.c_str(), &info) != 0)
            continue;
        if (info.st_size == 0)
            ::unlink(name.c_str());
        else
            Summary.Files.push_back({name, static_cast<int64_t>(info.st_size)});
    }
    return Summary;
}

TEncodeSummary TEncodeRun::Run(const TVideoInput* video, TWaveAudioSource* audio) {
    Summary = TEncodeSummary();
    InputFiles.clear();
    if (video != nullptr && video->FileName != "-")
        InputFiles.push_back(video->FileName);
    if (audio != nullptr)
        InputFiles.push_back(audio->GetFileName());
    StartTick = TimingBase = LastRemainingUpdate = NowMilliseconds();
    if (!Options.LogFileName.empty()) {
        LogFile = std::make_unique<TLogFile>();
        LogFile->Out.open(Options.LogFileName, std::ios::out | std::ios::trunc);
        if (!LogFile->Out)
            throw EFCreateError(FormatText(SFCreateError, Options.LogFileName.c_str()));
    }
    std::unique_ptr<TLargeStream> readerStream;
    std::unique_ptr<TY4MReader> reader;
    const TTimeline timeline = PlanTimeline(video, audio, reader, readerStream);
    TOutput output;
    try {
        CreateFiles(output, timeline);
        CreateEncoders(output, timeline, audio);
        Passes = 1 + (output.Video && output.Video->NeedsAnalysisPass() ? output.Video->GetAnalysisPassCount() : 0);
        AnalysisPasses(output, timeline, video);
        EncodingPass(output, timeline, reader.get());
    } catch (...) {
        // Partly written files stay; files that stayed empty go.
        output.ReleaseEncoders();
        output.CloseFiles();
        for (const std::string& name : output.FileNames()) {
            struct stat info{};
            if (::stat(name.c_str(), &info) == 0 && info.st_size == 0)
                ::unlink(name.c_str());
        }
        throw;
    }
    return Finish(output, timeline);
}

} // namespace quillset
