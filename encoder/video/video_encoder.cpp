#include "encoder/video/video_encoder.h"

#include <string>

#include "encoder/kernels/kernel_sets.h"
#include "encoder/video/coding/picture_analysis.h"
#include "encoder/video/motion/motion_search.h"
#include "encoder/video/syntax/header_writer.h"
#include "encoder/video/syntax/sequence_syntax.h"
#include "stream/exceptions.h"

namespace quillset {

namespace {

TKernelTable ProcessorKernelTable() {
    TKernelTable table;
    FillKernelTable(table);
    return table;
}

} // namespace

TMPEGVideoEncoder::TMPEGVideoEncoder(TLargeStream* output, const TMPEGVideoEncoder_EncodeConfig& config)
    : TMPEGVideoEncoder(output, config, ProcessorKernelTable()) {}

TMPEGVideoEncoder::TMPEGVideoEncoder(TLargeStream* output, const TMPEGVideoEncoder_EncodeConfig& config,
                                     const TKernelTable& kernels)
    : Output(output), Settings(ValidateVideoEncodeConfig(config)), Kernels(kernels),
      Planner(Settings, [this](TMPEGVideoFrameInfoList& batch) { HandleBatch(batch); }) {
    BuildColorConversionTable(Settings.Config.ColorConversion, ColorTable);
    IntraMatrix = Settings.Config.QuantizeMatrix_Intra;
    NonIntraMatrix = Settings.Config.QuantizeMatrix_NonIntra;
    Controller = std::make_unique<TMPEGVideoEncoder_RateController_type1>(Settings, Kernels);
    Controller->Reset();
    MotionCache.SetLimit(Settings.Config.MotionCacheLimit);
}

TMPEGVideoEncoder::~TMPEGVideoEncoder() {
    // The pipeline threads hold batches and use the encoder: they stop first.
    StopPipeline();
    // Pictures still planned hold images of the pool; they go before the pool does.
    Planner.Reset();
}

void TMPEGVideoEncoder::GetEncodeConfig(TMPEGVideoEncoder_EncodeConfig& config) { config = Settings.Config; }

int32_t TMPEGVideoEncoder::GetStartedPictureCount() {
    std::lock_guard lock(CounterLock);
    return static_cast<int32_t>(StartedSnapshot);
}

int32_t TMPEGVideoEncoder::GetProcessedPictureCount() {
    std::lock_guard lock(CounterLock);
    return static_cast<int32_t>(ProcessedSnapshot);
}

long double TMPEGVideoEncoder::GetPictureRate() { return Settings.PictureRate; }

void TMPEGVideoEncoder::GetImageFormat(TMPEGVideo_YUVImageFormat& format) {
    format = TMPEGVideo_YUVImageFormat{};
    format.ChromaFormat = Settings.Config.YUVFormat;
    format.Width = Settings.PaddedWidth;
    format.Height = Settings.PaddedHeight;
    format.ChromaWidth = Settings.PaddedWidth / Settings.ChromaDivisorX;
    format.ChromaHeight = Settings.PaddedHeight / Settings.ChromaDivisorY;
    format.PictureWidth = Settings.Config.Width;
    format.PictureHeight = Settings.Config.Height;
    format.FieldChroma = Settings.InterlacedCoding;
    format.MPEG2 = Settings.MPEG2;
    format.Option = Settings.Config.ChromaLowPass;
}

void TMPEGVideoEncoder::SetMotionCacheStream(TLargeStream* stream) { MotionCache.SetStream(stream); }

void TMPEGVideoEncoder::BeginEncode() { BeginPass(false); }

void TMPEGVideoEncoder::EndEncode() { EndPass(); }

void TMPEGVideoEncoder::BeginAnalysisPass() {
    ++PassCount;
    Log(FormatText("---- %d pass (number of pass attempted)", PassCount));
    OpenStatistics();
    BeginPass(true);
}

void TMPEGVideoEncoder::EndAnalysisPass() {
    EndPass();
    FinishAnalysis();
}

void TMPEGVideoEncoder::AnalyzePicture(const TMPEGVideoEncoder_Image& image) {
    PushPicture(image);
    Notify();
}

void TMPEGVideoEncoder::EncodePicture(const TMPEGVideoEncoder_Image& image) {
    PushPicture(image);
    Notify();
}

void TMPEGVideoEncoder::LogPassNotes() {
    const TMPEGVideoEncoder_EncodeConfig& c = Settings.Config;
    const TMotionSearchClassChoice choice = ChooseMotionSearchClass(c.MotionSearchSpeed, Settings.InterlacedCoding);
    if (choice.Substituted)
        Log(FormatText("Motion search %s is not available yet: %s is used instead.", choice.DesignatedClassName,
                       choice.Class->Name));
}

void TMPEGVideoEncoder::RebuildQuantiserTables() {
    BuildQuantiserTables(Tables, IntraMatrix, NonIntraMatrix, Settings.MPEG2, Settings.Config.DC_prec,
                         Settings.Config.QuantizeModeVal_Intra, Settings.Config.QuantizeModeVal_NonIntra);
    Controller->MatricesChanged();
}

void TMPEGVideoEncoder::BeginPass(bool analysis) {
    if (PassActive)
        EndPass();
    LogPassNotes();
    AnalysisPass = analysis;
    PassActive = true;
    FirstPictureOfPass = true;
    RateAccumulator = 0;
    PictureCounter = FieldCounter = 0;
    CodedPictures = 0;
    LastCodedDisplayNumber = -1;
    CurrentSearchMode = Settings.Config.MotionSearchSpeed;
    CurrentSearchOption = 2;
    PreviewSelection = {};
    HasPendingMatrices = false;
    IntraMatrix = Settings.Config.QuantizeMatrix_Intra;
    NonIntraMatrix = Settings.Config.QuantizeMatrix_NonIntra;
    {
        std::lock_guard lock(CounterLock);
        InputPictureCount = StartedSnapshot = ProcessedSnapshot = 0;
    }
    Planner.Reset();
    ResetInputFilters();
    Controller->Reset();
    RebuildQuantiserTables();

    TMPEGVideoSequenceSyntax sequence = MakeSequenceSyntax(Settings.Config, Settings.VBVBufferSize);
    sequence.ConstrainedParameters = Settings.ConstrainedParameters;
    State.Syntax = TMPEGVideoSyntaxState(sequence);
    State.VBV = TMPEGVideoEncoder_VBVModel(Settings);
    State.VBV.OnError = [this](const std::string& text) {
        SetVBVErrorCount(GetVBVErrorCount() + 1);
        Log(text);
    };
    // An analysis pass writes no stream: its buffer model has nothing to report.
    State.VBV.Silent = analysis;
    State.Allocation = TMPEGVideoEncoder_BitAllocation(Settings);
    if (analysis)
        Writer = std::make_unique<TLargeNullBitStreamWriter>();
    else
        Writer = std::make_unique<TLargeBitStreamWriter>(Output);

    for (auto& buffer : ReferenceBuffers)
        buffer = NewImage();
    ScratchBuffer = NewImage();
    NextReferenceBuffer = 0;
    RateLineBits = RateLineFields = 0;
    // Only multipass encoding reads its pictures more than once.
    MotionCachePictures = 0;
    MotionCache.EndPass();
    if (IsMultipass())
        MotionCache.BeginPass(analysis, GetTempDirectory(), MotionRecordGeometryOf(Settings));
    StartPipeline();
}

void TMPEGVideoEncoder::EndPass() {
    if (!PassActive)
        return;
    FlushInputFilters();
    Planner.Flush();
    FinishPipeline();
    MotionCache.EndPass();
    if (Settings.RepeatCount > 0 && LastCodedDisplayNumber >= 0)
        WriteRepeatPictures(PictureType_P, LastCodedDisplayNumber);
    WriteSequenceEnd(*Writer, State.Syntax, State.Allocation.EndStuffingBits());
    PassActive = false;
    if (!AnalysisPass)
        WriteSummary();
    Planner.Reset();
}

void TMPEGVideoEncoder::WriteSummary() {
    const TMPEGVideoSyntaxState& s = State.Syntax;
    const int64_t pictures = s.PictureCount + s.SkippedPictureCount;
    Log("");
    Log(FormatText("Number of encode frame = %d", static_cast<int>(pictures)));
    if (Settings.Config.VideoEncodeMode == MPEGVideoEncoder_VideoEncodeMode_Auto_Inv32Pulldown)
        Log(FormatText("Inverse 3:2 pulldown state = %d/%d (Output/Input field count)", static_cast<int>(2 * PictureCounter),
                       static_cast<int>(FieldCounter)));
    const double averageGOP = s.FinishedGOPCount > 0 ? static_cast<double>(s.FinishedGOPFields) / s.FinishedGOPCount : 0.0;
    Log(FormatText("Length of GOP = Average %.2f field(s), MAX %d field(s)", averageGOP, static_cast<int>(s.MaxGOPFields)));
    const double seconds = static_cast<double>(s.FieldCount) / (2.0 * static_cast<double>(Settings.NominalRate));
    const double rate = seconds > 0 ? static_cast<double>(Writer->GetBitPosition()) / seconds / 1000.0 : 0.0;
    Log(FormatText("Average bitrate of video = %.2f kbps", rate));
    Log(FormatText("VBV buffer size = %d KB", Settings.VBVBufferSize / 1024));
    Log("");
    Log("Finished encoding video");
    Log("");
    Log(std::string(61, '-'));
}

} // namespace quillset
