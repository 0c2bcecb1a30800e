// The exported entry of the library: decodes requests and runs the process-wide encoder.
#include <memory>

#include "plugins/ac3sube/ac3_frame_encoder.h"
#include "plugins/ac3sube/ac3sube.h"

namespace quillset::ac3sube {

namespace {

struct TLibraryState {
    TAC3SubStatus Status{};
    std::unique_ptr<TAC3FrameEncoder> Encoder;
    uint16_t CodingWord = 0xffff; // of the configured stream; none yet
    uint16_t FrameSizeCode = 0xffff;
    double Samples[kMaxChannels][kSamplesPerFrame];
};

TLibraryState& State() {
    static TLibraryState state;
    return state;
}

// The channel slots each coding mode reads: 1+1 and 2/0 the left and right slots, 1/0 the centre.
constexpr int kSlotsOfMode[3][kMaxChannels] = {{0, 2}, {1, 1}, {0, 2}};

uint16_t Encode(const TAC3SubEncodeParameters* p) {
    TLibraryState& s = State();
    if (p == nullptr || p->Count != AC3Sub_ParameterCount || p->ChannelInputs == nullptr || p->Strides == nullptr ||
        p->Output == nullptr)
        return AC3Sub_Status_BadParameters;
    const int32_t fscod = p->CodingWord >> 12;
    const int32_t acmod = p->CodingWord & 7;
    const int32_t frmsizecod = (p->FrameSizeCode >> 8) | (p->FrameSizeCode & 1);
    if (!s.Encoder)
        s.Encoder = std::make_unique<TAC3FrameEncoder>();
    if (p->CodingWord != s.CodingWord || p->FrameSizeCode != s.FrameSizeCode) {
        if (!s.Encoder->Configure(fscod, acmod, frmsizecod))
            return AC3Sub_Status_Unsupported;
        s.CodingWord = p->CodingWord;
        s.FrameSizeCode = p->FrameSizeCode;
    }
    const double* inputs[kMaxChannels];
    for (int32_t ch = 0; ch < s.Encoder->Setup().Channels; ++ch) {
        const int slot = kSlotsOfMode[acmod][ch];
        const double* first = p->ChannelInputs[slot];
        if (first == nullptr)
            return AC3Sub_Status_BadParameters;
        first += p->Offsets != nullptr ? p->Offsets[slot] : 0;
        const int32_t stride = p->Strides[slot];
        for (int32_t t = 0; t < kSamplesPerFrame; ++t)
            s.Samples[ch][t] = first[int64_t{t} * stride];
        inputs[ch] = s.Samples[ch];
    }
    s.Status.WordCount = static_cast<uint16_t>(s.Encoder->Encode(inputs, p->Output));
    return AC3Sub_Status_OK;
}

} // namespace

} // namespace quillset::ac3sube

extern "C" __attribute__((visibility("default"))) void dolby_sub(TAC3SubRequest request, TAC3SubReply* reply) {
    using namespace quillset::ac3sube;
    TLibraryState& s = State();
    s.Status = TAC3SubStatus{};
    switch (request.Command) {
    case AC3Sub_Command_Initialize:
        // A new stream: the next encode request configures the encoder afresh.
        s.Encoder.reset();
        s.CodingWord = s.FrameSizeCode = 0xffff;
        s.Status.Result = AC3Sub_Status_OK;
        break;
    case AC3Sub_Command_EncodeFrame:
        s.Status.Result = Encode(static_cast<const TAC3SubEncodeParameters*>(request.Parameters));
        break;
    default:
        s.Status.Result = AC3Sub_Status_UnknownCommand;
        break;
    }
    if (reply != nullptr) {
        reply->Status = &s.Status;
        reply->Reserved = 0;
    }
}
