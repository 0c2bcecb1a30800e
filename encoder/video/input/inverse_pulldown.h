// Inverse 3:2 pulldown: interlaced pictures at 29.97 or 30 frames per second that may carry
// telecined film (each film frame shown as 3 and 2 fields in turn) become the film frames
// again, each marked with top_field_first and repeat_first_field so that a decoder displays the
// original field sequence (ISO/IEC 13818-2, 6.3.10).
//
// The filter works one field at a time. Fields are woven into frames in output order; before a
// frame is complete it decides whether the next field repeats the frame's first field (the
// frame is free of combing, the field equals the frame's field of that parity, the field after
// it differs, and weaving the candidate with its neighbours shows the combing of a wrong
// pairing). A repeated field is dropped and the frame is flagged repeat_first_field, which
// inverts the field order of the frames after it. The lock state (several alternating
// decisions in a row) lowers the thresholds once the cadence is established.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/kernel_table.h"
#include "encoder/video/encoder_image.h"

namespace quillset {

// The field flags of an output picture (picture coding extension).
struct TMPEGVideoEncoder_PictureFlags {
    uint8_t ProgressiveFrame = 0;
    uint8_t TopFieldFirst = 0;
    uint8_t RepeatFirstField = 0;
};

class TMPEGVideoEncoder_InversePulldown {
public:
    virtual ~TMPEGVideoEncoder_InversePulldown() = default;

    // With a picture: takes the picture (all pictures share the encoder's format) and its
    // record, and returns an output picture or null. With `picture` null: flushes; returns the
    // pictures still held one per call and null when nothing is left. When a picture is
    // returned, `record` holds its record (the merged records of the pictures its fields came
    // from) and `flags` its field flags.
    virtual std::unique_ptr<TMPEGVideo_YUVImage> ProcessPicture(TMPEGVideoEncoder_Image& record,
                                                                const TMPEGVideo_YUVImage* picture,
                                                                TMPEGVideoEncoder_PictureFlags& flags) = 0;
};

// Merges a picture's per-picture options into the record of a re-woven frame, so that they
// survive dropped and re-woven fields: a forced picture type (with its repeat flag) is taken when
// the record forces one and either forces I or none was taken yet; segment rate settings,
// matrices and motion-search overrides are taken when present; PictureWeight is the largest
// seen; SegmentStart is ORed; UserData is taken only when none is held.
void MergePictureRecord(TMPEGVideoEncoder_Image& accumulated, const TMPEGVideoEncoder_Image& record);

class TMPEGVideoEncoder_InversePulldown_32Pulldown : public TMPEGVideoEncoder_InversePulldown {
public:
    using TNewFrame = std::function<std::unique_ptr<TMPEGVideo_YUVImage>()>;

    // `sourceTopFieldFirst`: the field order of the input; `newFrame` gives an empty picture of
    // the encoder's format (from its picture pool) for each frame being woven.
    TMPEGVideoEncoder_InversePulldown_32Pulldown(const TKernelTable& kernels, bool sourceTopFieldFirst,
                                                  TNewFrame newFrame);

    std::unique_ptr<TMPEGVideo_YUVImage> ProcessPicture(TMPEGVideoEncoder_Image& record,
                                                        const TMPEGVideo_YUVImage* picture,
                                                        TMPEGVideoEncoder_PictureFlags& flags) override;

    // Thresholds by lock state (per luminance sample of one picture).
    struct TThresholds {
        double Clean, Repeat, NextDiffers, CombRatio, CombFloor, StrongCombRatio, StrongCombFloor;
    };
    static constexpr TThresholds kThresholds[2] = {
        {1.0, 0.1, 2.5, 2.0, 0.05, 10.0, 0.5},
        {1.0, 0.1, 1.5, 1.0, 0.05, 4.0, 0.5},
    };

    // Input and output field counts so far (for the encoder's summary).
    int64_t GetInputFieldCount() const { return InputFields; }
    int64_t GetOutputFieldCount() const { return OutputFields; }

private:
    // One field step for field `parity`-to-be of the previous picture V against the new picture
    // P; returns the frame completed before it, if any.
    std::unique_ptr<TMPEGVideo_YUVImage> FieldStep(const TMPEGVideo_YUVImage& next,
                                                   TMPEGVideoEncoder_Image& outRecord,
                                                   TMPEGVideoEncoder_PictureFlags& flags);
    // Whether the next field of V repeats the first field of the complete frame.
    bool DecideRepeat(int32_t parity, const TMPEGVideo_YUVImage& next) const;
    void UpdateDecisionHistory();
    // Copies V's lines of `parity` into the frame being woven.
    void AddField(int32_t parity);
    std::unique_ptr<TMPEGVideo_YUVImage> OutputFrame(std::unique_ptr<TMPEGVideo_YUVImage> frame,
                                                     TMPEGVideoEncoder_Image& outRecord,
                                                     TMPEGVideoEncoder_PictureFlags& flags);
    int32_t NextParity() const;
    int32_t LockState() const { return Decisions > 3 && LastDecision == 1 ? 1 : 0; }

    TKernelTable Kernels;
    bool SourceTopFieldFirst;
    TNewFrame NewFrame;

    std::unique_ptr<TMPEGVideo_YUVImage> Previous; // V
    TMPEGVideoEncoder_Image PreviousRecord;
    std::unique_ptr<TMPEGVideo_YUVImage> Frame;    // A
    int32_t FrameFields = 0;
    TMPEGVideoEncoder_Image FrameRecord;
    bool OutputTopFieldFirst;
    int32_t Repeat = 0;       // R
    int32_t LastDecision = 0; // L: 1 no repeat, 2 repeat, 0 none yet
    int32_t Decisions = 0;    // Q
    int64_t InputFields = 0;
    int64_t OutputFields = 0;
};

} // namespace quillset
