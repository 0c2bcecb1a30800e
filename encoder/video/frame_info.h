// The per-picture record of the video encoder (TMPEGVideoFrameInfo) and the batch of pictures
// that is analysed, planned and coded together (TMPEGVideoFrameInfoList).
//
// A picture record is reference-counted: created with count 0, every holder (a batch, the
// carried reference of the next batch, a picture that points to it as its display predecessor)
// takes a reference with AddRef and gives it back with Release; the record is freed when its
// count falls below 1. TFrameInfoRef does this automatically.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "encoder/framework/yuv_image.h"
#include "encoder/video/encoder_image.h"
#include "encoder/video/macroblock_info.h"
#include "encoder/video/motion/motion_search_picture.h"
#include "encoder/video/rate_control/segment_rate.h"

namespace quillset {

// Picture coding types as the records hold them (picture_coding_type - 1).
enum : uint8_t {
    PictureType_I = 0,
    PictureType_P = 1,
    PictureType_B = 2,
};

// The letter of a picture type for log lines: "I", "P" or "B".
const char* PictureTypeLetter(uint8_t pictureType);

class TMPEGVideoFrameInfo : public TMotionSearchPicture {
public:
    // A record with `macroblockCount` default macroblock records.
    explicit TMPEGVideoFrameInfo(int32_t macroblockCount);
    ~TMPEGVideoFrameInfo() override;
    TMPEGVideoFrameInfo(const TMPEGVideoFrameInfo&) = delete;
    TMPEGVideoFrameInfo& operator=(const TMPEGVideoFrameInfo&) = delete;

    void AddRef();
    // Frees the record when the count falls below 1.
    void Release();
    int32_t GetRefCount();

    // Guards the reference count and the motion-search data built on demand.
    std::mutex Lock;

    std::vector<TMBInfo> Macroblocks; // raster order
    int32_t PoolIndex = 0;            // picture-number origin

    std::unique_ptr<TMPEGVideo_YUVImage> Source; // owned
    TMPEGVideo_YUVImage* Reconstructed = nullptr; // assigned for coding, not owned

    TMPEGVideoFrameInfo* ForwardRef = nullptr;
    uint8_t ForwardRefIsCarried = 0; // the forward reference is the batch's carried-in picture
    TMPEGVideoFrameInfo* BackwardRef = nullptr;
    uint8_t IsReferenced = 0;     // another picture of the batch predicts from it
    uint8_t IsLastReference = 0;  // the batch's last I or P picture, kept for the next batch

    // Display neighbours. The predecessor of a batch's first picture is the carried-in picture,
    // of which the record holds a reference (PrevInDisplayOwned).
    TMPEGVideoFrameInfo* PrevInDisplay = nullptr;
    uint8_t PrevInDisplayOwned = 0;
    TMPEGVideoFrameInfo* NextInDisplay = nullptr;

    int64_t DisplayNumber = 0; // from 0
    long double Time = 0;      // seconds: FieldsBefore / field rate
    int64_t FieldsBefore = 0;
    int32_t BatchIndex = 0;    // display position inside its batch

    uint8_t KeepReconstruction = 0;
    uint8_t ShowPreview = 0;

    uint8_t ProgressiveFrame = 0;
    uint8_t TopFieldFirst = 0;
    uint8_t RepeatFirstField = 0;

    uint8_t TypeForced = 0;
    uint8_t PictureType = PictureType_I;
    uint8_t IsRepeat = 0; // a forced P or B repeating its reference

    double PictureWeight = 1.0;

    uint8_t HasMatrices = 0;
    std::array<uint8_t, 64> IntraMatrix{};    // raster order
    std::array<uint8_t, 64> NonIntraMatrix{};
    uint8_t HasChromaMatrices = 0;
    std::array<uint8_t, 64> ChromaIntraMatrix{};
    std::array<uint8_t, 64> ChromaNonIntraMatrix{};

    uint8_t MotionSearchMode = 0;
    uint8_t MotionSearchOption = 2;

    std::vector<uint8_t> UserData;

    // The input record's planning requests, consumed by the GOP planner.
    uint8_t SegmentStart = 0;

    // Analysis results.
    // The motion cache: a pass that writes it sets RecordMotion and analysis leaves the
    // picture's record in MotionRecord; a pass that reads it puts the record there and sets
    // MotionLoaded, which analysis clears when the record does not fit the picture.
    uint8_t RecordMotion = 0;
    uint8_t MotionLoaded = 0;
    std::vector<uint8_t> MotionRecord;
    // f_code per direction (0 forward, 1 backward) and component (0 horizontal, 1 vertical).
    std::array<std::array<uint8_t, 2>, 2> FCode{{{15, 15}, {15, 15}}};
    double SumMinVar1 = 0.0;
    double SumMaxVar1 = 0.0;
    double SumMeanVar1 = 0.0;
    double SumActivityWeight = 0.0;
    double SumBitWeight = 0.0; // picture weight of the batch planning
    // Multipass statistics, on a batch's first displayed picture: its change against the picture
    // displayed before it (-1 = none).
    double StartChange = -1.0;

