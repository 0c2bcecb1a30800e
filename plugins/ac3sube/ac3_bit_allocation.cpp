#include "plugins/ac3sube/ac3_bit_allocation.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quillset::ac3sube {

namespace {

int32_t LogAdd(int32_t a, int32_t b) {
    const int32_t c = a - b;
    const int32_t address = std::min(std::abs(c) >> 1, 255);
    return (c >= 0 ? a : b) + kLogAdd[address];
}

// The low-frequency compensation of A/52 7.2.2.4 (calc_lowcomp).
int32_t LowComp(int32_t a, int32_t b0, int32_t b1, int32_t bin) {
    if (bin < 7) {
        if (b0 + 256 == b1)
            return 384;
        if (b0 > b1)
            return std::max(0, a - 64);
        return a;
    }
    if (bin < 20) {
        if (b0 + 256 == b1)
            return 320;
        if (b0 > b1)
            return std::max(0, a - 64);
        return a;
    }
    return std::max(0, a - 128);
}

// Integrates the PSD over each band by log-addition (A/52 7.2.2.3).
void IntegrateBands(const int16_t* psd, int32_t end, int32_t* bandPsd) {
    int32_t bin = 0;
    for (int32_t band = 0; bin < end; ++band) {
        const int32_t last = std::min<int32_t>(kBandStart[band + 1], end);
        int32_t sum = psd[bin++];
        for (; bin < last; ++bin)
            sum = LogAdd(sum, psd[bin]);
        bandPsd[band] = sum;
    }
}

// The excitation function of a full-bandwidth channel (A/52 7.2.2.4, start 0, no LFE).
void ComputeExcitation(const int32_t* bandPsd, int32_t bandEnd, const TBitAllocationCodes& codes, int32_t* excite) {
    const int32_t fastGain = kFastGain[codes.FastGain];
    const int32_t slowGain = kSlowGain[codes.SlowGain];
    const int32_t fastDecay = kFastDecay[codes.FastDecay];
    const int32_t slowDecay = kSlowDecay[codes.SlowDecay];
    // Band psd beyond the coded bands is never compared as the standard reads b1 only below the
    // end; keep a guard value so that the loop needs no special case.
    auto next = [&](int32_t band) { return band + 1 < bandEnd ? bandPsd[band + 1] : 0; };
    int32_t lowComp = LowComp(0, bandPsd[0], next(0), 0);
    excite[0] = bandPsd[0] - fastGain - lowComp;
    if (bandEnd == 1)
        return;
    lowComp = LowComp(lowComp, bandPsd[1], next(1), 1);
    excite[1] = bandPsd[1] - fastGain - lowComp;
    int32_t begin = 7;
    int32_t fastLeak = 0, slowLeak = 0;
    for (int32_t band = 2; band < 7 && band < bandEnd; ++band) {
        lowComp = LowComp(lowComp, bandPsd[band], next(band), band);
        fastLeak = bandPsd[band] - fastGain;
        slowLeak = bandPsd[band] - slowGain;
        excite[band] = fastLeak - lowComp;
        if (bandPsd[band] <= next(band)) {
            begin = band + 1;
            break;
        }
    }
    for (int32_t band = begin; band < std::min<int32_t>(bandEnd, 22); ++band) {
        lowComp = LowComp(lowComp, bandPsd[band], next(band), band);
        fastLeak = std::max(fastLeak - fastDecay, bandPsd[band] - fastGain);
        slowLeak = std::max(slowLeak - slowDecay, bandPsd[band] - slowGain);
        excite[band] = std::max(fastLeak - lowComp, slowLeak);
    }
    for (int32_t band = std::max<int32_t>(begin, 22); band < bandEnd; ++band) {
        fastLeak = std::max(fastLeak - fastDecay, bandPsd[band] - fastGain);
        slowLeak = std::max(slowLeak - slowDecay, bandPsd[band] - slowGain);
        excite[band] = std::max(fastLeak, slowLeak);
    }
}

} // namespace

void ComputeMaskCurve(const uint8_t* exponents, int32_t end, int32_t fscod, const TBitAllocationCodes& codes,
                      TMaskCurve& curve) {
    curve.End = end;
    for (int32_t bin = 0; bin < end; ++bin)
        curve.Psd[bin] = static_cast<int16_t>(3072 - (exponents[bin] << 7));
    int32_t bandPsd[kBands];
    IntegrateBands(curve.Psd, end, bandPsd);
    const int32_t bandEnd = BandOfBin(end - 1) + 1;
    int32_t excite[kBands];
    ComputeExcitation(bandPsd, bandEnd, codes, excite);
    const int32_t knee = kDbPerBit[codes.DbPerBit];
    for (int32_t band = 0; band < bandEnd; ++band) {
        if (bandPsd[band] < knee)
            excite[band] += (knee - bandPsd[band]) >> 2;
        curve.Mask[band] = static_cast<int16_t>(std::max<int32_t>(excite[band], kHearingThreshold[fscod][band]));
    }
}

void ComputeBap(const TMaskCurve& curve, int32_t snrOffset, const TBitAllocationCodes& codes, uint8_t* bap,
                int32_t* histogram) {
    if (histogram != nullptr)
        std::fill(histogram, histogram + 16, 0);
    if (snrOffset == -960) {
        std::memset(bap, 0, static_cast<size_t>(curve.End));
        if (histogram != nullptr)
            histogram[0] = curve.End;
        return;
    }
    const int32_t floor = kFloor[codes.Floor];
    int32_t bin = 0;
    for (int32_t band = 0; bin < curve.End; ++band) {
        const int32_t mask = OffsetMask(curve.Mask[band], snrOffset, floor);
        const int32_t last = std::min<int32_t>(kBandStart[band + 1], curve.End);
        for (; bin < last; ++bin)
            bap[bin] = BapOf(curve.Psd[bin], mask);
    }
    if (histogram != nullptr)
        for (int32_t i = 0; i < curve.End; ++i)
            ++histogram[bap[i]];
}

} // namespace quillset::ac3sube
