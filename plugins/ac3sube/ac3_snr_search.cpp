#include "plugins/ac3sube/ac3_snr_search.h"

#include <algorithm>
#include <cstring>

#include "plugins/ac3sube/ac3_frame_writer.h"
#include "plugins/ac3sube/ac3_mantissas.h"

namespace quillset::ac3sube {

namespace {

constexpr int32_t kLargestOffset = 63 * 16 + 15;

// The smallest offset above `combined` at which the curve's masking values (after the floor and
// their rounding to 32) change for some band, and with them possibly baps; -1 when none does.
int32_t NextEffectiveOffset(const TMaskCurve& curve, int32_t combined, const TBitAllocationCodes& codes) {
    if (combined == 0)
        return 1; // from "nothing allocated" to the regular offsets
    const int32_t snrOffset = SnrOffsetOf(combined);
    const int32_t floor = kFloor[codes.Floor];
    const int32_t bands = BandOfBin(curve.End - 1) + 1;
    int32_t steps = kLargestOffset; // each step lowers the mask by 4
    for (int32_t band = 0; band < bands; ++band) {
        const int32_t m = curve.Mask[band] - snrOffset - floor;
        if (m > 0)
            steps = std::min(steps, ((m & 31) + 4) / 4);
    }
    const int32_t next = combined + steps;
    return next <= kLargestOffset ? next : -1;
}

class TSearch {
public:
    TSearch(TAC3Frame& frame, const TMaskCurve* const (*curves)[kBlocksPerFrame])
        : Frame(frame), Setup(frame.Setup), Curves(curves) {
        Header = FrameHeaderBits(Setup);
        Available = Setup.FrameWords * 16 - kFrameTrailerBits;
        FirstPart = FirstPartWords(Setup.FrameWords) * 16;
    }

    // Returns the common offset found.
    int32_t Run(int32_t hint) {
        // The largest common offset that fits; 0 always does, as it codes no mantissas. Frames
        // of one stream tend to need similar offsets: the search brackets the answer from the
        // previous frame's outwards, in growing steps, then halves the bracket.
        int32_t low = 0, high = kLargestOffset;
        const int32_t guess = std::clamp(hint, 1, kLargestOffset);
        if (SetAll(guess)) {
            low = guess;
            for (int32_t step = 8; low < high; step *= 2) {
                const int32_t next = std::min(low + step, high);
                if (!SetAll(next)) {
                    high = next - 1;
                    break;
                }
                low = next;
            }
        } else {
            high = guess - 1;
            for (int32_t step = 8; low < high; step *= 2) {
                const int32_t next = high - step;
                if (next <= low)
                    break;
                if (SetAll(next)) {
                    low = next;
                    break;
                }
                high = next - 1;
            }
        }
        while (low < high) {
            const int32_t middle = (low + high + 1) / 2;
            if (SetAll(middle))
                low = middle;
            else
                high = middle - 1;
        }
        SetAll(low);
        if (low > 0)
            Refine();
        for (int32_t block = 0; block < kBlocksPerFrame; ++block)
            for (int32_t ch = 0; ch < Setup.Channels; ++ch)
                std::memcpy(Frame.Blocks[block].Channel[ch].Bap, Bap[block][ch], static_cast<size_t>(Setup.End));
        return low;
    }

private:
    bool Fits() const {
        int32_t total = Header;
        for (int32_t block = 0; block < kBlocksPerFrame; ++block) {
            total += Side[block] + Mantissa[block];
            if (block == 1 && total > FirstPart)
                return false;
        }
        return total <= Available;
    }

    // Every block and channel at one offset; true when it fits. Blocks that reuse the previous
    // block's exponents (the same curve) get the same baps without computing them again.
    bool SetAll(int32_t combined) {
        for (int32_t block = 0; block < kBlocksPerFrame; ++block) {
            std::fill(Frame.SnrOffset[block], Frame.SnrOffset[block] + kMaxChannels, combined);
            TMantissaBitCounter counter;
            for (int32_t ch = 0; ch < Setup.Channels; ++ch) {
                if (block > 0 && Curves[ch][block] == Curves[ch][block - 1]) {
                    std::memcpy(Bap[block][ch], Bap[block - 1][ch], static_cast<size_t>(Setup.End));
                    std::copy(Histogram[block - 1][ch], Histogram[block - 1][ch] + 16, Histogram[block][ch]);
                } else {
                    ComputeBap(*Curves[ch][block], SnrOffsetOf(combined), Setup.Codes, Bap[block][ch],
                               Histogram[block][ch]);
                }
                counter.AddHistogram(Histogram[block][ch]);
            }
            Mantissa[block] = counter.Bits();
        }
        for (int32_t block = 0; block < kBlocksPerFrame; ++block)
            Side[block] = BlockSideBits(Frame, block);
        return Fits();
    }