    TMPEGVideoEncoder_PictureReport Report;

    // The motion-search buffers built from Source, and the pool their memory comes from.
    TMotionSearchBufferSet SearchBuffers;
    TMotionSearchBufferPool* SearchBufferPool = nullptr;

    // TMotionSearchPicture.
    TMPEGVideo_YUVImage* GetSearchSource() const override { return Source.get(); }
    int64_t GetSearchDisplayNumber() const override { return DisplayNumber; }
    uint8_t GetSearchPictureType() const override { return PictureType; }
    uint8_t GetSearchSpeed() const override { return MotionSearchMode; }
    TMotionSearchPicture* GetPrevInDisplay() const override { return PrevInDisplay; }
    TMotionSearchPicture* GetNextInDisplay() const override { return NextInDisplay; }
    TMotionSearchBufferSet& GetSearchBuffers() override { return SearchBuffers; }
    TMotionSearchBufferPool* GetSearchBufferPool() const override { return SearchBufferPool; }

private:
    int32_t RefCount = 0;
};

// A counted reference to a picture record (AddRef on taking, Release on letting go).
class TFrameInfoRef {
public:
    TFrameInfoRef() = default;
    explicit TFrameInfoRef(TMPEGVideoFrameInfo* info) : Info(info) {
        if (Info)
            Info->AddRef();
    }
    TFrameInfoRef(const TFrameInfoRef& other) : TFrameInfoRef(other.Info) {}
    TFrameInfoRef(TFrameInfoRef&& other) noexcept : Info(other.Info) { other.Info = nullptr; }
    TFrameInfoRef& operator=(TFrameInfoRef other) noexcept {
        std::swap(Info, other.Info);
        return *this;
    }
    ~TFrameInfoRef() { Reset(); }

    void Reset() {
        if (Info)
            std::exchange(Info, nullptr)->Release();
    }
    TMPEGVideoFrameInfo* Get() const { return Info; }
    TMPEGVideoFrameInfo* operator->() const { return Info; }
    explicit operator bool() const { return Info != nullptr; }

private:
    TMPEGVideoFrameInfo* Info = nullptr;
};

// A batch: pictures planned, analysed and coded together, with the settings that apply to all
// of them. Adding a picture takes a reference; clearing gives every reference back.
class TMPEGVideoFrameInfoList {
public:
    TMPEGVideoFrameInfoList() = default;
    ~TMPEGVideoFrameInfoList();
    TMPEGVideoFrameInfoList(const TMPEGVideoFrameInfoList&) = delete;
    TMPEGVideoFrameInfoList& operator=(const TMPEGVideoFrameInfoList&) = delete;

    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    TMPEGVideoFrameInfo* Item(int32_t index) const { return Items[static_cast<size_t>(index)]; }
    TMPEGVideoFrameInfo* operator[](int32_t index) const { return Item(index); }
    TMPEGVideoFrameInfo* Last() const { return Items.empty() ? nullptr : Items.back(); }
    void Add(TMPEGVideoFrameInfo* info);
    // Inserts at `index`, taking a reference.
    void Insert(int32_t index, TMPEGVideoFrameInfo* info);
    // Removes the item at `index` and hands its reference to the caller (no Release).
    TMPEGVideoFrameInfo* TakeOut(int32_t index);
    // Releases every item and the carried reference; the other fields are kept.
    void Clear();
    // Gives back the analysis buffers of every picture (their motion-search data).
    void ReleaseAnalysisBuffers();
    // Copies the items (taking references) and every field of `other`.
    void Assign(const TMPEGVideoFrameInfoList& other);
    // Moves the items and fields of `other` into this (cleared) batch; `other` is left empty.
    void MoveFrom(TMPEGVideoFrameInfoList& other);

    // Sum of 2 + RepeatFirstField over the pictures.
    int64_t FieldTotal() const;
    long double FrameTotal() const { return static_cast<long double>(FieldTotal()) / 2; }
    // The items ordered by BatchIndex.
    std::vector<TMPEGVideoFrameInfo*> SortedByBatchIndex() const;

    // The previous batch's last reference picture (a counted reference), or null.
    void SetCarriedReference(TMPEGVideoFrameInfo* info);
    TMPEGVideoFrameInfo* GetCarriedReference() const { return CarriedReference.Get(); }

    int64_t Sequence = 0;
    TMPEGVideoEncoder_SegmentRate SegmentRate;
    uint8_t EndOfStream = 0;
    uint8_t StartsGOP = 0;
    int32_t PreviewInterval = 1;
    int32_t PreviewsPerBatch = 0;

private:
    std::vector<TMPEGVideoFrameInfo*> Items;
    TFrameInfoRef CarriedReference;
};

} // namespace quillset
