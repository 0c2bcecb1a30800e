#include "plugins/ac3sube/ac3_frame_encoder.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <iterator>
#include <cstring>

#include "plugins/ac3sube/ac3_bit_allocation.h"
#include "plugins/ac3sube/ac3_frame_writer.h"
#include "plugins/ac3sube/ac3_mantissas.h"
#include "plugins/ac3sube/ac3_snr_search.h"
#include "plugins/ac3sube/ac3_strategy.h"

namespace quillset::ac3sube {

struct TAC3FrameEncoder::TChannelState {
    double Previous[kBlockSize]; // the first half of the next block's window
    TAC3TransientDetector Detector;
    bool LastHalfTransient = false;
    uint8_t Wanted[kBlocksPerFrame][kCoefficients]; // the exponents each block asks for
    TMaskCurve Curves[kBlocksPerFrame];             // of the sets sent, by block
};

namespace {

// Block switching follows a transient in either half of a block's window: the new samples, or
// the previous block's new samples, which this window shares.
constexpr bool kSwitchOnEitherHalf = true;

// The estimated mantissa bits that one exponent step below what a bin wants costs, which weighs
// new exponent sets against reused and coarser ones (measured on music and speech).
constexpr double kBitsPerExponentStep = 0.75;

int32_t SetBlockOf(const TAC3Frame& frame, int32_t ch, int32_t block) {
    while (frame.Blocks[block].Channel[ch].Strategy == ExponentStrategy_Reuse)
        --block;
    return block;
}

} // namespace

TAC3FrameEncoder::TAC3FrameEncoder()
    : Frame(std::make_unique<TAC3Frame>()), State(std::make_unique<TChannelState[]>(kMaxChannels)) {
    Reset();
}

TAC3FrameEncoder::~TAC3FrameEncoder() = default;

bool TAC3FrameEncoder::Configure(int32_t fscod, int32_t acmod, int32_t frmsizecod) {
    if (fscod < 0 || fscod > 2 || acmod < 0 || acmod > 2)
        return false;
    const int32_t words = FrameSizeWords(fscod, frmsizecod);
    if (words == 0)
        return false;
    TAC3StreamSetup& setup = Frame->Setup;
    setup.Fscod = fscod;
    setup.Acmod = acmod;
    setup.Frmsizecod = frmsizecod;
    setup.Channels = acmod == AudioCodingMode_Mono ? 1 : 2;
    setup.FrameWords = words;
    const int32_t bitRate = kBitRates[frmsizecod >> 1] * 1000;
    setup.BandwidthCode = ChooseBandwidthCode(fscod, bitRate / setup.Channels);
    setup.End = 73 + 3 * setup.BandwidthCode;
    // Bins without bits decode as silence rather than as the decoder's dither noise: measured on
    // music and speech, the noise cost more fidelity than the filled gaps gained.
    setup.Dither = false;
    setup.Codes = TBitAllocationCodes{};
    for (int32_t ch = 0; ch < kMaxChannels; ++ch)
        State[ch].Detector = TAC3TransientDetector(kSampleRates[fscod]);
    Reset();
    return true;
}

void TAC3FrameEncoder::Reset() {
    for (int32_t ch = 0; ch < kMaxChannels; ++ch) {
        std::fill(std::begin(State[ch].Previous), std::end(State[ch].Previous), 0.0);
        State[ch].Detector.Reset();
        State[ch].LastHalfTransient = false;
    }
}

const TAC3StreamSetup& TAC3FrameEncoder::Setup() const { return Frame->Setup; }

const TAC3Frame& TAC3FrameEncoder::LastFrame() const { return *Frame; }

// Block switching is decided for all channels of a block together: a transient in either half
// of any channel's window makes the block short in every channel. Rematrixing then always mixes
// coefficients of the same transform, and decoders that mishandle blocks whose channels use
// different transforms never meet one.
void TAC3FrameEncoder::Analyse(const double* const* channels) {
    const int32_t count = Frame->Setup.Channels;
    bool shortBlock[kBlocksPerFrame] = {};
    for (int32_t ch = 0; ch < count; ++ch) {
        TChannelState& state = State[ch];
        for (int32_t block = 0; block < kBlocksPerFrame; ++block) {
            const bool transient = state.Detector.Detect(channels[ch] + block * kBlockSize);
            shortBlock[block] = shortBlock[block] || transient || (kSwitchOnEitherHalf && state.LastHalfTransient);
            state.LastHalfTransient = transient;
        }
    }
    const double* window = TransformWindow();
    double windowed[2 * kBlockSize];
    for (int32_t ch = 0; ch < count; ++ch) {
        TChannelState& state = State[ch];
        for (int32_t block = 0; block < kBlocksPerFrame; ++block) {
            const double* fresh = channels[ch] + block * kBlockSize;
            TAC3ChannelBlock& cb = Frame->Blocks[block].Channel[ch];
            cb.Short = shortBlock[block];
            for (int32_t n = 0; n < kBlockSize; ++n) {
                windowed[n] = state.Previous[n] * window[n];
                windowed[kBlockSize + n] = fresh[n] * window[kBlockSize - 1 - n];
            }
            Transform.Forward(windowed, cb.Short, cb.Coefficients);
            std::memcpy(state.Previous, fresh, sizeof(state.Previous));
        }
    }
}

// Stereo rematrixing (A/52 7.5): in each band where the sum or difference signal is weaker than
// both channels, the channels are sent as (L + R) / 2 and (L - R) / 2.
void TAC3FrameEncoder::Rematrix() {
    const int32_t end = Frame->Setup.End;
    for (int32_t block = 0; block < kBlocksPerFrame; ++block) {
        TAC3Block& b = Frame->Blocks[block];
        double* left = b.Channel[0].Coefficients;
        double* right = b.Channel[1].Coefficients;
        for (int32_t band = 0; band < 4; ++band) {
            const int32_t first = kRematrixBandStart[band];
            const int32_t last = std::min<int32_t>(kRematrixBandStart[band + 1], end);
            double l = 0, r = 0, s = 0, d = 0;
            for (int32_t bin = first; bin < last; ++bin) {
                l += left[bin] * left[bin];
                r += right[bin] * right[bin];
                const double sum = 0.5 * (left[bin] + right[bin]);
                const double difference = 0.5 * (left[bin] - right[bin]);
                s += sum * sum;
                d += difference * difference;
            }
            b.Rematrix[band] = std::min(s, d) < std::min(l, r);
            if (!b.Rematrix[band])
                continue;
            for (int32_t bin = first; bin < last; ++bin) {
                const double sum = 0.5 * (left[bin] + right[bin]);
                right[bin] = 0.5 * (left[bin] - right[bin]);
                left[bin] = sum;
            }
        }
        b.RematrixStrategy = block == 0 || !std::equal(std::begin(b.Rematrix), std::end(b.Rematrix),
                                                       std::begin(Frame->Blocks[block - 1].Rematrix));
    }
}

void TAC3FrameEncoder::CodeAllExponents(bool fewest) {
    const TAC3StreamSetup& setup = Frame->Setup;
    for (int32_t ch = 0; ch < setup.Channels; ++ch) {
        TChannelState& state = State[ch];
        for (int32_t block = 0; block < kBlocksPerFrame; ++block) {
            const double* c = Frame->Blocks[block].Channel[ch].Coefficients;
            for (int32_t bin = 0; bin < setup.End; ++bin)
                state.Wanted[block][bin] = ExponentOf(c[bin]);
        }
        TExponentStrategy strategies[kBlocksPerFrame] = {ExponentStrategy_D45};
        if (!fewest)
            ChooseExponentStrategies(state.Wanted, setup.End, kBitsPerExponentStep, strategies);
        for (int32_t block = 0; block < kBlocksPerFrame; ++block) {
            TAC3ChannelBlock& cb = Frame->Blocks[block].Channel[ch];
            cb.Strategy = strategies[block];
            if (cb.Strategy == ExponentStrategy_Reuse) {
                cb.Exponents = Frame->Blocks[block - 1].Channel[ch].Exponents;
                continue;
            }
            // The set serves this block and the reusing ones after it: the smallest wanted
            // exponent of each bin among them.
            uint8_t shared[kCoefficients];
            std::memcpy(shared, state.Wanted[block], static_cast<size_t>(setup.End));
            for (int32_t next = block + 1; next < kBlocksPerFrame && strategies[next] == ExponentStrategy_Reuse; ++next)
                for (int32_t bin = 0; bin < setup.End; ++bin)
                    shared[bin] = std::min(shared[bin], state.Wanted[next][bin]);
            TExponentSet& set = Frame->ExponentSets[ch][block];
            CodeExponents(shared, setup.End, cb.Strategy, set);
            cb.Exponents = &set;
            ComputeMaskCurve(set.Exponents, setup.End, setup.Fscod, setup.Codes, state.Curves[block]);
        }
    }
}

// Measures the side information of every block with one set of SNR offsets for the frame (the
// least it can send); false when it leaves no room for it.
bool TAC3FrameEncoder::SideInformationFits() {
    const TAC3StreamSetup& setup = Frame->Setup;
    for (auto& offsets : Frame->SnrOffset)
        std::fill(std::begin(offsets), std::end(offsets), 0);
    int32_t total = FrameHeaderBits(setup);
    int32_t firstPart = total;
    for (int32_t block = 0; block < kBlocksPerFrame; ++block) {
        const int32_t bits = BlockSideBits(*Frame, block);
        total += bits;
        if (block < 2)
            firstPart += bits;
    }
    return total <= setup.FrameWords * 16 - kFrameTrailerBits && firstPart <= FirstPartWords(setup.FrameWords) * 16;
}

void TAC3FrameEncoder::Allocate() {
    const TMaskCurve* curves[kMaxChannels][kBlocksPerFrame] = {};
    for (int32_t ch = 0; ch < Frame->Setup.Channels; ++ch)
        for (int32_t block = 0; block < kBlocksPerFrame; ++block)
            curves[ch][block] = &State[ch].Curves[SetBlockOf(*Frame, ch, block)];
    CommonSnrOffset = SearchSnrOffsets(*Frame, curves, CommonSnrOffset);
}

void TAC3FrameEncoder::Quantise() {
    const TAC3StreamSetup& setup = Frame->Setup;
    for (int32_t block = 0; block < kBlocksPerFrame; ++block) {
        for (int32_t ch = 0; ch < setup.Channels; ++ch) {
            TAC3ChannelBlock& cb = Frame->Blocks[block].Channel[ch];
            for (int32_t bin = 0; bin < setup.End; ++bin) {
                const uint8_t bap = cb.Bap[bin];
                if (bap == 0)
                    continue;
                const double m = std::ldexp(cb.Coefficients[bin], cb.Exponents->Exponents[bin]);
                cb.Mantissas[bin] = QuantizeMantissa(m, bap);
            }
        }
    }
}

int32_t TAC3FrameEncoder::Encode(const double* const* channels, uint16_t* words) {
    const TAC3StreamSetup& setup = Frame->Setup;
    Analyse(channels);
    if (setup.Acmod == AudioCodingMode_Stereo)
        Rematrix();
    else
        for (TAC3Block& b : Frame->Blocks)
            b.RematrixStrategy = false;
    CodeAllExponents(false);
    if (!SideInformationFits()) {
        CodeAllExponents(true);
        const bool fits = SideInformationFits();
        assert(fits);
        (void)fits;
    }
    Allocate();
    Quantise();
    uint8_t bytes[2 * 1920];
    WriteFrame(*Frame, bytes);
    for (int32_t i = 0; i < setup.FrameWords; ++i)
        words[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    return setup.FrameWords;
}

} // namespace quillset::ac3sube
