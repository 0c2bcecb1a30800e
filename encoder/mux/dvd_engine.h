// The DVD-Video program stream engine: the MPEG-2 program stream in 2048-byte packs at the DVD mux
// rate of 10.08 Mbit/s, with a navigation pack (system header, then the PCI and DSI packets of
// private stream 2) at the start of every video object unit, that is of every group of pictures.
// The navigation packets are left for the authoring tool to fill, except for the fields this
// engine knows (their logical block number, the pack's SCR, the unit's first presentation time).
// Audio may be MPEG audio (0xC0..), AC-3 (0xBD, substreams 0x80..) or Linear PCM (0xBD, 0xA0..).
#pragma once

#include <cstdint>

#include "encoder/mux/mpeg2_engines.h"

namespace quillset {

class TMultiplexEngine_MPEG2_DVDVideo : public TMultiplexEngine_MPEG2_Program {
public:
    static constexpr int32_t kMuxRate = 25200;                // 10.08 Mbit/s in units of 50 bytes/s
    static constexpr int32_t kVideoBufferSize = 232 * 1024;
    static constexpr int32_t kPrivateBufferBound = 58;        // private stream 1, units of 1024
    static constexpr int32_t kPCISize = 980;                  // packet lengths of PCI and DSI
    static constexpr int32_t kDSISize = 1018;

    TMultiplexEngine_MPEG2_DVDVideo(TMPEGSystemEncoder* systemEncoder, TLargeStream* output);

    bool AcceptsKind(uint8_t kind) const override;
    void ComputeRates() override;
    TMPEGPacketizerStream* ChooseStream(int64_t now) override;
    int32_t AdjustPayload(TMPEGPacketizerStream& stream, int32_t size) override;
    void WriteStart() override;
    int32_t WritePacket(TMPEGPacketizerStream& stream, int32_t timestampKind, int64_t dts, int64_t pts,
                        int64_t scr) override;
    void WriteEnd() override;
    void ResetForSecondPass() override;

    int32_t GetNavigationPackCount() const { return NavigationPacks; }

protected:
    TSystemHeaderContent BuildSystemHeader(const std::vector<TMPEGPacketizerStream*>& streams) const override;

private:
    // The video stream whose groups of pictures open the units (the first video stream).
    TMPEGPacketizerStream* UnitStream() const;
    // Whether the next packet of the stream opens a new unit.
    bool OpensUnit(TMPEGPacketizerStream& stream);
    void WriteNavigationPack(int64_t firstPTS);

    int32_t NavigationPacks = 0;
    int64_t LastUnitStart = -1; // stream offset of the unit that got its navigation pack
};

} // namespace quillset
