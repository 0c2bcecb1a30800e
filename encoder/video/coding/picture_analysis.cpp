#include "encoder/video/coding/picture_analysis.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

#include "encoder/video/coding/block_statistics.h"
#include "encoder/video/coding/prediction.h"
#include "encoder/video/motion/motion_search.h"

namespace quillset {

namespace {

constexpr int64_t kNoCandidate = std::numeric_limits<int32_t>::max();

// The range a search may reach for an f_code: max(4 x 2^f - 20, 8).
int32_t SearchRange(int32_t fCode) { return std::max(4 * (1 << fCode) - 20, 8); }

// The horizontal and vertical f_code limits of an MPEG-2 level (ISO/IEC 13818-2, Table 8-8).
void LevelFCodeLimits(int32_t level, int32_t& horizontal, int32_t& vertical) {
    if (level == 10) {
        horizontal = 7;
        vertical = 4;
    } else if (level == 8) {
        horizontal = 8;
        vertical = 5;
    } else {
        horizontal = 9;
        vertical = 5;
    }
}

TMBMotionVector VectorOf(const TMotionSearchResult& r) {
    TMBMotionVector v;
    v.FieldSelect = r.FieldSelect;
    v.MvX = r.MvX;
    v.MvY = r.MvY;
    v.BestX = r.BestX;
    v.BestY = r.BestY;
    v.Cost = r.Cost;
    return v;
}

TMBVectorPair ZeroVectors(int32_t x, int32_t y) {
    TMBVectorPair pair{};
    pair[0].BestX = pair[1].BestX = x;
    pair[0].BestY = pair[1].BestY = y;
    pair[1].FieldSelect = 1;
    return pair;
}

// The candidates of one direction for one macroblock.
struct TDirection {
    bool Available = false;
    TMotionSearchResult Frame, Top, Bottom;
    int64_t FrameCost() const { return Available && Frame.Cost >= 0 ? Frame.Cost : -1; }
    int64_t FieldCost() const {
        return Available && Top.Cost >= 0 && Bottom.Cost >= 0 ? int64_t{Top.Cost} + Bottom.Cost : -1;
    }
};

// What the analysis of one macroblock needs.
struct TMacroblockContext {
    const TKernelTable& K;
    const TMPEGVideo_YUVImage& Source;
    const TMPEGVideo_YUVImage* ForwardSource;
    const TMPEGVideo_YUVImage* BackwardSource;
    bool Interlaced;
    double ThresholdA, ThresholdB;
    int32_t X, Y;
    const uint8_t* Src() const { return Source.Y + static_cast<ptrdiff_t>(Y) * Source.LumaStride + X; }
    int32_t Pitch() const { return Source.LumaStride; }
};

// The luminance prediction of a macroblock mode, from the references' sources, into `packed`.
void FetchModePrediction(const TMacroblockContext& c, const TMBInfo& mb, uint8_t* packed) {
    alignas(32) uint8_t second[256];
    const bool field = mb.IsFieldPrediction();
    if (mb.HasForward() && mb.HasBackward()) {
        alignas(32) uint8_t first[256];
        FetchLumaPrediction(c.K, first, *c.ForwardSource, c.X, c.Y, field, mb.Forward);
        FetchLumaPrediction(c.K, second, *c.BackwardSource, c.X, c.Y, field, mb.Backward);
        c.K.AveragePacked16x16(packed, first, second);
    } else if (mb.HasForward()) {
        FetchLumaPrediction(c.K, packed, *c.ForwardSource, c.X, c.Y, field, mb.Forward);
    } else {
        FetchLumaPrediction(c.K, packed, *c.BackwardSource, c.X, c.Y, field, mb.Backward);
    }
}

int64_t BidirectionalCost(const TMacroblockContext& c, bool field, const TMBVectorPair& forward,
                          const TMBVectorPair& backward) {
    TMBInfo mb;
    mb.Flags = MBInfoFlag_Forward | MBInfoFlag_Backward;
    mb.MotionType = field ? MBMotionType_Field : MBMotionType_Frame;
    mb.Forward = forward;
    mb.Backward = backward;
    alignas(32) uint8_t packed[256];
    FetchModePrediction(c, mb, packed);
    return c.K.Sad16x16Packed(c.Src(), packed, c.Pitch());
}

// A prediction mode candidate of the selection.
struct TCandidate {
    int64_t Cost;
    bool Field;
    bool Forward, Backward;
};

void ApplyCandidate(TMBInfo& mb, const TCandidate& chosen, const TDirection& fwd, const TDirection& bwd) {
    mb.Flags = static_cast<uint16_t>((chosen.Forward ? MBInfoFlag_Forward : 0) | (chosen.Backward ? MBInfoFlag_Backward : 0));
    mb.MotionType = chosen.Field ? MBMotionType_Field : MBMotionType_Frame;
    if (chosen.Forward)
        mb.Forward = chosen.Field ? TMBVectorPair{VectorOf(fwd.Top), VectorOf(fwd.Bottom)} : TMBVectorPair{VectorOf(fwd.Frame), {}};
    if (chosen.Backward)
        mb.Backward = chosen.Field ? TMBVectorPair{VectorOf(bwd.Top), VectorOf(bwd.Bottom)} : TMBVectorPair{VectorOf(bwd.Frame), {}};
}

// Chooses among the searched predictions; false when no candidate exists.
bool ChooseMode(const TMacroblockContext& c, TMBInfo& mb, const TDirection& fwd, const TDirection& bwd) {
    const bool both = fwd.Available && bwd.Available;
    if (!both) {
        const TDirection& d = fwd.Available ? fwd : bwd;
        const int64_t frame = d.FrameCost();
        const int64_t field = c.Interlaced ? d.FieldCost() : -1;
        if (frame < 0 && field < 0)
            return false;
        const bool useField = field >= 0 && (frame < 0 || field < frame - 128);
        ApplyCandidate(mb, {0, useField, fwd.Available, bwd.Available}, fwd, bwd);
        return true;
    }
    int64_t current = kNoCandidate;
    bool taken = false;
    TCandidate chosen{};
    // `lowerOnly`: taken only when strictly cheaper; otherwise also on a tie.
    const auto consider = [&](int64_t cost, bool field, bool f, bool b, bool lowerOnly) {
        if (cost < 0 || (lowerOnly ? cost >= current : cost > current))
            return;
        current = cost;
        chosen = {cost, field, f, b};
        taken = true;
    };
    const int64_t ff = fwd.FrameCost(), bf = bwd.FrameCost();
    consider(ff, false, true, false, false);
    consider(bf, false, false, true, true);
    if (ff >= 0 && bf >= 0)
        consider(BidirectionalCost(c, false, {VectorOf(fwd.Frame), {}}, {VectorOf(bwd.Frame), {}}), false, true, true,
                 false);
    if (c.Interlaced) {
        if (taken)
            current -= 128; // frame prediction is preferred unless a field one is clearly better
        const int64_t fd = fwd.FieldCost(), bd = bwd.FieldCost();
        consider(fd, true, true, false, true);
        consider(bd, true, false, true, true);
        if (fd >= 0 && bd >= 0)
            consider(BidirectionalCost(c, true, {VectorOf(fwd.Top), VectorOf(fwd.Bottom)},
                                       {VectorOf(bwd.Top), VectorOf(bwd.Bottom)}),
                     true, true, true, true);
    }
    if (!taken)
        return false;
    ApplyCandidate(mb, chosen, fwd, bwd);
    return true;
}

TBlockStats ResidualStats(const TMacroblockContext& c, const uint8_t* packed, bool fieldArrangement) {
    return fieldArrangement ? ResidualFieldStats(c.K, c.Src(), c.Pitch(), packed)
                            : ResidualFrameStats(c.K, c.Src(), c.Pitch(), packed);
}

void StoreStats(TMBInfo& mb, const TBlockStats& s) {
    mb.MaxVar1 = static_cast<float>(s.Max + 1.0);
    mb.MinVar1 = static_cast<float>(s.Min + 1.0);
    mb.MeanVar1 = static_cast<float>(s.Total / 4.0 + 1.0);
}

void MarkLargeMotion(TMBInfo& mb) {
    const auto large = [](const TMBVectorPair& pair, int count) {
        for (int i = 0; i < count; ++i)
            if (std::abs(pair[static_cast<size_t>(i)].MvX) > 2 || std::abs(pair[static_cast<size_t>(i)].MvY) > 2)
                return true;
        return false;
    };
    const int count = mb.IsFieldPrediction() ? 2 : 1;
    if ((mb.HasForward() && large(mb.Forward, count)) || (mb.HasBackward() && large(mb.Backward, count)))
        mb.Flags |= MBInfoFlag_LargeMotion;
}

// The inter part of the decision: residual, zero-motion check, intra decision, DCT type.
void DecideInter(const TMacroblockContext& c, TMBInfo& mb, const TBlockStats& frameStats, const TBlockStats& fieldStats) {
    alignas(32) uint8_t packed[256];
    FetchModePrediction(c, mb, packed);
    TBlockStats r = ResidualStats(c, packed, c.Interlaced);
    bool zeroReplaced = false;
    if (c.ForwardSource && r.QSum > 0) {
        TMBInfo zero;
        zero.Flags = static_cast<uint16_t>(MBInfoFlag_Forward | (c.BackwardSource ? MBInfoFlag_Backward : 0));
        zero.MotionType = MBMotionType_Frame;
        zero.Forward = zero.Backward = ZeroVectors(c.X, c.Y);
        alignas(32) uint8_t zeroPacked[256];
        FetchModePrediction(c, zero, zeroPacked);
        const TBlockStats z = ResidualStats(c, zeroPacked, c.Interlaced);
        if ((1.05 * z.Total < r.Total && z.Total < 8) || r.Total > 1.5 * z.Total) {
            mb.Flags = zero.Flags;
            mb.MotionType = zero.MotionType;
            mb.Forward = zero.Forward;
            mb.Backward = c.BackwardSource ? zero.Backward : TMBVectorPair{};
            r = z;
            std::copy(zeroPacked, zeroPacked + 256, packed);
            zeroReplaced = true;
        }
    }
    const double e = r.QSum;
    bool intra;
    if (c.Interlaced) {
        const double m = std::min(frameStats.Total, fieldStats.Total);
        intra = e > 1536 && e > 64 * m * c.ThresholdA && (!zeroReplaced || m * c.ThresholdB < r.Total);
    } else {
        intra = e > 1024 && e > 64 * frameStats.Total * c.ThresholdA &&
                (!zeroReplaced || 1.1 * r.Total > frameStats.Total * c.ThresholdB);
    }
    if (intra) {
        mb.Flags = MBInfoFlag_Intra;
        mb.MotionType = MBMotionType_None;
        if (c.Interlaced && frameStats.Total > 1.1 * fieldStats.Total)
            mb.Flags |= MBInfoFlag_FieldDCT;
        StoreStats(mb, c.Interlaced ? fieldStats : frameStats);
        return;
    }
    if (c.Interlaced && ResidualStats(c, packed, false).Total > 1.1 * r.Total)
        mb.Flags |= MBInfoFlag_FieldDCT;
    StoreStats(mb, r);
    mb.ResidualEnergy = static_cast<int32_t>(std::min(e, 2147483647.0));
    MarkLargeMotion(mb);
}

std::unique_ptr<TMotionSearch> MakeSearch(const TMPEGVideoEncoder_Settings& settings, const TKernelTable& k,
                                          TMPEGVideoFrameInfo* reference, TMPEGVideoFrameInfo& picture) {
    if (!reference)
        return nullptr;
    TMotionSearchParams params;
    params.IsMpeg2 = settings.MPEG2;
    params.PictureRate = static_cast<double>(settings.PictureRate);
    params.HalfPel = 1;
    params.AlwaysHalfPel = settings.Config.MotionSearch_AlwaysHalfPel;
    int32_t h = 4, v = 4;
    if (settings.MPEG2)
        LevelFCodeLimits(settings.Config.Level, h, v);
    params.ForwardRange = SearchRange(h);
    params.BackwardRange = SearchRange(v);
    const TMotionSearchClass cls = GetMotionSearchClass(picture, settings.InterlacedCoding);
    return CreateMotionSearch(cls, k, *reference, picture, params);
}

void Search(TMotionSearch* search, const TMacroblockContext& c, int32_t hint, TDirection& d) {
    if (!search)
        return;
    d.Available = true;
    if (c.Interlaced) {
        search->SearchFieldMode(c.X, c.Y, hint, d.Frame, d.Top, d.Bottom);
    } else {
        search->SearchFrame(c.X, c.Y, d.Frame);
        d.Top.Cost = d.Bottom.Cost = kMotionCostNotSearched;
    }
}

void AnalyzeRepeatPicture(TMPEGVideoFrameInfo& picture, int32_t mbWidth) {
    const bool forward = picture.ForwardRef != nullptr;
    for (size_t i = 0; i < picture.Macroblocks.size(); ++i) {
        TMBInfo& mb = picture.Macroblocks[i];
        mb = TMBInfo{};
        const int32_t x = 16 * (static_cast<int32_t>(i) % mbWidth);
        const int32_t y = 16 * (static_cast<int32_t>(i) / mbWidth);
        mb.Flags = static_cast<uint16_t>((forward ? MBInfoFlag_Forward : MBInfoFlag_Backward) | MBInfoFlag_NoResidual);
        mb.MotionType = MBMotionType_Frame;
        (forward ? mb.Forward : mb.Backward) = ZeroVectors(x, y);
        mb.MaxVar1 = mb.MinVar1 = mb.MeanVar1 = 1.0f;
        mb.IntraMaxVar1 = mb.IntraMinVar1 = mb.IntraMeanVar1 = 1.0f;
        picture.SumMaxVar1 += 1.0;
        picture.SumMinVar1 += 1.0;
        picture.SumMeanVar1 += 1.0;
    }
}

// The cached predictions of a picture, when its record reads back whole and fits the picture:
// each direction it uses exists, field prediction only in interlaced coding.
bool LoadCachedMotion(const TMPEGVideoEncoder_Settings& settings, TMPEGVideoFrameInfo& picture,
                      std::vector<TMBInfo>& cached) {
    if (!DecodeMotionRecord(MotionRecordGeometryOf(settings), picture.MotionRecord, cached))
        return false;
    for (const TMBInfo& mb : cached) {
        if (mb.IsIntra())
            continue;
        if ((mb.HasForward() && !picture.ForwardRef) || (mb.HasBackward() && !picture.BackwardRef) ||
            (mb.IsFieldPrediction() && !settings.InterlacedCoding))
            return false;
    }
    return true;
}

// The prediction of a macroblock: its directions, motion type and vectors.
void CopyPrediction(const TMBInfo& from, TMBInfo& to) {
    to.Flags = static_cast<uint16_t>(from.Flags & (MBInfoFlag_Forward | MBInfoFlag_Backward));
    to.MotionType = from.MotionType;
    to.Forward = from.Forward;
    to.Backward = from.Backward;
}

// The prediction part of a record entry, or intra when there is none.
TMBInfo CandidateOf(const TMBInfo& mb, bool available) {
    TMBInfo candidate;
    if (available)
        CopyPrediction(mb, candidate);
    else
        candidate.Flags = MBInfoFlag_Intra;
    return candidate;
}

} // namespace

TMotionRecordGeometry MotionRecordGeometryOf(const TMPEGVideoEncoder_Settings& settings) {
    return {settings.PaddedWidth, settings.PaddedHeight, settings.MBWidth, settings.MBHeight};
}

void AnalyzeMacroblocks(const TMPEGVideoEncoder_Settings& settings, const TKernelTable& kernels,
                        TMPEGVideoFrameInfo& picture, const TMPEGVideoFrameInfoList& batch) {
    picture.SumMaxVar1 = picture.SumMinVar1 = picture.SumMeanVar1 = 0.0;
    picture.SumActivityWeight = picture.SumBitWeight = 0.0;
    std::vector<TMBInfo> cached;
    const bool loaded = picture.MotionLoaded && LoadCachedMotion(settings, picture, cached);
    picture.MotionLoaded = loaded ? 1 : 0;
    picture.MotionRecord.clear();
    if (picture.IsRepeat && (picture.ForwardRef || picture.BackwardRef)) {
        AnalyzeRepeatPicture(picture, settings.MBWidth);
        if (picture.RecordMotion)
            picture.MotionRecord = EncodeMotionRecord(MotionRecordGeometryOf(settings), picture.Macroblocks);
        return;
    }
    const bool interlaced = settings.InterlacedCoding;
    double t = 1.0;
    if (!batch.SegmentRate.IsConstantQuality() && batch.SegmentRate.TargetBitRate > 0)
        t = std::max(1.0, static_cast<double>(settings.PictureRate) * settings.PaddedWidth * settings.PaddedHeight /
                              batch.SegmentRate.TargetBitRate * 0.3);
    double ta = 1.0, tb = 1.0;
    if (interlaced) {
        const bool isB = picture.PictureType == PictureType_B;
        ta = (isB ? 2.5 : 1.5) * t;
        tb = (isB ? 2.0 : 1.5) * t;
    }
    std::unique_ptr<TMotionSearch> forwardSearch, backwardSearch;
    if (!loaded) {
        forwardSearch = MakeSearch(settings, kernels, picture.ForwardRef, picture);
        backwardSearch = MakeSearch(settings, kernels, picture.BackwardRef, picture);
    }
    TMacroblockContext c{kernels,
                         *picture.Source,
                         picture.ForwardRef ? picture.ForwardRef->Source.get() : nullptr,
                         picture.BackwardRef ? picture.BackwardRef->Source.get() : nullptr,
                         interlaced,
                         ta,
                         tb,
                         0,
                         0};
    std::vector<TMBInfo> candidates(picture.RecordMotion ? picture.Macroblocks.size() : 0);

    for (int32_t my = 0; my < settings.MBHeight; ++my) {
        for (int32_t mx = 0; mx < settings.MBWidth; ++mx) {
            const auto index = static_cast<size_t>(my * settings.MBWidth + mx);
            TMBInfo& mb = picture.Macroblocks[index];
            mb = TMBInfo{};
            c.X = 16 * mx;
            c.Y = 16 * my;
            const TBlockStats frameStats = SourceFrameStats(kernels, c.Src(), c.Pitch());
            const TBlockStats fieldStats = interlaced ? SourceFieldStats(kernels, c.Src(), c.Pitch()) : frameStats;
            const TBlockStats& sourceStats = interlaced ? fieldStats : frameStats;
            mb.IntraMaxVar1 = static_cast<float>(sourceStats.Max + 1.0);
            mb.IntraMinVar1 = static_cast<float>(sourceStats.Min + 1.0);
            mb.IntraMeanVar1 = static_cast<float>(sourceStats.Total / 4.0 + 1.0);

            bool predicted;
            if (loaded) {
                const TMBInfo& m = cached[index];
                predicted = !m.IsIntra();
                if (predicted)
                    CopyPrediction(m, mb);
            } else {
                TDirection fwd, bwd;
                int32_t hint = MotionSearchFieldMode_Auto;
                if (3 * frameStats.Total < fieldStats.Total)
                    hint = MotionSearchFieldMode_FrameOnly;
                else if (frameStats.Total > 3 * fieldStats.Total)
                    hint = MotionSearchFieldMode_FieldOnly;
                Search(forwardSearch.get(), c, hint, fwd);
                Search(backwardSearch.get(), c, hint, bwd);
                predicted = (fwd.Available || bwd.Available) && ChooseMode(c, mb, fwd, bwd);
            }
            if (!candidates.empty())
                candidates[index] = CandidateOf(mb, predicted);

            if (predicted) {
                DecideInter(c, mb, frameStats, fieldStats);
            } else {
                mb.Flags = MBInfoFlag_Intra;
                if (interlaced && frameStats.Total > 1.1 * fieldStats.Total)
                    mb.Flags |= MBInfoFlag_FieldDCT;
                StoreStats(mb, sourceStats);
            }
            if (!candidates.empty())
                candidates[index].Flags |= static_cast<uint16_t>(mb.Flags & MBInfoFlag_FieldDCT);
            picture.SumMaxVar1 += mb.MaxVar1;
            picture.SumMinVar1 += mb.MinVar1;
            picture.SumMeanVar1 += mb.MeanVar1;
        }
    }
    if (picture.RecordMotion)
        picture.MotionRecord = EncodeMotionRecord(MotionRecordGeometryOf(settings), candidates);
    kernels.ClearKernelState();
}

} // namespace quillset
