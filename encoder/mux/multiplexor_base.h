// The common ground of the engines that interleave packetizers: the ids in use, the packetizers
// (owned) in creation order and in system-header order, and the two-pass switch.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "encoder/mux/multiplex_engine.h"
#include "encoder/mux/packetizer_stream.h"

namespace quillset {

class TMultiplexEngine_MultiplexorBase : public TMultiplexEngine {
public:
    TMultiplexEngine_MultiplexorBase(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);
    ~TMultiplexEngine_MultiplexorBase() override;

    TMPEGSystemEncoder_ElementaryStream* AddStream(const TMPEGSystemEncoder_StreamInfo& info,
                                                   TLargeStream* source) override;
    // Ends every input fed by an encoder, multiplexes what remains (a second pass from the spill
    // files when the first one only collected), then FinishMultiplex.
    void Finish() override;

    // Whether streams whose rates are unknown at the start may be multiplexed (in two passes).
    virtual bool RatesUnknownAllowed() const { return true; }
    // Interleaves as much as every input allows; runs after writes and at the end.
    virtual void MultiplexStep() = 0;
    // Writes the end of the output and patches what is known only at the end.
    virtual void FinishMultiplex() = 0;
    // The packetizer of a kind; null when the engine has none for it.
    virtual std::unique_ptr<TMPEGPacketizerStream> CreatePacketizer(const TMPEGSystemEncoder_StreamInfo& info);
    // Super Video CD: the video packetizer makes sure every I picture carries the scan-information
    // block.
    virtual bool NeedsScanInformation() const { return false; }
    // Called when every packetizer has switched to its spill file and before the second pass.
    virtual void ResetForSecondPass() {}

    TMPEGStreamIdSet UsedIds;
    TMPEGStreamIdSet UsedSubstreamIds;
    std::vector<std::unique_ptr<TMPEGPacketizerStream>> Streams;
    std::vector<TMPEGPacketizerStream*> SortedStreams; // video first, then by stream id, substream id
    bool TwoPass = false;   // the current pass only collects into spill files
    bool SecondPass = false;
    bool First = true;      // nothing multiplexed yet in this pass
    bool Finishing = false;
};

} // namespace quillset
