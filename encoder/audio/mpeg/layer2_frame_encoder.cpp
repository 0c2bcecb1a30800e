#include "encoder/audio/mpeg/layer2_frame_encoder.h"

#include <algorithm>

namespace quillset {

namespace {

// The psychoacoustic analyser sees 448 samples before the frame: its two 1024-sample windows,
// 576 samples apart, then end 576 samples into the frame and at its end, centred on the two
// halves of the frame's subband samples (which lag the input by the filterbank's delay).
constexpr int32_t kPsycHistory = 448;
constexpr int32_t kPsycStep = 576;

int32_t SelectionBits(int32_t selection) {
    return 2 + mpa::kScalefactorBits * mpa::kScalefactorsOfSelection[selection];
}

} // namespace

TMPEGAudioFrameEncoder_Layer2::TMPEGAudioFrameEncoder_Layer2(const mpa::FrameSetup& setup,
                                                             TLargeBitStreamWriter& writer,
                                                             const int32_t* const* samples)
    : TMPEGAudioFrameEncoder(setup, writer, samples, kSamplesPerFrame, kPsycHistory),
      Table(mpa::SelectAllocationTable(setup.SamplingFrequency, setup.BitRate / setup.Channels)),
      SBLimit(Table.SBLimit) {
    for (int32_t sb = 0; sb < mpa::kSubbands; ++sb) {
        const mpa::AllocationRow& row = Table.Rows[sb];
        for (int32_t v = 0; v < mpa::kMaxAllocationEntries; ++v) {
            RowSampleBits[sb][v] = 0;
            RowSNR[sb][v] = 0.0f;
            if (v == 0 || v >= row.Entries)
                continue;
            const mpa::QuantClass& c = mpa::kQuantClasses[row.Classes[v]];
            RowSampleBits[sb][v] = kGranules * c.CodewordBits * (3 / c.SamplesPerCodeword);
            RowSNR[sb][v] = static_cast<float>(c.SNR);
        }
    }
}

void TMPEGAudioFrameEncoder_Layer2::ComputeScalefactors() {
    const int32_t channels = IsJointStereo() ? 3 : Setup.Channels;
    for (int32_t ch = 0; ch < channels; ++ch) {
        for (int32_t sb = 0; sb < mpa::kSubbands; ++sb) {
            for (int32_t part = 0; part < kParts; ++part) {
                const bool used = sb < SBLimit && (ch < kMono || sb >= kLowestBound);
                Scalefactor[ch][sb][part] =
                    used ? ScalefactorOf(SubbandSample(ch, sb) + part * 12, 12) : mpa::kUnusedScalefactorIndex;
            }
            if (ch < kMono && sb < SBLimit)
                Selection[ch][sb] = mpa::SelectScalefactors(Scalefactor[ch][sb], Used[ch][sb]);
        }
    }
}

void TMPEGAudioFrameEncoder_Layer2::ComputeSMR() {
    float second[mpa::kSubbands];
    for (int32_t ch = 0; ch < Setup.Channels; ++ch) {
        Psyc.Analyze(ch, PsycInput(ch), false, SMR[ch]);
        Psyc.Analyze(ch, PsycInput(ch) + kPsycStep, false, second);
        for (int32_t sb = 0; sb < mpa::kSubbands; ++sb)
            SMR[ch][sb] = std::max(SMR[ch][sb], second[sb]);
    }
}

int32_t TMPEGAudioFrameEncoder_Layer2::AllocationFieldBits(int32_t bound) const {
    int32_t bits = 0;
    for (int32_t sb = 0; sb < SBLimit; ++sb)
        bits += Table.Rows[sb].FieldBits * (sb < bound ? Setup.Channels : 1);
    return bits;
}

int32_t TMPEGAudioFrameEncoder_Layer2::BuildUnits(int32_t bound) {
    UnitCount = 0;
    for (int32_t sb = 0; sb < SBLimit; ++sb) {
        const int32_t maxValue = Table.Rows[sb].Entries - 1;
        if (sb < bound) {
            for (int32_t ch = 0; ch < Setup.Channels; ++ch)
                AddUnit({RowSampleBits[sb], RowSNR[sb], maxValue, SelectionBits(Selection[ch][sb]), SMR[ch][sb], 0},
                        ch, sb);
        } else {
            // One set of samples for both channels; each keeps its own scalefactors.
            AddUnit({RowSampleBits[sb], RowSNR[sb], maxValue,
                     SelectionBits(Selection[0][sb]) + SelectionBits(Selection[1][sb]),
                     std::max(SMR[0][sb], SMR[1][sb]), 0},
                    -1, sb);
        }
    }
    return UnitCount;
}

void TMPEGAudioFrameEncoder_Layer2::EncodeFrame(int32_t padding, int32_t frameBytes) {
    const int32_t frameBits = frameBytes * 8;
    AnalyseSubbands(SBLimit, kLowestBound);
    ComputeScalefactors();
    ComputeSMR();
    ShiftPsycInput();

    const int32_t bound = Allocate(frameBits, SBLimit, IsJointStereo());
    WriteFrame(padding, frameBits, bound);
}

void TMPEGAudioFrameEncoder_Layer2::WriteFrame(int32_t padding, int32_t frameBits, int32_t bound) {
    const int64_t start = Writer.GetBitPosition();
    const uint32_t tail = HeaderTail(padding, bound, SBLimit);

    mpa::FrameCRC crc;
    crc.Add(tail, 16);
    for (int32_t sb = 0; sb < SBLimit; ++sb)
        for (int32_t ch = 0; ch < (sb < bound ? Setup.Channels : 1); ++ch)
            crc.Add(static_cast<uint32_t>(Allocation[ch][sb]), Table.Rows[sb].FieldBits);
    for (int32_t sb = 0; sb < SBLimit; ++sb)
        for (int32_t ch = 0; ch < Setup.Channels; ++ch)
            if (Allocation[ch][sb] != 0)
                crc.Add(static_cast<uint32_t>(Selection[ch][sb]), 2);
    WriteHeader(tail, crc.Get());

    for (int32_t sb = 0; sb < SBLimit; ++sb)
        for (int32_t ch = 0; ch < (sb < bound ? Setup.Channels : 1); ++ch)
            Writer.PutBits(static_cast<uint32_t>(Allocation[ch][sb]), Table.Rows[sb].FieldBits);
    for (int32_t sb = 0; sb < SBLimit; ++sb)
        for (int32_t ch = 0; ch < Setup.Channels; ++ch)
            if (Allocation[ch][sb] != 0)
                Writer.PutBits(static_cast<uint32_t>(Selection[ch][sb]), 2);
    for (int32_t sb = 0; sb < SBLimit; ++sb) {
        for (int32_t ch = 0; ch < Setup.Channels; ++ch) {
            if (Allocation[ch][sb] == 0)
                continue;
            const int32_t* used = Used[ch][sb];
            switch (Selection[ch][sb]) {
            case 0:
                for (int32_t part = 0; part < kParts; ++part)
                    Writer.PutBits(static_cast<uint32_t>(used[part]), mpa::kScalefactorBits);
                break;
            case 1: // parts 1 and 2 share the first
            case 3: // parts 2 and 3 share the second
                Writer.PutBits(static_cast<uint32_t>(used[0]), mpa::kScalefactorBits);
                Writer.PutBits(static_cast<uint32_t>(used[2]), mpa::kScalefactorBits);
                break;
            default:
                Writer.PutBits(static_cast<uint32_t>(used[0]), mpa::kScalefactorBits);
                break;
            }
        }
    }
    WriteSamples(bound);
    Writer.PutZeroBits(frameBits - (Writer.GetBitPosition() - start));
}

void TMPEGAudioFrameEncoder_Layer2::WriteSamples(int32_t bound) {
    for (int32_t granule = 0; granule < kGranules; ++granule) {
        const int32_t part = granule / 4;
        for (int32_t sb = 0; sb < SBLimit; ++sb) {
            for (int32_t ch = 0; ch < (sb < bound ? Setup.Channels : 1); ++ch) {
                const int32_t value = Allocation[ch][sb];
                if (value == 0)
                    continue;
                const mpa::QuantClass& c = mpa::kQuantClasses[Table.Rows[sb].Classes[value]];
                // Above the bound the mono signal goes out, normalised by its own scalefactor.
                const int32_t source = sb < bound ? ch : kMono;
                const int32_t index = sb < bound ? Used[ch][sb][part] : Scalefactor[kMono][sb][part];
                const float scale = static_cast<float>(1.0 / mpa::kScalefactors[index]);
                const float* x = SubbandSample(source, sb) + 3 * granule;
                const uint32_t a = mpa::QuantizeSample(x[0] * scale, c);
                const uint32_t b = mpa::QuantizeSample(x[1] * scale, c);
                const uint32_t d = mpa::QuantizeSample(x[2] * scale, c);
                if (c.SamplesPerCodeword == 3) {
                    const uint32_t steps = static_cast<uint32_t>(c.Steps);
                    Writer.PutBits(a + steps * (b + steps * d), c.CodewordBits);
                } else {
                    Writer.PutBits(a, c.CodewordBits);
                    Writer.PutBits(b, c.CodewordBits);
                    Writer.PutBits(d, c.CodewordBits);
                }
            }
        }
    }
}

} // namespace quillset
