// The AC-3 encoder of one stream: turns 1536 sample times of one or two channels into one
// syncframe. Per frame it transforms the six blocks (switching to short transforms on
// transients), rematrixes stereo bands, chooses and codes exponents, searches the largest SNR
// offset whose mantissas fill the frame, quantises and writes the frame.
#pragma once

#include <cstdint>
#include <memory>

#include "plugins/ac3sube/ac3_frame.h"
#include "plugins/ac3sube/ac3_transform.h"
#include "plugins/ac3sube/ac3_transient.h"

namespace quillset::ac3sube {

class TAC3FrameEncoder {
public:
    TAC3FrameEncoder();
    ~TAC3FrameEncoder();

    // Sets the stream up; false (and nothing changed) when A/52 has no such frame or this
    // encoder does not write the mode: fscod 0 .. 2, acmod 0 .. 2, frmsizecod 0 .. 37.
    bool Configure(int32_t fscod, int32_t acmod, int32_t frmsizecod);
    // Forgets the samples of earlier frames (the overlap of the first block).
    void Reset();

    const TAC3StreamSetup& Setup() const;

    // channels[c]: kSamplesPerFrame samples of channel c (-1 .. 1), Setup().Channels of them.
    // Writes Setup().FrameWords words (the stream's 16-bit words) and returns their number.
    int32_t Encode(const double* const* channels, uint16_t* words);

    // The frame just encoded, for tests.
    const TAC3Frame& LastFrame() const;

private:
    struct TChannelState;

    void Analyse(const double* const* channels);
    void Rematrix();
    // Chooses the exponent strategies and codes the sets; with `fewest` every channel sends one
    // D45 set for the whole frame (the fallback when the side information would not fit).
    void CodeAllExponents(bool fewest);
    bool SideInformationFits();
    void Allocate();
    void Quantise();

    std::unique_ptr<TAC3Frame> Frame;
    std::unique_ptr<TChannelState[]> State;
    TAC3Transform Transform;
    int32_t CommonSnrOffset = 15 * 16; // of the previous frame: where the next search starts
};

} // namespace quillset::ac3sube
