#include "encoder/audio/mpeg/frame_encoder.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace quillset {

namespace mpa {

uint32_t QuantizeSample(float x, const QuantClass& quantClass) {
    const int32_t bits = std::bit_width(static_cast<uint32_t>(quantClass.Steps)); // N
    const float half = static_cast<float>(1u << (bits - 1));
    const float v = (static_cast<float>(quantClass.A) * x + static_cast<float>(quantClass.B) + 1.0f) * half;
    const int32_t code = static_cast<int32_t>(std::floor(v));
    return static_cast<uint32_t>(std::clamp(code, 0, quantClass.Steps - 1));
}

int32_t SelectScalefactors(const int32_t scalefactors[3], int32_t used[3]) {
    // Class of an index difference: <= -3, -2 .. -1, 0, 1 .. 2, >= 3.
    auto classOf = [](int32_t d) { return d <= -3 ? 0 : d < 0 ? 1 : d == 0 ? 2 : d < 3 ? 3 : 4; };
    // Table C.4: which of the three scalefactors each part uses (1, 2, 3; 4 = the largest of
    // the three, i.e. the smallest index), by the classes of scf1 - scf2 and scf2 - scf3.
    static constexpr int16_t kPattern[5][5] = {
        {0x123, 0x122, 0x122, 0x133, 0x123}, {0x113, 0x111, 0x111, 0x444, 0x113}, {0x111, 0x111, 0x111, 0x333, 0x113},
        {0x222, 0x222, 0x222, 0x333, 0x123}, {0x123, 0x122, 0x122, 0x133, 0x123},
    };
    const int32_t pattern =
        kPattern[classOf(scalefactors[0] - scalefactors[1])][classOf(scalefactors[1] - scalefactors[2])];
    const int32_t largest = std::min({scalefactors[0], scalefactors[1], scalefactors[2]});
    for (int32_t part = 0; part < 3; ++part) {
        const int32_t which = (pattern >> (4 * (2 - part))) & 0xF;
        used[part] = which == 4 ? largest : scalefactors[which - 1];
    }
    switch (pattern) {
    case 0x123: return 0;
    case 0x113: return 1;
    case 0x122:
    case 0x133: return 3;
    default: return 2; // one scalefactor for all three parts
    }
}

} // namespace mpa

TMPEGAudioFrameEncoder::TMPEGAudioFrameEncoder(const mpa::FrameSetup& setup, TLargeBitStreamWriter& writer,
                                               const int32_t* const* samples, int32_t samplesPerFrame,
                                               int32_t psycHistory)
    : Setup(setup), Writer(writer), Samples(samples), SamplesPerFrame(samplesPerFrame),
      Blocks(samplesPerFrame / mpa::kSubbands), PsycHistory(psycHistory),
      Filters(static_cast<size_t>(setup.Channels)), Psyc(setup.SamplingFrequency, setup.Channels),
      HeaderOverhead(mpa::kHeaderBits + (setup.CalcCRC ? mpa::kCRCBits : 0)),
      PsycBuffer(static_cast<size_t>(setup.Channels), std::vector<float>(psycHistory + samplesPerFrame, 0.0f)),
      Subbands(static_cast<size_t>(3) * mpa::kSubbands * Blocks, 0.0f),
      FilterOut(static_cast<size_t>(Blocks) * mpa::kSubbands, 0.0f) {}

void TMPEGAudioFrameEncoder::AnalyseSubbands(int32_t sbLimit, int32_t jointFrom) {
    for (int32_t ch = 0; ch < Setup.Channels; ++ch) {
        float* input = PsycBuffer[static_cast<size_t>(ch)].data() + PsycHistory;
        const int32_t* pcm = Samples[ch];
        for (int32_t i = 0; i < SamplesPerFrame; ++i)
            input[i] = static_cast<float>(pcm[i]);
        Filters[static_cast<size_t>(ch)].Process(input, Blocks, FilterOut.data());
        for (int32_t sb = 0; sb < sbLimit; ++sb) {
            float* out = SubbandSample(ch, sb);
            for (int32_t b = 0; b < Blocks; ++b)
                out[b] = FilterOut[static_cast<size_t>(b) * mpa::kSubbands + sb];
        }
    }
    if (!IsJointStereo())
        return;
    for (int32_t sb = jointFrom; sb < sbLimit; ++sb) {
        const float* left = SubbandSample(0, sb);
        const float* right = SubbandSample(1, sb);
        float* mono = SubbandSample(kMono, sb);
        for (int32_t b = 0; b < Blocks; ++b)
            mono[b] = 0.5f * (left[b] + right[b]);
    }
}