    // Moves one channel of a block from offset `from` to `to`: only the bands whose offset mask
    // changes get new baps, and the histogram follows them.
    void UpdateBaps(int32_t block, int32_t ch, int32_t from, int32_t to, uint8_t* bap, int32_t* histogram) const {
        const TMaskCurve& curve = *Curves[ch][block];
        if (from == 0 || to == 0) { // from or to "nothing allocated"
            ComputeBap(curve, SnrOffsetOf(to), Setup.Codes, bap, histogram);
            return;
        }
        const int32_t floor = kFloor[Setup.Codes.Floor];
        const int32_t bands = BandOfBin(Setup.End - 1) + 1;
        for (int32_t band = 0; band < bands; ++band) {
            const int32_t before = OffsetMask(curve.Mask[band], SnrOffsetOf(from), floor);
            const int32_t after = OffsetMask(curve.Mask[band], SnrOffsetOf(to), floor);
            if (before == after)
                continue;
            const int32_t last = std::min<int32_t>(kBandStart[band + 1], Setup.End);
            for (int32_t bin = kBandStart[band]; bin < last; ++bin) {
                --histogram[bap[bin]];
                bap[bin] = BapOf(curve.Psd[bin], after);
                ++histogram[bap[bin]];
            }
        }
    }

    // Tries new offsets for one block; keeps them when the frame still fits.
    bool TryBlock(int32_t block, const int32_t* offsets) {
        int32_t* current = Frame.SnrOffset[block];
        uint8_t bap[kMaxChannels][kCoefficients];
        int32_t histogram[kMaxChannels][16];
        TMantissaBitCounter counter;
        for (int32_t ch = 0; ch < Setup.Channels; ++ch) {
            std::memcpy(bap[ch], Bap[block][ch], static_cast<size_t>(Setup.End));
            std::copy(Histogram[block][ch], Histogram[block][ch] + 16, histogram[ch]);
            if (offsets[ch] != current[ch])
                UpdateBaps(block, ch, current[ch], offsets[ch], bap[ch], histogram[ch]);
            counter.AddHistogram(histogram[ch]);
        }
        int32_t saved[kMaxChannels];
        std::copy(current, current + kMaxChannels, saved);
        const int32_t savedSide[2] = {Side[block], block + 1 < kBlocksPerFrame ? Side[block + 1] : 0};
        const int32_t savedMantissa = Mantissa[block];
        std::copy(offsets, offsets + kMaxChannels, current);
        Mantissa[block] = counter.Bits();
        Side[block] = BlockSideBits(Frame, block);
        if (block + 1 < kBlocksPerFrame)
            Side[block + 1] = BlockSideBits(Frame, block + 1);
        if (Fits()) {
            for (int32_t ch = 0; ch < Setup.Channels; ++ch) {
                std::memcpy(Bap[block][ch], bap[ch], static_cast<size_t>(Setup.End));
                std::copy(histogram[ch], histogram[ch] + 16, Histogram[block][ch]);
            }
            return true;
        }
        std::copy(saved, saved + kMaxChannels, current);
        Side[block] = savedSide[0];
        if (block + 1 < kBlocksPerFrame)
            Side[block + 1] = savedSide[1];
        Mantissa[block] = savedMantissa;
        return false;
    }

    // The next offset at which a channel's baps may change (-1: never).
    int32_t NextOffset(int32_t block, int32_t ch) const {
        return NextEffectiveOffset(*Curves[ch][block], Frame.SnrOffset[block][ch], Setup.Codes);
    }

    // Spends what is left: round by round, each block is raised to the next offset that changes
    // its baps (all channels together, then, failing that, each channel within the block's
    // coarse step) while the frame still fits.
    void Refine() {
        bool raised = true;
        while (raised) {
            raised = false;
            for (int32_t block = 0; block < kBlocksPerFrame; ++block) {
                const int32_t* current = Frame.SnrOffset[block];
                int32_t next = -1;
                for (int32_t ch = 0; ch < Setup.Channels; ++ch) {
                    const int32_t n = NextOffset(block, ch);
                    if (n >= 0 && (next < 0 || n < next))
                        next = n;
                }
                if (next < 0)
                    continue;
                int32_t offsets[kMaxChannels];
                std::fill(offsets, offsets + kMaxChannels, next);
                for (int32_t ch = 0; ch < Setup.Channels; ++ch)
                    offsets[ch] = std::max(offsets[ch], current[ch]);
                const bool common = std::all_of(offsets, offsets + Setup.Channels,
                                                [&](int32_t o) { return o >> 4 == offsets[0] >> 4; });
                if (common && TryBlock(block, offsets)) {
                    raised = true;
                    continue;
                }
                for (int32_t ch = 0; ch < Setup.Channels; ++ch) {
                    const int32_t n = NextOffset(block, ch);
                    if (n < 0 || n >> 4 != current[ch] >> 4)
                        continue; // beyond the block's coarse step
                    std::copy(current, current + kMaxChannels, offsets);
                    offsets[ch] = n;
                    raised = TryBlock(block, offsets) || raised;
                }
            }
        }
    }

    TAC3Frame& Frame;
    const TAC3StreamSetup& Setup;
    const TMaskCurve* const (*Curves)[kBlocksPerFrame];
    int32_t Header = 0, Available = 0, FirstPart = 0;
    int32_t Side[kBlocksPerFrame] = {};
    int32_t Mantissa[kBlocksPerFrame] = {};
    uint8_t Bap[kBlocksPerFrame][kMaxChannels][kCoefficients];
    int32_t Histogram[kBlocksPerFrame][kMaxChannels][16];
};

} // namespace

int32_t SearchSnrOffsets(TAC3Frame& frame, const TMaskCurve* const (*curves)[kBlocksPerFrame], int32_t hint) {
    TSearch search(frame, curves);
    return search.Run(hint);
}

} // namespace quillset::ac3sube
