#include "encoder/audio/mpeg/layer1_frame_encoder.h"

#include <algorithm>

namespace quillset {

namespace {

// The analyser's 1024-sample window ends with the frame's last sample: 640 samples of history.
// Its centre then falls within the frame's subband samples, which lag the input by the
// filterbank's delay.
constexpr int32_t kPsycHistory = 640;
constexpr int32_t kBlocks = 12;

} // namespace

TMPEGAudioFrameEncoder_Layer1::TMPEGAudioFrameEncoder_Layer1(const mpa::FrameSetup& setup,
                                                             TLargeBitStreamWriter& writer,
                                                             const int32_t* const* samples)
    : TMPEGAudioFrameEncoder(setup, writer, samples, kSamplesPerFrame, kPsycHistory) {
    for (int32_t v = 0; v <= mpa::kLayer1MaxAllocation; ++v) {
        SampleBits[v] = v == 0 ? 0 : kBlocks * mpa::Layer1Class(v).CodewordBits;
        SNR[v] = static_cast<float>(mpa::Layer1Class(v).SNR);
    }
}

int32_t TMPEGAudioFrameEncoder_Layer1::AllocationFieldBits(int32_t bound) const {
    return mpa::kLayer1AllocationBits * (bound * Setup.Channels + (mpa::kSubbands - bound));
}

int32_t TMPEGAudioFrameEncoder_Layer1::BuildUnits(int32_t bound) {
    UnitCount = 0;
    for (int32_t sb = 0; sb < mpa::kSubbands; ++sb) {
        if (sb < bound) {
            for (int32_t ch = 0; ch < Setup.Channels; ++ch)
                AddUnit({SampleBits, SNR, mpa::kLayer1MaxAllocation, mpa::kScalefactorBits, SMR[ch][sb], 0}, ch, sb);
        } else {
            AddUnit({SampleBits, SNR, mpa::kLayer1MaxAllocation, 2 * mpa::kScalefactorBits,
                     std::max(SMR[0][sb], SMR[1][sb]), 0},
                    -1, sb);
        }
    }
    return UnitCount;
}

void TMPEGAudioFrameEncoder_Layer1::EncodeFrame(int32_t padding, int32_t frameBytes) {
    const int32_t frameBits = frameBytes * 8;
    AnalyseSubbands(mpa::kSubbands, kLowestBound);
    const int32_t channels = IsJointStereo() ? 3 : Setup.Channels;
    for (int32_t ch = 0; ch < channels; ++ch)
        for (int32_t sb = 0; sb < mpa::kSubbands; ++sb)
            Scalefactor[ch][sb] = ch < kMono || sb >= kLowestBound ? ScalefactorOf(SubbandSample(ch, sb), kBlocks)
                                                                   : mpa::kUnusedScalefactorIndex;
    for (int32_t ch = 0; ch < Setup.Channels; ++ch)
        Psyc.Analyze(ch, PsycInput(ch), true, SMR[ch]);
    ShiftPsycInput();

    // ISO/IEC 11172-3 protects the allocation fields as written, 4 x (32 + bound) bits with an
    // intensity bound; ffmpeg's decoder checks 256 bits in every two-channel Layer I frame and
    // rejects such frames. Protected joint-stereo streams therefore stay plain stereo.
    const int32_t bound = Allocate(frameBits, mpa::kSubbands, IsJointStereo() && !Setup.CalcCRC);
    WriteFrame(padding, frameBits, bound);
}

void TMPEGAudioFrameEncoder_Layer1::WriteFrame(int32_t padding, int32_t frameBits, int32_t bound) {
    const int64_t start = Writer.GetBitPosition();
    const uint32_t tail = HeaderTail(padding, bound, mpa::kSubbands);

    mpa::FrameCRC crc;
    crc.Add(tail, 16);
    for (int32_t sb = 0; sb < mpa::kSubbands; ++sb)
        for (int32_t ch = 0; ch < (sb < bound ? Setup.Channels : 1); ++ch)
            crc.Add(static_cast<uint32_t>(Allocation[ch][sb]), mpa::kLayer1AllocationBits);
    WriteHeader(tail, crc.Get());

    for (int32_t sb = 0; sb < mpa::kSubbands; ++sb)
        for (int32_t ch = 0; ch < (sb < bound ? Setup.Channels : 1); ++ch)
            Writer.PutBits(static_cast<uint32_t>(Allocation[ch][sb]), mpa::kLayer1AllocationBits);
    for (int32_t sb = 0; sb < mpa::kSubbands; ++sb)
        for (int32_t ch = 0; ch < Setup.Channels; ++ch)
            if (Allocation[ch][sb] != 0)
                Writer.PutBits(static_cast<uint32_t>(Scalefactor[ch][sb]), mpa::kScalefactorBits);
    for (int32_t s = 0; s < kBlocks; ++s) {
        for (int32_t sb = 0; sb < mpa::kSubbands; ++sb) {
            for (int32_t ch = 0; ch < (sb < bound ? Setup.Channels : 1); ++ch) {
                const int32_t value = Allocation[ch][sb];
                if (value == 0)
                    continue;
                const int32_t source = sb < bound ? ch : kMono;
                const float scale = static_cast<float>(1.0 / mpa::kScalefactors[Scalefactor[source][sb]]);
                const mpa::QuantClass& c = mpa::Layer1Class(value);
                Writer.PutBits(mpa::QuantizeSample(SubbandSample(source, sb)[s] * scale, c), c.CodewordBits);
            }
        }
    }
    Writer.PutZeroBits(frameBits - (Writer.GetBitPosition() - start));
}

} // namespace quillset
