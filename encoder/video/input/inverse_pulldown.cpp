#include "encoder/video/input/inverse_pulldown.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "encoder/video/input/picture_measures.h"

namespace quillset {

namespace {

// Copies the lines of `parity` of every plane of `from` into `to` (same format).
void CopyField(const TMPEGVideo_YUVImage& from, TMPEGVideo_YUVImage& to, int32_t parity) {
    assert(from.LumaStride == to.LumaStride && from.ChromaStride == to.ChromaStride);
    for (int32_t n = parity; n < from.Format.Height; n += 2)
        std::memcpy(to.LumaRow(n), from.LumaRow(n), static_cast<size_t>(from.LumaStride));
    for (int32_t n = parity; n < from.Format.ChromaHeight; n += 2) {
        std::memcpy(to.CbRow(n), from.CbRow(n), static_cast<size_t>(from.ChromaStride));
        std::memcpy(to.CrRow(n), from.CrRow(n), static_cast<size_t>(from.ChromaStride));
    }
}

// The per-picture options of a record, without the picture it came with.
TMPEGVideoEncoder_Image OptionsOf(const TMPEGVideoEncoder_Image& record) {
    TMPEGVideoEncoder_Image options = record;
    options.Tag = 0;
    options.YUVImage = nullptr;
    options.Picture = {};
    return options;
}

} // namespace

void MergePictureRecord(TMPEGVideoEncoder_Image& accumulated, const TMPEGVideoEncoder_Image& record) {
    if (record.ForcePictureType && (record.PictureType == 0 || !accumulated.ForcePictureType)) {
        accumulated.ForcePictureType = record.ForcePictureType;
        accumulated.PictureType = record.PictureType;
        accumulated.IsRepeat = record.IsRepeat;
    }
    if (record.SegmentRateChange) {
        accumulated.SegmentRateChange = 1;
        accumulated.SegmentMode = record.SegmentMode;
        accumulated.SegmentBitRate = record.SegmentBitRate;
        accumulated.SegmentQuality = record.SegmentQuality;
        accumulated.SegmentHasFactors = record.SegmentHasFactors;
        accumulated.SegmentFactorP = record.SegmentFactorP;
        accumulated.SegmentFactorB = record.SegmentFactorB;
        accumulated.SegmentHasMinRate = record.SegmentHasMinRate;
        accumulated.SegmentMinRate = record.SegmentMinRate;
    }
    if (record.HasMatrices) {
        accumulated.HasMatrices = 1;
        accumulated.IntraMatrix = record.IntraMatrix;
        accumulated.NonIntraMatrix = record.NonIntraMatrix;
    }
    if (record.HasChromaMatrices) {
        accumulated.HasChromaMatrices = 1;
        accumulated.ChromaIntraMatrix = record.ChromaIntraMatrix;
        accumulated.ChromaNonIntraMatrix = record.ChromaNonIntraMatrix;
    }
    if (record.HasMotionSearchMode) {
        accumulated.HasMotionSearchMode = 1;
        accumulated.MotionSearchMode = record.MotionSearchMode;
    }
    if (record.HasMotionSearchOption) {
        accumulated.HasMotionSearchOption = 1;
        accumulated.MotionSearchOption = record.MotionSearchOption;
    }
    accumulated.PictureWeight = std::max(accumulated.PictureWeight, record.PictureWeight);
    accumulated.SegmentStart = accumulated.SegmentStart || record.SegmentStart;
    if (accumulated.UserData.empty())
        accumulated.UserData = record.UserData;
    accumulated.SourceRate = record.SourceRate;
}

TMPEGVideoEncoder_InversePulldown_32Pulldown::TMPEGVideoEncoder_InversePulldown_32Pulldown(
    const TKernelTable& kernels, bool sourceTopFieldFirst, TNewFrame newFrame)
    : Kernels(kernels), SourceTopFieldFirst(sourceTopFieldFirst), NewFrame(std::move(newFrame)),
      OutputTopFieldFirst(sourceTopFieldFirst) {}

int32_t TMPEGVideoEncoder_InversePulldown_32Pulldown::NextParity() const {
    // The first field of a frame is the top field when the output order is top field first.
    return (OutputTopFieldFirst ? 0 : 1) ^ (FrameFields & 1);
}

std::unique_ptr<TMPEGVideo_YUVImage> TMPEGVideoEncoder_InversePulldown_32Pulldown::ProcessPicture(
    TMPEGVideoEncoder_Image& record, const TMPEGVideo_YUVImage* picture, TMPEGVideoEncoder_PictureFlags& flags) {
    if (picture != nullptr) {
        InputFields += 2;
        std::unique_ptr<TMPEGVideo_YUVImage> output;
        TMPEGVideoEncoder_Image outputRecord;
        if (Previous)
            for (int32_t step = 0; step < 2; ++step) {
                auto frame = FieldStep(*picture, outputRecord, flags);
                // A frame completes at most once per picture: only a step that starts with two
                // fields outputs, and it leaves at most one.
                assert(!(frame && output));
                if (frame)
                    output = std::move(frame);
            }
        Previous = TMPEGVideo_YUVImage::CreateShared(*picture);
        PreviousRecord = OptionsOf(record);
        if (output)
            record = std::move(outputRecord);
        return output;
    }

    // Flush: the complete frame, then what is left of the last picture.
    if (FrameFields == 2)
        return OutputFrame(std::move(Frame), record, flags);
    if (!Previous)
        return nullptr;
    if (FrameFields == 0) {
        Frame = std::move(Previous);
        FrameRecord = PreviousRecord;
    } else {
        AddField(NextParity());
        MergePictureRecord(FrameRecord, PreviousRecord);
        Previous.reset();
    }
    PreviousRecord = {};
    return OutputFrame(std::move(Frame), record, flags);
}

std::unique_ptr<TMPEGVideo_YUVImage> TMPEGVideoEncoder_InversePulldown_32Pulldown::FieldStep(
    const TMPEGVideo_YUVImage& next, TMPEGVideoEncoder_Image& outRecord, TMPEGVideoEncoder_PictureFlags& flags) {
    const int32_t parity = NextParity();
    std::unique_ptr<TMPEGVideo_YUVImage> output;
    bool drop = false;
    if (FrameFields == 2) {
        Repeat = DecideRepeat(parity, next) ? 1 : 0;
        UpdateDecisionHistory();
        drop = Repeat == 1;
        output = OutputFrame(std::move(Frame), outRecord, flags);
    }
    // A repeated field is dropped; its frame already says it is shown twice.
    if (!drop)
        AddField(parity);
    MergePictureRecord(FrameRecord, PreviousRecord);
    return output;
}

bool TMPEGVideoEncoder_InversePulldown_32Pulldown::DecideRepeat(int32_t parity, const TMPEGVideo_YUVImage& next) const {
    const TMPEGVideo_YUVImage& frame = *Frame;
    const TMPEGVideo_YUVImage& previous = *Previous;
    const double area = static_cast<double>(frame.Format.Width) * frame.Format.Height;
    const int32_t s = LockState();
    const TThresholds& th = kThresholds[s];

    if (static_cast<double>(Combing(Kernels, frame, frame)) >= th.Clean * area)
        return false; // the frame itself is combed: its fields are not one film frame
    const auto t = static_cast<double>(FieldDifference(Kernels, frame, previous, parity));
    if (t >= th.Repeat * area)
        return false; // the field does not repeat the frame's field of that parity
    if (static_cast<double>(FieldDifference(Kernels, previous, next, parity)) < th.NextDiffers * t)
        return false; // still pictures: nothing tells a repeat from a standstill

    // The candidate field G belongs to the picture whose field of this parity comes first.
    const TMPEGVideo_YUVImage& candidate = parity == (SourceTopFieldFirst ? 0 : 1) ? previous : next;
    double u, v;
    if (SourceTopFieldFirst) {
        u = static_cast<double>(Combing(Kernels, next, candidate));
        v = static_cast<double>(Combing(Kernels, candidate, previous));
    } else {
        u = static_cast<double>(Combing(Kernels, candidate, next));
        v = static_cast<double>(Combing(Kernels, previous, candidate));
    }
    return (v > th.CombRatio * u && v > th.CombFloor * area) ||
           (v > th.StrongCombRatio * u && v > th.StrongCombFloor * area) ||
           (s == 1 && LastDecision == 1 && u < 0.15 * area && t < 0.005 * area);
}

void TMPEGVideoEncoder_InversePulldown_32Pulldown::UpdateDecisionHistory() {
    if (LastDecision != 0 && Repeat + 1 != LastDecision) {
        ++Decisions;
    } else {
        // Two equal decisions right after a short alternation: the repeat is not trusted.
        if (Decisions == 2)
            Repeat = 0;
        Decisions = 0;
    }
    LastDecision = Repeat + 1;
}

void TMPEGVideoEncoder_InversePulldown_32Pulldown::AddField(int32_t parity) {
    if (!Frame) {
        Frame = NewFrame();
        FrameFields = 0;
    }
    CopyField(*Previous, *Frame, parity);
    ++FrameFields;
}

std::unique_ptr<TMPEGVideo_YUVImage> TMPEGVideoEncoder_InversePulldown_32Pulldown::OutputFrame(
    std::unique_ptr<TMPEGVideo_YUVImage> frame, TMPEGVideoEncoder_Image& outRecord,
    TMPEGVideoEncoder_PictureFlags& flags) {
    // ISO/IEC 13818-2, 6.3.10 allows repeat_first_field only on progressive frames: a frame
    // whose first field is shown again is one film frame.
    flags.ProgressiveFrame = static_cast<uint8_t>(Repeat);
    flags.TopFieldFirst = OutputTopFieldFirst ? 1 : 0;
    flags.RepeatFirstField = static_cast<uint8_t>(Repeat);
    outRecord = std::move(FrameRecord);
    FrameRecord = {};
    if (Repeat == 1)
        OutputTopFieldFirst = !OutputTopFieldFirst;
    OutputFields += 2 + Repeat;
    Repeat = 0;
    FrameFields = 0;
    return frame;
}

} // namespace quillset
