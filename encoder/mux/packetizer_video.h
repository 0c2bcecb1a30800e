// The packetizer of MPEG-1/MPEG-2 video (ISO/IEC 11172-2, ISO/IEC 13818-2): one access unit per
// picture, opening with the sequence and GOP headers in front of the picture (ISO/IEC 13818-1,
// 2.1.1), decoding times from the field count in coded order and presentation times from the field
// count in display order, both exact in 90 kHz ticks.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "encoder/mux/packetizer_stream.h"

namespace quillset {

// What a walk over a whole video stream finds out about its rates (see Prescan).
struct TMPEGVideoRateScan {
    int32_t FrameRateCode = 0;
    double FrameRate = 0;
    int32_t AverageRate = 0;  // 0 = not found
    int32_t MaximumRate = 0;
    bool VariableRate = false;
    int32_t VBVSize = 0;      // bytes
    bool MPEG2 = false;
    int64_t Pictures = 0;
    long double Duration = 0; // seconds
    int64_t Length = 0;       // bytes
};

// Rates the video encoder records in user data: 0x0081 (maximum), 0x0082 (average) and the tagged
// list 0x0087 (item 0x71 maximum, 0x72 average). `data` holds the user data after its start code.
// Sets the rates found (bits per second) and leaves the others untouched.
void ReadVideoUserDataRates(const uint8_t* data, int32_t size, int32_t& maximumRate, int32_t& averageRate);

// Walks the whole stream from its start (the position is restored afterwards). Raises
// EMPEGSystemEncoderError 0xD061300E when it does not begin with a sequence header (only zero
// bytes may come first) or its frame rate code is not one of ISO/IEC 13818-2 Table 6-4.
// `notify` is called every 10 pictures.
TMPEGVideoRateScan ScanVideoRates(TLargeStream& source, const std::function<void()>& notify);

class TMPEGPacketizerStream_MPEGVideo : public TMPEGPacketizerStream {
public:
    TMPEGPacketizerStream_MPEGVideo(TMultiplexEngine_MultiplexorBase& engine, const TMPEGSystemEncoder_StreamInfo& info);

    static void AllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds);
    void GetAllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds) const override {
        AllowedStreamIds(streamIds, substreamIds);
    }
    void Reset() override;
    void Prescan() override;
    void ParseChunk(bool final) override;

    int32_t FrameRateCode = 0;
    double FrameRate = 0;
    bool MPEG2 = false;
    int32_t VBVSize = 0;         // bytes
    int32_t LargestPicture = 0;  // bytes of the largest access unit parsed so far

private:
    // Bytes after the start code that must be queued before it is handled.
    int32_t NeededBytes(int64_t position, uint8_t code, bool final) const;
    // Handles one start code; returns the bytes inserted in front of it.
    int32_t HandleStartCode(int64_t position, uint8_t code);
    void HandleSequenceHeader(int64_t position);
    void HandleExtension(int64_t position);
    void HandlePicture(int64_t position);
    void HandleUserData(int64_t position);
    int32_t HandleFirstSlice(int64_t position);
    void RewriteDisplaySize(int64_t position);
    void CheckLeadingBytes(int64_t from, int64_t to);
    void CloseLastUnit(int64_t end);
    // Display order as a decoder sees it: B pictures at once, I/P pictures when the next I/P
    // picture arrives (ISO/IEC 13818-2, 6.1.1.11).
    void Display(TMPEGPacketizer_AccessUnit& unit);
    void AssignTimes(TMPEGPacketizer_AccessUnit& unit);
    void TimeWaitingUnits();
    TMPEGPacketizer_AccessUnit* FindUnit(int64_t sequence);
    void SetPictureFields(TMPEGPacketizer_AccessUnit& unit, int32_t fields);

    int64_t ParsePos = 0;
    bool SequenceSeen = false;
    bool RatesSet = false;
    bool MaxFromUserData = false;
    bool AvgFromUserData = false;
    bool ProgressiveSequence = false;
    int32_t BitRateValue = 0;
    int32_t VBVValue = 0;
    int64_t DecodeFields = 0;    // decode field counter
    int64_t DisplayFields = 0;   // display position of the last displayed picture
    int64_t LastDisplayed = -1;  // its sequence number
    int32_t LastDisplayedFields = 0;
    int64_t HeldAnchor = -1;     // I/P picture waiting for display
    int64_t DisplayBase = -1;    // fields; the first picture's duration, -1 until known
    int64_t FirstPicture = -1;
    std::vector<int64_t> WaitingForBase;
    int64_t PendingGroupStart = -1;
    int64_t CurrentPicture = -1;
    bool CurrentSliceSeen = false;
    bool CurrentHasScanInfo = false;
};

} // namespace quillset
