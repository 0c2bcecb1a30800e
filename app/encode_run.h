// The encode run: from a YUV4MPEG2 picture source and a WAVE sound source to the output files a
// template asks for. It plans the files and reserves their space, creates the encoders, runs the
// analysis pass when the rate control needs one, pumps pictures and sample blocks (the sound about
// ten frames ahead of the pictures), reports progress, can be stopped cleanly and removes files
// that stayed empty.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/model/mpeg_config.h"

namespace quillset {

class TLargeStream;
class TWaveAudioSource;
class TY4MReader;

// The picture source: a YUV4MPEG2 stream that can be opened again for a second pass when it is a
// file ("-" is standard input, readable once).
struct TVideoInput {
    std::string FileName;
};

struct TEncodeRunOptions {
    std::string OutputName;  // the output's name; extensions are added as the output type needs
    bool WaveFile = false;   // also write the sound as a WAVE file next to the output
    std::string LogFileName; // the encoders' log, empty for none
    // The DVD-Video form of an MPEG-2 program stream output (navigation packs, 2048-byte packs),
    // the form DVD authoring tools read. Templates whose sound cannot go into a plain program
    // stream (Linear PCM) and therefore write separate streams are multiplexed in this form too.
    bool DVDVideo = false;
    // Pipeline threads of the video encoder: -1 chooses (on when the machine has more than one
    // processor), 0 runs everything in the caller's thread, 1 and 2 are the analysis workers
    // (with an encoding thread). The output is the same either way.
    int32_t Threads = -1;
    // Two-pass VBR keeps the analysis pass's motion search in a temporary file for the final
    // pass: at most MaxMotionCacheSize bytes, or with MotionCacheAutomaticSize only as much as
    // the clip's size needs.
    bool MotionCache = true;
    int64_t MaxMotionCacheSize = int64_t{4096} * 1048576;
    bool MotionCacheAutomaticSize = true;
};

// What the progress display shows.
struct TEncodeProgress {
    const char* Pass = "Encoding"; // "Analyzing" or "Encoding"
    int64_t Done = 0;              // frames of this pass
    int64_t Total = -1;            // -1 when unknown
    double Elapsed = 0;            // seconds since the run started
    double Remaining = -1;         // seconds, -1 when unknown
    double PicturesPerSecond = 0;
};

struct TEncodedFile {
    std::string FileName;
    int64_t Size = 0;
};

struct TEncodeSummary {
    std::vector<TEncodedFile> Files;
    int64_t Frames = 0;
    double Seconds = 0; // duration of the encoded movie
    int32_t VBVErrors = 0;
    bool Aborted = false;
    std::vector<std::string> Notes; // things the user should know (silent audio, ignored input)
};

class TEncodeRun {
public:
    using TProgressEvent = std::function<void(const TEncodeProgress&)>;

    TEncodeRun(const TMPEGConfig& config, const TEncodeRunOptions& options);
    ~TEncodeRun();

    // Runs the whole encode. Either source may be absent (an empty file name / null); the
    // output type decides which are needed. Raises the encoders' and readers' errors, and the
    // disk-space message when the outputs do not fit.
    TEncodeSummary Run(const TVideoInput* video, TWaveAudioSource* audio);

    TProgressEvent OnProgress;

    // Asks a running encode to stop after the current picture and finish its streams. Safe to
    // call from a signal handler.
    static void RequestAbort();
    static void ClearAbort();

private:
    struct TOutput;
    struct TTimeline;

    TTimeline PlanTimeline(const TVideoInput* video, TWaveAudioSource* audio, std::unique_ptr<TY4MReader>& reader,
                           std::unique_ptr<TLargeStream>& readerStream);
    // The byte limit of the motion cache of this run, 0 for none.
    int64_t MotionCacheLimit(const TTimeline& timeline) const;
    void CreateFiles(TOutput& output, const TTimeline& timeline);
    TMPEGSystemEncoder_EncodeConfig SystemRecord() const;
    void CreateEncoders(TOutput& output, const TTimeline& timeline, TWaveAudioSource* audio);
    void AnalysisPasses(TOutput& output, const TTimeline& timeline, const TVideoInput* video);
    void EncodingPass(TOutput& output, const TTimeline& timeline, TY4MReader* reader);
    void DeliverAudio(TOutput& output, int64_t upTo);
    void Report(const char* pass, int64_t done, int64_t total);
    void Log(const std::string& line);
    TEncodeSummary Finish(TOutput& output, const TTimeline& timeline);

    TMPEGConfig Config;
    TEncodeRunOptions Options;
    std::vector<std::string> InputFiles;
    std::unique_ptr<struct TLogFile> LogFile;
    int64_t StartTick = 0;
    int64_t TimingBase = 0;
    int64_t LastRemainingUpdate = 0;
    double LastRemaining = -1;
    int64_t ProgressPosition = -1;
    int32_t Passes = 1;
    int64_t ProgressOffset = 0;
    TEncodeSummary Summary;

    static std::atomic<bool> AbortRequested;
};

} // namespace quillset