void TMPEGAudioFrameEncoder::ShiftPsycInput() {
    for (auto& buffer : PsycBuffer)
        std::copy(buffer.end() - PsycHistory, buffer.end(), buffer.begin());
}

int32_t TMPEGAudioFrameEncoder::ScalefactorOf(const float* samples, int32_t count) {
    float peak = 0.0f;
    for (int32_t i = 0; i < count; ++i)
        peak = std::max(peak, std::fabs(samples[i]));
    return mpa::ScalefactorIndexOf(peak);
}

int32_t TMPEGAudioFrameEncoder::Allocate(int32_t frameBits, int32_t noIntensity, bool tryIntensity) {
    auto fits = [&](int32_t bound) {
        BuildUnits(bound);
        const int32_t available = frameBits - HeaderOverhead - AllocationFieldBits(bound);
        return mpa::BitsForMasking(Units, UnitCount) <= available;
    };
    int32_t bound = kLowestBound;
    if (!tryIntensity || fits(noIntensity)) {
        bound = noIntensity;
    } else {
        for (int32_t candidate : {16, 12, 8}) {
            if (fits(candidate)) {
                bound = candidate;
                break;
            }
        }
    }

    BuildUnits(bound);
    mpa::AllocateBits(Units, UnitCount, frameBits - HeaderOverhead - AllocationFieldBits(bound));
    for (auto& row : Allocation)
        std::fill(std::begin(row), std::end(row), 0);
    for (int32_t i = 0; i < UnitCount; ++i) {
        const int32_t sb = UnitSubband[i];
        if (UnitChannel[i] >= 0) {
            Allocation[UnitChannel[i]][sb] = Units[i].Value;
        } else {
            Allocation[0][sb] = Units[i].Value;
            Allocation[1][sb] = Units[i].Value;
        }
    }
    return bound;
}

uint32_t TMPEGAudioFrameEncoder::HeaderTail(int32_t padding, int32_t bound, int32_t noIntensity) const {
    const bool intensity = bound < noIntensity;
    const int32_t mode = IsJointStereo() && !intensity ? 0 : Setup.ChannelMode;
    const int32_t modeExtension = intensity ? bound / 4 - 1 : 0;
    uint32_t tail = static_cast<uint32_t>(Setup.BitRateIndex & 0xF);
    tail = (tail << 2) | static_cast<uint32_t>(Setup.FrequencyCode & 3);
    tail = (tail << 1) | static_cast<uint32_t>(padding & 1);
    tail = (tail << 1) | (Setup.Private ? 1u : 0u);
    tail = (tail << 2) | static_cast<uint32_t>(mode & 3);
    tail = (tail << 2) | static_cast<uint32_t>(modeExtension & 3);
    tail = (tail << 1) | (Setup.Copyright ? 1u : 0u);
    tail = (tail << 1) | (Setup.Original ? 1u : 0u);
    tail = (tail << 2) | static_cast<uint32_t>(Setup.Emphasis & 3);
    return tail;
}

void TMPEGAudioFrameEncoder::WriteHeader(uint32_t tail, uint16_t crc) {
    Writer.PutBits(0xFFF, 12);                                 // syncword
    Writer.PutBits(1, 1);                                      // ID: MPEG-1
    Writer.PutBits(static_cast<uint32_t>(4 - Setup.Layer), 2); // layer: 3 = I, 2 = II
    Writer.PutBits(Setup.CalcCRC ? 0u : 1u, 1);                // protection_bit
    Writer.PutBits(tail, 16);
    if (Setup.CalcCRC)
        Writer.PutBits(crc, mpa::kCRCBits);
}

} // namespace quillset
